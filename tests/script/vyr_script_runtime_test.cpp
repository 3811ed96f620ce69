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
#include "core/key_codes.h"
#include "core/vyr_global_accel.h"
#include "core/vyr_question.h"
#include "core/vyr_signal_entry.h"
#include "core/vyr_signal_if.h"
#include "core/vyr_signal_list.h"
#include "core/vyr_signal_listener.h"
#include "core/vyr_trigger.h"
#include "script/script_hook_trigger.h"
#include "script/script_symbol.h"
#include "script/script_symbol_table.h"
#include "script/vyr_script_runtime.h"
#include "test_paths.h"
#include "vyr_test_shell.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
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
        accel.set_enabled(true);
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
        signal_if.set_wait_function([this](const std::vector<platform::WaitHandle> &handles, int timeout_ms) {
            thread_waiting = true;
            const int result = wait_on_events_only(handles, timeout_ms);
            thread_waiting = false;
            return result;
        });
        ASSERT_EQ(signal_if.start(), 0);
    }

    // Moves the clock once the thread waits again: a timer that a handler
    // re-arms counts from the clock as it is then.
    void tick(ScriptedInterface &signal_if, uint64_t ms)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (!thread_waiting.load() && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::microseconds(200));
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
    std::atomic<bool> thread_waiting{false};
    VyrTestShell shell;
    VyrEnvVarList variables;
    VyrTriggerList triggers;
    VyrGlobalAccel accel{VyrGlobalAccel::program_bucket_count};
    QTemporaryDir dir;
    std::vector<std::unique_ptr<ScriptedInterface>> interfaces;
};

} // namespace

