// Script hosting of an interface: a real interface compiles its script file
// with the common library and runs its hooks on its realtime thread, timers on
// the interface's wheel, keys, actions and environment variables through their
// tables, the natives, the script-defined signals, reload after a change on
// disk, and the compile errors of the declaration host.
#include "core/env_var_record.h"
#include "core/seed_key_library.h"
#include "core/signal_record.h"
#include "core/timer_wheel.h"
#include "core/vyr_app_globals.h"
#include "core/vyr_env_var_list.h"
#include "core/vyr_global_accel.h"
#include "core/vyr_question.h"
#include "core/vyr_signal_entry.h"
#include "core/vyr_signal_if.h"
#include "core/vyr_signal_list.h"
#include "core/vyr_signal_listener.h"
#include "core/vyr_trigger.h"
#include "script/script_hook_trigger.h"
#include "script/vyr_script_runtime.h"
#include "vyr_test_shell.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>
#include <tuple>
#include <vector>

using namespace vyr_test;

namespace {

// An interface whose script is everything it does.
class ScriptedInterface : public VyrSignalIf
{
public:
    ScriptedInterface(QObject *owner, VyrSignalIfNotification *notification)
        : VyrSignalIf("SCRIPT", owner, notification)
    {
    }
    ~ScriptedInterface() override { stop(); }

    int basic_definitions() override { return prelude ? runtime()->compile_prelude(prelude) : 0; }
    int script_struct_type(const char *, void *) override { return -1; }
    int prepare_start() override
    {
        run_script_functions(variables_functions());
        run_script_functions(init_functions());
        return 0;
    }
    void write_configuration(QtbConfig &config) override { write_config_common(config); }
    bool configure(QWidget *) override { return false; }

    VyrScriptRuntime *runtime() const { return VyrScriptRuntime::of(const_cast<ScriptedInterface *>(this)); }
    using VyrSignalIf::tick_event;

    const char *prelude = nullptr;
};

// Waits only for events: positive time-outs never run out, so the thread
// moves on the ticks a test gives.
int wait_on_events_only(const std::vector<platform::WaitHandle> &handles, int timeout_ms)
{
    return platform::wait_any(handles, timeout_ms > 0 ? platform::wait_infinite : timeout_ms);
}

// Remembers every value a followed signal reports.
class ValueListener : public VyrSignalListener
{
public:
    ~ValueListener() override { detach(); }
    void value_changed(const SignalValue &value) override
    {
        std::lock_guard<std::mutex> lock(mutex);
        values.push_back(value);
    }
    void value_reset() override { ++resets; }
    std::mutex mutex;
    std::vector<SignalValue> values;
    std::atomic<int> resets{0};
};

class VyrScriptRuntimeTest : public ::testing::Test
{
protected:
    VyrScriptRuntimeTest()
    {
        vyr_app_options().nort = true; // no realtime priority for test threads
        VyrEnvVarList::set_instance(&variables);
        VyrTriggerList::set_instance(&triggers);
        VyrGlobalAccel::set_instance(&accel);
        add_running_trigger(&triggers);
        new VyrTrigger(&triggers, "Motor");
    }
    ~VyrScriptRuntimeTest() override
    {
        interfaces.clear();
        VyrGlobalAccel::set_instance(nullptr);
        VyrTriggerList::set_instance(nullptr);
        VyrEnvVarList::set_instance(nullptr);
        set_vyr_question_function(nullptr);
        vyr_user_preferences().reload_changed_files = false;
        vyr_app_options().nort = false;
    }

    QString write_script(const std::string &text, const char *name = "test.vys")
    {
        const QString path = dir.filePath(name);
        QFile file(path);
        file.open(QIODevice::WriteOnly | QIODevice::Truncate);
        file.write(text.c_str());
        return path;
    }

    ScriptedInterface &make_interface()
    {
        interfaces.push_back(std::make_unique<ScriptedInterface>(&shell, &shell.notification));
        return *interfaces.back();
    }

