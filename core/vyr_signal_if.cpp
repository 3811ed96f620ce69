#include "core/vyr_signal_if.h"

#include "core/path_util.h"
#include "core/script_trigger.h"
#include "core/seed_key_library.h"
#include "settings/debug_trace.h"
#include "settings/qtb_config.h"
#include "core/signal_record.h"
#include "core/timer_wheel.h"
#include "core/vyr_app_globals.h"
#include "core/vyr_custom_event.h"
#include "core/vyr_deferred_call.h"
#include "core/vyr_env_var_list.h"
#include "core/vyr_message_log.h"
#include "core/vyr_signal_entry.h"
#include "core/vyr_signal_if_notification.h"
#include "core/vyr_signal_if_timers.h"
#include "core/vyr_signal_list.h"
#include "core/vyr_signal_listener.h"
#include "platform/realtime.h"
#include "platform/rt_clock_device.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLocale>

#include <algorithm>
#include <cstdio>
#include <cstring>

// --- The global interface list ------------------------------------------------

// Interfaces are created and deleted on the GUI thread; lookups also come from
// interface threads, so the links change under a mutex.
struct SignalIfList
{
    using List = IntrusiveList<VyrSignalIf, &VyrSignalIf::m_list_link>;

    static std::mutex &mutex()
    {
        static std::mutex m;
        return m;
    }
    static List &list()
    {
        static List interfaces;
        return interfaces;
    }

    static void link(VyrSignalIf *signal_if)
    {
        std::lock_guard<std::mutex> lock(mutex());
        list().push_back(signal_if);
    }

    static void unlink(VyrSignalIf *signal_if)
    {
        std::lock_guard<std::mutex> lock(mutex());
        list().remove(signal_if);
    }

    static VyrSignalIf *next(const VyrSignalIf *signal_if)
    {
        std::lock_guard<std::mutex> lock(mutex());
        return List::next(signal_if);
    }

    template <typename Match> static VyrSignalIf *find(Match match)
    {
        std::lock_guard<std::mutex> lock(mutex());
        for (VyrSignalIf *p = list().first(); p; p = List::next(p))
            if (match(p))
                return p;
        return nullptr;
    }
};

VyrSignalIf *get_first_signal_if()
{
    std::lock_guard<std::mutex> lock(SignalIfList::mutex());
    return SignalIfList::list().first();
}

VyrSignalIf *VyrSignalIf::next() const
{
    return SignalIfList::next(this);
}

VyrSignalIf *find_signal_if_by_name(const char *name)
{
    if (!name)
        return nullptr;
    return SignalIfList::find([name](VyrSignalIf *p) { return p->name() == name; });
}

VyrSignalIf *find_signal_if_by_type(const char *type_name, unsigned instance)
{
    if (!type_name)
        return nullptr;
    return SignalIfList::find([type_name, instance](VyrSignalIf *p) {
        return p->type_name() == type_name && (instance == ~0u || unsigned(p->instance()) == instance);
    });
}

VyrSignalIf *find_signal_if_by_id(const char *id)
{
    if (!id)
        return nullptr;
    return SignalIfList::find([id](VyrSignalIf *p) { return p->make_id() == id; });
}

void write_all_signal_if_configurations(QtbConfig &config)
{
    for (VyrSignalIf *p = get_first_signal_if(); p; p = p->next())
        p->write_configuration(config);
}

void link_signal_if(VyrSignalIf *signal_if)
{
    SignalIfList::link(signal_if);
}

void unlink_signal_if(VyrSignalIf *signal_if)
{
    SignalIfList::unlink(signal_if);
}

// --- Error reports --------------------------------------------------------------

static bool is_error_result(int r)
{
    return r != VyrSignalIf::ok && r != VyrSignalIf::ok_no_value && r != VyrSignalIf::ok_no_value_keep_polling;
}

const char *error_reason_text(int code)
{
    switch (code) {
    case VyrSignalIf::timeout:
        return "Timeout";
    case VyrSignalIf::protocol_error:
        return "Protocol error";
    case VyrSignalIf::internal_error:
        return "Internal error";
    case VyrSignalIf::device_busy:
        return "Device busy";
    case VyrSignalIf::access_denied:
        return "Access denied";
    case VyrSignalIf::invalid_address:
        return "Invalid address";
    default:
        return "Unknown";
    }
}

void report_error(VyrSignalIf *signal_if, int code)
{
    signal_if->m_last_error = code;
    if (!is_error_result(code))
        return;
    const char *reason = error_reason_text(code);
    if (!signal_if->owner())
        return;
    const int action = signal_if->fail_action();
    if (action == VyrSignalIf::report_to_owner) {
        post_vyr_event(signal_if->owner(), new VyrErrorEvent(QString::fromLatin1(reason)));
        return;
    }
    if (action != VyrSignalIf::log_only && action != VyrSignalIf::log_and_reconnect)
        return;
    signal_if->error_printf("%s\n", (std::string("Communication with target broken, reason: ") + reason).c_str());
    if (action != VyrSignalIf::log_and_reconnect || signal_if->reconnect_time() <= 0)
        return;
    TimerWheel *wheel = signal_if->timer_wheel();
    if (!wheel)
        return;
    if (!signal_if->m_reconnect_timer)
        signal_if->m_reconnect_timer = std::make_unique<VyrReconnectTimer>(signal_if);
    // An armed timer keeps its due time: the first error decides when the
    // reconnect comes.
    wheel->schedule(signal_if->m_reconnect_timer.get(), uint32_t(signal_if->reconnect_time()) * 1000u);
}