TEST_F(VyrScriptRuntimeTest, TimerArmedAtStartFiresOnTheWheelAndIsArmedAgain)
{
    ScriptedInterface &signal_if = compiled("variables { timer t; int fired; int base = 7; }\n"
                                            "init { printf(\"init %d\\n\", base); }\n"
                                            "stop { printf(\"stop\\n\"); }\n"
                                            "on stopped { printf(\"stopped\\n\"); }\n"
                                            "on start {\n"
                                            "    t.timeout = 50; timerStart(t);\n"
                                            "    t.timeout = 20; timerStart(t); // restarts: the 50 ms expiry is gone\n"
                                            "    printf(\"started\\n\");\n"
                                            "}\n"
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
    ASSERT_TRUE(wait_for_line("SCRIPT 1: stopped\n"));
    EXPECT_FALSE(shell.has_line("SCRIPT 1: fired 3 at 60\n"));
    // "variables" and "init" in prepare_start, "start" first and "stop"/"stopped" last on the thread.
    std::vector<std::string> order;
    for (const auto &line : shell.lines)
        if (line.text.rfind("SCRIPT 1: ", 0) == 0)
            order.push_back(line.text.substr(10));
    EXPECT_EQ(order, (std::vector<std::string>{"init 7\n", "started\n", "fired 1 at 20\n", "fired 2 at 40\n",
                                               "stop\n", "stopped\n"}));
}

TEST_F(VyrScriptRuntimeTest, PreludeAndPanelFunctionsComeBeforeTheScript)
{
    static std::string seen;
    set_panel_script_api([](VyrScriptRuntime *runtime) {
        ScriptSymbolTable *symbols = runtime->symbols();
        seen = symbols->find("this_value_i", 0) && symbols->find("PRELUDE", 0) && !symbols->find("Late", 0)
                   ? "after the prelude, before the script"
                   : "?";
        return 0;
    });
    ScriptedInterface &signal_if = make_interface();
    signal_if.prelude = "__pragma_internal;\nconst int PRELUDE = 42;\n";
    signal_if.set_script_file(write_script("signal \"Late\";\non start { printf(\"prelude %d\\n\", PRELUDE); }\n"));
    ASSERT_EQ(signal_if.sclib_init(), 0) << lines_text();
    set_panel_script_api(nullptr);
    EXPECT_EQ(seen, "after the prelude, before the script");
    start(signal_if);
    EXPECT_TRUE(wait_for_line("SCRIPT 1: prelude 42\n")) << lines_text();
    EXPECT_EQ(signal_if.stop(), 0);

    ScriptedInterface &missing = make_interface();
    missing.set_script_file(dir.filePath("missing.vys"));
    shell.lines.clear();
    EXPECT_EQ(missing.sclib_init(), -1);
    EXPECT_EQ(missing.script_ok(), 0);
    EXPECT_EQ(shell.lines.at(0).text, "Error in SCRIPT 2: Unable to open script file '" +
                                          dir.filePath("missing.vys").toStdString() + "'");
}

// A host object of a prelude: an int member whose reads answer ten times the
// last value stored, through the runtime's host callbacks.
class TenfoldEntry : public ScriptMemberBinding
{
public:
    void write_int(PCodeMachine &, int32_t, int view, int32_t value) override
    {
        stored = value;
        last_view = view;
    }
    int32_t read_int(PCodeMachine &, int32_t, int view) override { return stored * 10 + view; }
    double read_double(PCodeMachine &, int32_t, int) override { return stored / 4.0; }
    int32_t stored = 0;
    int last_view = -1;
};

TEST_F(VyrScriptRuntimeTest, TaggedMembersOfAPreludeReachTheRuntimesCallbacks)
{
    static TenfoldEntry *entry;
    set_panel_script_api([](VyrScriptRuntime *runtime) {
        auto made = std::make_unique<TenfoldEntry>();
        entry = made.get();
        auto *value = new ScriptStructType;
        value->set_name("HostValue", true);
        value->add_tagged_member("Raw", TYPE_INT, 0);
        value->add_tagged_member("Phys", TYPE_DOUBLE, 1);
        runtime->symbols()->insert(value);
        auto *object = new ScriptStructType;
        object->set_name("HostObject", true);
        object->add_tagged_struct_member("Level", value, runtime->append_entry(std::move(made)));
        runtime->symbols()->insert(object);
        return runtime->compile_prelude("__pragma_internal;\nHostObject host;\n");
    });
    ScriptedInterface &signal_if = make_interface();
    signal_if.set_script_file(write_script("variables { int quarters; }\n"
                                           "on start { host.Level.Raw = 7; quarters = host.Level.Phys * 4;\n"
                                           "  printf(\"host %d %d\\n\", host.Level.Raw, quarters); }\n"));
    const int compiled = signal_if.sclib_init();
    set_panel_script_api(nullptr);
    ASSERT_EQ(compiled, 0) << lines_text();
    EXPECT_EQ(VyrScriptRuntime::of(&signal_if)->entries().count(), 1);
    start(signal_if);
    EXPECT_TRUE(wait_for_line("SCRIPT 1: host 70 7\n")) << lines_text();
    EXPECT_EQ(signal_if.stop(), 0);
    EXPECT_EQ(entry->last_view, 0);

    // A reset drops the entries with the machine that named them.
    VyrScriptRuntime::of(&signal_if)->reset();
    EXPECT_EQ(VyrScriptRuntime::of(&signal_if)->entries().count(), 0);
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

    accel.handle_key('A', 0);
    ASSERT_TRUE(wait_for_line("SCRIPT 1: key A 41\n")) << lines_text();
    ASSERT_TRUE(wait_for_line("SCRIPT 1: any 41\n")) << lines_text();
    accel.handle_key(0x1030, key_state_ctrl);
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

TEST_F(VyrScriptRuntimeTest, SeedAndKeyThroughTheLibraryTheScriptLoads)
{
    const std::string bin = vyr_test::bin_dir().toStdString();
    struct Case
    {
        std::string library;
        const char *load_result;
        const char *key_result;
        std::string log; // a line the load leaves in the message window
    };
    const Case cases[] = {
        {bin + "/libvyr_test_seedkey.so", "0", "4 [1b5a6e59]", "SCRIPT 1: Key:  1b 5a 6e 59\n"},
        {bin + "/libvyr_test_seedkey_without_key.so", "-2", "0 [00000000]",
         "Error in SCRIPT 1: Diag: Unable to resolve function 'ASAP1A_CCP_ComputeKeyFromSeed'\n"},
        {dir.filePath("missing.so").toStdString(), "-1", "-1 [00000000]",
         "Warning in SCRIPT 1: Load Seed&Key DLL '" + dir.filePath("missing.so").toStdString() +
             "' - FILE NOT FOUND."},
    };
    for (const Case &c : cases) {
        shell.lines.clear();
        interfaces.clear();
        ScriptedInterface &signal_if =
            compiled("variables { byte seed[4] = {0x41, 0x00, 0x34, 0x03}; byte key[4]; }\n"
                     "on start {\n"
                     "    printf(\"load %d\\n\", seedkeyLoadDll(\"" + c.library + "\"));\n"
                     "    printf(\"key %d [%02x%02x%02x%02x]\\n\", seedkeyComputeKey(seed, 4, key, 4),\n"
                     "           key[0], key[1], key[2], key[3]);\n"
                     "}\n");
        start(signal_if);
        ASSERT_TRUE(wait_for_line(std::string("SCRIPT 1: key ") + c.key_result + "\n")) << c.library << lines_text();
        EXPECT_TRUE(shell.has_line(std::string("SCRIPT 1: load ") + c.load_result + "\n")) << lines_text();
        EXPECT_TRUE(shell.has_line(c.log)) << lines_text();
        EXPECT_EQ(signal_if.stop(), 0);
        EXPECT_EQ(signal_if.seedkey_library(), nullptr); // stop deletes it
    }
    EXPECT_TRUE(shell.has_line("Warning in SCRIPT 1: Seed&Key: DLL NOT LOADED."));
}

// The messages of the declaration host: "file:line: message", a syntax error
// with the token it stopped at.
TEST_F(VyrScriptRuntimeTest, DeclarationErrorsNameTheirFileAndLine)
{
    ScriptedInterface &other = make_interface();
    other.set_script_file(write_script("envvar { double Shared; }\n", "other.vys"));
    ASSERT_EQ(other.sclib_init(), 0);
    struct Case
    {
        const char *script;
        const char *error;
    };
    const Case cases[] = {
        {"\nenvvar { int Shared; }\n", "2: EnvVar 'Shared' already defined with different type.\n"},
        {"envvar { int Twice; }\nenvvar { int Twice; }\n", "2: EnvVar 'Twice' defined twice (use 'extern' keyword).\n"},
        {"on action 5 { }\n", "1: Expected string after a action hook\n"},
        {"\n\non key Nokey { }\n", "3: Invalid key code 'Nokey'.\n"},
        {"on envvar Nothing { }\n", "1: EnvVar 'Nothing' not found\n"},
        {"on timer tick { }\n", "1: Timer tick not defined\n"},
        {"variables { const int tick = 1; }\non timer tick { }\n", "2: Timer tick is not a variable\n"},
        {"variables { int tick; }\non timer tick { }\n", "2: Variable 'tick' is not of type 'timer'\n"},
        {"signal (digital) \"A\";\nsignal (digital) \"A\";\n", "2: Signal 'A' is already defined\n"},
        {"\nsignal \"Own\";\n", "2: Signal 'Own' is pre defined\n"},
        {"input (10 ms, wobbly, polling) \"B\" { }\n", "1: Invalid signal type 'wobbly'\n"},
        {"input (10 ms, digital, sometimes) \"B\" { }\n", "1: Invalid signal mode 'sometimes'\n"},
        {"variables { int C; }\nsignal \"C\";\n",
         "2: Unable to reserve a symbolic id for signal 'C' -  symbol does already exist.\n"},
        {"variables\n{\n  int x;\n}\non start\n{\n  x = ;\n}\n", "7: parse error near `;'\n"},
        {"on start\n{\n  x = 1;\n}\n", "3: Symbol 'x' not found.\n"},
        {"on start\n{\n", "3: parse error at the end of the input\n"},
    };
    for (const Case &c : cases) {
        shell.lines.clear();
        int result = 0;
        ScriptedInterface &signal_if = make_interface();
        auto *predefined = new SignalRecord; // one the interface defines itself
        predefined->set_name("Own");
        predefined->add_flags(SignalRecord::Predefined);
        signal_if.signal_list()->insert(predefined);
        const QString file = write_script(c.script);
        signal_if.set_script_file(file);
        result = signal_if.sclib_init();
        EXPECT_NE(result, 0) << c.script;
        EXPECT_EQ(signal_if.script_ok(), 0) << c.script;
        ASSERT_FALSE(shell.lines.empty()) << c.script;
        EXPECT_EQ(shell.lines[0].text, file.toStdString() + ":" + c.error) << c.script << lines_text();
        interfaces.pop_back();
    }
}

TEST_F(VyrScriptRuntimeTest, SignalAttributesMayComeInEitherOrderAndExternSharesAVariable)
{
    ScriptedInterface &first = compiled("envvar { int Shared; }\n"
                                        "input (50 ms, polling, digital) \"Lamp\" { }\n");
    SignalRecord *lamp = first.signal_list()->find("Lamp");
    ASSERT_NE(lamp, nullptr);
    EXPECT_EQ(lamp->characteristic(), SignalRecord::Digital);
    EXPECT_EQ(lamp->mode(), SignalRecord::Polling);
    EXPECT_EQ(lamp->rate(), 50);
    ScriptedInterface &second = compiled("envvar { extern int Shared; }\n");
    EnvVarRecord *shared = variables.find_by_name("Shared");
    EXPECT_TRUE(shared->has_definer(first.definer()));
    EXPECT_TRUE(shared->has_definer(second.definer()));
    EXPECT_EQ(shared->owner(), first.definer());
}

TEST_F(VyrScriptRuntimeTest, ScriptSignalsAreReadAndWrittenThroughTheirFunctions)
{
    ScriptedInterface &signal_if = compiled("variables { double stored; }\n"
                                            "input [0, 100] (20 ms, continuous, polling) \"Temp\" { this = 21.5; }\n"
                                            "output \"Setpoint\" { stored = this; printf(\"set %g\\n\", this); }\n"
                                            "signal \"Plain\";\n"
                                            "on start { printf(\"ids %d %d %d\\n\", Temp, Setpoint, Plain); }\n");
    VyrSignalList *list = signal_if.signal_list();
    SignalRecord *temp = list->find("Temp");
    SignalRecord *setpoint = list->find("Setpoint");
    ASSERT_TRUE(temp && setpoint && list->find("Plain"));
    EXPECT_EQ(temp->flags() & 0x7, 0x5u); // defined by this compile, backed by a function
    EXPECT_EQ(temp->direction(), SignalRecord::Input);
    EXPECT_EQ(setpoint->direction(), SignalRecord::Output);
    EXPECT_EQ(temp->value_type(), SignalValue::Double);
    EXPECT_EQ(temp->max(), 100.0);

    ValueListener temp_values, setpoint_values;
    ASSERT_EQ(signal_if.add_signal_listener(&temp_values, temp), 0);
    ASSERT_EQ(signal_if.add_signal_listener(&setpoint_values, setpoint), 0);
    start(signal_if);
    ASSERT_TRUE(wait_for_line("SCRIPT 1: ids " + std::to_string(temp->slot()) + " " +
                              std::to_string(setpoint->slot()) + " " + std::to_string(list->find("Plain")->slot()) +
                              "\n"))
        << lines_text();
    // The polled input is read by its function on the interface's thread.
    tick(signal_if, 20);
    ASSERT_TRUE(QTest::qWaitFor([&] {
        std::lock_guard<std::mutex> lock(temp_values.mutex);
        return !temp_values.values.empty();
    }));
    {
        std::lock_guard<std::mutex> lock(temp_values.mutex);
        EXPECT_EQ(temp_values.values[0].double_value, 21.5);
        EXPECT_EQ(temp_values.values[0].microseconds, 20000u);
    }
    SignalValue value;
    value.set_double(7.25);
    ASSERT_EQ(signal_if.post_write_request(setpoint, value), 0);
    ASSERT_TRUE(wait_for_line("SCRIPT 1: set 7.25\n")) << lines_text();
    EXPECT_EQ(signal_if.stop(), 0);

    // Direct calls: a signal not backed by a function, and no entry.
    auto *foreign = new SignalRecord;
    foreign->set_name("Foreign");
    foreign->add_flags(SignalRecord::DefinedByCompile);
    list->insert(foreign);
    ValueListener foreign_values;
    ASSERT_EQ(signal_if.add_signal_listener(&foreign_values, foreign), 0);
    EXPECT_EQ(signal_if.write_script_signal(foreign->entry(), value), -2);
    EXPECT_EQ(signal_if.read_script_signal(foreign->entry(), value), -1);
    EXPECT_EQ(signal_if.write_script_signal(nullptr, value), -1);
}

namespace {

// Gives the file a modification time `offset_ns` nanoseconds after the time it has.
void touch_later(const QString &path, long offset_ns)
{
    struct stat info;
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &info), 0);
    struct timespec times[2] = {info.st_atim, info.st_mtim};
    times[1].tv_nsec += offset_ns;
    if (times[1].tv_nsec >= 1000000000L) {
        times[1].tv_nsec -= 1000000000L;
        times[1].tv_sec += 1;
    }
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0), 0);
}

} // namespace

