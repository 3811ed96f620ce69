#pragma once
// The automation server on the D-Bus session bus. The program owns the name
// org.vyr.Vyr while it is free; the factory object on /org/vyr/Vyr creates
// automation objects (VyrActiveX) for its clients, each on a path of its own
// with the interface org.vyr.IVyrActiveX and the empty event interface
// org.vyr.IVyrActiveXEvents. A client that leaves the bus loses its objects.
// Started with "-activex" (bus activation) the program holds one server lock
// and ends once the lock and all objects are gone.
#include <QDBusAbstractAdaptor>
#include <QDBusContext>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QHash>
#include <QObject>
#include <QString>
#include <QVariantList>

#include <functional>

class QDBusServiceWatcher;
class QWidget;

namespace vyr_automation {

extern const char *const service_name;
extern const char *const factory_path;
extern const char *const class_key;
// "org.vyr.Vyr.Error<n>" for the code -n.
QString error_name(int code);
// The description of a code's error.
QString error_text(int code);
// The introspection XML of an automation object's interfaces ("-dumpidl").
QString interface_xml();
// "-regserver" and "-unregserver": the D-Bus service file that starts the
// program for its clients, in $XDG_DATA_HOME/dbus-1/services. False when it
// cannot be written or removed.
bool register_server(const QString &program_path);
bool unregister_server();
QString service_file_path();

} // namespace vyr_automation

// The automation object: every method forwards to VyrSysIf and answers its
// code (0 or negative); it holds no state of its own. The bus hands the
// context of a call to its adaptors through it.
class VyrActiveX : public QObject, public QDBusContext
{
    Q_OBJECT

public:
    VyrActiveX(QObject *parent, const QString &name);
    ~VyrActiveX() override;

public slots:
    int start();
    int stop();
    int loadConfiguration(const QString &p_filename);
    int getConfiguration(QString &p_filename);
    int exit();
    int unlockServer();
    int callAction(const QString &p_interface, const QString &p_name);
    // An integer sets an integer; anything else must be a number (a text
    // such as "12" included) and sets a double.
    int setSignalValue(const QString &p_interface, const QString &p_name, const QVariant &p_value);
    int getCurrentSignalValue(const QString &p_interface, const QString &p_name, QVariant &p_values,
                              QVariant &p_timestamp);
    // Appends the signal's unread values and their times (64-bit ms).
    int getLatestValues(const QString &p_interface, const QString &p_name, QVariantList &p_values,
                        QVariantList &p_timestamps);
    int getSignalAndValueList(const QString &p_interface, QVariantList &p_signal_list, QVariantList &p_value_lists);
};

// org.vyr.IVyrActiveX of one automation object: marshals each call and turns
// a failing code into a named D-Bus error.
class VyrActiveXAdaptor : public QDBusAbstractAdaptor
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.vyr.IVyrActiveX")
    // clang-format off
    Q_CLASSINFO("D-Bus Introspection", ""
"  <interface name=\"org.vyr.IVyrActiveX\">\n"
"    <annotation name=\"org.vyr.Uuid\" value=\"{10036F4F-D948-4d26-9AC8-ABD2E2345546}\"/>\n"
"    <annotation name=\"org.vyr.CoClass\" value=\"VyrActiveX {BAFD5903-581B-4f4a-BF74-D517F093769F}\"/>\n"
"    <annotation name=\"org.vyr.TypeLibrary\" value=\"vyrLib 1.0 {9F4A8C30-DB5B-4a92-8CE8-3D432AB9A0A9}\"/>\n"
"    <annotation name=\"org.vyr.AppId\" value=\"{996A1F63-0D5B-4ec4-BD20-57F1FCB0AD04}\"/>\n"
"    <method name=\"start\">\n"
"      <annotation name=\"org.vyr.DispId\" value=\"1\"/>\n"
"    </method>\n"
"    <method name=\"stop\">\n"
"      <annotation name=\"org.vyr.DispId\" value=\"2\"/>\n"
"    </method>\n"
"    <method name=\"loadConfiguration\">\n"
"      <annotation name=\"org.vyr.DispId\" value=\"3\"/>\n"
"      <arg name=\"p_filename\" type=\"s\" direction=\"in\"/>\n"
"    </method>\n"
"    <method name=\"getConfiguration\">\n"
"      <annotation name=\"org.vyr.DispId\" value=\"4\"/>\n"
"      <arg name=\"p_filename\" type=\"s\" direction=\"in\"/>\n"
"      <arg name=\"p_filename\" type=\"s\" direction=\"out\"/>\n"
"    </method>\n"
"    <method name=\"exit\">\n"
"      <annotation name=\"org.vyr.DispId\" value=\"5\"/>\n"
"    </method>\n"
"    <method name=\"unlockServer\">\n"
"      <annotation name=\"org.vyr.DispId\" value=\"6\"/>\n"
"    </method>\n"
"    <method name=\"callAction\">\n"
"      <annotation name=\"org.vyr.DispId\" value=\"7\"/>\n"
"      <arg name=\"p_interface\" type=\"s\" direction=\"in\"/>\n"
"      <arg name=\"p_name\" type=\"s\" direction=\"in\"/>\n"
"    </method>\n"
"    <method name=\"setSignalValue\">\n"
"      <annotation name=\"org.vyr.DispId\" value=\"8\"/>\n"
"      <arg name=\"p_interface\" type=\"s\" direction=\"in\"/>\n"
"      <arg name=\"p_name\" type=\"s\" direction=\"in\"/>\n"
"      <arg name=\"p_value\" type=\"v\" direction=\"in\"/>\n"
"    </method>\n"
"    <method name=\"getCurrentSignalValue\">\n"
"      <annotation name=\"org.vyr.DispId\" value=\"9\"/>\n"
"      <arg name=\"p_interface\" type=\"s\" direction=\"in\"/>\n"
"      <arg name=\"p_name\" type=\"s\" direction=\"in\"/>\n"
"      <arg name=\"p_values\" type=\"v\" direction=\"in\"/>\n"
"      <arg name=\"p_timestamp\" type=\"v\" direction=\"in\"/>\n"
"      <arg name=\"p_values\" type=\"v\" direction=\"out\"/>\n"
"      <arg name=\"p_timestamp\" type=\"v\" direction=\"out\"/>\n"
"    </method>\n"
"    <method name=\"getLatestValues\">\n"
"      <annotation name=\"org.vyr.DispId\" value=\"10\"/>\n"
"      <arg name=\"p_interface\" type=\"s\" direction=\"in\"/>\n"
"      <arg name=\"p_name\" type=\"s\" direction=\"in\"/>\n"
"      <arg name=\"p_values\" type=\"av\" direction=\"in\"/>\n"
"      <arg name=\"p_timestamps\" type=\"av\" direction=\"in\"/>\n"
"      <arg name=\"p_values\" type=\"av\" direction=\"out\"/>\n"
"      <arg name=\"p_timestamps\" type=\"av\" direction=\"out\"/>\n"
"    </method>\n"
"    <method name=\"getSignalAndValueList\">\n"
"      <annotation name=\"org.vyr.DispId\" value=\"11\"/>\n"
"      <arg name=\"p_interface\" type=\"s\" direction=\"in\"/>\n"
"      <arg name=\"p_signal_list\" type=\"av\" direction=\"in\"/>\n"
"      <arg name=\"p_value_lists\" type=\"av\" direction=\"in\"/>\n"
"      <arg name=\"p_signal_list\" type=\"av\" direction=\"out\"/>\n"
"      <arg name=\"p_value_lists\" type=\"av\" direction=\"out\"/>\n"
"    </method>\n"
"    <method name=\"Release\"/>\n"
"  </interface>\n")
    // clang-format on

