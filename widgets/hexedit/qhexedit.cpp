#include "widgets/hexedit/qhexedit.h"

#include "core/memory_region.h"

#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>

namespace {

constexpr int kBlinkMilliseconds = 350;
constexpr int kMaxHintHeight = 300;
constexpr int kScrollBarAllowance = 16;

QString hex_digits(uint32_t value, int digits)
{
    return QStringLiteral("%1").arg(value, digits, 16, QLatin1Char('0'));
}

// The cell of a byte in the character column.
QChar cursor_character(uint8_t byte)
{
    return byte >= 0x20 && byte < 0x80 ? QChar::fromLatin1(char(byte)) : QLatin1Char('.');
}

} // namespace

QHexEdit::QHexEdit(QWidget *parent, const char *name) : QAbstractScrollArea(parent)
{
    if (name)
        setObjectName(QString::fromLatin1(name));
    QFont font(QStringLiteral("Courier"));
    font.setStyleHint(QFont::TypeWriter);
    font.setPixelSize(12);
    // Cells lie on a grid of whole pixels: letter spacing rounds the face's
    // fractional advance, so a row drawn as one text keeps to the grid.
    const qreal advance = QFontMetricsF(font).horizontalAdvance(QLatin1Char(' '));
    m_character_width = qMax(1, qRound(advance));
    font.setLetterSpacing(QFont::AbsoluteSpacing, m_character_width - advance);
    setFont(font);
    viewport()->setFont(font);
    const QFontMetrics metrics(font);
    m_line_height = qMax(1, metrics.height());
    m_ascent = metrics.ascent();
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setAutoFillBackground(true);
    connect(&m_blink_timer, &QTimer::timeout, this, &QHexEdit::blink);
    m_blink_timer.start(kBlinkMilliseconds);
    reset_state();
    lay_out();
}

void QHexEdit::reset_state()
{
    m_page = nullptr;
    m_items_per_row = 16;
    m_element_width = 1;
    m_element_kind = 0;
    m_start = 0;
    m_rows = 0;
    m_cursor_address = 0;
    m_cursor_nibble = 0;
    m_ascii_mode = false;
    m_blink_phase = false;
    m_selection_active = false;
    m_dragging = false;
    m_drag_anchor = m_selection_start = m_selection_end = 0;
}

void QHexEdit::set_page(MemoryPage *page)
{
    reset_state();
    if (page && page->length() > 0) {
        m_page = page;
        m_element_kind = page->user_word();
        // Elements are read as values of at most 4 bytes; a width of 0 would
        // leave no bytes per row.
        m_element_width = int(std::clamp<uint32_t>(page->width(), 1, 4));
        m_start = page->start();
        m_cursor_address = m_start;
        m_rows = int((uint64_t(page->length()) + row_bytes() - 1) / row_bytes());
    }
    lay_out();
}

void QHexEdit::set_line_count(int rows)
{
    if (rows == m_rows)
        return;
    m_rows = rows;
    lay_out();
}

QByteArray QHexEdit::data() const
{
    return m_page ? m_page->to_bytes() : QByteArray();
}

void QHexEdit::setData(const QByteArray &bytes)
{
    if (m_page)
        m_page->load(bytes);
    lay_out();
}

int QHexEdit::ascii_start_column() const
{
    return (2 * m_element_width + 1) * m_items_per_row + m_address_width + 2;
}

int QHexEdit::line_length() const
{
    return (3 * m_element_width + 1) * m_items_per_row + m_address_width + 2;
}

QSize QHexEdit::contents_size() const
{
    return QSize(m_character_width * line_length(), m_line_height * m_rows);
}

uint32_t QHexEdit::last_address() const
{
    return m_page ? m_start + (m_page->length() - 1) : m_start;
}

void QHexEdit::lay_out()
{
    QPalette palette = viewport()->palette();
    palette.setColor(viewport()->backgroundRole(), m_page && isEnabled() ? Qt::white : Qt::gray);
    viewport()->setPalette(palette);
    update_scroll_bars();
    updateGeometry();
    viewport()->update();
}

void QHexEdit::update_scroll_bars()
{
    const QSize contents = contents_size();
    const QSize visible = viewport()->size();
    horizontalScrollBar()->setRange(0, qMax(0, contents.width() - visible.width()));
    horizontalScrollBar()->setPageStep(visible.width());
    horizontalScrollBar()->setSingleStep(m_character_width);
    verticalScrollBar()->setRange(0, qMax(0, contents.height() - visible.height()));
    verticalScrollBar()->setPageStep(visible.height());
    verticalScrollBar()->setSingleStep(m_line_height);
}

