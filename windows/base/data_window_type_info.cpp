#include "windows/base/data_window_type_info.h"

#include "core/intrusive_list.h"
#include "windows/base/vyr_data_window.h"

#include <QObject>
#include <QPointer>

namespace {

// Constant-initialised, so records built before main() link themselves in
// whatever order their files start.
DataWindowTypeInfo *registry_head = nullptr;
DataWindowTypeInfo *registry_tail = nullptr;

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
    : m_class_key(class_key ? class_key : ""),
      m_menu_name(copy(menu_name)),
      m_title(copy(title)),
      m_description(copy(description)),
      m_icon(icon),
      m_factory(factory),
      m_flags(flags),
      m_type_number(type_number)
{
    intrusive_append(registry_head, registry_tail, this, &DataWindowTypeInfo::m_next);
}

DataWindowTypeInfo::~DataWindowTypeInfo()
{
    intrusive_unlink(registry_head, registry_tail, this, &DataWindowTypeInfo::m_next);
}

DataWindowTypeInfo *DataWindowTypeInfo::first()
{
    return registry_head;
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
    DataWindowTypeInfo *type = registry_head;
    while (type && !(type->m_enabled && type->m_class_key == class_key))
        type = type->m_next;
    if (!type)
        return nullptr;
    if ((type->m_flags & SingleInstance) && find_window(class_key, 1))
        return nullptr;
    if (!type->m_factory)
        return nullptr;
    return type->m_factory(parent, group);
}
