#include "interfaces/can/id_formatter.h"

#include <cstring>
#include <mutex>
#include <vector>

namespace {

struct Entry
{
    const char *name;
    IdFormatterFactory factory;
};

struct Registry
{
    std::mutex mutex;
    std::vector<Entry> entries;
    size_t cursor = 0;
};

// Built on first use: registration runs during static initialisation.
Registry &registry()
{
    static Registry instance;
    return instance;
}

} // namespace

void register_id_formatter(const char *name, IdFormatterFactory factory)
{
    Registry &r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    r.entries.push_back({name, factory});
}

std::unique_ptr<IdFormatter> create_id_formatter(const char *name)
{
    if (!name)
        return nullptr;
    IdFormatterFactory factory = nullptr;
    {
        Registry &r = registry();
        std::lock_guard<std::mutex> lock(r.mutex);
        for (const Entry &entry : r.entries) {
            if (entry.name && std::strcmp(entry.name, name) == 0) {
                factory = entry.factory;
                break;
            }
        }
    }
    return std::unique_ptr<IdFormatter>(factory ? factory(name) : nullptr);
}

const char *first_id_formatter_name()
{
    Registry &r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    r.cursor = 0;
    return r.entries.empty() ? nullptr : r.entries[0].name;
}

const char *next_id_formatter_name()
{
    Registry &r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    if (r.cursor >= r.entries.size())
        return nullptr;
    ++r.cursor;
    return r.cursor < r.entries.size() ? r.entries[r.cursor].name : nullptr;
}

int id_formatter_count()
{
    Registry &r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    return int(r.entries.size());
}
