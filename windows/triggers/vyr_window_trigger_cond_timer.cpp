#include "windows/triggers/vyr_window_trigger_cond_timer.h"

#include "core/vyr_trigger.h"
#include "core/vyr_trigger_cond_timer.h"
#include "windows/triggers/trigger_table_cells.h"

#include <QCheckBox>
#include <QComboBox>
#include <QIntValidator>
#include <QLineEdit>

VyrWindowTriggerCondTimer::VyrWindowTriggerCondTimer(QWidget *parent, const char *name)
    : WindowTriggerCondTimerBase(parent, name)
{
    le_timeout->setValidator(new QIntValidator(0, 0x7FFFFFFF, le_timeout));
    combo_cancel_trigger_cond->addItems({VyrTriggerCondDataTimer::event_text(VyrTriggerCondDataTimer::Set),
                                         VyrTriggerCondDataTimer::event_text(VyrTriggerCondDataTimer::Reset),
                                         VyrTriggerCondDataTimer::event_text(VyrTriggerCondDataTimer::Changed)});
    setup_trigger_list();
    connect(cb_cancel_trigger, &QCheckBox::toggled, this, &VyrWindowTriggerCondTimer::show_state);
    show_state();
}

void VyrWindowTriggerCondTimer::setup_trigger_list()
{
    const QStringList names = trigger_names(VyrTriggerList::instance());
    for (QComboBox *combo : {combo_trigger, combo_cancel_trigger}) {
        combo->clear();
        combo->addItems(names);
    }
}

void VyrWindowTriggerCondTimer::show_state()
{
    const bool cancel = cb_cancel_trigger->isChecked();
    combo_cancel_trigger->setEnabled(cancel);
    combo_cancel_trigger_cond->setEnabled(cancel);
}

void VyrWindowTriggerCondTimer::set_cond_data(VyrTriggerCondData *data)
{
    if (!data || data->kind() != VyrTriggerCondDataTimer::kind_number)
        return;
    const auto *timer = static_cast<VyrTriggerCondDataTimer *>(data);
    le_timeout->setText(QString::number(timer->timeout_ms));
    combo_trigger->setCurrentIndex(combo_trigger->findText(timer->start_trigger));
    combo_trigger_cond->setCurrentIndex(timer->start_event);
    cb_cancel_trigger->setChecked(timer->cancel_active);
    combo_cancel_trigger->setCurrentIndex(combo_cancel_trigger->findText(timer->cancel_trigger));
    combo_cancel_trigger_cond->setCurrentIndex(timer->cancel_event);
    show_state();
}

void VyrWindowTriggerCondTimer::get_cond_data(VyrTriggerCondData *data)
{
    if (!data || data->kind() != VyrTriggerCondDataTimer::kind_number)
        return;
    auto *timer = static_cast<VyrTriggerCondDataTimer *>(data);
    timer->timeout_ms = le_timeout->text().toInt();
    timer->start_trigger = combo_trigger->currentText();
    timer->start_event = combo_trigger_cond->currentIndex();
    timer->cancel_active = cb_cancel_trigger->isChecked();
    timer->cancel_trigger = combo_cancel_trigger->currentText();
    timer->cancel_event = combo_cancel_trigger_cond->currentIndex();
}
