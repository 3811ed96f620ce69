// Suspend and resume notices from logind and the shutdown requests to it,
// played by python3-dbusmock's logind template on a private bus that this test program takes as its
// system bus (it never reaches the machine's own logind).
#include "app/vyr_main.h"
#include "app/vyr_power_events.h"
#include "core/vyr_custom_event.h"
#include "core/vyr_signal_if_type.h"
#include "message_window_rows.h"
#include "tests/core/signal_if_test_support.h"

#include <QDBusConnection>
#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QProcess>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// A private bus daemon and the logind mock on it, for the whole program.
class PrivateSystemBus : public ::testing::Environment
{
public:
    void SetUp() override
    {
        bus.setProgram("dbus-daemon");
        bus.setArguments({"--session", "--nofork", "--print-address=1"});
        bus.start();
        ASSERT_TRUE(bus.waitForReadyRead(10000)) << "dbus-daemon did not start";
        const QByteArray address = bus.readLine().trimmed();
        ASSERT_FALSE(address.isEmpty());
        // Before the program's first use of the system bus, which QtDBus keeps.
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", address);

        logind.setProgram("/usr/bin/python3");
        logind.setArguments({"-m", "dbusmock", "--system", "--template", "logind"});
        logind.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        logind.start();
        ASSERT_TRUE(logind.waitForStarted(10000));
        ASSERT_TRUE(QTest::qWaitFor(
            [] {
                QDBusConnectionInterface *names = QDBusConnection::systemBus().interface();
                return names && names->isServiceRegistered("org.freedesktop.login1").value();
            },
            20000))
            << "the logind mock did not come up (python3-dbusmock installed?)";
    }
    void TearDown() override
    {
        for (QProcess *process : {&logind, &bus}) {
            process->terminate();
            if (!process->waitForFinished(5000))
                process->kill();
        }
    }

private:
    QProcess bus;
    QProcess logind;
};

const auto *const environment = ::testing::AddGlobalTestEnvironment(new PrivateSystemBus);

void emit_prepare_for_sleep(bool start)
{
    QDBusMessage call = QDBusMessage::createMethodCall("org.freedesktop.login1", "/org/freedesktop/login1",
                                                       "org.freedesktop.DBus.Mock", "EmitSignal");
    call << QString("org.freedesktop.login1.Manager") << QString("PrepareForSleep") << QString("b")
         << QVariant(QVariantList{start});
    const QDBusMessage reply = QDBusConnection::systemBus().call(call);
    ASSERT_NE(reply.type(), QDBusMessage::ErrorMessage) << reply.errorMessage().toStdString();
}

QDBusMessage call_mock(const QString &method, const QVariantList &arguments)
{
    QDBusMessage call = QDBusMessage::createMethodCall("org.freedesktop.login1", "/org/freedesktop/login1",
                                                       "org.freedesktop.DBus.Mock", method);
    call.setArguments(arguments);
    return QDBusConnection::systemBus().call(call);
}

// How often logind's manager method was called.
int calls_of(const QString &method)
{
    const QDBusMessage reply = call_mock("GetMethodCalls", {method});
    if (reply.type() != QDBusMessage::ReplyMessage)
        return -1;
    const QDBusArgument calls = reply.arguments().at(0).value<QDBusArgument>();
    int count = 0;
    calls.beginArray();
    while (!calls.atEnd()) {
        quint64 time = 0;
        QVariantList arguments;
        calls.beginStructure();
        calls >> time >> arguments;
        calls.endStructure();
        ++count;
    }
    calls.endArray();
    return count;
}

class SleepyInterface : public vyr_test::TestInterface
{
public:
    SleepyInterface() : TestInterface(nullptr, nullptr)
    {
        set_active(true);
        link_signal_if(this);
    }
    int start() override { return 0; }
};

} // namespace

TEST(PowerEvents, SuspendStopsTheMeasurementAndResumeDoesNotRestartIt)
{
    VyrMain window;
    window.setAttribute(Qt::WA_DeleteOnClose, false);
    ASSERT_TRUE(window.power_events()->watching());
    new SleepyInterface();
    window.start();
    ASSERT_TRUE(window.measurement_running());

    QStringList rows;
    auto read_rows = [&window, &rows] {
        rows = message_window_rows(window);
        return true;
    };

    emit_prepare_for_sleep(true);
    ASSERT_TRUE(QTest::qWaitFor([&window] { return !window.measurement_running(); }, 10000));
    read_rows();
    EXPECT_TRUE(rows.contains("System going to suspend mode -> stop measurement"));

    emit_prepare_for_sleep(false);
    ASSERT_TRUE(QTest::qWaitFor([&] { return read_rows() && rows.contains("System resumed"); }, 10000));
    EXPECT_FALSE(window.measurement_running());
    delete get_first_signal_if();
}

TEST(PowerEvents, ShutdownRequestsGoToLogindWithoutAskingTheUser)
{
    // The template has no Halt; logind has.
    ASSERT_EQ(call_mock("AddMethod", {"org.freedesktop.login1.Manager", "Halt", "b", "", ""}).type(),
              QDBusMessage::ReplyMessage);
    VyrMain window;
    window.setAttribute(Qt::WA_DeleteOnClose, false);
    for (uint32_t mode : {0u, 2u, 1u, 3u})
        post_vyr_event(&window, new VyrCustomEvent(vyr_event_shutdown, mode));
    QCoreApplication::sendPostedEvents(&window);
    EXPECT_EQ(calls_of("Halt"), 1);
    EXPECT_EQ(calls_of("Reboot"), 1);
    EXPECT_EQ(calls_of("PowerOff"), 1);
}
