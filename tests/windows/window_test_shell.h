#pragma once
// A stand-in for the application shell in tests of data windows: a main
// window with one workspace page (a QMdiArea, workspace id 0) that answers
// the shell's services, collects the windows' log lines and help requests,
// and a test window type "X" whose windows count their updates.
#include "core/vyr_packet.h"
#include "core/vyr_signal_if.h"
#include "windows/base/data_window_type_info.h"
#include "windows/base/vyr_data_window.h"
#include "windows/base/vyr_shell_services.h"

#include <QMainWindow>
#include <QMdiArea>
#include <QStringList>

namespace vyr_test {

class WindowTestShell : public QMainWindow, public VyrShellServices
{
    Q_OBJECT
public:
    // Installs itself as the shell's services; uninstalls when it goes.
    WindowTestShell();
    ~WindowTestShell() override;

    QWidget *main_window() const override { return const_cast<WindowTestShell *>(this); }
    QMdiArea *active_workspace_widget() const override { return workspace; }
    int active_workspace_id() const override { return 0; }

    QMdiArea *workspace;
    QStringList info_lines;
    QStringList warning_lines;
    QStringList error_lines;
    QStringList help_keys;

public slots:
    void log_message_info(const QString &text) { info_lines << text; }
    void log_message_warning(const QString &text) { warning_lines << text; }
    void log_message_error(const QString &text) { error_lines << text; }
    void activate_help_context(const QString &key) { help_keys << key; }
};

class TestWindow : public VyrDataWindow
{
    Q_OBJECT
public:
    // A window that logs gets the Log to File button.
    TestWindow(QWidget *parent, const char *key = "X", bool logs = false);

    void state_changed() override { ++state_changes; }
    void update_signals() override { ++updates; }

    int state_changes = 0;
    int updates = 0;
};

// Registers the type "X" (flags 0) and, as "XSingle", a single-instance
// type while it lives.
struct TestWindowTypes
{
    TestWindowTypes();
    DataWindowTypeInfo x;
    DataWindowTypeInfo single;
};

// An interface with no thread of its own, optionally with one packet source.
class TestInterface : public VyrSignalIf
{
public:
    explicit TestInterface(const char *type_name, VyrPacketSource *source = nullptr)
        : VyrSignalIf(type_name, nullptr, nullptr), m_source(source)
    {}
    int basic_definitions() override { return 0; }
    int script_struct_type(const char *, void *) override { return -1; }
    int prepare_start() override { return 0; }
    void write_configuration(QtbConfig &) override {}
    bool configure(QWidget *) override { return false; }
    int packet_source_count() const override { return m_source ? 1 : 0; }
    VyrPacketSource *packet_source(int index) const override { return index == 0 ? m_source : nullptr; }

private:
    VyrPacketSource *m_source;
};

} // namespace vyr_test
