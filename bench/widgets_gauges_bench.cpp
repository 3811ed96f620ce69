// A value change on a 200 x 200 gauge with the repaint it causes: the road of
// the face pixmap (the face drawn as one pixmap, the needle on top) against a
// full render of the face, which every change costs with a needle picture.
#include "widgets/gauges/qtbar.h"
#include "widgets/gauges/qttacho.h"

#include "offscreen_benchmark_main.h"

#include <QFile>
#include <QTemporaryDir>
#include <QWindow>

namespace {

const char kNeedle[] = R"(<svg xmlns="http://www.w3.org/2000/svg" width="20" height="100" viewBox="0 0 20 100">
<polygon points="10,0 20,100 0,100" fill="#c00000"/></svg>)";

// Exposes the full face render of a gauge.
template <typename Gauge>
class Rendering : public Gauge
{
public:
    void render() { this->render_face(); }
};

template <typename Gauge>
void show(Rendering<Gauge> &gauge)
{
    gauge.setRange(0, 100);
    gauge.resize(200, 200);
    gauge.show();
    for (int i = 0; i < 100 && !gauge.windowHandle()->isExposed(); ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    if (!gauge.windowHandle()->isExposed())
        qFatal("the gauge was not shown");
    QCoreApplication::processEvents();
}

// setValue and the repaint it asks for, done at once (the whole widget).
template <typename Gauge>
void BM_ValueChange(benchmark::State &state)
{
    Rendering<Gauge> gauge;
    show(gauge);
    double value = 10;
    for (auto _ : state) {
        value = value == 10 ? 60 : 10;
        gauge.setValue(value);
        gauge.repaint();
    }
}

// The face rendered anew and repainted.
template <typename Gauge>
void BM_FullRender(benchmark::State &state)
{
    Rendering<Gauge> gauge;
    show(gauge);
    for (auto _ : state) {
        gauge.render();
        gauge.repaint();
    }
}

// With a needle picture every value change renders the face.
void BM_ValueChangeSvgNeedle(benchmark::State &state)
{
    QTemporaryDir dir;
    QFile file(dir.filePath("needle.svg"));
    if (!file.open(QIODevice::WriteOnly) || file.write(kNeedle) < 0)
        qFatal("cannot write the needle picture");
    file.close();
    Rendering<QtTacho> gauge;
    show(gauge);
    gauge.setPictureFile(file.fileName());
    double value = 10;
    for (auto _ : state) {
        value = value == 10 ? 60 : 10;
        gauge.setValue(value);
        gauge.repaint();
    }
}

} // namespace

BENCHMARK_TEMPLATE(BM_ValueChange, QtTacho)->Unit(benchmark::kMicrosecond);
BENCHMARK_TEMPLATE(BM_FullRender, QtTacho)->Unit(benchmark::kMicrosecond);
BENCHMARK_TEMPLATE(BM_ValueChange, QtBar)->Unit(benchmark::kMicrosecond);
BENCHMARK_TEMPLATE(BM_FullRender, QtBar)->Unit(benchmark::kMicrosecond);
BENCHMARK_TEMPLATE(BM_ValueChange, QtCompass)->Unit(benchmark::kMicrosecond);
BENCHMARK_TEMPLATE(BM_FullRender, QtCompass)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ValueChangeSvgNeedle)->Unit(benchmark::kMicrosecond);
