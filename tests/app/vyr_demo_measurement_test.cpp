// The demo's configuration measured by the real main window on the vrbus
// daemon, which the CAN types' start-up hooks start as the program does:
// start, frames of its CAN interface read by a second handle on the bus,
// stop.
#include "app/shell/vyr_app_state.h"
#include "app/vyr_main.h"
#include "demo_fixture.h"
#include "message_window_rows.h"
#include "settings/qtb_config.h"
#include "core/vyr_signal_if_type.h"
#include "core/vyr_trigger.h"
#include "core/vyr_trigger_cond.h"
#include "interfaces/can/vyr_can_if.h"
#include "interfaces/hardware/can_hw_channel_info.h"
#include "test_paths.h"
#include "windows/replay/replay_table_button.h"
#include "windows/replay/vyr_can_replay.h"
#include "windows/scope/vyr_scope.h"
#include "windows/scope/vyr_scope_signal_item.h"
#include "windows/statistics/vyr_bus_statistic.h"
#include "windows/trace/vyr_message_view.h"
#include "windows/trace/vyr_trace.h"
#include "windows/tune/vyr_signal_view.h"
#include "windows/tune/vyr_tune.h"
#include "tests/interfaces/can_test_support.h" // runs the vrbus daemon around the program

#include "core/widgets/vyr_message_box_question.h"

#include <QApplication>
#include <cmath>
#include <QCloseEvent>
#include <QDir>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QTest>
#include <gtest/gtest.h>

using can_test::virtual_channel;

using DemoRun = DemoFixture;

