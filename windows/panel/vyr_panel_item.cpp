#include "windows/panel/vyr_panel_item.h"

#include "core/vyr_id_hash.h"
#include "settings/text_util.h"
#include "windows/panel/panel_signal_binding.h"
#include "windows/panel/panel_widget_properties.h"
#include "windows/panel/vyr_script_activation.h"

#include <QByteArray>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>

namespace {

std::atomic<uint32_t> g_next_item_id{1};

// The item directory: the script interface looks items up from interface
// threads while the panel registers them on the GUI thread.
struct ItemDirectory
{
    static constexpr uint32_t bucket_count = 1023;
    std::mutex mutex;
    VyrIdHash by_id{bucket_count};
    VyrIdHash by_name{bucket_count};
};

ItemDirectory &directory()
{
    static ItemDirectory tables;
    return tables;
}

// NaN on either side counts as a change.
bool differs(double a, double b)
{
    return !(a == b);
}

} // namespace

bool PanelItemValue::store_text(const char *text)
{
    if (capacity == 0)
        return false;
    const uint32_t copied = uint32_t(std::min<size_t>(std::strlen(text), capacity - 1));
    if (length == copied + 1 && std::memcmp(buffer.data(), text, copied) == 0)
        return false;
    std::memcpy(buffer.data(), text, copied);
    buffer[copied] = '\0';
    length = copied + 1;
    return true;
}

VyrPanelItem::VyrPanelItem() : m_id(g_next_item_id.fetch_add(1)) {}

VyrPanelItem::~VyrPanelItem()
{
    unregister_item();
    delete m_widget.data();
    m_activation_group.reset();
    m_bindings.clear();
    m_values.clear();
}

void VyrPanelItem::set_widget(QWidget *widget)
{
    m_widget = widget;
}

void VyrPanelItem::set_activation_group(std::unique_ptr<VyrScriptActivationGroup> group)
{
    m_activation_group = std::move(group);
}

PanelSignalBinding *VyrPanelItem::add_binding(std::unique_ptr<PanelSignalBinding> binding)
{
    m_bindings.push_back(std::move(binding));
    return m_bindings.back().get();
}

void VyrPanelItem::clear_bindings()
{
    m_bindings.clear();
}

void VyrPanelItem::add_property_value(int32_t kind, int32_t key, const char *property_name, uint32_t capacity)
{
    std::lock_guard<std::mutex> lock(m_values_mutex);
    m_values.push_back(std::make_unique<PanelItemValue>(kind, key, property_name, capacity));
}

PanelItemValue *VyrPanelItem::find_value(int32_t key) const
{
    // The entry added last wins.
    for (auto it = m_values.rbegin(); it != m_values.rend(); ++it)
        if ((*it)->key == key)
            return it->get();
    return nullptr;
}

int32_t VyrPanelItem::get_property_value_int(int32_t key)
{
    std::lock_guard<std::mutex> lock(m_values_mutex);
    const PanelItemValue *value = find_value(key);
    return value ? value->int_value : 0;
}

double VyrPanelItem::get_property_value_double(int32_t key)
{
    std::lock_guard<std::mutex> lock(m_values_mutex);
    const PanelItemValue *value = find_value(key);
    return value ? value->double_value : 0.0;
}

uint32_t VyrPanelItem::get_property_value_string(int32_t key, char *buffer, uint32_t size)
{
    if (size == 0)
        return 0;
    buffer[0] = '\0';
    std::lock_guard<std::mutex> lock(m_values_mutex);
    const PanelItemValue *value = find_value(key);
    if (!value || value->capacity == 0)
        return 0;
    const uint32_t length = uint32_t(strnlen(value->buffer.data(), std::min(value->capacity, size - 1)));
    std::memcpy(buffer, value->buffer.data(), length);
    std::memset(buffer + length, 0, size - length);
    return length;
}

uint32_t VyrPanelItem::get_property_value_data(int32_t key, void *buffer, uint32_t size)
{
    std::lock_guard<std::mutex> lock(m_values_mutex);
    const PanelItemValue *value = find_value(key);
    if (!value || value->capacity == 0)
        return 0;
    const uint32_t count = std::min(value->length, size);
    std::memcpy(buffer, value->buffer.data(), count);
    return count;
}

void VyrPanelItem::set_property_value_int(int32_t key, int32_t number)
{
    std::lock_guard<std::mutex> lock(m_values_mutex);
    PanelItemValue *value = find_value(key);
    if (!value)
        return;
    switch (value->kind) {
    case PanelItemValue::Integer:
        if (number != value->int_value) {
            value->int_value = number;
            value->changed = true;
        }
        break;
    case PanelItemValue::Double:
        if (differs(double(number), value->double_value)) {
            value->double_value = double(number);
            value->changed = true;
        }
        break;
    case PanelItemValue::String:
        if (value->store_text(std::to_string(number).c_str()))
            value->changed = true;
        break;
    }
}

void VyrPanelItem::set_property_value_double(int32_t key, double number)
{
    std::lock_guard<std::mutex> lock(m_values_mutex);
    PanelItemValue *value = find_value(key);
    if (!value)
        return;
    switch (value->kind) {
    case PanelItemValue::Integer:
        // 2.75 differs from a stored 2: stored as 2 again, and marked.
        if (differs(number, double(value->int_value))) {
            value->int_value = clamp_to_int32(number);
            value->changed = true;
        }
        break;
    case PanelItemValue::Double:
        if (differs(number, value->double_value)) {
            value->double_value = number;
            value->changed = true;
        }
        break;
    case PanelItemValue::String:
        if (value->store_text(c_locale_format_lf(number).c_str()))
            value->changed = true;
        break;
    }
}

