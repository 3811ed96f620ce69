// The record list view that the message view and the packet display share:
// rows under the mouse, the cursor on the records a list keeps, the
// context-menu request and the columns that grow to their texts, shown on a
// list of numbered records.
#include "windows/base/vyr_record_list_view.h"

#include "windows/base/header_column_fit.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QPainter>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QTest>
#include <QTextStream>
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

namespace {

// Records numbered from 1; the list keeps the newest `limit` of them, as the
// scrolling lists do.
class NumberList : public VyrRecordListView
{
public:
    explicit NumberList(int limit) : VyrRecordListView(nullptr, "number_header"), m_limit(limit)
    {
        header_model()->setColumnCount(1);
        column_fit()->resize_section(0, 10 * char_width());
        resize(300, 200);
        update_geometry();
    }

    void add(int count)
    {
        m_total += count;
        update_scroll_ranges();
        scroll_to_bottom();
    }
    int row_count() const override { return int(std::min<long long>(m_total, m_limit)); }
    long long last_cursor_pos() const override { return m_total; }
    void write_text(QTextStream &out, bool selected_only) override
    {
        for (long long pos = first_cursor_pos(); pos <= last_cursor_pos(); ++pos)
            if (!selected_only || selected.count(pos))
                out << pos << '\n';
    }
    // A contents y in the viewport.
    int viewport_y(int contents_y) const { return contents_y - verticalScrollBar()->value(); }
    int top_of(long long pos) const { return row_top(pos - last_cursor_pos() + row_count()); }

    using VyrRecordListView::column_fit;
    using VyrRecordListView::header_model;

    std::set<long long> selected;

protected:
    void paint_rows(QPainter &painter, long long first, long long last) override
    {
        for (long long row = first; row <= last; ++row)
            paint_row(
                painter, row, RowLook{selected.count(cursor_pos_of_row(row)) > 0, palette().base(), QColor()},
                [&](int) { return QString::number(cursor_pos_of_row(row)).left(section_chars(0)); },
                [&](int) { return int(QString::number(cursor_pos_of_row(row)).size()) + 1; });
    }
    void toggle_selection(long long pos) override
    {
        if (!selected.erase(pos))
            selected.insert(pos);
    }

private:
    long long m_total = 0;
    int m_limit;
};

TEST(RecordListView, TheMouseTakesTheRowUnderItFromItsTopPixelOnAndNothingBelowTheRows)
{
    NumberList list(1000);
    list.add(30);
    // The top and the bottom pixel of a row scrolled to the bottom, and of one above it.
    for (long long pos : {30LL, 27LL}) {
        const int top = list.top_of(pos);
        for (int y : {top, top + list.row_height() - 1}) {
            list.selected.clear();
            QTest::mouseClick(list.viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(5, list.viewport_y(y)));
            EXPECT_EQ(list.cursor_pos(), pos) << "y " << y;
            EXPECT_EQ(list.selected, std::set<long long>{pos});
        }
    }

    NumberList short_list(1000);
    short_list.add(3);
    short_list.set_cursor_pos(2);
    QTest::mouseClick(short_list.viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(5, 4 * short_list.row_height()));
    EXPECT_EQ(short_list.cursor_pos(), 2);
    EXPECT_TRUE(short_list.selected.empty());
}

TEST(RecordListView, KeysKeepTheCursorOnTheRecordsTheListKeeps)
{
    NumberList list(10);
    list.add(25); // 16 to 25 are kept
    list.setFocus();
    QTest::keyClick(&list, Qt::Key_Home);
    EXPECT_EQ(list.cursor_pos(), 16);
    QTest::keyClick(&list, Qt::Key_Up);
    EXPECT_EQ(list.cursor_pos(), 16);
    QTest::keyClick(&list, Qt::Key_End);
    EXPECT_EQ(list.cursor_pos(), 25);
    QTest::keyClick(&list, Qt::Key_Up, Qt::ShiftModifier);
    EXPECT_EQ(list.cursor_pos(), 24);
    EXPECT_EQ(list.selected, std::set<long long>{25}) << "Shift toggles the row the cursor leaves";
    for (int page = 0; page < 3; ++page)
        QTest::keyClick(&list, Qt::Key_PageUp);
    EXPECT_EQ(list.cursor_pos(), 16);
    EXPECT_EQ(list.export_text(true), "25\n");

    list.set_measurement_running(true);
    QTest::keyClick(&list, Qt::Key_Space);
    QTest::keyClick(&list, Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(list.selected, std::set<long long>{25}) << "no selection during a measurement";
    list.set_measurement_running(false);

    // Records dropped under the cursor: it cannot toggle what the list no longer holds.
    list.add(10);
    ASSERT_LT(list.cursor_pos(), list.first_cursor_pos());
    list.toggle_selection_on_cursor_pos();
    EXPECT_EQ(list.selected, std::set<long long>{25});
}

TEST(RecordListView, TheRightButtonAndTheMenuKeyEachAskForTheMenuOnce)
{
    NumberList list(1000);
    list.add(5);
    QSignalSpy menu(&list, &VyrRecordListView::show_context_menu);
    const QPoint at(5, list.viewport_y(list.top_of(2) + 1));
    // A real right click: the press, then the platform's context-menu event.
    QTest::mousePress(list.viewport(), Qt::RightButton, Qt::NoModifier, at);
    QContextMenuEvent after_press(QContextMenuEvent::Mouse, at, list.viewport()->mapToGlobal(at));
    QApplication::sendEvent(list.viewport(), &after_press);
    QTest::mouseRelease(list.viewport(), Qt::RightButton, Qt::NoModifier, at);
    EXPECT_EQ(menu.count(), 1);
    EXPECT_EQ(list.cursor_pos(), 2) << "the menu acts on the row clicked";
    EXPECT_TRUE(list.selected.empty());

    QContextMenuEvent key(QContextMenuEvent::Keyboard, at, list.viewport()->mapToGlobal(at));
    QApplication::sendEvent(list.viewport(), &key);
    EXPECT_EQ(menu.count(), 2);
}

// A number wider than its column grows the column once the paint is over;
// that fitting is no change of the configuration, the user's resize and
// move are, and a column the user sized keeps the user's width.
TEST(RecordListView, ColumnsGrowToTheirTextsAndOnlyTheUsersChangesAreConfiguration)
{
    NumberList list(1000);
    list.header_model()->setColumnCount(2);
    list.column_fit()->resize_section(0, 3 * list.char_width());
    list.column_fit()->resize_section(1, 3 * list.char_width());
    list.add(123456);
    QSignalSpy changed(&list, &VyrRecordListView::configuration_changed);
    list.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
    list.grab();
    QCoreApplication::processEvents();
    EXPECT_GE(list.header()->sectionSize(0), 7 * list.char_width()) << "six digits and a gap";
    EXPECT_EQ(list.column_fit()->kept_width(0), 3 * list.char_width()) << "the width a configuration keeps";
    EXPECT_EQ(changed.count(), 0);

    list.header()->resizeSection(1, 2 * list.char_width()); // as the user's drag does
    EXPECT_EQ(changed.count(), 1);
    list.header()->moveSection(0, 1);
    EXPECT_EQ(changed.count(), 2);
    list.grab();
    QCoreApplication::processEvents();
    EXPECT_EQ(list.header()->sectionSize(1), 2 * list.char_width()) << "the user's width stays";
    EXPECT_EQ(changed.count(), 2);
}

} // namespace
