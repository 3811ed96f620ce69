// The service framework through a service program of the tests
// (tests/tools/qtservice_tool): its command-line switches, the unit it
// installs, and the running service's controls, with the test as the service
// manager that reads the notifications and as the syslog that reads the records.
#include "lib/qtservice/qtservice.h"
#include "service_test_support.h"
#include "test_paths.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <csignal>

using service_test::DatagramSink;

namespace {

const QString tool = vyr_test::bin_dir() + "/qtservice_tool";

class QtServiceTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }

    QString path(const QString &name) const { return dir.filePath(name); }
    QString unit_file() const { return path("config/systemd/user/vyrtest.service"); }

    QProcessEnvironment environment(const QString &name = QString()) const
    {
        QProcessEnvironment result = service_test::service_environment(dir.path(), syslog.path());
        if (!name.isNull())
            result.insert("QTSERVICE_TOOL_NAME", name);
        return result;
    }

    struct Result
    {
        int exit_code = -1; // -1: crashed or did not end
        QString out;
        QString err;
    };

    Result run_tool(const QStringList &arguments, const QProcessEnvironment &env)
    {
        QProcess process;
        process.setProcessEnvironment(env);
        process.start(tool, arguments);
        Result result;
        if (!process.waitForFinished(30000))
            process.kill();
        process.waitForFinished();
        if (process.exitStatus() == QProcess::NormalExit)
            result.exit_code = process.exitCode();
        result.out = QString::fromLocal8Bit(process.readAllStandardOutput());
        result.err = QString::fromLocal8Bit(process.readAllStandardError());
        return result;
    }
    Result run_tool(const QStringList &arguments) { return run_tool(arguments, environment()); }

    // Starts the installed service as the manager would, with the test's
    // notification socket.
    void start_service(QProcess &service)
    {
        QProcessEnvironment env = environment();
        env.insert("NOTIFY_SOCKET", notify.path());
        service.setProcessEnvironment(env);
        service.start(tool, {"-service"});
        ASSERT_TRUE(service.waitForStarted());
        ASSERT_TRUE(notify.wait_for("READY=1\nSTATUS=Running"));
        ASSERT_TRUE(service.waitForReadyRead(10000));
    }

    // Waits for a line of the service's standard output.
    static bool wait_for_line(QProcess &service, QString &seen, const QString &line)
    {
        return QTest::qWaitFor(
            [&] {
                seen += QString::fromLocal8Bit(service.readAllStandardOutput());
                return seen.split('\n').contains(line);
            },
            10000);
    }

    QTemporaryDir dir;
    DatagramSink syslog{dir.filePath("syslog")};
    DatagramSink notify{dir.filePath("notify")};
};

} // namespace

TEST_F(QtServiceTest, SwitchesPrintUsageVersionAndKeepTheNameRules)
{
    const Result usage = run_tool({"-x"});
    EXPECT_EQ(usage.exit_code, 0);
    EXPECT_EQ(usage.out, "<service> -[i|u|e|s|v]\n\n\t-i(nstall)\t: Install the service\n\t-u(ninstall)\t: Uninstall the "
                         "service\n\t-e(xec)\t\t: Execute the service\n\t\t\t  If the service is not installed, run it as a "
                         "regular program\n\t-t(erminate)\t: Stop the service\n\t-v(ersion)\t: Print version and status "
                         "information\n");

    const Result version = run_tool({"-v"});
    EXPECT_EQ(version.exit_code, 0);
    EXPECT_EQ(version.out, "The service\n\tvyrtest\n\t" + tool + "\n\nis not installed and not running\n\n");

    // A name is cut to 255 characters; towards the system it ends at its first backslash.
    const Result long_name = run_tool({"-v"}, environment(QString(300, 'a')));
    EXPECT_TRUE(long_name.err.contains("QtService: 'name' is longer than 255 characters.")) << long_name.err.toStdString();
    EXPECT_TRUE(long_name.out.startsWith("The service\n\t" + QString(255, 'a') + "\n\t")) << long_name.out.toStdString();
    const Result backslash = run_tool({"-v"}, environment("front\\back"));
    EXPECT_TRUE(backslash.err.contains("QtService: 'name' contains backslashes '\\'.")) << backslash.err.toStdString();
    EXPECT_TRUE(backslash.out.startsWith("The service\n\tfront\n\t")) << backslash.out.toStdString();

    QProcessEnvironment second = environment();
    second.insert("QTSERVICE_TOOL_SECOND", "1");
    const Result fatal = run_tool({"-v"}, second);
    EXPECT_NE(fatal.exit_code, 0);
    EXPECT_TRUE(fatal.err.contains("Only one instance of QtService can exist.")) << fatal.err.toStdString();

    // Controls for a service that does not run go nowhere, and say nothing.
    for (const char *control : {"-p", "-r", "-c", "-t"}) {
        const Result quiet = run_tool({control});
        EXPECT_EQ(quiet.exit_code, 0) << control;
        EXPECT_EQ(quiet.out, "") << control;
    }
}

