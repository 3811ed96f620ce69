#include "widgets/gauges/qtbar.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>
#include <cmath>

QtBar::QtBar(QWidget *parent, const QString &name, Qt::WindowFlags flags, int orientation)
    : QtScale(parent, name, flags), m_vertical(orientation == Vertical)
{
    m_rim_width = 2;
    m_scale_line_width = 1;
    compute_auto_scale();
    render_face();
}

QRect QtBar::bar_area() const
{
    const QPoint origin(m_left + m_rim_width, m_top + m_rim_width);
    return m_vertical ? QRect(origin, QSize(m_thickness, m_length)) : QRect(origin, QSize(m_length, m_thickness));
}

void QtBar::compute_auto_scale()
{
    // A vertical bar aims at one label per two lines of its height.
    auto_scale(m_vertical ? height() / (2 * QFontMetrics(font()).height()) : 40);
}

void QtBar::build_labels()
{
    build_scale_labels(m_vertical ? QString() : QStringLiteral("  "), true);
}

void QtBar::layout_face()
{
    const QFontMetrics metrics(font());
    const int line = metrics.height();
    const int rim = m_rim_width;
    m_left = m_right = m_top = m_bottom = 0;
    int free_height = height() - 2 * rim;
    int free_width = width() - 2 * rim;
    m_thickness = 10;
    if (m_vertical) {
        m_top = line / 2;
        m_bottom = line / 2 + (text().isEmpty() ? 0 : line);
        free_width -= m_label_extent + m_tick_length + m_thickness;
        m_length = free_height - m_bottom - m_top;
        if (m_length < 1) {
            m_top = m_bottom = 0;
            m_length = 1;
        }
    } else {
        m_left = m_right = m_label_extent / 2;
        m_bottom = text().isEmpty() ? 0 : line;
        free_height -= m_tick_length + m_thickness + line;
        m_length = free_width - m_right - m_left;
        if (m_length < 1) {
            m_left = m_right = 0;
            m_length = 1;
        }
    }
    m_pixels_per_unit = per_value_unit(m_length);
    m_labels_shown = paintLabels() && free_width >= 0 && free_height >= 0;
    for (Label &label : m_labels) {
        if (!m_labels_shown) {
            label.rect = QRect();
            continue;
        }
        const int offset = round_pixel((label.value - rangeMin()) * m_pixels_per_unit);
        if (m_vertical)
            label.rect = QRect(m_tick_length + 2 * rim + m_left + m_thickness,
                               label.size.height() / 2 - offset + (m_length + rim + m_top) - metrics.descent(),
                               label.size.width(), label.size.height());
        else
            label.rect = QRect(offset - label.size.width() / 2 + m_left + rim,
                               line + 2 * rim + m_top + m_thickness + m_tick_length, label.size.width(),
                               label.size.height());
    }
}

void QtBar::draw_frame(QPainter *painter)
{
    const int x0 = m_left;
    const int y0 = m_top;
    const int fw = m_vertical ? m_thickness + 2 * m_rim_width - 1 : m_length + 2 * m_rim_width;
    const int fh = m_vertical ? m_length + 2 * m_rim_width : m_thickness + 2 * m_rim_width - 1;
    const QPen dark(palette().color(QPalette::Dark), 0);
    const QPen light(palette().color(QPalette::Light), 0);
    for (int i = 0; i < m_rim_width; ++i) {
        painter->setPen(dark);
        painter->drawLine(x0 + i, y0 + fh - i, x0 + i, y0 + i);
        painter->drawLine(x0 + i, y0 + i, x0 + fw - i, y0 + i);
        painter->setPen(light);
        painter->drawLine(x0 + fw - i, y0 + i, x0 + fw - i, y0 + fh - i);
        painter->drawLine(x0 + fw - i, y0 + fh - i, x0 + i, y0 + fh - i);
    }
}

void QtBar::draw_caption(QPainter *painter)
{
    if (text().isEmpty() || m_bottom < 1)
        return;
    const QFontMetrics metrics(font());
    painter->setPen(palette().color(QPalette::WindowText));
    painter->drawText((width() - metrics.horizontalAdvance(text())) / 2, height() - metrics.descent(), text());
}

