// The trace's message store attached to a real CAN interface on the vrbus
// daemon: frames that a second handle on the virtual card writes, and error
// frames that the driver's receive queue carries, appear in both displays of
// the message view with the texts the row painter writes.
#include "../interfaces/can_test_support.h"
#include "interfaces/hardware/can_hw_channel_vindra.h"
#include "windows/logging/ascii_log_file.h"
#include "windows/trace/vyr_message_view.h"
#include "windows/trace/vyr_trace_message_queue.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using namespace can_test;

class TraceOnTheBus : public CanFixture
{
protected:
    // Takes the store's records over until the view shows `rows` rows.
    bool shows(VyrMessageView &view, int rows)
    {
        return eventually([&] {
            view.update_messages();
            return view.row_count() >= rows;
        });
    }
};

TEST_F(TraceOnTheBus, FramesOfASecondHandleAppearInBothDisplays)
{
    VyrCanIf *can = make("CAN");
    VyrMessageView view(nullptr, "message_view");
    view.set_interface(can);
    view.resize(1000, 400);
    VyrTraceMessageQueue &store = *view.store();
    store.set_interface(can);
    can->add_message_listener(&store.intake());
    Measurement measurement({can});
    ASSERT_EQ(measurement.start(), 0);
    view.clear();

    BusNode node;
    struct Frame
    {
        uint32_t id;
        uint32_t flags;
        std::vector<uint8_t> data;
    };
    const Frame frames[] = {
        {0x100, 0, {0x11, 0x22}},
        {0x100, VyrCanMessage::Extended, {0x33}},
        {0x7E0, VyrCanMessage::Remote, {}},
        {0x100, 0, {0x44, 0x55}},
    };
    for (const Frame &frame : frames)
        node.send(frame.id, frame.flags, frame.data);
    VyrCanMessage sent;
    sent.id = 0x100;
    sent.dlc = 1;
    ASSERT_EQ(can->send_message(&sent, false), 0); // its echo is a kind of its own

    // Fixed position: standard 0x100 (twice), extended 0x100, the remote frame, the echo.
    ASSERT_TRUE(shows(view, 4));
    const TraceLineTable &lines = store.lines();
    ASSERT_EQ(lines.line_count(), 4);
    struct Line
    {
        uint32_t id;
        uint32_t flags;
        uint64_t counter;
        const char *data;
    };
    const Line expected_lines[] = {
        {0x100, 0, 2, "44 55"},
        {0x100, VyrCanMessage::Extended, 1, "33"},
        {0x7E0, VyrCanMessage::Remote, 1, ""},
        {0x100, VyrCanMessage::TxAck, 1, "00"},
    };
    for (int n = 1; n <= 4; ++n) {
        const TraceLineData line = lines.read_line(n);
        const Line &want = expected_lines[n - 1];
        SCOPED_TRACE(n);
        EXPECT_EQ(line.message.id, want.id);
        EXPECT_EQ(line.message.flags & TraceLineTable::kind_flags, want.flags);
        EXPECT_EQ(line.counter, want.counter);
        EXPECT_EQ(view.cell_text(VyrMessageView::Data, line.message, line.counter, 0), want.data);
    }

    // Scrolling list: every frame in arrival order, numbered from 1. The
    // receive thread may enter a frame's line before the view has taken the
    // frame itself over, so the list is waited for too.
    view.set_scroll_mode(true);
    ASSERT_TRUE(shows(view, 5));
    EXPECT_EQ(view.row_count(), 5);
    EXPECT_EQ(view.message_number(), 5u);

    // Cleared while the measurement runs, both lists start afresh.
    view.clear();
    node.send(0x300, 0, {0x66});
    ASSERT_TRUE(shows(view, 1));
    EXPECT_EQ(view.message_number(), 1u);
    EXPECT_EQ(lines.line_count(), 1);
    EXPECT_EQ(lines.read_line(1).message.id, 0x300u);
    measurement.stop();
    can->remove_message_listener(&store.intake());
    store.release_filters();
}

