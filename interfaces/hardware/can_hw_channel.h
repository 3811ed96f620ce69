#pragma once
// A hardware channel object, created by a provider for one channel-info record
// and owned by the CAN interface that opened it. Every operation answers a
// CANhwStatus code; what a provider does not support answers
// canhwErrorNotImplemented.
#include "interfaces/hardware/can_hw_status.h"
#include "core/frames/vyr_can_message.h"
#include "platform/wait.h"

#include <cstdint>

// Kinds of the statistics callback.
enum CANhwStatisticKind : int32_t {
    canhwStatBusLoad = 0,        // the receiver scales the value by 0.001
    canhwStatStdFrames = 1,      // counted since the first counter report after open
    canhwStatExtFrames = 2,      // counted the same way
    canhwStatErrorFrames = 3,    // counted the same way
    canhwStatRxErrorCounter = 4,
    canhwStatTxErrorCounter = 5,
    canhwStatBusStatus = 6,      // see CANhwBusStatus
    canhwStatFrameRate = 7,      // frames per second
};

// Values of a canhwStatBusStatus report.
enum CANhwBusStatus : int32_t {
    canhwBusOff = 0,
    canhwBusErrorPassive = 1,
    canhwBusWarning = 2,
    canhwBusErrorActive = 3,
};

// The statistics callback: kind, the context given with it, the report's time
// (seconds and microseconds) and the value.
using CANhwNotifyCallback = void (*)(int32_t kind, void *context, uint32_t seconds, uint32_t microseconds,
                                     int32_t value);

class CANhwChannel
{
public:
    CANhwChannel() = default;
    virtual ~CANhwChannel();
    CANhwChannel(const CANhwChannel &) = delete;
    CANhwChannel &operator=(const CANhwChannel &) = delete;

    // True when a driver serves the channel; a connected channel that is not
    // driver-backed is served through its partner's event.
    virtual bool is_driver_backed();
    // The same value for all channels of one provider: two channels may be
    // connected or share a clock only when their values are equal.
    virtual const void *provider_data() = 0;
    // Registers the statistics callback; (null, null) clears it.
    virtual CANhwStatus set_notify_target(CANhwNotifyCallback callback, void *context) = 0;
    // lin_mode opens a hybrid CAN/LIN channel in LIN mode.
    virtual CANhwStatus open(bool lin_mode) = 0;
    virtual CANhwStatus close() = 0;
    // The CAN interface passes (0xFFF, 0xFFF) to block every standard frame
    // and (0x3FFFFFFF, 0x3FFFFFFF) to block every extended one.
    virtual CANhwStatus set_acceptance_std(uint32_t code, uint32_t mask) = 0;
    virtual CANhwStatus set_acceptance_ext(uint32_t code, uint32_t mask) = 0;
    virtual CANhwStatus buson() = 0;
    virtual CANhwStatus busoff() = 0;
    // Maps the driver's receive queue into the process; Success and
    // ErrorNotImplemented both mean success.
    virtual CANhwStatus map_rx_queue() = 0;
    virtual CANhwStatus lock_rx_queue() = 0;
    virtual CANhwStatus unlock_rx_queue() = 0;
    // Silent = listen only; ErrorNotImplemented counts as success.
    virtual CANhwStatus set_output_mode(bool silent) = 0;
    virtual CANhwStatus get_output_mode(bool *silent) = 0;
    virtual bool is_fd_capable();
    // Selects CAN FD for the next open; mode 0 ISO, 1 non-ISO.
    virtual CANhwStatus set_fd_mode(bool enable, int mode);
    virtual CANhwStatus reserved_query(uint32_t first, uint32_t second);
    // Data-phase bit timing of CAN FD.
    virtual CANhwStatus set_bus_params_fd(long bitrate, unsigned tseg1, unsigned tseg2, unsigned sjw);
    // Arbitration bit timing.
    virtual CANhwStatus set_bus_params(long bitrate, unsigned tseg1, unsigned tseg2, unsigned sjw, unsigned samples,
                                       unsigned sync_mode) = 0;
    virtual CANhwStatus get_bus_params(long *bitrate, unsigned *tseg1, unsigned *tseg2, unsigned *sjw,
                                       unsigned *samples, unsigned *sync_mode) = 0;
    // Restarts the channel's time stamps at zero.
    virtual CANhwStatus reset_clock() = 0;
    virtual CANhwStatus set_transceiver_mode(int mode) = 0;
    virtual CANhwStatus get_transceiver_mode(int *mode) = 0;
    // Each asks for one report, delivered through the statistics callback.
    virtual CANhwStatus request_statistic(int period) = 0;
    virtual CANhwStatus request_chip_state(int period) = 0;
    // The event signalled when frames or reports wait.
    virtual CANhwStatus get_event_handle(platform::WaitHandle *handle) = 0;
    // A handle that the receive thread waits on beside the event: ready when
    // the channel's driver connection is lost, which read_can_message then
    // reports as canhwErrorBrokenLink. It stays ready until the channel
    // closes. fd -1 and canhwErrorNotImplemented for a channel without one.
    virtual CANhwStatus get_connection_handle(platform::WaitHandle *handle);
    // Transmits one frame; a channel may add flags to the record (the FD flag
    // for more than 8 data bytes).
    virtual CANhwStatus write(VyrCanMessage &message) = 0;
    // Transmits frames in order, as write() does each, and stops at the first
    // that does not go out: *written counts those that went, the result is
    // that frame's (canhwSuccess when all went). A channel may send them all
    // in one call to its driver.
    virtual CANhwStatus write_frames(VyrCanMessage *messages, unsigned count, unsigned *written);
    // canhwSuccess when a frame was read, canhwNoMessage when none waits,
    // canhwErrorBrokenLink when none waits and the driver connection is lost.
    virtual CANhwStatus read_can_message(VyrCanMessage *message) = 0;
    // The frames the driver dropped for want of room in the receive queue
    // (its overrun count) up to the frames read so far, not yet taken; false
    // for a channel that does not count them. The frame after an overrun
    // carries the flag HardwareOverrun.
    virtual bool take_lost_frames(uint32_t *count);
    // The index by which received entries name this channel.
    virtual CANhwStatus set_channel_index(int index) = 0;
    virtual CANhwStatus flush_rx_queue() = 0;
    // Connects this channel to the partner's receive path.
    virtual CANhwStatus connect_channel(CANhwChannel *partner) = 0;
    // Takes over the other channel's clock.
    virtual CANhwStatus set_clock_offset(CANhwChannel *other) = 0;
    // Moves this channel's clock back.
    virtual CANhwStatus adjust_clock_offset(int milliseconds) = 0;
    // Lets the driver signal the channel event on timer ticks.
    virtual CANhwStatus enable_timer_events(bool on) = 0;
    // Switches on the echo of transmitted frames.
    virtual CANhwStatus enable_tx_ack() = 0;
    // A second entry with the role of enable_tx_ack; providers give it the same body.
    virtual CANhwStatus enable_tx_ack_again() = 0;
    // Script vivOzozavSendBlock.
    virtual CANhwStatus driver_send_block(uint32_t first, uint32_t second, uint32_t third) = 0;
    virtual CANhwStatus reserved_block(uint32_t first, uint32_t second, uint32_t third) = 0;
    // Script vivOzozavSendCommand.
    virtual CANhwStatus driver_send_command(uint32_t first, uint32_t second, uint32_t third, uint32_t fourth) = 0;
};
