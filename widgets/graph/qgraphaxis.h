#pragma once
// The axes of the graph widget: the time axis all curves share and the value
// axes (one per curve and one common to the window). Each owns its visible
// range, picks its tick step and label format from the room it has and paints
// itself. Range changes made by the user go through the undo stack as zoom
// commands, so they can be undone.
#include "lib/qtundo/qtundo.h"
#include "widgets/graph/qgraphregion.h"

#include <QList>
#include <QPointer>
#include <QTimer>
#include <QVector>

class QGraphXAxis : public QGraphRegion
{
    Q_OBJECT

public:
    QGraphXAxis(QWidget *owner, QtUndoStack *undo_stack = nullptr);

    double minimum() const { return m_minimum; }
    double maximum() const { return m_maximum; }
    double span() const { return m_maximum - m_minimum; }
    double time_per_pixel() const { return m_time_per_pixel; }
    double time_per_division() const { return m_time_per_division; }
    double step() const { return m_step; }
    int divisions() const { return m_divisions; }
    int label_width() const { return m_label_width; }
    int decimals() const { return m_decimals; }
    // Time of tick i (0 when there are no divisions).
    double tick_value(int i) const;
    // A tick label as painted: "%*.*f" with the label width and decimals, no leading blanks.
    QString label_text(double value) const;

    // Sets the range directly: ticks anew, every signal refetched and
    // repainted; emits limits_changed() when it changed.
    void set_limits(double maximum, double minimum);
    // 0 chooses the step from the room; otherwise the range becomes
    // divisions x time_per_division from the present minimum.
    void set_time_per_division(double time_per_division, int divisions);
    // The undoable way: pushed as a zoom command when there is an undo stack.
    void set_range(double maximum, double minimum, const QString &description);
    // Advances the running view by dt: the plot is copied left by the whole
    // pixels it moved and only the new columns are repainted.
    void scroll_time(double dt);

    // Raised each time the window goes online: zoom commands recorded before no
    // longer restore the x range.
    int update_counter() const { return m_update_counter; }
    void raise_update_counter() { ++m_update_counter; }
    // Pixels copied by scroll_time since the last full repaint of the plot.
    int blit_count() const { return m_blit_count; }
    void reset_blit_count() { m_blit_count = 0; }

    QtUndoStack *undo_stack() const { return m_undo_stack; }
    void set_undo_stack(QtUndoStack *stack) { m_undo_stack = stack; }
    const QList<QGraphSignal *> &signal_list() const { return m_signals; }
    void add_signal(QGraphSignal *signal);
    void remove_signal(QGraphSignal *signal);

    void scroll_by_pixels(int pixels) override;
    void scale_by_pixels(int pixels) override;
    void relayout() override;
    int preferred_width() const override { return 0; }
    int preferred_height() const override;
    void paint(QPainter &painter, const QRect &area) override;

public slots:
    void deferred_scroll();

signals:
    void limits_changed();

private:
    void recalc_ticks();
    // The part of the owner the signals on this axis cover.
    QRect plot_rect() const;
    void apply_range(double maximum, double minimum);

    double m_minimum = 0.0;
    double m_maximum = 10.0;
    double m_time_per_pixel = 0.0;
    double m_time_per_division = 1.0;
    double m_step = 1.0;
    double m_first_tick = 0.0;
    int m_divisions = 10;
    int m_label_width = 6;
    int m_decimals = 3;
    int m_update_counter = 0;
    int m_scroll_accumulator = 0;
    int m_blit_count = 0;
    QTimer m_scroll_timer;
    QList<QGraphSignal *> m_signals;
    QtUndoStack *m_undo_stack;
};

class QGraphYAxis : public QGraphRegion
{
    Q_OBJECT

public:
    QGraphYAxis(QWidget *owner, QtUndoStack *undo_stack = nullptr);

    double minimum() const { return m_minimum; }
    double maximum() const { return m_maximum; }
    double value_per_pixel() const { return m_value_per_pixel; }
    double step() const { return m_step; }
    int divisions() const { return m_divisions; }
    int label_width() const { return m_label_width; }
    int decimals() const { return m_decimals; }
    // Value of tick i, i from -divisions to divisions - 1: multiples of the
    // step from 0 when the range holds 0, else from below the minimum.
    double tick_value(int i) const;
    // The tick values inside the range, the ones painted, in ascending order.
    QVector<double> visible_ticks() const;
    // A tick label as painted: "%*.*f", or "%0.*e" when the digits do not fit.
    QString label_text(double value) const;
    bool vertical_title() const { return m_vertical_title; }
    void set_vertical_title(bool vertical);

    // Sets the range directly; emits limits_changed() when it changed.
    void set_limits(double maximum, double minimum);
    void set_range(double maximum, double minimum, const QString &description);

    QtUndoStack *undo_stack() const { return m_undo_stack; }
    void set_undo_stack(QtUndoStack *stack) { m_undo_stack = stack; }
    const QList<QGraphSignal *> &signal_list() const { return m_signals; }
    void add_signal(QGraphSignal *signal);
    void remove_signal(QGraphSignal *signal);

    void scroll_by_pixels(int pixels) override;
    void scale_by_pixels(int pixels) override;
    void double_click_action() override;
    void relayout() override;
    int preferred_width() const override;
    int preferred_height() const override { return 0; }
    void paint(QPainter &painter, const QRect &area) override;

signals:
    void limits_changed();
    void set_signal_active(QGraphSignal *signal, bool active);

private:
    void recalc_ticks();
    void repaint_signals();

    double m_minimum = -10.0;
    double m_maximum = 10.0;
    double m_value_per_pixel = 0.0;
    double m_step = 2.0;
    double m_first_tick = 0.0;
    int m_divisions = 10;
    int m_label_width = 6;
    int m_decimals = 3;
    bool m_vertical_title = false;
    QList<QGraphSignal *> m_signals;
    QtUndoStack *m_undo_stack;
};

// One range change of an x or a y axis. Successive changes of the same axis
// merge into one undo step that keeps the first step's description.
class QGraphUndoCommandZoom : public QtCommand
{
    Q_OBJECT

public:
    QGraphUndoCommandZoom(const QString &description, QGraphXAxis *x_axis, QGraphYAxis *y_axis, double old_maximum,
                          double old_minimum, double new_maximum, double new_minimum);

    void redo() override;
    void undo() override;
    bool merge_with(QtCommand *other) override;

private:
    void apply(double maximum, double minimum);

    // Guarded: the window may delete an axis (a removed signal's) while the
    // command is still on the stack; a gone axis is skipped.
    QPointer<QGraphXAxis> m_x_axis;
    QPointer<QGraphYAxis> m_y_axis;
    int m_update_counter;
    double m_old_maximum;
    double m_old_minimum;
    double m_new_maximum;
    double m_new_minimum;
};
