// The scrolling list of the message view: selection by keys and mouse, the
// display filter, the search and filter-out over the shown records, and the
// log text export with its heading, field widths and the formatter's columns.
#include "interfaces/can/vyr_can_if.h"
#include "trace_test_frames.h"
#include "vyr_test_shell.h"
#include "windows/trace/vyr_message_view.h"
#include "windows/trace/vyr_trace_message_queue.h"

#include <QDir>
#include <QImage>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTextStream>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::string spaces(int n)
{
    return std::string(size_t(n), ' ');
}

class MessageViewScroll : public ::testing::Test
{
protected:
    MessageViewScroll() : can("CAN", &shell, &shell.notification), view(nullptr, "message_view")
    {
        view.resize(900, 300);
        view.show();
        view.set_scroll_mode(true);
    }

    void put(const VyrCanMessage &message) { receive(*view.store(), message); }
    // Records 0x100 + i with time i.
    void fill(int count)
    {
        for (int i = 0; i < count; ++i)
            put(frame(0x100 + uint32_t(i), 0, uint32_t(i), {uint8_t(i)}));
        view.update_messages();
    }
    void select(std::initializer_list<long long> positions)
    {
        for (long long pos : positions) {
            view.set_cursor_pos(pos);
            QTest::keyClick(view.viewport(), Qt::Key_Space);
        }
    }
    // Rows counted from 1 at the top.
    int viewport_y(int row) const
    {
        return (row - 1) * view.row_height() + view.row_height() / 2 - view.verticalScrollBar()->value();
    }
    std::string log_text(bool selected_only)
    {
        QString text;
        QTextStream out(&text);
        view.write_log_text(out, selected_only);
        out.flush();
        const QRegularExpression created("^Created: .+$", QRegularExpression::MultilineOption);
        EXPECT_TRUE(text.contains(created));
        return text.replace(created, "Created: <date>").toStdString();
    }

    vyr_test::VyrTestShell shell;
    VyrCanIf can;
    VyrMessageView view;
};

