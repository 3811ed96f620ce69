// The description-file reader base: source names, message output and numbers.
#include "core/candb_file_io.h"
#include "core/candb_network.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class TestIo : public CANdbFileIo {
public:
    using CANdbFileIo::CANdbFileIo;
    int read(CANdbNetwork *) override { return 0; }
    int write(CANdbNetwork *) override { return -1; }
    void set_line(int line) { line_number_ = line; }
};

TEST(CANdbFileIo, SourceNameIsTheBaseNameWithoutExtension)
{
    const std::string long_base(150, 'x');
    struct {
        const char *file_name;
        std::string source_name;
    } cases[] = {
        {"data/body.old.dbc", "body"},
        {"C:\\cars\\engine.dbc", "engine"},
        {"mixed\\dir/gear.ldf", "gear"},
        {"noextension", "noextension"},
        {".hidden.dbc", ""},
        {nullptr, "unkown"},
    };
    for (auto &c : cases) {
        TestIo io(c.file_name);
        CANdbNetwork net;
        io.set_source_name(&net);
        EXPECT_EQ(net.source_name, c.source_name) << (c.file_name ? c.file_name : "(none)");
    }
    TestIo io(("dir/" + long_base + ".dbc").c_str());
    CANdbNetwork net;
    io.set_source_name(&net);
    EXPECT_EQ(net.source_name, long_base.substr(0, 100));
}

struct Line {
    std::string level;
    int line;
    std::string file_name, text;
};

class RecordingReporter : public CANdbFileIoReporter {
public:
    std::vector<Line> lines;
    void info(int line, const char *file_name, const char *text) override { add("info", line, file_name, text); }
    void error(int line, const char *file_name, const char *text) override { add("error", line, file_name, text); }
    void warning(int line, const char *file_name, const char *text) override { add("warning", line, file_name, text); }

private:
    void add(const char *level, int line, const char *file_name, const char *text)
    {
        lines.push_back({level, line, file_name ? file_name : "", text});
    }
};

TEST(CANdbFileIo, MessagesGoToTheReporterWithLineAndFile)
{
    TestIo io("cars/body.dbc");
    RecordingReporter reporter;
    io.set_reporter(&reporter);
    io.set_line(7);
    io.error("'%c' expected", ':');
    io.warning("Message %u not found", 42u);
    io.info("%s", "loaded");
    ASSERT_EQ(reporter.lines.size(), 3u);
    EXPECT_EQ(reporter.lines[0].level, "error");
    EXPECT_EQ(reporter.lines[0].line, 7);
    EXPECT_EQ(reporter.lines[0].file_name, "cars/body.dbc");
    EXPECT_EQ(reporter.lines[0].text, "':' expected");
    EXPECT_EQ(reporter.lines[1].text, "Message 42 not found");
    EXPECT_EQ(reporter.lines[2].level, "info");

    // Texts are cut to the 200-character buffer.
    io.error("%s", std::string(300, 'a').c_str());
    EXPECT_EQ(reporter.lines.back().text, std::string(199, 'a'));
}

TEST(CANdbFileIo, WithoutReporterMessagesGoToStandardOutput)
{
    TestIo io("x.dbc");
    io.set_line(12);
    testing::internal::CaptureStdout();
    io.error("Signal %s", "not found");
    io.warning("careful");
    io.info("done");
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Error (line 12): Signal not found\nWarning (line 12): careful\ndone\n");
}

TEST(CANdbFileIo, Atoi64OrZero)
{
    struct {
        const char *text;
        int64_t value;
    } cases[] = {
        {nullptr, 0},
        {"", 0},
        {"123", 123},
        {"  -42x", -42},
        {"+7", 7},
        {"9223372036854775807", INT64_MAX},
        {"4294967295", 4294967295LL},
        {"m5", 0},
    };
    for (auto &c : cases)
        EXPECT_EQ(CANdbFileIo::atoi64_or_zero(c.text), c.value) << (c.text ? c.text : "(null)");
}

} // namespace
