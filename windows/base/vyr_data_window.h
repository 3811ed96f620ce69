#pragma once
// The frame of every data window (statistics, send, replay, trace, scope,
// tune, panel, packet trace, ...): a main window with a tool bar of standard
// buttons in its top area, a content area, a status line, an update timer
// that drives the window during a measurement, a pause mode, a caption with
// a running number per window class, the common configuration keys, the
// properties dialog, help, log lines to the message window, and moving out
// of the workspace and back. Inside a workspace the window sits in a
// sub-window of the workspace page; detached it is a top-level window.
#include "core/intrusive_list.h"

#include <QMainWindow>
#include <QRect>
#include <QString>
#include <QToolBar>

#include <string>

class QLabel;
class QLineEdit;
class QMdiSubWindow;
class QToolButton;
class QVBoxLayout;
class QtbConfig;
class QtbConfigGroup;
class VyrSignalDisplayList;

// The tool bar of a data window: fixed in the top area, never closed or
// moved by the user. A widget made with the tool bar as its parent joins
// the bar's row by itself, after the widgets before it.
class VyrToolBar : public QToolBar
{
    Q_OBJECT
public:
    explicit VyrToolBar(QWidget *parent);
    // Deletes its widgets itself (see the definition).
    ~VyrToolBar() override;
    // A vertical sunken line.
    void add_separator();
    // Adds each child, in the order they came, unless it is the bar's own
    // or holds an action already. Runs by itself once the children are
    // built; called before the window is sized to its bar.
    void take_children();

protected:
    void childEvent(QChildEvent *event) override;

private:
    void take_child(QWidget *child);

    bool m_children_pending = false;
};

// Tells the main window that the list of open data windows changed.
class VyrDataWindowNotification : public QObject
{
    Q_OBJECT
signals:
    void window_list_changed();
};
VyrDataWindowNotification *data_window_notification();

class VyrDataWindow : public QMainWindow
{
    Q_OBJECT
public:
    static constexpr int min_update_interval = 10;

    // class_key names the window's type in the registry, its configuration
    // group and its object name. A parent that is a workspace page takes the
    // window into a sub-window of its own (see enter_workspace).
    VyrDataWindow(const char *class_key, QWidget *parent);
    ~VyrDataWindow() override;

    // Puts the window into a sub-window of the workspace page, or under
    // another parent; nothing for null. Factories build their window without
    // a parent and put it in once it is whole: every widget made inside the
    // main window would take its place in the main window's focus chain, a
    // walk across the widgets of all its windows, so that n windows would
    // take time in n squared.
    void enter_workspace(QWidget *parent);

    // Asked before the configuration is closed or replaced; false cancels.
    virtual bool query_close() { return true; }
    // True from construction until close_window().
    virtual bool option_flag() const { return m_open; }
    // The signals the window shows; null for windows that show none.
    virtual VyrSignalDisplayList *signal_display_list() const { return nullptr; }
    // HTML: caption, class key and update interval.
    virtual QString description_text() const;

    // Marks the window as one that logs: call before create_standard_tool_buttons.
    void enable_log_to_file_button() { m_has_log_button = true; }
    // Log to File (when enabled), Window Properties, Pause and Help.
    void create_standard_tool_buttons();
    // The content widget, below the top dock area.
    void insert_tool_widget(QWidget *widget);
    // Rates above 0 run at least every 10 ms; 0 or less runs no timer.
    // Between start() and stop() the timer starts again with the new rate,
    // also after a rate of 0 had switched it off.
    void set_update_rate(int ms);
    int update_rate() const { return m_update_rate; }
    // The Pause button exists and is on.
    bool is_paused() const;

