#pragma once
// A test interface that records what the realtime thread does with it, and a
// timer-wheel probe, for the tests of the interface runtime.
#include "settings/qtb_config.h"
#include "core/script_trigger.h"
#include "core/timer_wheel.h"
#include "core/vyr_signal_entry.h"
#include "core/vyr_signal_if.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace vyr_test {

// Lines of what happened, from any thread, with waits for a line to appear.
class Recorder
{
public:
    void add(const std::string &line)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_lines.push_back(line);
        m_changed.notify_all();
    }

    // Waits until the line was added `times` times.
    bool wait_for(const std::string &line, size_t times = 1)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::seconds(5), [&] {
            return size_t(std::count(m_lines.begin(), m_lines.end(), line)) >= times;
        });
    }

    bool contains(const std::string &line) const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return contains_locked(line);
    }

    // The lines that start with the prefix, in order.
    std::vector<std::string> starting_with(const std::string &prefix) const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        std::vector<std::string> found;
        for (const std::string &line : m_lines)
            if (line.compare(0, prefix.size(), prefix) == 0)
                found.push_back(line);
        return found;
    }

private:
    bool contains_locked(const std::string &line) const
    {
        return std::find(m_lines.begin(), m_lines.end(), line) != m_lines.end();
    }

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<std::string> m_lines;
};

// A gate that a thread waits at until the test opens it.
class Gate
{
public:
    void wait()
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_changed.wait(lock, [this] { return m_open; });
    }
    void open()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_open = true;
        m_changed.notify_all();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_open = false;
};

// Records "probe <name> <slot>/<target>" when the wheel fires it.
class Probe : public TimerEntry
{
public:
    Probe(Recorder &recorder, std::string name) : m_recorder(recorder), m_name(std::move(name)) {}
    void fire(uint32_t slot_time, uint32_t target_time) override
    {
        m_recorder.add("probe " + m_name + " " + std::to_string(slot_time) + "/" + std::to_string(target_time));
    }

private:
    Recorder &m_recorder;
    std::string m_name;
};

// Waits the way the realtime thread does, except that positive time-outs
// never run out: the thread then moves only on the events a test sets.
inline int wait_on_events_only(const std::vector<platform::WaitHandle> &handles, int timeout_ms)
{
    return platform::wait_any(handles, timeout_ms > 0 ? platform::wait_infinite : timeout_ms);
}

class TestInterface : public VyrSignalIf
{
public:
    explicit TestInterface(QObject *owner, VyrSignalIfNotification *notification, const char *type_name = "TEST")
        : VyrSignalIf(type_name, owner, notification)
    {
    }
    ~TestInterface() override { stop(); }

    int basic_definitions() override { return 0; }
    int script_struct_type(const char *, void *) override { return -1; }
    int prepare_start() override
    {
        record("prepare_start");
        return 0;
    }
    void write_configuration(QtbConfig &config) override { write_config_common(config); }
    bool configure(QWidget *) override { return false; }
    int startup() override
    {
        record("startup");
        return VyrSignalIf::startup();
    }
    int go_online() override
    {
        record("go_online");
        return 0;
    }
    int open() override
    {
        record("open");
        if (open_gate)
            open_gate->wait();
        std::lock_guard<std::mutex> lock(m_results_mutex);
        if (open_results.empty())
            return 0;
        const int r = open_results.front();
        open_results.pop_front();
        return r;
    }
    int close() override
    {
        record("close");
        return 0;
    }
    int cyclic() override
    {
        record("cyclic " + state_text());
        return 0;
    }
    int read_script_signal(VyrSignalEntry *entry, SignalValue &value) override
    {
        record(std::string("read ") + entry->signal()->name());
        value.set_int(++reads);
        return 0;
    }
    int write_script_signal(VyrSignalEntry *entry, const SignalValue &value) override
    {
        record(std::string("write ") + entry->signal()->name() + " " + std::to_string(value.int_value));
        return 0;
    }
    void execute_internal_script_trigger(uint32_t type, uintptr_t address, uint32_t argument) override
    {
        record("internal " + std::to_string(type) + " " + std::to_string(address) + " " + std::to_string(argument));
    }

    // Runs the realtime thread with the event-only wait.
    void start_on_events()
    {
        set_wait_function([this](const std::vector<platform::WaitHandle> &handles, int timeout_ms) {
            waiting = true;
            const int result = wait_on_events_only(handles, timeout_ms);
            waiting = false;
            return result;
        });
        start();
    }
    // Until the thread started with start_on_events() waits again, having
    // done what it was doing (say, re-arming a timer after what a test saw);
    // false after five seconds.
    bool wait_until_waiting()
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (!waiting.load()) {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        return true;
    }
    std::atomic<bool> waiting{false};

    using VyrSignalIf::set_cycle_time;
    using VyrSignalIf::set_short_waits;
    using VyrSignalIf::set_device_handle;
    using VyrSignalIf::start_functions;
    using VyrSignalIf::stop_functions;
    using VyrSignalIf::tick_event;

    Recorder recorder;
    Gate *open_gate = nullptr;
    std::deque<int> open_results;
    std::atomic<int> reads{0};

protected:
    bool has_script_machine() const override { return true; }
    void store_script_argument(const ScriptTrigger &, uint32_t argument) override
    {
        record("argument " + std::to_string(argument));
    }
    int run_script_function(int function_id) override
    {
        record("function " + std::to_string(function_id));
        return 0;
    }

private:
    void record(const std::string &line) { recorder.add(line); }
    std::mutex m_results_mutex;
};

} // namespace vyr_test
