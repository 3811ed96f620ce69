// The control codes' preconditions, buffer sizes and output records.
#include "tests/driver/vrbus_fixture.h"

using namespace vrbus_test;

namespace {

class VrbusControlCodes : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(daemon.ready());
        ASSERT_EQ(open_device(init, "vrbus0a.init"), STATUS_SUCCESS);
        ASSERT_EQ(control(init, kSetRxQueueSize, {16}).status, STATUS_SUCCESS);
        ASSERT_EQ(open_device(slot, "vrbus0a.2"), STATUS_SUCCESS);
        ASSERT_EQ(open_device(info, "vrbus0.info"), STATUS_SUCCESS);
    }

    Daemon daemon;
    DeviceFile init; // init access, with a queue
    DeviceFile slot; // no init access, no queue
    DeviceFile info; // no channel
};

TEST_F(VrbusControlCodes, BufferSizesAndPreconditionsGiveTheirStatuses)
{
    const struct
    {
        const char *device;
        uint32_t code;
        uint32_t in_len;
        uint32_t out_len;
        NTSTATUS status;
    } table[] = {
        {"init", kSetChipParams, 20, 0, STATUS_INVALID_PARAMETER},
        {"slot", kSetChipParams, 24, 0, STATUS_ACCESS_DENIED}, // before the length
        {"slot", kSetChipParams, 20, 0, STATUS_ACCESS_DENIED},
        {"info", kSetBitrate, 8, 8, STATUS_ACCESS_DENIED},
        {"init", kSetBitrate, 8, 4, STATUS_INVALID_PARAMETER},
        {"init", kGetChipParams, 0, 20, STATUS_INVALID_PARAMETER},
        {"info", kGetChipParams, 0, 24, STATUS_UNSUCCESSFUL},
        {"info", kGetCardInfo, 0, 376, STATUS_SUCCESS},
        {"info", kGetCardInfo, 0, 375, STATUS_INVALID_PARAMETER},
        {"info", kListChannels, 0, 516, STATUS_SUCCESS},
        {"slot", kGetChannelInfo, 0, 324, STATUS_INVALID_PARAMETER}, // the newer card drivers' size
        {"slot", kGetChannelInfo, 0, 320, STATUS_SUCCESS},
        {"info", kGetChannelInfo, 0, 320, STATUS_UNSUCCESSFUL},
        {"info", kSetChannelMode, 4, 0, STATUS_INVALID_PARAMETER}, // the length is tested first here
        {"info", kSetChannelMode, 8, 0, STATUS_UNSUCCESSFUL},
        {"info", kBusOff, 0, 0, STATUS_ACCESS_DENIED},
        {"slot", kGetRxQueueLevel, 0, 4, STATUS_UNSUCCESSFUL}, // no queue
        {"slot", kSetEvents, 16, 0, STATUS_UNSUCCESSFUL},
        {"init", kSetRxQueueSize, 8, 0, STATUS_INVALID_PARAMETER},
        {"init", kSetHandleName, 64, 0, STATUS_INVALID_PARAMETER},
        {"init", kGetHandleInfo, 92, 92, STATUS_UNSUCCESSFUL}, // index 99: no such handle
        {"init", kGetLogMessage, 0, 80, STATUS_INVALID_PARAMETER},
        {"init", kAllocAutoResponse, 20, 4, STATUS_INVALID_PARAMETER},
        {"init", 0x80002818, 0, 0, STATUS_UNSUCCESSFUL}, // no auto-response table yet
        {"init", kSetOverwriteMode, 0, 0, STATUS_INVALID_PARAMETER},
        {"init", 0x8000284C, 0, 1, STATUS_INVALID_PARAMETER},
        {"info", 0x8000284C, 0, 2, STATUS_SUCCESS},
        {"init", kRejectStdRange, 8, 0, STATUS_INSUFFICIENT_RESOURCES}, // no standard filter yet
        {"init", kGetChannelName, 4, 552, STATUS_SUCCESS},
        {"init", 0x800020E4, 24, 0, STATUS_NOT_IMPLEMENTED}, // data-phase bit timing: no CAN FD here
        {"init", 0x80002914, 48, 48, STATUS_NOT_IMPLEMENTED}, // open mode
        {"init", 0x80002924, 72, 72, STATUS_NOT_IMPLEMENTED}, // user channel name
    };
    for (const auto &row : table) {
        SCOPED_TRACE(std::string(row.device) + " " + std::to_string(row.code - 0x80000000));
        DeviceFile &device = std::string(row.device) == "init" ? init : std::string(row.device) == "slot" ? slot : info;
        std::vector<uint8_t> input(row.in_len, 0);
        if (row.code == kGetHandleInfo)
            input[0] = 99; // no 100th handle
        ControlReply reply;
        reply.out.assign(row.out_len, 0);
        uint32_t returned = 0;
        device.io_control(row.code, input.data(), row.in_len, reply.out.data(), row.out_len, &returned);
        EXPECT_EQ(device.last_status(), row.status);
        EXPECT_EQ(returned, row.out_len); // whatever the status
    }
}

