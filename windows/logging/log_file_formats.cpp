// The rows of the log-file format registry, in their fixed order.
#include "windows/logging/ascii_log_file.h"

namespace {

template <typename Format>
std::unique_ptr<LogFile> construct()
{
    return std::make_unique<Format>();
}

const LogFileFormat g_ascii("ASCII", "Logging of CAN messages in ASCII format",
                            "Logging of CAN messages in ASCII format\n", "txt", 0x1F, &construct<AsciiLogFile>);

} // namespace
