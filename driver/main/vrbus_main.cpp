// vrbus: the virtual CAN bus daemon. Runs in the foreground (for tests and
// service managers) until SIGTERM or SIGINT, then closes every handle.
// When NOTIFY_SOCKET is set it reports "READY=1" there once its devices can
// be opened.
#include "driver/vrbus_server.h"

#include <atomic>
#include <csignal>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// Read by the signal handler: an atomic pointer that is always lock-free.
std::atomic<VrbusServer *> running_server{nullptr};
static_assert(std::atomic<VrbusServer *>::is_always_lock_free);

void stop_on_signal(int)
{
    if (VrbusServer *server = running_server.load())
        server->stop();
}

// The readiness message of the service manager's notification protocol.
void notify_ready()
{
    const char *path = std::getenv("NOTIFY_SOCKET");
    if (!path || !*path)
        return;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const size_t length = std::strlen(path);
    if (length >= sizeof(address.sun_path))
        return;
    std::memcpy(address.sun_path, path, length);
    if (path[0] == '@')
        address.sun_path[0] = '\0'; // an abstract socket name
    const int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return;
    static const char ready[] = "READY=1";
    sendto(fd, ready, sizeof ready - 1, 0, reinterpret_cast<sockaddr *>(&address),
           socklen_t(offsetof(sockaddr_un, sun_path) + length));
    close(fd);
}

} // namespace

int main()
{
    VrbusServer server;
    // A signal during start-up ends the daemon as soon as it would serve.
    running_server = &server;
    struct sigaction action{};
    action.sa_handler = stop_on_signal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    std::string error;
    if (!server.start(&error)) {
        std::fprintf(stderr, "vrbus: %s\n", error.c_str());
        return 1;
    }
    notify_ready();
    server.run();
    running_server = nullptr;
    return 0;
}
