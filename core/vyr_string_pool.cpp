#include "core/vyr_string_pool.h"

namespace {
VyrStringPool *shared_pool = nullptr;
}

void VyrStringPool::acquire(VyrStringPool *&holder)
{
    if (!shared_pool)
        shared_pool = new VyrStringPool;
    ++shared_pool->references_;
    holder = shared_pool;
}

void VyrStringPool::release(VyrStringPool *&holder)
{
    if (!holder)
        return;
    holder = nullptr;
    if (shared_pool && --shared_pool->references_ == 0) {
        delete shared_pool;
        shared_pool = nullptr;
    }
}

char *VyrStringPool::next_buffer()
{
    char *buffer = buffers_[index_];
    index_ = (index_ + 1) % buffer_count;
    return buffer;
}
