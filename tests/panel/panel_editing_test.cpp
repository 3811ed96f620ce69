// The panel editor on its own: what the viewport paints (hint, grid points,
// selection frames), the mouse zones of a selected item, the rubber band,
// the context menu's entries and their enabling, and that every edit of an
// item marks the panel as modified.
#include "panel_editing_support.h"
#include "windows/panel/vyr_panel_item.h"

#include <QDir>
#include <QImage>
#include <QPushButton>
#include <QTemporaryDir>
#include <QToolButton>
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>

using namespace panel_editing;

namespace {

class PanelEditing : public ::testing::Test
{
protected:
    void SetUp() override
    {
        panel.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&panel));
        viewport = panel.panel_window()->viewport();
    }

    void unlock() { panel.lock_button()->setChecked(true); }

    // A shown push button placed at the geometry.
    VyrPanelItem *button_at(const QRect &geometry)
    {
        VyrPanelItem *item = panel.insert_new_item(QStringLiteral("PushButton"));
        item->widget()->setGeometry(geometry);
        item->widget()->show();
        return item;
    }

    QImage render(const QSize &size)
    {
        viewport->resize(size);
        QImage image(size, QImage::Format_RGB32);
        viewport->render(&image);
        return image;
    }

    VyrPanel panel{nullptr};
    QWidget *viewport = nullptr;
};

QStringList entry_texts(QMenu *menu)
{
    QStringList texts;
    for (QAction *action : menu->actions())
        texts << (action->isSeparator() ? QStringLiteral("-") : action->text());
    return texts;
}

} // namespace

TEST_F(PanelEditing, ViewportPaintsHintOnlyUnlockedAndEmptyGridPointsAndFramesOutsideTheWidget)
{
    const QColor window = viewport->palette().color(QPalette::Window);
    auto foreign_pixels = [](const QImage &image, QRgb background) {
        int count = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                count += image.pixel(x, y) != background;
        return count;
    };
    panel.panel_window()->resize_contents(0, 0);
    EXPECT_EQ(foreign_pixels(render(QSize(300, 100)), window.rgb()), 0) << "a locked empty panel paints background only";
    unlock();
    EXPECT_GT(foreign_pixels(render(QSize(300, 100)), viewport->palette().color(QPalette::Dark).rgb()), 100)
        << "the hint text on the editing background";

    // An item far outside the view: the panel is no longer empty.
    panel.insert_new_item(QStringLiteral("PushButton"))->widget()->setGeometry(500, 500, 10, 10);
    const QImage grid = render(QSize(95, 45));
    for (int y = 0; y < 45; ++y)
        for (int x = 0; x < 95; ++x) {
            const bool point = x > 0 && y > 0 && x % 10 == 0 && y % 10 == 0;
            ASSERT_EQ(grid.pixel(x, y) == qRgb(255, 255, 255), point) << x << "," << y;
        }
    panel.grid_button()->setChecked(false);
    EXPECT_EQ(render(QSize(95, 45)).pixel(10, 10), viewport->palette().color(QPalette::Dark).rgb()) << "grid off";

    VyrPanelItem *item = button_at(QRect(20, 20, 30, 10));
    panel.set_selected_item(item, false);
    const QImage frames = render(QSize(95, 45));
    const QRgb red = qRgb(255, 0, 0);
    for (const QPoint &p : {QPoint(19, 19), QPoint(19, 25), QPoint(50, 25), QPoint(35, 19), QPoint(35, 30), QPoint(50, 30)})
        EXPECT_EQ(frames.pixel(p), red) << p.x() << "," << p.y();
    for (const QPoint &p : {QPoint(20, 25), QPoint(49, 25), QPoint(35, 20), QPoint(18, 25), QPoint(51, 25)})
        EXPECT_NE(frames.pixel(p), red) << p.x() << "," << p.y();
    panel.show_selections(false);
    EXPECT_NE(render(QSize(95, 45)).pixel(19, 25), red) << "frames hidden";
}

