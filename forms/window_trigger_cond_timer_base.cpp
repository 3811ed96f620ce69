#include "forms/window_trigger_cond_timer_base.h"

#include "core/widgets/form_support.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>

WindowTriggerCondTimerBase::WindowTriggerCondTimerBase(QWidget *parent, const char *name, Qt::WindowFlags flags)
    : QWidget(parent, flags)
{
    form::set_object_name(this, name, "WindowTriggerCondTimerBase");
    WindowTriggerCondTimerBaseLayout = form::top_layout<QVBoxLayout>(this, "WindowTriggerCondTimerBaseLayout", 0);
    Layout3 = form::nested_layout<QGridLayout>("Layout3");

    // Created in the form's order, which is also the focus order.
    combo_cancel_trigger_cond = form::named<QComboBox>(this, "combo_cancel_trigger_cond");
    Layout3->addWidget(combo_cancel_trigger_cond, 5, 1);
    TextLabel2_2 = form::named<QLabel>(this, "TextLabel2_2");
    Layout3->addWidget(TextLabel2_2, 0, 2);
    combo_cancel_trigger = form::named<QComboBox>(this, "combo_cancel_trigger");
    Layout3->addWidget(combo_cancel_trigger, 4, 1);
    TextLabel2 = form::named<QLabel>(this, "TextLabel2");
    Layout3->addWidget(TextLabel2, 5, 0);
    TextLabel5 = form::named<QLabel>(this, "TextLabel5");
    Layout3->addWidget(TextLabel5, 2, 0);
    combo_trigger = form::named<QComboBox>(this, "combo_trigger");
    Layout3->addWidget(combo_trigger, 1, 1);
    cb_cancel_trigger = form::named<QCheckBox>(this, "cb_cancel_trigger");
    Layout3->addWidget(cb_cancel_trigger, 4, 0);
    combo_trigger_cond = form::named<QComboBox>(this, "combo_trigger_cond");
    Layout3->addWidget(combo_trigger_cond, 2, 1);
    TextLabel3 = form::named<QLabel>(this, "TextLabel3");
    Layout3->addWidget(TextLabel3, 0, 0);
    Line1 = form::named<QFrame>(this, "Line1");
    Line1->setFrameShape(QFrame::HLine);
    Line1->setFrameShadow(QFrame::Sunken);
    Layout3->addWidget(Line1, 3, 0, 1, 2);
    TextLabel4 = form::named<QLabel>(this, "TextLabel4");
    Layout3->addWidget(TextLabel4, 1, 0);
    le_timeout = form::named<QLineEdit>(this, "le_timeout");
    Layout3->addWidget(le_timeout, 0, 1);

    WindowTriggerCondTimerBaseLayout->addLayout(Layout3);
    spacer = form::vertical_spacer();
    WindowTriggerCondTimerBaseLayout->addItem(spacer);

    languageChange();
    form::resize(this, QSize(432, 156));
}

void WindowTriggerCondTimerBase::languageChange()
{
    setWindowTitle(tr("Form1"));
    TextLabel3->setText(tr("Trigger Condition becomes active after"));
    TextLabel2_2->setText(tr("ms"));
    TextLabel4->setText(tr("when Trigger"));
    TextLabel5->setText(tr("has been"));
    combo_trigger_cond->clear();
    combo_trigger_cond->addItems({tr("Set"), tr("Reset"), tr("Changed")});
    cb_cancel_trigger->setText(tr("Cancel Timer when Trigger"));
    TextLabel2->setText(tr("has been"));
}
