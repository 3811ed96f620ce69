#pragma once
// Driving the panel editor as a user does: mouse events on the viewport and
// on the item widgets, the context menu's entries by their texts, and the
// font, colour and file dialogs answered by the test.
#include "windows/panel/vyr_panel.h"
#include "windows/panel/vyr_panel_window.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>

namespace panel_editing {

// A move with the given buttons held. QTest's mouseMove only moves the
// cursor, whose move event carries no button.
inline void move(QWidget *widget, const QPoint &point, Qt::MouseButtons buttons = Qt::NoButton,
                 Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QMouseEvent event(QEvent::MouseMove, point, widget->mapToGlobal(point), Qt::NoButton, buttons, modifiers);
    QApplication::sendEvent(widget, &event);
}

// Hover to the point, press there, drag by the offset and release: a
// user's drag with the left button.
inline void drag(QWidget *widget, const QPoint &from, const QPoint &offset)
{
    move(widget, from);
    QTest::mousePress(widget, Qt::LeftButton, Qt::NoModifier, from);
    move(widget, from + offset, Qt::LeftButton);
    QTest::mouseRelease(widget, Qt::LeftButton, Qt::NoModifier, from + offset);
}

// Hover and click, as a user selects an item.
inline void click(QWidget *widget, const QPoint &point, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    move(widget, point);
    QTest::mousePress(widget, Qt::LeftButton, modifiers, point);
    QTest::mouseRelease(widget, Qt::LeftButton, modifiers, point);
}

// The entry at the end of a path of menu texts, or null.
inline QAction *menu_entry(QMenu *menu, const QStringList &path)
{
    QAction *found = nullptr;
    for (const QString &text : path) {
        if (!menu)
            return nullptr;
        found = nullptr;
        for (QAction *action : menu->actions())
            if (action->text() == text)
                found = action;
        if (!found)
            return nullptr;
        menu = found->menu();
    }
    return found;
}

// Runs the entry of a freshly built context menu; false when it is missing or disabled.
inline bool run_menu_entry(VyrPanel &panel, const QStringList &path)
{
    std::unique_ptr<QMenu> menu = panel.panel_window()->build_context_menu();
    QAction *action = menu_entry(menu.get(), path);
    if (!action || !action->isEnabled())
        return false;
    action->trigger();
    return true;
}

// Inserts a type from the context menu as if it was opened at the point.
inline VyrPanelItem *insert_at(VyrPanel &panel, const QString &category, const QString &type, const QPoint &point)
{
    const size_t before = panel.items().size();
    panel.panel_window()->set_insertion_point(point);
    if (!run_menu_entry(panel, {QStringLiteral("Insert New Item"), category, type}))
        return nullptr;
    return panel.items().size() == before + 1 ? panel.items().back().get() : nullptr;
}

// The dialogs of the panel answered by the test; restores the real ones.
struct DesktopAnswers
{
    DesktopAnswers()
    {
        saved = VyrPanel::desktop();
        current() = this;
        VyrPanel::desktop().choose_font = [](QWidget *, const char *name, QFont &font) {
            current()->asked << QString::fromLatin1(name);
            if (!current()->font_accepted)
                return false;
            font = current()->font;
            return true;
        };
        VyrPanel::desktop().choose_color = [](QWidget *, const char *name, const QColor &) {
            current()->asked << QString::fromLatin1(name);
            return current()->color;
        };
        VyrPanel::desktop().choose_graphic_file = [](QWidget *, const QString &, const char *name, const QString &,
                                                     const QString &) {
            current()->asked << QString::fromLatin1(name);
            return current()->file;
        };
    }
    ~DesktopAnswers()
    {
        VyrPanel::desktop() = saved;
        current() = nullptr;
    }
    static DesktopAnswers *&current()
    {
        static DesktopAnswers *answers = nullptr;
        return answers;
    }

    VyrPanel::Desktop saved;
    QStringList asked;
    bool font_accepted = true;
    QFont font;
    QColor color; // invalid: cancelled
    QString file; // empty: cancelled
};

} // namespace panel_editing
