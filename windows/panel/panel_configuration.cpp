// The panel's section of the workspace configuration: the panel file's name,
// or (for a panel without file) its items in a "controls" group that mirrors
// the panel file.
#include "settings/qtb_config.h"
#include "windows/panel/panel_file.h"
#include "windows/panel/panel_item_type_info.h"
#include "windows/panel/panel_signal_binding.h"
#include "windows/panel/panel_widget_properties.h"
#include "windows/panel/vyr_panel.h"
#include "windows/panel/vyr_panel_item.h"
#include "windows/panel/vyr_script_activation.h"

#include <QColor>
#include <QFont>
#include <QRect>
#include <QToolButton>
#include <QWidget>

namespace {

void write_property(QtbConfigGroup *group, const QString &name, const QVariant &value)
{
    group->write_string("name", name);
    const PanelValueType type = panel_value_type(value);
    if (type == PanelValueType::None)
        return;
    group->write_cstring("type", panel_value_type_name(type));
    switch (type) {
    case PanelValueType::Rect: {
        const QRect rect = value.toRect();
        group->write_int("x", rect.x());
        group->write_int("y", rect.y());
        group->write_int("width", rect.width());
        group->write_int("height", rect.height());
        break;
    }
    case PanelValueType::String:
        group->write_string("value", value.toString());
        group->write_string_utf8("value_utf8", value.toString());
        break;
    case PanelValueType::Color:
        group->write_string("value", value.value<QColor>().name());
        break;
    case PanelValueType::Font:
        group->write_string("value", value.value<QFont>().toString());
        break;
    case PanelValueType::StringList: {
        QtbConfigGroup *list = group->add_group("list");
        for (const QString &entry : value.toStringList())
            list->add_group("")->write_string("se", entry);
        break;
    }
    case PanelValueType::Int:
        group->write_string("value", QString::number(value.toInt()));
        break;
    case PanelValueType::UInt:
        group->write_string("value", QString::number(value.toUInt()));
        break;
    case PanelValueType::Bool:
        group->write_string("value", value.toBool() ? QStringLiteral("true") : QStringLiteral("false"));
        break;
    case PanelValueType::CString:
        group->write_cstring("value", value.toByteArray().constData());
        break;
    case PanelValueType::Double:
        group->write_double("value", value.toDouble());
        break;
    case PanelValueType::None:
        break;
    }
}

void write_binding(QtbConfigGroup *group, const PanelSignalBinding &binding, int index)
{
    group->write_string("sif", binding.interface_id());
    group->write_string("sname", binding.signal_name());
    group->write_int("index", index);
    group->write_bool("override_range", binding.override_range);
    group->write_double("override_range_min", binding.range_minimum);
    group->write_double("override_range_max", binding.range_maximum);
    group->write_bool("default_value_valid", binding.default_value_valid);
    group->write_double("default_value", binding.default_value);
    group->write_double("active_value", binding.active_value);
    group->write_double("inactive_value", binding.inactive_value);
}

void write_item(QtbConfigGroup *group, const VyrPanelItem &item)
{
    QWidget *widget = item.widget();
    const PanelItemTypeInfo *type = item.type_info();
    group->write_cstring("class", widget ? widget->metaObject()->className() : "");
    group->write_string("vyr-class", type ? type->name() : QString());
    QtbConfigGroup *properties = group->add_group("properties");
    if (widget && type) {
        for (const QString &name : type->property_names()) {
            const QByteArray key = name.toLatin1();
            const QVariant value = panel_properties::read(widget, key.constData());
            if (panel_property_is_stored(widget, name, value))
                write_property(properties->add_group(""), name, value);
        }
    }
    if (const VyrScriptActivationGroup *activation = item.activation_group()) {
        QtbConfigGroup *actions = group->add_group("actions");
        for (const auto &list : activation->lists()) {
            QtbConfigGroup *list_group = actions->add_group(list->name().toUtf8().constData());
            for (const auto &entry : list->entries()) {
                QtbConfigGroup *entry_group = list_group->add_group("");
                entry_group->write_string("sif", entry->interface_id());
                entry_group->write_string("aname", entry->action_name());
            }
        }
    }
    const auto &bindings = item.bindings();
    QtbConfigGroup *signal = group->add_group("signal");
    if (!bindings.empty())
        write_binding(signal, *bindings.front(), 0);
    if (bindings.size() > 1) {
        QtbConfigGroup *more = group->add_group("more_signals");
        for (size_t index = 1; index < bindings.size(); ++index)
            write_binding(more->add_group("signal"), *bindings[index], int(index));
    }
}

QVariant read_property_value(QtbConfigGroup *group, const QString &type, QWidget *widget)
{
    if (type == QLatin1String("rect")) {
        const QRect rect = clamped_screen_rect(group->read_int("x", 0), group->read_int("y", 0),
                                               group->read_int("width", 0), group->read_int("height", 0));
        widget->resize(rect.size());
        widget->move(rect.topLeft());
        return QVariant();
    }
    if (type == QLatin1String("string"))
        return group->read_string_utf8("value_utf8", group->read_string("value", QString()));
    // The bytes as written (a widget name's UTF-8), not re-encoded.
    if (type == QLatin1String("cstring") || type == QLatin1String("QCString"))
        return group->read_string("value", QString()).toLatin1();
    if (type == QLatin1String("QColor") || type == QLatin1String("QFont")) {
        const QString text = group->read_string("value", QString());
        if (text.isEmpty())
            return QVariant();
        if (type == QLatin1String("QColor"))
            return QColor(text);
        QFont font;
        font.fromString(text);
        return font;
    }
    if (type == QLatin1String("bool"))
        return group->read_bool("value", false);
    if (type == QLatin1String("int"))
        return group->read_int("value", 0);
    if (type == QLatin1String("double"))
        return group->read_double("value", 0.0);
    if (type == QLatin1String("QStringList")) {
        QStringList entries;
        if (QtbConfigGroup *list = group->get_group("list"))
            for (QtbConfigGroup *entry = list->first_group(); entry; entry = list->next_group())
                entries << entry->read_string("se", QString());
        return entries;
    }
    return QVariant();
}

void read_binding(QtbConfigGroup *group, VyrPanelItem &item)
{
    const int index = group->read_int("index", 0);
    if (index < 0 || size_t(index) >= item.bindings().size())
        return;
    PanelSignalBinding &binding = *item.bindings()[size_t(index)];
    binding.set_names(group->read_string("sif", QString()), group->read_string("sname", QString()));
    binding.override_range = group->read_bool("override_range", binding.override_range);
    binding.range_minimum = group->read_double("override_range_min", binding.range_minimum);
    binding.range_maximum = group->read_double("override_range_max", binding.range_maximum);
    binding.default_value_valid = group->read_bool("default_value_valid", binding.default_value_valid);
    binding.default_value = group->read_double("default_value", binding.default_value);
    binding.active_value = group->read_double("active_value", binding.active_value);
    binding.inactive_value = group->read_double("inactive_value", binding.inactive_value);
    if (!binding.resolve())
        item.refresh_display();
}

void read_item(QtbConfigGroup *group, VyrPanelItem &item)
{
    if (QWidget *widget = item.widget()) {
        if (QtbConfigGroup *properties = group->get_group("properties")) {
            for (QtbConfigGroup *property = properties->first_group(); property; property = properties->next_group()) {
                const QByteArray name = property->read_string("name", QString()).toLatin1();
                const QString type = property->read_string("type", QString());
                const QVariant value = read_property_value(property, type, widget);
                if (type == QLatin1String("rect"))
                    continue;
                if (value.isValid()) {
                    panel_properties::write(widget, name.constData(), value);
                } else {
                    // An empty value sets the property to its type's empty value.
                    const QVariant current = panel_properties::read(widget, name.constData());
                    if (current.isValid())
                        panel_properties::write(widget, name.constData(), QVariant(current.userType(), nullptr));
                }
            }
        }
    }
    if (VyrScriptActivationGroup *activation = item.activation_group()) {
        if (QtbConfigGroup *actions = group->get_group("actions")) {
            for (const auto &list : activation->lists()) {
                QtbConfigGroup *list_group = actions->get_group(list->name().toUtf8().constData());
                if (!list_group)
                    continue;
                for (QtbConfigGroup *entry = list_group->first_group(); entry; entry = list_group->next_group())
                    list->add_entry(std::make_unique<VyrScriptActivationEntry>(
                        entry->read_string("sif", QString()), entry->read_string("aname", QString()), item.id()));
            }
        }
    }
    if (QtbConfigGroup *signal = group->get_group("signal"))
        read_binding(signal, item);
    if (QtbConfigGroup *more = group->get_group("more_signals"))
        for (QtbConfigGroup *signal = more->first_group(); signal; signal = more->next_group())
            read_binding(signal, item);
}

} // namespace

