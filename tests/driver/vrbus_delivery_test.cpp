// Frame delivery between the handles of the virtual bus, filters, bus state,
// statistics, bit timing and auto responses, through the real socket.
#include "tests/driver/vrbus_fixture.h"

#include "platform/event.h"

#include <sys/eventfd.h>

using namespace vrbus_test;

namespace {

class VrbusDelivery : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(daemon.ready());
        a = open_on_bus("vrbus0a.init");
        b = open_on_bus("vrbus0a.2");
        // The chip-state records of going on bus.
        read_all(*a);
        read_all(*b);
    }

    // The frames b receives for one frame written on a.
    std::vector<MessageRecord> b_receives(const MessageRecord &written)
    {
        EXPECT_EQ(write_records(*a, {written}), STATUS_SUCCESS);
        return frames_of(read_all(*b));
    }

    Daemon daemon;
    std::unique_ptr<DeviceFile> a;
    std::unique_ptr<DeviceFile> b;
};

TEST_F(VrbusDelivery, FramesTravelBothWaysWithTheSendersEchoes)
{
    ASSERT_EQ(control(*b, kSetChannelIndex, {0x107}).status, STATUS_SUCCESS);
    MessageRecord written = frame(0x123, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12});
    written.length = 12;
    uint32_t bytes = 0;
    ASSERT_EQ(write_records(*a, {written}, &bytes), STATUS_SUCCESS);
    EXPECT_EQ(bytes, 22u);

    const auto received = read_all(*b);
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].kind, vrbus::record::kFrame);
    EXPECT_EQ(received[0].channel, 0x07); // the low byte of b's channel index
    EXPECT_EQ(uint32_t(received[0].id), 0x123u);
    EXPECT_EQ(received[0].flags, 0);
    EXPECT_EQ(received[0].length, 8); // limited to 8
    EXPECT_EQ(received[0].data[7], 8);
    const auto echo = read_all(*a);
    ASSERT_EQ(echo.size(), 1u);
    EXPECT_EQ(echo[0].flags, vrbus::record::kTxAcknowledge); // the default channel mode

    // With transmit requests on, the sender sees its frame twice.
    ASSERT_EQ(control(*a, kSetChannelMode, {1, 1}).status, STATUS_SUCCESS);
    ASSERT_EQ(write_records(*a, {frame(0x124)}), STATUS_SUCCESS);
    const auto echoes = read_all(*a);
    ASSERT_EQ(echoes.size(), 2u);
    EXPECT_EQ(echoes[0].flags, vrbus::record::kTxRequest);
    EXPECT_EQ(echoes[1].flags, vrbus::record::kTxAcknowledge);
    EXPECT_EQ(frames_of(read_all(*b)).size(), 1u);

    // Without either mode a sender gets its frame back as an ordinary one.
    ASSERT_EQ(control(*a, kSetChannelMode, {0, 0}).status, STATUS_SUCCESS);
    ASSERT_EQ(write_records(*a, {frame(0x125)}), STATUS_SUCCESS);
    const auto plain = read_all(*a);
    ASSERT_EQ(plain.size(), 1u);
    EXPECT_EQ(plain[0].flags, 0);

    // The other way, extended, remote.
    ASSERT_EQ(write_records(*b, {frame(0x80012345, {}, vrbus::record::kRemote)}), STATUS_SUCCESS);
    const auto back = frames_of(read_all(*a));
    ASSERT_EQ(back.size(), 1u);
    EXPECT_EQ(uint32_t(back[0].id), 0x80012345u);
    EXPECT_EQ(back[0].flags, vrbus::record::kRemote);
}

