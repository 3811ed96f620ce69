#include "platform/device_transport.h"

#include "settings/debug_trace.h"
#include "platform/runtime_directory.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <poll.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace platform {

namespace device_transport {

std::string canonical_device_name(const std::string &name)
{
    std::string result = name.compare(0, 4, "\\\\.\\") == 0 ? name.substr(4) : name;
    std::transform(result.begin(), result.end(), result.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return result;
}

std::string socket_path()
{
    const std::string dir = runtime_directory();
    return dir.empty() ? std::string() : dir + "/" + kSocketName;
}

} // namespace device_transport

using namespace device_transport;

namespace {

// How long a close waits for the daemon to close the handle.
constexpr int kCloseTimeoutMs = 2000;

void put_u32(uint8_t *to, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        to[i] = uint8_t(value >> (8 * i));
}

uint32_t get_u32(const uint8_t *from)
{
    return uint32_t(from[0]) | uint32_t(from[1]) << 8 | uint32_t(from[2]) << 16 | uint32_t(from[3]) << 24;
}

int reply_timeout_from_environment()
{
    const char *value = std::getenv("VRBUS_REPLY_TIMEOUT_MS");
    const long ms = value ? std::strtol(value, nullptr, 10) : 0;
    return ms > 0 && ms <= 24 * 3600 * 1000 ? int(ms) : kDefaultReplyTimeoutMs;
}

// Waits until the socket has a reply to take; false after timeout_ms.
bool wait_for_reply(int socket, int timeout_ms)
{
    pollfd reply{socket, POLLIN, 0};
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        const int ready = poll(&reply, 1, int(std::max<int64_t>(left.count(), 0)));
        if (ready != 0 && !(ready < 0 && errno == EINTR))
            return true; // a reply, a hang-up or an error: recvmsg tells which
        if (ready == 0)
            return false;
    }
}

} // namespace

DeviceFile::~DeviceFile()
{
    close();
}

int DeviceFile::open(const std::string &device_name)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (socket_ >= 0)
        return system_error::INVALID_PARAMETER;
    const std::string path = socket_path();
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof(address.sun_path))
        return system_error::FILE_NOT_FOUND;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    socket_ = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    if (socket_ < 0) {
        debug_trace("DeviceFile::open: socket failed: %s", std::strerror(errno));
        return system_error::NOT_READY;
    }
    reply_timeout_ms_ = reply_timeout_from_environment();
    if (connect(socket_, reinterpret_cast<sockaddr *>(&address), sizeof(address)) != 0) {
        debug_trace("DeviceFile::open: connect to %s failed: %s", path.c_str(), std::strerror(errno));
        ::close(socket_);
        socket_ = -1;
        last_status_ = nt_status::STATUS_OBJECT_NAME_NOT_FOUND; // no daemon: no such device
        return system_error::FILE_NOT_FOUND;
    }
    const std::string name = canonical_device_name(device_name);
    Reply reply;
    const int error = transact(kOpOpen, 0, name.data(), uint32_t(name.size()), nullptr, 0, nullptr, 0, &reply);
    if (error != 0 || reply.status != nt_status::STATUS_SUCCESS) {
        ::close(socket_);
        socket_ = -1;
    }
    return error != 0 ? error : system_error_from_ntstatus(reply.status);
}

void DeviceFile::close()
{
    std::lock_guard<std::mutex> lock(mutex_);
    unmap_locked();
    if (socket_ < 0)
        return;
    // Closing is complete when the daemon has closed the handle and hung up,
    // so that the device can be opened again at once.
    shutdown(socket_, SHUT_WR);
    pollfd hang_up{socket_, POLLIN, 0};
    char ignored;
    while (poll(&hang_up, 1, kCloseTimeoutMs) == 1 && recv(socket_, &ignored, 1, 0) > 0) {
    }
    ::close(socket_);
    socket_ = -1;
}

bool DeviceFile::is_open() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return socket_ >= 0;
}

int DeviceFile::io_control(uint32_t code, const void *input, uint32_t in_len, void *output, uint32_t out_len,
                           uint32_t *bytes_returned)
{
    if (bytes_returned)
        *bytes_returned = 0;
    if (code == vrbus::code::kMapRxQueue || in_len > kMaxPayload || out_len > kMaxPayload || (in_len && !input)
        || (out_len && !output))
        return system_error::INVALID_PARAMETER;
    // Event handle words become descriptors passed with the request.
    int fds[4];
    int fd_count = 0;
    const uint32_t words = std::min(event_words_of(code), in_len / 4);
    for (uint32_t i = 0; i < words; ++i) {
        const uint32_t word = get_u32(static_cast<const uint8_t *>(input) + 4 * i);
        if (word != 0)
            fds[fd_count++] = int(word);
    }
    std::lock_guard<std::mutex> lock(mutex_);
    Reply reply;
    const int error = transact(kOpIoctl, code, input, in_len, fds, fd_count, output, out_len, &reply);
    if (reply.fd >= 0)
        ::close(reply.fd); // no other control code passes a descriptor back
    if (error != 0)
        return error;
    if (bytes_returned)
        *bytes_returned = reply.information;
    if (code == vrbus::code::kUnmapRxQueue && reply.status == nt_status::STATUS_SUCCESS)
        unmap_locked();
    return system_error_from_ntstatus(reply.status);
}

