#include "window_test_shell.h"

#include "settings/qtb_config.h"
#include "windows/vyr_window_properties.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace {

using vyr_test::TestWindow;
using vyr_test::TestWindowTypes;
using vyr_test::WindowTestShell;

class DataWindowTest : public ::testing::Test
{
protected:
    DataWindowTest() { shell.show(); }

    TestWindow *create(const char *key = "X", QtbConfigGroup *group = nullptr)
    {
        auto *window =
            static_cast<TestWindow *>(DataWindowTypeInfo::create_window(key, shell.workspace, group, &shell));
        if (window)
            window->show();
        return window;
    }

    // Closes the window and lets the deferred deletion run.
    static void close_and_delete(VyrDataWindow *window)
    {
        QPointer<VyrDataWindow> guard(window);
        window->close_window();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        ASSERT_TRUE(guard.isNull());
    }

    // Runs the modal dialog that `open` opens: `fill` sets its fields, then
    // it is accepted.
    static void run_properties_dialog(VyrDataWindow *window, const std::function<void(VyrWindowProperties *)> &fill)
    {
        QTimer::singleShot(0, [&] {
            auto *dialog = qobject_cast<VyrWindowProperties *>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            fill(dialog);
            QTest::mouseClick(dialog->pb_ok, Qt::LeftButton);
        });
        window->open_properties_dialog();
    }

    WindowTestShell shell;
    TestWindowTypes types;
};

TEST_F(DataWindowTest, CaptionsNumberTheWindowsOfAClassAndReuseFreedNumbers)
{
    QSignalSpy list_changed(data_window_notification(), &VyrDataWindowNotification::window_list_changed);
    TestWindow *first = create();
    TestWindow *second = create();
    TestWindow *third = create();
    EXPECT_EQ(first->windowTitle(), "X 1");
    EXPECT_EQ(second->windowTitle(), "X 2");
    EXPECT_EQ(third->index(), 3);
    EXPECT_EQ(first->objectName(), "X");
    EXPECT_EQ(first->tool_bar()->windowTitle(), "Toolbar <X 1>");
    EXPECT_EQ(first->sub_window()->mdiArea(), shell.workspace);

    EXPECT_EQ(first_window(), first);
    EXPECT_EQ(first->next_window(), second);
    EXPECT_EQ(list_changed.count(), 3);
    close_and_delete(first);
    EXPECT_EQ(list_changed.count(), 4);
    EXPECT_EQ(first_window(), second);
    EXPECT_EQ(shell.workspace->subWindowList().size(), 2) << "the frame went with its window";
    EXPECT_EQ(create()->windowTitle(), "X 1");
    close_and_delete(second);
    EXPECT_EQ(create()->windowTitle(), "X 2");
    EXPECT_EQ(find_window("X", 3), third);
    EXPECT_EQ(find_window(nullptr, 1), nullptr);
}

TEST_F(DataWindowTest, TheRegistryCreatesOnlyEnabledKnownTypesAndOneSingleInstance)
{
    EXPECT_EQ(create("Nothing"), nullptr);
    EXPECT_EQ(create(nullptr), nullptr);
    types.x.set_enabled(false);
    EXPECT_EQ(create("X"), nullptr);
    types.x.set_enabled(true);

    TestWindow *single = create("XSingle");
    ASSERT_NE(single, nullptr);
    EXPECT_EQ(create("XSingle"), nullptr);
    close_and_delete(single);
    EXPECT_NE(create("XSingle"), nullptr);
}

TEST_F(DataWindowTest, UpdateTimerRunsAtLeastEveryTenMillisecondsAndStopUpdatesOnceMore)
{
    TestWindow *window = create();
    window->set_update_rate(5);
    window->startup();
    EXPECT_TRUE(window->running());
    EXPECT_EQ(window->status_label()->text(), "Status: Online");
    window->start();
    EXPECT_EQ(window->timer_interval(), 10);
    // Waits for the first tick however busy the machine is.
    for (int waited = 0; waited < 5000 && window->updates == 0; waited += 10)
        QTest::qWait(10);
    EXPECT_GT(window->updates, 0);

    window->set_update_rate(250);
    EXPECT_EQ(window->timer_interval(), 250) << "a running timer takes the new period";
    const int updates = window->updates;
    window->stop();
    EXPECT_EQ(window->updates, updates + 1);
    EXPECT_FALSE(window->timer_active());
    EXPECT_EQ(window->status_label()->text(), "Status: Offline");

    // No timer at a rate of 0, and still the last update at stop.
    window->set_update_rate(0);
    window->startup();
    window->start();
    EXPECT_FALSE(window->timer_active());
    window->stop();
    EXPECT_EQ(window->updates, updates + 2);
}

