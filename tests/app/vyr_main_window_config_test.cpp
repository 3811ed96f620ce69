// The main window's configuration file: its layout written and read back,
// the save question, failures, the recent list and the desktop fit.
#include "app/shell/vyr_app_state.h"
#include "app/vyr_main.h"
#include "app/vyr_main_widgets.h"
#include "app/vyr_main_window_config.h"
#include "settings/qtb_config.h"
#include "core/vyr_recent_list.h"
#include "core/vyr_signal_if.h"
#include "core/vyr_signal_if_type.h"
#include "main_config_fixture.h"
#include "message_window_rows.h"
#include "test_window_type.h"
#include "tests/core/signal_if_test_support.h"

#include <QTest>

#include <memory>

using vyr_test::TestWindow;
using vyr_test::TestWindowType;

namespace {

class MainWindowConfig : public vyr_test::MainConfigFixture
{
protected:
    // A main window shown on the offscreen screen, deleted with the fixture.
    VyrMain *new_window()
    {
        auto *window = new VyrMain();
        window->setAttribute(Qt::WA_DeleteOnClose, false);
        windows.emplace_back(window);
        window->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window));
        return window;
    }

    // Reads the file into a new configuration object of the program and
    // applies it to the window; answers load_configuration's result.
    int load_into(VyrMain *window, const QString &file_name)
    {
        auto *config = new QtbConfig(file_name);
        config->read();
        replace_configuration(config);
        return window->load_configuration(config);
    }

    static int interface_count(const char *type_name)
    {
        int n = 0;
        for (VyrSignalIf *i = get_first_signal_if(); i; i = i->next())
            n += i->type_name() == type_name;
        return n;
    }

    void TearDown() override
    {
        windows.clear();
        MainConfigFixture::TearDown();
    }

    TestWindowType test_type;
    std::vector<std::unique_ptr<VyrMain>> windows;
};

TestWindow *test_window(VyrDataWindow *window)
{
    return static_cast<TestWindow *>(window);
}

