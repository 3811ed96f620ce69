// The gauges' common behaviour: properties by name, the automatic scale, the
// setters' change tests, image placement and which changes render the face.
#include "test_paths.h"
#include "widgets/gauges/qledmeter.h"
#include "widgets/gauges/qtbar.h"
#include "widgets/gauges/qtled.h"
#include "widgets/gauges/qttacho.h"

#include <QImage>
#include <QMetaProperty>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

const QString kNeedle = vyr_test::source_dir() + "/tests/widgets/gauge_needle.svg";

void show(QWidget &widget, QSize size)
{
    widget.resize(size);
    widget.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&widget));
    QCoreApplication::processEvents();
}

QPixmap filled(QSize size, QColor colour)
{
    QPixmap pixmap(size);
    pixmap.fill(colour);
    return pixmap;
}

// A property as the panel files hold it: its name, its default and a value written and read back.
struct PropertyCase {
    const char *name;
    QVariant default_value; // invalid: derived from the widget's size
    QVariant written;       // invalid: read only
};

QVariant comparable(const QVariant &value)
{
    // Pixmaps compare by identity; their size tells the written one apart.
    return value.userType() == QMetaType::QPixmap ? QVariant(value.value<QPixmap>().size()) : value;
}

QList<PropertyCase> scale_cases(const QString &image_file, double scale_min, const QVariant &scale_dist,
                                bool supported)
{
    return {{"scaleMin", scale_min, -5.0},
            {"scaleDist", scale_dist, 2.5},
            {"rangeMin", -10.0, 0.0},
            {"rangeMax", 10.0, 50.0},
            {"text", QString(), QString("rpm")},
            {"paintLabels", true, false},
            {"paintScale", true, false},
            {"readOnly", true, false},
            {"pixmap", QPixmap(), filled(QSize(8, 4), Qt::red)},
            {"pixmapFile", QString(), image_file},
            {"pixmapHAlign", 1, 3},
            {"pixmapVAlign", 1, 5},
            {"pixmapSupported", supported, QVariant()},
            {"pictureFile", QString(), kNeedle},
            {"pictureHScale", 1.0, 0.5},
            {"pictureVScale", 1.0, 2.0},
            {"pictureSupported", supported, QVariant()}};
}

} // namespace

TEST(Gauges, EveryPropertyByNameInOrderWithItsDefault)
{
    QTemporaryDir dir;
    const QString image_file = dir.filePath("face.png");
    ASSERT_TRUE(filled(QSize(6, 6), Qt::blue).save(image_file));
    const QList<PropertyCase> tacho_own = {
        {"arcStart", 45.0, 0.0}, {"arcSize", 270.0, 90.0}, {"paintLabelsInsideScale", false, true}};
    const QList<PropertyCase> bitmap = {{"pixmap", QPixmap(), filled(QSize(8, 4), Qt::red)},
                                        {"pixmapFile", QString(), image_file},
                                        {"pixmapHAlign", 1, 4},
                                        {"pixmapVAlign", 1, 2},
                                        {"pixmapSupported", true, QVariant()}};
    const QList<PropertyCase> led = {{"ledColor", QColor(Qt::red), QColor(Qt::blue)},
                                     {"ledColor2", QColor(Qt::red), QColor(Qt::green)},
                                     {"inverse", false, true},
                                     {"upperLimit", 0.0, 5.0},
                                     {"lowerLimit", 0.0, -5.0},
                                     {"upperLimitValid", true, false},
                                     {"lowerLimitValid", true, false}};
    const QList<PropertyCase> gauge = scale_cases(image_file, -10.0, 1.0, true);
    const struct {
        const char *widget;
        std::function<QWidget *()> create;
        QList<PropertyCase> properties;
    } widgets[] = {
        {"QtTacho", [] { return new QtTacho; }, gauge + tacho_own},
        {"QtHorizont", [] { return new QtHorizont; }, gauge + tacho_own},
        {"QtCompass", [] { return new QtCompass; }, scale_cases(image_file, 0.0, 45.0, true)},
        // A vertical bar's automatic step follows its height.
        {"QtBar", [] { return new QtBar; }, scale_cases(image_file, -10.0, QVariant(), false)},
        {"QtXyIndicator", [] { return new QtXyIndicator; }, gauge},
        {"QtBitmap", [] { return new QtBitmap; }, bitmap},
        {"QtLed", [] { return new QtLed; }, led},
    };
    for (const auto &entry : widgets) {
        SCOPED_TRACE(entry.widget);
        std::unique_ptr<QWidget> widget(entry.create());
        const QMetaObject *meta = widget->metaObject();
        const int first = QWidget::staticMetaObject.propertyCount();
        ASSERT_EQ(meta->propertyCount() - first, entry.properties.size());
        for (int i = 0; i < entry.properties.size(); ++i) {
            const PropertyCase &expected = entry.properties[i];
            SCOPED_TRACE(expected.name);
            EXPECT_STREQ(meta->property(first + i).name(), expected.name);
            if (expected.default_value.isValid()) {
                EXPECT_EQ(comparable(widget->property(expected.name)), comparable(expected.default_value));
            }
        }
        for (const PropertyCase &expected : entry.properties) {
            SCOPED_TRACE(expected.name);
            EXPECT_EQ(widget->setProperty(expected.name, expected.written), expected.written.isValid());
            if (expected.written.isValid()) {
                EXPECT_EQ(comparable(widget->property(expected.name)), comparable(expected.written));
            }
        }
    }
}

