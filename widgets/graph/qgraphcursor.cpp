#include "widgets/graph/qgraphcursor.h"

#include "lib/qtundo/qtundo.h"
#include "widgets/graph/qgraphaxis.h"
#include "widgets/graph/qgraphlegend.h"
#include "widgets/graph/qgraphsignal.h"

#include <QPainter>
#include <QWidget>

namespace {

const int crossing_size = 11;
const int cursor_line_thickness = 5;

QPen dotted_pen(const QColor &colour)
{
    QPen pen(colour, 0, Qt::DotLine);
    return pen;
}

} // namespace

QGraphCursor::QGraphCursor(QWidget *owner, Orientation orientation)
    : QGraphRegion(owner, ClickMakesCurrent | OwnCursorShape | MeasuringTool |
                              (orientation == Vertical ? MovesInX : MovesInY)),
      m_orientation(orientation)
{
    set_z(2000);
    set_cursor_shape(orientation == Vertical ? Qt::SplitHCursor : Qt::SplitVCursor);
}

void QGraphCursor::scroll_by(int dx, int dy)
{
    QGraphRegion::scroll_by(dx, dy);
    if (!m_crossing)
        return;
    QPoint centre = m_crossing->rect().center();
    if (m_orientation == Vertical)
        centre.setX(m_rect.center().x());
    else
        centre.setY(m_rect.center().y());
    m_crossing->move_center_to(centre);
}

void QGraphCursor::indicate_activity()
{
    m_blink_phase = (m_blink_phase + 1) % 6;
    repaint();
}

void QGraphCursor::paint(QPainter &painter, const QRect &)
{
    painter.save();
    painter.setClipRect(m_rect);
    painter.setPen(dotted_pen(m_color));
    if (m_orientation == Vertical) {
        const int x = m_rect.center().x();
        painter.drawLine(x, m_rect.top() - m_blink_phase, x, m_rect.bottom());
    } else {
        const int y = m_rect.center().y();
        painter.drawLine(m_rect.left() - m_blink_phase, y, m_rect.right(), y);
    }
    painter.restore();
}

QGraphCrossing::QGraphCrossing(QWidget *owner)
    : QGraphRegion(owner, ClickMakesCurrent | MovesInX | MovesInY | DoubleClickAction | OwnCursorShape | MeasuringTool)
{
    set_z(2010);
    set_cursor_shape(Qt::CrossCursor);
}

void QGraphCrossing::set_position(double time, double value)
{
    m_time = time;
    m_value = value;
}

void QGraphCrossing::set_lines(QGraphCursor *vertical, QGraphCursor *horizontal)
{
    m_vertical = vertical;
    m_horizontal = horizontal;
    vertical->set_crossing(this);
    horizontal->set_crossing(this);
}

void QGraphCrossing::move_center_to(const QPoint &point)
{
    repaint();
    m_rect = QRect(point.x() - crossing_size / 2, point.y() - crossing_size / 2, crossing_size, crossing_size);
    repaint();
    if (m_vertical) {
        m_vertical->repaint();
        QRect line = m_vertical->rect();
        line.moveLeft(point.x() - cursor_line_thickness / 2);
        m_vertical->set_geometry(line);
        m_vertical->repaint();
    }
    if (m_horizontal) {
        m_horizontal->repaint();
        QRect line = m_horizontal->rect();
        line.moveTop(point.y() - cursor_line_thickness / 2);
        m_horizontal->set_geometry(line);
        m_horizontal->repaint();
    }
    if (m_x_axis)
        m_time = m_x_axis->minimum() + (point.x() - m_x_axis->rect().left()) * m_x_axis->time_per_pixel();
    if (m_y_axis)
        m_value = m_y_axis->minimum() + (m_y_axis->rect().bottom() - point.y()) * m_y_axis->value_per_pixel();
    for (QGraphLegend *legend : m_legends)
        legend->repaint();
}

void QGraphCrossing::scroll_by(int dx, int dy)
{
    move_center_to(m_rect.center() + QPoint(dx, dy));
}

void QGraphCrossing::double_click_action()
{
    m_snap_mode = !m_snap_mode;
    if (m_snap_mode)
        m_flags = (m_flags & ~(MovesInX | MovesInY)) | SnapsToCurve;
    else
        m_flags = (m_flags & ~SnapsToCurve) | MovesInX | MovesInY;
    repaint();
}

void QGraphCrossing::paint(QPainter &painter, const QRect &)
{
    painter.save();
    painter.setPen(m_snap_mode ? QPen(m_color, 0) : dotted_pen(m_color));
    painter.drawRect(m_rect.adjusted(0, 0, -1, -1));
    painter.restore();
}

QGraphRubber::QGraphRubber(QWidget *owner, QtUndoStack *undo_stack)
    : QGraphRegion(owner, ClickMakesCurrent | MovesInX | MovesInY | DoubleClickAction | OwnCursorShape | MeasuringTool),
      m_undo_stack(undo_stack)
{
    set_z(2020);
    set_color(Qt::yellow);
}

void QGraphRubber::stretch(const QRect &rect)
{
    repaint();
    m_rect = m_target ? rect.normalized() & m_target->rect() : rect.normalized();
    repaint();
}

void QGraphRubber::set_mode(bool on)
{
    QGraphRegion::set_mode(on);
    if (on || !m_active)
        return;
    const int width = m_rect.width(), height = m_rect.height();
    if ((width < 10 && height < 10) || width < 3 || height < 3) {
        repaint();
        set_active(false);
    }
}

void QGraphRubber::scroll_by(int dx, int dy)
{
    if (m_target) {
        const QRect limit = m_target->rect();
        dx = std::max(limit.left() - m_rect.left(), std::min(dx, limit.right() - m_rect.right()));
        dy = std::max(limit.top() - m_rect.top(), std::min(dy, limit.bottom() - m_rect.bottom()));
    }
    QGraphRegion::scroll_by(dx, dy);
}

void QGraphRubber::double_click_action()
{
    QGraphXAxis *x_axis = m_target ? m_target->x_axis() : nullptr;
    QGraphYAxis *y_axis = m_target ? m_target->y_axis() : nullptr;
    if (x_axis && y_axis) {
        if (m_undo_stack)
            m_undo_stack->push(new QtCommand(QtCommand::MacroBegin, tr("Zoom")));
        const double time_per_pixel = x_axis->time_per_pixel();
        const double x_minimum = x_axis->minimum() + (m_rect.left() - x_axis->rect().left()) * time_per_pixel;
        x_axis->set_range(x_minimum + m_rect.width() * time_per_pixel, x_minimum, tr("Zoom X"));
        const double value_per_pixel = y_axis->value_per_pixel();
        const double y_maximum = y_axis->maximum() - (m_rect.top() - y_axis->rect().top()) * value_per_pixel;
        y_axis->set_range(y_maximum, y_maximum - m_rect.height() * value_per_pixel, tr("Zoom Y"));
        if (m_undo_stack)
            m_undo_stack->push(new QtCommand(QtCommand::MacroEnd));
    }
    repaint();
    set_active(false);
}

void QGraphRubber::paint(QPainter &painter, const QRect &)
{
    if (!m_active)
        return;
    painter.save();
    painter.fillRect(m_rect, QColor(50, 50, 50));
    painter.setPen(dotted_pen(m_color));
    painter.drawRect(m_rect.adjusted(0, 0, -1, -1));
    painter.restore();
}
