#include "settings/qtb_config.h"
#include "core/script_trigger.h"
#include "core/vyr_app_globals.h"
#include "core/vyr_deferred_call.h"
#include "core/vyr_signal_if.h"
#include "core/vyr_signal_if_timers.h"
#include "core/vyr_signal_list.h"
#include "core/vyr_signal_listener.h"
#include "platform/rt_clock_device.h"
#include "signal_if_test_support.h"
#include "vyr_test_shell.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <thread>

using namespace vyr_test;

namespace {

class RecordingListener : public VyrSignalListener
{
public:
    explicit RecordingListener(Recorder &recorder) : m_recorder(recorder) {}
    ~RecordingListener() override { detach(); } // the interface's thread notifies it
    void value_changed(const SignalValue &value) override
    {
        m_recorder.add("value " + std::to_string(value.int_value));
    }

private:
    Recorder &m_recorder;
};

// A deferred call that records its runs and may post a follow-up call.
struct DeferredProbe
{
    Recorder *recorder;
    std::string name;
    VyrSignalIf *post_to = nullptr;
    VyrDeferredCall *follow_up = nullptr;
    VyrDeferredCall call{&DeferredProbe::run, this};

    static void run(VyrDeferredCall *call)
    {
        auto *self = static_cast<DeferredProbe *>(call->context());
        self->recorder->add("deferred " + self->name);
        if (self->post_to && self->follow_up) {
            VyrDeferredCall *next = self->follow_up;
            self->follow_up = nullptr;
            self->post_to->post_deferred_call(next);
        }
    }
};

// An interface whose thread hangs in open until the gate opens, and that
// touches none of its own members afterwards; it leaves stopping to the base.
class HangingInterface : public VyrSignalIf
{
public:
    HangingInterface(QObject *owner, VyrSignalIfNotification *notification, Gate *entered, Gate *gate)
        : VyrSignalIf("HANG", owner, notification), m_entered(entered), m_gate(gate)
    {
    }
    int basic_definitions() override { return 0; }
    int script_struct_type(const char *, void *) override { return -1; }
    int prepare_start() override { return 0; }
    void write_configuration(QtbConfig &) override {}
    bool configure(QWidget *) override { return false; }
    int open() override
    {
        Gate *gate = m_gate;
        m_entered->open();
        gate->wait();
        return 0;
    }

private:
    Gate *m_entered;
    Gate *m_gate;
};

class VyrSignalIfTest : public ::testing::Test
{
protected:
    VyrSignalIfTest()
    {
        // No realtime priority for test threads on a shared machine.
        vyr_app_options().nort = true;
        vyr_app_options().nice = false;
    }
    ~VyrSignalIfTest() override { vyr_app_options().nort = false; }

    TestInterface &make_interface()
    {
        interfaces.push_back(std::make_unique<TestInterface>(&shell, &shell.notification));
        return *interfaces.back();
    }

    static SignalRecord *add_signal(VyrSignalIf &signal_if, const char *name, int direction, int mode = 0,
                                    int rate = 0)
    {
        auto *signal = new SignalRecord;
        signal->set_name(name);
        signal->set_direction(direction);
        signal->set_mode(mode);
        signal->set_rate(rate);
        signal->add_flags(SignalRecord::DefinedByCompile);
        signal_if.signal_list()->insert(signal);
        return signal;
    }

    void tick(TestInterface &signal_if, uint64_t clock_ms)
    {
        time.clock.set_ms(clock_ms);
        signal_if.tick_event().set();
    }

    ClockInstaller time;
    VyrTestShell shell;
    std::vector<std::unique_ptr<TestInterface>> interfaces;
};

} // namespace

TEST_F(VyrSignalIfTest, MeasurementPassesRunInOrderWithOpenAndCloseOnTheThread)
{
    TestInterface &signal_if = make_interface();
    SignalRecord *signal = add_signal(signal_if, "speed", SignalRecord::Input);
    signal->set_int(3);

    EXPECT_EQ(signal_if.prepare_start(), 0);
    signal_if.set_timer(&shell.wheel, false);
    EXPECT_EQ(signal_if.startup(), 0);
    EXPECT_EQ(signal->state(), SignalRecord::NoValue);
    EXPECT_EQ(signal_if.go_online(), 0);
    signal_if.start_on_events();
    ASSERT_TRUE(signal_if.recorder.wait_for("open"));
    EXPECT_TRUE(signal_if.thread_running());
    EXPECT_EQ(signal_if.start(), -1); // never a second thread
    EXPECT_EQ(signal_if.stop(), 0);
    EXPECT_FALSE(signal_if.thread_running());
    EXPECT_EQ(signal_if.recorder.starting_with(""),
              (std::vector<std::string>{"prepare_start", "startup", "go_online", "open", "close"}));

    // The thread's warning about its priority reaches the message window by
    // queued delivery, on the GUI thread.
    const std::string warning = "Warning in TEST 1: No realtime thread priority set !";
    ASSERT_TRUE(shell.wait_until([&] { return shell.has_line(warning); }));
    for (const auto &line : shell.lines)
        EXPECT_TRUE(line.on_gui_thread);
}

