// libFuzzer target of the MDF log reader: any input is read to its end, then
// continued by Append, which must refuse it or leave a file whose records,
// the appended frame last, all read.
#include "log_fuzz_support.h"

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    log_fuzz::read_input("Binary (mdf)", "log", data, size);

    const std::string &path = log_fuzz::input_path("log");
    LogFile *const log = &log_fuzz::log_file("Binary (mdf)");
    log->set_file_name(path.c_str());
    log->set_write_mode(LogFile::Append);
    if (log->open() != LogFile::Success)
        return 0;
    log->set_stopped(false);
    VyrCanMessage appended;
    appended.id = 0x123;
    appended.dlc = 2;
    appended.data[0] = 0xAB;
    appended.time = 4242;
    if (log->log_message(appended) != LogFile::Success || log->close() != LogFile::Success)
        abort();

    LogFile *const reader = &log_fuzz::log_file("Binary (mdf)");
    reader->set_file_name(path.c_str());
    reader->set_write_mode(LogFile::ReadMode);
    if (reader->open() != LogFile::Success)
        abort();
    VyrCanMessage message, last;
    for (int result; (result = reader->read_message(message)) != LogFile::EndOfFile; last = message)
        if (result != LogFile::Success)
            abort();
    if (last.id != appended.id || last.time != appended.time || memcmp(last.data, appended.data, 2) != 0)
        abort();
    reader->close();
    return 0;
}
