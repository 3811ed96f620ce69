#include "widgets/gauges/qtscale.h"

#include <QEvent>
#include <QFileInfo>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <QtDebug>

#include <algorithm>
#include <cmath>

namespace {

// More labels than this cannot be read on any gauge; a tiny step on a wide
// range would otherwise build millions of them.
constexpr int kMaxLabels = 101;

// The placement of one axis: where an image of the given length stands in
// the widget's length by a placement code. Code 3 stretches it.
void place_axis(int widget, int image, int code, int *position, int *length)
{
    *length = image;
    switch (code) {
    case 0: *position = 0; break;
    case 2: *position = widget - image; break;
    case 3: *position = 0; *length = widget; break;
    case 4: *position = (widget / 2 - image) / 2; break;
    case 5: *position = (3 * widget / 2 - image) / 2; break;
    default: *position = (widget - image) / 2; break;
    }
}

} // namespace

QtScale::QtScale(QWidget *parent, const QString &name, Qt::WindowFlags flags) : QWidget(parent, flags)
{
    setObjectName(name);
}

QtScale::~QtScale() = default;

QRect QtScale::place_image(const QSize &widget, const QSize &image, int h_align, int v_align)
{
    int x, y, w, h;
    place_axis(widget.width(), image.width(), h_align, &x, &w);
    place_axis(widget.height(), image.height(), v_align, &y, &h);
    return QRect(x, y, w, h);
}

double QtScale::per_value_unit(double length) const
{
    const double span = m_range_max - m_range_min;
    if (span == 0.0 || !std::isfinite(span))
        return 0.0;
    return length / span;
}

QSvgRenderer *QtScale::picture() const
{
    return m_picture;
}

void QtScale::setScale(double minimum, double dist)
{
    if (!m_auto_scale && minimum == m_scale_min && dist == m_scale_dist)
        return;
    m_scale_min = minimum;
    m_scale_dist = dist;
    m_auto_scale = false;
    build_labels();
    layout_face();
    render_face();
}

void QtScale::setScaleMin(double minimum)
{
    setScale(minimum, m_scale_dist);
}

void QtScale::setScaleDist(double dist)
{
    setScale(m_scale_min, dist);
}

void QtScale::setRange(double minimum, double maximum)
{
    if (minimum == m_range_min && maximum == m_range_max)
        return;
    m_range_min = minimum;
    m_range_max = maximum;
    // The labels are rebuilt also with a fixed scale: they are those of the
    // grid that fall into the new range.
    compute_auto_scale();
    render_face();
}

void QtScale::setRangeMin(double minimum)
{
    // A minimum past the maximum moves the whole range and keeps its span.
    const double maximum = m_range_max < minimum ? minimum + (m_range_max - m_range_min) : m_range_max;
    setRange(minimum, maximum);
}

void QtScale::setRangeMax(double maximum)
{
    setRange(m_range_min, maximum);
}

void QtScale::setText(const QString &text)
{
    m_text = text;
    render_face();
}

void QtScale::setPaintLabels(bool on)
{
    m_paint_labels = on;
    build_labels();
    layout_face();
    render_face();
}

void QtScale::setPaintScale(bool on)
{
    m_paint_scale = on;
    build_labels();
    layout_face();
    render_face();
}

void QtScale::setReadOnly(bool on)
{
    m_read_only = on;
}

void QtScale::setPixmap(const QPixmap &pixmap)
{
    m_pixmap = pixmap;
    render_face();
}

void QtScale::setPixmapFile(const QString &name)
{
    m_pixmap_file = name;
    QPixmap loaded;
    if (!name.isEmpty() && !loaded.load(name))
        qWarning() << "QtScale::setPixmapFile: cannot read the image" << name;
    setPixmap(loaded);
}

void QtScale::setPixmapHAlign(int code)
{
    m_pixmap_h_align = code;
    render_face();
}

void QtScale::setPixmapVAlign(int code)
{
    m_pixmap_v_align = code;
    render_face();
}

void QtScale::setPictureFile(const QString &name)
{
    m_picture_file = name;
    delete m_picture;
    m_picture = nullptr;
    if (!name.isEmpty()) {
        auto *loaded = new QSvgRenderer(this);
        if (QFileInfo(name).isReadable() && loaded->load(name) && loaded->isValid()) {
            m_picture = loaded;
        } else {
            qWarning() << "QtScale::setPictureFile: cannot read the picture" << name;
            delete loaded;
        }
    }
    // The needle is then part of the face: every value change renders it.
    set_full_redraw(m_picture != nullptr);
    render_face();
    update();
}

void QtScale::setPictureHScale(double factor)
{
    m_picture_h_scale = factor;
    render_face();
    update();
}

void QtScale::setPictureVScale(double factor)
{
    m_picture_v_scale = factor;
    render_face();
    update();
}

void QtScale::setValue(double value)
{
    if (value == m_value || std::isnan(value) || std::isnan(m_value))
        return;
    m_value = value;
    if (full_redraw())
        render_face();
    else
        update();
}

