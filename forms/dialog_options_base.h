#pragma once
// Form of the preferences dialog: five check boxes for program-wide switches
// and the buttons "Help", "OK" and "Cancel".
#include <QDialog>

class QCheckBox;
class QHBoxLayout;
class QPushButton;
class QVBoxLayout;

class DialogOptionsBase : public QDialog
{
    Q_OBJECT

public:
    explicit DialogOptionsBase(QWidget *parent = nullptr, const char *name = nullptr, bool modal = false,
                               Qt::WindowFlags flags = {});

    QCheckBox *cb_text_labels;
    QCheckBox *cb_compiler_ok_message;
    QCheckBox *cb_disable_memory_optimization;
    QCheckBox *cb_disable_splash_window;
    QCheckBox *cb_disable_disclaimer_window;
    QPushButton *pb_help;
    QPushButton *buttonOk;
    QPushButton *buttonCancel;

protected:
    QVBoxLayout *DialogOptionsBaseLayout;
    QHBoxLayout *Layout1;

protected slots:
    virtual void languageChange();
};
