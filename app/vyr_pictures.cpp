#include "app/vyr_pictures.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace {

// A square wave of four CAN bits across the rectangle.
void draw_bus_trace(QPainter &painter, const QRectF &area)
{
    const qreal step = area.width() / 8;
    QPainterPath path(QPointF(area.left(), area.bottom()));
    const bool levels[8] = {false, true, true, false, true, false, false, true};
    qreal x = area.left();
    for (bool high : levels) {
        const qreal y = high ? area.top() : area.bottom();
        path.lineTo(x, y);
        x += step;
        path.lineTo(x, y);
    }
    painter.drawPath(path);
}

} // namespace

QIcon program_icon()
{
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(QColor(128, 0, 0));
    painter.setPen(Qt::NoPen);
    painter.drawRoundedRect(QRectF(1, 1, 30, 30), 5, 5);
    painter.setPen(QPen(QColor(255, 220, 0), 2));
    draw_bus_trace(painter, QRectF(4, 18, 24, 8));
    QFont font = painter.font();
    font.setBold(true);
    font.setPixelSize(14);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(QRectF(0, 1, 32, 16), Qt::AlignCenter, QStringLiteral("V"));
    return QIcon(pixmap);
}

QPixmap splash_picture()
{
    QPixmap pixmap(420, 240);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient gradient(0, 0, 0, pixmap.height());
    gradient.setColorAt(0, QColor(40, 44, 52));
    gradient.setColorAt(1, QColor(90, 10, 10));
    painter.fillRect(pixmap.rect(), gradient);
    painter.setPen(QPen(QColor(255, 220, 0), 3));
    draw_bus_trace(painter, QRectF(30, 150, 360, 40));
    QFont font = painter.font();
    font.setBold(true);
    font.setPixelSize(64);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(QRectF(0, 20, pixmap.width(), 90), Qt::AlignCenter, QStringLiteral("Vyr"));
    font.setBold(false);
    font.setPixelSize(16);
    painter.setFont(font);
    painter.drawText(QRectF(0, 100, pixmap.width(), 30), Qt::AlignCenter,
                     QStringLiteral("CAN bus analyser and simulation"));
    return pixmap;
}