    // A new interface with the script compiled; the result in *result.
    ScriptedInterface &compiled(const std::string &text, int *result = nullptr)
    {
        ScriptedInterface &signal_if = make_interface();
        signal_if.set_script_file(write_script(text));
        const int r = signal_if.sclib_init();
        if (result)
            *result = r;
        else
            EXPECT_EQ(r, 0) << lines_text();
        return signal_if;
    }

    // Runs the measurement passes the shell runs, with this interface driving the wheel.
    void start(ScriptedInterface &signal_if)
    {
        signal_if.prepare_start();
        signal_if.set_timer(&shell.wheel, true);
        signal_if.set_wait_function(wait_on_events_only);
        ASSERT_EQ(signal_if.start(), 0);
    }

    void tick(ScriptedInterface &signal_if, uint64_t ms)
    {
        time.clock.set_ms(ms);
        signal_if.tick_event().set();
    }

    bool wait_for_line(const std::string &text)
    {
        return shell.wait_until([&] { return shell.has_line(text); });
    }

    std::string lines_text() const
    {
        std::string text;
        for (const auto &line : shell.lines)
            text += line.text;
        return text;
    }

    ClockInstaller time;
    VyrTestShell shell;
    VyrEnvVarList variables;
    VyrTriggerList triggers;
    VyrGlobalAccel accel;
    QTemporaryDir dir;
    std::vector<std::unique_ptr<ScriptedInterface>> interfaces;
};

} // namespace

TEST_F(VyrScriptRuntimeTest, TimerArmedAtStartFiresOnTheWheelAndIsArmedAgain)
{
    ScriptedInterface &signal_if = compiled("variables { timer t; int fired; }\n"
                                            "on start { t.timeout = 20; timerStart(t); printf(\"started\\n\"); }\n"
                                            "on timer t {\n"
                                            "    fired = fired + 1;\n"
                                            "    printf(\"fired %d at %d\\n\", fired, getSimulationTime());\n"
                                            "    if (fired < 2) timerStart(t);\n"
                                            "}\n");
    start(signal_if);
    ASSERT_TRUE(wait_for_line("SCRIPT 1: started\n")) << lines_text();
    tick(signal_if, 20);
    ASSERT_TRUE(wait_for_line("SCRIPT 1: fired 1 at 20\n")) << lines_text();
    tick(signal_if, 40);
    ASSERT_TRUE(wait_for_line("SCRIPT 1: fired 2 at 40\n")) << lines_text();
    tick(signal_if, 100);
    EXPECT_EQ(signal_if.stop(), 0);
    EXPECT_FALSE(shell.has_line("SCRIPT 1: fired 3 at 60\n"));
}

TEST_F(VyrScriptRuntimeTest, KeyEnvVarAndActionHooksRunThroughTheirTables)
{
    ScriptedInterface &signal_if = compiled("envvar { int Speed; }\n"
                                            "on key 'A' { printf(\"key A %x\\n\", this); }\n"
                                            "on key ctrl+F1 { printf(\"key ctrl %x\\n\", this); }\n"
                                            "on key * { printf(\"any %x\\n\", this); }\n"
                                            "on envvar Speed { printf(\"speed %d\\n\", envvarGetValueInt(Speed)); }\n"
                                            "on action \"Go\" { printf(\"action %d\\n\", this); }\n"
                                            "on start { printf(\"started\\n\"); }\n");
    VyrScriptRuntime *runtime = signal_if.runtime();
    EXPECT_EQ(runtime->script_trigger_count(), 5);
    ASSERT_NE(runtime->find_script_trigger(ScriptTrigger::key, 0x41), nullptr);
    ASSERT_NE(runtime->find_script_trigger(ScriptTrigger::key, VyrGlobalAccel::any_key), nullptr);
    start(signal_if);
    ASSERT_TRUE(wait_for_line("SCRIPT 1: started\n"));

    accel.key_pressed('A');
    ASSERT_TRUE(wait_for_line("SCRIPT 1: key A 41\n")) << lines_text();
    ASSERT_TRUE(wait_for_line("SCRIPT 1: any 41\n")) << lines_text();
    accel.key_pressed(0x400000 | 0x1030);
    ASSERT_TRUE(wait_for_line("SCRIPT 1: key ctrl 401030\n")) << lines_text();
    ASSERT_TRUE(wait_for_line("SCRIPT 1: any 401030\n")) << lines_text();

    variables.find_by_name("Speed")->set_value_int(77);
    ASSERT_TRUE(wait_for_line("SCRIPT 1: speed 77\n")) << lines_text();

    ScriptTrigger *action = runtime->find_script_trigger_by_name(ScriptTrigger::action, "Go");
    ASSERT_NE(action, nullptr);
    action->set_argument(5);
    signal_if.post_output(action);
    ASSERT_TRUE(wait_for_line("SCRIPT 1: action 5\n")) << lines_text();
    EXPECT_EQ(signal_if.stop(), 0);
}