TEST_F(VyrSignalIfTest, WakeUpSourcesAreServedByPriorityOneAtATime)
{
    TestInterface &signal_if = make_interface();
    SignalRecord *output = add_signal(signal_if, "out", SignalRecord::Output);
    Recorder values;
    RecordingListener listener(values);
    ASSERT_EQ(signal_if.add_signal_listener(&listener, output), 0);
    ScriptTrigger action(ScriptTrigger::action, 1);
    action.set_function_id(5);
    action.set_argument(9);
    DeferredProbe deferred{&signal_if.recorder, "call"};
    platform::Event device;
    signal_if.set_device_handle(device.handle());

    Gate gate;
    signal_if.open_gate = &gate;
    signal_if.start_on_events();
    ASSERT_TRUE(signal_if.recorder.wait_for("open"));
    // Every source at once while the thread is busy; they are served from the
    // highest priority down, each wait taking only its own event.
    device.set();
    signal_if.tick_event().set();
    signal_if.post_deferred_call(&deferred.call);
    signal_if.post_output(&action);
    signal_if.post_output(&action); // queued once
    SignalValue value;
    value.set_int(7);
    ASSERT_EQ(signal_if.post_write_request(output, value), 0);
    gate.open();
    ASSERT_TRUE(signal_if.recorder.wait_for("cyclic NOTIFICATION"));
    EXPECT_EQ(signal_if.stop(), 0);
    EXPECT_EQ(signal_if.recorder.starting_with(""),
              (std::vector<std::string>{"open", "write out 7", "argument 9", "function 5", "deferred call",
                                        "cyclic RTCLOCKX", "cyclic NOTIFICATION", "close"}));
}

TEST_F(VyrSignalIfTest, StopIsServedBeforeEverythingElse)
{
    TestInterface &signal_if = make_interface();
    DeferredProbe deferred{&signal_if.recorder, "call"};
    Gate gate;
    signal_if.open_gate = &gate;
    // stop() waits for the thread with the one-handle wait: open the gate only then.
    signal_if.set_wait_function([&](const std::vector<platform::WaitHandle> &handles, int timeout_ms) {
        if (handles.size() == 1)
            gate.open();
        return wait_on_events_only(handles, timeout_ms);
    });
    signal_if.start();
    ASSERT_TRUE(signal_if.recorder.wait_for("open"));
    signal_if.tick_event().set();
    signal_if.post_deferred_call(&deferred.call);
    EXPECT_EQ(signal_if.stop(), 0);
    EXPECT_EQ(signal_if.recorder.starting_with(""), (std::vector<std::string>{"open", "close"}));
    EXPECT_FALSE(deferred.call.pending());
}

TEST_F(VyrSignalIfTest, FullRequestRingGrowsByFourNodes)
{
    TestInterface &signal_if = make_interface();
    SignalRecord *output = add_signal(signal_if, "out", SignalRecord::InputOutput);
    SignalRecord *input = add_signal(signal_if, "in", SignalRecord::Input);
    SignalRecord *unfollowed = add_signal(signal_if, "free", SignalRecord::Output);
    Recorder values;
    RecordingListener listener(values), input_listener(values);
    ASSERT_EQ(signal_if.add_signal_listener(&listener, output), 0);
    ASSERT_EQ(signal_if.add_signal_listener(&input_listener, input), 0);

    SignalValue value;
    value.set_int(0);
    EXPECT_EQ(signal_if.post_write_request(input, value), -1);
    EXPECT_EQ(signal_if.post_write_request(unfollowed, value), -1);
    for (int i = 1; i <= 8; ++i) {
        value.set_int(i);
        ASSERT_EQ(signal_if.post_write_request(output, value), 0);
        EXPECT_EQ(signal_if.request_node_count(), i < 8 ? 8 : 12) << i;
    }
    signal_if.start_on_events();
    ASSERT_TRUE(signal_if.recorder.wait_for("write out 8"));
    std::vector<std::string> expected;
    for (int i = 1; i <= 8; ++i)
        expected.push_back("write out " + std::to_string(i));
    EXPECT_EQ(signal_if.recorder.starting_with("write"), expected);
}

TEST_F(VyrSignalIfTest, RequestsPostedByThreadsAtOnceArriveOnceAndInOrder)
{
    TestInterface &signal_if = make_interface();
    constexpr int producers = 4;
    constexpr int values = 200;
    Recorder unused;
    std::vector<std::unique_ptr<RecordingListener>> listeners;
    std::vector<SignalRecord *> outputs;
    for (int p = 0; p < producers; ++p) {
        outputs.push_back(add_signal(signal_if, ("out" + std::to_string(p)).c_str(), SignalRecord::Output));
        listeners.push_back(std::make_unique<RecordingListener>(unused));
        ASSERT_EQ(signal_if.add_signal_listener(listeners.back().get(), outputs.back()), 0);
    }
    Gate gate;
    signal_if.open_gate = &gate;
    signal_if.start_on_events();
    ASSERT_TRUE(signal_if.recorder.wait_for("open"));

    // The first half of the values fills the ring while the thread is held;
    // the second half is posted while the thread reads, so the ring is written,
    // read and grown at once.
    std::mutex mutex;
    std::condition_variable changed;
    int halfway = 0;
    std::vector<std::thread> threads;
    for (int p = 0; p < producers; ++p) {
        threads.emplace_back([&, signal = outputs[size_t(p)]] {
            SignalValue value;
            for (int i = 1; i <= values; ++i) {
                value.set_int(i);
                signal_if.post_write_request(signal, value);
                if (i == values / 2) {
                    std::lock_guard<std::mutex> lock(mutex);
                    ++halfway;
                    changed.notify_all();
                }
            }
        });
    }
    {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, [&] { return halfway == producers; });
    }
    gate.open();
    for (std::thread &thread : threads)
        thread.join();
    EXPECT_GE(signal_if.request_node_count(), producers * values / 2);

    for (int p = 0; p < producers; ++p) {
        const std::string name = "write out" + std::to_string(p) + " ";
        ASSERT_TRUE(signal_if.recorder.wait_for(name + std::to_string(values)));
        std::vector<std::string> expected;
        for (int i = 1; i <= values; ++i)
            expected.push_back(name + std::to_string(i));
        EXPECT_EQ(signal_if.recorder.starting_with(name), expected);
    }
    EXPECT_EQ(signal_if.stop(), 0);
}

TEST_F(VyrSignalIfTest, SignalsNotDefinedByTheScriptTakeNoListener)
{
    TestInterface &signal_if = make_interface();
    SignalRecord *signal = add_signal(signal_if, "kept", SignalRecord::Input);
    signal->remove_flags(SignalRecord::DefinedByCompile);
    Recorder values;
    RecordingListener listener(values);
    EXPECT_EQ(signal_if.add_signal_listener(&listener, signal), -1);
    EXPECT_EQ(signal_if.add_signal_listener(&listener, nullptr), -1);
}

