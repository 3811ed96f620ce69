#pragma once
// Form of a pane of the trigger settings dialog: a table and, beside it, the
// buttons that add and delete rows.
#include <QWidget>

class QHBoxLayout;
class QPushButton;
class QSpacerItem;
class QTableWidget;
class QVBoxLayout;

class WindowTriggerListBase : public QWidget
{
    Q_OBJECT

public:
    explicit WindowTriggerListBase(QWidget *parent = nullptr, const char *name = nullptr, Qt::WindowFlags flags = {});

    QTableWidget *table_trigger_list;
    QPushButton *pb_new;
    QPushButton *pb_delete;

protected:
    QHBoxLayout *WindowTriggerListBaseLayout;
    QVBoxLayout *Layout6;
    QSpacerItem *spacer;

protected slots:
    virtual void languageChange();
};
