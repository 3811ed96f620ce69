#pragma once
// How a panel item's events start script actions: an entry names one action
// of one interface, a list holds the entries of one event (the event's widget
// signal is connected to its activated slot), a group holds an item's lists.
#include <QObject>
#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

class ScriptTrigger;
class VyrSignalIf;

class VyrScriptActivationEntry : public QObject
{
    Q_OBJECT
public:
    // interface_id as "CAN1"; argument: the id of the owning item, which the
    // action receives as "this". Resolves at once.
    VyrScriptActivationEntry(const QString &interface_id, const QString &action_name, uint32_t argument);

    const QString &interface_id() const { return m_interface_id; }
    const QString &action_name() const { return m_action_name; }
    void set_names(const QString &interface_id, const QString &action_name);
    uint32_t argument() const { return m_argument; }

    // Looks the interface and its action up again (after the names changed,
    // or interfaces or their scripts did); whether both exist now.
    bool resolve();
    bool resolved() const { return m_resolved; }
    // Runs the action on its interface's thread with the argument. The action
    // is looked up at each firing: a script reload or a removed interface
    // deletes the triggers that an earlier lookup found.
    void fire();

    // The action an entry with these names fires: the interface whose id
    // equals interface_id, and on it the last script action of that name.
    static ScriptTrigger *find_action(const QString &interface_id, const QString &action_name,
                                      VyrSignalIf **signal_if = nullptr);

private:
    QString m_interface_id;
    QString m_action_name;
    uint32_t m_argument;
    bool m_resolved = false;
};

class VyrScriptActivationList : public QObject
{
    Q_OBJECT
public:
    // name: the event's key ("clicked"); title: what the user sees ("On Button Clicked").
    VyrScriptActivationList(const QString &name, const QString &title);
    ~VyrScriptActivationList() override;

    const QString &name() const { return m_name; }
    const QString &title() const { return m_title; }
    const std::vector<std::unique_ptr<VyrScriptActivationEntry>> &entries() const { return m_entries; }
    VyrScriptActivationEntry *add_entry(std::unique_ptr<VyrScriptActivationEntry> entry);
    void clear_entries();
    // Looks every entry's action up again.
    void resolve();

public slots:
    // Fires every entry in list order.
    void activated();

private:
    QString m_name;
    QString m_title;
    std::vector<std::unique_ptr<VyrScriptActivationEntry>> m_entries;
};

class VyrScriptActivationGroup : public QObject
{
    Q_OBJECT
public:
    VyrScriptActivationGroup();
    ~VyrScriptActivationGroup() override;

    const std::vector<std::unique_ptr<VyrScriptActivationList>> &lists() const { return m_lists; }
    VyrScriptActivationList *add_list(std::unique_ptr<VyrScriptActivationList> list);
    // The list of that event key, or null.
    VyrScriptActivationList *find_list(const QString &name) const;
    void resolve();

private:
    std::vector<std::unique_ptr<VyrScriptActivationList>> m_lists;
};
