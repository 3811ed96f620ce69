// The program as a service: the Service Control menu writes and removes the
// unit of the open configuration, and `vyr -service` runs the demo on the
// vrbus daemon under the test, which plays the service manager (it reads the
// notifications) and syslog, and controls it with the service framework's
// test program, which speaks to the service of the same name.
#include "app/shell/vyr_app_state.h"
#include "app/vyr_main.h"
#include "app/vyr_service.h"
#include "settings/qtb_config.h"
#include "test_paths.h"
#include "tests/interfaces/can_test_support.h" // runs the vrbus daemon around the program
#include "tests/qtservice/service_test_support.h"

#include <QDir>
#include <QFile>
#include <QMenu>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <csignal>

using can_test::virtual_channel;
using service_test::DatagramSink;

namespace {

class VyrServiceTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        // The unit that this process's service object writes goes where the
        // programs of the test look for it.
        const QProcessEnvironment env = service_test::service_environment(dir.path(), syslog.path());
        for (const char *name : {"XDG_CONFIG_HOME", "VYR_SYSLOG_SOCKET", "DBUS_SESSION_BUS_ADDRESS"})
            qputenv(name, env.value(name).toLocal8Bit());
        for (const char *name : {"NOTIFY_SOCKET", "INVOCATION_ID"})
            qunsetenv(name);
    }

    QString path(const QString &name) const { return dir.filePath(name); }
    QString unit_file() const { return path("config/systemd/user/vyr.service"); }

    // A program's environment: the test's folders, but the daemon's runtime
    // and registry folders of this test program.
    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = service_test::service_environment(dir.path(), syslog.path());
        env.insert("VRBUS_RUNTIME_DIR", QString::fromLocal8Bit(qgetenv("VRBUS_RUNTIME_DIR")));
        env.insert("VYR_REGISTRY_DIR", QString::fromLocal8Bit(qgetenv("VYR_REGISTRY_DIR")));
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("VYR_DEBUG", "1");
        return env;
    }

    // A control through the framework's test program, named as the service.
    void control(const QStringList &arguments)
    {
        QProcess tool;
        QProcessEnvironment env = environment();
        env.insert("QTSERVICE_TOOL_NAME", "Vyr");
        tool.setProcessEnvironment(env);
        tool.start(vyr_test::bin_dir() + "/qtservice_tool", arguments);
        ASSERT_TRUE(tool.waitForFinished(30000));
        ASSERT_EQ(tool.exitCode(), 0) << tool.readAllStandardError().toStdString();
    }

    // The entries of the Service Control menu, built as the Settings menu opens.
    static QList<QAction *> service_entries(VyrMain &window)
    {
        window.build_settings_menu();
        auto *menu = window.menus().menu_settings->findChild<QMenu *>("menu_service_control");
        return menu ? menu->actions() : QList<QAction *>();
    }
    static QStringList texts(const QList<QAction *> &entries)
    {
        QStringList result;
        for (QAction *entry : entries)
            result << entry->text();
        return result;
    }

    // A copy of the demo in a folder whose name holds a blank, "%" and "$";
    // answers its configuration file.
    QString copy_demo()
    {
        const QString folder = path("demo with %n and $HOME");
        EXPECT_TRUE(QDir().mkpath(folder));
        const QDir demo(vyr_test::source_dir() + "/demo");
        for (const QString &name : demo.entryList(QDir::Files))
            EXPECT_TRUE(QFile::copy(demo.filePath(name), folder + "/" + name)) << name.toStdString();
        return folder + "/demo.vyr";
    }

    QTemporaryDir dir;
    DatagramSink syslog{dir.filePath("syslog")};
    DatagramSink notify{dir.filePath("notify")};
};

// Frames of the demo's script on the bus, read by a second handle.
class BusListener
{
public:
    BusListener()
    {
        const int info = CANhwChannelInfoList::global().find_channel_info(virtual_channel);
        EXPECT_GE(info, 0);
        m_channel = CANhwChannelInfoList::global().make_channel(info);
        EXPECT_EQ(m_channel->open(false), canhwSuccess);
        EXPECT_EQ(m_channel->set_channel_index(2), canhwSuccess);
        EXPECT_EQ(m_channel->set_bus_params(500000, 5, 2, 1, 1, 0), canhwSuccess);
        EXPECT_EQ(m_channel->buson(), canhwSuccess);
        m_channel->get_event_handle(&m_event);
    }
    ~BusListener() { m_channel->close(); }

