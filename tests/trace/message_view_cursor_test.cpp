// The message view's cursor, selection and filter-out on the fixed-position
// table, driven by key and mouse events offscreen, and its fixed-position
// text export.
#include "core/candb_cluster.h"
#include "core/candb_file_format.h"
#include "core/candb_file_io.h"
#include "interfaces/can/vyr_can_if.h"
#include "test_paths.h"
#include "trace_test_frames.h"
#include "vyr_test_shell.h"
#include "windows/trace/vyr_message_view.h"
#include "windows/trace/vyr_trace_message_queue.h"

#include <QDir>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTextStream>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class MessageViewCursor : public ::testing::Test
{
protected:
    static constexpr int line_count = 30;

    MessageViewCursor() : can("CAN", &shell, &shell.notification), view(nullptr, "message_view")
    {
        view.resize(900, 300);
        view.show();
    }

    // One line per identifier 0x100 + i.
    void fill(int lines = line_count)
    {
        for (int i = 0; i < lines; ++i)
            receive(*view.store(), frame(0x100 + uint32_t(i), 0, uint32_t(i)));
        view.update_messages();
    }

    std::vector<int> selected_lines()
    {
        std::vector<int> lines;
        for (int line = 1; line <= view.store()->lines().line_count(); ++line)
            if (view.store()->lines().selected(line))
                lines.push_back(line);
        return lines;
    }

    // A y in the viewport inside the row of a line.
    int viewport_y(int line) const
    {
        return (line - 1) * view.row_height() + view.row_height() / 2 - view.verticalScrollBar()->value();
    }

    int rows_per_page() const { return view.viewport()->height() / view.row_height(); }

    vyr_test::VyrTestShell shell;
    VyrCanIf can;
    VyrMessageView view;
};

TEST_F(MessageViewCursor, KeysMoveTheCursorWithinTheTable)
{
    struct Case
    {
        const char *what;
        long long start;
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        long long expected; // -1: rows per page from the start
        std::vector<int> selected;
    };
    const int page = rows_per_page();
    ASSERT_GT(page, 2);
    const std::vector<Case> cases = {
        {"Home", 12, Qt::Key_Home, Qt::NoModifier, 1, {}},
        {"End", 3, Qt::Key_End, Qt::NoModifier, line_count, {}},
        {"Up at the top stays", 1, Qt::Key_Up, Qt::NoModifier, 1, {}},
        {"Down at the bottom stays", line_count, Qt::Key_Down, Qt::NoModifier, line_count, {}},
        {"Page Up near the top", 2, Qt::Key_PageUp, Qt::NoModifier, 1, {}},
        {"Page Down past the end", line_count - 2, Qt::Key_PageDown, Qt::NoModifier, line_count, {}},
        {"Page Down", 1, Qt::Key_PageDown, Qt::NoModifier, 1 + page, {}},
        {"Space selects without moving", 5, Qt::Key_Space, Qt::NoModifier, 5, {5}},
        {"Space on the first row", 1, Qt::Key_Space, Qt::NoModifier, 1, {1}},
        {"Shift+Down selects the row it leaves", 5, Qt::Key_Down, Qt::ShiftModifier, 6, {5}},
        {"Shift+Up", 5, Qt::Key_Up, Qt::ShiftModifier, 4, {5}},
        {"Shift+End", 7, Qt::Key_End, Qt::ShiftModifier, line_count, {7}},
        {"Shift+Page Up", 9, Qt::Key_PageUp, Qt::ShiftModifier, 1, {9}},
        {"other keys move nothing", 5, Qt::Key_A, Qt::NoModifier, 5, {}},
    };
    fill();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        view.deselect_all();
        view.set_cursor_pos(c.start);
        QTest::keyClick(view.viewport(), c.key, c.modifiers);
        EXPECT_EQ(view.cursor_pos(), c.expected);
        EXPECT_EQ(selected_lines(), c.selected);
        EXPECT_EQ(view.fixed_selected_count(), int(c.selected.size()));
        ASSERT_NE(view.current_message(), nullptr);
        EXPECT_EQ(view.current_message()->id, 0x100u + uint32_t(c.expected - 1));
    }
}

TEST_F(MessageViewCursor, HomeOnAnEmptyTableLeavesNoCursor)
{
    QSignalSpy moved(&view, &VyrMessageView::cursor_position_changed);
    QTest::keyClick(view.viewport(), Qt::Key_Home);
    QTest::keyClick(view.viewport(), Qt::Key_Down);
    EXPECT_EQ(view.cursor_pos(), 0);
    EXPECT_EQ(view.current_message(), nullptr);
    EXPECT_EQ(moved.count(), 0);
    // Nor has an empty scrolling list a message under the cursor while running.
    view.set_scroll_mode(true);
    view.set_measurement_running(true);
    EXPECT_EQ(view.current_message(), nullptr);
}

