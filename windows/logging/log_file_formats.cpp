// The rows of the log-file format registry, in their fixed order.
#include "windows/logging/archivant_log_file.h"
#include "windows/logging/ascii_log_file.h"
#include "windows/logging/binary_log_file.h"
#include "windows/logging/mdf_can_log_file.h"
#include "windows/logging/trigger_block_log_file.h"

namespace {

template <typename Format>
std::unique_ptr<LogFile> construct()
{
    return std::make_unique<Format>();
}

template <bool FirstGeneration>
std::unique_ptr<LogFile> construct_archivant()
{
    return std::make_unique<ArchivantLogFile>(FirstGeneration);
}

const LogFileFormat g_ascii("ASCII", "Logging of CAN messages in ASCII format",
                            "Logging of CAN messages in ASCII format\n", "txt", 0x1F, &construct<AsciiLogFile>);
const LogFileFormat g_binary("VYR-BINARY", "Logging of CAN messages in simple binary format",
                             "Logging of CAN messages in simple binary format\n", "wbl", 0x07,
                             &construct<BinaryLogFile>);
const LogFileFormat g_mdf("Binary (mdf)", "Logging of CAN messages in binary format",
                          "Logging of CAN messages in binary format\n", "log", 0x07, &construct<MdfCanLogFile>);
const LogFileFormat g_vector_ascii("ASCII (Vector)", "Logging of CAN messages in Vector ASCII format",
                                   "Logging of CAN messages in Vector ASCII format\n", "asc", 0x1B,
                                   &construct<TriggerBlockLogFile>);
const LogFileFormat g_archivant("Archivant", "Logging of CAN messages in binary Vindra Archivant format",
                                "Logging of CAN messages in binary Vindra Archivant format\n", "lgz", 0x09,
                                &construct_archivant<true>);
const LogFileFormat g_archivant2("Archivant2", "Logging of CAN messages in binary Vindra Archivant2 format",
                                 "Logging of CAN messages in binary Vindra Archivant2 format\n", "lgz25", 0x09,
                                 &construct_archivant<false>);

} // namespace
