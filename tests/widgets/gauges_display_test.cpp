// What the gauges, the LED and the LED meter show, probed in grabbed pictures.
#include "widgets/gauges/qledmeter.h"
#include "widgets/gauges/qtbar.h"
#include "widgets/gauges/qtled.h"
#include "widgets/gauges/qttacho.h"

#include <QImage>
#include <QTest>
#include <gtest/gtest.h>

#include <cmath>

namespace {

void show(QWidget &widget, QSize size)
{
    widget.resize(size);
    widget.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&widget));
    QCoreApplication::processEvents();
}

QColor pixel(QWidget &widget, QPoint at)
{
    return widget.grab().toImage().pixelColor(at);
}

bool reddish(const QColor &c)
{
    return c.red() > 150 && c.green() < 100 && c.blue() < 100;
}

bool whitish(const QColor &c)
{
    return c.red() > 200 && c.green() > 200 && c.blue() > 200;
}

} // namespace

TEST(Tacho, QuadrantsOfTheArcPlaceTheCentre)
{
    QtTacho tacho;
    show(tacho, QSize(200, 100));
    // A new tacho is a centred whole circle.
    EXPECT_EQ(tacho.centre(), QPoint(100, 50));
    EXPECT_EQ(tacho.face_radius(), 50);
    const struct {
        double start, size;
        bool q0, q1, q2, q3;
        QPoint centre;
        int radius;
    } cases[] = {
        {0, 90, true, true, false, false, QPoint(100, 100), 100},     // upper half: e = 90 is not below 90
        {45, 270, true, true, true, true, QPoint(100, 50), 50},
        {180, 90, false, false, true, true, QPoint(100, 0), 100},     // lower half
        {10, 40, true, false, false, false, QPoint(200, 100), 100},   // upper left quarter
        {100, 50, false, true, false, false, QPoint(0, 100), 100},    // upper right quarter
        {270, 180, true, true, false, true, QPoint(100, 50), 50},     // wraps round past 360
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(QString("%1 over %2").arg(c.start).arg(c.size).toStdString());
        tacho.setArc(c.start, c.size);
        EXPECT_EQ(tacho.quadrant(0), c.q0);
        EXPECT_EQ(tacho.quadrant(1), c.q1);
        EXPECT_EQ(tacho.quadrant(2), c.q2);
        EXPECT_EQ(tacho.quadrant(3), c.q3);
        EXPECT_EQ(tacho.centre(), c.centre);
        EXPECT_EQ(tacho.face_radius(), c.radius);
    }
}

TEST(Tacho, TheNeedlePointsAtTheValue)
{
    QtTacho tacho;
    tacho.setPaintLabels(false);
    show(tacho, QSize(200, 200));
    const struct {
        double start, size, value, angle;
    } cases[] = {
        {45, 270, -10, 45},  {45, 270, 0, 180}, {45, 270, 10, 315},
        {45, 270, 20, 450},  // beyond the range: past the arc's end, not clamped
        {0, 180, -10, 0},    {0, 180, 0, 90},   {0, 180, 5, 135},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(QString("%1 over %2 at %3").arg(c.start).arg(c.size).arg(c.value).toStdString());
        tacho.setArc(c.start, c.size);
        tacho.setValue(c.value);
        EXPECT_DOUBLE_EQ(tacho.needle_angle(), c.angle);
        const QImage shot = tacho.grab().toImage();
        const int half = tacho.scale_radius() / 2;
        QPoint along = tacho.point_at(c.angle, half);
        along.setY(std::min(along.y(), tacho.height() - 1));
        EXPECT_EQ(shot.pixelColor(along), QColor(Qt::red));
        EXPECT_NE(shot.pixelColor(tacho.point_at(c.angle + 180, half)), QColor(Qt::red));
    }
}

