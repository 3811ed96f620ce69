#include "lib/qtundo/qtundo.h"

#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QPixmap>
#include <QWidget>
#include <QtDebug>

QtCommand::QtCommand(Type type, const QString &description, bool can_merge)
    : m_type(type), m_description(description), m_can_merge(can_merge)
{}

void QtCommand::redo() {}

void QtCommand::undo() {}

bool QtCommand::merge_with(QtCommand *)
{
    return false;
}

QtUndoStack::QtUndoStack(QObject *parent, const QString &name, QtUndoManager *manager)
    : QObject(parent), m_manager(manager ? manager : QtUndoManager::manager())
{
    setObjectName(name);
    connect(this, &QObject::destroyed, m_manager.data(), &QtUndoManager::stackDestroyed);
    m_manager->associateView(parent, this);
}

QtUndoStack::~QtUndoStack()
{
    for (QtCommand *command : m_commands)
        delete command;
}

void QtUndoStack::drop_redo_tail()
{
    while (int(m_commands.size()) - 1 > m_current) {
        delete m_commands.back();
        m_commands.pop_back();
    }
}

// The MacroEnd just appended takes the description of its MacroBegin, so the
// whole macro is offered under the text given at its start.
void QtUndoStack::copy_macro_description()
{
    int level = 0;
    for (int i = int(m_commands.size()) - 2; i >= 0; --i) {
        QtCommand *command = m_commands[size_t(i)];
        if (command->isMacroEnd()) {
            ++level;
        } else if (command->isMacroBegin()) {
            if (level == 0) {
                m_commands.back()->setDescription(command->description());
                return;
            }
            --level;
        }
    }
    qWarning("QtUndoStack::push(): no MacroBegin found for a MacroEnd");
}

void QtUndoStack::push(QtCommand *command)
{
    command->redo();
    drop_redo_tail();
    switch (command->type()) {
    case QtCommand::Command: {
        QtCommand *last = current();
        if (command->canMerge() && last && last->metaObject() == command->metaObject() && last->merge_with(command))
            delete command;
        else
            m_commands.push_back(command);
        break;
    }
    case QtCommand::MacroBegin:
        m_commands.push_back(command);
        ++m_macro_nest;
        break;
    case QtCommand::MacroEnd:
        if (m_macro_nest == 0) {
            qWarning("QtUndoStack::push(): MacroEnd without MacroBegin");
            delete command;
            return;
        }
        m_commands.push_back(command);
        --m_macro_nest;
        copy_macro_description();
        break;
    }
    m_current = int(m_commands.size()) - 1;
    if (m_manager)
        m_manager->updateActions();
}

bool QtUndoStack::canUndo() const
{
    return !m_commands.empty() && m_macro_nest < 1 && current();
}

bool QtUndoStack::canRedo() const
{
    return !m_commands.empty() && m_macro_nest < 1 && m_current < int(m_commands.size()) - 1;
}

QString QtUndoStack::undoDescription() const
{
    return canUndo() ? current()->description() : QString();
}

QString QtUndoStack::redoDescription() const
{
    return canRedo() ? m_commands[size_t(m_current + 1)]->description() : QString();
}

void QtUndoStack::undo()
{
    if (!canUndo()) {
        qWarning("QtUndoStack::undo(): can't undo");
        return;
    }
    QtCommand *command = current();
    if (command->isMacroEnd()) {
        // Walk back to the matching MacroBegin, undoing every command passed,
        // the inner markers and the outer MacroBegin included.
        int level = 1;
        command->undo();
        while (level > 0 && m_current > 0) {
            command = m_commands[size_t(--m_current)];
            command->undo();
            if (command->isMacroBegin())
                --level;
            else if (command->isMacroEnd())
                ++level;
        }
        if (level != 0)
            qWarning("QtUndoStack::undo(): macro without MacroBegin");
    } else {
        command->undo();
    }
    --m_current;
    if (m_manager)
        m_manager->updateActions();
}

void QtUndoStack::redo()
{
    if (!canRedo()) {
        qWarning("QtUndoStack::redo(): can't redo");
        return;
    }
    QtCommand *command = m_commands[size_t(++m_current)];
    command->redo();
    if (command->isMacroBegin()) {
        int level = 1;
        while (level > 0 && m_current < int(m_commands.size()) - 1) {
            command = m_commands[size_t(++m_current)];
            command->redo();
            if (command->isMacroBegin())
                ++level;
            else if (command->isMacroEnd())
                --level;
        }
        if (level != 0)
            qWarning("QtUndoStack::redo(): macro without MacroEnd");
    }
    if (m_manager)
        m_manager->updateActions();
}

