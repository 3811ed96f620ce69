// The send window on CAN interfaces of the vrbus daemon, watched by a second
// handle on the virtual card: single frames, periodic runs on the timer wheel
// that the interface's thread drives as in the program, triggers, rows named
// after database messages (decoded by python3-canmatrix), the default-data
// link, the signal table, the configuration group, and rows edited, deleted
// and closed while they send every millisecond.
#include "../interfaces/can_test_support.h"
#include "core/candb_cluster.h"
#include "core/candb_message.h"
#include "core/timer_wheel.h"
#include "core/vyr_global_accel.h"
#include "core/vyr_trigger.h"
#include "test_paths.h"
#include "windows/base/vyr_select_key.h"
#include "windows/send/can_send_table.h"
#include "windows/send/table_button.h"
#include "windows/send/vyr_can_send.h"
#include "windows/signals/vyr_can_signal_table.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPointer>
#include <QMenu>
#include <QTimer>
#include <QDir>
#include <QDockWidget>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <thread>

namespace {

using namespace can_test;
using Clock = std::chrono::steady_clock;

const QString dbc_dir = vyr_test::configured_testdata_dir() + "/dbc/cantools/tests/files/dbc/";
const QString plain_dbc = dbc_dir + QStringLiteral("motohawk.dbc");
const QString j1939_dbc = dbc_dir + QStringLiteral("j1939.dbc");

// The raw values python3-canmatrix decodes from the payload; empty when it cannot run.
std::map<std::string, double> canmatrix_raw(const QString &dbc, const char *message, const QString &hex)
{
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"),
                 {vyr_test::source_dir() + "/tests/interfaces/canmatrix_decode.py", QStringLiteral("--raw"), dbc,
                  QString::fromLatin1(message) + QLatin1Char(':') + hex});
    std::map<std::string, double> values;
    if (!python.waitForFinished(60000) || python.exitCode() != 0)
        return values;
    const QJsonObject object = QJsonDocument::fromJson(python.readAllStandardOutput()).array().at(0).toObject();
    for (auto it = object.begin(); it != object.end(); ++it)
        values[it.key().toStdString()] = it.value().toDouble();
    return values;
}

class SendWindow : public CanFixture
{
protected:
    void SetUp() override
    {
        VyrTriggerList::set_instance(&triggers);
        window = std::make_unique<VyrCanSend>(nullptr);
        window->show();
    }
    void TearDown() override
    {
        if (measurement)
            measurement->stop();
        if (window && window->running())
            window->stop();
        window.reset();
        measurement.reset();
        VyrTriggerList::set_instance(nullptr);
    }

    VyrCanIf *make_active(const QStringList &databases = {})
    {
        VyrCanIf *can = make("CAN", virtual_channel, "", databases);
        can->set_active(true);
        if (!databases.isEmpty()) {
            EXPECT_EQ(can->load_databases(), 0);
        }
        return can;
    }
    // The measurement as the program runs it: the interface's thread drives the wheel.
    void start(VyrCanIf *can)
    {
        window->startup();
        measurement = std::make_unique<Measurement>(std::vector<VyrCanIf *>{can}, true);
        ASSERT_EQ(measurement->start(), 0);
    }
    // A cell edited as its editor commits it.
    void edit(int row, int column, const QString &text)
    {
        window->table()->item(row, column)->setText(text);
        window->value_changed(row, column);
    }
    QString cell(int row, int column) const { return window->table()->item(row, column)->text(); }
    VyrCanMessage frame_of(int row) { return window->button(row)->message()->frame(); }

    VyrTriggerList triggers;
    std::unique_ptr<VyrCanSend> window;
    std::unique_ptr<Measurement> measurement;
};

TEST_F(SendWindow, DefaultRowSendsIdentifierZeroWithEightZeroBytesOnTheFirstCanInterface)
{
    // Without a CAN or LIN interface the row has no channel and stays disabled.
    window->add_message();
    EXPECT_EQ(cell(0, VyrCanSend::Channel), "");
    window->delete_message(0);

    VyrCanIf *can = make_active();
    window->add_message();
    EXPECT_EQ(cell(0, VyrCanSend::Channel), "CAN 1");
    EXPECT_EQ(cell(0, VyrCanSend::Identifier), "0");
    EXPECT_EQ(cell(0, VyrCanSend::Data), "00 00 00 00 00 00 00 00");
    EXPECT_EQ(window->button(0)->text(), "Send");
    EXPECT_FALSE(window->button(0)->isEnabled());
    start(can);
    EXPECT_TRUE(window->button(0)->isEnabled());
    BusNode node;
    QTest::mouseClick(window->button(0), Qt::LeftButton);
    VyrCanMessage frame;
    ASSERT_TRUE(node.receive(0, frame));
    EXPECT_EQ(frame.dlc, 8);
    EXPECT_EQ(frame.flags & (VyrCanMessage::Extended | VyrCanMessage::Remote), 0u);
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(frame.data[i], 0) << i;
    window->update_signals();
    EXPECT_EQ(cell(0, VyrCanSend::Transmitted), "1");
    // A frame the interface refuses is not counted as transmitted.
    can->set_transmit_allowed(false);
    window->button(0)->click();
    window->update_signals();
    EXPECT_EQ(cell(0, VyrCanSend::Transmitted), "1");
}

