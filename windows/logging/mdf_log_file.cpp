#include "windows/logging/mdf_log_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <ctime>
#include <set>

namespace {

constexpr uint32_t conversion_size = 62;
constexpr uint32_t channel_size = 218;
constexpr uint32_t group_size = 26;
constexpr uint32_t data_group_size = 24;
constexpr uint32_t block_header_size = 4;
constexpr char file_identifier[] = "MDF     ";
constexpr char program_identifier[] = "VYR";
constexpr uint16_t version = 200;
constexpr char comment[] = "Quorlo InternalVersion\r\x1a";
constexpr size_t stream_buffer_size = 256 * 1024;

// The fifteen channels of a record, in record order.
const MdfLogFile::Channel g_channels[MdfLogFile::channel_count] = {
    {"type", 0, 8, 0, 0},     {"can", 8, 16, 0, 1},     {"id", 24, 32, 0, 1},       {"dir", 56, 8, 0, 0},
    {"rtr", 64, 8, 0, 0},     {"dlc", 72, 8, 0, 0},     {"msg[0]", 80, 8, 0, 0},    {"msg[1]", 88, 8, 0, 0},
    {"msg[2]", 96, 8, 0, 0},  {"msg[3]", 104, 8, 0, 0}, {"msg[4]", 112, 8, 0, 0},   {"msg[5]", 120, 8, 0, 0},
    {"msg[6]", 128, 8, 0, 0}, {"msg[7]", 136, 8, 0, 0}, {"msgTime", 144, 32, 1, 0},
};

// A block built field by field, little-endian.
class BlockWriter
{
public:
    BlockWriter &u8(uint8_t value)
    {
        m_bytes.push_back(value);
        return *this;
    }
    BlockWriter &u16(uint16_t value) { return u8(uint8_t(value)).u8(uint8_t(value >> 8)); }
    BlockWriter &u32(uint32_t value) { return u16(uint16_t(value)).u16(uint16_t(value >> 16)); }
    BlockWriter &f64(double value)
    {
        uint64_t bits;
        memcpy(&bits, &value, sizeof bits);
        return u32(uint32_t(bits)).u32(uint32_t(bits >> 32));
    }
    // The text in a field of the width, zero-filled (cut when longer).
    BlockWriter &text(const std::string &value, size_t width)
    {
        for (size_t i = 0; i < width; ++i)
            u8(i < value.size() ? uint8_t(value[i]) : 0);
        return *this;
    }
    BlockWriter &zeros(size_t count) { return text(std::string(), count); }
    bool write_to(FILE *file) const { return fwrite(m_bytes.data(), 1, m_bytes.size(), file) == m_bytes.size(); }
    size_t size() const { return m_bytes.size(); }

private:
    std::vector<uint8_t> m_bytes;
};

uint16_t get_u16(const uint8_t *in)
{
    return uint16_t(in[0] | in[1] << 8);
}

uint32_t get_u32(const uint8_t *in)
{
    return uint32_t(get_u16(in)) | uint32_t(get_u16(in + 2)) << 16;
}

double get_f64(const uint8_t *in)
{
    const uint64_t bits = uint64_t(get_u32(in)) | uint64_t(get_u32(in + 4)) << 32;
    double value;
    memcpy(&value, &bits, sizeof value);
    return value;
}

std::string get_text(const uint8_t *in, size_t width)
{
    const char *text = reinterpret_cast<const char *>(in);
    return std::string(text, strnlen(text, width));
}

uint64_t file_size(FILE *file)
{
    struct stat status
    {};
    return fstat(fileno(file), &status) == 0 ? uint64_t(status.st_size) : 0;
}

} // namespace

MdfLogFile::MdfLogFile() = default;

MdfLogFile::~MdfLogFile()
{
    close();
}

void MdfLogFile::build_blocks()
{
    m_data_group = DataGroup();
    m_group = ChannelGroup();
    m_conversion = Conversion();
    m_channels.assign(std::begin(g_channels), std::end(g_channels));
}

int MdfLogFile::create(const std::string &path)
{
    close();
    m_format_error = false;
    build_blocks();
    const time_t now = ::time(nullptr);
    tm local{};
    localtime_r(&now, &local);
    char text[32];
    snprintf(text, sizeof text, "%02d:%02d:%04d", local.tm_mday, local.tm_mon + 1, local.tm_year + 1900);
    m_date = text;
    snprintf(text, sizeof text, "%02d:%02d:%02d", local.tm_hour, local.tm_min, local.tm_sec);
    m_time = text;
    m_file = fopen(path.c_str(), "wb");
    if (!m_file)
        return 1;
    m_stream_buffer.resize(stream_buffer_size);
    setvbuf(m_file, m_stream_buffer.data(), _IOFBF, m_stream_buffer.size());
    BlockWriter identification;
    identification.text(file_identifier, 8).zeros(8).text(program_identifier, 8).u16(0).u16(0).u16(version);
    identification.zeros(identification_size - identification.size());
    if (!identification.write_to(m_file) || !write_head(0, 0)) {
        fclose(m_file);
        m_file = nullptr;
        return 1;
    }
    m_writing = true;
    return 0;
}