TEST_F(VrbusControlCodes, RangesAndIndicesAreChecked)
{
    EXPECT_EQ(control(init, kAcceptStdRange, {5, 4}).status, STATUS_INVALID_PARAMETER);
    EXPECT_EQ(control(init, kAcceptStdRange, {0, 2048}).status, STATUS_INVALID_PARAMETER);
    EXPECT_EQ(control(init, kAcceptStdRange, {0, 2047}).status, STATUS_SUCCESS);
    EXPECT_EQ(control(init, kRejectStdRange, {7, 3}).status, STATUS_INVALID_PARAMETER);
    EXPECT_EQ(control(init, kRejectStdRange, {0, 2048}).status, STATUS_INVALID_PARAMETER);
    EXPECT_EQ(control(init, kRejectStdRange, {0, 2047}).status, STATUS_SUCCESS);
    // A range of one identifier.
    EXPECT_EQ(control(init, kAcceptStdRange, {3, 3}).status, STATUS_SUCCESS);
    EXPECT_EQ(control(init, kRejectStdRange, {3, 3}).status, STATUS_SUCCESS);
    EXPECT_EQ(control(init, kGetChannelName, {2}, 552).status, STATUS_INVALID_PARAMETER); // two channels
    EXPECT_EQ(control(init, 0x8000280C, {0, 100}).status, STATUS_INVALID_PARAMETER);
    EXPECT_EQ(control(init, 0x8000280C, {0x1000, 100}).status, STATUS_SUCCESS);
    EXPECT_EQ(control(init, kWriteAutoResponse, {0, 1, 0, 0, 0, 0}).status, STATUS_UNSUCCESSFUL); // no table
}

TEST_F(VrbusControlCodes, HandleNamesAreUniqueOnTheirChannel)
{
    std::vector<uint8_t> name(65, 0);
    std::memcpy(name.data(), "BUSLIB32.0.1a2b.0", 17);
    EXPECT_EQ(control_bytes(init, kSetHandleName, name, 0).status, STATUS_SUCCESS);
    EXPECT_EQ(control_bytes(init, kSetHandleName, name, 0).status, STATUS_UNSUCCESSFUL); // its own name
    EXPECT_EQ(control_bytes(slot, kSetHandleName, name, 0).status, STATUS_UNSUCCESSFUL);
    DeviceFile other_channel;
    ASSERT_EQ(open_device(other_channel, "vrbus0b.2"), STATUS_SUCCESS);
    EXPECT_EQ(control_bytes(other_channel, kSetHandleName, name, 0).status, STATUS_SUCCESS);
    const std::vector<uint8_t> empty(65, 0);
    EXPECT_EQ(control_bytes(slot, kSetHandleName, empty, 0).status, STATUS_SUCCESS);
    EXPECT_EQ(control_bytes(slot, kSetHandleName, empty, 0).status, STATUS_SUCCESS);

    // Handle information walks the handles of every channel, the newest first.
    ASSERT_EQ(control(init, kBusOn).status, STATUS_SUCCESS);
    std::vector<std::string> names;
    for (uint8_t n = 0;; ++n) {
        std::vector<uint8_t> index(92, 0);
        index[0] = n;
        const auto handle = control_bytes(info, kGetHandleInfo, index, 92);
        if (handle.status != STATUS_SUCCESS)
            break;
        names.emplace_back(reinterpret_cast<const char *>(handle.out.data() + 4));
        if (names.back() == "BUSLIB32.0.1a2b.0" && handle.word(19) == 0) {
            EXPECT_EQ(handle.word(18), 0u); // card
            EXPECT_EQ(handle.word(20), 1u);
            EXPECT_EQ(handle.word(21), 1u); // on bus
            EXPECT_EQ(handle.word(22), 1u); // init access
        }
    }
    EXPECT_EQ(names, (std::vector<std::string>{"", "BUSLIB32.0.1a2b.0", "BUSLIB32.0.1a2b.0"}));
}

