#include "settings/save_file.h"

#include "settings/debug_trace.h"

#include <QSaveFile>

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace {

int fail(const QString &path, const char *call, const QString &reason)
{
    debug_trace("save_file: %s of \"%s\" failed: %s", call, qUtf8Printable(path), qUtf8Printable(reason));
    return -1;
}

int fail_errno(const QString &path, const char *call)
{
    return fail(path, call, QString::fromLocal8Bit(std::strerror(errno)));
}

// Writes every byte to the descriptor; false with errno set when one fails.
bool write_all(int fd, const std::string &contents)
{
    for (size_t done = 0; done < contents.size();) {
        const ssize_t n = ::write(fd, contents.data() + done, contents.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += size_t(n);
    }
    return true;
}

} // namespace

int save_file(const QString &path, const std::string &contents)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return fail(path, "open", file.errorString());
    // Written and synced on the descriptor, so that the reason of a failure
    // is the call's own (QSaveFile also syncs, but does not report a failure).
    if (!write_all(file.handle(), contents))
        return fail_errno(path, "write");
    if (fsync(file.handle()) != 0)
        return fail_errno(path, "fsync");
    if (!file.commit())
        return fail(path, "rename", file.errorString());
    return 0;
}
