// The message view on the offscreen platform: its header with titles, tool
// tips, widths and format clicks, hidden and restored columns, the
// formatter's extra columns, the fixed-position rows taken over from the
// store, the filter sets it installs, and a render looked at once.
#include "core/candb_cluster.h"
#include "core/candb_file_format.h"
#include "core/candb_file_io.h"
#include "interfaces/can/vyr_can_if.h"
#include "test_paths.h"
#include "trace_test_frames.h"
#include "vyr_test_shell.h"
#include "windows/base/header_tool_tip.h"
#include "windows/trace/vyr_message_view.h"
#include "windows/trace/vyr_trace_message_queue.h"

#include <QApplication>
#include <QDir>
#include <QSignalSpy>
#include <QHeaderView>
#include <QScrollBar>
#include <QTest>
#include <gtest/gtest.h>

#include <cstring>

namespace {

QString title(const VyrMessageView &view, int section)
{
    return view.header()->model()->headerData(section, Qt::Horizontal).toString();
}

// Shows the source byte of the identifier as a column "SA" and the
// parameter group as "PGN" (which stands after the counter in logs).
class GroupFormatter : public IdFormatter
{
public:
    explicit GroupFormatter(const char *name, int columns = 2) : IdFormatter(name), m_columns(columns) {}
    uint32_t display_id(const VyrCanMessage &message) const override { return (message.id >> 8) & 0x3FFFF; }
    int column_count() const override { return m_columns; }
    const char *column_title(int index) const override { return index == 0 ? "SA" : "PGN"; }
    int column_text(const VyrCanMessage &message, int index, char *buffer) const override
    {
        return std::snprintf(buffer, max_column_text + 1, index == 0 ? "%02x" : "%05x",
                             index == 0 ? message.id & 0xFF : (message.id >> 8) & 0x3FFFF);
    }
    int column_width(int) const override { return 5; }

private:
    int m_columns;
};

class MessageView : public ::testing::Test
{
protected:
    MessageView() : can("CAN", &shell, &shell.notification), view(nullptr, "message_view")
    {
        view.resize(900, 300);
        view.show();
    }

    int chars(int section) const { return view.header()->sectionSize(section) / view.char_width(); }

