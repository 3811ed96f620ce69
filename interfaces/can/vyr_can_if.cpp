#include "interfaces/can/vyr_can_if.h"

#include "core/candb_cluster.h"
#include "core/candb_message_data.h"
#include "core/path_util.h"
#include "settings/debug_trace.h"
#include "settings/qtb_config.h"
#include "core/statistic_signal_record.h"
#include "core/timer_wheel.h"
#include "core/vyr_app_globals.h"
#include "core/vyr_signal_entry.h"
#include "core/vyr_signal_list.h"
#include "interfaces/can/can_bit_timing.h"
#include "interfaces/can/can_script_binding.h"
#include "interfaces/hardware/can_hw_channel_info.h"
#include "script/pcode_machine.h"
#include "script/vyr_script_runtime.h"

#include <QRegularExpression>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <set>

// Requests a statistic and a chip-state report of the interface's channel
// every second, on the thread that advances the timer wheel.
class VyrStatisticTimer : public TimerEntry
{
public:
    VyrStatisticTimer(VyrCanIf *owner, TimerWheel *wheel) : m_owner(owner), m_wheel(wheel) {}

    void fire(uint32_t, uint32_t) override
    {
        m_owner->request_statistics_report();
        m_wheel->schedule(this, VyrCanIf::statistic_period_ms);
    }

    TimerWheel *wheel() const { return m_wheel; }

private:
    VyrCanIf *m_owner;
    TimerWheel *m_wheel;
};

namespace {

// Card and transceiver types that the channel start reacts to.
constexpr int card_type_virtual = 1;
constexpr int card_type_hybrid = 84;
constexpr int transceiver_none = 0;
constexpr int card_type_can_lin = 2;
constexpr int transceiver_linx_lin = 64;

// The block-all settings of the two acceptance filters.
constexpr uint32_t block_all_std = 4095;
constexpr uint32_t block_all_ext = 0x3FFFFFFF;

constexpr int lin_cable_bitrate = 500000;

std::mutex table_mutex;
std::vector<VyrCanIf *> can_channel_table;

QString yes_no(bool value)
{
    return value ? QStringLiteral("Yes") : QStringLiteral("No");
}

std::vector<VyrCanIf *> can_interfaces()
{
    std::lock_guard<std::mutex> lock(table_mutex);
    return can_channel_table;
}

struct StatisticSignalRow
{
    VyrCanIf::Statistic which;
    const char *name;
    int value_type;
    double max;
    int rate;
    uint32_t flags;
};

// In the order the constructor creates them.
const StatisticSignalRow statistic_rows[] = {
    {VyrCanIf::BusLoad, "Statistic.BusLoad", SignalValue::Double, 100, 1000, 0x13},
    {VyrCanIf::MessageRate, "Statistic.MessageRate", SignalValue::Int, 10000, 1000, 0x13},
    {VyrCanIf::BusStatus, "Statistic.BusStatus", SignalValue::Int, 3, 1, 0x10013},
    {VyrCanIf::TxErr, "Statistic.TxErr", SignalValue::Int, 128, 1, 0x13},
    {VyrCanIf::RxErr, "Statistic.RxErr", SignalValue::Int, 128, 1, 0x13},
    {VyrCanIf::StandardMessages, "Statistic.StandardMessages", SignalValue::Int, 999999999, 1, 0x13},
    {VyrCanIf::ExtendedMessages, "Statistic.ExtendedMessages", SignalValue::Int, 999999999, 1, 0x13},
    {VyrCanIf::ErrorFrames, "Statistic.ErrorFrames", SignalValue::Int, 999999999, 1, 0x13},
};

// A channel name of the older form, "Virtual 0 (Channel 0)", in the form of
// the channel list, "Virtual #1 (Channel 1)"; other names unchanged.
QString rewrite_old_channel_name(const QString &name)
{
    static const QRegularExpression old_form(QStringLiteral("^([a-zA-Z]+) ([0-9]+) \\(Channel ([0-9])\\)$"));
    const QRegularExpressionMatch match = old_form.match(name);
    if (!match.hasMatch())
        return name;
    return QStringLiteral("%1 #%2 (Channel %3)")
        .arg(match.captured(1))
        .arg(match.captured(2).toInt() + 1)
        .arg(match.captured(3).toInt() + 1);
}

// A text setting with its UTF-8 twin, which wins when present.
QString read_text_with_twin(QtbConfigGroup *group, const QString &key, const QString &def)
{
    const QString text = group->read_string(key.toLatin1().constData(), def);
    return group->read_string_utf8((key + QStringLiteral("_utf8")).toLatin1().constData(), text);
}

void write_text_with_twin(QtbConfigGroup *group, const QString &key, const QString &text)
{
    group->write_string(key.toLatin1().constData(), text);
    group->write_string_utf8((key + QStringLiteral("_utf8")).toLatin1().constData(), text);
}

// The numbers n below `count` for which the group holds "candb_file_<n>" or
// its twin, ascending, with 0 always (file 0 may be named "candb_file").
// The stored count is not trusted: only entries that are there name files,
// so a count of 2^31 costs no more than the entries hold.
std::vector<int> database_file_numbers(const QtbConfigGroup &group, int count)
{
    static const QRegularExpression file_key(QStringLiteral("^candb_file_([0-9]{1,10})(_utf8)?$"));
    std::set<int> numbers;
    if (count > 0)
        numbers.insert(0);
    for (const QtbConfigEntry &entry : group.entries()) {
        const QRegularExpressionMatch match = file_key.match(QString::fromStdString(entry.name));
        bool is_number = false;
        const int number = match.hasMatch() ? match.captured(1).toInt(&is_number) : -1;
        if (is_number && number < count)
            numbers.insert(number);
    }
    return std::vector<int>(numbers.begin(), numbers.end());
}

} // namespace

