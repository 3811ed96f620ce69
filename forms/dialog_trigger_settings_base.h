#pragma once
// Form of the trigger settings dialog: a tab widget with a placeholder page
// that the dialog replaces by its panes, and the Help, OK and Cancel row.
#include <QDialog>

class QHBoxLayout;
class QPushButton;
class QSpacerItem;
class QTabWidget;
class QVBoxLayout;

class DialogTriggerSettingsBase : public QDialog
{
    Q_OBJECT

public:
    explicit DialogTriggerSettingsBase(QWidget *parent = nullptr, const char *name = nullptr, bool modal = false,
                                       Qt::WindowFlags flags = {});

    QTabWidget *tab;
    QWidget *tab_2;
    QPushButton *pb_help;
    QPushButton *pb_ok;
    QPushButton *pb_cancel;

protected:
    QVBoxLayout *DialogTriggerSettingsBaseLayout;
    QHBoxLayout *Layout1;
    QSpacerItem *spacer;

protected slots:
    virtual void languageChange();
};
