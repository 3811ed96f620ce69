// The acceptance filter record, the identifier filter list with its range
// edits, merging and bit sets, their configuration groups, and the bit
// pattern editor driven offscreen.
#include "core/id_bit_set.h"
#include "settings/qtb_config.h"
#include "interfaces/can/vyr_acceptance_filter.h"
#include "forms/vyr_bit_pattern_edit.h"
#include "interfaces/can/vyr_id_filter_list.h"

#include <QTest>
#include <gtest/gtest.h>

#include <random>
#include <utility>
#include <vector>

namespace {

using Ranges = std::vector<std::pair<uint32_t, uint32_t>>;

Ranges ranges_of(VyrIdFilterList &list)
{
    Ranges ranges;
    for (VyrIdRange *r = list.first_range(); r; r = list.next_range())
        ranges.emplace_back(r->start, r->end);
    EXPECT_EQ(int(ranges.size()), list.count());
    return ranges;
}

void fill(VyrIdFilterList &list, const Ranges &ranges)
{
    for (const auto &[a, b] : ranges)
        list.add_range(a, b);
}

TEST(IdFilterList, RemoveId)
{
    struct Case
    {
        const char *what;
        Ranges before;
        uint32_t id;
        Ranges after;
    };
    const Case cases[] = {
        {"one-id range goes", {{5, 5}}, 5, {}},
        {"inner id splits, upper part at the tail", {{5, 9}, {20, 30}}, 7, {{5, 6}, {20, 30}, {8, 9}}},
        {"start moves up", {{5, 9}}, 5, {{6, 9}}},
        {"end moves down", {{5, 9}}, 9, {{5, 8}}},
        {"every range holding it", {{7, 7}, {1, 10}, {7, 7}, {7, 8}}, 7, {{1, 6}, {8, 8}, {8, 10}}},
        {"id held by none", {{1, 2}}, 3, {{1, 2}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        VyrIdFilterList list;
        fill(list, c.before);
        list.remove_id(c.id);
        EXPECT_EQ(ranges_of(list), c.after);
    }
}

TEST(IdFilterList, Optimize)
{
    struct Case
    {
        const char *what;
        Ranges before;
        Ranges after;
    };
    const Case cases[] = {
        {"touching and apart", {{1, 3}, {4, 6}, {10, 12}}, {{1, 6}, {10, 12}}},
        {"overlapping in reverse order", {{10, 20}, {5, 12}, {1, 4}}, {{1, 20}}},
        {"a later range joins two earlier ones", {{1, 3}, {10, 12}, {4, 9}}, {{1, 12}}},
        {"merged range stands at its first member", {{50, 60}, {1, 2}, {61, 70}, {5, 5}}, {{50, 70}, {1, 2}, {5, 5}}},
        {"contained", {{1, 100}, {20, 30}}, {{1, 100}}},
        {"apart by two", {{1, 3}, {5, 6}}, {{1, 3}, {5, 6}}},
        {"top of the range",
         {{0xFFFFFFF0u, 0xFFFFFFFFu}, {0, 0}, {0xFFFFFFFFu, 0xFFFFFFFFu}},
         {{0xFFFFFFF0u, 0xFFFFFFFFu}, {0, 0}}},
        {"empty", {}, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        VyrIdFilterList list;
        fill(list, c.before);
        list.optimize();
        EXPECT_EQ(ranges_of(list), c.after);
        list.add_id(0x1000); // the tail is kept right after the merge
        EXPECT_EQ(ranges_of(list).back(), std::make_pair(0x1000u, 0x1000u));
    }
}

// The merged list covers exactly the identifiers of the original, and no two
// of its ranges overlap or touch.
TEST(IdFilterList, OptimizeKeepsTheIdentifiersOfShuffledRanges)
{
    std::mt19937 random(20);
    VyrIdFilterList list;
    IdBitSet expected(0, 2048);
    expected.clear_all();
    for (int i = 0; i < 300; ++i) {
        const uint32_t start = random() % 2000;
        const uint32_t end = start + random() % 8;
        list.add_range(end, start);
        expected.set_range(start, end);
    }
    list.optimize();
    list.set_filter_type(VyrIdFilterList::pass_listed);
    IdBitSet merged(0, 2048);
    list.apply_to_bitset(merged);
    for (uint32_t id = 0; id < 2048; ++id)
        ASSERT_EQ(merged.test(id), expected.test(id)) << id;
    Ranges ranges = ranges_of(list);
    std::sort(ranges.begin(), ranges.end());
    for (size_t i = 1; i < ranges.size(); ++i)
        EXPECT_GT(ranges[i].first, ranges[i - 1].second + 1);
}

TEST(IdFilterList, RemoveRangeDuringIteration)
{
    VyrIdFilterList list;
    fill(list, {{1, 1}, {2, 2}, {3, 3}, {4, 4}});
    Ranges seen;
    for (VyrIdRange *r = list.first_range(); r; r = list.next_range()) {
        seen.emplace_back(r->start, r->end);
        if (r->start == 1 || r->start == 3)
            list.remove_range(r);
    }
    EXPECT_EQ(seen, (Ranges{{1, 1}, {2, 2}, {3, 3}, {4, 4}}));
    EXPECT_EQ(ranges_of(list), (Ranges{{2, 2}, {4, 4}}));
    list.remove_range(list.find_range(4));
    list.add_id(9); // the tail moved back with the removal
    EXPECT_EQ(ranges_of(list), (Ranges{{2, 2}, {9, 9}}));
    EXPECT_EQ(list.find_range(3), nullptr);
}

TEST(IdFilterList, BitSetsPassOrBlockTheListedIdentifiers)
{
    VyrIdFilterList list(false, VyrIdFilterList::pass_listed);
    fill(list, {{0x100, 0x10F}, {0x7FF, 0x7FF}});
    IdBitSet set(0, 2048);
    set.set_all();
    list.apply_to_bitset(set);
    EXPECT_EQ(set.set_bits(), 17u);
    EXPECT_TRUE(set.test(0x105));
    EXPECT_FALSE(set.test(0x110));

    list.set_filter_type(VyrIdFilterList::block_listed);
    list.apply_to_bitset(set);
    EXPECT_EQ(set.set_bits(), 2048u - 17u);
    EXPECT_FALSE(set.test(0x7FF));

    VyrIdFilterList extended(true, VyrIdFilterList::block_listed);
    extended.add_range(0x18FEF100, 0x18FEF1FF);
    SparseIdBitSet sparse(0, 0x20000000, 4096);
    extended.apply_to_sparse_bitset(sparse);
    EXPECT_EQ(sparse.set_bits(), 0x20000000u - 256u);
    EXPECT_FALSE(sparse.test(0x18FEF180));
    EXPECT_TRUE(sparse.test(0x18FEF200));
    extended.set_filter_type(VyrIdFilterList::pass_listed);
    extended.apply_to_sparse_bitset(sparse);
    EXPECT_EQ(sparse.set_bits(), 256u);
}

TEST(FilterConfiguration, WrittenAndReadBack)
{
    QtbConfig config;
    VyrIdFilterList list(true, VyrIdFilterList::pass_listed);
    fill(list, {{0x1FFFFFFF, 0x10000000}, {5, 5}});
    list.set_active(false);
    list.write_config(config.add_group("trace_filter"));
    VyrAcceptanceFilter filter(true);
    filter.code = 0x80000001u;
    filter.mask = 0x1FFFFFFF;
    filter.block_all = true;
    filter.active = false;
    filter.write_config(config.add_group("filter_ext"));

    VyrIdFilterList read;
    read.add_id(77); // reading clears the list first
    read.read_config(config.get_group("trace_filter"));
    EXPECT_TRUE(read.extended_id());
    EXPECT_EQ(read.filter_type(), VyrIdFilterList::pass_listed);
    EXPECT_FALSE(read.active());
    EXPECT_EQ(ranges_of(read), (Ranges{{0x10000000, 0x1FFFFFFF}, {5, 5}}));

    VyrAcceptanceFilter read_filter;
    read_filter.read_config(config.get_group("filter_ext"));
    EXPECT_FALSE(read_filter.differs(filter));
    EXPECT_FALSE(read_filter.active);
    EXPECT_EQ(read_filter.code, 0x80000001u);

    // A group without keys gives the defaults: block the listed identifiers.
    QtbConfigGroup empty;
    read.read_config(&empty);
    EXPECT_EQ(read.filter_type(), VyrIdFilterList::block_listed);
    EXPECT_FALSE(read.extended_id());
    EXPECT_TRUE(read.active());
    EXPECT_EQ(read.count(), 0);
    read_filter.read_config(&empty);
    EXPECT_FALSE(read_filter.differs(VyrAcceptanceFilter(false)));
    EXPECT_TRUE(read_filter.active);
}

TEST(AcceptanceFilter, DiffersIgnoresTheActiveFlag)
{
    const VyrAcceptanceFilter base(false);
    auto changed = [&](auto change) {
        VyrAcceptanceFilter other;
        other.assign(base);
        change(other);
        return other.differs(base);
    };
    EXPECT_FALSE(changed([](VyrAcceptanceFilter &f) { f.active = false; }));
    EXPECT_TRUE(changed([](VyrAcceptanceFilter &f) { f.code = 1; }));
    EXPECT_TRUE(changed([](VyrAcceptanceFilter &f) { f.mask = 1; }));
    EXPECT_TRUE(changed([](VyrAcceptanceFilter &f) { f.extended_id = true; }));
    EXPECT_TRUE(changed([](VyrAcceptanceFilter &f) { f.block_all = true; }));
}

TEST(BitPattern, Validation)
{
    struct Case
    {
        bool extended;
        QString text;
        int position;
        QValidator::State state;
        QString fixed;      // the text after validation
        int fixed_position; // the cursor after validation
    };
    const QString std_pattern = "x01 1X0x 0000";
    const QString ext_pattern = "1 0000 xxxx 1111 0101 XXXX 0000 1x1x";
    const Case cases[] = {
        {false, std_pattern, 0, QValidator::Acceptable, std_pattern, 0},
        {false, std_pattern, 3, QValidator::Acceptable, std_pattern, 4}, // steps over the blank
        {false, "x01 1X0x 000", 3, QValidator::Invalid, "x01 1X0x 000", 3},
        {false, "x011 X0x 0000", 0, QValidator::Invalid, "x011 X0x 0000", 0}, // blank at a wrong place
        {false, "x01 1X0x 00z0", 0, QValidator::Invalid, "x01 1X0x 00z0", 0},
        {false, "x01 1X0x\u00a00000", 0, QValidator::Invalid, "x01 1X0x\u00a00000", 0},
        {false, "x01 1X0x 000\u20ac", 0, QValidator::Invalid, "x01 1X0x 000\u20ac", 0},
        {false, "1x01 1X0x 0000", 1, QValidator::Acceptable, "101 1X0x 0000", 1}, // typed 1 replaces x
        {false, "x01 1X0x 00001", 13, QValidator::Acceptable, std_pattern, 13},   // surplus at the end is cut
        {false, "x011 1X0x 0000", 4, QValidator::Invalid, "x0111X0x 0000", 4},    // typed over the blank
        {true, ext_pattern, 0, QValidator::Acceptable, ext_pattern, 0},
        {true, "01 0000 xxxx 1111 0101 XXXX 0000 1x1x", 1, QValidator::Acceptable,
         "0 0000 xxxx 1111 0101 XXXX 0000 1x1x", 2}, // steps over the blank after the first bit
        {true, "0 0000 xxxx 1111 0101 XXXX 0000 1x1", 0, QValidator::Invalid, "0 0000 xxxx 1111 0101 XXXX 0000 1x1", 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        VyrBitPatternValidator validator(c.extended);
        QString text = c.text;
        int position = c.position;
        EXPECT_EQ(validator.validate(text, position), c.state);
        EXPECT_EQ(text, c.fixed);
        if (c.state == QValidator::Acceptable) {
            EXPECT_EQ(position, c.fixed_position);
        }
    }
}

TEST(BitPattern, TypingOverwritesTheBits)
{
    VyrBitPatternEdit edit(nullptr, false);
    edit.setObjectName("le_std_bits");
    edit.setText("xxx xxxx xxxx");
    edit.show();
    edit.setFocus();
    edit.setCursorPosition(0);
    QTest::keyClicks(&edit, "1011");
    EXPECT_EQ(edit.text(), QString("101 1xxx xxxx"));
    EXPECT_EQ(edit.cursorPosition(), 5);
    QTest::keyClicks(&edit, "2"); // not a bit
    EXPECT_EQ(edit.text(), QString("101 1xxx xxxx"));
    QTest::keyClick(&edit, Qt::Key_Backspace); // would shorten the pattern
    EXPECT_EQ(edit.text(), QString("101 1xxx xxxx"));
    edit.setCursorPosition(12);
    QTest::keyClicks(&edit, "00");
    EXPECT_EQ(edit.text(), QString("101 1xxx xxx0"));

    edit.set_extended_id(true);
    edit.setText("x xxxx xxxx xxxx xxxx xxxx xxxx xxxx");
    edit.setCursorPosition(0);
    QTest::keyClicks(&edit, "10");
    EXPECT_EQ(edit.text(), QString("1 0xxx xxxx xxxx xxxx xxxx xxxx xxxx"));
    EXPECT_TRUE(edit.hasAcceptableInput());
}

} // namespace
