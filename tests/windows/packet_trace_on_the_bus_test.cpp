// The packet trace window on the vrbus daemon: the transport packets of a
// CAN interface, fed by a frame of the test's node through the loop-back
// protocol of the CAN test support, appear with counter, time and the five
// fields of the "Transport Layer" source.
#include "../interfaces/can_test_support.h"

#include "core/vyr_packet.h"
#include "windows/packet/vyr_packet_display.h"
#include "windows/packet/vyr_packet_trace.h"

#include <QComboBox>
#include <QFile>
#include <QHeaderView>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

class PacketTraceOnTheBus : public can_test::CanFixture
{
protected:
    PacketTraceOnTheBus() { register_transport_protocol("LOOP", can_test::make_loopback); }
    ~PacketTraceOnTheBus() override { unregister_transport_protocol("LOOP"); }
};

} // namespace

TEST_F(PacketTraceOnTheBus, TransportPacketsAppearWithTheirFields)
{
    VyrCanIf *can = make("CAN");
    QTemporaryDir dir;
    const QString path = dir.filePath("echo.vys");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    // Every packet from 300h goes back on 301h with its first two bytes.
    file.write("on CanTpMessage (protocol = \"LOOP\", rxid = 300h, txid = 301h) {\n"
               "  canTpTransmit (this.handle, 2, this.data);\n"
               "}\n");
    file.close();
    can->set_script_file(path);
    ASSERT_EQ(can->sclib_init(), 0);

    std::unique_ptr<VyrDataWindow> made(VyrPacketTrace::create(nullptr, nullptr));
    auto *window = static_cast<VyrPacketTrace *>(made.get());
    VyrPacketDisplay *display = window->display();
    EXPECT_EQ(display->source_interface(), can);
    ASSERT_NE(display->source(), nullptr);
    EXPECT_EQ(display->source()->name(), "Transport Layer");
    QStringList titles;
    for (int i = 0; i < display->header()->count(); ++i)
        titles << display->header()->model()->headerData(i, Qt::Horizontal).toString();
    EXPECT_EQ(titles.size(), 7) << titles.join(',').toStdString();
    EXPECT_EQ(titles.mid(0, 2), (QStringList{"Counter", "Time"}));

    window->startup();
    can_test::Measurement measurement({can});
    ASSERT_EQ(measurement.start(), 0);
    can_test::BusNode node;
    node.send(0x300, 0, {3, 7, 8, 9, 0, 0, 0, 0});
    VyrCanMessage answer;
    ASSERT_TRUE(node.receive(0x301, answer));
    ASSERT_TRUE(can_test::eventually([&] {
        window->update_signals();
        return display->total() == 2;
    }));
    measurement.stop();
    window->stop();

    const QStringList lines = display->export_text(false).split('\n');
    ASSERT_EQ(lines.size(), 3);
    const std::string channel = can->name() + "::LOOP_1";
    const struct
    {
        const char *ids;
        const char *length_and_data;
    } packets[] = {{"300 301", "3 07 08 09"}, {"301 300", "2 07 08"}};
    for (int i = 0; i < 2; ++i) {
        const QStringList cells = lines[i].split('\t');
        ASSERT_EQ(cells.size(), 7) << lines[i].toStdString();
        EXPECT_EQ(cells[0].trimmed().toInt(), i + 1);
        EXPECT_TRUE(cells[1].trimmed().contains('.')) << cells[1].toStdString();
        EXPECT_EQ(cells[2].trimmed().toStdString(), channel);
        const QString ids = QString::number(cells[3].trimmed().toUInt(), 16) + ' ' +
            QString::number(cells[4].trimmed().toUInt(), 16);
        EXPECT_EQ(ids, packets[i].ids);
        EXPECT_EQ(cells[5].trimmed() + ' ' + cells[6].trimmed(), packets[i].length_and_data);
    }
    // Starting again clears the list.
    window->startup();
    EXPECT_EQ(display->total(), 0);
    window->stop();
}
