#include "widgets/graph/qgraphsignal.h"

QGraphSignal::QGraphSignal(QWidget *owner, const QString &name, const QString &unit)
    : QGraphRegion(owner, Selectable | DoubleClickAction | HitTestsSignals | RubberBandStart)
{
    set_name(name);
    set_label(unit);
}

void QGraphSignal::refetch()
{
    m_samples.reset();
    m_first_new_column = -1;
    fetch(false, true);
}
