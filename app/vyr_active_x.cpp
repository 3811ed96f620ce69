#include "app/vyr_active_x.h"

#include "app/vyr_sys_if.h"
#include "settings/debug_trace.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDBusServiceWatcher>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMetaClassInfo>
#include <QSaveFile>
#include <QTimer>

namespace vyr_automation {

const char *const service_name = "org.vyr.Vyr";
const char *const factory_path = "/org/vyr/Vyr";
const char *const class_key = "VyrActiveX";

QString error_name(int code)
{
    return QStringLiteral("org.vyr.Vyr.Error%1").arg(-code);
}

QString error_text(int code)
{
    switch (code) {
    case VyrSysIf::interface_not_found:
        return QStringLiteral("Interface not Found");
    case VyrSysIf::signal_not_found:
        return QStringLiteral("Signal not Found");
    case VyrSysIf::no_signal_list:
        return QStringLiteral("No Signal List");
    case VyrSysIf::no_value:
        return QStringLiteral("No Value");
    case VyrSysIf::not_a_number:
        return QStringLiteral("Value is not a Number");
    case VyrSysIf::action_not_found:
        return QStringLiteral("Action not Found");
    default:
        return QStringLiteral("???");
    }
}

namespace {

QString class_info(const QMetaObject &meta, const char *name)
{
    return QString::fromUtf8(meta.classInfo(meta.indexOfClassInfo(name)).value());
}

} // namespace

QString interface_xml()
{
    return QStringLiteral("<!DOCTYPE node PUBLIC \"-//freedesktop//DTD D-BUS Object Introspection 1.0//EN\"\n"
                          "\"http://www.freedesktop.org/standards/dbus/1.0/introspect.dtd\">\n<node>\n") +
        class_info(VyrActiveXAdaptor::staticMetaObject, "D-Bus Introspection") +
        class_info(VyrActiveXEventsAdaptor::staticMetaObject, "D-Bus Introspection") + QStringLiteral("</node>\n");
}

QString service_file_path()
{
    QString data_home = QString::fromLocal8Bit(qgetenv("XDG_DATA_HOME"));
    if (data_home.isEmpty())
        data_home = QDir::homePath() + QStringLiteral("/.local/share");
    return data_home + QStringLiteral("/dbus-1/services/") + QLatin1String(service_name) + QStringLiteral(".service");
}

bool register_server(const QString &program_path)
{
    const QString path = service_file_path();
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(QStringLiteral("[D-BUS Service]\nName=%1\nExec=%2 -activex\n")
                   .arg(QLatin1String(service_name), QFileInfo(program_path).absoluteFilePath())
                   .toLocal8Bit());
    return file.commit();
}

bool unregister_server()
{
    const QString path = service_file_path();
    return !QFile::exists(path) || QFile::remove(path);
}

} // namespace vyr_automation

// --- VyrActiveX ---------------------------------------------------------------------------------

VyrActiveX::VyrActiveX(QObject *parent, const QString &name) : QObject(parent)
{
    setObjectName(name);
    debug_trace("VyrActiveX::VyrActiveX ()");
    if (VyrSysIf *sys_if = VyrSysIf::instance())
        sys_if->add_automation_object();
}

VyrActiveX::~VyrActiveX()
{
    debug_trace("VyrActiveX::~VyrActiveX ()");
    if (VyrSysIf *sys_if = VyrSysIf::instance())
        sys_if->remove_automation_object();
}

int VyrActiveX::start()
{
    debug_trace("VyrActiveX::start()");
    VyrSysIf *sys_if = VyrSysIf::instance();
    return sys_if ? sys_if->startMeasurement() : 0;
}

int VyrActiveX::stop()
{
    debug_trace("VyrActiveX::stop()");
    VyrSysIf *sys_if = VyrSysIf::instance();
    return sys_if ? sys_if->stopMeasurement() : 0;
}

int VyrActiveX::loadConfiguration(const QString &p_filename)
{
    VyrSysIf *sys_if = VyrSysIf::instance();
    return sys_if ? sys_if->loadConfiguration(p_filename) : 0;
}

int VyrActiveX::getConfiguration(QString &p_filename)
{
    VyrSysIf *sys_if = VyrSysIf::instance();
    return sys_if ? sys_if->getConfiguration(p_filename) : 0;
}

int VyrActiveX::exit()
{
    return unlockServer();
}

int VyrActiveX::unlockServer()
{
    VyrSysIf *sys_if = VyrSysIf::instance();
    return sys_if ? sys_if->unlockServer() : 0;
}

int VyrActiveX::callAction(const QString &p_interface, const QString &p_name)
{
    VyrSysIf *sys_if = VyrSysIf::instance();
    return sys_if ? sys_if->callAction(p_interface, p_name) : 0;
}