void QtScale::auto_scale(int target_ticks)
{
    double span = m_range_max - m_range_min;
    double factor = 1.0;
    if (m_auto_scale) {
        if (span == 0.0 || !std::isfinite(span))
            span = 10.0;
        span = std::fabs(span);
        while (span > 100.0) {
            span *= 0.1;
            factor *= 10.0;
        }
        while (span < 10.0) {
            span *= 10.0;
            factor *= 0.1;
        }
        span = std::floor(span);
    }
    int target = target_ticks;
    for (;;) {
        if (m_auto_scale) {
            // The step among 1, 2 and 5 times a power of ten whose tick count
            // comes nearest the target.
            double best = 1.0;
            double best_distance = 100.0;
            for (double f = 1.0;; f *= 10.0) {
                for (double candidate : {f, 2 * f, 5 * f}) {
                    const double distance = std::fabs(span / candidate - target);
                    if (distance < best_distance) {
                        best = candidate;
                        best_distance = distance;
                    }
                }
                if (span / (2 * f) < 1.0 || best_distance == 0.0)
                    break;
            }
            m_scale_dist = best * factor;
            // The multiple of the step next to rangeMin on the side of 0.
            m_scale_min = m_range_min >= 0 ? std::floor(m_range_min / m_scale_dist) * m_scale_dist
                                           : -(std::floor(-m_range_min / m_scale_dist) * m_scale_dist);
        }
        build_labels();
        layout_face();
        if (!m_auto_scale)
            return;
        bool overlap = false;
        for (int i = 1; i < m_labels.size() && !overlap; ++i)
            overlap = m_labels[i].rect.intersects(m_labels[i - 1].rect);
        if (!overlap)
            return;
        target /= 2;
        if (target < 2) {
            m_scale_dist = 0.0;
            build_labels();
            layout_face();
            return;
        }
    }
}

void QtScale::build_scale_labels(const QString &padding, bool widths_only)
{
    m_labels.clear();
    m_label_extent = 0;
    int decimals = 0;
    for (double step = m_scale_dist; step != std::floor(step) && decimals < 6; step *= 10.0)
        ++decimals;
    if (!(m_scale_dist > 0.0) || !std::isfinite(m_scale_dist))
        return;
    const double first = std::floor((m_range_min - m_scale_min) / m_scale_dist) * m_scale_dist + m_scale_min;
    const double count = std::floor((m_range_max - first) / m_scale_dist) + 1;
    if (!std::isfinite(first) || !(count <= kMaxLabels)) {
        qWarning() << "QtScale::build_labels: a step of" << m_scale_dist << "gives too many labels on"
                   << m_range_min << ".." << m_range_max << "; none are drawn";
        return;
    }
    const QFontMetrics metrics(font());
    for (int i = 0; i < int(count); ++i) {
        const double v = first + i * m_scale_dist;
        if (v > m_range_max)
            break;
        if (v < m_range_min)
            continue;
        Label label;
        label.value = v;
        label.text = padding + QString::number(v, 'f', decimals) + padding;
        label.size = QSize(metrics.horizontalAdvance(label.text), metrics.height());
        m_labels.append(label);
    }
    if (!m_paint_labels)
        return;
    for (const Label &label : m_labels)
        m_label_extent = std::max({m_label_extent, label.size.width(), widths_only ? 0 : label.size.height()});
}

void QtScale::draw_background_image(QPainter *painter)
{
    if (m_pixmap.isNull())
        return;
    const QRect target = place_image(size(), m_pixmap.size(), m_pixmap_h_align, m_pixmap_v_align);
    if (target.size() == m_pixmap.size())
        painter->drawPixmap(target.topLeft(), m_pixmap);
    else
        painter->drawImage(target.topLeft(), m_pixmap.toImage().scaled(target.size()));
}

void QtScale::draw_rim(QPainter &painter, const QRect &face_rect) const
{
    const QColor mid = palette().color(QPalette::Mid);
    QPen pen(mid, m_rim_width);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(pen);
    painter.drawArc(face_rect, 0, 360 * 16);
    // A band of arcs from the Mid colour at its ends to the other colour at
    // its centre, one degree at a time.
    auto shade = [&](int centre, int width, const QColor &other) {
        int h1, s1, v1, h2, s2, v2;
        mid.getHsv(&h1, &s1, &v1);
        other.getHsv(&h2, &s2, &v2);
        h1 = std::max(h1, 0);
        h2 = std::max(h2, 0);
        const int half = width / 2;
        for (int i = -half; i < half; ++i) {
            const double t = 1.0 - std::abs(i) / double(half);
            auto mix = [t](int first, int second) { return first + int(std::floor((second - first) * t + 0.5)); };
            pen.setColor(QColor::fromHsv(mix(h1, h2), mix(s1, s2), mix(v1, v2)));
            painter.setPen(pen);
            painter.drawArc(face_rect, (centre + i) * 16, 16);
        }
    };
    if (mid != palette().color(QPalette::Dark))
        shade(150, 160, palette().color(QPalette::Dark));
    if (mid != palette().color(QPalette::Light))
        shade(330, 120, palette().color(QPalette::Light));
}

void QtScale::begin_face(QPainter &painter)
{
    if (m_face.size() != size())
        m_face = QPixmap(size().expandedTo(QSize(1, 1)));
    m_face.fill(palette().color(QPalette::Window));
    painter.begin(&m_face);
    painter.setFont(font());
}

void QtScale::install_face()
{
    update();
}

void QtScale::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.drawPixmap(0, 0, m_face);
    paint_moving_part(painter);
}

void QtScale::resizeEvent(QResizeEvent *event)
{
    compute_auto_scale();
    render_face();
    QWidget::resizeEvent(event);
}

void QtScale::changeEvent(QEvent *event)
{
    const bool restyled = event->type() == QEvent::FontChange || event->type() == QEvent::PaletteChange;
    // Label sizes follow the font: the list is rebuilt also with a fixed scale.
    if (restyled)
        compute_auto_scale();
    QWidget::changeEvent(event);
    if (restyled)
        render_face();
}
