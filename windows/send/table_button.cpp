#include "windows/send/table_button.h"

#include "core/vyr_global_accel.h"
#include "core/vyr_trigger.h"
#include "interfaces/can/vyr_can_if.h"
#include "windows/send/can_send_table.h"

TableButton::TableButton(CanSendTable *table, QWidget *parent)
    : QPushButton(parent), m_table(table),
      m_accelerator(new VyrGlobalAccelItem(VyrGlobalAccel::instance(), 0))
{
    m_accelerator->setParent(this);
    setFocusPolicy(Qt::NoFocus);
    connect(this, &QPushButton::clicked, this, &TableButton::gui_send);
    connect(m_accelerator, &VyrGlobalAccelItem::activated, this, &TableButton::gui_send);
    connect(&m_message, &CanSendMessage::signal_message_changed, this, &TableButton::default_message_changed);
}

TableButton::~TableButton()
{
    while (!release_listener()) {
    }
}

bool TableButton::release_listener()
{
    if (!m_listener)
        return true;
    VyrTrigger *old = m_listener->trigger();
    if (old && old->gui_lock() != 0)
        return false; // still attached: its callback may run, so it stays
    delete m_listener;
    m_listener = nullptr;
    if (old)
        old->gui_unlock();
    return true;
}

bool TableButton::set_trigger(VyrTrigger *trigger)
{
    if (m_listener && m_listener->trigger() == trigger)
        return true;
    if (!release_listener())
        return false;
    if (!trigger)
        return true;
    if (trigger->gui_lock() != 0)
        return false;
    m_listener = new VyrTriggerListener(trigger, QStringLiteral("TableButton"));
    m_listener->set_callback(&TableButton::trigger_action, this);
    trigger->gui_unlock();
    return true;
}

VyrTrigger *TableButton::trigger() const
{
    return m_listener ? m_listener->trigger() : nullptr;
}

void TableButton::trigger_action(VyrTriggerListener *, void *context)
{
    auto *button = static_cast<TableButton *>(context);
    VyrCanIf *can = button->m_message.interface();
    if (can && can->active())
        button->send();
}

void TableButton::send()
{
    if (m_message.rate() == 0) {
        m_message.send_once();
        return;
    }
    // A click and a trigger may both toggle: the decision is taken under the lock.
    CanSendMessage::MessageLock lock(m_message);
    if (m_message.periodic_active())
        m_message.end_run();
    else
        m_message.start_run();
}

void TableButton::gui_send()
{
    m_table->end_edit();
    send();
}

void TableButton::default_message_changed()
{
    QPalette colours = palette();
    colours.setColor(QPalette::Active, QPalette::ButtonText, m_message.bound() ? Qt::red : Qt::black);
    colours.setColor(QPalette::Inactive, QPalette::ButtonText, m_message.bound() ? Qt::red : Qt::black);
    setPalette(colours);
}
