// The main window's trigger settings dialog.
#include "app/vyr_main.h"

#include "core/vyr_trigger.h"
#include "core/vyr_trigger_cond.h"
#include "windows/triggers/vyr_dialog_trigger_settings.h"

void VyrMain::show_trigger_settings()
{
    VyrDialogTriggerSettings dialog(VyrTriggerList::instance(), VyrTriggerCondList::instance(), this,
                                    "trigger_settings");
    // The edits are the configuration's: a later exit asks to save them.
    if (dialog.exec() == QDialog::Accepted)
        configuration_changed();
}
