#include "core/description_list.h"

#include "core/description_node.h"

#include <algorithm>

uint32_t description_name_hash(const char *name)
{
    uint32_t hash = 0;
    if (name) {
        for (const unsigned char *c = reinterpret_cast<const unsigned char *>(name); *c; ++c)
            hash = 2 * hash + *c;
    }
    return hash;
}

DescriptionList::~DescriptionList()
{
    clear();
}

void DescriptionList::append(DescriptionNode *node)
{
    if (!node)
        return;
    if (has_index())
        index_node(node);
    node->add_ref();
    ++m_count;
    Entry *entry = new Entry{nullptr, m_last, node};
    if (m_last)
        m_last->next = entry;
    else
        m_first = entry;
    m_last = entry;
}

void DescriptionList::remove(Entry *entry)
{
    if (!entry)
        return;
    if (has_index())
        unindex_node(entry->node);
    DescriptionNode *node = entry->node;
    --m_count;
    (entry->previous ? entry->previous->next : m_first) = entry->next;
    (entry->next ? entry->next->previous : m_last) = entry->previous;
    delete entry;
    DescriptionNode::release(node);
}

void DescriptionList::clear()
{
    drop_index();
    while (m_first)
        remove(m_first);
}

DescriptionNode *DescriptionList::find_by_name(const char *name) const
{
    if (has_index()) {
        const uint32_t hash = description_name_hash(name);
        for (IndexEntry *entry = m_index[hash % m_index.size()].get(); entry; entry = entry->next.get()) {
            if (entry->hash == hash && entry->name == name)
                return entry->node;
        }
        return nullptr;
    }
    for (Entry *entry = m_first; entry; entry = entry->next) {
        if (entry->node->name() == name)
            return entry->node;
    }
    return nullptr;
}

DescriptionNode *DescriptionList::find_by_id(const char *id) const
{
    for (Entry *entry = m_first; entry; entry = entry->next) {
        if (entry->node->id() == id)
            return entry->node;
    }
    return nullptr;
}

DescriptionNode *DescriptionList::at(int position) const
{
    if (position < 0)
        return nullptr;
    Entry *entry = m_first;
    for (; entry && position > 0; --position)
        entry = entry->next;
    return entry ? entry->node : nullptr;
}

DescriptionNode *DescriptionList::first() const
{
    return m_first ? m_first->node : nullptr;
}

DescriptionNode *DescriptionList::last() const
{
    return m_last ? m_last->node : nullptr;
}

void DescriptionList::build_index()
{
    drop_index();
    m_index.resize(size_t(std::max(m_count + 100, 111)));
    for (Entry *entry = m_first; entry; entry = entry->next)
        index_node(entry->node);
}

void DescriptionList::drop_index()
{
    // Unlinked one by one: a long bucket chain must not recurse through destructors.
    for (auto &bucket : m_index) {
        while (bucket)
            bucket = std::move(bucket->next);
    }
    m_index.clear();
}

void DescriptionList::index_node(DescriptionNode *node)
{
    const uint32_t hash = description_name_hash(node->name().c_str());
    std::unique_ptr<IndexEntry> &bucket = m_index[hash % m_index.size()];
    bucket.reset(new IndexEntry{node->name(), hash, node, std::move(bucket)});
}

void DescriptionList::unindex_node(DescriptionNode *node)
{
    // Found by the node itself, in the bucket of its name first: the name may
    // have changed since it was entered.
    auto unlink_from = [node](std::unique_ptr<IndexEntry> &bucket) {
        for (std::unique_ptr<IndexEntry> *link = &bucket; *link; link = &(*link)->next) {
            if ((*link)->node == node) {
                *link = std::move((*link)->next);
                return true;
            }
        }
        return false;
    };
    if (unlink_from(m_index[description_name_hash(node->name().c_str()) % m_index.size()]))
        return;
    for (auto &bucket : m_index) {
        if (unlink_from(bucket))
            return;
    }
}

DescriptionNode *DescriptionListIterator::first()
{
    m_current = m_list ? m_list->first_entry() : nullptr;
    return current();
}

DescriptionNode *DescriptionListIterator::last()
{
    m_current = m_list ? m_list->last_entry() : nullptr;
    return current();
}

DescriptionNode *DescriptionListIterator::next()
{
    if (m_current)
        m_current = m_current->next;
    return current();
}

DescriptionNode *DescriptionListIterator::prev()
{
    if (m_current)
        m_current = m_current->previous;
    return current();
}

DescriptionNode *DescriptionListIterator::current() const
{
    return m_current ? m_current->node : nullptr;
}

DescriptionNode *DescriptionListIterator::remove_current()
{
    if (!m_current)
        return nullptr;
    DescriptionList::Entry *next = m_current->next;
    m_list->remove(m_current);
    m_current = next;
    return current();
}

IntHashMap::IntHashMap(uint32_t bucket_count)
    : m_requested_buckets(std::max<uint32_t>(bucket_count, 1)), m_buckets(m_requested_buckets)
{
}

void IntHashMap::insert(uint32_t key, uintptr_t value)
{
    if (m_buckets.empty())
        m_buckets.resize(m_requested_buckets); // made again after destroy()
    std::unique_ptr<Entry> &bucket = m_buckets[key % m_buckets.size()];
    bucket.reset(new Entry{key, value, std::move(bucket)});
}

uintptr_t IntHashMap::find(uint32_t key) const
{
    if (m_buckets.empty())
        return 0;
    for (Entry *entry = m_buckets[key % m_buckets.size()].get(); entry; entry = entry->next.get()) {
        if (entry->key == key)
            return entry->value;
    }
    return 0;
}

void IntHashMap::clear()
{
    for (auto &bucket : m_buckets) {
        while (bucket)
            bucket = std::move(bucket->next);
    }
}

void IntHashMap::destroy()
{
    clear();
    m_buckets.clear();
    m_buckets.shrink_to_fit();
}