TEST_F(VrbusDelivery, IdentifiersAndFlagsAreCutToWhatTheBusCarries)
{
    const struct
    {
        uint32_t id;
        uint8_t flags;
        uint32_t received_id;
        uint8_t received_flags;
    } table[] = {
        {0x1234, 0, 0x234, 0},             // 11 bits
        {0xFFFFFFFF, 0, 0x9FFFFFFF, 0},    // bits 29 and 30 cleared
        {0x10, 0xDE, 0x10, 0x10},          // of the written flags only remote passes here
        {0x10, 0x01, 0x10, 0x01},          // and the error frame flag
    };
    for (const auto &row : table) {
        const auto received = b_receives(frame(row.id, {}, row.flags));
        ASSERT_EQ(received.size(), 1u) << std::hex << row.id;
        EXPECT_EQ(uint32_t(received[0].id), row.received_id);
        EXPECT_EQ(received[0].flags, row.received_flags);
    }
}

TEST_F(VrbusDelivery, AWriteShorterThanOneRecordSendsNothing)
{
    const MessageRecord record = frame(0x125);
    uint32_t bytes = 1;
    a->write(&record, sizeof record - 1, &bytes);
    EXPECT_EQ(a->last_status(), STATUS_SUCCESS);
    EXPECT_EQ(bytes, 0u);
    EXPECT_TRUE(read_all(*b).empty());
    EXPECT_EQ(b_receives(frame(0x126)).size(), 1u); // the daemon still serves
}

TEST_F(VrbusDelivery, StandardAndExtendedAcceptance)
{
    ASSERT_EQ(control(*b, kSetAcceptance, {0x7F0, 0x120}).status, STATUS_SUCCESS);
    std::vector<MessageRecord> written;
    for (uint32_t id = 0x110; id < 0x140; ++id)
        written.push_back(frame(id));
    ASSERT_EQ(write_records(*a, written), STATUS_SUCCESS);
    auto passed = frames_of(read_all(*b));
    ASSERT_EQ(passed.size(), 16u);
    EXPECT_EQ(uint32_t(passed.front().id), 0x120u);
    EXPECT_EQ(uint32_t(passed.back().id), 0x12Fu);
    EXPECT_EQ(b_receives(frame(0x80000120)).size(), 1u); // extended frames are not filtered yet
    // The highest standard identifier passes once it is accepted.
    EXPECT_TRUE(b_receives(frame(0x7FF)).empty());
    ASSERT_EQ(control(*b, kSetAcceptance, {0x7FF, 0x7FF}).status, STATUS_SUCCESS);
    EXPECT_EQ(b_receives(frame(0x7FF)).size(), 1u);

    ASSERT_EQ(control(*b, kAcceptStdRange, {0x300, 0x301}).status, STATUS_SUCCESS);
    EXPECT_EQ(b_receives(frame(0x301)).size(), 1u);
    ASSERT_EQ(control(*b, kRejectStdRange, {0x301, 0x301}).status, STATUS_SUCCESS);
    EXPECT_TRUE(b_receives(frame(0x301)).empty());

    ASSERT_EQ(control(*b, kClearAcceptanceStd).status, STATUS_SUCCESS);
    EXPECT_TRUE(b_receives(frame(0x120)).empty());
    // A sender's own frames always pass its filter.
    ASSERT_EQ(control(*a, kClearAcceptanceStd).status, STATUS_SUCCESS);
    read_all(*a);
    ASSERT_EQ(write_records(*a, {frame(0x7)}), STATUS_SUCCESS);
    EXPECT_EQ(frames_of(read_all(*a)).size(), 1u);

    // Extended: (identifier AND mask) = code, on the 29 bits.
    ASSERT_EQ(control(*b, kSetAcceptance, {0x8000FF00, 0x80001200}).status, STATUS_SUCCESS);
    EXPECT_EQ(b_receives(frame(0x800312AB)).size(), 1u);
    EXPECT_TRUE(b_receives(frame(0x800313AB)).empty());
    ASSERT_EQ(control(*b, 0x80002020).status, STATUS_SUCCESS); // extended filter off
    EXPECT_EQ(b_receives(frame(0x800313AB)).size(), 1u);
}