TEST_F(SendWindow, PeriodicRunSendsItsCountOnePeriodApartStartingOnePeriodAfterTheClick)
{
    VyrCanIf *can = make_active();
    window->add_message();
    edit(0, VyrCanSend::Identifier, QStringLiteral("123h"));
    edit(0, VyrCanSend::Rate, QStringLiteral("100"));
    edit(0, VyrCanSend::Count, QStringLiteral("5"));
    EXPECT_EQ(window->button(0)->text(), "Start");
    start(can);
    BusNode node(0, true);
    const Clock::time_point click = Clock::now();
    window->button(0)->click();
    std::vector<VyrCanMessage> frames;
    std::vector<Clock::time_point> arrivals;
    for (int n = 0; n < 5; ++n) {
        VyrCanMessage frame;
        ASSERT_TRUE(node.receive(0x123, frame)) << n;
        frames.push_back(frame);
        arrivals.push_back(Clock::now());
    }
    // Loose bounds: a machine shared with other work stalls threads for tens
    // of milliseconds. The exact wheel times are the step-by-step test's.
    const auto first_ms = std::chrono::duration_cast<std::chrono::milliseconds>(arrivals[0] - click).count();
    EXPECT_GE(first_ms, 85); // the wheel may lag the clock a few steps at the click
    EXPECT_LT(first_ms, 200);
    for (int n = 1; n < 5; ++n) {
        const int gap = int(frames[n].time - frames[n - 1].time);
        EXPECT_GE(gap, 50) << n;
        EXPECT_LE(gap, 150) << n;
    }
    EXPECT_NEAR(int(frames[4].time - frames[0].time), 400, 50);
    // No sixth frame: the run ended by itself.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    bool sixth = false;
    VyrCanMessage extra;
    while (node.channel->read_can_message(&extra) == canhwSuccess)
        sixth = sixth || extra.id == 0x123;
    EXPECT_FALSE(sixth);
    window->update_signals();
    EXPECT_EQ(cell(0, VyrCanSend::Transmitted), "5");
    EXPECT_EQ(window->button(0)->text(), "Start");
    EXPECT_FALSE(window->button(0)->message()->periodic_active());
}

TEST_F(SendWindow, PeriodicRunFollowsTheWheelStepByStep)
{
    // The test advances the wheel itself: every expiry at its exact wheel time.
    VyrCanIf *can = make_active();
    window->add_message();
    edit(0, VyrCanSend::Rate, QStringLiteral("100"));
    edit(0, VyrCanSend::Count, QStringLiteral("3"));
    window->add_message();
    edit(1, VyrCanSend::Rate, QStringLiteral("30"));
    window->startup();
    measurement = std::make_unique<Measurement>(std::vector<VyrCanIf *>{can});
    ASSERT_EQ(measurement->start(), 0);
    TimerWheel &wheel = measurement->wheel;
    CanSendMessage *limited = window->button(0)->message();
    CanSendMessage *open_ended = window->button(1)->message();
    window->button(0)->click();
    window->button(1)->click();
    struct Step
    {
        uint32_t time;
        unsigned limited;
        unsigned open_ended;
    };
    const Step steps[] = {{99, 0, 3}, {100, 1, 3}, {299, 2, 9}, {300, 3, 10}, {1000, 3, 33}};
    for (const Step &step : steps) {
        wheel.advance(step.time);
        EXPECT_EQ(limited->transmitted(), step.limited) << step.time;
        EXPECT_EQ(open_ended->transmitted(), step.open_ended) << step.time;
    }
    EXPECT_FALSE(limited->periodic_active());
    EXPECT_FALSE(limited->armed());
    window->update_signals();
    EXPECT_EQ(window->button(0)->text(), "Start");
    EXPECT_EQ(window->button(1)->text(), "Stop");
    // A rate of 0 ends the open-ended run; nothing stays on the wheel.
    edit(1, VyrCanSend::Rate, QStringLiteral("0"));
    EXPECT_FALSE(open_ended->armed());
    EXPECT_EQ(window->button(1)->text(), "Send");
    wheel.advance(2000);
    EXPECT_EQ(open_ended->transmitted(), 33u);
    // Clicked again, the limited row starts a new run from 0.
    window->button(0)->click();
    wheel.advance(2100);
    EXPECT_EQ(limited->transmitted(), 1u);
}