public:
    VyrActiveXAdaptor(VyrActiveX *object, std::function<void()> release);

public slots:
    void start();
    void stop();
    void loadConfiguration(const QString &p_filename);
    QString getConfiguration(const QString &p_filename);
    void exit();
    void unlockServer();
    void callAction(const QString &p_interface, const QString &p_name);
    void setSignalValue(const QString &p_interface, const QString &p_name, const QDBusVariant &p_value);
    void getCurrentSignalValue(const QString &p_interface, const QString &p_name, const QDBusVariant &p_values_in,
                               const QDBusVariant &p_timestamp_in, QDBusVariant &p_values, QDBusVariant &p_timestamp);
    void getLatestValues(const QString &p_interface, const QString &p_name, const QVariantList &p_values_in,
                         const QVariantList &p_timestamps_in, QVariantList &p_values, QVariantList &p_timestamps);
    void getSignalAndValueList(const QString &p_interface, const QVariantList &p_signal_list_in,
                               const QVariantList &p_value_lists_in, QVariantList &p_signal_list,
                               QVariantList &p_value_lists);
    void Release();

private:
    void reply_code(int code);
    // A call that replaces or starts what a modal dialog of the main window
    // edits waits until the dialog has closed: the reply is sent then.
    void run_when_no_dialog(const std::function<void()> &work);

    VyrActiveX *m_object;
    std::function<void()> m_release;
};

// The event interface: it declares no events.
class VyrActiveXEventsAdaptor : public QDBusAbstractAdaptor
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.vyr.IVyrActiveXEvents")
    // clang-format off
    Q_CLASSINFO("D-Bus Introspection", ""
"  <interface name=\"org.vyr.IVyrActiveXEvents\">\n"
"    <annotation name=\"org.vyr.Uuid\" value=\"{BFA394FE-C560-419b-ADC8-6E60C53F38D6}\"/>\n"
"  </interface>\n")
    // clang-format on

public:
    explicit VyrActiveXEventsAdaptor(QObject *object) : QDBusAbstractAdaptor(object) {}
};

// The name on the bus, the factory, the objects of each client and the
// server lock.
class VyrAutomationServer : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.vyr.VyrFactory")

public:
    // server: started by the bus for its clients ("-activex"); end is what
    // ends the program once the lock and the objects are gone.
    VyrAutomationServer(bool server, std::function<void()> end);
    ~VyrAutomationServer() override;

    // Claims the name when free and publishes the factory; false when the
    // session bus or the name is not to be had.
    bool publish();
    bool is_server() const { return m_server; }
    int object_count() const { return m_objects.size(); }

public slots:
    // The path of a new automation object of the class key "VyrActiveX"; an
    // error for any other key.
    QDBusObjectPath CreateObject(const QString &key);

private:
    void release_lock();
    void release_object(const QString &path);
    void client_gone(const QString &client);
    void end_when_unused();

    struct Entry
    {
        VyrActiveX *object = nullptr;
        QString client;
    };
    bool m_server;
    int m_locks;
    std::function<void()> m_end;
    int m_next_object = 1;
    QHash<QString, Entry> m_objects; // by path
    QDBusServiceWatcher *m_client_watcher = nullptr;
};