TEST_F(VrbusDelivery, FullQueueOverrunsAndMarksTheNextStoredRecord)
{
    auto small = open_on_bus("vrbus0a.3", 4); // holds three
    auto none = open_on_bus("vrbus0a.4", 1);  // holds nothing
    read_all(*small);
    std::vector<MessageRecord> written;
    for (uint32_t id = 1; id <= 5; ++id)
        written.push_back(frame(id));
    ASSERT_EQ(write_records(*a, written), STATUS_SUCCESS);
    auto kept = read_all(*small);
    ASSERT_EQ(kept.size(), 3u);
    EXPECT_EQ(uint32_t(kept[2].id), 3u);
    EXPECT_EQ(kept[0].flags, 0);
    EXPECT_TRUE(read_all(*none).empty());

    // A frame that the filter drops does not take the overrun mark with it.
    ASSERT_EQ(control(*small, kSetAcceptance, {0x7FF, 0x6}).status, STATUS_SUCCESS);
    ASSERT_EQ(write_records(*a, {frame(0x5), frame(0x6)}), STATUS_SUCCESS);
    kept = read_all(*small);
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(uint32_t(kept[0].id), 6u);
    EXPECT_EQ(kept[0].flags, vrbus::record::kOverrun);
    // The mark goes with that one record only.
    ASSERT_EQ(write_records(*a, {frame(0x6)}), STATUS_SUCCESS);
    kept = read_all(*small);
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(kept[0].flags, 0);
}

TEST_F(VrbusDelivery, OverwriteModeDropsTheOldestOnlyWhileNoClientMapsTheQueue)
{
    auto reader = open_on_bus("vrbus0a.3", 4);
    read_all(*reader);
    ASSERT_EQ(control_bytes(*reader, kSetOverwriteMode, {1}, 0).status, STATUS_SUCCESS);
    std::vector<MessageRecord> written;
    for (uint32_t id = 1; id <= 5; ++id)
        written.push_back(frame(id));
    ASSERT_EQ(write_records(*a, written), STATUS_SUCCESS);
    auto kept = read_all(*reader);
    ASSERT_EQ(kept.size(), 3u);
    EXPECT_EQ(uint32_t(kept[0].id), 3u);
    EXPECT_EQ(kept[1].flags, vrbus::record::kOverrun);
    EXPECT_EQ(uint32_t(kept[2].id), 5u);
    EXPECT_EQ(kept[2].flags, vrbus::record::kOverrun);

    // A mapped queue's read index is the reader's: the new record is dropped.
    void *address = nullptr;
    ASSERT_EQ(reader->map_rx_queue(&address), 0);
    MappedQueue queue(address);
    ASSERT_EQ(write_records(*a, written), STATUS_SUCCESS);
    kept = queue.take_all();
    ASSERT_EQ(kept.size(), 3u);
    EXPECT_EQ(uint32_t(kept[0].id), 1u);
    EXPECT_EQ(uint32_t(kept[2].id), 3u);
    ASSERT_EQ(write_records(*a, {frame(9)}), STATUS_SUCCESS);
    ASSERT_TRUE(queue.take(&kept[0]));
    EXPECT_EQ(uint32_t(kept[0].id), 9u);
    EXPECT_EQ(kept[0].flags, vrbus::record::kOverrun);
}