int DeviceFile::read(void *buffer, uint32_t length, uint32_t *bytes_read)
{
    *bytes_read = 0;
    const uint32_t wanted = std::min(length, kMaxPayload - kMaxPayload % vrbus::record::kSize);
    std::lock_guard<std::mutex> lock(mutex_);
    Reply reply;
    const int error = transact(kOpRead, 0, nullptr, 0, nullptr, 0, buffer, wanted, &reply);
    if (error != 0)
        return error;
    *bytes_read = reply.information;
    return system_error_from_ntstatus(reply.status);
}

int DeviceFile::write(const void *buffer, uint32_t length, uint32_t *bytes_written)
{
    *bytes_written = 0;
    const uint32_t chunk = kMaxPayload - kMaxPayload % vrbus::record::kSize;
    const uint8_t *bytes = static_cast<const uint8_t *>(buffer);
    std::lock_guard<std::mutex> lock(mutex_);
    uint32_t done = 0;
    do {
        const uint32_t part = std::min(chunk, length - done);
        Reply reply;
        const int error = transact(kOpWrite, 0, bytes + done, part, nullptr, 0, nullptr, 0, &reply);
        if (error != 0)
            return error;
        *bytes_written += reply.information;
        if (reply.status != nt_status::STATUS_SUCCESS || reply.information < part)
            return system_error_from_ntstatus(reply.status);
        done += part;
    } while (done < length);
    return system_error::NO_ERROR;
}

int DeviceFile::map_rx_queue(void **address)
{
    *address = nullptr;
    std::lock_guard<std::mutex> lock(mutex_);
    const uint32_t reserved = 0;
    uint8_t size_bytes[4] = {};
    Reply reply;
    const int error = transact(kOpIoctl, vrbus::code::kMapRxQueue, &reserved, 4, nullptr, 0, size_bytes, 4, &reply);
    if (error != 0)
        return error;
    if (reply.status != nt_status::STATUS_SUCCESS || reply.fd < 0) {
        if (reply.fd >= 0)
            ::close(reply.fd);
        // A success without the queue's descriptor maps nothing.
        return reply.status != nt_status::STATUS_SUCCESS ? system_error_from_ntstatus(reply.status)
                                                         : system_error::GEN_FAILURE;
    }
    struct stat queue_file;
    if (fstat(reply.fd, &queue_file) != 0) {
        debug_trace("DeviceFile::map_rx_queue: fstat of the queue failed: %s", std::strerror(errno));
        ::close(reply.fd);
        return system_error::GEN_FAILURE;
    }
    if (mapping_) {
        // The same queue keeps its address; a queue that replaced it is mapped anew.
        if (mapped_device_ == queue_file.st_dev && mapped_inode_ == queue_file.st_ino) {
            ::close(reply.fd);
            *address = mapping_;
            return system_error_from_ntstatus(reply.status);
        }
        unmap_locked();
    }
    const size_t size = get_u32(size_bytes);
    void *memory = size ? mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, reply.fd, 0) : MAP_FAILED;
    if (memory == MAP_FAILED)
        debug_trace("DeviceFile::map_rx_queue: mmap of %zu bytes failed: %s", size,
                    size ? std::strerror(errno) : "the queue is empty");
    ::close(reply.fd);
    if (memory == MAP_FAILED)
        return system_error::GEN_FAILURE;
    mapping_ = memory;
    mapping_size_ = size;
    mapped_device_ = queue_file.st_dev;
    mapped_inode_ = queue_file.st_ino;
    *address = mapping_;
    return system_error_from_ntstatus(reply.status);
}

void *DeviceFile::rx_queue() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return mapping_;
}

NTSTATUS DeviceFile::last_status() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return last_status_;
}

bool DeviceFile::connection_lost() const
{
    // A hang-up of the daemon, or the shutdown after a time-out, shuts both
    // directions; a reply on its way only makes the socket readable.
    pollfd state{socket_.load(), POLLIN, 0};
    return state.fd >= 0 && poll(&state, 1, 0) == 1 && (state.revents & (POLLHUP | POLLERR));
}