TEST_F(TraceOnTheBus, FilteredFramesReachNeitherListNorLogFile)
{
    VyrCanIf *can = make("CAN");
    VyrMessageView view(nullptr, "message_view");
    view.set_interface(can);
    VyrTraceMessageQueue &store = *view.store();
    view.standard_filters().init(false, VyrIdFilterList::pass_listed);
    view.standard_filters().add_range(0x100, 0x1FF);
    view.extended_filters().init(true, VyrIdFilterList::block_listed);
    view.extended_filters().add_id(0x18FEF100);
    view.setup_filters();

    QTemporaryDir dir;
    const std::string path = dir.filePath(QStringLiteral("trace.asc")).toStdString();
    AsciiLogFile log;
    log.set_use_candb_for_id(false);
    log.set_file_name(path.c_str());
    log.set_write_mode(LogFile::Overwrite);
    ASSERT_EQ(log.open(), 0);
    log.set_stopped(false);
    store.set_interface(can);
    can->add_message_listener(&store.intake());
    log.start_writer(can, view.standard_pass_set(), view.extended_pass_set());
    Measurement measurement({can});
    ASSERT_EQ(measurement.start(), 0);

    BusNode node;
    node.send(0x200, 0, {1});
    node.send(0x18FEF100, VyrCanMessage::Extended, {2});
    node.send(0x18FEF200, VyrCanMessage::Extended, {3});
    node.send(0x1AB, 0, {4});
    ASSERT_TRUE(shows(view, 2));
    measurement.stop();
    can->remove_message_listener(&store.intake());
    log.stop_writer();
    log.close();
    store.release_filters();

    view.set_scroll_mode(true);
    ASSERT_TRUE(shows(view, 2)); // the lines may be in before the view took the frames over
    ASSERT_EQ(view.row_count(), 2);
    EXPECT_EQ(store.lines().read_line(1).message.id, 0x18FEF200u);
    EXPECT_EQ(store.lines().read_line(2).message.id, 0x1ABu);
    QFile file(QString::fromStdString(path));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromLatin1(file.readAll());
    EXPECT_TRUE(text.contains(QStringLiteral("18fef200"), Qt::CaseInsensitive)) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("1ab"), Qt::CaseInsensitive));
    EXPECT_FALSE(text.contains(QStringLiteral("18fef100"), Qt::CaseInsensitive));
    EXPECT_FALSE(text.contains(QStringLiteral(" 200 "), Qt::CaseInsensitive));
}

TEST_F(TraceOnTheBus, ErrorFramesOfTheDriverShareOneLine)
{
    VyrCanIf *can = make("CAN");
    VyrMessageView view(nullptr, "message_view");
    view.set_interface(can);
    VyrTraceMessageQueue &store = *view.store();
    can->add_message_listener(&store.intake());
    can->set_timer(&shell.wheel, false);
    ASSERT_EQ(can->prepare_start(), 0);
    ASSERT_EQ(can->startup(), 0);
    ASSERT_EQ(can->go_online(), 0);
    can->cyclic();
    auto *vindra = dynamic_cast<CANhwChannelVindra *>(can->channel());
    ASSERT_NE(vindra, nullptr);
    hw_test::QueueFiller filler(vindra->rx_queue());
    filler.frame(uint8_t(can->message_channel_number()), 100, 0x123, vrbus::record::kErrorFrame, 3, 0);
    filler.frame(uint8_t(can->message_channel_number()), 200, 0x456, vrbus::record::kErrorFrame, 0, 0);
    can->cyclic();
    view.update_messages();
    ASSERT_EQ(store.lines().line_count(), 1);
    const TraceLineData line = store.lines().read_line(1);
    EXPECT_EQ(line.counter, 2u);
    EXPECT_EQ(view.cell_text(VyrMessageView::Data, line.message, 2, 0), "ERROR FRAME");
    EXPECT_TRUE(view.cell_text(VyrMessageView::Identifier, line.message, 2, 0).startsWith("- "));
    // The scrolling list has both.
    view.set_scroll_mode(true);
    EXPECT_EQ(view.row_count(), 2);
    EXPECT_EQ(view.message_number(), 2u);
    EXPECT_EQ(can->stop(), 0);
    can->remove_message_listener(&store.intake());
}

} // namespace
