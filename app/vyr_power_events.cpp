#include "app/vyr_power_events.h"

#include "core/settings/debug_trace.h"

#include <QDBusConnection>

VyrPowerEvents::VyrPowerEvents(QObject *parent) : QObject(parent)
{
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) {
        debug_trace("VyrPowerEvents::VyrPowerEvents: no system bus, no power events");
        return;
    }
    m_watching = bus.connect(QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
                             QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PrepareForSleep"),
                             this, SLOT(prepare_for_sleep(bool)));
}

void VyrPowerEvents::prepare_for_sleep(bool start)
{
    emit power_event(start ? suspending : resumed_automatically);
}
