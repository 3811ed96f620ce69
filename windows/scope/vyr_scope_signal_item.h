#pragma once
// One signal of a scope: it follows the signal as a listener and keeps every
// new value with its time as a sample, for its curve to draw. The thread that
// notifies the signal writes the samples; the GUI thread reads, trims and
// empties them, without a lock between the two.
#include "core/vyr_message_ring.h"
#include "windows/base/vyr_signal_display_list.h"

#include <QColor>

#include <atomic>

class QGraphMeasuredSignal;

struct ScopeSample
{
    double time;  // seconds of the measurement clock
    double value; // an integer value converted
};

class VyrScopeSignalItem : public SignalDisplayEntry
{
public:
    static constexpr uint32_t initial_capacity = 5000;
    static constexpr uint32_t block_size = 5000;
    static constexpr uint32_t maximum_capacity = 500000;
    // Blocks made ahead for the writer: a tick of the window that comes up to
    // a quarter of a second late still finds room at a million samples/s.
    static constexpr uint32_t reserve = 4 * block_size;

    // owner: the list that holds the item and deletes it.
    VyrScopeSignalItem(SignalRecord *signal, VyrSignalDisplayList *owner);
    ~VyrScopeSignalItem() override;

    // The notifying thread: one sample; a full ring drops it.
    void value_changed(const SignalValue &value) override;

    // Empties the samples and the curve's columns (GUI thread, the writer quiet).
    void reset();
    // Links the curve and gives it the signal's range.
    void attach_curve(QGraphMeasuredSignal *curve);
    // The curve is going: the item leaves its list, which deletes it.
    void detach_from_scope();
    // The curve forgets the item (its list deletes it).
    void clear_curve() { m_curve = nullptr; }
    QGraphMeasuredSignal *curve() const { return m_curve; }

    int draw_mode() const { return m_draw_mode; }
    void set_draw_mode(int mode);
    bool active() const { return m_active; }
    void set_active(bool active);
    // Copies draw mode, colour, y range, fixed-limits and active flag from the curve.
    void sync_from_curve();

    const QColor &color() const { return m_color; }
    double y_minimum() const { return m_y_minimum; }
    double y_maximum() const { return m_y_maximum; }
    bool fixed_limits() const { return m_fixed_limits; }

    VyrMessageRing<ScopeSample> &samples() { return m_samples; }
    // The latest sample time since the last reset; written by the notifying
    // thread, read by the GUI tick.
    double newest_time() const { return m_newest_time.load(std::memory_order_relaxed); }

private:
    VyrMessageRing<ScopeSample> m_samples;
    std::atomic<double> m_newest_time{0.0};
    QGraphMeasuredSignal *m_curve = nullptr;
    int m_draw_mode = 1;
    VyrSignalDisplayList *m_owner;
    QColor m_color;
    double m_y_minimum = 0.0;
    double m_y_maximum = 0.0;
    bool m_fixed_limits = false;
    bool m_active = true;
};
