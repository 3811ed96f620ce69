#include "platform/named_mutex.h"

#include "settings/debug_trace.h"
#include "platform/runtime_directory.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace platform {

namespace {

// A file of a name in the runtime directory, empty when the name can't be one.
std::string file_path(const std::string &name, const char *suffix)
{
    if (name.empty() || name.find('/') != std::string::npos)
        return std::string();
    const std::string dir = runtime_directory();
    if (dir.empty())
        return std::string();
    return dir + "/" + name + suffix;
}

// The lock file that the holders keep.
std::string lock_file_path(const std::string &name)
{
    return file_path(name, ".lock");
}

// The lock file that lets one probe at a time test the holders' file.
std::string probe_file_path(const std::string &name)
{
    return file_path(name, ".probe");
}

int flock_retrying(int fd, int operation)
{
    int result;
    while ((result = flock(fd, operation)) != 0 && errno == EINTR) {
    }
    return result;
}

} // namespace

NamedMutex::~NamedMutex()
{
    close();
}

bool NamedMutex::create(const std::string &name)
{
    close();
    const std::string path = lock_file_path(name);
    if (path.empty())
        return false;
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        debug_trace("NamedMutex::create: open of %s failed: %s", path.c_str(), std::strerror(errno));
        return false;
    }
    // Holders share the lock; only the probe in exists() asks for it alone.
    // A probe holds it for an instant, so a blocking wait is short.
    if (flock_retrying(fd, LOCK_SH) != 0) {
        debug_trace("NamedMutex::create: flock of %s failed: %s", path.c_str(), std::strerror(errno));
        ::close(fd);
        return false;
    }
    fd_ = fd;
    return true;
}

void NamedMutex::close()
{
    if (fd_ < 0)
        return;
    ::close(fd_); // drops the lock with the last descriptor of the open file
    fd_ = -1;
}

bool NamedMutex::exists(const std::string &name)
{
    const std::string path = lock_file_path(name);
    if (path.empty())
        return false;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false; // never created
    // The test takes the holders' lock alone for an instant, so a second probe
    // at that instant would take the first for a holder: probes of one name
    // queue on their own lock file, which holders never touch.
    // Without that queue the answer may be wrong while another probe runs,
    // which the trace says.
    const std::string probe_path = probe_file_path(name);
    const int probe_fd = ::open(probe_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (probe_fd < 0)
        debug_trace("NamedMutex::exists: open of %s failed: %s", probe_path.c_str(), std::strerror(errno));
    else if (flock_retrying(probe_fd, LOCK_EX) != 0)
        debug_trace("NamedMutex::exists: flock of %s failed: %s", probe_path.c_str(), std::strerror(errno));
    // A separate open file description, so this process's own holders count too.
    bool held = false;
    if (flock_retrying(fd, LOCK_EX | LOCK_NB) != 0) {
        held = errno == EWOULDBLOCK;
        if (!held)
            debug_trace("NamedMutex::exists: flock of %s failed: %s", path.c_str(), std::strerror(errno));
    }
    ::close(fd);
    if (probe_fd >= 0)
        ::close(probe_fd);
    return held;
}

} // namespace platform
