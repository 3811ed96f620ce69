#include "widgets/graph/qgraphregion.h"

#include <QSignalSpy>
#include <QWidget>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace {

class CountingRegion : public QGraphRegion
{
public:
    using QGraphRegion::QGraphRegion;
    void relayout() override { ++m_relayouts; }
    int preferred_width() const override { return 0; }
    int preferred_height() const override { return 0; }
    void paint(QPainter &, const QRect &) override {}
    int m_relayouts = 0;
};

} // namespace

TEST(SampleRing, CapacityIsThePowerOfTwoAboveTheColumns)
{
    const struct {
        int columns;
        int capacity;
    } cases[] = {{0, 16}, {15, 16}, {16, 32}, {31, 32}, {100, 128}};
    for (const auto &c : cases)
        EXPECT_EQ(SampleRing(c.columns).capacity(), c.capacity) << c.columns << " columns";
}

TEST(SampleRing, ReadsOnlyWhatItHoldsAndWrapsAround)
{
    SampleRing ring(10);
    double value = -1.0;
    EXPECT_FALSE(ring.first(value));
    for (int i = 0; i < 5; ++i)
        ring.append(i + 1);
    EXPECT_EQ(ring.count(), 5);
    EXPECT_EQ(ring.at(4), 5.0);
    EXPECT_EQ(ring.at(5), 0.0);
    ring.reset();
    EXPECT_EQ(ring.count(), 0);
    EXPECT_EQ(ring.at(0), 0.0) << "a reset ring shows no old value";

    // 20 values in a ring of 16 keep the last 15, oldest first.
    for (int i = 0; i < 20; ++i)
        ring.append(i);
    EXPECT_EQ(ring.count(), 15);
    EXPECT_EQ(ring.at(0), 5.0);
    EXPECT_EQ(ring.at(14), 19.0);
    EXPECT_EQ(ring.at(15), 0.0);

    std::vector<double> seen;
    for (bool more = ring.first(value); more; more = ring.next(value))
        seen.push_back(value);
    ASSERT_EQ(seen.size(), 15u);
    EXPECT_EQ(seen.front(), 5.0);
    EXPECT_EQ(seen.back(), 19.0);
    // back() stops at the oldest entry.
    ring.back(3);
    EXPECT_TRUE(ring.next(value));
    EXPECT_EQ(value, 18.0) << "the cursor stands on 17";
    ring.back(100);
    EXPECT_TRUE(ring.next(value));
    EXPECT_EQ(value, 6.0);
}

TEST(GraphNumbers, NiceStepIsTheNextRoundValue)
{
    const double infinity = std::numeric_limits<double>::infinity();
    const struct {
        double x;
        double step;
    } cases[] = {{3, 5},     {0.3, 0.5}, {12, 20},       {0, 1},         {-3, 5},       {1, 1},   {10, 10},
                 {0.2, 0.2}, {7.6, 10},  {2.2, 2.5},     {7.5e-4, 7.5e-4}, {infinity, 1}, {-infinity, 1},
                 {std::nan(""), 1}, {1e308, 1e308}};
    for (const auto &c : cases)
        EXPECT_DOUBLE_EQ(graph_nice_step(c.x), c.step) << c.x;
}

TEST(GraphNumbers, LabelFormatCountsSignDigitsAndDecimals)
{
    const struct {
        double x;
        int width;
        int decimals;
    } cases[] = {{0, 3, 0},    {5, 4, 0},       {-5, 5, 0},     {123, 6, 0},    {10, 5, 0},   {0.5, 4, 1},
                 {0.05, 5, 2}, {-0.25, 5, 1},   {0.1, 4, 1},    {1e12, 12, 0},  {1e-12, 12, 9}};
    for (const auto &c : cases) {
        int width = 0, decimals = 0;
        graph_label_format(c.x, width, decimals);
        EXPECT_EQ(width, c.width) << c.x;
        EXPECT_EQ(decimals, c.decimals) << c.x;
    }
    EXPECT_EQ(graph_max3(1, 7, 3), 7);
}

TEST(QGraphRegion, GeometryStatesAndMetrics)
{
    QWidget owner;
    owner.setFont(QFont("Courier New", 8));
    CountingRegion region(&owner, QGraphRegion::Selectable);
    EXPECT_TRUE(region.rect().isEmpty());
    EXPECT_EQ(region.color(), QColor(Qt::white));
    EXPECT_EQ(region.selection_color(), QColor(0, 0, 128));
    EXPECT_EQ(region.font_height(), owner.fontMetrics().height());
    EXPECT_EQ(region.zero_width(), owner.fontMetrics().horizontalAdvance('0'));

    region.set_geometry(QRect(0, 0, 50, 20));
    EXPECT_EQ(region.m_relayouts, 1);
    region.set_geometry(QRect(0, 0, 50, 20));
    EXPECT_EQ(region.m_relayouts, 1) << "an unchanged rectangle does nothing";
    region.set_geometry(QRect(10, 5, 50, 20));
    EXPECT_EQ(region.m_relayouts, 1) << "a move keeps the layout";
    EXPECT_EQ(region.rect(), QRect(10, 5, 50, 20));
    region.scroll_by(5, -5);
    EXPECT_EQ(region.rect(), QRect(15, 0, 50, 20));

    QSignalSpy activity(&region, &QGraphRegion::activity_changed);
    region.set_active(true);
    region.set_active(true);
    region.set_active(false);
    EXPECT_EQ(activity.count(), 2);

    region.set_selected(true);
    EXPECT_TRUE(region.is_selected());
    CountingRegion fixed(&owner, QGraphRegion::ClickMakesCurrent);
    fixed.set_selected(true);
    EXPECT_FALSE(fixed.is_selected()) << "only selectable regions take a selection";
}
