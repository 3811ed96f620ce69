#include "widgets/hexedit/qhexedit.h"

#include "core/memory_region.h"
#include "tests/common/test_support.h"

#include <QFile>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QProcess>
#include <QScrollBar>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>

namespace {

std::unique_ptr<MemoryPage> page_of(uint32_t start, const QByteArray &bytes, uint32_t width = 1,
                                    bool little_endian = false)
{
    auto page = std::make_unique<MemoryPage>(start, uint32_t(bytes.size()));
    page->load(bytes);
    page->set_width(width);
    page->set_little_endian(little_endian);
    return page;
}

// Bytes first, first + 1, ...
QByteArray counting(int count, int first = 0)
{
    QByteArray bytes;
    for (int i = 0; i < count; ++i)
        bytes.append(char(first + i));
    return bytes;
}

void press_keys(QHexEdit &edit, const QString &text)
{
    for (QChar character : text)
        QTest::keyClick(&edit, character.toLatin1());
}

// The centre of a character cell of the contents, in viewport coordinates.
QPoint cell_centre(const QHexEdit &edit, int row, int column)
{
    return QPoint(column * edit.character_width() + edit.character_width() / 2,
                  row * edit.line_height() + edit.line_height() / 2)
           - QPoint(edit.horizontalScrollBar()->value(), edit.verticalScrollBar()->value());
}

void send_mouse(QHexEdit &edit, QEvent::Type type, QPoint position, Qt::MouseButtons buttons)
{
    QMouseEvent event(type, position, type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(edit.viewport(), &event);
}

} // namespace

TEST(QHexEdit, RowsOfEachElementWidthInBothByteOrders)
{
    // 20 bytes from 0x1e: two rows of single bytes, one row of wider elements.
    struct {
        uint32_t width;
        bool little_endian;
        int rows;
        const char *first_elements;
        const char *last_element; // the page's last whole element, then a blank one
    } const cases[] = {
        {1, false, 2, "1e 1f 20 ", "31 "},
        {1, true, 2, "1e 1f 20 ", "31 "},
        {2, false, 1, "1e1f 2021 2223 ", "3031 "},
        {2, true, 1, "1f1e 2120 2322 ", "3130 "},
        {4, false, 1, "1e1f2021 22232425 ", "2e2f3031 "},
        {4, true, 1, "21201f1e 25242322 ", "31302f2e "},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(QStringLiteral("width %1, %2").arg(c.width).arg(c.little_endian ? "little" : "big").toStdString());
        auto page = page_of(0x1000, counting(20, 0x1e), c.width, c.little_endian);
        QHexEdit edit;
        edit.set_page(page.get());
        ASSERT_EQ(edit.line_count(), c.rows);
        const int width = int(c.width);
        EXPECT_EQ(edit.hex_start_column(), 10);
        EXPECT_EQ(edit.ascii_start_column(), (2 * width + 1) * 16 + 10);
        EXPECT_EQ(edit.line_length(), (3 * width + 1) * 16 + 10);
        const QString last_row = edit.row_text(c.rows - 1);
        ASSERT_EQ(last_row.length(), edit.line_length());
        // Rows are drawn as one text each: the cursor and selection cells drawn
        // over them on the character grid must meet their glyphs.
        EXPECT_EQ(edit.fontMetrics().horizontalAdvance(last_row), edit.line_length() * edit.character_width());
        EXPECT_TRUE(edit.row_text(0).startsWith(QStringLiteral("00001000  ") + c.first_elements)) << qPrintable(edit.row_text(0));
        // Mended: elements past the page's end are blank, not "00".
        const QString tail = QString::fromLatin1(c.last_element) + QString(2 * width, ' ') + ' ';
        const int last_whole = (20 / width - 1) % 16; // index of the last element within its row
        EXPECT_EQ(last_row.mid(10 + last_whole * (2 * width + 1), tail.length()), tail) << qPrintable(last_row);
        // Bytes below 0x20 show as ".", bytes past the end as blanks.
        const QString characters = last_row.mid(edit.ascii_start_column());
        if (c.rows == 1)
            EXPECT_EQ(characters, QStringLiteral(".. !\"#$%&'()*+,-./01") + QString(16 * width - 20, ' '));
        else
            EXPECT_EQ(characters, QStringLiteral("./01") + QString(12, ' '));
    }

    // A last element the page holds only in part is blank too.
    auto page = page_of(0, counting(18), 4);
    QHexEdit edit;
    edit.set_page(page.get());
    EXPECT_EQ(edit.row_text(0).mid(10 + 4 * 9, 9), "         ");
    EXPECT_EQ(edit.row_text(0).mid(edit.ascii_start_column() + 16, 4), QStringLiteral("..  "));
}

TEST(QHexEdit, ByteRowsMatchOdOfARealFile)
{
    VYR_REQUIRE_TESTDATA();
    const QString path = QString::fromStdString(vyr_test::testdata_dir())
                         + "/mdf/asammdf/test/asammdf/gui/resources/test_batch_cut_0.mf4";
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    ASSERT_NE(bytes.size() % 16, 0); // the last row is a partial one

    QProcess od;
    od.start("od", {"-A", "x", "-t", "x1", "-v", "-w16", path});
    ASSERT_TRUE(od.waitForFinished(10000));
    QStringList od_rows = QString::fromLatin1(od.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    od_rows.removeLast(); // od's closing line holds only the length

    auto page = page_of(0, bytes);
    QHexEdit edit;
    edit.set_page(page.get());
    ASSERT_EQ(edit.line_count(), od_rows.size());
    for (int row = 0; row < od_rows.size(); ++row) {
        const QStringList od_fields = od_rows[row].split(' ', Qt::SkipEmptyParts);
        const QString ours = edit.row_text(row);
        ASSERT_EQ(ours.left(8).toUInt(nullptr, 16), od_fields[0].toUInt(nullptr, 16)) << row;
        ASSERT_EQ(ours.mid(edit.hex_start_column(), 3 * 16).split(' ', Qt::SkipEmptyParts), od_fields.mid(1)) << row;
    }
}

TEST(QHexEdit, TypingEditsThePageInPlace)
{
    auto page = page_of(0x200, QByteArray(40, '\0'));
    QHexEdit edit;
    edit.set_page(page.get());
    EXPECT_EQ(edit.cursor_address(), 0x200u);
    press_keys(edit, "F");
    EXPECT_EQ(uint8_t(page->data()[0]), 0xf0);
    EXPECT_EQ(edit.cursor_address(), 0x200u);
    EXPECT_EQ(edit.cursor_nibble(), 1);
    press_keys(edit, "a3g"); // "g" is no hexadecimal digit and changes nothing
    EXPECT_EQ(uint8_t(page->data()[0]), 0xfa);
    EXPECT_EQ(uint8_t(page->data()[1]), 0x30);
    EXPECT_EQ(edit.cursor_address(), 0x201u);
    EXPECT_EQ(edit.cursor_nibble(), 1);

    // Tab: characters are written as bytes and the cursor moves a byte.
    QTest::keyClick(&edit, Qt::Key_Tab);
    EXPECT_TRUE(edit.ascii_mode());
    EXPECT_EQ(edit.cursor_nibble(), 0);
    press_keys(edit, "Hi");
    EXPECT_EQ(page->to_bytes().mid(1, 2), "Hi");
    EXPECT_EQ(edit.cursor_address(), 0x203u);
    QTest::keyClick(&edit, Qt::Key_Left);
    EXPECT_EQ(edit.cursor_address(), 0x202u);
    QTest::keyClick(&edit, Qt::Key_Tab);
    EXPECT_FALSE(edit.ascii_mode());

    // A wider element in little-endian order: the first nibble is the
    // value's highest, which lives in the element's last byte.
    auto words = page_of(0, QByteArray(8, '\0'), 2, true);
    edit.set_page(words.get());
    press_keys(edit, "A");
    EXPECT_EQ(words->to_bytes(), QByteArray("\x00\xa0\x00\x00\x00\x00\x00\x00", 8));
    EXPECT_EQ(edit.cursor_nibble(), 1);
    press_keys(edit, "12b");
    EXPECT_EQ(edit.cursor_address(), 2u); // one element on, by one element's width
    EXPECT_EQ(edit.cursor_nibble(), 0);
    EXPECT_EQ(words->read_value(0), 0xa12bu);
}

TEST(QHexEdit, CursorKeysStopAtTheFirstAndLastAddress)
{
    auto page = page_of(0x100, QByteArray(16 * 50 + 5, '\0'));
    QHexEdit edit;
    edit.set_page(page.get());
    edit.resize(edit.sizeHint().width(), 10 * edit.line_height() + 2 * edit.frameWidth());
    edit.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&edit));
    const uint32_t last = 0x100 + 16 * 50 + 4;
    struct {
        Qt::Key key;
        uint32_t address;
        int nibble;
    } const steps[] = {
        {Qt::Key_Left, 0x100, 0}, // stays on the first nibble of the first byte
        {Qt::Key_Up, 0x100, 0},
        {Qt::Key_PageUp, 0x100, 0},
        {Qt::Key_Right, 0x100, 1},
        {Qt::Key_Right, 0x101, 0},
        {Qt::Key_Down, 0x111, 0},
        {Qt::Key_PageDown, 0x111 + 16 * 10, 0},
        {Qt::Key_Up, 0x101 + 16 * 10, 0},
        {Qt::Key_PageDown, 0x101 + 16 * 20, 0},
        {Qt::Key_PageDown, 0x101 + 16 * 30, 0},
        {Qt::Key_PageDown, 0x101 + 16 * 40, 0},
        {Qt::Key_PageDown, 0x101 + 16 * 50, 0},
        {Qt::Key_PageDown, last, 0},
        {Qt::Key_Down, last, 0},
        {Qt::Key_Right, last, 1},
        {Qt::Key_Right, last, 1}, // stays on the last nibble of the last byte
        {Qt::Key_Left, last, 0},
    };
    for (const auto &step : steps) {
        QTest::keyClick(&edit, step.key);
        EXPECT_EQ(edit.cursor_address(), step.address) << step.key;
        EXPECT_EQ(edit.cursor_nibble(), step.nibble) << step.key;
    }
    // The cursor was kept in view on the way down.
    const int cursor_y = edit.cursor_cell_position().y();
    EXPECT_GT(edit.verticalScrollBar()->value(), 0);
    EXPECT_LE(edit.verticalScrollBar()->value(), cursor_y);
    EXPECT_GE(edit.verticalScrollBar()->value() + edit.viewport()->height(), cursor_y + edit.line_height());

