#pragma once
// What the service tests play: the service manager's notification socket and
// the syslog socket, each a datagram socket of the test that collects what
// arrives; and the environment that gives a service process its own
// configuration and runtime folders and keeps it from any real user manager.
#include <QDir>
#include <QProcessEnvironment>
#include <QStringList>
#include <QTest>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace service_test {

class DatagramSink
{
public:
    explicit DatagramSink(const QString &path) : m_path(path)
    {
        m_fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, QFile::encodeName(path).constData(), sizeof address.sun_path - 1);
        EXPECT_EQ(bind(m_fd, reinterpret_cast<sockaddr *>(&address), sizeof address), 0) << path.toStdString();
    }
    ~DatagramSink() { ::close(m_fd); }
    DatagramSink(const DatagramSink &) = delete;
    DatagramSink &operator=(const DatagramSink &) = delete;

    const QString &path() const { return m_path; }

    // Every datagram received so far, in order.
    const QStringList &messages()
    {
        char buffer[4096];
        ssize_t length;
        while ((length = recv(m_fd, buffer, sizeof buffer, 0)) > 0)
            m_messages << QString::fromUtf8(buffer, int(length));
        return m_messages;
    }
    // Waits until a datagram that contains the text has come (at least
    // `count` of them); false after the time-out.
    bool wait_for(const QString &text, int count = 1, int timeout_ms = 20000)
    {
        return QTest::qWaitFor([&] { return messages().filter(text).size() >= count; }, timeout_ms);
    }
    int count(const QString &text) { return messages().filter(text).size(); }

private:
    QString m_path;
    int m_fd = -1;
    QStringList m_messages;
};

// The environment of a service process in the folder: its configuration
// (where the unit goes), its runtime folder, the syslog socket; no session
// bus or runtime folder of a real user manager, and no manager's marks.
inline QProcessEnvironment service_environment(const QString &folder, const QString &syslog_socket)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    QDir(folder).mkpath(QStringLiteral("config"));
    QDir(folder).mkpath(QStringLiteral("runtime"));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), folder + QStringLiteral("/config"));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), folder + QStringLiteral("/runtime"));
    environment.insert(QStringLiteral("VRBUS_RUNTIME_DIR"), folder + QStringLiteral("/runtime"));
    environment.insert(QStringLiteral("VYR_SYSLOG_SOCKET"), syslog_socket);
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("unix:path=/nonexistent/vyr-test-bus"));
    for (const char *name : {"NOTIFY_SOCKET", "INVOCATION_ID"})
        environment.remove(QString::fromLatin1(name));
    return environment;
}

} // namespace service_test
