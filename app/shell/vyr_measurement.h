#pragma once
// The measurement over the loaded interfaces, with or without a window: the
// start in four passes by start rank, the stop in reverse, the recompile of
// their scripts, the delayed start and restart countdowns, and the process
// tuning while a measurement runs. It owns the timer wheel that drives the
// interfaces' timers.
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class QWidget;
class TimerWheel;
class VyrMessageLog;
class VyrSignalIf;
class VyrTrigger;

// The tick of the countdowns: calls its function every period until it is
// stopped. The program's clock is a Qt timer; tests step their own.
class VyrCountdownClock
{
public:
    virtual ~VyrCountdownClock() = default;
    // Replaces an earlier schedule.
    virtual void start(int period_ms, std::function<void()> tick) = 0;
    virtual void stop() = 0;
};

class VyrMeasurement : public QObject
{
    Q_OBJECT

public:
    // Lines go to the log (the message window where there is one).
    explicit VyrMeasurement(VyrMessageLog &log);
    ~VyrMeasurement() override;

    bool running() const { return m_running; }
    TimerWheel &timer_wheel() { return *m_timer_wheel; }
    // The parent of the questions a start asks (null without a window).
    void set_question_parent(QWidget *parent) { m_question_parent = parent; }
    // Under remote control failures are lines of the log and never boxes.
    void set_remote_control_check(std::function<bool()> check) { m_remote_control = std::move(check); }
    // Replaces the clock of the countdowns (a running countdown stops).
    void set_clock(std::unique_ptr<VyrCountdownClock> clock);
    // Seconds a delayed start waits (0 to 3600); a finished countdown sets 0,
    // so that later start requests start at once.
    int start_delay() const { return m_start_delay; }
    void set_start_delay(int seconds);
    bool counting_down() const { return m_countdown_step != 0; }

public slots:
    // Starts every active interface in four passes by ascending start rank:
    // script start objects and the timer wheel, hardware open, bus on,
    // realtime threads. A failed open or bus-on stops what was started.
    void start();
    // Stops the active interfaces by descending start rank.
    void stop();
    // Starts now, or after the start delay counted down in 5-second steps.
    void delayed_start();
    // Stops, then starts after the delay (at most an hour) counted down by seconds.
    void restart(unsigned delay_seconds);
    // Reloads and recompiles the scripts of the active interfaces up to the
    // first failure; that one's result, or 0 (and a line saying so).
    int compile();
    // Stops the measurement once per measurement and reports the reason.
    void communication_failed(const QString &reason);

signals:
    // A start prepares the windows, then starts their updates; a stop stops them.
    void prepare_automatic_update();
    void start_automatic_update();
    void stop_automatic_update();
    // The timer wheel stands at 0 and the interfaces are about to start:
    // measurement time runs from here.
    void measurement_time_started();
    // At the end of a start that got through, and at every stop.
    void running_changed(bool running);

private:
    // Applies the operation to every active interface of each start rank
    // from 0 up to 998, in list order within a rank.
    void for_each_by_ascending_rank(const std::function<void(VyrSignalIf *)> &operation);
    // The trigger "Running" of the program's trigger list, or null.
    VyrTrigger *running_trigger() const;
    void raise_priority();
    void restore_priority();
    void start_countdown(int step_seconds, int remaining_seconds);
    void countdown_tick();
    void stop_countdown();
    void log(int level, const QString &line);
    bool under_remote_control() const { return m_remote_control && m_remote_control(); }
    void report_start_failure();

    static constexpr int max_start_rank = 999;
    VyrMessageLog &m_log;
    std::unique_ptr<TimerWheel> m_timer_wheel;
    std::unique_ptr<VyrCountdownClock> m_clock;
    QWidget *m_question_parent = nullptr;
    std::function<bool()> m_remote_control;
    bool m_running = false;
    // A broken communication was reported in this measurement.
    bool m_communication_failure_reported = false;
    // First rank that stop visits.
    int m_stop_rank = max_start_rank;
    int m_start_delay = 0;
    // Seconds per tick of the running countdown, 0 when none runs.
    int m_countdown_step = 0;
    int m_countdown_remaining = 0;
    int m_saved_nice = 0;
    unsigned long m_saved_timer_slack = 0;
};