// --- Construction and configuration ------------------------------------------------------

VyrCanIf::VyrCanIf(const char *type_name, QObject *owner, VyrSignalIfNotification *notification)
    : VyrSignalIf(type_name, owner, notification),
      m_send_buffers(std::make_unique<CANdbMessageDataTable>(send_buffer_buckets)),
      m_script_binding(std::make_unique<VyrCanScriptBinding>(this)), m_lin_mode(this->type_name() == "LIN" ? 1 : 0)
{
    create_statistic_signals();
    rebuild_channel_table(nullptr);
}

VyrCanIf::~VyrCanIf()
{
    // The thread must not run on into the base part while this part goes.
    if (m_channel || m_statistic_timer || thread_running())
        stop();
    rebuild_channel_table(this);
}

void VyrCanIf::create_statistic_signals()
{
    for (const StatisticSignalRow &row : statistic_rows) {
        SignalRecord *signal = row.which == BusStatus ? new StatisticSignalRecord : new SignalRecord;
        signal->set_name(row.name);
        signal->set_value_type(row.value_type);
        signal->set_min(0);
        signal->set_max(row.max);
        signal->set_rate(row.rate);
        signal->set_mode(SignalRecord::Event);
        signal->set_direction(SignalRecord::Input);
        signal->set_characteristic(SignalRecord::Continuous);
        signal->set_owner(this);
        signal->set_flags(row.flags);
        signal_list()->insert(signal);
        m_statistic_signals[row.which] = signal;
    }
}

void VyrCanIf::read_configuration(QtbConfigGroup *group)
{
    if (group) {
        read_config_common(group);
        if (QtbConfigGroup *filter = group->get_group("filter_std"))
            m_filter_std.read_config(filter);
        if (QtbConfigGroup *filter = group->get_group("filter_ext"))
            m_filter_ext.read_config(filter);

        m_canfd_mode = group->read_bool("canfd_mode", false) ? 1 : 0;
        const bool brs_enabled = group->read_bool("brs_enabled", false);
        const int brs_sjw = group->read_int("brs_sjw", 1);
        const int brs_tseg2 = group->read_int("brs_tseg2", 1);
        const int brs_tseg1 = group->read_int("brs_tseg1", 2);
        const int brs_prescaler = group->read_int("brs_prescaler", 1);
        const int brs_clock = group->read_int("brs_clock", 80000000);
        const bool canfd_enabled = group->read_bool("canfd_enabled", brs_enabled);
        set_fd_timing(canfd_enabled, brs_clock, brs_prescaler, brs_tseg1, brs_tseg2, brs_sjw);

        const int samples = group->read_int("samples", 1);
        const int sjw = group->read_int("sjw", 1);
        const int tseg2 = group->read_int("tseg2", 2);
        const int tseg1 = group->read_int("tseg1", 5);
        const int bitrate = group->read_int("bitrate", 1000000);
        set_bit_timing(bitrate, tseg1, tseg2, sjw, samples);

        m_silent_mode = group->read_int("silent_mode", 0) != 0;
        m_protocol_mode = group->read_int("protocol_mode", 1);
        m_subsystem_bitrate = group->read_int("subsystem_bitrate", 20000);
        m_lin_break_length = group->read_int("lin_break_length", 0);
        if (m_lin_mode) {
            m_enhanced_csum_mask = group->read_string("enhanced_csum_mask", QString());
            m_enable_enhanced_csum = group->read_bool("enable_enhanced_csum", false);
        }
        set_protocol_plugin_name(group->read_string("protocol_plugin_name", QString()));

        set_channel_name(rewrite_old_channel_name(group->read_string("channel", QString())));
        m_channel_user_name = group->read_string("channel_user_name", QString());

        m_channel_number = group->read_int("channel_number", -1);
        m_connect_to_channel = group->read_string("connect_to_channel", m_connect_to_channel);
        QString script = read_text_with_twin(group, QStringLiteral("script_file"), QString());
        if (script.isEmpty())
            script = group->read_string("signal_file", QString());
        set_script_file(stored_file_name(script));

        m_database_files.clear();
        for (const int i : database_file_numbers(*group, group->read_int("candb_file_count", 1))) {
            QString file;
            if (i == 0)
                file = read_text_with_twin(group, QStringLiteral("candb_file"), QString());
            if (file.isEmpty())
                file = read_text_with_twin(group, QStringLiteral("candb_file_%1").arg(i), QString());
            if (!file.isEmpty())
                m_database_files.append(stored_file_name(file));
        }
        load_databases();
    }
    if (!script_file().isEmpty()) {
        message(QStringLiteral("Reading script file '%1' ...").arg(script_file()).toStdString());
        sclib_init();
    }
}