// --- Construction -------------------------------------------------------------------

namespace {
std::atomic<VyrScriptHostingFactory> g_script_hosting_factory{nullptr};
}

void set_script_hosting_factory(VyrScriptHostingFactory factory)
{
    g_script_hosting_factory = factory;
}

VyrSignalIf::VyrSignalIf(const char *type_name, QObject *owner, VyrSignalIfNotification *notification)
    : m_owner(owner),
      m_notification(notification),
      m_definer("script", this),
      m_signals(std::make_unique<VyrSignalList>()),
      m_type_name(type_name ? type_name : ""),
      m_wait(platform::wait_any)
{
    while (find_signal_if_by_type(m_type_name.c_str(), unsigned(m_instance)))
        ++m_instance;
    set_name(m_type_name + " " + std::to_string(m_instance));

    // The request ring starts as a circle of eight empty nodes.
    for (int i = 0; i < initial_request_nodes; ++i)
        m_request_nodes.push_back(std::make_unique<RequestNode>());
    for (int i = 0; i < initial_request_nodes; ++i)
        m_request_nodes[i]->next = m_request_nodes[(i + 1) % initial_request_nodes].get();
    m_request_node_count = initial_request_nodes;
    m_request_read = m_request_nodes[0].get();
    m_request_write = m_request_nodes[0].get();

    if (VyrScriptHostingFactory factory = g_script_hosting_factory.load())
        m_hosting = factory(this);
    SignalIfList::link(this);
}

VyrSignalIf::~VyrSignalIf()
{
    if (m_thread.joinable()) {
        // Subclasses stop their thread in their own destructor; one that is
        // still running here is asked to stop and waited for, never cancelled.
        if (VyrSignalIf::stop() != 0) {
            error_printf("Realtime thread did not stop; waiting for it to end\n");
            m_abort = true;
            m_stop_event.set();
            m_thread.join();
        }
    }
    // Its triggers go before the wheel, the variables and the signals they refer to.
    m_hosting.reset();
    SignalIfList::unlink(this);
    if (VyrEnvVarList *variables = VyrEnvVarList::instance())
        variables->remove_definer(&m_definer);
    clear_signal_listeners();
    if (m_reconnect_timer && m_timer_wheel)
        m_timer_wheel->cancel(m_reconnect_timer.get());
}

// --- Identity ------------------------------------------------------------------------

std::string VyrSignalIf::type_name() const
{
    return m_type_name;
}

void VyrSignalIf::set_type_name(const char *type_name)
{
    m_type_name = type_name ? type_name : "";
}

std::string VyrSignalIf::make_id() const
{
    return type_name() + std::to_string(m_instance);
}

std::string VyrSignalIf::name() const
{
    std::lock_guard<std::mutex> lock(m_name_mutex);
    return m_name;
}

void VyrSignalIf::set_name(const std::string &name)
{
    {
        std::lock_guard<std::mutex> lock(m_name_mutex);
        m_name = name;
    }
    if (m_notification)
        emit m_notification->interface_configuration_changed(QString::fromStdString(make_id()));
}

QString VyrSignalIf::info_text() const
{
    QString text = QString("<h3>Interface \"%1\"</h3>").arg(QString::fromStdString(name()).toHtmlEscaped());
    if (!m_script_file.isEmpty())
        text += QString("<p>Script file: \"%1\"</p>").arg(m_script_file.toHtmlEscaped());
    else
        text += "<p>No USR script file assigned.</p>";
    return text;
}

void VyrSignalIf::execute_internal_script_trigger(uint32_t type, uintptr_t address, uint32_t argument)
{
    debug_trace("VyrSignalIf::execute_internal_script_trigger (type=%d, address=%lu, argument=%u)", int(type),
                static_cast<unsigned long>(address), argument);
}

bool VyrSignalIf::has_script_file() const
{
    return !m_script_file.isEmpty();
}

int VyrSignalIf::reload_script()
{
    return has_script_file() ? after_reload() : 0;
}

void VyrSignalIf::rebase_script_file_path(const QString &old_dir, const QString &new_dir)
{
    if (!has_script_file() || !QFileInfo(m_script_file).isRelative())
        return;
    QFileInfo file(QDir(old_dir).absoluteFilePath(m_script_file));
    make_path_relative(file, new_dir);
    m_script_file = file.filePath();
}

void VyrSignalIf::set_timer(TimerWheel *wheel, bool drives)
{
    m_timer_wheel = wheel;
    m_drives_timers = drives;
}

void VyrSignalIf::set_signal_list(std::unique_ptr<VyrSignalList> list)
{
    m_signals = std::move(list);
}

int VyrSignalIf::sclib_init()
{
    return m_hosting ? m_hosting->sclib_init() : 0;
}

int VyrSignalIf::after_reload()
{
    return m_hosting ? m_hosting->after_reload() : 0;
}

