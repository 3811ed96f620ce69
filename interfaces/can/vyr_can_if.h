#pragma once
// The interface of a CAN or CAN FD channel ("CAN", "CAN-RX" and, in LIN mode,
// "LIN"): its configuration, the channel start that opens and sets up its
// hardware channel through the hardware framework, going on bus, stop, the
// bus statistics that the channel reports and the global CAN channel table.
#include "core/realtime_published.h"
#include "core/time_base.h"
#include "core/timer_wheel.h"
#include "core/vyr_signal_if.h"
#include "interfaces/can/id_formatter.h"
#include "interfaces/can/vyr_acceptance_filter.h"
#include "interfaces/can/vyr_message_queue.h"
#include "interfaces/hardware/can_hw_channel.h"

#include <QDateTime>
#include <QStringList>

#include <array>
#include <atomic>
#include <memory>
#include <unordered_map>
#include <vector>

class CANdbCluster;
class VyrScriptRuntime;
class VyrTriggerCond;
class CANdbMessageDataTable;
struct CANdbSignalValue;
class CANhwChannelInfo;
class VyrCanScriptBinding;
class VyrStatisticTimer;

// What sends a frame from a timer-wheel expiry through
// VyrCanIf::send_at_step_end: told at the end of the step whether it went out.
class VyrStepSender
{
public:
    virtual void frame_sent(bool sent) = 0;

protected:
    ~VyrStepSender() = default;
};

class VyrCanIf : public VyrSignalIf
{
public:
    // Kinds of the statistics reports, in the order of their notification codes.
    enum Statistic {
        BusLoad,
        StandardMessages,
        ExtendedMessages,
        ErrorFrames,
        RxErr,
        TxErr,
        BusStatus,
        MessageRate,
        statistic_count
    };
    static constexpr int statistic_period_ms = 1000;
    static constexpr const char *not_assigned_channel = "--- Not Assigned ---";
    // Bit 31 of a message key marks an extended identifier.
    static constexpr uint32_t extended_key_bit = 0x80000000;
    static constexpr int send_buffer_buckets = 2048;
    // Keys of the script's message handlers beside the message keys.
    static constexpr uint32_t catch_all_key = 0x7FFF0000;
    static constexpr uint32_t error_frame_key = 0xFFFFFFFF;
    // Keys of the trigger conditions: bit 30 marks a remote frame, and every
    // error frame has one key.
    static constexpr uint32_t remote_trigger_bit = 0x40000000;
    static constexpr uint32_t error_frame_trigger_key = 65535;
    static constexpr int trigger_buckets = 2048;

    // type_name "CAN", "CAN-RX" or "LIN"; the registry factories build every
    // CAN interface and then read its configuration group.
    VyrCanIf(const char *type_name, QObject *owner, VyrSignalIfNotification *notification);
    ~VyrCanIf() override;

    // The CAN interface of an interface that offers CAN frames; null for any
    // other interface and for null.
    static VyrCanIf *of(VyrSignalIf *signal_if);

    // Reads the interface's configuration group (null for a new interface).
    void read_configuration(QtbConfigGroup *group);

    // --- Operations of the interface kinds ----------------------------------
    // Connected interfaces start after the others.
    int start_order() const override;
    int basic_definitions() override;
    // Preselects the first free channel.
    void init_new() override;
    QString info_text() const override;
    int script_struct_type(const char *name, void *parser_context) override;
    // The transport channels of CanTpMessage hooks go before the script compiles again.
    void before_reload() override;
    // The "Transport Layer" packets of the transport channels.
    int packet_source_count() const override { return 1; }
    VyrPacketSource *packet_source(int index) const override;
    // CAN frame records besides what every interface offers.
    unsigned offered_kinds() const override;
    // Reads as the base class does, and always succeeds.
    int read_script_signal(VyrSignalEntry *entry, SignalValue &value) override;
    // A database signal's value goes into its message's send buffer.
    int write_script_signal(VyrSignalEntry *entry, const SignalValue &value) override;
    // The database files count as script files: they are watched and reloaded.
    bool has_script_file() const override;
    int reload_script() override;
    // Asks about database files changed on disk (or reloads them without
    // asking, as the user prefers), then about the script file; 1 abandons
    // the measurement start, -1 when the channel is gone.
    int check_script_file_modified(QWidget *parent) override;
    // Relative database file names become absolute against old_dir.
    void rebase_script_file_path(const QString &old_dir, const QString &new_dir) override;
    // Flag DatabaseBound makes a signal bound to a database signal.
    SignalRecord *new_signal(const char *name, uint32_t flags) override;
    // The receive loop: reads and dispatches every waiting frame.
    int cyclic() override;
    int prepare_start() override;
    // The channel start.
    int startup() override;
    // Bus on and the statistics timer.
    int go_online() override;
    // The thread, unless a partner interface serves this one's channel.
    int start() override;
    int stop() override;
    void write_configuration(QtbConfig &config) override;
    bool configure(QWidget *parent) override;

