// The built program as a process on the offscreen platform, each run with
// its own preferences, runtime and registry folders.
#include "platform/named_mutex.h"
#include "settings/qtb_config.h"
#include "test_paths.h"
#include "windows/logging/log_file.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <memory>
#include <sched.h>

namespace {

class VyrProcessTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        for (const char *sub : {"config", "runtime", "registry"})
            QDir(dir.path()).mkpath(sub);
        // The test's own mutex probes look into the same runtime folder.
        qputenv("VRBUS_RUNTIME_DIR", QFile::encodeName(path("runtime")));
        touch(path("bench.vyr"));
    }

    QString path(const QString &name) const { return QDir(dir.path()).filePath(name); }
    QString preferences_file() const { return path("config/ORVANDEL/Vyr.conf"); }

    static void touch(const QString &file_name)
    {
        QFile file(file_name);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }

    // Starts vyr; answer is what the disclaimer is answered with, and a run
    // that gets through set-up reports its window and closes it.
    void start(QProcess &process, const QStringList &arguments, const char *answer = "accept",
               const QString &working_directory = QString())
    {
        process.setProcessEnvironment(program_environment(answer));
        process.setWorkingDirectory(working_directory.isEmpty() ? dir.path() : working_directory);
        process.start(vyr_test::bin_dir() + "/vyr", arguments);
        ASSERT_TRUE(process.waitForStarted(10000));
    }

    QProcessEnvironment program_environment(const char *answer = "accept") const
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        environment.insert("XDG_CONFIG_HOME", path("config"));
        environment.insert("VRBUS_RUNTIME_DIR", path("runtime"));
        environment.insert("VYR_REGISTRY_DIR", path("registry"));
        environment.insert("VYR_TEST_DISCLAIMER", answer);
        environment.insert("VYR_TEST_REPORT", path("report"));
        environment.insert("VYR_DEBUG", "1");
        return environment;
    }

    // Runs vyr to its end and answers its exit code (-1: it did not end).
    int run(const QStringList &arguments, const char *answer = "accept", const QString &working_directory = QString())
    {
        QProcess process;
        start(process, arguments, answer, working_directory);
        if (!process.waitForFinished(60000)) {
            process.kill();
            process.waitForFinished();
            return -1;
        }
        errors = QString::fromLocal8Bit(process.readAllStandardError());
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }

    QString read(const QString &file_name) const
    {
        QFile file(file_name);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

    // One key of the preferences file, read by Python's own INI reader.
    QString python_ini_value(const QString &section, const QString &key) const
    {
        QProcess python;
        python.start("/usr/bin/python3",
                     {"-c",
                      "import configparser, sys\n"
                      "parser = configparser.ConfigParser(interpolation=None)\n"
                      "parser.read(sys.argv[1])\n"
                      "print(parser.get(sys.argv[2], sys.argv[3], fallback='<missing>'), end='')\n",
                      preferences_file(), section, key});
        EXPECT_TRUE(python.waitForFinished(30000));
        return QString::fromUtf8(python.readAllStandardOutput());
    }

    QTemporaryDir dir;
    QString errors;
};

} // namespace

