#pragma once
// Base of the description-file readers and writers (DBC, LDF, FIBEX), and the
// sink through which they report problems line by line.
#include <cstdarg>
#include <cstdint>
#include <string>

class CANdbFileFormat;
class CANdbNetwork;

class CANdbFileIoReporter {
public:
    virtual ~CANdbFileIoReporter() = default;
    virtual void info(int line, const char *file_name, const char *text) = 0;
    virtual void error(int line, const char *file_name, const char *text) = 0;
    virtual void warning(int line, const char *file_name, const char *text) = 0;
};

class CANdbFileIo {
public:
    // Texts of info, error and warning are cut to this many bytes, terminator included.
    static constexpr int kMessageBufferSize = 200;
    // Longest source name that set_source_name gives a network.
    static constexpr int kMaxSourceName = 100;

    explicit CANdbFileIo(const char *file_name = nullptr);
    CANdbFileIo(const CANdbFileIo &) = delete;
    CANdbFileIo &operator=(const CANdbFileIo &) = delete;

    // printf-style messages with the current line and the file name, to the
    // reporter or, without one, to standard output.
    virtual void info(const char *format, ...) __attribute__((format(printf, 2, 3)));
    virtual void error(const char *format, ...) __attribute__((format(printf, 2, 3)));
    virtual void warning(const char *format, ...) __attribute__((format(printf, 2, 3)));
    virtual ~CANdbFileIo() = default;
    // Reads the named file into the network; 0 on success.
    virtual int read(CANdbNetwork *network) = 0;
    // Writes the network to the named file; 0 on success, -1 for formats without a writer.
    virtual int write(CANdbNetwork *network) = 0;

    // Sets the network's source name to the file's base name without
    // directory and extension (from the first dot on), at most 100 characters;
    // "unkown" without a file name.
    void set_source_name(CANdbNetwork *network) const;

    const char *file_name() const { return has_file_name_ ? file_name_.c_str() : nullptr; }
    void set_file_name(const char *name);
    CANdbFileIoReporter *reporter() const { return reporter_; }
    void set_reporter(CANdbFileIoReporter *reporter) { reporter_ = reporter; }
    // The registry row that built this object (null when built directly).
    const CANdbFileFormat *format() const { return format_; }
    int line_number() const { return line_number_; }
    // Set by a reader once it has read a file.
    bool loaded() const { return loaded_; }

    // 64-bit decimal conversion of the readers: optional blanks and sign, then
    // digits; 0 for a null text. Independent of the locale.
    static int64_t atoi64_or_zero(const char *text);

protected:
    enum Level { Info, Error, Warning };
    void report(Level level, const char *text);
    void report_formatted(Level level, const char *format, va_list args);

    std::string file_name_;
    bool has_file_name_ = false;
    bool loaded_ = false;
    int line_number_ = 1;

private:
    friend class CANdbFileFormat; // sets format_ in create_io
    const CANdbFileFormat *format_ = nullptr;
    CANdbFileIoReporter *reporter_ = nullptr;
};
