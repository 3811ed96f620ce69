// Starting, stopping and recompiling the measurement across the interfaces,
// the custom events that interface threads and scripts post to the main
// window, the delayed start and restart countdowns, and the suspend stop.
#include "app/vyr_main.h"

#include "app/settings_store.h"
#include "app/vyr_app_state.h"
#include "app/vyr_application_event_watcher.h"
#include "app/vyr_power_events.h"
#include "app/vyr_main_widgets.h"
#include "settings/debug_trace.h"
#include "core/timer_wheel.h"
#include "core/vyr_custom_event.h"
#include "core/vyr_global_accel.h"
#include "core/vyr_question.h"
#include "core/vyr_signal_if.h"
#include "core/vyr_signal_if_type.h"
#include "core/vyr_trigger.h"
#include "platform/process_tuning.h"
#include "windows/packet/vyr_packet_display.h"
#include "windows/packet/vyr_rt_log.h"

#include <QApplication>
#include <QDateTime>
#include <QThread>
#include <QTimerEvent>

#include <algorithm>

namespace {

constexpr int max_start_delay_s = 3600;
constexpr int delayed_start_step_s = 5;
constexpr int restart_step_s = 1;

VyrMain::ShutdownFunction &shutdown_function()
{
    static VyrMain::ShutdownFunction function = request_system_shutdown;
    return function;
}

QString now_text()
{
    return QDateTime::currentDateTime().toString();
}

} // namespace

void VyrMain::set_shutdown_function(ShutdownFunction function)
{
    shutdown_function() = function ? std::move(function) : request_system_shutdown;
}

void VyrMain::for_each_by_ascending_rank(const std::function<void(VyrSignalIf *)> &operation)
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

void VyrMain::raise_priority()
{
    if (vyr_app_state().options.nort) {
        log_message_info(QStringLiteral("*** Realtime Class OFF ***\n"));
        return;
    }
    m_saved_nice = platform::process_nice();
    const bool careful = settings_store().read_bool("BeCarefulWithThatAxe", false);
    if (!platform::set_process_nice(careful ? platform::above_normal_class_nice : platform::realtime_class_nice))
        log_message_error(QStringLiteral("SetPriorityClass() failed\n"));
}

void VyrMain::restore_priority()
{
    if (!vyr_app_state().options.nort && !platform::set_process_nice(m_saved_nice))
        log_message_error(QStringLiteral("SetPriorityClass() failed\n"));
}