TEST_F(MainWindowConfig, ASavedConfigurationLoadsIntoAFreshWindowAndSavesAgainByteForByte)
{
    const QString first_file = path("first.vyr");
    {
        VyrMain *window = new_window();
        for (int i = 0; i < 2; ++i)
            ASSERT_NE(create_signal_if("CAN", nullptr, window, window->signal_if_notification()).release(), nullptr);
        new VyrTrigger(VyrTriggerList::instance(), "Brake");
        window->create_new_workspace("Second", -1);
        window->workspace_tab_bar()->setCurrentIndex(window->find_workspace_tab(0));
        test_window(window->create_data_window("TestWindow", nullptr))->note = "in workspace 0";
        window->workspace_tab_bar()->setCurrentIndex(window->find_workspace_tab(1));
        test_window(window->create_data_window("TestWindow", nullptr))->note = "in workspace 1";
        TestWindow *detached = test_window(window->create_data_window("TestWindow", nullptr));
        detached->note = "detached";
        detached->detach_from_workspace();
        QTest::qWait(20);

        replace_configuration(new QtbConfig(first_file));
        ASSERT_TRUE(window->configuration_modified());
        ASSERT_TRUE(window->save_configuration());
        EXPECT_FALSE(window->configuration_modified());
        windows.clear();
        delete VyrTriggerList::instance()->find("Brake"); // a fresh program has only its built-in trigger
        ASSERT_EQ(get_first_signal_if(), nullptr);
        ASSERT_EQ(first_window(), nullptr);
    }
    const QByteArray saved = read(first_file);
    // The main window's groups in their order, the interfaces, then the windows.
    const QList<QByteArray> sections = [&] {
        QList<QByteArray> names;
        for (const QByteArray &line : saved.split('\n'))
            if (line.startsWith('['))
                names << line;
        return names;
    }();
    EXPECT_EQ(sections,
              (QList<QByteArray>{"[defaults]", "[rt_log]", "[CAN]", "[CAN]", "[TestWindow]", "[TestWindow]",
                                 "[TestWindow]"}));
    for (const char *key :
         {"geometry=", "is_maximized=", "is_minimized=", "workspace_width=", "workspace_height=",
          "main_window_settings=", "main_window_settings_utf8=", "triggers=", "workspaces=", "active_workspace=1"})
        EXPECT_TRUE(saved.contains(key)) << key;
    EXPECT_LT(saved.indexOf("geometry="), saved.indexOf("active_workspace="));

    VyrMain *window = new_window();
    ASSERT_EQ(load_into(window, first_file), 0);
    EXPECT_EQ(interface_count("CAN"), 2);
    ASSERT_EQ(window->workspace_tab_bar()->count(), 2);
    EXPECT_EQ(window->workspace_tab_bar()->tabText(1), "Second");
    EXPECT_EQ(window->current_workspace_id(), 1);
    EXPECT_NE(VyrTriggerList::instance()->find("Brake"), nullptr);
    QStringList notes;
    for (VyrDataWindow *w = first_window(); w; w = w->next_window())
        notes << test_window(w)->note + QStringLiteral(" @%1%2").arg(w->workspace_id()).arg(w->detached() ? " d" : "");
    EXPECT_EQ(notes, (QStringList{"in workspace 0 @0", "in workspace 1 @1", "detached @-1 d"}));
    // What made a window or an interface has left the configuration object.
    EXPECT_EQ(vyr_app_state().configuration->get_group("CAN"), nullptr);
    EXPECT_EQ(vyr_app_state().configuration->get_group("TestWindow"), nullptr);
    EXPECT_FALSE(window->configuration_modified());

    QTest::qWait(20);
    vyr_app_state().configuration->set_file_name(path("second.vyr"));
    ASSERT_TRUE(window->save_configuration());
    EXPECT_EQ(read(path("second.vyr")).toStdString(), saved.toStdString());
}

TEST_F(MainWindowConfig, AnUnknownGroupStaysInMemoryUntilTheNextSaveDropsIt)
{
    write(path("unknown.vyr"), "[defaults]\nactive_workspace=0\n[Mystery]\nvalue=1\n[CAN]\nactive=false\n");
    VyrMain *window = new_window();
    ASSERT_EQ(load_into(window, path("unknown.vyr")), 0);
    EXPECT_EQ(interface_count("CAN"), 1);
    QtbConfig *config = vyr_app_state().configuration;
    ASSERT_NE(config->get_group("Mystery"), nullptr);
    EXPECT_EQ(config->get_group("Mystery")->read_int("value", 0), 1);

    ASSERT_TRUE(window->save_configuration());
    EXPECT_FALSE(read(path("unknown.vyr")).contains("Mystery"));
    EXPECT_EQ(config->get_group("Mystery"), nullptr);
}

TEST_F(MainWindowConfig, AFileWithoutDefaultsLoadsWithTheBuiltInOnesAndSaysSo)
{
    write(path("bare.vyr"), "[CAN]\nactive=false\n");
    VyrMain *window = new_window();
    EXPECT_EQ(load_into(window, path("bare.vyr")), -1);
    EXPECT_EQ(window->geometry(), QRect(50, 50, 750, 550));
    EXPECT_EQ(interface_count("CAN"), 1);
    EXPECT_EQ(QDir::currentPath(), QDir(dir.path()).canonicalPath()); // the file's folder
    // The file was found and its interface read: only the main window's part was missing.
    EXPECT_EQ(
        message_window_rows(*window),
        QStringList({"Loading config file \"" + path("bare.vyr") + "\" ... read [CAN].",
                     path("bare.vyr") + ": no [defaults] section - the main window takes its built-in settings."}));

    // A file that is not there says so.
    VyrMain *other = new_window();
    EXPECT_EQ(load_into(other, path("missing.vyr")), -1);
    EXPECT_EQ(message_window_rows(*other),
              QStringList({"Loading config file \"" + path("missing.vyr") +
                           "\" ...can not find it - using built-in "
                           "defaults."}));
}

