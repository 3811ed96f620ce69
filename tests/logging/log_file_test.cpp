#include "settings/qtb_config.h"
#include "core/timer_wheel.h"
#include "core/vyr_signal_if_type.h"
#include "core/vyr_trigger.h"
#include "interfaces/can/vyr_can_if.h"
#include "../interfaces/can_test_support.h" // runs the vrbus daemon around the program
#include "logging_test_support.h"
#include "test_support.h"
#include "windows/logging/ascii_log_file.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

using namespace vyr_test;

namespace {

using LogFileTest = LogDirTest;

VyrCanMessage numbered_frame(uint32_t number)
{
    VyrCanMessage message;
    message.time = number * 10;
    message.id = 0x100 + number;
    message.dlc = 1;
    message.data[0] = uint8_t(number);
    return message;
}

// The comment texts of an ASCII log, in order, without their dates.
std::vector<std::string> comments(const std::string &text)
{
    std::vector<std::string> found;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (line.rfind("# ", 0) == 0)
            found.push_back(line.substr(2, line.find(" (") - 2));
    return found;
}

std::unique_ptr<AsciiLogFile> ascii_log()
{
    std::unique_ptr<LogFile> log = LogFileFormat::create("ASCII");
    return std::unique_ptr<AsciiLogFile>(static_cast<AsciiLogFile *>(log.release()));
}

TEST(LogFileFormat, RegistryHoldsItsRowsInOrder)
{
    struct Row
    {
        const char *name, *extension, *description;
        uint32_t flags;
    };
    const Row rows[] = {
        {"ASCII", "txt", "Logging of CAN messages in ASCII format", 0x1F},
        {"VYR-BINARY", "wbl", "Logging of CAN messages in simple binary format", 0x07},
        {"Binary (mdf)", "log", "Logging of CAN messages in binary format", 0x07},
        {"ASCII (Vector)", "asc", "Logging of CAN messages in Vector ASCII format", 0x1B},
        {"Archivant", "lgz", "Logging of CAN messages in binary Vindra Archivant format", 0x09},
        {"Archivant2", "lgz25", "Logging of CAN messages in binary Vindra Archivant2 format", 0x09},
    };
    const LogFileFormat *format = LogFileFormat::first();
    for (const Row &row : rows) {
        ASSERT_NE(format, nullptr) << row.name;
        EXPECT_EQ(format->name(), row.name);
        EXPECT_EQ(format->extension(), row.extension);
        EXPECT_EQ(format->short_description(), row.description);
        EXPECT_EQ(format->long_description(), std::string(row.description) + "\n");
        EXPECT_EQ(format->flags(), row.flags);
        std::unique_ptr<LogFile> log = format->create_log_file(nullptr);
        ASSERT_NE(log, nullptr);
        EXPECT_EQ(log->format(), format);
        format = format->next();
    }
    EXPECT_EQ(format, nullptr);
}

TEST(LogFileFormat, LookupByExtensionIgnoresCaseByNameDoesNot)
{
    EXPECT_EQ(LogFileFormat::find_by_extension("TXT"), LogFileFormat::find_by_name("ASCII"));
    EXPECT_EQ(LogFileFormat::find_by_extension("ASC"), LogFileFormat::find_by_name("ASCII (Vector)"));
    EXPECT_EQ(LogFileFormat::find_by_extension("LOG"), LogFileFormat::find_by_name("Binary (mdf)"));
    EXPECT_EQ(LogFileFormat::find_by_extension("Lgz25"), LogFileFormat::find_by_name("Archivant2"));
    EXPECT_NE(LogFileFormat::find_by_extension("txt"), nullptr);
    EXPECT_EQ(LogFileFormat::find_by_extension(nullptr), nullptr);
    EXPECT_EQ(LogFileFormat::find_by_extension("doc"), nullptr);
    EXPECT_EQ(LogFileFormat::find_by_name("ascii"), nullptr);
    EXPECT_EQ(LogFileFormat::find_by_name(nullptr), nullptr);
    EXPECT_EQ(LogFileFormat::create(nullptr), nullptr);
    EXPECT_EQ(LogFileFormat::create("Unknown"), nullptr);
}

// Real files of other kinds, read by every reader of the registry: each is
// refused with InvalidContents at its open or its first read, not read as a
// log without frames. Binary files are refused by the text readers for their
// zero bytes, the logger formats (records without a header) refuse text
// files by their length, no multiple of their record's.
TEST(LogFileFormat, ForeignFilesAreRefusedByEveryReader)
{
    VYR_REQUIRE_TESTDATA();
    const std::string blf = "canlog/ecubus-pro/test/replay/Logging.blf";
    const std::string pcap = "canlog/css-mdf4-converters/Tools/SystemTests/PCAP/TestData/multiple_CAN.pcap";
    const std::string mf4 = "mdf/asammdf/test/asammdf/gui/resources/test_batch.mf4";
    const std::string candump = "canlog/savvycan/examples/candump.log";
    const std::string trc = "canlog/python-can/test/data/test_CanMessage.trc";
    const std::string asc = "canlog/python-can/test/data/logfile.asc";
    const std::map<std::string, std::vector<std::string>> cases = {
        {"ASCII", {blf, pcap, mf4}},
        {"VYR-BINARY", {blf, pcap, mf4, candump, trc, asc}},
        {"Binary (mdf)", {blf, pcap, mf4, candump, trc, asc}},
        {"ASCII (Vector)", {blf, pcap, mf4}},
        {"Archivant", {candump, trc, asc}},
        {"Archivant2", {candump, trc, asc}},
    };
    for (const LogFileFormat *format = LogFileFormat::first(); format; format = format->next()) {
        if (!(format->flags() & LogFileFormat::Readable))
            continue;
        const auto row = cases.find(format->name());
        ASSERT_NE(row, cases.end()) << "no foreign files for the reader of " << format->name();
        for (const std::string &file : row->second) {
            SCOPED_TRACE(format->name() + " reading " + file);
            const std::string path = testdata_dir() + "/" + file;
            const std::unique_ptr<LogFile> log = LogFileFormat::create(format->name().c_str());
            log->set_file_name(path.c_str());
            log->set_write_mode(LogFile::ReadMode);
            int result = log->open();
            VyrCanMessage message;
            if (result == LogFile::Success)
                result = log->read_message(message);
            EXPECT_EQ(result, LogFile::InvalidContents);
            log->close();
        }
    }
}

TEST(LogFile, ResultNames)
{
    const std::pair<int, const char *> names[] = {
        {0, "Success"},           {-1, "NotImplemented"}, {-2, "NoFilename"},      {-3, "WriteError"},
        {-4, "ReadError"},        {-5, "FileNotFound"},   {-6, "UnableToOpenFile"}, {-7, "LimitReached"},
        {-8, "Failure"},          {-9, "EndOfFile"},      {-10, "InvalidTimestamp"}, {-11, "InvalidFlags"},
        {-12, "InvalidId"},       {-13, "InvalidData"},   {-14, "InvalidDlc"},     {-15, "IdLookupError"},
        {-16, "InvalidContents"}, {-17, "LogFormatError8"}, {-18, "Unkonwn"},      {-19, "Unkonwn"},
        {-20, "Unkonwn"},         {1, "Unkonwn"},
    };
    for (const auto &[code, name] : names)
        EXPECT_STREQ(LogFile::result_name(code), name) << code;
}

TEST(LogFile, ConfigurationKeysInOrderWithBothSetsOfDefaults)
{
    std::unique_ptr<AsciiLogFile> log = ascii_log();
    EXPECT_EQ(log->write_mode(), LogFile::Append);
    EXPECT_FALSE(log->active());
    EXPECT_TRUE(log->stopped());
    EXPECT_EQ(log->max_messages(), 1000u);
    EXPECT_EQ(log->max_bytes(), 1000u);
    EXPECT_EQ(log->max_pretrigger_messages(), 1000u);

    log->set_file_name("/logs/Motor\xc3\xb6l.txt");
    log->set_active(true);
    log->set_write_mode(LogFile::Numbered);
    log->set_size_mode(LogFile::LimitBytes);
    log->set_max_messages(7);
    log->set_max_bytes(4096);
    log->set_delete_empty_files(true);
    log->set_max_pretrigger_messages(3);
    log->set_enable_trigger(true);
    QtbConfigGroup group;
    log->write_options(&group);
    std::vector<std::string> names;
    for (QtbConfigValue *value = group.first_value(); value; value = group.next_value())
        names.push_back(group.current_name());
    const std::vector<std::string> facility_keys = {
        "facility",  "active",       "filename",           "filename_utf8",           "write_mode",     "size_mode",
        "max_messages", "max_bytes", "delete_empty_files", "max_pretrigger_messages", "enable_trigger", "trigger_name"};
    ASSERT_GE(names.size(), facility_keys.size());
    EXPECT_EQ(std::vector<std::string>(names.begin(), names.begin() + 12), facility_keys);

    std::unique_ptr<LogFile> copy = LogFileFormat::create_from_config(&group);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->format(), LogFileFormat::find_by_name("ASCII"));
    EXPECT_EQ(copy->file_name(), "/logs/Motor\xc3\xb6l.txt");
    EXPECT_TRUE(copy->active());
    EXPECT_EQ(copy->write_mode(), LogFile::Numbered);
    EXPECT_EQ(copy->size_mode(), LogFile::LimitBytes);
    EXPECT_EQ(copy->max_messages(), 7u);
    EXPECT_EQ(copy->max_bytes(), 4096u);
    EXPECT_TRUE(copy->delete_empty_files());
    EXPECT_EQ(copy->max_pretrigger_messages(), 3u);
    EXPECT_TRUE(copy->enable_trigger());