TEST_F(MessageViewCursor, SelectionStaysWhileRunningAndTheCursorMessageFollows)
{
    fill();
    view.set_measurement_running(true);
    view.set_cursor_pos(4);
    QTest::keyClick(view.viewport(), Qt::Key_Space);
    QTest::keyClick(view.viewport(), Qt::Key_Down, Qt::ShiftModifier);
    QTest::mouseClick(view.viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(50, viewport_y(2)));
    EXPECT_EQ(view.cursor_pos(), 2);
    EXPECT_TRUE(selected_lines().empty());

    // The line under the cursor is read again on every call.
    receive(*view.store(), frame(0x101, 0, 999, {7}));
    ASSERT_NE(view.current_message(), nullptr);
    EXPECT_EQ(view.current_message()->time, 999u);
}

TEST_F(MessageViewCursor, MouseMovesTheCursorAndSelects)
{
    fill();
    QSignalSpy menu(&view, &VyrMessageView::show_context_menu);

    QTest::mouseClick(view.viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(40, viewport_y(3)));
    EXPECT_EQ(view.cursor_pos(), 3);
    EXPECT_EQ(selected_lines(), std::vector<int>{3});

    QTest::mouseClick(view.viewport(), Qt::LeftButton, Qt::ControlModifier, QPoint(40, viewport_y(6)));
    EXPECT_EQ(view.cursor_pos(), 6);
    EXPECT_EQ(selected_lines(), std::vector<int>{3});

    QTest::mouseClick(view.viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(40, viewport_y(3)));
    EXPECT_TRUE(selected_lines().empty());

    QTest::mouseClick(view.viewport(), Qt::RightButton, Qt::NoModifier, QPoint(40, viewport_y(5)));
    EXPECT_EQ(view.cursor_pos(), 5);
    ASSERT_EQ(menu.count(), 1);
    EXPECT_EQ(menu.at(0).at(0).toPoint(), view.viewport()->mapToGlobal(QPoint(40, viewport_y(5))));

    // The first row from its top pixel on, also for the right button.
    view.verticalScrollBar()->setValue(0);
    QTest::mouseClick(view.viewport(), Qt::RightButton, Qt::NoModifier, QPoint(40, 0));
    EXPECT_EQ(view.cursor_pos(), 1);
    QTest::mouseClick(view.viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(40, 0));
    EXPECT_EQ(selected_lines(), std::vector<int>{1});
    view.deselect_all();

    // Below the last row, from the first pixel under it: no row, no
    // selection, but the menu.
    view.clear();
    fill(2);
    view.set_cursor_pos(2);
    QTest::mouseClick(view.viewport(), Qt::LeftButton, Qt::ControlModifier, QPoint(40, 2 * view.row_height() - 1));
    EXPECT_EQ(view.cursor_pos(), 2);
    view.set_cursor_pos(1);
    const QPoint below(40, 2 * view.row_height());
    QTest::mouseClick(view.viewport(), Qt::LeftButton, Qt::NoModifier, below);
    EXPECT_EQ(view.cursor_pos(), 1);
    EXPECT_TRUE(selected_lines().empty());
    QTest::mouseClick(view.viewport(), Qt::RightButton, Qt::NoModifier, below);
    EXPECT_EQ(view.cursor_pos(), 1);
    EXPECT_EQ(menu.count(), 3);
}

