#pragma once
// The registry of description-file formats. Each format registers one static
// record before main() runs (all rows in description/candb_file_formats.cpp); an
// interface picks the format by the file's extension and builds its reader
// through the record's factory.
#include "core/candb_file_io.h"

#include <memory>
#include <string>

class CANdbFileFormat {
public:
    using Factory = CANdbFileIo *(*)();

    // Capability flags.
    static constexpr int kRead = 0x1;  // readable, offered in the open-file dialogs
    static constexpr int kWrite = 0x2; // has a writer

    // Copies the texts (only the name is required) and registers the record.
    CANdbFileFormat(const char *name, const char *description, const char *long_description, const char *extension,
                    int flags, Factory factory);
    CANdbFileFormat(const CANdbFileFormat &) = delete;
    CANdbFileFormat &operator=(const CANdbFileFormat &) = delete;

    // Appends the record at the tail of the registry.
    static void register_format(CANdbFileFormat *format);
    // The first registered record; the others follow through next().
    static const CANdbFileFormat *first();
    // The first record whose extension (without the dot) equals the text
    // without regard to case; null for null or no match.
    static const CANdbFileFormat *find_by_extension(const char *extension);
    // The first record whose name equals the text exactly; null for null or no match.
    static const CANdbFileFormat *find_by_name(const char *name);
    // A new reader of the named format, or null when the name is not
    // registered or the format has no factory.
    static std::unique_ptr<CANdbFileIo> create_io(const char *name);

    const char *name() const { return name_.c_str(); }
    // Null where the registration gave none.
    const char *extension() const { return text_or_null(extension_, has_extension_); }
    const char *description() const { return text_or_null(description_, has_description_); }
    const char *long_description() const { return text_or_null(long_description_, has_long_description_); }
    Factory factory() const { return factory_; }
    int flags() const { return flags_; }
    const CANdbFileFormat *next() const { return next_; }

private:
    static const char *text_or_null(const std::string &text, bool present) { return present ? text.c_str() : nullptr; }

    std::string name_;
    std::string extension_;
    std::string description_;
    std::string long_description_;
    bool has_extension_ = false;
    bool has_description_ = false;
    bool has_long_description_ = false;
    Factory factory_ = nullptr;
    CANdbFileFormat *next_ = nullptr;
    int flags_ = 0;
};
