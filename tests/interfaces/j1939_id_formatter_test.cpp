// The J1939 formatter: identifiers shown as parameter group numbers, group
// numbers turned back into identifiers, named identifier fields, and its four
// trace columns.
#include "interfaces/can/id_formatter.h"
#include "interfaces/can/j1939_id_formatter.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

constexpr uint32_t extended = VyrCanMessage::Extended;

VyrCanMessage frame(uint32_t id, uint32_t flags)
{
    VyrCanMessage message;
    message.id = id;
    message.flags = flags;
    return message;
}

TEST(J1939IdFormatter, IsRegisteredAsJ1939)
{
    std::unique_ptr<IdFormatter> formatter = create_id_formatter("J1939");
    ASSERT_NE(dynamic_cast<J1939IdFormatter *>(formatter.get()), nullptr);
    EXPECT_EQ(formatter->name(), "J1939");
    EXPECT_STREQ(formatter->script_header(), "\nint j1939SendMessage (J1939Message msg);\n\n");
}

TEST(J1939IdFormatter, DisplayAndRawIdentifiers)
{
    const J1939IdFormatter j1939("J1939");
    const struct
    {
        uint32_t id;
        uint32_t flags;
        uint32_t shown;
    } cases[] = {
        {0x18FEF100, extended, 0x8000FEF1}, // PDU2: with the group extension
        {0x18EA0100, extended, 0x8000EA00}, // PDU1: the destination left out
        {0x19EF2233, extended, 0x8001EF00}, // data page 1, the last PDU1 format
        {0x18F00433, extended, 0x8000F004}, // the first PDU2 format
        {0x123, 0, 0x123},                  // a standard identifier stays
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.id);
        EXPECT_EQ(j1939.display_id(frame(c.id, c.flags)), c.shown);
    }
    EXPECT_EQ(j1939.raw_id(0xFEF1), 0x80FEF100u);
    EXPECT_EQ(j1939.raw_id(0x3FEF1), 0x81FEF100u); // 17 bits of group number
}

TEST(J1939IdFormatter, SetIdField)
{
    const J1939IdFormatter j1939("J1939");
    const struct
    {
        uint32_t before;
        const char *field;
        uint32_t value;
        bool known;
        uint32_t after;
    } cases[] = {
        {0x18FEF100, "  PRI", 6, true, 0x18FEF100}, // priority 6 already
        {0x0CFEF100, " pri", 6, true, 0x18FEF100},
        {0x18FEF100, "sa", 0x1234, true, 0x18FEF134},
        {0x18EA0100, "DA", 0x55, true, 0x18EA5500},
        {0x18EA0133, "pgn", 0xEB00, true, 0x18EB0133},  // PDU1: the destination byte stays
        {0x18EA0133, "id", 0x1FEF2, true, 0x19FEF233},  // PDU2: the group extension too
        {0x18EA0133, "pgn", 0x1EC00, true, 0x19EC0133}, // the data page comes along
        {0x18EA0133, "pgn", 0xEFAB, true, 0x18EF0133},  // the last PDU1 format
        {0x18EA0133, "pgn", 0xF0AB, true, 0x18F0AB33},  // the first PDU2 format
        {0x18EA0133, "dlc", 1, false, 0x18EA0133},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.field);
        uint32_t id = c.before;
        EXPECT_EQ(j1939.set_id_field(id, c.field, c.value), c.known);
        EXPECT_EQ(id, c.after);
    }
}

TEST(J1939IdFormatter, TraceColumns)
{
    const J1939IdFormatter j1939("J1939");
    ASSERT_EQ(j1939.column_count(), 4);
    const char *titles[] = {" PGN", " SA", " DA", " PRI"};
    const int widths[] = {6, 3, 3, 4};
    for (int i = 0; i < 4; ++i) {
        EXPECT_STREQ(j1939.column_title(i), titles[i]);
        EXPECT_EQ(j1939.column_width(i), widths[i]);
    }
    EXPECT_EQ(j1939.column_title(4), nullptr);
    EXPECT_EQ(j1939.column_width(4), 0);

    const struct
    {
        uint32_t id;
        uint32_t flags;
        int index;
        const char *text;
    } cases[] = {
        {0x18FEF100, extended, 0, "  fef1"}, {0x18FEF100, extended, 1, " 00"},
        {0x18FEF100, extended, 2, ""},       {0x18FEF100, extended, 3, " 6"},
        {0x18EA0133, extended, 0, "  ea00"}, {0x18EA0133, extended, 1, " 33"},
        {0x18EA0133, extended, 2, " 01"},    {0x123, 0, 0, ""},
        // the last PDU1 format and the first PDU2 format
        {0x18EF2233, extended, 0, "  ef00"}, {0x18EF2233, extended, 2, " 22"},
        {0x18F02233, extended, 0, "  f022"}, {0x18F02233, extended, 2, ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(::testing::Message() << std::hex << c.id << " column " << c.index);
        char buffer[16];
        EXPECT_EQ(j1939.column_text(frame(c.id, c.flags), c.index, buffer), int(std::strlen(c.text)));
        EXPECT_STREQ(buffer, c.text);
    }
}

// The column texts give the identifier back, but for the extended data page
// bit, which no column shows; texts out of a field's range are refused.
TEST(J1939IdFormatter, ColumnTextsReadBack)
{
    const J1939IdFormatter j1939("J1939");
    for (uint32_t id : {0x18FEF100u, 0x18EA0133u, 0x1DEFFFFEu, 0x0CF00401u}) {
        SCOPED_TRACE(::testing::Message() << std::hex << id);
        uint32_t rebuilt = 0x02000000; // the data page bit stays as it was
        for (int index = 0; index < j1939.column_count(); ++index) {
            char buffer[16];
            j1939.column_text(frame(id, extended), index, buffer);
            const char *text = buffer + std::strspn(buffer, " ");
            if (*text) {
                EXPECT_TRUE(j1939.read_column_text(rebuilt, index, text)) << index;
            }
        }
        EXPECT_EQ(rebuilt, id | 0x02000000);
    }
    uint32_t id = 0;
    for (const auto &[index, text] :
         {std::pair{0, "20000"}, {1, "100"}, {2, "-1"}, {3, "8"}, {3, "a"}, {0, "fg"}, {0, ""}, {4, "1"}}) {
        SCOPED_TRACE(text);
        EXPECT_FALSE(j1939.read_column_text(id, index, text));
    }
    EXPECT_EQ(id, 0u);
}

} // namespace
