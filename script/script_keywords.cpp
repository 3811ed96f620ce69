#include "script/script_keywords.h"

#include "core/keyword_hash.h"
#include "script/script_tokens.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

namespace {

struct Keyword {
    const char *word;
    int token;
};

const Keyword kKeywords[] = {
    {"double", T_DOUBLE},
    {"int", T_INT},
    {"char", T_CHAR},
    {"byte", T_BYTE},
    {"string", T_STRING},
    {"void", T_VOID},
    {"typedef", T_TYPEDEF},
    {"struct", T_STRUCT},
    {"enum", T_ENUM},
    {"for", T_FOR},
    {"while", T_WHILE},
    {"do", T_DO},
    {"if", T_IF},
    {"else", T_ELSE},
    {"return", T_RETURN},
    {"break", T_BREAK},
    {"switch", T_SWITCH},
    {"case", T_CASE},
    {"default", T_DEFAULT},
    {"continue", T_CONTINUE},
    {"const", T_CONST},
    {"variables", T_VARIABLES},
    {"on", T_ON},
    {"init", T_INIT},
    {"signal", T_SIGNAL},
    {"start", T_START},
    {"startup", T_STARTUP},
    {"stop", T_STOP},
    {"input", T_INPUT},
    {"output", T_OUTPUT},
    {"extern", T_EXTERN},
    {"envvar", T_ENVVAR},
    {"thread", T_THREAD},
    {"__pragma_internal", T_PRAGMA_INTERNAL},
    {"sizeof", T_SIZEOF},
    {"elCount", T_ELCOUNT},
};

// Words of the older dialect, entered when the compatibility flag is set.
const Keyword kAliases[] = {
    {"word", T_INT},
    {"dword", T_INT},
    {"long", T_INT},
    {"message", T_MESSAGE},
    {"float", T_DOUBLE},
};

constexpr int kMainCount = sizeof kKeywords / sizeof kKeywords[0];
constexpr int kSlotCount = 2 * kMainCount + 1;

struct Slot {
    const Keyword *entry;
    uint32_t hash;
};

std::unique_ptr<Slot[]> g_slots;

void place(const Keyword &keyword)
{
    const uint32_t h = keyword_hash(keyword.word);
    uint32_t i = h % kSlotCount;
    while (g_slots[i].entry)
        i = (i + 1) % kSlotCount;
    g_slots[i] = {&keyword, h};
}

} // namespace

int script_keywords_build(bool compatibility)
{
    g_slots.reset(new (std::nothrow) Slot[kSlotCount]());
    if (!g_slots)
        return -1;
    for (const Keyword &k : kKeywords)
        place(k);
    if (compatibility)
        for (const Keyword &k : kAliases)
            place(k);
    return 0;
}

void script_keywords_free()
{
    g_slots.reset();
}

bool script_keywords_present()
{
    return g_slots != nullptr;
}

int script_keyword_lookup(const char *word)
{
    if (!g_slots)
        return -1;
    const uint32_t h = keyword_hash(word);
    for (uint32_t i = h % kSlotCount; g_slots[i].entry; i = (i + 1) % kSlotCount)
        if (g_slots[i].hash == h && std::strcmp(g_slots[i].entry->word, word) == 0)
            return g_slots[i].entry->token;
    return 0;
}
