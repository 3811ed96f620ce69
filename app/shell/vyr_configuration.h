#pragma once
// The configuration file (.vyr) with or without a window: the program's
// configuration object and its file name, the changed flag, the working
// directory, and what load, save and new do with the triggers, the
// workspaces and the interfaces. A window adds its own part (its layout, the
// message window, the data windows) as the configuration's view. Nothing
// here asks the user: the window asks before it calls.
#include <QDir>
#include <QObject>
#include <QString>

class QtbConfig;
class QtbConfigGroup;
class VyrMessageLog;
class VyrSignalIfNotification;
class VyrWorkspaces;

// The window's part of the configuration file, in the order of the file.
class VyrConfigurationView
{
public:
    virtual ~VyrConfigurationView() = default;
    // Save: its entries of "defaults" and its groups that come before the interfaces'.
    virtual void write_window_settings(QtbConfigGroup &defaults, QtbConfig &config) = 0;
    // Save: the groups after the interfaces' (the data windows).
    virtual void write_data_windows(QtbConfig &config) = 0;
    // Load: its entries of "defaults" and its own groups, before the triggers and workspaces.
    virtual void read_window_settings(QtbConfigGroup &defaults, QtbConfig &config) = 0;
    // Load: the data window of a group, when the group's name is a window type's.
    virtual bool make_data_window(const QString &class_key, QtbConfigGroup *group) = 0;
    // Load: everything is made.
    virtual void configuration_loaded() = 0;
};

class VyrConfiguration : public QObject
{
    Q_OBJECT

public:
    // Lines go to the log; interfaces are made with their owner (the receiver
    // of their events) and the notification hub.
    VyrConfiguration(VyrWorkspaces &workspaces, VyrMessageLog &log, QObject *interface_owner,
                     VyrSignalIfNotification *notification);

    // Null: no window part.
    void set_view(VyrConfigurationView *view) { m_view = view; }

    // The program's configuration object, made (unnamed) on first use.
    QtbConfig &document();
    // Empty when there is no configuration object.
    QString file_name() const;
    void set_file_name(const QString &name);

    // Changed since it was loaded or saved.
    bool modified() const { return m_modified; }
    void set_modified(bool modified) { m_modified = modified; }
    // Marks it changed and says so.
    void mark_changed();

    const QDir &working_directory() const { return m_working_directory; }
    // Makes the folder the process's current one; the interfaces' script
    // paths move along.
    void change_working_directory(const QDir &directory);

    // Applies a configuration that has been read: the window's settings, the
    // triggers, the workspaces, then every interface and window group. -1
    // when it has no "defaults" group, else 0.
    int apply(QtbConfig *config);
    // Replaces the configuration by the file's: the configured triggers and
    // the interfaces go, the file joins the recent list, is read and applied.
    // The measurement must be stopped and the windows closed.
    int load_file(const QString &name);
    // Writes the configuration object anew to its file; false when that fails.
    bool save();
    // The last read of the file had to skip, drop or cut parts of it, and
    // the file was not written since: a save would lose those parts.
    bool save_loses_read_errors() const;
    // An empty configuration named default.vyr in the working directory:
    // no interfaces, no triggers but the built-in ones.
    void clear_to_new();

    void create_default_interfaces();
    // Deletes every interface, telling the notification hub of each.
    void delete_interfaces();
    // Deletes every trigger that is not built in and every condition.
    void delete_configured_triggers();

signals:
    // mark_changed was called.
    void changed();
    // The working directory changed.
    void location_changed();

private:
    void log_info(const QString &line);
    void log_warning(const QString &line);

    VyrWorkspaces &m_workspaces;
    VyrMessageLog &m_log;
    QObject *m_interface_owner;
    VyrSignalIfNotification *m_notification;
    VyrConfigurationView *m_view = nullptr;
    bool m_modified = false;
    QDir m_working_directory;
};