TEST_F(VyrProcessTest, AnAcceptedStartShowsTheWindowAndClosingSavesTheRecentFiles)
{
    // Kept from an earlier run: "a" and "c" (no "b"); the list then holds two names.
    {
        QSettings preferences(preferences_file(), QSettings::IniFormat);
        preferences.setValue("V1/ConfigLRU/a", path("older.vyr"));
        preferences.setValue("V1/ConfigLRU/c", path("oldest.vyr"));
    }
    ASSERT_EQ(run({"-mutex", "accepted", path("bench")}), 0) << errors.toStdString();

    EXPECT_EQ(read(path("report")), "tab: Default Workspace\n"
                                    "dock: Message Window\n"
                                    "dock area: bottom\n"
                                    "message tab: All Messages\n");
    const QStringList rows = read(path("report.rows")).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(rows.size(), 5) << read(path("report.rows")).toStdString();
    // The project's own version and the date of its build.
    EXPECT_TRUE(QRegularExpression("^Vyr " VYR_VERSION " \\(built \\d{4}-\\d\\d-\\d\\d\\)$").match(rows[0]).hasMatch())
        << rows[0].toStdString();
    EXPECT_TRUE(rows[1].startsWith("Running on: Linux") || rows[1].contains(", Linux ")) << rows[1].toStdString();
    // The empty file has no main-window settings; it is there all the same.
    EXPECT_EQ(rows[2], "Loading config file \"" + path("bench.vyr") + "\" ... it holds no sections.");
    EXPECT_EQ(rows[3], path("bench.vyr") + ": no [defaults] section - the main window takes its built-in settings.");
    EXPECT_EQ(rows[4], "Setup done.");
    EXPECT_TRUE(QFile::exists(path("report.png")));

    // "bench" names bench.vyr; it went to the front, the two older ones behind it,
    // and "c" beyond the list's length keeps its value.
    QSettings preferences(preferences_file(), QSettings::IniFormat);
    EXPECT_EQ(preferences.value("V1/ConfigLRU/a").toString(), path("bench.vyr"));
    EXPECT_EQ(preferences.value("V1/ConfigLRU/b").toString(), path("older.vyr"));
    EXPECT_EQ(preferences.value("V1/ConfigLRU/c").toString(), path("oldest.vyr"));
    EXPECT_FALSE(preferences.contains("V1/ConfigLRU/d"));
    EXPECT_EQ(python_ini_value("V1", "ConfigLRU\\a"), path("bench.vyr"));
    EXPECT_EQ(python_ini_value("V1", "ConfigLRU\\b"), path("older.vyr"));

    EXPECT_FALSE(platform::NamedMutex::exists("accepted"));  // released at the end
    EXPECT_FALSE(QFile::exists(path("runtime/vrbus.sock"))); // the virtual bus daemon stopped
}

TEST_F(VyrProcessTest, ASecondInstanceWithTheSameMutexEndsAtOnce)
{
    platform::NamedMutex first;
    ASSERT_TRUE(first.create("single"));
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(run({"-mutex", "single", "-nosplash"}), 1);
    EXPECT_TRUE(errors.contains("Mutex Alreay Exists")) << errors.toStdString();
    EXPECT_FALSE(QFile::exists(path("report"))); // no window was shown
    first.close();

    // Once the mutex is free, the program takes it while it runs.
    QProcess process;
    start(process, {"-mutex", "single", "-nosplash"});
    EXPECT_TRUE(QTest::qWaitFor([] { return platform::NamedMutex::exists("single"); }, 30000));
    ASSERT_TRUE(process.waitForFinished(60000));
    EXPECT_EQ(process.exitCode(), 0);
    EXPECT_FALSE(platform::NamedMutex::exists("single"));
}

TEST_F(VyrProcessTest, ADeclinedDisclaimerEndsWithOneAndSavesNothing)
{
    EXPECT_EQ(run({"-mutex", "declined", "-nosplash", path("bench.vyr")}, "decline"), 1);
    EXPECT_FALSE(QFile::exists(path("report"))); // the main window never came
    EXPECT_FALSE(QSettings(preferences_file(), QSettings::IniFormat).contains("V1/ConfigLRU/a"));
    EXPECT_FALSE(platform::NamedMutex::exists("declined")); // released all the same
    EXPECT_FALSE(platform::NamedMutex::exists("VYR_APP_RUNNING"));
    // The CAN types' start-up hook installed and started the virtual bus
    // daemon; their exit hook ran all the same, stopped it and removed its
    // service record.
    EXPECT_TRUE(errors.contains("canio_load_demo_driver() -> 0")) << errors.toStdString();
    EXPECT_FALSE(QFile::exists(path("runtime/vrbus.sock")));
    EXPECT_FALSE(read(path("registry/machine.conf")).contains("Services\\vrbus"));
}