TEST_F(DemoRun, TheDemosCanInterfaceSendsOnTheVirtualBusUntilStopped)
{
    ASSERT_EQ(window.load_configuration(&config), 0);
    auto *can = dynamic_cast<VyrCanIf *>(get_first_signal_if());
    ASSERT_NE(can, nullptr);

    // A second handle on the demo's channel, as another program would hold it.
    const int info = CANhwChannelInfoList::global().find_channel_info(virtual_channel);
    ASSERT_GE(info, 0);
    std::unique_ptr<CANhwChannel> listener = CANhwChannelInfoList::global().make_channel(info);
    ASSERT_EQ(listener->open(false), canhwSuccess);
    ASSERT_EQ(listener->set_channel_index(2), canhwSuccess);
    ASSERT_EQ(listener->set_bus_params(500000, 5, 2, 1, 1, 0), canhwSuccess);
    ASSERT_EQ(listener->buson(), canhwSuccess);

    window.start();
    ASSERT_TRUE(window.measurement_running()) << message_window_rows(window).join('\n').toStdString();
    EXPECT_TRUE(can->thread_running());
    EXPECT_NE(triggers.find("Running")->state(), 0);
    VyrTrigger *settled = triggers.find("Settled");
    ASSERT_NE(settled, nullptr);
    EXPECT_EQ(settled->state(), 0);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return message_window_rows(window).filter("Demo script started.").size() == 1; }, 5000));

    for (uint8_t n = 0; n < 3; ++n) {
        VyrCanMessage frame;
        frame.id = 0x100 + n;
        frame.dlc = 1;
        frame.data[0] = n;
        ASSERT_EQ(can->channel()->write(frame), canhwSuccess);
    }
    std::vector<uint32_t> seen;
    platform::WaitHandle event;
    listener->get_event_handle(&event);
    for (int attempt = 0; attempt < 40 && seen.size() < 3; ++attempt) {
        VyrCanMessage received;
        if (listener->read_can_message(&received) == canhwSuccess) {
            if (received.dlc == 1) // the script's own 0x100 frames carry two bytes
                seen.push_back(received.id);
        } else
            platform::wait_any({event}, 250);
    }
    EXPECT_EQ(seen, std::vector<uint32_t>({0x100, 0x101, 0x102}));
    // The demo's trace window shows them (the echoes of what its interface sent).
    auto *trace = window.findChild<VyrTrace *>();
    ASSERT_NE(trace, nullptr);
    EXPECT_EQ(trace->view()->interface(), can);
    EXPECT_TRUE(QTest::qWaitFor([&] { return trace->view()->row_count() >= 3; }, 5000));
    // The demo's timer condition sets "Settled" a second after the start.
    EXPECT_TRUE(QTest::qWaitFor([&] { return settled->state() != 0; }, 5000));
    EXPECT_NE(window.findChild<VyrBusStatistic *>(), nullptr);

    // The demo's replay window plays its drive log onto the bus.
    auto *replay = window.findChild<VyrCanReplay *>();
    ASSERT_NE(replay, nullptr);
    ASSERT_NE(replay->button(0), nullptr);
    ASSERT_TRUE(replay->button(0)->isEnabled());
    replay->button(0)->click();
    bool replayed = false;
    for (int attempt = 0; attempt < 40 && !replayed; ++attempt) {
        VyrCanMessage received;
        if (listener->read_can_message(&received) == canhwSuccess)
            replayed = received.id == 0x18fef100 && (received.flags & VyrCanMessage::Extended);
        else
            platform::wait_any({event}, 250);
    }
    EXPECT_TRUE(replayed);

    // The demo's tune window sets the script's output signal, which goes
    // out in the Setpoint frame of the demo's DBC.
    auto *tune = window.findChild<VyrTune *>();
    ASSERT_NE(tune, nullptr);
    ASSERT_EQ(tune->view()->item_count(), 1);
    tune->view()->display_list()->set_cursor(tune->view()->item(0));
    ASSERT_TRUE(tune->edit_field()->isEnabled());
    tune->edit_field()->setText("120");
    auto *commit = tune->findChild<QToolButton *>(QStringLiteral("commit_button"));
    ASSERT_TRUE(commit->isEnabled());
    commit->click();
    bool setpoint = false;
    for (int attempt = 0; attempt < 40 && !setpoint; ++attempt) {
        VyrCanMessage received;
        if (listener->read_can_message(&received) == canhwSuccess)
            setpoint = received.id == 0x300 && received.dlc == 2 && received.data[0] == 120 &&
                received.data[1] == 0;
        else
            platform::wait_any({event}, 250);
    }
    EXPECT_TRUE(setpoint);

    // The demo's scope follows the script's frame counter and its triangle wave.
    auto *scope = window.findChild<VyrScope *>();
    ASSERT_NE(scope, nullptr);
    ASSERT_EQ(scope->item_count(), 2);
    EXPECT_STREQ(scope->item(1)->signal()->name(), "demo.Wave.Triangle");
    VyrMessageRing<ScopeSample> &wave = scope->item(1)->samples();
    EXPECT_TRUE(QTest::qWaitFor([&] { return wave.record_count() >= 3; }, 5000));
    if (!wave.is_rp_at_wp()) {
        const ScopeSample oldest = wave.read_record();
        EXPECT_GE(oldest.value, -50.0);
        EXPECT_LE(oldest.value, 50.0);
        EXPECT_EQ(std::fmod(oldest.value, 10.0), 0.0);
    }
    EXPECT_TRUE(QTest::qWaitFor([&] { return scope->item(0)->newest_time() > 0.0; }, 5000));

    window.stop();
    EXPECT_FALSE(window.measurement_running());
    EXPECT_FALSE(can->thread_running());
    EXPECT_EQ(can->channel(), nullptr);
    listener->close();

    // Window > Create Window > Trace: a second trace window on the CAN interface.
    window.build_window_menu();
    auto *create = window.menus().menu_window->findChild<QMenu *>(QStringLiteral("menu_create_window"));
    ASSERT_NE(create, nullptr);
    QStringList entries;
    QAction *trace_entry = nullptr;
    for (QAction *action : create->actions()) {
        entries << action->text();
        if (action->text() == "Trace")
            trace_entry = action;
    }
    EXPECT_EQ(entries,
              QStringList({"Statistics", "CanSend", "CanReplay", "Trace", "Scope", "Tune", "Panel", "PacketTrace"}));
    ASSERT_NE(trace_entry, nullptr);
    trace_entry->trigger();
    const QList<VyrTrace *> traces = window.findChildren<VyrTrace *>();
    ASSERT_EQ(traces.size(), 2);
    EXPECT_EQ(traces.last()->view()->interface(), can);
    EXPECT_TRUE(traces.last()->caption().startsWith("Trace")) << traces.last()->caption().toStdString();
    // The tool bar's button of the type makes a third.
    auto *button = window.findChild<QToolButton *>(QStringLiteral("button_create_Trace"));
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->text(), "Trace");
    EXPECT_EQ(button->toolTip(), "<p><h3>CAN Trace Window</h3>Create a new CAN Trace Window</p>");
    button->click();
    EXPECT_EQ(window.findChildren<VyrTrace *>().size(), 3);
}

