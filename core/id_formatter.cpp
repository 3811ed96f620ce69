#include "core/id_formatter.h"

#include <cstring>
#include <mutex>
#include <vector>

namespace {

struct Entry {
    const char *name;
    IdFormatterFactory factory;
};

struct Registry {
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

uint32_t IdFormatter::display_id(uint32_t id, uint32_t) const
{
    return id;
}

bool IdFormatter::set_id_field(uint32_t *, const char *, uint32_t) const
{
    return false;
}

int IdFormatter::script_struct_types(ScriptSymbolTable *, CANdbCluster *, ScriptMemberBindings &)
{
    return 0;
}

int IdFormatter::bind_natives(PCodeMachine *, ScriptSymbolTable *)
{
    return 0;
}

void IdFormatter::add_j1939_members(ScriptStructType *, ScriptMemberBindings &) {}

const char *IdFormatter::column_title(int) const
{
    return nullptr;
}

int IdFormatter::column_text(uint32_t, uint32_t, int, char *buffer) const
{
    buffer[0] = '\0';
    return 0;
}

int IdFormatter::column_width(int) const
{
    return 0;
}

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
    if (!factory)
        return nullptr;
    std::unique_ptr<IdFormatter> formatter(factory());
    if (formatter)
        formatter->set_name(name);
    return formatter;
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
