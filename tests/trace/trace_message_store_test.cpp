// The trace's message store with records put directly, as the receive
// thread would: the line identity of the fixed-position table, the full
// table and its message, the filters, filter sets replaced while a put may
// read them, and lines read by the GUI thread while the writer rewrites them.
#include "interfaces/can/vyr_can_if.h"
#include "vyr_test_shell.h"
#include "windows/trace/vyr_trace_message_queue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <set>
#include <thread>

namespace {

VyrCanMessage frame(uint32_t id, uint32_t flags = 0, uint8_t channel = 0, uint32_t time = 0)
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
        {"standard and extended of one identifier", frame(0x100), frame(0x100, Ext), 2},
        {"sent and received", frame(0x100), frame(0x100, Tx), 2},
        {"remote and data", frame(0x100), frame(0x100, VyrCanMessage::Remote), 2},
        {"two channels", frame(0x100, 0, 0), frame(0x100, 0, 1), 1},
        {"error frames of different identifiers", frame(0x100, VyrCanMessage::ErrorFrame),
         frame(0x7FF, VyrCanMessage::ErrorFrame), 1},
        {"CAN FD and classic", frame(0x100), frame(0x100, VyrCanMessage::FdFrame), 1},
        {"two identifiers", frame(0x100), frame(0x101), 2},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        VyrTraceMessageQueue store;
        EXPECT_TRUE(store.empty());
        EXPECT_EQ(store.put(c.first), 0);
        EXPECT_EQ(store.put(c.second), 0);
        EXPECT_FALSE(store.empty());
        ASSERT_EQ(store.lines().line_count(), c.lines);
        const TraceLineData last = store.lines().read_line(c.lines);
        EXPECT_EQ(last.counter, c.lines == 1 ? 2u : 1u);
    }
}

TEST(TraceMessageStore, ErrorFramesShareOneLineWithIdentifierZero)
{
    VyrTraceMessageQueue store;
    VyrCanMessage error = frame(0x123, VyrCanMessage::ErrorFrame);
    error.dlc = 5;
    store.put(error);
    error.id = 0x456;
    store.put(error);
    ASSERT_EQ(store.lines().line_count(), 1);
    const TraceLineData line = store.lines().read_line(1);
    EXPECT_EQ(line.message.id, 0u);
    EXPECT_EQ(line.message.dlc, 0);
    EXPECT_EQ(line.counter, 2u);
}

TEST(TraceMessageStore, ALineKeepsThePreviousTime)
{
    VyrTraceMessageQueue store;
    VyrCanMessage message = frame(0x10, 0, 0, 1000);
    message.time_fraction = 25;
    store.put(message);
    TraceLineData line = store.lines().read_line(1);
    EXPECT_EQ(line.previous_ms, 1000u);
    EXPECT_EQ(line.previous_us, 250u);
    message.time = 1500;
    message.time_fraction = 3;
    message.data[0] = 0xAB;
    store.put(message);
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
        store.put(frame(id, Ext));
    store.put(frame(0x1FFF0000, Ext, 0, 77));
    store.put(frame(0x1FFF0001, Ext, 0, 78));
    shell.wait_until([&] { return full_lines() >= 1; }, 2000);
    ASSERT_EQ(store.lines().line_count(), TraceLineTable::max_lines);
    const TraceLineData last = store.lines().read_line(TraceLineTable::max_lines);
    EXPECT_EQ(last.message.id, 0x1FFF0001u);
    EXPECT_EQ(last.counter, 3u);
    EXPECT_EQ(last.previous_ms, 77u);
    EXPECT_EQ(full_lines(), 1);

    // The last line now answers to its newest kind.
    store.put(frame(0x1FFF0001, Ext));
    EXPECT_EQ(store.lines().read_line(TraceLineTable::max_lines).counter, 4u);

    store.clear();
    EXPECT_EQ(store.lines().line_count(), 0);
    EXPECT_TRUE(store.empty());
    for (uint32_t id = 0; id <= TraceLineTable::max_lines; ++id)
        store.put(frame(id));
    shell.wait_until([&] { return full_lines() >= 2; }, 2000);
    EXPECT_EQ(full_lines(), 2);
    EXPECT_EQ(store.lines().read_line(1).message.id, 0u);
}

