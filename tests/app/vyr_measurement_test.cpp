// The measurement of the real main window over a registered interface type
// that records what the passes do with its interfaces: keys and menus that
// start and stop it, the failed start, the countdowns, the custom events,
// the menus' enabled states, and the global accelerators behind the
// application key filter.
#include "app/shell/vyr_app_state.h"
#include "app/shell/vyr_measurement.h"
#include "app/shell/vyr_workspaces.h"
#include "app/vyr_main.h"
#include "app/vyr_main_widgets.h"
#include "app/vyr_power_events.h"
#include "app/vyr_termination_signals.h"
#include "settings/qtb_config.h"
#include "core/vyr_custom_event.h"
#include "core/vyr_global_accel.h"
#include "core/vyr_question.h"
#include "core/vyr_signal_if_type.h"
#include "core/key_codes.h"
#include "core/vyr_trigger.h"
#include "core/vyr_trigger_cond.h"
#include "core/vyr_trigger_cond_key.h"
#include "message_window_rows.h"
#include "stepped_clock.h"
#include "tests/core/signal_if_test_support.h"

#include <QApplication>
#include <QDir>
#include <QDialog>
#include <QDockWidget>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <QTimer>
#include <QToolButton>
#include <gtest/gtest.h>

#include <csignal>
#include <memory>
#include <pthread.h>
#include <string>
#include <vector>

namespace {

std::vector<std::string> g_calls;

// No system bus for this program, also when it runs outside CTest: no power
// events, and no shutdown request could reach a real logind.
class NoSystemBus : public ::testing::Environment
{
public:
    void SetUp() override { qputenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/vyr-test-system-bus"); }
};
const auto *const environment = ::testing::AddGlobalTestEnvironment(new NoSystemBus);

// A real interface whose rank, check result and hardware failure come from
// its configuration group ("rank", "check", "fail").
class RecordingInterface : public vyr_test::TestInterface
{
public:
    RecordingInterface(QtbConfigGroup *group, QObject *owner, VyrSignalIfNotification *notification)
        : TestInterface(owner, notification, "REC")
    {
        set_active(true);
        if (group) {
            m_rank = group->read_int("rank", 0);
            m_check = group->read_int("check", 0);
            m_fail = group->read_bool("fail", false);
            set_active(group->read_bool("active", true));
            set_script_file(group->read_string("script_file", QString()));
        }
    }
    int start_order() const override { return m_rank; }
    int check_script_file_modified(QWidget *) override { return note("check", m_check); }
    int reload_script() override { return note("reload", m_check); }
    int prepare_start() override { return note("prepare_start"); }
    void set_timer(TimerWheel *wheel, bool drives) override
    {
        VyrSignalIf::set_timer(wheel, drives);
        note(drives ? "timer driving" : "timer");
    }
    int startup() override { return note("startup", m_fail ? 1 : 0); }
    int go_online() override { return note("go_online"); }
    int start() override { return note("start"); }
    int stop() override { return m_stopping ? 0 : note("stop"); }
    ~RecordingInterface() override { m_stopping = true; }

private:
    int note(const char *what, int result = 0)
    {
        g_calls.push_back(std::string(what) + " " + std::to_string(m_rank));
        return result;
    }
    int m_rank = 0;
    int m_check = 0;
    bool m_fail = false;
    bool m_stopping = false;
};

std::unique_ptr<VyrSignalIf> create_recording(QtbConfigGroup *group, QObject *owner,
                                              VyrSignalIfNotification *notification)
{
    return std::make_unique<RecordingInterface>(group, owner, notification);
}

VyrSignalIfType recording_type("REC", "Recording", "records the measurement passes", create_recording);

struct Question
{
    QString title;
    QString text;
    VyrQuestionIcon icon;
};

class Measurement : public ::testing::Test
{
protected:
    Measurement()
    {
        VyrTriggerList::set_instance(&triggers);
        add_running_trigger(&triggers);
        set_vyr_question_function(
            [this](QWidget *, const QString &title, const QString &text, const QStringList &, VyrQuestionIcon icon) {
                questions.push_back({title, text, icon});
                return 0;
            });
        g_calls.clear();
        window = std::make_unique<VyrMain>();
        window->setAttribute(Qt::WA_DeleteOnClose, false);
    }
    ~Measurement() override
    {
        window.reset();
        set_vyr_question_function(nullptr);
        VyrTriggerList::set_instance(nullptr);
        vyr_app_state().options.start = false;
        vyr_app_state().options.start_delay = 0;
        replace_configuration(nullptr);
        QDir::setCurrent(previous_directory);
    }