TEST_F(VrbusDelivery, LockedQueueTakesNothingAndFlushClearsTheOverrun)
{
    void *address = nullptr;
    ASSERT_EQ(b->map_rx_queue(&address), 0);
    MappedQueue queue(address);
    ASSERT_EQ(control(*b, 0x800020A8).status, STATUS_SUCCESS); // lock
    EXPECT_EQ(queue.header(72), 1u);
    ASSERT_EQ(write_records(*a, {frame(0x1)}), STATUS_SUCCESS);
    ASSERT_EQ(control(*b, kRequestChipState).status, STATUS_SUCCESS);
    EXPECT_EQ(control(*b, kGetRxQueueLevel, {}, 4).word(0), 0u);
    ASSERT_EQ(control(*b, 0x800020AC).status, STATUS_SUCCESS); // unlock
    EXPECT_EQ(queue.header(72), 0u);

    // 64 entries hold 63: one frame overruns, and the flush forgets it.
    std::vector<MessageRecord> written(64, frame(0x2));
    ASSERT_EQ(write_records(*a, written), STATUS_SUCCESS);
    EXPECT_EQ(control(*b, kGetRxQueueLevel, {}, 4).word(0), 63u);
    ASSERT_EQ(control(*b, kFlushRxQueue).status, STATUS_SUCCESS);
    EXPECT_EQ(queue.header(64), queue.header(60));
    ASSERT_EQ(write_records(*a, {frame(0x3)}), STATUS_SUCCESS);
    const auto kept = queue.take_all();
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(kept[0].flags, 0);
}

TEST_F(VrbusDelivery, ChipStateAndStatisticsOnRequest)
{
    ASSERT_EQ(control(*b, kRequestChipState).status, STATUS_SUCCESS);
    auto records = read_all(*b);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].kind, vrbus::record::kChipState);
    EXPECT_EQ(records[0].bytes()[8], vrbus::record::kChipErrorActive);
    EXPECT_TRUE(read_all(*a).empty()); // only the requester

    ASSERT_EQ(write_records(*a, {frame(0x1, {1, 2}), frame(0x2, {}, vrbus::record::kRemote),
                                 frame(0x80000003, {1}), frame(0x0, {}, vrbus::record::kErrorFrame)}),
              STATUS_SUCCESS);
    ASSERT_EQ(write_records(*b, {frame(0x80000004, {}, vrbus::record::kRemote)}), STATUS_SUCCESS);
    read_all(*b);
    ASSERT_EQ(control(*b, kRequestStatistics).status, STATUS_SUCCESS);
    records = read_all(*b);
    ASSERT_EQ(records.size(), 2u);
    uint32_t word;
    uint16_t load;
    EXPECT_EQ(records[0].kind, vrbus::record::kFrameCounters);
    std::memcpy(&word, records[0].bytes() + 8, 4);
    EXPECT_EQ(word, 1u); // standard data
    std::memcpy(&word, records[0].bytes() + 12, 4);
    EXPECT_EQ(word, 1u); // standard remote
    std::memcpy(&word, records[0].bytes() + 16, 4);
    EXPECT_EQ(word, 1u); // error frames
    std::memcpy(&load, records[0].bytes() + 20, 2);
    EXPECT_LE(load, 10000);
    EXPECT_EQ(records[1].kind, vrbus::record::kExtFrameCounters);
    std::memcpy(&word, records[1].bytes() + 8, 4);
    EXPECT_EQ(word, 1u); // extended data
    std::memcpy(&word, records[1].bytes() + 12, 4);
    EXPECT_EQ(word, 1u); // extended remote, b's own

    // Both reports go into a queue with room for both, or neither does.
    auto small = open_on_bus("vrbus0a.3", 4); // holds three
    read_all(*small);
    ASSERT_EQ(write_records(*a, {frame(0x1)}), STATUS_SUCCESS);
    ASSERT_EQ(control(*small, kRequestStatistics).status, STATUS_SUCCESS);
    EXPECT_EQ(read_all(*small).size(), 3u);
    ASSERT_EQ(write_records(*a, {frame(0x1), frame(0x2)}), STATUS_SUCCESS);
    ASSERT_EQ(control(*small, kRequestStatistics).status, STATUS_SUCCESS);
    EXPECT_EQ(read_all(*small).size(), 2u);
    ASSERT_EQ(write_records(*a, {frame(0x3)}), STATUS_SUCCESS);
    records = read_all(*small);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].flags, 0) << "nothing overran";
}

