#include "widgets/graph/qgraphaxis.h"
#include "widgets/graph/qgraphsignal.h"

#include <QPaintEvent>
#include <QPainter>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>

namespace {

// Paints its regions like the graph window does and records what it was asked to repaint.
class PlotOwner : public QWidget
{
public:
    PlotOwner()
    {
        setFont(QFont("Courier New", 8));
        setAutoFillBackground(false);
        QPalette colours = palette();
        colours.setColor(QPalette::Window, Qt::black);
        setPalette(colours);
        resize(400, 300);
    }
    void paintEvent(QPaintEvent *event) override
    {
        m_painted += event->region();
        QPainter painter(this);
        painter.fillRect(event->rect(), Qt::black);
        for (QGraphRegion *region : m_regions)
            region->paint(painter, event->rect());
    }
    QRegion m_painted;
    QList<QGraphRegion *> m_regions;
};

// A curve that records its fetches and says its new columns start at m_new_from.
class RecordingSignal : public QGraphSignal
{
public:
    RecordingSignal(QWidget *owner) : QGraphSignal(owner, "speed", "km/h") {}
    void fetch(bool unmoved, bool full) override
    {
        m_fetches.append(QString("%1%2").arg(unmoved ? "unmoved" : "moved").arg(full ? " full" : ""));
        set_first_new_column(m_new_from);
    }
    void paint(QPainter &, const QRect &) override {}
    QStringList m_fetches;
    int m_new_from = -1;
};

struct Graph {
    Graph()
    {
        manager = new QtUndoManager(&owner);
        stack = new QtUndoStack(&owner, "qgraph_undo_stack", manager);
        x_axis = new QGraphXAxis(&owner, stack);
        y_axis = new QGraphYAxis(&owner, stack);
        signal = new RecordingSignal(&owner);
        signal->set_active(true);
        x_axis->add_signal(signal);
        y_axis->add_signal(signal);
        signal->set_geometry(QRect(60, 0, 300, 200));
        y_axis->set_geometry(QRect(0, 0, 60, 200));
        x_axis->set_geometry(QRect(60, 200, 300, x_axis->preferred_height()));
        owner.m_regions = {y_axis, x_axis};
    }
    PlotOwner owner;
    QtUndoManager *manager;
    QtUndoStack *stack;
    QGraphXAxis *x_axis;
    QGraphYAxis *y_axis;
    RecordingSignal *signal;
};

// The text of Python's % operator (which follows C's printf) for format and arguments.
QString python_format(const QString &format, const QStringList &arguments)
{
    QProcess python;
    python.start("/usr/bin/python3",
                 {"-c", QString("import sys; sys.stdout.write('%1' % (%2,))").arg(format, arguments.join(", "))});
    python.waitForFinished();
    return QString::fromUtf8(python.readAllStandardOutput());
}

QString number(double value)
{
    return QString::number(value, 'g', 17);
}

} // namespace

TEST(QGraphXAxis, StepsByOneTwoOrFiveSecondsAsTheWidthAllows)
{
    QWidget owner;
    owner.setFont(QFont("Courier New", 8));
    QGraphXAxis axis(&owner);
    // Labels 0 .. 10 take 7 characters (two blanks between labels included).
    const int cell = 7 * axis.zero_width() + 10;
    const struct {
        int cells;
        double step;
        int divisions;
    } cases[] = {{12, 1, 10}, {10, 1, 10}, {9, 2, 5}, {5, 2, 5}, {4, 5, 2}, {2, 5, 2}, {1, 10, 1}};
    for (const auto &c : cases) {
        axis.set_geometry(QRect(0, 0, c.cells * cell, 20));
        EXPECT_DOUBLE_EQ(axis.step(), c.step) << c.cells << " cells";
        EXPECT_EQ(axis.divisions(), c.divisions) << c.cells << " cells";
        EXPECT_EQ(axis.label_width(), 7);
        EXPECT_EQ(axis.decimals(), 0);
        EXPECT_DOUBLE_EQ(axis.time_per_pixel(), 10.0 / (c.cells * cell));
    }
    axis.set_geometry(QRect(0, 0, 4 * cell, 20));
    EXPECT_DOUBLE_EQ(axis.tick_value(3), 5 * 3.0) << "ticks count from the first multiple of the step";

    // Without a time per division the step comes from the room alone.
    axis.set_geometry(QRect(0, 0, 12 * cell, 20));
    axis.set_time_per_division(0.0, 0);
    axis.set_limits(1.0, 0.0);
    EXPECT_DOUBLE_EQ(axis.step(), graph_nice_step(1.0 / axis.divisions()));
    EXPECT_GT(axis.decimals(), 0);
    // A time per division sets the range from the minimum.
    axis.set_time_per_division(0.5, 8);
    EXPECT_DOUBLE_EQ(axis.maximum(), 4.0);
}

