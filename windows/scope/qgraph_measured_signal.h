#pragma once
// The curve of a scope signal: it turns the samples of its scope item into
// one value per pixel column of its region, appending the columns of new
// samples as the view runs and rebuilding them all after a change of scale.
#include "widgets/graph/qgraphsignal.h"

class VyrScopeSignalItem;

class QGraphMeasuredSignal : public QGraphSignal
{
    Q_OBJECT
public:
    QGraphMeasuredSignal(QWidget *graph, const QString &name, const QString &unit);
    // A curve deleted in the graph takes its item out of the scope.
    ~QGraphMeasuredSignal() override;

    VyrScopeSignalItem *item() const { return m_item; }
    void set_item(VyrScopeSignalItem *item) { m_item = item; }

    // A column holds the first sample after the end of the column before it;
    // later ones in the same column are passed over. full (or an x axis moved
    // back) rebuilds every column from the oldest sample.
    void fetch(bool unmoved, bool full) override;

private:
    // Appends columns for the samples from the item's view position on, up to
    // t_end; a rebuild (limit set) stops once a column lies past the limit.
    void fill(double &t, double dt, double t_end, int &free, bool rebuilding);

    VyrScopeSignalItem *m_item = nullptr;
};
