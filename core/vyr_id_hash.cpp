#include "core/vyr_id_hash.h"

#include <algorithm>

uint32_t text_hash(const char *text)
{
    uint32_t h = 0;
    for (const char *p = text; *p; ++p) {
        const uint32_t t = h + uint32_t(int32_t(static_cast<signed char>(*p)));
        h = (t << 4) + (t >> 24);
    }
    return h;
}

VyrIdHash::VyrIdHash(uint32_t requested_buckets) : m_buckets(std::max(requested_buckets, minimum_buckets)) {}

VyrIdHash::~VyrIdHash()
{
    clear();
}

void VyrIdHash::clear()
{
    // Chains are unlinked node by node: a long chain must not recurse.
    for (std::unique_ptr<Node> &head : m_buckets)
        while (head)
            head = std::move(head->next);
}

void VyrIdHash::push(std::unique_ptr<Node> node)
{
    std::unique_ptr<Node> &head = bucket(node->hash);
    node->next = std::move(head);
    head = std::move(node);
}

void VyrIdHash::remove_value(uint32_t hash, void *value)
{
    for (std::unique_ptr<Node> *link = &bucket(hash); *link; link = &(*link)->next) {
        if ((*link)->value == value) {
            *link = std::move((*link)->next);
            return;
        }
    }
}

void VyrIdHash::insert(int32_t key, void *value)
{
    push(std::unique_ptr<Node>(new Node{key, std::string(), uint32_t(key), value, nullptr}));
}

void *VyrIdHash::find(int32_t key) const
{
    for (const Node *node = bucket(uint32_t(key)).get(); node; node = node->next.get())
        if (node->hash == uint32_t(key) && node->key == key)
            return node->value;
    return nullptr;
}

void VyrIdHash::remove(int32_t key, void *value)
{
    remove_value(uint32_t(key), value);
}

void VyrIdHash::insert(const char *text, void *value)
{
    push(std::unique_ptr<Node>(new Node{0, text, text_hash(text), value, nullptr}));
}

void *VyrIdHash::find(const char *text) const
{
    const uint32_t hash = text_hash(text);
    for (const Node *node = bucket(hash).get(); node; node = node->next.get())
        if (node->hash == hash && node->text == text)
            return node->value;
    return nullptr;
}

void VyrIdHash::remove(const char *text, void *value)
{
    remove_value(text_hash(text), value);
}