int VyrSignalIf::check_script_file_modified(QWidget *parent)
{
    return m_hosting ? m_hosting->check_script_file_modified(parent) : 0;
}

unsigned VyrSignalIf::offered_kinds() const
{
    return offers_signals | (packet_source_count() > 0 ? offers_packets : 0u);
}

int VyrSignalIf::read_script_signal(VyrSignalEntry *entry, SignalValue &value)
{
    return m_hosting ? m_hosting->read_script_signal(entry, value) : -1;
}

int VyrSignalIf::write_script_signal(VyrSignalEntry *entry, const SignalValue &value)
{
    return m_hosting ? m_hosting->write_script_signal(entry, value) : -1;
}

bool VyrSignalIf::has_script_machine() const
{
    return m_hosting && m_hosting->has_machine();
}

void VyrSignalIf::store_script_argument(const ScriptTrigger &item, uint32_t argument)
{
    if (m_hosting)
        m_hosting->store_argument(item, argument);
}

int VyrSignalIf::run_script_function(int function_id)
{
    return m_hosting ? m_hosting->run_function(function_id) : 0;
}

void VyrSignalIf::drop_script_run_state()
{
    if (m_hosting)
        m_hosting->drop_run_state();
}

SignalRecord *VyrSignalIf::new_signal(const char *name, uint32_t flags)
{
    auto *signal = new SignalRecord;
    signal->set_name(name);
    signal->set_flags(flags);
    return signal;
}

void VyrSignalIf::set_reconnect_time(int seconds)
{
    if (seconds > 0)
        m_reconnect_time = seconds;
}

std::string VyrSignalIf::state_text() const
{
    return m_state_text.load();
}

void VyrSignalIf::set_seedkey_library(std::unique_ptr<SeedKeyLibrary> library)
{
    m_seedkey = std::move(library);
}

void VyrSignalIf::set_extra_handles(std::vector<platform::WaitHandle> handles)
{
    if (handles.size() > size_t(max_extra_handles))
        handles.resize(max_extra_handles);
    m_extra_handles = std::move(handles);
}

void VyrSignalIf::set_wait_function(WaitFunction wait)
{
    m_wait = wait ? std::move(wait) : WaitFunction(platform::wait_any);
}

// --- Measurement passes ------------------------------------------------------------------

int VyrSignalIf::startup()
{
    reset_signal_states();
    return 0;
}

void VyrSignalIf::reset_signal_states()
{
    m_script_busy = 0;
    for (SignalRecord *signal = m_signals->first(); signal; signal = m_signals->next())
        signal->clear_state();
}

int VyrSignalIf::start()
{
    if (thread_running())
        return -1; // a thread that did not stop keeps running; never start a second one
    if (m_thread.joinable())
        m_thread.join();
    m_last_error = 0;
    if (m_reconnect_timer && m_timer_wheel)
        m_timer_wheel->cancel(m_reconnect_timer.get());
    m_reconnect_timer.reset();
    m_reconnect_requested = false;
    m_abort = false;
    // Requests left over from an earlier stop must not end the new thread.
    m_stop_event.reset();
    m_finished_event.reset();
    m_finished = false;
    m_thread = std::thread(&VyrSignalIf::thread_main, this);
    return 0;
}

int VyrSignalIf::stop()
{
    if (m_thread.joinable()) {
        bool stopped = false;
        for (int attempt = 1; attempt <= stop_tries; ++attempt) {
            m_stop_event.set();
            if (attempt == 2)
                m_abort = true;
            if (m_wait({m_finished_event.handle()}, stop_wait_ms) == 0) {
                stopped = true;
                break;
            }
            const std::string current = name();
            debug_trace("RT-Thread not stopped (%s)", current.empty() ? "NULL" : current.c_str());
        }
        if (!stopped) {
            m_abort = false;
            return -1;
        }
        m_thread.join();
        debug_trace("VyrSignalIf::stop (%s) - stopped", name().c_str());
        m_abort = false;
    }
    if (uses_timers())
        m_timer_wheel->clear();
    {
        std::lock_guard<std::mutex> lock(m_output_mutex);
        m_output_queue.clear();
    }
    clear_deferred_calls();
    if (m_reconnect_timer && m_timer_wheel)
        m_timer_wheel->cancel(m_reconnect_timer.get());
    m_reconnect_timer.reset();
    m_reconnect_requested = false;
    m_seedkey.reset();
    drop_script_run_state();
    return 0;
}

int VyrSignalIf::open()
{
    return run_script_functions(m_start_functions);
}

int VyrSignalIf::close()
{
    return run_script_functions(m_stop_functions);
}

int VyrSignalIf::run_script_functions(const std::vector<int> &functions)
{
    if (!has_script_machine())
        return 0;
    for (int function_id : functions) {
        ScriptRunLock lock(*this);
        run_script_function(function_id);
    }
    return 0;
}

int VyrSignalIf::set_thread_priority(bool realtime)
{
    const int status = platform::set_thread_realtime(realtime);
    if (status == 0)
        return 0;
    debug_trace("Vyr Error: SetThreadPriority() failed, prio=%d, stat=0x%08x", realtime ? 15 : 0, unsigned(status));
    return -1;
}

// --- Signals followed by windows ---------------------------------------------------------

