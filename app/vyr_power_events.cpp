#include "app/vyr_power_events.h"

#include "settings/debug_trace.h"

#include <QDBusConnection>
#include <QDBusMessage>

namespace {

const QString login_service = QStringLiteral("org.freedesktop.login1");
const QString login_path = QStringLiteral("/org/freedesktop/login1");
const QString login_manager = QStringLiteral("org.freedesktop.login1.Manager");

} // namespace

VyrPowerEvents::VyrPowerEvents(QObject *parent) : QObject(parent)
{
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) {
        debug_trace("VyrPowerEvents::VyrPowerEvents: no system bus, no power events");
        return;
    }
    m_watching = bus.connect(login_service, login_path, login_manager, QStringLiteral("PrepareForSleep"), this,
                             SLOT(prepare_for_sleep(bool)));
}

void VyrPowerEvents::prepare_for_sleep(bool start)
{
    emit power_event(start ? suspending : resumed_automatically);
}

int request_system_shutdown(int mode)
{
    static const char *const methods[] = {"Halt", "PowerOff", "Reboot"};
    if (mode < 0 || mode > 2)
        return -1;
    QDBusMessage call =
        QDBusMessage::createMethodCall(login_service, login_path, login_manager, QLatin1String(methods[mode]));
    call << false; // not interactive: no authentication dialog
    const QDBusMessage reply = QDBusConnection::systemBus().call(call);
    if (reply.type() != QDBusMessage::ReplyMessage) {
        debug_trace("request_system_shutdown: %s failed: %s", methods[mode], qPrintable(reply.errorMessage()));
        return -1;
    }
    return 0;
}