void VyrPanelItem::set_property_value_string(int32_t key, const char *text)
{
    std::lock_guard<std::mutex> lock(m_values_mutex);
    PanelItemValue *value = find_value(key);
    if (!value)
        return;
    switch (value->kind) {
    case PanelItemValue::Integer: {
        const int32_t number = parse_int_text(text);
        if (number != value->int_value) {
            value->int_value = number;
            value->changed = true;
        }
        break;
    }
    case PanelItemValue::Double: {
        const double number = c_locale_atof(text);
        if (differs(number, value->double_value)) {
            value->double_value = number;
            value->changed = true;
        }
        break;
    }
    case PanelItemValue::String:
        if (value->store_text(text))
            value->changed = true;
        break;
    }
}

void VyrPanelItem::set_property_value_data(int32_t key, const void *data, uint32_t size)
{
    std::lock_guard<std::mutex> lock(m_values_mutex);
    PanelItemValue *value = find_value(key);
    if (!value || value->kind != PanelItemValue::Data)
        return;
    const uint32_t count = std::min(size, value->capacity);
    if (count)
        std::memcpy(value->buffer.data(), data, count);
    value->length = count;
    value->changed = true;
}

void VyrPanelItem::sync_signals()
{
    struct Change {
        const char *property_name;
        QVariant value;
    };
    std::vector<Change> changes;
    {
        // Copied under the lock, written to the widget after it: setting a
        // property may run widget code that must not hold up the scripts.
        std::lock_guard<std::mutex> lock(m_values_mutex);
        for (const auto &value : m_values) {
            if (!value->changed)
                continue;
            value->changed = false;
            switch (value->kind) {
            case PanelItemValue::Integer:
                changes.push_back({value->property_name, value->int_value});
                break;
            case PanelItemValue::Double:
                changes.push_back({value->property_name, value->double_value});
                break;
            case PanelItemValue::String:
                changes.push_back({value->property_name, QString::fromUtf8(value->text())});
                break;
            case PanelItemValue::Data:
                changes.push_back({value->property_name, QByteArray(value->buffer.data(), int(value->length))});
                break;
            }
        }
    }
    QWidget *target = widget();
    if (!target)
        return;
    for (const Change &change : changes)
        panel_properties::write(target, change.property_name, change.value);
}

void VyrPanelItem::load_property_values()
{
    QWidget *source = widget();
    if (!source)
        return;
    std::vector<std::pair<PanelItemValue *, QVariant>> read;
    {
        std::lock_guard<std::mutex> lock(m_values_mutex);
        for (const auto &value : m_values)
            read.emplace_back(value.get(), QVariant());
    }
    // Widget properties are read without the lock; entries are only added on
    // the GUI thread, so the pointers stay valid meanwhile.
    for (auto &entry : read)
        entry.second = panel_properties::read(source, entry.first->property_name);
    std::lock_guard<std::mutex> lock(m_values_mutex);
    for (const auto &[value, property] : read) {
        switch (value->kind) {
        case PanelItemValue::Integer: {
            const int32_t number = property.toInt();
            value->int_value = number;
            value->double_value = number;
            value->store_text(std::to_string(number).c_str());
            break;
        }
        case PanelItemValue::Double: {
            const double number = property.toDouble();
            value->int_value = clamp_to_int32(number);
            value->double_value = number;
            value->store_text(c_locale_format_lf(number).c_str());
            break;
        }
        case PanelItemValue::String: {
            const QByteArray text = property.toString().toUtf8();
            value->int_value = parse_int_text(text.constData());
            value->double_value = c_locale_atof(text.constData());
            value->store_text(text.constData());
            break;
        }
        }
    }
}

void VyrPanelItem::register_item()
{
    ItemDirectory &tables = directory();
    std::lock_guard<std::mutex> lock(tables.mutex);
    if (m_registered)
        return;
    m_registered = true;
    if (!tables.by_id.find(int32_t(m_id)))
        tables.by_id.insert(int32_t(m_id), this);
    m_registered_name = m_widget ? m_widget->objectName().toUtf8() : QByteArray();
    if (!m_registered_name.isEmpty() && !tables.by_name.find(m_registered_name.constData()))
        tables.by_name.insert(m_registered_name.constData(), this);
}

void VyrPanelItem::unregister_item()
{
    ItemDirectory &tables = directory();
    std::lock_guard<std::mutex> lock(tables.mutex);
    if (!m_registered)
        return;
    m_registered = false;
    tables.by_id.remove(int32_t(m_id), this);
    if (!m_registered_name.isEmpty())
        tables.by_name.remove(m_registered_name.constData(), this);
}

VyrPanelItem *VyrPanelItem::find_item_by_id(uint32_t id)
{
    std::lock_guard<std::mutex> lock(directory_mutex());
    return registered_item(id);
}

std::mutex &VyrPanelItem::directory_mutex()
{
    return directory().mutex;
}

VyrPanelItem *VyrPanelItem::registered_item(uint32_t id)
{
    return static_cast<VyrPanelItem *>(directory().by_id.find(int32_t(id)));
}

int32_t VyrPanelItem::find_id_by_name(const char *name)
{
    ItemDirectory &tables = directory();
    std::lock_guard<std::mutex> lock(tables.mutex);
    const auto *item = static_cast<const VyrPanelItem *>(tables.by_name.find(name));
    return item ? int32_t(item->m_id) : -1;
}