int MdfLogFile::append(const std::string &path)
{
    close();
    m_format_error = false;
    struct stat status
    {};
    if (stat(path.c_str(), &status) != 0 || status.st_size == 0)
        return create(path);
    m_file = fopen(path.c_str(), "r+b");
    if (!m_file)
        return 1;
    uint32_t data_group_link = 0;
    const uint64_t size = file_size(m_file);
    if (!read_head(data_group_link) || !walk_blocks(data_group_link, size) || !blocks_fit(data_group_link, size))
        return refuse();
    if (!seek_record(0))
        return refuse();
    // Records written behind one that cannot be read would be lost to a
    // reader: every record must read, up to the count of a completed file or
    // to the end of one whose writer ended early (a record it was cutting
    // short is written over).
    const bool completed = data_group_link != 0;
    uint32_t count = 0;
    while (!completed || count < m_group.records) {
        const uint8_t *found = record(count);
        if (!found || found[0] != 1)
            break;
        ++count;
    }
    const uint64_t end_of_records = records_offset + uint64_t(record_size) * count;
    if (completed ? count != m_group.records : size - end_of_records >= record_size)
        return refuse();
    build_blocks();
    m_group.records = count;
    if (!seek_record(count))
        return refuse();
    m_writing = true;
    return 0;
}

bool MdfLogFile::write_head(uint32_t data_group_link, uint32_t text_link)
{
    BlockWriter head;
    head.text("HD", 2).u16(header_size).u32(data_group_link).u32(text_link).u32(0).u16(1);
    head.text(m_date, 10).text(m_time, 8);
    head.zeros(header_size - head.size());
    return head.write_to(m_file);
}

int MdfLogFile::write_record(uint8_t *record)
{
    if (!m_file || !m_writing)
        return 1;
    record[0] = 1;
    if (fwrite(record, 1, record_size, m_file) != record_size)
        return 1;
    ++m_group.records;
    return 0;
}

bool MdfLogFile::write_blocks()
{
    uint32_t position = records_offset + record_size * m_group.records;
    if (fseeko(m_file, position, SEEK_SET) != 0)
        return false;
    const uint32_t conversion_link = position;
    BlockWriter conversion;
    conversion.text("CC", 2).u16(conversion_size).u16(0).f64(0.0).f64(0.0).zeros(20);
    conversion.u16(m_conversion.type).u16(2).f64(m_conversion.offset).f64(m_conversion.factor);
    bool written = conversion.write_to(m_file);
    position += conversion_size;

    // From the last channel back to the first, each linking to the next in
    // channel order: the one written just before it.
    uint32_t next_channel = 0;
    for (size_t index = m_channels.size(); index-- > 0;) {
        const Channel &channel = m_channels[index];
        BlockWriter block;
        block.text("CN", 2).u16(channel_size).u32(next_channel);
        block.u32(channel.channel_type == 1 ? conversion_link : 0).u32(0).u32(0).u32(0);
        block.u16(channel.channel_type).text(channel.name, 32).zeros(128);
        block.u16(channel.first_bit).u16(channel.bits).u16(channel.data_type);
        block.zeros(channel_size - block.size());
        written = written && block.write_to(m_file);
        next_channel = position;
        position += channel_size;
    }

    const uint32_t group_link = position;
    BlockWriter group;
    group.text("CG", 2).u16(group_size).u32(0).u32(next_channel).u32(0);
    group.u16(m_group.record_id).u16(m_group.channels).u16(m_group.record_size).u32(m_group.records);
    written = written && group.write_to(m_file);
    position += group_size;

    const uint32_t data_group_link = position;
    BlockWriter data_group;
    data_group.text("DG", 2).u16(data_group_size).u32(0).u32(group_link).u32(0).u32(m_data_group.data);
    data_group.u16(m_data_group.channel_groups).u16(m_data_group.record_ids);
    written = written && data_group.write_to(m_file);
    position += data_group_size;

    const uint32_t text_link = position;
    const std::string text = comment;
    BlockWriter tx;
    tx.text("TX", 2).u16(uint16_t(text.size() + 5)).text(text, text.size() + 1);
    written = written && tx.write_to(m_file);
    position += uint32_t(tx.size());

    // An appended file may have held a longer tail: it ends here now.
    return written && fseeko(m_file, identification_size, SEEK_SET) == 0 && write_head(data_group_link, text_link) &&
        fflush(m_file) == 0 && ftruncate(fileno(m_file), position) == 0;
}

