// The message view's work over a full scrolling list of 200,000 records: a
// search that finds nothing (every record's data, ASCII and identifier text
// built and tested), turning the display filter on and off again, and the
// clipboard export of the whole list as log text.
#include "windows/trace/vyr_message_view.h"
#include "windows/trace/vyr_trace_message_queue.h"

#include <QApplication>
#include <QClipboard>
#include <QTextStream>
#include <benchmark/benchmark.h>

namespace {

constexpr int record_count = VyrMessageView::max_shown;

// A view on show in scroll mode holding 200,000 eight-byte frames, every
// tenth one selected.
class FullView
{
public:
    FullView() : view(nullptr, "message_view")
    {
        view.resize(1400, 800);
        view.set_scroll_mode(true);
        view.show();
        VyrCanMessage frame;
        frame.dlc = 8;
        for (int i = 0; i < record_count; ++i) {
            frame.id = uint32_t(i % 2000);
            frame.time = uint32_t(i);
            for (int b = 0; b < 8; ++b)
                frame.data[b] = uint8_t(i >> (b % 4 * 8));
            view.store()->intake().put(frame);
            if (i % 5000 == 4999)
                view.update_messages();
        }
        for (long long pos = 1; pos <= record_count; pos += 10) {
            view.set_cursor_pos(pos);
            view.toggle_selection_on_cursor_pos();
        }
        QApplication::processEvents();
    }
    VyrMessageView view;
};

void BM_SearchWithoutHit(benchmark::State &state)
{
    FullView full;
    for (auto _ : state) {
        full.view.set_cursor_pos(1);
        full.view.search(QStringLiteral("no such text"), false);
    }
    state.counters["records"] = record_count;
}
BENCHMARK(BM_SearchWithoutHit)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_DisplayFilterOnAndOff(benchmark::State &state)
{
    FullView full;
    for (auto _ : state) {
        full.view.set_display_filter(true);
        full.view.viewport()->repaint();
        full.view.set_display_filter(false);
        full.view.viewport()->repaint();
    }
    state.counters["records"] = record_count;
}
BENCHMARK(BM_DisplayFilterOnAndOff)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_CopyAllToClipboard(benchmark::State &state)
{
    FullView full;
    int length = 0;
    for (auto _ : state) {
        QString text;
        QTextStream out(&text);
        full.view.write_log_text(out, false);
        out.flush();
        QApplication::clipboard()->setText(text);
        length = text.size();
    }
    state.counters["records"] = record_count;
    state.counters["characters"] = length;
}
BENCHMARK(BM_CopyAllToClipboard)->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