// The wheel's thread sleeps until its next entry, so at a click the wheel's
// time may lag the clock by up to a cycle. The run still starts one period
// after the click by the clock, with no burst of the periods the lag covered.
TEST_F(SendWindow, PeriodicRunStartedWhileTheWheelLagsSendsItsFirstFrameOnePeriodAfterTheClick)
{
    VyrCanIf *can = make_active();
    window->add_message();
    edit(0, VyrCanSend::Rate, QStringLiteral("10"));
    window->startup();
    measurement = std::make_unique<Measurement>(std::vector<VyrCanIf *>{can});
    ASSERT_EQ(measurement->start(), 0);
    TimerWheel &wheel = measurement->wheel;
    uint32_t clock = 500; // the wheel is still at 0
    wheel.set_clock([](void *context) { return *static_cast<uint32_t *>(context); }, &clock);
    CanSendMessage *row = window->button(0)->message();
    window->button(0)->click();
    wheel.advance(509);
    EXPECT_EQ(row->transmitted(), 0u);
    wheel.advance(510);
    EXPECT_EQ(row->transmitted(), 1u);
    wheel.advance(539);
    EXPECT_EQ(row->transmitted(), 3u);
    wheel.set_clock(nullptr, nullptr);
}

TEST_F(SendWindow, TriggerSendsOneFramePerEdgeAndStartsAndStopsAPeriodicRow)
{
    VyrCanIf *can = make_active();
    auto *trigger = new VyrTrigger(&triggers, QStringLiteral("Go"));
    for (const char *id : {"201h", "202h"}) {
        window->add_message();
        const int row = window->table()->rowCount() - 1;
        edit(row, VyrCanSend::Identifier, QString::fromLatin1(id));
        static_cast<TriggerItem *>(window->table()->item(row, VyrCanSend::Trigger))->set_trigger(trigger);
        window->value_changed(row, VyrCanSend::Trigger);
        EXPECT_EQ(window->button(row)->trigger(), trigger);
    }
    edit(1, VyrCanSend::Rate, QStringLiteral("10"));
    start(can);
    BusNode node;
    trigger->set();
    VyrCanMessage frame;
    ASSERT_TRUE(node.receive(0x201, frame));
    ASSERT_TRUE(node.receive(0x202, frame)); // the run started
    EXPECT_TRUE(window->button(1)->message()->periodic_active());
    trigger->reset();
    ASSERT_TRUE(node.receive(0x201, frame));
    EXPECT_FALSE(window->button(1)->message()->periodic_active());
    EXPECT_EQ(window->button(0)->message()->transmitted(), 2u);
    const unsigned periodic = window->button(1)->message()->transmitted();
    EXPECT_GE(periodic, 1u);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(window->button(1)->message()->transmitted(), periodic);

    // While the realtime side holds the trigger past the GUI lock's patience,
    // the row keeps its listener (and its binding) and can bind again later.
    std::atomic<bool> held{false};
    std::atomic<bool> refused{false};
    std::thread realtime([&] {
        EXPECT_EQ(trigger->rt_lock(), 0);
        held = true;
        while (!refused.load())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        trigger->rt_unlock();
    });
    while (!held.load())
        std::this_thread::yield();
    EXPECT_FALSE(window->button(0)->set_trigger(nullptr));
    refused = true;
    realtime.join();
    EXPECT_EQ(window->button(0)->trigger(), trigger);
    EXPECT_EQ(trigger->listeners().size(), 2u);
    EXPECT_TRUE(window->button(0)->set_trigger(nullptr));
    EXPECT_EQ(trigger->listeners().size(), 1u);
    EXPECT_TRUE(window->button(0)->set_trigger(trigger));

    // The trigger leaves the list: the rows let go of it.
    delete trigger;
    EXPECT_EQ(window->button(0)->trigger(), nullptr);
    EXPECT_EQ(cell(0, VyrCanSend::Trigger), " --- ");
}