std::vector<VyrSignalEntry *> VyrSignalIf::signal_entries() const
{
    std::lock_guard<std::mutex> entries_lock(m_entries_mutex);
    std::vector<VyrSignalEntry *> entries;
    for (const auto &entry : m_entries)
        entries.push_back(entry.get());
    return entries;
}

VyrSignalEntry *VyrSignalIf::find_entry_locked(SignalRecord *signal) const
{
    for (const auto &entry : m_entries)
        if (entry->signal() == signal)
            return entry.get();
    return nullptr;
}

int VyrSignalIf::post_write_request(SignalRecord *signal, const SignalValue &value)
{
    // Held to the end, so that the entry cannot go while its request is queued.
    std::lock_guard<std::mutex> entries_lock(m_entries_mutex);
    VyrSignalEntry *entry = signal ? find_entry_locked(signal) : nullptr;
    if (!entry)
        return -1;
    const int direction = signal->direction();
    if (direction != SignalRecord::Output && direction != SignalRecord::InputOutput)
        return -1;

    std::lock_guard<std::mutex> lock(m_request_producer_mutex);
    RequestNode *write = m_request_write.load(std::memory_order_relaxed);
    if (write->next.load(std::memory_order_acquire) == m_request_read.load(std::memory_order_acquire)) {
        debug_trace("Vyr: Write queue full - create new entries");
        // The new nodes go in behind the write node, which the thread does
        // not pass before the write node moves on.
        RequestNode *after = write->next.load(std::memory_order_relaxed);
        for (int i = 0; i < request_growth; ++i) {
            auto node = std::make_unique<RequestNode>();
            node->next.store(after, std::memory_order_relaxed);
            after = node.get();
            m_request_nodes.push_back(std::move(node));
        }
        write->next.store(after, std::memory_order_release);
        m_request_node_count += request_growth;
    }
    write->payload = entry;
    write->value = value;
    m_request_write.store(write->next.load(std::memory_order_relaxed), std::memory_order_release);
    m_request_event.set();
    return 0;
}

int VyrSignalIf::add_signal_listener(VyrSignalListener *listener, SignalRecord *signal)
{
    if (!signal || !signal->has_flag(SignalRecord::DefinedByCompile))
        return -1;
    std::unique_lock<std::mutex> entries_lock(m_entries_mutex);
    VyrSignalEntry *entry = find_entry_locked(signal);
    if (!entry) {
        m_entries.push_back(std::make_unique<VyrSignalEntry>());
        entry = m_entries.back().get();
        entry->bind(signal);
        const int direction = signal->direction();
        if ((direction == SignalRecord::Input || direction == SignalRecord::InputOutput) &&
            signal->mode() == SignalRecord::Polling) {
            const uint32_t period = signal->rate() < 10 ? 1000u : uint32_t(signal->rate());
            entry->polling_timer = std::make_unique<VyrPollingTimer>(this, entry, period);
            std::lock_guard<std::mutex> poll_lock(m_poll_mutex);
            m_polling_entries.push_back(entry);
        }
    }
    // Outside the entries' mutex: a listener's notification holds the
    // entry's listener lock and may post a write request, which takes it.
    entries_lock.unlock();
    entry->add_listener(listener);
    return 0;
}

void VyrSignalIf::clear_signal_listeners()
{
    // Destroyed after the locks are released: an entry detaches its
    // listeners under their own lock, which a notification holds while it
    // may post a write request.
    std::vector<std::unique_ptr<VyrSignalEntry>> entries;
    std::lock_guard<std::mutex> entries_lock(m_entries_mutex);
    for (const auto &entry : m_entries)
        if (entry->polling_timer && m_timer_wheel)
            m_timer_wheel->cancel(entry->polling_timer.get());
    {
        std::lock_guard<std::mutex> lock(m_poll_mutex);
        m_poll_queue.clear();
        m_polling_entries.clear();
    }
    entries.swap(m_entries);
    std::lock_guard<std::mutex> lock(m_request_producer_mutex);
    for (const auto &node : m_request_nodes)
        node->payload = nullptr;
    m_request_read.store(m_request_write.load());
}

void VyrSignalIf::queue_poll(VyrSignalEntry *entry)
{
    {
        std::lock_guard<std::mutex> lock(m_poll_mutex);
        if (m_poll_queue.contains(entry))
            return;
        m_poll_queue.push_back(entry);
    }
    m_wakeup_event.set();
}

void VyrSignalIf::request_reconnect()
{
    m_reconnect_requested = true;
    m_wakeup_event.set();
}

void VyrSignalIf::rearm_polling_timers()
{
    std::vector<VyrPollingTimer *> timers;
    {
        std::lock_guard<std::mutex> lock(m_poll_mutex);
        m_poll_queue.clear();
        for (VyrSignalEntry *entry = m_polling_entries.first(); entry; entry = m_polling_entries.next(entry)) {
            if (entry->polling_timer)
                timers.push_back(static_cast<VyrPollingTimer *>(entry->polling_timer.get()));
        }
    }
    if (!m_timer_wheel)
        return;
    // Scheduled outside the poll mutex: a firing timer takes it while the
    // wheel holds its own mutex.
    for (VyrPollingTimer *timer : timers)
        m_timer_wheel->schedule(timer, timer->period());
}

// --- Output queue and deferred calls ----------------------------------------------------------

