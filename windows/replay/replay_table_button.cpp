#include "windows/replay/replay_table_button.h"

#include "core/vyr_trigger.h"
#include "windows/replay/can_replay_table.h"

#include <QTimer>

namespace {
// Delay before a refused trigger change is tried again.
constexpr int trigger_retry_ms = 50;
} // namespace

ReplayTableButton::ReplayTableButton(CanReplayTable *table, VyrDataWindow *window, const QString &caption)
    : QPushButton(caption), m_table(table), m_replay(window)
{
    setObjectName(QStringLiteral("replay_button"));
    connect(this, &QPushButton::clicked, this, &ReplayTableButton::gui_send);
}

ReplayTableButton::~ReplayTableButton()
{
    if (m_listener) {
        VyrTrigger *trigger = m_listener->trigger();
        const bool locked = trigger && trigger->gui_lock() == 0;
        m_listener.reset();
        if (locked)
            trigger->gui_unlock();
    }
}

VyrTrigger *ReplayTableButton::trigger() const
{
    return m_listener ? m_listener->trigger() : nullptr;
}

void ReplayTableButton::set_trigger(VyrTrigger *trigger)
{
    m_wanted_trigger = trigger;
    if (m_listener) {
        VyrTrigger *old = m_listener->trigger();
        if (old && old->gui_lock() != 0) {
            // The old listener stays until the lock is granted.
            if (!m_trigger_pending)
                QTimer::singleShot(trigger_retry_ms, this, &ReplayTableButton::retry_trigger);
            m_trigger_pending = true;
            return;
        }
        m_listener.reset();
        if (old)
            old->gui_unlock();
    }
    m_trigger_pending = false;
    if (!trigger)
        return;
    if (trigger->gui_lock() != 0) {
        QTimer::singleShot(trigger_retry_ms, this, &ReplayTableButton::retry_trigger);
        m_trigger_pending = true;
        return;
    }
    m_listener = std::make_unique<VyrTriggerListener>(trigger, QStringLiteral("ReplayTableButton"));
    m_listener->set_callback(&ReplayTableButton::trigger_changed, this);
    trigger->gui_unlock();
}

void ReplayTableButton::retry_trigger()
{
    if (m_trigger_pending) {
        m_trigger_pending = false;
        set_trigger(m_wanted_trigger);
    }
}

void ReplayTableButton::trigger_changed(VyrTriggerListener *listener, void *context)
{
    if (listener->trigger() && listener->trigger()->state() != 0)
        QMetaObject::invokeMethod(static_cast<ReplayTableButton *>(context), "send", Qt::QueuedConnection);
}

void ReplayTableButton::send()
{
    if (m_replay.timing() == CanReplayFile::OneMessage)
        m_replay.send_one_message();
    else if (m_replay.running())
        m_replay.stop();
    else
        m_replay.start();
}

void ReplayTableButton::gui_send()
{
    if (m_table)
        m_table->end_edit();
    send();
}