TEST_F(DataWindowTest, PauseChangesTheStatusAndIsOffAtStop)
{
    TestWindow *window = create();
    auto *pause = window->findChild<QToolButton *>("pause_button");
    ASSERT_NE(pause, nullptr);
    EXPECT_FALSE(pause->isEnabled());
    window->startup();
    EXPECT_TRUE(pause->isEnabled());
    EXPECT_EQ(window->state_changes, 1);
    pause->click();
    EXPECT_TRUE(window->is_paused());
    EXPECT_EQ(window->status_label()->text(), "Status: Paused");
    EXPECT_EQ(window->state_changes, 2);
    window->stop();
    EXPECT_FALSE(window->is_paused());
    EXPECT_FALSE(pause->isEnabled());
    EXPECT_EQ(window->status_label()->text(), "Status: Offline");
    EXPECT_EQ(window->state_changes, 4) << "Pause switched off, then the stop itself";
    EXPECT_EQ(window->findChild<QToolButton *>("log_to_file_button"), nullptr);
}

// A window that has not made its tool buttons yet.
class BareWindow : public VyrDataWindow
{
public:
    BareWindow() : VyrDataWindow("Bare", nullptr) {}
    void state_changed() override {}
    void update_signals() override { ++updates; }
    int updates = 0;
};

TEST(DataWindowWithoutButtons, RunsAMeasurementAndIsNeverPaused)
{
    BareWindow window;
    EXPECT_FALSE(window.is_paused());
    window.startup();
    window.start();
    window.stop();
    EXPECT_EQ(window.updates, 1);
    EXPECT_EQ(window.status_label()->text(), "Status: Offline");
}

TEST_F(DataWindowTest, TheLogToFileButtonIsThereForWindowsThatLogAndOffDuringAMeasurement)
{
    TestWindow window(shell.workspace, "X", true);
    auto *log = window.findChild<QToolButton *>("log_to_file_button");
    ASSERT_NE(log, nullptr);
    EXPECT_EQ(window.tool_bar()->actions().size(), 5) << "Log to File, its separator and three buttons";
    EXPECT_EQ(log->toolTip(), "<p><h3>Log to File</h3>Opens a dialog for setting up the Log to File function.</p>");
    window.startup();
    EXPECT_FALSE(log->isEnabled());
    window.stop();
    EXPECT_TRUE(log->isEnabled());
}

TEST_F(DataWindowTest, AWidgetMadeOnTheToolBarJoinsItsRow)
{
    TestWindow *window = create();
    VyrToolBar *bar = window->tool_bar();
    const int actions = bar->actions().size();
    EXPECT_EQ(actions, 3) << "Window Properties, Pause and Help";
    auto *label = new QLabel("Find: ", bar);
    QApplication::processEvents();
    ASSERT_EQ(bar->actions().size(), actions + 1);
    EXPECT_EQ(bar->widgetForAction(bar->actions().last()), label);
    EXPECT_TRUE(label->isVisible());
    bar->add_separator();
    QApplication::processEvents();
    EXPECT_EQ(bar->actions().size(), actions + 2) << "the separator is added once";
}

TEST_F(DataWindowTest, ARunningWindowRefusesToClose)
{
    TestWindow *window = create();
    QPointer<VyrDataWindow> guard(window);
    window->startup();
    EXPECT_FALSE(window->close());
    EXPECT_FALSE(window->sub_window()->close()) << "the workspace frame asks its window";
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_FALSE(guard.isNull());
    window->stop();
    close_and_delete(window);
}

TEST_F(DataWindowTest, MessagesReachTheMessageWindowWithTheirPrefixesAndF1AsksForHelp)
{
    TestWindow *window = create();
    window->info("ready");
    window->warning("slow");
    window->error("broken");
    EXPECT_EQ(shell.info_lines, QStringList{"X 1: ready"});
    EXPECT_EQ(shell.warning_lines, QStringList{"Warning in X 1: slow"});
    EXPECT_EQ(shell.error_lines, QStringList{"Error in X 1: broken"});

    QTest::keyClick(window, Qt::Key_F1);
    window->findChild<QToolButton *>("help_button")->click();
    EXPECT_EQ(shell.help_keys, (QStringList{"TestWindow", "TestWindow"}));
}

TEST_F(DataWindowTest, BaseKeysRoundTripInTheirOrder)
{
    TestWindow *window = create();
    window->set_update_rate(150);
    window->set_window_identifier("engine");
    window->setCaption(QString::fromUtf8("Motor \xc3\xa4"));
    window->sub_window()->setGeometry(30, 40, 400, 300);

    QtbConfig config;
    QtbConfigGroup *group = window->write_base_configuration(&config);
    std::vector<std::string> keys;
    for (QtbConfigValue *value = group->first_value(); value; value = group->next_value())
        keys.push_back(group->current_name());
    const std::vector<std::string> expected = {
        "geometry",        "title",        "title_utf8",   "wid",       "update_rate", "index",    "startup_hidden",
        "top_dock_config", "maximized_qt", "minimized_qt", "maximized", "minimized",   "detached", "workspace_id"};
    EXPECT_EQ(keys, expected);
    const QRect geometry = group->read_rect("geometry", QRect());
    EXPECT_EQ(geometry, QRect(30, 40, 400, window->height()));

    close_and_delete(window);
    TestWindow *again = create("X", group);
    EXPECT_EQ(again->windowTitle(), QString::fromUtf8("Motor \xc3\xa4"));
    EXPECT_EQ(again->window_identifier(), "engine");
    EXPECT_EQ(again->update_rate(), 150);
    EXPECT_EQ(again->index(), 1);
    EXPECT_EQ(again->sub_window()->pos(), QPoint(30, 40));
    EXPECT_EQ(again->sub_window()->width(), 400);
    EXPECT_EQ(again->height(), geometry.height());

    QtbConfig written_again;
    QtbConfigGroup *second = again->write_base_configuration(&written_again);
    EXPECT_EQ(second->read_rect("geometry", QRect()), geometry);
}

