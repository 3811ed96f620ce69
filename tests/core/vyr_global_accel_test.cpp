#include "core/key_codes.h"
#include "core/vyr_global_accel.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

constexpr unsigned key_escape = 0x1000;
constexpr unsigned key_f1 = 0x1030;

// Items that write "<name> <code in hex>" when they fire.
class AccelFixture : public ::testing::Test
{
protected:
    AccelFixture() { table.set_enabled(true); }

    VyrGlobalAccelItem *add(const std::string &name, unsigned key)
    {
        items.push_back(std::make_unique<VyrGlobalAccelItem>(&table, key));
        VyrGlobalAccelItem *item = items.back().get();
        QObject::connect(item, &VyrGlobalAccelItem::activated, [this, name](unsigned code) {
            char hex[16];
            snprintf(hex, sizeof hex, "%x", code);
            fired.push_back(name + " " + hex);
        });
        return item;
    }

    VyrGlobalAccel table{VyrGlobalAccel::program_bucket_count};
    std::vector<std::unique_ptr<VyrGlobalAccelItem>> items;
    std::vector<std::string> fired;
};

} // namespace

TEST_F(AccelFixture, KeysWithModifiersChainsAndAnyKeyItems)
{
    add("f1", key_f1);
    add("shift-f1", key_f1 + 0x200000);
    add("ctrl-alt-a", 'A' + 0x400000 + 0x800000);
    add("esc-old", key_escape);
    add("esc-new", key_escape);
    // Same bucket as F1 (117 apart), another key.
    add("f1+117", key_f1 + 117);

    const struct {
        unsigned key;
        unsigned state;
        bool consumed;
        std::vector<std::string> fired;
    } cases[] = {
        {key_f1, 0, true, {"f1 1030"}},
        {key_f1, key_state_shift, true, {"shift-f1 201030"}},
        {key_f1, key_state_ctrl, false, {}},
        {'A', key_state_ctrl | key_state_alt, true, {"ctrl-alt-a c00041"}},
        {'A', key_state_ctrl, false, {}},
        // Registered last, fires first.
        {key_escape, 0, true, {"esc-new 1000", "esc-old 1000"}},
        {key_f1 + 117, 0, true, {"f1+117 10a5"}},
    };
    for (const auto &c : cases) {
        fired.clear();
        EXPECT_EQ(table.handle_key(c.key, c.state), c.consumed) << std::hex << c.key << " " << c.state;
        EXPECT_EQ(fired, c.fired) << std::hex << c.key << " " << c.state;
    }

    // An any-key item hears every key after the key's own items, and alone
    // consumes nothing.
    add("any", VyrGlobalAccel::any_key);
    fired.clear();
    EXPECT_TRUE(table.handle_key(key_f1, 0));
    EXPECT_EQ(fired, std::vector<std::string>({"f1 1030", "any 1030"}));
    fired.clear();
    EXPECT_FALSE(table.handle_key('Q', key_state_shift));
    EXPECT_EQ(fired, std::vector<std::string>({"any 200051"}));

    // Disabled (outside a measurement) nothing fires.
    table.set_enabled(false);
    fired.clear();
    EXPECT_FALSE(table.handle_key(key_escape, 0));
    EXPECT_TRUE(fired.empty());
}

TEST_F(AccelFixture, SetKeyMovesTheItemAndNoKeyTakesItOff)
{
    VyrGlobalAccelItem *row = add("row", 'S');
    add("other", 'S');
    row->set_key(0);
    fired.clear();
    table.handle_key('S', 0);
    EXPECT_EQ(fired, std::vector<std::string>({"other 53"}));

    row->set_key('T');
    fired.clear();
    EXPECT_TRUE(table.handle_key('T', 0));
    EXPECT_EQ(fired, std::vector<std::string>({"row 54"}));

    // A deleted item leaves its chain; the rest of the chain stays.
    items.erase(items.begin());
    fired.clear();
    EXPECT_FALSE(table.handle_key('T', 0));
    EXPECT_TRUE(table.handle_key('S', 0));
    EXPECT_EQ(fired, std::vector<std::string>({"other 53"}));
}

TEST_F(AccelFixture, AnItemDeletedByAnEarlierReceiverDoesNotFire)
{
    auto *later = new VyrGlobalAccelItem(&table, 'D');
    QObject::connect(later, &VyrGlobalAccelItem::activated, [this](unsigned) { fired.push_back("later"); });
    VyrGlobalAccelItem *first = add("first", 'D');
    QObject::connect(first, &VyrGlobalAccelItem::activated, [later](unsigned) { delete later; });
    EXPECT_TRUE(table.handle_key('D', 0));
    EXPECT_EQ(fired, std::vector<std::string>({"first 44"}));
}

TEST(VyrGlobalAccel, ItemsOutliveTheirTableDetached)
{
    auto table = std::make_unique<VyrGlobalAccel>(VyrGlobalAccel::program_bucket_count);
    VyrGlobalAccelItem item(table.get(), key_escape);
    VyrGlobalAccelItem unregistered(table.get(), 0);
    table.reset();
    item.set_key(key_f1); // no owner: nothing to register with
    EXPECT_EQ(item.key_code(), key_f1);
}

TEST(KeyCodes, QtKeyEventsTurnIntoTheProgramsNumbering)
{
    const struct {
        int qt_key;
        Qt::KeyboardModifiers modifiers;
        unsigned code;
    } cases[] = {
        {Qt::Key_Escape, Qt::NoModifier, 0x1000},
        {Qt::Key_F5, Qt::NoModifier, 0x1034},
        {Qt::Key_F1, Qt::ShiftModifier, 0x201030},
        {Qt::Key_A, Qt::ControlModifier | Qt::AltModifier, 0xC00041},
        {Qt::Key_Return, Qt::NoModifier, 0x1004},
        {Qt::Key_Space, Qt::ShiftModifier, 0x200020},
        {Qt::Key_Down, Qt::KeypadModifier, 0x1015}, // the keypad and Meta are no modifier bits
        {Qt::Key_Adiaeresis, Qt::NoModifier, 0xC4},
        {0x20AC, Qt::NoModifier, 0xFFFF},          // the euro sign: no key of the older numbering
        {Qt::Key_MediaPlay, Qt::NoModifier, 0x1080}, // still in the special range
        {Qt::Key_Play, Qt::NoModifier, 0xFFFF},
        // the ends of the two ranges that keep their numbers
        {0x0FFF, Qt::NoModifier, 0x0FFF},
        {0x1000, Qt::NoModifier, 0xFFFF},
        {0x01000FFF, Qt::NoModifier, 0x1FFF},
        {0x01001000, Qt::NoModifier, 0xFFFF},
    };
    for (const auto &c : cases) {
        const VyrKeyPress press = key_press_from_qt(c.qt_key, c.modifiers);
        EXPECT_EQ(key_code_with_state(press.key, press.state), c.code) << std::hex << c.qt_key;
    }
}
