#include "app/shell/vyr_app_state.h"
#include "app/vyr_main.h"
#include "app/vyr_main_widgets.h"
#include "message_window_rows.h"
#include "core/vyr_signal_if_notification.h"
#include "core/vyr_signal_if_type.h"
#include "core/vyr_trigger.h"
#include "tests/core/signal_if_test_support.h"
#include "windows/packet/vyr_rt_log.h"

#include <QDockWidget>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTabWidget>
#include <QLocalSocket>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include <grp.h>
#include <poll.h>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

int defaults_given = 0;

class DefaultCanInterface : public vyr_test::TestInterface
{
public:
    DefaultCanInterface(QObject *owner, VyrSignalIfNotification *notification)
        : TestInterface(owner, notification, "CAN")
    {}
    void init_new() override { ++defaults_given; }
};

std::unique_ptr<VyrSignalIf> create_default_can(QtbConfigGroup *, QObject *owner, VyrSignalIfNotification *notification)
{
    return std::make_unique<DefaultCanInterface>(owner, notification);
}

} // namespace

TEST(VyrMain, AFreshWindowHasTheDefaultWorkspaceAndTheMessageDockBelow)
{
    VyrMain window;
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    EXPECT_EQ(window.windowTitle(), "Vyr");
    EXPECT_TRUE(window.testAttribute(Qt::WA_DeleteOnClose));
    ASSERT_EQ(window.workspace_tab_bar()->count(), 1);
    EXPECT_EQ(window.workspace_tab_bar()->objectName(), "main_window_tab_bar");
    EXPECT_EQ(window.workspace_tab_bar()->tabText(0), "Default Workspace");
    EXPECT_EQ(window.workspace_tab_bar()->workspace_id(0), 0);
    EXPECT_EQ(window.current_workspace_id(), 0);
    EXPECT_EQ(window.workspace_stack()->currentWidget(), window.current_workspace());

    EXPECT_EQ(window.dockWidgetArea(window.message_dock()), Qt::BottomDockWidgetArea);
    EXPECT_EQ(window.message_dock()->windowTitle(), "Message Window");
    EXPECT_TRUE(window.message_dock()->features() & QDockWidget::DockWidgetClosable);
    EXPECT_EQ(window.message_window()->height(), 100);
    EXPECT_EQ(window.message_tabs()->count(), 1);
    EXPECT_EQ(window.message_tabs()->tabText(0), "All Messages");
    EXPECT_EQ(window.message_tabs()->widget(0), window.message_window());
    EXPECT_EQ(window.message_tabs()->tabPosition(), QTabWidget::South);

    EXPECT_FALSE(window.configuration_modified());
    EXPECT_FALSE(window.measurement_running());
    window.setAttribute(Qt::WA_DeleteOnClose, false);
}

TEST(VyrMain, SetupLogsBannerSystemAndDoneAroundTheDefaultInterface)
{
    VyrSignalIfType *can = find_signal_if_type("CAN");
    ASSERT_NE(can, nullptr);
    const VyrSignalIfType::CreateFunction real_factory = can->create();
    can->attach(create_default_can);
    defaults_given = 0;
    vyr_app_state().configuration = nullptr; // nothing to load

    {
        VyrMain window;
        window.setup();
        const QStringList rows = message_window_rows(window);
        ASSERT_EQ(rows.size(), 3);
        EXPECT_TRUE(rows[0].startsWith("Vyr " VYR_VERSION " (built ")) << rows[0].toStdString();
        EXPECT_TRUE(rows[1].startsWith("Running on: ")) << rows[1].toStdString();
        EXPECT_EQ(rows[2], "Setup done.");

        ASSERT_NE(get_first_signal_if(), nullptr);
        EXPECT_EQ(get_first_signal_if()->type_name(), "CAN");
        EXPECT_EQ(get_first_signal_if()->next(), nullptr);
        EXPECT_EQ(defaults_given, 1);
        EXPECT_FALSE(window.configuration_modified());
    }
    EXPECT_EQ(get_first_signal_if(), nullptr); // the window deletes its interfaces
    can->attach(real_factory);
}

TEST(VyrMain, LinesFromOtherThreadsReachTheMessageWindow)
{
    VyrMain window;
    std::thread writer([&window] { window.log_message(3, "from a thread\n"); });
    window.log_message(2, "from the GUI\n");
    writer.join();
    EXPECT_TRUE(message_window_rows(window).contains("from a thread"));
    EXPECT_TRUE(message_window_rows(window).contains("from the GUI"));
}

