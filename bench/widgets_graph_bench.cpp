// The graph window's hot paths on a plot 1,600 pixels wide with 8 curves of
// 100,000 samples each (one per millisecond, 100 s): a full repaint, a zoom
// (refetch of every curve and repaint) and the online frame at 10 updates per
// second (scroll by 0.1 s, fetch the new columns, paint the new strip), beside
// Qwt's QwtPlot with eight QwtPlotCurves at the same size.
// Like with like: the graph draws one value per pixel column (the column's
// last sample), so Qwt gets the same per-column points. The full repaint
// gives both sides points thinned before the timed frame; the zoom and the
// online frame thin inside it on both sides (the graph its refetched columns,
// Qwt every column of the new view, since a replot draws the whole view).
// Each frame is timed alone, from the change to the end of the paint the
// event loop delivers; p50 and p99 are reported in microseconds.
#include "offscreen_benchmark_main.h"
#include "widgets/graph/qgraphaxis.h"
#include "widgets/graph/qgraphsignal.h"
#include "widgets/graph/qgraphwindow.h"

#include <QElapsedTimer>
#include <QThread>
#include <QWindow>
#include <QVector>
#include <algorithm>
#include <cmath>
#include <qwt_plot.h>
#include <qwt_plot_canvas.h>
#include <qwt_plot_curve.h>
#include <vector>

namespace {

const int signal_count = 8;
const int sample_count = 100000;
const double sample_period = 0.001;
const QSize plot_size(1600, 600);
const double online_step = 0.1;

struct Samples {
    QVector<double> times;
    QVector<double> values;
};

// A sine of its own frequency per curve, with some noise-like ripple.
const std::vector<Samples> &bench_samples()
{
    static const std::vector<Samples> all = [] {
        std::vector<Samples> curves(signal_count);
        for (int s = 0; s < signal_count; ++s) {
            curves[s].times.resize(sample_count);
            curves[s].values.resize(sample_count);
            for (int i = 0; i < sample_count; ++i) {
                const double t = i * sample_period;
                curves[s].times[i] = t;
                curves[s].values[i] = std::sin(t * (s + 1) * 0.7) * 8.0 + std::sin(t * 37.0) * 0.5;
            }
        }
        return curves;
    }();
    return all;
}

// Thins samples to pixel columns: visit(index) gets, for each column from
// `from` on, the index of the column's last sample, or -1 for an empty column.
template <class Visit>
void thin_to_columns(const Samples &data, double minimum, double step, int from, int columns, Visit visit)
{
    const QVector<double> &times = data.times;
    auto sample = std::lower_bound(times.begin(), times.end(), minimum + from * step);
    for (int c = from; c < columns; ++c) {
        const double end = minimum + (c + 1) * step;
        int index = -1;
        while (sample != times.end() && *sample < end) {
            index = int(sample - times.begin());
            ++sample;
        }
        visit(index);
    }
}

// Maps its samples onto pixel columns: the last sample of each column.
// A full fetch fills every column; a scroll step drops the columns that left
// on the left and adds the new ones on the right.
class BenchSignal : public QGraphSignal
{
public:
    BenchSignal(QWidget *owner, const Samples &samples, const QString &name)
        : QGraphSignal(owner, name, "V"), m_data(samples)
    {}

