#pragma once
// Named mutexes that other processes see: a lock file in the runtime
// directory held with flock. Every holder keeps a shared lock on the file;
// the mutex "exists" while any holder, in this process or another, keeps it.
// Used to mark the users of a device channel. The files of a name go once
// nobody holds or probes it: the last holder removes the lock file, every
// probe its own.
#include <string>

namespace platform {

class NamedMutex
{
public:
    NamedMutex() = default;
    ~NamedMutex();
    NamedMutex(const NamedMutex &) = delete;
    NamedMutex &operator=(const NamedMutex &) = delete;

    // Creates the mutex, or opens it when it exists, and holds it until
    // close(). False when the lock file can't be made (no runtime directory,
    // a name with "/").
    bool create(const std::string &name);
    // Lets go of the mutex; nothing when none is held.
    void close();
    bool is_held() const { return fd_ >= 0; }

    // True while some holder keeps the mutex of that name.
    static bool exists(const std::string &name);

private:
    int fd_ = -1;
    std::string name_;
};

} // namespace platform
