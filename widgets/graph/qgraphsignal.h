#pragma once
// One plotted curve of the graph widget. It keeps one sample per pixel column
// of the x axis' range in its ring and asks its subclass for them in fetch().
#include "widgets/graph/qgraphregion.h"

class QGraphLegend;
class QGraphXAxis;
class QGraphYAxis;

class QGraphSignal : public QGraphRegion
{
    Q_OBJECT

public:
    enum DrawMode { ContinuousLine = 1, ConnectSamples = 2, Digital = 3, Bars = 4, Dots = 5 };
    // A column holding this value has no sample; it is skipped everywhere.
    static constexpr double no_value = 9.99999999999999e+307;

    QGraphSignal(QWidget *owner, const QString &name, const QString &unit);

    QString unit() const { return label(); }
    QGraphXAxis *x_axis() const { return m_x_axis; }
    void set_x_axis(QGraphXAxis *axis) { m_x_axis = axis; }
    // The axis the curve is drawn on: its own one or the window's common one.
    QGraphYAxis *y_axis() const { return m_y_axis; }
    void set_y_axis(QGraphYAxis *axis) { m_y_axis = axis; }
    QGraphYAxis *own_y_axis() const { return m_own_y_axis; }
    void set_own_y_axis(QGraphYAxis *axis) { m_own_y_axis = axis; }
    QGraphLegend *legend() const { return m_legend; }
    void set_legend(QGraphLegend *legend) { m_legend = legend; }
    SampleRing &samples() { return m_samples; }
    // Drops up to n of the oldest columns.
    void drop_front(int n) { m_samples.drop_front(n); }
    // Empties the columns; the first and last time become 0.
    void clear();

    // Fills the ring for the x axis' range. full asks for every column again;
    // otherwise only the columns new since the last call are added, and
    // unmoved says the view moved by less than a pixel since then (the curve
    // then repaints its new columns itself; after a move the x axis has
    // copied the plot and repaints the new strip). fetch sets the column of
    // the earliest sample it added (set_first_new_column), the first and last
    // time and the sample before the visible range.
    virtual void fetch(bool unmoved, bool full) = 0;
    // Empties the ring and fetches every column again.
    void refetch();

    int first_new_column() const { return m_first_new_column; }
    // Column (from the x axis' left edge) of the earliest sample the last
    // fetch added, -1 when it added none.
    void set_first_new_column(int column) { m_first_new_column = column; }

    double first_time() const { return m_first_time; }
    double last_time() const { return m_last_time; }
    void set_first_time(double time) { m_first_time = time; }
    void set_last_time(double time) { m_last_time = time; }
    // The last sample before the visible range; no_value when there is none.
    double previous_time() const { return m_previous_time; }
    double previous_value() const { return m_previous_value; }
    void set_previous_sample(double time, double value);

    int draw_mode() const { return m_draw_mode; }
    // Repaints when the mode changes; modes outside 1..5 are ignored.
    void set_draw_mode(int mode);
    // The range fit falls back on without samples, and the legend shows.
    double y_minimum() const { return m_y_minimum; }
    double y_maximum() const { return m_y_maximum; }
    void set_y_limits(double maximum, double minimum);
    bool fixed_limits() const { return m_fixed_limits; }
    void set_fixed_limits(bool fixed) { m_fixed_limits = fixed; }
    double data_minimum() const { return m_data_minimum; }
    double data_maximum() const { return m_data_maximum; }
    void set_data_limits(double maximum, double minimum);

    // The value of the newest sample at or before time t (the sample before
    // the range included), no_value when there is none; 0.0 without x axis,
    // columns or time scale.
    double value_at(double time) const;
    // Data minimum and maximum over the columns; the y limits when none holds a sample.
    virtual void compute_limits();
    // Takes this curve's point nearest to the hit's mouse position into hit
    // when it is nearer than what the record holds.
    virtual void hit_test(GraphHit &hit);

    bool is_selected() const override;
    void set_selected(bool selected) override;
    void set_active(bool active) override;
    void relayout() override;
    void double_click_action() override;
    int preferred_width() const override { return 0; }
    int preferred_height() const override { return 0; }
    void paint(QPainter &painter, const QRect &area) override;

signals:
    void show_properties_dialog(QGraphSignal *signal);

protected:
    QGraphXAxis *m_x_axis = nullptr;
    QGraphYAxis *m_y_axis = nullptr;
    QGraphYAxis *m_own_y_axis = nullptr;
    QGraphLegend *m_legend = nullptr;
    SampleRing m_samples;
    int m_first_new_column = -1;
    double m_first_time = 0.0;
    double m_last_time = 0.0;
    double m_previous_time = no_value;
    double m_previous_value = no_value;
    double m_data_minimum = -10.0;
    double m_data_maximum = 10.0;
    double m_y_minimum = -10.0;
    double m_y_maximum = 10.0;
    bool m_fixed_limits = false;
    int m_draw_mode = ContinuousLine;
};

// The range an axis can be drawn with: an empty span (a constant signal)
// is widened around its value, so pixel scales never divide by zero.
void graph_widen_empty_span(double &maximum, double &minimum);
