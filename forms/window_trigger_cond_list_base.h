#pragma once
// Form of a pane of the trigger settings dialog: a table and, beside it, the
// buttons that add and delete rows.
#include <QWidget>

class QHBoxLayout;
class QPushButton;
class QSpacerItem;
class QTableWidget;
class QVBoxLayout;

class WindowTriggerCondListBase : public QWidget
{
    Q_OBJECT

public:
    explicit WindowTriggerCondListBase(QWidget *parent = nullptr, const char *name = nullptr, Qt::WindowFlags flags = {});

    QTableWidget *table_cond_list;
    QPushButton *pb_new;
    QPushButton *pb_delete;

protected:
    QHBoxLayout *WindowTriggerCondListBaseLayout;
    QVBoxLayout *Layout12;
    QSpacerItem *spacer;

protected slots:
    virtual void languageChange();
};