    // --- Settings -------------------------------------------------------------
    void set_bit_timing(int bitrate, int tseg1, int tseg2, int sjw, int samples);
    void set_fd_timing(bool enabled, int clock, int prescaler, int tseg1, int tseg2, int sjw);
    // Sets the hardware channel name and forgets the substitute.
    void set_channel_name(const QString &name);
    void set_channel_user_name(const QString &name) { m_channel_user_name = name; }
    void set_protocol_mode(int mode) { m_protocol_mode = mode; }
    // Also gives the interface the formatter registered under that name (none when there is none).
    void set_protocol_plugin_name(const QString &name);
    void set_silent_mode(bool silent) { m_silent_mode = silent; }
    void set_connect_to_channel(const QString &id) { m_connect_to_channel = id; }
    void set_database_files(const QStringList &files) { m_database_files = files; }

    int bitrate() const { return m_bitrate; }
    int tseg1() const { return m_tseg1; }
    int tseg2() const { return m_tseg2; }
    int sjw() const { return m_sjw; }
    int samples() const { return m_samples; }
    bool silent_mode() const { return m_silent_mode; }
    bool canfd_enabled() const { return m_canfd_enabled; }
    int canfd_mode() const { return m_canfd_mode; }
    int brs_clock() const { return m_brs_clock; }
    int brs_prescaler() const { return m_brs_prescaler; }
    int brs_tseg1() const { return m_brs_tseg1; }
    int brs_tseg2() const { return m_brs_tseg2; }
    int brs_sjw() const { return m_brs_sjw; }
    int lin_mode() const { return m_lin_mode; }
    int protocol_mode() const { return m_protocol_mode; }
    int subsystem_bitrate() const { return m_subsystem_bitrate; }
    int lin_break_length() const { return m_lin_break_length; }
    const QString &enhanced_csum_mask() const { return m_enhanced_csum_mask; }
    bool enable_enhanced_csum() const { return m_enable_enhanced_csum; }
    const QString &protocol_plugin_name() const { return m_protocol_plugin_name; }
    const QString &channel_name() const { return m_channel_name; }
    // The channel used in place of a configured one that is missing; empty when none.
    const QString &substitute_channel_name() const { return m_substitute_channel; }
    const QString &channel_user_name() const { return m_channel_user_name; }
    int channel_number() const { return m_channel_number; }
    const QString &connect_to_channel() const { return m_connect_to_channel; }
    const QStringList &database_files() const { return m_database_files; }
    VyrAcceptanceFilter &filter_std() { return m_filter_std; }
    VyrAcceptanceFilter &filter_ext() { return m_filter_ext; }
    bool transmit_allowed() const { return m_transmit_allowed; }
    void set_transmit_allowed(bool allowed) { m_transmit_allowed = allowed; }

    // --- State of a measurement -------------------------------------------------
    // 3 online, 0 stopped, else the bus status the channel last reported.
    int bus_state() const { return m_bus_state.load(); }
    // This interface's index in the global CAN channel table, stamped into
    // every frame its channel receives.
    int message_channel_number() const { return m_message_channel; }
    // The open hardware channel; null outside a measurement.
    CANhwChannel *channel() const { return m_channel.get(); }
    // The interface whose channel serves this one's; null when unconnected.
    VyrCanIf *partner() const { return m_partner; }
    bool requests_statistics() const { return m_requests_statistics; }
    void set_bus_state(int state) { m_bus_state = state; }
    // The error counters of the channel's last chip-state report.
    int rx_error_counter() const { return m_rx_errors.load(); }
    int tx_error_counter() const { return m_tx_errors.load(); }
    // The statistic signals in the order of Statistic.
    SignalRecord *statistic_signal(Statistic which) const { return m_statistic_signals[which]; }

    // How this interface shows identifiers; null when it shows them plainly.
    IdFormatter *id_formatter() const { return m_id_formatter.get(); }
    void set_id_formatter(std::unique_ptr<IdFormatter> formatter) { m_id_formatter = std::move(formatter); }

    // The network databases that decode this interface's frames; null when none.
    CANdbCluster *databases() const { return m_databases.get(); }
    void set_databases(std::unique_ptr<CANdbCluster> databases);
    // Reads the database files into a new database set and binds the
    // interface's database signals to it. 0, or -1 after reporting a failure.
    int load_databases();
    // The send buffer of every database message, by identifier.
    CANdbMessageDataTable *send_buffers() const { return m_send_buffers.get(); }

