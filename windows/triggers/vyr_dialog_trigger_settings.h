#pragma once
// The modal dialog that edits the program's triggers and trigger conditions
// on two tabs. The edits stay pending until OK; Cancel restores both lists.
#include "forms/dialog_trigger_settings_base.h"

class VyrTriggerCondList;
class VyrTriggerList;
class VyrWindowTriggerCondList;
class VyrWindowTriggerList;

class VyrDialogTriggerSettings : public DialogTriggerSettingsBase
{
    Q_OBJECT
public:
    VyrDialogTriggerSettings(VyrTriggerList *triggers, VyrTriggerCondList *conditions, QWidget *parent = nullptr,
                             const char *name = nullptr);

    VyrWindowTriggerList *trigger_list() const { return m_trigger_list; }
    VyrWindowTriggerCondList *trigger_cond_list() const { return m_cond_list; }

public slots:
    // Settles the edits of both panes; timer conditions follow renamed triggers.
    void accept() override;
    void reject() override;
    void context_help();

signals:
    void activate_help_context(const QString &page);

private:
    VyrTriggerCondList *m_conditions;
    VyrWindowTriggerList *m_trigger_list;
    VyrWindowTriggerCondList *m_cond_list;
};