void QtBar::draw_scale(QPainter *painter)
{
    if (!paintScale() && !paintLabels())
        return;
    const int rim = m_rim_width;
    const QColor foreground = palette().color(QPalette::WindowText);
    if (paintScale()) {
        painter->setPen(QPen(foreground, m_scale_line_width));
        if (m_vertical && width() - 2 * rim - m_thickness - m_tick_length >= 0) {
            const int x = m_left + 2 * rim + m_thickness;
            painter->drawLine(x, m_top + rim, x, m_top + rim + m_length);
            for (const Label &label : m_labels) {
                const int y = round_pixel(m_length - (label.value - rangeMin()) * m_pixels_per_unit) + m_top + rim;
                painter->drawLine(x, y, x + m_tick_length, y);
            }
        } else if (!m_vertical && height() - 2 * rim - m_thickness - m_tick_length >= 0) {
            const int y = m_top + 2 * rim + m_thickness;
            painter->drawLine(m_left + rim, y, m_left + rim + m_length, y);
            for (const Label &label : m_labels) {
                const int x = round_pixel((label.value - rangeMin()) * m_pixels_per_unit) + m_left + rim;
                painter->drawLine(x, y, x, y + m_tick_length);
            }
        }
    }
    if (!m_labels_shown)
        return;
    painter->setPen(foreground);
    for (const Label &label : m_labels)
        painter->drawText(label.rect.left(), label.rect.top(), label.text);
}

void QtBar::render_face()
{
    QPainter painter;
    begin_face(painter);
    draw_frame(&painter);
    draw_background_image(&painter);
    draw_caption(&painter);
    draw_scale(&painter);
    painter.end();
    install_face();
}

void QtBar::paint_moving_part(QPainter &painter)
{
    // An empty range has no bar.
    if (m_pixels_per_unit == 0.0)
        return;
    const double low = std::min(rangeMin(), rangeMax());
    const double high = std::max(rangeMin(), rangeMax());
    if (!(m_value >= low && m_value <= high)) {
        painter.fillRect(bar_area(), Qt::red);
        return;
    }
    // The bar grows from the value 0, or from the range's end nearest to 0.
    const double k = m_pixels_per_unit;
    int start = int(0.5 - k * rangeMin());
    int size = int(m_value * k + 0.5);
    if (rangeMin() > 0) {
        start = 0;
        size = int((m_value - rangeMin()) * k + 0.5);
    } else if (rangeMax() < 0) {
        size = std::abs(int((m_value - rangeMax()) * k + 0.5));
        start = m_length - size;
    }
    if (size < 0) {
        size = -size;
        start -= size;
    }
    const int rim = m_rim_width;
    const QRect bar = m_vertical ? QRect(m_left + rim, m_top + m_length - size - start + rim, m_thickness, size)
                                 : QRect(m_left + rim + start, m_top + rim, size, m_thickness);
    painter.fillRect(bar, Qt::darkBlue);
}

QtXyIndicator::QtXyIndicator(QWidget *parent, const QString &name, Qt::WindowFlags flags)
    : QtScale(parent, name, flags)
{
    render_face();
}

namespace {

// Position of a value on an axis of the given length; pinned to the ends
// outside the range, 0 on an empty range.
int axis_position(double value, double minimum, double maximum, int length)
{
    if (value <= minimum)
        return 0;
    if (value >= maximum)
        return length;
    const double position = (value - minimum) / (maximum - minimum) * length + 0.5;
    if (!std::isfinite(position))
        return 0;
    return std::clamp(int(position), 0, length);
}

} // namespace

QPoint QtXyIndicator::dot_position() const
{
    return QPoint(axis_position(m_value, rangeMin(), rangeMax(), width()),
                  height() - axis_position(m_y_value, m_y_min, m_y_max, height()));
}

void QtXyIndicator::setYValue(double value)
{
    if (value == m_y_value || std::isnan(value))
        return;
    m_y_value = value;
    render_face();
}

void QtXyIndicator::setYRange(double minimum, double maximum)
{
    if (minimum == m_y_min && maximum == m_y_max)
        return;
    m_y_min = minimum;
    m_y_max = maximum;
    // The dot's place depends on the range: the face is rendered anew.
    render_face();
}

void QtXyIndicator::render_face()
{
    QPainter painter;
    begin_face(painter);
    const int w = width();
    const int h = height();
    painter.fillRect(rect(), Qt::black);
    painter.setPen(Qt::green);
    painter.drawLine(w / 2, 0, w / 2, h);
    painter.drawLine(0, h / 2, w, h / 2);
    const QPoint dot = dot_position();
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::red);
    painter.drawEllipse(QRect(dot.x() - 5, dot.y() - 5, 10, 10));
    draw_background_image(&painter);
    painter.end();
    install_face();
}
