#pragma once
// A small writer and reader of measurement data files of the MDF layout,
// version 2.00, as the "Binary (mdf)" log format makes them: one data group,
// one channel group of fixed 23-byte records and fifteen channels that
// describe the record. It knows nothing of CAN or of LogFile.
//
//   offset 0      identification block (64 bytes)
//   offset 64     HD header block (164 bytes)
//   offset 228    the records, 23 bytes each (record identifier 1, then 22 bytes)
//   then          CC, the CN blocks from the last channel back to the first,
//                 CG, DG and the TX comment, written at close
//
// All numbers are little-endian and every block is written field by field.
// Links are absolute file offsets, 0 for none.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

class MdfLogFile
{
public:
    static constexpr uint32_t identification_size = 64;
    static constexpr uint32_t header_size = 164;
    static constexpr uint32_t records_offset = identification_size + header_size;
    static constexpr uint32_t record_size = 23;
    static constexpr int channel_count = 15;
    static constexpr int max_kept_channels = 16;
    // The time channel counts 10 microseconds; its conversion gives seconds.
    static constexpr double time_factor = 0.00001;

    // One block of the channel description as it is written and read.
    struct Channel
    {
        std::string name;
        uint16_t first_bit = 0;
        uint16_t bits = 0;
        uint16_t channel_type = 0; // 0 data, 1 time
        uint16_t data_type = 0;    // 0 unsigned, 1 signed integer
    };
    struct ChannelGroup
    {
        uint16_t record_id = 1;
        uint16_t channels = channel_count;
        uint16_t record_size = MdfLogFile::record_size - 1;
        uint32_t records = 0;
    };
    struct DataGroup
    {
        uint32_t data = records_offset;
        uint16_t channel_groups = 1;
        uint16_t record_ids = 1;
    };
    struct Conversion
    {
        uint16_t type = 0; // linear
        double offset = 0.0;
        double factor = time_factor;
    };

    MdfLogFile();
    ~MdfLogFile();
    MdfLogFile(const MdfLogFile &) = delete;
    MdfLogFile &operator=(const MdfLogFile &) = delete;

    // A new file: the identification and HD blocks, dated now (local time).
    // 0, or 1 when the file cannot be made.
    int create(const std::string &path);
    // Continues a file of this layout after its last record; the blocks are
    // written anew at close with the new count. A missing or empty file is
    // created. 0, or 1 with format_error() when the file is of another
    // layout or holds a record that does not read (it is left as it was),
    // without it when it cannot be opened.
    int append(const std::string &path);
    // Writes one record (byte 0 becomes the record identifier 1); 0, or 1
    // when no file is open for writing or the write fails.
    int write_record(uint8_t *record);
    // Completes a written file with its blocks and closes it; 0, or 1 when
    // writing them failed. A file opened for reading is just closed.
    int close();
    // Opens a file of this layout for reading; 0, or 1 (with format_error()
    // when the file is of another layout or damaged).
    int open_read(const std::string &path);
    // The record at the index, or null when there is none.
    const uint8_t *record(uint32_t index);

    bool is_open() const { return m_file != nullptr; }
    bool writing() const { return m_writing; }
    bool format_error() const { return m_format_error; }
    uint32_t record_count() const { return m_group.records; }
    // The creation date "DD:MM:YYYY" and time "hh:mm:ss" of the HD block.
    const std::string &creation_date() const { return m_date; }
    const std::string &creation_time() const { return m_time; }
    // The blocks the reader's walk found.
    const std::vector<Channel> &channels() const { return m_channels; }
    bool has_channel_group() const { return m_has_group; }

private:
    void build_blocks();
    // Reads and checks the identification and HD blocks; false when the file
    // is not of this layout.
    bool read_head(uint32_t &data_group_link);
    // Follows the block chain from the first DG block; false when a block is
    // malformed (its size below its own header).
    bool walk_blocks(uint32_t link, uint64_t file_size);
    // Checks what the walk found against the file's size: false when the
    // records are not where and as this layout has them.
    bool blocks_fit(uint32_t data_group_link, uint64_t file_size) const;
    // Writes the HD block where the stream is.
    bool write_head(uint32_t data_group_link, uint32_t text_link);
    bool write_blocks();
    // Closes a file of another layout and marks it so; 1.
    int refuse();
    // The stream to the record at the index; false when it cannot go there.
    bool seek_record(uint32_t index);

    FILE *m_file = nullptr;
    bool m_writing = false;
    bool m_format_error = false;
    std::string m_date;
    std::string m_time;
    DataGroup m_data_group;
    ChannelGroup m_group;
    Conversion m_conversion;
    std::vector<Channel> m_channels;
    bool m_has_group = false;
    bool m_has_data_group = false;
    uint8_t m_record[record_size] = {};
    // The index of the record the read position is at, for reading in order.
    uint32_t m_next_index = 0;
    std::vector<char> m_stream_buffer;
};
