#include "widgets/gauges/qttacho.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPolygon>
#include <QSvgRenderer>

#include <algorithm>
#include <cmath>

namespace {

constexpr double kDegree = M_PI / 180.0;
// The tacho draws at most this many ticks, whatever the step.
constexpr int kMaxTicks = 101;

QPoint gauge_point(int cx, int cy, double a, double d)
{
    return QPoint(cx - QtScale::round_pixel(std::cos(a * kDegree) * d),
                  cy - QtScale::round_pixel(std::sin(a * kDegree) * d));
}

// Brings an angle into 0 <= x < 360.
double normalised(double x)
{
    if (x < 0)
        return x + (std::floor(-x / 360.0) + 1) * 360.0;
    if (x >= 360.0)
        return std::fmod(x, 360.0);
    return x;
}

int sixteenths(double degrees)
{
    return int(degrees * 16 + 0.5);
}

void fill_polygon(QPainter &painter, const QPolygon &polygon, const QColor &colour)
{
    painter.setPen(QPen(colour, 0));
    painter.setBrush(colour);
    painter.drawPolygon(polygon);
}

// Places each label around a centre at gauge angle angle_of(label) and distance d.
template <typename AngleOf>
void place_round_labels(QList<QtScale::Label> &labels, const QFont &font, int cx, int cy, double d, AngleOf angle_of)
{
    const int descent = QFontMetrics(font).descent();
    for (QtScale::Label &label : labels) {
        const double a = angle_of(label) * kDegree;
        const int w = label.size.width();
        const int h = label.size.height();
        label.rect = QRect(cx - w / 2 - QtScale::round_pixel(std::cos(a) * d),
                           cy - QtScale::round_pixel(std::sin(a) * d) + h / 2 - descent, w, h);
    }
}

void hide_labels(QList<QtScale::Label> &labels)
{
    for (QtScale::Label &label : labels)
        label.rect = QRect();
}

void draw_labels(QPainter &painter, const QList<QtScale::Label> &labels, const QColor &colour)
{
    painter.setPen(QPen(colour, painter.pen().widthF()));
    for (const QtScale::Label &label : labels)
        painter.drawText(label.rect.left(), label.rect.top(), label.text);
}

// Draws a needle picture centred on the gauge centre, turned to gauge angle a.
void draw_picture(QPainter &painter, QSvgRenderer *picture, QPoint centre, double a, int radius,
                  double h_scale, double v_scale)
{
    const QSizeF size = picture->defaultSize();
    if (size.height() <= 0)
        return;
    const double s = std::min(1.0, 2.0 * radius / size.height());
    painter.save();
    painter.translate(centre);
    painter.rotate(a - 90);
    painter.scale(s * h_scale, s * v_scale);
    picture->render(&painter, QRectF(-size.width() / 2, -size.height() / 2, size.width(), size.height()));
    painter.restore();
}

} // namespace

QtTacho::QtTacho(QWidget *parent, const QString &name, Qt::WindowFlags flags) : QtScale(parent, name, flags)
{
    compute_auto_scale();
    render_face();
}

QPoint QtTacho::point_at(double a, double d) const
{
    return gauge_point(m_cx, m_cy, a, d);
}

double QtTacho::needle_angle() const
{
    // An empty range has no degrees per unit: the needle rests at the start.
    if (m_degrees_per_unit == 0.0)
        return m_arc_start;
    const double a = (m_value - rangeMin()) * m_degrees_per_unit + m_arc_start;
    // An infinite value leaves the needle at the end it passed.
    if (!std::isfinite(a))
        return m_value > rangeMin() ? m_arc_start + m_arc_size : m_arc_start;
    return a;
}

void QtTacho::setArc(double start, double size)
{
    if (start == m_arc_start && size == m_arc_size)
        return;
    m_arc_start = start;
    m_arc_size = size;
    if (m_full_circle) {
        std::fill(std::begin(m_quadrants), std::end(m_quadrants), true);
    } else {
        std::fill(std::begin(m_quadrants), std::end(m_quadrants), false);
        const int first = start < 90 ? 0 : start < 180 ? 1 : start < 270 ? 2 : 3;
        const double end = start + size;
        int last = 6;
        for (int q = 0; q < 6; ++q) {
            if (end < 90.0 * (q + 1)) {
                last = q;
                break;
            }
        }
        for (int q = first; q <= last; ++q)
            m_quadrants[q % 4] = true;
    }
    compute_auto_scale();
    render_face();
}

void QtTacho::setPaintLabelsInsideScale(bool inside)
{
    m_labels_inside = inside;
    build_labels();
    layout_face();
    render_face();
}

