// A virtual bus whose daemon dies under an open channel: the receive thread,
// waiting on the channel's event and its connection handle, wakes and reads
// the lost connection.
#include "hw_test_support.h"
#include "interfaces/hardware/can_hw_channel_info.h"
#include "interfaces/hardware/can_hw_channel_vindra.h"
#include "platform/wait.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

TEST(VindraChannel, AReceiveThreadLearnsThatTheDaemonDied)
{
    hw_test::OwnDaemon daemon;
    ASSERT_TRUE(daemon.ready());
    std::unique_ptr<CANhwChannel> channel = CANhwChannelInfoList::global().make_channel(0);
    ASSERT_NE(channel, nullptr);
    ASSERT_EQ(channel->open(false), canhwSuccess);
    ASSERT_EQ(channel->map_rx_queue(), canhwSuccess);
    ASSERT_EQ(channel->buson(), canhwSuccess);

    platform::WaitHandle event, connection;
    ASSERT_EQ(channel->get_event_handle(&event), canhwSuccess);
    ASSERT_EQ(channel->get_connection_handle(&connection), canhwSuccess);
    // The chip state of the bus on is read and its signal taken: the thread
    // sleeps on an empty queue.
    VyrCanMessage message;
    EXPECT_EQ(channel->read_can_message(&message), canhwNoMessage);
    while (platform::wait_any({event}, 0) == 0) {
    }

    int woken_by = platform::wait_failed;
    std::thread receive_thread([&] { woken_by = platform::wait_any({event, connection}, 20000); });
    daemon.kill();
    receive_thread.join();
    EXPECT_EQ(woken_by, 1);
    EXPECT_EQ(channel->read_can_message(&message), canhwErrorBrokenLink);

    channel->close();
}

} // namespace
