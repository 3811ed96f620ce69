#include "lib/qtundo/qtundo.h"
#include "widgets/graph/qgraphaxis.h"
#include "widgets/graph/qgraphcursor.h"
#include "widgets/graph/qgraphlegend.h"
#include "widgets/graph/qgraphsignal.h"
#include "widgets/graph/qgraphwindow.h"

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFileDialog>
#include <QImage>
#include <QImageWriter>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

// A curve whose samples are given as (time, value) pairs; fetch puts the
// last sample of each pixel column into the column, no_value where a column
// has none.
class SyntheticSignal : public QGraphSignal
{
public:
    SyntheticSignal(QWidget *owner, const QString &name, const QString &unit = QString())
        : QGraphSignal(owner, name, unit)
    {}
    void fetch(bool, bool) override
    {
        if (!x_axis() || x_axis()->time_per_pixel() <= 0.0)
            return;
        const int columns = rect().width();
        const double minimum = x_axis()->minimum(), step = x_axis()->time_per_pixel();
        std::vector<double> values(size_t(std::max(columns, 0)), no_value);
        for (const auto &sample : m_samples_in) {
            const double column = std::floor((sample.first - minimum) / step);
            if (column >= 0 && column < columns)
                values[size_t(column)] = sample.second;
        }
        samples().reset();
        for (double value : values)
            samples().append(value);
    }
    // One sample in the middle of each of the first columns of a 0..10 s
    // range over width pixels: value(column), or none where it gives no_value.
    void set_columns(int width, int count, const std::function<double(int)> &value)
    {
        m_samples_in.clear();
        for (int c = 0; c < count; ++c) {
            const double v = value(c);
            if (v != no_value)
                m_samples_in.push_back({(c + 0.5) * 10.0 / width, v});
        }
        refetch();
    }
    std::vector<std::pair<double, double>> m_samples_in;
};

struct Window {
    explicit Window(QSize size = QSize(400, 300))
    {
        window.resize(size);
        window.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
        window.x_axis()->set_limits(10.0, 0.0);
    }
    SyntheticSignal *add(const QString &name, const std::function<double(int)> &value, int count = 100000)
    {
        auto *signal = new SyntheticSignal(&window, name, "V");
        window.add_signal(signal);
        signal->set_columns(window.plot_rect().width(), std::min(count, window.plot_rect().width()), value);
        window.update();
        return signal;
    }
    // The pixel row and column of a value and a column on the curve's axis.
    int row(QGraphSignal *signal, double value) const
    {
        const QGraphYAxis *axis = signal->y_axis();
        const double scale = signal->rect().height() / (axis->maximum() - axis->minimum());
        return int(std::lround(signal->rect().bottom() - (value - axis->minimum()) * scale));
    }
    int x(QGraphSignal *signal, int column) const { return signal->rect().left() + column; }
    QGraphWindow window;
};

bool colour_near(const QImage &image, int x, int y, const QColor &colour, int radius = 1)
{
    for (int dy = -radius; dy <= radius; ++dy) {
        for (int dx = -radius; dx <= radius; ++dx) {
            const QPoint p(x + dx, y + dy);
            if (image.rect().contains(p) && image.pixel(p) == colour.rgb())
                return true;
        }
    }
    return false;
}

void send_move(QWidget *widget, const QPoint &pos, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QMouseEvent event(QEvent::MouseMove, pos, widget->mapToGlobal(pos), Qt::NoButton, Qt::LeftButton, modifiers);
    QApplication::sendEvent(widget, &event);
}

void send_wheel(QWidget *widget, const QPoint &pos, int delta, Qt::KeyboardModifiers modifiers)
{
    QWheelEvent event(pos, widget->mapToGlobal(pos), QPoint(), QPoint(0, delta), Qt::NoButton, modifiers,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(widget, &event);
}

void drag(QWidget *widget, const QPoint &from, const QPoint &to, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QTest::mousePress(widget, Qt::LeftButton, modifiers, from);
    send_move(widget, (from + to) / 2, modifiers);
    send_move(widget, to, modifiers);
    QTest::mouseRelease(widget, Qt::LeftButton, modifiers, to);
}

const double gap = QGraphSignal::no_value;

} // namespace

