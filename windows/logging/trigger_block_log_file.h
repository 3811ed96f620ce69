#pragma once
// The Vector ASCII log format "ASCII (Vector)" (".asc"): the line-oriented
// CAN log text of Vector tools, which other tools read and write as well.
// A file is
//
//   date Thu Dec 3 09:05:01 am 2026
//   base hex timestamps absolute
//   Begin Triggerblock
//      1.234560  1 1a              Rx   d 2 01 ff
//      1.300000 CANFD   1 Rx        100   1 0 9 12 00 01 ... (eight fields)
//      1.400000  1 ErrorFrame
//   End Triggerblock
//
// with lines ending in "\r\n". "base" is the number base of identifiers and
// data ("hex" or "dec"), "timestamps" says whether a time is absolute or the
// time since the previous line. Frames use the classic layout, CAN FD frames
// (and, while the interface runs CAN FD, classic data frames) the "CANFD"
// layout; remote and error frames always the classic one.
//
// Reading (for replay): open in ReadMode, then read_message until EndOfFile.
// The reader takes "\r\n" and "\n", "." or "," before the fraction, upper or
// lower case, and skips every line that is no frame (the header, comments,
// statistics, words with ":" such as "Status:", "TxRq" lines). A classic
// line it cannot read is consumed and answered with its code (InvalidId,
// InvalidFlags, InvalidDlc, InvalidData), so that a reader may skip it and
// go on; a CAN FD line it cannot read is skipped. A line holding a zero byte
// is no text: it is answered with InvalidContents (a file of another kind). A classic frame carries at
// most 8 bytes whatever its DLC code, and a remote frame without a DLC
// requests none. The channel is a decimal number, 1 for the first channel;
// channels from 4 up are read as the channel three below them (4 to 6 as
// 1 to 3, 7 as 4, 62 as 59).
#include "windows/logging/log_file.h"

#include <cstdint>
#include <ctime>
#include <string>

class TriggerBlockLogFile : public LogFile
{
public:
    // A message line is at most this long (the reader's limit as well).
    static constexpr int line_size = 4096;

    TriggerBlockLogFile();

    int write_message(const VyrCanMessage &message, uint32_t &bytes_written) override;
    int open() override;
    int close() override;
    int read_message(VyrCanMessage &message) override;
    // The parameters dialog with only the number base and the kind of time
    // stamps enabled; false without the dialog or when nothing changed.
    bool setup_dialog(QWidget *parent) override;
    void write_options(QtbConfigGroup *group) override;
    void read_options(QtbConfigGroup *group) override;

    // Identifiers and data in hexadecimal, else decimal.
    bool data_hex() const { return m_data_hex; }
    void set_data_hex(bool hex) { m_data_hex = hex; }
    bool abs_time() const { return m_abs_time; }
    void set_abs_time(bool on) { m_abs_time = on; }

    // The text of the date line ("Thu Dec 3 09:05:01 am 2026"), in the local
    // time zone, with English names and "am"/"pm" whatever the locale says.
    static std::string date_text(time_t time);
    // The DLC code of a CAN FD frame of that many data bytes (0 to 15).
    static int dlc_code(int length);

private:
    bool write_line(const char *text);
    // The rest of a classic line after the time stamp; InvalidContents for a
    // line that is no frame and is skipped.
    int parse_classic(const char *cursor, VyrCanMessage &message) const;
    // The rest of a CAN FD line after "CANFD"; false for a line that is skipped.
    bool parse_fd(const char *cursor, VyrCanMessage &message) const;
    // The identifier number and its "x"; false when there is none or no
    // blank follows it.
    bool parse_identifier(const char *&cursor, VyrCanMessage &message) const;
    // Takes the database message of that name: its identifier and kind.
    bool take_database_name(const char *name, size_t length, VyrCanMessage &message) const;

    bool m_data_hex = true;
    bool m_abs_time = true;

    bool m_first_message = true;
    // The previous written message's time, for relative time stamps.
    uint32_t m_base_time = 0;
    uint8_t m_base_fraction = 0;

    bool m_header_mode = false;
    // Relative time stamps add up to this.
    uint32_t m_accumulated_ms = 0;
    uint32_t m_accumulated_us = 0;
};
