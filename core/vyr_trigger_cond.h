#pragma once
// Trigger conditions: what sets, resets, toggles or pulses a trigger. Each
// condition holds the data of one kind (a key, a CAN message, a signal
// relation, a timer); the kinds register themselves by their number, and the
// configuration reader builds a condition's data through that registry.
#include <QObject>
#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

class QtbConfigGroup;
class QWidget;
class VyrTrigger;
class VyrTriggerCondList;

// The data of one condition kind.
class VyrTriggerCondData
{
public:
    explicit VyrTriggerCondData(int kind) : m_kind(kind) {}
    virtual ~VyrTriggerCondData() = default;
    VyrTriggerCondData(const VyrTriggerCondData &) = delete;
    VyrTriggerCondData &operator=(const VyrTriggerCondData &) = delete;

    // 1 key, 2 CAN message, 3 signal, 4 timer.
    int kind() const { return m_kind; }
    // Copies every field of another object of the same kind; another kind
    // leaves this one unchanged.
    virtual void assign(const VyrTriggerCondData &other) = 0;
    // The one-line text of the condition lists.
    virtual QString description() const = 0;
    // The kind's keys in the condition's group (nothing for a null group).
    virtual void write_config(QtbConfigGroup *group) const = 0;
    virtual void read_config(QtbConfigGroup *group) = 0;

private:
    const int m_kind;
};

// Relations of CAN byte tests and signal relations: the observed value (left)
// with the condition's value (right).
enum VyrTriggerRelation { RelationEqual = 0, RelationNotEqual, RelationGreater, RelationLess, RelationGreaterOrEqual,
                          RelationLessOrEqual, relation_count };
// "==" ... "<="; empty for another code.
QString trigger_relation_symbol(int relation);
// The editors' texts, "equal (==)" ... "less or equal (<=)", translated.
QString trigger_relation_text(int relation);
// The relation between left and right; false in `known` (when given) for
// another code.
bool trigger_relation_holds(int relation, double left, double right, bool *known = nullptr);

// A registered condition kind: its number, identifier, menu text, a factory
// of empty data and the editor window of the kind. The kinds are static
// objects that register themselves when they are built. The editors are
// widgets, which this layer does not build: the program installs a factory
// per kind at start-up.
class VyrTriggerCondKind
{
public:
    using Factory = std::unique_ptr<VyrTriggerCondData> (*)();
    using EditorFactory = QWidget *(*)(QWidget *parent);

    VyrTriggerCondKind(int kind, const char *identifier, const char *title, Factory factory);
    ~VyrTriggerCondKind();
    VyrTriggerCondKind(const VyrTriggerCondKind &) = delete;
    VyrTriggerCondKind &operator=(const VyrTriggerCondKind &) = delete;

    int kind() const { return m_kind; }
    const char *identifier() const { return m_identifier; }
    // The menu text, translated.
    QString title() const;
    std::unique_ptr<VyrTriggerCondData> create() const { return m_factory(); }
    // A new editor of the kind's data (its slots set_cond_data and
    // get_cond_data take a VyrTriggerCondData *); null while no factory is
    // installed for the kind.
    QWidget *create_editor(QWidget *parent) const;
    static void set_editor_factory(int kind, EditorFactory factory);

    // The kind registered under that number, or null.
    static const VyrTriggerCondKind *find(int kind);
    // The registered kinds in registration order; null past the end.
    static const VyrTriggerCondKind *kind_at(int index);
    static int count();

private:
    int m_kind;
    const char *m_identifier;
    const char *m_title;
    Factory m_factory;
};

class VyrTriggerCond : public QObject
{
    Q_OBJECT
public:
    enum Action { SetTrigger = 1, ResetTrigger = 2, ToggleTrigger = 3, PulseTrigger = 4 };
    enum Flag : uint32_t { BuiltIn = 0x1, Deleted = 0x2, Created = 0x4 };

    // Appends the condition to the owner's list (which then owns it).
    explicit VyrTriggerCond(VyrTriggerCondList *owner);
    // Leaves the owner's list and its target's conditions.
    ~VyrTriggerCond() override;

    // Applies the action to the target; -1 without a target.
    int fire();

    // The data's kind number; 0 without data.
    int type() const { return m_data ? m_data->kind() : 0; }
    VyrTriggerCondData *cond_data() const { return m_data.get(); }
    // Replaces (and deletes) the previous data.
    void set_cond_data(std::unique_ptr<VyrTriggerCondData> data) { m_data = std::move(data); }

    const QString &name() const { return m_name; }
    void set_name(const QString &name) { m_name = name; }
    const QString &comment() const { return m_comment; }
    void set_comment(const QString &comment) { m_comment = comment; }
    int action() const { return m_action; }
    void set_action(int action) { m_action = action; }
    uint32_t flags() const { return m_flags; }
    void set_flags(uint32_t flags) { m_flags = flags; }
    VyrTrigger *target() const { return m_target; }
    // The trigger keeps the conditions that point at it.
    void set_target(VyrTrigger *trigger);
    VyrTriggerCondList *owner() const { return m_owner; }

    // "SetTrigger" ... "PulseTrigger", "???" for another action.
    static QString action_name(int action);

private:
    friend class VyrTriggerCondList;
    QString m_name;
    QString m_comment;
    int m_action = SetTrigger;
    uint32_t m_flags = 0;
    VyrTrigger *m_target = nullptr;
    std::unique_ptr<VyrTriggerCondData> m_data;
    VyrTriggerCondList *m_owner;
};

// The conditions of the program, owned, in creation order.
class VyrTriggerCondList : public QObject
{
    Q_OBJECT
public:
    explicit VyrTriggerCondList(QObject *parent = nullptr);
    ~VyrTriggerCondList() override;

    // The program's list, set by the shell at start-up (null before and after).
    static VyrTriggerCondList *instance();
    static void set_instance(VyrTriggerCondList *list);

    // A walk over the list; removing entries during it (the current one
    // included) leaves the walk on the entry after them.
    VyrTriggerCond *first();
    VyrTriggerCond *next();
    int count() const { return int(m_conditions.size()); }
    // Takes the condition out without deleting it.
    void remove(VyrTriggerCond *condition);
    // Deletes every condition.
    void clear();

    // The "conditions" list group and "condition_count"; built-in and
    // deleted conditions are left out.
    void write_config(QtbConfigGroup *group) const;
    // Targets are looked up in the program's trigger list.
    void read_config(QtbConfigGroup *group);

public slots:
    // Clears the target of every condition that points at the trigger.
    void trigger_removed(VyrTrigger *trigger);

private:
    friend class VyrTriggerCond;
    std::vector<VyrTriggerCond *> m_conditions;
    size_t m_next = 0; // the index that next() answers
};
