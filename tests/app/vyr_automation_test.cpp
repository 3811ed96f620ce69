// Automation over D-Bus: the main window published on a private session bus
// with a CAN interface on the vrbus daemon that decodes motohawk.dbc frames
// of a bus node (checked against python3-canmatrix) and runs a script with
// an action; clients are python3-dbus (tests/app/automation_client.py, which
// holds an automation object while it runs), gdbus and dbus-send.
#include "app/vyr_active_x.h"
#include "app/vyr_main.h"
#include "app/vyr_sys_if.h"
#include "core/vyr_question.h"
#include "core/vyr_signal_list.h"
#include "core/vyr_trigger.h"
#include "core/vyr_trigger_cond.h"
#include "interfaces/can/vyr_can_if.h"
#include "message_window_rows.h"
#include "test_paths.h"
#include "tests/interfaces/can_test_support.h" // runs the vrbus daemon around the program

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <csignal>

namespace {

using namespace can_test;

const QString motohawk_dbc = vyr_test::configured_testdata_dir() + "/dbc/cantools/tests/files/dbc/motohawk.dbc";
constexpr uint32_t example_message = 496;
const char *const temperature = "motohawk.ExampleMessage.Temperature";

// A session bus of the test program's own, never the machine's.
class PrivateBus : public ::testing::Environment
{
public:
    void SetUp() override
    {
        m_daemon.start(QStringLiteral("dbus-daemon"), {"--session", "--nofork", "--print-address"});
        if (!m_daemon.waitForStarted(5000) || !m_daemon.waitForReadyRead(5000))
            return;
        qputenv("DBUS_SESSION_BUS_ADDRESS", m_daemon.readLine().trimmed());
    }
    void TearDown() override
    {
        m_daemon.terminate();
        m_daemon.waitForFinished(5000);
    }

private:
    QProcess m_daemon;
};
const auto *const private_bus = ::testing::AddGlobalTestEnvironment(new PrivateBus);

// The output of a command-line client, run while the event loop serves the bus.
QString run_client(const QString &program, const QStringList &arguments, int *exit_code = nullptr)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, 20000))
        process.kill();
    if (exit_code)
        *exit_code = process.exitCode();
    return QString::fromUtf8(process.readAll()).trimmed();
}

// The python3-dbus client and its automation object.
class Client
{
public:
    Client()
    {
        m_process.start(QStringLiteral("/usr/bin/python3"),
                        {vyr_test::source_dir() + "/tests/app/automation_client.py"});
        if (QTest::qWaitFor([this] { return m_process.canReadLine(); }, 20000))
            m_path = QString::fromUtf8(m_process.readLine()).trimmed();
    }
    ~Client() { kill(); }

    const QString &path() const { return m_path; }
    void send(const QString &method, const QJsonArray &args = {})
    {
        const QJsonObject request{{"method", method}, {"args", args}};
        m_process.write(QJsonDocument(request).toJson(QJsonDocument::Compact) + '\n');
    }
    bool answered() const { return m_process.canReadLine(); }
    QJsonObject answer()
    {
        if (!QTest::qWaitFor([this] { return m_process.canReadLine(); }, 20000))
            return {{"error", "no answer"}};
        return QJsonDocument::fromJson(m_process.readLine()).object();
    }
    QJsonObject call(const QString &method, const QJsonArray &args = {})
    {
        send(method, args);
        return answer();
    }
    void kill()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.kill();
        m_process.waitForFinished(5000);
    }

private:
    QProcess m_process;
    QString m_path;
};

QJsonObject int_arg(int value)
{
    return {{"int", value}};
}

double number(const QJsonValue &value)
{
    const QJsonObject object = value.toObject();
    return object.contains("double") ? object["double"].toDouble() : object["int64"].toDouble();
}

class AutomationTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!QFileInfo::exists(motohawk_dbc))
            GTEST_SKIP() << "no test data at " << vyr_test::configured_testdata_dir().toStdString();
        VyrTriggerList::set_instance(&triggers);
        add_running_trigger(&triggers);
        VyrTriggerCondList::set_instance(&conditions);
        set_vyr_question_function(
            [this](QWidget *, const QString &, const QString &text, const QStringList &buttons, VyrQuestionIcon) {
                boxes << text;
                return int(buttons.size()) - 1;
            });
        write_file("auto.vys",
                   "variables { timer tick; int runs; }\n"
                   "on action \"beep\" { runs++; printf(\"beep action ran %d\\n\", runs); }\n"
                   "on timer tick { }\n");
        config_file = write_configuration("auto.vyr", "auto.vys");
        window = std::make_unique<VyrMain>();
        window->setAttribute(Qt::WA_DeleteOnClose, false);
        server = std::make_unique<VyrAutomationServer>(false, [] {});
        ASSERT_TRUE(server->publish());
    }
    void TearDown() override
    {
        server.reset();
        window.reset();
        set_vyr_question_function(nullptr);
        VyrTriggerCondList::set_instance(nullptr);
        VyrTriggerList::set_instance(nullptr);
    }

    QString write_file(const QString &name, const QByteArray &text)
    {
        const QString path = dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
        return path;
    }
    QString write_configuration(const QString &name, const QString &script)
    {
        return write_file(name,
                          QStringLiteral("[defaults]\n"
                                         "workspaces=( ( {name}\"W\" {name_utf8}\"W\" {id}0 ) )\n"
                                         "active_workspace=0\n"
                                         "[CAN]\nactive=true\nindex=1\nname=\"CAN 1\"\nbitrate=500000\n"
                                         "channel=\"%1\"\nscript_file=\"%2\"\n"
                                         "candb_file_count=1\ncandb_file_0=\"%3\"\n")
                              .arg(QLatin1String(virtual_channel), dir.filePath(script), motohawk_dbc)
                              .toUtf8());
    }
    QStringList rows_containing(const QString &part) { return message_window_rows(*window).filter(part); }
    VyrCanIf *can() const { return dynamic_cast<VyrCanIf *>(get_first_signal_if()); }

    QTemporaryDir dir;
    QString config_file;
    VyrTriggerList triggers;
    VyrTriggerCondList conditions;
    QStringList boxes;
    std::unique_ptr<VyrMain> window;
    std::unique_ptr<VyrAutomationServer> server;
};

} // namespace