TEST_F(SendWindow, DatabaseRowsSendTheAssignedRawValuesAndTheLastAppliedRowHoldsTheBinding)
{
    if (!QFile::exists(plain_dbc) || !QFile::exists(j1939_dbc))
        GTEST_SKIP() << "shared test data not found in " << dbc_dir.toStdString();
    VyrCanIf *can = make_active({plain_dbc, j1939_dbc});
    window->add_message();
    edit(0, VyrCanSend::Identifier, QStringLiteral("ExampleMessage"));
    EXPECT_EQ(frame_of(0).id, 496u);
    EXPECT_EQ(cell(0, VyrCanSend::Dlc), "8");
    CANdbMessage *example = can->databases()->find_message("ExampleMessage");
    ASSERT_NE(example, nullptr);
    EXPECT_EQ(example->default_data, window->button(0)->message());
    EXPECT_EQ(window->button(0)->palette().color(QPalette::Active, QPalette::ButtonText), QColor(Qt::red));

    window->add_message();
    edit(1, VyrCanSend::Identifier, QStringLiteral("ExampleMessage:300h,AverageRadius=7,Enable=1,Temperature=0FFh"));
    EXPECT_EQ(frame_of(1).id, 0x300u);
    EXPECT_EQ(example->default_data, window->button(1)->message());
    EXPECT_EQ(window->button(0)->palette().color(QPalette::Active, QPalette::ButtonText), QColor(Qt::black));

    window->add_message();
    edit(2, VyrCanSend::Identifier, QStringLiteral("Message1:18EF1234hx"));
    CANdbMessage *j1939 = can->databases()->find_message("Message1");
    ASSERT_NE(j1939, nullptr);
    EXPECT_EQ(window->button(2)->message()->database_key(), int(j1939->j1939_key()));
    EXPECT_TRUE(window->button(2)->message()->j1939_key());
    EXPECT_EQ(frame_of(2).id, 0x18EF1234u);
    EXPECT_TRUE(frame_of(2).flags & VyrCanMessage::Extended);

    // An unknown name becomes "0".
    window->add_message();
    edit(3, VyrCanSend::Identifier, QStringLiteral("NoSuchMessage"));
    EXPECT_EQ(cell(3, VyrCanSend::Identifier), "0");

    start(can);
    window->update_signals();
    EXPECT_TRUE(window->grab().save(QDir::tempPath() + QStringLiteral("/vyr_can_send_rows.png")));
    BusNode node;
    window->button(1)->click();
    VyrCanMessage frame;
    ASSERT_TRUE(node.receive(0x300, frame));
    const QString payload = QString::fromLatin1(QByteArray(reinterpret_cast<const char *>(frame.data), frame.dlc).toHex());
    const std::map<std::string, double> decoded = canmatrix_raw(plain_dbc, "ExampleMessage", payload);
    ASSERT_FALSE(decoded.empty()) << "python3-canmatrix did not run";
    EXPECT_EQ(decoded.at("ExampleMessage.AverageRadius"), 7);
    EXPECT_EQ(decoded.at("ExampleMessage.Enable"), 1);
    EXPECT_EQ(decoded.at("ExampleMessage.Temperature"), 255);

    // Data written through the default-data link reaches the Data cell.
    example->default_data->default_data()[0] = 0xAB;
    example->default_data->data_changed();
    EXPECT_TRUE(cell(1, VyrCanSend::Data).startsWith("ab ")) << cell(1, VyrCanSend::Data).toStdString();
}

TEST_F(SendWindow, IdentifierTextsMakeTheirFrames)
{
    make_active();
    window->add_message();
    struct Case
    {
        const char *text;
        const char *cell_after;
        uint32_t id;
        uint32_t flags;
        int dlc;
    };
    const Case cases[] = {
        {"100", "100", 100, 0, 8},
        {"100hx", "100hx", 0x100, VyrCanMessage::Extended, 8},
        {"7E0hr", "7E0hr", 0x7E0, VyrCanMessage::Remote, 0},
        {"1FFx", "0", 0, 0, 0},            // decimal 1 would go out: refused
        {"err", "ERROR FRAME", 0, VyrCanMessage::ErrorFrame, 0},
        {"", "0", 0, 0, 0},
    };
    for (const Case &c : cases) {
        edit(0, VyrCanSend::Dlc, QStringLiteral("8"));
        static_cast<DlcItem *>(window->table()->item(0, VyrCanSend::Dlc))->set_dlc(8);
        window->value_changed(0, VyrCanSend::Dlc);
        edit(0, VyrCanSend::Identifier, QString::fromLatin1(c.text));
        SCOPED_TRACE(c.text);
        EXPECT_EQ(cell(0, VyrCanSend::Identifier), c.cell_after);
        EXPECT_EQ(frame_of(0).id, c.id);
        EXPECT_EQ(frame_of(0).flags & ~uint32_t(VyrCanMessage::TxAck), c.flags);
        if (c.flags & (VyrCanMessage::Remote | VyrCanMessage::ErrorFrame)) {
            EXPECT_EQ(cell(0, VyrCanSend::Dlc), QString::number(c.dlc));
        }
    }
}