TEST_F(VyrScriptRuntimeTest, ScriptChangedOnDiskAsksWhatToDo)
{
    struct Case
    {
        int answer; // -1: the preference reloads without asking
        int result;
        bool reloaded;
        bool asked_again; // a second check asks again
    };
    const Case cases[] = {
        {0, 0, true, false},
        {1, 0, false, false},
        {2, 1, false, true},
        {-1, 0, true, false},
    };
    for (const Case &c : cases) {
        interfaces.clear();
        ScriptedInterface &signal_if = compiled("signal \"Before\";\n");
        const QString path = signal_if.script_file();
        EXPECT_EQ(signal_if.check_script_file_modified(nullptr), 0); // unchanged
        write_script("signal \"After\";\n");
        touch_later(path, 1); // one nanosecond is enough

        std::vector<QString> questions;
        set_vyr_question_function(
            [&](QWidget *, const QString &title, const QString &text, const QStringList &buttons, VyrQuestionIcon) {
                questions.push_back(title + "|" + text + "|" + buttons.join(","));
                return c.answer;
            });
        vyr_user_preferences().reload_changed_files = c.answer < 0;
        EXPECT_EQ(signal_if.check_script_file_modified(nullptr), c.result) << c.answer;
        EXPECT_EQ(signal_if.signal_list()->find("After") != nullptr, c.reloaded) << c.answer;
        if (c.answer >= 0) {
            ASSERT_EQ(questions.size(), 1u);
            EXPECT_EQ(questions[0], "Warning|Script file '" + path +
                                        "' has been altered on disk.\nDo you want to reload ?|YES,No,Cancel");
        } else {
            EXPECT_TRUE(questions.empty());
        }
        questions.clear();
        signal_if.check_script_file_modified(nullptr);
        EXPECT_EQ(!questions.empty(), c.asked_again) << c.answer;
    }
}

