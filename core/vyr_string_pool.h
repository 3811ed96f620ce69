#pragma once
// A shared pool of scratch text buffers handed out in turn. One instance is
// created by the first holder and deleted when the last one lets go. Used by
// the GUI thread only; the counting is not locked.

class VyrStringPool
{
public:
    static constexpr int buffer_count = 16;
    static constexpr int buffer_size = 256;

    // Creates the pool on first use, counts the reference and stores the pool
    // in `holder`.
    static void acquire(VyrStringPool *&holder);
    // Counts down, deletes the pool at 0 and clears `holder`.
    static void release(VyrStringPool *&holder);

    // The next of the buffers, in turn; its text stays valid until the pool
    // has handed out all the others once.
    char *next_buffer();

private:
    VyrStringPool() = default;

    int references_ = 0;
    char buffers_[buffer_count][buffer_size] = {};
    int index_ = 0;
};

// Holds a reference to the pool for its lifetime (a static object in the
// files that use the pool).
class VyrStringPoolHolder
{
public:
    VyrStringPoolHolder() { VyrStringPool::acquire(pool_); }
    ~VyrStringPoolHolder() { VyrStringPool::release(pool_); }

    VyrStringPoolHolder(const VyrStringPoolHolder &) = delete;
    VyrStringPoolHolder &operator=(const VyrStringPoolHolder &) = delete;

    VyrStringPool *pool() const { return pool_; }

private:
    VyrStringPool *pool_ = nullptr;
};
