#pragma once
// Form of the editor of a signal trigger condition: the table of relations
// and the buttons that insert and delete signals.
#include <QWidget>

class QHBoxLayout;
class QPushButton;
class QSpacerItem;
class QTableWidget;
class QVBoxLayout;

class WindowTriggerCondSignalBase : public QWidget
{
    Q_OBJECT

public:
    explicit WindowTriggerCondSignalBase(QWidget *parent = nullptr, const char *name = nullptr,
                                         Qt::WindowFlags flags = {});

    QTableWidget *table_signals;
    QPushButton *pb_insert;
    QPushButton *pb_delete;

protected:
    QHBoxLayout *WindowTriggerCondSignalBaseLayout;
    QVBoxLayout *Layout2;
    QSpacerItem *spacer;

protected slots:
    virtual void languageChange();
};
