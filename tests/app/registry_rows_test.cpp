// The registries as the program links them: every row that the program
// registers is there, in its order, although nothing in the program names
// the classes behind them. Rows join these tables as their classes are built.
#include "core/candb_file_format.h"
#include "core/vyr_signal_if_type.h"
#include "core/vyr_trigger_cond.h"
#include "windows/base/data_window_type_info.h"
#include "windows/logging/log_file.h"
#include "windows/panel/panel_item_type_info.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(Registries, InterfaceTypesInOrderWithTheSharedHardwareHooksOfTheCanFamily)
{
    // The texts of the rows are checked with the registry itself; here: all
    // of them, in order, and the factories of the interfaces that are built.
    std::vector<std::string> names;
    std::vector<std::string> with_factory;
    for (const VyrSignalIfType *type = get_first_signal_if_type(); type; type = type->next()) {
        names.push_back(type->type_name());
        if (type->create())
            with_factory.push_back(type->type_name());
    }
    EXPECT_EQ(names,
              (std::vector<std::string>{"Serial", "RawSerial", "CAN", "CAN-RX", "LIN", "DLL", "Udp", "Usb", "Diag",
                                        "FlexRay"}));
    EXPECT_EQ(with_factory, (std::vector<std::string>{"CAN", "CAN-RX", "LIN"}));

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

TEST(Registries, LogFormatsInOrder)
{
    std::vector<std::string> names;
    for (const LogFileFormat *format = LogFileFormat::first(); format; format = format->next())
        names.push_back(format->name());
    EXPECT_EQ(names, (std::vector<std::string>{"ASCII", "VYR-BINARY", "Binary (mdf)", "ASCII (Vector)", "Archivant",
                                               "Archivant2"}));
    EXPECT_NE(LogFileFormat::create("ASCII"), nullptr);
}

TEST(Registries, WindowTypesInOrder)
{
    std::vector<std::string> keys;
    for (const DataWindowTypeInfo *type = DataWindowTypeInfo::first(); type; type = type->next()) {
        keys.push_back(type->class_key());
        EXPECT_NE(type->factory(), nullptr) << type->class_key();
    }
    EXPECT_EQ(keys, (std::vector<std::string>{"Statistics", "CanSend", "CanReplay", "Trace", "Scope", "Tune", "panel",
                                              "PacketTrace"}));
    struct Row
    {
        const char *title;
        const char *description;
        int type_number;
    };
    const Row rows[] = {
        {"CAN Bus Statistics Window", "Display information about received and transmitted CAN messages", 28},
        {"CAN Send Window", "Send CAN Messages", 26},
        {"CAN Replay Window", "Replay CAN Log Files", 27},
        {"CAN Trace Window", "View CAN Messages", 25},
        {"Scope Window", "Watch Signals in graphic format", 21},
        {"Tune Window", "Watch Signals and modify them", 17},
        {"Panel Window", "Create your own windows", 18},
        {"Packet Trace Window", "View CAN HLP Messages", 16}};
    const DataWindowTypeInfo *type = DataWindowTypeInfo::first();
    for (const Row &row : rows) {
        ASSERT_NE(type, nullptr);
        EXPECT_STREQ(type->title(), row.title);
        EXPECT_STREQ(type->description(), row.description);
        EXPECT_EQ(type->type_number(), row.type_number);
        EXPECT_EQ(type->flags(), unsigned(DataWindowTypeInfo::CanWindow));
        type = type->next();
    }
}

TEST(Registries, TriggerConditionKindsInTheirFixedOrder)
{
    struct Row
    {
        int kind;
        const char *identifier;
        const char *title;
    };
    const Row rows[] = {{2, "TriggerCondCan", "On CAN Message"},
                        {1, "TriggerCondKey", "On Key"},
                        {3, "TriggerCondSignal", "On Signal"},
                        {4, "TriggerCondTimer", "On Timer"}};
    ASSERT_EQ(VyrTriggerCondKind::count(), 4);
    for (int index = 0; index < 4; ++index) {
        const VyrTriggerCondKind *kind = VyrTriggerCondKind::kind_at(index);
        EXPECT_EQ(kind->kind(), rows[index].kind);
        EXPECT_STREQ(kind->identifier(), rows[index].identifier);
        EXPECT_EQ(kind->title(), QString::fromLatin1(rows[index].title));
        EXPECT_EQ(kind->create()->kind(), rows[index].kind);
        EXPECT_EQ(VyrTriggerCondKind::find(rows[index].kind), kind);
    }
    EXPECT_EQ(VyrTriggerCondKind::kind_at(4), nullptr);
}

TEST(Registries, PanelItemTypesInMenuOrder)
{
    std::vector<std::string> names;
    for (const PanelItemTypeInfo *type = PanelItemTypeInfo::first(); type; type = type->next()) {
        names.push_back(type->name().toStdString());
        EXPECT_NE(type->factory(), nullptr) << names.back();
    }
    EXPECT_EQ(names, (std::vector<std::string>{
                         "PushButton", "PanelButton", "RadioButton", "CheckBox", "LineEdit", "TextBrowser",
                         "ComboBox", "Tacho", "Compass", "Horizont", "XY-Indicator", "Vertical Bar", "Horizontal Bar",
                         "LCD Number", "LED Meter", "LED", "TextLabel", "GroupBox", "Horizontal Line",
                         "Vertical Line", "Bitmap Graphic", "Hex Editor", "Horizontal Slider", "Vertical Slider",
                         "Dial", "Thermo"}));
}

} // namespace
