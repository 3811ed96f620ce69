#pragma once
// The vrbus daemon's server: it hosts the driver on the event loop and
// carries the device transport (see platform/device_transport.h). It listens
// on the socket in the runtime directory, takes connections of its own user
// only, and turns each packet into an open, control, read or write request
// of the driver; one connection is one open handle, closed with it.
#include "driver/event_loop.h"
#include "driver/vrbus_driver.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

class VrbusServer
{
public:
    VrbusServer();
    // Closes every handle, unloads the driver and removes the socket.
    ~VrbusServer();
    VrbusServer(const VrbusServer &) = delete;
    VrbusServer &operator=(const VrbusServer &) = delete;

    // Starts the driver and listens; false with a message when the daemon
    // cannot run (another one owns the runtime directory, no socket, the
    // driver failed to start).
    bool start(std::string *error);
    // Serves until stop().
    void run();
    // Ends run(); safe from any thread and from a signal handler.
    void stop() { loop_.stop(); }

private:
    struct Connection
    {
        int fd = -1;
        uint64_t watch = 0;
        device_object *device = nullptr;
    };

    void accept_connections();
    // Takes one waiting connection and closes it; false when none was taken.
    bool refuse_one_connection();
    void serve(Connection *connection, uint32_t events);
    // Handles one request packet; false when the connection must go.
    bool handle_packet(Connection *connection, const uint8_t *packet, size_t length, std::vector<int> &fds);
    bool handle_io_control(Connection *connection, uint32_t code, const uint8_t *input, uint32_t in_len,
                           uint32_t out_len, std::vector<int> &fds);
    bool reply(Connection *connection, NTSTATUS status, uint32_t information, const uint8_t *output,
               uint32_t output_length, int fd = -1);
    void drop(Connection *connection);

    EventLoop loop_;
    VrbusDriver driver_;
    std::string socket_path_;
    int lock_fd_ = -1;
    int listen_fd_ = -1;
    // Held open so that a connection can still be taken and closed when the
    // process is out of descriptors (see accept_connections).
    int spare_fd_ = -1;
    uint64_t listen_watch_ = 0;
    std::map<int, std::unique_ptr<Connection>> connections_; // by socket

    std::vector<uint8_t> packet_;
};