TEST_F(PanelEditing, ZonesAndCursorsOfASelectedItem)
{
    unlock();
    struct Case
    {
        QSize size;
        QPoint point;
        int mode;
        Qt::CursorShape cursor;
    };
    const Case cases[] = {
        {{8, 40}, {1, 20}, 1, Qt::SizeHorCursor},  // an 8-pixel widget: zone 2
        {{8, 40}, {2, 20}, 16, Qt::SizeAllCursor},
        {{8, 40}, {7, 20}, 2, Qt::SizeHorCursor},
        {{60, 40}, {4, 20}, 1, Qt::SizeHorCursor}, // zone 5
        {{60, 40}, {5, 20}, 16, Qt::SizeAllCursor},
        {{60, 40}, {56, 20}, 2, Qt::SizeHorCursor},
        {{60, 40}, {30, 1}, 4, Qt::SizeVerCursor},
        {{60, 40}, {30, 38}, 8, Qt::SizeVerCursor},
        {{60, 40}, {1, 1}, 5, Qt::SizeFDiagCursor},
        {{60, 40}, {58, 38}, 10, Qt::SizeFDiagCursor},
        {{60, 40}, {58, 1}, 6, Qt::SizeBDiagCursor},
        {{60, 40}, {1, 38}, 9, Qt::SizeBDiagCursor},
    };
    VyrPanelItem *item = button_at(QRect(10, 10, 60, 40));
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.size.width() << " wide at " << c.point.x() << "," << c.point.y());
        item->widget()->resize(c.size);
        panel.set_selected_item(item, false);
        panel.update_mouse_mode(item, c.point, true);
        EXPECT_EQ(panel.mouse_mode(), c.mode);
        EXPECT_EQ(item->widget()->cursor().shape(), c.cursor);
    }
    panel.set_selected_item(nullptr, false);
    panel.update_mouse_mode(item, QPoint(30, 20), true);
    EXPECT_EQ(panel.mouse_mode(), 0) << "an item that is not selected arms nothing";
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(item->widget(), &leave);
    EXPECT_EQ(item->widget()->cursor().shape(), Qt::ArrowCursor);
}

TEST_F(PanelEditing, RubberBandSelectsWhatItEnclosesWhollyAndDisabledItemsTakeTheirEvents)
{
    unlock();
    VyrPanelItem *inside = button_at(QRect(30, 30, 40, 20));
    VyrPanelItem *cut = button_at(QRect(100, 30, 40, 20));
    VyrPanelItem *outside = button_at(QRect(200, 30, 40, 20));
    // Pressed on a grid point, the anchor is that point wherever the window is.
    move(viewport, QPoint(20, 20));
    QTest::mousePress(viewport, Qt::LeftButton, Qt::NoModifier, QPoint(20, 20));
    EXPECT_TRUE(panel.rubber_band_active());
    move(viewport, QPoint(119, 61), Qt::LeftButton);
    EXPECT_EQ(panel.panel_window()->rubber_rect(), QRect(QPoint(20, 20), QPoint(119, 59))) << "snapped corners";
    QTest::mouseRelease(viewport, Qt::LeftButton, Qt::NoModifier, QPoint(119, 61));
    EXPECT_FALSE(panel.rubber_band_active());
    EXPECT_EQ(panel.selection(), std::vector<VyrPanelItem *>{inside});
    EXPECT_FALSE(panel.is_item_selected(cut));
    EXPECT_FALSE(panel.is_item_selected(outside));

    // A disabled widget gets no mouse events: the viewport hands them to its item.
    outside->widget()->setEnabled(false);
    QTest::mousePress(viewport, Qt::LeftButton, Qt::ControlModifier, QPoint(220, 40));
    QTest::mouseRelease(viewport, Qt::LeftButton, Qt::ControlModifier, QPoint(220, 40));
    EXPECT_EQ(panel.selection(), (std::vector<VyrPanelItem *>{inside, outside}));
    // A press on the empty surface clears the selection.
    QTest::mousePress(viewport, Qt::LeftButton, Qt::NoModifier, QPoint(300, 150));
    QTest::mouseRelease(viewport, Qt::LeftButton, Qt::NoModifier, QPoint(300, 150));
    EXPECT_TRUE(panel.selection().empty());
}

