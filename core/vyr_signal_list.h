#pragma once
// The signals of one interface: a hash table by name, an insertion-ordered
// list and an index array whose slot numbers stay fixed for a signal's life
// (scripts address signals by slot).
#include <cstdint>
#include <vector>

class SignalRecord;

class VyrSignalList
{
public:
    static constexpr int bucket_count = 1024;
    static constexpr int index_step = 1024;

    VyrSignalList();
    ~VyrSignalList();
    VyrSignalList(const VyrSignalList &) = delete;
    VyrSignalList &operator=(const VyrSignalList &) = delete;

    // Takes ownership; the signal gets the first free slot (the index array
    // grows by index_step when full, earlier slots unchanged). Returns the slot.
    int insert(SignalRecord *signal);
    // Frees the slot, unlinks the signal and deletes it; a signal that is not
    // in this list is left alone.
    void remove(SignalRecord *signal);
    // Case-sensitive; null when absent.
    SignalRecord *find(const char *name) const;
    // Null for a negative, too large or empty slot.
    SignalRecord *at(int slot) const;

    // Iteration in insertion order. Removing the signal at the cursor keeps the
    // iteration going with the signal after it.
    SignalRecord *first();
    SignalRecord *next();

    // Deletes every signal.
    void clear();

    int count() const { return m_count; }
    int index_size() const { return int(m_index.size()); }

private:
    SignalRecord *m_first = nullptr;
    SignalRecord *m_last = nullptr;
    SignalRecord *m_cursor = nullptr;
    bool m_cursor_before_first = false; // the signal at the cursor was the first and went
    int m_count = 0;
    std::vector<SignalRecord *> m_index;
    std::vector<SignalRecord *> m_buckets;
};