TEST_F(SendWindow, DlcChangesReshapeTheDataCellAndCanFdOffersLongFrames)
{
    VyrCanIf *can = make_active();
    window->add_message();
    edit(0, VyrCanSend::Data, QStringLiteral("11 22 33 44 55 66 77 88"));
    auto *dlc = static_cast<DlcItem *>(window->table()->item(0, VyrCanSend::Dlc));
    struct Case
    {
        int dlc;
        const char *data;
    };
    const Case cases[] = {{2, "11 22"}, {4, "11 22 00 00"}, {0, ""}, {1, "00"}};
    for (const Case &c : cases) {
        dlc->set_dlc(c.dlc);
        window->value_changed(0, VyrCanSend::Dlc);
        EXPECT_EQ(cell(0, VyrCanSend::Data), c.data) << c.dlc;
        EXPECT_EQ(frame_of(0).dlc, c.dlc);
    }
    // With CAN FD the editor offers up to 64 bytes; picking one commits at once.
    can->set_fd_timing(true, 80000000, 2, 15, 4, 4);
    window->table()->setCurrentCell(0, VyrCanSend::Dlc);
    window->table()->editItem(window->table()->item(0, VyrCanSend::Dlc));
    auto *combo = window->table()->findChild<QComboBox *>(QStringLiteral("dlc_editor"));
    ASSERT_NE(combo, nullptr);
    ASSERT_EQ(combo->count(), 16);
    EXPECT_EQ(combo->itemText(15), "64");
    combo->setCurrentIndex(15);
    emit combo->activated(15);
    QTest::qWait(20);
    EXPECT_EQ(cell(0, VyrCanSend::Dlc), "64");
    EXPECT_EQ(cell(0, VyrCanSend::Data).size(), 64 * 3 - 1);
    EXPECT_EQ(frame_of(0).dlc, 64);
}

