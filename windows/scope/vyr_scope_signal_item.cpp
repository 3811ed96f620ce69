#include "windows/scope/vyr_scope_signal_item.h"

#include "windows/scope/qgraph_measured_signal.h"

VyrScopeSignalItem::VyrScopeSignalItem(SignalRecord *signal, VyrSignalDisplayList *owner)
    : SignalDisplayEntry(signal), m_samples(initial_capacity, block_size, maximum_capacity, reserve), m_owner(owner)
{
    if (!signal)
        return;
    switch (signal->characteristic()) {
    case SignalRecord::Digital:
        m_draw_mode = QGraphSignal::Digital;
        break;
    case SignalRecord::Sample:
        m_draw_mode = QGraphSignal::Bars;
        break;
    default:
        m_draw_mode = QGraphSignal::ConnectSamples;
    }
}

VyrScopeSignalItem::~VyrScopeSignalItem()
{
    // The notifying thread may be in value_changed: the item leaves the
    // signal (waiting for that call) before its ring goes.
    detach();
    if (m_curve)
        m_curve->set_item(nullptr);
}

void VyrScopeSignalItem::value_changed(const SignalValue &value)
{
    const double time = double(value.seconds) + double(value.microseconds) * 0.000001;
    const double sample_value = value.type == SignalValue::Double ? value.double_value : double(value.int_value);
    m_samples.put(ScopeSample{time, sample_value});
    if (time > m_newest_time.load(std::memory_order_relaxed))
        m_newest_time.store(time, std::memory_order_relaxed);
}

void VyrScopeSignalItem::reset()
{
    m_samples.discard_all();
    m_newest_time.store(0.0, std::memory_order_relaxed);
    if (m_curve)
        m_curve->clear();
}

void VyrScopeSignalItem::attach_curve(QGraphMeasuredSignal *curve)
{
    m_curve = curve;
    if (SignalRecord *record = signal())
        curve->set_y_limits(record->max(), record->min());
}

void VyrScopeSignalItem::detach_from_scope()
{
    m_curve = nullptr;
    m_owner->remove_entry(this);
}

void VyrScopeSignalItem::set_draw_mode(int mode)
{
    if (m_curve)
        m_curve->set_draw_mode(mode);
    m_draw_mode = mode;
}

void VyrScopeSignalItem::set_active(bool active)
{
    if (m_curve)
        m_curve->set_active(active);
    m_active = active;
}

void VyrScopeSignalItem::sync_from_curve()
{
    if (!m_curve)
        return;
    m_draw_mode = m_curve->draw_mode();
    m_color = m_curve->color();
    m_y_minimum = m_curve->y_minimum();
    m_y_maximum = m_curve->y_maximum();
    m_fixed_limits = m_curve->fixed_limits();
    m_active = m_curve->is_active();
}