    // --- Receive and send -------------------------------------------------------
    // Listeners get a copy of every frame that no script handler filtered:
    // the receive thread appends it to their queues. They may come and go
    // while the thread runs; once remove_message_listener returns, the thread
    // no longer touches the listener.
    void add_message_listener(VyrMessageQueue *listener);
    void remove_message_listener(VyrMessageQueue *listener);
    // Writes the frame to the channel (in LIN mode a send identifier is cut
    // to 6 bits in the caller's record); its echo comes back on the receive
    // road. 0, or -1 without a channel, when the channel refuses it or when
    // this interface may not transmit. update_send_buffer asks for the frame
    // to update its message's send buffer when a schedule table sends it.
    int send_message(VyrCanMessage *message, bool update_send_buffer);
    // From an expiry of the wheel: the frame goes out when the wheel's step
    // ends, in one write with the other frames handed over in that step (one
    // round trip to the driver instead of one per frame), in the order they
    // came; then the sender learns whether it went out, as send_message's
    // result would tell it. Still under the wheel's mutex, in its thread.
    void send_at_step_end(TimerWheel &wheel, const VyrCanMessage &frame, VyrStepSender *sender);
    // The identifier with extended_key_bit for an extended frame.
    static uint32_t message_key(const VyrCanMessage &frame);

    // --- Trigger conditions on this interface's frames --------------------------
    // Enters every CAN condition of the program's list that has a target and
    // names this interface: single identifiers by key, ranges in a list.
    void build_trigger_table();
    void clear_trigger_table();
    // Fires every condition whose identifiers and byte tests the frame meets.
    void fire_triggers(const VyrCanMessage &frame);

    // --- Scripts --------------------------------------------------------------------
    // The prelude, natives, hooks and transport channels of the interface's scripts.
    VyrCanScriptBinding *script_binding() const { return m_script_binding.get(); }

    // Names of the channel list that this interface's settings offer: the
    // CAN-capable channels (lin_mode 0) or the LIN-capable ones (1), with the
    // user channel name in brackets when asked for.
    static QStringList channel_name_list(int lin_mode, bool with_user_names);
    // The statistics callback of the hardware channels; context is the interface.
    static void notify(int32_t code, void *context, uint32_t seconds, uint32_t microseconds, int32_t value);

private:
    // The frames of send_at_step_end, written when the wheel's step ends.
    class StepBatch : public StepEndTask
    {
    public:
        explicit StepBatch(VyrCanIf &can) : m_can(can) {}
        void add(const VyrCanMessage &frame, VyrStepSender *sender);
        void step_end() override;

    private:
        VyrCanIf &m_can;
        std::vector<VyrCanMessage> m_frames;
        std::vector<VyrStepSender *> m_senders;
        std::vector<VyrCanMessage> m_sending_frames;
        std::vector<VyrStepSender *> m_sending_senders;
    };
    // Writes frames in order up to the first that the channel or this
    // interface refuses; answers how many went out.
    unsigned write_frames(VyrCanMessage *frames, unsigned count);

    friend class VyrStatisticTimer;

    // Rebuilds the global CAN channel table without `leaving` (an interface
    // being destroyed, or null) and numbers its interfaces.
    static void rebuild_channel_table(const VyrCanIf *leaving);
    void create_statistic_signals();
    // Index in the channel-info list of this interface's channel, substituting
    // the first free one for a missing channel; -1 after reporting the error.
    int find_channel();
    bool channel_used_by_other(const QString &name) const;
    void force_lin_cable_timing();
    // Another CAN interface uses this one's channel in the other mode.
    bool hybrid_mode_conflict() const;
    // Bit timing, driver mode and acceptance filters of the open channel.
    void set_up_bus(bool fd_wanted);
    // Step of the channel start that connects this channel to a partner's;
    // -1 after reporting the error.
    int connect_to_partner();
    void align_clocks();
    void find_statistic_entries();
    void request_statistics_report();
    // Hands one frame to everything that follows this interface's frames.
    void dispatch(VyrCanMessage &frame);
    // Takes the script's message handlers by key (at channel start), so that
    // the receive loop looks them up without the script's lock.
    void collect_message_handlers();
    // The handler's function, 0 when the script has none for the key.
    int message_handler(uint32_t key) const;
    // Runs the script's handlers of the frame; true when the last one run
    // marked the frame filtered.
    bool run_message_handlers(const VyrCanMessage &frame, uint32_t key);
    // One handler run with this_message filled from the frame, hidden_flags
    // taken out of its flags (besides the filter mark).
    bool run_message_handler(VyrScriptRuntime &runtime, int function, const VyrCanMessage &frame,
                             uint32_t hidden_flags);
    void report_lost_connection();
    // Reports the overrun that the frame's mark tells of.
    void report_overrun();
    // Observer of the database signals: context is the signal's entry, argument the frame's time.
    static void on_signal_decoded(void *context, const CANdbSignalValue *decoded, void *argument);
    // Binds the interface signals to the loaded databases and gives every
    // message a send buffer; names that get a definition again leave `lost`.
    void bind_database_signals(std::vector<std::string> &lost);
    // Tells the windows of the signals whose definition changed and of
    // those that lost it.
    void report_reloaded_signals(const std::vector<std::string> &lost);
    // Registers (or, with false, unregisters) the entries of defined database
    // signals as observers of their database signals.
    void observe_database_signals(bool observe);
    // A database file's modification time; invalid when it cannot be read.
    static QDateTime file_time(const QString &path);
    // Takes the statistics timer off its wheel (waiting for an expiry in
    // progress) and deletes it.
    void cancel_statistic_timer();