    // A missing key reads as its default, not as the construction value.
    QtbConfigGroup only_facility;
    only_facility.write_string("facility", "ASCII");
    only_facility.write_string("filename", "plain.txt");
    std::unique_ptr<LogFile> defaults = LogFileFormat::create_from_config(&only_facility);
    ASSERT_NE(defaults, nullptr);
    EXPECT_EQ(defaults->file_name(), "plain.txt");
    EXPECT_EQ(defaults->max_messages(), 0u);
    EXPECT_EQ(defaults->max_bytes(), 0u);
    EXPECT_EQ(defaults->max_pretrigger_messages(), 0u);

    QtbConfigGroup no_facility;
    EXPECT_EQ(LogFileFormat::create_from_config(&no_facility), nullptr);
    no_facility.write_string("facility", "Nope");
    EXPECT_EQ(LogFileFormat::create_from_config(&no_facility), nullptr);
}

TEST_F(LogFileTest, NumberedFilesTakeTheNextFreeNumber)
{
    struct Case
    {
        const char *configured;
        std::vector<std::string> opened;
    };
    for (const Case &c : {Case{"trace.TXT", {"trace000.txt", "trace001.txt"}},
                          Case{"other", {"other000.txt", "other001.txt"}}}) {
        for (const std::string &expected : c.opened) {
            std::unique_ptr<AsciiLogFile> log = ascii_log();
            log->set_file_name(path(c.configured).c_str());
            log->set_write_mode(LogFile::Numbered);
            ASSERT_EQ(log->open(), 0);
            EXPECT_EQ(log->actual_file_name(), path(expected.c_str()));
            EXPECT_EQ(log->open_mode(), "w");
            EXPECT_EQ(log->close(), 0);
        }
    }

    // With all thousand numbers taken, opening fails.
    for (int number = 2; number < 1000; ++number) {
        char name[32];
        snprintf(name, sizeof name, "trace%03d.txt", number);
        write_file(path(name), "");
    }
    std::unique_ptr<AsciiLogFile> log = ascii_log();
    log->set_file_name(path("trace.txt").c_str());
    log->set_write_mode(LogFile::Numbered);
    EXPECT_EQ(log->open(), LogFile::UnableToOpenFile);
    EXPECT_EQ(log->actual_file_name(), "");
    EXPECT_FALSE(log->is_open());
}

