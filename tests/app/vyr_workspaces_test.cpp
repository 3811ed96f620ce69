// Workspaces of the main window, the data windows created in them and the
// standard layout.
#include "app/vyr_main.h"
#include "app/vyr_main_widgets.h"
#include "app/vyr_workspaces.h"
#include "settings/qtb_config.h"
#include "core/vyr_signal_if_notification.h"
#include "main_config_fixture.h"
#include "test_window_type.h"

#include <QMdiSubWindow>
#include <QStackedWidget>
#include <QTest>

using vyr_test::TestWindow;
using vyr_test::TestWindowType;

namespace {

class Workspaces : public vyr_test::MainConfigFixture
{
protected:
    void SetUp() override
    {
        MainConfigFixture::SetUp();
        window = std::make_unique<VyrMain>();
        window->setAttribute(Qt::WA_DeleteOnClose, false);
        window->resize(1000, 700);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }
    void TearDown() override
    {
        window.reset();
        MainConfigFixture::TearDown();
    }

    QStringList tab_texts() const
    {
        QStringList texts;
        for (int i = 0; i < window->workspace_tab_bar()->count(); ++i)
            texts << window->workspace_tab_bar()->tabText(i);
        return texts;
    }

    TestWindow *new_test_window(QtbConfigGroup *group = nullptr)
    {
        return static_cast<TestWindow *>(window->create_data_window("TestWindow", group));
    }

