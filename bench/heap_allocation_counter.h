// Counts the heap allocations of a benchmark program, so that a benchmark can
// show that its hot path allocates nothing in steady state. The replaced
// global operator new may stand in one source file of a program only:
// include this header from the benchmark's own source file, nowhere else.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <new>

inline std::atomic<uint64_t> heap_allocations{0};

void *operator new(size_t size)
{
    heap_allocations.fetch_add(1, std::memory_order_relaxed);
    if (void *p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}
void operator delete(void *p) noexcept
{
    std::free(p);
}
void operator delete(void *p, size_t) noexcept
{
    std::free(p);
}
