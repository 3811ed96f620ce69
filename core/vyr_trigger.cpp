#include "core/vyr_trigger.h"

#include "core/vyr_trigger_cond.h"
#include "settings/debug_trace.h"
#include "settings/qtb_config.h"

#include <QRegularExpression>

#include <algorithm>
#include <chrono>
#include <thread>

// --- Listeners -------------------------------------------------------------------

VyrTriggerListener::VyrTriggerListener(VyrTrigger *trigger, const QString &name) : m_trigger(trigger), m_name(name)
{
    if (m_trigger)
        m_trigger->m_listeners.push_back(this);
}

VyrTriggerListener::~VyrTriggerListener()
{
    if (!m_trigger)
        return;
    auto &listeners = m_trigger->m_listeners;
    listeners.erase(std::remove(listeners.begin(), listeners.end(), this), listeners.end());
}

void VyrTriggerListener::notify()
{
    if (m_callback)
        m_callback(this, m_context);
}

// --- Triggers ----------------------------------------------------------------------

VyrTrigger::VyrTrigger(VyrTriggerList *owner, const QString &name) : m_name(name), m_owner(owner)
{
    if (m_owner)
        m_owner->append(this);
}

VyrTrigger::~VyrTrigger()
{
    for (VyrTriggerListener *listener : m_listeners)
        listener->detach();
    m_listeners.clear();
    while (!m_conditions.empty())
        m_conditions.back()->set_target(nullptr);
    if (m_owner)
        m_owner->remove(this);
}

void VyrTrigger::set_name(const QString &name)
{
    if (m_owner)
        m_owner->rename(this, name);
    else
        m_name = name;
}

int VyrTrigger::rt_lock()
{
    m_rt_count.fetch_add(1);
    if (m_gui_count.load() == 0)
        return 0;
    m_rt_count.fetch_sub(1);
    debug_trace("VyrTrigger::rt_lock() FAILED");
    return -1;
}