    // The window's measurement counts down on this clock from now on.
    vyr_test::SteppedClock &stepped_clock()
    {
        auto *clock = new vyr_test::SteppedClock();
        window->measurement().set_clock(std::unique_ptr<VyrCountdownClock>(clock));
        return *clock;
    }

    VyrSignalIf *add(int rank, int check = 0, bool fail = false, bool active = true, const char *script = "")
    {
        QtbConfigGroup group;
        group.write_int("rank", rank);
        group.write_int("check", check);
        group.write_bool("fail", fail);
        group.write_bool("active", active);
        group.write_string("script_file", script);
        VyrSignalIf *made = create_signal_if("REC", &group, window.get(), window->signal_if_notification()).release();
        window->show_state();
        return made;
    }

    void show_active()
    {
        window->show();
        QApplication::setActiveWindow(window.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }

    // Where a typed key goes.
    QWidget *key_target()
    {
        QWidget *focus = QApplication::focusWidget();
        return focus ? focus : window.get();
    }

    QStringList rows() { return message_window_rows(*window); }

    bool running_set() { return triggers.find("Running")->state() != 0; }

    QTemporaryDir dir;
    const QString previous_directory = QDir::currentPath();
    VyrTriggerList triggers;
    std::vector<Question> questions;
    std::unique_ptr<VyrMain> window;
};

} // namespace

TEST_F(Measurement, F5StartsThePassesByRankAndEscapeAndF6Stop)
{
    add(5);
    add(0);
    add(999);
    add(-1);
    add(3, 0, false, false);
    add(5);
    add(2); // a third rank, between the two before it in the list
    show_active();

    QTest::keyClick(key_target(), Qt::Key_F5);
    ASSERT_TRUE(window->measurement_running());
    EXPECT_TRUE(running_set());
    EXPECT_TRUE(rows().last().endsWith(": measurement started.")) << rows().last().toStdString();
    // The check pass asks every active interface in list order; the passes go by rank,
    // and only the first interface drives the timer wheel.
    EXPECT_EQ(g_calls, std::vector<std::string>(
                           {"check 5",         "check 0",         "check 999",       "check -1",  "check 5",
                            "check 2",         "prepare_start 0", "timer driving 0", "prepare_start 2",
                            "timer 2",         "prepare_start 5", "timer 5",         "prepare_start 5", "timer 5",
                            "startup 0",       "startup 2",       "startup 5",       "startup 5", "go_online 0",
                            "go_online 2",     "go_online 5",     "go_online 5",     "start 0",   "start 2",
                            "start 5",         "start 5"}));
    EXPECT_TRUE(VyrGlobalAccel::instance()->enabled());
    EXPECT_FALSE(window->power_events()->watching());

    g_calls.clear();
    QTest::keyClick(key_target(), Qt::Key_Escape);
    EXPECT_FALSE(window->measurement_running());
    EXPECT_FALSE(running_set());
    EXPECT_FALSE(VyrGlobalAccel::instance()->enabled());
    EXPECT_EQ(g_calls, std::vector<std::string>({"stop 999", "stop 5", "stop 5", "stop 2", "stop 0"}));
    EXPECT_TRUE(rows().last().endsWith(": measurement stopped."));

    // Outside a measurement Escape does nothing; F6 stops a running one.
    g_calls.clear();
    QTest::keyClick(key_target(), Qt::Key_Escape);
    EXPECT_TRUE(g_calls.empty());
    QTest::keyClick(key_target(), Qt::Key_F5);
    ASSERT_TRUE(window->measurement_running());
    window->start(); // a start while running does nothing
    QTest::keyClick(key_target(), Qt::Key_F6);
    EXPECT_FALSE(window->measurement_running());
    EXPECT_EQ(std::count(g_calls.begin(), g_calls.end(), "start 0"), 1);
    EXPECT_TRUE(questions.empty());
}

TEST_F(Measurement, AFailedCheckOrHardwareOpenLeavesNothingRunning)
{
    add(0);
    add(1, -1);
    add(2);
    triggers.find("Running")->set();
    window->start();
    EXPECT_FALSE(window->measurement_running());
    EXPECT_FALSE(running_set()); // every trigger was reset
    ASSERT_EQ(questions.size(), 1u);
    EXPECT_EQ(questions[0].title, "Error");
    EXPECT_EQ(questions[0].text, "Start failed !\nSee the message window for more information.");
    EXPECT_EQ(g_calls, std::vector<std::string>({"check 0", "check 1"}));

    // A cancelled reload question (positive) returns silently.
    window.reset();
    while (VyrSignalIf *left = get_first_signal_if())
        delete left;
    window = std::make_unique<VyrMain>();
    questions.clear();
    g_calls.clear();
    add(0, 1);
    window->start();
    EXPECT_FALSE(window->measurement_running());
    EXPECT_TRUE(questions.empty());

    // A failed hardware open opens every interface, skips bus-on and threads, and stops.
    window.reset();
    while (VyrSignalIf *left = get_first_signal_if())
        delete left;
    window = std::make_unique<VyrMain>();
    g_calls.clear();
    add(0, 0, true);
    add(4);
    window->start();
    EXPECT_FALSE(window->measurement_running());
    EXPECT_EQ(g_calls, std::vector<std::string>({"check 0", "check 4", "prepare_start 0", "timer driving 0",
                                                 "prepare_start 4", "timer 4", "startup 0", "startup 4", "stop 4",
                                                 "stop 0"}));
    EXPECT_TRUE(rows().last().endsWith(": measurement stopped."));
}

TEST_F(Measurement, DelayedStartCountsDownInFiveSecondStepsAndRestartInSeconds)
{
    add(0);
    vyr_test::SteppedClock &clock = stepped_clock();
    auto pass = [&clock](int seconds) {
        clock.advance(seconds * 1000);
        QCoreApplication::sendPostedEvents();
    };
    window->measurement().set_start_delay(7);
    post_vyr_event(window.get(), new VyrCustomEvent(vyr_event_start));
    QCoreApplication::sendPostedEvents(window.get());
    EXPECT_EQ(rows().last(), "Starting measurement in 7 seconds ....");
    EXPECT_EQ(clock.period_ms(), 5000);
    pass(5);
    EXPECT_EQ(rows().last(), "Remaining time until start of measurement: 2 seconds ....");
    EXPECT_FALSE(window->measurement_running());
    pass(5);
    EXPECT_TRUE(window->measurement_running());
    EXPECT_FALSE(window->measurement().counting_down());
    EXPECT_EQ(window->measurement().start_delay(), 0);

    // A restart stops, then counts down by seconds from at most an hour.
    post_vyr_event(window.get(), new VyrCustomEvent(vyr_event_restart, 5000));
    QCoreApplication::sendPostedEvents(window.get());
    EXPECT_FALSE(window->measurement_running());
    EXPECT_EQ(rows().last(), "Starting measurement in 3600 seconds ....");
    EXPECT_EQ(clock.period_ms(), 1000);
    pass(1);
    EXPECT_EQ(rows().last(), "Remaining time until start of measurement: 3599 seconds ....");

    // A restart replaces the countdown; delay 0 starts at the first tick.
    post_vyr_event(window.get(), new VyrCustomEvent(vyr_event_restart, 0));
    QCoreApplication::sendPostedEvents(window.get());
    EXPECT_EQ(rows().last(), "Starting measurement in 0 seconds ....");
    pass(1);
    EXPECT_TRUE(window->measurement_running());
}

// "-startdelayed 7": set-up loads the configuration, then the countdown starts it.
TEST_F(Measurement, StartDelayedCountsDownAfterSetupInFiveSecondSteps)
{
    const QString file = dir.filePath("delayed.vyr");
    {
        QFile config(file);
        ASSERT_TRUE(config.open(QIODevice::WriteOnly));
        config.write("[defaults]\n[REC]\nrank=0\n");
    }
    replace_configuration(new QtbConfig(file));
    vyr_app_state().configuration->read();
    vyr_app_state().options.start = true;
    vyr_app_state().options.start_delay = 7;
    vyr_test::SteppedClock &clock = stepped_clock();
    window->setup();
    QCoreApplication::sendPostedEvents();
    clock.advance(10000);
    QCoreApplication::sendPostedEvents();

    ASSERT_TRUE(window->measurement_running());
    const QString text = rows().join('\n');
    int at = 0;
    for (const char *row : {"Setup done.", "Starting measurement in 7 seconds ....",
                            "Remaining time until start of measurement: 2 seconds ....", ": measurement started."}) {
        const int found = text.indexOf(row, at);
        EXPECT_GE(found, at) << row << " not in order in\n" << text.toStdString();
        at = std::max(found, at);
    }
}

TEST_F(Measurement, CustomEventsStopSaveTheLogSwitchWorkspacesAndShutDown)
{
    add(0);
    std::vector<int> shutdowns;
    VyrMain::set_shutdown_function([&shutdowns](int mode) {
        shutdowns.push_back(mode);
        return 0;
    });

    window->start();
    post_vyr_event(window.get(), new VyrCustomEvent(vyr_event_stop));
    QCoreApplication::sendPostedEvents(window.get());
    EXPECT_FALSE(window->measurement_running());

    const QString saved = dir.filePath("saved.log");
    post_vyr_event(window.get(), new VyrCustomEvent(vyr_event_save_log, 2, 0, saved));
    QCoreApplication::sendPostedEvents(window.get());
    QFile file(saved);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(QString::fromUtf8(file.readAll()).contains(": measurement stopped."));
    EXPECT_TRUE(rows().isEmpty());

    // 11000: the workspace of that index.
    window->create_new_workspace("Second", 7);
    window->workspaces().select(0);
    ASSERT_EQ(window->workspace_tab_bar()->currentIndex(), 0);
    post_vyr_event(window.get(), new VyrCustomEvent(vyr_event_select_workspace, 1));
    QCoreApplication::sendPostedEvents(window.get());
    EXPECT_EQ(window->workspace_tab_bar()->currentIndex(), 1);
    EXPECT_EQ(window->current_workspace_id(), 7);

    // A broken communication stops once and reports once.
    window->start();
    post_vyr_event(window.get(), new VyrErrorEvent("Timeout"));
    post_vyr_event(window.get(), new VyrErrorEvent("Timeout"));
    QCoreApplication::sendPostedEvents(window.get());
    EXPECT_FALSE(window->measurement_running());
    ASSERT_EQ(questions.size(), 1u);
    EXPECT_EQ(questions[0].text, "Communication with target broken\nReason: Timeout");

    // Shutdown modes 0 to 2 reach the system; others only stop.
    window->start();
    for (uint32_t mode : {0u, 1u, 2u, 3u, 9u, 0xFFFFFFFFu})
        post_vyr_event(window.get(), new VyrCustomEvent(vyr_event_shutdown, mode));
    QCoreApplication::sendPostedEvents(window.get());
    EXPECT_FALSE(window->measurement_running());
    EXPECT_EQ(shutdowns, std::vector<int>({0, 1, 2}));
    EXPECT_EQ(window->shutdown_system(-1), -1);
    VyrMain::set_shutdown_function(nullptr);
}

TEST_F(Measurement, CompileReportsTheFirstFailureOrSuccess)
{
    add(0, 0, false, true, "a.vys");
    VyrSignalIf *failing = add(1, 2, false, true, "b.vys");
    add(2, 0, false, true, "c.vys");
    window->log_message_info("old line\n");
    window->compile();
    EXPECT_EQ(g_calls, std::vector<std::string>({"reload 0", "reload 1"}));
    ASSERT_EQ(questions.size(), 1u);
    EXPECT_EQ(questions[0].text, "Reload/Compile failed !\nSee the message window for more information.");
    EXPECT_EQ(questions[0].icon, VyrQuestionIcon::warning);
    EXPECT_TRUE(rows().isEmpty()); // compile clears the message window first

    delete failing;
    questions.clear();
    window->compile();
    EXPECT_EQ(rows(), QStringList({"Reload/Compile was successful."}));
    ASSERT_EQ(questions.size(), 1u);
    EXPECT_EQ(questions[0].title, "Info");
    EXPECT_EQ(questions[0].text, "Reload/Compile was successful.");
    EXPECT_EQ(questions[0].icon, VyrQuestionIcon::information); // a notice, not a warning
}

namespace {

// The enabled states of the fixed entries and buttons, in a fixed order.
std::string enabled_states(VyrMain &window)
{
    std::string states;
    const VyrMainMenus &menus = window.menus();
    const VyrMainToolBar &bar = window.tool_bar();
    // clang-format off
    const std::pair<const char *, QObject *> items[] = {
        {"new", menus.id_new},         {"open", menus.id_open},         {"save", menus.id_save},
        {"save_as", menus.id_save_as}, {"describe", menus.id_describe_config},
        {"exit", menus.id_exit},       {"reopen", menus.menu_reopen->menuAction()},
        {"settings", menus.menu_settings->menuAction()}, {"compile", menus.id_compile},
        {"start", menus.id_start},     {"stop", menus.id_stop},         {"b_new", bar.button_new},
        {"b_open", bar.button_open},   {"b_save", bar.button_save},     {"b_interfaces", bar.button_interfaces},
        {"b_compile", bar.button_compile}, {"b_start", bar.button_start}, {"b_stop", bar.button_stop}};
    // clang-format on
    for (const auto &[name, item] : items) {
        const bool on = qobject_cast<QAction *>(item) ? qobject_cast<QAction *>(item)->isEnabled()
                                                       : qobject_cast<QWidget *>(item)->isEnabled();
        if (on)
            states += std::string(states.empty() ? "" : " ") + name;
    }
    return states;
}

QStringList texts(QMenu *menu)
{
    QStringList list;
    for (QAction *action : menu->actions())
        list << (action->isSeparator() ? QString("-") : action->text() + (action->isEnabled() ? "" : " (off)"));
    return list;
}

} // namespace

TEST_F(Measurement, MenusAndToolBarFollowTheShowStateTable)
{
    const std::string idle = "new open save save_as describe exit reopen settings";
    const std::string buttons_idle = " b_new b_open b_save b_interfaces";
    EXPECT_EQ(enabled_states(*window), idle + buttons_idle); // no active interface: no start, no compile
    add(0, 0, false, false, "x.vys");
    EXPECT_EQ(enabled_states(*window), idle + buttons_idle); // inactive ones count for nothing
    add(0);
    EXPECT_EQ(enabled_states(*window), idle + " start" + buttons_idle + " b_start");
    add(0, 0, false, true, "y.vys");
    const std::string ready = idle + " compile start" + buttons_idle + " b_compile b_start";
    EXPECT_EQ(enabled_states(*window), ready);
    window->start();
    EXPECT_EQ(enabled_states(*window), "stop b_stop");
    window->stop();
    EXPECT_EQ(enabled_states(*window), ready);

    EXPECT_EQ(texts(window->menus().menu_file),
              QStringList({"&New Configuration", "&Open Configuration...", "&Reopen...", "-", "&Save Configuration",
                           "Save Configuration &As...", "&Describe Configuration...", "-", "E&xit"}));
    EXPECT_EQ(texts(window->menus().menu_measure), QStringList({"&Compile", "&Start", "Sto&p (off)"}));
    EXPECT_EQ(window->menus().id_start->shortcut(), QKeySequence(Qt::Key_F5));
    EXPECT_EQ(window->menus().id_compile->shortcut(), QKeySequence(Qt::Key_F8));

    // The Settings menu: the Service Control submenu, then one settings
    // submenu per interface type, listing its interfaces with 1000 + their
    // place in the interface list.
    emit window->menus().menu_settings->aboutToShow();
    const QStringList settings = texts(window->menus().menu_settings);
    EXPECT_EQ(
        settings.mid(0, 8),
        QStringList({"&Preferences", "Interface List", "Trigger Settings", "-", "Service Control", "-",
                     "Create new Interface", "-"}));
    QMenu *recording_menu = nullptr;
    for (QAction *action : window->menus().menu_settings->actions())
        if (action->text() == "REC Settings")
            recording_menu = action->menu();
    ASSERT_NE(recording_menu, nullptr);
    ASSERT_EQ(recording_menu->actions().size(), 3);
    EXPECT_EQ(recording_menu->actions()[2]->data().toInt(), 1002);
    QMenu *create_menu = window->findChild<QMenu *>("menu_create_interface");
    ASSERT_NE(create_menu, nullptr);
    bool listed = false;
    int k = 0;
    for (const VyrSignalIfType *type = get_first_signal_if_type(); type; type = type->next(), ++k)
        if (type == &recording_type)
            for (QAction *action : create_menu->actions())
                listed = listed || (action->text() == "REC Interface" && action->data().toInt() == 2000 + k);
    EXPECT_TRUE(listed);

    // The Workspace menu: no deleting the default workspace, nothing during a measurement.
    emit window->menus().menu_workspace->aboutToShow();
    EXPECT_EQ(texts(window->menus().menu_workspace),
              QStringList({"&Create New Workspace", "&Rename Current Workspace", "&Delete Current Workspace (off)"}));
    window->start();
    emit window->menus().menu_workspace->aboutToShow();
    EXPECT_EQ(texts(window->menus().menu_workspace),
              QStringList({"&Create New Workspace (off)", "&Rename Current Workspace (off)",
                           "&Delete Current Workspace (off)"}));
    window->stop();

    // The View menu's first entry is the message dock, which it hides and shows.
    window->show();
    emit window->menus().menu_view->aboutToShow();
    ASSERT_EQ(texts(window->menus().menu_view).mid(0, 2), QStringList({"Message Window", "-"}));
    EXPECT_TRUE(window->menus().menu_view->actions()[0]->isChecked());
    window->menus().menu_view->actions()[0]->trigger();
    EXPECT_FALSE(window->message_dock()->isVisible());

    // The tool bar in its order, with its tool tips; hiding it rebuilds it.
    QStringList labels;
    for (QToolButton *button : window->tool_bar().bar->findChildren<QToolButton *>())
        if (button->objectName().startsWith("button_"))
            labels << button->text();
    // One button per window type of the registry stands between Interfaces and Clear.
    EXPECT_EQ(labels, QStringList({"New", "Open", "Save", "Interfaces", "Statistics", "CanSend", "CanReplay", "Trace",
                                   "Scope", "Tune", "Panel", "PacketTrace", "Clear",
                                   "Compile", "Start", "Stop"}));
    EXPECT_EQ(window->tool_bar().button_start->toolTip(),
              "<p><h3>Start</h3>Start measurement and automatic window update.</p>");
    QToolButton *old_start = window->tool_bar().button_start;
    window->tool_bar().bar->hide();
    EXPECT_NE(window->tool_bar().button_start, old_start);
    EXPECT_TRUE(window->tool_bar().button_start->isEnabled());
}

TEST_F(Measurement, KeysTypedIntoALineEditNeverReachTheAccelerators)
{
    add(0);
    auto *edit = new QLineEdit(window.get());
    edit->setObjectName("edit");
    VyrGlobalAccelItem item(VyrGlobalAccel::instance(), 'A');
    int fired = 0;
    QObject::connect(&item, &VyrGlobalAccelItem::activated, [&fired](unsigned) { ++fired; });
    show_active();

    QTest::keyClick(key_target(), Qt::Key_A); // before a measurement
    EXPECT_EQ(fired, 0);
    window->start();
    edit->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([edit] { return edit->hasFocus(); }));
    QTest::keyClick(edit, Qt::Key_A);
    EXPECT_EQ(fired, 0);
    EXPECT_EQ(edit->text(), "a");
    QTest::keyClick(edit, Qt::Key_Escape);
    EXPECT_TRUE(window->measurement_running());

