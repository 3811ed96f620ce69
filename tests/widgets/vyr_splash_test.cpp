#include "widgets/vyr_splash.h"

#include <QLabel>
#include <QPointer>
#include <QTest>
#include <gtest/gtest.h>

namespace {

QPixmap picture()
{
    QPixmap pixmap(120, 80);
    pixmap.fill(Qt::blue);
    return pixmap;
}

void move_mouse(QWidget *widget)
{
    QMouseEvent event(QEvent::MouseMove, QPointF(10, 10), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &event);
}

} // namespace

TEST(VyrSplash, ABorderlessPictureOnTopThatGoesWhenClosed)
{
    QPointer<VyrSplash> splash = new VyrSplash(nullptr, picture());
    EXPECT_EQ(splash->objectName(), "Splash");
    EXPECT_TRUE(splash->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_TRUE(splash->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(splash->hasMouseTracking());
    auto *label = splash->findChild<QLabel *>("picture");
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->pixmap(Qt::ReturnByValue).size(), QSize(120, 80));
    EXPECT_EQ(label->margin(), 5);
    EXPECT_EQ(splash->size(), QSize(120, 80));
    splash->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(splash.isNull());
}

TEST(VyrSplash, MouseMovesCloseItOnlyOnceTimed)
{
    for (bool over_picture : {false, true}) {
        SCOPED_TRACE(over_picture ? "over the picture" : "over the window");
        QPointer<VyrSplash> splash = new VyrSplash(nullptr, picture());
        splash->show();
        QWidget *target = over_picture ? static_cast<QWidget *>(splash->findChild<QLabel *>("picture"))
                                       : static_cast<QWidget *>(splash.data());
        move_mouse(target);
        QTest::mouseClick(target, Qt::LeftButton);
        EXPECT_TRUE(splash->isVisible()); // not timed yet; presses never close it

        splash->start_close_timer(60000);
        QTest::mouseClick(target, Qt::LeftButton);
        EXPECT_TRUE(splash->isVisible());
        move_mouse(target);
        EXPECT_FALSE(splash->isVisible()); // long before the timer
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(splash.isNull());
    }
}

TEST(VyrSplash, ClosesWhenTheTimeIsOver)
{
    QPointer<VyrSplash> splash = new VyrSplash(nullptr, picture());
    splash->show();
    splash->start_close_timer(20);
    EXPECT_TRUE(QTest::qWaitFor([&splash] { return splash.isNull(); }, 5000));
}
