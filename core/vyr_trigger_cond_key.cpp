#include "core/vyr_trigger_cond_key.h"

#include "core/key_codes.h"
#include "settings/qtb_config.h"

#include <QCoreApplication>

void VyrTriggerCondDataKey::assign(const VyrTriggerCondData &other)
{
    if (other.kind() == kind())
        key_code = static_cast<const VyrTriggerCondDataKey &>(other).key_code;
}

QString VyrTriggerCondDataKey::description() const
{
    return QCoreApplication::translate("Trigger Description", "Key=%1")
        .arg(QString::fromStdString(key_code_to_text(key_code)));
}

void VyrTriggerCondDataKey::write_config(QtbConfigGroup *group) const
{
    if (group)
        group->write_int("key", key_code);
}

void VyrTriggerCondDataKey::read_config(QtbConfigGroup *group)
{
    if (group)
        key_code = group->read_int("key", 0);
}