void QHexEdit::ensure_visible(int x, int y, int x_margin, int y_margin)
{
    QScrollBar *horizontal = horizontalScrollBar();
    QScrollBar *vertical = verticalScrollBar();
    const QSize visible = viewport()->size();
    if (x - x_margin < horizontal->value())
        horizontal->setValue(x - x_margin);
    else if (x + x_margin > horizontal->value() + visible.width())
        horizontal->setValue(x + x_margin - visible.width());
    if (y - y_margin < vertical->value())
        vertical->setValue(y - y_margin);
    else if (y + y_margin > vertical->value() + visible.height())
        vertical->setValue(y + y_margin - visible.height());
}

QString QHexEdit::row_text(int row) const
{
    if (!m_page || row < 0 || row >= m_rows)
        return QString();
    const uint64_t row_address = uint64_t(m_start) + uint64_t(row_bytes()) * row;
    QString line = hex_digits(uint32_t(row_address), m_address_width) + QStringLiteral("  ");
    line.reserve(line_length());
    const QString missing_element(2 * m_element_width, QLatin1Char(' '));
    for (int item = 0; item < m_items_per_row; ++item) {
        const uint64_t address = row_address + uint64_t(item) * m_element_width;
        // An element the page does not hold whole is left blank: the value
        // read would be a made-up 0.
        const bool held = address + m_element_width <= uint64_t(m_start) + m_page->length();
        line += held ? hex_digits(m_page->read_value(uint32_t(address)), 2 * m_element_width) : missing_element;
        line += QLatin1Char(' ');
    }
    for (int i = 0; i < row_bytes(); ++i) {
        uint8_t byte = 0;
        if (m_page->read(uint32_t(row_address + i), &byte, 1) != 0)
            line += QLatin1Char(' ');
        else
            line += byte < 0x20 ? QLatin1Char('.') : QChar::fromLatin1(char(byte));
    }
    return line;
}

QPoint QHexEdit::cursor_cell_position() const
{
    const uint32_t offset = m_cursor_address - m_start;
    const int row = int(offset / uint32_t(row_bytes()));
    const int element = int(offset % uint32_t(row_bytes())) / m_element_width;
    const int column = m_cursor_nibble + element * (2 * m_element_width + 1);
    return QPoint((hex_start_column() + column) * m_character_width, row * m_line_height);
}

bool QHexEdit::selected(uint32_t address) const
{
    return m_selection_active && m_selection_start <= address && address <= m_selection_end;
}

void QHexEdit::draw_cells(QPainter &painter, int row, int column, const QString &text, const QColor &background,
                          const QColor &foreground) const
{
    const QRect cells(column * m_character_width, row * m_line_height, text.length() * m_character_width,
                      m_line_height);
    painter.fillRect(cells, background);
    painter.setPen(foreground);
    painter.drawText(cells.left(), cells.top() + m_ascent, text);
}

void QHexEdit::paintEvent(QPaintEvent *)
{
    if (!m_page)
        return;
    QPainter painter(viewport());
    painter.setFont(font());
    const int top = verticalScrollBar()->value();
    painter.translate(-horizontalScrollBar()->value(), -top);
    const QPalette colours = palette();
    const QColor background = viewport()->palette().color(viewport()->backgroundRole());
    const QColor foreground = colours.color(QPalette::Text);
    const QColor highlight = colours.color(QPalette::Highlight);
    const QColor highlighted_text = colours.color(QPalette::HighlightedText);

    int first_row = top / m_line_height;
    if (first_row > 0)
        --first_row;
    const int last_row = qMin(m_rows, first_row + viewport()->height() / m_line_height + 3);
    const int element_columns = 2 * m_element_width + 1;
    for (int row = first_row; row < last_row; ++row) {
        const QString line = row_text(row);
        painter.setPen(foreground);
        painter.drawText(0, m_ascent + m_line_height * row, line);
        if (!m_selection_active)
            continue;
        const uint64_t row_address = uint64_t(m_start) + uint64_t(row_bytes()) * row;
        for (int i = 0; i < row_bytes(); ++i) {
            const uint32_t address = uint32_t(row_address + i);
            if (!selected(address))
                continue;
            const int element = i / m_element_width;
            int column = hex_start_column() + element * element_columns + 2 * (i % m_element_width);
            int length = 2;
            // The blank between two elements is part of a selection running across it.
            if (i % m_element_width == 0 && i > 0 && selected(address - 1)) {
                --column;
                ++length;
            }
            draw_cells(painter, row, column, line.mid(column, length), highlight, highlighted_text);
            const int character_column = ascii_start_column() + i;
            draw_cells(painter, row, character_column, line.mid(character_column, 1), highlight, highlighted_text);
        }
    }

    // The cursor: the nibble (hex mode) or the byte's two digits (ASCII mode),
    // and the byte's character cell.
    const uint32_t offset = m_cursor_address - m_start;
    const int row = int(offset / uint32_t(row_bytes()));
    if (row < first_row || row >= last_row)
        return;
    const QString line = row_text(row);
    const int byte_in_row = int(offset % uint32_t(row_bytes()));
    const int element_column = hex_start_column() + (byte_in_row / m_element_width) * element_columns;
    const bool cursor_selected = selected(m_cursor_address);
    const QColor inverse_background = cursor_selected ? background : highlight;
    const QColor inverse_text = cursor_selected ? foreground : highlighted_text;
    if (m_ascii_mode) {
        const int column = element_column + 2 * (byte_in_row % m_element_width);
        draw_cells(painter, row, column, line.mid(column, 2), inverse_background, inverse_text);
    } else if (!m_blink_phase) {
        const int column = element_column + m_cursor_nibble;
        draw_cells(painter, row, column, line.mid(column, 1), inverse_background, inverse_text);
    }
    if (!(m_ascii_mode && m_blink_phase)) {
        uint8_t byte = 0;
        m_page->read(m_cursor_address, &byte, 1);
        draw_cells(painter, row, ascii_start_column() + byte_in_row, QString(cursor_character(byte)),
                   inverse_background, inverse_text);
    }
}

