// The scope window: its configuration group read and written back byte for
// byte, the "Set X-Scale" entries, curves deleted in the graph taking
// exactly their items along, and its picture with two curves.
#include "../interfaces/can_test_support.h"

#include "core/vyr_signal_list.h"
#include "settings/qtb_config.h"
#include "test_support.h"
#include "lib/qtundo/qtundo.h"
#include "widgets/graph/qgraphaxis.h"
#include "widgets/graph/qgraphcursor.h"
#include "widgets/graph/qgraphlegend.h"
#include "windows/scope/qgraph_measured_signal.h"
#include "windows/scope/vyr_graph_window.h"
#include "windows/scope/vyr_scope.h"
#include "windows/scope/vyr_scope_signal_item.h"

#include <QApplication>
#include <QFile>
#include <QMenu>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

namespace {

class ScopeWindow : public can_test::CanFixture
{
protected:
    void SetUp() override
    {
        can = make("CAN");
        add_signal("Engine.Speed", 0, 8000);
        add_signal("Wave", -10, 10);
        id = QString::fromStdString(can->make_id());
    }

    void add_signal(const char *name, double minimum, double maximum)
    {
        SignalRecord *signal = can->new_signal(name, SignalRecord::DefinedByCompile);
        signal->set_owner(can);
        signal->set_value_type(SignalValue::Double);
        signal->set_min(minimum);
        signal->set_max(maximum);
        can->signal_list()->insert(signal);
    }

    // The scope made by the registry's factory from the configuration text.
    std::unique_ptr<VyrScope> read(const QByteArray &text)
    {
        const QString path = dir.filePath("read.vyr");
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
        file.close();
        QtbConfig config(path);
        EXPECT_EQ(config.read(), 0);
        return std::unique_ptr<VyrScope>(static_cast<VyrScope *>(VyrScope::create(nullptr, config.get_group("Scope"))));
    }

    QByteArray written(VyrScope &scope)
    {
        QtbConfig config;
        scope.write_configuration(&config);
        const QString path = dir.filePath("written.vyr");
        EXPECT_EQ(config.write_file(path), 0);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        return file.readAll();
    }

    static QStringList checked_scales(VyrScope &scope)
    {
        std::unique_ptr<QMenu> menu(scope.graph()->create_context_menu());
        QStringList checked;
        for (QAction *action : menu->findChild<QMenu *>("set_x_scale")->actions())
            if (action->isChecked())
                checked << action->text();
        return checked;
    }

    VyrCanIf *can = nullptr;
    QString id;
    QTemporaryDir dir;
};

const QByteArray configuration = "[Scope]\n"
                                 "geometry=( 50 50 600 300 )\n"
                                 "title=\"Scope 1\"\n"
                                 "xscale=100\n"
                                 "grid_mode=false\n"
                                 "signal_mode=1\n"
                                 "font_size=9\n"
                                 "signals=( ( {sif}\"CAN1\" {name}\"Engine.Speed\" {active}true {dmode}4 "
                                 "{color}\"#ff0000\" {limits}true {ymin}\"5\" {ymax}\"5\" ) "
                                 "( {sif}\"CAN1\" {name}\"Wave\" {active}false {color}\"\" "
                                 "{limits}true {ymin}\"-2.5\" {ymax}\"7.25\" ) "
                                 "( {sif}\"CAN9\" {name}\"Missing\" ) )\n";

} // namespace

