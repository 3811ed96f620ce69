// One paint of the hex editor's visible rows, scrolled to the middle of a
// 64 KiB and of a 16 MiB page: only the rows in view are formatted, so the
// two should take the same time.
#include "widgets/hexedit/qhexedit.h"

#include "core/memory_region.h"

#include <QApplication>
#include <QPixmap>
#include <QScrollBar>
#include <benchmark/benchmark.h>

namespace {

void BM_PaintVisibleRows(benchmark::State &state)
{
    const uint32_t length = uint32_t(state.range(0));
    MemoryPage page(0x80000000u, length);
    for (uint32_t i = 0; i < length; ++i) {
        const uint8_t byte = uint8_t(i * 31 + (i >> 8));
        page.write(page.start() + i, &byte, 1);
    }
    QHexEdit edit;
    edit.set_page(&page);
    edit.resize(edit.sizeHint().width(), 400);
    edit.show();
    QApplication::processEvents();
    edit.verticalScrollBar()->setValue(edit.verticalScrollBar()->maximum() / 2);
    edit.selection_set(page.start() + length / 2, page.start() + length / 2 + 40);
    QPixmap target(edit.viewport()->size());
    for (auto _ : state)
        edit.viewport()->render(&target);
    state.counters["rows"] = edit.line_count();
}
BENCHMARK(BM_PaintVisibleRows)->Arg(64 << 10)->Arg(16 << 20)->Unit(benchmark::kMicrosecond);

} // namespace

#include "offscreen_benchmark_main.h"
