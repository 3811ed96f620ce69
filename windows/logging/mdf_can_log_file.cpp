#include "windows/logging/mdf_can_log_file.h"

#include <algorithm>
#include <cstring>

namespace {

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

constexpr uint32_t extended_bit = 0x80000000u;

} // namespace

MdfCanLogFile::MdfCanLogFile() = default;

MdfCanLogFile::~MdfCanLogFile()
{
    // A file still open is completed with its blocks.
    m_mdf.close();
}

int MdfCanLogFile::open()
{
    if (const int result = prepare_open(NumberedName::Create))
        return result;
    m_read_index = 0;
    switch (write_mode()) {
    case ReadMode:
        if (m_mdf.open_read(actual_file_name()) != 0)
            return m_mdf.format_error() ? InvalidContents : UnableToOpenFile;
        return Success;
    case Append:
        if (m_mdf.append(actual_file_name()) != 0)
            return m_mdf.format_error() ? InvalidContents : UnableToOpenFile;
        return Success;
    default:
        return m_mdf.create(actual_file_name()) == 0 ? Success : UnableToOpenFile;
    }
}

void MdfCanLogFile::encode(const VyrCanMessage &message, uint8_t *record)
{
    memset(record, 0, MdfLogFile::record_size);
    const bool error_frame = message.flags & VyrCanMessage::ErrorFrame;
    record[1] = error_frame ? ErrorFrameRecord : FrameRecord;
    put_u16(record + 2, uint32_t(message.channel) + 1);
    record[8] = (message.flags & VyrCanMessage::TxAck) ? 1 : (message.flags & VyrCanMessage::TxRequest) ? 2 : 0;
    if (error_frame) {
        put_u32(record + 4, error_frame_id);
        record[10] = 8;
    } else {
        put_u32(record + 4, message.id | ((message.flags & VyrCanMessage::Extended) ? extended_bit : 0));
        record[9] = (message.flags & VyrCanMessage::Remote) ? 1 : 0;
        const uint8_t length = std::min<uint8_t>(message.dlc, 8);
        record[10] = length;
        memcpy(record + 11, message.data, length);
    }
    put_u32(record + 19, message.time * 100 + message.time_fraction);
}

VyrCanMessage MdfCanLogFile::decode(const uint8_t *record)
{
    VyrCanMessage message;
    message.channel = uint8_t(record[2] + (record[3] << 8) - 1);
    const uint8_t direction = record[8];
    if (direction == 1)
        message.flags |= VyrCanMessage::TxAck;
    else if (direction == 2)
        message.flags |= VyrCanMessage::TxRequest;
    if (record[1] == ErrorFrameRecord) {
        message.flags |= VyrCanMessage::ErrorFrame;
        message.dlc = 8;
    } else {
        const uint32_t id = get_u32(record + 4);
        message.id = id & ~extended_bit;
        if (id & extended_bit)
            message.flags |= VyrCanMessage::Extended;
        if (record[9])
            message.flags |= VyrCanMessage::Remote;
        // Never more than the record holds, whatever a damaged file says.
        message.dlc = std::min<uint8_t>(record[10], 8);
        memcpy(message.data, record + 11, message.dlc);
    }
    const uint32_t time = get_u32(record + 19);
    message.time = time / 100;
    message.time_fraction = uint8_t(time % 100);
    return message;
}

int MdfCanLogFile::write_message(const VyrCanMessage &message, uint32_t &bytes_written)
{
    bytes_written = 0;
    if (!m_mdf.is_open())
        return Failure;
    uint8_t record[MdfLogFile::record_size];
    encode(message, record);
    if (m_mdf.write_record(record) != 0)
        return Failure;
    bytes_written = MdfLogFile::record_size;
    return Success;
}

int MdfCanLogFile::read_message(VyrCanMessage &message)
{
    message = VyrCanMessage();
    if (!m_mdf.is_open())
        return ReadError;
    for (;;) {
        if (m_mdf.format_error())
            return InvalidContents;
        const uint8_t *record = m_mdf.record(m_read_index);
        if (!record)
            return EndOfFile;
        if (record[0] != 1) {
            // Within the count of the channel group a damaged record is
            // answered and passed over: the records have a fixed size.
            // Beyond it (or in a file never completed) the records end.
            if (m_read_index >= m_mdf.record_count())
                return EndOfFile;
            ++m_read_index;
            return InvalidContents;
        }
        ++m_read_index;
        if (record[1] == FrameRecord || record[1] == ErrorFrameRecord) {
            message = decode(record);
            return Success;
        }
    }
}

int MdfCanLogFile::close()
{
    if (!m_mdf.is_open())
        return Success;
    // A continued file holds the records of earlier measurements: it is not empty.
    const bool empty = m_mdf.writing() && m_mdf.record_count() == 0;
    if (m_mdf.close() != 0) {
        // The blocks that make the file readable are missing: the disc-full reason shows.
        latch_write_error();
        return WriteError;
    }
    if (empty)
        delete_if_empty();
    return Success;
}
