#include "core/vyr_env_var_list.h"

#include <algorithm>
#include <atomic>

namespace {
std::atomic<VyrEnvVarList *> global_list{nullptr};
}

VyrEnvVarList::VyrEnvVarList(QObject *parent) : QObject(parent) {}

VyrEnvVarList::~VyrEnvVarList()
{
    VyrEnvVarList *self = this;
    global_list.compare_exchange_strong(self, nullptr);
}

VyrEnvVarList *VyrEnvVarList::instance()
{
    return global_list.load();
}

void VyrEnvVarList::set_instance(VyrEnvVarList *list)
{
    global_list.store(list);
}

EnvVarRecord *VyrEnvVarList::insert(std::unique_ptr<EnvVarRecord> variable)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    EnvVarRecord *record = variable.get();
    m_index[bucket_of(record->id())].push_back(record);
    m_variables.push_back(std::move(variable));
    return record;
}

EnvVarRecord *VyrEnvVarList::find_by_id(int id) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    for (EnvVarRecord *record : m_index[bucket_of(id)])
        if (record->id() == id)
            return record;
    return nullptr;
}

EnvVarRecord *VyrEnvVarList::find_by_name(const std::string &name) const
{
    const uint32_t hash = EnvVarRecord::hash_name(name);
    std::lock_guard<std::mutex> lock(m_mutex);
    for (const auto &record : m_variables)
        if (record->name_hash() == hash && record->name() == name)
            return record.get();
    return nullptr;
}

void VyrEnvVarList::remove_definer(VyrDefiner *definer)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    for (auto it = m_variables.begin(); it != m_variables.end();) {
        EnvVarRecord *record = it->get();
        if (!record->has_definer(definer)) {
            ++it;
            continue;
        }
        record->remove_definer(definer);
        if (record->definer_count() > 0) {
            ++it;
            continue;
        }
        auto &bucket = m_index[bucket_of(record->id())];
        bucket.erase(std::remove(bucket.begin(), bucket.end(), record), bucket.end());
        it = m_variables.erase(it);
    }
}

int VyrEnvVarList::count() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return int(m_variables.size());
}
