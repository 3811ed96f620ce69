#include "core/vyr_trigger_cond_handlers.h"

#include "core/vyr_global_accel.h"
#include "core/vyr_signal_if.h"
#include "core/vyr_signal_list.h"
#include "core/vyr_trigger_cond.h"
#include "core/vyr_trigger_cond_key.h"
#include "core/vyr_trigger_cond_signal.h"
#include "core/vyr_trigger_cond_timer.h"
#include "settings/debug_trace.h"

namespace {

std::vector<std::unique_ptr<KeyTriggerCondHandler>> g_key_handlers;
std::vector<std::unique_ptr<SignalTriggerCondHandler>> g_signal_handlers;
std::vector<std::unique_ptr<TimerTriggerCondConsumer>> g_timer_consumers;

// The conditions of the program's list that have a target and data of the kind.
template <class Handle> void for_each_condition_of_kind(int kind, Handle handle)
{
    VyrTriggerCondList *conditions = VyrTriggerCondList::instance();
    if (!conditions)
        return;
    for (VyrTriggerCond *condition = conditions->first(); condition; condition = conditions->next())
        if (condition->target() && condition->type() == kind)
            handle(condition);
}

// A listener on the named trigger (none when no trigger has the name). The
// trigger's listener list changes only while its realtime users are out.
VyrTriggerListener *add_trigger_listener(const QString &trigger_name, const char *listener_name,
                                         VyrTriggerListener::Callback callback, void *context)
{
    VyrTriggerList *triggers = VyrTriggerList::instance();
    VyrTrigger *trigger = triggers && !trigger_name.isEmpty() ? triggers->find(trigger_name) : nullptr;
    const bool locked = trigger && trigger->gui_lock() == 0;
    auto *listener = new VyrTriggerListener(trigger, QString::fromLatin1(listener_name));
    listener->set_callback(callback, context);
    if (locked)
        trigger->gui_unlock();
    return listener;
}

void delete_trigger_listener(VyrTriggerListener *listener)
{
    if (!listener)
        return;
    VyrTrigger *trigger = listener->trigger();
    const bool locked = trigger && trigger->gui_lock() == 0;
    delete listener;
    if (locked)
        trigger->gui_unlock();
}

} // namespace

// --- Key ----------------------------------------------------------------------------

KeyTriggerCondHandler::KeyTriggerCondHandler(VyrTriggerCond *condition)
    : m_condition(condition),
      m_accel(std::make_unique<VyrGlobalAccelItem>(
          VyrGlobalAccel::instance(), unsigned(static_cast<VyrTriggerCondDataKey *>(condition->cond_data())->key_code)))
{
    connect(m_accel.get(), &VyrGlobalAccelItem::activated, this, &KeyTriggerCondHandler::activated);
}

KeyTriggerCondHandler::~KeyTriggerCondHandler() = default;

void KeyTriggerCondHandler::activated(unsigned int)
{
    m_condition->fire();
}

// --- Signal -------------------------------------------------------------------------

SignalTriggerCondWatcher::SignalTriggerCondWatcher(SignalTriggerCondHandler *handler, const QString &interface_id,
                                                   const QString &signal_name, double value, int relation, bool raw)
    : m_handler(handler), m_value(value), m_relation(relation), m_raw(raw)
{
    const QByteArray id = interface_id.toLatin1();
    const QByteArray name = signal_name.toLatin1();
    m_interface = find_signal_if_by_id(id.constData());
    VyrSignalList *signal_list = m_interface ? m_interface->signal_list() : nullptr;
    m_signal = signal_list ? signal_list->find(name.constData()) : nullptr;
    if (!m_signal)
        return;
    m_signal->add_use();
    m_attached = m_interface->add_signal_listener(this, m_signal) == 0;
    if (m_attached)
        debug_trace("SignalTriggerCondWatcher::SignalTriggerCondWatcher: added sig: sif=%s, signal=%s", id.constData(),
                    name.constData());
}

SignalTriggerCondWatcher::~SignalTriggerCondWatcher()
{
    // No notification may reach this watcher once its members start to go.
    detach();
    if (m_signal)
        m_signal->release_use();
}

void SignalTriggerCondWatcher::value_changed(const SignalValue &value)
{
    double left = 0.0;
    if (value.type == SignalValue::Int)
        left = value.int_value;
    else if (value.type == SignalValue::Double)
        left = value.double_value;
    double right = m_value;
    if (m_raw) {
        const double factor = m_signal->factor();
        right -= m_signal->offset();
        if (factor != 0.0)
            right /= factor;
    }
    bool known = false;
    const bool now_true = trigger_relation_holds(m_relation, left, right, &known);
    if (!known || now_true == m_true)
        return;
    m_true = now_true;
    m_handler->relation_changed(now_true);
}