namespace {

struct NativeCase
{
    const char *call;     // a script expression
    const char *expected; // what printf("%s") of its value shows
};

} // namespace

// Every native of the common library once, with its result, including the
// cases of an unknown variable, signal, timer or trigger.
TEST_F(VyrScriptRuntimeTest, NativesAnswerTheirResults)
{
    auto *level = variables.insert(std::make_unique<EnvVarRecord>(EnvVarRecord::Double, "Level", nullptr));
    level->set_value_double(2.5);
    auto *label = variables.insert(std::make_unique<EnvVarRecord>(EnvVarRecord::String, "Label", nullptr));
    label->set_value_string("pump");
    const std::string ids = "const int LEVEL = " + std::to_string(level->id()) + "; const int LABEL = " +
                            std::to_string(label->id()) + ";";
    const NativeCase cases[] = {
        {"timerStart(t)", "0"},
        {"timerIsPending(t)", "1"},
        {"timerCancel(t)", "0"},
        {"timerIsPending(t)", "0"},
        {"timerStart(other)", "0"}, // no hook: nothing armed
        {"timerIsPending(other)", "0"},
        {"timerCancel(other)", "0"},
        {"getSimulationTime()", "0"},
        {"resetCycleCounter()", "0"},
        {"envvarSetValueInt(Count, 12)", "0"},
        {"envvarGetValueInt(Count)", "12"},
        {"envvarSetValueDouble(LEVEL, 4.25)", "0"},
        {"envvarGetValueInt(LEVEL)", "4"},
        {"envvarSetValueString(LABEL, \"valve\")", "0"},
        {"envvarSetValueInt(9999, 1)", "-1"},
        {"envvarSetValueDouble(9999, 1)", "-1"},
        {"envvarSetValueString(9999, \"x\")", "-1"},
        {"envvarGetValueInt(9999)", "0"},
        {"signalResetValue(Volts)", "0"},
        {"signalSetValueInt(Volts, 3)", "0"},
        {"signalSetValueDouble(Volts, 1.5)", "0"},
        {"signalSetValueIntWithTimestamp(Volts, 4, 2500)", "0"},
        {"signalSetValueDoubleWithTimestamp(Volts, 0.5, 7)", "0"},
        {"signalResetValue(999)", "-1"},
        {"signalSetValueInt(999, 1)", "-1"},
        {"signalSetValueDouble(999, 1)", "-1"},
        {"signalSetValueIntWithTimestamp(999, 1, 1)", "-1"},
        {"signalSetValueDoubleWithTimestamp(999, 1, 1)", "-1"},
        {"triggerSet(Motor)", "0"},
        {"triggerReset(Running)", "0"},
        {"triggerReset(unmapped)", "0"},
        {"seedkeyComputeKey(seed, 4, key, 8)", "-1"}, // no library loaded
    };
    std::string script = "variables { timer t; timer other; trigger unmapped; char seed[4]; char key[8]; " + ids +
                         " }\n"
                         "envvar { int Count; }\n"
                         "signal \"Volts\";\n"
                         "on timer t { }\n"
                         "on start {\n"
                         "    t.timeout = 100;\n";
    for (const NativeCase &c : cases) {
        const QString shown = QString(c.call).replace("\"", "'");
        script += "    printf(\"" + shown.toStdString() + " = %d\\n\", " + c.call + ");\n";
    }
    script += "    printf(\"double %g %g\\n\", envvarGetValueDouble(LEVEL), envvarGetValueDouble(9999));\n"
              "}\n";
    ScriptedInterface &signal_if = compiled(script);
    triggers.find("Running")->set();

    SignalRecord *volts = signal_if.signal_list()->find("Volts");
    ASSERT_NE(volts, nullptr);
    ValueListener listener;
    ASSERT_EQ(signal_if.add_signal_listener(&listener, volts), 0);
    start(signal_if);
    ASSERT_TRUE(wait_for_line("SCRIPT 1: double 4.25 0\n")) << lines_text();
    EXPECT_EQ(signal_if.stop(), 0);

    for (const NativeCase &c : cases)
        EXPECT_TRUE(shell.has_line("SCRIPT 1: " + QString(c.call).replace("\"", "'").toStdString() + " = " +
                                   c.expected + "\n"))
            << c.call << "\n" << lines_text();
    EXPECT_EQ(variables.find_by_name("Count")->value_int(), 12);
    EXPECT_EQ(label->value_string(), std::string("valve"));
    EXPECT_EQ(triggers.find("Motor")->state(), 1);
    EXPECT_EQ(triggers.find("Running")->state(), 0);
    EXPECT_EQ(listener.resets.load(), 1);
    ASSERT_EQ(listener.values.size(), 4u);
    EXPECT_EQ(listener.values[0].int_value, 3);
    EXPECT_EQ(listener.values[1].double_value, 1.5);
    EXPECT_EQ(listener.values[2].int_value, 4);
    EXPECT_EQ(listener.values[2].seconds, 2u);
    EXPECT_EQ(listener.values[2].microseconds, 500000u);
    EXPECT_EQ(listener.values[3].microseconds, 7000u);
    EXPECT_EQ(volts->state(), SignalRecord::NoValue); // the record itself is not changed
}

