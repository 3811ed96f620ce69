#include "windows/panel/panel_qwt_items.h"

#include "core/signal_record.h"
#include "core/vyr_signal_if.h"
#include "settings/debug_trace.h"
#include "settings/text_util.h"
#include "windows/panel/panel_signal_binding.h"

#include <QResizeEvent>

#include <qwt_dial_needle.h>
#include <qwt_round_scale_draw.h>
#include <qwt_slider.h>
#include <qwt_thermo.h>

#include <cmath>

namespace {

PanelSignalBinding *first_binding(const VyrPanelItem *item)
{
    return item->bindings().empty() ? nullptr : item->bindings().front().get();
}

// The bound signal's range (or the binding's own), -10 to 10 when empty;
// false without a bound signal.
bool scale_range(const VyrPanelItem *item, double &minimum, double &maximum)
{
    const PanelSignalBinding *binding = first_binding(item);
    if (!binding || !binding->signal())
        return false;
    minimum = binding->override_range ? binding->range_minimum : binding->signal()->min();
    maximum = binding->override_range ? binding->range_maximum : binding->signal()->max();
    if (maximum <= minimum) {
        minimum = -10.0;
        maximum = 10.0;
    }
    return true;
}

} // namespace

double panel_scale_step(double lower, double upper, double target_steps)
{
    double range;
    if (lower < 0.0 && upper > 0.0) {
        target_steps /= 2.0;
        range = std::max(upper, -lower);
    } else {
        range = upper >= 0.0 ? upper : -lower;
    }
    double best_distance = 100.0;
    double step = 1.0;
    if (range > 1.0) {
        for (double k = 1.0;; k *= 10.0) {
            for (double candidate : {k, 2.0 * k, 5.0 * k}) {
                const double distance = std::fabs(range / candidate - target_steps);
                if (distance < best_distance) {
                    best_distance = distance;
                    step = candidate;
                }
            }
            debug_trace("upper=%lf, steps_a=%lf, steps_b=%lf, step_size=%lf, tss=%lf, mindist=%lf", range, range / k,
                        range / (2.0 * k), step, k, best_distance);
            if (!(range / (2.0 * k) >= 1.0 && best_distance > 0.0))
                break;
        }
    }
    debug_trace("step_size=%lf", step);
    return step;
}

void VyrQwtDial::resizeEvent(QResizeEvent *event)
{
    const QSize size = event->size();
    const QSize old = event->oldSize();
    if (size.width() == old.width() && size.height() != old.height() && size.width() != size.height())
        resize(size.height(), size.height());
    else if (size.height() == old.height() && size.width() != old.width() && size.width() != size.height())
        resize(size.width(), size.width());
    QwtDial::resizeEvent(event);
}

void VyrQwtPanelSendingItem::reset_display()
{
    const PanelSignalBinding *binding = first_binding(this);
    if (!binding)
        return;
    const double start = binding->default_value_valid ? binding->default_value : 0.0;
    set_position(start);
    m_last_sent = clamp_to_int32(-start);
}

void VyrQwtPanelSendingItem::update_display(const TimeValue &)
{
    PanelSignalBinding *binding = first_binding(this);
    if (!binding || !binding->signal())
        return;
    SignalRecord *signal = binding->signal();
    const int32_t value = clamp_to_int32(position());
    SignalValue record;
    if (signal->value_type() == SignalValue::Int)
        record.set_int(value);
    else if (signal->value_type() == SignalValue::Double)
        record.set_double(value);
    else
        return;
    if (value == m_last_sent)
        return;
    m_last_sent = value;
    const TimeValue now = get_current_time();
    record.seconds = now.seconds;
    record.microseconds = now.microseconds;
    if (VyrSignalIf *owner = signal->owner())
        owner->post_write_request(signal, record);
}

VyrQwtPanelItemSlider::VyrQwtPanelItemSlider(QWidget *parent, uint32_t orientation)
    : m_horizontal(orientation == 0)
{
    auto *slider = new QwtSlider(m_horizontal ? Qt::Horizontal : Qt::Vertical, parent);
    // Below a horizontal slider, right of a vertical one.
    slider->setScalePosition(QwtSlider::LeadingScale);
    slider->resize(slider->sizeHint());
    set_widget(slider);
    add_property_value(PanelItemValue::Double, 1, "value", 128);
    connect(slider, &QwtSlider::valueChanged, this, &VyrQwtPanelItemSlider::value_changed);
    add_binding(std::make_unique<PanelSignalBinding>(this));
}

