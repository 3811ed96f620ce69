// The trace's message store with frames appended to its intake as the
// receive thread does and taken over as the window's tick does: the line
// identity of the fixed-position table, the full table and its message, the
// filters, frames the intake had no room for, counted and reported once per
// burst, and a receive thread appending while the tick takes over.
#include "interfaces/can/vyr_can_if.h"
#include "trace_test_frames.h"
#include "vyr_test_shell.h"
#include "windows/trace/vyr_trace_message_queue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

VyrCanMessage frame_on(uint32_t id, uint32_t flags = 0, uint8_t channel = 0, uint32_t time = 0)
{
    VyrCanMessage message;
    message.id = id;
    message.flags = flags;
    message.channel = channel;
    message.time = time;
    message.dlc = 8;
    return message;
}

constexpr uint32_t Ext = VyrCanMessage::Extended;
constexpr uint32_t Tx = VyrCanMessage::TxAck;

TEST(TraceMessageStore, LinesAreKindsOfMessages)
{
    struct Case
    {
        const char *what;
        VyrCanMessage first, second;
        int lines;
    };
    const Case cases[] = {
        {"standard and extended of one identifier", frame_on(0x100), frame_on(0x100, Ext), 2},
        {"sent and received", frame_on(0x100), frame_on(0x100, Tx), 2},
        {"remote and data", frame_on(0x100), frame_on(0x100, VyrCanMessage::Remote), 2},
        {"two channels", frame_on(0x100, 0, 0), frame_on(0x100, 0, 1), 1},
        {"error frames of different identifiers", frame_on(0x100, VyrCanMessage::ErrorFrame),
         frame_on(0x7FF, VyrCanMessage::ErrorFrame), 1},
        {"CAN FD and classic", frame_on(0x100), frame_on(0x100, VyrCanMessage::FdFrame), 1},
        {"two identifiers", frame_on(0x100), frame_on(0x101), 2},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        VyrTraceMessageQueue store;
        EXPECT_TRUE(store.empty());
        receive(store, c.first);
        receive(store, c.second);
        EXPECT_FALSE(store.empty());
        ASSERT_EQ(store.lines().line_count(), c.lines);
        const TraceLineData last = store.lines().read_line(c.lines);
        EXPECT_EQ(last.counter, c.lines == 1 ? 2u : 1u);
    }
}

TEST(TraceMessageStore, ErrorFramesShareOneLineWithIdentifierZero)
{
    VyrTraceMessageQueue store;
    VyrCanMessage error = frame_on(0x123, VyrCanMessage::ErrorFrame);
    error.dlc = 5;
    receive(store, error);
    error.id = 0x456;
    receive(store, error);
    ASSERT_EQ(store.lines().line_count(), 1);
    const TraceLineData line = store.lines().read_line(1);
    EXPECT_EQ(line.message.id, 0u);
    EXPECT_EQ(line.message.dlc, 0);
    EXPECT_EQ(line.counter, 2u);
}

TEST(TraceMessageStore, ALineKeepsThePreviousTime)
{
    VyrTraceMessageQueue store;
    VyrCanMessage message = frame_on(0x10, 0, 0, 1000);
    message.time_fraction = 25;
    receive(store, message);
    TraceLineData line = store.lines().read_line(1);
    EXPECT_EQ(line.previous_ms, 1000u);
    EXPECT_EQ(line.previous_us, 250u);
    message.time = 1500;
    message.time_fraction = 3;
    message.data[0] = 0xAB;
    receive(store, message);
    line = store.lines().read_line(1);
    EXPECT_EQ(line.previous_ms, 1000u);
    EXPECT_EQ(line.previous_us, 250u);
    EXPECT_EQ(line.message.time, 1500u);
    EXPECT_EQ(line.message.data[0], 0xAB);
}

TEST(TraceMessageStore, AFullTableGoesOnOnTheLastLineAndSaysSoOncePerClear)
{
    vyr_test::VyrTestShell shell;
    VyrCanIf can("CAN", &shell, &shell.notification);
    VyrTraceMessageQueue store;
    store.set_interface(&can);
    const auto full_lines = [&] {
        return std::count_if(shell.lines.begin(), shell.lines.end(), [](const vyr_test::VyrTestShell::Line &line) {
            return line.text == VyrTraceMessageQueue::table_full_text;
        });
    };
    for (uint32_t id = 0; id < TraceLineTable::max_lines; ++id)
        receive(store, frame_on(id, Ext));
    receive(store, frame_on(0x1FFF0000, Ext, 0, 77));
    receive(store, frame_on(0x1FFF0001, Ext, 0, 78));
    shell.wait_until([&] { return full_lines() >= 1; }, 2000);
    ASSERT_EQ(store.lines().line_count(), TraceLineTable::max_lines);
    const TraceLineData last = store.lines().read_line(TraceLineTable::max_lines);
    EXPECT_EQ(last.message.id, 0x1FFF0001u);
    EXPECT_EQ(last.counter, 3u);
    EXPECT_EQ(last.previous_ms, 77u);
    EXPECT_EQ(full_lines(), 1);

    // The last line now answers to its newest kind.
    receive(store, frame_on(0x1FFF0001, Ext));
    EXPECT_EQ(store.lines().read_line(TraceLineTable::max_lines).counter, 4u);

    store.clear();
    EXPECT_EQ(store.lines().line_count(), 0);
    EXPECT_TRUE(store.empty());
    for (uint32_t id = 0; id <= TraceLineTable::max_lines; ++id)
        receive(store, frame_on(id));
    shell.wait_until([&] { return full_lines() >= 2; }, 2000);
    EXPECT_EQ(full_lines(), 2);
    EXPECT_EQ(store.lines().read_line(1).message.id, 0u);
}