TEST(TraceMessageStore, AFullTableWithoutInterfaceSaysNothing)
{
    VyrTraceMessageQueue store;
    for (uint32_t id = 0; id <= TraceLineTable::max_lines; ++id)
        EXPECT_EQ(store.put(frame(id)), 0);
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

    store.put(frame(0x101));
    store.put(frame(0x18FEF101, Ext));
    EXPECT_TRUE(store.empty());
    EXPECT_EQ(store.lines().line_count(), 0);
    store.put(frame(0x100));
    store.put(frame(0x18FEF100, Ext));
    EXPECT_EQ(store.lines().line_count(), 2);

    store.set_standard_filter(nullptr);
    store.put(frame(0x101));
    EXPECT_EQ(store.lines().line_count(), 3);
    store.release_filters();
    EXPECT_EQ(store.extended_filter(), nullptr);
}

TEST(TraceFilterSlot, AReplacedSetLivesWhileAPassThatMayReadItRuns)
{
    PutSequence sequence;
    TraceFilterSlot<IdBitSet> slot(sequence);
    slot.replace(std::make_unique<IdBitSet>(0, 16));
    EXPECT_EQ(slot.retired_count(), 0);

    // No pass running at the swap: the old set goes at once.
    slot.replace(std::make_unique<IdBitSet>(0, 32));
    EXPECT_EQ(slot.retired_count(), 0);
    {
        PutSequence::Guard pass(sequence);
        const IdBitSet *read = slot.get();
        slot.replace(std::make_unique<IdBitSet>(0, 64));
        EXPECT_EQ(slot.retired_count(), 1);
        EXPECT_EQ(read->count(), 32u); // still readable
        slot.replace(std::make_unique<IdBitSet>(0, 128));
        EXPECT_EQ(slot.retired_count(), 2);
    }
    slot.replace(nullptr);
    EXPECT_EQ(slot.retired_count(), 0);
    EXPECT_EQ(slot.get(), nullptr);
}

TEST(TraceFilterSlot, SetsSwappedUnderARunningWriterAreNeverReadFreed)
{
    // Under the address sanitizer a set freed too early is a finding.
    VyrTraceMessageQueue store;
    std::atomic<bool> done{false};
    std::thread writer([&] {
        uint32_t id = 0;
        while (!done.load())
            store.put(frame(id++ % 2048));
    });
    while (store.empty())
        std::this_thread::yield();
    for (int i = 0; i < 20000; ++i) {
        auto set = std::make_unique<IdBitSet>(0, VyrTraceMessageQueue::standard_id_count);
        set->set_all();
        store.set_standard_filter(std::move(set));
    }
    done.store(true);
    writer.join();
    store.release_filters();
    EXPECT_EQ(store.standard_filter(), nullptr);
}

TEST(TraceLineTable, TheGuiNeverReadsAHalfWrittenLine)
{
    VyrTraceMessageQueue store;
    std::atomic<bool> done{false};
    std::thread writer([&] {
        VyrCanMessage message = frame(0x42);
        for (uint32_t n = 1; !done.load(); ++n) {
            message.time = n;
            for (uint8_t &byte : message.data)
                byte = uint8_t(n);
            store.put(message);
        }
    });
    while (store.lines().line_count() == 0)
        std::this_thread::yield();
    for (int i = 0; i < 200000; ++i) {
        const TraceLineData line = store.lines().read_line(1);
        // Counter, time and every data byte come from one message.
        ASSERT_EQ(line.counter, line.message.time);
        for (uint8_t byte : line.message.data)
            ASSERT_EQ(byte, uint8_t(line.message.time));
        ASSERT_EQ(line.previous_ms, line.message.time == 1 ? 1 : line.message.time - 1);
    }
    done.store(true);
    writer.join();
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