void VyrCanIf::write_configuration(QtbConfig &config)
{
    QtbConfigGroup *group = write_config_common(config);
    group->write_int("bitrate", m_bitrate);
    group->write_int("tseg1", m_tseg1);
    group->write_int("tseg2", m_tseg2);
    group->write_int("sjw", m_sjw);
    group->write_int("samples", m_samples);
    group->write_bool("silent_mode", m_silent_mode);
    group->write_int("canfd_mode", m_canfd_mode);
    group->write_bool("brs_enabled", m_canfd_enabled);
    group->write_bool("canfd_enabled", m_canfd_enabled);
    group->write_int("brs_clock", m_brs_clock);
    group->write_int("brs_prescaler", m_brs_prescaler);
    group->write_int("brs_tseg1", m_brs_tseg1);
    group->write_int("brs_tseg2", m_brs_tseg2);
    group->write_int("brs_sjw", m_brs_sjw);
    group->write_string("channel", m_channel_name);
    group->write_string("channel_user_name", m_channel_user_name);
    write_text_with_twin(group, QStringLiteral("script_file"), script_file());
    group->write_int("protocol_mode", m_protocol_mode);
    group->write_int("subsystem_bitrate", m_subsystem_bitrate);
    group->write_int("lin_break_length", m_lin_break_length);
    if (m_lin_mode) {
        group->write_string("enhanced_csum_mask", m_enhanced_csum_mask);
        group->write_bool("enable_enhanced_csum", m_enable_enhanced_csum);
    }
    group->write_string("protocol_plugin_name", m_protocol_plugin_name);
    group->write_int("candb_file_count", int(m_database_files.size()));
    for (int i = 0; i < m_database_files.size(); ++i) {
        write_text_with_twin(group, QStringLiteral("candb_file_%1").arg(i), m_database_files[i]);
        if (i == 0)
            write_text_with_twin(group, QStringLiteral("candb_file"), m_database_files[i]);
    }
    m_channel_number = CANhwChannelInfoList::global().find_channel_info(m_channel_name.toLatin1().constData());
    group->write_int("channel_number", m_channel_number);
    group->write_string("connect_to_channel", m_connect_to_channel);
    m_filter_std.write_config(group->add_group("filter_std"));
    m_filter_ext.write_config(group->add_group("filter_ext"));
}

void VyrCanIf::set_bit_timing(int bitrate, int tseg1, int tseg2, int sjw, int samples)
{
    m_bitrate = bitrate;
    m_tseg1 = tseg1;
    m_tseg2 = tseg2;
    m_sjw = sjw;
    m_samples = samples;
}

void VyrCanIf::set_fd_timing(bool enabled, int clock, int prescaler, int tseg1, int tseg2, int sjw)
{
    m_canfd_enabled = enabled;
    m_brs_clock = clock;
    m_brs_prescaler = prescaler;
    m_brs_tseg1 = tseg1;
    m_brs_tseg2 = tseg2;
    m_brs_sjw = sjw;
}

void VyrCanIf::set_protocol_plugin_name(const QString &name)
{
    m_protocol_plugin_name = name;
    set_id_formatter(create_id_formatter(name.toUtf8().constData()));
}

void VyrCanIf::set_channel_name(const QString &name)
{
    m_channel_name = name;
    m_substitute_channel.clear();
}

// --- Channel lists and lookup ------------------------------------------------------------

