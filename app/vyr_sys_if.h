#pragma once
// The program's one entry to the main window for code that does not know it:
// the automation objects run their methods through it, plug-ins take the
// main window, the menu bar and their log windows from it, data windows the
// active workspace and the background colour. VyrSysLog is an extra log with
// columns of its own, shown as a further page of the message window's tabs.
#include <QColor>
#include <QList>
#include <QObject>
#include <QString>
#include <QVariant>

#include <cstdint>
#include <functional>
#include <mutex>

class QMenuBar;
class QWidget;
class VyrMain;
class VyrRtLog;
class VyrSysLog;
struct SignalValue;

class VyrSysIf : public QObject
{
    Q_OBJECT

public:
    // The answers of the automation bodies; the client sees them negated as
    // the number of its error.
    enum Code {
        success = 0,
        interface_not_found = -1,
        signal_not_found = -2,
        no_signal_list = -3,
        no_value = -4,
        not_a_number = -5,
        action_not_found = -6,
    };

    explicit VyrSysIf(VyrMain *main_window);
    ~VyrSysIf() override;

    // The program's object: null before the main window made it and after shutdown.
    static VyrSysIf *instance();
    static void set_instance(VyrSysIf *sys_if);

    VyrMain *main_window() const { return m_main_window; }
    // The main window's teardown clears it.
    void set_main_window(VyrMain *main_window) { m_main_window = main_window; }
    QMenuBar *menu_bar() const;
    QWidget *active_workspace_widget() const;
    int active_workspace_id() const;
    QColor background_color() const { return m_background_color; }

    // Build or remove the log's page in the message window, always on the
    // GUI thread: a caller on another thread waits until it is done.
    void open_log_window(VyrSysLog *log);
    void close_log_window(VyrSysLog *log);

    // Live automation objects; while there is one the program is under
    // remote control and reports failures as lines, never in boxes.
    int automation_object_count() const { return m_automation_objects; }
    bool under_remote_control() const { return m_automation_objects > 0; }
    void add_automation_object() { ++m_automation_objects; }
    void remove_automation_object() { --m_automation_objects; }

    // Whether the program runs as the automation server (started by the bus
    // for its clients), and what releases one lock of that server.
    void set_server_unlock(std::function<void()> unlock) { m_server_unlock = std::move(unlock); }

    // The automation bodies (GUI thread). Interface and signal names are
    // compared as 8-bit text.
    int startMeasurement();
    int stopMeasurement();
    int loadConfiguration(const QString &file);
    int getConfiguration(QString &file);
    int unlockServer();
    int callAction(const QString &interface_name, const QString &action_name);
    int setSignalValue(const QString &interface_name, const QString &signal_name, double value);
    int setSignalValue(const QString &interface_name, const QString &signal_name, int32_t value);
    // Milliseconds of the measurement clock in 64 bits, so they do not wrap
    // after 49.7 days. readLatestValue takes the signal's new value (the
    // history is one deep): no_value when there is none; readCurrentValue
    // leaves the outputs as they are when the signal has no value yet.
    int readLatestValue(const QString &interface_name, const QString &signal_name, double &value, int64_t &time_ms);
    int readCurrentValue(const QString &interface_name, const QString &signal_name, double &value, int64_t &time_ms);
    int getSignalAndValueList(const QString &interface_name, QList<QVariant> &names, QList<QVariant> &values);

private:
    void log_info(const QString &line) const;
    int set_signal_value(const QString &interface_name, const QString &signal_name, const SignalValue &value);
    int read_value(const QString &interface_name, const QString &signal_name, bool latest, double &value,
                   int64_t &time_ms);
    // Runs the work on the GUI thread, waiting for it when called from another.
    void run_on_gui_thread(const std::function<void()> &work);

    VyrMain *m_main_window = nullptr;
    QColor m_background_color{235, 235, 235};
    int m_automation_objects = 0;
    std::function<void()> m_server_unlock;
};

class VyrSysLog : public QObject
{
    Q_OBJECT

public:
    struct Column
    {
        QString title;
        QString tool_tip;
        int width = 0;
    };

    explicit VyrSysLog(const QString &name);
    // Does not close the window: its owner closes it first.
    ~VyrSysLog() override;

    const QString &name() const { return m_name; }
    int serial_number() const { return m_serial_number; }
    // Columns reach the window only when it opens.
    void add_column(const QString &title, const QString &tool_tip, int width);
    QList<Column> columns() const { return m_columns; }

    // From any thread: the window is built and removed on the GUI thread.
    void open_window();
    void close_window();
    // One row of up to eight column texts (any may be null) from any thread;
    // nothing while the window is closed.
    void add_message(const char *text1, const char *text2 = nullptr, const char *text3 = nullptr,
                     const char *text4 = nullptr, const char *text5 = nullptr, const char *text6 = nullptr,
                     const char *text7 = nullptr, const char *text8 = nullptr);

    VyrRtLog *window() const;
    // Kept by the main window, which builds and removes the page; a row
    // being added finishes before the window is taken away.
    void set_window(VyrRtLog *window);

private:
    QString m_name;
    // Implicitly shared: copied on the first change after a copy.
    QList<Column> m_columns;
    // Set on the GUI thread while a plug-in thread may add rows.
    mutable std::mutex m_window_mutex;
    VyrRtLog *m_window = nullptr;
    int m_serial_number;
};