TEST_F(SendWindow, ConfigurationRoundTripsAndReadsWithoutOptionalKeys)
{
    VyrCanIf *can = make_active();
    auto *trigger = new VyrTrigger(&triggers, QStringLiteral("Go"));
    window->add_message();
    window->add_message();
    edit(1, VyrCanSend::Identifier, QStringLiteral("7FFh"));
    edit(1, VyrCanSend::Rate, QStringLiteral("250"));
    edit(1, VyrCanSend::Count, QStringLiteral("3"));
    edit(1, VyrCanSend::Comment, QStringLiteral("heartbeat"));
    static_cast<TriggerItem *>(window->table()->item(1, VyrCanSend::Trigger))->set_trigger(trigger);
    window->value_changed(1, VyrCanSend::Trigger);
    window->show_column(VyrCanSend::Comment);
    window->show_column(VyrCanSend::Rate, false);
    window->table()->setColumnWidth(VyrCanSend::Data, 210);
    window->show_signal_table();

    QTemporaryDir dir;
    const auto write = [&](VyrCanSend &source, const QString &name) {
        QtbConfig config(dir.filePath(name));
        source.write_configuration(&config);
        EXPECT_EQ(config.write(), 0);
        QFile file(dir.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        return file.readAll();
    };
    const QByteArray first = write(*window, QStringLiteral("first.vyr"));
    QtbConfig read(dir.filePath(QStringLiteral("first.vyr")));
    ASSERT_EQ(read.read(), 0);
    std::unique_ptr<VyrCanSend> again(static_cast<VyrCanSend *>(VyrCanSend::create(nullptr, read.get_group("CanSend"))));
    ASSERT_EQ(again->table()->rowCount(), 2);
    EXPECT_EQ(again->button(1)->message()->interface(), can);
    EXPECT_EQ(again->button(1)->trigger(), trigger);
    EXPECT_EQ(again->button(1)->message()->rate(), 250u);
    EXPECT_EQ(again->button(1)->message()->frame().id, 0x7FFu);
    EXPECT_TRUE(again->column_shown(VyrCanSend::Comment));
    EXPECT_FALSE(again->column_shown(VyrCanSend::Rate));
    EXPECT_FALSE(again->signal_table_dock()->isHidden());
    EXPECT_EQ(write(*again, QStringLiteral("second.vyr")).toStdString(), first.toStdString());

    // Rows without optional keys: identifier "0", DLC 8, zero data, CTRL+X; Comment and Trigger hidden.
    QtbConfigGroup sparse;
    sparse.add_group("messages")->add_group("");
    std::unique_ptr<VyrCanSend> bare(static_cast<VyrCanSend *>(VyrCanSend::create(nullptr, &sparse)));
    ASSERT_EQ(bare->table()->rowCount(), 1);
    EXPECT_EQ(bare->table()->item(0, VyrCanSend::Identifier)->text(), "0");
    EXPECT_EQ(bare->table()->item(0, VyrCanSend::Data)->text(), "00 00 00 00 00 00 00 00");
    EXPECT_EQ(bare->table()->item(0, VyrCanSend::Key)->text(), "CTRL+X");
    EXPECT_EQ(bare->button(0)->accelerator()->key_code(), unsigned(VyrCanSend::default_key));
    EXPECT_EQ(bare->button(0)->message()->interface(), nullptr);
    EXPECT_FALSE(bare->column_shown(VyrCanSend::Comment));
    EXPECT_FALSE(bare->column_shown(VyrCanSend::Trigger));
}

TEST_F(SendWindow, RowEditingInterfaceRemovalAndTheSignalTable)
{
    if (!QFile::exists(plain_dbc))
        GTEST_SKIP() << "shared test data not found: " << plain_dbc.toStdString();
    VyrCanIf *can = make_active({plain_dbc});
    for (const char *id : {"1", "ExampleMessage", "3"}) {
        window->add_message();
        edit(window->table()->rowCount() - 1, VyrCanSend::Identifier, QString::fromLatin1(id));
    }
    auto *delete_button = window->findChild<QToolButton *>(QStringLiteral("delete_button"));
    auto *up = window->findChild<QToolButton *>(QStringLiteral("move_up_button"));
    auto *down = window->findChild<QToolButton *>(QStringLiteral("move_down_button"));
    EXPECT_FALSE(delete_button->isEnabled());
    window->table()->selectRow(0);
    EXPECT_TRUE(delete_button->isEnabled());
    EXPECT_FALSE(up->isEnabled());
    EXPECT_TRUE(down->isEnabled());
    QPointer<TableButton> moved = window->button(0);
    down->click();
    // The buttons outlive the table's deferred deletion of the widgets it let go.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_FALSE(moved.isNull());
    EXPECT_EQ(window->button(1), moved);
    ASSERT_NE(window->button(0), nullptr);
    EXPECT_EQ(cell(1, VyrCanSend::Identifier), "1");
    EXPECT_EQ(cell(0, VyrCanSend::Identifier), "ExampleMessage");
    up->click();
    EXPECT_EQ(window->button(0), moved);

    // The signal table shows the current row's message both ways.
    window->findChild<QToolButton *>(QStringLiteral("signal_table_button"))->click();
    EXPECT_TRUE(window->signal_table_dock()->isVisible());
    window->table()->setCurrentCell(1, VyrCanSend::Identifier);
    ASSERT_NE(window->signal_table()->message(), nullptr);
    EXPECT_EQ(window->signal_table()->message()->name, "ExampleMessage");
    window->signal_table()->set_signal_raw_value(window->signal_table()->message()->find_signal("Enable"), 1);
    uint64_t enable = 0;
    ASSERT_EQ(window->signal_table()->message()->find_signal("Enable")->extract_raw(frame_of(1).data, 8, false, enable), 0);
    EXPECT_EQ(enable, 1u);
    EXPECT_EQ(cell(1, VyrCanSend::Data), QString::fromLatin1(QByteArray(reinterpret_cast<const char *>(frame_of(1).data), 8).toHex(' ')));

    const QString png = QDir::tempPath() + QStringLiteral("/vyr_can_send.png");
    EXPECT_TRUE(window->grab().save(png));

    // Remove this Line on the shown row: the table follows the new current row.
    window->delete_message(1);
    ASSERT_EQ(window->table()->rowCount(), 2);
    // Neither remaining row ("1", "3") names a database message.
    EXPECT_EQ(window->signal_table()->message(), nullptr);

    // The interface goes: rows keep their place without a channel.
    window->remove_interface(QString::fromStdString(can->make_id()));
    EXPECT_EQ(window->table()->rowCount(), 2);
    EXPECT_EQ(cell(0, VyrCanSend::Channel), "");
    EXPECT_EQ(window->button(0)->message()->interface(), nullptr);
}

TEST_F(SendWindow, EditorsCommitThroughTheTable)
{
    if (!QFile::exists(plain_dbc))
        GTEST_SKIP() << "shared test data not found: " << plain_dbc.toStdString();
    VyrCanIf *can = make_active({plain_dbc});
    window->add_message();
    CanSendTable *table = window->table();
    const auto open_editor = [&](int column) {
        table->setCurrentCell(0, column);
        table->editItem(table->item(0, column));
        return table->open_editor();
    };

    // The identifier editor lists the error frame and the database's messages
    // and refuses what is neither a number nor a message.
    auto *id_editor = qobject_cast<QComboBox *>(open_editor(VyrCanSend::Identifier));
    ASSERT_NE(id_editor, nullptr);
    EXPECT_EQ(id_editor->itemText(0), "Error Frame");
    EXPECT_NE(id_editor->findText(QStringLiteral("ExampleMessage")), -1);
    QString refused = QStringLiteral("100xh");
    int position = 0;
    EXPECT_EQ(id_editor->validator()->validate(refused, position), QValidator::Invalid);
    id_editor->setEditText(QStringLiteral("100h"));
    table->end_edit();
    EXPECT_EQ(cell(0, VyrCanSend::Identifier), "100h");
    EXPECT_EQ(frame_of(0).id, 0x100u);

    auto *rate_editor = qobject_cast<QLineEdit *>(open_editor(VyrCanSend::Rate));
    ASSERT_NE(rate_editor, nullptr);
    rate_editor->setText(QStringLiteral("50"));
    table->end_edit();
    EXPECT_EQ(window->button(0)->message()->rate(), 50u);
    EXPECT_EQ(window->button(0)->text(), "Start");

    // Choices commit as soon as they are picked.
    auto *key_editor = qobject_cast<VyrSelectKey *>(open_editor(VyrCanSend::Key));
    ASSERT_NE(key_editor, nullptr);
    key_editor->modifier_box()->setCurrentText(QStringLiteral("ALT"));
    key_editor->key_box()->setCurrentText(QStringLiteral("F5"));
    emit key_editor->key_box()->activated(key_editor->key_box()->currentIndex());
    EXPECT_TRUE(QTest::qWaitFor([&] { return table->open_editor() == nullptr; }, 1000));
    EXPECT_EQ(cell(0, VyrCanSend::Key), "ALT+F5");
    EXPECT_EQ(window->button(0)->accelerator()->key_code(), 0x800000u + 0x1034u);

    auto *channel_editor = qobject_cast<QComboBox *>(open_editor(VyrCanSend::Channel));
    ASSERT_NE(channel_editor, nullptr);
    ASSERT_EQ(channel_editor->count(), 2);
    EXPECT_EQ(channel_editor->currentText(), QString::fromStdString(can->name()));
    channel_editor->setCurrentIndex(0);
    emit channel_editor->activated(0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return window->button(0)->message()->interface() == nullptr; }, 1000));
    EXPECT_EQ(cell(0, VyrCanSend::Channel), "");

    // Tab moves between the cells and stays in the table; F1 reaches the window's help.
    table->setFocus();
    table->setCurrentCell(0, VyrCanSend::Identifier);
    QTest::keyClick(table, Qt::Key_Tab);
    EXPECT_EQ(table->currentColumn(), int(VyrCanSend::Dlc));
    QTest::keyClick(table, Qt::Key_Backtab);
    EXPECT_EQ(table->currentColumn(), int(VyrCanSend::Identifier));
    QSignalSpy help(window.get(), &VyrDataWindow::activate_help_context);
    QTest::keyClick(table, Qt::Key_F1);
    ASSERT_EQ(help.count(), 1);
    EXPECT_EQ(help.at(0).at(0).toString(), "CanSendWindow");

    // No editor opens on the Action column.
    static_cast<QAbstractItemView *>(table)->edit(table->model()->index(0, VyrCanSend::Action));
    EXPECT_EQ(table->open_editor(), nullptr);
}

