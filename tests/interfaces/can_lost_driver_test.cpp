// A CAN interface whose virtual bus daemon dies during a measurement: its
// receive thread, waiting on the channel's connection handle too, reports the
// lost connection once, asks its owner to stop the measurement and goes back
// to waiting on its cycle.
#include "core/vyr_custom_event.h"
#include "core/vyr_signal_if_type.h"
#include "hw_test_support.h"
#include "interfaces/can/vyr_can_if.h"
#include "interfaces/hardware/can_hw_channel_info.h"
#include "vyr_test_shell.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

TEST(CanLostDriver, TheReceiveThreadReportsTheLostConnectionOnceAndStopsWaitingOnIt)
{
    hw_test::OwnDaemon daemon;
    ASSERT_TRUE(daemon.ready());

    vyr_test::VyrTestShell shell;
    {
        VyrCanIf can("CAN", &shell, &shell.notification);
        can.set_channel_name(QStringLiteral("Virtual #1 (Channel 1)"));
        can.set_timer(&shell.wheel, false);
        ASSERT_EQ(can.startup(), 0);
        ASSERT_EQ(can.go_online(), 0);
        ASSERT_EQ(can.start(), 0);

        daemon.kill();
        const std::string lost =
            "Error in CAN 1: Connection to the virtual CAN bus lost (channel 'Virtual #1 (Channel 1)').";
        ASSERT_TRUE(shell.wait_until([&] { return shell.has_line(lost); }));
        // Waiting on a handle that stays ready would wake the thread at once, again and again.
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        EXPECT_EQ(can.state_text(), "TIMEOUT");
        shell.wait_until([] { return false; }, 100);
        EXPECT_EQ(std::count_if(shell.lines.begin(), shell.lines.end(),
                                [&](const vyr_test::VyrTestShell::Line &line) { return line.text == lost; }),
                  1);
        ASSERT_EQ(shell.events.size(), 1u);
        EXPECT_EQ(shell.events[0].type, vyr_event_stop);
        can.stop();
    }
}

} // namespace
