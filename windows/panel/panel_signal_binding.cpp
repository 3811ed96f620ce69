#include "windows/panel/panel_signal_binding.h"

#include "core/candb_signal.h"
#include "core/db_signal_record.h"
#include "core/vyr_signal_if.h"
#include "core/vyr_signal_list.h"
#include "windows/panel/panel_widget_properties.h"
#include "windows/panel/vyr_panel_item.h"

#include <cstring>

namespace {

bool same_value(const SignalValue &a, const SignalValue &b)
{
    if (a.type != b.type)
        return false;
    return a.type == SignalValue::Int ? a.int_value == b.int_value : a.double_value == b.double_value;
}

// The name without its dotted prefix: cut after the last '.' when that lies
// after the first character.
QString short_signal_name(const char *name)
{
    const char *dot = std::strrchr(name, '.');
    return QString::fromUtf8(dot && dot > name ? dot + 1 : name);
}

QString unit_of(const SignalRecord *signal)
{
    const auto *db_record = dynamic_cast<const DbSignalRecord *>(signal);
    const CANdbSignal *db_signal = db_record ? db_record->db_signal() : nullptr;
    return db_signal ? QString::fromStdString(db_signal->unit) : QString();
}

} // namespace

PanelSignalBinding::PanelSignalBinding(VyrPanelItem *item) : m_item(item) {}

PanelSignalBinding::~PanelSignalBinding()
{
    detach();
    if (m_signal)
        m_signal->release_use();
}

void PanelSignalBinding::value_changed(const SignalValue &value)
{
    TimeValue now;
    get_timer_time(now);
    std::lock_guard<std::mutex> lock(m_values_mutex);
    m_values.previous = m_values.current;
    m_values.current = value;
    if (!(m_values.has_value && same_value(m_values.previous, value)))
        m_values.changed = true;
    m_values.has_value = true;
    m_values.time = now;
}

void PanelSignalBinding::reset()
{
    std::lock_guard<std::mutex> lock(m_values_mutex);
    m_values.changed = true;
    m_values.has_value = false;
    m_values.time = TimeValue();
}

PanelSignalBinding::Values PanelSignalBinding::values() const
{
    std::lock_guard<std::mutex> lock(m_values_mutex);
    return m_values;
}

PanelSignalBinding::Values PanelSignalBinding::take_values()
{
    std::lock_guard<std::mutex> lock(m_values_mutex);
    Values taken = m_values;
    m_values.changed = false;
    return taken;
}

void PanelSignalBinding::set_names(const QString &interface_id, const QString &signal_name)
{
    m_interface_id = interface_id;
    m_signal_name = signal_name;
}

bool PanelSignalBinding::resolve()
{
    SignalRecord *found = nullptr;
    if (VyrSignalIf *signal_if = find_signal_if_by_id(m_interface_id.toLatin1().constData()))
        if (VyrSignalList *list = signal_if->signal_list())
            found = list->find(m_signal_name.toUtf8().constData());
    if (found)
        found->add_use();
    if (m_signal)
        m_signal->release_use();
    SignalRecord *previous = m_signal;
    m_signal = found;
    if (!found || found == previous)
        return found != previous;

    m_item->refresh_display();
    if (QWidget *widget = m_item->widget()) {
        if (panel_properties::has(widget, "signalName"))
            panel_properties::write(widget, "signalName", short_signal_name(found->name() ? found->name() : ""));
        if (panel_properties::has(widget, "unit"))
            panel_properties::write(widget, "unit", unit_of(found));
    }
    return true;
}
