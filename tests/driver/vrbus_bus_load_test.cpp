// The bus load a handle reports: the bits its frames took over what the
// period could carry at the channel's bit rate, in 0.01 %.
#include "driver/card_model.h"

#include <gtest/gtest.h>

TEST(BusLoad, BitsOverThePeriodInHundredthsOfAPercent)
{
    const struct
    {
        uint64_t bits;
        uint32_t bitrate;
        uint32_t elapsed; // 10 µs units
        uint32_t load;    // 0.01 %
    } cases[] = {
        {500000, 500000, 100000, 10000},   // a full second at 500 kbit/s
        {1300, 500000, 100000, 26},        // ten frames in a second: 0.26 %
        {1300, 500000, 50000, 52},         // the same frames in half a second
        {130, 500000, 100000, 2},          // one frame in a second
        {1300, 83333, 100000, 156},        // a bit rate that 10^7 does not divide
        {2000000, 500000, 100000, 10000},  // more bits than the period holds: 100 %
        {1300, 500000, 0, 0},              // no time passed
        {1300, 0, 100000, 0},              // no bit rate
        {0, 500000, 100000, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << c.bits << " bits, " << c.bitrate << " bit/s, " << c.elapsed);
        dev_handle handle;
        handle.load_time = 1000;
        handle.load_bits = c.bits;
        handle.update_bus_load(c.bitrate, 1000 + c.elapsed);
        EXPECT_EQ(handle.bus_load, c.load);
        EXPECT_EQ(handle.load_bits, 0u);
        EXPECT_EQ(handle.load_time, 1000 + c.elapsed);
    }
}
