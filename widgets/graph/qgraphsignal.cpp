#include "widgets/graph/qgraphsignal.h"

#include "widgets/graph/qgraphaxis.h"
#include "widgets/graph/qgraphlegend.h"

#include <QPainter>
#include <QVarLengthArray>
#include <QWidget>
#include <algorithm>
#include <cmath>

namespace {

// Pixel rows far outside the plot are clipped anyway; the limit keeps the
// conversion to int defined for any value.
int pixel_row(double y)
{
    return int(std::lround(std::max(-1.0e6, std::min(1.0e6, y))));
}

} // namespace

void graph_widen_empty_span(double &maximum, double &minimum)
{
    if (maximum > minimum)
        return;
    const double value = (maximum + minimum) / 2.0;
    const double half = std::max(1.0, std::fabs(value) * 0.1);
    maximum = value + half;
    minimum = value - half;
}

QGraphSignal::QGraphSignal(QWidget *owner, const QString &name, const QString &unit)
    : QGraphRegion(owner, ClickMakesCurrent | Selectable | DoubleClickAction | HitTestsSignals | RubberBandStart)
{
    set_name(name);
    set_label(unit);
}

void QGraphSignal::clear()
{
    m_samples.reset();
    m_first_time = 0.0;
    m_last_time = 0.0;
}

void QGraphSignal::refetch()
{
    m_samples.reset();
    m_first_new_column = -1;
    fetch(false, true);
}

void QGraphSignal::set_previous_sample(double time, double value)
{
    m_previous_time = time;
    m_previous_value = value;
}

void QGraphSignal::set_draw_mode(int mode)
{
    if (mode < ContinuousLine || mode > Dots || mode == m_draw_mode)
        return;
    m_draw_mode = mode;
    repaint();
}

void QGraphSignal::set_y_limits(double maximum, double minimum)
{
    m_y_maximum = maximum;
    m_y_minimum = minimum;
}

void QGraphSignal::set_data_limits(double maximum, double minimum)
{
    m_data_maximum = maximum;
    m_data_minimum = minimum;
}

double QGraphSignal::value_at(double time) const
{
    if (!m_x_axis || m_samples.capacity() == 0 || m_x_axis->time_per_pixel() == 0.0)
        return 0.0;
    const double column = std::floor((time - m_x_axis->minimum()) / m_x_axis->time_per_pixel());
    // Samples are sparser than pixel columns: the signal holds its last
    // sample until the next one, so the value at a time is that of the
    // newest sample at or before it.
    if (!(column >= 0.0))
        return time >= m_previous_time ? m_previous_value : no_value;
    for (int i = int(std::min(column, double(m_samples.count() - 1))); i >= 0; --i) {
        const double value = m_samples.at(i);
        if (value != no_value)
            return value;
    }
    return m_previous_value;
}

void QGraphSignal::compute_limits()
{
    bool found = false;
    const int count = m_samples.count();
    for (int i = 0; i < count; ++i) {
        const double value = m_samples.at(i);
        if (value == no_value)
            continue;
        if (!found) {
            m_data_minimum = m_data_maximum = value;
            found = true;
        } else {
            m_data_minimum = std::min(m_data_minimum, value);
            m_data_maximum = std::max(m_data_maximum, value);
        }
    }
    if (!found) {
        m_data_minimum = m_y_minimum;
        m_data_maximum = m_y_maximum;
    }
}

void QGraphSignal::hit_test(GraphHit &hit)
{
    if (!m_x_axis || !m_y_axis)
        return;
    const double span = m_y_axis->maximum() - m_y_axis->minimum();
    if (span <= 0.0)
        return;
    const double scale = m_rect.height() / span;
    const double y_minimum = m_y_axis->minimum();
    const double bottom = m_rect.bottom();
    const double mouse_x = hit.mouse_x;
    const double mouse_y = hit.mouse_y;
    const double time_per_pixel = m_x_axis->time_per_pixel();
    auto time_of = [&](double x) { return (x - m_x_axis->rect().left()) * time_per_pixel + m_x_axis->minimum(); };
    auto take = [&](double distance, double x, double y, double value) {
        hit.best_distance = distance;
        hit.hit_signal = this;
        hit.hit_time = time_of(x);
        hit.hit_value = value;
        hit.hit_x = x;
        hit.hit_y = y;
    };
    const bool lines = m_draw_mode == ContinuousLine || m_draw_mode == ConnectSamples;
    bool have_previous = false;
    double previous_x = 0.0, previous_y = 0.0, previous_value = 0.0;
    const int count = m_samples.count();
    for (int i = 0; i < count; ++i) {
        const double value = m_samples.at(i);
        if (value == no_value)
            continue;
        const double x = m_rect.left() + i;
        const double y = bottom - (value - y_minimum) * scale;
        const double distance = std::hypot(x - mouse_x, y - mouse_y);
        if (!hit.hit_signal || distance < hit.best_distance)
            take(distance, x, y, value);
        if (lines && have_previous) {
            // The mouse projected onto the segment from the previous point.
            const double dx = x - previous_x, dy = y - previous_y;
            const double length2 = dx * dx + dy * dy;
            if (length2 > 0.0) {
                const double t = ((mouse_x - previous_x) * dx + (mouse_y - previous_y) * dy) / length2;
                if (t >= 0.0 && t <= 1.0) {
                    const double px = previous_x + t * dx, py = previous_y + t * dy;
                    const double on_segment = std::hypot(px - mouse_x, py - mouse_y);
                    if (on_segment < hit.best_distance)
                        take(on_segment, px, py, previous_value + t * (value - previous_value));
                }
            }
        }
        have_previous = true;
        previous_x = x;
        previous_y = y;
        previous_value = value;
    }
}

