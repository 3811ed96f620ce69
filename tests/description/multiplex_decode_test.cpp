// Which signals a multiplexed frame holds, against python3-canmatrix as an
// independent decoder: every multiplexed message of real files, with each
// value that selects signals (and one that selects none) in each
// multiplexor, plain and extended multiplexing, cascaded multiplexors and
// ranges. Where canmatrix decodes otherwise, our own cases say why.
#include "test_support.h"
#include "tests/tools/candb_json.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <set>
#include <vector>

namespace {

const char kPython[] = "/usr/bin/python3";

struct Frame
{
    const CANdbMessage *message;
    std::vector<uint8_t> data;
};

// The multiplexors of a message with the raw values that select a signal.
std::map<const CANdbSignal *, std::set<uint64_t>> selecting_values(const CANdbMessage &message)
{
    std::map<const CANdbSignal *, std::set<uint64_t>> values;
    const CANdbSignal *plain = message.plain_multiplexor();
    for (const CANdbSignal *signal : message.signal_list) {
        const CANdbMuxGroup *group = signal->mux_group();
        if (group && group->multiplexor) {
            for (const CANdbMuxRange &range : group->ranges)
                values[group->multiplexor].insert({range.low, range.high});
        } else if (signal->mux_value != -1 && plain) {
            values[plain].insert(uint64_t(signal->mux_value));
        }
    }
    return values;
}

// Frames of every multiplexed message: random payloads with each
// combination of selecting values in the multiplexors (and a value past
// them), each four times, at most 64 frames a message.
std::vector<Frame> multiplexed_frames(const CANdbNetwork &net)
{
    std::vector<Frame> frames;
    uint64_t state = 7;
    auto random_byte = [&state] {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return uint8_t(state >> 56);
    };
    for (const CANdbMessage *message : net.messages) {
        const auto values = selecting_values(*message);
        if (values.empty() || message->dlc <= 0 || message->dlc > 64)
            continue;
        std::vector<std::vector<uint64_t>> choices;
        size_t combinations = 1;
        for (const auto &[multiplexor, selecting] : values) {
            choices.emplace_back(selecting.begin(), selecting.end());
            choices.back().push_back(*selecting.rbegin() + 1);
            combinations *= choices.back().size();
        }
        for (size_t n = 0; n < std::min<size_t>(4 * combinations, 64); ++n) {
            Frame frame{message, std::vector<uint8_t>(size_t(message->dlc))};
            std::generate(frame.data.begin(), frame.data.end(), random_byte);
            size_t rest = n % combinations;
            auto choice = choices.begin();
            for (const auto &entry : values) {
                entry.first->encode_raw(frame.data.data(), message->dlc, (*choice)[rest % choice->size()]);
                rest /= choice->size();
                ++choice;
            }
            frames.push_back(std::move(frame));
        }
    }
    return frames;
}

double raw_value(const CANdbSignal &signal, const std::vector<uint8_t> &data)
{
    const int length = int(data.size());
    switch (signal.value_type) {
    case CANdbRawSigned: {
        int64_t value = 0;
        signal.decode_signed(data.data(), length, value);
        return double(value);
    }
    case CANdbRawFloat:
    case CANdbRawDouble: {
        double value = 0.0;
        (signal.value_type == CANdbRawFloat ? signal.decode_float(data.data(), length, value)
                                            : signal.decode_double(data.data(), length, value));
        return value;
    }
    default: {
        uint64_t value = 0;
        signal.decode_unsigned(data.data(), length, value);
        return double(value);
    }
    }
}

// canmatrix's decoding of the frames (the script of the interfaces' tests):
// for each, "MESSAGE.SIGNAL" to raw value.
bool canmatrix_decode(const std::string &file, const std::vector<Frame> &frames, QJsonArray &result, QString &why)
{
    if (!QFileInfo::exists(kPython)) {
        why = "python3-canmatrix needs /usr/bin/python3, which is not installed";
        return false;
    }
    QStringList args{vyr_test::source_dir() + "/tests/interfaces/canmatrix_decode.py", "--raw",
                     QString::fromStdString(file)};
    for (const Frame &frame : frames)
        args << candb_json::text(frame.message->name) + ':' +
                    QByteArray(reinterpret_cast<const char *>(frame.data.data()), int(frame.data.size())).toHex();
    QProcess python;
    python.start(kPython, args);
    if (!python.waitForFinished(300000) || python.exitCode() != 0) {
        why = "canmatrix could not be run (is python3-canmatrix installed?): " +
              QString::fromLocal8Bit(python.readAllStandardError()).left(300);
        return false;
    }
    result = QJsonDocument::fromJson(python.readAllStandardOutput()).array();
    return true;
}

std::string hex(const std::vector<uint8_t> &data)
{
    return QByteArray(reinterpret_cast<const char *>(data.data()), int(data.size())).toHex(' ').toStdString();
}

TEST(MultiplexDecode, PresentSignalsAgreeWithCanmatrix)
{
    VYR_REQUIRE_TESTDATA();
    for (const char *name : {"opendbc/opendbc/dbc/vw_mqb.dbc", "opendbc/opendbc/dbc/tesla_model3_vehicle.dbc",
                             "cantools/tests/files/dbc/multiplex_choices_dumped.dbc",
                             "cantools/tests/files/dbc/issue_184_extended_mux_cascaded_dumped.dbc",
                             "cantools/tests/files/dbc/issue_184_extended_mux_multiple_values_dumped.dbc"}) {
        SCOPED_TRACE(name);
        const std::string path = vyr_test::testdata_dir() + "/dbc/" + name;
        CANdbNetwork net;
        candb_json::Collector log;
        ASSERT_EQ(candb_json::load(path, net, &log), 0);
        const std::vector<Frame> frames = multiplexed_frames(net);
        ASSERT_GE(frames.size(), 12u);
        QJsonArray theirs;
        QString why;
        if (!canmatrix_decode(path, frames, theirs, why))
            GTEST_SKIP() << why.toStdString();
        ASSERT_EQ(size_t(theirs.size()), frames.size());
        for (size_t i = 0; i < frames.size(); ++i) {
            const Frame &frame = frames[i];
            SCOPED_TRACE(frame.message->name + " " + hex(frame.data));
            const QJsonObject their_signals = theirs[int(i)].toObject();
            std::map<std::string, double> ours;
            for (const CANdbSignal *signal : frame.message->present_signals(frame.data.data(), int(frame.data.size())))
                ours[signal->name] = raw_value(*signal, frame.data);
            std::map<std::string, double> canmatrix;
            for (auto it = their_signals.begin(); it != their_signals.end(); ++it)
                canmatrix[it.key().toStdString().substr(frame.message->name.size() + 1)] = it.value().toDouble();
            EXPECT_EQ(ours, canmatrix);
        }
    }
}

// canmatrix follows one chain of multiplexors and compares a signed
// multiplexor's value with its sign; each signal goes by its own
// multiplexor here, whose raw bits select (a CANopen abort, command byte
// 0x80, carries its error code under "m128" of a signed multiplexor).
TEST(MultiplexDecode, IndependentAndSignedMultiplexors)
{
    VYR_REQUIRE_TESTDATA();
    CANdbNetwork canopen, independent;
    candb_json::Collector log;
    const std::string dbc = vyr_test::testdata_dir() + "/dbc/";
    ASSERT_EQ(candb_json::load(dbc + "canmatrix/tests/files/dbc/aa.dbc", canopen, &log), 0);
    ASSERT_EQ(candb_json::load(dbc + "cantools/tests/files/dbc/issue_184_extended_mux_independent_multiplexors_dumped.dbc",
                               independent, &log),
              0);
    auto names = [](const CANdbNetwork &net, const char *message, std::vector<uint8_t> data) {
        std::vector<std::string> present;
        for (const CANdbSignal *signal : net.find_message(message)->present_signals(data.data(), int(data.size())))
            present.push_back(signal->name);
        std::sort(present.begin(), present.end());
        return present;
    };
    EXPECT_EQ(names(canopen, "SDO_upload", {0x80, 0, 0x10, 1, 0, 0, 4, 6}),
              (std::vector<std::string>{"error_code", "sdo_state", "sdo_uo_IDX", "sdo_up_SUBIDX"}));
    EXPECT_EQ(names(canopen, "SDO_upload", {0x4F, 0, 0x10, 1, 7, 0, 0, 0}),
              (std::vector<std::string>{"data8", "sdo_state", "sdo_uo_IDX", "sdo_up_SUBIDX"}));
    EXPECT_EQ(names(independent, "ext_MUX_indep_multiplexors", {0, 0, 1, 0, 0, 0, 0, 0}),
              (std::vector<std::string>{"MUX_A", "MUX_B", "muxed_A_0", "muxed_B_1"}));
}

} // namespace