    // A selection far above is brought into view on request.
    edit.selection_set(0x100 + 16 * 5 + 3, 0x100 + 16 * 7);
    edit.selection_ensure_visible();
    const int selection_bottom = 6 * edit.line_height();
    EXPECT_LE(edit.verticalScrollBar()->value(), selection_bottom - edit.line_height());
    EXPECT_GE(edit.verticalScrollBar()->value() + edit.viewport()->height(), selection_bottom);
}

TEST(QHexEdit, ClicksAndADragSelect)
{
    auto page = page_of(0x400, counting(40, 0x40));
    QHexEdit edit;
    edit.set_page(page.get());
    edit.resize(edit.sizeHint() + QSize(40, 40)); // room for every row: nothing scrolls
    edit.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&edit));

    struct {
        const char *what;
        int row;
        int column;
        uint32_t address;
        bool ascii;
    } const clicks[] = {
        {"hex cell", 1, 10 + 3 * 3 + 1, 0x413, false},
        {"character cell", 0, 58 + 5, 0x405, true},
        {"left of the hex part: the row's start, the mode kept", 1, 2, 0x410, true},
        {"gap before the characters", 1, 57, 0x41f, false},
        // Mended: the cursor stays inside the row and the page.
        {"right of a row's characters", 0, 90, 0x40f, true},
        {"past the last byte", 2, 10 + 3 * 12, 0x427, false},
        {"below the last row", 9, 10, 0x427, false},
    };
    for (const auto &click : clicks) {
        SCOPED_TRACE(click.what);
        QTest::mouseClick(edit.viewport(), Qt::LeftButton, Qt::NoModifier, cell_centre(edit, click.row, click.column));
        EXPECT_EQ(edit.cursor_address(), click.address);
        EXPECT_EQ(edit.ascii_mode(), click.ascii);
    }

    // Dragging from a later byte to an earlier one selects them in order.
    send_mouse(edit, QEvent::MouseButtonPress, cell_centre(edit, 1, 10 + 3 * 5), Qt::LeftButton);
    EXPECT_EQ(edit.cursor_address(), 0x415u);
    send_mouse(edit, QEvent::MouseMove, cell_centre(edit, 0, 10 + 3 * 14), Qt::LeftButton);
    send_mouse(edit, QEvent::MouseMove, cell_centre(edit, 0, 10 + 3 * 13), Qt::LeftButton);
    send_mouse(edit, QEvent::MouseButtonRelease, cell_centre(edit, 0, 10 + 3 * 13), Qt::NoButton);
    ASSERT_TRUE(edit.has_selection());
    EXPECT_EQ(edit.selection_start(), 0x40du);
    EXPECT_EQ(edit.selection_end(), 0x415u);

    // Selected bytes are drawn on the highlight colour in both columns, the
    // others on the background; the cursor is moved away from the probes.
    edit.move_cursor_by_address(0x427 - int(edit.cursor_address()));
    const QColor highlight = edit.palette().color(QPalette::Highlight);
    const QImage image = edit.viewport()->grab().toImage();
    auto background_at = [&](int row, int column) {
        // The cell's top left pixel lies above the glyph.
        return image.pixelColor(column * edit.character_width(), row * edit.line_height());
    };
    EXPECT_EQ(background_at(0, 10 + 3 * 13), highlight);
    EXPECT_EQ(background_at(0, 10 + 3 * 15 - 1), highlight); // the blank between two selected bytes
    EXPECT_EQ(background_at(1, 10 + 3 * 5 + 1), highlight);
    EXPECT_EQ(background_at(0, 58 + 13), highlight);
    EXPECT_EQ(background_at(1, 58 + 5), highlight);
    EXPECT_EQ(background_at(0, 10 + 3 * 12), Qt::white);
    EXPECT_EQ(background_at(1, 10 + 3 * 6), Qt::white);
    EXPECT_EQ(background_at(1, 58 + 6), Qt::white);

    // A drag that comes back to its anchor clears the selection.
    send_mouse(edit, QEvent::MouseButtonPress, cell_centre(edit, 0, 10), Qt::LeftButton);
    send_mouse(edit, QEvent::MouseMove, cell_centre(edit, 0, 10 + 3), Qt::LeftButton);
    EXPECT_TRUE(edit.has_selection());
    send_mouse(edit, QEvent::MouseMove, cell_centre(edit, 0, 10), Qt::LeftButton);
    EXPECT_FALSE(edit.has_selection());
    send_mouse(edit, QEvent::MouseButtonRelease, cell_centre(edit, 0, 10), Qt::NoButton);

    edit.selection_set(0x410, 0x412);
    EXPECT_TRUE(edit.has_selection());
    edit.selection_clear();
    EXPECT_FALSE(edit.has_selection());
}