TEST_F(LogFileTest, OpenFailures)
{
    std::unique_ptr<AsciiLogFile> log = ascii_log();
    EXPECT_EQ(log->open(), LogFile::NoFilename);
    log->set_file_name(path("missing/dir.txt").c_str());
    EXPECT_EQ(log->open(), LogFile::UnableToOpenFile);
    log->set_write_mode(LogFile::ReadMode);
    log->set_file_name(path("absent.txt").c_str());
    EXPECT_EQ(log->open(), LogFile::UnableToOpenFile);
    log->set_write_mode(LogFile::Numbered);
    log->set_file_name(path("missing/numbered.txt").c_str());
    EXPECT_EQ(log->open(), LogFile::UnableToOpenFile);
}

TEST_F(LogFileTest, AppendKeepsWhatTheFileHeld)
{
    std::unique_ptr<AsciiLogFile> log = ascii_log();
    log->set_file_name(path("append.txt").c_str());
    for (int run = 0; run < 2; ++run) {
        ASSERT_EQ(log->open(), 0);
        log->set_stopped(false);
        ASSERT_EQ(log->log_message(numbered_frame(run)), 0);
        ASSERT_EQ(log->close(), 0);
    }
    AsciiLogFile reader;
    EXPECT_EQ(read_log(reader, path("append.txt")).size(), 2u);
}