QStringList VyrCanIf::channel_name_list(int lin_mode, bool with_user_names)
{
    QStringList names;
    const CANhwChannelInfoList &infos = CANhwChannelInfoList::global();
    for (int i = 0; i < infos.channel_info_count(); ++i) {
        const CANhwChannelInfo *info = infos.channel_info(i);
        const int card = info->card_type();
        const int transceiver = info->transceiver_type();
        const bool both = card == card_type_can_lin || card == card_type_hybrid;
        const bool lin_capable = both || transceiver == canhwTransceiverLin || transceiver == transceiver_linx_lin;
        const bool can_capable = both || !lin_capable;
        if (!(lin_mode ? lin_capable : can_capable))
            continue;
        if (info->name().empty()) {
            names.append(QStringLiteral("Invalid Channel #%1").arg(i));
            continue;
        }
        QString name = QString::fromStdString(info->name());
        if (with_user_names && !info->user_channel_name().empty())
            name += QStringLiteral(" [%1]").arg(QString::fromStdString(info->user_channel_name()));
        names.append(name);
    }
    return names;
}

bool VyrCanIf::channel_used_by_other(const QString &name) const
{
    for (VyrCanIf *other : can_interfaces())
        if (other != this && (other->m_channel_name == name || other->m_substitute_channel == name))
            return true;
    return false;
}

void VyrCanIf::init_new()
{
    for (const QString &name : channel_name_list(m_lin_mode, false)) {
        if (!channel_used_by_other(name)) {
            set_channel_name(name);
            return;
        }
    }
    set_channel_name(QString::fromLatin1(not_assigned_channel));
}

int VyrCanIf::find_channel()
{
    const CANhwChannelInfoList &infos = CANhwChannelInfoList::global();
    if (!m_channel_user_name.isEmpty()) {
        const std::string wanted = m_channel_user_name.toStdString();
        int found = -1;
        for (int i = 0; i < infos.channel_info_count() && found < 0; ++i) {
            const std::string &user_name = infos.channel_info(i)->user_channel_name();
            debug_trace("%2d: channel_user_name='%s' user_name='%s'", i, user_name.c_str(), wanted.c_str());
            if (user_name == wanted)
                found = i;
        }
        debug_trace("->index=%d", found);
        if (found >= 0) {
            m_substitute_channel.clear();
            return found;
        }
    }
    int index = infos.find_channel_info(m_channel_name.toLatin1().constData());
    if (index >= 0) {
        m_substitute_channel.clear();
        return index;
    }
    m_channel_number = infos.find_channel_info(m_substitute_channel.toLatin1().constData());
    if (m_channel_number >= 0)
        return m_channel_number;
    for (const QString &name : channel_name_list(m_lin_mode, false)) {
        if (channel_used_by_other(name))
            continue;
        m_channel_number = infos.find_channel_info(name.toLatin1().constData());
        message(QStringLiteral("Could not find CAN channel '%1' - using channel '%2' instead.")
                    .arg(m_channel_name, name)
                    .toStdString());
        m_substitute_channel = name;
        return m_channel_number;
    }
    error(QStringLiteral("Invalid CAN channel '%1'.").arg(m_channel_name).toStdString());
    return -1;
}

// --- Measurement ---------------------------------------------------------------------------

int VyrCanIf::start_order() const
{
    return m_connect_to_channel.isEmpty() ? 0 : 1;
}