TEST(Tacho, AnEmptyRangeLeavesTheNeedleAtTheArcStart)
{
    QtTacho tacho;
    show(tacho, QSize(200, 200));
    tacho.setRange(5, 5);
    for (double value : {5.0, 7.0, -100.0, qInf()}) {
        SCOPED_TRACE(value);
        tacho.setValue(value);
        EXPECT_DOUBLE_EQ(tacho.needle_angle(), 45.0);
        EXPECT_EQ(pixel(tacho, tacho.point_at(45, tacho.scale_radius() / 2)), QColor(Qt::red));
    }
    // A fixed scale on an empty range keeps every tick on the arc's start.
    tacho.setScale(0, 1);
    tacho.grab();
}

TEST(Tacho, LabelsThatDoNotFitAreHidden)
{
    QtTacho tacho;
    show(tacho, QSize(400, 400));
    EXPECT_TRUE(tacho.labels_shown());
    tacho.resize(30, 30);
    QCoreApplication::processEvents();
    EXPECT_FALSE(tacho.labels_shown());
    for (const QtScale::Label &label : tacho.labels())
        EXPECT_TRUE(label.rect.isEmpty());
    QtCompass compass;
    show(compass, QSize(20, 20));
    EXPECT_FALSE(compass.labels_shown());
    compass.resize(300, 300);
    QCoreApplication::processEvents();
    EXPECT_TRUE(compass.labels_shown());
}

TEST(Horizont, PitchBeyondTheRangeIsAllSkyOrAllGround)
{
    QtHorizont horizon;
    horizon.setPaintLabels(false);
    show(horizon, QSize(200, 200));
    const QPoint centre = horizon.centre();
    const int d = horizon.scale_radius() / 2;
    const QList<QPoint> probes = {centre, centre + QPoint(d, 0), centre - QPoint(d, 0), centre + QPoint(0, d),
                                  centre - QPoint(0, d)};
    const struct {
        double gradient;
        QColor colour;
    } cases[] = {{100, Qt::blue}, {10, Qt::blue}, {-10, Qt::green}, {-1e9, Qt::green}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.gradient);
        horizon.setGradientValue(c.gradient);
        const QImage shot = horizon.grab().toImage();
        for (QPoint probe : probes)
            EXPECT_EQ(shot.pixelColor(probe), c.colour) << probe.x() << "," << probe.y();
    }
    // Level: sky on one side of the centre, ground on the other.
    horizon.setGradientValue(0);
    const QImage shot = horizon.grab().toImage();
    const QColor one = shot.pixelColor(centre + QPoint(d, 0));
    const QColor other = shot.pixelColor(centre - QPoint(d, 0));
    EXPECT_TRUE((one == Qt::blue && other == Qt::green) || (one == Qt::green && other == Qt::blue));
    // A narrower gradient range re-renders the pitch at once.
    horizon.setGradientRange(-20, -10);
    EXPECT_EQ(horizon.grab().toImage().pixelColor(centre), QColor(Qt::blue));
}

TEST(Compass, TheRedTipPointsNorthOfTheValue)
{
    QtCompass compass;
    compass.setRange(0, 360);
    show(compass, QSize(200, 200));
    const struct {
        double value;
        QPoint north; // direction of the red tip on screen
    } cases[] = {{0, QPoint(0, -1)}, {90, QPoint(1, 0)}, {180, QPoint(0, 1)}, {270, QPoint(-1, 0)}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.value);
        compass.setValue(c.value);
        const QImage shot = compass.grab().toImage();
        const int d = compass.scale_radius() / 3;
        EXPECT_TRUE(reddish(shot.pixelColor(compass.centre() + c.north * d)));
        EXPECT_TRUE(whitish(shot.pixelColor(compass.centre() - c.north * d)));
    }
    // An empty range leaves the needle north.
    compass.setRange(10, 10);
    EXPECT_TRUE(reddish(pixel(compass, compass.centre() + QPoint(0, -compass.scale_radius() / 3))));
}

