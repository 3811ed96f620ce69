#pragma once
// A framework that lets one program run as a service: a systemd user unit
// that the install operation writes, a lock file and a control socket in the
// runtime directory while the service runs, its state told to the service
// manager through NOTIFY_SOCKET, and event records sent to syslog.
//
// The running service serves its control socket on a helper thread, which
// calls the control handlers (stop, pause, resume, user codes) of the derived
// class; SIGTERM (and SIGINT) is the stop control there, SIGHUP (the user's
// log-off) is ignored. Other processes reach it through request_pause, request_resume,
// send_command and terminate.
#include <QByteArray>
#include <QString>
#include <QStringList>

#include <memory>

class QtServicePrivate;

class QtService
{
public:
    // Service states, in the numbering the framework reports.
    enum State { stopped = 1, start_pending = 2, stop_pending = 3, running = 4, continue_pending = 5,
                 pause_pending = 6, paused = 7 };
    // Types of event records.
    enum EventType { success = 0, error = 1, warning = 2, information = 3 };

    // At most one object per process (a second one is a fatal error). A name
    // is cut to 255 characters and ends towards the system at its first
    // backslash, each with a warning. Start kind 0: started with the user's
    // session; any other value: on demand.
    QtService(const QString &name, const QString &description = QString(), int start_kind = 1);
    virtual ~QtService();
    QtService(const QtService &) = delete;
    QtService &operator=(const QtService &) = delete;

    // The one object of the process, or null.
    static QtService *instance();

    QString name() const;
    QString description() const;
    int start_kind() const;
    // The state last reported (stopped until the service runs).
    int state() const;

    // The command-line dispatcher of a service program (see exec's switches
    // in the source); with no switch it runs the service.
    int exec(int argc, char **argv);

    // The unit file of the service exists.
    virtual bool is_installed();
    // A live process holds the service's lock, or this process was started
    // by the service manager.
    virtual bool is_running();
    // Writes the unit: the program, "-service" and the extra text as one
    // more argument (when not empty).
    virtual bool install(const QString &extra_argument);
    virtual bool uninstall();
    virtual void report_event(const QString &message, int type = information, int event_id = 0,
                              unsigned category = 0, const QByteArray &data = QByteArray());
    // Starts the installed service (through the user manager when one
    // answers, else its command as a detached process); not installed: runs
    // it in this process. 0 on success.
    virtual int execute(int argc, char **argv);
    // Sends the stop control and waits until the service has ended.
    virtual bool terminate();
    virtual void request_pause();
    virtual void request_resume();
    // Codes 0 to 127 go to the running service's user handler.
    virtual void send_command(int code);
    // The measurement side tells the manager what the service does.
    virtual void report_paused();
    virtual void report_running();

    // The unit file's path and the runtime files of the service.
    QString unit_file_path() const;
    QString lock_file_path() const;
    QString control_socket_path() const;

    // The text of one ExecStart= argument: double-quoted, with the escapes
    // of systemd's command lines ("\\", "\"", "%%", "$$").
    static QString quote_unit_argument(const QString &argument);
    // The arguments of an ExecStart= line, quotes and escapes undone.
    static QStringList split_unit_command(const QString &command);

protected:
    virtual bool initialize() { return true; }
    virtual int run(int argc, char **argv) = 0;
    // Runs the service in this process until run returns; false when it
    // cannot (not installed, another instance runs).
    virtual bool start_service();
    // The control handlers, called on the control thread.
    virtual void stop();
    virtual void pause() {}
    virtual void resume() {}
    virtual void user(int code) {}

private:
    friend class QtServicePrivate;
    std::unique_ptr<QtServicePrivate> m_private;
};
