// A ".cnp" description imported into a panel: its elements become items of
// the panel's own kinds, placed, named and captioned as the file says; the
// panel saved as ".ui" reads back equal; an unreadable file is reported and
// leaves the panel as it was.
#include "windows/panel/panel_file.h"
#include "windows/panel/panel_item_type_info.h"
#include "windows/panel/vyr_panel.h"
#include "windows/panel/vyr_panel_item.h"
#include "test_paths.h"
#include "xmllint_check.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTextCodec>
#include <gtest/gtest.h>

namespace {

void write_file(const QString &name, const QByteArray &data)
{
    QFile file(name);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(data);
}

} // namespace

TEST(PanelCnpImport, ElementsBecomePlacedItemsAndTheSavedPanelReadsBackEqual)
{
    QTemporaryDir dir;
    const QString cnp = dir.filePath("foreign.cnp");
    write_file(cnp, "1\r\n"
                    "VPanel 0 420 310 0 Panel a b c d e f \"Foreign\"\r\n"
                    "ElemFrame 5 6 200 100 Frame a b c d e f \"Group\"\r\n"
                    "ElemST 10 20 80 16 Speed EnvVar:evSpeed b c d e f \"Speed\"\r\n"
                    "ElemEdit 10 40 80 20 Edit :1 b c d e f \"gone\"\r\n"
                    "ElemSlI 10 60 20 100 Slider a b c 0 e f \"\"\r\n"
                    "ElemGauge 1 2 3 4 Gauge a b c d e f \"unknown\"\r\n");
    VyrPanel panel(nullptr);
    ASSERT_TRUE(panel.read_panel_from_file(cnp));
    EXPECT_EQ(panel.get_filename(), cnp);
    EXPECT_EQ(panel.size(), QSize(420, 310));
    ASSERT_EQ(panel.items().size(), 4u);
    const auto &items = panel.items();
    EXPECT_EQ(items[0]->widget()->property("title").toString(), "Group");
    EXPECT_EQ(items[0]->widget()->geometry(), QRect(5, 6, 200, 100));
    EXPECT_EQ(items[1]->widget()->objectName(), "Speed") << "an EnvVar: field names the widget after p1";
    EXPECT_EQ(items[1]->widget()->property("text").toString(), "Speed");
    EXPECT_EQ(items[2]->widget()->property("text").toString(), "");
    EXPECT_EQ(items[2]->widget()->property("mode").toInt(), 0);
    EXPECT_EQ(items[3]->type_info()->name(), "Vertical Slider");

    const QString ui = dir.filePath("imported.ui");
    panel.set_filename(ui);
    ASSERT_TRUE(panel.save_panel_to_file());
    VyrPanel copy(nullptr);
    ASSERT_TRUE(copy.read_panel_from_file(ui));
    EXPECT_EQ(panel_file_text(copy), panel_file_text(panel));
    ASSERT_EQ(copy.items().size(), 4u);
    EXPECT_EQ(copy.items()[1]->widget()->geometry(), QRect(10, 20, 80, 16));
}

// Shift_JIS captions with control bytes (0x01, 0x1A): the imported panel
// saves as XML that xmllint takes, reads back with the same texts and saves
// again to the same bytes.
TEST(PanelCnpImport, CaptionsWithControlBytesSaveAsXmlThatReadsBackTheSame)
{
    QTemporaryDir dir;
    VyrPanel panel(nullptr);
    ASSERT_TRUE(panel.read_panel_from_file(vyr_test::source_dir() + "/tests/panel/data/control_captions.cnp"));
    ASSERT_EQ(panel.items().size(), 2u);
    QTextCodec *shift_jis = QTextCodec::codecForName("Shift_JIS");
    ASSERT_NE(shift_jis, nullptr);
    const QString label = shift_jis->toUnicode("A\001B");
    const QString button = shift_jis->toUnicode("Go\x1A");
    ASSERT_LT(label[1].unicode(), 0x20);
    ASSERT_LT(button[2].unicode(), 0x20);
    EXPECT_EQ(panel.items()[0]->widget()->property("text").toString(), label);
    EXPECT_EQ(panel.items()[1]->widget()->property("text").toString(), button);

    const QString saved_name = dir.filePath("saved.ui");
    panel.set_filename(saved_name);
    ASSERT_TRUE(panel.save_panel_to_file());
    EXPECT_EQ(xmllint_refusal(saved_name), QString());

    VyrPanel copy(nullptr);
    ASSERT_TRUE(copy.read_panel_from_file(saved_name));
    ASSERT_EQ(copy.items().size(), 2u);
    EXPECT_EQ(copy.items()[0]->widget()->property("text").toString(), label);
    EXPECT_EQ(copy.items()[1]->widget()->property("text").toString(), button);
    QFile saved(saved_name);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(QByteArray::fromStdString(panel_file_text(copy)), saved.readAll());
}

TEST(PanelCnpImport, AnUnreadableFileIsReportedAndChangesNothing)
{
    QTemporaryDir dir;
    const QString cnp = dir.filePath("kept.cnp");
    write_file(cnp, "1\nElemST 1 2 3 4 Label a b c d e f \"L\"\n");
    VyrPanel panel(nullptr);
    ASSERT_TRUE(panel.read_panel_from_file(cnp));
    QSignalSpy errors(&panel, &VyrDataWindow::signal_log_message_error);
    const QString absent = dir.filePath("absent.cnp");
    EXPECT_FALSE(panel.read_panel_from_file(absent));
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].at(0).toString().contains(QStringLiteral("Unable to open file '%1' for reading !").arg(absent)))
        << errors[0].at(0).toString().toStdString();
    EXPECT_EQ(panel.items().size(), 1u);
    EXPECT_EQ(panel.get_filename(), cnp);
}