// A press on the panel's surface stays with the panel: the workspace around
// it opens its own menu on a right press.
TEST(PanelSurface, KeepsItsPressesFromTheWidgetsAroundIt)
{
    struct PressRecorder : QWidget
    {
        void mousePressEvent(QMouseEvent *) override { ++presses; }
        int presses = 0;
    } outer;
    auto *panel = new VyrPanel(&outer);
    outer.resize(600, 400);
    outer.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&outer));
    QWidget *viewport = panel->panel_window()->viewport();
    for (bool unlocked : {false, true}) {
        panel->lock_button()->setChecked(unlocked);
        QTest::mousePress(viewport, Qt::RightButton, Qt::NoModifier, QPoint(100, 100));
        QTest::mouseRelease(viewport, Qt::RightButton, Qt::NoModifier, QPoint(100, 100));
    }
    EXPECT_EQ(outer.presses, 0);
}

TEST_F(PanelEditing, LockedPanelLeavesTheMouseToTheItems)
{
    VyrPanelItem *item = button_at(QRect(30, 30, 60, 30));
    auto *button = static_cast<QPushButton *>(item->widget());
    int clicks = 0;
    QObject::connect(button, &QPushButton::clicked, [&clicks] { ++clicks; });
    click(button, QPoint(30, 15));
    EXPECT_EQ(clicks, 1);
    EXPECT_TRUE(panel.selection().empty());
    unlock();
    click(button, QPoint(30, 15));
    EXPECT_EQ(clicks, 1) << "in edit mode the editor takes the press";
    EXPECT_EQ(panel.selection(), std::vector<VyrPanelItem *>{item});
    panel.lock_button()->setChecked(false);
    EXPECT_TRUE(panel.selection().empty()) << "locking clears the selection";
}

TEST_F(PanelEditing, ContextMenuEntriesAndTheirEnabling)
{
    std::unique_ptr<QMenu> menu = panel.panel_window()->build_context_menu();
    EXPECT_EQ(entry_texts(menu.get()),
              QStringList({"Window Properties", "Detach from Workspace", "-", "Item Properties", "Delete selected Items",
                           "Insert New Item", "-", "Snap to Grid", "Align Items to Grid", "-",
                           "Enable Selected Items", "Disable Selected Items", "Choose Font for Selected Items",
                           "Choose Color for Selected Items", "Startup Hidden", "-",
                           "Store Panel Setup in External File"}));
    QMenu *insert = menu_entry(menu.get(), {"Insert New Item"})->menu();
    EXPECT_EQ(entry_texts(insert), QStringList({"Analog Signal Control (Input)", "Analog Signal Display (Output)",
                                                "Control", "Static", "Data"}));
    EXPECT_EQ(entry_texts(menu_entry(menu.get(), {"Insert New Item", "Control"})->menu()),
              QStringList({"PushButton", "PanelButton", "RadioButton", "CheckBox", "LineEdit", "ComboBox"}));
    EXPECT_EQ(menu_entry(menu.get(), {"Insert New Item", "Data", "Hex Editor"})->data().toInt(), 22);

    VyrPanelItem *first = button_at(QRect(10, 10, 40, 20));
    VyrPanelItem *second = button_at(QRect(60, 10, 40, 20));
    enum State { Locked, Unlocked, OneSelected, TwoSelected, SnapOff, Running };
    const char *const entries[] = {"Window Properties", "Item Properties", "Delete selected Items", "Insert New Item",
                                   "Snap to Grid", "Align Items to Grid", "Enable Selected Items",
                                   "Choose Color for Selected Items", "Startup Hidden",
                                   "Store Panel Setup in External File"};
    // Enabled per entry, in the order of `entries`.
    const std::pair<State, std::vector<bool>> rows[] = {
        {Locked, {true, false, false, false, false, false, false, false, true, false}},
        {Unlocked, {true, false, false, true, true, false, false, false, true, true}},
        {OneSelected, {true, true, true, true, true, true, true, true, true, true}},
        {TwoSelected, {true, false, true, true, true, true, true, true, true, true}},
        {SnapOff, {true, false, true, true, true, false, true, true, true, true}},
        {Running, {false, false, false, false, false, false, false, false, true, false}},
    };
    for (const auto &[state, enabled] : rows) {
        SCOPED_TRACE(state);
        panel.lock_button()->setChecked(state != Locked);
        panel.set_snap(state != SnapOff);
        if (state == Running)
            panel.startup();
        if (state >= OneSelected && state != Running) {
            panel.set_selected_item(first, false);
            if (state != OneSelected)
                panel.set_selected_item(second, true);
        }
        menu = panel.panel_window()->build_context_menu();
        for (size_t i = 0; i < std::size(entries); ++i)
            EXPECT_EQ(menu_entry(menu.get(), {entries[i]})->isEnabled(), enabled[i]) << entries[i];
        if (state == Running)
            panel.stop();
        panel.set_selected_item(nullptr, false);
    }
}