    window->workspace_tab_bar()->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([this] { return window->workspace_tab_bar()->hasFocus(); }));
    QTest::keyClick(window->workspace_tab_bar(), Qt::Key_A);
    EXPECT_EQ(fired, 1);
    QTest::keyClick(window->workspace_tab_bar(), Qt::Key_A, Qt::ShiftModifier); // another key
    EXPECT_EQ(fired, 1);
    QTest::keyClick(window->workspace_tab_bar(), Qt::Key_Escape);
    EXPECT_FALSE(window->measurement_running());
}

TEST_F(Measurement, TheWorkspaceContextMenuOffersNoDeletingOfTheDefaultWorkspace)
{
    show_active();
    QStringList shown;
    QTimer::singleShot(0, [&shown] {
        auto *popup = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        if (!popup)
            return;
        shown = texts(popup);
        popup->close();
    });
    QTest::mouseClick(window->current_workspace()->viewport(), Qt::RightButton);
    EXPECT_EQ(shown, QStringList({"Tile", "Cascade", "Standard Layout", "-", "Create new Workspace",
                                  "Rename current Workspace", "Delete current Workspace (off)", "-",
                                  "Create Window"}));
}

// A termination signal, read through the signal descriptor on the GUI
// thread, closes the window as the user's closing does (the measurement
// stops), but asks nothing: not even about the changed configuration.
TEST_F(Measurement, ATerminationSignalClosesWithoutQuestions)
{
    add(0);
    window->show();
    VyrTerminationSignals::block();
    VyrTerminationSignals termination;
    ASSERT_TRUE(termination.watching());
    QObject::connect(&termination, &VyrTerminationSignals::received, window.get(), &VyrMain::close_without_questions);
    window->start();
    ASSERT_TRUE(window->measurement_running());
    window->configuration().set_modified(true);
    g_calls.clear();

    ASSERT_EQ(pthread_kill(pthread_self(), SIGTERM), 0);
    EXPECT_TRUE(QTest::qWaitFor([this] { return !window->isVisible(); }, 5000));
    EXPECT_FALSE(window->measurement_running());
    EXPECT_EQ(g_calls, std::vector<std::string>({"stop 0"}));
    EXPECT_TRUE(questions.empty());
}

