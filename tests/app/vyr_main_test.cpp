#include "app/vyr_app_state.h"
#include "app/vyr_main.h"
#include "app/vyr_main_widgets.h"
#include "app/vyr_rt_log_stand_in.h"
#include "core/vyr_signal_if_notification.h"
#include "core/vyr_signal_if_type.h"
#include "tests/core/signal_if_test_support.h"

#include <QDockWidget>
#include <QFile>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <future>
#include <thread>

namespace {

// The rows of the message window, as its copy to a file gives them.
QStringList message_rows(VyrMain &window)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("rows.txt");
    EXPECT_TRUE(window.message_window->copy_all_messages_to_file(path));
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    return QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
}

int defaults_given = 0;

class DefaultCanInterface : public vyr_test::TestInterface
{
public:
    DefaultCanInterface(QObject *owner, VyrSignalIfNotification *notification)
        : TestInterface(owner, notification, "CAN")
    {
    }
    void init_new() override { ++defaults_given; }
};

std::unique_ptr<VyrSignalIf> create_default_can(QtbConfigGroup *, QObject *owner,
                                                VyrSignalIfNotification *notification)
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
    ASSERT_EQ(window.workspace_tab_bar->count(), 1);
    EXPECT_EQ(window.workspace_tab_bar->objectName(), "main_window_tab_bar");
    EXPECT_EQ(window.workspace_tab_bar->tabText(0), "Default Workspace");
    EXPECT_EQ(window.workspace_tab_bar->workspace_id(0), 0);
    EXPECT_EQ(window.current_workspace_id, 0);
    EXPECT_EQ(window.workspace_stack->currentWidget(), window.current_workspace);

    EXPECT_EQ(window.dockWidgetArea(window.message_dock), Qt::BottomDockWidgetArea);
    EXPECT_EQ(window.message_dock->windowTitle(), "Message Window");
    EXPECT_TRUE(window.message_dock->features() & QDockWidget::DockWidgetClosable);
    EXPECT_EQ(window.message_dock->height(), 100);
    EXPECT_EQ(window.message_tabs->count(), 1);
    EXPECT_EQ(window.message_tabs->tabText(0), "All Messages");
    EXPECT_EQ(window.message_tabs->widget(0), window.message_window);
    EXPECT_EQ(window.message_tabs->tabPosition(), QTabWidget::South);

    EXPECT_FALSE(window.configuration_modified);
    EXPECT_FALSE(window.measurement_running);
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
        const QStringList rows = message_rows(window);
        ASSERT_EQ(rows.size(), 3);
        EXPECT_TRUE(rows[0].startsWith("Vyr V3.8SR41 / 05.01.2021 (compiled: ")) << rows[0].toStdString();
        EXPECT_TRUE(rows[1].startsWith("Running on: ")) << rows[1].toStdString();
        EXPECT_EQ(rows[2], "Setup done.");

        ASSERT_NE(get_first_signal_if(), nullptr);
        EXPECT_EQ(get_first_signal_if()->type_name(), "CAN");
        EXPECT_EQ(get_first_signal_if()->next(), nullptr);
        EXPECT_EQ(defaults_given, 1);
        EXPECT_FALSE(window.configuration_modified);
    }
    EXPECT_EQ(get_first_signal_if(), nullptr); // the window deletes its interfaces
    can->attach(real_factory);
}

TEST(VyrMain, LinesFromOtherThreadsReachTheMessageWindow)
{
    VyrMain window;
    std::thread writer([&window] {
        window.log_message(3, "from a ");
        window.log_message(3, "thread\n");
    });
    window.log_message(2, "from the GUI\n");
    writer.join();
    EXPECT_TRUE(message_rows(window).contains("from a thread"));
    EXPECT_TRUE(message_rows(window).contains("from the GUI"));
}

TEST(VyrMain, PiecesFromTwoInterfaceThreadsAreJoinedPerThread)
{
    VyrMain window;
    VyrSignalIfNotification &hub = *window.signal_if_notification;
    // The two threads take turns: A's first piece, B's, then both ends.
    std::promise<void> a_began, b_began, a_ended;
    std::thread a([&] {
        hub.log(2, "CAN 1: from A");
        a_began.set_value();
        b_began.get_future().wait();
        hub.log(2, " done\n");
        a_ended.set_value();
    });
    std::thread b([&] {
        a_began.get_future().wait();
        hub.log(3, "CAN 2: from B");
        b_began.set_value();
        a_ended.get_future().wait();
        hub.log(3, " done\n");
    });
    a.join();
    b.join();
    QCoreApplication::sendPostedEvents();
    const QStringList rows = message_rows(window);
    EXPECT_EQ(rows, QStringList({"CAN 1: from A done", "CAN 2: from B done"}));
}

TEST(VyrMain, AnUnknownTabLeavesTheWorkspaceIdAlone)
{
    VyrMain window;
    window.workspace_selected(5);
    EXPECT_EQ(window.current_workspace_id, 0);
    window.workspace_selected(0);
    EXPECT_EQ(window.current_workspace_id, 0);
    EXPECT_EQ(window.current_workspace, window.workspace_stack->widget(0));
}

TEST(VyrMain, HelpSocketListensOnLoopbackOnlyAndKeepsTheLastConnection)
{
    VyrMain window;
    ASSERT_TRUE(window.listen_socket->isListening());
    EXPECT_EQ(window.listen_socket->serverAddress(), QHostAddress(QHostAddress::LocalHost));
    EXPECT_NE(window.listen_socket->serverPort(), 0);

    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, window.listen_socket->serverPort());
    ASSERT_TRUE(client.waitForConnected(5000));
    EXPECT_TRUE(QTest::qWaitFor([&window] { return window.help_connection != nullptr; }, 5000));
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
