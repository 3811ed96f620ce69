#pragma once
// The base class of every interface (CAN, LIN, serial, UDP, USB, plug-in
// library, diagnostics, FlexRay): identity and naming, the global interface
// list, the signal list, and the realtime thread that serves the interface's
// events, queues, deferred calls, signal polling, reconnects and, for one
// interface, the main timer wheel. Subclasses supply the bus-specific work.
//
// One ownership rule holds on the receive road, for every listener to come:
// - The realtime thread only appends each received frame to single-producer
//   rings, one per listener (VyrMessageRing, as VyrMessageQueue), and keeps
//   exact counts of the frames that found no room. It never allocates,
//   zero-fills, waits on a lock that another thread holds for more than a
//   short copy, writes to a disc or calls into a window.
// - Filters, tables, selection and painting belong to the GUI tick of the
//   window that listens; that tick also makes the room in its ring ahead.
// - A log file is a listener of its own with its own writer thread, owned by
//   the logging facility (LogFile), not by a window.
// - The listener lists are published copies (RealtimePublished): adding or
//   removing a listener while the thread runs is safe by construction, and
//   once a removal returns the thread no longer touches that listener.
// The lock-free primitives live once, in core/: vyr_message_ring.h and
// realtime_published.h.
#include "core/intrusive_list.h"
#include "core/realtime_published.h"
#include "core/script_trigger.h"
#include "core/signal_record.h"
#include "core/time_base.h"
#include "core/vyr_definer.h"
#include "core/vyr_deferred_call.h"
#include "core/vyr_script_hosting.h"
#include "core/vyr_signal_entry.h"
#include "platform/event.h"
#include "platform/wait.h"

#include <QString>

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdarg>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class QObject;
class QWidget;
class QtbConfig;
class QtbConfigGroup;
class ScriptTrigger;
class SeedKeyLibrary;
class TimerWheel;
class VyrDeferredCall;
class VyrPacketSource;
class VyrReconnectTimer;
class VyrSignalEntry;
class VyrSignalIfNotification;
class VyrSignalList;
class VyrSignalListener;
namespace platform {
class RtClockDevice;
}

// A handler that another part registers on an interface to see its received
// frames or packets (the diagnostics interface does). It is called for the
// frames whose four key words equal its own.
class VyrSignalIfHandler
{
public:
    explicit VyrSignalIfHandler(uint32_t key0, uint32_t key1 = 0, uint32_t key2 = 0, uint32_t key3 = 0)
        : m_keys{key0, key1, key2, key3}
    {
    }
    virtual ~VyrSignalIfHandler() = default;
    // Runs in the interface's realtime thread; must not block.
    virtual int on_frame(const uint8_t *data, int length, const TimeValue &time, const void *record) = 0;
    const std::array<uint32_t, 4> &keys() const { return m_keys; }

private:
    std::array<uint32_t, 4> m_keys;
};

class VyrSignalIf : public VyrOutputSink
{
public:
    // Results of interface operations: ok and the two successes without a
    // value skip the error handling; negative values are the errors that
    // report_error names. A polled signal read without a value is not told
    // to its listeners; it is polled again only after
    // ok_no_value_keep_polling.
    enum Result {
        ok = 0,
        ok_no_value = 1,
        ok_no_value_keep_polling = 2,
        timeout = -1,
        protocol_error = -2,
        internal_error = -3,
        device_busy = -4,
        access_denied = -5,
        invalid_address = -6
    };
    // What report_error does with an error.
    enum FailAction { report_to_owner = 0, log_only = 1, log_and_reconnect = 2 };

    // The stop request is repeated this many times, each followed by a wait
    // of stop_wait_ms for the thread to finish.
    static constexpr int stop_tries = 5;
    static constexpr int stop_wait_ms = 1000;
    static constexpr int max_extra_handles = 32;
    static constexpr int initial_request_nodes = 8;
    static constexpr int request_growth = 4;

    // Waits for the first ready handle of a set (platform::wait_any); tests
    // replace it so that time-outs pass without real time.
    using WaitFunction = std::function<int(const std::vector<platform::WaitHandle> &, int timeout_ms)>;

    // owner receives the custom events of this interface (the main window);
    // notification carries its log lines and change notices (may be null).
    VyrSignalIf(const char *type_name, QObject *owner, VyrSignalIfNotification *notification);
    // Stops a thread that still runs (it is joined, never cancelled).
    ~VyrSignalIf() override;
    VyrSignalIf(const VyrSignalIf &) = delete;
    VyrSignalIf &operator=(const VyrSignalIf &) = delete;

