#include "widgets/graph/qgraphaxis.h"

#include "widgets/graph/qgraphsignal.h"

#include <QPainter>
#include <QWidget>
#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

const int tick_length = 3;
// Pixels a scroll of the running view may copy before the plot is painted
// whole again.
const int max_blit_count = 2000;

// One scale step moves both ends by d in opposite directions. A shrinking
// step stops at a small positive span, so the range never turns over.
double limit_scale_step(double maximum, double minimum, double d)
{
    const double smallest_span = 1e-9 * std::max({1.0, std::fabs(maximum), std::fabs(minimum)});
    const double span = maximum - minimum;
    if (d < 0.0 && span + 2.0 * d < smallest_span)
        d = (smallest_span - span) / 2.0;
    return d;
}

// The lowest multiple of step at or below value (for value >= 0), as the
// ticks count from it.
double tick_base(double value, double step)
{
    return step > 0.0 ? value - std::fmod(value, step) : value;
}

// Label width and decimals that show the first and last tick and the step
// alike: the widest integer part with the most decimals.
void common_label_format(double first, double last, double step, int &width, int &decimals)
{
    int w1, d1, w2, d2, w3, d3;
    graph_label_format(first, w1, d1);
    graph_label_format(last, w2, d2);
    graph_label_format(step, w3, d3);
    decimals = graph_max3(d1, d2, d3);
    width = w1;
    if (w2 > w1)
        width = decimals - d2 + w2 + (decimals > 0 && d2 == 0 ? 1 : 0);
    if (w3 > width)
        width = w3 + decimals - d3 + (decimals > 0 && d3 == 0 ? 1 : 0);
}

// printf's own formatting: it rounds an exact half to even (0.25 to "0.2"),
// where QString::asprintf rounds it up.
template <typename... Arguments> QString c_format(const char *format, Arguments... arguments)
{
    char text[400];
    std::snprintf(text, sizeof text, format, arguments...);
    return QString::fromLatin1(text);
}

} // namespace

QGraphXAxis::QGraphXAxis(QWidget *owner, QtUndoStack *undo_stack)
    : QGraphRegion(owner, ScrollHorizontally | ScaleHorizontally | OwnCursorShape), m_undo_stack(undo_stack)
{
    set_cursor_shape(Qt::SizeHorCursor);
    m_scroll_timer.setSingleShot(true);
    m_scroll_timer.setInterval(100);
    connect(&m_scroll_timer, &QTimer::timeout, this, &QGraphXAxis::deferred_scroll);
}

double QGraphXAxis::tick_value(int i) const
{
    return m_divisions >= 1 ? m_first_tick + i * m_step : 0.0;
}

QString QGraphXAxis::label_text(double value) const
{
    return c_format("%*.*f", m_label_width, m_decimals, value).trimmed();
}

void QGraphXAxis::recalc_ticks()
{
    const int width = m_rect.width();
    const double span = this->span();
    int label_width = m_label_width;
    for (;;) {
        int divisions = std::min(30, width / (label_width * m_zero_width + 10));
        if (span <= 0.0)
            divisions = 0;
        double step = 10.0;
        if (divisions > 0 && m_time_per_division > 0.0) {
            // Whole multiples 1, 2 or 5 of the time per division, the first
            // that leaves no more divisions than there is room for.
            double count = 0.0;
            for (double multiplier : {1.0, 2.0, 5.0}) {
                step = multiplier * m_time_per_division;
                count = std::floor(span / step);
                if (count <= divisions)
                    break;
            }
            // When even five times does not fit, the labels would overlap:
            // the step is then chosen from the room as when none is set.
            if (count == 0.0 || count > divisions)
                step = graph_nice_step(span / divisions);
            else
                divisions = int(count);
        } else if (divisions > 0) {
            step = graph_nice_step(span / divisions);
        }
        m_divisions = divisions;
        m_step = step;
        m_time_per_pixel = width > 0 ? span / width : 0.0;
        m_first_tick = tick_base(m_minimum, step);
        int new_width;
        common_label_format(m_first_tick, tick_base(m_maximum, step), step, new_width, m_decimals);
        m_label_width = new_width + 2;
        if (m_label_width <= label_width)
            break;
        label_width = m_label_width;
    }
}

QRect QGraphXAxis::plot_rect() const
{
    QRect plot;
    for (QGraphSignal *signal : m_signals) {
        if (signal->is_active())
            plot |= signal->rect();
    }
    return plot;
}

