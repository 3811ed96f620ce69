// The bus statistics window on the vrbus daemon: a line per CAN and
// receive-only CAN interface, the counts of a node's frames exactly, the
// bus state as its word, rate and load, and the configuration of its columns.
#include "../interfaces/can_test_support.h"
#include "core/vyr_signal_list.h"
#include "settings/qtb_config.h"
#include "windows/statistics/vyr_bus_statistic.h"

#include <QHeaderView>
#include <QTreeWidget>

namespace {

using namespace can_test;

const bool two_channels = (listed_virtual_channels = 2, true);

class BusStatisticTest : public CanFixture
{
};

QStringList line_texts(VyrBusStatistic &window, const QString &id)
{
    QStringList texts;
    if (StatisticChannelItem *item = window.line(id))
        for (int column = 0; column < VyrBusStatistic::column_count; ++column)
            texts << item->text(column);
    return texts;
}

TEST_F(BusStatisticTest, CountsTheFramesOfTheBusExactly)
{
    VyrCanIf *can = make("CAN");
    VyrCanIf *listener = make("CAN-RX", second_virtual_channel);
    VyrBusStatistic window(nullptr);
    ASSERT_EQ(window.list_view()->topLevelItemCount(), 2);
    EXPECT_EQ(line_texts(window, "CAN1"), (QStringList{"CAN 1", "-", "-", "-", "-", "-", "-", "-", "-",
                                                        "Virtual #1 (Channel 1)"}));
    EXPECT_EQ(line_texts(window, "CAN-RX1").value(VyrBusStatistic::Info), second_virtual_channel);

    VyrMessageQueue queue(0, 64, 1000);
    can->add_message_listener(&queue);
    Measurement measurement({can, listener});
    window.startup();
    ASSERT_EQ(measurement.start(), 0);
    measurement.wheel.advance(1000); // the counters' baseline
    BusNode node;
    for (int n = 0; n < 5; ++n)
        node.send(0x100 + n, 0, {1, 2, 3, 4, 5, 6, 7, 8});
    for (int n = 0; n < 3; ++n)
        node.send(0x1ABCDE0 + n, VyrCanMessage::Extended, {1});
    for (int n = 0; n < 2; ++n)
        node.send(0, VyrCanMessage::ErrorFrame, {});
    int data_frames = 0;
    ASSERT_TRUE(read_until(queue, [&](const VyrCanMessage &m) { return m.id == 0x1ABCDE2 && ++data_frames; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    measurement.wheel.advance(2000);
    ASSERT_TRUE(eventually([&] {
        window.update_signals();
        const QStringList texts = line_texts(window, "CAN1");
        // The load may come with a later answer than the counts.
        return texts.value(VyrBusStatistic::StdMessages) == "5" && texts.value(VyrBusStatistic::Rate) != "-" &&
               texts.value(VyrBusStatistic::BusLoad).toDouble() > 0.0;
    }));
    const QStringList texts = line_texts(window, "CAN1");
    EXPECT_EQ(texts.value(VyrBusStatistic::BusStatus), "ACTIVE");
    EXPECT_EQ(texts.value(VyrBusStatistic::ExtMessages), "3");
    EXPECT_EQ(texts.value(VyrBusStatistic::ErrorFrames), "2");
    EXPECT_GT(texts.value(VyrBusStatistic::BusLoad).toDouble(), 0.0);
    EXPECT_GT(texts.value(VyrBusStatistic::Rate).toInt(), 0);
    EXPECT_EQ(texts.value(VyrBusStatistic::TxErrors), "0");
    measurement.stop();
    window.stop();
    EXPECT_EQ(line_texts(window, "CAN1").value(VyrBusStatistic::StdMessages), "5") << "the last values stay";
    can->remove_message_listener(&queue);

    if (const char *out = getenv("VYR_RENDER_DIR")) {
        window.resize(760, 160);
        window.grab().save(QString::fromLocal8Bit(out) + "/statistics_window.png");
    }
}

TEST_F(BusStatisticTest, CellTextsFollowTheSignalsType)
{
    VyrCanIf *can = make("CAN");
    SignalRecord *status = can->statistic_signal(VyrCanIf::BusStatus);
    SignalRecord *load = can->statistic_signal(VyrCanIf::BusLoad);
    SignalRecord *count = can->statistic_signal(VyrCanIf::StandardMessages);
    SignalValue value;
    value.set_int(1);
    EXPECT_EQ(VyrBusStatistic::cell_text(*status, value), QString::fromLatin1(status->value_text(1)));
    value.set_int(77);
    EXPECT_EQ(VyrBusStatistic::cell_text(*count, value), "77");
    value.set_double(12.5);
    EXPECT_EQ(VyrBusStatistic::cell_text(*load, value), "12.5");
}

TEST_F(BusStatisticTest, LinesFollowTheInterfaces)
{
    VyrCanIf *can = make("CAN");
    VyrBusStatistic window(nullptr);
    VyrCanIf *bare = make("CAN", second_virtual_channel);
    bare->set_signal_list(std::make_unique<VyrSignalList>()); // no statistic signals
    window.add_interface(QString::fromStdString(bare->make_id()));
    ASSERT_NE(window.line("CAN2"), nullptr);
    EXPECT_TRUE(window.line("CAN2")->cells().empty());
    window.startup();
    window.update_signals();
    EXPECT_EQ(line_texts(window, "CAN2").mid(1, 8), (QStringList{"-", "-", "-", "-", "-", "-", "-", "-"}));
    window.stop();
    can->set_name("Body");
    window.interface_configuration_changed("CAN1");
    EXPECT_EQ(line_texts(window, "CAN1").value(VyrBusStatistic::Name), "Body");
    window.remove_interface("CAN1");
    EXPECT_EQ(window.line("CAN1"), nullptr);
    EXPECT_EQ(window.list_view()->topLevelItemCount(), 1);
}

TEST_F(BusStatisticTest, SwappedSectionsAndWidthsAreRestored)
{
    make("CAN");
    QtbConfig config;
    {
        VyrBusStatistic window(nullptr);
        QHeaderView *header = window.list_view()->header();
        header->moveSection(header->visualIndex(VyrBusStatistic::Rate), VyrBusStatistic::Name);
        header->resizeSection(VyrBusStatistic::Info, 222);
        window.write_configuration(&config);
    }
    QtbConfigGroup *group = config.get_group("Statistics");
    ASSERT_NE(group, nullptr);
    EXPECT_EQ(group->read_int("col_index_rate", -1), 0);
    EXPECT_EQ(group->read_int("col_index_name", -1), 1);
    EXPECT_EQ(group->read_int("col_width_info", -1), 222);
    std::unique_ptr<VyrDataWindow> read(VyrBusStatistic::create(nullptr, group));
    QHeaderView *header = static_cast<VyrBusStatistic *>(read.get())->list_view()->header();
    EXPECT_EQ(header->visualIndex(VyrBusStatistic::Rate), 0);
    EXPECT_EQ(header->visualIndex(VyrBusStatistic::Name), 1);
    EXPECT_EQ(header->visualIndex(VyrBusStatistic::BusStatus), 2);
    EXPECT_EQ(header->visualIndex(VyrBusStatistic::Info), 9);
    EXPECT_EQ(header->sectionSize(VyrBusStatistic::Info), 222);
}

} // namespace