TEST(QGraphYAxis, TicksAnchorAtZeroOrStartBelowTheMinimum)
{
    QWidget owner;
    owner.setFont(QFont("Courier New", 8));
    QGraphYAxis axis(&owner);
    const int five_divisions = 10 * axis.font_height() - 1;
    axis.set_geometry(QRect(0, 0, 60, five_divisions));
    const struct {
        double minimum, maximum, step;
        QVector<double> ticks;
    } cases[] = {
        {-3, 7, 2, {-2, 0, 2, 4, 6}},
        {2, 9, 2, {2, 4, 6, 8}},
        {3, 9, 2, {4, 6, 8}},
        {-9, -1, 2, {-8, -6, -4, -2}},
        {-10, 10, 5, {-10, -5, 0, 5, 10}},
        {4, 4, 0, {}},
        // A stored range of +-1e308 has an infinite span: the step search still ends.
        {-1e308, 1e308, 1, {-5, -4, -3, -2, -1, 0, 1, 2, 3, 4}},
    };
    for (const auto &c : cases) {
        axis.set_limits(c.maximum, c.minimum);
        EXPECT_EQ(axis.divisions(), c.minimum < c.maximum ? 5 : 0);
        EXPECT_DOUBLE_EQ(axis.step(), c.step) << c.minimum << " .. " << c.maximum;
        EXPECT_EQ(axis.visible_ticks(), c.ticks) << c.minimum << " .. " << c.maximum;
    }
}

TEST(GraphAxes, LabelsAreFormattedAsPrintfFormatsThem)
{
    QWidget owner;
    owner.setFont(QFont("Courier New", 8));
    QGraphYAxis y_axis(&owner);
    y_axis.set_geometry(QRect(0, 0, 60, 200));
    QGraphXAxis x_axis(&owner);
    x_axis.set_geometry(QRect(0, 0, 300, 20));
    const struct {
        double minimum, maximum, value;
        const char *format; // the format the label must be written with
    } cases[] = {
        {-3, 7, -2, "%*.*f"},       {0, 0.01, 0.0025, "%*.*f"}, {-0.5, 0.5, -0.25, "%*.*f"},
        {0, 100, 12.5, "%*.*f"},    {0, 1, 1e9, "%0.*e"},        {0, 1, -1e9, "%0.*e"},
        {0, 10, 0, "%*.*f"},
    };
    for (const auto &c : cases) {
        y_axis.set_limits(c.maximum, c.minimum);
        const int width = y_axis.label_width();
        const int precision = std::max(1, width - (c.value < 0 ? 8 : 7));
        const QString expected =
            QByteArray(c.format).endsWith('e')
                ? python_format(c.format, {QString::number(precision), number(c.value)})
                : python_format(c.format, {QString::number(width), QString::number(y_axis.decimals()),
                                           number(c.value)});
        EXPECT_EQ(y_axis.label_text(c.value), expected) << c.value;
    }
    x_axis.set_limits(2.5, 0.5);
    const QStringList x_arguments = {QString::number(x_axis.label_width()), QString::number(x_axis.decimals()), "1.25"};
    EXPECT_EQ(x_axis.label_text(1.25), python_format("%*.*f", x_arguments).trimmed());
}

