// The CAN signal table on a small DBC: decoding into rows, raw and physical
// edits encoded back into the frame, sliders of the editable table and bars
// of the read-only one with their ranges.
#include "core/candb_cluster.h"
#include "core/candb_file_format.h"
#include "core/candb_file_io.h"
#include "core/candb_network.h"
#include "core/frames/vyr_can_message.h"
#include "windows/signals/vyr_can_signal_table.h"

#include <QCoreApplication>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QTemporaryDir>
#include <QTextStream>
#include <gtest/gtest.h>

#include <cstring>

namespace {

// Nibble: 4-bit unsigned; Half: 8 bits, factor 0.5, range 0..0; Level:
// signed 8 bits with a range; Ratio: IEEE single. Muxed: A and B by the
// value of Sel, Sub for Sel 2, and Deep for Sub 3 to 5.
const char *const dbc_text = R"(VERSION ""
BU_: ECU
BO_ 256 Status: 8 ECU
 SG_ Nibble : 0|4@1+ (1,0) [0|15] "" ECU
 SG_ Half : 8|8@1+ (0.5,0) [0|0] "km/h" ECU
 SG_ Level : 16|8@1- (1,-10) [-50|50] "%" ECU
 SG_ Ratio : 32|32@1+ (1,0) [0|100] "" ECU
BO_ 512 Muxed: 8 ECU
 SG_ Sel M : 0|4@1+ (1,0) [0|15] "" ECU
 SG_ A m0 : 8|8@1+ (1,0) [0|255] "" ECU
 SG_ B m1 : 8|8@1+ (1,0) [0|255] "" ECU
 SG_ Sub m2M : 8|4@1+ (1,0) [0|15] "" ECU
 SG_ Deep m3 : 16|8@1+ (1,0) [0|255] "" ECU
SIG_VALTYPE_ 256 Ratio : 1;
SG_MUL_VAL_ 512 Sub Sel 2-2;
SG_MUL_VAL_ 512 Deep Sub 3-5;
)";

class CanSignalTable : public ::testing::Test
{
protected:
    void SetUp() override
    {
        const QString path = dir.filePath(QStringLiteral("table.dbc"));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(dbc_text);
        file.close();
        CANdbNetwork *network = cluster.add_network(std::make_unique<CANdbNetwork>());
        std::unique_ptr<CANdbFileIo> io = CANdbFileFormat::create_io("DBC");
        io->set_file_name(path.toLocal8Bit().constData());
        ASSERT_EQ(io->read(network), 0);
        frame.id = 256;
        frame.dlc = 8;
    }

    int row_of(VyrCanSignalTable &table, const char *name)
    {
        for (int row = 0; row < table.table()->rowCount(); ++row)
            if (table.table()->item(row, VyrCanSignalTable::Name)->text() == name)
                return row;
        return -1;
    }
    QString cell(VyrCanSignalTable &table, const char *name, int column)
    {
        return table.table()->item(row_of(table, name), column)->text();
    }

    QTemporaryDir dir;
    CANdbCluster cluster;
    VyrCanMessage frame{};
};

TEST_F(CanSignalTable, DecodesTheFrameAndShowsNaOutsideItsLength)
{
    VyrCanSignalTable table(nullptr, "trace_signal_table", false);
    table.set_candb_cluster(&cluster);
    frame.data[0] = 0x07;
    frame.data[1] = 41;
    frame.data[2] = 0xF6; // -10 raw
    table.set_can_data(&frame);
    ASSERT_EQ(table.table()->rowCount(), 4);
    EXPECT_EQ(cell(table, "Half", VyrCanSignalTable::Raw), "41");
    EXPECT_EQ(cell(table, "Half", VyrCanSignalTable::Physical), "20.5");
    EXPECT_EQ(cell(table, "Half", VyrCanSignalTable::Unit), "km/h");
    EXPECT_EQ(cell(table, "Level", VyrCanSignalTable::Raw), "-10");
    EXPECT_EQ(cell(table, "Level", VyrCanSignalTable::Physical), "-20");
    // Rows sorted by name.
    EXPECT_EQ(table.table()->item(0, 0)->text(), "Half");

    frame.dlc = 2; // Level and Ratio lie outside
    table.update_table_from_data();
    EXPECT_EQ(cell(table, "Level", VyrCanSignalTable::Raw), "NA");
    EXPECT_FALSE(table.table()->item(row_of(table, "Level"), VyrCanSignalTable::Raw)->flags() & Qt::ItemIsEnabled);
    auto *bar = dynamic_cast<SignalRangeBar *>(table.table()->item(row_of(table, "Level"), VyrCanSignalTable::Range));
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->bar_width(100), 0);

    // A frame without a database message empties the table.
    VyrCanMessage other{};
    other.id = 0x7FF;
    table.set_can_data(&other);
    EXPECT_EQ(table.table()->rowCount(), 0);
}