TEST_F(VrbusDelivery, SuppressionKeepsOutErrorFramesAndBroadcastsButNotRequests)
{
    ASSERT_EQ(control(*b, kSetEventSuppression, {1, 1}).status, STATUS_SUCCESS);
    EXPECT_EQ(control(*b, 0x800020C8, {}, 8).word(1), 1u);
    EXPECT_TRUE(b_receives(frame(0, {}, vrbus::record::kErrorFrame)).empty());
    auto c = open_on_bus("vrbus0a.3");
    ASSERT_EQ(control(*b, kBusOff).status, STATUS_SUCCESS);
    ASSERT_EQ(control(*c, kBusOff).status, STATUS_SUCCESS);
    ASSERT_EQ(control(*a, kBusOff).status, STATUS_SUCCESS); // the last one: chip state 1, no one hears it
    ASSERT_EQ(control(*b, kBusOn).status, STATUS_SUCCESS); // the first again: broadcast, suppressed
    EXPECT_TRUE(read_all(*b).empty());
    ASSERT_EQ(control(*b, kRequestChipState).status, STATUS_SUCCESS);
    EXPECT_EQ(read_all(*b).size(), 1u);
}

TEST_F(VrbusDelivery, BusOffStopsDeliveryBothWays)
{
    ASSERT_EQ(control(*b, kBusOff).status, STATUS_SUCCESS);
    EXPECT_EQ(control(*b, kBusOff).status, STATUS_UNSUCCESSFUL);
    EXPECT_TRUE(b_receives(frame(0x10)).empty());
    uint32_t bytes = 99;
    EXPECT_EQ(write_records(*b, {frame(0x11)}, &bytes), STATUS_SUCCESS);
    EXPECT_EQ(bytes, 0u); // not on bus: nothing written
    EXPECT_TRUE(frames_of(read_all(*a)).size() == 1u); // only a's own echo
    EXPECT_EQ(control(*a, kBusOn).status, STATUS_UNSUCCESSFUL); // on bus already

    DeviceFile info;
    ASSERT_EQ(open_device(info, "vrbus0.info"), STATUS_SUCCESS);
    EXPECT_EQ(control(info, kBusOn).status, STATUS_ACCESS_DENIED); // no channel
    DeviceFile channel_a;
    ASSERT_EQ(open_device(channel_a, "vrbus0a.3"), STATUS_SUCCESS);
    EXPECT_EQ(control(channel_a, kGetChannelInfo, {}, 320).word(14), 0x0Cu); // on bus, not bus off
    ASSERT_EQ(control(*a, kBusOff).status, STATUS_SUCCESS);
    EXPECT_EQ(control(channel_a, kGetChannelInfo, {}, 320).word(14), 0u);
}

TEST_F(VrbusDelivery, BitTimingSearch)
{
    const struct
    {
        uint32_t bitrate, sample_point;
        NTSTATUS status;
        uint32_t tseg1, tseg2, reached;
    } table[] = {
        {500000, 75, STATUS_SUCCESS, 5, 2, 500000},
        {1000000, 75, STATUS_SUCCESS, 5, 2, 1000000},
        {125000, 87, STATUS_SUCCESS, 13, 2, 125000},
        {83333, 80, STATUS_SUCCESS, 12, 3, 83333},
        {5000, 75, STATUS_INVALID_PARAMETER, 0, 0, 0}, // its quantum would be the first one too long
        {4999, 75, STATUS_INVALID_PARAMETER, 0, 0, 0},
        {1000001, 75, STATUS_INVALID_PARAMETER, 0, 0, 0},
        {700000, 75, STATUS_INVALID_PARAMETER, 0, 0, 0}, // no fitting time quanta
    };
    for (const auto &row : table) {
        SCOPED_TRACE(row.bitrate);
        const auto reply = control(*a, kSetBitrate, {row.bitrate, row.sample_point}, 8);
        EXPECT_EQ(reply.status, row.status);
        if (row.status != STATUS_SUCCESS)
            continue;
        EXPECT_EQ(reply.word(0), row.reached);
        const auto params = control(*a, kGetChipParams, {}, 24);
        EXPECT_EQ(params.word(1), row.tseg1);
        EXPECT_EQ(params.word(2), row.tseg2);
        EXPECT_EQ(params.word(3), 1u);
        EXPECT_EQ(params.word(4), 1u); // one sample
        EXPECT_EQ(reply.word(1), params.word(5));
    }
    EXPECT_EQ(control(*b, kSetBitrate, {500000, 75}, 8).status, STATUS_ACCESS_DENIED); // not the init slot
}

