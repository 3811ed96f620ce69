// The system interface object of the main window and the system logs that
// plug-ins show as pages of the message window.
#include "app/vyr_main.h"
#include "app/vyr_sys_if.h"
#include "core/signal_record.h"
#include "core/time_base.h"
#include "core/vyr_signal_list.h"
#include "tests/core/signal_if_test_support.h"
#include "windows/packet/vyr_packet_display.h"
#include "windows/packet/vyr_rt_log.h"

#include <QHeaderView>
#include <QTabWidget>
#include <QTest>
#include <QThread>
#include <QTextStream>
#include <gtest/gtest.h>

#include <cstdlib>
#include <thread>

namespace {

QStringList header_titles(VyrRtLog *log)
{
    QStringList titles;
    QAbstractItemModel *model = log->display()->header()->model();
    for (int i = 0; i < model->columnCount(); ++i)
        titles << model->headerData(i, Qt::Horizontal).toString();
    return titles;
}

QStringList rows(VyrRtLog *log)
{
    log->display()->update();
    QString text;
    QTextStream out(&text);
    log->display()->write_text(out, false);
    out.flush();
    return text.split('\n', Qt::SkipEmptyParts);
}

class SysLogTest : public ::testing::Test
{
protected:
    SysLogTest() { window.setAttribute(Qt::WA_DeleteOnClose, false); }

    int tab_of(VyrSysLog &log) const { return window.message_tabs()->indexOf(log.window()); }

    VyrMain window;
};

} // namespace

TEST(SysIf, TheMainWindowMakesTheProgramsObjectAndItsTeardownClearsItsWindow)
{
    {
        VyrMain window;
        window.setAttribute(Qt::WA_DeleteOnClose, false);
        ASSERT_NE(VyrSysIf::instance(), nullptr);
        EXPECT_EQ(VyrSysIf::instance()->main_window(), &window);
        EXPECT_EQ(VyrSysIf::instance()->menu_bar(), window.menuBar());
        EXPECT_EQ(VyrSysIf::instance()->background_color(), QColor(235, 235, 235));
        EXPECT_FALSE(window.under_remote_control());
        VyrSysIf::instance()->add_automation_object();
        EXPECT_TRUE(window.under_remote_control());
        VyrSysIf::instance()->remove_automation_object();
    }
    EXPECT_EQ(VyrSysIf::instance()->main_window(), nullptr);
    // Without a window the bodies do nothing and succeed, and a log opens nothing.
    QString name = "unchanged";
    EXPECT_EQ(VyrSysIf::instance()->getConfiguration(name), 0);
    EXPECT_EQ(name, "unchanged");
    EXPECT_EQ(VyrSysIf::instance()->startMeasurement(), 0);
    VyrSysLog log("plug-in");
    log.open_window();
    EXPECT_EQ(log.window(), nullptr);
}

TEST(SysIf, ValueRecordsCarryTheirTypeAndTheTimeOfTheTimeBase)
{
    const TimeValue before = get_current_time();
    const SignalValue real = SignalValue::SignalValue_double(2.5);
    const SignalValue whole = SignalValue::SignalValue_int(-7);
    const TimeValue after = get_current_time();
    EXPECT_EQ(real.type, uint32_t(SignalValue::Double));
    EXPECT_EQ(real.double_value, 2.5);
    EXPECT_EQ(whole.type, uint32_t(SignalValue::Int));
    EXPECT_EQ(whole.int_value, -7);
    const auto us = [](uint32_t s, uint32_t u) { return uint64_t(s) * 1000000 + u; };
    EXPECT_LE(us(before.seconds, before.microseconds), us(real.seconds, real.microseconds));
    EXPECT_LE(us(whole.seconds, whole.microseconds), us(after.seconds, after.microseconds));
}

