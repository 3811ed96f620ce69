#include "widgets/graph/qgraphregion.h"

#include <QFontMetrics>
#include <QWidget>
#include <algorithm>
#include <cmath>

QGraphRegion::QGraphRegion(QWidget *owner, int flags) : QObject(owner), m_owner(owner), m_flags(flags)
{
    update_font();
}

void QGraphRegion::update_font()
{
    if (!m_owner)
        return;
    const QFontMetrics metrics = m_owner->fontMetrics();
    m_font_leading = metrics.leading();
    m_font_height = metrics.height();
    m_font_ascent = metrics.ascent();
    m_font_descent = metrics.descent();
    m_zero_width = metrics.horizontalAdvance(QLatin1Char('0'));
}

void QGraphRegion::repaint()
{
    if (m_owner && !m_rect.isEmpty())
        m_owner->update(m_rect);
}

void QGraphRegion::set_color(const QColor &color)
{
    m_color = color;
    repaint();
}

void QGraphRegion::scroll_by_pixels(int) {}

void QGraphRegion::scale_by_pixels(int) {}

void QGraphRegion::double_click_action() {}

void QGraphRegion::set_geometry(const QRect &rect)
{
    if (rect == m_rect)
        return;
    const bool resized = rect.size() != m_rect.size();
    m_rect = rect;
    if (resized)
        relayout();
}

// Repaints are deferred by the owner, so the region never shows at both places.
void QGraphRegion::scroll_by(int dx, int dy)
{
    repaint();
    m_rect.translate(dx, dy);
    repaint();
}

void QGraphRegion::set_name(const QString &name)
{
    m_name = name;
}

void QGraphRegion::set_label(const QString &label)
{
    m_label = label;
}

bool QGraphRegion::is_selected() const
{
    return m_selected;
}

void QGraphRegion::set_selected(bool selected)
{
    if (!has_flag(Selectable) || selected == m_selected)
        return;
    m_selected = selected;
    repaint();
}

void QGraphRegion::set_active(bool active)
{
    if (active == m_active)
        return;
    m_active = active;
    emit activity_changed();
}

void QGraphRegion::set_mode(bool mode)
{
    m_mode = mode;
}

void QGraphRegion::set_current(bool current)
{
    m_current = current;
    repaint();
}

void QGraphRegion::set_z(int z)
{
    m_z = z;
}

void QGraphRegion::relayout()
{
    repaint();
}

SampleRing::SampleRing(int columns)
{
    int capacity = 16;
    while (capacity <= columns)
        capacity *= 2;
    m_values.assign(size_t(capacity), 0.0);
    m_mask = capacity - 1;
}

int SampleRing::count() const
{
    const int count = m_write - m_read;
    return count < 0 ? count + capacity() : count;
}

void SampleRing::append(double value)
{
    m_values[size_t(m_write)] = value;
    m_write = (m_write + 1) & m_mask;
    if (m_write == m_read)
        m_read = (m_read + 1) & m_mask;
}

double SampleRing::at(int i) const
{
    if (m_values.empty() || i < 0 || i >= count())
        return 0.0;
    return m_values[size_t((m_read + i) & m_mask)];
}

bool SampleRing::first(double &value)
{
    m_cursor = m_read;
    if (is_empty())
        return false;
    value = m_values[size_t(m_cursor)];
    return true;
}

bool SampleRing::next(double &value)
{
    if (m_cursor == m_write)
        return false;
    m_cursor = (m_cursor + 1) & m_mask;
    if (m_cursor == m_write)
        return false;
    value = m_values[size_t(m_cursor)];
    return true;
}

void SampleRing::back(int n)
{
    for (; n > 0 && m_cursor != m_read; --n)
        m_cursor = (m_cursor - 1) & m_mask;
}

void SampleRing::drop_front(int n)
{
    const int dropped = std::min(std::max(n, 0), count());
    m_read = (m_read + dropped) & m_mask;
}

void SampleRing::reset()
{
    m_read = m_write = m_cursor = 0;
}

double graph_nice_step(double x)
{
    double value = std::fabs(x);
    if (value == 0.0 || !std::isfinite(value))
        return 1.0;
    double factor = 1.0;
    while (value > 10.0) {
        value /= 10.0;
        factor *= 10.0;
    }
    while (value < 1.0) {
        value *= 10.0;
        factor /= 10.0;
    }
    // Scaling by ten leaves rounding dust (0.2 becomes 2.0000000000000004):
    // a candidate that equal within it is taken.
    static const double candidates[] = {1.0, 2.0, 2.5, 5.0, 7.5, 10.0};
    for (double candidate : candidates) {
        if (candidate - value >= -1e-9 * candidate)
            return candidate * factor;
    }
    return 10.0 * factor;
}

void graph_label_format(double x, int &width, int &decimals)
{
    width = 3;
    decimals = 0;
    if (x < 0.0) {
        ++width;
        x = -x;
    }
    if (x >= 1.0) {
        int digits = 1;
        for (double rest = x; rest >= 10.0 && digits < 9; rest /= 10.0)
            ++digits;
        width += digits;
    } else if (x > 0.0) {
        int digits = 0;
        for (double rest = x; rest < 1.0 - 1e-9 && digits < 9; rest *= 10.0)
            ++digits;
        decimals = digits;
        width += digits;
    }
}

int graph_max3(int a, int b, int c)
{
    return std::max(a, std::max(b, c));
}