void QGraphXAxis::apply_range(double maximum, double minimum)
{
    m_maximum = maximum;
    m_minimum = minimum;
    recalc_ticks();
}

void QGraphXAxis::set_limits(double maximum, double minimum)
{
    const bool changed = maximum != m_maximum || minimum != m_minimum;
    apply_range(maximum, minimum);
    for (QGraphSignal *signal : m_signals)
        signal->refetch();
    if (m_owner)
        m_owner->update(plot_rect());
    repaint();
    if (preferred_height() > m_rect.height())
        emit layout_change_required();
    if (changed)
        emit limits_changed();
}

void QGraphXAxis::set_time_per_division(double time_per_division, int divisions)
{
    m_time_per_division = time_per_division;
    if (time_per_division != 0.0)
        set_limits(m_minimum + divisions * time_per_division, m_minimum);
    else
        set_limits(m_maximum, m_minimum);
}

void QGraphXAxis::set_range(double maximum, double minimum, const QString &description)
{
    if (m_undo_stack)
        m_undo_stack->push(
            new QGraphUndoCommandZoom(description, this, nullptr, m_maximum, m_minimum, maximum, minimum));
    else
        set_limits(maximum, minimum);
}

void QGraphXAxis::scroll_time(double dt)
{
    if (m_time_per_pixel <= 0.0)
        return;
    const double columns = std::trunc(dt / m_time_per_pixel);
    m_minimum += columns * m_time_per_pixel;
    m_maximum += columns * m_time_per_pixel;
    if (columns != 0.0)
        recalc_ticks();
    for (QGraphSignal *signal : m_signals) {
        if (signal->is_active()) {
            signal->set_first_new_column(-1);
            signal->fetch(columns == 0.0, false);
        }
    }
    // On a step of less than a pixel the signals paint their new samples themselves.
    if (columns == 0.0 || !m_owner)
        return;
    repaint();
    const QRect plot = plot_rect();
    const int width = m_rect.width();
    if (columns < 0.0 || columns >= width) {
        m_blit_count = 0;
        m_owner->update(plot);
        return;
    }
    const int n = int(columns);
    m_blit_count += n;
    if (m_blit_count > max_blit_count) {
        m_blit_count = 0;
        m_owner->update(plot);
        return;
    }
    m_owner->scroll(-n, 0, plot);
    int first_new = width - n;
    for (QGraphSignal *signal : m_signals) {
        if (signal->is_active() && signal->first_new_column() >= 0)
            first_new = std::min(first_new, signal->first_new_column());
    }
    QRect strip = plot;
    strip.setLeft(std::max(plot.left(), m_rect.left() + first_new));
    m_owner->update(strip);
}

void QGraphXAxis::add_signal(QGraphSignal *signal)
{
    if (!m_signals.contains(signal))
        m_signals.append(signal);
}

void QGraphXAxis::remove_signal(QGraphSignal *signal)
{
    m_signals.removeAll(signal);
}

// Drags and wheel steps arrive in quick runs: they are summed and applied
// once the run pauses, as one range change.
void QGraphXAxis::scroll_by_pixels(int pixels)
{
    m_scroll_accumulator += pixels;
    if (!m_scroll_timer.isActive())
        m_scroll_timer.start();
}

void QGraphXAxis::deferred_scroll()
{
    m_scroll_timer.stop();
    if (m_scroll_accumulator != 0) {
        const double d = m_scroll_accumulator * m_time_per_pixel;
        set_range(m_maximum + d, m_minimum + d, tr("Scroll X"));
    }
    m_scroll_accumulator = 0;
}

void QGraphXAxis::scale_by_pixels(int pixels)
{
    const double d = limit_scale_step(m_maximum, m_minimum, pixels * m_time_per_pixel);
    set_range(m_maximum + d, m_minimum - d, tr("Scale X"));
}

void QGraphXAxis::relayout()
{
    recalc_ticks();
    repaint();
}

int QGraphXAxis::preferred_height() const
{
    return tick_length + m_font_height + 1;
}