TEST_F(VyrScriptRuntimeTest, FailedScriptIsReloadedAtTheNextCheck)
{
    int result = 0;
    ScriptedInterface &signal_if = compiled("on start { syntax error }\n", &result);
    EXPECT_NE(result, 0);
    write_script("signal \"Fixed\";\n");
    shell.lines.clear();
    EXPECT_EQ(signal_if.check_script_file_modified(nullptr), 0);
    EXPECT_EQ(shell.lines[0].text, "SCRIPT 1: Reload script file '" + signal_if.script_file().toStdString() + "'.\n");
    EXPECT_NE(signal_if.signal_list()->find("Fixed"), nullptr);
    EXPECT_EQ(signal_if.script_ok(), 1);
    write_script("on start { still broken }\n");
    touch_later(signal_if.script_file(), 1);
    vyr_user_preferences().reload_changed_files = true;
    EXPECT_EQ(signal_if.check_script_file_modified(nullptr), -1);
}

TEST_F(VyrScriptRuntimeTest, ReloadKeepsSignalsInUseAndDropsTheOthers)
{
    QSignalSpy changed(&shell.notification, &VyrSignalIfNotification::signal_changed);
    ScriptedInterface &signal_if = compiled("signal \"Shown\";\nsignal \"Unused\";\nsignal \"Stays\";\n");
    signal_if.signal_list()->find("Shown")->add_use();
    write_script("signal \"Stays\";\nsignal \"New\";\n");
    ASSERT_EQ(signal_if.reload_script(), 0) << lines_text();
    VyrSignalList *list = signal_if.signal_list();
    EXPECT_NE(list->find("Shown"), nullptr);
    EXPECT_EQ(list->find("Unused"), nullptr);
    EXPECT_NE(list->find("Stays"), nullptr);
    EXPECT_NE(list->find("New"), nullptr);
    std::vector<QString> names;
    for (const QList<QVariant> &arguments : changed)
        names.push_back(arguments.at(1).toString());
    // The redefined one (changed by losing its old definition), the shown one, the new one.
    EXPECT_EQ(names, (std::vector<QString>{"Shown", "Stays", "New"}));
}