void VyrMain::start()
{
    if (measurement_running)
        return;
    if (countdown_timer) {
        killTimer(countdown_timer);
        countdown_timer = 0;
    }
    for (const VyrSignalIfType *type = get_first_signal_if_type(); type; type = type->next())
        call_measurement_start_hook(type);
    communication_failure_reported = false;

    int check = 0;
    for (VyrSignalIf *interface = get_first_signal_if(); interface && check == 0; interface = interface->next())
        if (interface->active())
            check = interface->check_script_file_modified(this);
    if (VyrTriggerList *triggers = VyrTriggerList::instance())
        for (VyrTrigger *trigger = triggers->first(); trigger; trigger = triggers->next())
            trigger->reset();
    if (check < 0)
        vyr_ask_question(this, tr("Error"), tr("Start failed !\nSee the message window for more information."),
                         {tr("OK")});
    if (check != 0)
        return;

    measurement_running = true;
    if (event_watcher)
        event_watcher->enabled = true;
    log_message_info(tr("%1: measurement started.").arg(now_text()) + QLatin1Char('\n'));
    raise_priority();

    const platform::TimerCaps caps = platform::timer_caps();
    debug_trace("VyrMain::start: time_caps.wPeriodMin=%d, wPeriodMin=%d", caps.min_period_ms, caps.max_period_ms);
    const platform::TimeAdjustment adjustment = platform::time_adjustment();
    debug_trace("VyrMain::start: GetSystemTimeAdjustment ()-> %d, time_adjustment=%u, time_increment=%u, "
                "time_adjustment_disabled=%u",
                adjustment.result, adjustment.frequency_ppm, adjustment.tick_us, adjustment.adjustment_off);
    if (!settings_store().read_bool("DisableMemoryOptimization", false))
        platform::lock_code_mappings();
    m_saved_timer_slack = platform::timer_slack_ns();
    debug_trace("VyrMain::start: timeBeginPeriod () -> %d", platform::set_timer_slack_ns(1));

    timer_wheel->set_time(0);
    // Rows carry the measurement time while it runs.
    message_window->set_time_source([wheel = timer_wheel] { return wheel->current_time(); });

    bool timer_given = false;
    for_each_by_ascending_rank([this, &timer_given](VyrSignalIf *interface) {
        interface->prepare_start();
        interface->set_timer(timer_wheel, !timer_given); // the first one drives the wheel
        timer_given = true;
    });
    emit prepare_automatic_update();
    bool failed = false;
    for_each_by_ascending_rank([&failed](VyrSignalIf *interface) { failed = interface->startup() != 0 || failed; });
    if (!failed)
        for_each_by_ascending_rank(
            [&failed](VyrSignalIf *interface) { failed = interface->go_online() != 0 || failed; });
    m_stop_rank = max_start_rank;
    if (failed) {
        stop();
        return;
    }
    for_each_by_ascending_rank([](VyrSignalIf *interface) { interface->start(); });
    m_stop_rank = max_start_rank;
    QThread::msleep(1);
    emit start_automatic_update();
    if (VyrTrigger *running = running_trigger())
        running->set();
    show_state();
    if (VyrGlobalAccel *accelerators = VyrGlobalAccel::instance())
        accelerators->set_enabled(true);
}

VyrTrigger *VyrMain::running_trigger() const
{
    VyrTriggerList *triggers = VyrTriggerList::instance();
    return triggers ? triggers->find(QStringLiteral("Running")) : nullptr;
}

void VyrMain::stop()
{
    if (!measurement_running)
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
    emit stop_automatic_update();
    for (VyrSignalIf *interface = get_first_signal_if(); interface; interface = interface->next())
        interface->clear_signal_listeners();
    log_message_info(tr("%1: measurement stopped.").arg(now_text()) + QLatin1Char('\n'));
    message_window->set_time_source(nullptr);
    measurement_running = false;
    if (event_watcher)
        event_watcher->enabled = false;
    show_state();
    platform::set_timer_slack_ns(m_saved_timer_slack);
    restore_priority();
}

void VyrMain::compile()
{
    if (message_window)
        message_window->clear();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    int result = 0;
    for (VyrSignalIf *interface = get_first_signal_if(); interface && result == 0; interface = interface->next())
        if (interface->active())
            result = interface->reload_script();
    QApplication::restoreOverrideCursor();
    if (result != 0) {
        vyr_ask_question(this, tr("Error"), tr("Reload/Compile failed !\nSee the message window for more information."),
                         {tr("OK")});
        return;
    }
    log_message_info(tr("Reload/Compile was successful.") + QLatin1Char('\n'));
    if (!settings_store().read_bool("DontDisplayCompileOKMessage", false))
        vyr_ask_question(this, tr("Info"), tr("Reload/Compile was successful."), {tr("OK")},
                         VyrQuestionIcon::information);
}

void VyrMain::communication_failed(const QString &reason)
{
    if (communication_failure_reported)
        return;
    stop();
    communication_failure_reported = true;
    log_message_error(QStringLiteral("Communication with target broken, reason: %1\n").arg(reason));
    vyr_ask_question(this, QStringLiteral("Error"),
                     QStringLiteral("Communication with target broken\nReason: %1").arg(reason),
                     {QStringLiteral("OK")});
}

int VyrMain::shutdown_system(int mode)
{
    return mode >= 0 && mode <= 2 ? shutdown_function()(mode) : -1;
}