void QGraphXAxis::paint(QPainter &painter, const QRect &)
{
    painter.setPen(m_color);
    painter.drawLine(m_rect.left(), m_rect.top(), m_rect.right(), m_rect.top());
    const double span = this->span();
    if (span <= 0.0 || m_divisions < 1)
        return;
    const int width = m_rect.width();
    const QFontMetrics metrics = painter.fontMetrics();
    for (int i = 0; i <= m_divisions + 1; ++i) {
        const double time = tick_value(i);
        const int x = int((time - m_minimum) * width / span);
        if (x < 0 || x > width)
            continue;
        const int tick_x = m_rect.left() + x;
        painter.drawLine(tick_x, m_rect.top(), tick_x, m_rect.top() + tick_length);
        const QString text = label_text(time);
        painter.drawText(tick_x - metrics.horizontalAdvance(text) / 2, m_rect.top() + tick_length + metrics.ascent(),
                         text);
    }
}

QGraphYAxis::QGraphYAxis(QWidget *owner, QtUndoStack *undo_stack)
    : QGraphRegion(owner,
                   ClickMakesCurrent | Selectable | ScrollVertically | ScaleVertically | DoubleClickAction |
                       OwnCursorShape | ClickTogglesSelection),
      m_undo_stack(undo_stack)
{
    set_cursor_shape(Qt::SizeVerCursor);
}

double QGraphYAxis::tick_value(int i) const
{
    if (m_minimum <= 0.0 && 0.0 < m_maximum)
        return i * m_step;
    return m_first_tick + i * m_step;
}

QVector<double> QGraphYAxis::visible_ticks() const
{
    QVector<double> ticks;
    if (m_divisions < 1)
        return ticks;
    for (int i = -m_divisions; i < m_divisions; ++i) {
        const double value = tick_value(i);
        if (value >= m_minimum && value <= m_maximum)
            ticks.append(value);
    }
    return ticks;
}

QString QGraphYAxis::label_text(double value) const
{
    const double magnitude = std::fabs(value);
    int digits = 1;
    if (magnitude > 0.0)
        digits = magnitude < 1.0 ? 1 - int(std::log10(magnitude)) : int(std::log10(magnitude)) + 1;
    if (value < 0.0)
        ++digits;
    if (digits <= m_label_width)
        return c_format("%*.*f", m_label_width, m_decimals, value);
    const int precision = std::max(1, m_label_width - (value < 0.0 ? 8 : 7));
    return c_format("%0.*e", precision, value);
}

void QGraphYAxis::set_vertical_title(bool vertical)
{
    m_vertical_title = vertical;
    repaint();
}

void QGraphYAxis::recalc_ticks()
{
    const int height = m_rect.height();
    const double span = m_maximum - m_minimum;
    m_divisions = m_font_height > 0 && span > 0.0 ? std::min(30, (height + 1) / (2 * m_font_height)) : 0;
    m_step = m_divisions < 1 ? 0.0 : graph_nice_step(span / m_divisions);
    m_value_per_pixel = height > 0 ? span / height : 0.0;
    m_first_tick = tick_base(m_minimum, m_step);
    common_label_format(m_first_tick, tick_base(m_maximum, m_step), m_step, m_label_width, m_decimals);
}

void QGraphYAxis::repaint_signals()
{
    for (QGraphSignal *signal : m_signals)
        signal->repaint();
}

void QGraphYAxis::set_limits(double maximum, double minimum)
{
    const bool changed = maximum != m_maximum || minimum != m_minimum;
    m_maximum = maximum;
    m_minimum = minimum;
    recalc_ticks();
    repaint_signals();
    repaint();
    if (preferred_width() > m_rect.width())
        emit layout_change_required();
    if (changed)
        emit limits_changed();
}

void QGraphYAxis::set_range(double maximum, double minimum, const QString &description)
{
    if (m_undo_stack)
        m_undo_stack->push(
            new QGraphUndoCommandZoom(description, nullptr, this, m_maximum, m_minimum, maximum, minimum));
    else
        set_limits(maximum, minimum);
}

void QGraphYAxis::add_signal(QGraphSignal *signal)
{
    if (!m_signals.contains(signal))
        m_signals.append(signal);
}

void QGraphYAxis::remove_signal(QGraphSignal *signal)
{
    m_signals.removeAll(signal);
}

void QGraphYAxis::scroll_by_pixels(int pixels)
{
    const double d = pixels * m_value_per_pixel;
    set_range(m_maximum + d, m_minimum + d, tr("Scroll y"));
}

void QGraphYAxis::scale_by_pixels(int pixels)
{
    const double d = limit_scale_step(m_maximum, m_minimum, pixels * m_value_per_pixel);
    set_range(m_maximum + d, m_minimum - d, tr("Scale Y"));
}

