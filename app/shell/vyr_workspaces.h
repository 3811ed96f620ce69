#pragma once
// The workspaces of the program without their pages: their names and ids in
// tab order, the current one, the rules for new ids and names, their part
// of the configuration file, where a data window's record (its configuration
// group) places it, and the records of a configuration loaded without a
// window. Workspace 0 always exists. A window shows the workspaces as tabs
// and pages and follows the signals.
#include <QObject>
#include <QString>

#include <memory>
#include <string>
#include <vector>

class QtbConfig;
class QtbConfigGroup;
class QtbConfigValue;

class VyrWorkspaces : public QObject
{
    Q_OBJECT

public:
    struct Workspace
    {
        int id;
        QString name;
    };

    // Where a data window goes: the index and id of its workspace, and whether
    // it lives outside the workspaces.
    struct DataWindowPlace
    {
        int index;
        int workspace_id;
        bool detached;
    };

    VyrWorkspaces();
    ~VyrWorkspaces() override;

    int count() const { return int(m_workspaces.size()); }
    const Workspace &at(int index) const { return m_workspaces[size_t(index)]; }
    // The index of the workspace with that id or name (compared exactly), or -1.
    int index_of(int workspace_id) const;
    int index_of_name(const QString &name) const;
    // The highest id plus one.
    int next_id() const;
    // "New Workspace <n>" with the smallest n that no workspace has.
    QString unused_name() const;
    int current_id() const { return m_current_id; }
    int current_index() const { return index_of(m_current_id); }

    // Appends a workspace (an id below 0 takes the next free one) and makes it current.
    void add(const QString &name, int id);
    void rename(int workspace_id, const QString &name);
    // Removes the workspace; workspace 0 stays. When it was current, workspace 0 becomes current.
    bool remove(int workspace_id);
    // Makes the workspace current (an unknown id changes nothing).
    void select(int workspace_id);
    // Back to workspace 0 alone, named "Default Workspace" and current.
    void reset();

    // The "workspaces" list and "active_workspace" entries of the "defaults" group.
    void write(QtbConfigGroup &defaults) const;
    // Renames workspace 0 and adds the others from the entries, then selects
    // the active one (workspace 0 when no workspace has its id).
    void read(QtbConfigGroup &defaults);

    // The place of a data window from its stored record (workspace id and
    // detached flag): its stored workspace when that exists, else the current
    // one; without a record, the current one.
    DataWindowPlace place_data_window(QtbConfigGroup *record) const;

    // Without a window nothing makes the data windows (nor the message
    // window) of a loaded configuration: their groups are kept as records,
    // in file order, and a save writes them back unchanged.
    void keep_data_window_record(const char *name, QtbConfigValue record);
    int data_window_record_count() const { return int(m_data_window_records.size()); }
    void write_data_window_records(QtbConfig &config) const;
    void clear_data_window_records();

signals:
    // Indexes in tab order, after the change.
    void workspace_added(int index);
    void workspace_renamed(int index);
    // The index the workspace had.
    void workspace_removed(int index);
    void current_changed(int index);

private:
    struct DataWindowRecord
    {
        std::string name;
        std::unique_ptr<QtbConfigValue> group;
    };

    std::vector<Workspace> m_workspaces;
    int m_current_id = 0;
    std::vector<DataWindowRecord> m_data_window_records;
};
