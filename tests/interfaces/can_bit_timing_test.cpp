// The bit timing search, the bus timing registers and the filter bit
// patterns. The search's results are checked against python-can's BitTiming
// (Debian's /usr/bin/python3): the bitrate they give, the sample point
// truncated to a whole percent and, for classic controllers, BTR0 and BTR1.
#include "interfaces/can/can_bit_timing.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <gtest/gtest.h>

namespace {

struct TimingCase
{
    uint32_t clock;
    bool canfd;
    int bitrate;
};

std::vector<TimingCase> timing_cases()
{
    std::vector<TimingCase> cases;
    for (int bitrate : {125000, 250000, 500000, 1000000}) {
        cases.push_back({8000000, false, bitrate});
        for (uint32_t mhz : {8u, 16u, 40u, 64u, 80u, 160u, 200u})
            cases.push_back({mhz * 1000000, true, bitrate});
    }
    return cases;
}

// python-can's view of each timing: bitrate, sample point, btr0, btr1.
const char *python_check = R"(
import json, sys
from can import BitTiming
out = []
for row in json.load(sys.stdin):
    t = BitTiming(f_clock=row['clock'], brp=row['prescaler'], tseg1=row['tseg1'], tseg2=row['tseg2'], sjw=1)
    item = {'bitrate': int(t.bitrate), 'sample_point': int(t.sample_point)}
    if not row['canfd']:
        item['btr0'] = t.btr0
        item['btr1'] = t.btr1
    out.append(item)
json.dump(out, sys.stdout)
)";

} // namespace

TEST(CanBitTiming, SearchResultsAgreeWithPythonCan)
{
    QJsonArray rows;
    std::vector<CanTimingSearch> results;
    for (const TimingCase &c : timing_cases()) {
        SCOPED_TRACE(testing::Message() << c.clock << (c.canfd ? " FD " : " classic ") << c.bitrate);
        const CanTimingSearch search = can_find_timing(c.clock, c.bitrate, 0, 75, c.canfd);
        // 125 kbit/s needs 1280 or 1600 quanta at 160 and 200 MHz: more than
        // a CAN FD controller's prescaler of 8 and 129 quanta reach.
        const bool reachable = !(c.canfd && c.bitrate == 125000 && c.clock >= 160000000);
        ASSERT_EQ(search.found, reachable);
        if (!reachable)
            continue;
        const CanTimingLimits limits = can_timing_limits(c.canfd);
        EXPECT_LE(search.tseg1, limits.tseg1_max);
        EXPECT_LE(search.tseg2, limits.tseg2_max);
        EXPECT_LE(search.prescaler, limits.prescaler_max);
        // A clock that the bit time divides to less than 1/64 of a
        // prescaler step counts as exact: 64 MHz reaches 125 kbit/s as
        // 125244 bit/s with prescaler 7 and 73 quanta.
        EXPECT_NEAR(search.bitrate, c.bitrate, c.bitrate / 64);
        rows.append(QJsonObject{{"clock", qint64(c.clock)},
                                {"canfd", c.canfd},
                                {"prescaler", search.prescaler},
                                {"tseg1", search.tseg1},
                                {"tseg2", search.tseg2}});
        results.push_back(search);
    }

    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), QString::fromUtf8(python_check)});
    if (!python.waitForStarted(5000))
        GTEST_SKIP() << "/usr/bin/python3 did not start";
    python.write(QJsonDocument(rows).toJson());
    python.closeWriteChannel();
    ASSERT_TRUE(python.waitForFinished(30000));
    if (python.exitCode() != 0)
        GTEST_SKIP() << "python-can did not run: " << python.readAllStandardError().toStdString();
    const QJsonArray checked = QJsonDocument::fromJson(python.readAllStandardOutput()).array();
    ASSERT_EQ(checked.size(), rows.size());
    for (int i = 0; i < rows.size(); ++i) {
        const QJsonObject row = rows.at(i).toObject();
        const QJsonObject peer = checked.at(i).toObject();
        SCOPED_TRACE(QJsonDocument(row).toJson(QJsonDocument::Compact).toStdString());
        const CanTimingSearch &ours = results[size_t(i)];
        EXPECT_EQ(ours.bitrate, peer.value("bitrate").toInt());
        EXPECT_EQ(ours.sample_point, peer.value("sample_point").toInt());
        if (!row.value("canfd").toBool()) {
            unsigned btr0 = 0;
            unsigned btr1 = 0;
            can_encode_btr({ours.prescaler, 1, ours.tseg1, ours.tseg2, 1}, btr0, btr1);
            EXPECT_EQ(int(btr0), peer.value("btr0").toInt());
            EXPECT_EQ(int(btr1), peer.value("btr1").toInt());
        }
    }
}

