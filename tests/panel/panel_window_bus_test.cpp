// A panel with real items on a CAN interface of the vrbus daemon: its push
// button runs the interface's script action, whose frame a bus node receives
// with the button's item id, and its gauge on motohawk.dbc's Temperature
// shows the values python3-canmatrix decodes from the node's frames.
#include "../interfaces/can_test_support.h"
#include "script/vyr_script_runtime.h"
#include "test_paths.h"
#include "windows/panel/panel_signal_binding.h"
#include "windows/panel/vyr_panel.h"
#include "windows/panel/vyr_panel_item.h"
#include "windows/panel/vyr_script_activation.h"
#include "widgets/gauges/qtscale.h"

#include <QFileInfo>
#include <QPushButton>
#include <QTest>

namespace {

using namespace can_test;

const QString motohawk_dbc = vyr_test::configured_testdata_dir() + "/dbc/cantools/tests/files/dbc/motohawk.dbc";
constexpr uint32_t example_message = 496;

// The action sends 120h with the id of the item that ran it, low byte first;
// "started" tells that the interface runs the script.
const char *const ping_script = "variables { CanMessage ping; int started; }\n"
                                "on start { started = 1; }\n"
                                "on action \"Ping\"\n"
                                "{\n"
                                "  ping.id = 0x120;\n"
                                "  ping.dlc = 4;\n"
                                "  ping.data[0] = this & 0xFF;\n"
                                "  ping.data[1] = (this >> 8) & 0xFF;\n"
                                "  ping.data[2] = (this >> 16) & 0xFF;\n"
                                "  ping.data[3] = (this >> 24) & 0xFF;\n"
                                "  canSendMessage(ping);\n"
                                "}\n";

std::vector<uint8_t> bytes_of(const QString &payload)
{
    const QByteArray data = QByteArray::fromHex(payload.section(':', 1).toLatin1());
    return std::vector<uint8_t>(data.begin(), data.end());
}

using PanelWindowBusTest = CanFixture;

TEST_F(PanelWindowBusTest, ButtonActionFrameCarriesTheItemIdAndTheGaugeFollowsTheDecodedTemperature)
{
    if (!QFileInfo::exists(motohawk_dbc))
        GTEST_SKIP() << "no test data at " << vyr_test::configured_testdata_dir().toStdString();
    const QStringList payloads = {"ExampleMessage:8010000000000000", "ExampleMessage:80f0000000000000",
                                  "ExampleMessage:804a0f0000000000"};
    const auto decoded = canmatrix_decode(motohawk_dbc, payloads);
    if (decoded.size() != size_t(payloads.size()))
        GTEST_SKIP() << "python3-canmatrix did not run";

    VyrCanIf *can = make("CAN", virtual_channel, "", {motohawk_dbc});
    const QString interface_id = QString::fromStdString(can->make_id());
    ASSERT_EQ(compile(can, ping_script), 0);

    VyrPanel panel(nullptr);
    VyrPanelItem *button = panel.insert_new_item(QStringLiteral("PushButton"));
    VyrPanelItem *gauge = panel.insert_new_item(QStringLiteral("Tacho"));
    ASSERT_TRUE(button && gauge);
    button->activation_group()->find_list(QStringLiteral("clicked"))->add_entry(
        std::make_unique<VyrScriptActivationEntry>(interface_id, QStringLiteral("Ping"), button->id()));
    gauge->bindings()[0]->set_names(interface_id, QStringLiteral("motohawk.ExampleMessage.Temperature"));
    gauge->widget()->setGeometry(100, 10, 200, 200);
    panel.adopt_items({});
    panel.show();

    panel.startup();
    ASSERT_NE(gauge->bindings()[0]->signal(), nullptr);
    // The gauge's scale is the signal's range.
    EXPECT_EQ(gauge->widget()->property("rangeMin").toDouble(), gauge->bindings()[0]->signal()->min());
    EXPECT_EQ(gauge->widget()->property("rangeMax").toDouble(), gauge->bindings()[0]->signal()->max());
    Measurement measurement({can});
    ASSERT_EQ(measurement.start(), 0);
    BusNode node;
    ASSERT_TRUE(eventually([&] { return script_int(can, "started") == 1; }));

    QTest::mouseClick(static_cast<QPushButton *>(button->widget()), Qt::LeftButton);
    VyrCanMessage frame;
    ASSERT_TRUE(node.receive(0x120, frame));
    ASSERT_EQ(frame.dlc, 4);
    EXPECT_EQ(uint32_t(frame.data[0] | frame.data[1] << 8 | frame.data[2] << 16 | uint32_t(frame.data[3]) << 24),
              button->id());

    for (int i = 0; i < payloads.size(); ++i) {
        SCOPED_TRACE(i);
        node.send(example_message, 0, bytes_of(payloads[i]));
        const double expected = decoded[size_t(i)].at("ExampleMessage.Temperature");
        EXPECT_TRUE(eventually([&] {
            panel.update_signals();
            return static_cast<QtScale *>(gauge->widget())->value() == expected;
        })) << static_cast<QtScale *>(gauge->widget())->value() << " for " << expected;
    }
    measurement.stop();
    panel.stop();
    can->clear_signal_listeners();
}

} // namespace