TEST(SysIf, ValueTimesPastFiftyDaysKeepTheirMilliseconds)
{
    VyrSysIf sys_if(nullptr);
    vyr_test::TestInterface interface(nullptr, nullptr);
    interface.set_name("long run");
    auto list = std::make_unique<VyrSignalList>();
    auto *signal = new SignalRecord();
    signal->set_name("speed");
    list->insert(signal);
    interface.set_signal_list(std::move(list));

    double value = -1.0;
    int64_t time_ms = -1;
    // No value yet: the current read leaves the outputs, the latest says so.
    EXPECT_EQ(sys_if.readCurrentValue("long run", "speed", value, time_ms), 0);
    EXPECT_EQ(time_ms, -1);
    EXPECT_EQ(sys_if.readLatestValue("long run", "speed", value, time_ms), VyrSysIf::no_value);

    // 60 days and 123.456 ms: past 2^32 ms, where 32 bits wrapped.
    SignalValue record;
    record.seconds = 60u * 86400u;
    record.microseconds = 123456;
    record.set_int(-3);
    signal->set_value(record);
    EXPECT_EQ(sys_if.readLatestValue("long run", "speed", value, time_ms), 0);
    EXPECT_EQ(value, -3.0);
    EXPECT_EQ(time_ms, int64_t(60) * 86400 * 1000 + 123);
    EXPECT_EQ(sys_if.readLatestValue("long run", "speed", value, time_ms), VyrSysIf::no_value);
    EXPECT_EQ(sys_if.readCurrentValue("long run", "speed", value, time_ms), 0);
    EXPECT_EQ(time_ms, int64_t(60) * 86400 * 1000 + 123);

    EXPECT_EQ(sys_if.readCurrentValue("long run", "none", value, time_ms), VyrSysIf::signal_not_found);
    EXPECT_EQ(sys_if.readCurrentValue("elsewhere", "speed", value, time_ms), VyrSysIf::interface_not_found);
    // A signal no one follows has no entry to take a value.
    EXPECT_EQ(sys_if.setSignalValue("long run", "speed", 1.0), VyrSysIf::signal_not_found);
}

TEST_F(SysLogTest, ThePageHasTheLogsColumnsBeforeItShowsAndGoesWhenClosed)
{
    VyrSysLog log("Plug-in log");
    log.add_column("Time", "when", 12);
    log.add_column("Text", "what", 40);
    const int pages = window.message_tabs()->count();
    bool default_columns_seen = false;
    // The page becomes current as it is added: its columns are there by then.
    QObject::connect(window.message_tabs(), &QTabWidget::currentChanged, [&](int index) {
        if (auto *page = qobject_cast<VyrRtLog *>(window.message_tabs()->widget(index)))
            default_columns_seen = default_columns_seen || header_titles(page).contains("Column 1");
    });
    window.message_tabs()->setCurrentIndex(-1);
    log.open_window();
    ASSERT_NE(log.window(), nullptr);
    EXPECT_EQ(window.message_tabs()->count(), pages + 1);
    EXPECT_EQ(window.message_tabs()->tabText(tab_of(log)), "Plug-in log");
    // The row counter and time come first, then the log's own columns.
    EXPECT_EQ(header_titles(log.window()), (QStringList{"Counter", "Time", "Time", "Text"}));
    EXPECT_FALSE(default_columns_seen);

    log.add_message("12:00", "first", "ignored third");
    EXPECT_EQ(rows(log.window()).size(), 1);
    EXPECT_TRUE(rows(log.window()).at(0).contains("first"));

    window.message_tabs()->setCurrentWidget(log.window());
    window.resize(700, 400);
    window.show();
    if (const char *dir = std::getenv("VYR_TEST_PNG_DIR")) {
        EXPECT_TRUE(window.grab().save(QString::fromLocal8Bit(dir) + QStringLiteral("/vyr_sys_log_page.png")));
    }

    log.close_window();
    EXPECT_EQ(log.window(), nullptr);
    EXPECT_EQ(window.message_tabs()->count(), pages);
    // A closed log drops its rows; closing again does nothing.
    log.add_message("dropped");
    log.close_window();
    EXPECT_EQ(window.message_tabs()->count(), pages);
}

TEST_F(SysLogTest, ALogWithoutColumnsOpensAWindowWithNone)
{
    VyrSysLog log("bare");
    log.open_window();
    ASSERT_NE(log.window(), nullptr);
    EXPECT_TRUE(header_titles(log.window()).isEmpty());
    log.add_message("nothing to show");
    log.close_window();
}

TEST_F(SysLogTest, APluginThreadOpensFillsAndClosesItsLogOnTheGuiThread)
{
    VyrSysLog log("threaded");
    log.add_column("Text", "", 20);
    std::atomic<int> step{0};
    QThread *gui_thread = QThread::currentThread();
    std::atomic<bool> page_made_on_gui_thread{false};
    std::thread plugin([&] {
        log.open_window();
        page_made_on_gui_thread = log.window() && log.window()->thread() == gui_thread;
        for (int i = 0; i < 100; ++i)
            log.add_message(QByteArray::number(i).constData());
        step = 1;
        while (step != 2)
            std::this_thread::yield();
        log.close_window();
        step = 3;
    });
    // The calls from the thread wait for the GUI thread's event loop.
    ASSERT_TRUE(QTest::qWaitFor([&] { return step == 1; }, 5000));
    EXPECT_TRUE(page_made_on_gui_thread);
    EXPECT_EQ(rows(log.window()).size(), 100);
    step = 2;
    EXPECT_TRUE(QTest::qWaitFor([&] { return step == 3; }, 5000));
    plugin.join();
    EXPECT_EQ(log.window(), nullptr);
}
