// Starting and stopping the measurement across the interfaces.
#include "app/vyr_main.h"

#include "core/timer_wheel.h"
#include "core/vyr_custom_event.h"
#include "core/vyr_signal_if.h"
#include "core/vyr_signal_if_type.h"
#include "core/vyr_trigger.h"
#include "windows/packet/vyr_rt_log.h"

#include <QDateTime>
#include <QThread>

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

void VyrMain::start()
{
    if (measurement_running)
        return;
    for (const VyrSignalIfType *type = get_first_signal_if_type(); type; type = type->next())
        call_measurement_start_hook(type);

    int check = 0;
    for (VyrSignalIf *interface = get_first_signal_if(); interface && check == 0; interface = interface->next())
        if (interface->active())
            check = interface->check_script_file_modified(this);
    VyrTriggerList *triggers = VyrTriggerList::instance();
    if (triggers)
        for (VyrTrigger *trigger = triggers->first(); trigger; trigger = triggers->next())
            trigger->reset();
    if (check < 0)
        log_message_error(tr("Start failed !") + QLatin1Char('\n'));
    if (check != 0)
        return;

    measurement_running = true;
    log_message_info(tr("%1: measurement started.").arg(QDateTime::currentDateTime().toString()) + QLatin1Char('\n'));
    timer_wheel->set_time(0);
    // Rows carry the measurement time while it runs.
    message_window->set_time_source([wheel = timer_wheel] { return wheel->current_time(); });

    bool timer_given = false;
    for_each_by_ascending_rank([this, &timer_given](VyrSignalIf *interface) {
        interface->prepare_start();
        interface->set_timer(timer_wheel, !timer_given); // the first one drives the wheel
        timer_given = true;
    });
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
    QThread::msleep(1);
    if (VyrTrigger *running = running_trigger())
        running->set();
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
    for (VyrSignalIf *interface = get_first_signal_if(); interface; interface = interface->next())
        interface->clear_signal_listeners();
    log_message_info(tr("%1: measurement stopped.").arg(QDateTime::currentDateTime().toString()) + QLatin1Char('\n'));
    message_window->set_time_source(nullptr);
    measurement_running = false;
}

void VyrMain::customEvent(QEvent *event)
{
    if (int(event->type()) == vyr_event_start)
        start();
}