int MdfLogFile::close()
{
    if (!m_file)
        return 0;
    const bool written = !m_writing || write_blocks();
    const bool closed = fclose(m_file) == 0;
    m_file = nullptr;
    m_writing = false;
    m_channels.clear();
    m_has_group = m_has_data_group = false;
    return written && closed ? 0 : 1;
}

int MdfLogFile::refuse()
{
    fclose(m_file);
    m_file = nullptr;
    m_writing = false;
    m_format_error = true;
    return 1;
}

bool MdfLogFile::read_head(uint32_t &data_group_link)
{
    uint8_t identification[identification_size];
    uint8_t head[header_size];
    if (fread(identification, 1, identification_size, m_file) != identification_size ||
        memcmp(identification, file_identifier, 8) != 0 || identification[8] != 0 ||
        fread(head, 1, header_size, m_file) != header_size || memcmp(head, "HD", 2) != 0 ||
        get_u16(head + 2) != header_size)
        return false;
    data_group_link = get_u32(head + 4);
    m_date = get_text(head + 18, 10);
    m_time = get_text(head + 28, 8);
    return true;
}

bool MdfLogFile::walk_blocks(uint32_t link, uint64_t size)
{
    m_channels.clear();
    m_has_group = m_has_data_group = false;
    std::set<uint32_t> visited;
    std::vector<uint8_t> block;
    // A link to a block already walked or beyond the file ends the walk.
    while (link != 0 && visited.insert(link).second && link + uint64_t(block_header_size) <= size) {
        uint8_t header[block_header_size];
        if (fseeko(m_file, link, SEEK_SET) != 0 || fread(header, 1, block_header_size, m_file) != block_header_size)
            break;
        const uint16_t block_size = get_u16(header + 2);
        if (block_size < block_header_size)
            return false;
        if (link + uint64_t(block_size) > size)
            break;
        block.assign(header, header + block_header_size);
        block.resize(block_size);
        if (fread(block.data() + block_header_size, 1, block_size - block_header_size, m_file) !=
            size_t(block_size - block_header_size))
            break;
        const uint8_t *in = block.data();
        if (memcmp(in, "CC", 2) == 0 && block_size >= conversion_size) {
            m_conversion.type = get_u16(in + 42);
            m_conversion.offset = get_f64(in + 46);
            m_conversion.factor = get_f64(in + 54);
        } else if (memcmp(in, "CG", 2) == 0 && block_size >= group_size) {
            m_group.record_id = get_u16(in + 16);
            m_group.channels = get_u16(in + 18);
            m_group.record_size = get_u16(in + 20);
            m_group.records = get_u32(in + 22);
            m_has_group = true;
        } else if (memcmp(in, "DG", 2) == 0 && block_size >= data_group_size) {
            m_data_group.data = get_u32(in + 16);
            m_data_group.channel_groups = get_u16(in + 20);
            m_data_group.record_ids = get_u16(in + 22);
            m_has_data_group = true;
        } else if (memcmp(in, "CN", 2) == 0 && block_size >= 192 && m_channels.size() < size_t(max_kept_channels)) {
            m_channels.push_back(
                {get_text(in + 26, 32), get_u16(in + 186), get_u16(in + 188), get_u16(in + 24), get_u16(in + 190)});
        }
        const uint32_t next = block_size >= 8 ? get_u32(in + 4) : 0;
        link = next != 0 || block_size < 12 ? next : get_u32(in + 8);
    }
    return true;
}

bool MdfLogFile::blocks_fit(uint32_t data_group_link, uint64_t size) const
{
    // A file whose writer never completed it has no blocks: its records
    // read up to where they end.
    if (data_group_link == 0)
        return true;
    return m_has_data_group && m_has_group && m_data_group.data == records_offset && m_data_group.record_ids == 1 &&
        m_group.record_size == record_size - 1 && records_offset + uint64_t(record_size) * m_group.records <= size;
}

int MdfLogFile::open_read(const std::string &path)
{
    close();
    m_format_error = false;
    m_group = ChannelGroup();
    m_file = fopen(path.c_str(), "rb");
    if (!m_file)
        return 1;
    uint32_t data_group_link = 0;
    const uint64_t size = file_size(m_file);
    if (!read_head(data_group_link) || !walk_blocks(data_group_link, size) || !blocks_fit(data_group_link, size) ||
        !seek_record(0))
        return refuse();
    return 0;
}

bool MdfLogFile::seek_record(uint32_t index)
{
    m_next_index = index;
    if (fseeko(m_file, off_t(records_offset) + off_t(record_size) * index, SEEK_SET) == 0)
        return true;
    m_next_index = UINT32_MAX;
    return false;
}

const uint8_t *MdfLogFile::record(uint32_t index)
{
    // Read in order, the stream is already there.
    if (!m_file || (index != m_next_index && !seek_record(index)))
        return nullptr;
    if (fread(m_record, 1, record_size, m_file) != record_size) {
        m_next_index = UINT32_MAX;
        return nullptr;
    }
    ++m_next_index;
    return m_record;
}