// Typing a message name into the identifier cell gives that message: the
// first letter "E" completes to the message, not to the error frame at the
// head of the list, and the letters that follow are taken. An error frame
// is had by typing it out.
TEST_F(SendWindow, TypedMessageNamesAreNotCompletedToAnErrorFrame)
{
    if (!QFile::exists(plain_dbc))
        GTEST_SKIP() << "shared test data not found: " << plain_dbc.toStdString();
    make_active({plain_dbc});
    window->add_message();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    CanSendTable *table = window->table();
    // Delete drops what the completion added.
    const auto type_into_cell = [&](const QString &typed, bool delete_completion = false) {
        table->setCurrentCell(0, VyrCanSend::Identifier);
        table->editItem(table->item(0, VyrCanSend::Identifier));
        auto *editor = qobject_cast<QComboBox *>(table->open_editor());
        EXPECT_NE(editor, nullptr);
        if (!editor)
            return QString();
        editor->lineEdit()->selectAll();
        QTest::keyClicks(editor->lineEdit(), typed);
        if (delete_completion)
            QTest::keyClick(editor->lineEdit(), Qt::Key_Delete);
        const QString shown = editor->currentText();
        table->end_edit();
        return shown;
    };

    EXPECT_EQ(type_into_cell(QStringLiteral("E")).toStdString(), "ExampleMessage");
    EXPECT_EQ(type_into_cell(QStringLiteral("ExampleMessage")).toStdString(), "ExampleMessage");
    EXPECT_EQ(cell(0, VyrCanSend::Identifier), "ExampleMessage");
    EXPECT_EQ(frame_of(0).id, 496u);
    EXPECT_FALSE(frame_of(0).flags & VyrCanMessage::ErrorFrame);
    // The completion fills in the name; a name left half typed (its
    // completion deleted) is no identifier, and the cell keeps its own.
    EXPECT_EQ(type_into_cell(QStringLiteral("Exam")).toStdString(), "ExampleMessage");
    EXPECT_EQ(type_into_cell(QStringLiteral("Exam"), true).toStdString(), "Exam");
    EXPECT_EQ(cell(0, VyrCanSend::Identifier), "ExampleMessage");
    EXPECT_EQ(type_into_cell(QStringLiteral("Error Frame")).toStdString(), "Error Frame");
    EXPECT_TRUE(frame_of(0).flags & VyrCanMessage::ErrorFrame);
}

