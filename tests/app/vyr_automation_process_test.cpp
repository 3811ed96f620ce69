// The automation switches of the built program and its start by bus
// activation, on a private session bus whose daemon starts vyr with the
// test's own folders.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <csignal>
#include "test_paths.h"

namespace {

class AutomationProcessTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        for (const char *sub : {"config", "data", "runtime", "registry"})
            QDir(dir.path()).mkpath(sub);
        environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        environment.insert("XDG_CONFIG_HOME", path("config"));
        environment.insert("XDG_DATA_HOME", path("data"));
        environment.insert("VRBUS_RUNTIME_DIR", path("runtime"));
        environment.insert("VYR_REGISTRY_DIR", path("registry"));
        environment.insert("VYR_TEST_DISCLAIMER", "accept");
        // The bus daemon starts vyr with its own environment: this one.
        bus.setProcessEnvironment(environment);
        bus.start("dbus-daemon", {"--session", "--nofork", "--print-address"});
        ASSERT_TRUE(bus.waitForStarted(5000) && bus.waitForReadyRead(5000));
        environment.insert("DBUS_SESSION_BUS_ADDRESS", QString::fromUtf8(bus.readLine().trimmed()));
    }
    void TearDown() override
    {
        bus.terminate();
        bus.waitForFinished(5000);
    }

    QString path(const QString &name) const { return QDir(dir.path()).filePath(name); }
    QString service_file() const { return path("data/dbus-1/services/org.vyr.Vyr.service"); }

    // Runs a program to its end; answers its exit code and output.
    int run(const QString &program, const QStringList &arguments, QString *output = nullptr, int timeout_ms = 60000)
    {
        QProcess process;
        process.setProcessEnvironment(environment);
        process.setProcessChannelMode(QProcess::SeparateChannels);
        process.start(program, arguments);
        if (!process.waitForFinished(timeout_ms)) {
            process.kill();
            process.waitForFinished();
            return -1;
        }
        if (output)
            *output = QString::fromUtf8(process.readAllStandardOutput()).trimmed();
        return process.exitCode();
    }
    int vyr(const QStringList &arguments) { return run(vyr_test::bin_dir() + "/vyr", arguments); }
    // A question to the bus daemon itself.
    QString ask_bus(const QString &method, const QString &name)
    {
        QString output;
        run("gdbus",
            {"call", "--session", "--dest", "org.freedesktop.DBus", "--object-path", "/org/freedesktop/DBus",
             "--method", "org.freedesktop.DBus." + method, name},
            &output);
        return output;
    }

    QTemporaryDir dir;
    QProcessEnvironment environment;
    QProcess bus;
};

// The interfaces of an introspection text, each as one line without blanks
// between elements, for comparing two writers.
QStringList automation_interfaces(const QString &xml)
{
    QStringList interfaces;
    const QRegularExpression interface("<interface name=\"org\\.vyr\\.IVyrActiveX[^\"]*\">.*?</interface>",
                                       QRegularExpression::DotMatchesEverythingOption);
    for (auto it = interface.globalMatch(xml); it.hasNext();)
        interfaces << it.next().captured(0).replace(QRegularExpression(">\\s+<"), "><");
    return interfaces;
}

} // namespace

TEST_F(AutomationProcessTest, RegisteredTheBusStartsTheServerWhichEndsWithItsLockAndObjects)
{
    ASSERT_EQ(vyr({"-regserver"}), 0);
    QFile file(service_file());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString service = QString::fromUtf8(file.readAll());
    EXPECT_TRUE(service.contains("Name=org.vyr.Vyr\n"));
    EXPECT_TRUE(service.contains(
        QStringLiteral("Exec=%1 -activex\n").arg(QFileInfo(vyr_test::bin_dir() + "/vyr").canonicalFilePath())))
        << service.toStdString();

    // A call on the name starts the server: its object is the client's.
    QProcess client;
    client.setProcessEnvironment(environment);
    client.start("/usr/bin/python3", {vyr_test::source_dir() + "/tests/app/automation_client.py"});
    ASSERT_TRUE(QTest::qWaitFor([&] { return client.canReadLine(); }, 60000))
        << client.readAllStandardError().toStdString();
    const QString object = QString::fromUtf8(client.readLine()).trimmed();
    ASSERT_TRUE(object.startsWith("/org/vyr/Vyr/VyrActiveX/"));
    const QString owner = ask_bus("GetConnectionUnixProcessID", "org.vyr.Vyr");
    const QString pid = owner.section(' ', 1).section(',', 0, 0);
    ASSERT_TRUE(QFile::exists("/proc/" + pid)) << owner.toStdString();

    // The lock goes, the object stays: the server runs on.
    client.write("{\"method\": \"unlockServer\", \"args\": []}\n");
    ASSERT_TRUE(QTest::qWaitFor([&] { return client.canReadLine(); }, 20000));
    EXPECT_EQ(client.readLine().trimmed(), "{\"ok\": []}");
    QTest::qWait(500);
    EXPECT_TRUE(QFile::exists("/proc/" + pid));
    client.write("{\"method\": \"Release\", \"args\": []}\n");
    ASSERT_TRUE(QTest::qWaitFor([&] { return client.canReadLine(); }, 20000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !QFile::exists("/proc/" + pid); }, 30000));
    client.closeWriteChannel();
    client.waitForFinished(5000);

    ASSERT_EQ(vyr({"-unregserver"}), 0);
    EXPECT_FALSE(QFile::exists(service_file()));
}

TEST_F(AutomationProcessTest, TheDumpedInterfacesAreThoseTheBusIntrospects)
{
    ASSERT_EQ(vyr({"-dumpidl", path("vyr.xml")}), 0);
    QFile file(path("vyr.xml"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QStringList dumped = automation_interfaces(QString::fromUtf8(file.readAll()));
    ASSERT_EQ(dumped.size(), 2);

    // A running program on the bus, with an object of a client.
    QProcess program;
    program.setProcessEnvironment(environment);
    program.start(vyr_test::bin_dir() + "/vyr", {"-nosplash", "-noreopen"});
    ASSERT_TRUE(program.waitForStarted(10000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return ask_bus("NameHasOwner", "org.vyr.Vyr") == "(true,)"; }, 60000));
    QProcess client;
    client.setProcessEnvironment(environment);
    client.start("/usr/bin/python3", {vyr_test::source_dir() + "/tests/app/automation_client.py"});
    ASSERT_TRUE(QTest::qWaitFor([&] { return client.canReadLine(); }, 60000))
        << client.readAllStandardError().toStdString();
    const QString object = QString::fromUtf8(client.readLine()).trimmed();
    QString introspected;
    ASSERT_EQ(run("gdbus", {"introspect", "--session", "--xml", "--dest", "org.vyr.Vyr", "--object-path", object},
                  &introspected),
              0);
    EXPECT_EQ(automation_interfaces(introspected), dumped);

    // Not started by the bus: the client's going leaves the program running; a termination signal ends it.
    client.kill();
    client.waitForFinished(5000);
    EXPECT_FALSE(program.waitForFinished(500));
    ::kill(pid_t(program.processId()), SIGTERM);
    EXPECT_TRUE(program.waitForFinished(30000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
}