TEST_F(AutomationTest, AClientLoadsStartsReadsSetsActsAndStops)
{
    const QStringList payloads = {"ExampleMessage:8001000000000000", "ExampleMessage:80f0000000000000"};
    const auto decoded = canmatrix_decode(motohawk_dbc, payloads);
    if (decoded.size() != size_t(payloads.size()))
        GTEST_SKIP() << "python3-canmatrix did not run";

    Client client;
    ASSERT_TRUE(client.path().startsWith("/org/vyr/Vyr/VyrActiveX/")) << client.path().toStdString();
    EXPECT_TRUE(window->under_remote_control());
    EXPECT_EQ(client.call("loadConfiguration", {config_file}), (QJsonObject{{"ok", QJsonArray()}}));
    ASSERT_NE(can(), nullptr);
    const QString interface = QString::fromStdString(can()->name());

    // gdbus answers the in/out name as its output.
    const QString configuration = run_client("gdbus",
                                             {"call", "--session", "--dest", "org.vyr.Vyr", "--object-path",
                                              client.path(), "--method", "org.vyr.IVyrActiveX.getConfiguration", "x"});
    EXPECT_EQ(configuration, QStringLiteral("('%1',)").arg(config_file));
    EXPECT_EQ(rows_containing("ActiveX::getConfiguration () -> " + config_file).size(), 1);

    // Before any frame every signal answers "NoValue".
    QJsonObject list = client.call("getSignalAndValueList", {interface, QJsonArray(), QJsonArray()});
    const QJsonArray names = list["ok"].toArray().at(0).toArray();
    const QJsonArray values = list["ok"].toArray().at(1).toArray();
    ASSERT_EQ(names.size(), can()->signal_list()->count());
    EXPECT_TRUE(names.contains(QString(temperature)));
    for (const QJsonValue &value : values)
        EXPECT_EQ(value.toString(), "NoValue");
    EXPECT_EQ(client.call("getCurrentSignalValue", {interface, temperature, 1.0, 1.0})["ok"].toArray(),
              (QJsonArray{QJsonObject{{"double", 0.0}}, QJsonObject{{"double", 0.0}}}));

    // The interface decodes the signals that someone follows, as a window does.
    SignalRecord *signal = can()->signal_list()->find(temperature);
    ValueRecorder recorder;
    ASSERT_EQ(can()->add_signal_listener(&recorder, signal), 0);

    // dbus-send starts the measurement.
    EXPECT_EQ(
        run_client("dbus-send",
                   {"--session", "--print-reply", "--dest=org.vyr.Vyr", client.path(), "org.vyr.IVyrActiveX.start"})
            .count("method return"),
        1);
    ASSERT_TRUE(window->measurement_running()) << message_window_rows(*window).join('\n').toStdString();
    EXPECT_EQ(rows_containing("ActiveX::startMeasurement ()").size(), 1);

    BusNode node;
    for (const QString &payload : payloads) {
        const QByteArray data = QByteArray::fromHex(payload.section(':', 1).toLatin1());
        node.send(example_message, 0, std::vector<uint8_t>(data.begin(), data.end()));
    }
    const double last_temperature = decoded.back().at("ExampleMessage.Temperature");
    QJsonArray current;
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            current = client.call("getCurrentSignalValue", {interface, temperature, 0.0, 0.0})["ok"].toArray();
            return number(current.at(0)) == last_temperature;
        },
        10000))
        << QJsonDocument(current).toJson().toStdString();
    // The history is one deep: the newest value once, then nothing and no error.
    QJsonArray latest =
        client.call("getLatestValues", {interface, temperature, QJsonArray(), QJsonArray()})["ok"].toArray();
    ASSERT_EQ(latest.at(0).toArray().size(), 1);
    EXPECT_EQ(number(latest.at(0).toArray().at(0)), last_temperature);
    EXPECT_TRUE(latest.at(1).toArray().at(0).toObject().contains("int64"));
    EXPECT_EQ(number(latest.at(1).toArray().at(0)), number(current.at(1)));
    latest = client.call("getLatestValues", {interface, temperature, QJsonArray(), QJsonArray()})["ok"].toArray();
    EXPECT_EQ(latest, (QJsonArray{QJsonArray(), QJsonArray()}));

    // Setting hands the value to the signal's listeners: an integer as an
    // integer, a numeric text as a double, any other text not at all.
    const size_t decoded_count = recorder.taken().size();
    EXPECT_EQ(client.call("setSignalValue", {interface, temperature, int_arg(5)}), (QJsonObject{{"ok", QJsonArray()}}));
    EXPECT_EQ(client.call("setSignalValue", {interface, temperature, "12"}), (QJsonObject{{"ok", QJsonArray()}}));
    EXPECT_EQ(client.call("setSignalValue", {interface, temperature, "abc"}),
              (QJsonObject{{"error", "org.vyr.Vyr.Error5"}, {"text", "Value is not a Number"}}));
    std::vector<SignalValue> set = recorder.taken();
    set.erase(set.begin(), set.begin() + long(decoded_count));
    ASSERT_EQ(set.size(), 2u);
    EXPECT_EQ(set[0].type, uint32_t(SignalValue::Int));
    EXPECT_EQ(set[0].int_value, 5);
    EXPECT_EQ(set[1].type, uint32_t(SignalValue::Double));
    EXPECT_EQ(set[1].double_value, 12.0);

    // Errors by name and text, as gdbus shows them too.
    const struct
    {
        const char *method;
        QJsonArray args;
        const char *error;
        const char *text;
    } failures[] = {
        {"getCurrentSignalValue",
         {"no such interface", temperature, 0.0, 0.0},
         "org.vyr.Vyr.Error1",
         "Interface not Found"},
        {"getLatestValues",
         {interface, "no.such.signal", QJsonArray(), QJsonArray()},
         "org.vyr.Vyr.Error2",
         "Signal not Found"},
        {"setSignalValue", {interface, "no.such.signal", 1.5}, "org.vyr.Vyr.Error2", "Signal not Found"},
        {"callAction", {"no such interface", "beep"}, "org.vyr.Vyr.Error1", "Interface not Found"},
        // "tick" names a timer, not an action.
        {"callAction", {interface, "tick"}, "org.vyr.Vyr.Error6", "Action not Found"},
    };
    for (const auto &failure : failures) {
        SCOPED_TRACE(failure.method);
        EXPECT_EQ(client.call(failure.method, failure.args),
                  (QJsonObject{{"error", failure.error}, {"text", failure.text}}));
    }
    int exit_code = 0;
    const QString shown = run_client("gdbus",
                                     {"call", "--session", "--dest", "org.vyr.Vyr", "--object-path", client.path(),
                                      "--method", "org.vyr.IVyrActiveX.callAction", interface, "tick"},
                                     &exit_code);
    EXPECT_NE(exit_code, 0);
    EXPECT_TRUE(shown.contains("org.vyr.Vyr.Error6")) << shown.toStdString();

    EXPECT_EQ(client.call("callAction", {interface, "beep"}), (QJsonObject{{"ok", QJsonArray()}}));
    EXPECT_TRUE(QTest::qWaitFor([&] { return rows_containing("beep action ran 1").size() == 1; }, 5000));

    EXPECT_EQ(client.call("stop"), (QJsonObject{{"ok", QJsonArray()}}));
    EXPECT_FALSE(window->measurement_running());
    can()->clear_signal_listeners();
    EXPECT_TRUE(boxes.isEmpty()) << boxes.join('\n').toStdString();
}