// A stopped interface whose script is reloaded while another interface still
// drives the wheel: the old script's timer must not fire, and the old key,
// trigger map and environment-variable hooks are gone with it.
TEST_F(VyrScriptRuntimeTest, ReloadCancelsTheOldScriptsTimersAndHooks)
{
    ScriptedInterface &driver = compiled("on start { printf(\"driving\\n\"); }\n");
    driver.set_timer(&shell.wheel, true);
    driver.set_wait_function(wait_on_events_only);
    ASSERT_EQ(driver.start(), 0);
    ASSERT_TRUE(wait_for_line("SCRIPT 1: driving\n")); // its thread took its start time

    ScriptedInterface &signal_if = compiled("variables { timer t; }\n"
                                            "envvar { int Level; }\n"
                                            "on timer t { printf(\"old timer\\n\"); }\n"
                                            "on key 'K' { printf(\"old key\\n\"); }\n"
                                            "on envvar Level { printf(\"old envvar\\n\"); }\n"
                                            "on start { t.timeout = 50; timerStart(t); printf(\"started\\n\"); }\n");
    signal_if.set_timer(&shell.wheel, false);
    signal_if.set_wait_function(wait_on_events_only);
    ASSERT_EQ(signal_if.start(), 0);
    ASSERT_TRUE(wait_for_line("SCRIPT 2: started\n")) << lines_text();
    ASSERT_EQ(signal_if.stop(), 0);

    write_script("variables { timer t; }\n"
                 "envvar { int Level; }\n"
                 "on timer t { printf(\"new timer\\n\"); }\n"
                 "on start { printf(\"restarted\\n\"); }\n");
    ASSERT_EQ(signal_if.reload_script(), 0) << lines_text();
    ASSERT_EQ(signal_if.start(), 0);
    ASSERT_TRUE(wait_for_line("SCRIPT 2: restarted\n")) << lines_text();
    accel.handle_key('K', 0);
    variables.find_by_name("Level")->set_value_int(3);
    time.clock.set_ms(100);
    driver.tick_event().set();
    ASSERT_TRUE(QTest::qWaitFor([&] { return shell.wheel.current_time() >= 100; }));
    // Whatever the old hooks queued would have run by the time this line comes.
    signal_if.post_output(signal_if.runtime()->find_script_trigger_by_name(ScriptTrigger::timer, "t"));
    ASSERT_TRUE(wait_for_line("SCRIPT 2: new timer\n")) << lines_text();
    EXPECT_EQ(signal_if.stop(), 0);
    EXPECT_EQ(driver.stop(), 0);
    EXPECT_FALSE(shell.has_line("SCRIPT 2: old timer\n"));
    EXPECT_FALSE(shell.has_line("SCRIPT 2: old key\n"));
    EXPECT_FALSE(shell.has_line("SCRIPT 2: old envvar\n"));
    EXPECT_EQ(signal_if.runtime()->script_trigger_count(), 1); // the new timer hook
}

