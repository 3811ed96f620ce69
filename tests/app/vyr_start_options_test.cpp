#include "app/shell/vyr_start_options.h"
#include "core/vyr_recent_list.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

VyrStartOptions parse(const QString &command_line)
{
    return parse_start_options(command_line.split(QLatin1Char(' '), Qt::SkipEmptyParts));
}

void touch(const QString &path)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
}

} // namespace

TEST(VyrStartOptions, CommandLines)
{
    struct Row
    {
        const char *command_line;
        VyrStartOptions expected;
    };
    auto options = [](auto change) {
        VyrStartOptions o;
        change(o);
        return o;
    };
    const Row rows[] = {
        {"vyr", {}},
        {"vyr -nort -nice -minimized -nosplash -nodisclaimer -nortclockx -noreopen -use_timerevents -use_timercpu "
         "-service",
         options([](VyrStartOptions &o) {
             o.nort = o.nice = o.minimized = o.nosplash = o.nodisclaimer = o.nortclockx = o.noreopen = true;
             o.use_timerevents = o.use_timercpu = o.service = true;
         })},
        {"vyr -start", options([](VyrStartOptions &o) { o.start = true; })},
        {"vyr -startdelayed 10", options([](VyrStartOptions &o) { o.start = true, o.start_delay = 10; })},
        {"vyr -startdelayed 7s", options([](VyrStartOptions &o) { o.start = true, o.start_delay = 7; })},
        {"vyr -startdelayed soon", options([](VyrStartOptions &o) { o.start = true, o.start_delay = 0; })},
        {"vyr -mutex ONE a.vyr", options([](VyrStartOptions &o) { o.mutex_name = "ONE", o.file_argument = "a.vyr"; })},
        // The first file argument counts; later ones are ignored.
        {"vyr a.vyr b.vyr -start", options([](VyrStartOptions &o) { o.file_argument = "a.vyr", o.start = true; })},
        // A value option with nothing behind it is the file argument.
        {"vyr -mutex", options([](VyrStartOptions &o) { o.file_argument = "-mutex"; })},
        {"vyr -startdelayed", options([](VyrStartOptions &o) { o.file_argument = "-startdelayed"; })},
        // Options compare exactly.
        {"vyr -NORT -nort2", options([](VyrStartOptions &o) { o.file_argument = "-NORT"; })},
        // A value is taken even when it looks like an option.
        {"vyr -mutex -start", options([](VyrStartOptions &o) { o.mutex_name = "-start"; })},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.command_line);
        const VyrStartOptions got = parse(QString::fromLatin1(row.command_line));
        const VyrStartOptions &want = row.expected;
        EXPECT_EQ(got.nort, want.nort);
        EXPECT_EQ(got.nice, want.nice);
        EXPECT_EQ(got.minimized, want.minimized);
        EXPECT_EQ(got.nosplash, want.nosplash);
        EXPECT_EQ(got.nodisclaimer, want.nodisclaimer);
        EXPECT_EQ(got.nortclockx, want.nortclockx);
        EXPECT_EQ(got.start, want.start);
        EXPECT_EQ(got.noreopen, want.noreopen);
        EXPECT_EQ(got.use_timerevents, want.use_timerevents);
        EXPECT_EQ(got.use_timercpu, want.use_timercpu);
        EXPECT_EQ(got.service, want.service);
        EXPECT_EQ(got.start_delay, want.start_delay);
        EXPECT_EQ(got.mutex_name, want.mutex_name);
        EXPECT_EQ(got.file_argument, want.file_argument);
    }
}

TEST(VyrStartOptions, FileArgumentNamesTheFileAsTypedElseWithVyrAppended)
{
    QTemporaryDir dir;
    const QDir d(dir.path());
    touch(d.filePath("both"));
    touch(d.filePath("both.vyr"));
    touch(d.filePath("only.vyr"));
    QDir::setCurrent(dir.path());

    EXPECT_EQ(resolve_file_argument("both"), d.filePath("both"));
    EXPECT_EQ(resolve_file_argument("only"), d.filePath("only.vyr"));
    EXPECT_EQ(resolve_file_argument(d.filePath("only.vyr")), d.filePath("only.vyr"));
    EXPECT_EQ(resolve_file_argument("missing"), "missing");   // unchanged, no ".vyr" added
    EXPECT_EQ(resolve_file_argument(dir.path()), dir.path()); // a directory is no file
    EXPECT_EQ(resolve_file_argument(""), "");
}

TEST(VyrStartOptions, ConfigurationChoice)
{
    VyrRecentList empty(20);
    VyrRecentList recent(20);
    recent.add("/old.vyr");
    recent.add("/newest.vyr");
    const struct
    {
        const char *command_line_file;
        bool noreopen;
        const VyrRecentList &recent;
        const char *expected;
    } rows[] = {
        {"/cmd.vyr", false, recent, "/cmd.vyr"},
        {"", false, recent, "/newest.vyr"},
        {"", false, empty, "/opt/vyr/default.vyr"},
        {"/cmd.vyr", true, recent, "/cmd.vyr"},
        {"", true, recent, ""},
        {"", true, empty, ""},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(std::string(row.command_line_file) + (row.noreopen ? " -noreopen" : ""));
        EXPECT_EQ(choose_configuration_file(row.command_line_file, row.noreopen, row.recent, "/opt/vyr"), row.expected);
    }
}

TEST(VyrStartOptions, TimerCpuNeedsTwoProcessorsWhateverTheirNumbers)
{
    EXPECT_FALSE(timer_cpu_possible(0));
    EXPECT_FALSE(timer_cpu_possible(1));
    EXPECT_TRUE(timer_cpu_possible(2));
}