TEST_F(VrbusDelivery, ChipParamsRefuseTimingThatCannotRun)
{
    EXPECT_EQ(control(*a, kSetChipParams, {500000, 4, 3, 1, 3, 0}).status, STATUS_SUCCESS);
    EXPECT_EQ(control(*a, kGetChipParams, {}, 24).word(4), 3u); // three samples, as set
    // Bit rate, tseg1, tseg2 and sjw at each end of their ranges and one past it.
    const struct
    {
        std::vector<uint32_t> params;
        NTSTATUS status;
    } table[] = {
        {{0, 4, 3, 1, 1, 0}, STATUS_INVALID_PARAMETER},
        {{4999, 4, 3, 1, 1, 0}, STATUS_INVALID_PARAMETER},
        {{5000, 4, 3, 1, 1, 0}, STATUS_SUCCESS},
        {{1000000, 4, 3, 1, 1, 0}, STATUS_SUCCESS},
        {{1000001, 4, 3, 1, 1, 0}, STATUS_INVALID_PARAMETER},
        {{500000, 0xFFFFFFFF, 0, 1, 1, 0}, STATUS_INVALID_PARAMETER},
        {{500000, 0, 3, 1, 1, 0}, STATUS_INVALID_PARAMETER},
        {{500000, 1, 3, 1, 1, 0}, STATUS_SUCCESS},
        {{500000, 256, 3, 1, 1, 0}, STATUS_SUCCESS},
        {{500000, 257, 3, 1, 1, 0}, STATUS_INVALID_PARAMETER},
        {{500000, 4, 0, 1, 1, 0}, STATUS_INVALID_PARAMETER},
        {{500000, 4, 1, 1, 1, 0}, STATUS_SUCCESS},
        {{500000, 4, 128, 1, 1, 0}, STATUS_SUCCESS},
        {{500000, 4, 129, 1, 1, 0}, STATUS_INVALID_PARAMETER},
        {{500000, 4, 3, 0, 1, 0}, STATUS_INVALID_PARAMETER},
        {{500000, 4, 3, 128, 1, 0}, STATUS_SUCCESS},
        {{500000, 4, 3, 129, 1, 0}, STATUS_INVALID_PARAMETER},
    };
    for (const auto &row : table) {
        SCOPED_TRACE(testing::Message() << row.params[0] << " " << row.params[1] << " " << row.params[2] << " "
                                        << row.params[3]);
        EXPECT_EQ(control(*a, kSetChipParams, row.params).status, row.status);
    }
    ASSERT_EQ(control(*a, kSetChipParams, {500000, 4, 3, 1, 3, 0}).status, STATUS_SUCCESS);
    EXPECT_EQ(control(*a, kGetChipParams, {}, 24).word(0), 500000u);
    ASSERT_EQ(control(*a, kRequestStatistics).status, STATUS_SUCCESS); // divides by the bit rate
}

