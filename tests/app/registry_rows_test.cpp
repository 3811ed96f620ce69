// The registries as the program links them: every row that the program
// registers is there, in its order, although nothing in the program names
// the classes behind them. Rows join these tables as their classes are built.
#include "core/candb_file_format.h"
#include "core/vyr_signal_if_type.h"
#include "core/vyr_trigger_cond.h"
#include "windows/base/data_window_type_info.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(Registries, InterfaceTypesInOrderWithTheSharedHardwareHooksOfTheCanFamily)
{
    const struct
    {
        const char *type_name;
        const char *display_name;
        const char *description;
        bool built; // the interface class exists: the row has its factory
    } rows[] = {
        {"Serial", "Serial Interface", "Serial k-line ECU-Interface", false},
        {"RawSerial", "Raw Serial Interface", "Raw Serial Interface", false},
        {"CAN", "CAN Interface", "CAN Interface to VINDRA CAN Hardware", true},
        {"CAN-RX", "CAN Interface (Receive only)", "CAN Interface (Receive only) to VINDRA CAN Hardware", true},
        {"LIN", "LIN Interface", "LIN Interface to VINDRA LINbox Cable", true},
        {"DLL", "DLL Interface", "DLL Interface", false},
        {"Udp", "UDP Interface", "UDP Interface", false},
        {"Usb", "USB Interface", "USB Interface", false},
        {"Diag", "Diagnostic Interface", "Diagnostic Interface", false},
        {"FlexRay", "FlexRay Interface", "FlexRay Interface to TZM FlexCard Cyclone II", false},
    };
    const VyrSignalIfType *type = get_first_signal_if_type();
    for (const auto &row : rows) {
        ASSERT_NE(type, nullptr) << row.type_name;
        EXPECT_EQ(type->type_name(), row.type_name);
        EXPECT_STREQ(type->display_name(), row.display_name);
        EXPECT_STREQ(type->description(), row.description);
        EXPECT_EQ(type->create() != nullptr, row.built) << row.type_name;
        EXPECT_TRUE(type->enabled());
        type = type->next();
    }
    EXPECT_EQ(type, nullptr);

    const VyrSignalIfType *can = find_signal_if_type("CAN");
    const VyrSignalIfType *can_rx = find_signal_if_type("CAN-RX");
    const VyrSignalIfType *lin = find_signal_if_type("LIN");
    // One preparation of the hardware serves the three types.
    ASSERT_NE(can->start_up_hook(), nullptr);
    EXPECT_EQ(can_rx->start_up_hook(), can->start_up_hook());
    EXPECT_EQ(lin->start_up_hook(), can->start_up_hook());
    EXPECT_EQ(can_rx->exit_hook(), can->exit_hook());
    EXPECT_EQ(lin->exit_hook(), can->exit_hook());
    ASSERT_NE(can->measurement_start_hook(), nullptr);
    EXPECT_EQ(can_rx->measurement_start_hook(), can->measurement_start_hook());
    EXPECT_EQ(lin->measurement_start_hook(), nullptr);
    ASSERT_NE(can->fourth_hook(), nullptr);
    EXPECT_EQ(can->fourth_hook()(), 0);
}

TEST(Registries, DescriptionFormatsInOrder)
{
    std::vector<std::string> names;
    for (const CANdbFileFormat *format = CANdbFileFormat::first(); format; format = format->next()) {
        names.push_back(format->name());
        EXPECT_NE(format->factory(), nullptr) << format->name();
    }
    EXPECT_EQ(names, (std::vector<std::string>{"DBC", "LDF", "FIBEX"}));
    EXPECT_EQ(CANdbFileFormat::find_by_name("DBC")->flags(), 3);
}

TEST(Registries, NoWindowTypeOrConditionKindIsBuiltYet)
{
    EXPECT_EQ(DataWindowTypeInfo::first(), nullptr);
    for (int kind = 1; kind <= 4; ++kind)
        EXPECT_EQ(VyrTriggerCondKind::find(kind), nullptr) << kind;
}

} // namespace