int VyrActiveX::setSignalValue(const QString &p_interface, const QString &p_name, const QVariant &p_value)
{
    VyrSysIf *sys_if = VyrSysIf::instance();
    if (!sys_if)
        return 0;
    if (p_value.type() == QVariant::Int)
        return sys_if->setSignalValue(p_interface, p_name, int32_t(p_value.toInt()));
    // A text that is no number must not set 0.0 and report success.
    bool number = false;
    const double value = p_value.toDouble(&number);
    if (!number)
        return VyrSysIf::not_a_number;
    return sys_if->setSignalValue(p_interface, p_name, value);
}

int VyrActiveX::getCurrentSignalValue(const QString &p_interface, const QString &p_name, QVariant &p_values,
                                      QVariant &p_timestamp)
{
    VyrSysIf *sys_if = VyrSysIf::instance();
    if (!sys_if)
        return 0;
    double value = 0.0;
    int64_t time_ms = 0;
    const int code = sys_if->readCurrentValue(p_interface, p_name, value, time_ms);
    if (code == 0) {
        p_values = value;
        p_timestamp = double(time_ms);
    }
    return code;
}

int VyrActiveX::getLatestValues(const QString &p_interface, const QString &p_name, QVariantList &p_values,
                                QVariantList &p_timestamps)
{
    VyrSysIf *sys_if = VyrSysIf::instance();
    if (!sys_if)
        return 0;
    for (;;) {
        double value = 0.0;
        int64_t time_ms = 0;
        const int code = sys_if->readLatestValue(p_interface, p_name, value, time_ms);
        if (code == VyrSysIf::no_value)
            return 0;
        if (code != 0)
            return code;
        p_values.append(value);
        p_timestamps.append(qlonglong(time_ms));
    }
}

int VyrActiveX::getSignalAndValueList(const QString &p_interface, QVariantList &p_signal_list,
                                      QVariantList &p_value_lists)
{
    VyrSysIf *sys_if = VyrSysIf::instance();
    return sys_if ? sys_if->getSignalAndValueList(p_interface, p_signal_list, p_value_lists) : 0;
}

// --- VyrActiveXAdaptor --------------------------------------------------------------------------

VyrActiveXAdaptor::VyrActiveXAdaptor(VyrActiveX *object, std::function<void()> release)
    : QDBusAbstractAdaptor(object), m_object(object), m_release(std::move(release))
{}

void VyrActiveXAdaptor::reply_code(int code)
{
    if (code != 0)
        m_object->sendErrorReply(vyr_automation::error_name(code), vyr_automation::error_text(code));
}

void VyrActiveXAdaptor::run_when_no_dialog(const std::function<void()> &work)
{
    if (!QApplication::activeModalWidget()) {
        work();
        return;
    }
    // The reply goes once the work is done; until then the client waits.
    m_object->setDelayedReply(true);
    const QDBusMessage call = m_object->message();
    QDBusConnection bus = m_object->connection();
    auto *poll = new QTimer(this);
    poll->setInterval(50);
    connect(poll, &QTimer::timeout, this, [poll, call, bus, work]() mutable {
        if (QApplication::activeModalWidget())
            return;
        poll->deleteLater();
        poll->stop();
        work();
        bus.send(call.createReply());
    });
    poll->start();
}

void VyrActiveXAdaptor::start()
{
    run_when_no_dialog([object = m_object] { object->start(); });
}

void VyrActiveXAdaptor::stop()
{
    run_when_no_dialog([object = m_object] { object->stop(); });
}

void VyrActiveXAdaptor::loadConfiguration(const QString &p_filename)
{
    run_when_no_dialog([object = m_object, p_filename] { object->loadConfiguration(p_filename); });
}

QString VyrActiveXAdaptor::getConfiguration(const QString &p_filename)
{
    QString name = p_filename;
    m_object->getConfiguration(name);
    return name;
}

void VyrActiveXAdaptor::exit()
{
    m_object->exit();
}

void VyrActiveXAdaptor::unlockServer()
{
    m_object->unlockServer();
}

void VyrActiveXAdaptor::callAction(const QString &p_interface, const QString &p_name)
{
    reply_code(m_object->callAction(p_interface, p_name));
}

void VyrActiveXAdaptor::setSignalValue(const QString &p_interface, const QString &p_name, const QDBusVariant &p_value)
{
    reply_code(m_object->setSignalValue(p_interface, p_name, p_value.variant()));
}

void VyrActiveXAdaptor::getCurrentSignalValue(const QString &p_interface, const QString &p_name,
                                              const QDBusVariant &p_values_in, const QDBusVariant &p_timestamp_in,
                                              QDBusVariant &p_values, QDBusVariant &p_timestamp)
{
    // A signal without a value yet answers 0 at 0 ms.
    QVariant value = 0.0;
    QVariant time = 0.0;
    Q_UNUSED(p_values_in)
    Q_UNUSED(p_timestamp_in)
    reply_code(m_object->getCurrentSignalValue(p_interface, p_name, value, time));
    p_values.setVariant(value);
    p_timestamp.setVariant(time);
}