TEST_F(LogFileTest, EmptyFilesAreDeletedOnlyWhenAsked)
{
    for (const bool delete_empty : {false, true}) {
        for (const bool with_message : {false, true}) {
            SCOPED_TRACE(testing::Message() << "delete " << delete_empty << " message " << with_message);
            const std::string name = path("empty.txt");
            std::unique_ptr<AsciiLogFile> log = ascii_log();
            log->set_file_name(name.c_str());
            log->set_write_mode(LogFile::Overwrite);
            log->set_delete_empty_files(delete_empty);
            ASSERT_EQ(log->open(), 0);
            log->set_stopped(false);
            if (with_message) {
                ASSERT_EQ(log->log_message(numbered_frame(1)), 0);
            }
            ASSERT_EQ(log->close(), 0);
            EXPECT_EQ(access(name.c_str(), F_OK) == 0, !delete_empty || with_message);
            unlink(name.c_str());
        }
    }
}

// A file that holds earlier logs is kept, whether appended to without a
// message or read: only a file this run made and left empty goes.
TEST_F(LogFileTest, FilesWithEarlierLogsAreNeverDeletedAsEmpty)
{
    for (const int mode : {int(LogFile::Append), int(LogFile::ReadMode)}) {
        SCOPED_TRACE(mode);
        const std::string name = path("earlier.txt");
        {
            std::unique_ptr<AsciiLogFile> first = ascii_log();
            first->set_file_name(name.c_str());
            first->set_write_mode(LogFile::Overwrite);
            ASSERT_EQ(first->open(), 0);
            first->set_stopped(false);
            ASSERT_EQ(first->log_message(numbered_frame(1)), 0);
            ASSERT_EQ(first->close(), 0);
        }
        std::unique_ptr<AsciiLogFile> log = ascii_log();
        log->set_file_name(name.c_str());
        log->set_write_mode(mode);
        log->set_delete_empty_files(true);
        ASSERT_EQ(log->open(), 0);
        log->close();
        EXPECT_EQ(access(name.c_str(), F_OK), 0);
        AsciiLogFile reader;
        EXPECT_EQ(read_log(reader, name).size(), 1u);
        unlink(name.c_str());
    }
}