void VyrSignalIf::post_output(ScriptTrigger *item)
{
    bool was_empty;
    {
        std::lock_guard<std::mutex> lock(m_output_mutex);
        if (!queue_output_locked(item, was_empty))
            return;
    }
    if (was_empty)
        m_output_event.set();
}

void VyrSignalIf::post_output(ScriptTrigger *item, uint32_t argument)
{
    bool was_empty;
    {
        std::lock_guard<std::mutex> lock(m_output_mutex);
        // An item queued already runs once, with the latest argument.
        item->set_argument(argument);
        if (!queue_output_locked(item, was_empty))
            return;
    }
    if (was_empty)
        m_output_event.set();
}

bool VyrSignalIf::queue_output_locked(ScriptTrigger *item, bool &was_empty)
{
    // Without a running thread the item would only wait for the next start,
    // which empties the queue; it must not wait there, since a script reload
    // in between deletes the script's triggers (a script timer of a stopped
    // interface still fires while the wheel's driver runs on).
    if (m_finished.load() || m_output_queue.contains(item))
        return false;
    was_empty = m_output_queue.empty();
    m_output_queue.push_back(item);
    return true;
}

int VyrSignalIf::process_output_queue()
{
    if (!has_script_machine())
        return 0;
    for (;;) {
        ScriptTrigger *item;
        uint32_t argument;
        {
            std::lock_guard<std::mutex> lock(m_output_mutex);
            item = m_output_queue.pop_front();
            if (!item)
                return 0;
            argument = item->argument();
        }
        ScriptRunLock lock(*this);
        item->set_pending(false);
        if ((item->type() & 0xFFFF) != 0 && item->function_id() > 0) {
            store_script_argument(*item, argument);
            run_script_function(item->function_id());
        }
        if (item->type() >= ScriptTrigger::internal_base)
            execute_internal_script_trigger(item->type(), item->address(), argument);
    }
}

void VyrSignalIf::remove_output(ScriptTrigger *item)
{
    std::lock_guard<std::mutex> lock(m_output_mutex);
    m_output_queue.remove(item);
}

void VyrSignalIf::unlink_deferred_locked(VyrDeferredCall *call)
{
    m_deferred_posted.remove(call);
    m_deferred_batch.remove(call);
}

void VyrSignalIf::post_deferred_call(VyrDeferredCall *call)
{
    std::lock_guard<std::mutex> lock(m_deferred_mutex);
    if (call->m_queued)
        unlink_deferred_locked(call);
    m_deferred_posted.push_back(call);
    call->m_queued = true;
    call->m_pending = true;
    m_wakeup_event.set();
}

void VyrSignalIf::remove_deferred_call(VyrDeferredCall *call)
{
    std::unique_lock<std::mutex> lock(m_deferred_mutex);
    if (call->m_queued)
        unlink_deferred_locked(call);
    call->m_queued = false;
    call->m_pending = false;
    // The owner may delete the call once this returns: wait for a run of it
    // in progress, unless that run is the caller itself.
    if (std::this_thread::get_id() != m_thread_id)
        m_deferred_done.wait(lock, [this, call] { return m_deferred_running != call; });
}

void VyrSignalIf::clear_deferred_calls()
{
    std::unique_lock<std::mutex> lock(m_deferred_mutex);
    for (auto *list : {&m_deferred_posted, &m_deferred_batch}) {
        while (VyrDeferredCall *call = list->pop_front()) {
            call->m_queued = false;
            call->m_pending = false;
        }
    }
    if (std::this_thread::get_id() != m_thread_id)
        m_deferred_done.wait(lock, [this] { return m_deferred_running == nullptr; });
}

void VyrSignalIf::run_deferred_calls()
{
    std::unique_lock<std::mutex> lock(m_deferred_mutex);
    // The posted calls become this round's batch; calls posted while the
    // batch runs (also by the calls themselves) wait for the next wake-up.
    m_deferred_batch.append_all(m_deferred_posted);
    while (VyrDeferredCall *call = m_deferred_batch.pop_front()) {
        call->m_pending = false;
        if (!call->m_queued)
            continue;
        call->m_queued = false;
        m_deferred_running = call;
        lock.unlock();
        call->run();
        lock.lock();
        m_deferred_running = nullptr;
        m_deferred_done.notify_all();
    }
}

// --- Handlers of received frames -----------------------------------------------------------------

void VyrSignalIf::add_handler(VyrSignalIfHandler *handler)
{
    m_handlers.update_and_wait([handler](std::vector<VyrSignalIfHandler *> &handlers) { handlers.push_back(handler); });
}

void VyrSignalIf::remove_handler(VyrSignalIfHandler *handler)
{
    m_handlers.update_and_wait([handler](std::vector<VyrSignalIfHandler *> &handlers) {
        const auto found = std::find(handlers.begin(), handlers.end(), handler);
        if (found != handlers.end())
            handlers.erase(found);
    });
}

void VyrSignalIf::call_handlers(const uint8_t *data, int length, const TimeValue &time, const void *record,
                                uint32_t key0, uint32_t key1, uint32_t key2, uint32_t key3)
{
    const std::array<uint32_t, 4> keys{key0, key1, key2, key3};
    RealtimePasses::Pass pass(m_handler_passes);
    if (const std::vector<VyrSignalIfHandler *> *handlers = m_handlers.get())
        for (VyrSignalIfHandler *handler : *handlers)
            if (handler->keys() == keys)
                handler->on_frame(data, length, time, record);
}

