#include "windows/logging/archivant_log_file.h"

#include <algorithm>
#include <cstring>

namespace {

uint32_t get_u32(const uint8_t *in)
{
    return uint32_t(in[0]) | uint32_t(in[1]) << 8 | uint32_t(in[2]) << 16 | uint32_t(in[3]) << 24;
}

constexpr uint32_t counter_span = 0x10000;

} // namespace

ArchivantLogFile::ArchivantLogFile(bool first_generation) : m_first_generation(first_generation) {}

int ArchivantLogFile::open()
{
    m_first_record = true;
    if (write_mode() == ReadMode)
        return LogFile::open();
    // Nothing is written, so no file is made, not even a numbered one.
    return prepare_open(NumberedName::Probe);
}

int ArchivantLogFile::write_message(const VyrCanMessage &, uint32_t &bytes_written)
{
    bytes_written = 0;
    return Success;
}

int ArchivantLogFile::read_message(VyrCanMessage &message)
{
    message = VyrCanMessage();
    if (m_first_record) {
        m_time_high = 0;
        m_last_low_time = 0;
        m_first_record = false;
    }
    if (!file())
        return ReadError;
    uint8_t record[record_size];
    for (;;) {
        const size_t read = fread_unlocked(record, 1, record_size, file());
        if (read != record_size)
            return read == 0 && feof(file()) ? EndOfFile : InvalidContents;
        switch (record[0]) {
        case FirstChannelFrame:
        case SecondChannelFrame:
            break;
        case TimerWrap:
            if (m_first_generation) {
                m_time_high += counter_span;
                m_last_low_time = 0;
            }
            continue;
        case TimeHighPart:
            m_time_high = get_u32(record + 1) & ~(counter_span - 1);
            m_last_low_time = 0;
            continue;
        case EndOfData:
            return EndOfFile;
        default:
            continue;
        }
        break;
    }
    message.channel = record[0] == FirstChannelFrame ? 0 : 1;
    const uint32_t id = get_u32(record + 2);
    message.id = id & 0x7FFFFFFFu;
    if (id & 0x80000000u)
        message.flags |= VyrCanMessage::Extended;
    if (record[1] & 0x80)
        message.flags |= VyrCanMessage::Remote;
    // The record holds eight data bytes, whatever its length field says.
    message.dlc = std::min<uint8_t>(record[1] & 0x7F, 8);
    memcpy(message.data, record + 6, message.dlc);
    const uint16_t low_time = uint16_t(record[14] | record[15] << 8);
    if (low_time < m_last_low_time)
        m_time_high += counter_span; // ran over without a wrap record
    m_last_low_time = low_time;
    message.time = uint32_t((uint64_t(m_time_high) + low_time) / 100);
    return Success;
}