// What the reader skipped is reported with file and line; the first save
// would drop it from the file, so it asks before replacing the file.
TEST_F(MainWindowConfig, ALoadWithErrorsAsksBeforeTheFirstSaveReplacesTheFile)
{
    const QByteArray text = "[defaults]\nactive_workspace=0\nthis is no entry\n[CAN]\nactive=false\nname=\"unclosed\n";
    write(path("faulty.vyr"), text);
    VyrMain *window = new_window();
    ASSERT_EQ(load_into(window, path("faulty.vyr")), 0);
    const QStringList rows = message_window_rows(*window);
    ASSERT_GE(rows.size(), 2);
    EXPECT_EQ(rows[0], "Loading config file \"" + path("faulty.vyr") + "\" ... read [defaults] [CAN].");
    EXPECT_TRUE(rows[1].startsWith(path("faulty.vyr") + ":3: ")) << rows[1].toStdString();

    answers = {1}; // Cancel
    EXPECT_FALSE(window->save_configuration());
    ASSERT_EQ(questions.size(), 1u);
    EXPECT_EQ(questions[0].title, "Warning");
    EXPECT_TRUE(questions[0].text.contains("'" + path("faulty.vyr") + "'")) << questions[0].text.toStdString();
    EXPECT_EQ(questions[0].buttons, (QStringList{"Replace", "Cancel"}));
    EXPECT_EQ(read(path("faulty.vyr")), text);

    answers = {0}; // Replace
    EXPECT_TRUE(window->save_configuration());
    EXPECT_NE(read(path("faulty.vyr")), text);
    // The file now holds what is in memory: the next save just saves.
    questions.clear();
    EXPECT_TRUE(window->save_configuration());
    EXPECT_TRUE(questions.empty());
}

TEST_F(MainWindowConfig, TheMisspeltMaximisedKeyOfOlderFilesStillMaximises)
{
    write(path("old.vyr"), "[defaults]\nis_maximixed=1\n");
    VyrMain *window = new_window();
    ASSERT_EQ(load_into(window, path("old.vyr")), 0);
    QTest::qWait(20);
    EXPECT_TRUE(window->isMaximized());
    EXPECT_EQ(window->workspace_size_timer(), 0);
}

TEST_F(MainWindowConfig, WorkspaceNamesKeepEveryCharacterThroughTheirUtf8Twin)
{
    const QString japanese = QString::fromUtf8("計測ワークスペース");
    {
        VyrMain *window = new_window();
        window->create_new_workspace(japanese, -1);
        replace_configuration(new QtbConfig(path("names.vyr")));
        ASSERT_TRUE(window->save_configuration());
        windows.clear();
    }
    VyrMain *window = new_window();
    ASSERT_EQ(load_into(window, path("names.vyr")), 0);
    ASSERT_EQ(window->workspace_tab_bar()->count(), 2);
    EXPECT_EQ(window->workspace_tab_bar()->tabText(1), japanese);

    // A file of an older version has the 8-bit name only.
    write(path("latin1.vyr"), "[defaults]\nworkspaces=( ( {name}\"Pr=fcfstand\" {id}4 ) )\n");
    VyrMain *older = new_window();
    ASSERT_EQ(load_into(older, path("latin1.vyr")), 0);
    ASSERT_EQ(older->workspace_tab_bar()->count(), 2);
    EXPECT_EQ(older->workspace_tab_bar()->tabText(1), QString::fromUtf8("Prüfstand"));
    EXPECT_EQ(older->workspace_tab_bar()->workspace_id(1), 4);
}

