#include "windows/base/data_window_type_info.h"

#include "windows/base/vyr_data_window.h"

#include <QObject>
#include <QPointer>

DataWindowTypeInfo::Registry DataWindowTypeInfo::s_registry;

namespace {

QPointer<QObject> &receiver_slot()
{
    static QPointer<QObject> receiver;
    return receiver;
}

} // namespace

DataWindowTypeInfo::OptionalText DataWindowTypeInfo::copy(const char *text)
{
    OptionalText t;
    t.present = text != nullptr;
    if (text)
        t.text = text;
    return t;
}

DataWindowTypeInfo::DataWindowTypeInfo(const char *class_key, const char *menu_name, const char *title,
                                       const char *description, int type_number, const char *const *icon,
                                       unsigned flags, Factory factory)
    : m_class_key(class_key ? class_key : ""), m_menu_name(copy(menu_name)), m_title(copy(title)),
      m_description(copy(description)), m_icon(icon), m_factory(factory), m_flags(flags), m_type_number(type_number)
{
    s_registry.push_back(this);
}

DataWindowTypeInfo::~DataWindowTypeInfo()
{
    s_registry.remove(this);
}

DataWindowTypeInfo *DataWindowTypeInfo::first()
{
    return s_registry.first();
}

QObject *DataWindowTypeInfo::message_receiver()
{
    return receiver_slot().data();
}

VyrDataWindow *DataWindowTypeInfo::create_window(const char *class_key, QWidget *parent, QtbConfigGroup *group,
                                                 QObject *message_receiver)
{
    receiver_slot() = message_receiver;
    if (!class_key)
        return nullptr;
    DataWindowTypeInfo *type = s_registry.first();
    while (type && !(type->m_enabled && type->m_class_key == class_key))
        type = type->next();
    if (!type)
        return nullptr;
    if ((type->m_flags & SingleInstance) && find_window(class_key, 1))
        return nullptr;
    if (!type->m_factory)
        return nullptr;
    return type->m_factory(parent, group);
}
