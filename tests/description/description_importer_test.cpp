#include "description/description_importer.h"

#include "core/description_kinds.h"
#include "core/description_log_sink.h"

#include <gtest/gtest.h>

#include <cstdarg>
#include <cstdio>
#include <string>
#include <vector>

namespace {

class InfoSink : public DescriptionLogSink
{
public:
    void debug(const char *, ...) override {}
    void info(const char *format, ...) override
    {
        char text[2048];
        va_list arguments;
        va_start(arguments, format);
        std::vsnprintf(text, sizeof text, format, arguments);
        va_end(arguments);
        infos.push_back(text);
    }
    void warning(const char *, ...) override {}
    void error(const char *, ...) override {}
    std::vector<std::string> infos;
};

class TestImporter : public DescriptionImporter
{
public:
    using DescriptionImporter::DescriptionImporter;
    const char *format_name() const override { return "TEST"; }
    int read(DescriptionWorkspace *) override { return 0; }
};

TEST(DescriptionImporterTest, MessagesReachTheSinkAsFinishedText)
{
    InfoSink sink;
    TestImporter importer("ecu.odx");
    EXPECT_STREQ(importer.file_name(), "ecu.odx");
    importer.set_sink(&sink);
    importer.message("%s has %d%%", "layer", 50);
    ASSERT_EQ(sink.infos.size(), 1u);
    EXPECT_EQ(sink.infos[0], "layer has 50%"); // "%" survives: not formatted twice

    const std::string long_text(700, 'x');
    importer.message("%s", long_text.c_str());
    EXPECT_EQ(sink.infos[1].size(), 500u);

    EXPECT_EQ(TestImporter(nullptr).file_name(), nullptr);
    sink.set_level(3);
    EXPECT_EQ(sink.level(), 3);
}

TEST(DescriptionImporterTest, HeldNodeGoesWithTheImporter)
{
    auto *layer = new DescriptionLayer;
    layer->add_ref(); // the test's own reference
    {
        TestImporter importer("a2l");
        importer.hold_node(layer);
        EXPECT_EQ(layer->ref_count(), 2);
    }
    EXPECT_EQ(layer->ref_count(), 1);
    DescriptionNode::release(layer);
}

} // namespace