    const std::string &class_key() const { return m_class_key; }
    int index() const { return m_index; }
    QString caption() const { return windowTitle(); }
    bool running() const { return m_running; }
    bool timer_active() const { return m_timer_active; }
    // The period of the running update timer in ms; 0 without one.
    int timer_interval() const { return m_timer_active ? m_timer_interval : 0; }
    const QString &help_key() const { return m_help_key; }
    void set_help_key(const QString &key) { m_help_key = key; }
    const QString &window_identifier() const { return m_window_identifier; }
    void set_window_identifier(const QString &identifier) { m_window_identifier = identifier; }
    int workspace_id() const { return m_workspace_id; }
    void set_workspace_id(int id) { m_workspace_id = id; }
    bool detached() const { return m_detached; }
    bool startup_hidden() const { return m_startup_hidden; }
    void set_startup_hidden(bool hidden) { m_startup_hidden = hidden; }
    bool maximized() const { return m_maximized; }
    bool minimized() const { return m_minimized; }
    // The last geometry in normal state (see store_normal_geometry).
    const QRect &normal_geometry() const { return m_normal_geometry; }
    VyrToolBar *tool_bar() const { return m_tool_bar; }
    // Adds a button of the window's own to its tool bar, as the standard ones are made; the caller gives its icon.
    QToolButton *add_tool_button(const char *name, const QString &tip, bool toggle);
    // The text search of a list window's tool bar: the label, the text field and the Search Down and Up buttons.
    struct SearchTools
    {
        QLineEdit *text = nullptr;
        QToolButton *down = nullptr;
        QToolButton *up = nullptr;
    };
    SearchTools add_search_tools(const QString &label);
    // Hands the cursor, page and space keys to the window's list view and the
    // others to the frame's own key handling, as every list window does.
    void forward_list_keys(QKeyEvent *event, QWidget *list_view);
    QLabel *status_label() const { return m_status_label; }
    QLabel *info_label() const { return m_info_label; }
    VyrDataWindow *next_window() const { return OpenWindows::next(this); }
    // The sub-window around an attached window, or null.
    QMdiSubWindow *sub_window() const;
    // What the user moves and sizes: the sub-window, or the window itself when detached.
    QWidget *frame() const;

public slots:
    void setCaption(const QString &text);
    virtual void write_configuration(QtbConfig *config) {}
    virtual void open_properties_dialog();
    virtual void open_log_to_file_dialog() {}
    // The signal selection for every interface, modeless; picks arrive through insert_signal.
    virtual void open_signal_dialog();
    virtual void hide_status_line(bool hide);
    QtbConfigGroup *write_base_configuration(QtbConfig *config);
    int read_base_configuration(QtbConfigGroup *group);
    void close_window();
    void signal_pause();
    virtual void startup();
    virtual void start();
    virtual void stop();
    virtual void state_changed() = 0;
    virtual void update_signals() = 0;
    virtual void insert_signal(const QString &interface_id, const QString &signal_name);
    virtual int remove_signal(const QString &interface_id, const QString &signal_name);
    virtual void signal_changed(const QString &interface_id, const QString &signal_name);
    virtual void signal_reload_start(const QString &interface_id) {}
    virtual void signal_reload_finished(const QString &interface_id) {}
    virtual void remove_interface(const QString &interface_id);
    virtual void add_interface(const QString &interface_id) {}
    virtual void interface_configuration_changed(const QString &interface_id) {}
    void signal_help_context();
    void info(const QString &text);
    void warning(const QString &text);
    void error(const QString &text);
    void detach_from_workspace();
    void attach_to_workspace();

signals:
    void configuration_changed();
    void activate_help_context(const QString &key);
    void signal_log_message_info(const QString &text);
    void signal_log_message_warning(const QString &text);
    void signal_log_message_error(const QString &text);

protected:
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void timerEvent(QTimerEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

    // A further tool widget of a subclass, enabled during a measurement only
    // when extra_enable is set.
    QWidget *m_extra_tool_widget = nullptr;
    bool m_extra_enable = false;

private:
    void store_normal_geometry();
    void window_state_changed(Qt::WindowStates states);
    void watch_sub_window();
    // The sub-window's title bar and borders around the window.
    QMargins frame_margins() const;
    // The window takes that size, its sub-window the size around it.
    void fit_frame_to(const QSize &window_size);
    void restart_timer();

    QToolButton *m_pause_button = nullptr;
    QToolButton *m_properties_button = nullptr;
    QToolButton *m_log_button = nullptr;
    QToolButton *m_help_button = nullptr;
    QLabel *m_status_label = nullptr;
    QLabel *m_info_label = nullptr;
    QVBoxLayout *m_main_layout = nullptr;
    VyrToolBar *m_tool_bar = nullptr;
    bool m_open = true;
    bool m_running = false;
    int m_update_rate = 0;
    int m_timer_id = 0;
    int m_timer_interval = 0;
    bool m_timer_active = false;
    bool m_started = false; // between start() and stop()
    int m_index = 1;
    std::string m_class_key;
    IntrusiveLink<VyrDataWindow> m_list_link;
    using OpenWindows = IntrusiveList<VyrDataWindow, &VyrDataWindow::m_list_link>;
    // The open windows in order of creation.
    static OpenWindows s_open_windows;
    friend VyrDataWindow *first_window();
    QString m_help_key;
    QString m_window_identifier;
    int m_workspace_id = 0;
    QRect m_normal_geometry;
    bool m_maximized = false;
    bool m_minimized = false;
    bool m_startup_hidden = false;
    bool m_detached = false;
    bool m_has_log_button = false;
};

// The first open window of that class key and index; null for a null key.
VyrDataWindow *find_window(const char *class_key, int index);
// The open windows in order of creation, linked by next_window().
VyrDataWindow *first_window();
