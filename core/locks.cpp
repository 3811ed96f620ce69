#include "core/locks.h"

#include <system_error>

int MutexLock::lock()
{
    try {
        mutex_.lock();
    } catch (const std::system_error &) {
        return -1;
    }
    return 0;
}

void MutexLock::unlock()
{
    mutex_.unlock();
}
