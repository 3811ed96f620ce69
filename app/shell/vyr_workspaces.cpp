#include "app/shell/vyr_workspaces.h"

#include "settings/qtb_config.h"

#include <algorithm>
#include <memory>

namespace {

QString default_name()
{
    return VyrWorkspaces::tr("Default Workspace");
}

std::unique_ptr<QtbConfigGroup> copy_group(const QtbConfigGroup &group);

QtbConfigValue copy_value(const QtbConfigValue &value)
{
    switch (value.type()) {
    case QtbConfigValue::String:
        return QtbConfigValue(value.string_value());
    case QtbConfigValue::Int:
        return QtbConfigValue(value.int_value());
    case QtbConfigValue::Bool:
        return QtbConfigValue(value.bool_value());
    case QtbConfigValue::Double:
        return QtbConfigValue(value.double_value());
    case QtbConfigValue::Group:
        return QtbConfigValue(copy_group(*value.group()));
    default:
        return QtbConfigValue();
    }
}

std::unique_ptr<QtbConfigGroup> copy_group(const QtbConfigGroup &group)
{
    auto copy = std::make_unique<QtbConfigGroup>();
    for (const QtbConfigEntry &entry : group.entries())
        copy->append_entry(copy_value(entry.value), entry.name.c_str());
    return copy;
}

} // namespace

VyrWorkspaces::VyrWorkspaces() : m_workspaces{{0, default_name()}} {}

VyrWorkspaces::~VyrWorkspaces() = default;

int VyrWorkspaces::index_of(int workspace_id) const
{
    for (int i = 0; i < count(); ++i)
        if (at(i).id == workspace_id)
            return i;
    return -1;
}

int VyrWorkspaces::index_of_name(const QString &name) const
{
    for (int i = 0; i < count(); ++i)
        if (at(i).name == name)
            return i;
    return -1;
}

int VyrWorkspaces::next_id() const
{
    int highest = -1;
    for (const Workspace &workspace : m_workspaces)
        highest = std::max(highest, workspace.id);
    return highest + 1;
}

QString VyrWorkspaces::unused_name() const
{
    for (int n = 1;; ++n) {
        const QString name = tr("New Workspace") + QLatin1Char(' ') + QString::number(n);
        if (index_of_name(name) < 0)
            return name;
    }
}

void VyrWorkspaces::add(const QString &name, int id)
{
    m_workspaces.push_back({id >= 0 ? id : next_id(), name});
    emit workspace_added(count() - 1);
    select(m_workspaces.back().id);
}

void VyrWorkspaces::rename(int workspace_id, const QString &name)
{
    const int index = index_of(workspace_id);
    if (index < 0)
        return;
    m_workspaces[size_t(index)].name = name;
    emit workspace_renamed(index);
}

bool VyrWorkspaces::remove(int workspace_id)
{
    const int index = index_of(workspace_id);
    if (workspace_id == 0 || index < 0)
        return false;
    m_workspaces.erase(m_workspaces.begin() + index);
    emit workspace_removed(index);
    if (m_current_id == workspace_id)
        select(0);
    return true;
}

void VyrWorkspaces::select(int workspace_id)
{
    const int index = index_of(workspace_id);
    if (index < 0 || workspace_id == m_current_id)
        return;
    m_current_id = workspace_id;
    emit current_changed(index);
}

void VyrWorkspaces::reset()
{
    for (int index = count() - 1; index >= 0; --index)
        if (at(index).id != 0) {
            m_workspaces.erase(m_workspaces.begin() + index);
            emit workspace_removed(index);
        }
    rename(0, default_name());
    m_current_id = 0;
    emit current_changed(index_of(0));
}

void VyrWorkspaces::write(QtbConfigGroup &defaults) const
{
    auto list = std::make_unique<QtbConfigGroup>();
    for (const Workspace &workspace : m_workspaces) {
        QtbConfigGroup *entry = list->add_group("");
        // The 8-bit name loses what Latin-1 cannot hold; its twin keeps it.
        entry->write_string("name", workspace.name);
        entry->write_string_utf8("name_utf8", workspace.name);
        entry->write_int("id", workspace.id);
    }
    defaults.append_entry(QtbConfigValue(std::move(list)), "workspaces");
    defaults.write_int("active_workspace", m_current_id);
}

void VyrWorkspaces::read(QtbConfigGroup &defaults)
{
    if (QtbConfigGroup *list = defaults.get_group("workspaces"))
        for (QtbConfigGroup *entry = list->first_group(); entry; entry = list->next_group()) {
            const QString name = entry->read_string_utf8("name_utf8", entry->read_string("name", QString()));
            const int id = entry->read_int("id", 0);
            if (id == 0)
                rename(0, name);
            else
                add(name, id);
        }
    const int active = defaults.read_int("active_workspace", 0);
    select(index_of(active) >= 0 ? active : 0);
}

VyrWorkspaces::DataWindowPlace VyrWorkspaces::place_data_window(QtbConfigGroup *record) const
{
    DataWindowPlace place{current_index(), m_current_id, false};
    if (!record)
        return place;
    place.detached = record->read_bool("detached", false);
    const int stored_id = record->read_int("workspace_id", 0);
    const int index = index_of(stored_id);
    if (index >= 0) {
        place.index = index;
        place.workspace_id = stored_id;
    }
    return place;
}

void VyrWorkspaces::keep_data_window_record(const char *name, QtbConfigValue record)
{
    m_data_window_records.push_back({name ? name : "", std::make_unique<QtbConfigValue>(std::move(record))});
}

void VyrWorkspaces::write_data_window_records(QtbConfig &config) const
{
    for (const DataWindowRecord &record : m_data_window_records)
        config.append_entry(copy_value(*record.group), record.name.c_str());
}

void VyrWorkspaces::clear_data_window_records()
{
    m_data_window_records.clear();
}
