#include "windows/base/vyr_record_list_view.h"

#include "windows/base/header_column_fit.h"
#include "windows/base/header_tool_tip.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFile>
#include <QFontMetricsF>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStandardItemModel>
#include <QTextStream>

#include <algorithm>
#include <cmath>

VyrRecordListView::VyrRecordListView(QWidget *parent, const char *header_name) : QAbstractScrollArea(parent)
{
    // A metric-compatible mono font stands in where "Courier New" is missing.
    m_font = QFont(QStringLiteral("Courier New"), 10);
    m_font.setStyleHint(QFont::TypeWriter);
    viewport()->setFocusPolicy(Qt::StrongFocus);
    viewport()->setBackgroundRole(QPalette::Base);

    m_header_model = new QStandardItemModel(0, 0, this);
    m_header = new QHeaderView(Qt::Horizontal, this);
    m_header->setObjectName(QString::fromLatin1(header_name));
    m_header->setModel(m_header_model);
    m_header->setSectionsMovable(true);
    m_header->setSectionsClickable(true);
    m_header->setSectionResizeMode(QHeaderView::Interactive);
    m_header->setStretchLastSection(false);
    m_header->setMinimumSectionSize(0);
    m_header_tips = new HeaderToolTip(m_header);
    m_fit = new HeaderColumnFit(m_header, 1);
    update_font_metrics();
    connect(m_header, &QHeaderView::sectionResized, this, &VyrRecordListView::header_size_changed);
    // The widths and the order the user gives the columns are kept with the
    // window; the list's own fitting is not.
    connect(m_fit, &HeaderColumnFit::resized_by_user, this, &VyrRecordListView::configuration_changed);
    connect(m_header, &QHeaderView::sectionMoved, this, [this] {
        viewport()->update();
        emit configuration_changed();
    });
    connect(m_header, &QHeaderView::sectionClicked, this, &VyrRecordListView::header_clicked);
}

VyrRecordListView::~VyrRecordListView() = default;

// --- Font and header -----------------------------------------------------------------------------

void VyrRecordListView::update_font_metrics()
{
    viewport()->setFont(m_font);
    const QFontMetrics metrics(m_font);
    m_descent = metrics.descent();
    m_row_height = std::max(1, metrics.descent() + metrics.height());
    // Rounded up, so that a text of n characters never runs past n widths.
    m_char_width = std::max(1, int(std::ceil(QFontMetricsF(m_font).horizontalAdvance(QLatin1Char('0')))));
    m_fit->set_char_width(m_char_width);
}

int VyrRecordListView::font_size() const
{
    return m_font.pointSize();
}

void VyrRecordListView::set_font_size(int points)
{
    m_font.setPointSize(points);
    update_font_metrics();
    update_scroll_ranges();
    viewport()->update();
}

int VyrRecordListView::section_chars(int section) const
{
    return m_header->sectionSize(section) / m_char_width;
}

void VyrRecordListView::header_clicked(int) {}

void VyrRecordListView::header_size_changed()
{
    update_scroll_ranges();
    update_geometry();
    viewport()->update();
}

void VyrRecordListView::update_geometry()
{
    const int header_height = m_header->sizeHint().height();
    setViewportMargins(0, header_height, 0, 0);
    const QRect area = contentsRect();
    m_header->setGeometry(area.left(), area.top(), viewport()->width(), header_height);
}

void VyrRecordListView::contents_moving(int x, int)
{
    m_header->setOffset(x);
}

// --- Scrolling -----------------------------------------------------------------------------------

void VyrRecordListView::update_scroll_ranges()
{
    int width = 0;
    for (int i = 0; i < m_header->count(); ++i)
        width += m_header->sectionSize(i);
    horizontalScrollBar()->setRange(0, std::max(0, width - viewport()->width()));
    horizontalScrollBar()->setPageStep(viewport()->width());
    horizontalScrollBar()->setSingleStep(m_char_width);
    verticalScrollBar()->setRange(0, std::max(0, contents_height() - viewport()->height()));
    verticalScrollBar()->setPageStep(viewport()->height());
    verticalScrollBar()->setSingleStep(m_row_height);
}