    // --- Identity -----------------------------------------------------------
    virtual std::string type_name() const;
    void set_type_name(const char *type_name);
    // Type name and instance, "CAN1".
    virtual std::string make_id() const;
    // Display name, "CAN 1" after construction.
    std::string name() const;
    // Announces the change with interface_configuration_changed.
    void set_name(const std::string &name);
    int instance() const { return m_instance; }
    bool active() const { return m_active; }
    void set_active(bool active) { m_active = active; }
    QObject *owner() const { return m_owner; }
    VyrSignalIfNotification *notification() const { return m_notification; }
    VyrDefiner *definer() { return &m_definer; }
    // HTML: the interface name and its script file.
    virtual QString info_text() const;

    // --- Operations of the interface kinds ----------------------------------
    // An internal trigger (type above 65535) taken from the output queue.
    virtual void execute_internal_script_trigger(uint32_t type, uintptr_t address, uint32_t argument);
    virtual bool has_memory_access() const { return false; }
    // Rank in the measurement start order (ascending; 999 means none left).
    virtual int start_order() const { return 0; }
    // Compiles the interface's own script prelude; nonzero is a failure.
    virtual int basic_definitions() = 0;
    // Prepares a newly created interface before its first settings dialog.
    virtual void init_new() {}
    virtual void before_reload() {}
    // Script hosting: compile the script library and file; reload them.
    virtual int sclib_init();
    virtual int after_reload();
    virtual bool has_script_file() const;
    // 1 when the user abandoned the start, -1 when a reload failed.
    virtual int check_script_file_modified(QWidget *parent);
    virtual int reload_script();
    virtual void rebase_script_file_path(const QString &old_dir, const QString &new_dir);
    virtual int process_output_queue();
    // The main timer wheel, given at measurement start; drives: this
    // interface's thread advances it. The wheel must outlive the interface's
    // use of it (its polling and reconnect timers are cancelled there).
    virtual void set_timer(TimerWheel *wheel, bool drives);
    virtual bool uses_own_time_base() const { return false; }
    // Replaces the signal list, deleting the old one.
    virtual void set_signal_list(std::unique_ptr<VyrSignalList> list);
    virtual VyrSignalList *signal_list() const { return m_signals.get(); }
    // Script-defined signals: run the signal's script function. Without a
    // script machine -1.
    virtual int read_script_signal(VyrSignalEntry *entry, SignalValue &value);
    virtual int write_script_signal(VyrSignalEntry *entry, const SignalValue &value);
    // Id of a script struct or event name of this interface; -1 when not its own.
    virtual int script_struct_type(const char *name, void *parser_context) = 0;
    // The receive and polling work of a subclass, run by the thread.
    virtual int cyclic() { return 0; }
    // Measurement passes, in this order: prepare_start, set_timer, startup
    // (open the hardware), go_online (bus on), start (the thread), then stop.
    virtual int prepare_start() = 0;
    virtual int start();
    virtual int startup();
    virtual int go_online() { return 0; }
    // -1 when the thread did not finish after stop_tries requests.
    virtual int stop();
    // First and last call of the thread: run the "start" and "stop" script functions.
    virtual int open();
    virtual int close();
    virtual SignalRecord *new_signal(const char *name, uint32_t flags);
    // Every implementation starts with write_config_common.
    virtual void write_configuration(QtbConfig &config) = 0;
    // Settings dialog; true when the settings changed.
    virtual bool configure(QWidget *parent) = 0;
    virtual int packet_source_count() const { return 0; }
    // The producers of packets that packet windows attach to.
    virtual VyrPacketSource *packet_source(int index) const { return nullptr; }

    // --- What the interface offers the windows --------------------------------
    // The kinds of data a window shows. A window asks an interface whether it
    // offers its kind instead of naming interface types, so that a new kind
    // of interface appears in the windows of what it offers.
    enum Offer : unsigned {
        offers_can_frames = 1u << 0, // CAN frame records (of a CAN or LIN channel)
        offers_packets = 1u << 1,    // at least one packet source
        offers_signals = 1u << 2,    // signals that signal windows follow
    };
    // The Offer bits. Every interface has its signal list; packets are
    // offered when there is a packet source. Interfaces add their own kinds.
    virtual unsigned offered_kinds() const;
    bool offers(Offer kind) const { return (offered_kinds() & kind) != 0; }

