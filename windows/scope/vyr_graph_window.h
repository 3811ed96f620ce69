#pragma once
// The scope's graph: the graph widget with the scope's own entries at the
// top of its context menu.
#include "widgets/graph/qgraphwindow.h"

class VyrScope;

class VyrGraphWindow : public QGraphWindow
{
    Q_OBJECT
public:
    VyrGraphWindow(VyrScope *scope, const char *name);

protected:
    // "Properties", "Insert Signals" (both only offline), attaching or
    // detaching the window, and the "Set X-Scale" sub-menu.
    void add_menu_items(QMenu *menu) override;

private:
    VyrScope *m_scope;
};