bool QGraphSignal::is_selected() const
{
    return m_legend ? m_legend->is_selected() : QGraphRegion::is_selected();
}

void QGraphSignal::set_selected(bool selected)
{
    QGraphRegion::set_selected(selected);
    if (m_own_y_axis)
        m_own_y_axis->set_selected(selected);
    if (m_legend)
        m_legend->set_selected(selected);
}

void QGraphSignal::set_active(bool active)
{
    const bool switched_on = active && !m_active;
    QGraphRegion::set_active(active);
    if (switched_on)
        refetch();
}

void QGraphSignal::relayout()
{
    if (m_rect.width() > m_samples.capacity() - 1)
        m_samples = SampleRing(m_rect.width());
    refetch();
    QGraphRegion::relayout();
}

void QGraphSignal::double_click_action()
{
    emit show_properties_dialog(this);
}

void QGraphSignal::paint(QPainter &painter, const QRect &area)
{
    if (!m_y_axis || m_samples.is_empty())
        return;
    const double span = m_y_axis->maximum() - m_y_axis->minimum();
    if (span <= 0.0)
        return;
    const double scale = m_rect.height() / span;
    const double y_minimum = m_y_axis->minimum();
    const double bottom = m_rect.bottom();
    auto row = [&](double value) { return pixel_row(bottom - (value - y_minimum) * scale); };
    const int left = m_rect.left();
    const int count = std::min(m_samples.count(), m_rect.width());
    // The last sample left of the area starts the walk, so that the line into
    // the area is drawn.
    const int from = std::max(0, area.left() - 3 - left);
    const int to = std::min(count - 1, area.right() + 4 - left);
    int first = from;
    for (int i = std::min(from, count - 1); i >= 0; --i) {
        if (m_samples.at(i) != no_value) {
            first = i;
            break;
        }
    }
    painter.save();
    painter.setClipRect(m_rect & area);
    painter.setPen(m_color);
    QVarLengthArray<QLine, 4096> lines;
    auto cross = [&](int x, int y) {
        lines.append(QLine(x - 2, y, x + 2, y));
        lines.append(QLine(x, y - 2, x, y + 2));
    };
    const int zero_row = row(0.0);
    int x = -1, y = 0;
    bool reached_beyond_area = false;
    for (int i = first; i <= to || (x >= 0 && i < count); ++i) {
        const double value = m_samples.at(i);
        if (value == no_value)
            continue;
        const int x2 = left + i, y2 = row(value);
        if (x < 0) {
            // Into the first sample from the one before the visible range.
            if (i == first && first == 0 && m_previous_value != no_value && m_previous_time != no_value) {
                const int y0 = row(m_previous_value);
                if (m_draw_mode == Digital) {
                    lines.append(QLine(left, y0, left, y2));
                } else if (m_draw_mode != Bars && m_draw_mode != Dots) {
                    lines.append(QLine(left, y0, x2, y2));
                }
            }
        } else {
            switch (m_draw_mode) {
            case ConnectSamples:
                cross(x, y);
                [[fallthrough]];
            case ContinuousLine:
                lines.append(QLine(x, y, x2, y2));
                break;
            case Digital:
                cross(x, y);
                lines.append(QLine(x, y, x, y2));
                lines.append(QLine(x, y2, x2, y2));
                break;
            case Bars:
                lines.append(QLine(x, zero_row, x, y));
                break;
            default:
                cross(x, y);
                break;
            }
        }
        x = x2;
        y = y2;
        if (i > to) {
            reached_beyond_area = true;
            break;
        }
    }
    // The last sample has no successor: only its own mark.
    if (x >= 0 && !reached_beyond_area) {
        if (m_draw_mode == Bars)
            lines.append(QLine(x, zero_row, x, y));
        else if (m_draw_mode != ContinuousLine)
            cross(x, y);
    }
    painter.drawLines(lines.constData(), lines.size());
    painter.restore();
}