TEST_F(VyrSignalIfTest, PolledInputIsReadAtItsRate)
{
    const struct {
        int rate;
        uint32_t period;
    } cases[] = {{50, 50}, {5, 1000}}; // a rate below 10 ms polls once a second
    for (const auto &c : cases) {
        SCOPED_TRACE(c.rate);
        shell.wheel.set_time(0);
        TestInterface &signal_if = make_interface();
        SignalRecord *input = add_signal(signal_if, "in", SignalRecord::Input, SignalRecord::Polling, c.rate);
        RecordingListener listener(signal_if.recorder);
        ASSERT_EQ(signal_if.add_signal_listener(&listener, input), 0);
        Probe before(signal_if.recorder, "before");
        shell.wheel.schedule(&before, c.period - 1);
        time.clock.set_ms(0);
        signal_if.set_timer(&shell.wheel, true);
        signal_if.start_on_events();
        ASSERT_TRUE(signal_if.recorder.wait_for("open")); // the thread took its start time

        tick(signal_if, c.period - 1);
        const std::string fired = "probe before " + std::to_string(c.period - 1) + "/" + std::to_string(c.period - 1);
        ASSERT_TRUE(signal_if.recorder.wait_for(fired));
        EXPECT_FALSE(signal_if.recorder.contains("read in"));

        tick(signal_if, c.period);
        ASSERT_TRUE(signal_if.recorder.wait_for("value 1"));
        // The next poll counts from the clock once the read re-armed it.
        ASSERT_TRUE(signal_if.wait_until_waiting());
        tick(signal_if, 2 * c.period);
        ASSERT_TRUE(signal_if.recorder.wait_for("value 2"));
        EXPECT_EQ(signal_if.recorder.starting_with("read").size(), 2u);
        EXPECT_EQ(signal_if.stop(), 0);
        interfaces.clear();
    }
}

TEST_F(VyrSignalIfTest, ReportErrorFollowsTheFailAction)
{
    TestInterface &signal_if = make_interface();
    signal_if.set_timer(&shell.wheel, false);
    const struct {
        int code;
        const char *reason;
    } reasons[] = {{-1, "Timeout"},        {-2, "Protocol error"}, {-3, "Internal error"}, {-4, "Device busy"},
                   {-5, "Access denied"}, {-6, "Invalid address"}, {-7, "Unknown"}};

    for (const auto &r : reasons) {
        report_error(&signal_if, r.code);
        EXPECT_EQ(signal_if.last_error(), r.code);
    }
    ASSERT_TRUE(shell.wait_until([&] { return shell.events.size() == 7; }));
    for (size_t i = 0; i < 7; ++i) {
        EXPECT_EQ(shell.events[i].type, 10003);
        EXPECT_EQ(shell.events[i].text, reasons[i].reason);
    }
    EXPECT_TRUE(shell.lines.empty());

    for (int code : {0, 1, 2}) {
        report_error(&signal_if, code);
        EXPECT_EQ(signal_if.last_error(), code);
    }
    signal_if.set_fail_action(VyrSignalIf::log_only);
    report_error(&signal_if, -2);
    signal_if.set_fail_action(VyrSignalIf::log_and_reconnect);
    report_error(&signal_if, -4);
    signal_if.set_fail_action(3); // no such action: the code is only recorded
    report_error(&signal_if, -5);
    EXPECT_EQ(signal_if.last_error(), -5);
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(shell.events.size(), 7u);
    ASSERT_EQ(shell.lines.size(), 2u);
    EXPECT_EQ(shell.lines[0].level, VyrMessageLog::error);
    EXPECT_EQ(shell.lines[0].text, "Error in TEST 1: Communication with target broken, reason: Protocol error\n");
    EXPECT_EQ(shell.lines[1].text, "Error in TEST 1: Communication with target broken, reason: Device busy\n");

    // Without an owner only the code is kept.
    TestInterface orphan(nullptr, &shell.notification);
    report_error(&orphan, -1);
    EXPECT_EQ(orphan.last_error(), -1);
    EXPECT_EQ(shell.lines.size(), 2u);
}

TEST_F(VyrSignalIfTest, LostConnectionIsReopenedAfterTheReconnectTime)
{
    TestInterface &signal_if = make_interface();
    SignalRecord *output = add_signal(signal_if, "out", SignalRecord::Output);
    Recorder values;
    RecordingListener listener(values);
    ASSERT_EQ(signal_if.add_signal_listener(&listener, output), 0);
    signal_if.set_fail_action(VyrSignalIf::log_and_reconnect);
    signal_if.set_reconnect_time(0); // ignored: only positive values are taken
    EXPECT_EQ(signal_if.reconnect_time(), 30);
    signal_if.open_results = {VyrSignalIf::timeout};
    signal_if.set_timer(&shell.wheel, true);
    signal_if.start_on_events();
    ASSERT_TRUE(signal_if.recorder.wait_for("open"));
    ASSERT_TRUE(signal_if.wait_until_waiting()); // the failed open armed the reconnect timer at 0

    // A second error while the reconnect timer runs does not postpone it.
    tick(signal_if, 10000);
    ASSERT_TRUE(signal_if.recorder.wait_for("cyclic RTCLOCKX"));
    SignalValue value;
    value.set_int(1);
    signal_if.post_write_request(output, value);
    ASSERT_TRUE(signal_if.recorder.wait_for("write out 1"));
    EXPECT_EQ(signal_if.recorder.starting_with("open").size(), 1u);

    tick(signal_if, 30000);
    ASSERT_TRUE(signal_if.recorder.wait_for("open", 2));
    ASSERT_TRUE(shell.wait_until([&] { return shell.has_line("TEST 1: Reconnect - open new connection\n"); }));
    EXPECT_EQ(signal_if.recorder.starting_with(""), (std::vector<std::string>{"open", "cyclic RTCLOCKX", "write out 1",
                                                                               "cyclic RTCLOCKX", "close", "open"}));
    EXPECT_EQ(signal_if.last_error(), 0);
    EXPECT_TRUE(shell.has_line("Error in TEST 1: Communication with target broken, reason: Timeout\n"));
    EXPECT_TRUE(shell.has_line("TEST 1: Reconnect - close old connection\n"));
    // The jump of 10 s exceeds the one-second limit of the catch-up.
    EXPECT_TRUE(shell.has_line("Warning in TEST 1: Timebase gained 10000 ms (time_ms=10000, timebase_time_ms=0)!!!\n"));
}