// Size mode 1 with 10 messages: the tenth is written, then the limit comment
// and -7; the eleventh is refused without writing. The byte limit likewise.
TEST_F(LogFileTest, LimitStopsLoggingWithItsReason)
{
    std::unique_ptr<AsciiLogFile> log = ascii_log();
    log->set_file_name(path("limit.txt").c_str());
    log->set_write_mode(LogFile::Overwrite);
    log->set_size_mode(LogFile::LimitMessages);
    log->set_max_messages(10);
    ASSERT_EQ(log->open(), 0);
    log->set_stopped(false);
    std::string reason;
    for (uint32_t i = 1; i < 10; ++i)
        ASSERT_EQ(log->log_message(numbered_frame(i)), 0) << i;
    EXPECT_FALSE(log->stop_reason(reason));
    EXPECT_EQ(log->log_message(numbered_frame(10)), LogFile::LimitReached);
    EXPECT_EQ(log->log_message(numbered_frame(11)), LogFile::LimitReached);
    EXPECT_EQ(log->message_count(), 10u);
    ASSERT_TRUE(log->stop_reason(reason));
    EXPECT_EQ(reason, "Logging to file stopped; max number of messages reached!\n");
    ASSERT_EQ(log->close(), 0);
    const std::string text = read_file(path("limit.txt"));
    EXPECT_EQ(comments(text), std::vector<std::string>{"Log-File Limit reached"});
    AsciiLogFile reader;
    const std::vector<ReadRecord> records = read_log(reader, path("limit.txt"));
    ASSERT_EQ(records.size(), 10u);
    EXPECT_EQ(records.back().message.id, 0x100u + 10);

    // Lines count their length plus the line end; the limit is reached by
    // the line that makes the count reach it.
    log->set_size_mode(LogFile::LimitBytes);
    ASSERT_EQ(log->open(), 0);
    log->set_stopped(false);
    ASSERT_EQ(log->log_message(numbered_frame(1)), 0);
    const uint32_t line_bytes = log->byte_count();
    log->set_max_bytes(3 * line_bytes);
    EXPECT_EQ(log->log_message(numbered_frame(2)), 0);
    EXPECT_EQ(log->log_message(numbered_frame(3)), LogFile::LimitReached);
    EXPECT_EQ(log->byte_count(), 3 * line_bytes);
    ASSERT_TRUE(log->stop_reason(reason));
    EXPECT_EQ(reason, "Logging to file stopped; max file size reached!\n");
    ASSERT_EQ(log->close(), 0);
    // Opening again clears the latched flag.
    ASSERT_EQ(log->open(), 0);
    EXPECT_FALSE(log->stop_reason(reason));
    ASSERT_EQ(log->close(), 0);
}

// While it lives, files of this process take no more than `bytes` bytes: a
// write beyond fails as on a full disc.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &m_saved);
        m_saved_handler = signal(SIGXFSZ, SIG_IGN);
        struct rlimit small = m_saved;
        small.rlim_cur = bytes;
        m_set = setrlimit(RLIMIT_FSIZE, &small) == 0;
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_saved);
        signal(SIGXFSZ, m_saved_handler);
    }
    bool set() const { return m_set; }

private:
    struct rlimit m_saved;
    void (*m_saved_handler)(int);
    bool m_set;
};

// A file system that takes no more bytes: the write that fails latches the
// error, logging stops and says the disc may be full.
TEST_F(LogFileTest, FullDiscStopsLoggingWithItsReason)
{
    for (const char *format : {"ASCII", "VYR-BINARY", "ASCII (Vector)"}) {
        SCOPED_TRACE(format);
        std::optional<FileSizeLimit> limit(std::in_place, 200 * 1024);
        ASSERT_TRUE(limit->set());

        std::unique_ptr<LogFile> log = LogFileFormat::create(format);
        log->set_file_name(path("full.log").c_str());
        log->set_write_mode(LogFile::Overwrite);
        int result = log->open();
        log->set_stopped(false);
        uint32_t written = 0;
        while (result == 0 && written < 1000000)
            result = log->log_message(numbered_frame(written++));
        const int repeated = log->log_message(numbered_frame(written));
        std::string reason;
        const bool has_reason = log->stop_reason(reason);
        const int closed = log->close();

        limit.reset();
        EXPECT_EQ(result, LogFile::WriteError);
        EXPECT_EQ(repeated, LogFile::LimitReached);
        ASSERT_TRUE(has_reason);
        EXPECT_EQ(reason, "Logging to file stopped due to write error; the disc may be full!\n");
        EXPECT_EQ(closed, LogFile::WriteError);
    }
}