// Each draw mode as the painted pixels show it: the gap is left open by Dots
// and Bars and bridged by the line, Digital steps, Bars stand on the 0 row.
TEST(GraphWindow, DrawModesPaintTheirShapes)
{
    Window w;
    // A sample every 10 columns, none in columns 40..69: -5 before, 5 from 70 on.
    SyntheticSignal *signal = w.add("s", [](int c) { return c % 10 ? gap : (c >= 40 && c < 70) ? gap : c < 40 ? -5.0 : 5.0; }, 120);
    const QColor colour = signal->color();
    auto shot = [&](int mode) {
        w.window.set_draw_mode(mode);
        return w.window.screenshot();
    };
    const int mid_gap = w.x(signal, 55);
    const int zero = w.row(signal, 0.0);

    QImage image = shot(QGraphSignal::Dots);
    EXPECT_TRUE(colour_near(image, w.x(signal, 30), w.row(signal, -5), colour));
    EXPECT_FALSE(colour_near(image, w.x(signal, 35), w.row(signal, -5), colour, 0));
    EXPECT_FALSE(colour_near(image, mid_gap, zero, colour, 3));

    image = shot(QGraphSignal::ContinuousLine);
    EXPECT_TRUE(colour_near(image, w.x(signal, 25), w.row(signal, -5), colour, 0));
    // From -5 at column 30 to 5 at column 70.
    EXPECT_TRUE(colour_near(image, mid_gap, w.row(signal, 1.25), colour, 1)) << "the line bridges the gap";

    image = shot(QGraphSignal::Digital);
    // The step stands at the last sample before the gap and runs on at the new level.
    EXPECT_TRUE(colour_near(image, w.x(signal, 30), zero, colour, 0));
    EXPECT_TRUE(colour_near(image, mid_gap, w.row(signal, 5), colour, 0));
    EXPECT_FALSE(colour_near(image, mid_gap, zero, colour, 2));

    image = shot(QGraphSignal::Bars);
    EXPECT_TRUE(colour_near(image, w.x(signal, 80), w.row(signal, 2.5), colour, 0));
    EXPECT_FALSE(colour_near(image, w.x(signal, 80), w.row(signal, -2.5), colour, 0)) << "bars start at the 0 row";
    EXPECT_TRUE(colour_near(image, w.x(signal, 20), w.row(signal, -2.5), colour, 0));
    EXPECT_FALSE(colour_near(image, mid_gap, w.row(signal, 2.5), colour, 2));
}

TEST(GraphWindow, SignalsTakePaletteColoursAndSeparateStrips)
{
    EXPECT_EQ(QGraphWindow::palette_color(0), QColor::fromHsv(0, 255, 255));
    EXPECT_EQ(QGraphWindow::palette_color(9), QColor::fromHsv(9, 255, 255)) << "hue 369 wraps to 9";
    EXPECT_EQ(QGraphWindow::palette_color(33), QGraphWindow::palette_color(1));

    Window w(QSize(400, 400));
    QList<SyntheticSignal *> signals_;
    for (int i = 0; i < 3; ++i)
        signals_.append(w.add(QString("s%1").arg(i), [](int) { return 0.0; }));
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(signals_[i]->color(), QGraphWindow::palette_color(i));

    w.window.set_signal_mode(QGraphWindow::Separate);
    for (SyntheticSignal *signal : signals_)
        signal->refetch();
    const QImage image = w.window.screenshot();
    for (int i = 0; i < 3; ++i) {
        const QRect strip = signals_[i]->rect();
        EXPECT_EQ(strip.height(), signals_[0]->rect().height());
        if (i > 0) {
            EXPECT_GT(strip.top(), signals_[i - 1]->rect().bottom() - 1);
        }
        EXPECT_TRUE(colour_near(image, strip.left() + 50, w.row(signals_[i], 0.0), signals_[i]->color(), 0));
        EXPECT_EQ(signals_[i]->y_axis(), signals_[i]->own_y_axis());
        EXPECT_TRUE(signals_[i]->own_y_axis()->is_active());
        EXPECT_FALSE(signals_[i]->legend()->is_laid_out()) << "a running curve has no legend line here";
    }
    EXPECT_FALSE(w.window.common_y_axis()->is_active());
}