int VyrCanIf::startup()
{
    VyrSignalIf::startup();
    m_send_buffers->clear_all();
    m_channel_info = nullptr;
    m_channel.reset();
    m_transceiver_type = 0;
    m_card_type = 0;
    m_card_number = -1;

    const int index = find_channel();
    if (index < 0) {
        error("CAN hardware not found");
        return -1;
    }
    const CANhwChannelInfoList &infos = CANhwChannelInfoList::global();
    m_channel_info = infos.channel_info(index);

    // Only the first CAN interface of a hardware channel asks for its statistics.
    m_requests_statistics = true;
    for (VyrSignalIf *other = get_first_signal_if(); other && other != this; other = other->next()) {
        // LIN channels ask for no bus statistics.
        VyrCanIf *can = of(other);
        if (can && !can->m_lin_mode && can->m_channel_name == m_channel_name)
            m_requests_statistics = false;
    }

    const QString display_name =
        m_channel_info->name().empty() ? m_channel_name : QString::fromStdString(m_channel_info->name());
    find_statistic_entries();
    observe_database_signals(true);
    build_trigger_table();
    collect_message_handlers();

    m_card_type = m_channel_info->card_type();
    m_card_number = m_channel_info->card_number();
    m_transceiver_type = m_channel_info->transceiver_type();
    if (m_card_type != card_type_virtual && m_transceiver_type == transceiver_none)
        warning(
            QStringLiteral("Unknown or no transceiver connected to interface '%1'.").arg(display_name).toStdString());
    message(QStringLiteral("Transceiver type %1 ('%2') connected to '%3'.")
                .arg(m_transceiver_type)
                .arg(QString::fromLatin1(transceiver_name(m_transceiver_type)), display_name)
                .toStdString());
    message(QStringLiteral("Settings for %1: Bitrate %2 Bit/s, tseg1=%3, tseg2=%4.")
                .arg(display_name)
                .arg(m_bitrate)
                .arg(m_tseg1)
                .arg(m_tseg2)
                .toStdString());

    if (m_transceiver_type == canhwTransceiverLin)
        force_lin_cable_timing();

    std::unique_ptr<CANhwChannel> channel = infos.make_channel(index);
    if (!channel) {
        error(QStringLiteral("Creation of CAN handle for channel '%1' failed.").arg(display_name).toStdString());
        return -1;
    }
    channel->set_notify_target(&VyrCanIf::notify, this);

    bool fd_unsupported = false;
    if (channel->is_fd_capable()) {
        const CANhwStatus status = channel->set_fd_mode(m_canfd_enabled, m_canfd_mode);
        if (status != canhwSuccess)
            warning(QStringLiteral("Set CAN FD operation mode failed (%1).").arg(status_name(status)).toStdString());
    } else if (m_canfd_enabled) {
        warning("CAN FD not supported on this channel.");
        fd_unsupported = true;
    }

    if (m_card_type == card_type_hybrid && hybrid_mode_conflict()) {
        error(QStringLiteral("Open CAN channel '%1' failed, conflict in Hybrid channel mode detected.")
                  .arg(display_name)
                  .toStdString());
        return -1;
    }

    const CANhwStatus opened = channel->open(m_lin_mode && m_transceiver_type == canhwTransceiverCanFdLin);
    if (opened != canhwSuccess) {
        error(
            QStringLiteral("Open CAN channel '%1' failed (%2).").arg(display_name, status_name(opened)).toStdString());
        return -1;
    }
    m_channel = std::move(channel);

    if (connect_to_partner() != 0)
        return -1;
    if (!m_partner) {
        const CANhwStatus status = m_channel->map_rx_queue();
        if (status != canhwSuccess && status != canhwErrorNotImplemented) {
            error(QStringLiteral("CAN interface '%1' mapping of receive queue failed.")
                      .arg(QString::fromStdString(name()))
                      .toStdString());
            return -1;
        }
    }
    m_channel->set_channel_index(m_message_channel);

    set_up_bus(m_canfd_enabled && !fd_unsupported);

    // A connected channel's frames arrive through its partner's event.
    set_device_handle(platform::WaitHandle{});
    set_extra_handles({});
    m_connection_handle = platform::WaitHandle{};
    if (!(m_partner && m_channel->is_driver_backed())) {
        platform::WaitHandle event;
        if (m_channel->get_event_handle(&event) == canhwSuccess)
            set_device_handle(event);
    }
    // The reader of the channel also wakes when the driver goes away.
    if (!m_partner && m_channel->get_connection_handle(&m_connection_handle) == canhwSuccess)
        set_extra_handles({m_connection_handle});

    if (vyr_app_options().use_timerevents && uses_timers()) {
        m_channel->enable_timer_events(true);
        debug_trace("Enable timer events on interface '%s'", name().c_str());
    }

    m_start_time = get_current_time();
    m_channel->reset_clock();
    align_clocks();
    return 0;
}

void VyrCanIf::force_lin_cable_timing()
{
    // The LIN cable runs its CAN side at 500 kBit/s with one of two timings.
    const bool timing_ok = m_bitrate == lin_cable_bitrate && m_sjw == 1 && m_samples == 1 &&
        ((m_tseg1 == 5 && m_tseg2 == 2) || (m_tseg1 == 11 && m_tseg2 == 4));
    if (timing_ok && !m_silent_mode)
        return;
    set_bit_timing(lin_cable_bitrate, 5, 2, 1, 1);
    m_silent_mode = false;
    warning("LIN cable detected - forcing bitrate to 500 kBit/s, tseg1=5, tseg2=2.");
}

bool VyrCanIf::hybrid_mode_conflict() const
{
    for (VyrCanIf *other : can_interfaces())
        if (other != this && other->m_channel_info == m_channel_info && other->m_lin_mode != m_lin_mode)
            return true;
    return false;
}