TEST_F(QtServiceTest, InstallWritesAUnitThatSystemdAcceptsAndUninstallRemovesIt)
{
    const Result installed = run_tool({"-i"});
    EXPECT_EQ(installed.exit_code, 0) << installed.err.toStdString();
    QFile unit(unit_file());
    ASSERT_TRUE(unit.open(QIODevice::ReadOnly)) << unit_file().toStdString();
    const QString text = QString::fromUtf8(unit.readAll());
    EXPECT_EQ(text, "[Unit]\nDescription=Service of the tests\n\n[Service]\nType=notify\nExecStart=\"" + tool +
                        "\" -service\nEnvironment=QT_QPA_PLATFORM=offscreen\n\n[Install]\nWantedBy=default.target\n");
    EXPECT_TRUE(syslog.wait_for("vyrtest[")) << syslog.messages().join('\n').toStdString();
    EXPECT_EQ(syslog.messages().filter(QRegularExpression("^<29>.* vyrtest\\[\\d+\\]: Service installed$")).size(), 1)
        << syslog.messages().join('\n').toStdString();

    const QString analyze = QStandardPaths::findExecutable("systemd-analyze");
    if (!analyze.isEmpty()) {
        QProcess verify;
        verify.start(analyze, {"verify", unit_file()});
        ASSERT_TRUE(verify.waitForFinished(60000));
        EXPECT_EQ(verify.exitCode(), 0) << verify.readAllStandardError().toStdString();
    }

    const Result again = run_tool({"-i"});
    EXPECT_EQ(again.exit_code, 0);
    EXPECT_EQ(again.err, "The service vyrtest is already installed\n");
    EXPECT_EQ(run_tool({"-v"}).out, "The service\n\tvyrtest\n\t" + tool + "\n\nis installed and not running\n\n");

    const Result removed = run_tool({"-u"});
    EXPECT_EQ(removed.exit_code, 0);
    EXPECT_FALSE(QFile::exists(unit_file()));
    EXPECT_TRUE(syslog.wait_for("Service uninstalled"));
    EXPECT_EQ(run_tool({"-u"}).err, "The service vyrtest is not installed\n");
}