// Eight interface threads report at once, without line ends (as their
// warnings and errors come): every report is a row of its own at once, not
// held back for a line end that may never come nor joined with another.
TEST(VyrMain, EveryReportOfEveryInterfaceThreadIsARow)
{
    VyrMain window;
    VyrSignalIfNotification &hub = *window.signal_if_notification();
    std::vector<std::thread> threads;
    QStringList expected;
    for (int n = 1; n <= 8; ++n) {
        const QString overrun = QStringLiteral("Warning in CAN %1: **** HW Overrun in CAN driver: 12 frames lost ****").arg(n);
        const QString lost = QStringLiteral("Error in CAN %1: Connection to the virtual CAN bus lost").arg(n);
        expected << overrun << lost;
        threads.emplace_back([&hub, overrun, lost] {
            hub.log(3, overrun.toStdString());
            hub.log(4, lost.toStdString());
        });
    }
    for (std::thread &thread : threads)
        thread.join();
    QCoreApplication::sendPostedEvents();
    QStringList rows = message_window_rows(window);
    rows.sort();
    expected.sort();
    EXPECT_EQ(rows, expected);
}

namespace {

// Writes what the measurement does with it into a shared list.
class RankedInterface : public vyr_test::TestInterface
{
public:
    RankedInterface(int rank, bool fail_startup, std::vector<std::string> &calls)
        : TestInterface(nullptr, nullptr), m_rank(rank), m_fail_startup(fail_startup), m_calls(calls)
    {
        set_active(true);
        link_signal_if(this); // as the registry does with what it creates
    }
    int start_order() const override { return m_rank; }
    int prepare_start() override { return note("prepare_start"); }
    int startup() override { return note("startup") + (m_fail_startup ? 1 : 0); }
    int go_online() override { return note("go_online"); }
    int start() override { return note("start"); }
    int stop() override { return note("stop"); }

private:
    int note(const char *what)
    {
        m_calls.push_back(std::string(what) + " " + std::to_string(m_rank));
        return 0;
    }
    const int m_rank;
    const bool m_fail_startup;
    std::vector<std::string> &m_calls;
};

} // namespace

TEST(VyrMain, MeasurementRunsThePassesByRankAndStopsInReverse)
{
    VyrTriggerList triggers;
    VyrTriggerList::set_instance(&triggers);
    VyrTrigger *running = add_running_trigger(&triggers);
    std::vector<std::string> calls;
    {
        VyrMain window;
        // Created in this order; ranks 999 and -1 never start (999 is told to stop),
        // nor does an inactive one.
        new RankedInterface(5, false, calls);
        new RankedInterface(0, false, calls);
        new RankedInterface(999, false, calls);
        new RankedInterface(-1, false, calls);
        (new RankedInterface(3, false, calls))->set_active(false);
        new RankedInterface(5, false, calls);

        window.start();
        EXPECT_TRUE(window.measurement_running());
        EXPECT_NE(running->state(), 0);
        window.stop();
        EXPECT_EQ(running->state(), 0);
        EXPECT_EQ(
            calls,
            std::vector<std::string>({"prepare_start 0", "prepare_start 5", "prepare_start 5", "startup 0", "startup 5",
                                      "startup 5", "go_online 0", "go_online 5", "go_online 5", "start 0", "start 5",
                                      "start 5", "stop 999", "stop 5", "stop 5", "stop 0"}));
        EXPECT_TRUE(message_window_rows(window).last().endsWith(": measurement stopped."));

        // A failed hardware open skips the later passes and stops what there is.
        calls.clear();
        new RankedInterface(7, true, calls);
        window.start();
        EXPECT_FALSE(window.measurement_running());
        EXPECT_EQ(running->state(), 0);
        EXPECT_EQ(std::count(calls.begin(), calls.end(), "go_online 5"), 0);
        EXPECT_EQ(std::count(calls.begin(), calls.end(), "start 5"), 0);
        EXPECT_EQ(calls.back(), "stop 0");
        calls.clear(); // the interfaces' own destructors stop them once more
    }
    VyrTriggerList::set_instance(nullptr);
}

TEST(VyrMain, AnUnknownTabLeavesTheWorkspaceIdAlone)
{
    VyrMain window;
    window.workspace_selected(5);
    EXPECT_EQ(window.current_workspace_id(), 0);
    window.workspace_selected(0);
    EXPECT_EQ(window.current_workspace_id(), 0);
    EXPECT_EQ(window.current_workspace(), window.workspace_stack()->widget(0));
}