    // --- From the GUI and other threads -------------------------------------
    // Queues a value for the signal's script function (direction output or
    // in/out); -1 when the signal has no entry or the wrong direction.
    int post_write_request(SignalRecord *signal, const SignalValue &value);
    // Attaches the listener to the entry of the signal, creating the entry on
    // first use (with a polling timer for a polled input); -1 when there is
    // no signal or the script does not define it.
    int add_signal_listener(VyrSignalListener *listener, SignalRecord *signal);
    void clear_signal_listeners();
    // VyrOutputSink: runs the trigger in the thread; an item queued already stays
    // once. Without a running thread the item is dropped.
    void post_output(ScriptTrigger *item) override;
    // The same with the argument the run receives, stored under the queue's
    // mutex: the thread copies it there when it takes the item, so a post
    // from another thread never changes it while a run reads it.
    void post_output(ScriptTrigger *item, uint32_t argument);
    void post_deferred_call(VyrDeferredCall *call);
    // When this returns, the call is neither listed nor running (unless the
    // thread itself removes the call it runs).
    void remove_deferred_call(VyrDeferredCall *call);
    void clear_deferred_calls();
    // From the timer-wheel thread.
    void queue_poll(VyrSignalEntry *entry);
    void request_reconnect();

    // Handlers may come and go while the thread runs; once remove_handler
    // returns, the thread no longer calls the handler.
    void add_handler(VyrSignalIfHandler *handler);
    void remove_handler(VyrSignalIfHandler *handler);
    void call_handlers(const uint8_t *data, int length, const TimeValue &time, const void *record, uint32_t key0,
                       uint32_t key1 = 0, uint32_t key2 = 0, uint32_t key3 = 0);

    // --- Settings -------------------------------------------------------------
    const QString &script_file() const { return m_script_file; }
    void set_script_file(const QString &path) { m_script_file = path; }
    int script_ok() const { return m_script_ok; }
    void set_script_ok(int ok) { m_script_ok = ok; }
    int reconnect_time() const { return m_reconnect_time; }
    // Only positive values are taken.
    void set_reconnect_time(int seconds);
    int fail_action() const { return m_fail_action; }
    void set_fail_action(int action) { m_fail_action = action; }
    int cycle_time() const { return m_cycle_time; }
    bool uses_timers() const { return m_timer_wheel && m_drives_timers; }
    TimerWheel *timer_wheel() const { return m_timer_wheel; }
    int last_error() const { return m_last_error.load(); }
    bool abort_requested() const { return m_abort.load(); }
    // "???", "RTCLOCKX", "NOTIFICATION" or "TIMEOUT": why cyclic last ran.
    std::string state_text() const;
    // The next interface of the global list.
    VyrSignalIf *next() const;
    bool thread_running() const { return m_thread.joinable() && !m_finished.load(); }
    SeedKeyLibrary *seedkey_library() const { return m_seedkey.get(); }
    void set_seedkey_library(std::unique_ptr<SeedKeyLibrary> library);
    // Nodes of the request ring (it starts with 8 and grows by 4 when full).
    int request_node_count() const { return m_request_node_count; }

    // --- Script hosting -----------------------------------------------------------
    // Null when no script engine is installed.
    VyrScriptHosting *script_hosting() const { return m_hosting.get(); }
    // Held around every run of the script machine: the script mutex, with
    // the busy counter raised.
    class ScriptRunLock
    {
    public:
        explicit ScriptRunLock(VyrSignalIf &signal_if) : m_signal_if(signal_if), m_lock(signal_if.m_script_mutex)
        {
            ++m_signal_if.m_script_busy;
        }
        ~ScriptRunLock() { --m_signal_if.m_script_busy; }
        ScriptRunLock(const ScriptRunLock &) = delete;
        ScriptRunLock &operator=(const ScriptRunLock &) = delete;

    private:
        VyrSignalIf &m_signal_if;
        std::lock_guard<std::mutex> m_lock;
    };
    // Script function ids of the "variables", "init", "start" and "stop"
    // hooks, in the order the script defines them. open runs "start", close
    // runs "stop"; the interfaces run "variables" and "init" in prepare_start.
    std::vector<int> &variables_functions() { return m_variables_functions; }
    std::vector<int> &init_functions() { return m_init_functions; }
    std::vector<int> &start_functions() { return m_start_functions; }
    std::vector<int> &stop_functions() { return m_stop_functions; }
    // Runs the functions in order, each under the script lock.
    int run_script_functions(const std::vector<int> &functions);
    // Takes a trigger out of the output queue (a timer restarted or cancelled,
    // a trigger about to be deleted).
    void remove_output(ScriptTrigger *item);