// Switches the axis' signals off or on, through the window.
void QGraphYAxis::double_click_action()
{
    for (QGraphSignal *signal : m_signals)
        emit set_signal_active(signal, !signal->is_active());
}

void QGraphYAxis::relayout()
{
    recalc_ticks();
    repaint();
}

int QGraphYAxis::preferred_width() const
{
    const int labels = m_label_width * m_zero_width;
    if (m_vertical_title)
        return labels + 2 * m_font_height + tick_length;
    const QFontMetrics metrics = m_owner->fontMetrics();
    int title = metrics.horizontalAdvance(m_name);
    if (!m_label.isEmpty())
        title = std::max(title, metrics.horizontalAdvance(" [" + m_label + "]"));
    return labels + 2 * tick_length + title;
}

void QGraphYAxis::paint(QPainter &painter, const QRect &)
{
    painter.fillRect(m_rect, is_selected() ? m_selection_color : m_owner->palette().color(m_owner->backgroundRole()));
    const QFontMetrics metrics = painter.fontMetrics();
    const int centre_y = m_rect.top() + m_rect.height() / 2;
    painter.setPen(m_color);
    if (m_vertical_title) {
        QString title = m_name;
        if (!m_label.isEmpty())
            title += " [" + m_label + "]";
        painter.save();
        painter.translate(m_rect.left() + m_font_height, centre_y);
        painter.rotate(-90);
        painter.drawText(-metrics.horizontalAdvance(title) / 2, 0, title);
        painter.restore();
    } else {
        painter.drawText(m_rect.left(), centre_y - metrics.descent(), m_name);
        if (!m_label.isEmpty())
            painter.drawText(m_rect.left(), centre_y + metrics.ascent(), "[" + m_label + "]");
    }
    const int axis_x = m_rect.right();
    painter.setPen(Qt::white);
    painter.drawLine(axis_x, m_rect.top(), axis_x, m_rect.bottom());
    if (m_value_per_pixel <= 0.0)
        return;
    painter.setPen(m_color);
    for (double value : visible_ticks()) {
        const int y = m_rect.bottom() - int((value - m_minimum) / m_value_per_pixel);
        painter.drawLine(axis_x - tick_length, y, axis_x, y);
        QRect text_rect(m_rect.left(), y - metrics.height() / 2, axis_x - 2 * tick_length - m_rect.left(),
                        metrics.height());
        if (text_rect.top() < m_rect.top())
            text_rect.moveTop(m_rect.top());
        if (text_rect.bottom() > m_rect.bottom())
            text_rect.moveBottom(m_rect.bottom());
        painter.drawText(text_rect, Qt::AlignRight | Qt::AlignVCenter, label_text(value));
    }
}

QGraphUndoCommandZoom::QGraphUndoCommandZoom(const QString &description, QGraphXAxis *x_axis, QGraphYAxis *y_axis,
                                             double old_maximum, double old_minimum, double new_maximum,
                                             double new_minimum)
    : QtCommand(Command, description, true), m_x_axis(x_axis), m_y_axis(y_axis),
      m_update_counter(x_axis ? x_axis->update_counter() : 0), m_old_maximum(old_maximum), m_old_minimum(old_minimum),
      m_new_maximum(new_maximum), m_new_minimum(new_minimum)
{}

// An x range recorded before the window last went online is no longer
// restored: the running view has moved on since.
void QGraphUndoCommandZoom::apply(double maximum, double minimum)
{
    if (m_y_axis)
        m_y_axis->set_limits(maximum, minimum);
    if (m_x_axis && m_x_axis->update_counter() == m_update_counter)
        m_x_axis->set_limits(maximum, minimum);
}

void QGraphUndoCommandZoom::redo()
{
    apply(m_new_maximum, m_new_minimum);
}

void QGraphUndoCommandZoom::undo()
{
    apply(m_old_maximum, m_old_minimum);
}

bool QGraphUndoCommandZoom::merge_with(QtCommand *other)
{
    auto *zoom = qobject_cast<QGraphUndoCommandZoom *>(other);
    if (!zoom || zoom->m_x_axis != m_x_axis || zoom->m_y_axis != m_y_axis || zoom->m_update_counter != m_update_counter)
        return false;
    m_new_maximum = zoom->m_new_maximum;
    m_new_minimum = zoom->m_new_minimum;
    return true;
}