    vyr_test::VyrTestShell shell;
    VyrCanIf can;
    VyrMessageView view;
};

TEST_F(MessageView, StartsWithItsColumnsAndTheFirstCanInterface)
{
    EXPECT_EQ(view.interface(), &can);
    EXPECT_FALSE(view.scroll_mode());
    const char *titles[] = {"Chn", "CAN Id [dec]", "Time [s.ms]", "DLC", "Data [hex]", "ASCII", "Counter", "Signals"};
    // The counter's six characters would cut its title: it is as wide as that.
    const int widths[] = {5, 15, 13, -1, 25, 8, -1, 0};
    ASSERT_EQ(view.header()->count(), VyrMessageView::column_count);
    for (int section = 0; section < VyrMessageView::column_count; ++section) {
        EXPECT_EQ(title(view, section), titles[section]);
        if (widths[section] >= 0) {
            EXPECT_EQ(chars(section), widths[section]) << titles[section];
        }
    }
    EXPECT_GE(view.header()->sectionSize(VyrMessageView::Counter),
              std::max(6 * view.char_width(), view.header()->sectionSizeHint(VyrMessageView::Counter)));
    EXPECT_EQ(view.viewport()->font().pointSize(), 10);
    EXPECT_FALSE(view.section_visible(VyrMessageView::Signals));
    EXPECT_EQ(view.section_width(VyrMessageView::Signals), 25 * view.char_width());
    EXPECT_TRUE(view.section_visible(VyrMessageView::Data));

    // Each section has its tip; the identifier's explains the letters.
    auto *tips = view.header()->findChild<HeaderToolTip *>();
    ASSERT_NE(tips, nullptr);
    QString tip;
    QRect rect;
    const int x = view.header()->sectionViewportPosition(VyrMessageView::Identifier) + 5;
    ASSERT_TRUE(tips->tip_at(QPoint(x, 5), &tip, &rect));
    EXPECT_TRUE(tip.startsWith("<p><h3>CAN Identifier</h3>"));
    EXPECT_TRUE(tip.contains("<li><b>X</b>: Extended (29 bit Id) Message</li>"));
}

TEST_F(MessageView, HeaderClicksSwitchTheFormats)
{
    QSignalSpy changed(&view, &VyrMessageView::configuration_changed);
    const auto click = [&](int section) {
        const int x = view.header()->sectionViewportPosition(section) + 5;
        QTest::mouseClick(view.header()->viewport(), Qt::LeftButton, {}, QPoint(x, 5));
    };
    click(VyrMessageView::Identifier);
    EXPECT_TRUE(view.formats().id_hex);
    EXPECT_EQ(title(view, VyrMessageView::Identifier), "CAN Id [hex]");
    click(VyrMessageView::Data);
    EXPECT_FALSE(view.formats().data_hex);
    EXPECT_EQ(title(view, VyrMessageView::Data), "Data [dec]");
    const char *times[] = {"Time [s.ms.usec]", "Time [h:m:s.ms]", "Time [s.ms]"};
    for (const char *expected : times) {
        click(VyrMessageView::Time);
        EXPECT_EQ(title(view, VyrMessageView::Time), expected);
    }
    EXPECT_EQ(view.formats().time_format, 0);
    click(VyrMessageView::Counter);
    EXPECT_EQ(view.formats().time_format, 0);
    trace_text::Formats odd;
    for (int format : {7, 3, -1}) {
        odd.time_format = format;
        view.set_formats(odd);
        EXPECT_EQ(title(view, VyrMessageView::Time), "Time [????]") << format;
    }
}

TEST_F(MessageView, HiddenColumnsComeBackAtTheirWidth)
{
    QSignalSpy changed(&view, &VyrMessageView::configuration_changed);
    view.header()->resizeSection(VyrMessageView::Data, 30 * view.char_width());
    view.toggle_column_visibility(VyrMessageView::Data);
    EXPECT_EQ(view.header()->sectionSize(VyrMessageView::Data), 0);
    EXPECT_FALSE(view.section_visible(VyrMessageView::Data));
    EXPECT_EQ(view.section_width(VyrMessageView::Data), 30 * view.char_width());
    EXPECT_EQ(view.header()->sectionResizeMode(VyrMessageView::Data), QHeaderView::Fixed);
    view.toggle_column_visibility(VyrMessageView::Data);
    EXPECT_EQ(chars(VyrMessageView::Data), 30);
    EXPECT_EQ(view.header()->sectionResizeMode(VyrMessageView::Data), QHeaderView::Interactive);
    EXPECT_GE(changed.count(), 2);

    view.toggle_column_visibility(VyrMessageView::Signals);
    EXPECT_EQ(chars(VyrMessageView::Signals), 25);
    EXPECT_TRUE(view.section_visible(VyrMessageView::Signals));

    view.restore_section(VyrMessageView::Ascii, 4 * view.char_width(), false);
    EXPECT_EQ(view.header()->sectionSize(VyrMessageView::Ascii), 0);
    EXPECT_EQ(view.section_width(VyrMessageView::Ascii), 4 * view.char_width());
    view.restore_section(VyrMessageView::Ascii, 0, true);
    EXPECT_EQ(view.section_width(VyrMessageView::Ascii), 0);
    EXPECT_EQ(view.section_width(40), 0);
    EXPECT_FALSE(view.section_visible(40));

    // A width of 0 leaves the remembered one; the first section is one like the others.
    view.restore_section(VyrMessageView::Ascii, 4 * view.char_width(), false);
    view.restore_section(VyrMessageView::Ascii, 0, false);
    EXPECT_EQ(view.section_width(VyrMessageView::Ascii), 4 * view.char_width());
    ASSERT_EQ(VyrMessageView::Channel, 0);
    view.restore_section(VyrMessageView::Channel, 12 * view.char_width(), true);
    EXPECT_TRUE(view.section_visible(VyrMessageView::Channel));
    EXPECT_EQ(view.section_width(VyrMessageView::Channel), 12 * view.char_width());
    view.toggle_column_visibility(VyrMessageView::Channel);
    EXPECT_FALSE(view.section_visible(VyrMessageView::Channel));
    EXPECT_EQ(view.header()->sectionSize(VyrMessageView::Channel), 0);
    view.toggle_column_visibility(VyrMessageView::Channel);
    EXPECT_EQ(chars(VyrMessageView::Channel), 12);
}

TEST_F(MessageView, TheFormattersColumnsFollowTheInterface)
{
    can.set_id_formatter(std::make_unique<GroupFormatter>("J1939"));
    view.rebuild_extra_columns();
    ASSERT_EQ(view.header()->count(), VyrMessageView::column_count + 2);
    EXPECT_EQ(title(view, 8), "SA");
    EXPECT_EQ(title(view, 9), "PGN");
    EXPECT_TRUE(view.section_visible(9));
    view.header()->resizeSection(9, 6 * view.char_width());
    EXPECT_EQ(view.cell_text(9, frame(0x18FEF121, VyrCanMessage::Extended), 1, 0), "0fef1");

    // Lines are keyed by the formatter's identifier: two sources of one group share one.
    VyrTraceMessageQueue &store = *view.store();
    store.set_interface(&can);
    receive(store, frame(0x18FEF121, VyrCanMessage::Extended));
    receive(store, frame(0x18FEF122, VyrCanMessage::Extended));
    EXPECT_EQ(store.lines().line_count(), 1);

    // The same formatter name keeps the columns; another one rebuilds them; none removes them.
    view.rebuild_extra_columns();
    EXPECT_EQ(view.header()->count(), VyrMessageView::column_count + 2);
    view.set_interface(nullptr);
    EXPECT_EQ(view.header()->count(), VyrMessageView::column_count);
    EXPECT_EQ(view.cell_text(8, frame(1), 1, 0), "");
}

TEST_F(MessageView, DatabaseModeShowsMessageNamesAndSignals)
{
    const std::string dbc =
        vyr_test::configured_testdata_dir().toStdString() + "/dbc/cantools/tests/files/dbc/motohawk.dbc";
    auto cluster = std::make_unique<CANdbCluster>();
    std::unique_ptr<CANdbFileIo> io = CANdbFileFormat::create_io("DBC");
    io->set_file_name(dbc.c_str());
    if (io->read(cluster->add_network(std::make_unique<CANdbNetwork>())) != 0)
        GTEST_SKIP() << "shared test data not found: " << dbc;
    can.set_databases(std::move(cluster));
    EXPECT_EQ(view.database(), can.databases());

    const VyrCanMessage example = frame(496, 0, 0, {0xC0, 0x06, 0x2D, 0xD9, 0, 0, 0, 0});
    EXPECT_EQ(view.cell_text(VyrMessageView::Identifier, example, 1, 0), "    496         ");
    view.set_database_mode(true);
    EXPECT_EQ(view.cell_text(VyrMessageView::Identifier, example, 1, 0), "Example         ");
    EXPECT_EQ(view.cell_text(VyrMessageView::Identifier, frame(497), 1, 0), "    497         ");
    // The Signals column decodes in every mode, once it has room.
    view.set_database_mode(false);
    EXPECT_EQ(view.cell_text(VyrMessageView::Signals, example, 1, 0), "");
    view.toggle_column_visibility(VyrMessageView::Signals);
    EXPECT_TRUE(view.cell_text(VyrMessageView::Signals, example, 1, 0).startsWith(" Temperature[degK]="));
}

TEST_F(MessageView, SectionsFrom32OnComeBackTwentyPixelsWide)
{
    can.set_id_formatter(std::make_unique<GroupFormatter>("wide", 30));
    view.rebuild_extra_columns();
    ASSERT_EQ(view.header()->count(), VyrMessageView::column_count + 30);
    view.header()->resizeSection(35, 70);
    view.toggle_column_visibility(35);
    EXPECT_EQ(view.header()->sectionSize(35), 0);
    view.toggle_column_visibility(35);
    EXPECT_EQ(view.header()->sectionSize(35), 20);
    EXPECT_EQ(view.section_width(35), 0);
    // 31 is the last remembered section, 32 the first that is not.
    for (int section : {31, 32}) {
        SCOPED_TRACE(section);
        view.header()->resizeSection(section, 70);
        view.toggle_column_visibility(section);
        view.toggle_column_visibility(section);
        EXPECT_EQ(view.header()->sectionSize(section), section == 31 ? 70 : 20);
    }
}

TEST_F(MessageView, FixedPositionRowsArriveOnUpdate)
{
    VyrTraceMessageQueue &store = *view.store();
    receive(store, frame(0x100, 0, 1000, {1, 2}));
    receive(store, frame(0x200, 0, 1100, {3}));
    view.update_messages();
    EXPECT_EQ(view.row_count(), 2);
    EXPECT_EQ(view.contents_height(), 2 * view.row_height());

    // Changed lines only repaint.
    receive(store, frame(0x100, 0, 1250, {9, 9}));
    view.update_messages();
    EXPECT_EQ(view.row_count(), 2);

    // Many new lines: the view jumps to the bottom.
    for (uint32_t id = 1; id <= 40; ++id)
        receive(store, frame(id));
    view.update_messages();
    EXPECT_EQ(view.contents_height(), 42 * view.row_height());
    EXPECT_EQ(view.verticalScrollBar()->value(), view.verticalScrollBar()->maximum());

    // Up to four new lines move the view down by their rows, five jump to
    // the bottom; a single new line grows the table.
    QScrollBar *bar = view.verticalScrollBar();
    bar->setValue(0);
    int lines = 42;
    for (int added : {1, 4, 5}) {
        SCOPED_TRACE(added);
        for (int i = 0; i < added; ++i)
            receive(store, frame(0x400 + uint32_t(lines + i)));
        lines += added;
        view.update_messages();
        EXPECT_EQ(view.contents_height(), lines * view.row_height());
        EXPECT_EQ(bar->value(), added == 5 ? bar->maximum() : added * view.row_height());
        bar->setValue(0);
    }

    view.set_cursor_pos(100);
    EXPECT_EQ(view.cursor_pos(), 52);

    QSignalSpy selection(&view, &VyrMessageView::selection_changed);
    view.clear();
    EXPECT_EQ(selection.count(), 1);
    EXPECT_EQ(view.row_count(), 0);
    EXPECT_EQ(view.contents_height(), 0);
    EXPECT_EQ(view.cursor_pos(), 0);
    EXPECT_TRUE(store.empty());
    receive(store, frame(0x300));
    view.update_messages();
    EXPECT_EQ(view.row_count(), 1);
    EXPECT_EQ(store.lines().read_line(1).message.id, 0x300u);
}

TEST_F(MessageView, TheScrollingListKeepsTheNewest200000)
{
    VyrTraceMessageQueue &store = *view.store();
    QSignalSpy changed(&view, &VyrMessageView::configuration_changed);
    view.set_scroll_mode(true);
    EXPECT_EQ(changed.count(), 1);
    for (uint32_t n = 1; n <= 250000; ++n) {
        receive(store, frame(n % 2048, 0, n));
        if (n % 10000 == 0)
            view.update_messages();
    }
    EXPECT_EQ(view.shown_count(), VyrMessageView::max_shown);
    EXPECT_EQ(view.row_count(), VyrMessageView::max_shown);
    EXPECT_EQ(view.message_number(), 250000u);
    EXPECT_EQ(view.contents_height(), VyrMessageView::max_shown * view.row_height());
    EXPECT_EQ(view.verticalScrollBar()->value(), view.verticalScrollBar()->maximum());
    // Cursor positions are message numbers: the oldest shown is 50,001.
    view.set_cursor_pos(1);
    EXPECT_EQ(view.cursor_pos(), 50001);
    view.set_cursor_pos(50000);
    EXPECT_EQ(view.cursor_pos(), 50001);
    view.set_cursor_pos(50002);
    EXPECT_EQ(view.cursor_pos(), 50002);
    view.set_cursor_pos(300000);
    EXPECT_EQ(view.cursor_pos(), 250000);
    ASSERT_NE(view.current_message(), nullptr);
    EXPECT_EQ(view.current_message()->time, 250000u);
    view.set_cursor_pos(1);
    ASSERT_NE(view.current_message(), nullptr);
    EXPECT_EQ(view.current_message()->time, 50001u); // the oldest shown
    // The oldest shown record is the 50,001st.
    EXPECT_EQ(store.ring().read_record().time, 50001u);

    // At the maximum new records replace old rows: the height stays.
    receive(store, frame(1, 0, 250001));
    view.update_messages();
    EXPECT_EQ(view.message_number(), 250001u);
    EXPECT_EQ(view.contents_height(), VyrMessageView::max_shown * view.row_height());
    view.grab(); // paints the newest rows

    // Both lists were kept: the fixed-position table has a line per identifier.
    view.set_scroll_mode(false);
    EXPECT_EQ(view.row_count(), 2048);
    EXPECT_EQ(view.contents_height(), 2048 * view.row_height());

    view.clear();
    EXPECT_EQ(view.message_number(), 0u);
    view.set_scroll_mode(true);
    EXPECT_EQ(view.contents_height(), 0);
    receive(store, frame(7));
    view.update_messages();
    EXPECT_EQ(view.message_number(), 1u);
    EXPECT_EQ(view.row_count(), 1);
}

TEST_F(MessageView, FilterListsBecomePassSets)
{
    VyrTraceMessageQueue &store = *view.store();
    struct Case
    {
        const char *what;
        bool active;
        int type;
        std::vector<uint32_t> ids;
        bool installs;
        bool passes_0x100;
    };
    const Case cases[] = {
        {"empty block list", true, VyrIdFilterList::block_listed, {}, false, true},
        {"empty pass list", true, VyrIdFilterList::pass_listed, {}, true, false},
        {"block list", true, VyrIdFilterList::block_listed, {0x100}, true, false},
        {"pass list", true, VyrIdFilterList::pass_listed, {0x100}, true, true},
        {"inactive pass list", false, VyrIdFilterList::pass_listed, {}, false, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        for (VyrIdFilterList *list : {&view.standard_filters(), &view.extended_filters()}) {
            list->init(list->extended_id(), c.type);
            list->set_active(c.active);
            for (uint32_t id : c.ids)
                list->add_id(id);
        }
        view.setup_filters();
        EXPECT_EQ(store.standard_filter() != nullptr, c.installs);
        EXPECT_EQ(store.extended_filter() != nullptr, c.installs);
        view.clear();
        receive(store, frame(0x100));
        receive(store, frame(0x100, VyrCanMessage::Extended));
        receive(store, frame(0x101));
        EXPECT_EQ(store.lines().line_count(), (c.passes_0x100 ? 2 : 0) + (c.type == 0 && c.active ? 0 : 1));
    }
    store.release_filters();
}

TEST_F(MessageView, RendersAsAUserSeesIt)
{
    view.resize(1100, 260);
    can.set_id_formatter(nullptr);
    view.toggle_column_visibility(VyrMessageView::Signals);
    view.set_delta_time(false);
    VyrTraceMessageQueue &store = *view.store();
    receive(store, frame(0x123, 0, 1500, {0x48, 0x65, 0x6C, 0x6C, 0x6F, 0x21, 0x00, 0xFF}));
    receive(store, frame(0x18FEF100, VyrCanMessage::Extended, 2750, {1, 2, 3, 4, 5, 6, 7, 8}));
    receive(store, frame(0x7E0, VyrCanMessage::Remote | VyrCanMessage::TxAck, 3001));
    receive(store, frame(0, VyrCanMessage::ErrorFrame, 3600123));
    VyrCanMessage fd = frame(0x456, VyrCanMessage::FdFrame | VyrCanMessage::BitRateSwitch, 4000,
                             {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11});
    receive(store, fd);
    for (int i = 0; i < 3; ++i)
        receive(store, frame(0x123, 0, 1600 + i * 100, {0x48, 0x65, 0x6C, 0x6C, 0x6F, 0x21, uint8_t(i), 0xFF}));
    view.update_messages();
    view.set_cursor_pos(2);
    const QString path = QDir::tempPath() + QStringLiteral("/vyr_message_view.png");
    ASSERT_TRUE(view.grab().save(path));
    std::printf("rendered to %s\n", qPrintable(path));
    view.set_scroll_mode(true);
    view.set_delta_time(true);
    view.set_cursor_pos(6);
    const QString scroll_path = QDir::tempPath() + QStringLiteral("/vyr_message_view_scroll.png");
    ASSERT_TRUE(view.grab().save(scroll_path));
    std::printf("rendered to %s\n", qPrintable(scroll_path));

    // The painted text is the cell text: the first line shows its counter 4,
    // right-aligned in its column.
    EXPECT_EQ(view.cell_text(VyrMessageView::Counter, store.lines().read_line(1).message, 4, 0),
              QString(chars(VyrMessageView::Counter) - 1, ' ') + "4");
}

} // namespace
