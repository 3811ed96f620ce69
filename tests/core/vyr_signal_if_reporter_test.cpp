// Description-file readers report through an interface's log.
#include "core/vyr_signal_if_reporter.h"
#include "signal_if_test_support.h"
#include "vyr_test_shell.h"

#include <gtest/gtest.h>

using namespace vyr_test;

TEST(VyrSignalIfReporterTest, MessagesNameFileAndLineAtTheirLevel)
{
    VyrTestShell shell;
    TestInterface signal_if(&shell, &shell.notification);
    VyrSignalIfReporter reporter(&signal_if);
    reporter.info(12, "net.dbc", "read");
    reporter.warning(3, "net.dbc", "odd");
    reporter.error(7, nullptr, "broken");
    ASSERT_EQ(shell.lines.size(), 3u);
    EXPECT_EQ(shell.lines[0].level, 2);
    EXPECT_EQ(shell.lines[0].text, "TEST 1: (net.dbc:12) read\n");
    EXPECT_EQ(shell.lines[1].level, 3);
    EXPECT_EQ(shell.lines[1].text, "Warning in TEST 1: (net.dbc:3) odd\n");
    EXPECT_EQ(shell.lines[2].level, 4);
    EXPECT_EQ(shell.lines[2].text, "Error in TEST 1: (:7) broken\n");
}