TEST(Gauges, PixmapFileLoadsTheImageAndAnUnreadableFileClearsIt)
{
    QTemporaryDir dir;
    const QString image_file = dir.filePath("face.png");
    ASSERT_TRUE(filled(QSize(6, 3), Qt::blue).save(image_file));
    QtTacho tacho;
    QtBitmap bitmap;
    for (QWidget *widget : {static_cast<QWidget *>(&tacho), static_cast<QWidget *>(&bitmap)}) {
        widget->setProperty("pixmapFile", image_file);
        EXPECT_EQ(widget->property("pixmap").value<QPixmap>().size(), QSize(6, 3));
        widget->setProperty("pixmapFile", dir.filePath("missing.png"));
        EXPECT_TRUE(widget->property("pixmap").value<QPixmap>().isNull());
    }
}

TEST(Gauges, AutomaticScaleFollowsTheRange)
{
    QtTacho tacho;
    show(tacho, QSize(600, 600));
    const struct {
        double minimum, maximum;
        double scale_min, scale_dist;
        QString first_label, last_label;
    } cases[] = {
        {-10, 10, -10, 1, "-10", "10"},
        {0, 1, 0, 0.1, "0.0", "1.0"},
        // An empty range steps as a span of 10.
        {5, 5, 5, 1, "5", "5"},
        {-3, 2, -3, 0.2, "-3.0", "2.0"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(QString("%1..%2").arg(c.minimum).arg(c.maximum).toStdString());
        tacho.setRange(c.minimum, c.maximum);
        EXPECT_TRUE(tacho.automatic_scale());
        EXPECT_DOUBLE_EQ(tacho.scaleMin(), c.scale_min);
        EXPECT_DOUBLE_EQ(tacho.scaleDist(), c.scale_dist);
        ASSERT_FALSE(tacho.labels().isEmpty());
        EXPECT_EQ(tacho.labels().first().text, c.first_label);
        EXPECT_EQ(tacho.labels().last().text, c.last_label);
    }
}

TEST(Gauges, OverlappingLabelsHalveTheTicksDownToNone)
{
    // A narrow horizontal bar puts every padded label at the same place.
    QtBar bar(nullptr, "bar", {}, QtBar::Horizontal);
    show(bar, QSize(40, 60));
    EXPECT_TRUE(bar.labels_shown());
    EXPECT_EQ(bar.scaleDist(), 0.0);
    EXPECT_TRUE(bar.labels().isEmpty());
    // Room again: the automatic scale comes back.
    bar.resize(600, 60);
    QCoreApplication::processEvents();
    EXPECT_GT(bar.scaleDist(), 0.0);
    EXPECT_FALSE(bar.labels().isEmpty());

    // A small dial keeps fewer, coarser labels than a large one.
    QtTacho small, large;
    show(small, QSize(150, 150));
    show(large, QSize(800, 800));
    EXPECT_GT(small.scaleDist(), large.scaleDist());
    for (int i = 1; i < small.labels().size(); ++i)
        EXPECT_FALSE(small.labels()[i].rect.intersects(small.labels()[i - 1].rect)) << i;
}

TEST(Gauges, WritingTheScaleSwitchesAutomaticScalingOffForGood)
{
    QtTacho tacho;
    show(tacho, QSize(600, 600));
    tacho.setProperty("scaleMin", -10.0); // the value it has: still a switch
    EXPECT_FALSE(tacho.automatic_scale());
    tacho.setRange(0, 50);
    EXPECT_DOUBLE_EQ(tacho.scaleMin(), -10.0);
    EXPECT_DOUBLE_EQ(tacho.scaleDist(), 1.0);
    // The labels are the fixed grid's within the new range.
    ASSERT_EQ(tacho.labels().size(), 51);
    EXPECT_EQ(tacho.labels().first().text, "0");
    EXPECT_EQ(tacho.labels().last().text, "50");
    tacho.resize(300, 300);
    QCoreApplication::processEvents();
    EXPECT_DOUBLE_EQ(tacho.scaleDist(), 1.0);
}

TEST(Gauges, RangeMinPastTheMaximumKeepsTheSpan)
{
    QtTacho tacho;
    tacho.setRangeMin(25);
    EXPECT_EQ(tacho.rangeMin(), 25.0);
    EXPECT_EQ(tacho.rangeMax(), 45.0);
    tacho.setRangeMin(30);
    EXPECT_EQ(tacho.rangeMax(), 45.0);
    tacho.setRangeMax(20);
    EXPECT_EQ(tacho.rangeMin(), 30.0);
    EXPECT_EQ(tacho.rangeMax(), 20.0);
}

TEST(Gauges, ATinyStepMakesNoLabelsInsteadOfMillions)
{
    const struct {
        double maximum, step;
        int labels;
    } cases[] = {
        {1000, 1e-6, 0}, // a billion labels
        {1000, 1.0, 0},  // 1001: more than the dial can draw
        {100, 1.0, 101},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.step);
        QtTacho tacho;
        show(tacho, QSize(300, 300));
        tacho.setRange(0, c.maximum);
        tacho.setScaleDist(c.step);
        EXPECT_EQ(tacho.labels().size(), c.labels);
        tacho.grab();
    }
}