TEST_F(VyrSignalIfTest, OpenAnsweringASuccessVariantKeepsThePolling)
{
    for (int result : {VyrSignalIf::ok_no_value, VyrSignalIf::ok_no_value_keep_polling}) {
        SCOPED_TRACE(result);
        shell.wheel.set_time(0);
        time.clock.set_ms(0);
        TestInterface &signal_if = make_interface();
        SignalRecord *input = add_signal(signal_if, "in", SignalRecord::Input, SignalRecord::Polling, 50);
        RecordingListener listener(signal_if.recorder);
        ASSERT_EQ(signal_if.add_signal_listener(&listener, input), 0);
        signal_if.open_results = {result};
        signal_if.set_timer(&shell.wheel, true);
        signal_if.start_on_events();
        ASSERT_TRUE(signal_if.recorder.wait_for("open")); // the thread took its start time
        tick(signal_if, 50);
        ASSERT_TRUE(signal_if.recorder.wait_for("value 1"));
        EXPECT_EQ(signal_if.last_error(), 0);
        EXPECT_EQ(signal_if.stop(), 0);
        interfaces.clear();
    }
}

TEST_F(VyrSignalIfTest, ShortWaitsUseOneMillisecondTimeOuts)
{
    TestInterface &signal_if = make_interface();
    std::mutex mutex;
    bool recording = false;
    std::vector<int> timeouts;
    signal_if.set_wait_function([&](const std::vector<platform::WaitHandle> &handles, int timeout_ms) {
        if (handles.size() > 1) {
            std::lock_guard<std::mutex> lock(mutex);
            if (recording && timeouts.size() < 3) {
                timeouts.push_back(timeout_ms);
                return platform::wait_timeout;
            }
        }
        return wait_on_events_only(handles, timeout_ms);
    });
    signal_if.start();
    ASSERT_TRUE(signal_if.recorder.wait_for("open"));
    // A subclass asks for short waits from its thread, after traffic.
    struct Context
    {
        TestInterface *signal_if;
        std::mutex *mutex;
        bool *recording;
    } context{&signal_if, &mutex, &recording};
    VyrDeferredCall after_traffic(
        [](VyrDeferredCall *call) {
            auto *c = static_cast<Context *>(call->context());
            c->signal_if->set_short_waits(2);
            std::lock_guard<std::mutex> lock(*c->mutex);
            *c->recording = true;
        },
        &context);
    signal_if.post_deferred_call(&after_traffic);
    ASSERT_TRUE(signal_if.recorder.wait_for("cyclic TIMEOUT", 3));
    EXPECT_EQ(signal_if.stop(), 0);
    std::lock_guard<std::mutex> lock(mutex);
    EXPECT_EQ(timeouts, (std::vector<int>{1, 1, 1000}));
}

TEST_F(VyrSignalIfTest, TenWakeUpsWithoutATickForceATimerStep)
{
    TestInterface &signal_if = make_interface();
    Probe probe(signal_if.recorder, "p");
    shell.wheel.schedule(&probe, 1);
    signal_if.set_timer(&shell.wheel, true);
    signal_if.start_on_events();
    ASSERT_TRUE(signal_if.recorder.wait_for("open")); // the thread took its start time
    time.clock.set_ms(3);

    std::vector<std::unique_ptr<DeferredProbe>> calls;
    for (int i = 1; i <= 10; ++i) {
        calls.emplace_back(new DeferredProbe{&signal_if.recorder, std::to_string(i)});
        signal_if.post_deferred_call(&calls.back()->call);
        ASSERT_TRUE(signal_if.recorder.wait_for("deferred " + std::to_string(i)));
        // Nothing can move the wheel before the tenth wake-up.
        if (i == 9) {
            EXPECT_FALSE(signal_if.recorder.contains("probe p 1/1"));
        }
    }
    ASSERT_TRUE(signal_if.recorder.wait_for("probe p 1/1"));
    // The thread may still touch the test's objects after the last line it recorded.
    EXPECT_EQ(signal_if.stop(), 0);
}