TEST_F(MainWindowConfig, AWorkspaceGroupWithIdZeroRenamesTheDefaultWorkspace)
{
    write(path("zero.vyr"),
          "[defaults]\nworkspaces=( ( {name}\"Bench\" {id}0 ) ( {name}\"Car\" {id}7 ) )\n"
          "active_workspace=3\n");
    VyrMain *window = new_window();
    ASSERT_EQ(load_into(window, path("zero.vyr")), 0);
    ASSERT_EQ(window->workspace_tab_bar()->count(), 2);
    EXPECT_EQ(window->workspace_tab_bar()->tabText(0), "Bench");
    EXPECT_EQ(window->workspace_tab_bar()->tabText(1), "Car");
    // No tab has the active id 3: workspace 0 is selected.
    EXPECT_EQ(window->current_workspace_id(), 0);
}

TEST_F(MainWindowConfig, TheSaveQuestionGoesOnOnlyWithNoOrASuccessfulSave)
{
    write(path("next.vyr"), "[defaults]\n[CAN]\nactive=false\n");
    const struct
    {
        int answer;
        bool loaded;
        bool saved;
    } cases[] = {{0, true, true}, {1, true, false}, {2, false, false}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.answer);
        VyrMain *window = new_window();
        replace_configuration(new QtbConfig(path("current.vyr")));
        QFile::remove(path("current.vyr"));
        window->configuration_changed();
        questions.clear();
        answers = {c.answer};
        window->load_configuration(path("next.vyr").toLocal8Bit().constData());
        ASSERT_EQ(questions.size(), 1u);
        EXPECT_EQ(questions[0].title, "Warning");
        EXPECT_EQ(questions[0].text,
                  "Configuration has changed!\nDo you want to save before loading new configuration ?");
        EXPECT_EQ(questions[0].buttons, (QStringList{"YES", "No", "Cancel"}));
        EXPECT_EQ(interface_count("CAN"), c.loaded ? 1 : 0);
        EXPECT_EQ(QFile::exists(path("current.vyr")), c.saved);
        EXPECT_EQ(vyr_app_state().configuration->file_name(), c.loaded ? path("next.vyr") : path("current.vyr"));
        EXPECT_EQ(window->configuration_modified(), !c.loaded);
        windows.clear();
    }

    // The close check asks the same question.
    VyrMain *window = new_window();
    window->configuration_changed();
    answers = {2};
    EXPECT_FALSE(window->close());
    answers = {1};
    EXPECT_TRUE(window->close());
}

TEST_F(MainWindowConfig, AfterALoadTheWindowGrowsUntilItsWorkspaceHasTheStoredSize)
{
    write(path("sized.vyr"), "[defaults]\ngeometry=( 40 40 700 500 )\nworkspace_width=600\nworkspace_height=300\n");
    VyrMain *window = new_window();
    ASSERT_EQ(load_into(window, path("sized.vyr")), 0);
    ASSERT_NE(window->workspace_size_timer(), 0);
    ASSERT_TRUE(QTest::qWaitFor([window] { return window->workspace_size_timer() == 0; }, 2000));
    QTest::qWait(20);
    EXPECT_EQ(window->current_workspace()->size(), QSize(600, 300));
}

TEST_F(MainWindowConfig, AWindowThatRefusesKeepsTheMainWindowOpenAndItsConfiguration)
{
    VyrMain *window = new_window();
    auto *stubborn = static_cast<TestWindow *>(window->create_data_window("TestWindow", nullptr));
    window->configuration().set_modified(false);
    stubborn->allow_close = false;
    EXPECT_FALSE(window->close());
    EXPECT_TRUE(questions.empty()); // refused before the save question

    // Nor is the configuration replaced under it.
    replace_configuration(new QtbConfig(path("current.vyr")));
    write(path("next.vyr"), "[defaults]\n");
    window->load_configuration(path("next.vyr").toLocal8Bit().constData());
    window->new_configuration();
    EXPECT_EQ(vyr_app_state().configuration->file_name(), path("current.vyr"));
    EXPECT_EQ(first_window(), stubborn);

    stubborn->allow_close = true;
    EXPECT_TRUE(window->close());
}