TEST_F(CanSignalTable, RangesAndBars)
{
    double minimum = 0;
    double maximum = 0;
    VyrCanSignalTable::physical_range(*cluster.find_message_by_id(256)->find_signal("Half"), minimum, maximum);
    EXPECT_EQ(minimum, 0.0);
    EXPECT_EQ(maximum, 127.5);
    VyrCanSignalTable::physical_range(*cluster.find_message_by_id(256)->find_signal("Level"), minimum, maximum);
    EXPECT_EQ(minimum, -50.0);
    EXPECT_EQ(maximum, 50.0);

    SignalRangeBar bar(0, 0, 10);
    EXPECT_EQ(bar.bar_width(100), 0);
    bar.set_value(5);
    EXPECT_EQ(bar.bar_width(100), 50);
    bar.set_value(20); // widens the range
    EXPECT_EQ(bar.maximum(), 20.0);
    EXPECT_EQ(bar.bar_width(100), 100);
}

TEST_F(CanSignalTable, EditsAreEncodedIntoTheFrame)
{
    VyrCanSignalTable table(nullptr, "can_send_signal_table", true);
    table.set_candb_cluster(&cluster);
    table.set_can_data(&frame);
    QSignalSpy changed(&table, &VyrCanSignalTable::can_data_changed);
    // 20 into a 4-bit signal keeps the low four bits.
    table.table()->item(row_of(table, "Nibble"), VyrCanSignalTable::Raw)->setText(QStringLiteral("20"));
    EXPECT_EQ(frame.data[0] & 0x0F, 4);
    EXPECT_EQ(cell(table, "Nibble", VyrCanSignalTable::Raw), "4");
    table.table()->item(row_of(table, "Half"), VyrCanSignalTable::Physical)->setText(QStringLiteral("30"));
    EXPECT_EQ(frame.data[1], 60);
    EXPECT_EQ(changed.count(), 2);

    // The float slider from 0 to its end writes the range's ends.
    auto *slider = qobject_cast<TableSlider *>(table.table()->cellWidget(row_of(table, "Ratio"), VyrCanSignalTable::Range));
    ASSERT_NE(slider, nullptr);
    slider->setValue(1000000);
    float ratio = 0;
    std::memcpy(&ratio, &frame.data[4], 4);
    EXPECT_EQ(ratio, 100.0f);
    slider->setValue(0);
    std::memcpy(&ratio, &frame.data[4], 4);
    EXPECT_EQ(ratio, 0.0f);
}

TEST_F(CanSignalTable, ASliderSetFromANewFrameWritesNothingBack)
{
    VyrCanSignalTable table(nullptr, "can_send_signal_table", true);
    table.set_candb_cluster(&cluster);
    table.set_can_data(&frame);
    QSignalSpy changed(&table, &VyrCanSignalTable::can_data_changed);
    // Level's slider spans raw -40..60; a frame with raw -100 lies outside it.
    VyrCanMessage next = frame;
    next.data[2] = uint8_t(int8_t(-100));
    table.set_can_data(&next);
    EXPECT_EQ(int8_t(next.data[2]), -100) << "the frame keeps its value";
    EXPECT_EQ(changed.count(), 0);
    EXPECT_EQ(cell(table, "Level", VyrCanSignalTable::Raw), "-100");
}

// The rows are the signals the multiplexors select, and follow an edit of a
// multiplexor.
TEST_F(CanSignalTable, RowsFollowTheMultiplexors)
{
    VyrCanSignalTable table(nullptr, "can_send_signal_table", true);
    table.set_candb_cluster(&cluster);
    frame.id = 512;
    frame.data[0] = 1;
    frame.data[1] = 0x34;
    auto rows = [&table] {
        QStringList names;
        for (int row = 0; row < table.table()->rowCount(); ++row)
            names << table.table()->item(row, VyrCanSignalTable::Name)->text();
        return names;
    };
    table.set_can_data(&frame);
    EXPECT_EQ(rows(), (QStringList{"B", "Sel"}));
    // Typed into the cell's editor: the rows change under the committed edit.
    table.show();
    table.table()->editItem(table.table()->item(row_of(table, "Sel"), VyrCanSignalTable::Raw));
    auto *editor = table.table()->viewport()->findChild<QLineEdit *>();
    ASSERT_NE(editor, nullptr);
    editor->setText(QStringLiteral("2"));
    QTest::keyClick(editor, Qt::Key_Return);
    QCoreApplication::processEvents(); // the delegate commits by a queued call
    EXPECT_EQ(rows(), (QStringList{"Deep", "Sel", "Sub"})) << "Sub reads 4 from the frame";
    table.table()->item(row_of(table, "Sub"), VyrCanSignalTable::Raw)->setText(QStringLiteral("6"));
    EXPECT_EQ(rows(), (QStringList{"Sel", "Sub"}));
    table.table()->item(row_of(table, "Sel"), VyrCanSignalTable::Raw)->setText(QStringLiteral("0"));
    EXPECT_EQ(rows(), (QStringList{"A", "Sel"}));
    EXPECT_EQ(cell(table, "A", VyrCanSignalTable::Raw), "54");
}

} // namespace
