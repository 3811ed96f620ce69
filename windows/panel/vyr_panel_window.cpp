#include "windows/panel/vyr_panel_window.h"

#include "windows/panel/vyr_panel.h"

VyrPanelWindow::VyrPanelWindow(QWidget *parent) : QAbstractScrollArea(parent)
{
    setObjectName(QStringLiteral("panel_window"));
    setFocusPolicy(Qt::StrongFocus);
}

void VyrPanelWindow::keyPressEvent(QKeyEvent *event)
{
    if (m_panel)
        m_panel->panel_key_press(event);
    else
        QAbstractScrollArea::keyPressEvent(event);
}