void QtTacho::layout_face()
{
    const int w = width();
    const int h = height();
    const bool q0 = m_quadrants[0], q1 = m_quadrants[1], q2 = m_quadrants[2], q3 = m_quadrants[3];
    int radius = std::min(w, h);
    m_cx = w;
    m_cy = h;
    if (q0 && q1) {
        radius = std::min(w / 2, h);
        m_cx = w / 2;
        if (q2 || q3) {
            radius = std::min(w, h) / 2;
            m_cy = h / 2;
        }
    } else if (q0) {
        if (q3) {
            radius = std::min(h / 2, w);
            m_cy = h / 2;
            if (q2) {
                radius = std::min(w, h) / 2;
                m_cx = w / 2;
            }
        }
    } else if (q2) {
        m_cx = 0;
        m_cy = 0;
        if (q1) {
            radius = std::min(h / 2, w);
            m_cy = h / 2;
            if (q3) {
                radius = std::min(w, h) / 2;
                m_cx = w / 2;
            }
        } else if (q3) {
            radius = std::min(w / 2, h);
            m_cx = w / 2;
        }
    } else if (q1 && !q3) {
        m_cx = 0;
        m_cy = h;
    } else if (q3 && !q1) {
        m_cx = w;
        m_cy = 0;
    } else if (!q1 && !q3) {
        radius = std::min(w, h) / 2;
        m_cx = w / 2;
        m_cy = h / 2;
    }
    m_face_radius = radius;
    m_scale_radius = m_labels_inside ? radius : radius - m_rim_width - m_tick_length;
    m_degrees_per_unit = per_value_unit(m_arc_size);
    m_labels_shown = paintLabels() && 3 * m_label_extent < 2 * m_scale_radius;
    if (!m_labels_shown) {
        hide_labels(m_labels);
        return;
    }
    if (!m_labels_inside)
        m_scale_radius -= m_label_extent;
    const double d = m_labels_inside ? m_scale_radius - m_tick_length - m_label_extent / 2
                                     : m_scale_radius + m_label_extent / 2 + m_tick_length;
    place_round_labels(m_labels, font(), m_cx, m_cy, d, [this](const Label &label) {
        return (label.value - rangeMin()) * m_degrees_per_unit + m_arc_start;
    });
}

void QtTacho::draw_face_background(QPainter *painter)
{
    if (!paintScale() && !paintLabels())
        return;
    painter->setPen(Qt::NoPen);
    painter->setBrush(palette().color(QPalette::Base));
    painter->drawEllipse(QPoint(m_cx, m_cy), m_face_radius, m_face_radius);
}

void QtTacho::draw_caption(QPainter *painter)
{
    if (text().isEmpty())
        return;
    const double gap_middle = m_arc_start + m_arc_size + (360 - m_arc_size) / 2;
    int d = (m_labels_inside ? m_scale_radius - m_tick_length : m_scale_radius) / 3;
    if (d < 11)
        return;
    // Around a whole circle the caption stands opposite the gap, inside the dial.
    if (std::count(std::begin(m_quadrants), std::end(m_quadrants), true) >= 3)
        d = -d;
    const QFontMetrics metrics(font());
    const QPoint at = point_at(gap_middle, d);
    painter->setPen(palette().color(QPalette::WindowText));
    painter->drawText(at.x() - metrics.horizontalAdvance(text()) / 2, at.y() - metrics.height() / 2 + metrics.ascent(),
                      text());
}

void QtTacho::draw_scale(QPainter *painter)
{
    if (!paintScale() && !paintLabels())
        return;
    const int r = m_scale_radius;
    if (r >= 4) {
        if (paintScale()) {
            painter->setPen(QPen(palette().color(QPalette::WindowText), m_scale_line_width));
            painter->setBrush(Qt::NoBrush);
            painter->drawArc(QRect(m_cx - r, m_cy - r, 2 * r, 2 * r), sixteenths(180 - m_arc_start - m_arc_size),
                             sixteenths(m_arc_size));
            const int tick_end = m_labels_inside ? r - m_tick_length : r + m_tick_length;
            for (int i = 0; i < kMaxTicks && scaleDist() > 0; ++i) {
                const double v = scaleMin() + i * scaleDist();
                if (v > rangeMax())
                    break;
                const double a = (v - rangeMin()) * m_degrees_per_unit + m_arc_start;
                if (a >= m_arc_start && a <= m_arc_start + m_arc_size)
                    painter->drawLine(point_at(a, r), point_at(a, tick_end));
            }
        }
        if (m_labels_shown)
            draw_labels(*painter, m_labels, palette().color(QPalette::WindowText));
    }
    draw_rim(*painter, QRect(m_cx - m_face_radius, m_cy - m_face_radius, 2 * m_face_radius, 2 * m_face_radius));
}