TEST_F(VrbusDelivery, AutoResponseAnswersARemoteFrameInTheDefaultChannelMode)
{
    const auto slot = control(*b, kAllocAutoResponse, {0, 0, 0, 0, 1}, 20);
    ASSERT_EQ(slot.status, STATUS_SUCCESS);
    const uint32_t n = slot.word(0);
    ASSERT_EQ(control(*b, kWriteAutoResponse, {n, 0x321, 2, 0x0000BBAA, 0, 0}).status, STATUS_SUCCESS);
    ASSERT_EQ(control(*b, kSetAutoResponseFilter, {n, 0x320, 0x7FF, 0, 0}).status, STATUS_SUCCESS);
    ASSERT_EQ(control(*b, kSetAutoResponseFlags, {n, 0, 0, 1, 0}).status, STATUS_SUCCESS); // remote only
    ASSERT_EQ(control(*b, kEnableAutoResponse, {n, 0, 0, 0, 0}).status, STATUS_SUCCESS);

    ASSERT_EQ(write_records(*a, {frame(0x320, {}, vrbus::record::kRemote)}), STATUS_SUCCESS);
    auto at_a = frames_of(read_all(*a));
    ASSERT_EQ(at_a.size(), 2u);
    EXPECT_EQ(uint32_t(at_a[0].id), 0x320u); // a's acknowledgement
    EXPECT_EQ(uint32_t(at_a[1].id), 0x321u); // b's answer
    EXPECT_EQ(at_a[1].flags, 0);
    EXPECT_EQ(at_a[1].length, 2);
    EXPECT_EQ(at_a[1].data[0], 0xAA);
    EXPECT_EQ(at_a[1].data[1], 0xBB);
    const auto at_b = frames_of(read_all(*b));
    ASSERT_EQ(at_b.size(), 2u);
    EXPECT_EQ(at_b[1].flags, vrbus::record::kTxAcknowledge); // b's own answer echoed

    // A data frame does not match a remote-only slot.
    ASSERT_EQ(write_records(*a, {frame(0x320, {1})}), STATUS_SUCCESS);
    EXPECT_EQ(frames_of(read_all(*a)).size(), 1u);

    // Frames that arrive before the answer goes out mark the slot once: one answer.
    const MessageRecord request = frame(0x320, {}, vrbus::record::kRemote);
    ASSERT_EQ(write_records(*a, {request, request, request}), STATUS_SUCCESS);
    const auto burst = frames_of(read_all(*a));
    EXPECT_EQ(std::count_if(burst.begin(), burst.end(), [](const MessageRecord &r) { return r.id == 0x321; }), 1);
}

TEST_F(VrbusDelivery, AutoResponsesAnsweringEachOtherLeaveTheDaemonServing)
{
    // a answers 0x200 with 0x201 and b answers 0x201 with 0x200: once started,
    // the two go on answering each other while both slots are enabled (and
    // their queues, which nobody reads here, keep taking frames).
    const auto answer = [](DeviceFile &device, uint32_t heard, uint32_t said) {
        EXPECT_EQ(control(device, kSetOverwriteMode, {1}).status, STATUS_SUCCESS);
        const uint32_t n = control(device, kAllocAutoResponse, {0, 0, 0, 0, 1}, 20).word(0);
        EXPECT_EQ(control(device, kWriteAutoResponse, {n, said, 0, 0, 0, 0}).status, STATUS_SUCCESS);
        EXPECT_EQ(control(device, kSetAutoResponseFilter, {n, heard, 0x7FF, 0, 0}).status, STATUS_SUCCESS);
        EXPECT_EQ(control(device, kEnableAutoResponse, {n, 0, 0, 0, 0}).status, STATUS_SUCCESS);
        return n;
    };
    const uint32_t slot = answer(*a, 0x200, 0x201);
    answer(*b, 0x201, 0x200);
    auto c = open_on_bus("vrbus0a.3");
    ASSERT_EQ(write_records(*c, {frame(0x200)}), STATUS_SUCCESS);

    // Other clients are served meanwhile, and a can end the exchange.
    ASSERT_TRUE(daemon_serves(daemon, [] {
        DeviceFile d;
        EXPECT_EQ(open_device(d, "vrbus0a.4"), STATUS_SUCCESS);
    }));
    ASSERT_TRUE(daemon_serves(daemon, [&] {
        EXPECT_EQ(control(*a, kDisableAutoResponse, {slot, 0, 0, 0, 0}).status, STATUS_SUCCESS);
    }));
    EXPECT_GT(control(*c, kGetRxQueueLevel, {}, 4).word(0), 1u); // c heard the exchange
    ASSERT_EQ(control(*c, kFlushRxQueue).status, STATUS_SUCCESS);
    EXPECT_EQ(control(*c, kGetRxQueueLevel, {}, 4).word(0), 0u); // and it has ended
}

