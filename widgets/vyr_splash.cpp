#include "widgets/vyr_splash.h"

#include <QEvent>
#include <QLabel>
#include <QPixmap>
#include <QVBoxLayout>

VyrSplash::VyrSplash(QWidget *parent, const QPixmap &picture)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("Splash"));
    setAttribute(Qt::WA_DeleteOnClose);
    setMouseTracking(true);

    m_layout = new QVBoxLayout(this);
    m_layout->setObjectName(QStringLiteral("SplashBaseLayout"));
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(0);

    m_picture = new QLabel(this);
    m_picture->setObjectName(QStringLiteral("picture"));
    m_picture->setPixmap(picture);
    m_picture->setScaledContents(false);
    m_picture->setMargin(5);
    m_picture->setAutoFillBackground(true);
    QPalette palette = m_picture->palette();
    palette.setColor(QPalette::Window, QColor(128, 0, 0));
    m_picture->setPalette(palette);
    m_picture->setMouseTracking(true);
    m_picture->installEventFilter(this);
    m_layout->addWidget(m_picture);

    resize(picture.size());
}

void VyrSplash::start_close_timer(int milliseconds)
{
    m_timed = true;
    startTimer(milliseconds);
}

void VyrSplash::timerEvent(QTimerEvent *)
{
    close();
}

void VyrSplash::mouseMoveEvent(QMouseEvent *)
{
    if (m_timed)
        close();
}

bool VyrSplash::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_picture && event->type() == QEvent::MouseMove) {
        if (m_timed)
            close();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}