TEST_F(VyrSignalIfTest, CatchUpStepsSmallLagsAndJumpsLargeOnes)
{
    const struct {
        uint32_t lag;
        std::vector<std::string> fired;
    } cases[] = {
        {5, {"probe 1 1/1", "probe 2 2/2", "probe 3 3/3", "probe 4 4/4", "probe 5 5/5"}},
        {20, {"probe 1 1/20", "probe 2 2/20", "probe 3 3/20", "probe 4 4/20", "probe 5 5/20"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.lag);
        shell.wheel.set_time(0);
        time.clock.set_ms(0);
        TestInterface &signal_if = make_interface();
        std::vector<std::unique_ptr<Probe>> probes;
        for (uint32_t t = 1; t <= 5; ++t) {
            probes.push_back(std::make_unique<Probe>(signal_if.recorder, std::to_string(t)));
            shell.wheel.schedule(probes.back().get(), t);
        }
        signal_if.set_timer(&shell.wheel, true);
        signal_if.start_on_events();
        ASSERT_TRUE(signal_if.recorder.wait_for("open")); // the thread took its start time
        tick(signal_if, c.lag);
        ASSERT_TRUE(signal_if.recorder.wait_for(c.fired.back()));
        EXPECT_EQ(signal_if.recorder.starting_with("probe"), c.fired);
        EXPECT_EQ(signal_if.stop(), 0);
        interfaces.clear();
    }
}

TEST_F(VyrSignalIfTest, WheelAheadOfTheClockWaitsForIt)
{
    TestInterface &signal_if = make_interface();
    shell.wheel.set_time(100);
    signal_if.set_timer(&shell.wheel, true);
    signal_if.start_on_events();
    ASSERT_TRUE(signal_if.recorder.wait_for("open")); // the thread took its start time
    tick(signal_if, 5);
    ASSERT_TRUE(signal_if.recorder.wait_for("cyclic RTCLOCKX"));
    DeferredProbe after{&signal_if.recorder, "after"};
    signal_if.post_deferred_call(&after.call);
    ASSERT_TRUE(signal_if.recorder.wait_for("deferred after"));
    EXPECT_EQ(shell.wheel.current_time(), 100u);
    EXPECT_FALSE(signal_if.recorder.contains("cyclic TIMEOUT")); // no zero-time-out chase
    // The thread may still touch the test's objects after the last line it recorded.
    EXPECT_EQ(signal_if.stop(), 0);
}

TEST_F(VyrSignalIfTest, StopGivesUpOnAHungThreadAfterFiveTries)
{
    TestInterface &signal_if = make_interface();
    Gate gate;
    signal_if.open_gate = &gate;
    std::atomic<bool> hung{true};
    std::vector<std::pair<int, bool>> waits; // time-out and abort flag of each wait of stop
    signal_if.set_wait_function([&](const std::vector<platform::WaitHandle> &handles, int timeout_ms) {
        if (handles.size() == 1 && hung) {
            waits.emplace_back(timeout_ms, signal_if.abort_requested());
            return platform::wait_timeout;
        }
        return wait_on_events_only(handles, timeout_ms);
    });
    signal_if.start();
    ASSERT_TRUE(signal_if.recorder.wait_for("open"));

    EXPECT_EQ(signal_if.stop(), -1);
    EXPECT_EQ(waits, (std::vector<std::pair<int, bool>>{{1000, false}, {1000, true}, {1000, true}, {1000, true},
                                                        {1000, true}}));
    EXPECT_FALSE(signal_if.abort_requested());
    EXPECT_TRUE(signal_if.thread_running());
    EXPECT_EQ(signal_if.start(), -1);

    // The stop request stays: once free, the thread ends by itself.
    hung = false;
    gate.open();
    ASSERT_TRUE(signal_if.recorder.wait_for("close"));
    EXPECT_EQ(signal_if.stop(), 0);
    EXPECT_EQ(signal_if.recorder.starting_with("cyclic").size(), 0u);
}

TEST_F(VyrSignalIfTest, DestroyingAnInterfaceWithAHungThreadWaitsForIt)
{
    Gate entered, gate;
    auto signal_if = std::make_unique<HangingInterface>(&shell, &shell.notification, &entered, &gate);
    signal_if->set_wait_function([](const std::vector<platform::WaitHandle> &handles, int timeout_ms) {
        return handles.size() == 1 ? platform::wait_timeout : wait_on_events_only(handles, timeout_ms);
    });
    signal_if->start();
    entered.wait();
    const std::string error = "Error in HANG 1: Realtime thread did not stop; waiting for it to end\n";
    shell.on_line = [&](const VyrTestShell::Line &line) {
        if (line.text == error)
            gate.open();
    };
    signal_if.reset(); // returns only once the thread is gone
    EXPECT_TRUE(shell.has_line(error));
}

TEST_F(VyrSignalIfTest, DeferredCallsMayPostCallsAndBeRemoved)
{
    TestInterface &signal_if = make_interface();
    Gate gate;
    signal_if.open_gate = &gate;
    signal_if.start_on_events();
    ASSERT_TRUE(signal_if.recorder.wait_for("open"));

    DeferredProbe second{&signal_if.recorder, "second"};
    DeferredProbe first{&signal_if.recorder, "first", &signal_if, &second.call};
    DeferredProbe again{&signal_if.recorder, "again", &signal_if};
    again.follow_up = &again.call; // posts itself once more
    DeferredProbe removed{&signal_if.recorder, "removed"};
    signal_if.post_deferred_call(&first.call);
    signal_if.post_deferred_call(&removed.call);
    signal_if.post_deferred_call(&again.call);
    signal_if.remove_deferred_call(&removed.call);
    EXPECT_FALSE(removed.call.pending());
    gate.open();
    ASSERT_TRUE(signal_if.recorder.wait_for("deferred second"));
    DeferredProbe last{&signal_if.recorder, "last"};
    signal_if.post_deferred_call(&last.call);
    ASSERT_TRUE(signal_if.recorder.wait_for("deferred last"));
    EXPECT_EQ(signal_if.recorder.starting_with("deferred"),
              (std::vector<std::string>{"deferred first", "deferred again", "deferred second", "deferred again",
                                        "deferred last"}));
    EXPECT_FALSE(first.call.pending());
    // The thread may still touch the test's objects after the last line it recorded.
    EXPECT_EQ(signal_if.stop(), 0);
}

TEST_F(VyrSignalIfTest, OutputQueueRunsScriptFunctionsAndInternalTriggers)
{
    TestInterface &signal_if = make_interface();
    ScriptTrigger internal(ScriptTrigger::internal_base, 1234);
    internal.set_argument(3);
    ScriptTrigger no_function(ScriptTrigger::timer, 8);
    no_function.set_pending(true);
    ScriptTrigger with_buffer(ScriptTrigger::envvar, 2);
    with_buffer.set_function_id(4);
    with_buffer.set_argument(6);
    signal_if.start_on_events();
    ASSERT_TRUE(signal_if.recorder.wait_for("open"));
    signal_if.post_output(&internal);
    signal_if.post_output(&no_function);
    signal_if.post_output(&with_buffer);
    ASSERT_TRUE(signal_if.recorder.wait_for("function 4"));
    EXPECT_EQ(signal_if.recorder.starting_with(""),
              (std::vector<std::string>{"open", "internal 65536 1234 3", "argument 6", "function 4"}));
    EXPECT_FALSE(no_function.pending());
    // The thread may still touch the test's objects after the last line it recorded.
    EXPECT_EQ(signal_if.stop(), 0);
}

// A script timer of an interface that stopped before the wheel's driver can
// still fire, and a script reload may delete its trigger before the next
// start: the queue must not keep an item while no thread serves it.
TEST_F(VyrSignalIfTest, OutputPostedWithoutARunningThreadIsNotKept)
{
    TestInterface &signal_if = make_interface();
    alignas(ScriptTrigger) unsigned char storage[sizeof(ScriptTrigger)];
    auto *trigger = new (storage) ScriptTrigger(ScriptTrigger::timer, 40);
    trigger->set_function_id(7);
    signal_if.post_output(trigger);
    trigger->~ScriptTrigger();
    std::memset(storage, 0xA5, sizeof storage); // what deleted memory may hold
    EXPECT_EQ(signal_if.stop(), 0);              // empties the queue
    signal_if.start_on_events();                 // the thread empties it too
    ASSERT_TRUE(signal_if.recorder.wait_for("open"));
    EXPECT_EQ(signal_if.stop(), 0);
    EXPECT_EQ(signal_if.recorder.starting_with("function"), std::vector<std::string>{});
}

TEST_F(VyrSignalIfTest, StopWithoutAThreadClearsQueuesAndTheWheel)
{
    TestInterface &signal_if = make_interface();
    signal_if.set_timer(&shell.wheel, true);
    Probe probe(signal_if.recorder, "p");
    shell.wheel.schedule(&probe, 10);
    DeferredProbe deferred{&signal_if.recorder, "call"};
    signal_if.post_deferred_call(&deferred.call);
    EXPECT_EQ(signal_if.stop(), 0);
    EXPECT_FALSE(probe.armed());
    EXPECT_FALSE(deferred.call.pending());
    EXPECT_FALSE(deferred.call.queued());
}

TEST_F(VyrSignalIfTest, ClockDriverTicksDriveTheThread)
{
    auto clock = platform::RtClockDevice::open();
    ASSERT_TRUE(clock);
    set_clock_driver_handle(clock.get());
    TestInterface &signal_if = make_interface();
    signal_if.set_timer(&shell.wheel, true);
    signal_if.start_on_events();
    ASSERT_TRUE(signal_if.recorder.wait_for("open")); // the thread took its start time
    EXPECT_TRUE(signal_if.recorder.wait_for("cyclic RTCLOCKX"));
    EXPECT_EQ(signal_if.stop(), 0);
    set_clock_driver_handle(nullptr);
    EXPECT_TRUE(shell.wait_until([&] { return shell.has_line("TEST 1: Using RTCLOCKX Driver as timebase\n"); }));
}

// The time-outs of the thread's waits while it drives the wheel: one wait
// per event, each until the next due entry (or a cycle when none is armed),
// never a string of 1 ms waits. Positive time-outs never run out here.
TEST_F(VyrSignalIfTest, ThreadWaitsUntilTheNextDueTimer)
{
    TestInterface &signal_if = make_interface();
    std::mutex mutex;
    std::condition_variable waited;
    std::vector<int> timeouts;
    signal_if.set_wait_function([&](const std::vector<platform::WaitHandle> &handles, int timeout_ms) {
        if (handles.size() > 1) {
            std::lock_guard<std::mutex> lock(mutex);
            timeouts.push_back(timeout_ms);
            waited.notify_all();
        }
        return wait_on_events_only(handles, timeout_ms);
    });
    auto waits_so_far = [&](size_t count) {
        std::unique_lock<std::mutex> lock(mutex);
        waited.wait_for(lock, std::chrono::seconds(5), [&] { return timeouts.size() >= count; });
        return timeouts;
    };
    Probe due(signal_if.recorder, "due"), later(signal_if.recorder, "later");
    shell.wheel.schedule(&due, 200);
    signal_if.set_timer(&shell.wheel, true);
    signal_if.start();
    ASSERT_TRUE(signal_if.recorder.wait_for("open")); // the thread took its start time
    EXPECT_EQ(waits_so_far(1), std::vector<int>{200});

    // Woken by something else, it waits for the rest of the time.
    time.clock.set_ms(150);
    DeferredProbe wake{&signal_if.recorder, "wake"};
    signal_if.post_deferred_call(&wake.call);
    EXPECT_EQ(waits_so_far(2), (std::vector<int>{200, 50}));

    // Nothing armed after the expiry: a whole cycle.
    tick(signal_if, 200);
    ASSERT_TRUE(signal_if.recorder.wait_for("probe due 200/200"));
    EXPECT_EQ(waits_so_far(3), (std::vector<int>{200, 50, 1000}));

    // An entry scheduled by another thread while it sleeps shortens the wait.
    shell.wheel.schedule(&later, 10);
    EXPECT_EQ(waits_so_far(4), (std::vector<int>{200, 50, 1000, 10}));
    EXPECT_EQ(signal_if.stop(), 0);
    std::lock_guard<std::mutex> lock(mutex);
    EXPECT_EQ(timeouts.size(), 4u);
}

// With the clock driver the thread arms the clock for the next due entry: a
// far one leaves it asleep, a near one scheduled meanwhile ends the sleep.
TEST_F(VyrSignalIfTest, ClockDriverIsArmedForTheNextDueTimerInsteadOfTicking)
{
    auto clock = platform::RtClockDevice::open();
    ASSERT_TRUE(clock);
    set_clock_driver_handle(clock.get());
    TestInterface &signal_if = make_interface();
    std::atomic<int> waits{0};
    signal_if.set_wait_function([&](const std::vector<platform::WaitHandle> &handles, int timeout_ms) {
        if (handles.size() > 1)
            ++waits;
        return wait_on_events_only(handles, timeout_ms);
    });
    signal_if.set_cycle_time(60000);
    Probe far(signal_if.recorder, "far"), near(signal_if.recorder, "near");
    shell.wheel.schedule(&far, 30000);
    signal_if.set_timer(&shell.wheel, true);
    signal_if.start();
    ASSERT_TRUE(signal_if.recorder.wait_for("open"));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    // One wait, and one more for a tick the clock gave between its
    // registration and its first arming; ticking, it would be about 100.
    EXPECT_LE(waits.load(), 2);

    // Due at 5 by the thread's clock, which then reaches it.
    shell.wheel.schedule(&near, 5);
    time.clock.set_ms(5);
    ASSERT_TRUE(signal_if.recorder.wait_for("probe near 5/5"));
    EXPECT_TRUE(signal_if.recorder.contains("cyclic RTCLOCKX"));
    EXPECT_TRUE(far.armed());
    EXPECT_EQ(signal_if.stop(), 0);
    set_clock_driver_handle(nullptr);
}

TEST_F(VyrSignalIfTest, LogLinesCarryTheirPrefixes)
{
    TestInterface &signal_if = make_interface();
    signal_if.message_raw("raw");
    signal_if.message_no_newline("part");
    signal_if.message("line");
    signal_if.warning("careful");
    signal_if.error("broken");
    signal_if.message_printf("%d\n", 42);
    signal_if.warning_printf("w%s", "1");
    signal_if.error_printf("%s", std::string(600, 'e').c_str());
    const std::vector<std::pair<int, std::string>> expected = {
        {2, "raw"},
        {2, "TEST 1: part"},
        {2, "TEST 1: line\n"},
        {3, "Warning in TEST 1: careful"},
        {4, "Error in TEST 1: broken"},
        {2, "TEST 1: 42\n"},
        {3, "Warning in TEST 1: w1"},
        {4, "Error in TEST 1: " + std::string(500, 'e')},
    };
    ASSERT_EQ(shell.lines.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(shell.lines[i].level, expected[i].first);
        EXPECT_EQ(shell.lines[i].text, expected[i].second);
    }
    TestInterface silent(&shell, nullptr);
    silent.message("nothing");
    EXPECT_EQ(shell.lines.size(), expected.size());
}

TEST_F(VyrSignalIfTest, CommonConfigurationKeepsSignalsThatWindowsUse)
{
    QtbConfig input;
    QtbConfigGroup *group = input.add_group("TEST");
    group->write_bool("active", true);
    group->write_int("index", 4);
    group->write_string("name", "Bench");
    QtbConfigGroup *dummy = group->add_group("dummy_signals")->add_group("");
    dummy->write_string("name", "Engine.Speed");
    dummy->write_string("min", "0.1234567");
    dummy->write_string("max", "999999999");
    dummy->write_int("flags", 0x5);
    dummy->write_int("type", 3);
    dummy->write_int("direction", 2);
    dummy->write_int("mode", 1);
    dummy->write_int("rate", 100);

    TestInterface &signal_if = make_interface();
    ASSERT_EQ(signal_if.read_config_common(group), 0);
    EXPECT_TRUE(signal_if.active());
    EXPECT_EQ(signal_if.make_id(), "TEST4");
    EXPECT_EQ(signal_if.name(), "Bench");
    SignalRecord *signal = signal_if.signal_list()->find("Engine.Speed");
    ASSERT_NE(signal, nullptr);
    EXPECT_EQ(signal->owner(), &signal_if);
    EXPECT_EQ(signal->flags() & 0x1u, 0u);
    EXPECT_NE(signal->flags() & uint32_t(SignalRecord::KeptForWindows), 0u);
    EXPECT_NE(signal->flags() & uint32_t(SignalRecord::Changed), 0u);
    EXPECT_EQ(signal->direction(), 2);
    EXPECT_EQ(signal->rate(), 100);

    // Written again only while something uses it, with its range exact.
    QtbConfig unused;
    signal_if.write_configuration(unused);
    EXPECT_EQ(unused.get_group("TEST")->get_group("dummy_signals")->first_group(), nullptr);
    signal->add_use();
    QtbConfig used;
    signal_if.write_configuration(used);
    QtbConfigGroup *written = used.get_group("TEST");
    EXPECT_EQ(written->read_int("index", 0), 4);
    EXPECT_EQ(written->read_string("name", ""), "Bench");
    QtbConfigGroup *entry = written->get_group("dummy_signals")->first_group();
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry->read_string("name", ""), "Engine.Speed");
    EXPECT_EQ(entry->read_string("min", ""), "0.1234567");
    EXPECT_EQ(entry->read_string("max", ""), "999999999");
    EXPECT_EQ(entry->read_int("mode", 0), 1);
}