    // The script's frames (0x100) that arrive within the time.
    int frames_within(int ms)
    {
        int frames = 0;
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < ms) {
            VyrCanMessage received;
            if (m_channel->read_can_message(&received) == canhwSuccess)
                frames += received.id == 0x100;
            else
                platform::wait_any({m_event}, 50);
        }
        return frames;
    }
    // Whether a frame of the demo comes within the time; a loaded machine
    // (the sanitizer build beside the whole suite) can take seconds to start.
    bool frame_comes(int ms = 10000)
    {
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < ms) {
            VyrCanMessage received;
            if (m_channel->read_can_message(&received) == canhwSuccess) {
                if (received.id == 0x100)
                    return true;
            } else {
                platform::wait_any({m_event}, 50);
            }
        }
        return false;
    }

private:
    std::unique_ptr<CANhwChannel> m_channel;
    platform::WaitHandle m_event;
};

} // namespace

TEST_F(VyrServiceTest, TheMenuInstallsTheOpenConfigurationAndRemovesIt)
{
    VyrService service;
    VyrMain window;
    window.setAttribute(Qt::WA_DeleteOnClose, false);

    // Without a configuration file, install does nothing and says nothing.
    replace_configuration(nullptr);
    QList<QAction *> entries = service_entries(window);
    ASSERT_EQ(texts(entries), QStringList({"Install Vyr as Windows Service"}));
    entries[0]->trigger();
    EXPECT_FALSE(QFile::exists(unit_file()));
    EXPECT_TRUE(syslog.messages().isEmpty());

    const QString config = copy_demo();
    replace_configuration(new QtbConfig(config));
    service_entries(window)[0]->trigger();
    QFile unit(unit_file());
    ASSERT_TRUE(unit.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(unit.readAll());
    const QString escaped_config = path("demo with %%n and $$HOME/demo.vyr");
    EXPECT_TRUE(text.contains("\nExecStart=\"" + QFile::symLinkTarget("/proc/self/exe") + "\" -service \"" +
                              escaped_config + "\"\n"))
        << text.toStdString();
    EXPECT_TRUE(text.contains("\nType=notify\n"));
    EXPECT_TRUE(syslog.wait_for("Vyr["));
    EXPECT_TRUE(syslog.messages().last().endsWith("]: Service installed")) << syslog.messages().last().toStdString();
    const QString analyze = QStandardPaths::findExecutable("systemd-analyze");
    if (!analyze.isEmpty()) {
        QProcess verify;
        verify.start(analyze, {"verify", unit_file()});
        ASSERT_TRUE(verify.waitForFinished(60000));
        EXPECT_EQ(verify.exitCode(), 0) << verify.readAllStandardError().toStdString();
    }

    entries = service_entries(window);
    ASSERT_EQ(texts(entries), QStringList({"Remove Vyr from Windows Services", "Start Vyr Service"}));
    entries[0]->trigger();
    EXPECT_FALSE(QFile::exists(unit_file()));
    EXPECT_TRUE(syslog.wait_for("]: Service uninstalled"));
    EXPECT_EQ(texts(service_entries(window)), QStringList({"Install Vyr as Windows Service"}));
    replace_configuration(nullptr);
}

TEST_F(VyrServiceTest, TheServiceRunsTheDemoAndFollowsPauseResumeAndStop)
{
    const QString config = copy_demo();
    {
        VyrService installer;
        ASSERT_TRUE(installer.install(config));
    }
    BusListener bus;
    QProcess vyr;
    QProcessEnvironment env = environment();
    env.insert("NOTIFY_SOCKET", notify.path());
    vyr.setProcessEnvironment(env);
    vyr.start(vyr_test::bin_dir() + "/vyr", {"-service", config});
    ASSERT_TRUE(vyr.waitForStarted());
    ASSERT_TRUE(notify.wait_for("READY=1\nSTATUS=Running")) << vyr.readAllStandardError().toStdString();
    EXPECT_TRUE(bus.frame_comes());
    QString errors;
    auto measurement_starts = [&] {
        errors += QString::fromLocal8Bit(vyr.readAllStandardError());
        return errors.count("VyrMeasurement::start: time_caps");
    };

    // "Stop Vyr Service" in a second program pauses the service, which stops
    // the measurement; a second pause changes nothing.
    {
        VyrService second_program;
        VyrMain window;
        window.setAttribute(Qt::WA_DeleteOnClose, false);
        const QList<QAction *> entries = service_entries(window);
        ASSERT_EQ(texts(entries), QStringList({"Remove Vyr from Windows Services", "Stop Vyr Service"}));
        entries[1]->trigger();
    }
    EXPECT_TRUE(notify.wait_for("STATUS=Paused"));
    control({"-p"});
    QTest::qWait(300);
    bus.frames_within(300); // those under way
    EXPECT_EQ(bus.frames_within(1000), 0);
    EXPECT_EQ(vyr.state(), QProcess::Running);

    // Resume starts it again; a second resume does not restart it.
    control({"-r"});
    EXPECT_TRUE(bus.frame_comes());
    control({"-r"});
    QTest::qWait(500);
    EXPECT_EQ(measurement_starts(), 2) << errors.toStdString();

    // A user code only gives its debug line.
    control({"-c", "5"});
    EXPECT_TRUE(QTest::qWaitFor([&] { return measurement_starts() >= 0 && errors.contains("VyrService::user, code=5"); },
                                10000));
    EXPECT_EQ(measurement_starts(), 2);

    // A start by hand meanwhile finds the service running.
    QProcess by_hand;
    QProcessEnvironment hand_env = environment();
    by_hand.setProcessEnvironment(hand_env);
    by_hand.start(vyr_test::bin_dir() + "/vyr", {"-service", config});
    ASSERT_TRUE(by_hand.waitForFinished(60000));
    EXPECT_EQ(by_hand.exitCode(), 252);
    EXPECT_TRUE(by_hand.readAllStandardError().contains("The service Vyr could not start\n"));
    EXPECT_TRUE(syslog.wait_for("]: The Service failed to start"));

    ::kill(pid_t(vyr.processId()), SIGTERM);
    ASSERT_TRUE(vyr.waitForFinished(30000));
    EXPECT_EQ(vyr.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(vyr.exitCode(), 0) << errors.toStdString();
    EXPECT_TRUE(notify.wait_for("STOPPING=1"));
    // The service saves no recent configurations.
    QFile preferences(path("config/ORVANDEL/Vyr.conf"));
    if (preferences.open(QIODevice::ReadOnly)) {
        EXPECT_FALSE(preferences.readAll().contains("ConfigLRU"));
    }
}

TEST_F(VyrServiceTest, TheStopControlEndsTheService)
{
    const QString config = copy_demo();
    {
        VyrService installer;
        ASSERT_TRUE(installer.install(config));
    }
    QProcess vyr;
    QProcessEnvironment env = environment();
    env.insert("NOTIFY_SOCKET", notify.path());
    vyr.setProcessEnvironment(env);
    vyr.start(vyr_test::bin_dir() + "/vyr", {"-service", config});
    ASSERT_TRUE(notify.wait_for("READY=1\nSTATUS=Running"));
    control({"-t"});
    ASSERT_TRUE(vyr.waitForFinished(30000));
    EXPECT_EQ(vyr.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(vyr.exitCode(), 0);
    EXPECT_TRUE(notify.wait_for("STOPPING=1"));
}

TEST_F(VyrServiceTest, WithoutARunningServiceTheServiceOptionStartsTheOrdinaryProgram)
{
    const QString config = copy_demo();
    for (const bool installed : {false, true}) {
        if (installed) {
            VyrService installer;
            ASSERT_TRUE(installer.install(config));
        }
        QProcess vyr;
        QProcessEnvironment env = environment();
        env.insert("VYR_TEST_DISCLAIMER", "accept");
        env.insert("VYR_TEST_REPORT", path("report"));
        vyr.setProcessEnvironment(env);
        vyr.start(vyr_test::bin_dir() + "/vyr", {"-service", "-nosplash", config});
        ASSERT_TRUE(vyr.waitForFinished(60000));
        EXPECT_EQ(vyr.exitCode(), 0) << installed;
        // The ordinary start: the disclaimer was answered and the window reported.
        EXPECT_TRUE(QFile::exists(path("report"))) << installed;
        EXPECT_TRUE(notify.messages().isEmpty());
        QFile::remove(path("report"));
    }
}