    TestWindowType test_type;
    std::unique_ptr<VyrMain> window;
};

TEST_F(Workspaces, NewIdsFollowTheHighestAndDefaultNamesTakeTheFirstGap)
{
    window->create_new_workspace("Three", 3);
    window->create_new_workspace("Seven", 7);
    EXPECT_EQ(window->next_workspace_id(), 8);
    window->create_new_workspace("Eight", -1);
    EXPECT_EQ(window->workspace_tab_bar()->workspace_id(3), 8);
    EXPECT_EQ(window->current_workspace_id(), 8);
    EXPECT_EQ(window->workspace_stack()->currentWidget(), window->current_workspace());
    EXPECT_FALSE(window->configuration_modified()); // the callers mark it

    window->create_new_workspace("New Workspace 1", -1);
    window->create_new_workspace("New Workspace 3", -1);
    window->create_new_workspace();
    EXPECT_EQ(tab_texts().last(), "New Workspace 2");
    EXPECT_TRUE(window->configuration_modified());
    EXPECT_EQ(window->find_workspace_tab_by_name("new workspace 2"), -1); // names compare exactly
}

TEST_F(Workspaces, RenameRefusesTakenNamesAndIgnoresTheSameName)
{
    window->create_new_workspace("Bench", -1);
    window->create_new_workspace("Car", -1);

    text_answers = {"Car"}; // unchanged
    window->rename_workspace(2);
    EXPECT_FALSE(window->configuration_modified());
    EXPECT_TRUE(questions.empty());

    text_answers = {"Bench"};
    window->rename_workspace(2);
    ASSERT_EQ(questions.size(), 1u);
    EXPECT_EQ(questions[0].title, "Error");
    EXPECT_EQ(questions[0].text, "Workspace name 'Bench' does already exist.");
    EXPECT_EQ(tab_texts(), (QStringList{"Default Workspace", "Bench", "Car"}));
    EXPECT_FALSE(window->configuration_modified());

    window->rename_workspace(2); // cancelled
    window->rename_workspace(9); // no such workspace: not even asked
    text_answers = {"", "Road"};
    window->rename_workspace(2);
    EXPECT_EQ(tab_texts().last(), "");
    EXPECT_TRUE(window->configuration_modified());
    EXPECT_EQ(text_answers.size(), 1u);

    // A double click on the tab bar renames the current workspace.
    window->workspace_tab_bar()->setCurrentIndex(1);
    QTest::mouseDClick(window->workspace_tab_bar(), Qt::LeftButton, Qt::NoModifier,
                       window->workspace_tab_bar()->tabRect(1).center());
    EXPECT_EQ(tab_texts()[1], "Road");
}

TEST_F(Workspaces, DeletingAWorkspaceAsksItsWindowsAndARefusalDeletesNothing)
{
    window->create_new_workspace("Doomed", -1);
    TestWindow *stubborn = new_test_window();
    TestWindow *willing = new_test_window();
    window->workspace_tab_bar()->setCurrentIndex(0);
    TestWindow *elsewhere = new_test_window();
    window->workspace_tab_bar()->setCurrentIndex(1);
    window->configuration().set_modified(false);

    stubborn->allow_close = false;
    window->delete_current_workspace();
    EXPECT_EQ(window->workspace_tab_bar()->count(), 2);
    EXPECT_EQ(stubborn->close_questions, 1);
    EXPECT_EQ(elsewhere->close_questions, 0);
    EXPECT_FALSE(window->configuration_modified());

    stubborn->allow_close = true;
    QPointer<TestWindow> gone_1(stubborn), gone_2(willing);
    window->delete_current_workspace();
    EXPECT_EQ(tab_texts(), QStringList{"Default Workspace"});
    EXPECT_TRUE(gone_1.isNull());
    EXPECT_TRUE(gone_2.isNull());
    EXPECT_EQ(first_window(), elsewhere);
    EXPECT_EQ(window->current_workspace_id(), 0);
    EXPECT_EQ(window->current_workspace(), window->workspace_stack()->currentWidget());
    EXPECT_TRUE(window->configuration_modified());

    window->delete_current_workspace(); // workspace 0 stays
    EXPECT_EQ(window->workspace_tab_bar()->count(), 1);
}

TEST_F(Workspaces, CloseAllClosesEveryWindowAndWorkspaceUnlessOneRefuses)
{
    window->workspace_tab_bar()->setTabText(0, "Renamed");
    window->create_new_workspace("A", -1);
    TestWindow *first = new_test_window();
    window->create_new_workspace("B", -1);
    new_test_window()->detach_from_workspace();

    first->allow_close = false;
    EXPECT_FALSE(window->close_all_windows());
    EXPECT_EQ(window->workspace_tab_bar()->count(), 3);
    EXPECT_NE(first_window(), nullptr);

    first->allow_close = true;
    EXPECT_TRUE(window->close_all_windows());
    EXPECT_EQ(first_window(), nullptr);
    EXPECT_EQ(tab_texts(), QStringList{"Default Workspace"});
    EXPECT_EQ(window->current_workspace_id(), 0);
    EXPECT_EQ(window->workspace_stack()->count(), 1);
}

TEST_F(Workspaces, AWindowGoesToItsStoredWorkspaceOrTheCurrentOneAndListensToTheMainWindow)
{
    window->create_new_workspace("Two", 2);
    window->workspace_tab_bar()->setCurrentIndex(0);
    window->configuration().set_modified(false);

    QtbConfigGroup group;
    group.write_int("workspace_id", 2);
    group.write_rect("geometry", QRect(30, 40, 300, 200));
    TestWindow *stored = new_test_window(&group);
    ASSERT_NE(stored, nullptr);
    EXPECT_EQ(stored->workspace_id(), 2);
    EXPECT_EQ(stored->sub_window()->mdiArea(), window->workspace_stack()->widget(1));
    EXPECT_EQ(stored->sub_window()->pos(), QPoint(30, 40));
    EXPECT_EQ(stored->sub_window()->width(), 300);
    EXPECT_EQ(stored->height(), 200);
    EXPECT_TRUE(window->configuration_modified());

    group.write_int("workspace_id", 5); // no such workspace
    TestWindow *lost = new_test_window(&group);
    EXPECT_EQ(lost->workspace_id(), 0);
    EXPECT_EQ(lost->sub_window()->mdiArea(), window->current_workspace());

    group.write_bool("detached", true);
    TestWindow *detached = new_test_window(&group);
    EXPECT_TRUE(detached->detached());
    EXPECT_EQ(detached->workspace_id(), -1);
    EXPECT_EQ(detached->parentWidget(), window.get());
    EXPECT_EQ(detached->pos(), QPoint(30, 40));
    EXPECT_EQ(detached->size(), QSize(300, 200));

    EXPECT_EQ(window->create_data_window("testwindow", nullptr), nullptr); // keys compare exactly

    // The main window's signals reach the windows.
    emit window->prepare_automatic_update();
    EXPECT_TRUE(stored->running());
    emit window->stop_automatic_update();
    EXPECT_FALSE(stored->running());
    window->configuration().set_modified(false);
    emit stored->configuration_changed();
    EXPECT_TRUE(window->configuration_modified());
}

TEST_F(Workspaces, SelectingAWorkspaceGivesItsWindowsTheirStoredStates)
{
    window->create_new_workspace("Two", 2);
    window->workspace_tab_bar()->setCurrentIndex(0);
    QtbConfigGroup group;
    group.write_int("workspace_id", 2);
    group.write_bool("maximized", true);
    TestWindow *stored = new_test_window(&group);
    EXPECT_FALSE(stored->sub_window()->isMaximized()); // its workspace is not selected yet
    EXPECT_TRUE(stored->maximized());

    window->workspace_tab_bar()->setCurrentIndex(1);
    EXPECT_TRUE(stored->sub_window()->isMaximized());
}

TEST_F(Workspaces, TypeFlagsPlaceWindowsInTheCurrentWorkspaceAndOpenThemByDefault)
{
    static constexpr char key[] = "Pinned";
    DataWindowTypeInfo pinned(key, "Pinned", "Pinned Window", nullptr, 0, nullptr,
                              DataWindowTypeInfo::OpenByDefault | DataWindowTypeInfo::ActiveWorkspace |
                                  DataWindowTypeInfo::SingleInstance,
                              vyr_test::create_test_window<key>);
    window->create_new_workspace("Two", 2);
    window->workspace_tab_bar()->setCurrentIndex(0);
    QtbConfigGroup group;
    group.write_int("workspace_id", 2);
    group.write_int("index", 1);
    VyrDataWindow *made = window->create_data_window("Pinned", &group);
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(made->sub_window()->mdiArea(), window->current_workspace());
    EXPECT_EQ(made->workspace_id(), 2);                                // the stored id stays
    EXPECT_EQ(window->create_data_window("Pinned", nullptr), nullptr); // single instance

    EXPECT_TRUE(window->close_all_windows());
    window->open_default_windows();
    ASSERT_NE(first_window(), nullptr);
    EXPECT_EQ(first_window()->class_key(), "Pinned");
    EXPECT_EQ(first_window()->next_window(), nullptr);
}

TEST_F(Workspaces, MenuIdsCreateATypesWindowOrFocusAnOpenOne)
{
    int test_type_position = 0;
    for (DataWindowTypeInfo *type = DataWindowTypeInfo::first(); type != &test_type.type; type = type->next())
        ++test_type_position;
    VyrDataWindow *made = window->create_data_window(3000 + test_type_position);
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(made->class_key(), "TestWindow");
    new_test_window();
    EXPECT_EQ(window->create_data_window(4001), nullptr); // focuses the second window
    for (int id : {3999, 4990, 2999, 3000 + test_type_position + 1, 4002})
        EXPECT_EQ(window->create_data_window(id), nullptr) << id;
    int count = 0;
    for (VyrDataWindow *w = first_window(); w; w = w->next_window())
        ++count;
    EXPECT_EQ(count, 2);

    test_type.type.set_enabled(false);
    EXPECT_EQ(window->create_data_window(3000 + test_type_position), nullptr);
    test_type.type.set_enabled(true);
}

TEST_F(Workspaces, StandardLayoutArrangesTheWindowsOfTheActiveWorkspace)
{
    TestWindow *only = new_test_window();
    window->create_new_workspace("Other", -1);
    TestWindow *other = new_test_window();
    other->sub_window()->move(7, 7);
    window->workspace_tab_bar()->setCurrentIndex(0);
    window->standard_layout();
    const QSize page = window->current_workspace()->viewport()->size();
    // One window of a type of its own goes to the right half, top to bottom.
    EXPECT_EQ(only->sub_window()->geometry(), QRect(page.width() / 2, 0, page.width() / 2, page.height()));
    EXPECT_EQ(other->sub_window()->pos(), QPoint(7, 7));
}

TEST(StandardLayout, BandsByWeightTiledOrCascaded)
{
    const struct
    {
        std::vector<QString> keys;
        QSize page;
        std::vector<QRect> frames;
    } cases[] = {
        // The right column sums to 5 (unit 120); the last band reaches the bottom.
        {{"Trace", "Statistics"}, {1000, 601}, {{500, 120, 500, 481}, {500, 0, 500, 120}}},
        // Three trace windows in 500 x 150 cascade: 450 wide, raised to the 180 minimum.
        {{"Trace", "Trace", "Trace"}, {1000, 150}, {{500, 0, 450, 180}, {525, 25, 450, 180}, {550, 50, 450, 180}}},
        // A single scope in a band of 100 gets the minimum 150.
        {{"Scope"}, {600, 100}, {{0, 0, 300, 150}}},
        // Two send windows fit their minimum twice: tiled.
        {{"CanSend", "CanSend"}, {800, 600}, {{0, 0, 400, 300}, {0, 300, 400, 300}}},
        // Exactly their minimum twice: cascaded.
        {{"CanSend", "CanSend"}, {800, 300}, {{0, 0, 375, 275}, {25, 25, 375, 275}}},
        // The left column shares by weight; "Graphic" and "Signal" join the scope and tune bands.
        {{"Signal", "Graphic", "CanSend", ""},
         {900, 600},
         {{0, 400, 450, 200}, {0, 200, 450, 200}, {0, 0, 450, 200}, {450, 0, 450, 600}}},
        // Narrow pages keep windows at least 200 wide.
        {{"Tune"}, {300, 400}, {{0, 0, 200, 400}}},
    };
    for (const auto &c : cases)
        EXPECT_EQ(standard_layout_frames(c.keys, c.page.width(), c.page.height()), c.frames) << c.keys.size();
}

} // namespace