VyrPanelItem *VyrQwtPanelItemSlider::create(QWidget *parent, uint32_t variant)
{
    return new VyrQwtPanelItemSlider(parent, variant);
}

void VyrQwtPanelItemSlider::value_changed()
{
    load_property_values();
}

double VyrQwtPanelItemSlider::position() const
{
    return static_cast<QwtSlider *>(widget())->value();
}

void VyrQwtPanelItemSlider::set_position(double value)
{
    static_cast<QwtSlider *>(widget())->setValue(value);
}

void VyrQwtPanelItemSlider::refresh_display()
{
    double minimum, maximum;
    if (!scale_range(this, minimum, maximum))
        return;
    auto *slider = static_cast<QwtSlider *>(widget());
    slider->setScale(minimum, maximum);
    slider->setScaleStepSize(panel_scale_step(minimum, maximum, m_horizontal ? 5.0 : 10.0));
    slider->setPageSteps(1);
}

VyrQwtPanelItemDial::VyrQwtPanelItemDial(QWidget *parent)
{
    auto *dial = new VyrQwtDial(parent);
    dial->setScaleArc(45, 315);
    dial->scaleDraw()->setTickLength(QwtScaleDiv::MinorTick, 0);
    dial->scaleDraw()->setTickLength(QwtScaleDiv::MediumTick, 4);
    dial->scaleDraw()->setTickLength(QwtScaleDiv::MajorTick, 8);
    dial->scaleDraw()->setPenWidth(1);
    dial->setNeedle(new QwtDialSimpleNeedle(QwtDialSimpleNeedle::Arrow, true, Qt::red, Qt::darkRed));
    dial->resize(dial->sizeHint());
    set_widget(dial);
    add_binding(std::make_unique<PanelSignalBinding>(this));
}

VyrPanelItem *VyrQwtPanelItemDial::create(QWidget *parent, uint32_t)
{
    return new VyrQwtPanelItemDial(parent);
}

double VyrQwtPanelItemDial::position() const
{
    return static_cast<QwtDial *>(widget())->value();
}

void VyrQwtPanelItemDial::set_position(double value)
{
    static_cast<QwtDial *>(widget())->setValue(value);
}

void VyrQwtPanelItemDial::refresh_display()
{
    double minimum, maximum;
    if (!scale_range(this, minimum, maximum))
        return;
    auto *dial = static_cast<QwtDial *>(widget());
    dial->setScale(clamp_to_int32(minimum), clamp_to_int32(maximum));
    dial->setScaleStepSize(panel_scale_step(minimum, maximum, 10.0));
}

VyrQwtPanelItemThermo::VyrQwtPanelItemThermo(QWidget *parent)
{
    auto *thermo = new QwtThermo(parent);
    thermo->resize(thermo->sizeHint());
    set_widget(thermo);
    add_binding(std::make_unique<PanelSignalBinding>(this));
}

VyrPanelItem *VyrQwtPanelItemThermo::create(QWidget *parent, uint32_t)
{
    return new VyrQwtPanelItemThermo(parent);
}

void VyrQwtPanelItemThermo::update_display(const TimeValue &)
{
    PanelSignalBinding *binding = first_binding(this);
    if (!binding || !binding->values().changed)
        return;
    const PanelSignalBinding::Values values = binding->take_values();
    if (values.has_value && binding->signal()) {
        static_cast<QwtThermo *>(widget())->setValue(values.current.type == SignalValue::Int
                                                         ? double(values.current.int_value)
                                                         : values.current.double_value);
    }
}

void VyrQwtPanelItemThermo::refresh_display()
{
    double minimum, maximum;
    if (!scale_range(this, minimum, maximum))
        return;
    auto *thermo = static_cast<QwtThermo *>(widget());
    thermo->setScale(minimum, maximum);
    thermo->setScaleStepSize(panel_scale_step(minimum, maximum, 10.0));
}