int DeviceFile::transact(uint32_t op, uint32_t code, const void *input, uint32_t in_len, const int *fds,
                         int fd_count, void *output, uint32_t out_len, Reply *reply)
{
    if (socket_ < 0)
        return system_error::INVALID_HANDLE;
    uint8_t header[kRequestHeaderSize];
    put_u32(header, op);
    put_u32(header + 4, code);
    put_u32(header + 8, in_len);
    put_u32(header + 12, out_len);
    iovec request[2] = {{header, sizeof(header)}, {const_cast<void *>(input), in_len}};
    msghdr message{};
    message.msg_iov = request;
    message.msg_iovlen = in_len ? 2 : 1;
    alignas(cmsghdr) char control[CMSG_SPACE(4 * sizeof(int))] = {};
    if (fd_count > 0) {
        message.msg_control = control;
        message.msg_controllen = CMSG_SPACE(fd_count * sizeof(int));
        cmsghdr *rights = CMSG_FIRSTHDR(&message);
        rights->cmsg_level = SOL_SOCKET;
        rights->cmsg_type = SCM_RIGHTS;
        rights->cmsg_len = CMSG_LEN(fd_count * sizeof(int));
        std::memcpy(CMSG_DATA(rights), fds, fd_count * sizeof(int));
    }
    ssize_t sent;
    do
        sent = sendmsg(socket_, &message, MSG_NOSIGNAL);
    while (sent < 0 && errno == EINTR);
    if (sent < 0) {
        const int error = errno;
        debug_trace("DeviceFile::transact: sendmsg failed: %s", std::strerror(error));
        last_status_ = nt_status::STATUS_DEVICE_NOT_READY;
        return error == EBADF ? system_error::INVALID_HANDLE : system_error::NOT_READY;
    }
    if (!wait_for_reply(socket_, reply_timeout_ms_)) {
        debug_trace("DeviceFile::transact: no reply to request %u (code 0x%x) within %d ms: the daemon is stopped "
                    "or hangs; the handle is given up",
                    op, code, reply_timeout_ms_);
        shutdown(socket_, SHUT_RDWR);
        last_status_ = nt_status::STATUS_DEVICE_NOT_READY;
        return system_error::NOT_READY;
    }

    uint8_t reply_header[kReplyHeaderSize];
    uint8_t overflow; // receives a byte only when a reply is longer than asked for
    iovec response[3];
    int parts = 0;
    response[parts++] = {reply_header, sizeof(reply_header)};
    if (out_len)
        response[parts++] = {output, out_len};
    response[parts++] = {&overflow, 1};
    msghdr answer{};
    answer.msg_iov = response;
    answer.msg_iovlen = parts;
    alignas(cmsghdr) char answer_control[CMSG_SPACE(sizeof(int))];
    answer.msg_control = answer_control;
    answer.msg_controllen = sizeof(answer_control);
    ssize_t received;
    do
        received = recvmsg(socket_, &answer, MSG_CMSG_CLOEXEC);
    while (received < 0 && errno == EINTR);
    for (cmsghdr *c = CMSG_FIRSTHDR(&answer); c; c = CMSG_NXTHDR(&answer, c)) {
        if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_RIGHTS) {
            const size_t count = (c->cmsg_len - CMSG_LEN(0)) / sizeof(int);
            for (size_t i = 0; i < count; ++i) {
                int fd;
                std::memcpy(&fd, CMSG_DATA(c) + i * sizeof(int), sizeof(int));
                if (reply->fd < 0)
                    reply->fd = fd;
                else
                    ::close(fd);
            }
        }
    }
    // A lost daemon or a malformed reply leaves the device unusable.
    if (received < ssize_t(kReplyHeaderSize) || size_t(received) > kReplyHeaderSize + out_len
        || (answer.msg_flags & (MSG_TRUNC | MSG_CTRUNC))) {
        if (received < 0)
            debug_trace("DeviceFile::transact: recvmsg failed: %s", std::strerror(errno));
        else if (received == 0)
            debug_trace("DeviceFile::transact: no reply to op %u: the daemon hung up", op);
        else
            debug_trace("DeviceFile::transact: reply of %zd bytes to op %u is no reply of at most %u bytes",
                        received, op, unsigned(kReplyHeaderSize + out_len));
        if (reply->fd >= 0) {
            ::close(reply->fd);
            reply->fd = -1;
        }
        last_status_ = nt_status::STATUS_DEVICE_NOT_READY;
        return system_error::NOT_READY;
    }
    reply->status = get_u32(reply_header);
    const uint32_t information = get_u32(reply_header + 4);
    // information counts the output bytes that follow, or for a write the bytes written.
    reply->information = std::min(information, op == kOpWrite ? in_len : uint32_t(received) - kReplyHeaderSize);
    last_status_ = reply->status;
    return system_error::NO_ERROR;
}

void DeviceFile::unmap_locked()
{
    if (mapping_) {
        munmap(mapping_, mapping_size_);
        mapping_ = nullptr;
        mapping_size_ = 0;
    }
}

} // namespace platform