TEST(Bar, GrowsFromZeroAndTurnsRedOutOfRange)
{
    for (int orientation : {int(QtBar::Vertical), int(QtBar::Horizontal)}) {
        SCOPED_TRACE(orientation);
        QtBar bar(nullptr, "bar", {}, orientation);
        show(bar, orientation == QtBar::Vertical ? QSize(80, 240) : QSize(240, 80));
        const QRect area = bar.bar_area();
        const QPoint zero = area.center();
        // Towards the range's maximum: up on a vertical bar, right on a horizontal one.
        const QPoint up = bar.vertical() ? QPoint(0, -area.height() / 8) : QPoint(area.width() / 8, 0);
        const struct {
            double value;
            QColor towards_max, towards_min;
        } cases[] = {
            {5, Qt::darkBlue, Qt::transparent},
            {-5, Qt::transparent, Qt::darkBlue},
            {10.5, Qt::red, Qt::red},
            {-11, Qt::red, Qt::red},
        };
        for (const auto &c : cases) {
            SCOPED_TRACE(c.value);
            bar.setValue(c.value);
            const QImage shot = bar.grab().toImage();
            const QColor max_side = shot.pixelColor(zero + up);
            const QColor min_side = shot.pixelColor(zero - up);
            if (c.towards_max == Qt::transparent)
                EXPECT_TRUE(max_side != Qt::darkBlue && max_side != Qt::red);
            else
                EXPECT_EQ(max_side, c.towards_max);
            if (c.towards_min == Qt::transparent)
                EXPECT_TRUE(min_side != Qt::darkBlue && min_side != Qt::red);
            else
                EXPECT_EQ(min_side, c.towards_min);
        }
        // An empty range draws no bar at all.
        bar.setRange(3, 3);
        for (double value : {3.0, 8.0}) {
            bar.setValue(value);
            const QImage shot = bar.grab().toImage();
            for (QPoint probe : {zero, zero + up, zero - up}) {
                EXPECT_NE(shot.pixelColor(probe), QColor(Qt::darkBlue));
                EXPECT_NE(shot.pixelColor(probe), QColor(Qt::red));
            }
        }
    }
}

TEST(Bar, TooSmallForLabelsShowsNoneAndKeepsALengthOfOne)
{
    QtBar bar;
    show(bar, QSize(20, 12));
    EXPECT_FALSE(bar.labels_shown());
    EXPECT_EQ(bar.bar_length(), 1);
    bar.setValue(3);
    bar.grab();
}

TEST(XyIndicator, TheDotIsPinnedAtTheEdgesAndYPointsUp)
{
    QtXyIndicator xy;
    show(xy, QSize(100, 100));
    const struct {
        double x, y;
        QPoint dot;
    } cases[] = {
        {0, 0, QPoint(50, 50)},     {10, -10, QPoint(100, 100)}, {1e6, -1e6, QPoint(100, 100)},
        {-10, 10, QPoint(0, 0)},    {-50, 50, QPoint(0, 0)},     {0, 5, QPoint(50, 25)},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(QString("%1,%2").arg(c.x).arg(c.y).toStdString());
        xy.setValue(c.x);
        xy.setYValue(c.y);
        EXPECT_EQ(xy.dot_position(), c.dot);
        const QPoint inside(std::clamp(c.dot.x(), 2, 97), std::clamp(c.dot.y(), 2, 97));
        EXPECT_EQ(pixel(xy, inside), QColor(Qt::red));
    }
    // The dot follows a new y range at once.
    xy.setYRange(0, 20);
    EXPECT_EQ(xy.dot_position(), QPoint(50, 75));
}

TEST(Led, LimitsColoursAndInverse)
{
    const struct {
        const char *name;
        double value;
        bool colour2_written;
        bool inverse;
        QColor expected;
    } cases[] = {
        {"above the upper limit", 1, true, false, Qt::blue},
        {"below the lower limit", -1, true, false, Qt::green},
        {"below, second colour never written", -1, false, false, Qt::blue},
        {"between", 0, true, false, Qt::darkGray},
        {"inverse between", 0, true, true, Qt::blue},
        {"inverse above", 1, true, true, Qt::darkGray},
        {"inverse below", -1, true, true, Qt::darkGray},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QtLed led;
        led.setProperty("ledColor", QColor(Qt::blue));
        if (c.colour2_written)
            led.setProperty("ledColor2", QColor(Qt::green));
        led.setInverse(c.inverse);
        show(led, QSize(32, 32));
        led.setValue(c.value);
        EXPECT_EQ(led.lamp_colour(), c.expected);
        EXPECT_EQ(pixel(led, QPoint(23, 23)), c.expected);
    }
}