TEST(Gauges, PlacementCodesOfTheImage)
{
    const QSize widget(100, 80);
    const QSize image(20, 10);
    const struct {
        int code;
        QRect expected;
    } cases[] = {
        {0, QRect(0, 0, 20, 10)},    {1, QRect(40, 35, 20, 10)}, {2, QRect(80, 70, 20, 10)},
        {3, QRect(0, 0, 100, 80)},   {4, QRect(15, 15, 20, 10)}, {5, QRect(65, 55, 20, 10)},
        {9, QRect(40, 35, 20, 10)}, // unknown codes centre
    };
    QtBitmap bitmap;
    bitmap.setPixmap(filled(image, Qt::red));
    show(bitmap, widget);
    for (const auto &c : cases) {
        SCOPED_TRACE(c.code);
        EXPECT_EQ(QtScale::place_image(widget, image, c.code, c.code), c.expected);
        bitmap.setPixmapHAlign(c.code);
        bitmap.setPixmapVAlign(c.code);
        const QImage shot = bitmap.grab().toImage();
        const QRect r = c.expected;
        for (QPoint corner : {r.topLeft(), r.topRight(), r.bottomLeft(), r.bottomRight()})
            EXPECT_EQ(shot.pixelColor(corner), QColor(Qt::red)) << corner.x() << "," << corner.y();
        for (QPoint outside : {r.topLeft() - QPoint(1, 1), r.bottomRight() + QPoint(1, 1)}) {
            if (QRect(QPoint(), widget).contains(outside)) {
                EXPECT_NE(shot.pixelColor(outside), QColor(Qt::red)) << outside.x() << "," << outside.y();
            }
        }
    }
    // One axis stretched, the other placed by its own code.
    EXPECT_EQ(QtScale::place_image(widget, image, 3, 2), QRect(0, 70, 100, 10));
}

namespace {

// A tacho that counts its face renders and its paint events.
class CountingTacho : public QtTacho
{
public:
    int m_renders = 0;
    int m_paints = 0;

protected:
    void render_face() override
    {
        ++m_renders;
        QtTacho::render_face();
    }
    void paintEvent(QPaintEvent *event) override
    {
        ++m_paints;
        QtTacho::paintEvent(event);
    }
};

} // namespace

TEST(Gauges, AValueChangeRepaintsTheNeedleAndANeedlePictureRendersTheFace)
{
    CountingTacho tacho;
    show(tacho, QSize(200, 200));
    const auto counts = [&tacho](double value) {
        tacho.m_renders = tacho.m_paints = 0;
        tacho.setValue(value);
        QCoreApplication::processEvents();
        return std::make_pair(tacho.m_renders, tacho.m_paints > 0);
    };
    EXPECT_EQ(counts(0.0), std::make_pair(0, false));
    EXPECT_EQ(counts(qQNaN()), std::make_pair(0, false));
    EXPECT_EQ(counts(3.0), std::make_pair(0, true));

    tacho.setPictureFile(kNeedle);
    EXPECT_EQ(counts(4.0), std::make_pair(1, true));
    EXPECT_EQ(counts(4.0), std::make_pair(0, false));

    // An unreadable picture removes the needle picture and its full renders.
    tacho.setPictureFile("/nonexistent/needle.svg");
    EXPECT_EQ(counts(5.0), std::make_pair(0, true));
}
