#include "widgets/propertytable/vyr_property.h"

#include "settings/qtb_config.h"

std::unique_ptr<VyrProperty> VyrProperty::VyrProperty_int(const QString &name, int32_t value)
{
    std::unique_ptr<VyrProperty> property(new VyrProperty(name));
    property->m_type = Int;
    property->m_int_value = value;
    return property;
}

std::unique_ptr<VyrProperty> VyrProperty::VyrProperty_bool(const QString &name, bool value)
{
    std::unique_ptr<VyrProperty> property(new VyrProperty(name));
    property->m_type = Bool;
    property->m_bool_value = value;
    return property;
}

std::unique_ptr<VyrProperty> VyrProperty::VyrProperty_double(const QString &name, double value)
{
    std::unique_ptr<VyrProperty> property(new VyrProperty(name));
    property->m_type = Double;
    property->m_double_value = value;
    return property;
}

std::unique_ptr<VyrProperty> VyrProperty::VyrProperty_string(const QString &name, const QString &value)
{
    std::unique_ptr<VyrProperty> property(new VyrProperty(name));
    property->set_string_value(value);
    return property;
}

void VyrProperty::set_string_value(const QString &value)
{
    m_type = String;
    m_string_value = value;
}

void VyrPropertyList::destroy(VyrPropertyList *&list)
{
    delete list;
    list = nullptr;
}

void VyrPropertyList::append(std::unique_ptr<VyrProperty> property)
{
    if (property)
        m_properties.push_back(std::move(property));
}

VyrProperty *VyrPropertyList::find(const QString &name) const
{
    for (const auto &property : m_properties)
        if (property->name() == name)
            return property.get();
    return nullptr;
}

void VyrPropertyList::write_configuration(QtbConfigGroup *group) const
{
    if (!group)
        return;
    for (const auto &property : m_properties) {
        const QByteArray key = property->name().toUtf8();
        switch (property->type()) {
        case VyrProperty::Int:
            group->write_int(key.constData(), property->int_value());
            break;
        case VyrProperty::Bool:
            group->write_bool(key.constData(), property->bool_value());
            break;
        case VyrProperty::Double:
            group->write_double(key.constData(), property->double_value());
            break;
        case VyrProperty::String:
            group->write_string_utf8(key.constData(), property->string_value());
            break;
        case VyrProperty::NoType:
            break;
        }
    }
}

void VyrPropertyList::read_configuration(QtbConfigGroup *group)
{
    if (!group)
        return;
    for (const auto &property : m_properties) {
        const QByteArray key = property->name().toUtf8();
        switch (property->type()) {
        case VyrProperty::Int:
            property->set_int_value(group->read_int(key.constData(), property->int_value()));
            break;
        case VyrProperty::Bool:
            property->set_bool_value(group->read_bool(key.constData(), property->bool_value()));
            break;
        case VyrProperty::Double:
            property->set_double_value(group->read_double(key.constData(), property->double_value()));
            break;
        case VyrProperty::String:
            property->set_string_value(group->read_string_utf8(key.constData(), property->string_value()));
            break;
        case VyrProperty::NoType:
            break;
        }
    }
}
