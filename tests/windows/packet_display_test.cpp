#include "window_test_shell.h"

#include "settings/qtb_config.h"
#include "core/vyr_packet.h"
#include "windows/packet/vyr_packet_display.h"

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QHeaderView>
#include <QMessageBox>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>
#include <thread>
#include <utility>

namespace {

// A source "Received UDP-Packets" with a port (int), a name (text, 16), a
// payload (bytes, 100) and a reserved 8-byte field.
VyrPacketLayout udp_layout()
{
    VyrPacketLayout layout(4);
    layout.define_field(0, "port", "Source port", VyrPacketLayout::Int, -1);
    layout.define_field(1, "name", "Sender name", VyrPacketLayout::Text, 16);
    layout.define_field(2, "payload", "Payload", VyrPacketLayout::Bytes, 100);
    layout.define_field(3, "reserved", "Reserved", VyrPacketLayout::Value8, -1);
    return layout;
}

struct UdpSource
{
    UdpSource() : layout(udp_layout()), source("Received UDP-Packets", &layout), packet(&layout) {}

    // Hands one packet to the source's listeners.
    void send(uint32_t port, const char *name, std::vector<uint8_t> payload, int counter = -1, int time_ms = -1)
    {
        packet.clear();
        if (counter >= 0)
            packet.set_counter(uint32_t(counter));
        if (time_ms >= 0)
            packet.set_time_ms(uint32_t(time_ms));
        packet.set_int_field(0, port);
        packet.set_string_field(1, name);
        packet.set_data_field(2, payload.data(), int(payload.size()));
        source.notify_listeners(packet);
    }

    VyrPacketLayout layout;
    VyrPacketSource source;
    VyrPacket packet;
};

class PacketDisplayTest : public ::testing::Test
{
protected:
    PacketDisplayTest()
    {
        display.resize(800, 300);
        display.set_source(&interface, &udp.source);
        display.attach_store();
    }

    QStringList export_lines(bool only_selected = false)
    {
        QStringList lines = display.export_text(only_selected).split('\n');
        EXPECT_EQ(lines.takeLast(), "") << "every line ends with a line end";
        return lines;
    }