void QHexEdit::repaint_cursor_cells()
{
    if (!m_page)
        return;
    const int row = int((m_cursor_address - m_start) / uint32_t(row_bytes()));
    viewport()->update(0, row * m_line_height - verticalScrollBar()->value(), viewport()->width(), m_line_height);
}

void QHexEdit::blink()
{
    m_blink_phase = hasFocus() ? !m_blink_phase : false;
    repaint_cursor_cells();
}

void QHexEdit::move_cursor_by_address(int delta)
{
    if (!m_page)
        return;
    const int64_t wanted = int64_t(m_cursor_address) + delta;
    const uint32_t address = uint32_t(std::clamp<int64_t>(wanted, m_start, last_address()));
    if (address == m_cursor_address)
        return;
    repaint_cursor_cells();
    m_cursor_address = address;
    m_blink_phase = false;
    const QPoint cell = cursor_cell_position();
    ensure_visible(cell.x() + m_character_width / 2, cell.y() + m_line_height / 2, m_character_width / 2 + 2,
                   m_line_height / 2 + 2);
    repaint_cursor_cells();
}

void QHexEdit::move_cursor_by_charpos(int delta)
{
    // Without a page there is no cursor to move.
    if (!m_page)
        return;
    const int nibbles = 2 * m_element_width;
    int nibble = m_cursor_nibble + delta;
    int steps = 0;
    while (nibble < 0) {
        nibble += nibbles;
        --steps;
    }
    while (nibble >= nibbles) {
        nibble -= nibbles;
        ++steps;
    }
    // At the first and the last address the cursor stays on the edge nibble
    // instead of wrapping round within the byte.
    const int64_t wanted = int64_t(m_cursor_address) + int64_t(steps) * m_element_width;
    if (wanted < int64_t(m_start))
        nibble = 0;
    else if (wanted > int64_t(last_address()))
        nibble = nibbles - 1;
    m_cursor_nibble = nibble;
    if (steps == 0)
        repaint_cursor_cells();
    else
        move_cursor_by_address(steps * m_element_width); // a step is one element
}

void QHexEdit::selection_clear()
{
    if (!m_selection_active)
        return;
    m_selection_active = false;
    m_selection_start = m_selection_end = 0;
    viewport()->update();
}

void QHexEdit::selection_set(unsigned int start, unsigned int end)
{
    if (m_selection_active && m_selection_start == start && m_selection_end == end)
        return;
    m_selection_active = true;
    m_selection_start = start;
    m_selection_end = end;
    viewport()->update();
}

void QHexEdit::selection_ensure_visible()
{
    if (m_selection_start < m_start)
        return;
    const int row = int((m_selection_start - m_start) / uint32_t(row_bytes()));
    const QSize contents = contents_size();
    ensure_visible(contents.width() / 2, m_line_height * (row + 1), viewport()->width() / 2, m_line_height);
}

void QHexEdit::set_ascii_mode(bool ascii)
{
    if (ascii == m_ascii_mode)
        return;
    m_ascii_mode = ascii;
    m_cursor_nibble = 0;
    m_blink_phase = false;
    repaint_cursor_cells();
}

