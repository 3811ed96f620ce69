#pragma once
// The straight gauges: QtBar, a vertical or horizontal bar in a sunken frame
// with a scale and labels, and QtXyIndicator, a red dot on a black field with
// a green cross for an x value (the gauge value) and a y value.
#include "widgets/gauges/qtscale.h"

class QtBar : public QtScale
{
    Q_OBJECT

public:
    enum { Horizontal = 0, Vertical = 1 };

    QtBar(QWidget *parent = nullptr, const QString &name = QString(), Qt::WindowFlags flags = {},
          int orientation = Vertical);

    bool pixmapSupported() const override { return false; }
    bool pictureSupported() const override { return false; }

    bool vertical() const { return m_vertical; }
    int bar_length() const { return m_length; }
    int bar_thickness() const { return m_thickness; }
    bool labels_shown() const { return m_labels_shown; }
    // The area the bar fills at full scale.
    QRect bar_area() const;

protected:
    virtual void draw_caption(QPainter *painter);
    virtual void draw_frame(QPainter *painter);
    virtual void draw_scale(QPainter *painter);

    void compute_auto_scale() override;
    void build_labels() override;
    void layout_face() override;
    void render_face() override;
    void paint_moving_part(QPainter &painter) override;

    void mousePressEvent(QMouseEvent *) override {}
    void mouseReleaseEvent(QMouseEvent *) override {}
    void mouseMoveEvent(QMouseEvent *) override {}
    void wheelEvent(QWheelEvent *) override {}

private:
    bool m_vertical;
    int m_thickness = 10;
    int m_length = 1;
    int m_left = 0;
    int m_right = 0;
    int m_top = 0;
    int m_bottom = 0;
    double m_pixels_per_unit = 0.0;
    bool m_labels_shown = false;
};

class QtXyIndicator : public QtScale
{
    Q_OBJECT

public:
    QtXyIndicator(QWidget *parent = nullptr, const QString &name = QString(), Qt::WindowFlags flags = {});

    double y_value() const { return m_y_value; }
    void setYRange(double minimum, double maximum);
    // The dot's centre in widget pixels (y counted from the top).
    QPoint dot_position() const;

public slots:
    void setYValue(double value);

protected:
    bool full_redraw() const override { return true; }
    void compute_auto_scale() override {}
    void build_labels() override {}
    void layout_face() override {}
    void render_face() override;

private:
    double m_y_min = -10.0;
    double m_y_max = 10.0;
    double m_y_value = 0.0;
};
