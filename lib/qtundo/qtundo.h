#pragma once
// A small command-pattern undo library. A QtCommand is one undoable action, a
// QtUndoStack the history of one view and a QtUndoManager follows the keyboard
// focus from view to view to pick the active stack, whose texts its "Undo" and
// "Redo" actions show. Macros are marker commands pushed around the commands
// they group: one undo or redo then covers the whole macro.
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>
#include <vector>

class QAction;
class QtUndoManager;

class QtCommand : public QObject
{
    Q_OBJECT

public:
    enum Type { Command = 0, MacroBegin = 1, MacroEnd = 2 };

    explicit QtCommand(Type type = Command, const QString &description = QString(), bool can_merge = false);

    Type type() const { return m_type; }
    bool isMacroBegin() const { return m_type == MacroBegin; }
    bool isMacroEnd() const { return m_type == MacroEnd; }
    QString description() const { return m_description; }
    void setDescription(const QString &description) { m_description = description; }
    bool canMerge() const { return m_can_merge; }
    void setCanMerge(bool can_merge) { m_can_merge = can_merge; }

    // Applies the command; pushing a command calls it once.
    virtual void redo();
    // Reverts what redo did.
    virtual void undo();
    // Absorbs a later command of the same class; true when it did, the stack
    // then deletes the later one.
    virtual bool merge_with(QtCommand *other);

private:
    Type m_type;
    QString m_description;
    bool m_can_merge;
};

class QtUndoStack : public QObject
{
    Q_OBJECT

public:
    // parent is the view whose keyboard focus makes this stack the active one;
    // without a manager the stack reports to the process-wide one.
    QtUndoStack(QObject *parent, const QString &name = QString(), QtUndoManager *manager = nullptr);
    ~QtUndoStack() override;

    // Applies the command and takes it over; the undone commands after the
    // current one are dropped for good.
    void push(QtCommand *command);

    bool canUndo() const;
    bool canRedo() const;
    QString undoDescription() const;
    QString redoDescription() const;

    int count() const { return int(m_commands.size()); }
    const QtCommand *command(int index) const { return m_commands.at(size_t(index)); }
    // Index of the last applied command, -1 when every command is undone.
    int currentIndex() const { return m_current; }
    int macroNesting() const { return m_macro_nest; }
    QtUndoManager *manager() const { return m_manager; }

public slots:
    void undo();
    void redo();
    // Deletes every command; the manager's actions are left as they are.
    void clear();

private:
    QtCommand *current() const { return m_current >= 0 ? m_commands[size_t(m_current)] : nullptr; }
    void drop_redo_tail();
    void copy_macro_description();

    std::vector<QtCommand *> m_commands;
    int m_current = -1;
    int m_macro_nest = 0;
    // A manager owned by a view may go before the stack does.
    QPointer<QtUndoManager> m_manager;
};

class QtUndoManager : public QObject
{
    Q_OBJECT

public:
    explicit QtUndoManager(QObject *parent = nullptr);

    // The process-wide manager, created on the first call and never deleted.
    static QtUndoManager *manager();

    void associateView(QObject *view, QtUndoStack *stack);
    // The stack of the focused view, else the stack that was active last.
    QtUndoStack *currentStack() const;
    QtUndoStack *stackOf(QObject *view) const { return m_stacks.value(view); }

    QAction *undoAction() const { return m_undo_action; }
    QAction *redoAction() const { return m_redo_action; }
    bool can_undo() const;
    bool can_redo() const;

public slots:
    void undo();
    void redo();
    void stackDestroyed(QObject *stack);
    void viewDestroyed(QObject *view);
    void updateActions();

signals:
    void changed();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QHash<QObject *, QtUndoStack *> m_stacks;
    QAction *m_undo_action;
    QAction *m_redo_action;
    mutable QtUndoStack *m_current_stack = nullptr;
};
