#pragma once
// The lightweight rectangular areas the graph widget paints and routes the
// mouse to (axes, curves, legend lines, cursors, rubber band), the per-column
// sample ring of a curve, the record a hit test fills and the number helpers
// the axes choose tick steps and label formats with.
#include <QColor>
#include <QObject>
#include <QRect>
#include <QString>
#include <vector>

class QPainter;
class QWidget;
class QGraphSignal;

class QGraphRegion : public QObject
{
    Q_OBJECT

public:
    // What the mouse may do with a region; one bit each.
    enum Flag {
        ClickMakesCurrent = 0x0001,
        Selectable = 0x0002,
        ScrollVertically = 0x0004,
        ScrollHorizontally = 0x0008,
        ScaleVertically = 0x0010,
        ScaleHorizontally = 0x0020,
        MovesInX = 0x0040,
        MovesInY = 0x0080,
        DoubleClickAction = 0x0100,
        OwnCursorShape = 0x0200,
        MeasuringTool = 0x0400,
        SnapsToCurve = 0x0800,
        HitTestsSignals = 0x1000,
        RubberBandStart = 0x2000,
        ClickTogglesSelection = 0x4000,
    };

    // The region paints on owner and repaints itself through owner->update().
    QGraphRegion(QWidget *owner, int flags);

    QWidget *owner() const { return m_owner; }
    QRect rect() const { return m_rect; }
    QString name() const { return m_name; }
    QString label() const { return m_label; }
    Qt::CursorShape cursor_shape() const { return m_cursor_shape; }
    void set_cursor_shape(Qt::CursorShape shape) { m_cursor_shape = shape; }
    QColor color() const { return m_color; }
    void set_color(const QColor &color);
    QColor selection_color() const { return m_selection_color; }
    void set_selection_color(const QColor &color) { m_selection_color = color; }
    int z() const { return m_z; }
    int id() const { return m_id; }
    void set_id(int id) { m_id = id; }
    int flags() const { return m_flags; }
    bool has_flag(int flag) const { return (m_flags & flag) != 0; }
    // The window switches mouse gestures off and on (online display, snap mode).
    void set_flags(int flags) { m_flags = flags; }
    bool is_active() const { return m_active; }
    bool mode() const { return m_mode; }
    bool is_laid_out() const { return m_laid_out; }
    void set_laid_out(bool laid_out) { m_laid_out = laid_out; }
    bool is_current() const { return m_current; }

    // Metrics of the owner's font, read again by update_font().
    int font_leading() const { return m_font_leading; }
    int font_height() const { return m_font_height; }
    int font_ascent() const { return m_font_ascent; }
    int font_descent() const { return m_font_descent; }
    int zero_width() const { return m_zero_width; }
    void update_font();

    // Asks the owner to repaint the region's rectangle.
    void repaint();

    virtual void scroll_by_pixels(int pixels);
    virtual void scale_by_pixels(int pixels);
    virtual void double_click_action();
    virtual void set_geometry(const QRect &rect);
    virtual void scroll_by(int dx, int dy);
    virtual void set_name(const QString &name);
    virtual void set_label(const QString &label);
    virtual bool is_selected() const;
    virtual void set_selected(bool selected);
    virtual void set_active(bool active);
    virtual void set_mode(bool mode);
    virtual void set_current(bool current);
    virtual void set_z(int z);
    virtual void relayout();
    // The room the region wishes; 0 when it has no wish.
    virtual int preferred_width() const = 0;
    virtual int preferred_height() const = 0;
    // Paints the region; area is the part of the owner being repainted.
    virtual void paint(QPainter &painter, const QRect &area) = 0;

signals:
    // The region needs more room than it has.
    void layout_change_required();
    void activity_changed();

protected:
    QWidget *m_owner;
    QRect m_rect;
    QString m_name;
    QString m_label;
    Qt::CursorShape m_cursor_shape = Qt::ArrowCursor;
    QColor m_color = Qt::white;
    QColor m_selection_color = QColor(0, 0, 128);
    int m_z = 0;
    int m_id = 0;
    int m_flags;
    bool m_selected = false;
    bool m_active = false;
    bool m_mode = false;
    bool m_laid_out = false;
    bool m_current = false;
    int m_font_leading = 0;
    int m_font_height = 0;
    int m_font_ascent = 0;
    int m_font_descent = 0;
    int m_zero_width = 0;
};

// A ring of doubles, one entry per pixel column of the plot. Its capacity is a
// power of two, so it holds at most capacity - 1 entries.
class SampleRing
{
public:
    // Room for more than columns entries: the smallest power of two above
    // columns, at least 16.
    explicit SampleRing(int columns = 0);

    int capacity() const { return int(m_values.size()); }
    int count() const;
    bool is_empty() const { return m_read == m_write; }
    // Appends a value; a full ring drops its oldest one.
    void append(double value);
    // The i-th entry from the oldest; 0.0 beyond the count.
    double at(int i) const;
    // Puts the iteration cursor on the oldest entry; false when empty.
    bool first(double &value);
    // Advances the cursor; false when it reaches the end.
    bool next(double &value);
    // Moves the cursor back by up to n entries, not before the oldest.
    void back(int n);
    // Drops up to n of the oldest entries, never more than it holds.
    void drop_front(int n);
    void reset();

private:
    std::vector<double> m_values;
    int m_mask;
    int m_read = 0;
    int m_write = 0;
    int m_cursor = 0;
};

// What a hit test of the signal curves found nearest to the mouse.
struct GraphHit
{
    double tolerance = 15.0;
    double best_distance = 0.0;
    int mouse_x = 0;
    int mouse_y = 0;
    double hit_x = 0.0;
    double hit_y = 0.0;
    double hit_time = 0.0;
    double hit_value = 0.0;
    QGraphSignal *hit_signal = nullptr;
};

// A tick step near x from the row 1, 2, 2.5, 5, 7.5, 10 times a power of ten,
// never below |x|; 1 for 0 and for a value that is not finite.
double graph_nice_step(double x);
// Width and decimals of a "%*.*f" label that shows x.
void graph_label_format(double x, int &width, int &decimals);
int graph_max3(int a, int b, int c);
