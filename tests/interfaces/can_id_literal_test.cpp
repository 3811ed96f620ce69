// Identifier literals of CAN messages, the lookup by database message name
// that is tried before them, and the bit timing rule.
#include "core/candb_cluster.h"
#include "core/candb_message.h"
#include "interfaces/can/can_bit_timing.h"
#include "interfaces/can/vyr_can_if.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

TEST(CanIdLiteral, ParsesEveryForm)
{
    struct Case
    {
        const char *text;
        int result;
        uint32_t id;
        uint32_t flags;
    };
    const Case cases[] = {
        {"100", 0, 100, 0},
        {"100h", 0, 0x100, 0},
        {"100H", 0, 0x100, 0},
        {"1FFhx", 0, 0x1FF, VyrCanMessage::Extended},
        {"7E0hr", 0, 0x7E0, VyrCanMessage::Remote},
        {"1FFx", 0, 1, VyrCanMessage::Extended}, // decimal: the F ends the number
        {"0x100", 0, 0, 0},                      // no hexadecimal prefix
        {"12s+", 0, 12, VyrCanMessage::OneShot | VyrCanMessage::BitRateSwitch},
        {"5W", 0, 5, VyrCanMessage::WakeUp},
        {"7lX", 0, 7, VyrCanMessage::FdFrame | VyrCanMessage::Extended},
        {"abh", 0, 0xAB, 0},
        {"9afh", 0, 0x9AF, 0}, // the last decimal digit, the first and last small hexadecimal ones
        {"A0Fh", 0, 0xA0F, 0},
        {"1Ax", 0, 1, VyrCanMessage::Extended}, // decimal: A, the first digit past 9, ends the number
        {"4294967297", 0, 1, 0}, // wraps in 32 bits
        {"ERR", 0, 0, VyrCanMessage::ErrorFrame},
        {"error", 0, 0, VyrCanMessage::ErrorFrame},
        {"errorframe", 0, 0, VyrCanMessage::ErrorFrame},
        {"ERROR FRAME", 0, 0, VyrCanMessage::ErrorFrame},
        {"Error F", 0, 0, VyrCanMessage::ErrorFrame},
        {"ER", -1, 0, VyrCanMessage::Remote}, // too short for an error frame, and no digit
        {"errors", -1, 0, VyrCanMessage::Remote | VyrCanMessage::OneShot},
        {"hx", -1, 0, VyrCanMessage::Extended},
        {"", -1, 0, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        VyrCanMessage message;
        message.id = 99;
        message.dlc = 5;
        message.flags = 0x80000000u;
        EXPECT_EQ(VyrCanMessage::parse_id(message, c.text), c.result);
        if (std::string(c.text).empty()) {
            EXPECT_EQ(message.id, 99u); // an empty text leaves the record alone
            continue;
        }
        EXPECT_EQ(message.id, c.id);
        EXPECT_EQ(message.flags, c.flags);
        // Only an error frame sets the length.
        EXPECT_EQ(message.dlc, c.flags == VyrCanMessage::ErrorFrame ? 0 : 5);
    }
}

// A whole literal: the same forms, and nothing else in the text.
TEST(CanIdLiteral, WholeLiteralsTakeNothingMore)
{
    const struct
    {
        const char *text;
        int result;
        uint32_t id;
        uint32_t flags;
    } cases[] = {
        {"100", 0, 100, 0},
        {"1FFhx", 0, 0x1FF, VyrCanMessage::Extended},
        {"7lX", 0, 7, VyrCanMessage::FdFrame | VyrCanMessage::Extended},
        {"4294967295", 0, 0xFFFFFFFF, 0},
        {"ERR", 0, 0, VyrCanMessage::ErrorFrame},
        {"0x100", -1, 0, 0},
        {"1FFx", -1, 0, 0},
        {"1A", -1, 0, 0},
        {"12 h", -1, 0, 0},
        {"4294967296", -1, 0, 0},
        {"hx", -1, 0, 0},
        {"", -1, 0, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text);
        VyrCanMessage message;
        EXPECT_EQ(VyrCanMessage::parse_whole_id(message, c.text), c.result);
        if (c.result == 0) {
            EXPECT_EQ(message.id, c.id);
            EXPECT_EQ(message.flags, c.flags);
        }
    }
}

TEST(CanIdLiteral, ClearKeepsTheFlags)
{
    VyrCanMessage message;
    message.id = 1;
    message.time = 2;
    message.channel = 3;
    message.dlc = 8;
    message.time_fraction = 7;
    message.flags = VyrCanMessage::Extended;
    message.data[63] = 0xFF;
    VyrCanMessage::clear(message);
    EXPECT_EQ(message.id, 0u);
    EXPECT_EQ(message.time, 0u);
    EXPECT_EQ(message.channel, 0);
    EXPECT_EQ(message.dlc, 0);
    EXPECT_EQ(message.data[63], 0);
    EXPECT_EQ(message.flags, uint32_t(VyrCanMessage::Extended));
}

TEST(CanIdLiteral, DatabaseNameWinsOverTheLiteral)
{
    VyrCanIf can("CAN", nullptr, nullptr);
    VyrCanMessage message;
    // Without databases the literal is parsed.
    ASSERT_EQ(id_by_database_name(&can, "100", message), 0);
    EXPECT_EQ(message.id, 100u);

    auto network = std::make_unique<CANdbNetwork>();
    auto named_like_literal = std::make_unique<CANdbMessage>("100");
    named_like_literal->id = 0x321;
    named_like_literal->dlc = 6;
    network->insert_message(std::move(named_like_literal));
    auto extended = std::make_unique<CANdbMessage>("EngineData");
    extended->id = 0x18FEF100;
    extended->extended = true;
    extended->dlc = 8;
    network->insert_message(std::move(extended));
    auto databases = std::make_unique<CANdbCluster>();
    databases->add_network(std::move(network));
    can.set_databases(std::move(databases));

    message.flags = VyrCanMessage::Remote;
    ASSERT_EQ(id_by_database_name(&can, "100", message), 0);
    EXPECT_EQ(message.id, 0x321u);
    EXPECT_EQ(message.dlc, 6);
    EXPECT_EQ(message.flags, 0u);
    ASSERT_EQ(id_by_database_name(&can, "EngineData", message), 0);
    EXPECT_EQ(message.id, 0x98FEF100u);
    EXPECT_EQ(message.dlc, 8);
    ASSERT_EQ(id_by_database_name(&can, "200h", message), 0);
    EXPECT_EQ(message.id, 0x200u);
    EXPECT_EQ(id_by_database_name(&can, "NoSuchMessage", message), -1);
}

TEST(CanBitTiming, BitrateAndSamplePoint)
{
    struct Case
    {
        long clock;
        int prescaler, tseg1, tseg2;
        long bitrate;
        int sample_point;
    };
    const Case cases[] = {
        {80000000, 1, 2, 1, 20000000, 75},
        {80000000, 2, 29, 10, 1000000, 75},
        {80000000, 0, 2, 1, 20000000, 75}, // prescaler 0 counts as 1
        {16000000, 1, 5, 2, 2000000, 75},
        {8000000, 1, 11, 4, 500000, 75},
        {16000000, 3, 3, 1, 1066666, 80}, // integer division
        {1000000, 1, 0, 0, 1000000, 100},
        {24000000, 1, 12, 10, 1043478, 57}, // 13/23 = 56.52 rounds up
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.clock << "/" << c.prescaler << " " << c.tseg1 << "+" << c.tseg2);
        EXPECT_EQ(can_bitrate_from_timing(c.clock, c.prescaler, c.tseg1, c.tseg2), c.bitrate);
        EXPECT_EQ(can_sample_point(c.tseg1, c.tseg2), c.sample_point);
    }
    EXPECT_EQ(can_bitrate_from_timing(80000000, 1, -1, 0), 0);
}

} // namespace