bool QHexEdit::event(QEvent *event)
{
    // Tab switches between the hex and the character column instead of moving the focus.
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Tab) {
        keyPressEvent(static_cast<QKeyEvent *>(event));
        return true;
    }
    return QAbstractScrollArea::event(event);
}

void QHexEdit::keyPressEvent(QKeyEvent *event)
{
    if (!m_page) {
        event->ignore();
        return;
    }
    const int page_rows = qMax(1, viewport()->height() / m_line_height);
    switch (event->key()) {
    case Qt::Key_Tab:
        set_ascii_mode(!m_ascii_mode);
        return;
    case Qt::Key_Left:
        m_ascii_mode ? move_cursor_by_address(-1) : move_cursor_by_charpos(-1);
        return;
    case Qt::Key_Right:
        m_ascii_mode ? move_cursor_by_address(1) : move_cursor_by_charpos(1);
        return;
    case Qt::Key_Up:
        move_cursor_by_address(-row_bytes());
        return;
    case Qt::Key_Down:
        move_cursor_by_address(row_bytes());
        return;
    case Qt::Key_PageUp:
        move_cursor_by_address(-row_bytes() * page_rows);
        return;
    case Qt::Key_PageDown:
        move_cursor_by_address(row_bytes() * page_rows);
        return;
    default:
        break;
    }
    const QString text = event->text();
    if (text.length() != 1) {
        event->ignore();
        return;
    }
    const QChar typed = text[0];
    const ushort character = typed.unicode();
    if (m_ascii_mode) {
        if (character < 1 || character > 255) {
            event->ignore();
            return;
        }
        const uint8_t byte = uint8_t(character);
        m_page->write(m_cursor_address, &byte, 1);
        repaint_cursor_cells();
        move_cursor_by_address(1);
        return;
    }
    const int digit = character < 128 ? QStringLiteral("0123456789abcdef").indexOf(typed.toLower()) : -1;
    if (digit < 0) {
        event->ignore();
        return;
    }
    const int shift = 8 * m_element_width - 4 - 4 * m_cursor_nibble;
    uint32_t value = m_page->read_value(m_cursor_address);
    value = (value & ~(0xfu << shift)) | (uint32_t(digit) << shift);
    m_page->write_value(m_cursor_address, value);
    move_cursor_by_charpos(1);
}

void QHexEdit::move_cursor_to_point(QPoint viewport_position)
{
    if (!m_page)
        return;
    const QPoint point = viewport_position + QPoint(horizontalScrollBar()->value(), verticalScrollBar()->value());
    const int row = qMax(0, point.y() / m_line_height);
    const int column = qMax(0, point.x() / m_character_width);
    int64_t address = int64_t(m_start) + int64_t(row_bytes()) * row;
    // Columns right of a row's last item stay on that item rather than
    // running into the next row.
    if (column >= ascii_start_column()) {
        set_ascii_mode(true);
        address += qMin(column - ascii_start_column(), row_bytes() - 1);
    } else if (column >= hex_start_column()) {
        set_ascii_mode(false);
        address += m_element_width * qMin((column - hex_start_column()) / (2 * m_element_width + 1),
                                          m_items_per_row - 1);
    }
    // Past the last byte the cursor stops on it, as the keys stop it.
    address = std::clamp<int64_t>(address, m_start, last_address());
    move_cursor_by_address(int(address - int64_t(m_cursor_address)));
}

void QHexEdit::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        move_cursor_to_point(event->pos());
}

void QHexEdit::mouseMoveEvent(QMouseEvent *event)
{
    if (!(event->buttons() & Qt::LeftButton) || !m_page)
        return;
    if (!m_dragging) {
        m_dragging = true;
        m_drag_anchor = m_cursor_address;
    }
    move_cursor_to_point(event->pos());
    if (m_drag_anchor == m_cursor_address)
        selection_clear();
    else
        selection_set(std::min(m_drag_anchor, m_cursor_address), std::max(m_drag_anchor, m_cursor_address));
}

void QHexEdit::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    move_cursor_to_point(event->pos());
    m_dragging = false;
}

void QHexEdit::contextMenuEvent(QContextMenuEvent *) {}

void QHexEdit::changeEvent(QEvent *event)
{
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::EnabledChange)
        lay_out();
}

void QHexEdit::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    update_scroll_bars();
}

QSize QHexEdit::sizeHint() const
{
    const QSize contents = contents_size();
    QSize hint(contents.width() + 2 * frameWidth(), contents.height());
    if (hint.height() > kMaxHintHeight) {
        hint.setHeight(kMaxHintHeight);
        hint.rwidth() += kScrollBarAllowance;
    }
    return hint;
}

QSize QHexEdit::minimumSizeHint() const
{
    return sizeHint();
}
