#pragma once
// One hash table of symbols per compilation context: the compiler declares
// into it, and the built-in library and the interface preludes later find the
// function index of a native by name in it.
#include <cstdint>

class ScriptSymbol;

// h = 0; for each character c, taken as a signed 8-bit value widened to 32
// bits: h = rotate-left-by-1(h xor c).
uint32_t script_name_hash(const char *name);

class ScriptSymbolTable {
public:
    static constexpr int kBucketCount = 1000;

    ScriptSymbolTable() = default;
    ScriptSymbolTable(const ScriptSymbolTable &) = delete;
    ScriptSymbolTable &operator=(const ScriptSymbolTable &) = delete;
    ~ScriptSymbolTable(); // deletes every symbol

    // Takes ownership: stores the hash, gives the next sequence number and
    // links the symbol at the head of its bucket. It does not look for
    // duplicates (the declaring operations do). A null symbol is ignored. 0.
    int insert(ScriptSymbol *symbol);
    // The newest symbol with exactly this name on this scope level, or null.
    ScriptSymbol *find(const char *name, int level) const;
    // Unlinks and deletes every symbol of the level (leaving a block).
    void remove_scope(int level);

    int count() const { return count_; }

private:
    ScriptSymbol *buckets_[kBucketCount] = {};
    int count_ = 0;
    uint32_t next_sequence_ = 1;
};
