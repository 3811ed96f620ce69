#pragma once
// A stand-in for the application shell in tests of interfaces: the owner that
// receives their custom events, the message window that receives their log
// lines (through a notification hub), the main timer wheel, and a clock that
// tests move by hand. Header-only; link vyr_core.
#include "core/time_base.h"
#include "core/timer_wheel.h"
#include "core/vyr_custom_event.h"
#include "core/vyr_message_log.h"
#include "core/vyr_signal_if_notification.h"
#include "platform/clock.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QObject>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace vyr_test {

// A performance counter in milliseconds that only moves when told to; safe
// to read from interface threads while the test moves it.
class TestClock : public platform::ClockSource
{
public:
    uint64_t frequency() const override { return 1000; }
    uint64_t counter() const override { return m_ms.load(); }
    void set_ms(uint64_t ms) { m_ms.store(ms); }

private:
    std::atomic<uint64_t> m_ms{0};
};

// Installs a TestClock as the process's clock and starts the measurement
// clock from it; restores the real clock when it goes.
class ClockInstaller
{
public:
    ClockInstaller()
    {
        platform::set_clock_source(&clock);
        reset_time_base();
        TimeValue first;
        set_current_time(first);
    }
    ~ClockInstaller()
    {
        platform::set_clock_source(nullptr);
        reset_time_base();
    }
    TestClock clock;
};

class VyrTestShell : public QObject, public VyrMessageLog
{
public:
    struct Line
    {
        int level;
        std::string text;
        bool on_gui_thread;
    };
    struct Event
    {
        int type;
        uint32_t word1;
        uint32_t word2;
        QString text;
        bool on_gui_thread;
    };

    VyrTestShell() : notification(this), wheel(1024, 0, 1, 200) {}

    void log_message(int level, const std::string &text) override
    {
        lines.push_back(Line{level, text, QThread::currentThread() == thread()});
        if (on_line)
            on_line(lines.back());
        check_wait();
    }

    void customEvent(QEvent *event) override
    {
        if (auto *custom = dynamic_cast<VyrCustomEvent *>(event))
            events.push_back(Event{int(custom->type()), custom->word1(), custom->word2(), custom->text(),
                                   QThread::currentThread() == thread()});
        check_wait();
    }

    // Runs the GUI event loop until the condition holds (checked after every
    // delivered line or event) or timeout_ms passes.
    bool wait_until(const std::function<bool()> &condition, int timeout_ms = 5000)
    {
        QCoreApplication::sendPostedEvents();
        if (condition())
            return true;
        QEventLoop loop;
        QTimer::singleShot(timeout_ms, &loop, &QEventLoop::quit);
        m_condition = condition;
        m_loop = &loop;
        loop.exec();
        m_loop = nullptr;
        m_condition = nullptr;
        return condition();
    }

    bool has_line(const std::string &text) const
    {
        for (const Line &line : lines)
            if (line.text == text)
                return true;
        return false;
    }

    VyrSignalIfNotification notification;
    TimerWheel wheel; // the main timer wheel: start 0, resolution 1 ms, user word 200
    std::vector<Line> lines;
    std::vector<Event> events;
    std::function<void(const Line &)> on_line;

private:
    void check_wait()
    {
        if (m_loop && m_condition && m_condition())
            m_loop->quit();
    }

    std::function<bool()> m_condition;
    QEventLoop *m_loop = nullptr;
};

} // namespace vyr_test