void VyrMain::delayed_start()
{
    int &delay = vyr_app_state().options.start_delay;
    delay = std::clamp(delay, 0, max_start_delay_s);
    if (measurement_running)
        return;
    if (delay == 0) {
        start();
        return;
    }
    start_countdown(delayed_start_step_s, delay);
}

void VyrMain::restart(unsigned delay_seconds)
{
    debug_trace("VyrMain::restart: Restart Measurement wanted, delay=%us.", delay_seconds);
    stop();
    if (countdown_timer) {
        killTimer(countdown_timer);
        countdown_timer = 0;
    }
    start_countdown(restart_step_s, int(std::min<unsigned>(delay_seconds, max_start_delay_s)));
}

void VyrMain::start_countdown(int step_seconds, int remaining_seconds)
{
    m_countdown_step = step_seconds;
    m_countdown_remaining = remaining_seconds;
    countdown_timer = startTimer(step_seconds * 1000);
    log_message_warning(tr("Starting measurement in %1 seconds ....").arg(remaining_seconds) + QLatin1Char('\n'));
}

void VyrMain::countdown_tick()
{
    m_countdown_remaining = m_countdown_remaining > m_countdown_step ? m_countdown_remaining - m_countdown_step : 0;
    if (!measurement_running && m_countdown_remaining > 0) {
        log_message_warning(
            tr("Remaining time until start of measurement: %1 seconds ....").arg(m_countdown_remaining) +
            QLatin1Char('\n'));
        return;
    }
    if (!measurement_running)
        post_vyr_event(this, new VyrCustomEvent(vyr_event_start));
    killTimer(countdown_timer);
    countdown_timer = 0;
    vyr_app_state().options.start_delay = 0; // the posted event starts at once
}

void VyrMain::power_event(int code)
{
    if (code == VyrPowerEvents::suspending) {
        log_message_info(tr("System going to suspend mode -> stop measurement\n"));
        stop();
    } else if (code == VyrPowerEvents::resumed_automatically) {
        log_message_info(tr("System resumed\n"));
    }
}

void VyrMain::customEvent(QEvent *event)
{
    const auto *custom = dynamic_cast<VyrCustomEvent *>(event);
    if (!custom)
        return;
    switch (custom->event_type()) {
    case vyr_event_error:
        communication_failed(custom->text());
        break;
    case vyr_event_stop:
        stop();
        break;
    case vyr_event_exit:
        stop();
        QCoreApplication::exit(int(custom->word1()));
        break;
    case vyr_event_minimize:
        showMinimized();
        break;
    case vyr_event_restore:
        showNormal();
        break;
    case vyr_event_start:
        delayed_start();
        break;
    case vyr_event_beep:
        QApplication::beep(); // the frequency and duration are not the system's to choose here
        break;
    case vyr_event_show:
        if (const auto *show = dynamic_cast<const VyrShowEvent *>(custom)) {
            debug_trace("VyrMain::customEvent: Show Event %p", static_cast<void *>(show->widget()));
            if (auto *widget = qobject_cast<QWidget *>(show->widget()))
                widget->showNormal();
        }
        break;
    case vyr_event_restart:
        restart(custom->word1());
        break;
    case vyr_event_shutdown:
        stop();
        if (custom->word1() <= 2)
            shutdown_system(int(custom->word1()));
        break;
    case vyr_event_save_log:
        if (!message_window)
            break;
        // The window takes rows on its timer: the file gets those logged until now.
        message_window->display()->update();
        if (custom->word1() == 1 || custom->word1() == 2)
            message_window->copy_all_messages_to_file(custom->text());
        if (custom->word1() == 2 || custom->word1() == 3)
            message_window->clear();
        break;
    case vyr_event_select_workspace:
        if (custom->word1() < uint32_t(workspace_tab_bar->count()))
            workspace_tab_bar->setCurrentIndex(int(custom->word1()));
        break;
    }
}