TEST(GraphWindow, LegendLinesVanishWhenTheWindowIsTooLow)
{
    Window w(QSize(400, 300));
    for (int i = 0; i < 4; ++i)
        w.add(QString("s%1").arg(i), [](int) { return 0.0; });
    for (QGraphSignal *signal : w.window.signal_list())
        EXPECT_TRUE(signal->legend()->is_laid_out());
    const QImage tall = w.window.screenshot();
    QGraphLegend *first = w.window.signal_list().first()->legend();
    EXPECT_TRUE(colour_near(tall, first->rect().left() + 15, first->rect().center().y(), first->color(), 0));

    const int line = first->preferred_height();
    w.window.resize(400, 8 * line - 2);
    for (QGraphSignal *signal : w.window.signal_list())
        EXPECT_FALSE(signal->legend()->is_laid_out());
    w.window.set_cursor_mode(true);
    EXPECT_TRUE(w.window.cursor_legend(0)->is_laid_out()) << "the cursor lines still fit in half the height";
    EXPECT_TRUE(w.window.cursor_legend(1)->is_laid_out());
    w.window.resize(400, 3 * line);
    EXPECT_FALSE(w.window.cursor_legend(0)->is_laid_out());
}

// The read-outs as Python's '%10.*g' writes the same numbers.
TEST(GraphWindow, LegendTextsMatchPrintfG)
{
    const QList<double> values = {0.0, 1.0, -1.5, 123456.0, 0.000123456, 1e-7, 9.99, 10.0, -987654321.0, 3.14159};
    QStringList arguments = {"-c", "import sys\nfor v in sys.argv[1:]: print('%10.*g' % (3, float(v)))"};
    for (double value : values)
        arguments << QString::number(value, 'g', 17);
    QProcess python;
    python.start("/usr/bin/python3", arguments);
    ASSERT_TRUE(python.waitForFinished(10000));
    const QStringList expected = QString::fromLatin1(python.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(expected.size(), values.size());
    for (int i = 0; i < values.size(); ++i)
        EXPECT_EQ(graph_number_text(values[i]), expected[i]) << values[i];

    Window w;
    SyntheticSignal *signal = w.add("speed", [](int c) { return c * 0.25; });
    QGraphLegend *legend = signal->legend();
    EXPECT_EQ(legend->title(), "speed [V]");
    EXPECT_EQ(legend->value_text(), " [" + graph_number_text(-10) + " ... " + graph_number_text(10) + "]");
    w.window.set_signal_active(signal, false);
    EXPECT_EQ(legend->value_text(), "  OFF !!");
    w.window.set_signal_active(signal, true);

    w.window.set_cursor_mode(true);
    QGraphCrossing *c1 = w.window.crossing(0), *c2 = w.window.crossing(1);
    EXPECT_EQ(legend->value_text(), ": y1=" + graph_number_text(signal->value_at(c1->time())) +
                                         ", y2=" + graph_number_text(signal->value_at(c2->time())));
    const double column = std::trunc((c1->time() - w.window.x_axis()->minimum()) / w.window.x_axis()->time_per_pixel());
    EXPECT_DOUBLE_EQ(signal->value_at(c1->time()), column * 0.25);
    EXPECT_EQ(w.window.cursor_legend(0)->value_text(),
              ": x=" + graph_number_text(c1->time()) + ", y=" + graph_number_text(c1->value()));
    EXPECT_EQ(w.window.cursor_legend(1)->value_text(),
              ": x=" + graph_number_text(c2->time()) + ", y=" + graph_number_text(c2->value()) +
                  ", dx=" + graph_number_text(c2->time() - c1->time()) +
                  ", dy=" + graph_number_text(c2->value() - c1->value()));
    c2->set_active(false);
    EXPECT_EQ(legend->value_text(), ": x=" + graph_number_text(c1->time()) + ", y=" +
                                         graph_number_text(signal->value_at(c1->time())));

    // A column without a sample reads "-", not the marker's 1e+308.
    signal->set_columns(w.window.plot_rect().width(), 0, [](int) { return 0.0; });
    EXPECT_EQ(signal->value_at(c1->time()), QGraphSignal::no_value);
    EXPECT_EQ(legend->value_text(), ": x=" + graph_number_text(c1->time()) + ", y=         -");
}

TEST(GraphWindow, ClicksSelectByHitTestWithAndWithoutCtrl)
{
    Window w;
    SyntheticSignal *high = w.add("high", [](int) { return 5.0; });
    SyntheticSignal *low = w.add("low", [](int) { return -5.0; });
    const int x = w.x(high, 100);
    QTest::mouseClick(&w.window, Qt::LeftButton, Qt::NoModifier, QPoint(x, w.row(high, 5.0) + 3));
    EXPECT_EQ(w.window.selected_signals(), QList<QGraphSignal *>{high});
    EXPECT_EQ(w.window.current_region(), high);
    QTest::mouseClick(&w.window, Qt::LeftButton, Qt::NoModifier, QPoint(x, w.row(low, -5.0) - 3));
    EXPECT_EQ(w.window.selected_signals(), QList<QGraphSignal *>{low});
    QTest::mouseClick(&w.window, Qt::LeftButton, Qt::ControlModifier, QPoint(x, w.row(high, 5.0)));
    EXPECT_EQ(w.window.selected_signals(), (QList<QGraphSignal *>{high, low}));
    QTest::mouseClick(&w.window, Qt::LeftButton, Qt::ControlModifier, QPoint(x, w.row(low, -5.0)));
    EXPECT_EQ(w.window.selected_signals(), QList<QGraphSignal *>{high});
    // Farther than 15 pixels from every curve: nothing is hit, all is deselected.
    QTest::mouseClick(&w.window, Qt::LeftButton, Qt::NoModifier, QPoint(x, w.row(high, 0.0)));
    EXPECT_TRUE(w.window.selected_signals().isEmpty());
    EXPECT_EQ(w.window.current_region(), nullptr);

    GraphHit hit;
    hit.mouse_x = x;
    hit.mouse_y = w.row(high, 5.0) - 4;
    high->hit_test(hit);
    EXPECT_EQ(hit.hit_signal, high);
    EXPECT_NEAR(hit.best_distance, 4.0, 0.5);
    EXPECT_NEAR(hit.hit_value, 5.0, 1e-9);
}

TEST(GraphWindow, RubberBandVanishesZoomsAndUndoes)
{
    Window w;
    SyntheticSignal *signal = w.add("s", [](int c) { return std::sin(c / 20.0) * 8.0; });
    QGraphXAxis *x_axis = w.window.x_axis();
    QGraphYAxis *y_axis = w.window.common_y_axis();
    const double x0 = x_axis->minimum(), x1 = x_axis->maximum(), y0 = y_axis->minimum(), y1 = y_axis->maximum();
    const QPoint start(w.x(signal, 20), signal->rect().top() + 20);

    drag(&w.window, start, start + QPoint(2, 50));
    EXPECT_FALSE(w.window.rubber()->is_active()) << "a band of 2 x 50 pixels vanishes on release";

    for (int zoom = 0; zoom < 2; ++zoom) {
        const QPoint from(w.x(signal, 40), signal->rect().top() + 30);
        drag(&w.window, from, from + QPoint(200, 100));
        ASSERT_TRUE(w.window.rubber()->is_active());
        const QRect band = w.window.rubber()->rect();
        const double tpp = x_axis->time_per_pixel(), vpp = y_axis->value_per_pixel();
        const double new_x0 = x_axis->minimum() + (band.left() - x_axis->rect().left()) * tpp;
        const double new_y1 = y_axis->maximum() - (band.top() - y_axis->rect().top()) * vpp;
        QTest::mouseDClick(&w.window, Qt::LeftButton, Qt::NoModifier, band.center());
        EXPECT_FALSE(w.window.rubber()->is_active());
        EXPECT_DOUBLE_EQ(x_axis->minimum(), new_x0);
        EXPECT_DOUBLE_EQ(x_axis->maximum(), new_x0 + band.width() * tpp);
        EXPECT_DOUBLE_EQ(y_axis->maximum(), new_y1);
        EXPECT_DOUBLE_EQ(y_axis->minimum(), new_y1 - band.height() * vpp);
    }
    w.window.undo_stack()->undo();
    w.window.undo_stack()->undo();
    EXPECT_DOUBLE_EQ(x_axis->minimum(), x0);
    EXPECT_DOUBLE_EQ(x_axis->maximum(), x1);
    EXPECT_DOUBLE_EQ(y_axis->minimum(), y0);
    EXPECT_DOUBLE_EQ(y_axis->maximum(), y1);
}

TEST(GraphWindow, SnappingCrossingJumpsToTheCurve)
{
    Window w;
    SyntheticSignal *signal = w.add("s", [](int) { return 2.0; });
    w.window.set_cursor_mode(true);
    QGraphCrossing *crossing = w.window.crossing(0);
    EXPECT_TRUE(crossing->vertical_line()->is_active());
    QTest::mouseDClick(&w.window, Qt::LeftButton, Qt::NoModifier, crossing->rect().center());
    ASSERT_TRUE(crossing->snap_mode());
    EXPECT_TRUE(crossing->has_flag(QGraphRegion::SnapsToCurve));
    EXPECT_FALSE(crossing->has_flag(QGraphRegion::MovesInX));

    const QPoint from = crossing->rect().center();
    const QPoint near_curve(from.x() + 30, w.row(signal, 2.0) + 6);
    QTest::mousePress(&w.window, Qt::LeftButton, Qt::NoModifier, from);
    send_move(&w.window, near_curve);
    QTest::mouseRelease(&w.window, Qt::LeftButton, Qt::NoModifier, near_curve);
    EXPECT_EQ(crossing->rect().center(), QPoint(near_curve.x(), w.row(signal, 2.0)));
    EXPECT_NEAR(crossing->value(), 2.0, w.window.common_y_axis()->value_per_pixel());
    EXPECT_EQ(crossing->vertical_line()->rect().center().x(), near_curve.x());
    EXPECT_EQ(crossing->horizontal_line()->rect().center().y(), w.row(signal, 2.0));

    // Without snap mode it follows the mouse.
    QTest::mouseDClick(&w.window, Qt::LeftButton, Qt::NoModifier, crossing->rect().center());
    EXPECT_FALSE(crossing->snap_mode());
    const QPoint here = crossing->rect().center();
    drag(&w.window, here, here + QPoint(-20, 40));
    EXPECT_EQ(crossing->rect().center(), here + QPoint(-20, 40));
}

TEST(GraphWindow, WheelScrollsAndScalesTheAxisUnderThePointer)
{
    Window w;
    w.add("s", [](int) { return 0.0; });
    QGraphYAxis *axis = w.window.common_y_axis();
    const QPoint over_axis = axis->rect().center();
    const int step = std::max(1, axis->rect().height() / 20);
    const double vpp = axis->value_per_pixel();
    send_wheel(&w.window, over_axis, 240, Qt::ControlModifier);
    EXPECT_NEAR(axis->maximum(), 10.0 + 2 * step * vpp, 1e-9);
    EXPECT_NEAR(axis->minimum(), -10.0 - 2 * step * vpp, 1e-9);
    const double span = axis->maximum() - axis->minimum();
    const double vpp2 = axis->value_per_pixel();
    send_wheel(&w.window, over_axis, -120, Qt::NoModifier);
    EXPECT_NEAR(axis->maximum() - axis->minimum(), span, 1e-9);
    EXPECT_NEAR(axis->minimum(), -10.0 - 2 * step * vpp + step * vpp2, 1e-9);

    // Ctrl on the time axis scales it at once.
    QGraphXAxis *x_axis = w.window.x_axis();
    const double tpp = x_axis->time_per_pixel();
    const int x_step = std::max(1, x_axis->rect().width() / 20);
    send_wheel(&w.window, x_axis->rect().center(), -120, Qt::ControlModifier);
    EXPECT_NEAR(x_axis->minimum(), x_step * tpp, 1e-9);
    EXPECT_NEAR(x_axis->maximum(), 10.0 - x_step * tpp, 1e-9);
}

namespace {

struct MenuEntry {
    QString text;
    bool enabled;
    bool checked;
};

QList<MenuEntry> entries(QMenu *menu)
{
    QList<MenuEntry> list;
    for (QAction *action : menu->actions())
        list.append({action->isSeparator() ? QString("---") : action->text(), action->isEnabled(),
                     action->isChecked()});
    return list;
}

} // namespace

TEST(GraphWindow, ContextMenuEntriesFollowSelectionAndOnlineState)
{
    Window w;
    SyntheticSignal *a = w.add("alpha", [](int) { return 1.0; });
    w.add("beta", [](int) { return 2.0; });
    struct Case {
        const char *name;
        std::function<void()> set_up;
        QString remove, fit;
        bool remove_enabled, colour_enabled, cursor_enabled;
    };
    const QList<Case> cases = {
        {"offline, none selected", [] {}, "Delete all Signals", "Fit all Signals", true, false, true},
        {"offline, one selected", [&] { a->set_selected(true); }, "Delete selected Signal", "Fit selected Signal",
         true, true, true},
        {"offline, two selected", [&] { w.window.signal_list().at(1)->set_selected(true); },
         "Delete selected Signals", "Fit selected Signals", true, true, true},
        {"online", [&] { w.window.deselect_all_regions(); w.window.set_online(true); }, "Delete all Signals",
         "Fit all Signals", false, false, false},
    };
    for (const Case &c : cases) {
        c.set_up();
        std::unique_ptr<QMenu> menu(w.window.create_context_menu());
        const QList<MenuEntry> list = entries(menu.get());
        ASSERT_EQ(list.size(), 14) << c.name;
        const QStringList expected = {c.remove, list[1].text, list[2].text, c.fit, "Set Color of selected Signals",
                                      "Grid", "Cursor Mode", "Signal Properties", "Signal Mode", "Draw Mode",
                                      "Font Size", "---", "Screenshot to Clipboard", "Screenshot to File"};
        for (int i = 0; i < list.size(); ++i)
            EXPECT_EQ(list[i].text, expected[i]) << c.name << " entry " << i;
        EXPECT_EQ(menu->actions()[1], w.window.undo_manager()->undoAction());
        EXPECT_EQ(menu->actions()[2], w.window.undo_manager()->redoAction());
        EXPECT_EQ(list[0].enabled, c.remove_enabled) << c.name;
        EXPECT_EQ(list[4].enabled, c.colour_enabled) << c.name;
        EXPECT_TRUE(list[5].checked) << c.name;
        EXPECT_EQ(list[6].enabled, c.cursor_enabled) << c.name;
    }
    std::unique_ptr<QMenu> menu(w.window.create_context_menu());
    QList<QAction *> actions = menu->actions();
    QMenu *properties = actions[7]->menu();
    ASSERT_EQ(properties->actions().size(), 2);
    EXPECT_EQ(properties->actions()[0]->text(), "alpha");
    EXPECT_EQ(properties->actions()[0]->data().toInt(), a->id());
    QStringList modes;
    for (QAction *action : actions[8]->menu()->actions())
        modes << action->text() + (action->isChecked() ? "*" : "");
    EXPECT_EQ(modes, (QStringList{"Separate Y-Axis", "Overlapped Y-Axis", "Common Y-Axis*"}));
    QMenu *draw = actions[9]->menu();
    ASSERT_EQ(draw->actions().size(), 5);
    EXPECT_EQ(draw->actions()[3]->text(), "Bars");
    EXPECT_EQ(draw->actions()[3]->data().toInt(), 10004);
    EXPECT_TRUE(draw->actions()[0]->isChecked());
    w.window.signal_list().at(1)->set_draw_mode(QGraphSignal::Dots);
    menu.reset(w.window.create_context_menu());
    for (QAction *action : menu->actions()[9]->menu()->actions())
        EXPECT_FALSE(action->isChecked()) << "the curves differ";
    QStringList sizes;
    for (QAction *action : menu->actions()[10]->menu()->actions())
        sizes << action->text() + (action->isChecked() ? "*" : "");
    EXPECT_EQ(sizes, (QStringList{"5", "6", "7", "8*", "10", "11", "12", "14", "16"}));
    menu->actions()[10]->menu()->actions()[8]->trigger();
    EXPECT_EQ(w.window.font_size(), 16);

    // A window without curves has no properties submenu.
    QGraphWindow empty;
    std::unique_ptr<QMenu> empty_menu(empty.create_context_menu());
    EXPECT_EQ(empty_menu->actions()[7]->text(), "Signal Mode");
}

TEST(GraphWindow, DeleteAllWithoutSelectionAndFitFallsBackOnLimits)
{
    Window w;
    w.add("a", [](int) { return gap; });
    w.add("b", [](int) { return gap; });
    w.window.common_y_axis()->set_limits(3.0, 1.0);
    w.window.fit();
    EXPECT_DOUBLE_EQ(w.window.common_y_axis()->minimum(), -10.0) << "curves without samples fit to their limits";
    EXPECT_DOUBLE_EQ(w.window.common_y_axis()->maximum(), 10.0);
    w.window.undo_stack()->undo();
    EXPECT_DOUBLE_EQ(w.window.common_y_axis()->maximum(), 3.0) << "fit is one undo step";
    w.window.delete_selected_signals();
    EXPECT_TRUE(w.window.signal_list().isEmpty());
}

// Removing a curve forgets it everywhere: the pressed region, the rubber
// band's target, the crossings' axis and legend lists.
TEST(GraphWindow, RemovedSignalLeavesNoReferenceBehind)
{
    Window w;
    SyntheticSignal *keep = w.add("keep", [](int) { return 1.0; });
    SyntheticSignal *gone = w.add("gone", [](int) { return 5.0; });
    w.window.set_signal_mode(QGraphWindow::Separate);
    // Separate mode: the cursors read the first active own axis.
    w.window.set_signal_active(keep, false);
    w.window.set_cursor_mode(true);
    ASSERT_EQ(w.window.crossing(0)->y_axis(), gone->own_y_axis());
    QPointer<QGraphYAxis> gone_axis = gone->own_y_axis();
    const QGraphYAxis *gone_axis_address = gone_axis.data();
    QGraphLegend *gone_legend = gone->legend();

    const QPoint inside = gone->rect().center() + QPoint(-80, 0);
    QTest::mousePress(&w.window, Qt::LeftButton, Qt::NoModifier, inside);
    ASSERT_EQ(w.window.rubber()->target(), gone);
    w.window.remove_signal(gone);
    delete gone;
    EXPECT_TRUE(gone_axis.isNull());
    EXPECT_EQ(w.window.rubber()->target(), nullptr);
    EXPECT_FALSE(w.window.rubber()->is_active());
    EXPECT_EQ(w.window.current_region(), nullptr);
    for (int i = 0; i < 2; ++i) {
        EXPECT_NE(w.window.crossing(i)->y_axis(), gone_axis_address);
        EXPECT_FALSE(w.window.crossing(i)->legends().contains(gone_legend));
    }
    // The drag that goes on and the legend paint touch nothing of it.
    send_move(&w.window, inside + QPoint(30, 30));
    QTest::mouseRelease(&w.window, Qt::LeftButton, Qt::NoModifier, inside + QPoint(30, 30));
    w.window.screenshot();
}

// A constant curve fits to a span around its value, and paints as a line.
TEST(GraphWindow, FitOfConstantSignalWidensTheSpan)
{
    Window w;
    SyntheticSignal *signal = w.add("flat", [](int) { return 4.0; });
    w.window.fit();
    QGraphYAxis *axis = w.window.common_y_axis();
    EXPECT_LT(axis->minimum(), 4.0);
    EXPECT_GT(axis->maximum(), 4.0);
    EXPECT_DOUBLE_EQ((axis->maximum() + axis->minimum()) / 2, 4.0);
    const QImage image = w.window.screenshot();
    EXPECT_TRUE(colour_near(image, w.x(signal, 100), w.row(signal, 4.0), signal->color(), 0));
    GraphHit hit;
    hit.mouse_x = w.x(signal, 100);
    hit.mouse_y = w.row(signal, 4.0);
    signal->hit_test(hit);
    EXPECT_EQ(hit.hit_signal, signal);

    w.window.set_signal_mode(QGraphWindow::Separate);
    w.window.fit();
    EXPECT_GT(signal->own_y_axis()->maximum(), signal->own_y_axis()->minimum());
}

TEST(GraphWindow, OnlineModeFreezesTheTimeAxisAndAdvances)
{
    Window w;
    SyntheticSignal *signal = w.add("s", [](int) { return 0.0; });
    w.window.set_online(true);
    EXPECT_FALSE(signal->has_flag(QGraphRegion::RubberBandStart));
    EXPECT_FALSE(w.window.x_axis()->has_flag(QGraphRegion::ScaleHorizontally));
    const double maximum = w.window.x_axis()->maximum();
    for (int i = 0; i < 40; ++i)
        w.window.advance_time();
    EXPECT_GT(w.window.x_axis()->maximum(), maximum);
    EXPECT_NEAR(w.window.x_axis()->maximum(), maximum + 1.2, 2 * w.window.x_axis()->time_per_pixel());
    send_wheel(&w.window, w.window.x_axis()->rect().center(), 120, Qt::ControlModifier);
    EXPECT_NEAR(w.window.x_axis()->span(), 10.0, 1e-9) << "the running time axis ignores the wheel";
    w.window.set_online(false);
    EXPECT_TRUE(signal->has_flag(QGraphRegion::RubberBandStart));
}

namespace {

// Answers the file dialog with name and filter, then the message box that
// may follow with button (and records its text).
struct DialogDriver {
    DialogDriver(const QString &file_name, const QString &name_filter,
                 QMessageBox::StandardButton button = QMessageBox::Ok)
        : name(file_name), filter(name_filter), answer(button)
    {}
    QString name;
    QString filter;
    QMessageBox::StandardButton answer;
    QString message;
    void arm()
    {
        QTimer::singleShot(0, [this] {
            auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
            ASSERT_TRUE(dialog);
            EXPECT_EQ(dialog->objectName(), "select_graphic_file");
            EXPECT_EQ(dialog->windowTitle(), "Save Screenshot");
            if (!filter.isEmpty())
                dialog->selectNameFilter(filter);
            dialog->selectFile(name);
            QTimer::singleShot(0, [this] {
                if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                    message = box->windowTitle() + "|" + box->text();
                    box->button(answer)->click();
                }
            });
            static_cast<QDialog *>(dialog)->accept();
        });
    }
};

QString identify(const QString &path)
{
    QProcess process;
    process.start("identify", {path});
    process.waitForFinished(20000);
    return process.exitCode() == 0 ? QString::fromLatin1(process.readAllStandardOutput()) : QString();
}

} // namespace

