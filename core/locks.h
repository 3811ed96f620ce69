#pragma once
// Lock classes of the program: a base with an owned word and do-nothing
// hooks, and a mutex lock that the thread holding it may take again.
#include <mutex>

class LockBase
{
public:
    explicit LockBase(int value) : value_(value) {}
    virtual ~LockBase() = default;

    LockBase(const LockBase &) = delete;
    LockBase &operator=(const LockBase &) = delete;

    // The word handed to the constructor.
    virtual int value() const { return value_; }
    // Hooks for derived locks; the base takes nothing.
    virtual int lock() { return 0; }
    virtual void unlock() {}

private:
    int value_;
};

class MutexLock : public LockBase
{
public:
    MutexLock() : LockBase(-1) {}

    // Waits without time limit; 0 when taken, -1 when the wait failed.
    int lock() override;
    void unlock() override;

private:
    std::recursive_mutex mutex_;
};