// A cursor row that shows whole, even at an edge of the viewport, scrolls
// nothing; one a pixel beyond an edge scrolls it into view.
TEST_F(MessageViewCursor, TheCursorRowScrollsIntoViewOnlyWhenCutOff)
{
    fill();
    QScrollBar *bar = view.verticalScrollBar();
    const int rows = view.row_height();
    const int visible = view.viewport()->height();
    ASSERT_GT(bar->maximum(), 25 * rows - visible);
    struct Case
    {
        const char *what;
        int scroll;
        long long cursor;
        bool scrolls;
    };
    const Case cases[] = {
        {"top edge at the viewport's top", 5 * rows, 6, false},
        {"top edge a pixel above it", 5 * rows + 1, 6, true},
        {"bottom edge at the viewport's bottom", 25 * rows - visible, 25, false},
        {"bottom edge a pixel below it", 25 * rows - visible - 1, 25, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        view.set_cursor_pos(1);
        bar->setValue(c.scroll);
        ASSERT_EQ(bar->value(), c.scroll);
        view.set_cursor_pos(c.cursor);
        EXPECT_EQ(bar->value() != c.scroll, c.scrolls) << bar->value();
    }
}

TEST_F(MessageViewCursor, FilterOutAddsTheSelectedIdentifiersToTheLists)
{
    // Two lines of one identifier (data and remote frame), and an extended one.
    receive(*view.store(), frame(0x120));
    receive(*view.store(), frame(0x120, VyrCanMessage::Remote));
    receive(*view.store(), frame(0x18FEF100, VyrCanMessage::Extended));
    receive(*view.store(), frame(0x121));
    view.update_messages();
    view.standard_filters().set_active(false);
    view.extended_filters().set_filter_type(VyrIdFilterList::pass_listed);
    view.extended_filters().add_range(0x18FEF000, 0x18FEF1FF);
    view.setup_filters();
    for (int line : {1, 2, 3}) {
        view.set_cursor_pos(line);
        view.toggle_selection_on_cursor_pos();
    }
    QSignalSpy changed(&view, &VyrMessageView::filters_changed);
    view.add_selected_identifiers_to_filter();
    EXPECT_EQ(changed.count(), 1);

    // Block list: one range for the identifier, and the list switched on.
    EXPECT_TRUE(view.standard_filters().active());
    EXPECT_EQ(view.standard_filters().count(), 1);
    ASSERT_NE(view.standard_filters().find_range(0x120), nullptr);
    // Pass list: the identifier taken out of its range.
    EXPECT_EQ(view.extended_filters().find_range(0x18FEF100), nullptr);
    EXPECT_NE(view.extended_filters().find_range(0x18FEF101), nullptr);
    // The live pass set blocks it from the next message on.
    ASSERT_NE(view.store()->extended_filter(), nullptr);
    EXPECT_FALSE(view.store()->extended_filter()->test(0x18FEF100));
    EXPECT_TRUE(view.store()->extended_filter()->test(0x18FEF101));

    // Nothing new to add: no signal.
    view.add_selected_identifiers_to_filter();
    EXPECT_EQ(changed.count(), 1);
}

TEST_F(MessageViewCursor, FilterOutWhileRunningLeavesAnInactiveListOff)
{
    fill(2);
    view.standard_filters().set_active(false);
    view.set_measurement_running(true);
    view.set_cursor_pos(2);
    view.toggle_selection_on_cursor_pos();
    view.add_selected_identifiers_to_filter();
    EXPECT_FALSE(view.standard_filters().active());
    EXPECT_NE(view.standard_filters().find_range(0x101), nullptr);
}

TEST_F(MessageViewCursor, RendersTheCursorAndTheSelection)
{
    fill(8);
    for (int line : {2, 3, 6}) {
        view.set_cursor_pos(line);
        view.toggle_selection_on_cursor_pos();
    }
    view.set_cursor_pos(4);
    const QString path = QDir::tempPath() + QStringLiteral("/vyr_message_view_cursor.png");
    ASSERT_TRUE(view.grab().save(path));
}

// The text of a fixed-position export with the date line taken out.
std::string fixed_text(const VyrMessageView &view, bool selected_only)
{
    QString text;
    QTextStream out(&text);
    view.write_fixed_text(out, selected_only);
    out.flush();
    const QRegularExpression created("^Created: .+$", QRegularExpression::MultilineOption);
    EXPECT_TRUE(text.contains(created));
    return text.replace(created, "Created: <date>").toStdString();
}

std::string spaces(int n)
{
    return std::string(size_t(n), ' ');
}

const std::string fixed_head = "Vyr CAN-Messages, fixed position mode\n"
                               "=====================================\n"
                               "\n"
                               "Created: <date>\n"
                               "\n"
                               "        Time        CAN Identifier Flags     DLC  Data                      Counter\n"
                               " ==================================================================================\n";
const std::string fixed_foot = " ==================================================================================\n";

TEST_F(MessageViewCursor, FixedTextHasItsHeadingAndFieldWidths)
{
    std::vector<uint8_t> bytes64(64);
    for (size_t i = 0; i < bytes64.size(); ++i)
        bytes64[i] = uint8_t(i);
    receive(*view.store(), frame(0x123, 0, 4294967, {0x11, 0xff}));
    receive(*view.store(), frame(0x7e0, VyrCanMessage::Remote | VyrCanMessage::TxAck, 1500));
    receive(*view.store(), frame(0x18fef100, VyrCanMessage::Extended | VyrCanMessage::FdFrame, 2, bytes64));
    receive(*view.store(), frame(0x55, VyrCanMessage::ErrorFrame, 61));
    receive(*view.store(),
            frame(0x10, VyrCanMessage::WakeUp | VyrCanMessage::TxRequest | VyrCanMessage::SoftwareOverrun, 0,
                  {1, 2, 3, 4, 5, 6, 7, 8}));
    view.update_messages();

    std::string data64;
    for (int i = 0; i < 64; ++i) {
        char byte[4];
        std::snprintf(byte, sizeof byte, "%02x ", i);
        data64 += byte;
    }
    ASSERT_EQ(data64.size(), 192u);
    const std::string expected = fixed_head + "    4294.967  " + spaces(17) + "291" + "  " + "     " + "      2  " +
        "11 ff " + spaces(20) + "\n" + "       1.500  " + spaces(16) + "2016" + "  " + "  RT " + "      0  " +
        spaces(26) + "\n" + "       0.002  " + spaces(11) + "419361024" + "  " + "X    " + "      64  " + data64 +
        "\n" + "       0.061  " + spaces(36) + "ERROR FRAME" + spaces(15) + "\n" + "       0.000  " + spaces(18) +
        "16" + "  " + " W Q+" + "      8  " + "01 02 03 04 05 06 07 08 " + spaces(2) + "\n" + fixed_foot;
    EXPECT_EQ(fixed_text(view, false), expected);

    // Hexadecimal identifiers, and only the selected lines.
    view.header_clicked(VyrMessageView::Identifier);
    view.set_cursor_pos(2);
    view.toggle_selection_on_cursor_pos();
    EXPECT_EQ(fixed_text(view, true),
              fixed_head + "       1.500  " + spaces(17) + "7e0" + "  " + "  RT " + "      0  " + spaces(26) + "\n" +
                  fixed_foot);
}

TEST_F(MessageViewCursor, FixedTextInDatabaseModeListsTheSignals)
{
    const std::string dbc =
        vyr_test::configured_testdata_dir().toStdString() + "/dbc/cantools/tests/files/dbc/motohawk.dbc";
    auto cluster = std::make_unique<CANdbCluster>();
    std::unique_ptr<CANdbFileIo> io = CANdbFileFormat::create_io("DBC");
    io->set_file_name(dbc.c_str());
    if (io->read(cluster->add_network(std::make_unique<CANdbNetwork>())) != 0)
        GTEST_SKIP() << "shared test data not found: " << dbc;
    can.set_databases(std::move(cluster));
    view.set_database_mode(true);
    receive(*view.store(), frame(496, 0, 0, {0xC0, 0x06, 0xE0, 0, 0, 0, 0, 0}));
    receive(*view.store(), frame(497, 0, 0, {1}));
    view.update_messages();

    const auto signal_line = [](const std::string &name, const std::string &value) {
        return spaces(50) + name + spaces(std::max(0, 15 - int(name.size()))) + " = " + value + "\n";
    };
    EXPECT_EQ(fixed_text(view, false),
              fixed_head + "       0.000  " + "ExampleMessage" + spaces(6) + "  " + "     " + "      8  " +
                  "c0 06 e0 00 00 00 00 00 " + spaces(2) + "\n" + signal_line("Temperature[degK]", "250.55") +
                  signal_line("AverageRadius[m]", "3.2") + signal_line("Enable[-]", "1") + "\n" + "       0.000  " +
                  spaces(17) + "497" + "  " + "     " + "      1  " + "01 " + spaces(23) + "\n" + fixed_foot);
}

// A multiplexed frame lists the signals its multiplexor selects.
TEST_F(MessageViewCursor, FixedTextListsTheSignalsTheMultiplexorSelects)
{
    const std::string dbc = vyr_test::configured_testdata_dir().toStdString() + "/dbc/opendbc/opendbc/dbc/vw_mqb.dbc";
    auto cluster = std::make_unique<CANdbCluster>();
    std::unique_ptr<CANdbFileIo> io = CANdbFileFormat::create_io("DBC");
    io->set_file_name(dbc.c_str());
    if (io->read(cluster->add_network(std::make_unique<CANdbNetwork>())) != 0)
        GTEST_SKIP() << "shared test data not found: " << dbc;
    can.set_databases(std::move(cluster));
    view.set_database_mode(true);
    receive(*view.store(), frame(1716, 0, 0, {1, 'W', 'V', 'W', 'Z', 'Z', 'Z', '1'}));
    view.update_messages();
    const std::string text = fixed_text(view, false);
    EXPECT_NE(text.find(" VIN_4 "), std::string::npos) << text;
    EXPECT_EQ(text.find("VIN_1 "), std::string::npos) << text;
    EXPECT_EQ(text.find("VIN_11"), std::string::npos) << text;
    EXPECT_EQ(text.find("KS_Geheimnis"), std::string::npos) << text;
}

TEST_F(MessageViewCursor, FixedTextOfNothingSelectedIsHeadAndFootOnly)
{
    fill(3);
    EXPECT_EQ(fixed_text(view, true), fixed_head + fixed_foot);
    view.clear();
    EXPECT_EQ(fixed_text(view, false), fixed_head + fixed_foot);
}

} // namespace