// Interface and signal names are 8-bit texts: they come back byte for byte,
// be they UTF-8 beyond Latin-1 or single Latin-1 bytes.
TEST_F(VyrSignalIfTest, CommonConfigurationKeepsNamesByteForByte)
{
    const std::string interface_name = "Pr\xc3\xbc" "fstand \xe2\x82\xac";
    const char *const signal_name = "Temp\xe4.\xe2\x82\xac";
    TestInterface &written = make_interface();
    written.set_name(interface_name);
    SignalRecord *signal = new SignalRecord;
    signal->set_name(signal_name);
    signal->add_use();
    written.signal_list()->insert(signal);
    QtbConfig config;
    written.write_configuration(config);

    TestInterface &read = make_interface();
    ASSERT_EQ(read.read_config_common(config.get_group("TEST")), 0);
    EXPECT_EQ(read.name(), interface_name);
    EXPECT_NE(read.signal_list()->find(signal_name), nullptr);
}

TEST_F(VyrSignalIfTest, RelativeScriptPathFollowsTheConfigurationDirectory)
{
    TestInterface &signal_if = make_interface();
    signal_if.set_script_file("scripts/run.vys");
    signal_if.rebase_script_file_path("/data/bench", "/data/other");
    EXPECT_EQ(signal_if.script_file(), "../bench/scripts/run.vys");
    signal_if.set_script_file("/abs/run.vys");
    signal_if.rebase_script_file_path("/data/bench", "/data/other");
    EXPECT_EQ(signal_if.script_file(), "/abs/run.vys");
    EXPECT_EQ(signal_if.info_text(), "<h3>Interface \"TEST 1\"</h3><p>Script file: \"/abs/run.vys\"</p>");
}