void VyrCanIf::set_up_bus(bool fd_wanted)
{
    if (fd_wanted && m_channel->is_fd_capable()) {
        const long data_bitrate = can_bitrate_from_timing(m_brs_clock, m_brs_prescaler, m_brs_tseg1, m_brs_tseg2);
        const CANhwStatus status = m_channel->set_bus_params_fd(data_bitrate, unsigned(m_brs_tseg1),
                                                                unsigned(m_brs_tseg2), unsigned(m_brs_sjw));
        if (status != canhwSuccess)
            warning(QStringLiteral("Set CAN bus params/CANFD failed (%1).").arg(status_name(status)).toStdString());
    }
    const CANhwStatus timing = m_channel->set_bus_params(m_bitrate, unsigned(m_tseg1), unsigned(m_tseg2),
                                                         unsigned(m_sjw), unsigned(m_samples), 0);
    if (timing != canhwSuccess)
        warning(QStringLiteral("Set CAN bus params failed (%1).").arg(status_name(timing)).toStdString());
    const CANhwStatus output = m_channel->set_output_mode(m_silent_mode);
    if (output != canhwSuccess && output != canhwErrorNotImplemented)
        warning(QStringLiteral("Set CAN bus driver mode failed (%1).").arg(status_name(output)).toStdString());

    // The channel's own filter answers for every frame of a width that is blocked.
    if (m_filter_std.block_all)
        m_channel->set_acceptance_std(block_all_std, block_all_std);
    else
        m_channel->set_acceptance_std(m_filter_std.code, m_filter_std.mask);
    if (m_filter_ext.block_all)
        m_channel->set_acceptance_ext(block_all_ext, block_all_ext);
    else
        m_channel->set_acceptance_ext(m_filter_ext.code, m_filter_ext.mask);
}

int VyrCanIf::connect_to_partner()
{
    m_partner = nullptr;
    if (m_connect_to_channel.isEmpty())
        return 0;
    const QString own_name = QString::fromStdString(name());
    debug_trace("connect to '%s', (this->get_key () -> '%s')", m_connect_to_channel.toLatin1().constData(),
                make_id().c_str());
    // Each interface of the chain is visited once: a circle of connections
    // that does not pass through this interface ends the start.
    std::set<const VyrCanIf *> visited;
    QString target = m_connect_to_channel;
    VyrCanIf *candidate = nullptr;
    while (!candidate) {
        VyrCanIf *found = nullptr;
        for (VyrCanIf *can : can_interfaces()) {
            if (!can->m_lin_mode && QString::fromStdString(can->make_id()) == target) {
                found = can;
                break;
            }
        }
        if (!found) {
            error(QStringLiteral("CAN interface '%1' unable to connect to '%2' - interface not found.")
                      .arg(own_name, m_connect_to_channel)
                      .toStdString());
            return -1;
        }
        if (found == this) {
            error(QStringLiteral("CAN interface '%1' can't be connected to itself.").arg(own_name).toStdString());
            return 0;
        }
        if (!visited.insert(found).second) {
            error(QStringLiteral("CAN interface '%1' can't connect to '%2': the connections run in a circle.")
                      .arg(own_name, m_connect_to_channel)
                      .toStdString());
            return -1;
        }
        if (found->m_connect_to_channel.isEmpty())
            candidate = found;
        else
            target = found->m_connect_to_channel;
    }
    if (!candidate->m_channel)
        return 0;
    const QString candidate_name = QString::fromStdString(candidate->name());
    if (m_channel->connect_channel(candidate->m_channel.get()) != canhwSuccess) {
        error(QStringLiteral("CAN interface '%1' connect to '%2' failed.").arg(own_name, candidate_name).toStdString());
        return -1;
    }
    message(QStringLiteral("CAN interface '%1' connected to '%2'.").arg(own_name, candidate_name).toStdString());
    m_partner = candidate;
    return 0;
}

void VyrCanIf::align_clocks()
{
    // Channels of one card share its clock; a channel of another card is
    // moved back by the largest head start of the channels started before it.
    int largest_difference = 0;
    bool same_card_found = false;
    for (VyrSignalIf *signal_if = get_first_signal_if(); signal_if; signal_if = signal_if->next()) {
        VyrCanIf *other = of(signal_if);
        if (!other || other == this || other->m_lin_mode || !other->m_channel_info || !other->m_channel)
            continue;
        const int difference = int(m_start_time.seconds - other->m_start_time.seconds) * 1000 -
            int(other->m_start_time.microseconds / 1000) + int(m_start_time.microseconds / 1000);
        largest_difference = std::max(largest_difference, difference);
        if (other->m_card_type == m_card_type && other->m_card_number == m_card_number) {
            m_channel->set_clock_offset(other->m_channel.get());
            same_card_found = true;
        }
    }
    if (!same_card_found) {
        debug_trace("canio_adjust_clock_offset: clock_adjustment=%d", largest_difference);
        m_channel->adjust_clock_offset(largest_difference);
    }
}