TEST_F(Measurement, KeyConditionFiresThroughTheKeyFilterDuringAMeasurementOnly)
{
    VyrTriggerCondList conditions;
    VyrTriggerCondList::set_instance(&conditions);
    auto *target = new VyrTrigger(&triggers, "Keyed");
    auto *condition = new VyrTriggerCond(&conditions);
    auto data = std::make_unique<VyrTriggerCondDataKey>();
    data->key_code = key_modifier_ctrl | 'K';
    condition->set_cond_data(std::move(data));
    condition->set_action(VyrTriggerCond::ToggleTrigger);
    condition->set_target(target);
    add(0);
    show_active();

    QTest::keyClick(key_target(), Qt::Key_K, Qt::ControlModifier);
    EXPECT_EQ(target->state(), 0);
    window->start();
    QTest::keyClick(key_target(), Qt::Key_K);
    EXPECT_EQ(target->state(), 0);
    QTest::keyClick(key_target(), Qt::Key_K, Qt::ControlModifier);
    EXPECT_EQ(target->state(), 1);
    window->stop();
    QTest::keyClick(key_target(), Qt::Key_K, Qt::ControlModifier);
    EXPECT_EQ(target->state(), 1);
    conditions.clear();
    VyrTriggerCondList::set_instance(nullptr);
}

TEST_F(Measurement, TriggerSettingsOpenFromTheSettingsMenu)
{
    VyrTriggerCondList conditions;
    VyrTriggerCondList::set_instance(&conditions);
    show_active();
    window->build_settings_menu();
    QAction *entry = nullptr;
    for (QAction *action : window->menus().menu_settings->actions())
        if (action->text() == "Trigger Settings")
            entry = action;
    ASSERT_NE(entry, nullptr);
    bool seen = false;
    QTimer::singleShot(0, [&seen] {
        auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
        if (!dialog || dialog->objectName() != "trigger_settings")
            return;
        seen = true;
        dialog->findChild<QWidget *>("trigger_list")->findChild<QPushButton *>("pb_new")->click();
        dialog->findChild<QPushButton *>("pb_ok")->click();
    });
    entry->trigger();
    EXPECT_TRUE(seen);
    EXPECT_NE(triggers.find("NewTrigger_1"), nullptr);
    EXPECT_TRUE(window->configuration_modified());
    VyrTriggerCondList::set_instance(nullptr);
}
