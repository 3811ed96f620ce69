#include "core/vyr_custom_event.h"
#include "core/vyr_signal_if_notification.h"
#include "vyr_test_shell.h"

#include <gtest/gtest.h>

#include <thread>

using vyr_test::VyrTestShell;

TEST(VyrSignalIfNotification, LogLinesFromOtherThreadsArriveQueuedOnTheGuiThread)
{
    VyrTestShell shell;
    shell.notification.message("direct\n");
    ASSERT_EQ(shell.lines.size(), 1u); // the GUI thread's own lines go straight through
    EXPECT_TRUE(shell.lines[0].on_gui_thread);

    std::thread worker([&] {
        shell.notification.warning("from a thread\n");
        shell.notification.error("second\n");
    });
    worker.join();
    EXPECT_EQ(shell.lines.size(), 1u); // nothing before the GUI thread runs its loop
    ASSERT_TRUE(shell.wait_until([&] { return shell.lines.size() == 3; }));
    EXPECT_EQ(shell.lines[1].level, VyrMessageLog::warning);
    EXPECT_EQ(shell.lines[1].text, "from a thread\n");
    EXPECT_EQ(shell.lines[2].level, VyrMessageLog::error);
    EXPECT_TRUE(shell.lines[1].on_gui_thread);
    EXPECT_TRUE(shell.lines[2].on_gui_thread);
}

TEST(VyrSignalIfNotification, PrintfLinesAreCutAt500Characters)
{
    VyrTestShell shell;
    const std::string long_text(600, 'x');
    shell.notification.message_printf("%s", long_text.c_str());
    ASSERT_EQ(shell.lines.size(), 1u);
    EXPECT_EQ(shell.lines[0].level, VyrMessageLog::info);
    EXPECT_EQ(shell.lines[0].text, std::string(500, 'x'));
}

TEST(VyrSignalIfNotification, SignalNoticesFromAThreadReachGuiReceiversQueued)
{
    VyrTestShell shell;
    QObject receiver;
    std::vector<QString> changed;
    bool on_gui_thread = true;
    QObject::connect(&shell.notification, &VyrSignalIfNotification::signal_changed, &receiver,
                     [&](const QString &id, const QString &signal) {
                         changed.push_back(id + "." + signal);
                         on_gui_thread = on_gui_thread && QThread::currentThread() == receiver.thread();
                     });
    std::thread worker([&] { shell.notification.notify_signal_changed("CAN1", "Speed"); });
    worker.join();
    EXPECT_TRUE(changed.empty());
    QCoreApplication::sendPostedEvents();
    ASSERT_EQ(changed.size(), 1u);
    EXPECT_EQ(changed[0], "CAN1.Speed");
    EXPECT_TRUE(on_gui_thread);
}

TEST(VyrCustomEvent, EventsPostedFromAThreadReachTheOwnerOnItsThread)
{
    VyrTestShell shell;
    std::thread worker([&] {
        post_vyr_event(&shell, new VyrErrorEvent("Timeout"));
        post_vyr_event(&shell, new VyrCustomEvent(vyr_event_beep, 440, 200));
        post_vyr_event(&shell, new VyrCustomEvent(vyr_event_save_log, 2, 0, "log.txt"));
        post_vyr_event(nullptr, new VyrCustomEvent(vyr_event_stop)); // no receiver: dropped
    });
    worker.join();
    ASSERT_TRUE(shell.wait_until([&] { return shell.events.size() == 3; }));
    EXPECT_EQ(shell.events[0].type, 10003);
    EXPECT_EQ(shell.events[0].text, "Timeout");
    EXPECT_EQ(shell.events[1].type, 10009);
    EXPECT_EQ(shell.events[1].word1, 440u);
    EXPECT_EQ(shell.events[1].word2, 200u);
    EXPECT_EQ(shell.events[2].type, 10013);
    EXPECT_EQ(shell.events[2].text, "log.txt");
    for (const auto &event : shell.events)
        EXPECT_TRUE(event.on_gui_thread);
}
