#pragma once
// A channel of the Vindra provider: maps every framework operation onto the
// driver access layer and reads received frames and statistics straight from
// the receive queue that the driver maps into the process.
#include "interfaces/hardware/can_hw_channel.h"

#include <atomic>
#include <mutex>

namespace platform {
class DeviceFile;
}

class CANhwChannelVindra : public CANhwChannel
{
public:
    // channel_index: the channel's index in the access layer's channel table.
    CANhwChannelVindra(int channel_index, uint32_t capability);
    ~CANhwChannelVindra() override;

    // The identity that provider_data() answers for every Vindra channel.
    static const void *provider_identity();

    bool is_driver_backed() override { return true; }
    const void *provider_data() override { return provider_identity(); }
    CANhwStatus set_notify_target(CANhwNotifyCallback callback, void *context) override;
    CANhwStatus open(bool lin_mode) override;
    CANhwStatus close() override;
    CANhwStatus set_acceptance_std(uint32_t code, uint32_t mask) override;
    CANhwStatus set_acceptance_ext(uint32_t code, uint32_t mask) override;
    CANhwStatus buson() override;
    CANhwStatus busoff() override;
    CANhwStatus map_rx_queue() override;
    CANhwStatus lock_rx_queue() override;
    CANhwStatus unlock_rx_queue() override;
    CANhwStatus set_output_mode(bool silent) override;
    CANhwStatus get_output_mode(bool *silent) override;
    bool is_fd_capable() override;
    CANhwStatus set_fd_mode(bool enable, int mode) override;
    CANhwStatus reserved_query(uint32_t first, uint32_t second) override;
    CANhwStatus set_bus_params_fd(long bitrate, unsigned tseg1, unsigned tseg2, unsigned sjw) override;
    CANhwStatus set_bus_params(long bitrate, unsigned tseg1, unsigned tseg2, unsigned sjw, unsigned samples,
                               unsigned sync_mode) override;
    CANhwStatus get_bus_params(long *bitrate, unsigned *tseg1, unsigned *tseg2, unsigned *sjw, unsigned *samples,
                               unsigned *sync_mode) override;
    CANhwStatus reset_clock() override;
    CANhwStatus set_transceiver_mode(int mode) override;
    CANhwStatus get_transceiver_mode(int *mode) override;
    CANhwStatus request_statistic(int period) override;
    CANhwStatus request_chip_state(int period) override;
    CANhwStatus get_event_handle(platform::WaitHandle *handle) override;
    // The device's socket to the vrbus daemon.
    CANhwStatus get_connection_handle(platform::WaitHandle *handle) override;
    CANhwStatus write(VyrCanMessage &message) override;
    CANhwStatus write_frames(VyrCanMessage *messages, unsigned count, unsigned *written) override;
    CANhwStatus read_can_message(VyrCanMessage *message) override;
    bool take_lost_frames(uint32_t *count) override;
    CANhwStatus set_channel_index(int index) override;
    CANhwStatus flush_rx_queue() override;
    CANhwStatus connect_channel(CANhwChannel *partner) override;
    CANhwStatus set_clock_offset(CANhwChannel *other) override;
    CANhwStatus adjust_clock_offset(int milliseconds) override;
    CANhwStatus enable_timer_events(bool on) override;
    CANhwStatus enable_tx_ack() override;
    CANhwStatus enable_tx_ack_again() override { return enable_tx_ack(); }
    CANhwStatus driver_send_block(uint32_t, uint32_t, uint32_t) override { return canhwErrorNotImplemented; }
    CANhwStatus reserved_block(uint32_t, uint32_t, uint32_t) override { return canhwErrorNotImplemented; }
    CANhwStatus driver_send_command(uint32_t, uint32_t, uint32_t, uint32_t) override
    {
        return canhwErrorNotImplemented;
    }

    // The status code of an access-layer result.
    static CANhwStatus status_from_result(int result);

    // The mapped receive queue, null when none (for tests that fill it).
    uint8_t *rx_queue() const { return rx_queue_; }
    CANhwChannelVindra *partner() const { return partner_; }

private:
    // Baselines and previous values of the two counter reports.
    struct Statistics
    {
        bool has_std_baseline = false;
        uint32_t std_baseline = 0;   // standard frames (both counters) at the first report
        uint32_t error_baseline = 0; // error frames at the first report
        bool has_ext_baseline = false;
        uint32_t ext_baseline = 0;
        int32_t std_count = 0;       // last kind-1 value
        int32_t ext_count = 0;       // last kind-2 value
        uint32_t std_time = 0;       // time of the last counter reports, ms
        uint32_t ext_time = 0;
        int32_t previous_total = 0;
        uint32_t previous_rate_time = 0;
    };
    // An entry's time as the channel's time line: milliseconds and hundredths,
    // and as seconds and microseconds for reports.
    struct EntryTime
    {
        uint32_t ms;
        uint8_t fraction;
        uint32_t seconds;
        uint32_t microseconds;
    };

    bool has_device() const { return device_ != nullptr; }
    void notify(int32_t kind, const EntryTime &time, int32_t value);
    EntryTime convert_time(uint32_t units);
    void take_frame_counters(const uint8_t *entry, const EntryTime &time);
    void take_ext_frame_counters(const uint8_t *entry, const EntryTime &time);
    void after_counter_report(const EntryTime &time);
    void take_chip_state(const uint8_t *entry, const EntryTime &time);
    // The channel that the entry's channel byte names: this or a connected one.
    CANhwChannelVindra *channel_of_entry(uint8_t index);
    void leave_partner();
    void release_connected();

    uint32_t fd_open_flags_ = 0;
    bool opened_for_fd_ = false;
    CANhwNotifyCallback callback_ = nullptr;
    void *context_ = nullptr;
    int channel_index_;
    int handle_ = -1;
    platform::DeviceFile *device_ = nullptr;
    uint8_t *rx_queue_ = nullptr;
    // The queue's overrun count up to the last frame read, and the part of it
    // not yet taken.
    uint32_t overruns_seen_ = 0;
    uint32_t lost_frames_ = 0;
    std::atomic<int> own_index_{-1};
    uint32_t time_base_ = 0;          // raw driver time already folded into whole seconds
    uint32_t seconds_ = 0;            // whole seconds since the clock base
    uint32_t milliseconds_of_seconds_ = 0;
    // Set by reset_clock on the GUI thread, taken by the reader: for a
    // connected channel that is the partner's realtime thread, which goes on
    // reading while this channel is set up.
    std::atomic<bool> clock_reset_pending_{true};
    uint32_t capability_;
    CANhwChannelVindra *partner_ = nullptr;
    CANhwChannelVindra *connected_head_ = nullptr;
    CANhwChannelVindra *connected_tail_ = nullptr;
    CANhwChannelVindra *next_ = nullptr; // link in the partner's connected list
    // Held by this channel's reader while it serves entries, and by whoever
    // changes the connected list or the callback of this channel or of a
    // connected one: those change on the GUI thread while this channel's
    // realtime thread may still read (a connected channel stops and is
    // deleted while its partner runs on).
    std::mutex connected_mutex_;
    long fd_bitrate_ = 2000000;
    unsigned fd_tseg1_ = 2, fd_tseg2_ = 1, fd_sjw_ = 1;
    Statistics statistics_;
};
