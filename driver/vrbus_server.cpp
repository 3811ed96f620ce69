#include "driver/vrbus_server.h"

#include "platform/device_transport.h"
#include "platform/runtime_directory.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/epoll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using namespace platform::nt_status;
using namespace platform::device_transport;

namespace {

constexpr int kMaxFdsPerPacket = 4;

void put_u32(uint8_t *to, uint32_t value)
{
    std::memcpy(to, &value, 4);
}

uint32_t get_u32(const uint8_t *from)
{
    uint32_t value;
    std::memcpy(&value, from, 4);
    return value;
}

void close_all(std::vector<int> &fds)
{
    for (int fd : fds) {
        if (fd >= 0)
            ::close(fd);
    }
    fds.clear();
}

} // namespace

VrbusServer::VrbusServer() : driver_(loop_), packet_(kRequestHeaderSize + kMaxPayload)
{
}

VrbusServer::~VrbusServer()
{
    while (!connections_.empty())
        drop(connections_.begin()->second.get());
    driver_.unload();
    if (listen_fd_ >= 0) {
        loop_.unwatch(listen_watch_);
        ::close(listen_fd_);
        unlink(socket_path_.c_str());
    }
    if (lock_fd_ >= 0)
        ::close(lock_fd_);
    if (spare_fd_ >= 0)
        ::close(spare_fd_);
}

bool VrbusServer::start(std::string *error)
{
    const std::string dir = platform::runtime_directory();
    if (dir.empty() || !loop_.is_valid()) {
        *error = "no runtime directory";
        return false;
    }
    // The lock file marks the directory's daemon; a second one stops here.
    const std::string lock_path = dir + "/vrbus.lock";
    lock_fd_ = open(lock_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (lock_fd_ < 0) {
        *error = "cannot open " + lock_path + ": " + std::strerror(errno);
        return false;
    }
    if (flock(lock_fd_, LOCK_EX | LOCK_NB) != 0) {
        *error = errno == EWOULDBLOCK ? "another vrbus daemon serves " + dir
                                      : "cannot lock " + lock_path + ": " + std::strerror(errno);
        return false;
    }
    const NTSTATUS status = driver_.driver_entry();
    if (status != STATUS_SUCCESS) {
        *error = "the driver did not start (status " + std::to_string(status) + ")";
        return false;
    }

    socket_path_ = dir + "/" + kSocketName;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (socket_path_.size() >= sizeof(address.sun_path)) {
        *error = "runtime directory path too long: " + dir;
        return false;
    }
    std::memcpy(address.sun_path, socket_path_.c_str(), socket_path_.size() + 1);
    unlink(socket_path_.c_str()); // left by a daemon that did not end cleanly
    listen_fd_ = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (listen_fd_ < 0 || bind(listen_fd_, reinterpret_cast<sockaddr *>(&address), sizeof(address)) != 0
        || listen(listen_fd_, SOMAXCONN) != 0) {
        *error = "cannot listen on " + socket_path_ + ": " + std::strerror(errno);
        return false;
    }
    spare_fd_ = open("/dev/null", O_RDONLY | O_CLOEXEC);
    listen_watch_ = loop_.watch(listen_fd_, EPOLLIN, [this](uint32_t) { accept_connections(); });
    return listen_watch_ != 0;
}

void VrbusServer::run()
{
    loop_.run();
}

void VrbusServer::accept_connections()
{
    for (;;) {
        const int fd = accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED)
                continue;
            if ((errno == EMFILE || errno == ENFILE) && refuse_one_connection())
                continue;
            // Nothing waiting (or nothing to be done): the listening socket
            // is level-triggered, so a connection left waiting here would
            // wake the loop again at once.
            return;
        }
        // Only processes of the daemon's own user may open its devices.
        ucred peer{};
        socklen_t size = sizeof(peer);
        if (getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0 || peer.uid != getuid()) {
            ::close(fd);
            continue;
        }
        auto connection = std::make_unique<Connection>();
        connection->fd = fd;
        Connection *served = connection.get();
        connection->watch = loop_.watch(fd, EPOLLIN | EPOLLRDHUP,
                                        [this, served](uint32_t events) { serve(served, events); });
        if (connection->watch == 0) {
            ::close(fd);
            continue;
        }
        connections_.emplace(fd, std::move(connection));
    }
}

bool VrbusServer::refuse_one_connection()
{
    // Out of descriptors: give the spare back to take the waiting connection
    // and close it, so that its client learns at once that the open failed
    // instead of waiting while the loop spins on the ready listening socket.
    if (spare_fd_ < 0)
        return false;
    ::close(spare_fd_);
    const int fd = accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd >= 0)
        ::close(fd);
    spare_fd_ = open("/dev/null", O_RDONLY | O_CLOEXEC);
    return fd >= 0;
}

