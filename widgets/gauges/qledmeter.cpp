#include "widgets/gauges/qledmeter.h"

#include <QPainter>
#include <QtDebug>

#include <algorithm>

QLedMeter::QLedMeter(QWidget *parent) : QFrame(parent)
{
    setMinimumWidth(frameWidth() + 40);
}

void QLedMeter::setValue(int value)
{
    apply_value(value);
}

void QLedMeter::apply_value(int value)
{
    m_value = std::clamp(value, 0, m_max_value);
    const qint64 count = m_led_count;
    const qint64 maximum = m_max_value;
    // A segment lights once the value reaches its share, counted in 64 bits
    // (large maxima overflow 32). With fewer value steps than LEDs the share
    // is below one step, and the plain proportion lights all at full scale.
    qint64 lit = maximum >= count ? ((maximum / count) + m_value - 1) * count / maximum : m_value * count / maximum;
    lit = std::clamp<qint64>(lit, 0, count);
    if (lit != m_lit_count) {
        m_lit_count = int(lit);
        update();
    }
}

void QLedMeter::setMaxValue(int maximum)
{
    if (maximum < 1)
        qWarning() << "QLedMeter::setMaxValue: a maximum of" << maximum << "is taken as 1";
    m_max_value = std::max(maximum, 1);
    apply_value(m_value);
    update();
}

void QLedMeter::setLedCount(int count)
{
    if (count < 1)
        qWarning() << "QLedMeter::setLedCount: a count of" << count << "is taken as 1";
    m_led_count = std::max(count, 1);
    setMinimumWidth(frameWidth() + 2 * m_led_count);
    place_ranges();
    apply_value(m_value);
    update();
}

void QLedMeter::addColorRange(int percent, const QColor &colour)
{
    m_ranges.append({percent, 0, colour});
    place_ranges();
}

void QLedMeter::place_ranges()
{
    int position = 0;
    for (ColorRange &range : m_ranges) {
        position += m_led_count * range.percent / 100;
        range.end = position;
    }
}

void QLedMeter::paintEvent(QPaintEvent *event)
{
    QFrame::paintEvent(event);
    const QRect area = contentsRect();
    int range = 0;
    QColor colour = palette().color(QPalette::WindowText);
    int boundary = m_led_count;
    if (!m_ranges.isEmpty()) {
        colour = m_ranges[0].colour;
        boundary = m_ranges[0].end;
    }
    const double segment = (area.right() - area.left() + 1) / double(m_led_count);
    const int led_width = int(segment - 1);
    QPainter painter(this);
    for (int i = 0; i < m_lit_count; ++i) {
        if (i > boundary && range + 1 < m_ranges.size()) {
            ++range;
            colour = m_ranges[range].colour;
            boundary = m_ranges[range].end;
        }
        painter.setPen(colour);
        painter.setBrush(colour);
        painter.drawRect(int(area.left() + 1 + i * segment), area.top() + 1, led_width, area.bottom() - area.top() - 1);
    }
}

void QLedMeter::resizeEvent(QResizeEvent *event)
{
    QFrame::resizeEvent(event);
    const auto pixels_per_led = [this] { return (geometry().right() - frameWidth() - geometry().left() - 1) / m_led_count; };
    while (pixels_per_led() < 3 && m_led_count >= 11)
        setLedCount(m_led_count / 2);
    while (pixels_per_led() >= 11)
        setLedCount(m_led_count * 2);
}
