#include "windows/triggers/vyr_dialog_trigger_settings.h"

#include "core/vyr_trigger.h"
#include "forms/vyr_help_request.h"
#include "core/vyr_trigger_cond_timer.h"
#include "windows/triggers/vyr_window_trigger_cond_list.h"
#include "windows/triggers/vyr_window_trigger_list.h"

#include <QHash>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>

VyrDialogTriggerSettings::VyrDialogTriggerSettings(VyrTriggerList *triggers, VyrTriggerCondList *conditions,
                                                   QWidget *parent, const char *name)
    : DialogTriggerSettingsBase(parent, name, true), m_conditions(conditions)
{
    delete tab_2;
    tab_2 = nullptr;
    m_trigger_list = new VyrWindowTriggerList(triggers, tab, "trigger_list");
    tab->addTab(m_trigger_list, tr("Trigger List"));
    m_cond_list = new VyrWindowTriggerCondList(triggers, conditions, tab, "trigger_cond_list");
    tab->addTab(m_cond_list, tr("Trigger Condition List"));
    // The trigger cells offer the names the trigger tab shows now.
    connect(tab, &QTabWidget::currentChanged, this, [this](int index) {
        if (tab->widget(index) == m_cond_list)
            m_cond_list->update_trigger_names();
    });
    connect(pb_help, &QPushButton::clicked, this, &VyrDialogTriggerSettings::context_help);
    connect_help_to_main_widget(this);
}

void VyrDialogTriggerSettings::accept()
{
    // Timer conditions name their triggers by text: collect the renames
    // before the trigger pane forgets the saved names.
    QHash<QString, QString> renamed;
    const int rows = m_trigger_list->table_trigger_list->rowCount();
    for (int row = 0; row < rows; ++row) {
        VyrTrigger *trigger = m_trigger_list->trigger_at(row);
        if (trigger && !trigger->saved_name().isEmpty() && trigger->saved_name() != trigger->name())
            renamed.insert(trigger->saved_name(), trigger->name());
    }
    m_cond_list->accept();
    m_trigger_list->accept();
    rename_timer_condition_triggers(m_conditions, renamed);
    DialogTriggerSettingsBase::accept();
}

void VyrDialogTriggerSettings::reject()
{
    m_trigger_list->reject();
    m_cond_list->reject();
    DialogTriggerSettingsBase::reject();
}

void VyrDialogTriggerSettings::context_help()
{
    emit activate_help_context(QStringLiteral("TriggerList"));
}