TEST_F(QtServiceTest, TheRunningServiceHearsItsControlsAndStopsOnTerminate)
{
    ASSERT_EQ(run_tool({"-i"}).exit_code, 0);
    QProcess service;
    start_service(service);
    QString out;
    ASSERT_TRUE(wait_for_line(service, out, "run"));
    EXPECT_TRUE(run_tool({"-v"}).out.contains("is installed and running"));

    ASSERT_EQ(run_tool({"-p"}).exit_code, 0);
    EXPECT_TRUE(wait_for_line(service, out, "pause"));
    EXPECT_TRUE(notify.wait_for("STATUS=Paused"));
    run_tool({"-r"});
    EXPECT_TRUE(wait_for_line(service, out, "resume"));
    EXPECT_TRUE(notify.wait_for("READY=1\nSTATUS=Running", 2));

    // "-c" alone is user code 0, 200 is no user code; the next one shows that nothing came between.
    run_tool({"-c"});
    run_tool({"-c", "200"});
    run_tool({"-c", "127"});
    EXPECT_TRUE(wait_for_line(service, out, "user 127"));
    EXPECT_EQ(out, "run\npause\nresume\nuser 0\nuser 127\n");

    // The user's log-off does not end the service; a start by hand finds it running.
    ::kill(pid_t(service.processId()), SIGHUP);
    const Result by_hand = run_tool({});
    EXPECT_EQ(by_hand.exit_code, 252);
    EXPECT_EQ(by_hand.err, "The service vyrtest could not start\n");
    EXPECT_TRUE(syslog.wait_for("The Service failed to start"));
    EXPECT_EQ(syslog.messages().filter(QRegularExpression("^<27>.*: The Service failed to start$")).size(), 1)
        << syslog.messages().join('\n').toStdString();
    EXPECT_EQ(service.state(), QProcess::Running);

    const Result terminated = run_tool({"-t"});
    EXPECT_EQ(terminated.exit_code, 0) << terminated.err.toStdString();
    EXPECT_TRUE(service.waitForFinished(10000));
    EXPECT_EQ(service.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(service.exitCode(), 0);
    EXPECT_TRUE(notify.wait_for("STOPPING=1"));
    EXPECT_FALSE(QFile::exists(path("runtime/vyrtest.service.lock")));
    EXPECT_FALSE(QFile::exists(path("runtime/vyrtest.service.sock")));
    EXPECT_TRUE(run_tool({"-v"}).out.contains("is installed and not running"));
}

TEST_F(QtServiceTest, SigtermIsTheStopControl)
{
    ASSERT_EQ(run_tool({"-i"}).exit_code, 0);
    QProcess service;
    start_service(service);
    ::kill(pid_t(service.processId()), SIGTERM);
    EXPECT_TRUE(service.waitForFinished(10000));
    EXPECT_EQ(service.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(service.exitCode(), 0);
    EXPECT_TRUE(notify.wait_for("STOPPING=1"));
    EXPECT_TRUE(QString::fromLocal8Bit(service.readAllStandardOutput()).endsWith("stop\n"));
}

TEST_F(QtServiceTest, ExecuteStartsTheInstalledServiceWithoutAManager)
{
    ASSERT_EQ(run_tool({"-i"}).exit_code, 0);
    const Result executed = run_tool({"-e"});
    EXPECT_EQ(executed.exit_code, 0) << executed.err.toStdString();
    EXPECT_TRUE(QTest::qWaitFor([&] { return run_tool({"-v"}).out.contains("and running"); }, 10000));
    EXPECT_EQ(run_tool({"-t"}).exit_code, 0);
    EXPECT_TRUE(run_tool({"-v"}).out.contains("and not running"));
}

TEST(QtServiceUnitCommand, ArgumentsSurviveQuotingForTheUnit)
{
    const struct
    {
        const char *argument;
        const char *quoted;
    } cases[] = {
        {"/plain/path", "\"/plain/path\""},
        {"/with blank/and %n and $HOME", "\"/with blank/and %%n and $$HOME\""},
        {"back\\slash \"quoted\" 'single'", "\"back\\\\slash \\\"quoted\\\" 'single'\""},
    };
    for (const auto &c : cases) {
        const QString quoted = QtService::quote_unit_argument(QString::fromUtf8(c.argument));
        EXPECT_EQ(quoted, QString::fromUtf8(c.quoted));
        EXPECT_EQ(QtService::split_unit_command("/bin/prog -service " + quoted),
                  QStringList({"/bin/prog", "-service", QString::fromUtf8(c.argument)}));
    }
}