void VyrCanIf::find_statistic_entries()
{
    for (auto &entry : m_statistic_entries)
        entry = nullptr;
    for (VyrSignalEntry *entry : signal_entries()) {
        SignalRecord *signal = entry->signal();
        if (!signal || !signal->has_flag(SignalRecord::Predefined) || signal->mode() != SignalRecord::Event)
            continue;
        for (int i = 0; i < statistic_count; ++i)
            if (m_statistic_signals[i] == signal)
                m_statistic_entries[i] = entry;
    }
}

int VyrCanIf::go_online()
{
    m_bus_state = canhwBusErrorActive;
    if (!m_channel) {
        error("CAN startup failed - no handle.");
        return -1;
    }
    const CANhwStatus status = m_channel->buson();
    if (status != canhwSuccess) {
        error(QStringLiteral("CAN bus-on command failed (%1).").arg(status_name(status)).toStdString());
        return -1;
    }
    m_channel->enable_tx_ack();
    cancel_statistic_timer();
    if (m_requests_statistics && timer_wheel()) {
        m_statistic_timer = std::make_unique<VyrStatisticTimer>(this, timer_wheel());
        timer_wheel()->schedule(m_statistic_timer.get(), statistic_period_ms);
    }
    return 0;
}

void VyrCanIf::request_statistics_report()
{
    const int now = timer_wheel() ? int(timer_wheel()->current_time()) : 0;
    m_channel->request_statistic(now);
    m_channel->request_chip_state(now);
}

void VyrCanIf::cancel_statistic_timer()
{
    if (!m_statistic_timer)
        return;
    m_statistic_timer->wheel()->cancel(m_statistic_timer.get());
    m_statistic_timer.reset();
}

int VyrCanIf::start()
{
    set_cycle_time(uses_timers() ? 1000 : 10);
    return m_partner ? 0 : VyrSignalIf::start();
}

int VyrCanIf::stop()
{
    if (m_channel) {
        m_channel->lock_rx_queue();
        m_channel->set_notify_target(nullptr, nullptr);
    }
    cancel_statistic_timer();
    // A thread that does not end keeps using the channel: leave it open.
    if (VyrSignalIf::stop() != 0)
        return -1;
    m_bus_state = canhwBusOff;
    m_script_binding->tp_channels().delete_kind(VyrCanTpChannel::opened_channel);
    if (m_channel) {
        m_channel->busoff();
        // Frames that arrived before bus off are still delivered.
        if (!m_partner)
            cyclic();
        m_channel->close();
        m_channel.reset();
    }
    m_channel_info = nullptr;
    observe_database_signals(false);
    clear_trigger_table();
    set_device_handle(platform::WaitHandle{});
    set_extra_handles({});
    m_connection_handle = platform::WaitHandle{};
    return 0;
}

// --- Statistics ------------------------------------------------------------------------------

void VyrCanIf::notify(int32_t code, void *context, uint32_t seconds, uint32_t microseconds, int32_t value)
{
    if (code < 0 || code >= statistic_count)
        return;
    auto *self = static_cast<VyrCanIf *>(context);
    if (code == BusStatus)
        self->m_bus_state = value;
    else if (code == RxErr)
        self->m_rx_errors = value;
    else if (code == TxErr)
        self->m_tx_errors = value;
    VyrSignalEntry *entry = self->m_statistic_entries[code];
    if (!entry)
        return;
    SignalValue record;
    record.seconds = seconds;
    record.microseconds = microseconds;
    if (code == BusLoad)
        record.set_double(uint32_t(value) * 0.001);
    else
        record.set_int(value);
    entry->signal()->set_value(record);
    entry->notify_listeners(record);
}

// --- Script hosting --------------------------------------------------------------------------

int VyrCanIf::basic_definitions()
{
    return m_script_binding->basic_definitions();
}

int VyrCanIf::script_struct_type(const char *name, void *parser_context)
{
    return m_script_binding->script_struct_type(name, static_cast<ScriptCompiler *>(parser_context));
}

VyrPacketSource *VyrCanIf::packet_source(int) const
{
    return &m_script_binding->transport_packets();
}

unsigned VyrCanIf::offered_kinds() const
{
    return VyrSignalIf::offered_kinds() | offers_can_frames;
}