TEST_F(MainWindowConfig, AnUnwritableTargetIsReportedAndTheConfigurationStaysModified)
{
    VyrMain *window = new_window();
    const QString target = path("missing folder/config.vyr");
    replace_configuration(new QtbConfig(target));
    window->configuration_changed();
    EXPECT_FALSE(window->save_configuration());
    ASSERT_EQ(questions.size(), 1u);
    EXPECT_EQ(questions[0].title, "Warning");
    EXPECT_EQ(questions[0].text,
              QStringLiteral("I couldn't write the configuration file '%1'. Is it write protected ?\n"
                             "Use \"Save As...\" on the File menu to save it somewhere else.")
                  .arg(target));
    EXPECT_EQ(questions[0].buttons, QStringList{"OK"});
    EXPECT_TRUE(window->configuration_modified());
    EXPECT_STREQ(config_lru().at(0), target.toLocal8Bit().constData());

    // A configuration without a name fails the same way and stays out of the recent list.
    replace_configuration(new QtbConfig());
    EXPECT_FALSE(window->save_configuration());
    EXPECT_STREQ(config_lru().at(0), target.toLocal8Bit().constData());
}

TEST_F(MainWindowConfig, SaveAsAddsTheExtensionAsksBeforeOverwritingAndMovesTheWorkingDirectory)
{
    VyrMain *window = new_window();
    QDir(dir.path()).mkpath("sub");
    replace_configuration(new QtbConfig(path("start.vyr")));

    file_answers = {path("sub/Upper.VYR")};
    ASSERT_TRUE(window->save_configuration_as());
    ASSERT_EQ(file_requests.size(), 1u);
    EXPECT_TRUE(file_requests[0].save);
    EXPECT_EQ(file_requests[0].caption, "Save Config File As");
    EXPECT_EQ(file_requests[0].filter, "Config files (*.vyr);;All files (*)");
    EXPECT_EQ(file_requests[0].start_name, path("start.vyr"));
    EXPECT_TRUE(QFile::exists(path("sub/Upper.VYR")));
    EXPECT_EQ(window->working_directory().absolutePath(), path("sub"));
    EXPECT_STREQ(config_lru().at(0), path("sub/Upper.VYR").toLocal8Bit().constData());

    file_answers = {path("plain")};
    ASSERT_TRUE(window->save_configuration_as());
    EXPECT_EQ(vyr_app_state().configuration->file_name(), path("plain.vyr"));

    // An existing file: Cancel keeps everything, OK overwrites.
    questions.clear();
    file_answers = {path("sub/Upper.VYR")};
    answers = {1};
    EXPECT_FALSE(window->save_configuration_as());
    ASSERT_EQ(questions.size(), 1u);
    EXPECT_EQ(questions[0].text,
              QStringLiteral("File '%1' already exists.\nDo you want to overwrite it ?").arg(path("sub/Upper.VYR")));
    EXPECT_EQ(vyr_app_state().configuration->file_name(), path("plain.vyr"));
    file_answers = {path("sub/Upper.VYR")};
    answers = {0};
    EXPECT_TRUE(window->save_configuration_as());

    // A cancelled dialog saves nothing.
    EXPECT_FALSE(window->save_configuration_as());
}