void QtUndoStack::clear()
{
    for (QtCommand *command : m_commands)
        delete command;
    m_commands.clear();
    m_current = -1;
    m_macro_nest = 0;
}

QtUndoManager::QtUndoManager(QObject *parent)
    : QObject(parent), m_undo_action(new QAction(this)), m_redo_action(new QAction(this))
{
    m_undo_action->setObjectName(QStringLiteral("undo_action"));
    m_redo_action->setObjectName(QStringLiteral("redo_action"));
    const QPixmap undo_image(QStringLiteral(":/images/undo.png"));
    if (!undo_image.isNull())
        m_undo_action->setIcon(undo_image);
    const QPixmap redo_image(QStringLiteral(":/images/redo.png"));
    if (!redo_image.isNull())
        m_redo_action->setIcon(redo_image);
    connect(m_undo_action, &QAction::triggered, this, &QtUndoManager::undo);
    connect(m_redo_action, &QAction::triggered, this, &QtUndoManager::redo);
    updateActions();
    if (qApp)
        qApp->installEventFilter(this);
}

QtUndoManager *QtUndoManager::manager()
{
    static QtUndoManager *process_manager = new QtUndoManager;
    return process_manager;
}

void QtUndoManager::associateView(QObject *view, QtUndoStack *stack)
{
    if (!view) {
        qWarning("QtUndoManager::associateView(): cannot associate a null object");
        return;
    }
    if (!stack) {
        qWarning("QtUndoManager::associateView(): cannot associate a null stack");
        return;
    }
    if (m_stacks.contains(view)) {
        qWarning("QtUndoManager::associateView(): view already associated with a stack");
        return;
    }
    m_stacks.insert(view, stack);
    connect(view, &QObject::destroyed, this, &QtUndoManager::viewDestroyed);
    updateActions();
}

QtUndoStack *QtUndoManager::currentStack() const
{
    for (QWidget *widget = QApplication::focusWidget(); widget; widget = widget->parentWidget()) {
        if (QtUndoStack *stack = m_stacks.value(widget)) {
            m_current_stack = stack;
            break;
        }
    }
    return m_current_stack;
}

bool QtUndoManager::can_undo() const
{
    QtUndoStack *stack = currentStack();
    return stack && stack->canUndo();
}

bool QtUndoManager::can_redo() const
{
    QtUndoStack *stack = currentStack();
    return stack && stack->canRedo();
}

void QtUndoManager::undo()
{
    QtUndoStack *stack = currentStack();
    if (!stack || !stack->canUndo()) {
        qWarning("QtUndoManager::undo(): can't undo");
        return;
    }
    stack->undo();
    updateActions();
}

void QtUndoManager::redo()
{
    QtUndoStack *stack = currentStack();
    if (!stack || !stack->canRedo()) {
        qWarning("QtUndoManager::redo(): can't redo");
        return;
    }
    stack->redo();
    updateActions();
}

void QtUndoManager::stackDestroyed(QObject *stack)
{
    if (m_current_stack == stack)
        m_current_stack = nullptr;
    for (auto it = m_stacks.begin(); it != m_stacks.end();) {
        if (it.value() == stack) {
            disconnect(it.key(), &QObject::destroyed, this, &QtUndoManager::viewDestroyed);
            it = m_stacks.erase(it);
        } else {
            ++it;
        }
    }
    updateActions();
}

void QtUndoManager::viewDestroyed(QObject *view)
{
    auto it = m_stacks.find(view);
    if (it == m_stacks.end()) {
        qWarning("QtUndoManager::viewDestroyed(): no such view");
        return;
    }
    if (it.value() == m_current_stack)
        m_current_stack = nullptr;
    m_stacks.erase(it);
    updateActions();
}

void QtUndoManager::updateActions()
{
    QtUndoStack *stack = currentStack();
    if (stack && stack->canUndo()) {
        m_undo_action->setText(tr("Undo %1").arg(stack->undoDescription()));
        m_undo_action->setEnabled(true);
    } else {
        m_undo_action->setText(tr("Undo"));
        m_undo_action->setEnabled(false);
    }
    if (stack && stack->canRedo()) {
        m_redo_action->setText(tr("Redo %1").arg(stack->redoDescription()));
        m_redo_action->setEnabled(true);
    } else {
        m_redo_action->setText(tr("Redo"));
        m_redo_action->setEnabled(false);
    }
    emit changed();
}

// Refreshes the action texts whenever the focus moves, so they follow it from
// view to view; the event itself goes on.
bool QtUndoManager::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut)
        updateActions();
    return QObject::eventFilter(watched, event);
}
