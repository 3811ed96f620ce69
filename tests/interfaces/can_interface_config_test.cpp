// The CAN interface without hardware: its two sets of defaults, the
// configuration keys in their order and read back byte for byte, the older
// forms it still reads, the information text, the statistic signals, the
// registry rows and the global CAN channel table.
#include "settings/qtb_config.h"
#include "core/vyr_signal_entry.h"
#include "core/vyr_signal_if_type.h"
#include "core/vyr_signal_list.h"
#include "interfaces/can/vyr_can_if.h"
#include "vyr_test_shell.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

std::unique_ptr<VyrCanIf> create(const char *type, QtbConfigGroup *group,
                                 VyrSignalIfNotification *notification = nullptr)
{
    std::unique_ptr<VyrSignalIf> made = create_signal_if(type, group, nullptr, notification);
    auto *can = dynamic_cast<VyrCanIf *>(made.get());
    EXPECT_NE(can, nullptr);
    made.release();
    return std::unique_ptr<VyrCanIf>(can);
}

TEST(CanInterfaceConfig, NewInterfaceAndEmptyGroupHaveTheirOwnDefaults)
{
    QtbConfigGroup empty;
    const std::unique_ptr<VyrCanIf> fresh = create("CAN", nullptr);
    const std::unique_ptr<VyrCanIf> read = create("CAN", &empty);
    struct Field
    {
        const char *name;
        std::function<int(const VyrCanIf &)> get;
        int new_value;
        int read_value;
    };
    const Field fields[] = {
        {"bitrate", &VyrCanIf::bitrate, 1000000, 1000000},
        {"tseg1", &VyrCanIf::tseg1, 4, 5},
        {"tseg2", &VyrCanIf::tseg2, 3, 2},
        {"sjw", &VyrCanIf::sjw, 1, 1},
        {"samples", &VyrCanIf::samples, 1, 1},
        {"silent_mode", &VyrCanIf::silent_mode, 0, 0},
        {"canfd_enabled", &VyrCanIf::canfd_enabled, 0, 0},
        {"canfd_mode", &VyrCanIf::canfd_mode, 0, 0},
        {"brs_clock", &VyrCanIf::brs_clock, 80000000, 80000000},
        {"brs_prescaler", &VyrCanIf::brs_prescaler, 1, 1},
        {"brs_tseg1", &VyrCanIf::brs_tseg1, 2, 2},
        {"brs_tseg2", &VyrCanIf::brs_tseg2, 1, 1},
        {"brs_sjw", &VyrCanIf::brs_sjw, 1, 1},
        {"protocol_mode", &VyrCanIf::protocol_mode, 0, 1},
        {"subsystem_bitrate", &VyrCanIf::subsystem_bitrate, 20000, 20000},
        {"lin_break_length", &VyrCanIf::lin_break_length, 0, 0},
        {"channel_number", &VyrCanIf::channel_number, -1, -1},
        {"transmit_allowed", &VyrCanIf::transmit_allowed, 1, 1},
        {"requests_statistics", &VyrCanIf::requests_statistics, 1, 1},
        {"lin_mode", &VyrCanIf::lin_mode, 0, 0},
    };
    for (const Field &field : fields) {
        SCOPED_TRACE(field.name);
        EXPECT_EQ(field.get(*fresh), field.new_value);
        EXPECT_EQ(field.get(*read), field.read_value);
    }
    EXPECT_TRUE(read->database_files().isEmpty());
    EXPECT_TRUE(read->filter_std().active);
    EXPECT_FALSE(read->filter_std().extended_id);
    EXPECT_TRUE(read->filter_ext().extended_id);
}

