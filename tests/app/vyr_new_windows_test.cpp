// A new user's windows in the real main window at 1,600 x 1,000 pixels with
// the demo loaded: for every window type of the registry, a window made from
// the tool bar opens whole inside the visible workspace with its tool bar and
// headers shown, the Window menu reaches it, a right click in it opens its
// own menu and not the workspace's, and its caption repeats no other.
#include "app/vyr_main.h"
#include "app/vyr_main_widgets.h"
#include "demo_fixture.h"
#include "windows/base/data_window_type_info.h"
#include "windows/base/vyr_data_window.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QDir>
#include <QHeaderView>
#include <QMdiSubWindow>
#include <QMenu>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include <cstdio>
#include <set>
#include <string>

namespace {

class NewWindows : public DemoFixture
{
protected:
    void SetUp() override
    {
        window.resize(1600, 1000);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        ASSERT_EQ(window.load_configuration(&config), 0);
        QApplication::processEvents();
    }

    // The window the tool bar button of the type makes.
    VyrDataWindow *create_from_the_tool_bar(const DataWindowTypeInfo &type)
    {
        auto *button = window.findChild<QToolButton *>("button_create_" + QString::fromStdString(type.class_key()));
        if (!button)
            return nullptr;
        VyrDataWindow *last_before = nullptr;
        for (VyrDataWindow *w = first_window(); w; w = w->next_window())
            last_before = w;
        button->click();
        QApplication::processEvents();
        VyrDataWindow *made = last_before ? last_before->next_window() : first_window();
        return made;
    }

    VyrWorkspace *workspace() { return static_cast<VyrWorkspace *>(window.current_workspace()); }
};

// The names of the menus that pop up while the mouse presses the right
// button at the point of the main window; each is closed at once.
QStringList menus_of_a_right_press(QWidget *main_window, const QPoint &point)
{
    QStringList menus;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&menus] {
        if (auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget())) {
            menus << menu->objectName();
            menu->close();
        }
    });
    closer.start(10);
    // Through the window system, as a mouse does: the press, then the
    // context menu event that the press brings.
    QTest::mousePress(main_window->windowHandle(), Qt::RightButton, Qt::NoModifier, point);
    QTest::mouseRelease(main_window->windowHandle(), Qt::RightButton, Qt::NoModifier, point);
    for (int i = 0; i < 5; ++i)
        QTest::qWait(20);
    return menus;
}

TEST_F(NewWindows, ARightPressInEveryWindowTypeOpensItsOwnMenuAndOnTheBackgroundTheWorkspaceMenu)
{
    // An empty spot of the workspace still opens the workspace's menu.
    const QRect free_area = workspace()->viewport()->rect();
    QPoint background(free_area.right() - 5, free_area.bottom() - 5);
    for (VyrDataWindow *w = first_window(); w; w = w->next_window())
        w->frame()->hide();
    EXPECT_EQ(menus_of_a_right_press(&window, workspace()->viewport()->mapTo(&window, background)),
              QStringList{"workspace_context_menu"});

    for (const DataWindowTypeInfo *type = DataWindowTypeInfo::first(); type; type = type->next()) {
        SCOPED_TRACE(type->class_key());
        VyrDataWindow *made = create_from_the_tool_bar(*type);
        ASSERT_NE(made, nullptr);
        made->frame()->raise();
        QApplication::processEvents();
        QWidget *content = made->centralWidget();
        const QPoint middle = content->mapTo(&window, content->rect().center());
        ASSERT_TRUE(made->isAncestorOf(window.childAt(middle))) << "the window is hidden under another";
        const QStringList menus = menus_of_a_right_press(&window, middle);
        EXPECT_EQ(menus.size(), 1) << menus.join(", ").toStdString();
        EXPECT_FALSE(menus.contains("workspace_context_menu")) << menus.join(", ").toStdString();
        made->frame()->hide();
    }
}

TEST_F(NewWindows, OpenWholeInsideTheVisibleWorkspaceWithToolBarAndHeadersAndTheWindowMenuReachesThem)
{
    for (const DataWindowTypeInfo *type = DataWindowTypeInfo::first(); type; type = type->next()) {
        SCOPED_TRACE(type->class_key());
        VyrDataWindow *made = create_from_the_tool_bar(*type);
        ASSERT_NE(made, nullptr);
        QMdiSubWindow *frame = made->sub_window();
        ASSERT_NE(frame, nullptr);
        EXPECT_TRUE(workspace()->viewport()->rect().contains(frame->geometry()))
            << frame->geometry().x() << "," << frame->geometry().y() << " " << frame->width() << "x"
            << frame->height();

        // The tool bar whole inside the frame: no button hidden behind an extension arrow.
        QToolBar *bar = made->tool_bar();
        EXPECT_GE(bar->width(), bar->sizeHint().width());
        EXPECT_TRUE(frame->rect().contains(QRect(bar->mapTo(frame, QPoint(0, 0)), bar->size())));
        for (QAction *action : bar->actions()) {
            QWidget *button = bar->widgetForAction(action);
            EXPECT_TRUE(!button || button->isVisible()) << button->objectName().toStdString();
        }
        // Below the tool bar the content still shows its header, or a row of
        // a list without one.
        for (QHeaderView *header : made->findChildren<QHeaderView *>()) {
            const bool shown = header->isVisibleTo(made) && header->orientation() == Qt::Horizontal;
            EXPECT_TRUE(!shown || header->mapTo(frame, QPoint(0, header->height())).y() <= frame->height())
                << header->objectName().toStdString();
        }
        EXPECT_GE(made->centralWidget()->height(), 2 * bar->height());

        // The Window menu lists the window; choosing it brings it to the front.
        QMenu *menu = window.menus().menu_window;
        emit menu->aboutToShow();
        QAction *entry = nullptr;
        for (QAction *action : menu->actions())
            if (action->text() == made->caption())
                entry = action;
        ASSERT_NE(entry, nullptr) << made->caption().toStdString();
        workspace()->activateNextSubWindow();
        ASSERT_NE(workspace()->activeSubWindow(), frame);
        entry->trigger();
        EXPECT_EQ(workspace()->activeSubWindow(), frame);
    }
    const QString picture = QDir::tempPath() + QStringLiteral("/vyr_new_windows.png");
    window.grab().save(picture);
    std::printf("rendered to %s\n", qPrintable(picture));
}

TEST_F(NewWindows, CaptionsNameEachWindowByItsTypeAndNumberAndNeverRepeat)
{
    for (const DataWindowTypeInfo *type = DataWindowTypeInfo::first(); type; type = type->next())
        ASSERT_NE(create_from_the_tool_bar(*type), nullptr) << type->class_key();
    std::set<QString> captions;
    for (VyrDataWindow *w = first_window(); w; w = w->next_window()) {
        EXPECT_TRUE(captions.insert(w->caption()).second) << "twice: " << w->caption().toStdString();
        // The demo's windows are named as the program names new ones; the
        // panel takes the name of its file.
        if (w->class_key() != "panel") {
            EXPECT_EQ(w->caption().toStdString(), w->class_key() + ' ' + std::to_string(w->index()));
        }
    }
}

} // namespace
