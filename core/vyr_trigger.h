#pragma once
// Triggers: named boolean events that conditions, scripts and the measurement
// set, reset, toggle or pulse, and that windows and logging watch through
// listeners. State changes come from realtime threads while the GUI thread
// edits the lists, so a trigger carries two lock counts: the realtime side
// never waits and skips its listeners while the GUI side is inside.
#include <QHash>
#include <QObject>
#include <QString>

#include <atomic>
#include <cstdint>
#include <vector>

class QtbConfigGroup;
class VyrTrigger;
class VyrTriggerCond;
class VyrTriggerList;

// A watcher of one trigger. The constructor appends it to the trigger's
// listeners; creators bracket that (and the deletion) with gui_lock/gui_unlock.
class VyrTriggerListener
{
public:
    using Callback = void (*)(VyrTriggerListener *listener, void *context);

    VyrTriggerListener(VyrTrigger *trigger, const QString &name);
    // Leaves the trigger's listener list.
    virtual ~VyrTriggerListener();
    VyrTriggerListener(const VyrTriggerListener &) = delete;
    VyrTriggerListener &operator=(const VyrTriggerListener &) = delete;

    // Forgets the trigger (the trigger is being deleted).
    virtual void detach() { m_trigger = nullptr; }
    // Calls the callback, when one is set, with the listener and its context.
    virtual void notify();

    VyrTrigger *trigger() const { return m_trigger; }
    const QString &name() const { return m_name; }
    void set_callback(Callback callback, void *context)
    {
        m_callback = callback;
        m_context = context;
    }

private:
    VyrTrigger *m_trigger;
    QString m_name;
    Callback m_callback = nullptr;
    void *m_context = nullptr;
};

class VyrTrigger
{
public:
    enum Flag : uint32_t { BuiltIn = 0x1, Deleted = 0x2, Created = 0x4 };
    // Tries of gui_lock, one millisecond apart.
    static constexpr int gui_lock_tries = 1000;

    // Appends the trigger to the owner's list (which then owns it).
    VyrTrigger(VyrTriggerList *owner, const QString &name);
    // Detaches every listener, clears the target of every condition that
    // points at it and leaves the owner's list, which announces
    // trigger_removed first.
    ~VyrTrigger();
    VyrTrigger(const VyrTrigger &) = delete;
    VyrTrigger &operator=(const VyrTrigger &) = delete;

    // Realtime side: never waits. -1 (and the realtime count unchanged) while
    // the GUI side holds the trigger.
    int rt_lock();
    void rt_unlock() { m_rt_count.fetch_sub(1); }
    // GUI side: waits up to 1000 x 1 ms for the realtime users to leave; -1
    // (and the GUI count unchanged) when they did not.
    int gui_lock();
    int gui_unlock();

    // State changes; the listeners hear of a change unless the GUI side holds
    // the trigger. set and reset change (and notify) only a different state.
    void set();
    void reset();
    void toggle();
    // set, then reset: the listeners see both.
    void pulse();

    int state() const { return m_state.load(); }
    const QString &name() const { return m_name; }
    // The owner's lookup by name follows the new name.
    void set_name(const QString &name);
    const QString &comment() const { return m_comment; }
    void set_comment(const QString &comment) { m_comment = comment; }
    uint32_t flags() const { return m_flags; }
    void set_flags(uint32_t flags) { m_flags = flags; }
    VyrTriggerList *owner() const { return m_owner; }

    // The name before the list editor changed it: filled at the first call.
    const QString &save_name();
    void clear_saved_name() { m_saved_name.clear(); }
    const QString &saved_name() const { return m_saved_name; }

    const std::vector<VyrTriggerListener *> &listeners() const { return m_listeners; }
    // The conditions whose target this trigger is (VyrTriggerCond::set_target keeps it).
    const std::vector<VyrTriggerCond *> &conditions() const { return m_conditions; }
    int rt_lock_count() const { return m_rt_count.load(); }
    int gui_lock_count() const { return m_gui_count.load(); }

private:
    friend class VyrTriggerListener;
    friend class VyrTriggerList;
    friend class VyrTriggerCond;
    void notify_listeners();

    QString m_name;
    QString m_saved_name;
    QString m_comment;
    uint32_t m_flags = 0;
    std::atomic<int> m_state{0};
    VyrTriggerList *m_owner;
    std::vector<VyrTriggerListener *> m_listeners; // not owned
    std::vector<VyrTriggerCond *> m_conditions;    // not owned
    // Its place in the creation order of the owner's list.
    uint64_t m_order = 0;
    // Sequentially consistent: each side raises its own count and then reads
    // the other's, so the two sides are never inside at once.
    std::atomic<int> m_gui_count{0};
    std::atomic<int> m_rt_count{0};
};

// The triggers of the program, owned, in creation order. A lookup by name
// takes constant time, and deleting the triggers from the newest on takes
// constant time each, so that configurations of many triggers load and
// unload in linear time.
class VyrTriggerList : public QObject
{
    Q_OBJECT
public:
    explicit VyrTriggerList(QObject *parent = nullptr);
    ~VyrTriggerList() override;

    // The program's list, set by the shell at start-up (null before and after).
    static VyrTriggerList *instance();
    static void set_instance(VyrTriggerList *list);

    // The first trigger of that name, or null.
    VyrTrigger *find(const QString &name) const;
    // A walk over the list; removing entries during it (the current one
    // included) leaves the walk on the entry after them.
    VyrTrigger *first();
    VyrTrigger *next();
    int count() const { return int(m_triggers.size()); }
    // Announces trigger_removed, then takes the trigger out without deleting it.
    void remove(VyrTrigger *trigger);
    // Deletes every trigger.
    void clear();
    // Deletes every trigger without the flag BuiltIn.
    void delete_configured();

    // The "triggers" list group and "trigger_count" in the group; built-in
    // and deleted triggers are left out.
    void write_config(QtbConfigGroup *group) const;
    // Appends a trigger per group of "triggers", any name accepted.
    void read_config(QtbConfigGroup *group);

signals:
    void trigger_removed(VyrTrigger *trigger);

private:
    friend class VyrTrigger;
    void append(VyrTrigger *trigger);
    void rename(VyrTrigger *trigger, const QString &name);
    void index_by_name(VyrTrigger *trigger);
    void unindex_by_name(VyrTrigger *trigger);

    std::vector<VyrTrigger *> m_triggers;
    size_t m_next = 0; // the index that next() answers
    uint64_t m_next_order = 0;
    // The triggers of each name, oldest first.
    QHash<QString, std::vector<VyrTrigger *>> m_by_name;
};

// Adds the built-in trigger "Running" that the measurement sets while it runs.
VyrTrigger *add_running_trigger(VyrTriggerList *list);
// A trigger name of the editors: letters, digits and "_" only.
bool is_valid_trigger_name(const QString &name);

// The "name" and "comment" keys of a trigger or condition group, each with its
// "_utf8" twin.
void write_name_and_comment(QtbConfigGroup *group, const QString &name, const QString &comment);
// A text written with its "_utf8" twin: the twin wins when it is there.
QString read_config_text(QtbConfigGroup *group, const char *key, const char *utf8_key);