// The text functions write at most maxlen bytes, the terminating zero
// included, so a buffer sized with elCount keeps its neighbour; a length that
// reaches past the data memory stops the run with the error line and event
// 10004 to the owner.
TEST_F(VyrScriptRuntimeTest, TextFunctionsStayInsideTheirBuffer)
{
    auto *label = variables.insert(std::make_unique<EnvVarRecord>(EnvVarRecord::String, "Label", nullptr));
    label->set_value_string("pump motor");
    ScriptedInterface &signal_if =
        compiled("variables { const int LABEL = " + std::to_string(label->id()) +
                 "; char text[8]; char after[4] = \"ok\"; char name[4]; char after_name[4] = \"ok\"; }\n"
                 "on start {\n"
                 "    envvarGetValueString(LABEL, text, elCount(text));\n"
                 "    sysGetInterfaceName(name, elCount(name));\n"
                 "    printf(\"[%s] [%s] [%s] [%s]\\n\", text, after, name, after_name);\n"
                 "    envvarGetValueString(LABEL, text, 100000000);\n"
                 "    printf(\"not reached\\n\");\n"
                 "}\n");
    start(signal_if);
    ASSERT_TRUE(wait_for_line("SCRIPT 1: [pump mo] [ok] [SCR] [ok]\n")) << lines_text();
    ASSERT_TRUE(shell.wait_until([&] { return !shell.events.empty(); }));
    EXPECT_EQ(shell.events[0].type, 10004);
    EXPECT_EQ(signal_if.stop(), 0);
    EXPECT_FALSE(shell.has_line("SCRIPT 1: not reached\n"));
    bool error_line = false;
    for (const auto &line : shell.lines)
        error_line |= line.level == 4 && line.text.rfind("SCRIPT 1: Error: Access to data address ", 0) == 0 &&
                      line.text.find(" bytes @") != std::string::npos && line.text.find('\n') == line.text.size() - 1;
    EXPECT_TRUE(error_line) << lines_text();
}