TEST_F(ScopeWindow, ConfigurationIsReadAndWrittenBackByteForByte)
{
    std::unique_ptr<VyrScope> scope = read(configuration);
    EXPECT_DOUBLE_EQ(scope->x_scale(), 0.1);
    EXPECT_EQ(checked_scales(*scope), QStringList({"100ms"}));
    EXPECT_FALSE(scope->graph()->grid_on());
    EXPECT_EQ(scope->graph()->signal_mode(), 1);
    EXPECT_EQ(scope->graph()->font_size(), 9);
    EXPECT_TRUE(scope->findChild<QToolButton *>("separate_yaxis_button")->isChecked());
    // The scope logs nothing: no Log to File button.
    EXPECT_EQ(scope->findChild<QToolButton *>("log_to_file_button"), nullptr);
    EXPECT_NE(scope->findChild<QToolButton *>("pause_button"), nullptr);

    // The missing interface yields no item; the curve is named after the last part.
    ASSERT_EQ(scope->item_count(), 2);
    QGraphMeasuredSignal *speed = scope->item(0)->curve();
    ASSERT_NE(speed, nullptr);
    EXPECT_EQ(speed->name(), "Speed");
    EXPECT_EQ(speed->draw_mode(), QGraphSignal::Bars);
    EXPECT_EQ(speed->color(), QColor("#ff0000"));
    // Limits 5/5 are no range: the signal's own stays.
    EXPECT_FALSE(speed->fixed_limits());
    EXPECT_EQ(speed->y_minimum(), 0.0);
    EXPECT_EQ(speed->y_maximum(), 8000.0);
    QGraphMeasuredSignal *wave = scope->item(1)->curve();
    EXPECT_TRUE(wave->fixed_limits());
    EXPECT_EQ(wave->y_minimum(), -2.5);
    EXPECT_EQ(wave->y_maximum(), 7.25);
    EXPECT_FALSE(wave->is_active());
    // Without "dmode" the characteristic's mode stays (markers connected).
    EXPECT_EQ(wave->draw_mode(), QGraphSignal::ConnectSamples);

    const QByteArray first = written(*scope);
    EXPECT_TRUE(first.contains("xscale=100\n")) << first.constData();
    EXPECT_TRUE(first.contains("{dmode}4 {color}\"#ff0000\" {limits}false {ymin}\"0\"")) << first.constData();
    EXPECT_TRUE(first.contains("{ymax}\"8000\"")) << first.constData();
    EXPECT_TRUE(first.contains("{active}false {dmode}2 {color}")) << first.constData();
    EXPECT_FALSE(first.contains("Missing"));
    std::unique_ptr<VyrScope> again = read(first);
    EXPECT_EQ(written(*again), first);
}

TEST_F(ScopeWindow, ScalesOffTheMenuAreCheckedNoneOtherwise)
{
    QByteArray text = configuration;
    text.replace("xscale=100", "xscale=250");
    std::unique_ptr<VyrScope> scope = read(text);
    EXPECT_DOUBLE_EQ(scope->x_scale(), 0.25);
    EXPECT_TRUE(checked_scales(*scope).isEmpty());
    scope->set_xscale_10ms();
    EXPECT_EQ(checked_scales(*scope), QStringList({"10ms"}));
    EXPECT_NEAR(scope->graph()->x_axis()->span(), 0.1, 1e-12);
    EXPECT_TRUE(written(*scope).contains("xscale=10\n"));
}

TEST_F(ScopeWindow, CurvesDeletedInTheGraphRemoveExactlyTheirItems)
{
    std::unique_ptr<VyrScope> scope = read(configuration);
    const int uses = can->signal_list()->find("Engine.Speed")->use_count();
    scope->item(0)->curve()->set_selected(true);
    scope->graph()->delete_selected_signals();
    ASSERT_EQ(scope->item_count(), 1);
    EXPECT_STREQ(scope->item(0)->signal()->name(), "Wave");
    EXPECT_EQ(scope->graph()->signal_list().size(), 1);
    EXPECT_EQ(can->signal_list()->find("Engine.Speed")->use_count(), uses - 1);
    // Removed from the window: the curve goes with its item.
    EXPECT_EQ(scope->remove_signal(id, "Wave"), 1);
    EXPECT_TRUE(scope->graph()->signal_list().isEmpty());
}

