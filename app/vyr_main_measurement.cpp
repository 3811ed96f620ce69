// The main window's side of the measurement: its commands forwarded to the
// measurement object, what the window shows of a running measurement, the
// custom events that interface threads and scripts post to the window, and
// the suspend stop.
#include "app/vyr_main.h"

#include "app/shell/settings_store.h"
#include "app/shell/vyr_measurement.h"
#include "app/shell/vyr_workspaces.h"
#include "app/vyr_application_event_watcher.h"
#include "app/vyr_power_events.h"
#include "settings/debug_trace.h"
#include "core/vyr_custom_event.h"
#include "core/vyr_question.h"
#include "lib/qtservice/qtservice.h"
#include "windows/packet/vyr_packet_display.h"
#include "windows/packet/vyr_rt_log.h"

#include <QApplication>

namespace {

VyrMain::ShutdownFunction &shutdown_function()
{
    static VyrMain::ShutdownFunction function = request_system_shutdown;
    return function;
}

} // namespace

void VyrMain::set_shutdown_function(ShutdownFunction function)
{
    shutdown_function() = function ? std::move(function) : request_system_shutdown;
}

void VyrMain::start()
{
    m_measurement->start();
}

void VyrMain::stop()
{
    m_measurement->stop();
}

void VyrMain::measurement_running_changed(bool running)
{
    if (!running)
        m_message_window->set_time_source(nullptr);
    m_event_watcher->set_enabled(running);
    show_state();
    // A service follows the measurement: running while one runs, else
    // paused, whoever started or stopped it.
    if (QtService *service = QtService::instance()) {
        if (running)
            service->report_running();
        else
            service->report_paused();
    }
}

void VyrMain::compile()
{
    m_message_window->clear();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const int result = m_measurement->compile();
    QApplication::restoreOverrideCursor();
    if (result != 0) {
        if (under_remote_control()) {
            log_message_error(tr("Reload/Compile failed.") + QLatin1Char('\n'));
            return;
        }
        vyr_ask_question(this, tr("Error"), tr("Reload/Compile failed !\nSee the message window for more information."),
                         {tr("OK")});
        return;
    }
    if (!settings_store().read_bool("DontDisplayCompileOKMessage", false) && !under_remote_control())
        vyr_ask_question(this, tr("Info"), tr("Reload/Compile was successful."), {tr("OK")},
                         VyrQuestionIcon::information);
}

void VyrMain::communication_failed(const QString &reason)
{
    m_measurement->communication_failed(reason);
}

int VyrMain::shutdown_system(int mode)
{
    return mode >= 0 && mode <= 2 ? shutdown_function()(mode) : -1;
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
        m_measurement->delayed_start();
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
        m_measurement->restart(custom->word1());
        break;
    case vyr_event_shutdown:
        stop();
        if (custom->word1() <= 2)
            shutdown_system(int(custom->word1()));
        break;
    case vyr_event_save_log:
        // The window takes rows on its timer: the file gets those logged until now.
        m_message_window->display()->update();
        if (custom->word1() == 1 || custom->word1() == 2)
            m_message_window->copy_all_messages_to_file(custom->text());
        if (custom->word1() == 2 || custom->word1() == 3)
            m_message_window->clear();
        break;
    case vyr_event_select_workspace:
        if (custom->word1() < uint32_t(m_workspaces->count()))
            m_workspaces->select(m_workspaces->at(int(custom->word1())).id);
        break;
    }
}
