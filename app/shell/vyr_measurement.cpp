#include "app/shell/vyr_measurement.h"

#include "app/shell/settings_store.h"
#include "app/shell/vyr_app_state.h"
#include "settings/debug_trace.h"
#include "core/time_base.h"
#include "core/timer_wheel.h"
#include "core/vyr_global_accel.h"
#include "core/vyr_message_log.h"
#include "core/vyr_question.h"
#include "core/vyr_signal_if.h"
#include "core/vyr_signal_if_type.h"
#include "core/vyr_trigger.h"
#include "core/vyr_trigger_cond_handlers.h"
#include "platform/process_tuning.h"

#include <QDateTime>
#include <QThread>
#include <QTimer>

#include <algorithm>

namespace {

constexpr int max_start_delay_s = 3600;
constexpr int delayed_start_step_s = 5;
constexpr int restart_step_s = 1;

QString now_text()
{
    return QDateTime::currentDateTime().toString();
}

// The program's countdown clock.
class VyrTimerClock : public VyrCountdownClock
{
public:
    VyrTimerClock()
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this] { m_tick(); });
    }
    void start(int period_ms, std::function<void()> tick) override
    {
        m_tick = std::move(tick);
        m_timer.start(period_ms);
    }
    void stop() override { m_timer.stop(); }

private:
    QTimer m_timer;
    std::function<void()> m_tick;
};

} // namespace

VyrMeasurement::VyrMeasurement(VyrMessageLog &log)
    : m_log(log), m_timer_wheel(std::make_unique<TimerWheel>(1024, 0, 1, 200)),
      m_clock(std::make_unique<VyrTimerClock>())
{
    set_main_timer_wheel(m_timer_wheel.get());
}

VyrMeasurement::~VyrMeasurement()
{
    if (main_timer_wheel() == m_timer_wheel.get())
        set_main_timer_wheel(nullptr);
}

void VyrMeasurement::set_clock(std::unique_ptr<VyrCountdownClock> clock)
{
    stop_countdown();
    m_clock = std::move(clock);
}

void VyrMeasurement::set_start_delay(int seconds)
{
    m_start_delay = std::clamp(seconds, 0, max_start_delay_s);
}

void VyrMeasurement::log(int level, const QString &line)
{
    m_log.log_message(level, line.toStdString());
}

void VyrMeasurement::for_each_by_ascending_rank(const std::function<void(VyrSignalIf *)> &operation)
{
    for (int rank = 0; rank >= 0;) {
        int next_rank = -1;
        for (VyrSignalIf *interface = get_first_signal_if(); interface; interface = interface->next()) {
            if (!interface->active())
                continue;
            const int order = interface->start_order();
            if (order == rank)
                operation(interface);
            else if (order > rank && order < max_start_rank && (next_rank < 0 || order < next_rank))
                next_rank = order;
        }
        rank = next_rank;
    }
}

VyrTrigger *VyrMeasurement::running_trigger() const
{
    VyrTriggerList *triggers = VyrTriggerList::instance();
    return triggers ? triggers->find(QStringLiteral("Running")) : nullptr;
}

void VyrMeasurement::raise_priority()
{
    if (vyr_app_state().options.nort) {
        log(VyrMessageLog::info, QStringLiteral("*** Realtime Class OFF ***\n"));
        return;
    }
    m_saved_nice = platform::process_nice();
    const bool careful = settings_store().read_bool("BeCarefulWithThatAxe", false);
    if (!platform::set_process_nice(careful ? platform::above_normal_class_nice : platform::realtime_class_nice))
        log(VyrMessageLog::error, QStringLiteral("SetPriorityClass() failed\n"));
}

void VyrMeasurement::restore_priority()
{
    if (!vyr_app_state().options.nort && !platform::set_process_nice(m_saved_nice))
        log(VyrMessageLog::error, QStringLiteral("SetPriorityClass() failed\n"));
}

void VyrMeasurement::start()
{
    if (m_running)
        return;
    stop_countdown();
    for (const VyrSignalIfType *type = get_first_signal_if_type(); type; type = type->next())
        call_measurement_start_hook(type);
    m_communication_failure_reported = false;

    int check = 0;
    for (VyrSignalIf *interface = get_first_signal_if(); interface && check == 0; interface = interface->next())
        if (interface->active())
            check = interface->check_script_file_modified(m_question_parent);
    if (VyrTriggerList *triggers = VyrTriggerList::instance())
        for (VyrTrigger *trigger = triggers->first(); trigger; trigger = triggers->next())
            trigger->reset();
    if (check < 0)
        report_start_failure();
    if (check != 0)
        return;

    m_running = true;
    log(VyrMessageLog::info, tr("%1: measurement started.").arg(now_text()) + QLatin1Char('\n'));
    raise_priority();

    const platform::TimerCaps caps = platform::timer_caps();
    debug_trace("VyrMeasurement::start: time_caps.wPeriodMin=%d, wPeriodMin=%d", caps.min_period_ms,
                caps.max_period_ms);
    const platform::TimeAdjustment adjustment = platform::time_adjustment();
    debug_trace("VyrMeasurement::start: GetSystemTimeAdjustment ()-> %d, time_adjustment=%u, time_increment=%u, "
                "time_adjustment_disabled=%u",
                adjustment.result, adjustment.frequency_ppm, adjustment.tick_us, adjustment.adjustment_off);
    if (!settings_store().read_bool("DisableMemoryOptimization", false))
        platform::lock_code_mappings();
    m_saved_timer_slack = platform::timer_slack_ns();
    debug_trace("VyrMeasurement::start: timeBeginPeriod () -> %d", platform::set_timer_slack_ns(1));

    m_timer_wheel->set_time(0);
    emit measurement_time_started();

    bool timer_given = false;
    for_each_by_ascending_rank([this, &timer_given](VyrSignalIf *interface) {
        interface->prepare_start();
        interface->set_timer(m_timer_wheel.get(), !timer_given); // the first one drives the wheel
        timer_given = true;
    });
    emit prepare_automatic_update();
    start_key_trigger_conditions();
    start_signal_trigger_conditions();
    start_timer_trigger_conditions();
    bool failed = false;
    for_each_by_ascending_rank([&failed](VyrSignalIf *interface) { failed = interface->startup() != 0 || failed; });
    if (!failed)
        for_each_by_ascending_rank(
            [&failed](VyrSignalIf *interface) { failed = interface->go_online() != 0 || failed; });
    m_stop_rank = max_start_rank;
    if (failed) {
        stop();
        report_start_failure();
        return;
    }
    for_each_by_ascending_rank([](VyrSignalIf *interface) { interface->start(); });
    m_stop_rank = max_start_rank;
    QThread::msleep(1);
    emit start_automatic_update();
    if (VyrTrigger *running = running_trigger())
        running->set();
    emit running_changed(true);
    if (VyrGlobalAccel *accelerators = VyrGlobalAccel::instance())
        accelerators->set_enabled(true);
}

