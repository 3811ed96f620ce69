// The rows of the log-file format registry, in their fixed order.
#include "windows/logging/ascii_log_file.h"
#include "windows/logging/binary_log_file.h"
#include "windows/logging/trigger_block_log_file.h"

namespace {

template <typename Format>
std::unique_ptr<LogFile> construct()
{
    return std::make_unique<Format>();
}

const LogFileFormat g_ascii("ASCII", "Logging of CAN messages in ASCII format",
                            "Logging of CAN messages in ASCII format\n", "txt", 0x1F, &construct<AsciiLogFile>);
const LogFileFormat g_binary("VYR-BINARY", "Logging of CAN messages in simple binary format",
                             "Logging of CAN messages in simple binary format\n", "wbl", 0x07,
                             &construct<BinaryLogFile>);
const LogFileFormat g_vector_ascii("ASCII (Vector)", "Logging of CAN messages in Vector ASCII format",
                                   "Logging of CAN messages in Vector ASCII format\n", "asc", 0x1B,
                                   &construct<TriggerBlockLogFile>);

} // namespace