bool wait_until(const std::function<bool()> &condition)
{
    for (int i = 0; i < 5000; ++i) {
        if (condition())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
}

// A log file with its writer attached to a CAN interface (whose thread does
// not run here: the test hands the file its messages itself).
class RequestTest : public LogFileTest
{
protected:
    void SetUp() override
    {
        LogFileTest::SetUp();
        m_log->set_interface(&m_interface);
        m_log->set_file_name(path("requests.txt").c_str());
        m_log->set_write_mode(LogFile::Overwrite);
    }
    void TearDown() override { m_log.reset(); }
    void open_with_writer()
    {
        ASSERT_EQ(m_log->open(), 0);
        m_log->start_writer(&m_interface);
    }
    void close()
    {
        m_log->stop_writer();
        ASSERT_EQ(m_log->close(), 0);
    }
    void start_on_thread()
    {
        m_log->post_start();
        ASSERT_TRUE(wait_until([&] { return !m_log->stopped(); }));
    }
    void stop_on_thread()
    {
        m_log->post_stop();
        ASSERT_TRUE(wait_until([&] { return m_log->stopped(); }));
    }
    std::string text() const { return read_file(path("requests.txt")); }

    // Logging that the trigger starts and stops.
    void use_trigger(uint32_t pretrigger_messages)
    {
        m_log->set_active(true);
        m_log->set_enable_trigger(true);
        m_log->set_max_pretrigger_messages(pretrigger_messages);
        m_log->set_trigger(m_trigger);
    }

    VyrCanIf m_interface{"CAN", nullptr, nullptr};
    VyrTriggerList m_triggers;
    VyrTrigger *m_trigger = new VyrTrigger(&m_triggers, "Go");
    std::unique_ptr<AsciiLogFile> m_log = ascii_log();
};

TEST_F(RequestTest, StartAndStopRunOnTheWritersThread)
{
    open_with_writer();
    EXPECT_EQ(m_log->log_message(numbered_frame(1)), 0); // stopped: not written
    start_on_thread();
    EXPECT_EQ(m_log->log_message(numbered_frame(2)), 0);
    stop_on_thread();
    EXPECT_EQ(m_log->log_message(numbered_frame(3)), 0);
    m_log->stop_writer();
    EXPECT_EQ(m_log->measurement_stopped(), 0);
    EXPECT_EQ(m_log->close(), 0);

    EXPECT_EQ(comments(text()), (std::vector<std::string>{"Logging STARTED", "Logging STOPPED", "Measurement STOPPED"}));
    AsciiLogFile reader;
    const std::vector<ReadRecord> records = read_log(reader, path("requests.txt"));
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].message.id, 0x102u);
}

