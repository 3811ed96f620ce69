// The receive road end to end, as its benchmark runs it but slower: the
// daemon, vyr on the offscreen platform with a trace window that logs to an
// ASCII file, and numbered frames offered at 5,000 frames/s for 2 s. Every
// frame is in the log, and the message window reports no loss.
#include "bench/receive_road_flood.h"
#include "test_paths.h"

#include <gtest/gtest.h>

TEST(ReceiveRoad, EveryFrameOfAFloodIsInTheLog)
{
    const receive_road::RunResult run =
        receive_road::run(vyr_test::bin_dir().toStdString(), {receive_road::Phase{5000, 2.0}});
    ASSERT_EQ(run.error, "");
    ASSERT_EQ(run.phases.size(), 1u);
    const receive_road::PhaseResult &phase = run.phases.front();
    EXPECT_EQ(phase.offered, 10000);
    EXPECT_EQ(phase.gaps, 0) << "the first frame missing is number " << phase.first_gap;
    EXPECT_EQ(phase.logged, phase.offered);
    EXPECT_EQ(run.overrun_rows, 0) << run.message_rows.join('\n').toStdString();
}
