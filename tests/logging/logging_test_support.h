#pragma once
// Helpers of the log-file tests: frames from a real candump log, whole files
// written and read back, and a small network database.
#include "core/candb_cluster.h"
#include "core/candb_message.h"
#include "core/candb_network.h"
#include "interfaces/can/vyr_can_if.h"
#include "core/frames/vyr_can_message.h"
#include "windows/logging/log_file.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace vyr_test {

// Dates in the tests are in UTC.
inline void use_utc()
{
    setenv("TZ", "UTC", 1);
    tzset();
}

// A test with a folder of its own for its files, and dates in UTC.
class LogDirTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        use_utc();
        ASSERT_TRUE(m_dir.isValid());
    }
    std::string path(const char *name) const { return m_dir.filePath(name).toStdString(); }

    QTemporaryDir m_dir;
};

inline std::string read_file(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

inline void write_file(const std::string &path, const std::string &text)
{
    std::ofstream(path, std::ios::binary) << text;
}

// The frames of a candump -L log ("(seconds) can0 123#1122", "##" for CAN FD
// with its flag digit, "R" for a remote frame); times in ms from the first frame.
inline std::vector<VyrCanMessage> read_candump(const std::string &path)
{
    std::vector<VyrCanMessage> frames;
    std::ifstream in(path);
    std::string stamp, bus, frame;
    double first = -1;
    while (in >> stamp >> bus >> frame) {
        const double seconds = std::stod(stamp.substr(1));
        if (first < 0)
            first = seconds;
        VyrCanMessage message;
        message.time = uint32_t((seconds - first) * 1000.0 + 0.5);
        message.channel = uint8_t(bus.back() - '0');
        const size_t hash = frame.find('#');
        message.id = uint32_t(std::stoul(frame.substr(0, hash), nullptr, 16));
        if (hash > 3)
            message.flags |= VyrCanMessage::Extended;
        std::string data = frame.substr(hash + 1);
        if (!data.empty() && data[0] == '#') {
            message.flags |= VyrCanMessage::FdFrame;
            if ((data[1] - '0') & 1)
                message.flags |= VyrCanMessage::BitRateSwitch;
            data = data.substr(2);
        } else if (data == "R") {
            message.flags |= VyrCanMessage::Remote;
            data.clear();
        }
        message.dlc = uint8_t(data.size() / 2);
        for (size_t i = 0; i < message.dlc; ++i)
            message.data[i] = uint8_t(std::stoul(data.substr(2 * i, 2), nullptr, 16));
        frames.push_back(message);
    }
    return frames;
}

// A CAN interface whose database has one network with the messages (name,
// identifier, extended).
inline std::unique_ptr<VyrCanIf> interface_with_database(
    const std::vector<std::tuple<const char *, uint32_t, bool>> &messages)
{
    auto cluster = std::make_unique<CANdbCluster>();
    auto network = std::make_unique<CANdbNetwork>();
    for (const auto &[name, id, extended] : messages) {
        auto message = std::make_unique<CANdbMessage>(name);
        message->id = id;
        message->extended = extended;
        network->insert_message(std::move(message));
    }
    cluster->add_network(std::move(network));
    auto can_if = std::make_unique<VyrCanIf>("CAN", nullptr, nullptr);
    can_if->set_databases(std::move(cluster));
    return can_if;
}

// Logs the frames into a new file (logging starts at once) and closes it.
inline int write_log(LogFile &log, const std::string &path, const std::vector<VyrCanMessage> &frames)
{
    log.set_file_name(path.c_str());
    log.set_write_mode(LogFile::Overwrite);
    if (const int result = log.open())
        return result;
    log.set_stopped(false);
    for (const VyrCanMessage &frame : frames)
        if (const int result = log.log_message(frame))
            return result;
    return log.close();
}

struct ReadRecord
{
    int result;
    VyrCanMessage message;
};

// Every record up to the end of the file or the first error.
inline std::vector<ReadRecord> read_log(LogFile &log, const std::string &path)
{
    std::vector<ReadRecord> records;
    log.set_file_name(path.c_str());
    log.set_write_mode(LogFile::ReadMode);
    if (const int result = log.open())
        return {{result, {}}};
    for (;;) {
        ReadRecord record{};
        record.result = log.read_message(record.message);
        if (record.result == LogFile::EndOfFile)
            break;
        records.push_back(record);
        if (record.result != LogFile::Success)
            break;
    }
    log.close();
    return records;
}

} // namespace vyr_test