// The trigger posts its requests only for an active log file with its
// trigger enabled and an interface set. No writer runs here: the next
// message takes the requests.
TEST_F(LogFileTest, TriggerStartsOnlyAnActiveTriggeredLog)
{
    VyrCanIf idle("CAN", nullptr, nullptr);
    VyrTriggerList triggers;
    VyrTrigger *trigger = new VyrTrigger(&triggers, "Go");
    for (int settings = 0; settings < 8; ++settings) {
        const bool active = settings & 1, enabled = settings & 2, with_interface = settings & 4;
        SCOPED_TRACE(testing::Message() << "active " << active << " enabled " << enabled << " interface "
                                        << with_interface);
        std::unique_ptr<AsciiLogFile> log = ascii_log();
        log->set_interface(with_interface ? &idle : nullptr);
        log->set_active(active);
        log->set_enable_trigger(enabled);
        log->set_max_pretrigger_messages(5);
        log->set_trigger(trigger);
        EXPECT_EQ(log->trigger_name(), "Go");
        log->set_file_name(path("trigger.txt").c_str());
        log->set_write_mode(LogFile::Overwrite);
        ASSERT_EQ(log->open(), 0);
        trigger->set();
        ASSERT_EQ(log->log_message(numbered_frame(1)), 0);
        EXPECT_EQ(log->stopped(), !(active && enabled && with_interface));
        trigger->reset();
        ASSERT_EQ(log->log_message(numbered_frame(2)), 0);
        EXPECT_TRUE(log->stopped());
        ASSERT_EQ(log->close(), 0);
    }
    // A deleted trigger leaves the log file without one.
    std::unique_ptr<AsciiLogFile> log = ascii_log();
    log->set_trigger(trigger);
    delete trigger;
    EXPECT_EQ(log->trigger_name(), "");
}

TEST(LogFile, TriggerIsFoundByItsConfiguredName)
{
    VyrTriggerList triggers;
    VyrTriggerList::set_instance(&triggers);
    VyrTrigger *trigger = new VyrTrigger(&triggers, "Start_Logging");
    std::unique_ptr<AsciiLogFile> log = ascii_log();
    log->set_trigger(trigger);
    QtbConfigGroup group;
    log->write_options(&group);
    EXPECT_EQ(group.read_string("trigger_name", QString()), "Start_Logging");
    std::unique_ptr<LogFile> copy = LogFileFormat::create_from_config(&group);
    EXPECT_EQ(copy->trigger_name(), "Start_Logging");
    ASSERT_EQ(trigger->listeners().size(), 2u);
    group.write_string("trigger_name", "Missing");
    EXPECT_EQ(LogFileFormat::create_from_config(&group)->trigger_name(), "");
    VyrTriggerList::set_instance(nullptr);
}

// Requests that wait for the next message run in the order they were posted.
TEST_F(LogFileTest, PendingRequestsRunInTheirOrder)
{
    VyrCanIf idle("CAN", nullptr, nullptr); // no writer runs: the next message takes the requests
    VyrTriggerList triggers;
    VyrTrigger *trigger = new VyrTrigger(&triggers, "Go");
    for (const bool stop_last : {true, false}) {
        std::unique_ptr<AsciiLogFile> log = ascii_log();
        log->set_interface(&idle);
        log->set_enable_trigger(true);
        log->set_max_pretrigger_messages(5);
        log->set_trigger(trigger);
        log->set_file_name(path("order.txt").c_str());
        log->set_write_mode(LogFile::Overwrite);
        ASSERT_EQ(log->open(), 0);
        if (stop_last) {
            log->post_start();
            log->post_stop();
        } else {
            log->post_stop();
            log->post_start();
        }
        ASSERT_EQ(log->log_message(numbered_frame(1)), 0);
        EXPECT_EQ(log->stopped(), stop_last);
        ASSERT_EQ(log->close(), 0);
        const std::vector<std::string> started_stopped = {"Logging STARTED", "Logging STOPPED"};
        const std::vector<std::string> stopped_started = {"Logging STOPPED", "Logging STARTED"};
        EXPECT_EQ(comments(read_file(path("order.txt"))), stop_last ? started_stopped : stopped_started);
    }
}