TEST_F(VyrSignalIfTest, ScriptTimerPostsItsTriggerWhenDue)
{
    TestInterface &signal_if = make_interface();
    ScriptTrigger trigger(ScriptTrigger::timer, 40);
    trigger.set_function_id(7);
    trigger.set_pending(true);
    VyrScriptTimer timer(&signal_if, &trigger);
    shell.wheel.schedule(&timer, 20);
    signal_if.set_timer(&shell.wheel, true);
    signal_if.start_on_events();
    ASSERT_TRUE(signal_if.recorder.wait_for("open")); // the thread took its start time
    tick(signal_if, 20);
    ASSERT_TRUE(signal_if.recorder.wait_for("function 7"));
    EXPECT_FALSE(trigger.pending());
    // The thread may still touch the test's objects after the last line it recorded.
    EXPECT_EQ(signal_if.stop(), 0);
}

namespace {

class CountingHandler : public VyrSignalIfHandler
{
public:
    using VyrSignalIfHandler::VyrSignalIfHandler;
    int on_frame(const uint8_t *data, int length, const TimeValue &time, const void *) override
    {
        seen.push_back(std::string(reinterpret_cast<const char *>(data), size_t(length)) + "@" +
                       std::to_string(time.seconds));
        return 0;
    }
    std::vector<std::string> seen;
};

} // namespace