void VyrMeasurement::report_start_failure()
{
    if (under_remote_control())
        log(VyrMessageLog::error, tr("Start failed !") + QLatin1Char('\n'));
    else
        vyr_ask_question(m_question_parent, tr("Error"),
                         tr("Start failed !\nSee the message window for more information."), {tr("OK")});
}

void VyrMeasurement::stop()
{
    if (!m_running)
        return;
    if (VyrGlobalAccel *accelerators = VyrGlobalAccel::instance())
        accelerators->set_enabled(false);
    if (VyrTrigger *running = running_trigger())
        running->reset();
    for (int rank = m_stop_rank; rank >= 0;) {
        int next_rank = -1;
        for (VyrSignalIf *interface = get_first_signal_if(); interface; interface = interface->next()) {
            if (!interface->active())
                continue;
            const int order = interface->start_order();
            if (order == rank)
                interface->stop();
            else if (order < rank && order > 0 && order > next_rank)
                next_rank = order;
        }
        rank = rank == 0 ? -1 : next_rank < 0 ? 0 : next_rank;
    }
    stop_key_trigger_conditions();
    emit stop_automatic_update();
    for (VyrSignalIf *interface = get_first_signal_if(); interface; interface = interface->next())
        interface->clear_signal_listeners();
    stop_signal_trigger_conditions();
    stop_timer_trigger_conditions();
    log(VyrMessageLog::info, tr("%1: measurement stopped.").arg(now_text()) + QLatin1Char('\n'));
    m_running = false;
    emit running_changed(false);
    platform::set_timer_slack_ns(m_saved_timer_slack);
    restore_priority();
}

int VyrMeasurement::compile()
{
    int result = 0;
    for (VyrSignalIf *interface = get_first_signal_if(); interface && result == 0; interface = interface->next())
        if (interface->active())
            result = interface->reload_script();
    if (result == 0)
        log(VyrMessageLog::info, tr("Reload/Compile was successful.") + QLatin1Char('\n'));
    return result;
}

void VyrMeasurement::communication_failed(const QString &reason)
{
    if (m_communication_failure_reported)
        return;
    stop();
    m_communication_failure_reported = true;
    log(VyrMessageLog::error, QStringLiteral("Communication with target broken, reason: %1\n").arg(reason));
    if (!under_remote_control())
        vyr_ask_question(m_question_parent, QStringLiteral("Error"),
                         QStringLiteral("Communication with target broken\nReason: %1").arg(reason),
                         {QStringLiteral("OK")});
}

void VyrMeasurement::delayed_start()
{
    if (m_running)
        return;
    if (m_start_delay == 0) {
        start();
        return;
    }
    start_countdown(delayed_start_step_s, m_start_delay);
}

void VyrMeasurement::restart(unsigned delay_seconds)
{
    debug_trace("VyrMeasurement::restart: Restart Measurement wanted, delay=%us.", delay_seconds);
    stop();
    stop_countdown();
    start_countdown(restart_step_s, int(std::min<unsigned>(delay_seconds, max_start_delay_s)));
}

void VyrMeasurement::start_countdown(int step_seconds, int remaining_seconds)
{
    m_countdown_step = step_seconds;
    m_countdown_remaining = remaining_seconds;
    m_clock->start(step_seconds * 1000, [this] { countdown_tick(); });
    log(VyrMessageLog::warning,
        tr("Starting measurement in %1 seconds ....").arg(remaining_seconds) + QLatin1Char('\n'));
}

void VyrMeasurement::countdown_tick()
{
    m_countdown_remaining = m_countdown_remaining > m_countdown_step ? m_countdown_remaining - m_countdown_step : 0;
    if (!m_running && m_countdown_remaining > 0) {
        log(VyrMessageLog::warning,
            tr("Remaining time until start of measurement: %1 seconds ....").arg(m_countdown_remaining) +
                QLatin1Char('\n'));
        return;
    }
    stop_countdown();
    m_start_delay = 0;
    // The start runs from the event loop, not inside the clock's tick.
    if (!m_running)
        QMetaObject::invokeMethod(this, &VyrMeasurement::delayed_start, Qt::QueuedConnection);
}

void VyrMeasurement::stop_countdown()
{
    if (m_countdown_step == 0)
        return;
    m_clock->stop();
    m_countdown_step = 0;
}