TEST(QHexEdit, WithoutAPageNothingIsDrawnAndNothingMoves)
{
    // Mended: a page of length 0 is no page (its cursor range would be empty).
    MemoryPage empty(0x100, 0);
    for (MemoryPage *page : {static_cast<MemoryPage *>(nullptr), &empty}) {
        SCOPED_TRACE(page ? "empty page" : "no page");
        QHexEdit edit;
        edit.set_page(page);
        edit.resize(300, 100);
        EXPECT_EQ(edit.page(), nullptr);
        EXPECT_EQ(edit.line_count(), 0);
        const QImage image = edit.viewport()->grab().toImage();
        for (int y = 0; y < image.height(); y += 3)
            for (int x = 0; x < image.width(); x += 3)
                ASSERT_EQ(image.pixelColor(x, y), QColor(Qt::gray)) << x << "," << y;
        edit.move_cursor_by_address(5);
        edit.move_cursor_by_charpos(3);
        QTest::keyClick(&edit, Qt::Key_Down);
        press_keys(edit, "F");
        EXPECT_EQ(edit.cursor_address(), 0u);
        EXPECT_EQ(edit.cursor_nibble(), 0);
        EXPECT_TRUE(edit.data().isEmpty());
        edit.setData(QByteArray("abc"));
        EXPECT_TRUE(edit.data().isEmpty());
    }

    // A page makes the background white, disabling makes it gray again.
    auto page = page_of(0, counting(4));
    QHexEdit edit;
    edit.set_page(page.get());
    EXPECT_EQ(edit.viewport()->palette().color(edit.viewport()->backgroundRole()), QColor(Qt::white));
    edit.setEnabled(false);
    EXPECT_EQ(edit.viewport()->palette().color(edit.viewport()->backgroundRole()), QColor(Qt::gray));
}

TEST(QHexEdit, DataPropertyBothWaysAndSizeHints)
{
    auto page = page_of(0x10, counting(8));
    QHexEdit edit;
    edit.set_page(page.get());
    EXPECT_EQ(edit.property("data").toByteArray(), counting(8));
    // Only as many bytes as the page holds are taken.
    ASSERT_TRUE(edit.setProperty("data", QByteArray("0123456789")));
    EXPECT_EQ(page->to_bytes(), QByteArray("01234567"));
    EXPECT_TRUE(edit.row_text(0).endsWith("01234567" + QString(8, ' ')));

    const int width = edit.character_width() * edit.line_length();
    EXPECT_EQ(edit.sizeHint(), QSize(width + 2 * edit.frameWidth(), edit.line_height()));
    EXPECT_EQ(edit.minimumSizeHint(), edit.sizeHint());
    auto large = page_of(0, QByteArray(16 * 1000, '\0'));
    edit.set_page(large.get());
    EXPECT_EQ(edit.sizeHint(), QSize(width + 2 * edit.frameWidth() + 16, 300));
    edit.set_line_count(3);
    EXPECT_EQ(edit.sizeHint().height(), 3 * edit.line_height());
}