TEST_F(DataWindowTest, StoredIndicesAreTakenAsTheyStand)
{
    QtbConfig config;
    QtbConfigGroup *group = config.add_group("X");
    group->write_int("index", 1);
    TestWindow *first = create("X", group);
    TestWindow *second = create("X", group);
    EXPECT_EQ(first->index(), 1);
    EXPECT_EQ(second->index(), 1);
}

TEST_F(DataWindowTest, ATitleWithoutItsUtf8TwinIsTakenAsItStands)
{
    QtbConfig config;
    QtbConfigGroup *group = config.add_group("X");
    group->write_string("title", "Plain");
    EXPECT_EQ(create("X", group)->windowTitle(), "Plain");
    group->write_string_utf8("title_utf8", "Twin");
    EXPECT_EQ(create("X", group)->windowTitle(), "Twin");
}

TEST_F(DataWindowTest, MaximisingKeepsTheNormalGeometryForTheConfiguration)
{
    TestWindow *window = create();
    window->sub_window()->setGeometry(40, 30, 300, 200);
    const QRect normal(40, 30, 300, window->height());
    window->sub_window()->showMaximized();
    EXPECT_TRUE(window->maximized());
    EXPECT_FALSE(window->minimized());

    QtbConfig config;
    QtbConfigGroup *group = window->write_base_configuration(&config);
    EXPECT_EQ(group->read_rect("geometry", QRect()), normal);
    EXPECT_TRUE(group->read_bool("maximized", false));
    EXPECT_TRUE(group->read_bool("maximized_qt", false));

    window->sub_window()->showNormal();
    EXPECT_FALSE(window->maximized());
    window->sub_window()->showMinimized();
    EXPECT_TRUE(window->minimized());
}

TEST_F(DataWindowTest, DetachAndAttachKeepTheWindowsSize)
{
    TestWindow *window = create();
    window->resize(420, 260);
    const QSize size = window->size();
    QPointer<QMdiSubWindow> frame(window->sub_window());

    window->detach_from_workspace();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(window->detached());
    EXPECT_TRUE(window->isWindow());
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->workspace_id(), -1);
    EXPECT_EQ(window->size(), size);
    EXPECT_EQ(window->pos(), QPoint(50, 50));
    EXPECT_TRUE(frame.isNull()) << "the empty frame is gone";
    EXPECT_TRUE(shell.workspace->subWindowList().isEmpty());

    window->attach_to_workspace();
    EXPECT_FALSE(window->detached());
    ASSERT_NE(window->sub_window(), nullptr);
    EXPECT_EQ(window->sub_window()->pos(), QPoint(20, 20));
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->size(), size);
    EXPECT_EQ(window->workspace_id(), 0);
}

TEST_F(DataWindowTest, PropertiesApplyWhatChangedAndOnlyThenMarkTheConfiguration)
{
    TestWindow *window = create();
    window->set_update_rate(100);
    QSignalSpy changed(window, &VyrDataWindow::configuration_changed);

    run_properties_dialog(window, [](VyrWindowProperties *dialog) {
        EXPECT_EQ(dialog->windowTitle(), "X 1 Properties");
        EXPECT_EQ(dialog->title(), "X 1");
        EXPECT_EQ(dialog->update_rate(), 100);
    });
    EXPECT_EQ(changed.count(), 0);

    run_properties_dialog(window, [](VyrWindowProperties *dialog) {
        dialog->le_title->setText("Engine");
        dialog->le_identifier->setText("eng");
        dialog->le_update_rate->setText("5");
    });
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(window->windowTitle(), "Engine");
    EXPECT_EQ(window->window_identifier(), "eng");
    EXPECT_EQ(window->update_rate(), 5);
    window->startup();
    window->start();
    EXPECT_EQ(window->timer_interval(), 10);

    // 0 switches the running timer off; a rate above 0 brings it back.
    run_properties_dialog(window, [](VyrWindowProperties *dialog) { dialog->le_update_rate->setText("0"); });
    EXPECT_FALSE(window->timer_active());
    run_properties_dialog(window, [](VyrWindowProperties *dialog) { dialog->le_update_rate->setText("20"); });
    EXPECT_EQ(window->timer_interval(), 20);
    window->stop();
}

TEST_F(DataWindowTest, DescriptionNamesCaptionClassAndInterval)
{
    TestWindow *window = create();
    window->set_update_rate(250);
    EXPECT_EQ(window->description_text(),
              "<h3>Window \"X 1\"</h3><p>Belongs to class \"X\".</p><p>Update interval: 250 ms</p>");
}

} // namespace
