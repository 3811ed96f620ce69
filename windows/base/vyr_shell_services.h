#pragma once
// What data windows need of the application shell: the main window (which
// receives help requests through its slot activate_help_context(QString)),
// and the active workspace that an attached window lives in. The shell
// installs its implementation at start-up; tests install a stand-in.
class QMdiArea;
class QWidget;

class VyrShellServices
{
public:
    virtual ~VyrShellServices() = default;
    // Null while there is no main window.
    virtual QWidget *main_window() const = 0;
    // The workspace page that new and attached windows go into.
    virtual QMdiArea *active_workspace_widget() const = 0;
    virtual int active_workspace_id() const = 0;
};

// The installed services, or null (not owned).
VyrShellServices *shell_services();
void set_shell_services(VyrShellServices *services);
