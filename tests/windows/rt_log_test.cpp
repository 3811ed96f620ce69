#include "settings/qtb_config.h"
#include "windows/packet/vyr_packet_display.h"
#include "windows/packet/vyr_rt_log.h"

#include <QFile>
#include <QApplication>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QMenu>
#include <QTest>
#include <QTimer>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace {

// A log with the columns "Source" (16 bytes) and "Message" (250 bytes).
class RtLogTest : public ::testing::Test
{
protected:
    RtLogTest()
    {
        log.set_column_count(2);
        log.set_column(0, "Source", "Where the row comes from", 16);
        log.set_column(1, "Message", "Output Message", 250);
        log.apply_columns();
    }

    // The display's rows as exported, without their line ends.
    QStringList rows()
    {
        log.display()->update();
        QStringList lines = log.display()->export_text(false).split('\n');
        lines.removeLast();
        return lines;
    }

    QStringList file_lines(const QString &path)
    {
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
        QStringList lines = QString::fromUtf8(file.readAll()).split('\n');
        EXPECT_EQ(lines.takeLast(), "");
        return lines;
    }

    QTemporaryDir dir;
    VyrRtLog log{nullptr};
};

TEST_F(RtLogTest, RowsFromFourThreadsArriveOnceInOrderAndInTheFile)
{
    const QString path = dir.filePath("rows.log");
    ASSERT_TRUE(log.start_logging_to_file(path));
    const int threads = 4;
    const int rows_per_thread = 5000;
    std::vector<std::thread> writers;
    for (int t = 0; t < threads; ++t)
        writers.emplace_back([this, t] {
            const std::string source = "thread " + std::to_string(t);
            for (int i = 0; i < rows_per_thread; ++i)
                log.add_message(0, source.c_str(), std::to_string(i).c_str());
        });
    for (int i = 0; i < 20; ++i)
        log.display()->update(); // the GUI side takes rows over meanwhile
    for (std::thread &writer : writers)
        writer.join();
    log.stop_logging_to_file();

    const QStringList shown = rows();
    const QStringList written = file_lines(path);
    ASSERT_EQ(shown.size(), threads * rows_per_thread + 1);
    ASSERT_EQ(written.size(), shown.size());
    std::map<std::string, int> next;
    for (int row = 0; row < threads * rows_per_thread; ++row) {
        const QStringList cells = shown[row].split('\t');
        ASSERT_EQ(cells.size(), 4);
        EXPECT_EQ(cells[0].trimmed().toInt(), row + 1);
        const std::string source = cells[2].toStdString();
        EXPECT_EQ(cells[3].toInt(), next[source]++) << source;
        const QString line = QString::asprintf("%6d\t       \t", row + 1) + cells[2] + "\t" + cells[3];
        ASSERT_EQ(written[row].toStdString(), line.toStdString());
    }
    for (int t = 0; t < threads; ++t)
        EXPECT_EQ(next["thread " + std::to_string(t)], rows_per_thread);
    const QString stopped = "Log to File '" + path + "' stopped";
    EXPECT_EQ(written.last().toStdString(),
              QString::asprintf("%6d\t       \t", shown.size()).toStdString() + stopped.toStdString());
    EXPECT_TRUE(shown.last().split('\t')[2].startsWith("Log to File '")) << "cut to the first column";
}

TEST_F(RtLogTest, FileLinesCarryTimeAndEveryText)
{
    uint32_t now = 0;
    log.set_time_source([&now] { return now; });
    const QString path = dir.filePath("texts.log");
    ASSERT_TRUE(log.start_logging_to_file(path));
    now = 83456;
    log.add_message(0, "a", "b");
    now = 1001;
    log.add_message(0x08, nullptr, "second only");
    log.add_message(0, "x", nullptr, "third column");
    log.clear();
    log.add_message(0, "again");
    log.stop_logging_to_file();

    const QStringList lines = file_lines(path);
    ASSERT_EQ(lines.size(), 5);
    EXPECT_EQ(lines[0].toStdString(), "     1\t 83.456\ta\tb");
    EXPECT_EQ(lines[1].toStdString(), "     2\t  1.001\t\tsecond only");
    EXPECT_EQ(lines[2].toStdString(), "     3\t  1.001\tx\tthird column");
    EXPECT_EQ(lines[3].toStdString(), "     1\t  1.001\tagain") << "numbering starts again after clear";

    const QStringList shown = rows();
    ASSERT_EQ(shown.size(), 2);
    EXPECT_EQ(shown[0].toStdString(), "        1\t       1.001\tagain\t");
}