TEST_F(VrbusDelivery, AnEventThatTakesNoMoreDoesNotStallTheDaemon)
{
    // A blocking eventfd that its client filled to the limit: one more
    // signal would block the writer.
    const int full = eventfd(0, EFD_CLOEXEC);
    const uint64_t limit = 0xFFFFFFFFFFFFFFFEu;
    ASSERT_EQ(::write(full, &limit, sizeof limit), ssize_t(sizeof limit));
    ASSERT_EQ(control(*b, kSetNotification, {uint32_t(full), 1}).status, STATUS_SUCCESS);
    ASSERT_EQ(control(*b, kSetEvents, {0, uint32_t(full), 0, 0}).status, STATUS_SUCCESS);
    EXPECT_TRUE(daemon_serves(daemon, [&] { EXPECT_EQ(write_records(*a, {frame(0x10)}), STATUS_SUCCESS); }));
    EXPECT_EQ(frames_of(read_all(*b)).size(), 1u);
    close(full);
}

TEST_F(VrbusDelivery, CanFdRecordsAreRefused)
{
    MessageRecord continuation = frame(0);
    continuation.kind = vrbus::record::kContinuation;
    uint32_t bytes = 99;
    EXPECT_EQ(write_records(*a, {frame(0x1), continuation}, &bytes), STATUS_INVALID_PARAMETER);
    EXPECT_EQ(bytes, 0u);
    EXPECT_EQ(write_records(*a, {frame(0x2, {1, 2, 3}, vrbus::record::kFdFrame)}), STATUS_INVALID_PARAMETER);
    EXPECT_TRUE(read_all(*b).empty()); // nothing of either write went out
}

TEST_F(VrbusDelivery, EventTableSignalsReceiveAcknowledgeAndChipState)
{
    platform::Event transmitted, received, chip_state;
    ASSERT_EQ(control(*a, kSetEvents, {uint32_t(transmitted.fd()), 0, uint32_t(chip_state.fd()), 0}).status,
              STATUS_SUCCESS);
    ASSERT_EQ(control(*b, kSetEvents, {0, uint32_t(received.fd()), 0, 0}).status, STATUS_SUCCESS);
    ASSERT_EQ(write_records(*a, {frame(0x10)}), STATUS_SUCCESS);
    EXPECT_TRUE(transmitted.is_set());
    EXPECT_TRUE(received.is_set());
    EXPECT_FALSE(chip_state.is_set());
    ASSERT_EQ(control(*a, kRequestChipState).status, STATUS_SUCCESS);
    EXPECT_TRUE(chip_state.is_set());
}

TEST_F(VrbusDelivery, LongWritesGoAsSeveralRequests)
{
    auto big = open_on_bus("vrbus0a.3", 4096);
    std::vector<MessageRecord> written;
    for (uint32_t id = 0; id < 3000; ++id)
        written.push_back(frame(id & 0x7FF, {uint8_t(id), uint8_t(id >> 8)}));
    uint32_t bytes = 0;
    ASSERT_EQ(write_records(*a, written, &bytes), STATUS_SUCCESS);
    EXPECT_EQ(bytes, 3000u * 22);
    EXPECT_EQ(control(*big, kGetRxQueueLevel, {}, 4).word(0), 3000u);
    void *address = nullptr;
    ASSERT_EQ(big->map_rx_queue(&address), 0);
    const auto kept = MappedQueue(address).take_all();
    ASSERT_EQ(kept.size(), 3000u);
    EXPECT_EQ(kept[2999].data[0] | kept[2999].data[1] << 8, 2999);
}

} // namespace
