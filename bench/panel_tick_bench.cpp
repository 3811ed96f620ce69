// The panel's tick and the notifications of its bound signals.
//
// BM_PanelTick: the GUI thread's time of one tick of a panel (each item's
// update_display and sync_signals) with 200 x/y indicators whose two bindings
// each received a new value since the last tick; "tick us" is that time
// alone, without the notifications that feed it. The tick runs every 250 ms.
//
// BM_PanelSignalBindingValueChanged beside BM_SignalValueListenerValueChanged:
// one notification on the notifying thread while another thread reads and
// clears the values as fast as it can, as the GUI does at its ticks (CPU time
// of the notifying thread).
#include "core/signal_record.h"
#include "core/time_base.h"
#include "core/timer_wheel.h"
#include "core/vyr_signal_if.h"
#include "core/vyr_signal_if_type.h"
#include "core/vyr_signal_list.h"
#include "windows/base/signal_value_listener.h"
#include "windows/panel/panel_signal_binding.h"
#include "windows/panel/vyr_panel.h"
#include "windows/panel/vyr_panel_item.h"

#include "offscreen_benchmark_main.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int item_count = 200;

// A CAN interface with 400 signals and a panel whose items bind two each.
struct TickedPanel
{
    std::unique_ptr<VyrSignalIf> signal_if = create_signal_if("CAN", nullptr, nullptr, nullptr);
    std::unique_ptr<VyrPanel> panel = std::make_unique<VyrPanel>(nullptr);
    std::vector<PanelSignalBinding *> bindings;

    bool build()
    {
        if (!signal_if)
            return false;
        const QString interface_id = QString::fromStdString(signal_if->make_id());
        for (int i = 0; i < 2 * item_count; ++i) {
            SignalRecord *signal = signal_if->new_signal(("Bench" + std::to_string(i)).c_str(), 0);
            signal->set_owner(signal_if.get());
            signal->add_flags(SignalRecord::DefinedByCompile);
            signal->set_value_type(SignalValue::Double);
            signal->set_min(0.0);
            signal->set_max(1000.0);
            signal_if->signal_list()->insert(signal);
        }
        for (int i = 0; i < item_count; ++i) {
            VyrPanelItem *item = panel->insert_new_item(QStringLiteral("XY-Indicator"));
            if (!item || item->bindings().size() != 2)
                return false;
            for (size_t k = 0; k < 2; ++k) {
                item->bindings()[k]->set_names(interface_id, QStringLiteral("Bench%1").arg(2 * i + int(k)));
                bindings.push_back(item->bindings()[k].get());
            }
        }
        panel->startup();
        for (PanelSignalBinding *binding : bindings)
            if (!binding->signal())
                return false;
        return true;
    }
    ~TickedPanel()
    {
        panel->stop();
        panel.reset();
    }
};

void BM_PanelTick(benchmark::State &state)
{
    TickedPanel ticked;
    if (!ticked.build()) {
        state.SkipWithError("the panel's items did not bind");
        return;
    }
    SignalValue value;
    double next = 0.0;
    double tick_seconds = 0.0;
    for (auto _ : state) {
        state.PauseTiming();
        for (PanelSignalBinding *binding : ticked.bindings) {
            value.set_double(next);
            next = next < 999.0 ? next + 1.0 : 0.0;
            binding->value_changed(value);
        }
        state.ResumeTiming();
        const auto start = std::chrono::steady_clock::now();
        ticked.panel->update_signals();
        tick_seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    state.counters["tick us"] = benchmark::Counter(tick_seconds * 1e6, benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_PanelTick);

// Notifies the listener once per iteration while a second thread calls read()
// in a loop; the main timer wheel is set, as during a measurement.
template <typename Listener, typename Read> void notify_while_reading(benchmark::State &state, Listener &listener, Read read)
{
    TimerWheel wheel(1024, 0, 1, 200);
    set_main_timer_wheel(&wheel);
    std::atomic<bool> done{false};
    std::thread gui([&] {
        while (!done.load(std::memory_order_relaxed))
            read();
    });
    SignalValue value;
    int32_t n = 0;
    for (auto _ : state) {
        value.set_int(n++);
        listener.value_changed(value);
    }
    done = true;
    gui.join();
    set_main_timer_wheel(nullptr);
}

void BM_PanelSignalBindingValueChanged(benchmark::State &state)
{
    PanelSignalBinding binding(nullptr);
    notify_while_reading(state, binding, [&] { benchmark::DoNotOptimize(binding.take_values()); });
}
BENCHMARK(BM_PanelSignalBindingValueChanged);

void BM_SignalValueListenerValueChanged(benchmark::State &state)
{
    SignalValueListener listener(0, nullptr);
    notify_while_reading(state, listener, [&] { benchmark::DoNotOptimize(listener.last_value(true)); });
}
BENCHMARK(BM_SignalValueListenerValueChanged);

} // namespace