void VyrActiveXAdaptor::getLatestValues(const QString &p_interface, const QString &p_name,
                                        const QVariantList &p_values_in, const QVariantList &p_timestamps_in,
                                        QVariantList &p_values, QVariantList &p_timestamps)
{
    p_values = p_values_in;
    p_timestamps = p_timestamps_in;
    reply_code(m_object->getLatestValues(p_interface, p_name, p_values, p_timestamps));
}

void VyrActiveXAdaptor::getSignalAndValueList(const QString &p_interface, const QVariantList &p_signal_list_in,
                                              const QVariantList &p_value_lists_in, QVariantList &p_signal_list,
                                              QVariantList &p_value_lists)
{
    p_signal_list = p_signal_list_in;
    p_value_lists = p_value_lists_in;
    reply_code(m_object->getSignalAndValueList(p_interface, p_signal_list, p_value_lists));
}

void VyrActiveXAdaptor::Release()
{
    m_release();
}

// --- VyrAutomationServer ------------------------------------------------------------------------

VyrAutomationServer::VyrAutomationServer(bool server, std::function<void()> end)
    : m_server(server), m_locks(server ? 1 : 0), m_end(std::move(end))
{
    if (VyrSysIf *sys_if = VyrSysIf::instance(); sys_if && m_server)
        sys_if->set_server_unlock([this] { release_lock(); });
}

VyrAutomationServer::~VyrAutomationServer()
{
    if (VyrSysIf *sys_if = VyrSysIf::instance(); sys_if && m_server)
        sys_if->set_server_unlock(nullptr);
    QDBusConnection bus = QDBusConnection::sessionBus();
    for (auto it = m_objects.begin(); it != m_objects.end(); ++it) {
        bus.unregisterObject(it.key());
        delete it->object;
    }
    if (bus.isConnected()) {
        bus.unregisterObject(QLatin1String(vyr_automation::factory_path));
        bus.unregisterService(QLatin1String(vyr_automation::service_name));
    }
}

bool VyrAutomationServer::publish()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> claim = bus.interface()->registerService(
        QLatin1String(vyr_automation::service_name), QDBusConnectionInterface::DontQueueService,
        QDBusConnectionInterface::DontAllowReplacement);
    if (!claim.isValid() || claim.value() != QDBusConnectionInterface::ServiceRegistered) {
        debug_trace("VyrAutomationServer::publish: the name %s is taken", vyr_automation::service_name);
        return false;
    }
    if (!bus.registerObject(QLatin1String(vyr_automation::factory_path), this, QDBusConnection::ExportAllSlots))
        return false;
    m_client_watcher = new QDBusServiceWatcher(this);
    m_client_watcher->setConnection(bus);
    m_client_watcher->setWatchMode(QDBusServiceWatcher::WatchForUnregistration);
    connect(m_client_watcher, &QDBusServiceWatcher::serviceUnregistered, this, &VyrAutomationServer::client_gone);
    return true;
}

QDBusObjectPath VyrAutomationServer::CreateObject(const QString &key)
{
    if (key != QLatin1String(vyr_automation::class_key)) {
        sendErrorReply(QStringLiteral("org.vyr.Vyr.NoSuchClass"), QStringLiteral("Class not registered: ") + key);
        return QDBusObjectPath();
    }
    const QString path = QStringLiteral("%1/%2/%3")
                             .arg(QLatin1String(vyr_automation::factory_path), QLatin1String(vyr_automation::class_key))
                             .arg(m_next_object++);
    auto *object = new VyrActiveX(nullptr, QLatin1String(vyr_automation::class_key));
    new VyrActiveXAdaptor(object, [this, path] { release_object(path); });
    new VyrActiveXEventsAdaptor(object);
    connection().registerObject(path, object, QDBusConnection::ExportAdaptors);
    const QString client = message().service();
    m_objects.insert(path, Entry{object, client});
    m_client_watcher->addWatchedService(client);
    return QDBusObjectPath(path);
}

void VyrAutomationServer::release_object(const QString &path)
{
    const Entry entry = m_objects.take(path);
    if (!entry.object)
        return;
    QDBusConnection::sessionBus().unregisterObject(path);
    // The call that released it is still on the stack.
    entry.object->deleteLater();
    connect(entry.object, &QObject::destroyed, this, &VyrAutomationServer::end_when_unused);
    bool client_holds_more = false;
    for (const Entry &other : qAsConst(m_objects))
        client_holds_more = client_holds_more || other.client == entry.client;
    if (!client_holds_more)
        m_client_watcher->removeWatchedService(entry.client);
}

void VyrAutomationServer::client_gone(const QString &client)
{
    // As COM drops the references of a client that went.
    QStringList paths;
    for (auto it = m_objects.cbegin(); it != m_objects.cend(); ++it)
        if (it->client == client)
            paths << it.key();
    for (const QString &path : qAsConst(paths))
        release_object(path);
}

void VyrAutomationServer::release_lock()
{
    if (m_locks > 0)
        --m_locks;
    end_when_unused();
}

void VyrAutomationServer::end_when_unused()
{
    if (m_server && m_locks == 0 && m_objects.isEmpty())
        QTimer::singleShot(0, this, [this] { m_end(); });
}