TEST(Led, LimitChangesReEvaluateTheStoredValue)
{
    QtLed led;
    led.setValue(3);
    EXPECT_TRUE(led.isOn());
    led.setUpperLimit(5);
    EXPECT_FALSE(led.isOn());
    led.setLowerLimit(4);
    EXPECT_TRUE(led.isOn2());
    led.setLowerLimitValid(false);
    EXPECT_FALSE(led.isOn2());
    led.setOn(true);
    EXPECT_EQ(led.lamp_colour(), QColor(Qt::red));
}

TEST(Led, UnderSixPixelsDrawsNothing)
{
    for (QSize size : {QSize(5, 40), QSize(40, 5), QSize(6, 6)}) {
        SCOPED_TRACE(size.width() * 100 + size.height());
        QtLed led;
        led.setOn(true);
        show(led, size);
        const QImage shot = led.grab().toImage();
        bool drawn = false;
        for (int y = 0; y < shot.height(); ++y)
            for (int x = 0; x < shot.width(); ++x)
                drawn = drawn || shot.pixelColor(x, y) == QColor(Qt::red);
        EXPECT_EQ(drawn, size == QSize(6, 6));
    }
}

TEST(LedMeter, LitCountsOfTheValue)
{
    QLedMeter meter;
    const struct {
        int maximum, count, value, lit;
    } cases[] = {
        {100, 20, 0, 0},   {100, 20, 1, 1},   {100, 20, 100, 20}, {100, 20, 50, 10},
        {100, 20, 150, 20}, {100, 20, -5, 0},
        // Large maxima: counted without overflow.
        {2000000000, 20, 2000000000, 20},   {2000000000, 20, 1000000000, 10},
        // A maximum below the LED count lights them all at full scale.
        {10, 20, 10, 20},  {10, 20, 5, 10},   {10, 20, 0, 0},
        {0, 20, 1, 20}, // a maximum below 1 counts as 1
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(QString("%1 of %2 on %3").arg(c.value).arg(c.maximum).arg(c.count).toStdString());
        meter.setMaxValue(c.maximum);
        meter.setLedCount(c.count);
        meter.setValue(c.value);
        EXPECT_EQ(meter.lit_count(), c.lit);
    }
}

TEST(LedMeter, ColourRangesAndTheCountFollowingTheWidth)
{
    QLedMeter meter;
    meter.addColorRange(60, Qt::green);
    meter.addColorRange(40, Qt::red);
    show(meter, QSize(200, 16));
    ASSERT_EQ(meter.led_count(), 20);
    meter.setValue(100);
    const QImage shot = meter.grab().toImage();
    const auto led_colour = [&shot](int i) { return shot.pixelColor(i * 10 + 5, 8); };
    EXPECT_EQ(led_colour(0), QColor(Qt::green));
    EXPECT_EQ(led_colour(12), QColor(Qt::green));
    EXPECT_EQ(led_colour(13), QColor(Qt::red));
    EXPECT_EQ(led_colour(19), QColor(Qt::red));
    meter.setValue(50);
    EXPECT_NE(meter.grab().toImage().pixelColor(15 * 10 + 5, 8), QColor(Qt::red)); // unlit

    meter.resize(50, 16);
    QCoreApplication::processEvents();
    EXPECT_EQ(meter.led_count(), 10);
    EXPECT_EQ(meter.minimumWidth(), 20);
    meter.resize(500, 16);
    QCoreApplication::processEvents();
    EXPECT_EQ(meter.led_count(), 80);
}
