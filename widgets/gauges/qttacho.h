#pragma once
// The round gauges: QtTacho, a dial with a scale arc and a needle; QtHorizont,
// an artificial horizon on the tacho's dial (roll is the value, pitch the
// gradient value); QtCompass, a rose with a two-coloured needle that turns
// once over the range.
//
// Gauge angles: 0 points left, 90 up, 180 right, 270 down (clockwise on
// screen); a Qt arc angle is 180 - gauge angle.
#include "widgets/gauges/qtscale.h"

#include <QPoint>

class QtTacho : public QtScale
{
    Q_OBJECT
    Q_PROPERTY(double arcStart READ arcStart WRITE setArcStart)
    Q_PROPERTY(double arcSize READ arcSize WRITE setArcSize)
    Q_PROPERTY(bool paintLabelsInsideScale READ paintLabelsInsideScale WRITE setPaintLabelsInsideScale)

public:
    QtTacho(QWidget *parent = nullptr, const QString &name = QString(), Qt::WindowFlags flags = {});

    double arcStart() const { return m_arc_start; }
    double arcSize() const { return m_arc_size; }
    bool paintLabelsInsideScale() const { return m_labels_inside; }
    void setArc(double start, double size);
    void setArcStart(double start) { setArc(start, m_arc_size); }
    void setArcSize(double size) { setArc(m_arc_start, size); }
    void setPaintLabelsInsideScale(bool inside);

    // Quadrant q covers the gauge angles 90q to 90q + 90 (0 upper left, 1 upper
    // right, 2 lower right, 3 lower left); the face is laid out over the marked ones.
    bool quadrant(int q) const { return m_quadrants[q]; }
    QPoint centre() const { return QPoint(m_cx, m_cy); }
    int face_radius() const { return m_face_radius; }
    int scale_radius() const { return m_scale_radius; }
    bool labels_shown() const { return m_labels_shown; }
    // Gauge angle of the present value (not clamped to the arc).
    double needle_angle() const;

    // The point at gauge angle a and distance d from the centre.
    QPoint point_at(double a, double d) const;

protected:
    virtual void draw_needle_picture(QPainter *painter);
    virtual void draw_caption(QPainter *painter);
    virtual void draw_face_background(QPainter *painter);
    virtual void draw_scale(QPainter *painter);

    void compute_auto_scale() override { auto_scale(40); }
    void build_labels() override { build_scale_labels(QString(), false); }
    void layout_face() override;
    void render_face() override;
    void paint_moving_part(QPainter &painter) override;

    void mousePressEvent(QMouseEvent *) override {}
    void mouseReleaseEvent(QMouseEvent *) override {}
    void mouseMoveEvent(QMouseEvent *) override {}
    void wheelEvent(QWheelEvent *) override {}

    // Set by the horizon: the face is always a whole circle.
    bool m_full_circle = false;
    int m_cx = 0;
    int m_cy = 0;
    int m_face_radius = 0;
    int m_scale_radius = 0;
    bool m_labels_shown = false;
    double m_degrees_per_unit = 0.0;

private:
    double m_arc_start = 45.0;
    double m_arc_size = 270.0;
    bool m_labels_inside = false;
    bool m_quadrants[4] = {true, true, true, true};
};

class QtHorizont : public QtTacho
{
    Q_OBJECT

public:
    QtHorizont(QWidget *parent = nullptr, const QString &name = QString(), Qt::WindowFlags flags = {});

    double gradient_value() const { return m_gradient_value; }
    void setGradientRange(double minimum, double maximum);
    // Pitch in degrees from the gradient value: -90 (all ground) to 90 (all sky).
    double pitch() const;

public slots:
    void setGradientValue(double value);

protected:
    bool full_redraw() const override { return true; }
    void render_face() override;
    void paint_moving_part(QPainter &) override {}

private:
    double m_gradient_min = -10.0;
    double m_gradient_max = 10.0;
    double m_gradient_value = 0.0;
};

class QtCompass : public QtScale
{
    Q_OBJECT

public:
    QtCompass(QWidget *parent = nullptr, const QString &name = QString(), Qt::WindowFlags flags = {});

    QPoint centre() const { return QPoint(m_cx, m_cy); }
    int scale_radius() const { return m_scale_radius; }
    bool labels_shown() const { return m_labels_shown; }
    QPoint point_at(double a, double d) const;

protected:
    void compute_auto_scale() override;
    void build_labels() override;
    void layout_face() override;
    void render_face() override;
    void paint_moving_part(QPainter &painter) override;

private:
    int m_cx = 0;
    int m_cy = 0;
    int m_face_radius = 0;
    int m_scale_radius = 0;
    int m_needle_half_width = 3;
    bool m_labels_shown = false;
};