TEST(CanBitTiming, SearchListsAndTieBreaks)
{
    // 500 kbit/s at 8 MHz: 16 quanta with prescaler 1, 8 with 2, 4 with 4;
    // the equally good 5/2 with prescaler 2 comes later and is not taken.
    const CanTimingSearch at_500k = can_find_timing(8000000, 500000, 0, 75, false);
    ASSERT_TRUE(at_500k.found);
    EXPECT_EQ(at_500k.sample_points, std::vector<int>({50, 56, 62, 68, 75, 81, 87, 93}));
    EXPECT_EQ(at_500k.prescalers, std::vector<int>({1, 2, 4}));
    EXPECT_EQ(at_500k.tseg1, 11);
    EXPECT_EQ(at_500k.tseg2, 4);
    EXPECT_EQ(at_500k.prescaler, 1);
    EXPECT_EQ(at_500k.sample_point, 75);

    struct Case
    {
        uint32_t clock;
        bool canfd;
        int bitrate;
        int prescaler;
        int tseg1, tseg2, found_prescaler, reached;
    };
    const Case cases[] = {
        {8000000, false, 1000000, 0, 5, 2, 1, 1000000},
        {8000000, false, 83333, 0, 11, 4, 6, 83333}, // 96 quanta in all, 8 MHz / 83333 being 96.0004
        {80000000, true, 500000, 0, 59, 20, 2, 500000},
        {8000000, false, 500000, 2, 5, 2, 2, 500000}, // a requested prescaler
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.bitrate);
        const CanTimingSearch search = can_find_timing(c.clock, c.bitrate, c.prescaler, 75, c.canfd);
        ASSERT_TRUE(search.found);
        EXPECT_EQ(search.tseg1, c.tseg1);
        EXPECT_EQ(search.tseg2, c.tseg2);
        EXPECT_EQ(search.prescaler, c.found_prescaler);
        EXPECT_EQ(search.bitrate, c.reached);
    }
    // At 80 MHz 160 quanta would need prescaler 1: more than 129 quanta are never tried.
    EXPECT_EQ(can_find_timing(80000000, 500000, 0, 75, true).prescalers, std::vector<int>({2, 4, 5, 8}));

    // Outside 5000 to 1000000 bit/s nothing is searched or listed.
    for (int bitrate : {4999, 1000500, 0, -1}) {
        const CanTimingSearch none = can_find_timing(8000000, bitrate, 0, 75, false);
        EXPECT_FALSE(none.found) << bitrate;
        EXPECT_TRUE(none.sample_points.empty()) << bitrate;
    }
}

TEST(CanBitTiming, RegistersDecodeAndEncode)
{
    struct Case
    {
        unsigned btr0, btr1;
        int prescaler, sjw, tseg1, tseg2, samples, bitrate_at_8mhz;
    };
    const Case cases[] = {
        {0x00, 0x1c, 1, 1, 13, 2, 1, 500000},
        {0x01, 0x1c, 2, 1, 13, 2, 1, 250000},
        {0x03, 0x1c, 4, 1, 13, 2, 1, 125000},
        {0xff, 0xff, 64, 4, 16, 8, 3, 5000},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.btr0 << "/" << c.btr1);
        const CanBusTiming timing = can_decode_btr(c.btr0, c.btr1);
        EXPECT_EQ(timing.prescaler, c.prescaler);
        EXPECT_EQ(timing.sjw, c.sjw);
        EXPECT_EQ(timing.tseg1, c.tseg1);
        EXPECT_EQ(timing.tseg2, c.tseg2);
        EXPECT_EQ(timing.samples, c.samples);
        EXPECT_EQ(can_bitrate_from_timing(8000000, timing.prescaler, timing.tseg1, timing.tseg2), c.bitrate_at_8mhz);
        unsigned btr0 = 0;
        unsigned btr1 = 0;
        can_encode_btr(timing, btr0, btr1);
        EXPECT_EQ(btr0, c.btr0);
        EXPECT_EQ(btr1, c.btr1);
    }
}

TEST(CanBitTiming, BitPatternsCarryCodeAndMask)
{
    struct Case
    {
        bool extended;
        uint32_t code, mask;
        const char *pattern;
    };
    const Case cases[] = {
        {false, 0, 0, "xxx xxxx xxxx"},
        {false, 0x123, 0x7ff, "001 0010 0011"},
        {false, 0x120, 0x7f8, "001 0010 0xxx"},
        {true, 0x1fffffff, 0x1fffffff, "1 1111 1111 1111 1111 1111 1111 1111"},
        {true, 0x10000001, 0x10000003, "1 xxxx xxxx xxxx xxxx xxxx xxxx xx01"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.pattern);
        EXPECT_EQ(can_format_bit_pattern(can_empty_bit_pattern(c.extended), c.code, c.mask, c.extended),
                  QString(c.pattern));
        uint32_t code = 0;
        uint32_t mask = 0;
        can_parse_bit_pattern(QString(c.pattern), c.extended, code, mask);
        EXPECT_EQ(code, c.code);
        EXPECT_EQ(mask, c.mask);
    }
    // A code bit outside the mask shows as 'x' and reads back as clear.
    EXPECT_EQ(can_format_bit_pattern("xxx xxxx xxxx", 0x7ff, 0x00f, false), QString("xxx xxxx 1111"));
    // A broken pattern is replaced rather than written past its end.
    EXPECT_EQ(can_format_bit_pattern("1", 1, 1, false), QString("xxx xxxx xxx1"));
}