void VyrRecordListView::scroll_to_bottom()
{
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}

void VyrRecordListView::scrollContentsBy(int dx, int dy)
{
    viewport()->scroll(dx, dy);
    contents_moving(horizontalScrollBar()->value(), verticalScrollBar()->value());
}

void VyrRecordListView::resizeEvent(QResizeEvent *event)
{
    QScrollBar *bar = verticalScrollBar();
    const int from_bottom = bar->maximum() - bar->value();
    QAbstractScrollArea::resizeEvent(event);
    header_size_changed();
    if (bottom_anchored())
        bar->setValue(bar->maximum() - from_bottom);
}

bool VyrRecordListView::viewportEvent(QEvent *event)
{
    // The viewport changes its width with the window and with the vertical
    // scroll bar: the header follows it, and a last column that fills the
    // width to its edge.
    if (event->type() == QEvent::Resize) {
        update_geometry();
        m_fit->fit();
    }
    return QAbstractScrollArea::viewportEvent(event);
}

// --- Painting ------------------------------------------------------------------------------------

void VyrRecordListView::paintEvent(QPaintEvent *event)
{
    QPainter painter(viewport());
    const QRect exposed = event->rect();
    painter.fillRect(exposed, palette().base());
    painter.setFont(m_font);
    const int y_offset = verticalScrollBar()->value();
    // Rows whose band meets the exposed area.
    const long long first = std::max(0, exposed.top() + y_offset) / m_row_height + 1;
    const long long last = std::min<long long>(row_count(), (exposed.bottom() + y_offset) / m_row_height + 1);
    if (first <= last)
        paint_rows(painter, first, last);
    // Texts the rows cut, a longer title, the last column to the edge.
    m_fit->fit_later();
}

void VyrRecordListView::paint_row(QPainter &painter, long long row, const RowLook &look,
                                  const std::function<QString(int)> &cell_text,
                                  const std::function<int(int)> &needed_chars)
{
    const int top = row_top(row) - verticalScrollBar()->value();
    const int x_offset = horizontalScrollBar()->value();
    const int contents_width = horizontalScrollBar()->maximum() + viewport()->width();
    const QRect band(-x_offset, top, contents_width, m_row_height);
    painter.fillRect(band, look.selected ? palette().highlight() : look.background);
    QColor text = look.text;
    if (!text.isValid())
        text = palette().color(look.selected ? QPalette::HighlightedText : QPalette::WindowText);
    painter.setPen(text);
    const int baseline = top + m_row_height - m_descent;
    for (int section = 0; section < m_header->count(); ++section) {
        painter.drawText(m_header->sectionPosition(section) - x_offset + cell_indent(section), baseline,
                         cell_text(section));
        // A section of width 0 is a column the user switched off.
        if (m_header->sectionSize(section) > 0)
            m_fit->need_chars(section, needed_chars(section));
    }
    if (m_cursor_shown && cursor_pos_of_row(row) == m_cursor_pos) {
        painter.setPen(QPen(palette().color(look.selected ? QPalette::Window : QPalette::WindowText), 1, Qt::DotLine));
        painter.drawRect(QRect(band.left(), top, contents_width - 1, m_row_height - 1));
    }
}

// --- Cursor and selection ------------------------------------------------------------------------

void VyrRecordListView::set_cursor_pos(long long pos)
{
    pos = row_count() > 0 ? std::clamp(pos, first_cursor_pos(), last_cursor_pos()) : 0;
    if (pos == m_cursor_pos)
        return;
    m_cursor_pos = pos;
    if (pos > 0) {
        // Half a row of the neighbours shows around a row scrolled into view.
        const int top = row_top(pos - last_cursor_pos() + row_count());
        QScrollBar *bar = verticalScrollBar();
        const int visible = viewport()->height();
        if (top < bar->value())
            bar->setValue(top - m_row_height / 2);
        else if (top + m_row_height > bar->value() + visible)
            bar->setValue(top + m_row_height + m_row_height / 2 - visible);
    }
    viewport()->update();
    cursor_moved();
    emit cursor_position_changed();
}