void QtTacho::draw_needle_picture(QPainter *painter)
{
    if (picture())
        draw_picture(*painter, picture(), centre(), needle_angle(), m_scale_radius, pictureHScale(), pictureVScale());
}

void QtTacho::render_face()
{
    QPainter painter;
    begin_face(painter);
    draw_face_background(&painter);
    draw_background_image(&painter);
    draw_caption(&painter);
    draw_scale(&painter);
    draw_needle_picture(&painter);
    painter.end();
    install_face();
}

void QtTacho::paint_moving_part(QPainter &painter)
{
    if (picture())
        return;
    const double a = needle_angle();
    const int rho = m_labels_inside ? m_scale_radius - m_tick_length : m_scale_radius;
    painter.setRenderHint(QPainter::Antialiasing, false);
    fill_polygon(painter, QPolygon({point_at(a, rho), point_at(a + 90, 5), point_at(a - 90, 5)}), Qt::red);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::black);
    painter.drawEllipse(centre(), 5, 5);
}

QtHorizont::QtHorizont(QWidget *parent, const QString &name, Qt::WindowFlags flags) : QtTacho(parent, name, flags)
{
    m_full_circle = true;
    compute_auto_scale();
    render_face();
}

double QtHorizont::pitch() const
{
    const double span = m_gradient_max - m_gradient_min;
    // An empty gradient range shows a level horizon. Beyond the range the
    // pitch stops at -90 (all ground) or 90 (all sky): a larger pitch would
    // give the chords spans past a whole circle.
    if (span == 0.0 || !std::isfinite(span))
        return 0.0;
    const double p = 180.0 / span * (m_gradient_value - m_gradient_min) - 90.0;
    return std::isnan(p) ? 0.0 : std::clamp(p, -90.0, 90.0);
}

void QtHorizont::setGradientValue(double value)
{
    if (value == m_gradient_value || std::isnan(value))
        return;
    m_gradient_value = value;
    render_face();
}

void QtHorizont::setGradientRange(double minimum, double maximum)
{
    if (minimum == m_gradient_min && maximum == m_gradient_max)
        return;
    m_gradient_min = minimum;
    m_gradient_max = maximum;
    // The pitch shown depends on the range: the face is rendered anew.
    render_face();
}

void QtHorizont::render_face()
{
    QPainter painter;
    begin_face(painter);
    draw_face_background(&painter);
    draw_scale(&painter);

    const double roll = normalised(-needle_angle());
    const int rho = m_scale_radius - m_rim_width -
                    (paintLabelsInsideScale() ? m_label_extent + m_tick_length : 0);
    const double p = pitch();
    if (rho > 0) {
        const QRect disc(m_cx - rho, m_cy - rho, 2 * rho, 2 * rho);
        painter.setPen(Qt::NoPen);
        painter.setBrush(Qt::blue);
        painter.drawChord(disc, sixteenths(normalised(roll + 90 - p)), sixteenths(2 * p + 180));
        painter.setBrush(Qt::green);
        painter.drawChord(disc, sixteenths(normalised(p + roll + 270)), sixteenths(180 - 2 * p));

        const auto corner = [&](double angle, double d) {
            return QPoint(-round_pixel(std::cos(angle * kDegree) * d), round_pixel(std::sin(angle * kDegree) * d));
        };
        const QPoint tip = QPoint(m_cx, m_cy) + corner(roll, rho);
        fill_polygon(painter, QPolygon({tip, tip + corner(roll + 160, 12), tip + corner(roll + 200, 12)}),
                     Qt::yellow);
    }
    draw_background_image(&painter);
    draw_caption(&painter);
    draw_needle_picture(&painter);
    painter.end();
    install_face();
}

QtCompass::QtCompass(QWidget *parent, const QString &name, Qt::WindowFlags flags) : QtScale(parent, name, flags)
{
    setScale(0, 45);
}

QPoint QtCompass::point_at(double a, double d) const
{
    return gauge_point(m_cx, m_cy, a, d);
}

void QtCompass::compute_auto_scale()
{
    build_labels();
    layout_face();
}

