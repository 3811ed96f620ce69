#pragma once
// The wire format between a device client and the daemon that owns the
// devices (vrbus). One AF_UNIX SOCK_SEQPACKET connection is one open handle.
//
// Request packet: u32 op, u32 code, u32 in_len, u32 out_len, then in_len
// input bytes. Reply packet: u32 status (NTSTATUS), u32 information, then the
// output bytes. All integers are little-endian. File descriptors travel with
// a packet as SCM_RIGHTS: event fds with the control codes that name events,
// the receive queue's memfd with the reply of the map control code.
#include "platform/nt_status.h"
#include "platform/vrbus_contract.h"
#include "platform/wait.h"

#include <atomic>
#include <cstdint>
#include <cstddef>
#include <mutex>
#include <string>

namespace platform {
namespace device_transport {

// The socket inside the runtime directory.
constexpr const char *kSocketName = "vrbus.sock";

enum Op : uint32_t {
    kOpOpen = 1,  // input: the device name; must be the first request
    kOpIoctl = 2, // code: the control code; out_len: the output buffer size
    kOpRead = 3,  // out_len: bytes wanted; the reply carries whole records
    kOpWrite = 4, // input: the records; information: bytes written
};

constexpr uint32_t kRequestHeaderSize = 16;
constexpr uint32_t kReplyHeaderSize = 8;

// The largest input or output a packet carries. A read asking for more gets
// at most this many bytes; the client splits longer writes into packets of
// whole records below it.
constexpr uint32_t kMaxPayload = 32 * 1024;

// Number of leading input words of a control code that name events: on the
// wire every non-zero handle word is replaced by an eventfd passed with the
// packet, in word order. The map code's reply carries the receive queue's
// memfd instead, its 4-byte output being the queue's size in bytes.
inline uint32_t event_words_of(uint32_t code)
{
    switch (code) {
    case vrbus::code::kSetNotification: return 1;
    case vrbus::code::kSetEvents: return vrbus::event_slot::kCount;
    default: return 0;
    }
}

// The device name as the daemon knows it: a leading "\\.\" is dropped and
// the name compares without regard to case.
std::string canonical_device_name(const std::string &name);

// The daemon's socket path in the runtime directory.
std::string socket_path();

// How long a call waits for the daemon's reply unless the environment
// variable VRBUS_REPLY_TIMEOUT_MS names another time (a daemon under a
// debugger or a memory checker needs more).
constexpr int kDefaultReplyTimeoutMs = 5000;

} // namespace device_transport

// One open handle of a daemon-owned device, the client end of the transport.
// Calls return a system error number (0 on success) made from the reply's
// NTSTATUS (last_status()); the calls of one object are serialised, so
// several threads may share it. A call whose reply does not come within the
// reply time-out fails with the not-ready error (21) and ends the
// connection, since a late reply would answer the next call.
class DeviceFile
{
public:
    DeviceFile() = default;
    ~DeviceFile();
    DeviceFile(const DeviceFile &) = delete;
    DeviceFile &operator=(const DeviceFile &) = delete;

    // Opens a device by name ("vrbus0a.init", "\\.\vrbus0a.2"). A missing
    // daemon answers as a missing device (2).
    int open(const std::string &device_name);
    // Closes the handle; the receive queue mapping goes with it.
    void close();
    bool is_open() const;

    // A control request. For the codes that name events the input words are
    // eventfds of this process (0 = none), passed to the daemon. The map code
    // is refused here (87): use map_rx_queue.
    int io_control(uint32_t code, const void *input, uint32_t in_len, void *output, uint32_t out_len,
                   uint32_t *bytes_returned = nullptr);
    // Reads whole 22-byte records; *bytes_read is 0 when none waits.
    int read(void *buffer, uint32_t length, uint32_t *bytes_read);
    // Writes records (any number; long writes go as several requests).
    int write(const void *buffer, uint32_t length, uint32_t *bytes_written);

    // Maps the handle's receive queue into this process and gives its address
    // (the queue header first); later calls give the same address.
    int map_rx_queue(void **address);
    // The mapped queue, nullptr when none.
    void *rx_queue() const;

    // The NTSTATUS of the last reply.
    NTSTATUS last_status() const;

    // The handle's socket for a wait set: ready when the daemon hung up (and
    // for a moment while another thread's reply arrives), so that a thread
    // that waits on its notification event also learns that the daemon is
    // gone. It stays ready once the connection is lost; fd -1 when closed.
    WaitHandle connection_handle() const { return WaitHandle{socket_.load(), false}; }
    // True when the daemon hung up or a call timed out: every call fails
    // with the not-ready error from then on. Does not wait for other calls.
    bool connection_lost() const;

private:
    struct Reply
    {
        NTSTATUS status = 0;
        uint32_t information = 0;
        int fd = -1; // a descriptor passed with the reply, owned by the caller
    };
    // Sends one request and receives its reply; output gets the reply's bytes.
    int transact(uint32_t op, uint32_t code, const void *input, uint32_t in_len, const int *fds, int fd_count,
                 void *output, uint32_t out_len, Reply *reply);
    void unmap_locked();

    mutable std::mutex mutex_;
    std::atomic<int> socket_{-1}; // read without the lock by connection_handle() and connection_lost()
    int reply_timeout_ms_ = device_transport::kDefaultReplyTimeoutMs;
    NTSTATUS last_status_ = nt_status::STATUS_SUCCESS;
    void *mapping_ = nullptr;
    size_t mapping_size_ = 0;
    uint64_t mapped_device_ = 0; // identity of the mapped queue's memfd
    uint64_t mapped_inode_ = 0;
};

} // namespace platform