TEST_F(AutomationTest, UnderRemoteControlFailuresAreLinesAndTheCloseWaitsForTheClientToGo)
{
    // A script that does not compile: the start fails.
    write_file("broken.vys", "on start { this is no statement }\n");
    const QString broken = write_configuration("broken.vyr", "broken.vys");
    window->show();
    auto client = std::make_unique<Client>();
    ASSERT_FALSE(client->path().isEmpty());
    client->call("loadConfiguration", {broken});
    client->call("start");
    EXPECT_FALSE(window->measurement_running());
    EXPECT_EQ(rows_containing("Start failed !").size(), 1);
    client->call("loadConfiguration", {dir.filePath("missing.vyr")});
    EXPECT_EQ(rows_containing(QStringLiteral("Unable to open file '%1' for reading !").arg(dir.filePath("missing.vyr")))
                  .size(),
              1);
    window->compile();
    EXPECT_TRUE(boxes.isEmpty()) << boxes.join('\n').toStdString();

    EXPECT_FALSE(window->close());
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(rows_containing("Application is under remote control - close not possible").size(), 1);

    // The client goes: so does its object, and the close goes through.
    client->kill();
    EXPECT_TRUE(QTest::qWaitFor([] { return VyrSysIf::instance()->automation_object_count() == 0; }, 5000));
    EXPECT_TRUE(window->close());
    // Without remote control a failing start asks again.
    window->start();
    EXPECT_EQ(boxes.filter("Start failed !").size(), 1);
}

TEST_F(AutomationTest, ALoadDuringAMeasurementStopsItFirstAndACallWaitsForTheInterfaceList)
{
    Client client;
    client.call("loadConfiguration", {config_file});
    client.call("start");
    ASSERT_TRUE(window->measurement_running());
    VyrCanIf *running = can();
    EXPECT_TRUE(running->thread_running());
    // The interfaces are replaced only after their threads ended.
    client.call("loadConfiguration", {config_file});
    EXPECT_FALSE(window->measurement_running());
    ASSERT_NE(can(), nullptr);
    EXPECT_FALSE(can()->thread_running());

    // A start that arrives while the interface list is open is answered once it closed.
    bool running_while_open = true;
    bool answered_while_open = true;
    QTimer::singleShot(100, [&] { client.send("start"); });
    QTimer::singleShot(1500, [&] {
        running_while_open = window->measurement_running();
        answered_while_open = client.answered();
        if (QWidget *dialog = QApplication::activeModalWidget())
            dialog->close();
    });
    window->show_module_list();
    EXPECT_FALSE(running_while_open);
    EXPECT_FALSE(answered_while_open);
    EXPECT_EQ(client.answer(), (QJsonObject{{"ok", QJsonArray()}}));
    EXPECT_TRUE(window->measurement_running());
    client.call("stop");
}

TEST_F(AutomationTest, TheFactoryMakesOnlyItsClassAndTheIntrospectionCarriesTheIdentifiers)
{
    int exit_code = 0;
    const QString refused = run_client("gdbus",
                                       {"call", "--session", "--dest", "org.vyr.Vyr", "--object-path", "/org/vyr/Vyr",
                                        "--method", "org.vyr.VyrFactory.CreateObject", "Other"},
                                       &exit_code);
    EXPECT_NE(exit_code, 0);
    EXPECT_TRUE(refused.contains("org.vyr.Vyr.NoSuchClass")) << refused.toStdString();
    EXPECT_EQ(server->object_count(), 0);

    Client client;
    const QString xml = run_client(
        "gdbus", {"introspect", "--session", "--xml", "--dest", "org.vyr.Vyr", "--object-path", client.path()});
    EXPECT_TRUE(xml.contains("{10036F4F-D948-4d26-9AC8-ABD2E2345546}"));
    EXPECT_TRUE(xml.contains("{BFA394FE-C560-419b-ADC8-6E60C53F38D6}"));
    EXPECT_TRUE(xml.contains("<interface name=\"org.vyr.IVyrActiveXEvents\">"));
    EXPECT_EQ(xml.count("org.vyr.DispId"), 11);
    // Without a server lock the release is not possible and nothing ends.
    EXPECT_EQ(client.call("unlockServer"), (QJsonObject{{"ok", QJsonArray()}}));
    EXPECT_EQ(rows_containing("ActiveX::unlockServer () -  NOT possible in current mode!!!").size(), 1);
    EXPECT_EQ(client.call("Release"), (QJsonObject{{"ok", QJsonArray()}}));
    EXPECT_TRUE(QTest::qWaitFor([] { return VyrSysIf::instance()->automation_object_count() == 0; }, 5000));
    EXPECT_EQ(server->object_count(), 0);
}