TEST_F(ScopeWindow, TwoCurvesShowInThePicture)
{
    std::unique_ptr<VyrScope> scope = read(configuration);
    scope->item(1)->set_active(true);
    scope->graph()->set_signal_active(scope->item(1)->curve(), true);
    scope->set_xscale_1s();
    scope->resize(700, 360);
    scope->show();
    QApplication::processEvents();
    scope->startup();
    for (int i = 0; i <= 2000; ++i) {
        const double t = i * 0.005;
        SignalValue speed, wave;
        speed.seconds = wave.seconds = uint32_t(t);
        speed.microseconds = wave.microseconds = uint32_t(std::lround((t - std::floor(t)) * 1e6));
        speed.set_double(4000 + 3000 * std::sin(t * 1.3));
        wave.set_double(std::fabs(std::fmod(t, 2.0) - 1.0) * 8.0 - 2.0);
        scope->item(0)->value_changed(speed);
        scope->item(1)->value_changed(wave);
        if (i % 100 == 0)
            scope->update_signals();
    }
    scope->update_signals();
    const QImage picture = scope->grab().toImage();
    scope->stop();
    const QRect plot = scope->graph()->plot_rect();
    ASSERT_FALSE(plot.isEmpty());
    // Both curve colours appear in the plot.
    bool red = false, other = false;
    const QColor wave_color = scope->item(1)->curve()->color();
    const QPoint offset = scope->graph()->mapTo(scope.get(), QPoint(0, 0));
    for (int y = plot.top(); y <= plot.bottom(); ++y)
        for (int x = plot.left(); x <= plot.right(); ++x) {
            const QColor pixel = picture.pixelColor(offset + QPoint(x, y));
            red = red || pixel.rgb() == QColor(Qt::red).rgb();
            other = other || pixel.rgb() == wave_color.rgb();
        }
    EXPECT_TRUE(red);
    EXPECT_TRUE(other);
    const QByteArray folder = qgetenv("VYR_TEST_PNG_DIR");
    picture.save(QString::fromLocal8Bit(folder.isEmpty() ? QByteArray("/tmp") : folder) + "/scope_window.png");
}

namespace {

// A recorded scope: the Wave signal steps to the next whole number every
// second and is sampled every 100 ms, ten seconds long; the measurement has
// stopped, so the cursors and the rubber band are at hand.
std::unique_ptr<VyrScope> recorded_scope(std::unique_ptr<VyrScope> scope)
{
    scope->graph()->set_signal_active(scope->item(0)->curve(), false);
    scope->item(1)->set_active(true);
    scope->graph()->set_signal_active(scope->item(1)->curve(), true);
    scope->set_xscale_1s();
    scope->resize(700, 360);
    scope->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(scope.get()));
    scope->startup();
    for (int i = 0; i <= 100; ++i) {
        SignalValue wave;
        wave.seconds = uint32_t(i / 10);
        wave.microseconds = uint32_t(i % 10) * 100000;
        wave.set_double(i / 10);
        scope->item(1)->value_changed(wave);
        scope->update_signals();
    }
    scope->stop();
    QApplication::processEvents();
    return scope;
}

// A drag of the left button from one point to another, in two moves.
void drag(QWidget *widget, const QPoint &from, const QPoint &to)
{
    QTest::mousePress(widget, Qt::LeftButton, Qt::NoModifier, from);
    for (const QPoint &at : {(from + to) / 2, to}) {
        QMouseEvent move(QEvent::MouseMove, at, widget->mapToGlobal(at), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(widget, &move);
    }
    QTest::mouseRelease(widget, Qt::LeftButton, Qt::NoModifier, to);
}

// Pixels of the colour in the plot's column x of the graph's picture.
int pixels_in_column(QGraphWindow &graph, int x, const QColor &colour)
{
    const QImage picture = graph.grab().toImage();
    int count = 0;
    for (int y = graph.plot_rect().top(); y <= graph.plot_rect().bottom(); ++y)
        count += picture.pixelColor(x, y).rgb() == colour.rgb();
    return count;
}

} // namespace

