#include "platform/runtime_directory.h"

#include "settings/debug_trace.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

std::string chosen_directory()
{
    if (const char *dir = std::getenv("VRBUS_RUNTIME_DIR"); dir && *dir)
        return dir;
    if (const char *xdg = std::getenv("XDG_RUNTIME_DIR"); xdg && *xdg)
        return std::string(xdg) + "/vrbus";
    return "/tmp/vrbus-" + std::to_string(getuid());
}

} // namespace

std::string runtime_directory()
{
    const std::string dir = chosen_directory();
    if (mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) {
        debug_trace("runtime_directory: mkdir of %s failed: %s", dir.c_str(), std::strerror(errno));
        return std::string();
    }
    struct stat info;
    if (stat(dir.c_str(), &info) != 0) {
        debug_trace("runtime_directory: stat of %s failed: %s", dir.c_str(), std::strerror(errno));
        return std::string();
    }
    // The directory holds the daemon's socket, the volatile registry keys and
    // the lock files: one that another user owns or may write into (a name
    // taken first in /tmp) would let that user stand in for the daemon.
    if (!S_ISDIR(info.st_mode) || info.st_uid != getuid() || (info.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
        debug_trace("runtime_directory: %s is no folder of this user's alone", dir.c_str());
        return std::string();
    }
    return dir;
}

} // namespace platform