TEST_F(RtLogTest, RowsBeforeTheColumnsAndLongTextsAreCutOrDropped)
{
    VyrRtLog fresh(nullptr);
    fresh.add_message(0, "dropped");
    fresh.display()->update();
    EXPECT_EQ(fresh.display()->total(), 0);

    log.add_message(0, "a source name longer than sixteen", "m");
    const QStringList cells = rows()[0].split('\t');
    EXPECT_EQ(cells[2].toStdString(), "a source name l") << "15 characters and the terminating zero";
    const QHeaderView *header = log.display()->header();
    EXPECT_EQ(header->model()->headerData(2, Qt::Horizontal).toString(), "Source");
    const int char_width = log.display()->char_width();
    EXPECT_EQ(header->sectionSize(2), 16 * char_width); // the source's 16 bytes

    // The message column, the last, reaches the right edge, and grows to a
    // long text once it is shown: nothing of it is cut.
    log.resize(1500, 300);
    log.show();
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return header->sectionPosition(3) + header->sectionSize(3) == log.display()->viewport()->width(); },
        2000));
    const QByteArray long_text = "Loading config file \"/home/someone/.local/share/vyr/demo/demo.vyr\" ...can not find "
                                 "it - using built-in defaults, with more than a hundred and eighty characters.";
    log.add_message(0, "app", long_text.constData());
    log.display()->update();
    log.display()->grab(); // paints the rows
    QApplication::processEvents();
    EXPECT_GT(header->sectionSize(3), long_text.size() * char_width);
    EXPECT_EQ(log.display()->export_text(false).split('\n')[1].split('\t')[3], QString::fromLatin1(long_text));
}

// Replacing the columns while another thread adds rows: each row is built
// whole on the columns it started with.
TEST_F(RtLogTest, ColumnsChangeWhileRowsArrive)
{
    std::atomic<bool> stop{false};
    std::thread writer([&] {
        while (!stop)
            log.add_message(0, "writer", "row", "third");
    });
    for (int round = 0; round < 200; ++round) {
        const int columns = 1 + round % 3;
        log.set_column_count(columns);
        for (int c = 0; c < columns; ++c)
            log.set_column(c, QString("C%1").arg(c), "", 8 + round % 5);
        log.apply_columns();
        log.display()->update();
    }
    stop = true;
    writer.join();
    log.display()->update();
    EXPECT_EQ(log.display()->header()->count(), 2 + 1 + 199 % 3);
    for (const QString &row : rows())
        EXPECT_TRUE(row.contains("writer")) << row.toStdString();
}

TEST_F(RtLogTest, DisplaySettingsLiveInTheirSubGroup)
{
    log.display()->set_font_size(14);
    QtbConfigGroup group;
    log.write_configuration(&group);
    EXPECT_EQ(group.count(), 0) << "no key name: nothing kept";

    log.set_config_key("rt_log");
    log.write_configuration(&group);
    log.write_configuration(&group);
    EXPECT_EQ(group.count(), 1) << "the sub-group is replaced";
    ASSERT_NE(group.get_group("rt_log"), nullptr);

    VyrRtLog again(nullptr);
    again.set_column_count(1);
    again.apply_columns();
    again.set_config_key("rt_log");
    again.read_configuration(&group);
    EXPECT_EQ(again.display()->font_size(), 14);
    EXPECT_EQ(again.display()->header()->count(), 3) << "the columns stay: the log has no packet source";
}

TEST_F(RtLogTest, ContextMenuOffersClearFontSizesAndCopies)
{
    log.display()->set_font_size(12);
    log.add_message(0, "a", "b");
    log.display()->update();
    QStringList entries;
    QStringList sizes;
    QString checked;
    QTimer::singleShot(0, [&] {
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        ASSERT_NE(menu, nullptr);
        for (QAction *action : menu->actions()) {
            entries << (action->isSeparator() ? "-" : action->text());
            if (action->menu())
                for (QAction *size : action->menu()->actions()) {
                    sizes << size->text();
                    if (size->isChecked())
                        checked = size->text();
                }
        }
        menu->actions().first()->trigger(); // Clear
        menu->close();
    });
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 30), log.display()->mapToGlobal(QPoint(5, 30)));
    QApplication::sendEvent(log.display()->viewport(), &event);
    EXPECT_EQ(entries,
              (QStringList{"Clear", "-", "Font Size", "-", "Copy Selected Messages to Clipboard",
                           "Copy All Messages to Clipboard", "Clear Selection", "-"}));
    EXPECT_EQ(sizes, (QStringList{"5", "6", "7", "8", "10", "11", "12", "14", "16"}));
    EXPECT_EQ(checked, "12");
    EXPECT_EQ(log.display()->total(), 0) << "Clear ran";
}

} // namespace