    // Appends the interface's section (named by its type) to the
    // configuration and writes the common keys; the subclass adds its own.
    QtbConfigGroup *write_config_common(QtbConfig &config);
    int read_config_common(QtbConfigGroup *group);

    // Realtime (time-critical) or normal priority for the calling thread.
    static int set_thread_priority(bool realtime);

    // --- Log lines to the message window (nothing without a notification object)
    void message_raw(const std::string &text);
    void message_no_newline(const std::string &text);
    void message(const std::string &text);
    void warning(const std::string &text);
    void error(const std::string &text);
    void message_printf(const char *format, ...) __attribute__((format(printf, 2, 3)));
    void warning_printf(const char *format, ...) __attribute__((format(printf, 2, 3)));
    void error_printf(const char *format, ...) __attribute__((format(printf, 2, 3)));

    // For tests: how the thread and stop wait.
    void set_wait_function(WaitFunction wait);

protected:
    // The thread body.
    virtual void run();

    // The output queue and open/close run script functions through these,
    // which hand them to the script hosting.
    virtual bool has_script_machine() const;
    virtual void store_script_argument(const ScriptTrigger &item, uint32_t argument);
    virtual int run_script_function(int function_id);
    // Called by stop(): the script context forgets the state of its last run.
    virtual void drop_script_run_state();

    void set_cycle_time(int ms) { m_cycle_time = ms; }
    // The next `count` waits of the thread use a 1 ms time-out.
    void set_short_waits(unsigned count) { m_short_waits = count; }
    // A sixth wait handle (a device); fd 0 or negative: none. Set before start.
    void set_device_handle(platform::WaitHandle handle) { m_device_handle = handle; }
    // Up to 32 further wait handles (device events of channels). Set before start.
    void set_extra_handles(std::vector<platform::WaitHandle> handles);
    // The event the clock driver sets on every tick.
    platform::Event &tick_event() { return m_tick_event; }
    // script_busy is raised around every run of the script machine.
    std::mutex &script_mutex() { return m_script_mutex; }
    // Clears the state of every signal (at measurement start).
    void reset_signal_states();
    // The entries of the followed signals, in creation order.
    std::vector<VyrSignalEntry *> signal_entries() const;

private:
    friend void report_error(VyrSignalIf *signal_if, int code);

    // A node of the request ring. The value travels in the node, so a value
    // posted while the thread still reads an earlier one cannot tear it.
    struct RequestNode
    {
        std::atomic<RequestNode *> next{nullptr};
        VyrSignalEntry *payload = nullptr;
        SignalValue value;
    };

    void thread_main();
    // The clock driver the thread takes its ticks from, or null.
    platform::RtClockDevice *register_clock_tick();
    int wait_time_ms() const;
    static void wake_for_timer(void *context);
    // The time the thread moves the wheel to: elapsed_ms().
    static uint32_t wheel_clock(void *context);
    // Milliseconds since the thread started, by the interface's clock.
    uint32_t elapsed_ms() const;
    void serve_request_ring();
    void service_wakeup();
    void run_deferred_calls();
    void serve_poll_queue();
    void reconnect();
    void catch_up_timer_wheel(bool &behind);
    void rearm_polling_timers();
    void unlink_deferred_locked(VyrDeferredCall *call);
    void log_prefixed(int level, const std::string &prefix, const std::string &text);
    void vlog_printf(int level, const char *prefix, const char *format, va_list args);
    VyrSignalEntry *find_entry_locked(SignalRecord *signal) const;

    QObject *m_owner;
    VyrSignalIfNotification *m_notification;
    bool m_active = false;
    std::atomic<bool> m_abort{false};
    int m_instance = 1;
    int m_cycle_time = 1000;
    VyrDefiner m_definer;
    std::unique_ptr<SeedKeyLibrary> m_seedkey;
    std::unique_ptr<VyrSignalList> m_signals;
    mutable std::mutex m_name_mutex; // the name is read from interface threads for log lines
    std::string m_name;
    std::string m_type_name;
    QString m_script_file;
    int m_script_ok = 1;
    std::atomic<unsigned> m_short_waits{0};
    std::atomic<const char *> m_state_text{"???"};