// The readouts of a curve in cursor mode are its values at the two cursor
// times, although most pixel columns hold no sample of their own.
TEST_F(ScopeWindow, CursorReadoutsShowTheValuesAtTheCursorTimes)
{
    std::unique_ptr<VyrScope> scope = recorded_scope(read(configuration));
    QGraphWindow &graph = *scope->graph();
    graph.set_cursor_mode(true);
    QGraphMeasuredSignal *wave = scope->item(1)->curve();
    const double t1 = graph.crossing(0)->time(), t2 = graph.crossing(1)->time();
    ASSERT_GT(std::fmod(t1, 1.0), 0.1) << "not near a step";
    ASSERT_GT(std::fmod(t2, 1.0), 0.1) << "not near a step";
    EXPECT_EQ(wave->legend()->value_text().toStdString(),
              (": y1=" + graph_number_text(std::floor(t1)) + ", y2=" + graph_number_text(std::floor(t2))).toStdString());

    // Moved into the next second, the readout follows.
    const QPoint from = graph.crossing(0)->rect().center();
    const int one_second = int(std::lround(1.0 / graph.x_axis()->time_per_pixel()));
    drag(&graph, from, from + QPoint(one_second, 0));
    EXPECT_EQ(wave->legend()->value_text().toStdString(),
              (": y1=" + graph_number_text(std::floor(t1) + 1.0) + ", y2=" + graph_number_text(std::floor(t2)))
                  .toStdString());
}

// A zoom keeps the cursors on their times: their lines are drawn where
// those times now are, so line and readout agree.
TEST_F(ScopeWindow, CursorLinesStayOnTheirTimesThroughAZoom)
{
    std::unique_ptr<VyrScope> scope = recorded_scope(read(configuration));
    QGraphWindow &graph = *scope->graph();
    graph.set_cursor_mode(true);
    QGraphXAxis *x_axis = graph.x_axis();
    x_axis->set_range(x_axis->minimum() + 9.0, x_axis->minimum() + 1.0, "Zoom X");
    const int enough = graph.plot_rect().height() / 4;
    for (int i = 0; i < 2; ++i) {
        QGraphCrossing *crossing = graph.crossing(i);
        const int x = x_axis->rect().left() +
                      int(std::lround((crossing->time() - x_axis->minimum()) / x_axis->time_per_pixel()));
        EXPECT_EQ(crossing->vertical_line()->rect().center().x(), x) << i;
        EXPECT_GT(pixels_in_column(graph, x, crossing->color()), enough) << i;
    }
    graph.undo_manager()->undo();
    const QGraphCrossing *first = graph.crossing(0);
    EXPECT_EQ(first->vertical_line()->rect().center().x(),
              x_axis->rect().left() + int(std::lround((first->time() - x_axis->minimum()) / x_axis->time_per_pixel())));
}

// A band drawn from a point of the curve, in the scope's first mode
// (individual y axes), zooms both axes to it when double-clicked.
TEST_F(ScopeWindow, RubberBandFromTheCurveZoomsTheRecordedCurve)
{
    std::unique_ptr<VyrScope> scope = recorded_scope(read(configuration));
    QGraphWindow &graph = *scope->graph();
    graph.set_signal_mode(QGraphWindow::Overlapped);
    QGraphXAxis *x_axis = graph.x_axis();
    QGraphMeasuredSignal *wave = scope->item(1)->curve();
    // On the curve near the left edge of the plot: pressing there selects
    // the curve, and its axis, now shown, takes that part of the plot.
    const QRect plot = wave->rect();
    const QGraphYAxis *y_axis = wave->y_axis();
    const double scale = plot.height() / (y_axis->maximum() - y_axis->minimum());
    const QPoint from(plot.left() + 8, plot.bottom() - int(std::lround((0.0 - y_axis->minimum()) * scale)));
    const QPoint to = from + QPoint(150, 60);
    drag(&graph, from, to);
    ASSERT_TRUE(wave->is_selected());
    ASSERT_GT(wave->rect().left(), from.x()) << "the axis took the pressed point";
    ASSERT_TRUE(graph.rubber()->is_active());
    const QRect band = graph.rubber()->rect();
    const double tpp = x_axis->time_per_pixel();
    const double new_minimum = x_axis->minimum() + (band.left() - x_axis->rect().left()) * tpp;
    QTest::mouseDClick(&graph, Qt::LeftButton, Qt::NoModifier, band.center());
    EXPECT_FALSE(graph.rubber()->is_active());
    EXPECT_DOUBLE_EQ(x_axis->minimum(), new_minimum);
    EXPECT_DOUBLE_EQ(x_axis->maximum(), new_minimum + band.width() * tpp);
    graph.undo_manager()->undo();
    EXPECT_NEAR(x_axis->span(), 10.0, 1e-9);
}
