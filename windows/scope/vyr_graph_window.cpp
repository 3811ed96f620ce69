#include "windows/scope/vyr_graph_window.h"

#include "windows/scope/vyr_scope.h"

#include <QMenu>

VyrGraphWindow::VyrGraphWindow(VyrScope *scope, const char *name) : QGraphWindow(scope), m_scope(scope)
{
    setObjectName(QString::fromLatin1(name));
}

void VyrGraphWindow::add_menu_items(QMenu *menu)
{
    QAction *properties = menu->addAction(tr("Properties"), m_scope, &VyrDataWindow::open_properties_dialog);
    QAction *insert = menu->addAction(tr("Insert Signals"), m_scope, &VyrDataWindow::open_signal_dialog);
    properties->setEnabled(!is_online());
    insert->setEnabled(!is_online());
    if (m_scope->detached())
        menu->addAction(tr("Attach to Workspace"), m_scope, &VyrDataWindow::attach_to_workspace);
    else
        menu->addAction(tr("Detach from Workspace"), m_scope, &VyrDataWindow::detach_from_workspace);
    QMenu *scales = menu->addMenu(tr("Set X-Scale"));
    scales->setObjectName(QStringLiteral("set_x_scale"));
    const struct {
        const char *text;
        double seconds;
        void (VyrScope::*slot)();
    } entries[] = {{"10s", 10.0, &VyrScope::set_xscale_10s},
                   {"1s", 1.0, &VyrScope::set_xscale_1s},
                   {"100ms", 0.1, &VyrScope::set_xscale_100ms},
                   {"10ms", 0.01, &VyrScope::set_xscale_10ms},
                   {"1ms", 0.001, &VyrScope::set_xscale_1ms}};
    for (const auto &entry : entries) {
        QAction *action = scales->addAction(tr(entry.text), m_scope, entry.slot);
        action->setCheckable(true);
        action->setChecked(m_scope->x_scale() == entry.seconds);
    }
    menu->addSeparator();
}
