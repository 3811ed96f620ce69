#pragma once
// The measuring tools of the graph widget: the dotted cursor lines, the
// crossing handle where a vertical and a horizontal line meet, and the
// rubber band the user zooms with.
#include "widgets/graph/qgraphregion.h"

#include <QList>

class QGraphCrossing;
class QGraphLegend;
class QGraphXAxis;
class QGraphYAxis;
class QtUndoStack;

class QGraphCursor : public QGraphRegion
{
    Q_OBJECT

public:
    enum Orientation { Horizontal = 0, Vertical = 1 };

    QGraphCursor(QWidget *owner, Orientation orientation);

    Orientation orientation() const { return m_orientation; }
    int blink_phase() const { return m_blink_phase; }
    QGraphCrossing *crossing() const { return m_crossing; }
    void set_crossing(QGraphCrossing *crossing) { m_crossing = crossing; }

    // Moving a line takes its crossing along.
    void scroll_by(int dx, int dy) override;
    int preferred_width() const override { return m_orientation == Vertical ? 3 : 0; }
    int preferred_height() const override { return m_orientation == Horizontal ? 3 : 0; }
    void paint(QPainter &painter, const QRect &area) override;

public slots:
    // Advances the dotted pattern by one pixel: the dots march.
    void indicate_activity();

private:
    Orientation m_orientation;
    int m_blink_phase = 0;
    QGraphCrossing *m_crossing = nullptr;
};

class QGraphCrossing : public QGraphRegion
{
    Q_OBJECT

public:
    explicit QGraphCrossing(QWidget *owner);

    double time() const { return m_time; }
    double value() const { return m_value; }
    void set_position(double time, double value);
    QGraphCursor *vertical_line() const { return m_vertical; }
    QGraphCursor *horizontal_line() const { return m_horizontal; }
    void set_lines(QGraphCursor *vertical, QGraphCursor *horizontal);
    QGraphXAxis *x_axis() const { return m_x_axis; }
    void set_x_axis(QGraphXAxis *axis) { m_x_axis = axis; }
    // The axis whose value the crossing reads; none leaves the value as is.
    QGraphYAxis *y_axis() const { return m_y_axis; }
    void set_y_axis(QGraphYAxis *axis) { m_y_axis = axis; }
    // The legend lines repainted when the crossing moves.
    QList<QGraphLegend *> &legends() { return m_legends; }
    bool snap_mode() const { return m_snap_mode; }

    // Centres the crossing and its lines on point and reads time and value there.
    void move_center_to(const QPoint &point);
    void scroll_by(int dx, int dy) override;
    // Toggles snap mode: a snapping crossing jumps to the nearest curve point
    // while it is dragged, instead of moving freely.
    void double_click_action() override;
    int preferred_width() const override { return 11; }
    int preferred_height() const override { return 11; }
    void paint(QPainter &painter, const QRect &area) override;

private:
    double m_time = 0.0;
    double m_value = 0.0;
    QGraphCursor *m_vertical = nullptr;
    QGraphCursor *m_horizontal = nullptr;
    QGraphXAxis *m_x_axis = nullptr;
    QGraphYAxis *m_y_axis = nullptr;
    QList<QGraphLegend *> m_legends;
    bool m_snap_mode = false;
};

class QGraphRubber : public QGraphRegion
{
    Q_OBJECT

public:
    QGraphRubber(QWidget *owner, QtUndoStack *undo_stack);

    // The curve whose x and y range a zoom sets; none when the band is idle.
    QGraphSignal *target() const { return m_target; }
    void set_target(QGraphSignal *target) { m_target = target; }

    // The band as the mouse spans it, clipped to the target.
    void stretch(const QRect &rect);
    // The mode is "rubber on" while the mouse button is down; switching it
    // off makes a band too small to zoom vanish.
    void set_mode(bool on) override;
    // Zooms the target's x and y range to the band as one undo step.
    void double_click_action() override;
    void scroll_by(int dx, int dy) override;
    int preferred_width() const override { return 0; }
    int preferred_height() const override { return 0; }
    void paint(QPainter &painter, const QRect &area) override;

private:
    QGraphSignal *m_target = nullptr;
    QtUndoStack *m_undo_stack;
};
