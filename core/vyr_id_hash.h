#pragma once
// A small chained hash table from a key to a pointer (not owned), with
// integer keys (item ids) or text keys (item names). New nodes go to the head
// of their bucket, so among equal keys the one inserted last is found first;
// there is no resizing. A null value cannot be told from an absent key.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// h = 0; for each byte c (signed 8-bit): t = h + c; h = (t << 4) + (t >> 24),
// in unsigned 32-bit arithmetic. "abc" gives 423984, "" gives 0.
uint32_t text_hash(const char *text);

class VyrIdHash
{
public:
    static constexpr uint32_t minimum_buckets = 111;

    // At least minimum_buckets buckets.
    explicit VyrIdHash(uint32_t requested_buckets);
    ~VyrIdHash();
    VyrIdHash(const VyrIdHash &) = delete;
    VyrIdHash &operator=(const VyrIdHash &) = delete;

    uint32_t bucket_count() const { return uint32_t(m_buckets.size()); }
    // Frees every node; the bucket count stays.
    void clear();

    // No check for a key that is there already.
    void insert(int32_t key, void *value);
    void *find(int32_t key) const;
    // Unlinks the first node of the key's bucket whose value is `value` (its
    // key is not compared); nothing when there is none.
    void remove(int32_t key, void *value);

    // The table keeps its own copy of the text; comparison is byte-exact.
    void insert(const char *text, void *value);
    void *find(const char *text) const;
    void remove(const char *text, void *value);

private:
    struct Node {
        int32_t key;
        std::string text; // text keys only
        uint32_t hash;
        void *value;
        std::unique_ptr<Node> next;
    };
    std::unique_ptr<Node> &bucket(uint32_t hash) { return m_buckets[hash % m_buckets.size()]; }
    const std::unique_ptr<Node> &bucket(uint32_t hash) const { return m_buckets[hash % m_buckets.size()]; }
    void push(std::unique_ptr<Node> node);
    void remove_value(uint32_t hash, void *value);

    std::vector<std::unique_ptr<Node>> m_buckets;
};
