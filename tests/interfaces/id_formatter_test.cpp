// The message-identifier formatter registry: entries by exact name, the name
// handed to the formatter, iteration over the names, and the base formatter,
// which leaves identifiers as they are.
#include "interfaces/can/id_formatter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

class PlainFormatter : public IdFormatter
{
public:
    using IdFormatter::IdFormatter;
};

IdFormatter *make_plain(const char *name)
{
    return new PlainFormatter(name);
}

IdFormatter *make_none(const char *)
{
    return nullptr;
}

const bool registered = [] {
    register_id_formatter("Plain", make_plain);
    register_id_formatter("Nothing", make_none);
    return true;
}();

TEST(IdFormatterRegistry, CreatesByExactNameAndNamesTheFormatter)
{
    ASSERT_TRUE(registered);
    std::unique_ptr<IdFormatter> plain = create_id_formatter("Plain");
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(plain->name(), "Plain");
    EXPECT_EQ(create_id_formatter("plain"), nullptr);
    EXPECT_EQ(create_id_formatter(nullptr), nullptr);
    EXPECT_EQ(create_id_formatter("Nothing"), nullptr);
}

TEST(IdFormatterRegistry, IteratesOverEveryName)
{
    std::vector<std::string> names;
    for (const char *name = first_id_formatter_name(); name; name = next_id_formatter_name())
        names.push_back(name);
    EXPECT_EQ(int(names.size()), id_formatter_count());
    // J1939 registers with the interfaces, before this file's entries or after them.
    names.erase(std::remove(names.begin(), names.end(), "J1939"), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"Plain", "Nothing"}));
    EXPECT_EQ(next_id_formatter_name(), nullptr); // stays at the end
}

TEST(IdFormatterRegistry, BaseFormatterKeepsIdentifiersAndHasNoColumns)
{
    PlainFormatter plain("Plain");
    VyrCanMessage message;
    message.id = 0x18FEF100;
    message.flags = VyrCanMessage::Extended;
    EXPECT_EQ(plain.display_id(message), 0x98FEF100u);
    EXPECT_EQ(plain.raw_id(0x123), 0x123u);
    uint32_t id = 7;
    EXPECT_FALSE(plain.set_id_field(id, "sa", 1));
    EXPECT_EQ(id, 7u);
    EXPECT_EQ(plain.column_count(), 0);
    EXPECT_EQ(plain.column_title(0), nullptr);
    char buffer[16] = "x";
    EXPECT_EQ(plain.column_text(message, 0, buffer), 0);
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(plain.script_header(), nullptr);
}

} // namespace