VyrCanIf *VyrCanIf::of(VyrSignalIf *signal_if)
{
    // Every interface that offers CAN frames is a CAN interface; the cast
    // only keeps an interface that claims them wrongly from being misread.
    return signal_if && signal_if->offers(offers_can_frames) ? dynamic_cast<VyrCanIf *>(signal_if) : nullptr;
}

void VyrCanIf::before_reload()
{
    m_script_binding->tp_channels().delete_kind(VyrCanTpChannel::hook_channel);
}

int VyrCanIf::read_script_signal(VyrSignalEntry *entry, SignalValue &value)
{
    VyrSignalIf::read_script_signal(entry, value);
    return 0;
}

int VyrCanIf::prepare_start()
{
    // Every measurement starts from cleared script data and the script's
    // "variables" and "init" functions.
    if (VyrScriptRuntime *runtime = VyrScriptRuntime::of(this)) {
        PCodeMachine *machine = runtime->machine();
        ScriptRunLock lock(*this);
        if (uint8_t *data = machine->data_top() > 0 ? machine->data_pointer(0, machine->data_top()) : nullptr)
            std::memset(data, 0, size_t(machine->data_top()));
    }
    run_script_functions(variables_functions());
    run_script_functions(init_functions());
    return 0;
}

// --- Texts and settings ----------------------------------------------------------------------

QString VyrCanIf::info_text() const
{
    QString text = VyrSignalIf::info_text();
    text += QStringLiteral("<ul>");
    text += QStringLiteral("<li>CAN Channel Name: %1</li>").arg(m_channel_name);
    if (m_database_files.size() == 1) {
        text += QStringLiteral("<li>CAN Database(s): %1</li>").arg(m_database_files.front());
    } else {
        QString files = QStringLiteral("<ul>");
        for (const QString &file : m_database_files)
            files += QStringLiteral("<li>") + file + QStringLiteral("</li>");
        files += QStringLiteral("</ul>");
        text += QStringLiteral("<li>CAN Databases: %1</li>").arg(files);
    }
    text += QStringLiteral("<li>Bitrate: %1 kbit/s</li>").arg(QString::number(m_bitrate * 0.001, 'g', 6));
    text += QStringLiteral("<li>Tseg1: %1</li>").arg(m_tseg1);
    text += QStringLiteral("<li>Tseg2: %1</li>").arg(m_tseg2);
    text += QStringLiteral("<li>SJW: %1</li>").arg(m_sjw);
    text += QStringLiteral("<li>Samples: %1</li>").arg(m_samples);
    text += QStringLiteral("<li>Silent Mode: %1</li>").arg(yes_no(m_silent_mode));
    text += QStringLiteral("</ul>");
    const std::pair<const char *, const VyrAcceptanceFilter *> filters[] = {{"Standard", &m_filter_std},
                                                                            {"Extended", &m_filter_ext}};
    for (const auto &[width, filter] : filters) {
        text += QStringLiteral("<li>Global Filters for %1 CAN:<ul>").arg(QLatin1String(width));
        text += QStringLiteral("<li>Code: %1</li>").arg(filter->code, 8, 16, QLatin1Char(' '));
        text += QStringLiteral("<li>Mask: %1</li>").arg(filter->mask, 8, 16, QLatin1Char(' '));
        text += QStringLiteral("<li>Block all: %1</li>").arg(yes_no(filter->block_all));
        text += QStringLiteral("</ul></li>");
    }
    return text;
}

// --- Global CAN channel table ----------------------------------------------------------------

void VyrCanIf::rebuild_channel_table(const VyrCanIf *leaving)
{
    std::lock_guard<std::mutex> lock(table_mutex);
    can_channel_table.clear();
    for (VyrSignalIf *signal_if = get_first_signal_if(); signal_if; signal_if = signal_if->next()) {
        VyrCanIf *can = of(signal_if);
        if (can && can != leaving) {
            can->m_message_channel = int(can_channel_table.size());
            can_channel_table.push_back(can);
        }
    }
}

int can_channel_count()
{
    std::lock_guard<std::mutex> lock(table_mutex);
    return int(can_channel_table.size());
}

VyrCanIf *can_interface_by_channel(int number)
{
    std::lock_guard<std::mutex> lock(table_mutex);
    return number >= 0 && number < int(can_channel_table.size()) ? can_channel_table[size_t(number)] : nullptr;
}

int id_by_database_name(const VyrCanIf *signal_if, const char *text, VyrCanMessage &message)
{
    if (signal_if && signal_if->databases() && text) {
        if (const CANdbMessage *found = signal_if->databases()->find_message(text)) {
            message.id = found->key_id();
            message.flags = 0;
            message.dlc = uint8_t(found->dlc);
            return 0;
        }
    }
    return VyrCanMessage::parse_id(message, text);
}