    void fetch(bool, bool full) override
    {
        const QGraphXAxis *axis = x_axis();
        if (!axis || axis->time_per_pixel() <= 0.0)
            return;
        const double step = axis->time_per_pixel();
        const int columns = axis->rect().width();
        int from = 0;
        if (full) {
            samples().reset();
        } else {
            drop_front(int(std::lround((axis->minimum() - first_time()) / step)));
            from = samples().count();
        }
        set_first_time(axis->minimum());
        set_first_new_column(from < columns ? from : -1);
        thin_to_columns(m_data, axis->minimum(), step, from, columns,
                        [&](int index) { samples().append(index < 0 ? no_value : m_data.values[index]); });
        set_last_time(axis->maximum());
    }

private:
    const Samples &m_data;
};

// Repaints reach the screen only once the platform has exposed the window.
void show_exposed(QWidget &widget)
{
    widget.show();
    for (int i = 0; i < 200 && !(widget.windowHandle() && widget.windowHandle()->isExposed()); ++i) {
        QApplication::processEvents();
        QThread::msleep(5);
    }
    QApplication::processEvents();
}

void report_percentiles(benchmark::State &state, std::vector<double> &micros)
{
    std::sort(micros.begin(), micros.end());
    const auto percentile = [&](double p) { return micros[size_t(p * double(micros.size() - 1))]; };
    state.counters["p50 us"] = percentile(0.50);
    state.counters["p99 us"] = percentile(0.99);
}

// Times one frame per iteration.
template <class Frame> void time_frames(benchmark::State &state, Frame frame)
{
    std::vector<double> micros;
    QElapsedTimer timer;
    for (auto _ : state) {
        timer.start();
        frame();
        micros.push_back(timer.nsecsElapsed() / 1000.0);
    }
    report_percentiles(state, micros);
}

struct VyrGraph {
    VyrGraph()
    {
        window.resize(plot_size);
        show_exposed(window);
        window.x_axis()->set_limits(10.0, 0.0);
        for (int s = 0; s < signal_count; ++s)
            window.add_signal(new BenchSignal(&window, bench_samples()[s], QString("signal %1").arg(s)));
        window.fit();
        window.repaint();
    }
    QGraphWindow window;
};

// Qwt with the points the graph draws for the same view: per curve, the last
// sample of each pixel column of the canvas.
struct QwtGraph {
    QwtGraph()
    {
        plot.resize(plot_size);
        plot.setCanvasBackground(Qt::black);
        plot.setAxisAutoScale(QwtPlot::yLeft, true);
        for (int s = 0; s < signal_count; ++s) {
            auto *curve = new QwtPlotCurve(QString("signal %1").arg(s));
            curve->setPen(QColor::fromHsv(41 * s, 255, 255));
            curve->attach(&plot);
            curves.push_back(curve);
        }
        show_exposed(plot);
        show_view(0.0, 10.0);
    }
    // Sets the scale and the thinned points of the view, then replots.
    void show_view(double from, double to)
    {
        plot.setAxisScale(QwtPlot::xBottom, from, to);
        const int columns = plot.canvas()->contentsRect().width();
        const double step = (to - from) / columns;
        for (int s = 0; s < signal_count; ++s) {
            const Samples &data = bench_samples()[s];
            QVector<double> times, values;
            thin_to_columns(data, from, step, 0, columns, [&](int index) {
                if (index < 0)
                    return;
                times.append(data.times[index]);
                values.append(data.values[index]);
            });
            curves[size_t(s)]->setSamples(times, values);
        }
        plot.replot();
    }
    QwtPlot plot;
    std::vector<QwtPlotCurve *> curves;
};

void BM_VyrGraphFullRepaint(benchmark::State &state)
{
    VyrGraph graph;
    time_frames(state, [&] {
        graph.window.update();
        QApplication::processEvents();
    });
}
BENCHMARK(BM_VyrGraphFullRepaint)->Unit(benchmark::kMillisecond)->Iterations(300);

void BM_QwtPlotFullRepaint(benchmark::State &state)
{
    QwtGraph graph;
    time_frames(state, [&] {
        graph.plot.replot();
        QApplication::processEvents();
    });
}
BENCHMARK(BM_QwtPlotFullRepaint)->Unit(benchmark::kMillisecond)->Iterations(300);

// Alternates between two zoomed ranges, so every frame is a real change.
void BM_VyrGraphZoomRefetchRepaint(benchmark::State &state)
{
    VyrGraph graph;
    int zoom = 0;
    time_frames(state, [&] {
        const double from = (zoom++ % 2) ? 20.0 : 40.0;
        graph.window.x_axis()->set_limits(from + 5.0, from);
        QApplication::processEvents();
    });
}
BENCHMARK(BM_VyrGraphZoomRefetchRepaint)->Unit(benchmark::kMillisecond)->Iterations(300);

void BM_QwtPlotZoomRepaint(benchmark::State &state)
{
    QwtGraph graph;
    int zoom = 0;
    time_frames(state, [&] {
        const double from = (zoom++ % 2) ? 20.0 : 40.0;
        graph.show_view(from, from + 5.0);
        QApplication::processEvents();
    });
}
BENCHMARK(BM_QwtPlotZoomRepaint)->Unit(benchmark::kMillisecond)->Iterations(300);

// The running display: each frame moves the 10 s view by 0.1 s. The graph
// copies the plot and paints the new strip; Qwt's way is a new scale, the
// points of the whole new view and a replot.
void BM_VyrGraphOnlineFrame(benchmark::State &state)
{
    VyrGraph graph;
    graph.window.set_online(true);
    double start = 0.0;
    time_frames(state, [&] {
        if (start > 85.0) {
            graph.window.x_axis()->set_limits(10.0, 0.0);
            start = 0.0;
        }
        graph.window.scroll_time(online_step);
        start += online_step;
        QApplication::processEvents();
    });
}
BENCHMARK(BM_VyrGraphOnlineFrame)->Unit(benchmark::kMillisecond)->Iterations(300);

void BM_QwtPlotOnlineFrame(benchmark::State &state)
{
    QwtGraph graph;
    double start = 0.0;
    time_frames(state, [&] {
        if (start > 85.0)
            start = 0.0;
        start += online_step;
        graph.show_view(start, start + 10.0);
        QApplication::processEvents();
    });
}
BENCHMARK(BM_QwtPlotOnlineFrame)->Unit(benchmark::kMillisecond)->Iterations(300);

} // namespace
