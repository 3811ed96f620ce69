#include "lib/qtundo/qtundo.h"

#include <QAction>
#include <QApplication>
#include <QPointer>
#include <QSignalSpy>
#include <QStringList>
#include <QWidget>
#include <gtest/gtest.h>

namespace {

QStringList g_log;
QStringList g_warnings;

void capture_warning(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtWarningMsg)
        g_warnings << message;
}

struct WarningCapture {
    WarningCapture()
    {
        g_warnings.clear();
        m_previous = qInstallMessageHandler(capture_warning);
    }
    ~WarningCapture() { qInstallMessageHandler(m_previous); }
    QtMessageHandler m_previous;
};

// Records every redo and undo; a mergeable one absorbs a later one by taking
// its name into its own, so the log shows what the merged command reverts.
class Recording : public QtCommand
{
    Q_OBJECT
public:
    Recording(const QString &name, bool can_merge = false, bool accepts = true, Type type = Command)
        : QtCommand(type, name, can_merge), m_name(name), m_accepts(accepts)
    {
    }
    void redo() override { g_log << "redo " + m_name; }
    void undo() override { g_log << "undo " + m_name; }
    bool merge_with(QtCommand *other) override
    {
        if (!m_accepts)
            return false;
        m_name += "+" + static_cast<Recording *>(other)->m_name;
        return true;
    }
    QString m_name;
    bool m_accepts;
};

class OtherRecording : public Recording
{
    Q_OBJECT
public:
    using Recording::Recording;
};

struct StackCase {
    const char *name;
    QStringList steps; // "a" push, "m:a" mergeable, "r:a" mergeable that refuses, "o:a" other class mergeable,
                       // "<:M" MacroBegin, ">" MacroEnd, "u" undo, "d" redo
    QStringList log;   // redo/undo calls after the pushes' own
    int count;
    QString undo_text;
    QString redo_text;
    QStringList warnings;
};

void run(QtUndoStack &stack, const QString &step)
{
    const QString argument = step.section(':', 1);
    if (step == "u")
        stack.undo();
    else if (step == "d")
        stack.redo();
    else if (step == ">")
        stack.push(new Recording("end", false, true, QtCommand::MacroEnd));
    else if (step.startsWith("<:"))
        stack.push(new Recording(argument, false, true, QtCommand::MacroBegin));
    else if (step.startsWith("m:"))
        stack.push(new Recording(argument, true));
    else if (step.startsWith("r:"))
        stack.push(new Recording(argument, true, false));
    else if (step.startsWith("o:"))
        stack.push(new OtherRecording(argument, true));
    else
        stack.push(new Recording(step));
}

} // namespace

TEST(QtUndoStack, StepsGiveTheirCallsCommandsAndTexts)
{
    const QList<StackCase> cases = {
        {"push applies at once", {"a", "b"}, {"redo a", "redo b"}, 2, "b", QString(), {}},
        {"undo then redo", {"a", "b", "u", "u", "d"}, {"redo a", "redo b", "undo b", "undo a", "redo a"}, 2, "a", "b",
         {}},
        {"push drops the redo tail", {"a", "b", "u", "c", "d"}, {"redo a", "redo b", "undo b", "redo c"}, 2, "c",
         QString(), {"QtUndoStack::redo(): can't redo"}},
        {"same class, flag and accept merge", {"m:a", "m:b", "u"}, {"redo a", "redo b", "undo a+b"}, 1, QString(), "a",
         {}},
        {"merge refused", {"r:a", "m:b"}, {"redo a", "redo b"}, 2, "b", QString(), {}},
        {"other class never merges", {"m:a", "o:b"}, {"redo a", "redo b"}, 2, "b", QString(), {}},
        {"plain after mergeable", {"m:a", "b"}, {"redo a", "redo b"}, 2, "b", QString(), {}},
        {"no merge into an undone command", {"m:a", "u", "m:b"}, {"redo a", "undo a", "redo b"}, 1, "b", QString(), {}},
        {"nothing while a macro is open", {"<:M", "a", "u", "d"}, {"redo M", "redo a"}, 2, QString(), QString(),
         {"QtUndoStack::undo(): can't undo", "QtUndoStack::redo(): can't redo"}},
        {"nested macro undone in reverse, redone in order",
         {"x", "<:M", "a", "<:N", "b", ">", "c", ">", "u", "d"},
         {"redo x", "redo M", "redo a", "redo N", "redo b", "redo end", "redo c", "redo end",
          "undo end", "undo c", "undo end", "undo b", "undo N", "undo a", "undo M",
          "redo M", "redo a", "redo N", "redo b", "redo end", "redo c", "redo end"},
         8, "M", QString(), {}},
        {"macro end without begin", {"a", ">"}, {"redo a", "redo end"}, 1, "a", QString(),
         {"QtUndoStack::push(): MacroEnd without MacroBegin"}},
        {"all undone", {"a", "b", "u", "u", "u"}, {"redo a", "redo b", "undo b", "undo a"}, 2, QString(), "a",
         {"QtUndoStack::undo(): can't undo"}},
    };
    for (const StackCase &c : cases) {
        SCOPED_TRACE(c.name);
        QObject view;
        QtUndoManager manager;
        QtUndoStack stack(&view, "stack", &manager);
        WarningCapture capture;
        g_log.clear();
        for (const QString &step : c.steps)
            run(stack, step);
        EXPECT_EQ(g_log, c.log);
        EXPECT_EQ(stack.count(), c.count);
        EXPECT_EQ(stack.undoDescription(), c.undo_text);
        EXPECT_EQ(stack.redoDescription(), c.redo_text);
        EXPECT_EQ(stack.canUndo(), !c.undo_text.isNull());
        EXPECT_EQ(stack.canRedo(), !c.redo_text.isNull());
        EXPECT_EQ(g_warnings, c.warnings);
    }
}

