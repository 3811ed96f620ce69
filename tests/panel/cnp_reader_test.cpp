// The ".cnp" reader on files written from the line grammar: every element
// mapping, version lines, the end line, "EnvVar:" fields and the mode flag,
// continued lines, malformed and very long lines, Shift-JIS captions made by
// iconv, and the file cut at every byte.
#include "windows/panel/cnp_reader.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class CnpReaderTest : public ::testing::Test
{
protected:
    QString write(const QByteArray &content)
    {
        const QString path = dir.filePath(QStringLiteral("panel_%1.cnp").arg(++count));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
        return path;
    }
    CnpDescription read(const QByteArray &content)
    {
        CnpDescription description;
        EXPECT_EQ(read_cnp_file(write(content), description), 0);
        return description;
    }
    static std::vector<QString> kinds(const CnpDescription &description)
    {
        std::vector<QString> result;
        for (const CnpElement &element : description.elements)
            result.push_back(element.item_kind());
        return result;
    }

    QTemporaryDir dir;
    int count = 0;
};

TEST_F(CnpReaderTest, EveryMappingWithPlaceAndText)
{
    const CnpDescription panel = read("1\n"
                                      "VPanel 0 400 300 0 Panel a b c d e f \"Test panel\"\n"
                                      "ElemFrame 10 20 200 100 Frame a b c d e f \"Group\"\n"
                                      "ElemST;11;21;31;41;Label;a;b;c;d;e;f;\"Text\"\n"
                                      "ElemBN 1 2 3 4 Button a b c d e f \"Push\"\n"
                                      "ElemPanelCtrlBN 1 2 3 4 Ctrl a b c d e f \"first\" \"second\"\n"
                                      "~\n"
                                      "ElemEdit 1 2 3 4 Edit a b c d e f \"edit\"\n"
                                      "ElemSwitchAndDisplay 1 2 3 4 Check a b c d e f \"check\"\n"
                                      "ElemRBT 1 2 3 4 Radio a b c d e f \"radio\"\n"
                                      "ElemSlI 1 2 3 4 Slider a b c 0 e f \"\"\n"
                                      "ElemSlI 1 2 3 4 Slider a b c 1 e f \"\"\n"
                                      "ElemGauge 1 2 3 4 Gauge a b c d e f \"unknown\"\n");
    EXPECT_EQ(panel.version, 1);
    EXPECT_TRUE(panel.has_caption);
    EXPECT_EQ(panel.caption, "Test panel");
    EXPECT_EQ(panel.panel_width, 400);
    EXPECT_EQ(panel.panel_height, 300);
    EXPECT_EQ(kinds(panel), (std::vector<QString>{"GroupBox", "TextLabel", "PushButton", "PanelButton", "LineEdit",
                                                  "CheckBox", "RadioButton", "Vertical Slider", "Horizontal Slider"}));
    const CnpElement &frame = panel.elements[0];
    EXPECT_EQ(std::vector<int>(frame.numbers, frame.numbers + 4), (std::vector<int>{10, 20, 200, 100}));
    EXPECT_EQ(frame.params[0], "Frame");
    EXPECT_EQ(frame.text, "Group");
    EXPECT_EQ(panel.elements[1].text, "Text") << "';' separates fields too";
    EXPECT_EQ(panel.elements[3].text, "second") << "the continued element takes its second quoted string";
    EXPECT_FALSE(panel.elements[7].has_text) << "a rest of two characters or fewer";
}