namespace {

// The demo's files copied into a folder of the test's own.
QString copy_demo(const QTemporaryDir &dir)
{
    const QDir demo(vyr_test::source_dir() + "/demo");
    for (const QString &name : demo.entryList(QDir::Files))
        EXPECT_TRUE(QFile::copy(demo.filePath(name), dir.filePath(name))) << name.toStdString();
    return dir.filePath("demo.vyr");
}

QByteArray contents(const QString &file_name)
{
    QFile file(file_name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// What the window manager does when the user closes the window: a close
// event delivered to the window of the platform, not a call of close().
void close_as_the_window_manager(QWidget &window)
{
    QCloseEvent event;
    QCoreApplication::sendEvent(window.windowHandle(), &event);
}

} // namespace

// Traffic fills the trace until it scrolls: nothing the file keeps changed,
// so nothing asks. A column the user widens is a change; closing through
// the window manager then asks the File menu's question, and Enter answers
// its default, Cancel.
TEST(DemoMeasurement, TrafficChangesNoConfigurationAndTheWindowManagersCloseAsksAsExitDoes)
{
    VyrTriggerList triggers;
    VyrTriggerList::set_instance(&triggers);
    add_running_trigger(&triggers);
    const QString previous_directory = QDir::currentPath();
    QTemporaryDir dir;
    const QString file = copy_demo(dir);
    const QByteArray saved = contents(file);
    set_vyr_question_function(vyr_message_box_question);
    {
        VyrMain window;
        window.setAttribute(Qt::WA_DeleteOnClose, false);
        auto *config = new QtbConfig(file);
        config->read();
        replace_configuration(config);
        ASSERT_EQ(window.load_configuration(config), 0);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        auto *can = dynamic_cast<VyrCanIf *>(get_first_signal_if());
        auto *trace = window.findChild<VyrTrace *>();
        ASSERT_NE(can, nullptr);
        ASSERT_NE(trace, nullptr);

        window.start();
        ASSERT_TRUE(window.measurement_running()) << message_window_rows(window).join('\n').toStdString();
        for (uint32_t n = 0; n < 80; ++n) {
            VyrCanMessage frame;
            frame.id = 0x200 + n;
            frame.dlc = 2;
            ASSERT_EQ(can->channel()->write(frame), canhwSuccess);
        }
        QScrollBar *rows = trace->view()->verticalScrollBar();
        EXPECT_TRUE(QTest::qWaitFor([&] { return trace->view()->row_count() >= 80 && rows->maximum() > 0; }, 10000));
        QTest::qWait(300); // the trace's updates and the columns' fitting
        EXPECT_FALSE(window.configuration_modified());

        // The user widens a column.
        QHeaderView *header = trace->view()->header();
        header->resizeSection(VyrMessageView::Data, header->sectionSize(VyrMessageView::Data) + 40);
        EXPECT_TRUE(window.configuration_modified());

        QString asked;
        QString default_button;
        QTimer::singleShot(0, [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            asked = box->text();
            default_button = box->defaultButton() ? box->defaultButton()->text() : QString();
            QTest::keyClick(box, Qt::Key_Return);
        });
        close_as_the_window_manager(window);
        EXPECT_EQ(asked, "Configuration has changed!\nDo you want to save ?");
        EXPECT_EQ(default_button, "Cancel");
        EXPECT_TRUE(window.isVisible());          // Cancel: the program goes on
        EXPECT_FALSE(window.measurement_running()); // stopped before the question, as Exit finds it
        EXPECT_EQ(contents(file), saved);

        // "No" lets it close without saving.
        QTimer::singleShot(0, [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            for (QAbstractButton *button : box->buttons())
                if (button->text() == "No")
                    button->click();
        });
        close_as_the_window_manager(window);
        EXPECT_FALSE(window.isVisible());
        EXPECT_EQ(contents(file), saved);
    }
    set_vyr_question_function(nullptr);
    replace_configuration(nullptr);
    QDir::setCurrent(previous_directory);
    VyrTriggerList::set_instance(nullptr);
}
