// The samples of a scope signal and their pixel columns: a curve on an x
// axis of 100 columns of 10 ms each, fed with stamped values; and the scope
// tick that trims the rings, keeps five minutes of history and rests while
// the window is paused.
#include "core/vyr_signal_entry.h"
#include "test_support.h"
#include "widgets/graph/qgraphaxis.h"
#include "windows/scope/qgraph_measured_signal.h"
#include "windows/scope/vyr_graph_window.h"
#include "windows/scope/vyr_scope.h"
#include "windows/scope/vyr_scope_signal_item.h"

#include <QApplication>
#include <QToolButton>
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>

namespace {

constexpr double none = QGraphSignal::no_value;

SignalValue stamped(double time, double value)
{
    SignalValue record;
    record.seconds = uint32_t(time);
    record.microseconds = uint32_t(std::lround((time - std::floor(time)) * 1e6));
    record.set_double(value);
    return record;
}

std::vector<double> columns(QGraphSignal &curve)
{
    std::vector<double> values;
    for (int i = 0; i < curve.samples().count(); ++i)
        values.push_back(curve.samples().at(i));
    return values;
}

struct Curve {
    Curve()
    {
        signal.set_name("Engine.Speed");
        item = static_cast<VyrScopeSignalItem *>(list.append_signal(&signal));
        curve = new QGraphMeasuredSignal(&owner, "Speed", "rpm");
        curve->set_item(item);
        item->attach_curve(curve);
        curve->set_x_axis(&axis);
        axis.add_signal(curve);
        axis.set_geometry(QRect(0, 100, 100, 20));
        curve->set_geometry(QRect(0, 0, 100, 100));
        curve->set_active(true);
        axis.set_limits(1.0, 0.0);
    }
    ~Curve() { delete curve; }
    void put(double time, double value) { item->value_changed(stamped(time, value)); }

    QWidget owner;
    QGraphXAxis axis{&owner};
    SignalRecord signal;
    VyrScopeSignalDisplayList list{nullptr};
    VyrScopeSignalItem *item;
    QGraphMeasuredSignal *curve;
};

} // namespace

TEST(ScopeColumns, EachColumnHoldsItsFirstSampleAndEmptyColumnsNone)
{
    const struct {
        const char *name;
        std::vector<std::pair<double, double>> samples;
        std::vector<double> expected;
    } cases[] = {
        {"three in one column", {{0.021, 1}, {0.023, 2}, {0.027, 3}}, {none, none, 1}},
        {"a gap of five", {{0.005, 7}, {0.055, 8}}, {7, none, none, none, none, 8}},
        {"one per column", {{0.001, 1}, {0.011, 2}, {0.021, 3}}, {1, 2, 3}},
        {"past the right edge waits", {{0.995, 4}, {1.2, 5}}, {}},
    };
    for (const auto &c : cases) {
        Curve f;
        for (const auto &[time, value] : c.samples)
            f.put(time, value);
        f.curve->fetch(false, false);
        std::vector<double> expected = c.expected;
        if (expected.empty()) {
            expected.assign(100, none);
            expected[99] = 4;
        }
        EXPECT_EQ(columns(*f.curve), expected) << c.name;
    }
}

TEST(ScopeColumns, NewSamplesAppendAndAnAxisMovedBackRebuildsFromTheOldest)
{
    Curve f;
    f.put(0.005, 1);
    f.curve->fetch(false, false);
    f.put(0.025, 2);
    f.curve->fetch(true, false);
    EXPECT_EQ(columns(*f.curve), (std::vector<double>{1, none, 2}));
    EXPECT_EQ(f.curve->first_new_column(), 1);
    EXPECT_DOUBLE_EQ(f.curve->last_time(), 0.025);

    // Ten columns back: the oldest sample now lies in column 10.
    f.axis.scroll_time(-0.1);
    std::vector<double> expected(10, none);
    expected.insert(expected.end(), {1, none, 2});
    EXPECT_EQ(columns(*f.curve), expected);
    EXPECT_EQ(f.curve->previous_time(), none);

    // Forward again by 12 columns: the rebuild takes the sample before the range as the previous one.
    f.axis.set_limits(1.02, 0.02);
    EXPECT_EQ(columns(*f.curve), (std::vector<double>{2}));
    EXPECT_DOUBLE_EQ(f.curve->previous_time(), 0.005);
    EXPECT_EQ(f.curve->previous_value(), 1);
}

TEST(ScopeColumns, NarrowRegionsAndEmptyRangesShowNothing)
{
    Curve f;
    f.put(0.005, 1);
    f.curve->set_geometry(QRect(0, 0, 15, 100));
    f.curve->fetch(false, true);
    EXPECT_EQ(f.curve->samples().count(), 0);
    f.curve->set_geometry(QRect(0, 0, 100, 100));
    f.curve->fetch(false, true);
    EXPECT_EQ(f.curve->samples().count(), 1);
    // No time per column: nothing placed, and no shift computed from a division by zero.
    f.axis.set_limits(0.5, 0.5);
    f.curve->fetch(false, false);
    EXPECT_EQ(f.curve->samples().count(), 0);
}