TEST(GraphAxes, ScrollStepsMergeIntoOneUndoStep)
{
    Graph graph;
    const double per_pixel = graph.y_axis->value_per_pixel();
    ASSERT_DOUBLE_EQ(per_pixel, 0.1);
    for (int i = 0; i < 3; ++i)
        graph.y_axis->scroll_by_pixels(10);
    EXPECT_DOUBLE_EQ(graph.y_axis->minimum(), -7.0);
    EXPECT_DOUBLE_EQ(graph.y_axis->maximum(), 13.0);
    EXPECT_EQ(graph.stack->count(), 1);
    EXPECT_EQ(graph.stack->undoDescription(), "Scroll y");
    graph.stack->undo();
    EXPECT_DOUBLE_EQ(graph.y_axis->minimum(), -10.0);
    EXPECT_DOUBLE_EQ(graph.y_axis->maximum(), 10.0);
    graph.stack->redo();
    EXPECT_DOUBLE_EQ(graph.y_axis->maximum(), 13.0);

    // The x axis sums a run of drags and moves once the run paused for 100 ms.
    graph.x_axis->scroll_by_pixels(15);
    graph.x_axis->scroll_by_pixels(15);
    EXPECT_DOUBLE_EQ(graph.x_axis->minimum(), 0.0);
    EXPECT_EQ(graph.stack->count(), 1);
    QTRY_COMPARE_WITH_TIMEOUT(graph.stack->count(), 2, 1000);
    EXPECT_EQ(graph.stack->undoDescription(), "Scroll X");
    EXPECT_DOUBLE_EQ(graph.x_axis->minimum(), 1.0);
    EXPECT_DOUBLE_EQ(graph.x_axis->maximum(), 11.0);
    EXPECT_EQ(graph.signal->m_fetches.last(), "moved full") << "a new range refetches every column";
}

TEST(GraphAxes, ScaleStepsWidenBothEndsAndStopAtAPositiveSpan)
{
    Graph graph;
    graph.x_axis->scale_by_pixels(30); // 30 px x 1/30 s
    EXPECT_DOUBLE_EQ(graph.x_axis->minimum(), -1.0);
    EXPECT_DOUBLE_EQ(graph.x_axis->maximum(), 11.0);
    EXPECT_EQ(graph.stack->undoDescription(), "Scale X");
    graph.y_axis->scale_by_pixels(-50);
    EXPECT_DOUBLE_EQ(graph.y_axis->minimum(), -5.0);
    EXPECT_DOUBLE_EQ(graph.y_axis->maximum(), 5.0);
    EXPECT_EQ(graph.stack->undoDescription(), "Scale Y");

    // One large Ctrl+drag: the range must not turn over.
    graph.y_axis->scale_by_pixels(-5000);
    graph.x_axis->scale_by_pixels(-5000);
    EXPECT_GT(graph.y_axis->maximum(), graph.y_axis->minimum());
    EXPECT_NEAR(graph.y_axis->maximum() + graph.y_axis->minimum(), 0.0, 1e-12) << "the centre stays";
    EXPECT_GT(graph.x_axis->maximum(), graph.x_axis->minimum());
    EXPECT_GT(graph.x_axis->time_per_pixel(), 0.0);
    EXPECT_GT(graph.x_axis->divisions(), 0);
    // Scale X, the two merged Scale Y steps, Scale X.
    EXPECT_EQ(graph.stack->count(), 3);
    for (int i = 0; i < 3; ++i)
        graph.stack->undo();
    EXPECT_DOUBLE_EQ(graph.y_axis->minimum(), -10.0);
    EXPECT_DOUBLE_EQ(graph.x_axis->minimum(), 0.0);
}

