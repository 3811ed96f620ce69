#pragma once
// The plain-text log format "ASCII" (".txt"): a header recording the
// settings, one fixed-column line per message, comment lines for start, stop
// and limit events and a footer. The reader takes such files back, also
// files converted from the Archivant logger, for replay. A line holding a
// zero byte is no text and is answered with InvalidContents.
#include "windows/logging/log_file.h"

#include <memory>
#include <string>

class CANdbMessage;

class AsciiLogFile : public LogFile
{
public:
    enum TimeFormat { Seconds = 0, HoursMinutesSeconds = 1 };
    // A line is at most this long (the reader's limit as well); the reader
    // refuses a longer message line as a whole.
    static constexpr int line_size = 1024;
    // Database names up to this length stand for the identifier; a message
    // with a longer name is logged with its number, so that its lines stay
    // within line_size.
    static constexpr int max_name_length = 200;

    AsciiLogFile();
    ~AsciiLogFile() override;

    int write_message(const VyrCanMessage &message, uint32_t &bytes_written) override;
    int open() override;
    int close() override;
    int read_message(VyrCanMessage &message) override;
    int write_comment(const char *text) override;
    // The parameters dialog with the five options in its buttons; accepted,
    // they are read back. False without the dialog (no shell installed it).
    bool setup_dialog(QWidget *parent) override;
    void write_options(QtbConfigGroup *group) override;
    void read_options(QtbConfigGroup *group) override;

    int time_format() const { return m_time_format; }
    void set_time_format(int format) { m_time_format = format; }
    bool data_hex() const { return m_data_hex; }
    void set_data_hex(bool hex) { m_data_hex = hex; }
    bool id_hex() const { return m_id_hex; }
    void set_id_hex(bool hex) { m_id_hex = hex; }
    bool use_candb_for_id() const { return m_use_candb_for_id; }
    void set_use_candb_for_id(bool on) { m_use_candb_for_id = on; }
    bool abs_time() const { return m_abs_time; }
    void set_abs_time(bool on) { m_abs_time = on; }

    // The date and time as comments and the header show it ("Thu Dec 3
    // 09:05:01 2026"), in the local time zone and with English names
    // whatever the locale says.
    static std::string date_time_text(time_t time);

private:
    bool write_line(const char *text, size_t length);
    int write_header();
    // The line under the column titles and at the end.
    std::string separator() const;
    // Appends the identifier field of the message to the line.
    char *put_identifier(char *out, const VyrCanMessage &message) const;
    // True when the reader gets the frame's identifier back from the
    // database message's name and the formatter's columns of the line.
    bool name_gives_id(const CANdbMessage &found, const VyrCanMessage &message) const;
    // Appends the formatter's columns that stand before the data or after the
    // counter, as many as fit before `end`; each is right-aligned in its width.
    char *put_columns(char *out, const char *end, const VyrCanMessage &message, bool after_counter) const;
    // The formatter whose columns the file's lines hold, from the "Plugin"
    // line of its header: the interface's one of that name or a new one.
    void find_column_formatter();
    // The rest of a message line after its time stamp.
    int parse_after_time(const char *time_end, VyrCanMessage &message);
    // The identifier field: a database name or a number of at most 29 bits.
    int parse_identifier(const char *&cursor, bool left_aligned, bool &by_name, uint32_t &id) const;
    // The fields that the writer puts at fixed places after the identifier
    // when its formatter has columns: the flags and the columns before the length.
    int parse_fixed_fields(const char *time_end, const char *id_end, const char *&cursor, VyrCanMessage &message,
                           std::string *column_texts) const;
    // Relative times add up to the message's time.
    void accumulate_relative_time(VyrCanMessage &message);

    int m_time_format = HoursMinutesSeconds;
    bool m_data_hex = true;
    bool m_id_hex = true;
    bool m_use_candb_for_id = true;
    bool m_abs_time = true;

    uint32_t m_counter = 0;
    uint32_t m_base_time = 0;
    bool m_first_message = true;

    bool m_header_mode = false;
    uint32_t m_line_counter = 0;
    uint32_t m_accumulated_ms = 0;
    uint32_t m_accumulated_us = 0;
    // Of the file being read: the formatter named in its header, and the one
    // made for it when the interface has another.
    std::string m_plugin_name;
    const IdFormatter *m_column_formatter = nullptr;
    std::unique_ptr<IdFormatter> m_own_formatter;
    bool m_columns_unknown = false;
};