TEST(CanInterfaceConfig, ReadsTheOlderForms)
{
    struct Case
    {
        const char *what;
        std::function<void(QtbConfigGroup &)> fill;
        std::function<void(const VyrCanIf &)> check;
    };
    const Case cases[] = {
        {"brs_enabled alone switches CAN FD on", [](QtbConfigGroup &g) { g.write_bool("brs_enabled", true); },
         [](const VyrCanIf &can) { EXPECT_TRUE(can.canfd_enabled()); }},
        {"canfd_enabled wins over brs_enabled",
         [](QtbConfigGroup &g) {
             g.write_bool("brs_enabled", true);
             g.write_bool("canfd_enabled", false);
         },
         [](const VyrCanIf &can) { EXPECT_FALSE(can.canfd_enabled()); }},
        {"canfd_mode and silent_mode as flags",
         [](QtbConfigGroup &g) {
             g.write_int("canfd_mode", 5);
             g.write_int("silent_mode", 7);
         },
         [](const VyrCanIf &can) {
             EXPECT_EQ(can.canfd_mode(), 1);
             EXPECT_TRUE(can.silent_mode());
         }},
        {"channel name of the older form",
         [](QtbConfigGroup &g) { g.write_string("channel", "Virtual 0 (Channel 0)"); },
         [](const VyrCanIf &can) { EXPECT_EQ(can.channel_name(), QString("Virtual #1 (Channel 1)")); }},
        {"older form with larger numbers",
         [](QtbConfigGroup &g) { g.write_string("channel", "PCIcan 11 (Channel 3)"); },
         [](const VyrCanIf &can) { EXPECT_EQ(can.channel_name(), QString("PCIcan #12 (Channel 4)")); }},
        {"two-digit channel is no older form",
         [](QtbConfigGroup &g) { g.write_string("channel", "Virtual 0 (Channel 10)"); },
         [](const VyrCanIf &can) { EXPECT_EQ(can.channel_name(), QString("Virtual 0 (Channel 10)")); }},
        {"signal_file when no script file is named",
         [](QtbConfigGroup &g) { g.write_string("signal_file", "old.vys"); },
         [](const VyrCanIf &can) { EXPECT_EQ(can.script_file(), QString("old.vys")); }},
        {"the UTF-8 twin of the script file wins",
         [](QtbConfigGroup &g) {
             g.write_string("script_file", "a.vys");
             g.write_string_utf8("script_file_utf8", QString::fromUtf8("\u00e4.vys"));
             g.write_string("signal_file", "old.vys");
         },
         [](const VyrCanIf &can) { EXPECT_EQ(can.script_file(), QString::fromUtf8("\u00e4.vys")); }},
        {"candb_file comes first for file 0",
         [](QtbConfigGroup &g) {
             g.write_int("candb_file_count", 2);
             g.write_string("candb_file", "first.dbc");
             g.write_string("candb_file_0", "ignored.dbc");
             g.write_string("candb_file_1", "second.dbc");
         },
         [](const VyrCanIf &can) {
             EXPECT_EQ(can.database_files(), QStringList({"first.dbc", "second.dbc"}));
         }},
        {"empty names are skipped",
         [](QtbConfigGroup &g) {
             g.write_int("candb_file_count", 3);
             g.write_string("candb_file_2", "third.dbc");
         },
         [](const VyrCanIf &can) { EXPECT_EQ(can.database_files(), QStringList({"third.dbc"})); }},
        {"file names written on another system get forward slashes",
         [](QtbConfigGroup &g) {
             g.write_string("script_file", "scripts\\body.vys");
             g.write_string("candb_file", "..\\db\\body.dbc");
         },
         [](const VyrCanIf &can) {
             EXPECT_EQ(can.script_file(), QString("scripts/body.vys"));
             EXPECT_EQ(can.database_files(), QStringList({"../db/body.dbc"}));
         }},
        {"a count beyond the entries reads only the entries there",
         [](QtbConfigGroup &g) {
             g.write_int("candb_file_count", 2147483647);
             g.write_string("candb_file_0", "first.dbc");
             g.write_string("candb_file_2000000000", "far.dbc");
             g.write_string("candb_file_7_utf8", "seventh.dbc");
         },
         [](const VyrCanIf &can) {
             EXPECT_EQ(can.database_files(), QStringList({"first.dbc", "seventh.dbc", "far.dbc"}));
         }},
        {"no databases",
         [](QtbConfigGroup &g) {
             g.write_int("candb_file_count", 0);
             g.write_string("candb_file", "first.dbc");
         },
         [](const VyrCanIf &can) { EXPECT_TRUE(can.database_files().isEmpty()); }},
        {"enhanced checksum keys are read only in LIN mode",
         [](QtbConfigGroup &g) {
             g.write_string("enhanced_csum_mask", "1");
             g.write_bool("enable_enhanced_csum", true);
         },
         [](const VyrCanIf &can) {
             EXPECT_TRUE(can.enhanced_csum_mask().isEmpty());
             EXPECT_FALSE(can.enable_enhanced_csum());
         }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        QtbConfigGroup group;
        c.fill(group);
        c.check(*create("CAN", &group));
    }
}

TEST(CanInterfaceConfig, ReportsTheScriptFileItReads)
{
    vyr_test::VyrTestShell shell;
    QtbConfigGroup group;
    group.write_string("script_file", "body.vys");
    create("CAN", &group, &shell.notification);
    EXPECT_TRUE(shell.has_line("CAN 1: Reading script file 'body.vys' ...\n"));
    shell.lines.clear();
    create("CAN", nullptr, &shell.notification);
    EXPECT_TRUE(shell.lines.empty());
}

// Every key of a configured interface in the order it is written.
TEST(CanInterfaceConfig, WrittenInOrderAndReadBackByteForByte)
{
    const std::unique_ptr<VyrCanIf> lin = create("LIN", nullptr);
    lin->set_active(true);
    lin->set_bit_timing(500000, 11, 4, 2, 3);
    lin->set_fd_timing(true, 40000000, 2, 7, 3, 2);
    lin->set_silent_mode(true);
    lin->set_channel_name("Virtual #2 (Channel 1)");
    lin->set_channel_user_name(QString::fromUtf8("Motor\u00e4"));
    lin->set_script_file("scripts/lin.vys");
    lin->set_protocol_plugin_name("J1939");
    lin->set_connect_to_channel("CAN1");
    lin->set_database_files({"body.ldf", QString::fromUtf8("k\u00f6rper.dbc")});
    lin->filter_std().code = 0x123;
    lin->filter_std().mask = 0x7F0;
    lin->filter_ext().block_all = true;

    QTemporaryDir dir;
    const QString first_path = dir.filePath("first.cfg");
    QtbConfig written(first_path);
    lin->write_configuration(written);
    ASSERT_EQ(written.write(), 0);

    QtbConfigGroup *group = written.get_group("LIN");
    ASSERT_NE(group, nullptr);
    std::vector<std::string> keys;
    for (const QtbConfigEntry &entry : group->entries())
        keys.push_back(entry.name);
    const std::vector<std::string> expected = {
        "active", "index", "name", "dummy_signals", "bitrate", "tseg1", "tseg2", "sjw", "samples", "silent_mode",
        "canfd_mode", "brs_enabled", "canfd_enabled", "brs_clock", "brs_prescaler", "brs_tseg1", "brs_tseg2",
        "brs_sjw", "channel", "channel_user_name", "script_file", "script_file_utf8", "protocol_mode",
        "subsystem_bitrate", "lin_break_length", "enhanced_csum_mask", "enable_enhanced_csum",
        "protocol_plugin_name", "candb_file_count", "candb_file_0", "candb_file_0_utf8", "candb_file",
        "candb_file_utf8", "candb_file_1", "candb_file_1_utf8", "channel_number", "connect_to_channel",
        "filter_std", "filter_ext"};
    EXPECT_EQ(keys, expected);

    QtbConfig read(first_path);
    ASSERT_EQ(read.read(), 0);
    const std::unique_ptr<VyrCanIf> copy = create("LIN", read.get_group("LIN"));
    EXPECT_EQ(copy->connect_to_channel(), QString("CAN1"));
    EXPECT_EQ(copy->channel_user_name(), QString::fromUtf8("Motor\u00e4"));
    EXPECT_TRUE(copy->filter_ext().block_all);
    const QString second_path = dir.filePath("second.cfg");
    QtbConfig rewritten(second_path);
    copy->write_configuration(rewritten);
    ASSERT_EQ(rewritten.write(), 0);

    QFile first(first_path), second(second_path);
    ASSERT_TRUE(first.open(QIODevice::ReadOnly));
    ASSERT_TRUE(second.open(QIODevice::ReadOnly));
    const QByteArray first_bytes = first.readAll();
    EXPECT_FALSE(first_bytes.isEmpty());
    EXPECT_EQ(first_bytes, second.readAll());
}

TEST(CanInterfaceConfig, InformationText)
{
    const QString head = "<h3>Interface \"CAN 1\"</h3><p>No USR script file assigned.</p><ul>"
                         "<li>CAN Channel Name: Virtual #1 (Channel 1)</li>";
    const QString timing = "<li>Tseg1: 5</li><li>Tseg2: 2</li><li>SJW: 1</li><li>Samples: 1</li>";
    struct Case
    {
        const char *what;
        std::function<void(VyrCanIf &)> set;
        QString databases;
        QString bitrate;
        QString silent;
        QString filters;
    };
    const QString default_filters =
        "<li>Global Filters for Standard CAN:<ul><li>Code:        0</li><li>Mask:        0</li>"
        "<li>Block all: No</li></ul></li>"
        "<li>Global Filters for Extended CAN:<ul><li>Code:        0</li><li>Mask:        0</li>"
        "<li>Block all: No</li></ul></li>";
    const Case cases[] = {
        {"no database", [](VyrCanIf &) {}, "<li>CAN Databases: <ul></ul></li>", "1000", "No", default_filters},
        {"one database, 83333 Bit/s",
         [](VyrCanIf &can) {
             can.set_database_files({"body.dbc"});
             can.set_bit_timing(83333, 5, 2, 1, 1);
         },
         "<li>CAN Database(s): body.dbc</li>", "83.333", "No", default_filters},
        {"two databases, silent, filters",
         [](VyrCanIf &can) {
             can.set_database_files({"a.dbc", "b.dbc"});
             can.set_silent_mode(true);
             can.filter_std().code = 0x7e0;
             can.filter_std().mask = 0x7ff;
             can.filter_ext().code = 0x18fef100;
             can.filter_ext().mask = 0x1fffffff;
             can.filter_ext().block_all = true;
         },
         "<li>CAN Databases: <ul><li>a.dbc</li><li>b.dbc</li></ul></li>", "1000", "Yes",
         "<li>Global Filters for Standard CAN:<ul><li>Code:      7e0</li><li>Mask:      7ff</li>"
         "<li>Block all: No</li></ul></li>"
         "<li>Global Filters for Extended CAN:<ul><li>Code: 18fef100</li><li>Mask: 1fffffff</li>"
         "<li>Block all: Yes</li></ul></li>"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        QtbConfigGroup group;
        group.write_string("channel", "Virtual #1 (Channel 1)");
        group.write_int("candb_file_count", 0);
        const std::unique_ptr<VyrCanIf> can = create("CAN", &group);
        c.set(*can);
        EXPECT_EQ(can->info_text(),
                  head + c.databases + "<li>Bitrate: " + c.bitrate + " kbit/s</li>" + timing +
                      "<li>Silent Mode: " + c.silent + "</li></ul>" + c.filters);
    }
}

TEST(CanInterfaceConfig, StatisticSignals)
{
    const std::unique_ptr<VyrCanIf> can = create("CAN", nullptr);
    struct Row
    {
        const char *name;
        int type;
        double max;
        int rate;
        uint32_t flags;
    };
    const Row rows[] = {
        {"Statistic.BusLoad", SignalValue::Double, 100, 1000, 0x13},
        {"Statistic.MessageRate", SignalValue::Int, 10000, 1000, 0x13},
        {"Statistic.BusStatus", SignalValue::Int, 3, 1, 0x10013},
        {"Statistic.TxErr", SignalValue::Int, 128, 1, 0x13},
        {"Statistic.RxErr", SignalValue::Int, 128, 1, 0x13},
        {"Statistic.StandardMessages", SignalValue::Int, 999999999, 1, 0x13},
        {"Statistic.ExtendedMessages", SignalValue::Int, 999999999, 1, 0x13},
        {"Statistic.ErrorFrames", SignalValue::Int, 999999999, 1, 0x13},
    };
    VyrSignalList *list = can->signal_list();
    ASSERT_EQ(list->count(), 8);
    SignalRecord *signal = list->first();
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_NE(signal, nullptr);
        EXPECT_STREQ(signal->name(), row.name);
        EXPECT_EQ(signal->value_type(), row.type);
        EXPECT_EQ(signal->min(), 0.0);
        EXPECT_EQ(signal->max(), row.max);
        EXPECT_EQ(signal->rate(), row.rate);
        EXPECT_EQ(signal->mode(), SignalRecord::Event);
        EXPECT_EQ(signal->flags(), row.flags);
        EXPECT_EQ(signal->direction(), SignalRecord::Input);
        EXPECT_EQ(signal->characteristic(), SignalRecord::Continuous);
        EXPECT_EQ(signal->owner(), can.get());
        signal = list->next();
    }
    const SignalRecord *status = can->statistic_signal(VyrCanIf::BusStatus);
    EXPECT_STREQ(status->value_text(0), "BUSOFF");
    EXPECT_STREQ(status->value_text(2), "WARNING");
    EXPECT_EQ(status->value_text(4), nullptr);
    EXPECT_EQ(can->statistic_signal(VyrCanIf::TxErr)->value_text(0), nullptr);

    // Reading a signal for a window never counts as a communication error.
    VyrSignalEntry entry;
    entry.bind(can->statistic_signal(VyrCanIf::BusLoad));
    SignalValue value;
    EXPECT_EQ(can->read_script_signal(&entry, value), 0);

    // A bus status report sets the bus state also while no window follows it.
    VyrCanIf::notify(6, can.get(), 1, 0, 1);
    EXPECT_EQ(can->bus_state(), 1);
    VyrCanIf::notify(8, can.get(), 1, 0, 2);
    EXPECT_EQ(can->bus_state(), 1);
}

TEST(CanInterfaceTypes, RowsAndChannelTable)
{
    struct Row
    {
        const char *type;
        bool measurement_start_hook;
        bool transmit_allowed;
        int lin_mode;
    };
    const Row rows[] = {{"CAN", true, true, 0}, {"CAN-RX", true, false, 0}, {"LIN", false, true, 1}};
    std::vector<std::unique_ptr<VyrCanIf>> made;
    for (const Row &row : rows) {
        SCOPED_TRACE(row.type);
        const VyrSignalIfType *type = find_signal_if_type(row.type);
        ASSERT_NE(type, nullptr);
        EXPECT_NE(type->create(), nullptr);
        EXPECT_NE(type->start_up_hook(), nullptr);
        EXPECT_NE(type->exit_hook(), nullptr);
        EXPECT_EQ(type->measurement_start_hook() != nullptr, row.measurement_start_hook);
        made.push_back(create(row.type, nullptr));
        EXPECT_EQ(made.back()->type_name(), row.type);
        EXPECT_EQ(made.back()->transmit_allowed(), row.transmit_allowed);
        EXPECT_EQ(made.back()->lin_mode(), row.lin_mode);
        // Every type offers its frames to the windows, besides transport packets and signals.
        EXPECT_EQ(made.back()->offered_kinds(),
                  VyrSignalIf::offers_can_frames | VyrSignalIf::offers_packets | VyrSignalIf::offers_signals);
        EXPECT_EQ(VyrCanIf::of(made.back().get()), made.back().get());
    }
    EXPECT_EQ(VyrCanIf::of(nullptr), nullptr);

    ASSERT_EQ(can_channel_count(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(can_interface_by_channel(i), made[size_t(i)].get());
        EXPECT_EQ(made[size_t(i)]->message_channel_number(), i);
    }
    EXPECT_EQ(can_interface_by_channel(-1), nullptr);
    EXPECT_EQ(can_interface_by_channel(3), nullptr);

    made.erase(made.begin());
    ASSERT_EQ(can_channel_count(), 2);
    EXPECT_EQ(can_interface_by_channel(0), made[0].get());
    EXPECT_EQ(made[0]->message_channel_number(), 0);
    EXPECT_EQ(made[1]->message_channel_number(), 1);
    made.push_back(create("CAN", nullptr));
    EXPECT_EQ(made.back()->name(), "CAN 1"); // the free instance number again
    EXPECT_EQ(made.back()->message_channel_number(), 2);
}

} // namespace