    VyrAcceptanceFilter m_filter_std{false};
    VyrAcceptanceFilter m_filter_ext{true};
    QStringList m_database_files;
    // The modification time of each database file when it was last read.
    std::vector<QDateTime> m_database_times;
    std::unique_ptr<CANdbCluster> m_databases;
    std::unique_ptr<CANdbMessageDataTable> m_send_buffers;
    // The listener list the receive thread walks: a copy published for each change.
    RealtimePasses m_listener_passes;
    RealtimePublished<std::vector<VyrMessageQueue *>> m_message_listeners{m_listener_passes};
    // The script's message handlers, key to function, taken at channel start.
    std::unordered_map<uint32_t, int> m_message_handlers;

    struct TriggerEntry
    {
        uint32_t low;
        uint32_t high;
        VyrTriggerCond *condition;
    };
    // Built at channel start: single keys by their low 11 bits (newest
    // first), ranges in the order of the condition list.
    std::array<std::vector<TriggerEntry>, trigger_buckets> m_trigger_buckets;
    std::vector<TriggerEntry> m_trigger_ranges;

    // Between the channel start and stop.
    CANhwChannelInfo *m_channel_info = nullptr;
    std::unique_ptr<CANhwChannel> m_channel;
    int m_transceiver_type = 0;
    int m_card_type = 0;
    int m_card_number = -1;
    VyrCanIf *m_partner = nullptr;
    TimeValue m_start_time;
    // Ready when the channel's driver connection is lost; invalid once reported.
    platform::WaitHandle m_connection_handle;

    QString m_connect_to_channel;
    int m_channel_number = -1;
    std::atomic<int> m_bus_state{0};
    std::atomic<int> m_rx_errors{0};
    std::atomic<int> m_tx_errors{0};
    std::unique_ptr<VyrCanScriptBinding> m_script_binding;

    int m_bitrate = 1000000;
    int m_tseg1 = 4;
    int m_tseg2 = 3;
    int m_sjw = 1;
    int m_samples = 1;
    bool m_silent_mode = false;
    int m_message_channel = -1;
    bool m_canfd_enabled = false;
    int m_canfd_mode = 0;
    int m_brs_clock = 80000000;
    int m_brs_prescaler = 1;
    int m_brs_tseg1 = 2;
    int m_brs_tseg2 = 1;
    int m_brs_sjw = 1;
    int m_lin_mode = 0;
    int m_protocol_mode = 0;
    int m_subsystem_bitrate = 20000;
    QString m_enhanced_csum_mask;
    bool m_enable_enhanced_csum = false;
    int m_lin_break_length = 0;

    QString m_channel_name;
    QString m_substitute_channel;
    QString m_channel_user_name;

    std::array<SignalRecord *, statistic_count> m_statistic_signals{};
    // The entries of windows that follow a statistic, found at channel start.
    std::array<std::atomic<VyrSignalEntry *>, statistic_count> m_statistic_entries{};
    bool m_requests_statistics = true;
    bool m_transmit_allowed = true;
    std::unique_ptr<VyrStatisticTimer> m_statistic_timer;
    StepBatch m_step_batch{*this};

    QString m_protocol_plugin_name;
    std::unique_ptr<IdFormatter> m_id_formatter;
};

// The CAN interfaces ("CAN", "CAN-RX", "LIN") in the order of the global
// interface list. Rebuilt when a CAN interface is built or destroyed; each
// interface's index is its message channel number.
int can_channel_count();
// Null when the number is negative or not below the count.
VyrCanIf *can_interface_by_channel(int number);

// The message of that name in the interface's databases (identifier with bit
// 31 when extended, flags 0, its length), else the identifier literal. 0 on
// success, -1 when the text is neither.
int id_by_database_name(const VyrCanIf *signal_if, const char *text, VyrCanMessage &message);