TEST_F(VyrSignalIfTest, HandlersSeeOnlyFramesWithTheirKeys)
{
    TestInterface &signal_if = make_interface();
    CountingHandler by_id(0x123), other(0x124), with_channel(0x123, 1);
    signal_if.add_handler(&by_id);
    signal_if.add_handler(&other);
    signal_if.add_handler(&with_channel);
    TimeValue time;
    time.seconds = 2;
    const uint8_t data[] = {'a', 'b'};
    signal_if.call_handlers(data, 2, time, nullptr, 0x123);
    signal_if.remove_handler(&by_id);
    signal_if.call_handlers(data, 1, time, nullptr, 0x123, 1);
    signal_if.call_handlers(data, 1, time, nullptr, 0x123);
    EXPECT_EQ(by_id.seen, (std::vector<std::string>{"ab@2"}));
    EXPECT_TRUE(other.seen.empty());
    EXPECT_EQ(with_channel.seen, (std::vector<std::string>{"a@2"}));
}

// Windows attach and detach their listeners on the GUI thread while the
// interface's thread notifies the listeners of a polled signal.
TEST_F(VyrSignalIfTest, ListenersComeAndGoWhileTheThreadNotifies)
{
    TestInterface &signal_if = make_interface();
    SignalRecord *input = add_signal(signal_if, "in", SignalRecord::Input, SignalRecord::Polling, 10);
    Recorder kept_values;
    RecordingListener kept(kept_values);
    ASSERT_EQ(signal_if.add_signal_listener(&kept, input), 0);
    VyrSignalEntry *entry = input->entry();
    signal_if.start_on_events();
    ASSERT_TRUE(signal_if.recorder.wait_for("open"));

    constexpr int rounds = 1000;
    std::thread timer_thread([&] { // stands in for the polling timer
        for (int i = 0; i < rounds; ++i)
            signal_if.queue_poll(entry);
    });
    Recorder passing_values;
    for (int i = 0; i < rounds; ++i) {
        RecordingListener passing(passing_values);
        EXPECT_EQ(signal_if.add_signal_listener(&passing, input), 0);
    } // each one detaches itself, waiting for a notification in progress
    timer_thread.join();
    // The polls above may have folded into one read; the next one reaches
    // the listener that stayed.
    const int reads_before = signal_if.reads.load();
    signal_if.queue_poll(entry);
    ASSERT_TRUE(kept_values.wait_for("value " + std::to_string(reads_before + 1)));
    EXPECT_EQ(signal_if.stop(), 0);
    EXPECT_EQ(entry->listener_count(), 1);
}

// Signals get their first listener while other threads post write requests
// and the thread re-arms the polling timers on a reconnect.
TEST_F(VyrSignalIfTest, SignalsFollowedDuringTheMeasurementMeetRequestsAndReconnects)
{
    TestInterface &signal_if = make_interface();
    SignalRecord *output = add_signal(signal_if, "out", SignalRecord::Output);
    Recorder values;
    RecordingListener first(values);
    ASSERT_EQ(signal_if.add_signal_listener(&first, output), 0);
    signal_if.set_timer(&shell.wheel, false);
    signal_if.start_on_events();
    ASSERT_TRUE(signal_if.recorder.wait_for("open"));

    constexpr int rounds = 200;
    std::thread other([&] {
        SignalValue value;
        value.set_int(1);
        for (int i = 0; i < rounds; ++i) {
            signal_if.post_write_request(output, value);
            signal_if.request_reconnect();
        }
    });
    std::vector<std::unique_ptr<RecordingListener>> listeners;
    for (int i = 0; i < rounds; ++i) {
        const std::string name = "in" + std::to_string(i);
        SignalRecord *input = add_signal(signal_if, name.c_str(), SignalRecord::Input, SignalRecord::Polling, 10);
        listeners.push_back(std::make_unique<RecordingListener>(values));
        EXPECT_EQ(signal_if.add_signal_listener(listeners.back().get(), input), 0);
    }
    other.join();
    ASSERT_TRUE(signal_if.recorder.wait_for("write out 1", rounds));
    EXPECT_EQ(signal_if.stop(), 0);
}