TEST(ScopeItem, SamplesKeepTimeAndValueAndResetEmptiesThem)
{
    Curve f;
    SignalValue record;
    record.seconds = 3;
    record.microseconds = 250000;
    record.set_int(-5);
    f.item->value_changed(record);
    f.put(1.5, 2.5);
    VyrMessageRing<ScopeSample> &ring = f.item->samples();
    ASSERT_EQ(ring.record_count(), 2u);
    EXPECT_DOUBLE_EQ(ring.read_record().time, 3.25);
    EXPECT_EQ(ring.read_record().value, -5.0);
    // The newest time is the latest seen, not the last.
    EXPECT_DOUBLE_EQ(f.item->newest_time(), 3.25);
    f.curve->fetch(false, true);
    f.item->reset();
    EXPECT_EQ(ring.record_count(), 0u);
    EXPECT_EQ(f.item->newest_time(), 0.0);
    EXPECT_EQ(f.curve->samples().count(), 0);
}

TEST(ScopeItem, CharacteristicGivesTheFirstDrawMode)
{
    const std::pair<int, int> cases[] = {{SignalRecord::Digital, QGraphSignal::Digital},
                                         {SignalRecord::Sample, QGraphSignal::Bars},
                                         {SignalRecord::Continuous, QGraphSignal::ConnectSamples},
                                         {0, QGraphSignal::ConnectSamples}};
    for (const auto &[characteristic, mode] : cases) {
        SignalRecord signal;
        signal.set_characteristic(characteristic);
        VyrScopeSignalItem item(&signal, nullptr);
        EXPECT_EQ(item.draw_mode(), mode) << characteristic;
    }
}

namespace {

class ScopeTick : public ::testing::Test
{
protected:
    ScopeTick()
    {
        signal.set_name("Wave");
        scope.signal_display_list()->append_signal(&signal);
        scope.resize(600, 300);
        // The x axis gets its width from the layout.
        scope.show();
        QApplication::processEvents();
    }

    VyrScopeSignalItem *item() const { return scope.item(0); }
    // Puts n samples at the time, making room as the tick does.
    void put(uint32_t n, double time)
    {
        VyrMessageRing<ScopeSample> &ring = item()->samples();
        for (uint32_t i = 0; i < n; ++i) {
            if (i % 4000 == 0)
                ring.make_room();
            item()->value_changed(stamped(time, i));
        }
    }
    void pause(bool on) { scope.findChild<QToolButton *>("pause_button")->setChecked(on); }

    SignalRecord signal;
    VyrScope scope{nullptr};
};

} // namespace

TEST_F(ScopeTick, RingsBelowTenPercentFreeLoseTheirOldestHundredThousand)
{
    const std::pair<uint32_t, uint32_t> cases[] = {{450000, 450000}, {450001, 350001}};
    for (const auto &[filled, left] : cases) {
        item()->samples().discard_all();
        put(filled, 0.5);
        scope.update_signals();
        EXPECT_EQ(item()->samples().record_count(), left) << filled;
    }
}

TEST_F(ScopeTick, HistoryKeepsTheLastFiveMinutesAndTheViewFollowsTheNewest)
{
    for (int t = 0; t <= 400; ++t)
        item()->value_changed(stamped(t, t));
    scope.update_signals();
    QGraphXAxis *axis = scope.graph()->x_axis();
    EXPECT_NEAR(axis->maximum(), 400.0, axis->time_per_pixel());
    EXPECT_NEAR(scope.history_start(), axis->maximum() - 300.0, 1e-9);
    EXPECT_GE(item()->samples().read_record().time, scope.history_start());
    EXPECT_LT(item()->samples().read_record().time, scope.history_start() + 1.0);
}

TEST_F(ScopeTick, PauseStopsScrollingAndTrimmingUntilItEnds)
{
    pause(true);
    QGraphXAxis *axis = scope.graph()->x_axis();
    const double right = axis->maximum();
    // More than the ring takes: the rest is dropped while paused.
    put(520000, 20.0);
    scope.update_signals();
    EXPECT_EQ(axis->maximum(), right);
    VyrMessageRing<ScopeSample> &ring = item()->samples();
    EXPECT_GT(ring.record_count(), 450000u);
    EXPECT_GT(ring.dropped_count(), 0u);
    pause(false);
    scope.update_signals();
    EXPECT_LT(ring.record_count(), 450000u);
    EXPECT_GT(axis->maximum(), right);
}

// The signal's thread notifies while the tick reads and the item goes: the
// item leaves the signal before its ring is freed, and the newest time is
// shared without a race (run under the thread sanitizer as well).
TEST_F(ScopeTick, AnItemGoesWhileItsSignalIsNotifiedFromAnotherThread)
{
    VyrSignalEntry entry;
    entry.bind(&signal);
    entry.add_listener(item());
    std::atomic<bool> running{true};
    std::atomic<uint32_t> sent{0};
    std::thread notifier([&] {
        for (uint32_t i = 0; running.load(); ++i) {
            entry.notify_listeners(stamped(i * 0.001, i));
            sent.store(i + 1);
        }
    });
    while (sent.load() < 20000)
        scope.update_signals();
    EXPECT_GT(item()->newest_time(), 0.0);
    scope.signal_display_list()->remove_entry(item());
    EXPECT_EQ(entry.listener_count(), 0);
    const uint32_t after = sent.load();
    while (sent.load() < after + 1000)
        std::this_thread::yield();
    running.store(false);
    notifier.join();
    EXPECT_EQ(scope.item_count(), 0);
}
