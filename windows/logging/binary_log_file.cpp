#include "windows/logging/binary_log_file.h"

#include <algorithm>
#include <cstring>
#include <ctime>

namespace {

// Message flag bits in the order of the file's flag bits 0 to 5.
constexpr uint32_t g_flag_bits[] = {
    VyrCanMessage::Extended, VyrCanMessage::ErrorFrame, VyrCanMessage::Remote,
    VyrCanMessage::WakeUp,   VyrCanMessage::TxAck,      VyrCanMessage::TxRequest,
};

void put_u16(uint8_t *out, uint32_t value)
{
    out[0] = uint8_t(value);
    out[1] = uint8_t(value >> 8);
}

void put_u32(uint8_t *out, uint32_t value)
{
    put_u16(out, value);
    put_u16(out + 2, value >> 16);
}

uint32_t get_u32(const uint8_t *in)
{
    return uint32_t(in[0]) | uint32_t(in[1]) << 8 | uint32_t(in[2]) << 16 | uint32_t(in[3]) << 24;
}

} // namespace

BinaryLogFile::BinaryLogFile() = default;

uint8_t BinaryLogFile::file_flags(uint32_t message_flags)
{
    uint8_t flags = 0;
    for (size_t bit = 0; bit < std::size(g_flag_bits); ++bit)
        if (message_flags & g_flag_bits[bit])
            flags |= uint8_t(1u << bit);
    return flags;
}

uint32_t BinaryLogFile::message_flags(uint8_t file_flags)
{
    uint32_t flags = 0;
    for (size_t bit = 0; bit < std::size(g_flag_bits); ++bit)
        if (file_flags & (1u << bit))
            flags |= g_flag_bits[bit];
    return flags;
}

bool BinaryLogFile::write_record(const uint8_t *record)
{
    return write_text(reinterpret_cast<const char *>(record), record_size);
}

int BinaryLogFile::open()
{
    if (const int result = LogFile::open())
        return result;
    m_first_message = true;
    if (write_mode() == ReadMode) {
        m_read_time = 0;
        m_start_read = false;
        return Success;
    }
    const time_t now = time(nullptr);
    tm local{};
    localtime_r(&now, &local);
    uint8_t record[record_size] = {record_size, StartRecord, 1};
    put_u16(record + 6, uint32_t(local.tm_year + 1900));
    record[8] = uint8_t(local.tm_mon + 1);
    record[9] = uint8_t(local.tm_mday);
    record[10] = uint8_t(local.tm_hour);
    record[11] = uint8_t(local.tm_min);
    record[12] = uint8_t(local.tm_sec);
    return write_record(record) ? Success : WriteError;
}

int BinaryLogFile::write_message(const VyrCanMessage &message, uint32_t &bytes_written)
{
    bytes_written = 0;
    if (!file())
        return Success;
    if (m_first_message) {
        m_previous_time = message.time;
        m_first_message = false;
    }
    // Built in the output buffer itself; a failed write of the buffer is
    // reported, as the disc-full reason needs it.
    uint8_t *const record = reinterpret_cast<uint8_t *>(output_space(record_size));
    if (!record)
        return WriteError;
    record[0] = record_size;
    record[1] = MessageRecord;
    record[2] = message.dlc;
    record[3] = message.channel;
    record[4] = file_flags(message.flags);
    record[5] = 0;
    put_u32(record + 6, message.time - m_previous_time);
    put_u32(record + 10, message.id);
    memcpy(record + 14, message.data, 8);
    commit_output(record_size);
    m_previous_time = message.time;
    bytes_written = record_size;
    return Success;
}

int BinaryLogFile::close()
{
    if (is_open() && write_mode() != ReadMode) {
        const uint8_t record[record_size] = {record_size, EndRecord};
        if (!write_record(record)) {
            LogFile::close();
            return WriteError;
        }
    }
    return LogFile::close();
}

bool BinaryLogFile::read_start_record()
{
    uint8_t record[record_size];
    if (fread_unlocked(record, 1, record_size, file()) == record_size && record[0] == record_size &&
        record[1] == StartRecord)
        return true;
    fseeko(file(), 0, SEEK_END);
    return false;
}

int BinaryLogFile::read_message(VyrCanMessage &message)
{
    message = VyrCanMessage();
    if (!file())
        return NoFilename;
    if (!m_start_read) {
        m_start_read = true;
        if (!read_start_record())
            return InvalidContents;
    }
    uint8_t record[record_size];
    for (;;) {
        if (fread_unlocked(record, 1, 2, file()) != 2 || record[0] < 3)
            return EndOfFile;
        const size_t length = record[0];
        const size_t kept = std::min<size_t>(length, record_size) - 2;
        if (fread_unlocked(record + 2, 1, kept, file()) != kept)
            return EndOfFile;
        // A longer record than ours: its extra bytes are passed over.
        for (size_t extra = length - 2 - kept; extra > 0; --extra)
            if (getc_unlocked(file()) == EOF)
                return EndOfFile;
        if (record[1] == StartRecord)
            continue;
        if (record[1] != MessageRecord)
            return EndOfFile;
        // A short record lacks fields; what it holds is not a frame.
        if (length < size_t(record_size))
            return InvalidContents;
        break;
    }
    message.dlc = std::min<uint8_t>(record[2], 8);
    message.channel = record[3];
    message.flags = message_flags(record[4]);
    message.id = get_u32(record + 10);
    memcpy(message.data, record + 14, 8);
    m_read_time += get_u32(record + 6);
    message.time = m_read_time;
    return Success;
}