void VyrPanel::write_configuration(QtbConfig *config)
{
    QtbConfigGroup *group = write_base_configuration(config);
    // An imported description is not written back: once edited, the panel
    // keeps its items here.
    const bool by_name = has_panel_file() || (!m_file_name.isEmpty() && !m_modified);
    if (by_name) {
        group->write_string("panelfile", m_file_name);
        group->write_string_utf8("panelfile_utf8", m_file_name);
        return;
    }
    QtbConfigGroup *controls = group->add_group("controls");
    for (const auto &item : m_items)
        write_item(controls->add_group(""), *item);
}

void VyrPanel::read_configuration(QtbConfigGroup *group)
{
    read_base_configuration(group);
    const QString file_name = group->read_string_utf8("panelfile_utf8", group->read_string("panelfile", QString()));
    if (!file_name.isEmpty()) {
        read_panel_from_file(file_name);
    } else if (QtbConfigGroup *controls = group->get_group("controls")) {
        std::vector<std::unique_ptr<VyrPanelItem>> items;
        for (QtbConfigGroup *item_group = controls->first_group(); item_group; item_group = controls->next_group()) {
            std::unique_ptr<VyrPanelItem> item = make_item(item_group->read_string("vyr-class", QString()));
            if (!item)
                continue;
            read_item(item_group, *item);
            items.push_back(std::move(item));
        }
        adopt_items(std::move(items));
    }
    if (m_items.empty())
        m_lock_button->setChecked(true);
    state_changed();
}