TEST_F(PanelEditing, ContextMenuPathEntriesAndFlags)
{
    unlock();
    QTemporaryDir dir;
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    std::unique_ptr<QMenu> menu = panel.panel_window()->build_context_menu();
    EXPECT_FALSE(menu_entry(menu.get(), {"Make absolute path"})) << "shown only with a file name";

    panel.set_filename(QStringLiteral("sub/panel.ui"));
    menu = panel.panel_window()->build_context_menu();
    EXPECT_TRUE(menu_entry(menu.get(), {"Store Panel Setup in External File"})->isChecked());
    EXPECT_TRUE(menu_entry(menu.get(), {"Make absolute path"})->isEnabled());
    EXPECT_FALSE(menu_entry(menu.get(), {"Make relative path"})->isEnabled()) << "relative already";
    ASSERT_TRUE(run_menu_entry(panel, {"Make absolute path"}));
    EXPECT_EQ(panel.get_filename(), dir.filePath("sub/panel.ui"));
    menu = panel.panel_window()->build_context_menu();
    EXPECT_FALSE(menu_entry(menu.get(), {"Make absolute path"})->isEnabled());
    ASSERT_TRUE(run_menu_entry(panel, {"Make relative path"}));
    EXPECT_EQ(panel.get_filename(), "sub/panel.ui");
    ASSERT_TRUE(run_menu_entry(panel, {"Store Panel Setup in External File"}));
    EXPECT_TRUE(panel.get_filename().isEmpty()) << "ticked: the panel goes back into the configuration";

    EXPECT_FALSE(panel.startup_hidden());
    ASSERT_TRUE(run_menu_entry(panel, {"Startup Hidden"}));
    EXPECT_TRUE(panel.startup_hidden());
    menu = panel.panel_window()->build_context_menu();
    EXPECT_TRUE(menu_entry(menu.get(), {"Startup Hidden"})->isChecked());
    ASSERT_TRUE(run_menu_entry(panel, {"Snap to Grid"}));
    EXPECT_FALSE(panel.snap());
    ASSERT_TRUE(QDir::setCurrent(QDir::tempPath()));
}