void QtCompass::build_labels()
{
    static const struct {
        double value;
        const char *text;
    } kPoints[] = {{0, "N"}, {90, "E"}, {180, "S"}, {270, "W"}, {45, "NE"}, {135, "SE"}, {315, "NW"}, {225, "SW"}};
    m_labels.clear();
    m_label_extent = 0;
    const QFontMetrics metrics(font());
    for (const auto &point : kPoints) {
        Label label;
        label.value = point.value;
        label.text = point.text;
        label.size = QSize(metrics.horizontalAdvance(label.text), metrics.height());
        m_labels.append(label);
        if (paintLabels())
            m_label_extent = std::max({m_label_extent, label.size.width(), label.size.height()});
    }
}

void QtCompass::layout_face()
{
    m_face_radius = std::min(width(), height()) / 2;
    m_cx = width() / 2;
    m_cy = height() / 2;
    m_needle_half_width = m_face_radius / 16 < 4 ? 3 : m_face_radius / 16;
    m_scale_radius = m_face_radius - m_rim_width;
    m_labels_shown = paintLabels() && 3 * m_label_extent < 2 * m_scale_radius;
    if (!m_labels_shown) {
        hide_labels(m_labels);
        return;
    }
    place_round_labels(m_labels, font(), m_cx, m_cy, m_scale_radius - m_label_extent / 2,
                       [](const Label &label) { return label.value + 90; });
}

void QtCompass::render_face()
{
    QPainter painter;
    begin_face(painter);
    const bool dial = paintScale() || paintLabels();
    if (dial) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(palette().color(QPalette::Base).darker(120));
        painter.drawEllipse(centre(), m_face_radius, m_face_radius);
    }
    draw_background_image(&painter);
    if (!text().isEmpty()) {
        const QFontMetrics metrics(font());
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawText(m_cx + metrics.horizontalAdvance(text()) / 2, m_cy + metrics.height() / 2 + metrics.ascent(),
                         text());
    }
    if (dial && m_scale_radius >= 4) {
        if (paintScale() && scaleDist() > 0) {
            const QColor base = QColor(Qt::blue).lighter(130);
            const QColor c1 = base.lighter(150);
            const QColor c2 = base.darker(110);
            const int rho = m_labels_shown ? m_scale_radius - m_label_extent : m_scale_radius;
            const int length = rho - rho / 5;
            const double half_step = scaleDist() / 2;
            const QPoint c = centre();
            // A point per step round the circle, bounded like the tacho's ticks.
            QVector<double> points;
            for (int i = 0; i < 101; ++i) {
                const double t = scaleMin() + i * scaleDist();
                if (t >= 360)
                    break;
                points.append(t);
            }
            if (rho / 2 < length) {
                for (double t : points) {
                    const double a = t + half_step;
                    fill_polygon(painter, QPolygon({c, point_at(a + 90, length / 6), point_at(a, length)}), c1);
                    fill_polygon(painter, QPolygon({c, point_at(a - 90, length / 6), point_at(a, length)}), c2);
                }
            }
            for (double t : points) {
                fill_polygon(painter, QPolygon({c, point_at(t, rho), point_at(t + half_step, rho / 3)}), c1);
                fill_polygon(painter, QPolygon({c, point_at(t, rho), point_at(t - half_step, rho / 3)}), c2);
            }
        }
        if (m_labels_shown)
            draw_labels(painter, m_labels, palette().color(QPalette::WindowText));
    }
    if (dial)
        draw_rim(painter, QRect(m_cx - m_face_radius, m_cy - m_face_radius, 2 * m_face_radius, 2 * m_face_radius));
    if (picture()) {
        const double a = (m_value - rangeMin()) * per_value_unit(360) + 270;
        draw_picture(painter, picture(), centre(), std::isfinite(a) ? a : 270, m_scale_radius, pictureHScale(),
                     pictureVScale());
    }
    painter.end();
    install_face();
}

void QtCompass::paint_moving_part(QPainter &painter)
{
    if (picture())
        return;
    double a = per_value_unit(360) * (m_value - rangeMin()) + 90;
    if (!std::isfinite(a))
        a = 90;
    const int rho = m_labels_shown ? m_scale_radius - m_label_extent : m_scale_radius;
    const QPoint c = centre();
    const QPoint north = point_at(a, rho);
    const QPoint south = 2 * c - north;
    const QPoint side1 = point_at(a + 90, m_needle_half_width);
    const QPoint side2 = point_at(a - 90, m_needle_half_width);
    const QColor red = QColor(Qt::red).lighter(120);
    fill_polygon(painter, QPolygon({north, side1, c}), red);
    fill_polygon(painter, QPolygon({north, side2, c}), red.darker(115));
    fill_polygon(painter, QPolygon({south, side1, c}), Qt::white);
    fill_polygon(painter, QPolygon({south, side2, c}), QColor(Qt::white).darker(115));
}
