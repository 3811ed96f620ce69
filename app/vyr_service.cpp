#include "app/vyr_service.h"

#include "app/shell/vyr_app_state.h"
#include "app/vyr_main.h"
#include "core/vyr_custom_event.h"
#include "settings/debug_trace.h"

#include <QApplication>
#include <QPointer>

VyrService::VyrService() : QtService(QStringLiteral("Vyr"), QStringLiteral("Vyr Background Service"), 0) {}

VyrMain *VyrService::main_window()
{
    std::lock_guard<std::mutex> lock(m_main_window_mutex);
    return m_main_window;
}

int VyrService::run(int argc, char **argv)
{
    debug_trace("VyrService::run");
    vyr_app_state().options.start = true; // set-up starts the measurement
    auto *window = new VyrMain();
    window->setObjectName(QStringLiteral("VyrMain"));
    QObject::connect(window, &QObject::destroyed, qApp, [this] {
        {
            std::lock_guard<std::mutex> lock(m_main_window_mutex);
            m_main_window = nullptr;
        }
        QCoreApplication::quit();
    });
    window->show();
    window->setup();
    // The handlers reach the window from here on: set-up processes events
    // while it loads, and an exit handled outside the event loop would be
    // lost. A stop that came meanwhile is handled first thing in the loop.
    {
        std::lock_guard<std::mutex> lock(m_main_window_mutex);
        m_main_window = window;
        if (m_stop_requested)
            QCoreApplication::postEvent(window, new VyrCustomEvent(vyr_event_exit, 0));
    }
    const QPointer<VyrMain> window_guard(window);
    const int exit_code = QApplication::exec();
    // The window's interfaces must be gone before the exit hooks take their
    // drivers away: it is deleted here, not left to the process's end.
    {
        std::lock_guard<std::mutex> lock(m_main_window_mutex);
        m_main_window = nullptr;
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    delete window_guard.data();
    return exit_code;
}

void VyrService::post_to_main_window(int type, uint32_t word)
{
    std::lock_guard<std::mutex> lock(m_main_window_mutex);
    if (m_main_window)
        QCoreApplication::postEvent(m_main_window, new VyrCustomEvent(VyrEventType(type), word));
    else if (type == vyr_event_exit)
        m_stop_requested = true; // the manager's stop must not be lost while run builds the window
}

void VyrService::stop()
{
    debug_trace("VyrService::stop");
    post_to_main_window(vyr_event_exit, 0);
}

void VyrService::pause()
{
    debug_trace("VyrService::pause");
    post_to_main_window(vyr_event_stop);
}

void VyrService::resume()
{
    debug_trace("VyrService::resume");
    post_to_main_window(vyr_event_start);
}

void VyrService::user(int code)
{
    debug_trace("VyrService::user, code=%d", code);
}
