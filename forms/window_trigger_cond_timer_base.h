#pragma once
// Form of the editor of a timer trigger condition: the time-out, the trigger
// and event that start it and, optionally, the trigger and event that cancel
// it.
#include <QWidget>

class QCheckBox;
class QComboBox;
class QFrame;
class QGridLayout;
class QLabel;
class QLineEdit;
class QSpacerItem;
class QVBoxLayout;

class WindowTriggerCondTimerBase : public QWidget
{
    Q_OBJECT

public:
    explicit WindowTriggerCondTimerBase(QWidget *parent = nullptr, const char *name = nullptr,
                                        Qt::WindowFlags flags = {});

    QComboBox *combo_cancel_trigger_cond;
    QLabel *TextLabel2_2;
    QComboBox *combo_cancel_trigger;
    QLabel *TextLabel2;
    QLabel *TextLabel5;
    QComboBox *combo_trigger;
    QCheckBox *cb_cancel_trigger;
    QComboBox *combo_trigger_cond;
    QLabel *TextLabel3;
    QFrame *Line1;
    QLabel *TextLabel4;
    QLineEdit *le_timeout;

protected:
    QVBoxLayout *WindowTriggerCondTimerBaseLayout;
    QGridLayout *Layout3;
    QSpacerItem *spacer;

protected slots:
    virtual void languageChange();
};