SignalTriggerCondHandler::SignalTriggerCondHandler(VyrTriggerCond *condition)
    : m_condition(condition),
      m_relation_count(int(static_cast<const VyrTriggerCondDataSignal *>(condition->cond_data())->relations.size()))
{
    const auto *data = static_cast<const VyrTriggerCondDataSignal *>(condition->cond_data());
    // Every watcher exists before the first one is attached and may deliver.
    m_watchers.reserve(data->relations.size());
    for (const VyrTriggerCondDataSignal::Relation &relation : data->relations)
        m_watchers.push_back(std::make_unique<SignalTriggerCondWatcher>(
            this, relation.interface_id, relation.signal_name, relation.value, relation.relation, relation.raw));
}

SignalTriggerCondHandler::~SignalTriggerCondHandler()
{
    // The watchers leave their signals before the handler they call goes.
    m_watchers.clear();
}

void SignalTriggerCondHandler::relation_changed(bool now_true)
{
    if (!now_true) {
        m_true_count.fetch_sub(1);
        return;
    }
    if (m_true_count.fetch_add(1) + 1 == m_relation_count)
        m_condition->fire();
}

// --- Timer --------------------------------------------------------------------------

TimerTriggerCondConsumer::TimerTriggerCondConsumer(TimerWheel *wheel, VyrTriggerCond *condition)
    : m_wheel(wheel), m_condition(condition)
{
    const auto *data = static_cast<const VyrTriggerCondDataTimer *>(condition->cond_data());
    m_start_event = data->start_event;
    m_cancel_event = data->cancel_event;
    m_timeout_ms = uint32_t(std::max(0, data->timeout_ms));
    m_start_listener = add_trigger_listener(data->start_trigger, "TimerConsumer", start_changed, this);
    if (data->cancel_active)
        m_cancel_listener = add_trigger_listener(data->cancel_trigger, "CancelTimerConsumer", cancel_changed, this);
}

TimerTriggerCondConsumer::~TimerTriggerCondConsumer()
{
    delete_trigger_listener(m_start_listener);
    delete_trigger_listener(m_cancel_listener);
    m_wheel->cancel(this);
}

void TimerTriggerCondConsumer::fire(uint32_t, uint32_t)
{
    m_condition->fire();
}

void TimerTriggerCondConsumer::start_changed(VyrTriggerListener *listener, void *context)
{
    auto *consumer = static_cast<TimerTriggerCondConsumer *>(context);
    if (!VyrTriggerCondDataTimer::is_event(consumer->m_start_event, listener->trigger()->state()))
        return;
    // Removing and arming again under one hold of the wheel's lock: the
    // wheel thread sees either the old time-out or the new one.
    TimerWheel *wheel = consumer->m_wheel;
    wheel->lock();
    wheel->cancel(consumer);
    wheel->schedule(consumer, consumer->m_timeout_ms);
    wheel->unlock();
}

void TimerTriggerCondConsumer::cancel_changed(VyrTriggerListener *listener, void *context)
{
    auto *consumer = static_cast<TimerTriggerCondConsumer *>(context);
    if (VyrTriggerCondDataTimer::is_event(consumer->m_cancel_event, listener->trigger()->state()))
        consumer->m_wheel->cancel(consumer);
}

// --- Start and stop -----------------------------------------------------------------

void start_key_trigger_conditions()
{
    g_key_handlers.clear();
    for_each_condition_of_kind(VyrTriggerCondDataKey::kind_number, [](VyrTriggerCond *condition) {
        g_key_handlers.push_back(std::make_unique<KeyTriggerCondHandler>(condition));
    });
}

void start_signal_trigger_conditions()
{
    g_signal_handlers.clear();
    for_each_condition_of_kind(VyrTriggerCondDataSignal::kind_number, [](VyrTriggerCond *condition) {
        g_signal_handlers.push_back(std::make_unique<SignalTriggerCondHandler>(condition));
    });
}

void start_timer_trigger_conditions()
{
    TimerWheel *wheel = nullptr;
    for (VyrSignalIf *interface = get_first_signal_if(); interface && !wheel; interface = interface->next())
        wheel = interface->timer_wheel();
    if (!wheel)
        return;
    g_timer_consumers.clear();
    for_each_condition_of_kind(VyrTriggerCondDataTimer::kind_number, [wheel](VyrTriggerCond *condition) {
        g_timer_consumers.push_back(std::make_unique<TimerTriggerCondConsumer>(wheel, condition));
    });
}

void stop_key_trigger_conditions()
{
    g_key_handlers.clear();
}

void stop_signal_trigger_conditions()
{
    g_signal_handlers.clear();
}

void stop_timer_trigger_conditions()
{
    g_timer_consumers.clear();
}

const std::vector<std::unique_ptr<KeyTriggerCondHandler>> &key_trigger_cond_handlers()
{
    return g_key_handlers;
}

const std::vector<std::unique_ptr<SignalTriggerCondHandler>> &signal_trigger_cond_handlers()
{
    return g_signal_handlers;
}

const std::vector<std::unique_ptr<TimerTriggerCondConsumer>> &timer_trigger_cond_consumers()
{
    return g_timer_consumers;
}