TEST_F(VyrScriptRuntimeTest, SystemFunctionsPostTheirEventsToTheOwner)
{
    ScriptedInterface &signal_if = compiled("variables { char name[16]; char cut[4]; }\n"
                                            "on start {\n"
                                            "    sysStopMeasurement(); sysRestartMeasurement(3); sysExitProgram(2);\n"
                                            "    sysMinimizeProgram(); sysRestoreProgram(); sysBeep(440, 200);\n"
                                            "    _sysSetWorkspace(4); sysShutdownPC(1); sysSaveLog(SYS_LOG_CLEAR, \"x.log\");\n"
                                            "    sysGetInterfaceName(name, elCount(name));\n"
                                            "    sysGetInterfaceName(cut, elCount(cut));\n"
                                            "    printf(\"[%s] [%s]\\n\", name, cut);\n"
                                            "}\n");
    start(signal_if);
    ASSERT_TRUE(wait_for_line("SCRIPT 1: [SCRIPT 1] [SCR]\n")) << lines_text();
    EXPECT_EQ(signal_if.stop(), 0);
    ASSERT_TRUE(shell.wait_until([&] { return shell.events.size() >= 9; }));
    const std::vector<std::tuple<int, uint32_t, uint32_t, QString>> expected = {
        {10004, 0, 0, ""}, {10011, 3, 0, ""}, {10005, 2, 0, ""},      {10006, 0, 0, ""},
        {10007, 0, 0, ""}, {10009, 440, 200, ""}, {11000, 4, 0, ""}, {10012, 1, 0, ""},
        {10013, 3, 0, "x.log"},
    };
    ASSERT_EQ(shell.events.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(shell.events[i].type, std::get<0>(expected[i])) << i;
        EXPECT_EQ(shell.events[i].word1, std::get<1>(expected[i])) << i;
        EXPECT_EQ(shell.events[i].word2, std::get<2>(expected[i])) << i;
        EXPECT_EQ(shell.events[i].text, std::get<3>(expected[i])) << i;
    }
}