TEST_F(PanelEditing, InsertedItemSnapsToTheGridAndTakesWholeGridSteps)
{
    unlock();
    VyrPanelItem *item = insert_at(panel, "Control", "PushButton", QPoint(47, 33));
    ASSERT_NE(item, nullptr);
    const QRect geometry = item->widget()->geometry();
    EXPECT_EQ(geometry.topLeft(), QPoint(50, 30));
    EXPECT_EQ(geometry.width() % 10, 0);
    EXPECT_EQ(geometry.height() % 10, 0);
    EXPECT_GT(geometry.width(), 0);
    EXPECT_TRUE(item->widget()->isVisible());
    EXPECT_TRUE(panel.is_modified());

    panel.set_snap(false);
    item = insert_at(panel, "Static", "TextLabel", QPoint(47, 33));
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->widget()->pos(), QPoint(47, 33)) << "no snap: placed at the click";
    EXPECT_EQ(panel.insert_new_item(QStringLiteral("NoSuchType")), nullptr);
    EXPECT_EQ(panel.items().size(), 2u);
}

// Moving, resizing, aligning, enabling, fonts and colours are changes of the
// panel: each one marks it modified, so none is lost without a question. A
// cancelled font or colour dialog changes nothing.
TEST_F(PanelEditing, EveryChangeToAnItemSetsModified)
{
    unlock();
    DesktopAnswers answers;
    VyrPanelItem *item = button_at(QRect(53, 27, 61, 33));
    QWidget *widget = item->widget();
    struct Step
    {
        const char *what;
        std::function<void()> act;
        bool modifies;
    };
    const Step steps[] = {
        {"select", [&] { click(widget, QPoint(30, 15)); }, false},
        {"move", [&] { drag(widget, QPoint(30, 15), QPoint(20, 10)); }, true},
        {"resize", [&] { drag(widget, QPoint(widget->width() - 2, 15), QPoint(10, 0)); }, true},
        {"align", [&] { run_menu_entry(panel, {"Align Items to Grid"}); }, true},
        {"disable", [&] { run_menu_entry(panel, {"Disable Selected Items"}); }, true},
        {"enable", [&] { run_menu_entry(panel, {"Enable Selected Items"}); }, true},
        {"cancelled font", [&] { answers.font_accepted = false; run_menu_entry(panel, {"Choose Font for Selected Items"}); }, false},
        {"font", [&] { answers.font_accepted = true; answers.font = QFont("Courier New", 15); run_menu_entry(panel, {"Choose Font for Selected Items"}); }, true},
        {"cancelled colour", [&] { answers.color = QColor(); run_menu_entry(panel, {"Choose Color for Selected Items"}); }, false},
        {"colour", [&] { answers.color = QColor(Qt::darkGreen); run_menu_entry(panel, {"Choose Color for Selected Items"}); }, true},
    };
    for (const Step &step : steps) {
        SCOPED_TRACE(step.what);
        panel.set_modified(false);
        const QPalette palette = widget->palette();
        const QFont font = widget->font();
        step.act();
        EXPECT_EQ(panel.is_modified(), step.modifies);
        if (!step.modifies) {
            EXPECT_EQ(widget->palette(), palette);
            EXPECT_EQ(widget->font(), font);
        }
    }
    EXPECT_EQ(widget->geometry(), QRect(70, 40, 80, 40)) << "moved by (20, 10), widened by 10, then aligned";
    EXPECT_TRUE(widget->isEnabled());
    EXPECT_EQ(widget->font().pointSize(), 15);
    EXPECT_EQ(widget->palette().color(QPalette::ButtonText), QColor(Qt::darkGreen));
    EXPECT_EQ(answers.asked, QStringList({"choose_font", "choose_font", "choose_fg_color", "choose_fg_color"}));
    if (const char *dir = std::getenv("VYR_TEST_PNG_DIR")) {
        insert_at(panel, "Analog Signal Display (Output)", "LED", QPoint(200, 30));
        insert_at(panel, "Analog Signal Control (Input)", "Horizontal Slider", QPoint(30, 110));
        panel.set_selected_item(panel.items().back().get(), true);
        panel.panel_window()->set_rubber_rect(QRect(180, 20, 110, 60));
        panel.grab().save(QString::fromLocal8Bit(dir) + "/panel_editing.png");
    }
}
