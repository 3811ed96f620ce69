#pragma once
// One hash table of symbols per compilation context: the compiler declares
// into it, and the built-in library and the interface preludes later find the
// function index of a native by name in it.
#include <cstdint>
#include <functional>

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

    // Declares global names on their first use: an interface prelude with a
    // database declares the struct type of a message only when a script
    // names it, not one per message of the database. The declarer gets the
    // table and the missing name and may declare it.
    using Declarer = std::function<void(ScriptSymbolTable &symbols, const char *name)>;
    void set_declarer(Declarer declarer) { declarer_ = std::move(declarer); }
    // The symbol of that name on level 0; when there is none, the declarer
    // is asked for it first.
    ScriptSymbol *find_or_declare(const char *name);
    // Unlinks and deletes every symbol of the level (leaving a block).
    void remove_scope(int level);

    int count() const { return count_; }

private:
    ScriptSymbol *buckets_[kBucketCount] = {};
    int count_ = 0;
    uint32_t next_sequence_ = 1;
    Declarer declarer_;
    bool declaring_ = false; // a declarer's own lookups do not ask it again
};
