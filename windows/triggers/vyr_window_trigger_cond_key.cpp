#include "windows/triggers/vyr_window_trigger_cond_key.h"

#include "core/vyr_trigger_cond_key.h"
#include "windows/base/vyr_select_key.h"

#include <QHBoxLayout>
#include <QLabel>

VyrWindowTriggerCondKey::VyrWindowTriggerCondKey(QWidget *parent, const char *name) : QWidget(parent)
{
    setObjectName(QString::fromLatin1(name ? name : "trigger_cond_key"));
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(new QLabel(tr("Choose trigger key:"), this));
    m_select_key = new VyrSelectKey(this, 0);
    m_select_key->setObjectName(QStringLiteral("select_key"));
    layout->addWidget(m_select_key);
    layout->addStretch();
}

void VyrWindowTriggerCondKey::set_cond_data(VyrTriggerCondData *data)
{
    if (data && data->kind() == VyrTriggerCondDataKey::kind_number)
        m_select_key->set_key(static_cast<VyrTriggerCondDataKey *>(data)->key_code);
}

void VyrWindowTriggerCondKey::get_cond_data(VyrTriggerCondData *data)
{
    if (data && data->kind() == VyrTriggerCondDataKey::kind_number)
        static_cast<VyrTriggerCondDataKey *>(data)->key_code = m_select_key->key();
}
