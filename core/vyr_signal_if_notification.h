#pragma once
// The notification hub: carries interface and signal changes and the log
// lines of interfaces to the GUI. It lives on the GUI thread; whatever an
// interface thread sends through it reaches GUI objects by queued delivery,
// so a realtime thread never waits for the GUI. Log lines go straight to a
// main window that takes them from any thread.
#include <QObject>
#include <QString>
#include <cstdarg>
#include <string>
#include <vector>

class VyrMessageLog;

class VyrSignalIfNotification : public QObject
{
    Q_OBJECT

public:
    // Texts of printf-style log lines are cut to this many characters.
    static constexpr int max_printf_length = 500;

    // main_window receives the log lines; null drops them.
    explicit VyrSignalIfNotification(VyrMessageLog *main_window, QObject *parent = nullptr);
    ~VyrSignalIfNotification() override;

    // The hubs that exist, in order of creation (GUI thread): for objects
    // above the interfaces that follow changes of the signal world without
    // being handed a hub.
    static const std::vector<VyrSignalIfNotification *> &hubs();

    void notify_signal_changed(const QString &interface_id, const QString &signal_name);
    void notify_signal_reload_start(const QString &interface_id);
    void notify_signal_reload_finished(const QString &interface_id);

    // Log lines at level 2 (information), 3 (warning) and 4 (error).
    void message(const std::string &text);
    void warning(const std::string &text);
    void error(const std::string &text);
    void message_printf(const char *format, ...) __attribute__((format(printf, 2, 3)));
    // Any level; from any thread.
    void log(int level, const std::string &text);

signals:
    void interface_configuration_updated(const QString &interface_id);
    void interface_configuration_changed(const QString &interface_id);
    void interface_removed(const QString &interface_id);
    void interface_created(const QString &interface_id);
    void signal_removed(const QString &interface_id, const QString &signal_name);
    void signal_changed(const QString &interface_id, const QString &signal_name);
    void signal_reload_start(const QString &interface_id);
    void signal_reload_finished(const QString &interface_id);

private:
    VyrMessageLog *m_main_window;
};

// printf into an owned string, cut to max_length characters.
std::string vformat_limited(int max_length, const char *format, va_list args);