TEST(GraphAxes, ZoomBeforeGoingOnlineRestoresOnlyTheYRange)
{
    Graph graph;
    graph.stack->push(new QtCommand(QtCommand::MacroBegin, "Zoom"));
    graph.x_axis->set_range(6.0, 2.0, "Zoom X");
    graph.y_axis->set_range(4.0, -1.0, "Zoom Y");
    graph.stack->push(new QtCommand(QtCommand::MacroEnd));
    EXPECT_EQ(graph.stack->undoDescription(), "Zoom");

    graph.x_axis->raise_update_counter(); // the window went online
    graph.x_axis->set_limits(26.0, 22.0);
    graph.stack->undo();
    EXPECT_DOUBLE_EQ(graph.x_axis->minimum(), 22.0);
    EXPECT_DOUBLE_EQ(graph.y_axis->minimum(), -10.0);
    EXPECT_DOUBLE_EQ(graph.y_axis->maximum(), 10.0);

    // A zoom recorded online does not merge with one recorded before.
    graph.stack->clear();
    graph.x_axis->set_range(30.0, 20.0, "Scroll X");
    graph.x_axis->raise_update_counter();
    graph.x_axis->set_range(40.0, 30.0, "Scroll X");
    EXPECT_EQ(graph.stack->count(), 2);
}

TEST(GraphAxes, UndoSkipsAnAxisThatIsGone)
{
    Graph graph;
    graph.y_axis->scroll_by_pixels(10);
    graph.x_axis->set_range(5.0, 1.0, "Zoom X");
    delete graph.y_axis; // the window removed its signal
    graph.owner.m_regions.removeAll(graph.y_axis);
    graph.stack->undo();
    graph.stack->undo();
    graph.stack->redo();
    EXPECT_DOUBLE_EQ(graph.x_axis->maximum(), 10.0);
}

TEST(GraphAxes, DirectChangesAndDoubleClick)
{
    Graph graph;
    QSignalSpy limits(graph.y_axis, &QGraphYAxis::limits_changed);
    QSignalSpy layout(graph.y_axis, &QGraphRegion::layout_change_required);
    graph.y_axis->set_limits(10.0, -10.0);
    EXPECT_EQ(limits.count(), 0) << "an unchanged range is no change";
    graph.y_axis->set_limits(123456.0, -123456.0);
    EXPECT_EQ(limits.count(), 1);
    EXPECT_EQ(layout.count(), 1) << "wider labels ask for a new layout";
    EXPECT_GT(graph.y_axis->preferred_width(), graph.y_axis->rect().width());

    graph.y_axis->set_vertical_title(true);
    EXPECT_EQ(graph.y_axis->preferred_width(), graph.y_axis->label_width() * graph.y_axis->zero_width() +
                                                   2 * graph.y_axis->font_height() + 3);

    qRegisterMetaType<QGraphSignal *>();
    QSignalSpy activity(graph.y_axis, &QGraphYAxis::set_signal_active);
    graph.y_axis->double_click_action();
    ASSERT_EQ(activity.count(), 1);
    EXPECT_EQ(activity.at(0).at(0).value<QGraphSignal *>(), graph.signal);
    EXPECT_EQ(activity.at(0).at(1).toBool(), false);
}

TEST(QGraphXAxis, ScrollTimeCopiesThePlotAndRepaintsTheNewStrip)
{
    Graph graph;
    graph.owner.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&graph.owner));
    const QRect plot = graph.signal->rect();
    const double per_pixel = graph.x_axis->time_per_pixel();
    auto painted_after = [&](double dt) {
        QCoreApplication::processEvents();
        graph.owner.m_painted = QRegion();
        graph.signal->m_fetches.clear();
        graph.x_axis->scroll_time(dt);
        QCoreApplication::processEvents();
        return graph.owner.m_painted;
    };

    // Less than a pixel: nothing moves, the signal paints its own samples.
    EXPECT_TRUE(painted_after(per_pixel / 2).isEmpty());
    EXPECT_EQ(graph.signal->m_fetches, QStringList({"unmoved"}));

    // Ten pixels: the plot is copied, only the ten new columns and the axis are painted.
    QRegion painted = painted_after(10.5 * per_pixel);
    EXPECT_EQ(graph.signal->m_fetches, QStringList({"moved"}));
    EXPECT_EQ(painted.intersected(plot).boundingRect(), QRect(plot.right() - 9, plot.top(), 10, plot.height()));
    EXPECT_EQ(graph.x_axis->blit_count(), 10);
    EXPECT_DOUBLE_EQ(graph.x_axis->minimum(), 10 * per_pixel);

    // A late sample widens the strip to the earliest new column.
    graph.signal->m_new_from = 200;
    painted = painted_after(10.5 * per_pixel);
    EXPECT_EQ(painted.intersected(plot).boundingRect().left(), plot.left() + 200);
    graph.signal->m_new_from = -1;

    // More than the width: everything at once, the counter starts again.
    painted = painted_after(400.5 * per_pixel);
    EXPECT_EQ(painted.intersected(plot), QRegion(plot));
    EXPECT_EQ(graph.x_axis->blit_count(), 0);

    // Past 2000 copied pixels the whole plot is painted again.
    for (int i = 0; i < 8; ++i)
        painted_after(250.5 * per_pixel);
    EXPECT_EQ(graph.x_axis->blit_count(), 2000);
    painted = painted_after(250.5 * per_pixel);
    EXPECT_EQ(painted.intersected(plot), QRegion(plot));
    EXPECT_EQ(graph.x_axis->blit_count(), 0);
}