// --- The realtime thread ------------------------------------------------------------------------

void VyrSignalIf::thread_main()
{
    m_thread_id = std::this_thread::get_id();
    run();
    m_finished = true;
    m_finished_event.set();
}

void VyrSignalIf::run()
{
    bool running = true;
    bool behind = false;
    m_short_waits = 0;
    int wakeups = 0;

    const VyrAppOptions &options = vyr_app_options();
    if (!options.nort || options.nice) {
        if (set_thread_priority(true) != 0 && platform::first_refusal(platform::Privilege::realtime_priority))
            warning("No realtime thread priority set !");
    } else {
        warning("No realtime thread priority set !");
    }

    {
        std::lock_guard<std::mutex> lock(m_output_mutex);
        m_output_queue.clear();
    }
    clear_deferred_calls();
    m_thread_start = get_current_time();
    platform::RtClockDevice *clock = register_clock_tick();
    if (uses_timers()) {
        m_timer_wheel->set_wake_hook(&VyrSignalIf::wake_for_timer, this);
        m_timer_wheel->set_clock(&VyrSignalIf::wheel_clock, this);
    }
    rearm_polling_timers();

    // 1 and 2 are successes: reported, they would stop the polling.
    const int r = open();
    if (is_error_result(r))
        report_error(this, r);
    m_state_text = "???";

    std::vector<platform::WaitHandle> handles;
    while (running) {
        int timeout_ms = wait_time_ms();
        bool tick = false;
        if (m_short_waits > 0) {
            --m_short_waits;
            timeout_ms = 1;
        }

        handles.clear();
        handles.push_back(m_stop_event.handle());
        handles.push_back(m_request_event.handle());
        handles.push_back(m_output_event.handle());
        handles.push_back(m_wakeup_event.handle());
        handles.push_back(m_tick_event.handle());
        if (m_device_handle.fd > 0)
            handles.push_back(m_device_handle);
        handles.insert(handles.end(), m_extra_handles.begin(), m_extra_handles.end());

        if (options.use_timercpu && uses_timers() && !uses_own_time_base()) {
            timeout_ms = 0;
#if defined(__x86_64__) || defined(__i386__)
            __builtin_ia32_pause();
#else
            std::this_thread::yield();
#endif
        }
        if (behind) {
            timeout_ms = 0;
            tick = true;
        }
        // The clock sets the tick event when the wait is over; the wait's own
        // time-out only backs it up, should the clock fail to tick.
        if (clock && timeout_ms > 0) {
            const uint32_t due_ms = uint32_t(timeout_ms);
            if (clock->control(platform::RtClockDevice::ioctl_set_next_tick, &due_ms, sizeof due_ms, nullptr, 0) == 0)
                timeout_ms += m_cycle_time;
        }

        int result = m_wait(handles, timeout_ms);
        if (result == platform::wait_failed) {
            // A device handle went bad. Waiting on our own events only keeps
            // the loop from spinning and stop working.
            if (!m_wait_failure_reported) {
                m_wait_failure_reported = true;
                warning_printf("Waiting for the device handles failed\n");
            }
            handles.resize(5);
            result = m_wait(handles, timeout_ms);
        }

        switch (result) {
        case 0: // stop
            running = false;
            break;
        case 1: // request ring
            serve_request_ring();
            ++wakeups;
            break;
        case 2: // output queue
            process_output_queue();
            ++wakeups;
            break;
        case 3: // wake-up
            service_wakeup();
            ++wakeups;
            break;
        case 4: // clock tick
            m_state_text = "RTCLOCKX";
            tick = true;
            cyclic();
            break;
        case platform::wait_timeout:
            m_state_text = "TIMEOUT";
            tick = true;
            cyclic();
            break;
        default: { // a device or channel handle
            bool deferred_waiting;
            {
                std::lock_guard<std::mutex> lock(m_deferred_mutex);
                deferred_waiting = !m_deferred_posted.empty();
            }
            if (deferred_waiting)
                service_wakeup();
            m_state_text = "NOTIFICATION";
            cyclic();
            if (options.use_timerevents)
                tick = true;
            else
                ++wakeups;
            break;
        }
        }

        // Events that never stop coming must not starve the timers.
        if (wakeups >= 10) {
            wakeups = 0;
            tick = true;
        }
        if (tick && uses_timers())
            catch_up_timer_wheel(behind);
    }
    if (uses_timers()) {
        m_timer_wheel->set_wake_hook(nullptr, nullptr);
        m_timer_wheel->set_clock(nullptr, nullptr);
    }
    close();
}

// Without timers the thread wakes once per cycle. Driving the wheel, it
// sleeps until the earliest entry falls due, at least 1 ms (the wheel's
// resolution) and at most one cycle; an entry scheduled earlier meanwhile
// wakes it through the wheel's hook.
int VyrSignalIf::wait_time_ms() const
{
    int cycle_ms = m_cycle_time;
    if (uses_own_time_base() && m_timer_wheel)
        cycle_ms *= int(m_timer_wheel->resolution());
    uint32_t slot = 0;
    if (!uses_timers() || !m_timer_wheel->watch_next_slot(slot))
        return cycle_ms;
    const int32_t until_due = int32_t(slot - elapsed_ms());
    return std::max(1, std::min(until_due, int32_t(cycle_ms)));
}