    UdpSource udp;
    vyr_test::TestInterface interface {
        "Udp", &udp.source
    };
    VyrPacketDisplay display{nullptr};
};

QStringList header_titles(const VyrPacketDisplay &display)
{
    QStringList titles;
    for (int i = 0; i < display.header()->count(); ++i)
        titles << display.header()->model()->headerData(i, Qt::Horizontal).toString();
    return titles;
}

TEST(PacketDisplay, WithoutASourceTheHeaderIsEmptyAndNothingIsKept)
{
    VyrPacketDisplay display(nullptr);
    display.set_source(nullptr, nullptr);
    display.resize(300, 200);
    EXPECT_EQ(display.header()->count(), 0);
    display.update();
    EXPECT_EQ(display.total(), 0);
    EXPECT_EQ(display.export_text(false), "");
    EXPECT_FALSE(display.grab().isNull());
}

TEST(PacketDisplay, TakesTheFirstInterfaceThatOffersPackets)
{
    UdpSource udp;
    vyr_test::TestInterface without_packets("CAN");
    vyr_test::TestInterface with_packets("Diag", &udp.source);
    EXPECT_FALSE(without_packets.offers(VyrSignalIf::offers_packets));
    EXPECT_TRUE(with_packets.offers(VyrSignalIf::offers_packets));
    EXPECT_TRUE(with_packets.offers(VyrSignalIf::offers_signals));
    EXPECT_FALSE(with_packets.offers(VyrSignalIf::offers_can_frames));
    VyrPacketDisplay display(nullptr);
    EXPECT_EQ(display.source_interface(), &with_packets);
    EXPECT_EQ(display.source(), &udp.source);
}

TEST_F(PacketDisplayTest, ColumnsFollowTheLayoutInCharacters)
{
    EXPECT_EQ(header_titles(display), (QStringList{"Counter", "Time", "port", "name", "payload[hex]", "reserved"}));
    const int zero = display.char_width();
    // Five characters would cut the counter's title: it is as wide as that.
    EXPECT_EQ(display.header()->sectionSize(0), std::max(5 * zero, display.header()->sectionSizeHint(0)));
    EXPECT_EQ(display.header()->sectionSize(1), 16 * zero);
    EXPECT_EQ(display.header()->sectionSize(2), 8 * zero);
    EXPECT_EQ(display.header()->sectionSize(3), 16 * zero);
    EXPECT_EQ(display.header()->sectionSize(4), 16 * 3 * zero);

    display.header_clicked(4);
    EXPECT_EQ(header_titles(display)[4], "payload[dec]");
    display.header_clicked(4);
    EXPECT_EQ(header_titles(display)[4], "payload[hex]");
    display.header_clicked(2); // not a byte block
    EXPECT_EQ(header_titles(display)[2], "port");
}

TEST_F(PacketDisplayTest, KeepsFiftyThousandLinesWhileTheCounterGoesOn)
{
    // The display's ticks take the packets over and make room ahead as they come.
    for (int i = 1; i <= 60000; ++i) {
        udp.send(uint32_t(i), "n", {}, i, i);
        if (i % 5000 == 0)
            display.update();
    }
    display.update();
    EXPECT_EQ(display.total(), 60000);
    EXPECT_EQ(display.kept(), 50000);
    QStringList lines = export_lines();
    ASSERT_EQ(lines.size(), 50000);
    EXPECT_TRUE(lines.first().startsWith(QString("%1\t").arg(10001, 9))) << lines.first().left(20).toStdString();
    EXPECT_TRUE(lines.last().startsWith(QString("%1\t").arg(60000, 9)));

    for (int i = 60001; i <= 60010; ++i)
        udp.send(uint32_t(i), "n", {}, i, i);
    display.update();
    EXPECT_EQ(display.total(), 60010);
    EXPECT_EQ(display.kept(), 50000);
    lines = export_lines();
    EXPECT_TRUE(lines.first().startsWith(QString("%1\t").arg(10011, 9)));
    EXPECT_FALSE(display.grab().isNull());
}

TEST_F(PacketDisplayTest, ExportTextLineByLine)
{
    udp.send(80, "web", {0x01, 0x02, 0xff}, 7, 1234567);
    udp.send(53, "line\nbreak\x01", {}, -1, 1234600); // no counter
    udp.send(0xFFFFFFFF, "", {0xAA}, 9, -1);          // no time
    display.update();
    const QString port_80 = QString("%1").arg(80, 249);
    const QStringList expected = {
        "        7\t    1234.567\t" + port_80 + "\tweb\t01 02 ff\t",
        "    1234.600\t" + QString("%1").arg(53, 249) + "\tline break.\t\t",
        "        9\t\t" + QString("%1").arg(4294967295u, 249) + "\t\taa\t",
    };
    const QStringList lines = export_lines();
    ASSERT_EQ(lines.size(), expected.size());
    for (int i = 0; i < lines.size(); ++i)
        EXPECT_EQ(lines[i].toStdString(), expected[i].toStdString()) << "line " << i;
}

TEST_F(PacketDisplayTest, DeltaTimeAndOnlySelectedLinesInTheExport)
{
    for (int i = 1; i <= 4; ++i)
        udp.send(uint32_t(i), "", {}, i, 1000 * i * i);
    display.update();
    display.set_delta_time(true);
    display.setFocus();
    display.set_cursor_pos(4);
    QTest::keyClick(&display, Qt::Key_Space);
    display.set_cursor_pos(2);
    QTest::keyClick(&display, Qt::Key_Space);
    EXPECT_EQ(display.selected_count(), 2);

    const QStringList lines = export_lines(true);
    ASSERT_EQ(lines.size(), 2);
    // 2: 4 s - 1 s; 4: 16 s - 9 s, the unselected third still the reference.
    EXPECT_TRUE(lines[0].startsWith("        2\t       3.000\t")) << lines[0].left(30).toStdString();
    EXPECT_TRUE(lines[1].startsWith("        4\t       7.000\t")) << lines[1].left(30).toStdString();
    EXPECT_TRUE(export_lines()[0].startsWith("        1\t       1.000\t")) << "the first shows its own time";

    display.deselect_all();
    EXPECT_EQ(display.selected_count(), 0);
    EXPECT_TRUE(export_lines(true).isEmpty());
}

TEST_F(PacketDisplayTest, AByteBlockShowsAtMostSeventyFourBytes)
{
    std::vector<uint8_t> payload(100);
    for (size_t i = 0; i < payload.size(); ++i)
        payload[i] = uint8_t(i);
    udp.send(1, "", payload, 1, 1);
    display.update();
    const QStringList cells = export_lines()[0].split('\t');
    ASSERT_EQ(cells.size(), 6) << export_lines()[0].toStdString();
    EXPECT_EQ(cells[4].split(' ').size(), 74);
    EXPECT_TRUE(cells[4].endsWith("48 49"));
}

TEST_F(PacketDisplayTest, CursorAndSelectionFollowMouseAndKeys)
{
    for (int i = 1; i <= 30; ++i)
        udp.send(uint32_t(i), "", {}, i, i);
    display.update();
    display.setFocus();
    QSignalSpy cursor_moved(&display, &VyrPacketDisplay::cursor_position_changed);
    QTest::keyClick(&display, Qt::Key_End);
    EXPECT_EQ(display.cursor_pos(), 30);
    QTest::keyClick(&display, Qt::Key_Up, Qt::ShiftModifier);
    EXPECT_EQ(display.cursor_pos(), 29);
    EXPECT_EQ(display.selected_count(), 1) << "Shift toggles the line it leaves";
    QTest::keyClick(&display, Qt::Key_Home);
    EXPECT_EQ(display.cursor_pos(), 1);
    QTest::keyClick(&display, Qt::Key_Up);
    EXPECT_EQ(display.cursor_pos(), 1);
    EXPECT_EQ(cursor_moved.count(), 3);
    QTest::keyClick(&display, Qt::Key_Space);
    EXPECT_EQ(display.selected_count(), 2);

    // The bottom line of the viewport is the newest packet.
    QTest::keyClick(&display, Qt::Key_End);
    const int bottom = display.viewport()->height() - 2;
    QTest::mouseClick(display.viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(10, bottom));
    EXPECT_EQ(display.cursor_pos(), 30);
    EXPECT_EQ(display.selected_count(), 1) << "the click took line 30 out of the selection";
    QTest::mouseClick(display.viewport(), Qt::LeftButton, Qt::ControlModifier, QPoint(10, bottom));
    EXPECT_EQ(display.selected_count(), 1) << "Ctrl only moves the cursor";

    display.set_measurement_running(true);
    QTest::keyClick(&display, Qt::Key_Space);
    EXPECT_EQ(display.selected_count(), 1) << "no selection during a measurement";
    display.set_measurement_running(false);
    display.clear();
    EXPECT_EQ(display.total(), 0);
    EXPECT_EQ(display.selected_count(), 0);
    EXPECT_EQ(display.cursor_pos(), 0);
}

// The rows of the viewport that hold pixels of the colour.
std::pair<int, int> rows_with(const QImage &image, const std::function<bool(QColor)> &match)
{
    int first = -1;
    int last = -1;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (match(image.pixelColor(x, y))) {
                if (first < 0)
                    first = y;
                last = y;
                break;
            }
    return {first, last};
}

TEST_F(PacketDisplayTest, MarkedLinesAreRedAndSelectedLinesHighlighted)
{
    udp.send(1, "plain", {1}, 1, 1000);
    udp.packet.clear(); // a marked packet, as the log draws its errors
    udp.packet.set_counter(2);
    udp.packet.set_string_field(1, "marked");
    udp.packet.set_flags(udp.packet.flags() | VyrPacket::Marked);
    udp.source.notify_listeners(udp.packet);
    udp.send(3, "selected", {3}, 3, 3000);
    display.update();
    display.set_cursor_pos(3);
    display.toggle_selection_on_cursor_pos();

    const QImage image = display.viewport()->grab().toImage();
    const auto red = rows_with(image, [](QColor c) { return c.red() > 200 && c.green() < 80 && c.blue() < 80; });
    const QColor highlight = display.palette().color(QPalette::Highlight);
    const auto selected = rows_with(image, [&](QColor c) { return c == highlight; });
    ASSERT_GE(red.first, 0) << "the marked line is drawn in red";
    ASSERT_GE(selected.first, 0) << "the selected line is highlighted";
    EXPECT_LT(red.second, selected.first) << "newest at the bottom: the selected third below the marked second";

    display.deselect_all();
    const QImage plain = display.viewport()->grab().toImage();
    EXPECT_LT(rows_with(plain, [&](QColor c) { return c == highlight; }).first, 0);
}

// The producer's thread stores packets while the GUI thread takes them
// over, draws and selects: every packet arrives once and in order.
TEST_F(PacketDisplayTest, PacketsFromTheProducersThreadWhileTheDisplayDraws)
{
    const int count = 20000;
    std::thread producer([this] {
        UdpSource &source = udp;
        for (int i = 1; i <= count; ++i)
            source.send(uint32_t(i), "t", {uint8_t(i)}, i, i);
    });
    while (display.total() < count) {
        display.update();
        display.set_cursor_pos(display.total());
        display.toggle_selection_on_cursor_pos();
        display.viewport()->grab();
    }
    producer.join();
    display.deselect_all();
    const QStringList lines = export_lines();
    ASSERT_EQ(lines.size(), count);
    for (int i = 0; i < count; ++i)
        ASSERT_TRUE(lines[i].startsWith(QString("%1\t").arg(i + 1, 9))) << i;
}

TEST_F(PacketDisplayTest, ADetachedStoreTakesNoPackets)
{
    udp.send(1, "", {}, 1, 1);
    display.detach_store();
    udp.send(2, "", {}, 2, 2);
    display.update();
    EXPECT_EQ(display.total(), 1);
}

TEST_F(PacketDisplayTest, CopyToFileWritesTheExportOrSaysItCannot)
{
    udp.send(80, "web", {1}, 1, 1000);
    display.update();
    QTemporaryDir dir;
    const QString path = dir.filePath("packets.txt");
    ASSERT_TRUE(display.copy_all_messages_to_file(path));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(file.readAll()), display.export_text(false));

    QString shown;
    QTimer::singleShot(0, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        shown = box->text();
        box->accept();
    });
    const QString unwritable = dir.filePath("missing/packets.txt");
    EXPECT_FALSE(display.copy_all_messages_to_file(unwritable));
    EXPECT_EQ(shown, "Unable to write file '" + unwritable + "'");

    display.copy_all_messages_to_clipboard();
    EXPECT_EQ(QApplication::clipboard()->text(), display.export_text(false));
}

TEST_F(PacketDisplayTest, ConfigurationKeepsFontAndColumns)
{
    display.set_font_size(12);
    display.header()->resizeSection(3, 77);
    display.header()->moveSection(display.header()->visualIndex(3), 0);
    QtbConfigGroup group;
    display.write_configuration(&group);
    EXPECT_EQ(group.read_string("sif", ""), "Udp1");
    EXPECT_EQ(group.read_int("font_size", 0), 12);

    VyrPacketDisplay again(nullptr);
    again.read_configuration(&group);
    EXPECT_EQ(again.source(), &udp.source);
    EXPECT_EQ(again.font_size(), 12);
    EXPECT_EQ(again.header()->sectionSize(3), 77);
    EXPECT_EQ(again.header()->visualIndex(3), 0);
}

} // namespace
