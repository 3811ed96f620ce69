#pragma once
// The node list of the description model with its optional name index, its
// cursor, and the small integer hash map of the importers.
#include "core/description_string.h"

#include <cstdint>
#include <memory>
#include <vector>

class DescriptionNode;

// h = 0; for each byte c (unsigned): h = 2h + c, wrapping at 32 bits; null
// and "" give 0.
uint32_t description_name_hash(const char *name);

// A doubly linked list that holds one reference on each node it contains.
class DescriptionList
{
public:
    struct Entry {
        Entry *next;
        Entry *previous;
        DescriptionNode *node;
    };

    DescriptionList() = default;
    ~DescriptionList();
    DescriptionList(const DescriptionList &) = delete;
    DescriptionList &operator=(const DescriptionList &) = delete;

    int count() const { return m_count; }
    // Null does nothing; the node enters the index (when there is one) under
    // its name as it is now, and is counted.
    void append(DescriptionNode *node);
    // Takes the node out of the index, releases it and frees the entry.
    void remove(Entry *entry);
    void clear();

    // Through the index when there is one (the node entered last wins among
    // equal names), else the first node of the name from the front.
    DescriptionNode *find_by_name(const char *name) const;
    DescriptionNode *find_by_id(const char *id) const;
    // Null past the end.
    DescriptionNode *at(int position) const;
    DescriptionNode *first() const;
    DescriptionNode *last() const;
    Entry *first_entry() const { return m_first; }
    Entry *last_entry() const { return m_last; }

    // Enters every node by its name now, in max(count + 100, 111) buckets;
    // renaming a node later does not move it.
    void build_index();
    void drop_index();
    bool has_index() const { return !m_index.empty(); }

private:
    struct IndexEntry {
        DescriptionString name;
        uint32_t hash;
        DescriptionNode *node;
        std::unique_ptr<IndexEntry> next;
    };
    void index_node(DescriptionNode *node);
    void unindex_node(DescriptionNode *node);

    Entry *m_first = nullptr;
    Entry *m_last = nullptr;
    int m_count = 0;
    std::vector<std::unique_ptr<IndexEntry>> m_index;
};

// A cursor on a list (which may be null); each move answers the node there,
// or null past either end.
class DescriptionListIterator
{
public:
    explicit DescriptionListIterator(DescriptionList *list) : m_list(list) {}

    DescriptionNode *first();
    DescriptionNode *last();
    DescriptionNode *next();
    DescriptionNode *prev();
    DescriptionNode *current() const;
    // Unlinks the current entry, releases its node and answers the next node.
    DescriptionNode *remove_current();

private:
    DescriptionList *m_list;
    DescriptionList::Entry *m_current = nullptr;
};

// Integer keys to one word each; a new entry goes to the head of its bucket
// (key modulo the bucket count) and there is no duplicate check.
class IntHashMap
{
public:
    explicit IntHashMap(uint32_t bucket_count);
    ~IntHashMap() { clear(); }

    void insert(uint32_t key, uintptr_t value);
    // The value of the entry with the key inserted last, else 0.
    uintptr_t find(uint32_t key) const;
    // Frees the entries and keeps the buckets.
    void clear();
    // Frees the buckets too; a later insert makes them again.
    void destroy();
    uint32_t bucket_count() const { return uint32_t(m_buckets.size()); }

private:
    struct Entry {
        uint32_t key;
        uintptr_t value;
        std::unique_ptr<Entry> next;
    };
    uint32_t m_requested_buckets;
    std::vector<std::unique_ptr<Entry>> m_buckets;
};