TEST(TraceMessageStore, AFullTableWithoutInterfaceSaysNothing)
{
    VyrTraceMessageQueue store;
    for (uint32_t id = 0; id <= TraceLineTable::max_lines; ++id)
        receive(store, frame_on(id));
    EXPECT_EQ(store.lines().line_count(), TraceLineTable::max_lines);
}

TEST(TraceMessageStore, PassSetsDropWhatTheyBlock)
{
    VyrTraceMessageQueue store;
    auto standard = std::make_unique<IdBitSet>(0, VyrTraceMessageQueue::standard_id_count);
    standard->set(0x100);
    auto extended = std::make_unique<SparseIdBitSet>(0, VyrTraceMessageQueue::extended_id_count,
                                                     VyrTraceMessageQueue::extended_filter_page);
    extended->set(0x18FEF100);
    store.set_standard_filter(std::move(standard));
    store.set_extended_filter(std::move(extended));

    receive(store, frame_on(0x101));
    receive(store, frame_on(0x18FEF101, Ext));
    EXPECT_TRUE(store.empty());
    EXPECT_EQ(store.lines().line_count(), 0);
    receive(store, frame_on(0x100));
    receive(store, frame_on(0x18FEF100, Ext));
    EXPECT_EQ(store.lines().line_count(), 2);

    store.set_standard_filter(nullptr);
    receive(store, frame_on(0x101));
    EXPECT_EQ(store.lines().line_count(), 3);
    store.release_filters();
    EXPECT_EQ(store.extended_filter(), nullptr);
}

TEST(TraceMessageStore, FramesWithoutRoomAreCountedAndReportedOncePerBurst)
{
    vyr_test::VyrTestShell shell;
    VyrCanIf can("CAN", &shell, &shell.notification);
    VyrTraceMessageQueue store;
    store.set_interface(&can);
    VyrMessageQueue &intake = store.intake();
    // No tick comes while more frames arrive than the intake has room for.
    uint64_t refused = 0;
    const uint32_t offered = 2 * VyrTraceMessageQueue::intake_block_size + VyrTraceMessageQueue::intake_minimum_reserve;
    for (uint32_t n = 0; n < offered; ++n)
        refused += intake.put(frame_on(n % 2048, 0, 0, n)) != 0;
    ASSERT_GT(refused, 0u);
    EXPECT_EQ(store.lost_count(), refused);
    // The burst is over once a tick finds no new loss; then it is reported once.
    const uint32_t taken = store.take_over();
    EXPECT_EQ(taken + refused, offered);
    store.take_over();
    store.take_over();
    const std::string expected = "Warning in CAN 1: Trace window lost " + std::to_string(refused) +
        " messages: it could not take them over in time.\n";
    ASSERT_TRUE(shell.wait_until([&] { return !shell.lines.empty(); }, 2000));
    std::vector<std::string> texts;
    for (const vyr_test::VyrTestShell::Line &line : shell.lines)
        texts.push_back(line.text);
    EXPECT_EQ(texts, std::vector<std::string>{expected});
}

// The receive thread appends numbered frames while the tick takes them over:
// every frame is in the scrolling list, in order, or counted as lost.
TEST(TraceMessageStore, AReceiveThreadAndTheTickLoseNothingUncounted)
{
    VyrTraceMessageQueue store;
    constexpr uint32_t count = 300000;
    std::atomic<bool> done{false};
    std::thread receiver([&] {
        for (uint32_t n = 0; n < count; ++n)
            store.intake().put(frame_on(0x100, 0, 0, n));
        done = true;
    });
    VyrMessageRing<VyrCanMessage> &list = store.ring();
    uint64_t shown = 0;
    uint32_t last = 0;
    bool in_order = true;
    for (bool finished = false; !finished;) {
        finished = done.load();
        store.take_over();
        for (; !list.is_rp_at_wp(); list.move_read_pointer(1), ++shown) {
            const uint32_t time = list.read_record().time;
            in_order &= shown == 0 || time > last;
            last = time;
        }
    }
    receiver.join();
    EXPECT_TRUE(in_order);
    EXPECT_EQ(shown + store.lost_count(), count);
    EXPECT_EQ(store.lines().read_line(1).counter, shown);
}

TEST(TraceLineTable, J1939GroupsOfOneSourceSpreadOverTheBuckets)
{
    // Parameter groups 0xFE00-0xFEFF of source address 0x00 share their low 11 bits in groups of 8.
    std::set<int> buckets;
    for (uint32_t pgn = 0xFE00; pgn <= 0xFEFF; ++pgn)
        buckets.insert(TraceLineTable::bucket_of((0x18u << 24 | pgn << 8) & 0x1FFFFFFF));
    EXPECT_EQ(buckets.size(), 256u);
    // A standard identifier keeps its own bucket.
    for (uint32_t id : {0u, 0x7FFu, 0x123u})
        EXPECT_EQ(TraceLineTable::bucket_of(id), int(id));
}

} // namespace