TEST_F(VyrProcessTest, TimerCpuNeedsTwoProcessorsNotAMaskAboveThree)
{
    cpu_set_t all;
    ASSERT_EQ(sched_getaffinity(0, sizeof all, &all), 0);
    int last = -1;
    for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu)
        if (CPU_ISSET(cpu, &all))
            last = cpu;
    // Bound to one processor, whose number may well make a mask of 4 or more.
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(last, &one);
    ASSERT_EQ(sched_setaffinity(0, sizeof one, &one), 0);
    const int single = run({"-use_timercpu", "-nosplash", "-nodisclaimer"});
    ASSERT_EQ(sched_setaffinity(0, sizeof all, &all), 0);
    EXPECT_EQ(single, 0);
    EXPECT_TRUE(errors.contains("Disable flag 'use_timercpu'")) << errors.toStdString();

    if (CPU_COUNT(&all) < 2)
        GTEST_SKIP() << "this machine lets the test use one processor only";
    EXPECT_EQ(run({"-use_timercpu", "-nosplash", "-nodisclaimer"}), 0);
    EXPECT_FALSE(errors.contains("Disable flag 'use_timercpu'")) << errors.toStdString();
}

TEST_F(VyrProcessTest, TheDemoRunsItsScriptOnTheVirtualBus)
{
    const QString demo = vyr_test::source_dir() + "/demo";
    qputenv("VYR_TEST_REPORT_DELAY_MS", "3000"); // the script reports once a second
    const int exit_code = run({"-nosplash", "-start", "demo.vyr"}, "accept", demo);
    qunsetenv("VYR_TEST_REPORT_DELAY_MS");
    ASSERT_EQ(exit_code, 0) << errors.toStdString();
    const QString rows = read(path("report.rows"));
    // The demo's file carries the main window's settings: no built-in defaults.
    EXPECT_TRUE(rows.contains("Loading config file \"" + QDir(demo).absoluteFilePath("demo.vyr") + "\" ..."))
        << rows.toStdString();
    EXPECT_FALSE(rows.contains("using built-in defaults")) << rows.toStdString();
    for (const char *row : {": measurement started.\n",
                            "CAN 1: Transceiver type 0 ('UNKNOWN') connected to 'Virtual #1 (Channel 1)'.\n",
                            "CAN 1: Demo script started.\n", "CAN 1: Demo: 4 frames sent.\n"})
        EXPECT_TRUE(rows.contains(row)) << row << " not in\n" << rows.toStdString();
    // The demo watches its CAN interface in a trace window.
    EXPECT_TRUE(read(path("report")).contains("window: Trace \"Trace 1\"\n")) << read(path("report")).toStdString();
}

TEST_F(VyrProcessTest, RunScriptWithoutADisplaySaysSoInOneLine)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(name);
    process.setProcessEnvironment(environment);
    process.start(vyr_test::source_dir() + "/run.sh", QStringList());
    ASSERT_TRUE(process.waitForFinished(30000));
    EXPECT_EQ(process.exitCode(), 1);
    const QStringList lines = QString::fromLocal8Bit(process.readAllStandardError()).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0].contains("no display")) << lines[0].toStdString();
    EXPECT_TRUE(process.readAllStandardOutput().isEmpty()); // nothing installed or built
}

// run.sh builds only the programs the demo starts, not every test and
// benchmark: a stand-in cmake on the PATH records what it is asked to build,
// and a stand-in vyr ends the demo at once.
TEST_F(VyrProcessTest, RunScriptBuildsOnlyTheProgramsItStarts)
{
    ASSERT_TRUE(QDir(dir.path()).mkpath("stand-ins"));
    ASSERT_TRUE(QDir(dir.path()).mkpath("build/bin"));
    touch(path("build/build.ninja"));
    const auto write_script = [](const QString &file_name, const QString &text) {
        QFile file(file_name);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text.toLocal8Bit());
        file.setPermissions(file.permissions() | QFileDevice::ExeOwner);
    };
    write_script(path("stand-ins/cmake"), "#!/bin/sh\necho \"$@\" >> '" + path("cmake.args") + "'\n");
    write_script(path("build/bin/vyr"), "#!/bin/sh\nexit 0\n");
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("PATH", path("stand-ins") + ":" + environment.value("PATH"));
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    environment.insert("VYR_BUILD_DIR", path("build"));
    environment.remove("VYR_SANITIZE"); // set where the suite runs in the sanitizer build
    environment.insert("XDG_DATA_HOME", path("data"));
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(vyr_test::source_dir() + "/run.sh", QStringList());
    ASSERT_TRUE(process.waitForFinished(60000));
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    EXPECT_EQ(read(path("cmake.args")).toStdString(),
              ("--build " + path("build") + " --target vyr vrbus\n").toStdString());
}