TEST_F(VrbusControlCodes, NinthAutoResponseSlotIsRefused)
{
    for (uint32_t n = 0; n < 8; ++n) {
        const auto slot_reply = control(init, kAllocAutoResponse, {0, 0, 0, 0, 1}, 20);
        ASSERT_EQ(slot_reply.status, STATUS_SUCCESS);
        EXPECT_EQ(slot_reply.word(0), n);
    }
    EXPECT_EQ(control(init, kAllocAutoResponse, {0, 0, 0, 0, 1}, 20).status, STATUS_UNSUCCESSFUL);
    EXPECT_EQ(control(init, 0x80002820, {8, 0, 0, 0, 0}).status, STATUS_UNSUCCESSFUL); // free: no slot 8
    EXPECT_EQ(control(init, 0x80002820, {7, 0, 0, 0, 0}).status, STATUS_SUCCESS);      // the last slot
    EXPECT_EQ(control(init, 0x80002820, {3, 0, 0, 0, 0}).status, STATUS_SUCCESS); // free slot 3
    EXPECT_EQ(control(init, kEnableAutoResponse, {3, 0, 0, 0, 0}).status, STATUS_UNSUCCESSFUL); // not in use
    EXPECT_EQ(control(init, kEnableAutoResponse, {8, 0, 0, 0, 0}).status, STATUS_UNSUCCESSFUL); // no such slot
    EXPECT_EQ(control(init, kAllocAutoResponse, {0, 0, 0, 0, 2}, 20).status, STATUS_UNSUCCESSFUL); // unknown type
    EXPECT_EQ(control(init, kAllocAutoResponse, {0, 0, 0, 0, 1}, 20).word(0), 3u);
    EXPECT_EQ(control(init, kAllocAutoResponse, {0, 0, 0, 0, 1}, 20).word(0), 7u);
}

TEST_F(VrbusControlCodes, CardChannelAndNameRecords)
{
    const auto card = control(info, kGetCardInfo, {}, 376);
    EXPECT_STREQ(reinterpret_cast<const char *>(card.out.data()), "Virtual");
    EXPECT_STREQ(reinterpret_cast<const char *>(card.out.data() + 32), "vrbus.sys");
    EXPECT_EQ(card.word(16), 1u);
    EXPECT_EQ(card.word(17), 2u);
    EXPECT_EQ(card.word(18), 3u);
    EXPECT_EQ(card.word(19), 0u);
    EXPECT_EQ(card.word(20), 1u);
    EXPECT_EQ(card.word(28), 0u); // card number
    EXPECT_EQ(card.word(47), 3u);

    DeviceFile b;
    ASSERT_EQ(open_device(b, "vrbus0b.1"), STATUS_SUCCESS);
    const auto channel = control(b, kGetChannelInfo, {}, 320);
    EXPECT_STREQ(reinterpret_cast<const char *>(channel.out.data()), "Virtual Channel 2");
    EXPECT_EQ(channel.word(8), 1u);
    EXPECT_EQ(channel.word(11), 2u);
    EXPECT_EQ(channel.word(12), 16000000u);
    EXPECT_EQ(channel.word(13), 0x001C0083u); // no CAN FD capability
    EXPECT_EQ(channel.word(14), 0u);

    const auto name = control(info, kGetChannelName, {1}, 552);
    EXPECT_STREQ(reinterpret_cast<const char *>(name.out.data() + 4), "Virtual");
    EXPECT_STREQ(reinterpret_cast<const char *>(name.out.data() + 36), "Virtual0b");
    EXPECT_EQ(name.word(73), 0u);

    const auto list = control(info, kListChannels, {}, 516);
    EXPECT_EQ(list.word(0), 2u);
    EXPECT_EQ(list.out[4], 0);
    EXPECT_EQ(list.out[5], 0);
    EXPECT_EQ(list.out[7], 1);

    const auto info2 = control(info, 0x80002810, {}, 128);
    EXPECT_EQ(info2.word(0), 0u);
    EXPECT_EQ(info2.word(2), 0xFFFFFFFFu);
    EXPECT_EQ(info2.word(3), 0xFFFFFFFFu);
}

} // namespace
