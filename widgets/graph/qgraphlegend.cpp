#include "widgets/graph/qgraphlegend.h"

#include "widgets/graph/qgraphaxis.h"
#include "widgets/graph/qgraphcursor.h"
#include "widgets/graph/qgraphsignal.h"

#include <QPainter>
#include <QWidget>
#include <cstdio>

namespace {

const int colour_bar_width = 30;

// A curve's value at a crossing; a column without a sample reads "-", not
// as the marker number that stands for it.
QString curve_value_text(const QGraphSignal *signal, double time)
{
    const double value = signal->value_at(time);
    return value == QGraphSignal::no_value ? QString("%1").arg("-", 10) : graph_number_text(value);
}

} // namespace

QString graph_number_text(double value, int precision)
{
    char text[64];
    std::snprintf(text, sizeof text, "%10.*g", precision, value);
    return QString::fromLatin1(text);
}

QGraphLegend::QGraphLegend(QWidget *owner, QGraphSignal *signal)
    : QGraphRegion(owner, ClickMakesCurrent | Selectable | DoubleClickAction | ClickTogglesSelection),
      m_signal(signal)
{
    if (signal) {
        set_name(signal->name());
        set_label(signal->unit());
    }
}

void QGraphLegend::set_crossings(QGraphCrossing *first, QGraphCrossing *second)
{
    m_first = first;
    m_second = second;
}

QString QGraphLegend::title() const
{
    return m_label.isEmpty() ? m_name : m_name + " [" + m_label + "]";
}

QString QGraphLegend::value_text() const
{
    const bool first_on = m_first && m_first->is_active();
    const bool second_on = m_second && m_second->is_active();
    if (m_signal) {
        if (first_on && second_on)
            return ": y1=" + curve_value_text(m_signal, m_first->time()) +
                   ", y2=" + curve_value_text(m_signal, m_second->time());
        if (first_on)
            return ": x=" + graph_number_text(m_first->time()) +
                   ", y=" + curve_value_text(m_signal, m_first->time());
        if (!m_signal->is_active())
            return "  OFF !!";
        return " [" + graph_number_text(m_signal->y_minimum()) + " ... " + graph_number_text(m_signal->y_maximum()) +
               "]";
    }
    if (!first_on)
        return QString();
    QString text = ": x=" + graph_number_text(m_first->time());
    if (m_first->y_axis())
        text += ", y=" + graph_number_text(m_first->value());
    if (second_on) {
        // The second cursor's line: the distance from the first cursor.
        text += ", dx=" + graph_number_text(m_first->time() - m_second->time());
        if (m_first->y_axis() || m_second->y_axis())
            text += ", dy=" + graph_number_text(m_first->value() - m_second->value());
    }
    return text;
}

void QGraphLegend::set_selected(bool selected)
{
    QGraphRegion::set_selected(selected);
    if (m_y_axis)
        m_y_axis->set_selected(selected);
}

// Switches the curve off or on (through the window); on a cursor's line it
// toggles the crossing's snap mode.
void QGraphLegend::double_click_action()
{
    if (m_signal)
        emit set_signal_active(m_signal, !m_signal->is_active());
    else if (m_first)
        m_first->double_click_action();
}

void QGraphLegend::paint(QPainter &painter, const QRect &)
{
    painter.fillRect(m_rect, is_selected() ? m_selection_color : m_owner->palette().color(m_owner->backgroundRole()));
    QRect bar(m_rect.left(), m_rect.top(), colour_bar_width, m_rect.height());
    if (m_rect.height() > 3)
        bar.adjust(0, 1, 0, -1);
    painter.fillRect(bar, m_color);
    painter.setPen(m_color);
    const int baseline = m_rect.top() + m_font_leading + m_font_ascent;
    painter.drawText(m_rect.left() + colour_bar_width + m_zero_width, baseline, title());
    painter.drawText(m_rect.left() + m_name_width * m_zero_width + colour_bar_width + m_zero_width, baseline,
                     value_text());
}