long long VyrRecordListView::cursor_pos_at(int y) const
{
    if (y < 0 || y >= contents_height())
        return 0;
    // Counted from the bottom row, which holds the last position.
    return last_cursor_pos() - (contents_height() - 1 - y) / m_row_height;
}

void VyrRecordListView::set_cursor_pos_by_mouse(int y)
{
    if (const long long pos = cursor_pos_at(y); pos >= 1)
        set_cursor_pos(pos);
}

void VyrRecordListView::toggle_selection_on_cursor_pos()
{
    if (!m_cursor_shown || m_cursor_pos < first_cursor_pos() || m_cursor_pos > last_cursor_pos())
        return;
    toggle_selection(m_cursor_pos);
    viewport()->update();
}

void VyrRecordListView::cursor_on(bool on)
{
    m_cursor_shown = on;
    viewport()->update();
}

void VyrRecordListView::move_cursor(long long pos, bool toggle_left_row)
{
    if (toggle_left_row && selection_editable())
        toggle_selection_on_cursor_pos();
    set_cursor_pos(pos);
}

void VyrRecordListView::keyPressEvent(QKeyEvent *event)
{
    const long long rows_per_page = std::max(1, viewport()->height() / m_row_height);
    const bool shift = event->modifiers() & Qt::ShiftModifier;
    switch (event->key()) {
    case Qt::Key_Space:
        if (selection_editable())
            toggle_selection_on_cursor_pos();
        break;
    case Qt::Key_Home:
        move_cursor(first_cursor_pos(), shift);
        break;
    case Qt::Key_End:
        move_cursor(last_cursor_pos(), shift);
        break;
    case Qt::Key_Up:
        move_cursor(m_cursor_pos - 1, shift);
        break;
    case Qt::Key_Down:
        move_cursor(m_cursor_pos + 1, shift);
        break;
    case Qt::Key_PageUp:
        move_cursor(m_cursor_pos - rows_per_page, shift);
        break;
    case Qt::Key_PageDown:
        move_cursor(m_cursor_pos + rows_per_page, shift);
        break;
    default:
        QAbstractScrollArea::keyPressEvent(event);
    }
}

void VyrRecordListView::mousePressEvent(QMouseEvent *event)
{
    viewport()->setFocus();
    // Below the last row the cursor stays and nothing is selected.
    const int y = event->pos().y() + verticalScrollBar()->value();
    if (event->button() == Qt::LeftButton && cursor_pos_at(y) >= 1) {
        set_cursor_pos_by_mouse(y);
        if (!(event->modifiers() & Qt::ControlModifier) && selection_editable())
            toggle_selection_on_cursor_pos();
    } else if (event->button() == Qt::RightButton) {
        set_cursor_pos_by_mouse(y);
        m_menu_asked_by_press = true;
        emit show_context_menu(event->globalPos());
    }
}

void VyrRecordListView::mouseReleaseEvent(QMouseEvent *event)
{
    m_menu_asked_by_press = false;
    QAbstractScrollArea::mouseReleaseEvent(event);
}

void VyrRecordListView::contextMenuEvent(QContextMenuEvent *event)
{
    const bool asked = m_menu_asked_by_press && event->reason() == QContextMenuEvent::Mouse;
    m_menu_asked_by_press = false;
    if (!asked)
        emit show_context_menu(event->globalPos());
    event->accept();
}

// --- Export --------------------------------------------------------------------------------------

QString VyrRecordListView::export_text(bool selected_only)
{
    QString text;
    QTextStream out(&text);
    write_text(out, selected_only);
    out.flush();
    return text;
}

void VyrRecordListView::copy_selected_messages_to_clipboard()
{
    QApplication::clipboard()->setText(export_text(true));
}

void VyrRecordListView::copy_all_messages_to_clipboard()
{
    QApplication::clipboard()->setText(export_text(false));
}

bool VyrRecordListView::copy_all_messages_to_file(const QString &file_name)
{
    QFile file(file_name);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(export_text(false).toUtf8()) < 0) {
        QMessageBox::warning(this, tr("Error"), tr("Unable to write file '%1'").arg(file_name));
        return false;
    }
    return true;
}
