#pragma once
// The picture window shown while the program starts: borderless, on top of
// other windows and deleted when closed. Once start_close_timer has been
// called it closes when the time is over or when the mouse moves over it.
#include <QWidget>

class QLabel;
class QPixmap;
class QVBoxLayout;

class VyrSplash : public QWidget
{
    Q_OBJECT

public:
    VyrSplash(QWidget *parent, const QPixmap &picture);

    void start_close_timer(int milliseconds);

protected:
    void timerEvent(QTimerEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QVBoxLayout *m_layout;
    QLabel *m_picture;
    bool m_timed = false;
};
