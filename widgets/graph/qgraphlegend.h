#pragma once
// One line of the legend under the plot: a curve's colour, name, unit and
// limits (or its values at the measuring cursors), or the read-out of one
// measuring cursor.
#include "widgets/graph/qgraphregion.h"

class QGraphCrossing;
class QGraphYAxis;

class QGraphLegend : public QGraphRegion
{
    Q_OBJECT

public:
    // signal is the curve described, none for a cursor's line.
    QGraphLegend(QWidget *owner, QGraphSignal *signal = nullptr);

    QGraphSignal *graph_signal() const { return m_signal; }
    // The curve's own axis, selected with the line.
    QGraphYAxis *y_axis() const { return m_y_axis; }
    void set_y_axis(QGraphYAxis *axis) { m_y_axis = axis; }
    // A curve's line reads both crossings; a cursor's line shows its own
    // crossing (first) and, for the second cursor, the distance from the
    // other one (second).
    void set_crossings(QGraphCrossing *first, QGraphCrossing *second);
    QGraphCrossing *first_crossing() const { return m_first; }
    QGraphCrossing *second_crossing() const { return m_second; }
    // Width of the name column in characters, set by the window's layout.
    int name_width() const { return m_name_width; }
    void set_name_width(int characters) { m_name_width = characters; }
    // The name, with " [unit]" when there is a unit.
    QString title() const;
    // The read-out after the name column.
    QString value_text() const;

    void set_selected(bool selected) override;
    void double_click_action() override;
    int preferred_width() const override { return 0; }
    int preferred_height() const override { return m_font_leading + m_font_height; }
    void paint(QPainter &painter, const QRect &area) override;

signals:
    void set_signal_active(QGraphSignal *signal, bool active);

private:
    QGraphSignal *m_signal;
    QGraphYAxis *m_y_axis = nullptr;
    QGraphCrossing *m_first = nullptr;
    QGraphCrossing *m_second = nullptr;
    int m_name_width = 0;
};

// printf's "%10.*g" with the given precision, as the legend and the cursor
// read-outs write their numbers.
QString graph_number_text(double value, int precision = 3);
