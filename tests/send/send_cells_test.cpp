// The cells of the send table without a bus: which identifier texts the
// editor takes and what frame each one makes, the data cell's fixed-length
// text under DLC changes and typing, and the lengths the DLC editor offers.
#include "core/candb_cluster.h"
#include "core/candb_message.h"
#include "core/candb_network.h"
#include "core/frames/vyr_can_message.h"
#include "windows/send/can_send_table.h"
#include "windows/send/send_cell_syntax.h"

#include <QComboBox>
#include <QTest>
#include <gtest/gtest.h>

namespace {

using namespace send_cell;

// A database with the message "Ramp" (0x64) whose signals are Speed (byte
// 0) and Mode (byte 1).
struct RampDatabase
{
    RampDatabase()
    {
        auto network = std::make_unique<CANdbNetwork>();
        auto message = std::make_unique<CANdbMessage>("Ramp");
        message->id = 0x64;
        message->dlc = 4;
        for (const auto &[name, start] : {std::pair{"Speed", 0}, std::pair{"Mode", 8}}) {
            auto signal = std::make_unique<CANdbSignal>();
            signal->name = name;
            signal->start_bit = start;
            signal->length = 8;
            signal->value_type = CANdbRawUnsigned;
            message->insert_signal(std::move(signal));
        }
        ramp = message.get();
        network->insert_message(std::move(message));
        cluster.add_network(std::move(network));
    }
    CANdbCluster cluster;
    CANdbMessage *ramp;
};

TEST(SendCells, IdentifierTextsTheEditorTakes)
{
    RampDatabase db;
    struct Case
    {
        const char *text;
        bool accepted;
    };
    const Case cases[] = {
        {"100", true},      {"100h", true},       {"100hx", true},  {"7E0hr", true},     {"12s+", true},
        {"100xh", false},   {"Ramp", true},       {"Ramp:100", true}, {"Ramp:100xh", false}, {"Ramp:", false},
        {"Nope:100", false}, {"Nope", false},     {"err", true},    {"ERROR FR", true},  {"error frames", false},
        {"Ramp,Speed=10,Mode=0Fh", true},         {"", false},
        // The number must read up to its suffix letters: decimal 1FF does not.
        {"1FFx", false},    {"1FFhx", true},      {"h", false},
    };
    for (const Case &c : cases)
        EXPECT_EQ(id_text_acceptable(QString::fromLatin1(c.text), &db.cluster), c.accepted) << c.text;
    // The validator of the editor says the same, except that an emptied
    // field and the start of a message name are on the way to one.
    IdValidator validator(nullptr, &db.cluster);
    for (const Case &c : cases) {
        QString text = QString::fromLatin1(c.text);
        int position = 0;
        const QValidator::State refused = text.isEmpty() ? QValidator::Intermediate : QValidator::Invalid;
        EXPECT_EQ(validator.validate(text, position), c.accepted ? QValidator::Acceptable : refused) << c.text;
    }
    for (const char *start : {"R", "Ra", "Ram"}) {
        QString text = QString::fromLatin1(start);
        int position = 0;
        EXPECT_EQ(validator.validate(text, position), QValidator::Intermediate) << start;
    }
    QString lower = QStringLiteral("ra");
    int position = 0;
    EXPECT_EQ(validator.validate(lower, position), QValidator::Invalid) << "names are matched with their case";
}

TEST(SendCells, AssignmentsSetRawValuesOfTheNamedSignals)
{
    RampDatabase db;
    uint8_t data[8] = {};
    const IdParts parts = split_id_text(QStringLiteral("Ramp: 100 , Speed = 10, Mode=0Fh,Nope=3,Speed"));
    EXPECT_EQ(parts.name, "Ramp");
    EXPECT_TRUE(parts.has_colon);
    EXPECT_EQ(apply_assignments(*db.ramp, parts.assignments, data, 4), 2);
    EXPECT_EQ(data[0], 10);
    EXPECT_EQ(data[1], 0x0F);
}

TEST(SendCells, DataTextFollowsTheDlc)
{
    struct Case
    {
        const char *text;
        int dlc;
        const char *resized;
    };
    const Case cases[] = {
        {"11 22 33 44 55 66 77 88", 2, "11 22"},
        {"11 22", 4, "11 22 00 00"},
        {"", 3, "00 00 00"},
        {"11 22", 0, ""},
        {"01 02 03 04 05 06 07 08", 12, "01 02 03 04 05 06 07 08 00 00 00 00"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(resize_data_text(QString::fromLatin1(c.text), c.dlc), c.resized) << c.text << " " << c.dlc;
    uint8_t data[64] = {};
    EXPECT_EQ(parse_data_text(QStringLiteral("0a ff 10"), data), 3);
    EXPECT_EQ(data[0], 0x0A);
    EXPECT_EQ(data[1], 0xFF);
    EXPECT_EQ(format_data(data, 3), "0a ff 10");
}

TEST(SendCells, DataEditorTypesOverInPlace)
{
    DataLineEdit editor(nullptr, QStringLiteral("00 00 00"), 3);
    editor.show();
    QTest::keyClicks(&editor, QStringLiteral("ab1"));
    EXPECT_EQ(editor.text(), "ab 10 00");
    EXPECT_EQ(editor.cursorPosition(), 4);
    // Backspace moves left over the blank and deletes nothing; a non-hex digit is refused.
    QTest::keyClick(&editor, Qt::Key_Backspace);
    QTest::keyClick(&editor, Qt::Key_Backspace);
    EXPECT_EQ(editor.cursorPosition(), 1);
    QTest::keyClicks(&editor, QStringLiteral("g"));
    EXPECT_EQ(editor.text(), "ab 10 00");
    QTest::keyClicks(&editor, QStringLiteral("C"));
    EXPECT_EQ(editor.text(), "aC 10 00");
    // Ctrl+X copies without cutting.
    editor.selectAll();
    QTest::keyClick(&editor, Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(editor.text(), "aC 10 00");

    DataValidator validator(nullptr, 8);
    for (const char *wrong : {"00 00 0", "00-00 00", "0g 00 00"}) {
        QString text = QString::fromLatin1(wrong);
        int position = 0;
        EXPECT_EQ(validator.validate(text, position), QValidator::Invalid) << wrong;
    }
}

TEST(SendCells, DlcEditorWithoutInterfaceOffersClassicLengths)
{
    EXPECT_EQ(dlc_choices(true).mid(9), QStringList({"12", "16", "20", "24", "32", "48", "64"}));
    DlcItem item(8, nullptr);
    QWidget parent;
    auto *combo = qobject_cast<QComboBox *>(item.create_editor(&parent, nullptr));
    ASSERT_NE(combo, nullptr);
    QStringList offered;
    for (int i = 0; i < combo->count(); ++i)
        offered << combo->itemText(i);
    EXPECT_EQ(offered, QStringList({"0", "1", "2", "3", "4", "5", "6", "7", "8"}));
    EXPECT_EQ(combo->currentText(), "8");
    combo->setCurrentText(QStringLiteral("3"));
    item.set_content_from_editor(combo);
    EXPECT_EQ(item.dlc(), 3);
    EXPECT_EQ(item.text(), "3");
}

} // namespace