TEST_F(CnpReaderTest, VersionEndLineEnvVarAndModeFlag)
{
    struct Case {
        const char *what;
        QByteArray file;
        std::vector<QString> kinds;
    };
    const QByteArray vpanel = "VPanel 0 400 300 0 Panel a b c d e f \"P\"\n";
    const QByteArray label = "ElemST 1 2 3 4 Label a b c d e f \"L\"\n";
    const Case cases[] = {
        {"version 0", "0\n" + vpanel + label, {}},
        {"no version", vpanel + label, {}},
        {"end line", "2\n" + label + "  @ \r\n" + label, {"TextLabel"}},
        {"CR LF", "1\r\n" + vpanel + "ElemST 1 2 3 4 Label a b c d e f \"L\"\r\n\r\n", {"TextLabel"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const CnpDescription panel = read(c.file);
        EXPECT_EQ(kinds(panel), c.kinds);
        if (c.file.contains("VPanel")) {
            EXPECT_EQ(panel.caption, "P") << "the panel line is read whatever the version";
        }
        for (const CnpElement &element : panel.elements)
            EXPECT_EQ(element.text, "L");
    }

    const CnpDescription panel = read("1\n"
                                      "ElemEdit 1 2 3 4 Speed EnvVar:evSpeed b c d e f \"x\"\n"
                                      "ElemEdit 1 2 3 4 Gear b EnvVar:evGear c d e f \"x\"\n"
                                      "ElemEdit 1 2 3 4 Mode b c EnvVar:evMode d e f \"x\"\n"
                                      "ElemEdit 1 2 3 4 Plain b c d e e f \"x\"\n"
                                      "ElemEdit 1 2 3 4 Flag :1 c d e e f \"x\"\n"
                                      "ElemEdit 1 2 3 4 Flag :2 c d e e f \"x\"\n");
    ASSERT_EQ(panel.elements.size(), 6u);
    const char *variables[] = {"evSpeed", "evGear", "evMode"};
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_TRUE(panel.elements[size_t(i)].names_widget);
        EXPECT_EQ(panel.elements[size_t(i)].variable, variables[i]);
    }
    EXPECT_FALSE(panel.elements[3].names_widget);
    EXPECT_FALSE(panel.elements[3].mode_flag());
    EXPECT_TRUE(panel.elements[4].mode_flag());
    EXPECT_TRUE(panel.elements[4].resets_mode());
    EXPECT_TRUE(panel.elements[5].mode_flag());
    EXPECT_FALSE(panel.elements[5].resets_mode());
}

TEST_F(CnpReaderTest, MalformedAndLongLines)
{
    // A line longer than any fixed buffer is read whole: its far end is part
    // of its caption, not an element of its own.
    QByteArray long_line = "ElemST 1 2 3 4 Long a b c d e f \"" + QByteArray(5100, 'x') +
                           "ElemBN;5;6;7;8;Tail;a;b;c;d;e;f;\"tail\"\n";
    QByteArray long_continued = "ElemPanelCtrlBN 1 2 3 4 Ctrl a b c d e f \"first\"\n" + QByteArray(6000, ' ') +
                                "\"far\"\n~ dropped\n";
    const CnpDescription panel = read("1\n"
                                      "ElemST 1 2 3 Label a b c d e f \"too few numbers\"\n"
                                      "ElemST 1 x 3 4 Label a b c d e f \"number\"\n"
                                      "ElemST 1 2 3 4 9Label a b c d e f \"parameter\"\n"
                                      "ElemST 1 2 3 4\n"
                                      "ElemST -1 2 3 4 Label a b c d e f \"minus\"\n" +
                                      QByteArray(10000, 'z') + "\n" + long_line + long_continued +
                                      "ElemST 1 2 3 4 <Label> a b c d e f \"angle\"\n"
                                      "ElemST 1 2 3 4 Label a b c d e f xyz\n"
                                      "ElemST 1 2 3 4 Label a b c d e f \"\n");
    ASSERT_EQ(kinds(panel), (std::vector<QString>{"TextLabel", "PanelButton", "TextLabel", "TextLabel", "TextLabel"}));
    EXPECT_EQ(panel.elements[0].text, "tail");
    EXPECT_EQ(panel.elements[1].text, "far");
    EXPECT_EQ(panel.elements[2].text, "angle");
    EXPECT_TRUE(panel.elements[3].has_text) << "a rest that does not end in a quote";
    EXPECT_EQ(panel.elements[3].text, "");
    EXPECT_FALSE(panel.elements[4].has_text) << "a rest of two characters or fewer";
}

TEST_F(CnpReaderTest, ShiftJisCaptionsComeBackAsTheOriginals)
{
    const QString caption = QString::fromUtf8("表示パネル");
    const QString label = QString::fromUtf8("ソフト\\表");
    QProcess iconv;
    iconv.start("iconv", {"-f", "UTF-8", "-t", "SHIFT_JIS"});
    ASSERT_TRUE(iconv.waitForStarted());
    iconv.write(("1\nVPanel 0 400 300 0 Panel a b c d e f \"" + caption + "\"\nElemST 1 2 3 4 Label a b c d e f \"" +
                 label + "\"\n")
                    .toUtf8());
    iconv.closeWriteChannel();
    ASSERT_TRUE(iconv.waitForFinished());
    ASSERT_EQ(iconv.exitCode(), 0) << iconv.readAllStandardError().toStdString();
    const QByteArray encoded = iconv.readAllStandardOutput();
    ASSERT_TRUE(encoded.contains("\x83\x5c")) << "ソ ends in the byte of a backslash";
    ASSERT_TRUE(encoded.contains("\x95\x5c")) << "表 too";
    const CnpDescription panel = read(encoded);
    EXPECT_EQ(panel.caption, caption);
    ASSERT_EQ(panel.elements.size(), 1u);
    EXPECT_EQ(panel.elements[0].text, label);
}

// Run under the address sanitizer: no cut of the file reads outside a line.
TEST_F(CnpReaderTest, FilesCutAtEveryByte)
{
    const QByteArray whole = "1\r\nVPanel 0 400 300 0 Panel a b c d e f \"P\"\r\n"
                             "ElemPanelCtrlBN 1 2 3 4 Ctrl EnvVar:ev b c d e f \"a\" \"b\"\r\nmore\r\n~\r\n"
                             "ElemEdit;1;2;3;4;Edit;:1;c;d;0;e;f;\"edit\"\r\n@\r\n";
    for (int length = 0; length <= whole.size(); ++length) {
        CnpDescription panel;
        ASSERT_EQ(read_cnp_file(write(whole.left(length)), panel), 0) << length;
        EXPECT_LE(panel.elements.size(), 2u);
    }
}

} // namespace