TEST_F(VyrScriptRuntimeTest, GlobalsDeclaredAfterAHandlerKeepTheirOwnBytes)
{
    // The handler's block gives its bytes (a local and the text arguments it
    // writes on every run) back when it closes; the globals of the second
    // variables block must still lie above them.
    ScriptedInterface &signal_if = compiled("variables { int first = 1; }\n"
                                            "on start {\n"
                                            "    int local = 0x11111111;\n"
                                            "    printf(\"abcdefgh\\n\");\n"
                                            "}\n"
                                            "variables { int second = 2; int third[2] = {3, 4}; }\n"
                                            "stop { printf(\"[%d %d %d]\\n\", first, second, third[1]); }\n");
    start(signal_if);
    ASSERT_TRUE(wait_for_line("SCRIPT 1: abcdefgh\n")) << lines_text();
    EXPECT_EQ(signal_if.stop(), 0);
    EXPECT_TRUE(wait_for_line("SCRIPT 1: [1 2 4]\n")) << lines_text();
}

TEST_F(VyrScriptRuntimeTest, IncludesNestEightFilesDeep)
{
    // main.vys includes inc1.vys, which includes inc2.vys, ... up to the file
    // at depth `depth`; the innermost defines a signal.
    auto write_chain = [this](int depth) {
        for (int i = 1; i < depth; ++i)
            write_script("#include \"" + dir.filePath(QString("inc%1.vys").arg(i)).toStdString() + "\"\n",
                         i == 1 ? "main.vys" : QString("inc%1.vys").arg(i - 1).toUtf8().constData());
        write_script("\n\nsignal \"Deep\";\n", QString("inc%1.vys").arg(depth - 1).toUtf8().constData());
    };
    write_chain(8);
    ScriptedInterface &deep = make_interface();
    deep.set_script_file(dir.filePath("main.vys"));
    EXPECT_EQ(deep.sclib_init(), 0) << lines_text();
    EXPECT_NE(deep.signal_list()->find("Deep"), nullptr);

    write_chain(9);
    shell.lines.clear();
    ScriptedInterface &too_deep = make_interface();
    too_deep.set_script_file(dir.filePath("main.vys"));
    EXPECT_NE(too_deep.sclib_init(), 0);
    ASSERT_FALSE(shell.lines.empty());
    // Reported in the file that holds the include.
    EXPECT_EQ(shell.lines[0].text,
              dir.filePath("inc7.vys").toStdString() + ":1: Can not include file '" +
                  dir.filePath("inc8.vys").toStdString() + "' - no more than 8 files can be recursively included.\n");
}

TEST_F(VyrScriptRuntimeTest, RemovedTriggerLeavesTheScriptsMap)
{
    ScriptedInterface &signal_if = compiled("on start { triggerSet(Motor); }\n");
    VyrTrigger *motor = triggers.find("Motor");
    shell.lines.clear();
    delete motor;
    ASSERT_TRUE(shell.wait_until([&] { return shell.lines.size() >= 2; }));
    EXPECT_EQ(shell.lines[0].text, "SCRIPT 1: Script::trigger 'Motor' removed\n");
    EXPECT_EQ(shell.lines[1].text.rfind("SCRIPT 1: Address ", 0), 0u);
    EXPECT_NE(shell.lines[1].text.find(" removed from map\n"), std::string::npos);
    EXPECT_EQ(signal_if.script_ok(), 0);
    // The next check reloads the script, which names a trigger that is gone.
    EXPECT_EQ(signal_if.check_script_file_modified(nullptr), -1);
}