void VyrSignalIf::wake_for_timer(void *context)
{
    static_cast<VyrSignalIf *>(context)->m_wakeup_event.set();
}

uint32_t VyrSignalIf::wheel_clock(void *context)
{
    return static_cast<VyrSignalIf *>(context)->elapsed_ms();
}

uint32_t VyrSignalIf::elapsed_ms() const
{
    const TimeValue now = get_current_time();
    return (now.seconds - m_thread_start.seconds) * 1000u - m_thread_start.microseconds / 1000u +
           now.microseconds / 1000u;
}

platform::RtClockDevice *VyrSignalIf::register_clock_tick()
{
    platform::RtClockDevice *clock = clock_driver_handle();
    if (!uses_timers() || uses_own_time_base() || !m_tick_event.is_valid() || !clock)
        return nullptr;
    message_printf("Using RTCLOCKX Driver as timebase\n");
    const uint32_t handle = uint32_t(m_tick_event.fd());
    if (clock->control(platform::RtClockDevice::ioctl_set_tick_event, &handle, sizeof handle, nullptr, 0) != 0) {
        warning_printf("Failed to set RTCLOCKX Event\n");
        return nullptr;
    }
    return clock;
}

void VyrSignalIf::serve_request_ring()
{
    RequestNode *read = m_request_read.load(std::memory_order_relaxed);
    while (read != m_request_write.load(std::memory_order_acquire)) {
        VyrSignalEntry *entry = read->payload;
        const SignalValue value = read->value;
        read->payload = nullptr;
        read = read->next.load(std::memory_order_acquire);
        m_request_read.store(read, std::memory_order_release);
        if (!entry)
            continue;
        const int r = write_script_signal(entry, value);
        if (is_error_result(r))
            report_error(this, r);
    }
}

void VyrSignalIf::service_wakeup()
{
    run_deferred_calls();
    serve_poll_queue();
    if (m_reconnect_requested)
        reconnect();
}

void VyrSignalIf::serve_poll_queue()
{
    std::vector<VyrSignalEntry *> polled;
    {
        std::lock_guard<std::mutex> lock(m_poll_mutex);
        if (m_poll_queue.empty() || m_last_error != 0)
            return;
        while (VyrSignalEntry *entry = m_poll_queue.pop_front())
            polled.push_back(entry);
    }
    for (VyrSignalEntry *entry : polled) {
        if (m_last_error != 0)
            continue; // polling stops until a reconnect re-arms the timers
        SignalValue value{};
        const int r = read_script_signal(entry, value);
        if (r == ok)
            entry->notify_listeners(value);
        else if (is_error_result(r))
            report_error(this, r);
        if ((r == ok || r == ok_no_value_keep_polling) && m_timer_wheel && entry->polling_timer) {
            auto *timer = static_cast<VyrPollingTimer *>(entry->polling_timer.get());
            m_timer_wheel->schedule(timer, timer->period());
        }
    }
}

void VyrSignalIf::reconnect()
{
    message_printf("Reconnect - close old connection\n");
    close();
    m_last_error = 0;
    message_printf("Reconnect - open new connection\n");
    rearm_polling_timers();
    // 1 and 2 are successes: reported, they would stop the polling.
    const int r = open();
    if (is_error_result(r))
        report_error(this, r);
    m_reconnect_requested = false;
}

void VyrSignalIf::catch_up_timer_wheel(bool &behind)
{
    const uint32_t resolution = m_timer_wheel->resolution();
    const uint32_t limit = uses_own_time_base() ? 1000u * resolution : 1000u;
    uint32_t elapsed = 0;
    uint32_t wheel_time = 0;
    uint32_t lag = 0;
    for (int reading = 1;; ++reading) {
        elapsed = elapsed_ms();
        wheel_time = m_timer_wheel->current_time();
        lag = elapsed > wheel_time ? elapsed - wheel_time : wheel_time - elapsed;
        if (lag > 5)
            debug_trace("dt=%u", lag);
        if (lag <= limit)
            break;
        if (reading == 4) {
            warning_printf("Timebase gained %u ms (time_ms=%u, timebase_time_ms=%u)!!!\n", lag, elapsed, wheel_time);
            break;
        }
    }

    // A wheel ahead of the clock waits for it; it never moves backwards.
    behind = false;
    if (elapsed <= wheel_time)
        return;
    const uint32_t steps = uses_own_time_base() ? (lag + resolution - 1) / resolution : lag;
    if (steps >= 10) {
        m_timer_wheel->advance(elapsed);
        return;
    }
    // A small lag is made up one step per loop, with the events that came in
    // meanwhile served in between.
    const uint32_t target = elapsed - elapsed % resolution;
    if (wheel_time == target)
        return;
    m_timer_wheel->advance(wheel_time + resolution);
    behind = m_timer_wheel->current_time() != target;
}

// --- Configuration ---------------------------------------------------------------------------------