TEST_F(MainWindowConfig, AnUnreadableFileChangesNothingAndReopenPastTheListAsksForAFile)
{
    VyrMain *window = new_window();
    replace_configuration(new QtbConfig(path("current.vyr")));
    window->load_configuration(path("absent.vyr").toLocal8Bit().constData());
    ASSERT_EQ(questions.size(), 1u);
    EXPECT_EQ(questions[0].title, "Error");
    EXPECT_EQ(questions[0].text, QStringLiteral("Unable to open file '%1' for reading !").arg(path("absent.vyr")));
    EXPECT_EQ(vyr_app_state().configuration->file_name(), path("current.vyr"));

    window->reopen_config(config_lru().count());
    ASSERT_EQ(file_requests.size(), 1u);
    EXPECT_FALSE(file_requests[0].save);
    EXPECT_EQ(file_requests[0].caption, "Select Configuration File");
    EXPECT_EQ(file_requests[0].object_name, "vyr_main_open_file");
    EXPECT_EQ(file_requests[0].start_name, path("current.vyr"));
}

TEST_F(MainWindowConfig, NewConfigurationKeepsBuiltInTriggersAndIsNamedAfterTheWorkingDirectory)
{
    VyrMain *window = new_window();
    window->change_working_directory(QDir(dir.path()));
    replace_configuration(new QtbConfig(path("old.vyr")));
    ASSERT_NE(create_signal_if("CAN", nullptr, window, window->signal_if_notification()).release(), nullptr);
    new VyrTrigger(VyrTriggerList::instance(), "Configured");
    window->create_new_workspace("Extra", -1);
    window->create_data_window("TestWindow", nullptr);

    window->new_configuration(); // modified: the question, answered "No"
    answers = {1};
    window->new_configuration();
    EXPECT_EQ(vyr_app_state().configuration->file_name(), QDir(dir.path()).absolutePath() + "/default.vyr");
    EXPECT_EQ(get_first_signal_if(), nullptr);
    EXPECT_EQ(first_window(), nullptr);
    EXPECT_EQ(window->workspace_tab_bar()->count(), 1);
    EXPECT_NE(VyrTriggerList::instance()->find("Running"), nullptr);
    EXPECT_EQ(VyrTriggerList::instance()->find("Configured"), nullptr);
    EXPECT_FALSE(window->configuration_modified());
}

// A loaded configuration replaces the interfaces; their threads must not
// run while they are deleted.
TEST_F(MainWindowConfig, LoadingWhileAMeasurementRunsStopsItFirst)
{
    VyrSignalIfType type("RUNNING", "Running Interface", nullptr,
                         [](QtbConfigGroup *, QObject *owner, VyrSignalIfNotification *notification) {
                             auto made = std::make_unique<vyr_test::TestInterface>(owner, notification, "RUNNING");
                             made->set_active(true);
                             return std::unique_ptr<VyrSignalIf>(std::move(made));
                         });
    VyrMain *window = new_window();
    ASSERT_NE(create_signal_if("RUNNING", nullptr, window, window->signal_if_notification()).release(), nullptr);
    window->start();
    ASSERT_TRUE(window->measurement_running());
    ASSERT_TRUE(get_first_signal_if()->thread_running());

    write(path("next.vyr"), "[defaults]\n");
    answers = {1}; // discard whatever changed
    window->load_configuration(path("next.vyr").toLocal8Bit().constData());
    EXPECT_FALSE(window->measurement_running());
    EXPECT_EQ(get_first_signal_if(), nullptr);
}

// A main window counting the calls of its menu slots.
class CountingMain : public VyrMain
{
    Q_OBJECT
public slots:
    void show_state() override { ++states_shown; }
    void build_toolbar() override { ++tool_bars_built; }

public:
    int states_shown = 0;
    int tool_bars_built = 0;
};

TEST_F(MainWindowConfig, MenusAndToolBarFollowLoadsAndChanges)
{
    CountingMain window;
    window.setAttribute(Qt::WA_DeleteOnClose, false);
    // Showing the window shows its tool bar, which rebuilds it: counted from here.
    window.show();
    window.tool_bars_built = 0;
    window.states_shown = 0;
    write(path("plain.vyr"), "[defaults]\n");
    ASSERT_EQ(load_into(&window, path("plain.vyr")), 0);
    EXPECT_EQ(window.tool_bars_built, 1);
    EXPECT_GE(window.states_shown, 1);
    const int shown = window.states_shown;
    window.configuration_changed();
    EXPECT_EQ(window.states_shown, shown + 1);
}

