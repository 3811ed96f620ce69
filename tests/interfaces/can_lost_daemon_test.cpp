// The program's virtual bus daemon dies during a measurement of two CAN
// interfaces: each reports it in one line of its own and asks its owner to
// stop the measurement; the stop reaps the dead daemon, and the next start
// starts a new one on which both interfaces work again.
#include "can_test_support.h"
#include "core/vyr_custom_event.h"
#include "interfaces/can/vyr_message_queue.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>

namespace {

using can_test::BusNode;
using can_test::Measurement;
using platform::ServiceManager;

TEST(CanLostDaemon, EachInterfaceReportsTheLossOnceTheStopReapsAndTheNextStartWorks)
{
    vyr_test::VyrTestShell shell;
    VyrCanIf first("CAN", &shell, &shell.notification);
    first.set_name("CAN 1");
    first.set_channel_name(QStringLiteral("Virtual #1 (Channel 1)"));
    VyrCanIf second("CAN", &shell, &shell.notification);
    second.set_name("CAN 2");
    second.set_channel_name(QStringLiteral("Virtual #1 (Channel 2)"));
    VyrMessageQueue first_frames(0, 16, 100);
    first.add_message_listener(&first_frames);
    Measurement measurement({&first, &second});
    ASSERT_EQ(measurement.start(), 0);

    const pid_t daemon = ServiceManager::instance().daemon_pid("vrbus");
    ASSERT_GT(daemon, 0);
    ASSERT_EQ(kill(daemon, SIGKILL), 0);
    const std::string lost[] = {
        "Error in CAN 1: Connection to the virtual CAN bus lost (channel 'Virtual #1 (Channel 1)').",
        "Error in CAN 2: Connection to the virtual CAN bus lost (channel 'Virtual #1 (Channel 2)').",
    };
    const auto stop_requests = [&shell] {
        return std::count_if(shell.events.begin(), shell.events.end(),
                             [](const vyr_test::VyrTestShell::Event &e) { return e.type == vyr_event_stop; });
    };
    ASSERT_TRUE(shell.wait_until([&] { return shell.has_line(lost[0]) && shell.has_line(lost[1]) && stop_requests() == 2; }));
    shell.wait_until([] { return false; }, 100);
    for (const std::string &line : lost)
        EXPECT_EQ(std::count_if(shell.lines.begin(), shell.lines.end(),
                                [&](const vyr_test::VyrTestShell::Line &l) { return l.text == line; }),
                  1)
            << line;
    EXPECT_EQ(stop_requests(), 2);

    measurement.stop();
    // Reaped: a zombie would still answer to its pid.
    EXPECT_EQ(kill(daemon, 0), -1);
    EXPECT_EQ(errno, ESRCH);
    EXPECT_FALSE(ServiceManager::is_running("vrbus"));

    ASSERT_EQ(measurement.start(), 0);
    EXPECT_TRUE(ServiceManager::is_running("vrbus"));
    const pid_t successor = ServiceManager::instance().daemon_pid("vrbus");
    EXPECT_GT(successor, 0);
    EXPECT_NE(successor, daemon);
    BusNode node;
    node.send(0x321, 0, {7});
    VyrCanMessage frame;
    EXPECT_TRUE(can_test::read_until(first_frames, [](const VyrCanMessage &m) { return m.id == 0x321; }, &frame));
    first.send_message(&frame, false);
    EXPECT_TRUE(node.receive(0x321, frame));
    measurement.stop();
}

} // namespace