TEST(QtUndoStack, ClearDeletesEveryCommandAndClosesMacros)
{
    QObject view;
    QtUndoManager manager;
    QtUndoStack stack(&view, "stack", &manager);
    QPointer<QtCommand> kept = new Recording("a");
    stack.push(kept);
    stack.push(new Recording("M", false, true, QtCommand::MacroBegin));
    stack.clear();
    EXPECT_TRUE(kept.isNull());
    EXPECT_EQ(stack.count(), 0);
    EXPECT_EQ(stack.macroNesting(), 0);
    EXPECT_FALSE(stack.canUndo());
    EXPECT_FALSE(stack.canRedo());
}

TEST(QtUndoManager, ActionsShowTheActiveStackAndWarnOnMisuse)
{
    QObject view;
    QtUndoManager manager;
    QSignalSpy changed(&manager, &QtUndoManager::changed);
    QtUndoStack stack(&view, "stack", &manager);
    EXPECT_EQ(manager.undoAction()->text(), "Undo");
    EXPECT_FALSE(manager.undoAction()->isEnabled());

    stack.push(new Recording("Scroll X"));
    stack.push(new Recording("Zoom"));
    EXPECT_GE(changed.count(), 2);
    // No focus inside a view yet: no stack is active.
    EXPECT_EQ(manager.currentStack(), nullptr);

    WarningCapture capture;
    manager.undo();
    manager.associateView(nullptr, &stack);
    manager.associateView(&view, nullptr);
    manager.associateView(&view, &stack);
    manager.viewDestroyed(&manager);
    EXPECT_EQ(g_warnings, QStringList({"QtUndoManager::undo(): can't undo",
                                       "QtUndoManager::associateView(): cannot associate a null object",
                                       "QtUndoManager::associateView(): cannot associate a null stack",
                                       "QtUndoManager::associateView(): view already associated with a stack",
                                       "QtUndoManager::viewDestroyed(): no such view"}));
}

TEST(QtUndoManager, ActionTextsFollowTheFocusAndStayWhenItLeaves)
{
    QWidget window;
    auto *first = new QWidget(&window);
    auto *second = new QWidget(&window);
    auto *inside_first = new QWidget(first);
    auto *elsewhere = new QWidget(&window);
    for (QWidget *w : {first, second, inside_first, elsewhere})
        w->setFocusPolicy(Qt::StrongFocus);
    QtUndoManager manager;
    auto *first_stack = new QtUndoStack(first, "first", &manager);
    auto *second_stack = new QtUndoStack(second, "second", &manager);
    first_stack->push(new Recording("Scroll y"));
    second_stack->push(new Recording("Scale X"));
    second_stack->push(new Recording("Zoom"));
    second_stack->undo();
    window.show();
    QApplication::setActiveWindow(&window);

    inside_first->setFocus();
    EXPECT_EQ(manager.currentStack(), first_stack);
    EXPECT_EQ(manager.undoAction()->text(), "Undo Scroll y");
    EXPECT_EQ(manager.redoAction()->text(), "Redo");
    EXPECT_FALSE(manager.redoAction()->isEnabled());

    second->setFocus();
    EXPECT_EQ(manager.undoAction()->text(), "Undo Scale X");
    EXPECT_EQ(manager.redoAction()->text(), "Redo Zoom");
    EXPECT_TRUE(manager.can_redo());

    elsewhere->setFocus();
    EXPECT_EQ(manager.currentStack(), second_stack);
    EXPECT_EQ(manager.undoAction()->text(), "Undo Scale X");

    // The action runs the active stack's undo.
    g_log.clear();
    manager.undoAction()->trigger();
    EXPECT_EQ(g_log, QStringList({"undo Scale X"}));
    EXPECT_EQ(manager.undoAction()->text(), "Undo");
    EXPECT_EQ(manager.redoAction()->text(), "Redo Scale X");

    // A destroyed stack leaves the map and is no longer active.
    QSignalSpy changed(&manager, &QtUndoManager::changed);
    delete second_stack;
    EXPECT_EQ(manager.stackOf(second), nullptr);
    EXPECT_EQ(manager.currentStack(), nullptr);
    EXPECT_EQ(manager.redoAction()->text(), "Redo");
    EXPECT_GE(changed.count(), 1);
    delete second; // disconnected with its stack: no warning
    // A destroyed view leaves the map; its stack goes with it as its child.
    inside_first->setFocus();
    EXPECT_EQ(manager.currentStack(), first_stack);
    WarningCapture capture;
    delete first;
    EXPECT_EQ(manager.stackOf(first), nullptr);
    EXPECT_EQ(manager.currentStack(), nullptr);
    EXPECT_TRUE(g_warnings.isEmpty()) << g_warnings.join('\n').toStdString();
}

TEST(QtUndoManager, StacksWithoutManagerReportToTheProcessWideOne)
{
    QObject view;
    QtUndoStack stack(&view, "stack");
    EXPECT_EQ(stack.manager(), QtUndoManager::manager());
    EXPECT_EQ(QtUndoManager::manager()->stackOf(&view), &stack);
}

#include "qtundo_test.moc"