TEST(FitToDesktop, MovesTheRectangleInsideKeepingItsSize)
{
    const struct
    {
        QRect stored;
        QSize desktop;
        QRect fitted;
    } cases[] = {
        {{50, 50, 750, 550}, {1024, 768}, {50, 50, 750, 550}},
        {{900, 50, 400, 300}, {1024, 768}, {605, 50, 400, 300}},   // right edge to W - 20
        {{50, 600, 400, 300}, {1024, 768}, {50, 449, 400, 300}},   // bottom edge to H - 20
        {{-100, 50, 2000, 300}, {1024, 768}, {20, 50, 2000, 300}}, // too wide: the left edge wins
        {{50, -30, 400, 300}, {1024, 768}, {50, 20, 400, 300}},    // top above 0
        {{225, 100, 800, 300}, {1024, 768}, {225, 100, 800, 300}}, // right edge exactly at W
        {{50, 469, 400, 300}, {1024, 768}, {50, 469, 400, 300}},   // bottom edge exactly at H
        {{0, 0, 400, 300}, {1024, 768}, {0, 0, 400, 300}},         // left and top edges at 0
    };
    for (const auto &c : cases)
        EXPECT_EQ(fit_to_desktop(c.stored, c.desktop.width(), c.desktop.height()), c.fitted) << c.stored.x();
}

} // namespace

#include "vyr_main_window_config_test.moc"

namespace {

// Counts the moves of widgets to a new parent that start or end inside the
// watched window: each such move walks the window's whole focus chain.
class MovesInsideWindow : public QObject
{
public:
    explicit MovesInsideWindow(QWidget *window) : m_window(window) { qApp->installEventFilter(this); }
    ~MovesInsideWindow() override { qApp->removeEventFilter(this); }
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        const bool move = event->type() == QEvent::ParentChange || event->type() == QEvent::ParentAboutToChange;
        if (move && watched->isWidgetType() && static_cast<QWidget *>(watched)->window() == m_window)
            ++count;
        return false;
    }
    int count = 0;

private:
    QWidget *m_window;
};

} // namespace

// A configuration of 1,000 trace windows loads and closes without a move
// per widget: each window is built before it enters the workspace and takes
// its widgets with it in one move, rather than each of its widgets moving
// into (and at the end out of) the whole main window, each move a walk over
// all the widgets there (1,000 windows took 307 s to load).
TEST_F(MainWindowConfig, ManyTraceWindowsEnterAndLeaveTheMainWindowInOneMoveEach)
{
    constexpr int count = 1000;
    QFile file(path("many.vyr"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[defaults]\ngeometry=( 50 50 900 650 )\n");
    for (int i = 0; i < count; ++i)
        file.write("[Trace]\ngeometry=( 10 10 400 300 )\nworkspace_id=0\n");
    file.close();
    VyrMain *window = new_window();
    int entering = 0;
    {
        MovesInsideWindow moves(window);
        ASSERT_EQ(load_into(window, path("many.vyr")), 0);
        entering = moves.count;
    }
    int traces = 0;
    for (VyrDataWindow *w = first_window(); w; w = w->next_window())
        traces += w->class_key() == "Trace";
    EXPECT_EQ(traces, count);
    // The window and its frame, and a few moves of the main window's own;
    // built inside the main window, a trace window moved 62 widgets there.
    EXPECT_LE(entering, 4 * count);
    // The program's event loop runs between loading and closing.
    QCoreApplication::sendPostedEvents();
    int leaving = 0;
    {
        MovesInsideWindow moves(window);
        windows.clear();
        leaving = moves.count;
    }
    EXPECT_LE(leaving, count);
}
