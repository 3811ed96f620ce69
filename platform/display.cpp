#include "platform/display.h"

#include <cstddef>
#include <cstdlib>
#include <netdb.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace platform {

namespace {

// True when a stream connection to the local socket is accepted; an
// abstract name starts with a zero byte.
bool local_socket_answers(const std::string &name)
{
    sockaddr_un address{};
    if (name.empty() || name.size() >= sizeof address.sun_path)
        return false;
    address.sun_family = AF_UNIX;
    name.copy(address.sun_path, name.size());
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const socklen_t length = socklen_t(offsetof(sockaddr_un, sun_path) + name.size() + (name[0] ? 1 : 0));
    const bool answered = connect(fd, reinterpret_cast<sockaddr *>(&address), length) == 0;
    ::close(fd);
    return answered;
}

bool tcp_port_answers(const std::string &host, int port)
{
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *found = nullptr;
    if (getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0)
        return false;
    bool answered = false;
    for (addrinfo *at = found; at && !answered; at = at->ai_next) {
        const int fd = socket(at->ai_family, at->ai_socktype | SOCK_CLOEXEC, at->ai_protocol);
        if (fd < 0)
            continue;
        answered = connect(fd, at->ai_addr, at->ai_addrlen) == 0;
        ::close(fd);
    }
    freeaddrinfo(found);
    return answered;
}

// An X11 display "[host]:number[.screen]": a server's local socket (for no
// host or "unix") or its TCP port 6000 + number.
bool x11_display_answers(const std::string &display)
{
    const size_t colon = display.rfind(':');
    if (colon == std::string::npos)
        return false;
    const std::string host = display.substr(0, colon);
    const std::string number = display.substr(colon + 1, display.find('.', colon) - colon - 1);
    if (number.empty() || number.find_first_not_of("0123456789") != std::string::npos || number.size() > 5)
        return false;
    if (host.empty() || host == "unix") {
        const std::string socket = "/tmp/.X11-unix/X" + number;
        return local_socket_answers(std::string(1, '\0') + socket) || local_socket_answers(socket);
    }
    return tcp_port_answers(host, 6000 + std::stoi(number));
}

bool wayland_display_answers(const char *display)
{
    const std::string name = display && *display ? display : "wayland-0";
    if (name[0] == '/')
        return local_socket_answers(name);
    const char *runtime = std::getenv("XDG_RUNTIME_DIR");
    return runtime && *runtime && local_socket_answers(std::string(runtime) + "/" + name);
}

} // namespace

std::string missing_display_reason(const std::string &toolkit_platform)
{
    if (toolkit_platform.empty() || toolkit_platform.compare(0, 3, "xcb") == 0) {
        const char *display = std::getenv("DISPLAY");
        if (!display || !*display)
            return "no display: DISPLAY is not set (QT_QPA_PLATFORM=offscreen runs without one)";
        if (!x11_display_answers(display))
            return std::string("no display: the X server of DISPLAY=") + display + " does not answer";
        return std::string();
    }
    if (toolkit_platform.compare(0, 7, "wayland") == 0 && !wayland_display_answers(std::getenv("WAYLAND_DISPLAY")))
        return "no display: no Wayland compositor answers";
    return std::string();
}

} // namespace platform
