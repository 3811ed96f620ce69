#pragma once
// The plotting widget: one time axis, one value axis common to all curves,
// the curves with their own value axes and legend lines, two measuring
// cursors, the rubber band and an undo stack of its own. It lays the regions
// out, paints them, turns mouse gestures into region operations, offers a
// context menu, fits, colours and deletes curves, shares value axes in three
// ways, scrolls while online and saves screenshots. Subclasses add curves
// whose fetch() supplies the samples.
#include "widgets/graph/qgraphregion.h"

#include <QColor>
#include <QList>
#include <QPen>
#include <QPoint>
#include <QVector>
#include <QWidget>

class QGraphCrossing;
class QGraphCursor;
class QGraphLegend;
class QGraphRegion;
class QGraphRubber;
class QGraphSignal;
class QGraphXAxis;
class QGraphYAxis;
class QImage;
class QMenu;
class QTimer;
class QtUndoManager;
class QtUndoStack;

class QGraphWindow : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(bool grid_on READ grid_on WRITE set_grid)
    Q_PROPERTY(QPoint global_pos READ global_pos)

public:
    enum SignalMode { Overlapped = 0, Separate = 1, Common = 2 };
    // Draw-mode entries of the context menu carry this plus the mode as id.
    static constexpr int draw_mode_id_base = 10000;

    explicit QGraphWindow(QWidget *parent = nullptr);
    ~QGraphWindow() override;

    // Takes the curve in: the next id, its own y axis and legend line, with
    // use_palette the next palette colour. Answers the id.
    int add_signal(QGraphSignal *signal, bool use_palette = true);
    // Takes the curve out of every list and forgets every reference to it, its
    // axis and legend line; the caller deletes the curve.
    void remove_signal(QGraphSignal *signal);
    void set_signal_color(QGraphSignal *signal, const QColor &colour);
    // Fixes the curve's y range and widens the common axis to include it.
    void set_signal_limits(QGraphSignal *signal, double maximum, double minimum);
    void update_common_y_limits();
    // Draw mode of the selected curves, or of all when none is selected.
    void set_draw_mode(int mode);
    // The mode the selected active curves (all active ones when none is
    // selected) share; 0 when they differ or there are none.
    int common_draw_mode() const;
    int signal_mode() const { return m_signal_mode; }
    void set_signal_mode(int mode);
    bool grid_on() const { return m_grid; }
    void set_grid(bool on);
    int font_size() const;
    bool cursor_mode() const { return m_cursor_mode; }
    void set_cursor_mode(bool on);
    bool is_online() const { return m_online; }
    void set_online(bool online);
    // Moves the visible range on by whole scroll steps; the curves fetch.
    void scroll_time(double seconds);
    QPoint global_pos() const { return mapToGlobal(QPoint(0, 0)); }

    QGraphXAxis *x_axis() const { return m_x_axis; }
    QGraphYAxis *common_y_axis() const { return m_common_y_axis; }
    QtUndoManager *undo_manager() const { return m_undo_manager; }
    QtUndoStack *undo_stack() const { return m_undo_stack; }
    const QList<QGraphSignal *> &signal_list() const { return m_signals; }
    QList<QGraphSignal *> selected_signals() const;
    QGraphCrossing *crossing(int index) const { return m_crossings[index]; }
    QGraphLegend *cursor_legend(int index) const { return m_cursor_legends[index]; }
    QGraphRubber *rubber() const { return m_rubber; }
    QGraphRegion *current_region() const { return m_current; }
    QRect plot_rect() const { return m_plot; }
    // The palette colour number index takes (modulo 32).
    static QColor palette_color(int index);

    // The context menu as a right click shows it; the caller owns it.
    QMenu *create_context_menu();
    // The window's painting in an image of its size.
    QImage screenshot() const;

signals:
    void signal_mode_has_changed();
    void grid_mode_has_changed();
    void selection_has_changed();

public slots:
    void set_signal_active(QGraphSignal *signal, bool active);
    void fit();
    void delete_selected_signals();
    void set_color_of_selected_signals();
    void show_properties_dialog(QGraphSignal *signal);
    void show_properties_dialog(int id);
    void deselect_all_regions();
    void toggle_grid() { set_grid(!m_grid); }
    void toggle_cursor_mode() { set_cursor_mode(!m_cursor_mode); }
    void set_font_size(int points);
    // Online only: moves the running time on by one step and scrolls when it
    // passes the right edge.
    void advance_time();
    void recalc_layout();
    void recalc_cursor_positions();
    void update_grid_in_overlapped_mode();
    void screenshot_to_clipboard();
    void screenshot_to_file();

protected:
    // Entries a subclass puts at the top of the context menu; none here.
    virtual void add_menu_items(QMenu *menu);

    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    void paint_area(QPainter &painter, const QRect &area) const;
    void paint_grid(QPainter &painter) const;
    // The topmost active region at point; with hit_test a curve region in the
    // overlapped and common modes stands for the curve nearest to the point.
    QGraphRegion *region_at(const QPoint &point, bool hit_test) const;
    GraphHit hit_signals(const QPoint &point) const;
    // Selects the curve a region belongs to (its axis or legend line) as one.
    void select_region(QGraphRegion *region, bool selected);
    QGraphSignal *signal_of(QGraphRegion *region) const;
    void add_region(QGraphRegion *region);
    void sort_regions();
    void set_current(QGraphRegion *region);
    // The axis the crossings read: the common one in common mode, else the
    // first active own axis.
    QGraphYAxis *cursor_y_axis() const;
    // The curves the draw mode and fit apply to: the selected ones, else all.
    QList<QGraphSignal *> concerned_signals(bool active_only) const;
    void apply_signal_mode();
    // A zoom, scroll or scale of an axis: the cursors keep their time and
    // value, so their lines move to where those are now drawn.
    void axis_limits_changed();
    QString signal_count_text(const char *all, const char *one, const char *many) const;

    QList<QGraphSignal *> m_signals;
    QList<QGraphLegend *> m_legends;
    QList<QGraphRegion *> m_regions;
    QList<QGraphYAxis *> m_y_axes;
    QGraphXAxis *m_x_axis;
    QGraphYAxis *m_common_y_axis;
    QGraphRegion *m_current = nullptr;
    QGraphCursor *m_cursor_lines[4];
    QGraphCrossing *m_crossings[2];
    QGraphLegend *m_cursor_legends[2];
    QGraphRubber *m_rubber;
    QtUndoManager *m_undo_manager;
    QtUndoStack *m_undo_stack;
    QTimer *m_cursor_timer = nullptr;
    QRect m_plot;
    QPen m_grid_pen;
    bool m_online = false;
    bool m_grid = true;
    bool m_cursor_mode = false;
    int m_signal_mode = Common;
    int m_layout_freeze = 0;
    int m_next_id = 1;
    QPoint m_press_position;
    QPoint m_last_position;
    bool m_pressed = false;
    QGraphRegion *m_pressed_region = nullptr;
    double m_running_time = 0.0;
    QString m_screenshot_directory;
};