TEST_F(MessageViewScroll, SelectionMarksTheRecords)
{
    fill(10);
    QSignalSpy changed(&view, &VyrMessageView::selection_changed);
    view.set_cursor_pos(5);
    QTest::keyClick(view.viewport(), Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(view.cursor_pos(), 6);
    QTest::mouseClick(view.viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(30, viewport_y(8)));
    EXPECT_EQ(view.cursor_pos(), 8);
    EXPECT_EQ(view.scroll_selected_count(), 2);
    EXPECT_EQ(changed.count(), 2);
    ASSERT_NE(view.current_message(), nullptr);
    EXPECT_EQ(view.current_message()->id, 0x107u);

    view.deselect_all();
    EXPECT_EQ(view.scroll_selected_count(), 0);
    EXPECT_EQ(log_text(true).find("263"), std::string::npos);

    // The record under the cursor, the first and the newest included.
    for (long long cursor : {1, 10}) {
        view.set_cursor_pos(cursor);
        ASSERT_NE(view.current_message(), nullptr) << cursor;
        EXPECT_EQ(view.current_message()->id, 0x100u + uint32_t(cursor - 1));
    }

    // The first and the newest record take part like the others, also with
    // the cursor on them.
    select({1, 10});
    EXPECT_EQ(view.scroll_selected_count(), 2);
    for (long long cursor : {1, 10}) {
        view.set_cursor_pos(cursor);
        view.deselect_all();
        EXPECT_EQ(view.scroll_selected_count(), 0) << cursor;
        select({cursor});
    }
}

TEST_F(MessageViewScroll, DisplayFilterShowsOnlyTheSelection)
{
    fill(10);
    select({2, 5, 9});
    view.set_display_filter(true);
    EXPECT_EQ(view.visible_count(), 3);
    EXPECT_EQ(view.scroll_selected_count(), 0);
    EXPECT_EQ(view.contents_height(), 3 * view.row_height());

    // Positions are the visible rows; the selection stays as it is.
    view.set_cursor_pos(2);
    ASSERT_NE(view.current_message(), nullptr);
    EXPECT_EQ(view.current_message()->id, 0x104u);
    QTest::keyClick(view.viewport(), Qt::Key_Space);
    QTest::keyClick(view.viewport(), Qt::Key_End, Qt::ShiftModifier);
    EXPECT_EQ(view.cursor_pos(), 3);
    QTest::mouseClick(view.viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(30, viewport_y(1)));
    EXPECT_EQ(view.cursor_pos(), 1);
    view.search("264", true);
    EXPECT_EQ(view.cursor_pos(), 1); // the search starts from the cursor, upwards nothing remains
    view.search("264", false);
    EXPECT_EQ(view.cursor_pos(), 3);
    EXPECT_EQ(view.scroll_selected_count(), 0);

    const QString path = QDir::tempPath() + QStringLiteral("/vyr_message_view_filtered.png");
    ASSERT_TRUE(view.grab().save(path));

    // Off: exactly the rows that were visible become the selection.
    view.set_display_filter(false);
    EXPECT_EQ(view.scroll_selected_count(), 3);
    EXPECT_EQ(view.contents_height(), 10 * view.row_height());
    const std::string selected = log_text(true);
    for (const char *id : {"257", "260", "264"})
        EXPECT_NE(selected.find(std::string(17, ' ') + id), std::string::npos) << id;
    EXPECT_EQ(selected.find(" 258 "), std::string::npos);
}

// Odd rows are painted shaded: a row that is painted at all differs from
// the empty background in its first pixel column. The first and the last row
// of the painted area are painted, also when there is only one, and each
// shows its own record.
TEST_F(MessageViewScroll, TheRowsAtTheEdgesOfThePaintedAreaArePainted)
{
    // Rows are selected with the cursor, which is hidden while they are looked at.
    const auto select_only = [this](std::initializer_list<long long> positions) {
        view.cursor_on(true);
        select(positions);
        view.cursor_on(false);
    };
    const auto row_image = [this](int row) {
        return view.viewport()->grab(QRect(0, viewport_y(row) - view.row_height() / 2, 400, view.row_height())).toImage();
    };
    const auto painted = [&](int row) {
        return row_image(row).pixelColor(1, view.row_height() / 2) != view.viewport()->palette().color(QPalette::Base);
    };
    fill(1);
    EXPECT_TRUE(painted(1));
    view.clear();
    fill(9);

    // The display filter shows its rows from the newest record back to the oldest.
    select_only({1, 5, 9});
    view.set_display_filter(true);
    ASSERT_EQ(view.visible_count(), 3);
    EXPECT_TRUE(painted(1));
    EXPECT_TRUE(painted(3));
    view.set_display_filter(false);

    view.cursor_on(true);
    view.deselect_all();
    select_only({2});
    view.set_display_filter(true);
    const QImage record_2 = row_image(1);
    view.set_display_filter(false);
    select_only({5, 9});
    view.set_display_filter(true);
    ASSERT_EQ(view.visible_count(), 3);
    EXPECT_EQ(row_image(1), record_2);
}

TEST_F(MessageViewScroll, MessagesArrivingUnderTheDisplayFilterStayHidden)
{
    fill(4);
    select({2});
    view.set_display_filter(true);
    put(frame(0x300));
    put(frame(0x301));
    view.update_messages();
    EXPECT_EQ(view.message_number(), 6u);
    EXPECT_EQ(view.visible_count(), 1);
    EXPECT_EQ(view.contents_height(), view.row_height());
    view.set_cursor_pos(5);
    EXPECT_EQ(view.cursor_pos(), 1);
    ASSERT_NE(view.current_message(), nullptr);
    EXPECT_EQ(view.current_message()->id, 0x101u);
    view.set_display_filter(false);
    EXPECT_EQ(view.scroll_selected_count(), 1);
}

TEST_F(MessageViewScroll, SearchFindsTheShownTextsWithoutWrapping)
{
    put(frame(0x7e0, 0, 0, {0x01, 0x02}));
    put(frame(0x123, 0, 0, {0x11, 0xff}));
    put(frame(0x200, 0, 0, {'H', 'e', 'l', 'l', 'o'}));
    put(frame(0x124, 0, 0, {0x33}));
    view.update_messages();
    struct Case
    {
        const char *what;
        bool id_hex;
        bool data_hex;
        const char *text;
        long long start; // 0: no cursor
        bool upwards;
        long long expected;
    };
    const Case cases[] = {
        {"hex data", false, true, "FF", 0, false, 2},
        {"decimal data", false, false, "255", 0, false, 2},
        {"hex text is no decimal byte", false, false, "ff", 0, false, 1},
        {"ascii", false, true, "hello", 0, false, 3},
        {"decimal identifier", false, true, "2016", 4, true, 1},
        {"hex identifier", true, true, "7e0", 4, true, 1},
        {"downwards tests the next record first", true, true, "7e0", 0, false, 1},
        {"no wrap-around downwards", false, true, "ff", 3, false, 3},
        {"no wrap-around upwards", false, true, "33", 3, true, 3},
        {"upwards without a cursor starts at the newest", false, true, "11", 0, true, 2},
        {"downwards from a hit goes on to the next", true, true, "12", 2, false, 4},
        {"upwards from a hit goes on to the one before", true, true, "12", 4, true, 2},
        {"downwards from the newest finds nothing", true, true, "7e0", 4, false, 4},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        view.set_formats({c.id_hex, c.data_hex, 0});
        view.clear();
        put(frame(0x7e0, 0, 0, {0x01, 0x02}));
        put(frame(0x123, 0, 0, {0x11, 0xff}));
        put(frame(0x200, 0, 0, {'H', 'e', 'l', 'l', 'o'}));
        put(frame(0x124, 0, 0, {0x33}));
        view.update_messages();
        if (c.start)
            view.set_cursor_pos(c.start);
        view.search(c.text, c.upwards);
        EXPECT_EQ(view.cursor_pos(), c.expected);
    }

    // A single record: the search puts the cursor on it.
    view.clear();
    put(frame(0x7e0));
    view.update_messages();
    ASSERT_EQ(view.cursor_pos(), 0);
    view.search("7e0", false);
    EXPECT_EQ(view.cursor_pos(), 1);
}

TEST_F(MessageViewScroll, FilterOutTakesTheSelectedRecords)
{
    put(frame(0x120));
    put(frame(0x121));
    put(frame(0x120, 0, 5));
    put(frame(0x18FEF100, VyrCanMessage::Extended));
    view.update_messages();
    select({1, 3, 4});
    view.add_selected_identifiers_to_filter();
    EXPECT_EQ(view.standard_filters().count(), 1);
    EXPECT_NE(view.standard_filters().find_range(0x120), nullptr);
    EXPECT_EQ(view.standard_filters().find_range(0x121), nullptr);
    EXPECT_NE(view.extended_filters().find_range(0x18FEF100), nullptr);
}

// Shows the source byte as "SA" before the data length and the group as
// " PGN" after the counter.
class GroupFormatter : public IdFormatter
{
public:
    GroupFormatter() : IdFormatter("groups") {}
    int column_count() const override { return 2; }
    const char *column_title(int index) const override { return index == 0 ? "SA" : " PGN"; }
    int column_text(const VyrCanMessage &message, int index, char *buffer) const override
    {
        return std::snprintf(buffer, max_column_text + 1, index == 0 ? "%02x" : "%05x",
                             index == 0 ? message.id & 0xFF : (message.id >> 8) & 0x3FFFF);
    }
    int column_width(int index) const override { return index == 0 ? 4 : 7; }
    bool column_after_counter(int index) const override { return index == 1; }
};

const std::string log_head = "                                 Vyr CAN Log\n"
                             "                                 ===========\n"
                             "\n"
                             "Created: <date>\n"
                             "\n";
const std::string separator = " ==================================================================================";

TEST_F(MessageViewScroll, LogTextHasItsHeadingAndFieldWidths)
{
    std::vector<uint8_t> bytes64(64);
    std::string data64;
    for (int i = 0; i < 64; ++i) {
        bytes64[size_t(i)] = uint8_t(i);
        char byte[4];
        std::snprintf(byte, sizeof byte, "%02x ", i);
        data64 += byte;
    }
    put(frame(0x123, 0, 4294967, {0x11, 0xff}));
    put(frame(0x7e0, VyrCanMessage::Remote | VyrCanMessage::TxAck, 1500));
    put(frame(0x18fef100, VyrCanMessage::Extended | VyrCanMessage::FdFrame, 2, bytes64));
    put(frame(0x55, VyrCanMessage::ErrorFrame, 61));
    view.update_messages();

    const std::string heading = "        Time        CAN Identifier Flags     DLC Data                      Counter \n";
    EXPECT_EQ(log_text(false),
              log_head + heading + separator + "\n" + "    4294.967  " + spaces(17) + "291" + "  " + "     " + "     " +
                  "2  " + "11 ff " + spaces(20) + spaces(8) + "1 \n" + "       1.500  " + spaces(16) + "2016" + "  " +
                  "  RT " + "     " + "0  " + spaces(26) + spaces(8) + "2 \n" + "       0.002  " + spaces(11) +
                  "419361024" + "  " + "X    " + "     " + "64  " + data64 + spaces(8) + "3 \n" + "       0.061  " +
                  spaces(36) + "ERROR FRAME" + spaces(15) + spaces(8) + "4 \n" + separator + "\n");
    EXPECT_EQ(log_text(true), log_head + heading + separator + "\n" + separator + "\n");

    // An emptied list writes no record, not even one it held selected.
    view.set_cursor_pos(4);
    QTest::keyClick(view.viewport(), Qt::Key_Space);
    view.clear();
    EXPECT_EQ(log_text(true), log_head + heading + separator + "\n" + separator + "\n");
    EXPECT_EQ(log_text(false), log_head + heading + separator + "\n" + separator + "\n");
}

TEST_F(MessageViewScroll, LogTextCarriesTheFormattersColumns)
{
    can.set_id_formatter(std::make_unique<GroupFormatter>());
    view.rebuild_extra_columns();
    put(frame(0x18fef121, VyrCanMessage::Extended, 10, {1}));
    put(frame(0, VyrCanMessage::ErrorFrame, 20));
    view.update_messages();
    EXPECT_EQ(
        log_text(false),
        log_head + "        Time        CAN Identifier Flags     SA  DLC Data                      Counter PGN    \n" +
            separator + "===========\n" + "       0.010  " + spaces(11) + "419361057" + "  " + "X    " + "   " +
            "21  " + "  " + "1  " + "01 " + spaces(23) + spaces(8) + "1 " + "0fef1  \n" + "       0.020  " +
            spaces(36) + "ERROR FRAME" + spaces(15) + spaces(8) + "2 " + "00000  \n" + separator + "===========\n");
}

TEST_F(MessageViewScroll, LogTextCountsMillionsWithAPoint)
{
    // 1100000 messages go through the list; the newest 200000 stay on show.
    for (int block = 0; block < 11; ++block) {
        for (int i = 0; i < 100000; ++i)
            put(frame(0x100));
        view.update_messages();
    }
    ASSERT_EQ(view.message_number(), 1100000u);
    view.set_cursor_pos(1);
    EXPECT_EQ(view.cursor_pos(), 1100000 - 200000 + 1);
    // The last number without the point, the first with it, the newest.
    for (long long number : {999999, 1000000, 1100000}) {
        view.set_cursor_pos(number);
        view.toggle_selection_on_cursor_pos();
    }
    const std::string text = log_text(true);
    EXPECT_NE(text.find("   999999 \n"), std::string::npos);
    EXPECT_NE(text.find(" 1.000000 \n"), std::string::npos);
    EXPECT_NE(text.find(" 1.100000 \n"), std::string::npos);
}

} // namespace
