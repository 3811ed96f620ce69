#include "windows/panel/vyr_script_activation.h"

#include "core/script_trigger.h"
#include "core/vyr_signal_if.h"
#include "script/vyr_script_runtime.h"

VyrScriptActivationEntry::VyrScriptActivationEntry(const QString &interface_id, const QString &action_name,
                                                   uint32_t argument)
    : m_interface_id(interface_id), m_action_name(action_name), m_argument(argument)
{
    resolve();
}

void VyrScriptActivationEntry::set_names(const QString &interface_id, const QString &action_name)
{
    m_interface_id = interface_id;
    m_action_name = action_name;
}

ScriptTrigger *VyrScriptActivationEntry::find_action(const QString &interface_id, const QString &action_name,
                                                     VyrSignalIf **signal_if)
{
    VyrSignalIf *found_if = find_signal_if_by_id(interface_id.toLatin1().constData());
    if (signal_if)
        *signal_if = found_if;
    VyrScriptRuntime *runtime = VyrScriptRuntime::of(found_if);
    return runtime ? runtime->find_script_action(action_name.toStdString()) : nullptr;
}

bool VyrScriptActivationEntry::resolve()
{
    m_resolved = find_action(m_interface_id, m_action_name) != nullptr;
    return m_resolved;
}

void VyrScriptActivationEntry::fire()
{
    VyrSignalIf *signal_if = nullptr;
    if (ScriptTrigger *action = find_action(m_interface_id, m_action_name, &signal_if))
        signal_if->post_output(action, m_argument);
}

VyrScriptActivationList::VyrScriptActivationList(const QString &name, const QString &title)
    : m_name(name), m_title(title)
{
}

VyrScriptActivationList::~VyrScriptActivationList() = default;

VyrScriptActivationEntry *VyrScriptActivationList::add_entry(std::unique_ptr<VyrScriptActivationEntry> entry)
{
    m_entries.push_back(std::move(entry));
    return m_entries.back().get();
}

void VyrScriptActivationList::clear_entries()
{
    m_entries.clear();
}

void VyrScriptActivationList::resolve()
{
    for (const auto &entry : m_entries)
        entry->resolve();
}

void VyrScriptActivationList::activated()
{
    for (const auto &entry : m_entries)
        entry->fire();
}

VyrScriptActivationGroup::VyrScriptActivationGroup() = default;
VyrScriptActivationGroup::~VyrScriptActivationGroup() = default;

VyrScriptActivationList *VyrScriptActivationGroup::add_list(std::unique_ptr<VyrScriptActivationList> list)
{
    m_lists.push_back(std::move(list));
    return m_lists.back().get();
}

VyrScriptActivationList *VyrScriptActivationGroup::find_list(const QString &name) const
{
    for (const auto &list : m_lists)
        if (list->name() == name)
            return list.get();
    return nullptr;
}

void VyrScriptActivationGroup::resolve()
{
    for (const auto &list : m_lists)
        list->resolve();
}
