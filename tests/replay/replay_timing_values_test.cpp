// What each value of a replay row's Timing does, on a wheel that the test
// steps: file timing, and every value not above 0 that behaves as it, next
// to fixed intervals of 1 and 10 ms.
#include "../interfaces/can_test_support.h"
#include "replay_test_support.h"

#include <QTemporaryDir>

namespace {

using namespace can_test;
using namespace replay_test;

class ReplayTimingValues : public CanFixture
{};

TEST_F(ReplayTimingValues, ValuesNotAboveZeroKeepTheFilesGaps)
{
    QTemporaryDir dir;
    const std::string file = dir.filePath(QStringLiteral("gaps.txt")).toStdString();
    // Two records of one stamp, then gaps of 50 and 250 ms.
    ASSERT_TRUE(write_log("ASCII", file, {frame(1000, 0x100), frame(1000, 0x101), frame(1050, 0x102), frame(1300, 0x103)}));
    VyrCanIf *can = make("CAN");
    can->set_active(true);

    // Frames sent by each wheel time; the first leaves 100 ms after the
    // wheel's first step after the start, at 1.
    const uint32_t times[] = {100, 101, 102, 111, 150, 151, 400, 401};
    const std::vector<uint32_t> file_gaps = {0, 2, 2, 2, 2, 3, 3, 4};
    const struct
    {
        int timing;
        std::vector<uint32_t> sent;
    } cases[] = {
        {CanReplayFile::FileTiming, file_gaps},
        {0, file_gaps},
        {-7, file_gaps},
        {1, {0, 1, 2, 4, 4, 4, 4, 4}},
        {10, {0, 1, 1, 2, 4, 4, 4, 4}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.timing);
        TimerWheel wheel(1024, 0, 1, 0);
        can->set_timer(&wheel, false);
        CanReplayFile replay(nullptr);
        replay.set_first_interface(can);
        replay.set_file_name(QString::fromStdString(file));
        replay.set_timing(c.timing);
        replay.set_mode(CanReplayFile::OneShot);
        replay.open_file();
        replay.start();
        ASSERT_TRUE(replay.running());
        wheel.advance(1);
        std::vector<uint32_t> sent;
        for (uint32_t time : times) {
            wheel.advance(time);
            sent.push_back(replay.sent_count());
        }
        EXPECT_EQ(sent, c.sent);
        EXPECT_FALSE(replay.running()) << "once through the file";
        can->set_timer(nullptr, false);
    }
}

} // namespace
