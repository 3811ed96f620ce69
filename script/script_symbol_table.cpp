#include "script/script_symbol_table.h"

#include "script/script_symbol.h"

#include <cstring>

uint32_t script_name_hash(const char *name)
{
    uint32_t h = 0;
    for (const char *p = name; p && *p; ++p) {
        h ^= static_cast<uint32_t>(static_cast<int32_t>(static_cast<signed char>(*p)));
        h = (h << 1) | (h >> 31);
    }
    return h;
}

ScriptSymbolTable::~ScriptSymbolTable()
{
    for (ScriptSymbol *&head : buckets_) {
        while (head) {
            ScriptSymbol *next = head->next;
            delete head;
            head = next;
        }
    }
}

int ScriptSymbolTable::insert(ScriptSymbol *symbol)
{
    if (!symbol)
        return 0;
    symbol->hash = script_name_hash(symbol->name());
    symbol->sequence = next_sequence_++;
    ScriptSymbol *&head = buckets_[symbol->hash % kBucketCount];
    symbol->next = head;
    head = symbol;
    ++count_;
    return 0;
}

ScriptSymbol *ScriptSymbolTable::find(const char *name, int level) const
{
    if (!name)
        return nullptr;
    const uint32_t h = script_name_hash(name);
    for (ScriptSymbol *s = buckets_[h % kBucketCount]; s; s = s->next)
        if (s->hash == h && s->level == level && s->name() && std::strcmp(s->name(), name) == 0)
            return s;
    return nullptr;
}

ScriptSymbol *ScriptSymbolTable::find_or_declare(const char *name)
{
    ScriptSymbol *symbol = find(name, 0);
    if (symbol || !name || !declarer_ || declaring_)
        return symbol;
    declaring_ = true;
    declarer_(*this, name);
    declaring_ = false;
    return find(name, 0);
}

void ScriptSymbolTable::remove_scope(int level)
{
    for (ScriptSymbol *&head : buckets_) {
        ScriptSymbol **link = &head;
        while (*link) {
            ScriptSymbol *s = *link;
            if (s->level == level) {
                *link = s->next;
                delete s;
                --count_;
            } else {
                link = &s->next;
            }
        }
    }
}
