#include "platform/named_mutex.h"

#include "settings/debug_trace.h"
#include "platform/runtime_directory.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
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

// True while the open file is the one the path names: a file that its last
// user removed meanwhile is no lock any more.
bool still_named(int fd, const std::string &path)
{
    struct stat open_file, named;
    return fstat(fd, &open_file) == 0 && stat(path.c_str(), &named) == 0 && open_file.st_dev == named.st_dev
           && open_file.st_ino == named.st_ino;
}

// Opens (creating) the lock file at the path and takes the lock, again on
// the file that then stands there when the last user removed the opened one
// before the lock was had. -1 when it can't be opened or locked.
int open_locked(const std::string &path, int operation)
{
    for (;;) {
        const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd < 0) {
            debug_trace("NamedMutex: open of %s failed: %s", path.c_str(), std::strerror(errno));
            return -1;
        }
        if (flock_retrying(fd, operation) != 0) {
            debug_trace("NamedMutex: flock of %s failed: %s", path.c_str(), std::strerror(errno));
            ::close(fd);
            return -1;
        }
        if (still_named(fd, path))
            return fd;
        ::close(fd);
    }
}

// The probes of a name, and the last holder removing its lock file, queue on
// the name's probe file. Its holder removes it when done: every file of a
// name goes once nobody uses the name.
class ProbeTurn
{
public:
    explicit ProbeTurn(const std::string &name) : m_path(probe_file_path(name)), m_fd(open_locked(m_path, LOCK_EX)) {}
    ~ProbeTurn()
    {
        if (m_fd < 0)
            return;
        unlink(m_path.c_str());
        ::close(m_fd);
    }
    ProbeTurn(const ProbeTurn &) = delete;
    ProbeTurn &operator=(const ProbeTurn &) = delete;

private:
    std::string m_path;
    int m_fd;
};

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
    // Holders share the lock; only a probe or the last holder's removal
    // asks for it alone, for an instant, so a blocking wait is short.
    fd_ = open_locked(path, LOCK_SH);
    if (fd_ < 0)
        return false;
    name_ = name;
    return true;
}

void NamedMutex::close()
{
    if (fd_ < 0)
        return;
    {
        // Without another holder the lock file goes with this one. The lock
        // alone is had only then; trying for it gives up the shared lock,
        // which this holder is giving up anyway.
        const ProbeTurn turn(name_);
        if (flock(fd_, LOCK_EX | LOCK_NB) == 0)
            unlink(lock_file_path(name_).c_str());
        ::close(fd_); // drops the lock with the last descriptor of the open file
    }
    fd_ = -1;
    name_.clear();
}

bool NamedMutex::exists(const std::string &name)
{
    const std::string path = lock_file_path(name);
    if (path.empty())
        return false;
    // The test takes the holders' lock alone for an instant, so a second probe
    // at that instant would take the first for a holder: probes of one name
    // queue on their own lock file, which holders take only to remove theirs.
    const ProbeTurn turn(name);
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false; // never created, or gone with its last holder
    // A separate open file description, so this process's own holders count too.
    bool held = false;
    if (flock_retrying(fd, LOCK_EX | LOCK_NB) != 0) {
        held = errno == EWOULDBLOCK;
        if (!held)
            debug_trace("NamedMutex::exists: flock of %s failed: %s", path.c_str(), std::strerror(errno));
    } else {
        // A lock file that no holder keeps (its process ended without
        // closing) goes as well.
        unlink(path.c_str());
    }
    ::close(fd);
    return held;
}

} // namespace platform