TEST_F(VyrProcessTest, HelpPrintsTheOptionsOneALineAndEnds)
{
    for (const char *option : {"-h", "--help"}) {
        SCOPED_TRACE(option);
        QProcess process;
        start(process, {option});
        ASSERT_TRUE(process.waitForFinished(30000));
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(process.exitCode(), 0);
        const QStringList lines =
            QString::fromLocal8Bit(process.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
        ASSERT_FALSE(lines.isEmpty());
        EXPECT_TRUE(lines[0].startsWith("Usage: vyr ")) << lines[0].toStdString();
        QStringList options;
        for (const QString &line : lines.mid(1))
            options << line.trimmed().section(' ', 0, 0).remove(',');
        for (const char *expected :
             {"-h", "-start", "-startdelayed", "-minimized", "-nosplash", "-nodisclaimer", "-noreopen", "-mutex",
              "-nort", "-nice", "-nortclockx", "-use_timerevents", "-use_timercpu", "-service", "-activex",
              "-regserver", "-unregserver", "-dumpidl"})
            EXPECT_TRUE(options.contains(expected)) << expected;
        // Every switch it lists works.
        for (const QString &line : lines)
            EXPECT_FALSE(line.contains("not built")) << line.toStdString();
        // Nothing was started: no window, and "-h" was not taken for a configuration file.
        EXPECT_FALSE(QFile::exists(path("report")));
        EXPECT_FALSE(QFile::exists(preferences_file()));
    }
}

// A configuration the reader has to skip parts of: the message window names
// the file and line of each, and what the file held.
TEST_F(VyrProcessTest, LoadingAFaultyFileSaysWhatWasReadAndWhatWasWrong)
{
    QFile garbage(path("garbage.vyr"));
    ASSERT_TRUE(garbage.open(QIODevice::WriteOnly));
    garbage.write("\x7f"
                  "ELF binary junk\n[CAN]\nactive=false\n");
    for (int line = 0; line < 30; ++line)
        garbage.write("\x01\x02 junk\n");
    garbage.close();
    ASSERT_EQ(run({"-nosplash", "-noreopen", path("garbage.vyr")}), 0) << errors.toStdString();
    const QStringList rows = read(path("report.rows")).split('\n', Qt::SkipEmptyParts);
    ASSERT_GE(rows.size(), 25) << read(path("report.rows")).toStdString();
    EXPECT_EQ(rows[2], "Loading config file \"" + path("garbage.vyr") + "\" ... read [CAN].");
    EXPECT_EQ(rows[3], path("garbage.vyr") + ":1: text that is no section, entry or comment skipped");
    EXPECT_EQ(rows[4], path("garbage.vyr") + ":4: text that is no section, entry or comment skipped");
    // Twenty of the 31 lines it could not read are listed, the others counted.
    EXPECT_EQ(rows[22], path("garbage.vyr") + ":22: text that is no section, entry or comment skipped");
    EXPECT_EQ(rows[23], path("garbage.vyr") + ": 11 more lines could not be read.");
    EXPECT_EQ(rows[24], path("garbage.vyr") + ": no [defaults] section - the main window takes its built-in settings.");
}

// run.sh starts the demo through tools/run-demo.sh: from a copy in the
// user's data folder, so that the tracked demo/ is never written.
TEST_F(VyrProcessTest, TheDemoRunsFromACopyInTheDataFolderMadeWhenMissing)
{
    const QString demo = vyr_test::source_dir() + "/demo";
    const QStringList demo_files = QDir(demo).entryList(QDir::Files);
    QMap<QString, QByteArray> tracked;
    for (const QString &name : demo_files) {
        QFile file(QDir(demo).filePath(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        tracked[name] = file.readAll();
    }
    const QString copy = path("data/vyr/demo");

    const auto run_demo = [&] {
        QProcess process;
        QProcessEnvironment environment = program_environment();
        environment.insert("XDG_DATA_HOME", path("data"));
        environment.insert("VYR_BUILD_DIR", vyr_test::bin_dir() + "/..");
        environment.insert("VYR_TEST_REPORT_DELAY_MS", "1500");
        process.setProcessEnvironment(environment);
        process.start(vyr_test::source_dir() + "/tools/run-demo.sh", {"-nosplash"});
        EXPECT_TRUE(process.waitForFinished(60000));
        EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    };
    run_demo();
    for (const QString &name : demo_files) {
        QFile file(QDir(copy).filePath(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << name.toStdString();
        EXPECT_EQ(file.readAll(), tracked[name]) << name.toStdString();
    }
    const QString rows = read(path("report.rows"));
    EXPECT_TRUE(rows.contains("Loading config file \"" + QDir(copy).absoluteFilePath("demo.vyr") + "\" ... read "))
        << rows.toStdString();
    EXPECT_TRUE(rows.contains(": measurement started.")) << rows.toStdString();

    // The user's changes to the copy stay; a file the copy lacks comes back.
    QFile changed(QDir(copy).filePath("demo.vyr"));
    ASSERT_TRUE(changed.open(QIODevice::Append));
    changed.write("# changed by the user\n");
    changed.close();
    ASSERT_TRUE(QFile::remove(QDir(copy).filePath("demo.vys")));
    run_demo();
    EXPECT_TRUE(read(QDir(copy).filePath("demo.vyr")).endsWith("# changed by the user\n"));
    EXPECT_TRUE(QFile::exists(QDir(copy).filePath("demo.vys")));

    // The tracked demo is as it was.
    for (const QString &name : QDir(demo).entryList(QDir::Files)) {
        QFile file(QDir(demo).filePath(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll(), tracked[name]) << name.toStdString();
    }
    EXPECT_EQ(QDir(demo).entryList(QDir::Files), demo_files);
}

// Without a display the program says so and ends with 1 before anything
// starts: no core dump from the toolkit, no virtual bus daemon left behind.
TEST_F(VyrProcessTest, WithoutADisplayItSaysSoAndEndsWithOne)
{
    const struct
    {
        const char *what;
        const char *display; // null: not set
        const char *reason;
    } cases[] = {
        {"no DISPLAY", nullptr, "vyr: no display: DISPLAY is not set"},
        {"a DISPLAY nobody serves", ":97", "vyr: no display: the X server of DISPLAY=:97 does not answer"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        QProcess process;
        QProcessEnvironment environment = program_environment();
        for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            environment.remove(name);
        if (c.display)
            environment.insert("DISPLAY", c.display);
        process.setProcessEnvironment(environment);
        process.start(vyr_test::bin_dir() + "/vyr", {"-nosplash", path("bench.vyr")});
        ASSERT_TRUE(process.waitForFinished(30000));
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(process.exitCode(), 1);
        const QString errors_text = QString::fromLocal8Bit(process.readAllStandardError());
        EXPECT_TRUE(errors_text.contains(c.reason)) << errors_text.toStdString();
        EXPECT_FALSE(errors_text.contains("canio_load_demo_driver")) << errors_text.toStdString();
        EXPECT_FALSE(QFile::exists(path("runtime/vrbus.sock")));
    }
}

namespace {

// The demo's configuration with its CAN interface on the virtual bus's
// second channel, and its trace window logging to a file of the folder.
QString demo_on_channel_two(const QString &folder)
{
    const QString demo = vyr_test::source_dir() + "/demo";
    // The files the configuration names (script, DBC, drive log) beside it.
    for (const QString &name : QDir(demo).entryList(QDir::Files))
        if (name != "demo.vyr")
            QFile::copy(demo + "/" + name, folder + "/" + name);
    QtbConfig config(demo + "/demo.vyr");
    config.read();
    config.get_group("CAN")->write_string("channel", "Virtual #1 (Channel 2)");
    std::unique_ptr<LogFile> log = LogFileFormat::create("ASCII");
    log->set_active(true);
    log->set_file_name((folder + "/trace.asc").toLocal8Bit().constData());
    log->set_write_mode(LogFile::Overwrite);
    log->write_options(config.get_group("Trace")->add_group("logger"));
    config.write_file(folder + "/demo.vyr");
    return folder + "/demo.vyr";
}

} // namespace

// Out of the box the virtual bus offers both of its channels: a
// configuration on the second one starts.
TEST_F(VyrProcessTest, AConfigurationOnTheSecondVirtualChannelStarts)
{
    const QString file = demo_on_channel_two(dir.path());
    qputenv("VYR_TEST_REPORT_DELAY_MS", "2000");
    const int exit_code = run({"-nosplash", "-start", file});
    qunsetenv("VYR_TEST_REPORT_DELAY_MS");
    ASSERT_EQ(exit_code, 0) << errors.toStdString();
    const QString rows = read(path("report.rows"));
    for (const char *row : {": measurement started.\n", "connected to 'Virtual #1 (Channel 2)'.\n",
                            "CAN 1: Demo script started.\n"})
        EXPECT_TRUE(rows.contains(row)) << row << " not in\n" << rows.toStdString();
    EXPECT_FALSE(rows.contains("Error")) << rows.toStdString();
}

// SIGTERM, SIGINT and SIGHUP end the program as closing its window does:
// the measurement stops, the log file is closed whole, the daemon stops,
// the recent files are saved, and nothing is asked.
TEST_F(VyrProcessTest, TerminationSignalsEndTheProgramTheOrdinaryWay)
{
    const QString file = demo_on_channel_two(dir.path());
    for (const int signal_number : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(strsignal(signal_number));
        QFile::remove(path("trace.asc"));
        qputenv("VYR_TEST_REPORT_DELAY_MS", "600000"); // no report: the signal ends it
        QProcess process;
        start(process, {"-nosplash", "-start", file});
        qunsetenv("VYR_TEST_REPORT_DELAY_MS");
        // The log file is there once the measurement runs.
        ASSERT_TRUE(QTest::qWaitFor([this] { return QFile::exists(path("trace.asc")); }, 30000));
        QTest::qWait(300);
        ASSERT_EQ(kill(pid_t(process.processId()), signal_number), 0);
        ASSERT_TRUE(process.waitForFinished(30000));
        const QString errors_text = QString::fromLocal8Bit(process.readAllStandardError());
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(process.exitCode(), 0) << errors_text.toStdString();
        EXPECT_TRUE(errors_text.contains(QStringLiteral("main: %1: ending without questions").arg(strsignal(signal_number))))
            << errors_text.toStdString();
        QFile trace(path("trace.asc"));
        ASSERT_TRUE(trace.open(QIODevice::ReadOnly));
        const QByteArray logged = trace.readAll();
        EXPECT_TRUE(logged.contains("Measurement STOPPED")) << logged.toStdString();
        EXPECT_TRUE(logged.endsWith("=\r\n\r\n")) << logged.toStdString(); // the closing separator
        EXPECT_FALSE(QFile::exists(path("runtime/vrbus.sock")));
        EXPECT_EQ(QSettings(preferences_file(), QSettings::IniFormat).value("V1/ConfigLRU/a").toString(), file);
    }
}

// SIGTERM while a modal question is open ("Start failed !" after -start on a
// configuration whose script does not compile): the question is closed
// first, the window after it, and the program ends the ordinary way. The
// box is no child of the window, so nothing frees it but its own scope (the
// sanitizer build reports any bad free as a failure).
TEST_F(VyrProcessTest, ATerminationSignalWhileAQuestionIsOpenClosesTheQuestionFirst)
{
    const QString file = demo_on_channel_two(dir.path());
    QFile script(path("demo.vys"));
    ASSERT_TRUE(script.open(QIODevice::WriteOnly | QIODevice::Truncate));
    script.write("on start { this is no statement }\n");
    script.close();
    qputenv("VYR_TEST_REPORT_DELAY_MS", "600000"); // no report: the signal ends it
    QProcess process;
    start(process, {"-nosplash", "-start", file});
    qunsetenv("VYR_TEST_REPORT_DELAY_MS");
    QByteArray errors_text;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            errors_text += process.readAllStandardError();
            return errors_text.contains("vyr_message_box_question: Error: Start failed !");
        },
        60000))
        << errors_text.toStdString();
    QTest::qWait(300);
    ASSERT_EQ(kill(pid_t(process.processId()), SIGTERM), 0);
    ASSERT_TRUE(process.waitForFinished(30000));
    errors_text += process.readAllStandardError();
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 0) << errors_text.toStdString();
    EXPECT_TRUE(errors_text.contains("main: Terminated: ending without questions")) << errors_text.toStdString();
    EXPECT_FALSE(QFile::exists(path("runtime/vrbus.sock")));
    EXPECT_EQ(QSettings(preferences_file(), QSettings::IniFormat).value("V1/ConfigLRU/a").toString(), file);
}