// Three pre-trigger messages kept of five: the trigger's start (run by the
// writer's thread) writes them between its comments, the messages after
// it follow, the trigger's stop ends the file's part.
TEST_F(RequestTest, PretriggerKeepsTheLastMessagesBeforeTheTrigger)
{
    use_trigger(3);
    open_with_writer();
    for (uint32_t i = 1; i <= 5; ++i)
        ASSERT_EQ(m_log->log_message(numbered_frame(i)), 0);
    EXPECT_EQ(m_log->pretrigger_count(), 3u);
    m_trigger->set();
    ASSERT_TRUE(wait_until([&] { return !m_log->stopped(); }));
    EXPECT_EQ(m_log->message_count(), 3u);
    for (uint32_t i = 6; i <= 7; ++i)
        ASSERT_EQ(m_log->log_message(numbered_frame(i)), 0);
    m_trigger->reset();
    ASSERT_TRUE(wait_until([&] { return m_log->stopped(); }));
    ASSERT_EQ(m_log->log_message(numbered_frame(8)), 0);
    close();

    std::vector<std::string> order;
    std::istringstream in(text());
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("# ", 0) == 0)
            order.push_back(line.substr(2, line.find(" (") - 2));
        else if (!line.empty() && isdigit(static_cast<unsigned char>(line[line.find_first_not_of(' ')])))
            order.push_back(std::to_string(std::stoul(line.substr(14, 20), nullptr, 16) - 0x100));
    }
    EXPECT_EQ(order, (std::vector<std::string>{"Logging STARTED", "Dumping Pre-Trigger Events ....", "3", "4", "5",
                                               "Logging Post-Trigger Events ....", "6", "7", "Logging STOPPED"}));
}

// A write that fails while the pre-trigger messages are written out stops
// logging with the disc-full reason.
TEST_F(LogFileTest, FailedPretriggerDumpIsReported)
{
    std::unique_ptr<AsciiLogFile> log = ascii_log();
    log->set_file_name(path("dump.txt").c_str());
    log->set_write_mode(LogFile::Overwrite);
    log->set_enable_trigger(true);
    log->set_max_pretrigger_messages(20000);
    VyrTriggerList triggers;
    log->set_trigger(new VyrTrigger(&triggers, "Go"));
    ASSERT_EQ(log->open(), 0);
    for (uint32_t i = 0; i < 20000; ++i)
        ASSERT_EQ(log->log_message(numbered_frame(i)), 0);

    std::optional<FileSizeLimit> limit(std::in_place, 100 * 1024);
    ASSERT_TRUE(limit->set());
    log->start_logging();
    const bool failed = log->write_error();
    const int next = log->log_message(numbered_frame(20000));
    log->close();
    limit.reset();

    EXPECT_TRUE(failed);
    EXPECT_EQ(next, LogFile::LimitReached);
    std::string reason;
    ASSERT_TRUE(log->stop_reason(reason));
    EXPECT_EQ(reason, "Logging to file stopped due to write error; the disc may be full!\n");
}

// Messages arrive on one thread while a trigger set and reset on another
// starts and stops logging on the writer's thread again and again: every
// request runs once, never in the middle of a message, and the file reads
// back whole.
TEST_F(RequestTest, TriggerAndMessagesOnThreeThreads)
{
    use_trigger(50);
    open_with_writer();
    std::atomic<bool> done{false};
    std::thread receiver([&] {
        for (uint32_t i = 0; !done.load(); ++i)
            ASSERT_EQ(m_log->log_message(numbered_frame(i % 1000)), 0);
    });
    std::thread condition([&] {
        for (int round = 0; round < 200; ++round) {
            m_trigger->set();
            std::this_thread::sleep_for(std::chrono::microseconds(200));
            m_trigger->reset();
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    });
    condition.join();
    ASSERT_TRUE(wait_until([&] { return m_log->stopped(); }));
    done = true;
    receiver.join();
    close();

    const std::set<std::string> known = {"Logging STARTED", "Dumping Pre-Trigger Events ....",
                                         "Logging Post-Trigger Events ....", "Logging STOPPED"};
    const std::vector<std::string> texts = comments(text());
    ASSERT_FALSE(texts.empty());
    for (const std::string &comment : texts)
        EXPECT_EQ(known.count(comment), 1u) << comment;
    EXPECT_EQ(texts.back(), "Logging STOPPED");
    AsciiLogFile reader;
    const std::vector<ReadRecord> records = read_log(reader, path("requests.txt"));
    EXPECT_EQ(records.size(), m_log->message_count());
    for (const ReadRecord &record : records)
        ASSERT_EQ(record.result, 0);
}

} // namespace
