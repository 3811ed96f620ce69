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
