#include "widgets/gauges/qtled.h"

#include "widgets/gauges/qtscale.h"

#include <QEvent>
#include <QPainter>
#include <QtDebug>

#include <algorithm>

QtBitmap::QtBitmap(QWidget *parent, const QString &name, Qt::WindowFlags flags) : QWidget(parent, flags)
{
    setObjectName(name);
    render_face();
}

void QtBitmap::setPixmap(const QPixmap &pixmap)
{
    m_pixmap = pixmap;
    render_face();
}

void QtBitmap::setPixmapFile(const QString &name)
{
    m_pixmap_file = name;
    QPixmap loaded;
    if (!name.isEmpty() && !loaded.load(name))
        qWarning() << "QtBitmap::setPixmapFile: cannot read the image" << name;
    setPixmap(loaded);
}

void QtBitmap::setPixmapHAlign(int code)
{
    m_pixmap_h_align = code;
    render_face();
}

void QtBitmap::setPixmapVAlign(int code)
{
    m_pixmap_v_align = code;
    render_face();
}

void QtBitmap::render_face()
{
    m_face = QPixmap(size().expandedTo(QSize(1, 1)));
    m_face.fill(palette().color(QPalette::Window));
    if (!m_pixmap.isNull()) {
        QPainter painter(&m_face);
        const QRect target = QtScale::place_image(size(), m_pixmap.size(), m_pixmap_h_align, m_pixmap_v_align);
        if (target.size() == m_pixmap.size())
            painter.drawPixmap(target.topLeft(), m_pixmap);
        else
            painter.drawImage(target.topLeft(), m_pixmap.toImage().scaled(target.size()));
    }
    update();
}

void QtBitmap::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.drawPixmap(0, 0, m_face);
}

void QtBitmap::resizeEvent(QResizeEvent *event)
{
    render_face();
    QWidget::resizeEvent(event);
}

void QtBitmap::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::PaletteChange)
        render_face();
}

QtLed::QtLed(QWidget *parent, const QString &name, Qt::WindowFlags flags) : QWidget(parent, flags)
{
    setObjectName(name);
}

void QtLed::setLedColor(const QColor &colour)
{
    m_color = colour;
    update();
}

void QtLed::setLedColor2(const QColor &colour)
{
    m_color2 = colour;
    m_color2_set = true;
    update();
}

void QtLed::setUpperLimit(double limit)
{
    if (limit == m_upper_limit)
        return;
    m_upper_limit = limit;
    evaluate();
}

void QtLed::setLowerLimit(double limit)
{
    if (limit == m_lower_limit)
        return;
    m_lower_limit = limit;
    evaluate();
}

void QtLed::setUpperLimitValid(bool valid)
{
    if (valid == m_upper_limit_valid)
        return;
    m_upper_limit_valid = valid;
    evaluate();
}

void QtLed::setLowerLimitValid(bool valid)
{
    if (valid == m_lower_limit_valid)
        return;
    m_lower_limit_valid = valid;
    evaluate();
}

void QtLed::setValue(double value)
{
    m_value = value;
    evaluate();
}

void QtLed::evaluate()
{
    setOn(m_upper_limit_valid && m_value > m_upper_limit);
    setOn2(m_lower_limit_valid && m_value < m_lower_limit);
}

void QtLed::setOn(bool on)
{
    if (on == m_on)
        return;
    m_on = on;
    update();
}

void QtLed::setOn2(bool on)
{
    if (on == m_on2)
        return;
    m_on2 = on;
    update();
}

void QtLed::setInverse(bool inverse)
{
    if (inverse == m_inverse)
        return;
    m_inverse = inverse;
    update();
}

QColor QtLed::lamp_colour() const
{
    if (m_inverse)
        return !m_on && !m_on2 ? m_color : QColor(Qt::darkGray);
    if (m_on2)
        return m_color2_set ? m_color2 : m_color;
    if (m_on)
        return m_color;
    return Qt::darkGray;
}

void QtLed::paintEvent(QPaintEvent *)
{
    const int r = std::min(width(), height()) / 2 - 2;
    if (r < 1)
        return;
    const int cx = width() / 2;
    const int cy = height() / 2;
    const int shadow = r < 20 ? 1 : 2;
    const QColor colour = lamp_colour();
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing, false);
    auto fill = [&painter](const QColor &c) {
        painter.setPen(c);
        painter.setBrush(c);
    };
    // Light upper-left and dark lower-right edges, then the lamp with a
    // crescent highlight.
    fill(Qt::white);
    painter.drawChord(QRect(cx - shadow - r + 1, cy - shadow - r + 1, 2 * r - 1, 2 * r - 1), 60 * 16, 150 * 16);
    fill(Qt::black);
    painter.drawChord(QRect(cx + shadow - r, cy + shadow - r, 2 * r - 1, 2 * r - 1), 30 * 16, -150 * 16);
    fill(colour);
    painter.drawEllipse(QRect(cx - r, cy - r, 2 * r, 2 * r));
    fill(Qt::white);
    painter.drawPie(QRect(cx - r + r / 3, cy - r + r / 3, r, r), 60 * 16, 150 * 16);
    fill(colour);
    painter.drawPie(QRect(cx - r + r * 5 / 10, cy - r + r * 5 / 10, r + r / 3, r + r / 3), 60 * 16, 150 * 16);
}