int VyrTrigger::gui_lock()
{
    m_gui_count.fetch_add(1);
    for (int tries = 0; m_rt_count.load() != 0; ++tries) {
        if (tries == gui_lock_tries) {
            m_gui_count.fetch_sub(1);
            debug_trace("VyrTrigger::gui_lock () FAILED");
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return 0;
}

int VyrTrigger::gui_unlock()
{
    m_gui_count.fetch_sub(1);
    return 0;
}

void VyrTrigger::notify_listeners()
{
    if (rt_lock() != 0)
        return;
    for (VyrTriggerListener *listener : m_listeners)
        listener->notify();
    rt_unlock();
}

void VyrTrigger::set()
{
    int expected = 0;
    if (m_state.compare_exchange_strong(expected, 1))
        notify_listeners();
}

void VyrTrigger::reset()
{
    int expected = 1;
    if (m_state.compare_exchange_strong(expected, 0))
        notify_listeners();
}

void VyrTrigger::toggle()
{
    m_state.fetch_xor(1);
    notify_listeners();
}

void VyrTrigger::pulse()
{
    const bool locked = rt_lock() == 0;
    set();
    reset();
    if (locked)
        rt_unlock();
}

const QString &VyrTrigger::save_name()
{
    if (m_saved_name.isEmpty())
        m_saved_name = m_name;
    return m_saved_name;
}

// --- The trigger list ----------------------------------------------------------------

namespace {
VyrTriggerList *g_trigger_list = nullptr;

// Persistent objects: neither built in nor deleted in the open editor.
bool is_persistent(uint32_t flags)
{
    return (flags & (VyrTrigger::BuiltIn | VyrTrigger::Deleted)) == 0;
}
} // namespace

VyrTriggerList::VyrTriggerList(QObject *parent) : QObject(parent) {}

VyrTriggerList::~VyrTriggerList()
{
    clear();
    if (g_trigger_list == this)
        g_trigger_list = nullptr;
}

VyrTriggerList *VyrTriggerList::instance()
{
    return g_trigger_list;
}

void VyrTriggerList::set_instance(VyrTriggerList *list)
{
    g_trigger_list = list;
}

VyrTrigger *VyrTriggerList::find(const QString &name) const
{
    const auto named = m_by_name.constFind(name);
    return named != m_by_name.constEnd() ? named->front() : nullptr;
}

void VyrTriggerList::append(VyrTrigger *trigger)
{
    trigger->m_order = m_next_order++;
    m_triggers.push_back(trigger);
    index_by_name(trigger);
}

void VyrTriggerList::rename(VyrTrigger *trigger, const QString &name)
{
    unindex_by_name(trigger);
    trigger->m_name = name;
    index_by_name(trigger);
}

void VyrTriggerList::index_by_name(VyrTrigger *trigger)
{
    std::vector<VyrTrigger *> &named = m_by_name[trigger->m_name];
    const auto later = std::upper_bound(named.begin(), named.end(), trigger,
                                        [](const VyrTrigger *a, const VyrTrigger *b) { return a->m_order < b->m_order; });
    named.insert(later, trigger);
}

void VyrTriggerList::unindex_by_name(VyrTrigger *trigger)
{
    const auto named = m_by_name.find(trigger->m_name);
    if (named == m_by_name.end())
        return;
    named->erase(std::remove(named->begin(), named->end(), trigger), named->end());
    if (named->empty())
        m_by_name.erase(named);
}

VyrTrigger *VyrTriggerList::first()
{
    m_next = 0;
    return next();
}

VyrTrigger *VyrTriggerList::next()
{
    if (m_next >= m_triggers.size()) {
        m_next = m_triggers.size();
        return nullptr;
    }
    return m_triggers[m_next++];
}

void VyrTriggerList::remove(VyrTrigger *trigger)
{
    // Searched from the newest on: deleting from the end takes constant time.
    const auto position = [this, trigger] { return std::find(m_triggers.rbegin(), m_triggers.rend(), trigger); };
    if (position() == m_triggers.rend())
        return;
    emit trigger_removed(trigger);
    // Looked up again: a receiver may have changed the list.
    const auto it = position();
    if (it == m_triggers.rend())
        return;
    const size_t index = size_t(m_triggers.rend() - it) - 1;
    m_triggers.erase(std::next(it).base());
    // A walk goes on with the entry after the one that went.
    if (index < m_next)
        --m_next;
    unindex_by_name(trigger);
    trigger->m_owner = nullptr;
}

void VyrTriggerList::clear()
{
    while (!m_triggers.empty())
        delete m_triggers.back();
}

void VyrTriggerList::delete_configured()
{
    // From the newest on, so that only the built-in triggers behind each
    // deleted one move up.
    for (size_t i = m_triggers.size(); i-- > 0;)
        if (i < m_triggers.size() && !(m_triggers[i]->flags() & VyrTrigger::BuiltIn))
            delete m_triggers[i];
}

void write_name_and_comment(QtbConfigGroup *group, const QString &name, const QString &comment)
{
    group->write_string("name", name);
    group->write_string_utf8("name_utf8", name);
    group->write_string("comment", comment);
    group->write_string_utf8("comment_utf8", comment);
}

QString read_config_text(QtbConfigGroup *group, const char *key, const char *utf8_key)
{
    if (group->find_entry(utf8_key))
        return group->read_string_utf8(utf8_key, QString());
    return group->read_string(key, QString());
}

void VyrTriggerList::write_config(QtbConfigGroup *group) const
{
    QtbConfigGroup *list = group->add_group("triggers");
    int written = 0;
    for (VyrTrigger *trigger : m_triggers) {
        if (!is_persistent(trigger->flags()))
            continue;
        write_name_and_comment(list->add_group(""), trigger->name(), trigger->comment());
        ++written;
    }
    group->write_int("trigger_count", written);
}

void VyrTriggerList::read_config(QtbConfigGroup *group)
{
    QtbConfigGroup *list = group->get_group("triggers");
    for (QtbConfigGroup *entry = list ? list->first_group() : nullptr; entry; entry = list->next_group()) {
        auto *trigger = new VyrTrigger(this, read_config_text(entry, "name", "name_utf8"));
        trigger->set_comment(read_config_text(entry, "comment", "comment_utf8"));
    }
}

VyrTrigger *add_running_trigger(VyrTriggerList *list)
{
    auto *running = new VyrTrigger(list, "Running");
    running->set_flags(VyrTrigger::BuiltIn);
    running->set_comment("Is set when measurement is started");
    return running;
}

bool is_valid_trigger_name(const QString &name)
{
    static const QRegularExpression rule("^[0-9a-zA-Z_]*$");
    return rule.match(name).hasMatch();
}
