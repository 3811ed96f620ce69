#include "core/description_node.h"

#include "core/description_kinds.h"
#include "core/description_list.h"

#include <atomic>
#include <cstring>

namespace {
std::atomic<DescriptionNode *> fibex_database{nullptr};
// Every node takes the next serial; the importers run on one thread.
uint32_t next_serial = 0;
}

DescriptionNode::DescriptionNode(int kind, const char *layout) : m_serial(next_serial++), m_kind(kind)
{
    for (const char *role = layout; *role; ++role)
        m_words.push_back(Word{WordRole(*role), 0, nullptr, DescriptionString()});
}

DescriptionNode::~DescriptionNode()
{
    for (Word &word : m_words) {
        if (word.role == reference_word)
            release(static_cast<DescriptionNode *>(word.pointer));
        else if (word.role == list_word)
            delete static_cast<DescriptionList *>(word.pointer);
    }
}

void DescriptionNode::drop_ref()
{
    if (m_references > 0)
        --m_references;
}

void DescriptionNode::release(DescriptionNode *node)
{
    if (!node)
        return;
    if (node->m_references > 0)
        --node->m_references;
    if (node->m_references == 0)
        delete node;
}

DescriptionNode::Word *DescriptionNode::word_of(int word, WordRole role)
{
    if (word < 0 || word >= word_count() || m_words[size_t(word)].role != role)
        return nullptr;
    return &m_words[size_t(word)];
}

const DescriptionNode::Word *DescriptionNode::word_of(int word, WordRole role) const
{
    return const_cast<DescriptionNode *>(this)->word_of(word, role);
}

int32_t DescriptionNode::data_word(int word) const
{
    const Word *w = word_of(word, number_word);
    return w ? w->number : 0;
}

DescriptionNode *DescriptionNode::data_ref(int word) const
{
    const Word *w = word_of(word, reference_word);
    return w ? static_cast<DescriptionNode *>(w->pointer) : nullptr;
}

void DescriptionNode::set_data_word(int word, int32_t value)
{
    if (Word *w = word_of(word, number_word))
        w->number = value;
}

void DescriptionNode::set_data_ref(int word, DescriptionNode *node)
{
    Word *w = word_of(word, reference_word);
    if (!w)
        return;
    // Referenced before the old one goes: storing the node already there keeps it.
    if (node)
        node->add_ref();
    DescriptionNode *old = static_cast<DescriptionNode *>(w->pointer);
    w->pointer = node;
    release(old);
}

DescriptionList *DescriptionNode::data_list(int word) const
{
    const Word *w = word_of(word, list_word);
    return w ? static_cast<DescriptionList *>(w->pointer) : nullptr;
}

void DescriptionNode::append_to_list(int word, DescriptionNode *node)
{
    Word *w = word_of(word, list_word);
    if (!w)
        return;
    if (!w->pointer)
        w->pointer = new DescriptionList;
    static_cast<DescriptionList *>(w->pointer)->append(node);
}

DescriptionString DescriptionNode::data_text(int word) const
{
    const Word *w = word_of(word, text_word);
    return w ? w->text : DescriptionString();
}

void DescriptionNode::set_data_text(int word, const DescriptionString &text)
{
    if (Word *w = word_of(word, text_word))
        w->text = text;
}

uint8_t DescriptionNode::data_byte(int index) const
{
    return index >= 0 && index < int(sizeof m_bytes) ? m_bytes[index] : 0;
}

void DescriptionNode::set_data_byte(int index, uint8_t value)
{
    if (index >= 0 && index < int(sizeof m_bytes))
        m_bytes[index] = value;
}

void DescriptionNode::set_plain_pointer(int word, void *pointer)
{
    if (Word *w = word_of(word, pointer_word))
        w->pointer = pointer;
}

void *DescriptionNode::plain_pointer(int word) const
{
    const Word *w = word_of(word, pointer_word);
    return w ? w->pointer : nullptr;
}

DescriptionNode *DescriptionNode::find_child(const char *name) const
{
    const DescriptionList *list = data_list(0);
    return list ? list->find_by_name(name) : nullptr;
}

namespace {
// Depth-first through each entry's child layers before the next entry.
template <typename Matches>
DescriptionNode *find_recursive(const DescriptionList *list, const Matches &matches)
{
    if (!list)
        return nullptr;
    for (DescriptionList::Entry *entry = list->first_entry(); entry; entry = entry->next) {
        if (matches(entry->node))
            return entry->node;
        if (entry->node->kind() == DescriptionLayer::kind_number) {
            if (DescriptionNode *found = find_recursive(entry->node->data_list(DescriptionLayer::child_layers_word), matches))
                return found;
        }
    }
    return nullptr;
}
}

DescriptionNode *DescriptionNode::find_by_name_recursive(const char *name) const
{
    return find_recursive(data_list(0), [name](const DescriptionNode *node) { return node->name() == name; });
}

DescriptionNode *DescriptionNode::find_by_id_recursive(const char *id) const
{
    return find_recursive(data_list(0), [id](const DescriptionNode *node) { return node->id() == id; });
}

bool is_fibex_url(const char *path)
{
    const char *prefix = fibex_url_prefix();
    return path && std::strncmp(path, prefix, std::strlen(prefix)) == 0;
}

const char *fibex_url_prefix()
{
    return "fibex://";
}

DescriptionNode *get_fibex_database()
{
    return fibex_database.load();
}

void set_fibex_database(DescriptionNode *root)
{
    fibex_database.store(root);
}
