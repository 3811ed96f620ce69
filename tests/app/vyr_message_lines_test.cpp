#include "app/vyr_message_lines.h"

#include <gtest/gtest.h>

#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

struct Row
{
    int flags;
    std::string text;
    bool operator==(const Row &other) const { return flags == other.flags && text == other.text; }
};

std::ostream &operator<<(std::ostream &out, const Row &row)
{
    return out << "{" << row.flags << ", \"" << row.text << "\"}";
}

// Collects the rows the lines hand on, from any thread.
struct RowCollector
{
    VyrMessageLines lines{[this](int flags, const std::string &text) {
        std::lock_guard<std::mutex> lock(mutex);
        rows.push_back({flags, text});
    }};
    std::mutex mutex;
    std::vector<Row> rows;
};

} // namespace

TEST(VyrMessageLines, JoiningRules)
{
    const std::string long_text(1001, 'x');
    const std::string thousand(1000, 'y');
    const struct
    {
        const char *name;
        std::vector<std::pair<int, const char *>> calls;
        std::vector<Row> expected;
    } cases[] = {
        {"a whole line is a row", {{2, "abc\n"}}, {{0, "abc\n"}}},
        {"the completing call gives the flags", {{2, "abc"}, {4, "def\n"}}, {{8, "abcdef\n"}}},
        {"a warning pending, completed by information", {{3, "abc"}, {2, "def\n"}}, {{0, "abcdef\n"}}},
        {"warnings and errors are marked", {{3, "w\n"}, {4, "e\n"}, {2, "i\n"}}, {{8, "w\n"}, {8, "e\n"}, {0, "i\n"}}},
        {"a part waits", {{2, "abc"}}, {}},
        {"empty and null texts leave a pending part", {{2, "ab"}, {4, ""}, {4, nullptr}, {2, "c\n"}}, {{0, "abc\n"}}},
        {"a newline inside the text does not end the row", {{2, "a\nb"}, {2, "c\n"}}, {{0, "a\nbc\n"}}},
        {"1001 characters are a row at once", {{2, long_text.c_str()}}, {{0, long_text}}},
        {"1000 characters wait", {{2, thousand.c_str()}}, {}},
        {"a pending part that grows past 1000 is handed on", {{2, thousand.c_str()}, {3, "z"}}, {{8, thousand + "z"}}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        RowCollector collector;
        for (const auto &call : c.calls)
            collector.lines.add(call.first, call.second);
        EXPECT_EQ(collector.rows, c.expected);
    }
}

TEST(VyrMessageLines, EachThreadJoinsItsOwnPartsOfLines)
{
    RowCollector collector;
    constexpr int threads = 4;
    constexpr int lines_per_thread = 2000;
    // Every thread writes its lines in three parts while the others do the same.
    std::vector<std::thread> writers;
    for (int t = 0; t < threads; ++t)
        writers.emplace_back([&collector, t] {
            for (int i = 0; i < lines_per_thread; ++i) {
                const std::string head = "thread " + std::to_string(t);
                collector.lines.add(2, head.c_str());
                collector.lines.add(2, " line ");
                collector.lines.add(t % 2 ? 4 : 2, (std::to_string(i) + "\n").c_str());
            }
        });
    for (std::thread &writer : writers)
        writer.join();

    ASSERT_EQ(collector.rows.size(), size_t(threads * lines_per_thread));
    std::map<int, int> next_line;
    for (const Row &row : collector.rows) {
        int t = -1;
        int i = -1;
        ASSERT_EQ(sscanf(row.text.c_str(), "thread %d line %d\n", &t, &i), 2) << row.text;
        EXPECT_EQ(row.text, "thread " + std::to_string(t) + " line " + std::to_string(i) + "\n");
        EXPECT_EQ(i, next_line[t]++) << "thread " << t << " out of order";
        EXPECT_EQ(row.flags, t % 2 ? 8 : 0);
    }
}
