#pragma once
// One plotted curve of the graph widget. It keeps one sample per pixel column
// of the x axis' range in its ring and asks its subclass for them in fetch().
#include "widgets/graph/qgraphregion.h"

class QGraphXAxis;
class QGraphYAxis;

class QGraphSignal : public QGraphRegion
{
    Q_OBJECT

public:
    QGraphSignal(QWidget *owner, const QString &name, const QString &unit);

    QString unit() const { return label(); }
    QGraphXAxis *x_axis() const { return m_x_axis; }
    void set_x_axis(QGraphXAxis *axis) { m_x_axis = axis; }
    QGraphYAxis *y_axis() const { return m_y_axis; }
    void set_y_axis(QGraphYAxis *axis) { m_y_axis = axis; }
    SampleRing &samples() { return m_samples; }

    // Fills the ring for the x axis' range. full asks for every column again;
    // otherwise only the columns new since the last call are added, and
    // unmoved says the view moved by less than a pixel since then. fetch sets
    // the column of the earliest sample it added (set_first_new_column), so
    // the x axis repaints from there.
    virtual void fetch(bool unmoved, bool full) = 0;
    // Empties the ring and fetches every column again.
    void refetch();

    int first_new_column() const { return m_first_new_column; }
    // Column (from the x axis' left edge) of the earliest sample the last
    // fetch added, -1 when it added none.
    void set_first_new_column(int column) { m_first_new_column = column; }

    int preferred_width() const override { return 0; }
    int preferred_height() const override { return 0; }

protected:
    QGraphXAxis *m_x_axis = nullptr;
    QGraphYAxis *m_y_axis = nullptr;
    SampleRing m_samples;
    int m_first_new_column = -1;
};