    // Request ring: one consumer (the thread) that takes no lock; producers
    // serialise on their own mutex.
    std::mutex m_request_producer_mutex;
    std::vector<std::unique_ptr<RequestNode>> m_request_nodes;
    std::atomic<RequestNode *> m_request_read{nullptr};
    std::atomic<RequestNode *> m_request_write{nullptr};
    int m_request_node_count = 0;

    int m_reconnect_time = 30;
    int m_fail_action = report_to_owner;
    std::atomic<int> m_last_error{0};
    std::unique_ptr<VyrReconnectTimer> m_reconnect_timer;
    std::atomic<bool> m_reconnect_requested{false};
    TimeValue m_thread_start;
    TimerWheel *m_timer_wheel = nullptr;
    bool m_drives_timers = false;

    // Output queue of script triggers.
    // Under m_output_mutex: queues the item unless it is queued already or the
    // thread has finished; false when nothing was queued.
    bool queue_output_locked(ScriptTrigger *item, bool &was_empty);
    std::mutex m_output_mutex;
    IntrusiveList<ScriptTrigger, &ScriptTrigger::m_output_link> m_output_queue;

    std::mutex m_script_mutex;
    std::atomic<int> m_script_busy{0};

    // Deferred calls: the posted list, and the batch the thread is running.
    std::mutex m_deferred_mutex;
    std::condition_variable m_deferred_done;
    IntrusiveList<VyrDeferredCall, &VyrDeferredCall::m_link> m_deferred_posted;
    IntrusiveList<VyrDeferredCall, &VyrDeferredCall::m_link> m_deferred_batch;
    VyrDeferredCall *m_deferred_running = nullptr;

    // Followed signals, in creation order. Windows add entries on the GUI
    // thread while write requests look them up from any thread.
    mutable std::mutex m_entries_mutex;
    std::vector<std::unique_ptr<VyrSignalEntry>> m_entries;
    // The entries with a polling timer and the queue of those whose timer
    // fired, both under m_poll_mutex: the thread walks the first when it
    // re-arms the timers (at start and on a reconnect) while the GUI thread
    // may add to it.
    std::mutex m_poll_mutex;
    IntrusiveList<VyrSignalEntry, &VyrSignalEntry::polling_link> m_polling_entries;
    IntrusiveList<VyrSignalEntry, &VyrSignalEntry::poll_queue_link> m_poll_queue;

    platform::Event m_stop_event;
    platform::Event m_finished_event;
    platform::Event m_request_event;
    platform::Event m_output_event;
    platform::Event m_wakeup_event;
    platform::Event m_tick_event;
    platform::WaitHandle m_device_handle;
    std::vector<platform::WaitHandle> m_extra_handles;
    WaitFunction m_wait;
    bool m_wait_failure_reported = false;

    std::thread m_thread;
    std::atomic<bool> m_finished{true};
    std::atomic<std::thread::id> m_thread_id{};

    std::vector<int> m_variables_functions;
    std::vector<int> m_init_functions;
    std::vector<int> m_start_functions;
    std::vector<int> m_stop_functions;
    // Made last and destroyed first: it refers to the interface's definer,
    // timer wheel and signals.
    std::unique_ptr<VyrScriptHosting> m_hosting;

    // The handler list the receive thread walks: a copy published for each change.
    RealtimePasses m_handler_passes;
    RealtimePublished<std::vector<VyrSignalIfHandler *>> m_handlers{m_handler_passes};

    IntrusiveLink<VyrSignalIf> m_list_link; // global interface list
    friend struct SignalIfList;
};

// Records an interface's error code as its last error and turns an error
// (a code other than 0, 1 and 2) into an event to the owner, a log line or a
// log line and a reconnect, by the interface's fail action.
void report_error(VyrSignalIf *signal_if, int code);
// The text of an error code ("Timeout", ..., "Unknown").
const char *error_reason_text(int code);

// The global list of interfaces in creation order.
VyrSignalIf *get_first_signal_if();
// Compares with the display name; null finds nothing.
VyrSignalIf *find_signal_if_by_name(const char *name);
// instance ~0 matches any instance.
VyrSignalIf *find_signal_if_by_type(const char *type_name, unsigned instance);
// Compares with make_id ("CAN1").
VyrSignalIf *find_signal_if_by_id(const char *id);
void write_all_signal_if_configurations(QtbConfig &config);
// An interface links itself in when it is built and out when it is destroyed;
// the interface list dialog takes one out before it deletes it. Unlinking an
// interface that is not in the list does nothing.
void link_signal_if(VyrSignalIf *signal_if);
void unlink_signal_if(VyrSignalIf *signal_if);