namespace {

// In a child process as another user: connects to the socket at `path` and
// waits for the server to close it. Exit 0: it stayed open, 1: the
// connection was refused, 2: the server closed it.
int connect_as(uid_t uid, gid_t gid, const std::string &path)
{
    const pid_t child = fork();
    if (child != 0)
        return child;
    // Only calls that are safe after a fork of a threaded process.
    if (setgroups(0, nullptr) != 0 || setgid(gid) != 0 || setuid(uid) != 0)
        _exit(3);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    path.copy(address.sun_path, sizeof address.sun_path - 1);
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    if (fd < 0 || connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0)
        _exit(1);
    pollfd wait_for_close{fd, POLLIN, 0};
    char byte;
    _exit(poll(&wait_for_close, 1, 5000) == 1 && read(fd, &byte, 1) == 0 ? 2 : 0);
}

} // namespace

// The help socket is a local socket in the runtime directory that only the
// user's own processes reach: another user finds the folder closed, and even
// through an open folder and socket file its connection is closed at once,
// leaving the program's own connection in place.
TEST(VyrMain, HelpSocketTakesOnlyTheUsersOwnConnections)
{
    QTemporaryDir runtime;
    ASSERT_TRUE(runtime.isValid());
    struct RuntimeDirectory
    {
        explicit RuntimeDirectory(const QString &path) { qputenv("VRBUS_RUNTIME_DIR", QFile::encodeName(path)); }
        ~RuntimeDirectory() { qputenv("VRBUS_RUNTIME_DIR", previous); }
        const QByteArray previous = qgetenv("VRBUS_RUNTIME_DIR");
    } runtime_directory(runtime.path());
    {
        VyrMain window;
        ASSERT_TRUE(window.listen_socket()->isListening());
        const QString path = window.listen_socket()->fullServerName();
        EXPECT_EQ(path, runtime.path() + QStringLiteral("/vyr-help-%1.sock").arg(getpid()));

        QLocalSocket own;
        own.connectToServer(path);
        ASSERT_TRUE(own.waitForConnected(5000));
        ASSERT_TRUE(QTest::qWaitFor([&window] { return window.help_connection() != nullptr; }, 5000));
        QLocalSocket *const own_connection = window.help_connection();

        const passwd *nobody = getpwnam("nobody");
        if (getuid() != 0 || !nobody) {
            GTEST_SKIP() << "another user's connection needs root and the user nobody";
        } else {
            const auto refused_as_nobody = [&] {
                const pid_t child = connect_as(nobody->pw_uid, nobody->pw_gid, path.toStdString());
                int status = -1;
                EXPECT_TRUE(QTest::qWaitFor([&] { return waitpid(child, &status, WNOHANG) == child; }, 10000));
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            };
            EXPECT_EQ(refused_as_nobody(), 1); // the folder is the user's alone
            // Opened up, the folder and the socket let the connection through
            // to the program, which closes it.
            ASSERT_EQ(chmod(QFile::encodeName(runtime.path()).constData(), 0711), 0);
            ASSERT_EQ(chmod(QFile::encodeName(path).constData(), 0777), 0);
            EXPECT_EQ(refused_as_nobody(), 2);
            QTest::qWait(100);
            EXPECT_EQ(window.help_connection(), own_connection);
        }
    }
    // The socket went with the window.
    EXPECT_TRUE(QDir(runtime.path()).entryList(QDir::System | QDir::Files | QDir::NoDotAndDotDot).isEmpty());
}

TEST(VyrPrefixLabel, ShortensFromTheFrontButNeverBelowFiveCharacters)
{
    QWidget parent;
    VyrPrefixLabel label("<nobr>Config File:</nobr>", &parent);
    const QString path = "/home/user/projects/vehicle/configurations/body_controller_bench.vyr";
    label.resize(2000, 30);
    label.setText(path);
    EXPECT_EQ(label.shown_text(), path);
    EXPECT_TRUE(label.text().endsWith("<b>" + path + "</b>"));

    label.resize(300, 30);
    label.setText(path);
    EXPECT_TRUE(label.shown_text().startsWith("...")) << label.shown_text().toStdString();
    EXPECT_TRUE(path.endsWith(label.shown_text().mid(3)));
    EXPECT_GE(label.shown_text().size(), 3 + 5);
    EXPECT_EQ(label.heightForWidth(300), label.heightForWidth(1280)); // one line

    label.resize(20, 30); // not even the prefix and five characters fit
    label.setText(path);
    EXPECT_EQ(label.text(), "<nobr>Config File:</nobr>");
}

TEST(VyrWindowsStyle, WorkspaceWindowsHaveTwentyPixelTitlesAndThreePixelFrames)
{
    VyrWindowsStyle style;
    EXPECT_EQ(style.pixelMetric(QStyle::PM_TitleBarHeight), 20);
    EXPECT_EQ(style.pixelMetric(QStyle::PM_MdiSubWindowFrameWidth), 3);
}
