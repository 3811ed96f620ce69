#pragma once
// The log-file fuzz targets: an input written to a file of this process and
// read to its end by a reader of the format registry. Every read that does
// not end the file consumes part of it, so more reads than the input has
// bytes mean a reader that goes round without reading: that is a finding.
//
// Build (clang only; the libraries with coverage for the fuzzer) and run:
//   CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DVYR_SANITIZE=address,undefined \
//       -DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link
//   cmake --build build-fuzz --target fuzz_log_asc
//   build-fuzz/tests/fuzz/fuzz_log_asc /tmp/corpus_log_asc tests/fuzz/seeds/log_asc -max_total_time=300
#include "windows/logging/log_file.h"

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>

namespace log_fuzz {

// The file the inputs are written to, one per fuzzing process.
inline const std::string &input_path(const char *extension)
{
    static const std::string path = "/tmp/vyr_fuzz_" + std::to_string(getpid()) + "." + extension;
    return path;
}

inline void write_input(const std::string &path, const uint8_t *data, size_t size)
{
    FILE *file = fopen(path.c_str(), "wb");
    if (!file || fwrite(data, 1, size, file) != size || fclose(file) != 0)
        abort();
}

// The log file object of the format, made once: making one costs more than
// reading most inputs (its pre-trigger buffer), and formats reset their
// reading state at open.
inline LogFile &log_file(const std::string &format)
{
    static std::map<std::string, std::unique_ptr<LogFile>> logs;
    std::unique_ptr<LogFile> &log = logs[format];
    if (!log)
        log = LogFileFormat::create(format.c_str());
    if (!log)
        abort();
    return *log;
}

// Opens the file with a reader of the format and reads it to its end.
inline void read_to_end(const char *format, const std::string &path, size_t size)
{
    LogFile *const log = &log_file(format);
    log->set_file_name(path.c_str());
    log->set_write_mode(LogFile::ReadMode);
    if (log->open() == LogFile::Success) {
        VyrCanMessage message;
        size_t reads = 0;
        while (log->read_message(message) != LogFile::EndOfFile)
            if (++reads > size + 1)
                abort();
    }
    log->close();
}

// A target that reads each input with the reader of the format.
inline int read_input(const char *format, const char *extension, const uint8_t *data, size_t size)
{
    const std::string &path = input_path(extension);
    write_input(path, data, size);
    read_to_end(format, path, size);
    return 0;
}

} // namespace log_fuzz