TEST(GraphWindow, ScreenshotGoesToTheClipboard)
{
    Window w;
    w.add("s", [](int c) { return c % 7; });
    w.window.screenshot_to_clipboard();
    const QImage clipboard = QApplication::clipboard()->image().convertToFormat(QImage::Format_RGB32);
    const QImage grabbed = w.window.grab().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(clipboard.size(), grabbed.size());
    EXPECT_TRUE(clipboard == grabbed);
}

TEST(GraphWindow, ScreenshotToFileWritesEveryFormat)
{
    QTemporaryDir dir;
    Window w;
    w.add("s", [](int c) { return c % 7; });
    int written = 0;
    for (const QByteArray &format : QImageWriter::supportedImageFormats()) {
        const QString name = dir.filePath("shot_" + QString::fromLatin1(format));
        DialogDriver driver(name, "Graphic Files (*." + QString::fromLatin1(format).toLower() + ")");
        driver.arm();
        w.window.screenshot_to_file();
        const QString path = name + "." + QString::fromLatin1(format).toLower();
        ASSERT_TRUE(QFileInfo::exists(path)) << path.toStdString();
        EXPECT_FALSE(identify(path).isEmpty()) << path.toStdString();
        ++written;
    }
    EXPECT_GE(written, 5);

    // Neither filter nor extension names a format: PNG, with its extension.
    DialogDriver plain(dir.filePath("plain"), "All files (*)");
    plain.arm();
    w.window.screenshot_to_file();
    EXPECT_TRUE(identify(dir.filePath("plain.png")).contains("PNG"));
    // The extension names the format when the filter does not.
    DialogDriver by_suffix(dir.filePath("by_suffix.BMP"), "All files (*)");
    by_suffix.arm();
    w.window.screenshot_to_file();
    EXPECT_TRUE(identify(dir.filePath("by_suffix.BMP")).contains("BMP"));

    // An existing file is only overwritten when the user says so.
    const QString existing = dir.filePath("plain.png");
    QFile::resize(existing, 3);
    DialogDriver cancel(existing, "All files (*)", QMessageBox::Cancel);
    cancel.arm();
    w.window.screenshot_to_file();
    EXPECT_EQ(cancel.message, "Warning|File '" + existing + "' already exists.\nDo you want to overwrite it ?");
    EXPECT_EQ(QFileInfo(existing).size(), 3);
    DialogDriver overwrite(existing, "All files (*)", QMessageBox::Ok);
    overwrite.arm();
    w.window.screenshot_to_file();
    EXPECT_GT(QFileInfo(existing).size(), 3);

    // A folder nobody may write to (root writes anywhere but in /proc).
    QString locked_dir = "/proc";
    QTemporaryDir read_only;
    if (geteuid() != 0) {
        QFile::setPermissions(read_only.path(), QFile::ReadOwner | QFile::ExeOwner);
        locked_dir = read_only.path();
    }
    const QString locked = locked_dir + "/vyr_shot.png";
    DialogDriver failing(locked, "All files (*)");
    failing.arm();
    w.window.screenshot_to_file();
    EXPECT_EQ(failing.message, "Error|Writing of file '" + locked + "' failed.");
    QFile::setPermissions(read_only.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}