TEST(GraphAxes, PaintTicksLabelsAndTitle)
{
    Graph graph;
    graph.y_axis->set_name("speed");
    graph.y_axis->set_label("km/h");
    graph.y_axis->set_color(Qt::green);
    graph.y_axis->set_geometry(QRect(0, 0, graph.y_axis->preferred_width(), 200));
    const QImage image = graph.owner.grab().toImage();
    if (qEnvironmentVariableIsSet("VYR_SAVE_PNG"))
        image.save(qEnvironmentVariable("VYR_SAVE_PNG"));
    const int axis_x = graph.y_axis->rect().right();
    EXPECT_EQ(image.pixelColor(axis_x, 100), QColor(Qt::white)) << "the y axis line";
    EXPECT_EQ(image.pixelColor(200, graph.x_axis->rect().top()), QColor(Qt::white)) << "the x axis base line";
    // The tick at 0 sits in the middle of the y axis (-10 .. 10 over 200 pixels), in the axis colour.
    EXPECT_EQ(image.pixelColor(axis_x - 2, 199 - 100), QColor(Qt::green));
    EXPECT_EQ(image.pixelColor(axis_x - 2, 199 - 101), QColor(Qt::black));
    // Labels are written below the x axis' ticks and left of the y axis' ticks.
    auto has_text = [&](const QRect &area) {
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x)
                if (image.pixelColor(x, y) != QColor(Qt::black))
                    return true;
        return false;
    };
    const QRect x_labels(graph.x_axis->rect().left(), graph.x_axis->rect().top() + 4, 300, 10);
    EXPECT_TRUE(has_text(x_labels));
    EXPECT_TRUE(has_text(QRect(0, 90, axis_x - 6, 20)));
    EXPECT_FALSE(has_text(QRect(0, 160, axis_x - 6, 20))) << "nothing between the ticks at -10 and -5";

    // A vertical title runs up the left edge, centred on the axis' height.
    graph.y_axis->set_vertical_title(true);
    graph.y_axis->set_geometry(QRect(0, 0, graph.y_axis->preferred_width(), 200));
    const QImage vertical = graph.owner.grab().toImage();
    if (qEnvironmentVariableIsSet("VYR_SAVE_PNG"))
        vertical.save(qEnvironmentVariable("VYR_SAVE_PNG").replace(".png", "_vertical.png"));
    const int height = graph.y_axis->font_height();
    QRect title_column(0, 0, height + 2, 200);
    int top = 200, bottom = -1;
    for (int y = 0; y < 200; ++y)
        for (int x = title_column.left(); x <= title_column.right(); ++x)
            if (vertical.pixelColor(x, y) != QColor(Qt::black)) {
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
    EXPECT_GT(bottom - top, 5 * graph.y_axis->zero_width()) << "taller than wide: turned";
    EXPECT_NEAR((top + bottom) / 2.0, 100.0, 4.0);
}