QtbConfigGroup *VyrSignalIf::write_config_common(QtbConfig &config)
{
    QtbConfigGroup *group = config.add_group(type_name().c_str());
    group->write_bool("active", m_active);
    group->write_int("index", m_instance);
    // Names are 8-bit texts kept byte for byte, whatever their encoding.
    group->write_cstring("name", name().c_str());
    QtbConfigGroup *dummies = group->add_group("dummy_signals");
    for (SignalRecord *signal = m_signals->first(); signal; signal = m_signals->next()) {
        if (signal->has_flag(SignalRecord::DefinedByCompile) || signal->use_count() < 1)
            continue;
        QtbConfigGroup *entry = dummies->add_group("");
        entry->write_cstring("name", signal->name() ? signal->name() : "");
        entry->write_int("flags", int32_t(signal->flags()));
        // The shortest text that reads back as the same double.
        entry->write_string("min", QString::number(signal->min(), 'g', QLocale::FloatingPointShortest));
        entry->write_string("max", QString::number(signal->max(), 'g', QLocale::FloatingPointShortest));
        entry->write_int("type", signal->value_type());
        entry->write_int("direction", signal->direction());
        entry->write_int("characteristic", signal->characteristic());
        entry->write_int("rate", signal->rate());
        entry->write_int("mode", signal->mode());
    }
    return group;
}

int VyrSignalIf::read_config_common(QtbConfigGroup *group)
{
    m_active = group->read_bool("active", m_active);
    const int index = group->read_int("index", 0);
    if (index != 0)
        m_instance = index;
    // read_string hands the stored bytes over as Latin-1, so toLatin1 gives them back unchanged.
    const QByteArray configured_name = group->read_string("name", QString::fromLatin1(name().c_str())).toLatin1();
    if (!configured_name.isEmpty())
        set_name(configured_name.toStdString());

    QtbConfigGroup *dummies = group->get_group("dummy_signals");
    for (QtbConfigGroup *entry = dummies ? dummies->first_group() : nullptr; entry; entry = dummies->next_group()) {
        const QByteArray signal_name = entry->read_string("name", QString()).toLatin1();
        const double min = entry->read_string("min", "0").toDouble();
        const double max = entry->read_string("max", "0").toDouble();
        const uint32_t flags = uint32_t(entry->read_int("flags", 0));
        SignalRecord *signal = new_signal(signal_name.constData(), flags);
        signal->set_owner(this);
        signal->set_min(min);
        signal->set_max(max);
        auto set_changed = [signal](int current, int wanted, auto setter) {
            if (current != wanted) {
                setter(wanted);
                signal->add_flags(SignalRecord::Changed);
            }
        };
        set_changed(signal->value_type(), entry->read_int("type", 0), [signal](int v) { signal->set_value_type(v); });
        set_changed(signal->direction(), entry->read_int("direction", 0),
                    [signal](int v) { signal->set_direction(v); });
        set_changed(signal->characteristic(), entry->read_int("characteristic", 0),
                    [signal](int v) { signal->set_characteristic(v); });
        set_changed(signal->mode(), entry->read_int("mode", 0), [signal](int v) { signal->set_mode(v); });
        set_changed(signal->rate(), entry->read_int("rate", 0), [signal](int v) { signal->set_rate(v); });
        signal->remove_flags(SignalRecord::DefinedByCompile);
        signal->add_flags(SignalRecord::KeptForWindows);
        m_signals->insert(signal);
    }
    return 0;
}

// --- Log lines ------------------------------------------------------------------------------------

void VyrSignalIf::log_prefixed(int level, const std::string &prefix, const std::string &text)
{
    if (m_notification)
        m_notification->log(level, prefix + text);
}

static std::string translated(const char *text)
{
    return QCoreApplication::translate("VyrSignalIf", text).toStdString();
}

void VyrSignalIf::message_raw(const std::string &text)
{
    log_prefixed(VyrMessageLog::info, std::string(), text);
}

void VyrSignalIf::message_no_newline(const std::string &text)
{
    log_prefixed(VyrMessageLog::info, name() + ": ", text);
}

void VyrSignalIf::message(const std::string &text)
{
    log_prefixed(VyrMessageLog::info, name() + ": ", text + "\n");
}

void VyrSignalIf::warning(const std::string &text)
{
    log_prefixed(VyrMessageLog::warning, translated("Warning in") + " " + name() + ": ", text);
}

void VyrSignalIf::error(const std::string &text)
{
    log_prefixed(VyrMessageLog::error, translated("Error in") + " " + name() + ": ", text);
}

void VyrSignalIf::vlog_printf(int level, const char *prefix, const char *format, va_list args)
{
    if (!m_notification)
        return;
    const std::string text = vformat_limited(VyrSignalIfNotification::max_printf_length, format, args);
    log_prefixed(level, std::string(prefix) + name() + ": ", text);
}

void VyrSignalIf::message_printf(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    vlog_printf(VyrMessageLog::info, "", format, args);
    va_end(args);
}

void VyrSignalIf::warning_printf(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    vlog_printf(VyrMessageLog::warning, "Warning in ", format, args);
    va_end(args);
}

void VyrSignalIf::error_printf(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    vlog_printf(VyrMessageLog::error, "Error in ", format, args);
    va_end(args);
}