void VrbusServer::serve(Connection *connection, uint32_t events)
{
    // One request per wake-up: work that a request defers (auto responses)
    // runs before the next request is served.
    iovec part{packet_.data(), packet_.size()};
    msghdr message{};
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    alignas(cmsghdr) char control[CMSG_SPACE(kMaxFdsPerPacket * sizeof(int))];
    message.msg_control = control;
    message.msg_controllen = sizeof(control);
    const ssize_t length = recvmsg(connection->fd, &message, MSG_CMSG_CLOEXEC);
    if (length < 0 && (errno == EAGAIN || errno == EINTR))
        return;
    if (length <= 0) {
        drop(connection); // the client closed its handle
        return;
    }
    std::vector<int> fds;
    for (cmsghdr *c = CMSG_FIRSTHDR(&message); c; c = CMSG_NXTHDR(&message, c)) {
        if (c->cmsg_level != SOL_SOCKET || c->cmsg_type != SCM_RIGHTS)
            continue;
        const size_t count = (c->cmsg_len - CMSG_LEN(0)) / sizeof(int);
        for (size_t k = 0; k < count; ++k) {
            int fd;
            std::memcpy(&fd, CMSG_DATA(c) + k * sizeof(int), sizeof(int));
            fds.push_back(fd);
        }
    }
    bool keep;
    if (message.msg_flags & (MSG_TRUNC | MSG_CTRUNC)) {
        close_all(fds);
        keep = reply(connection, STATUS_INVALID_PARAMETER, 0, nullptr, 0);
    } else {
        keep = handle_packet(connection, packet_.data(), size_t(length), fds);
        close_all(fds); // descriptors the driver did not take
    }
    if (!keep)
        drop(connection);
}

bool VrbusServer::handle_packet(Connection *connection, const uint8_t *packet, size_t length, std::vector<int> &fds)
{
    if (length < kRequestHeaderSize || get_u32(packet + 8) != length - kRequestHeaderSize)
        return reply(connection, STATUS_INVALID_PARAMETER, 0, nullptr, 0);
    const uint32_t op = get_u32(packet);
    const uint32_t code = get_u32(packet + 4);
    const uint32_t in_len = get_u32(packet + 8);
    const uint32_t out_len = get_u32(packet + 12);
    const uint8_t *input = packet + kRequestHeaderSize;

    if (op == kOpOpen) {
        if (connection->device)
            return reply(connection, STATUS_INVALID_DEVICE_REQUEST, 0, nullptr, 0);
        const std::string name = canonical_device_name(std::string(reinterpret_cast<const char *>(input), in_len));
        const NTSTATUS status = driver_.open_device(name, &connection->device);
        return reply(connection, status, 0, nullptr, 0);
    }
    if (!connection->device)
        return reply(connection, STATUS_INVALID_DEVICE_REQUEST, 0, nullptr, 0);
    switch (op) {
    case kOpIoctl:
        return handle_io_control(connection, code, input, in_len, out_len, fds);
    case kOpRead: {
        // A read asks for as much as it likes and gets at most one packet's worth.
        std::vector<uint8_t> output(std::min(out_len, kMaxPayload));
        uint32_t information = 0;
        const NTSTATUS status = driver_.read(connection->device, output.data(), uint32_t(output.size()),
                                             &information);
        return reply(connection, status, information, output.data(), information);
    }
    case kOpWrite: {
        uint32_t information = 0;
        const NTSTATUS status = driver_.write(connection->device, input, in_len, &information);
        return reply(connection, status, information, nullptr, 0);
    }
    default:
        return reply(connection, STATUS_INVALID_DEVICE_REQUEST, 0, nullptr, 0);
    }
}

bool VrbusServer::handle_io_control(Connection *connection, uint32_t code, const uint8_t *input, uint32_t in_len,
                                    uint32_t out_len, std::vector<int> &fds)
{
    if (out_len > kMaxPayload)
        return reply(connection, STATUS_INVALID_PARAMETER, 0, nullptr, 0);
    IoControlRequest request;
    request.code = code;
    request.in_len = in_len;
    request.out_len = out_len;
    request.buffer.assign(std::max(in_len, out_len), 0);
    std::copy(input, input + in_len, request.buffer.begin());
    request.event_fds.swap(fds);
    const NTSTATUS status = driver_.device_control(connection->device, request);
    request.event_fds.swap(fds); // what the driver did not take is closed by the caller
    return reply(connection, status, request.information, request.buffer.data(), request.information,
                 request.reply_fd);
}

bool VrbusServer::reply(Connection *connection, NTSTATUS status, uint32_t information, const uint8_t *output,
                        uint32_t output_length, int fd)
{
    uint8_t header[kReplyHeaderSize];
    put_u32(header, status);
    put_u32(header + 4, information);
    iovec parts[2] = {{header, sizeof(header)}, {const_cast<uint8_t *>(output), output_length}};
    msghdr message{};
    message.msg_iov = parts;
    message.msg_iovlen = output_length ? 2 : 1;
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
    if (fd >= 0) {
        message.msg_control = control;
        message.msg_controllen = sizeof(control);
        cmsghdr *rights = CMSG_FIRSTHDR(&message);
        rights->cmsg_level = SOL_SOCKET;
        rights->cmsg_type = SCM_RIGHTS;
        rights->cmsg_len = CMSG_LEN(sizeof(int));
        std::memcpy(CMSG_DATA(rights), &fd, sizeof(int));
    }
    // A client that does not take its replies loses its handle rather than
    // stalling the loop.
    return sendmsg(connection->fd, &message, MSG_NOSIGNAL | MSG_DONTWAIT) >= 0;
}

void VrbusServer::drop(Connection *connection)
{
    if (connection->device)
        driver_.close_device(connection->device);
    loop_.unwatch(connection->watch);
    const int fd = connection->fd;
    ::close(fd);
    connections_.erase(fd);
}
