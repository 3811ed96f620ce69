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

TEST(VyrMessageLines, EveryCallIsARowOfItsOwn)
{
    const std::string long_text(5000, 'x');
    const struct
    {
        const char *name;
        std::vector<std::pair<int, const char *>> calls;
        std::vector<Row> expected;
    } cases[] = {
        {"the line end is not part of the row", {{2, "abc\n"}}, {{0, "abc"}}},
        {"a text without a line end is a row at once", {{4, "**** HW Overrun in CAN driver ****"}},
         {{8, "**** HW Overrun in CAN driver ****"}}},
        {"parts of lines are not joined", {{2, "abc"}, {4, "def\n"}}, {{0, "abc"}, {8, "def"}}},
        {"warnings and errors are marked", {{3, "w\n"}, {4, "e\n"}, {2, "i\n"}}, {{8, "w"}, {8, "e"}, {0, "i"}}},
        {"empty and null texts give no row", {{2, ""}, {4, nullptr}}, {}},
        {"a line end alone is an empty row", {{2, "\n"}}, {{0, ""}}},
        {"a line end inside the text stays", {{2, "a\nb\n"}}, {{0, "a\nb"}}},
        {"a long text is one row", {{2, long_text.c_str()}}, {{0, long_text}}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        RowCollector collector;
        for (const auto &call : c.calls)
            collector.lines.add(call.first, call.second);
        EXPECT_EQ(collector.rows, c.expected);
    }
}

// Eight interface threads report at once, without line ends: each report is
// a row of its own, whole.
TEST(VyrMessageLines, ReportsOfManyThreadsStayWhole)
{
    RowCollector collector;
    constexpr int threads = 8;
    constexpr int reports_per_thread = 2000;
    std::vector<std::thread> writers;
    for (int t = 0; t < threads; ++t)
        writers.emplace_back([&collector, t] {
            for (int i = 0; i < reports_per_thread; ++i)
                collector.lines.add(t % 2 ? 4 : 3, ("CAN " + std::to_string(t) + " report " + std::to_string(i)).c_str());
        });
    for (std::thread &writer : writers)
        writer.join();

    ASSERT_EQ(collector.rows.size(), size_t(threads * reports_per_thread));
    std::map<int, int> next_report;
    for (const Row &row : collector.rows) {
        int t = -1;
        int i = -1;
        ASSERT_EQ(sscanf(row.text.c_str(), "CAN %d report %d", &t, &i), 2) << row.text;
        EXPECT_EQ(row.text, "CAN " + std::to_string(t) + " report " + std::to_string(i));
        EXPECT_EQ(i, next_report[t]++) << "thread " << t << " out of order";
        EXPECT_EQ(row.flags, 8);
    }
}