TEST_F(SendWindow, ContextMenuHidesColumnsAndRemovesTheLineUnderThePointer)
{
    make_active();
    window->add_message();
    window->add_message();
    edit(1, VyrCanSend::Identifier, QStringLiteral("22"));
    const auto choose = [&](int row, int column, const QStringList &path) {
        QTimer::singleShot(0, [path] {
            auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
            ASSERT_NE(menu, nullptr);
            for (int step = 0; step < path.size(); ++step) {
                QAction *found = nullptr;
                for (QAction *action : menu->actions())
                    if (action->text() == path[step])
                        found = action;
                ASSERT_NE(found, nullptr) << path[step].toStdString();
                if (step + 1 < path.size())
                    menu = found->menu();
                else
                    found->trigger();
            }
            qobject_cast<QMenu *>(QApplication::activePopupWidget())->close();
        });
        window->show_context_menu(row, column, window->mapToGlobal(QPoint(20, 60)));
    };
    choose(0, VyrCanSend::Rate, {QStringLiteral("Hide this Column")});
    EXPECT_FALSE(window->column_shown(VyrCanSend::Rate));
    EXPECT_TRUE(window->table()->isColumnHidden(VyrCanSend::Rate));
    choose(0, VyrCanSend::Data, {QStringLiteral("Columns"), QStringLiteral("Rate[ms]")});
    EXPECT_TRUE(window->column_shown(VyrCanSend::Rate));
    choose(0, VyrCanSend::Data, {QStringLiteral("Columns"), QStringLiteral("Comment")});
    EXPECT_TRUE(window->column_shown(VyrCanSend::Comment));
    choose(0, VyrCanSend::Data, {QStringLiteral("Remove this Line")});
    ASSERT_EQ(window->table()->rowCount(), 1);
    EXPECT_EQ(cell(0, VyrCanSend::Identifier), "22");
    choose(-1, -1, {QStringLiteral("Add Line")});
    EXPECT_EQ(window->table()->rowCount(), 2);
}

// Run under the thread sanitizer too: frames and rows change while the wheel sends.
TEST_F(SendWindow, DataEditedWhileTheRowSendsEveryMillisecondGoesOutWhole)
{
    VyrCanIf *can = make_active();
    window->add_message();
    edit(0, VyrCanSend::Identifier, QStringLiteral("55h"));
    edit(0, VyrCanSend::Rate, QStringLiteral("1"));
    for (int n = 0; n < 4; ++n) {
        window->add_message();
        edit(n + 1, VyrCanSend::Identifier, QStringLiteral("%1h").arg(0x60 + n, 0, 16));
        edit(n + 1, VyrCanSend::Rate, QStringLiteral("1"));
    }
    start(can);
    for (int row = 0; row < window->table()->rowCount(); ++row)
        window->button(row)->click();
    BusNode node;
    std::atomic<bool> done{false};
    std::atomic<int> torn{0};
    std::atomic<int> seen{0};
    std::thread reader([&] {
        while (!done.load()) {
            VyrCanMessage frame;
            if (node.channel->read_can_message(&frame) != canhwSuccess) {
                std::this_thread::sleep_for(std::chrono::microseconds(200));
                continue;
            }
            if (frame.id != 0x55)
                continue;
            ++seen;
            for (int i = 1; i < 8; ++i)
                if (frame.data[i] != frame.data[0])
                    ++torn;
        }
    });
    for (int k = 0; k < 200; ++k) {
        const QString byte = QStringLiteral("%1").arg(k & 0xFF, 2, 16, QLatin1Char('0'));
        edit(0, VyrCanSend::Data, QVector<QString>(8, byte).toList().join(QLatin1Char(' ')));
        if (k == 100) {
            window->table()->selectRow(2);
            window->delete_selected_messages();
            window->delete_message(1);
        }
        std::this_thread::sleep_for(std::chrono::microseconds(300));
    }
    done = true;
    reader.join();
    EXPECT_GT(seen.load(), 20);
    EXPECT_EQ(torn.load(), 0);
    // The window closes mid-run: its rows leave the wheel first.
    window.reset();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
}

} // namespace
