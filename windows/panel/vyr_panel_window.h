#pragma once
// The scroll view inside a panel window on which the items' widgets live.
// The item widgets are children of the viewport, placed at contents
// positions; the view has a fixed contents size and no scroll bars, so
// contents and viewport coordinates are the same. In the panel's edit mode
// it paints the empty-panel hint, the grid, the selection frames and the
// rubber band, and offers the editing context menu.
#include <QAbstractScrollArea>
#include <QPoint>
#include <QRect>
#include <QSize>

#include <memory>

class QMenu;
class QPainter;
class VyrPanel;

class VyrPanelWindow : public QAbstractScrollArea
{
    Q_OBJECT
public:
    explicit VyrPanelWindow(QWidget *parent);

    VyrPanel *panel() const { return m_panel; }
    void set_panel(VyrPanel *panel) { m_panel = panel; }

    QSize contents_size() const { return m_contents_size; }
    void resize_contents(int width, int height) { m_contents_size = QSize(width, height); }
    // Where new items from the context menu are placed (viewport coordinates).
    const QPoint &insertion_point() const { return m_insertion_point; }
    void set_insertion_point(const QPoint &point) { m_insertion_point = point; }
    bool selections_shown() const { return m_show_selections; }
    void set_selections_shown(bool show) { m_show_selections = show; }

    const QRect &rubber_rect() const { return m_rubber_band; }
    // Stores the frame and repaints the old and the new one with a margin of
    // more than a grid step.
    void set_rubber_rect(const QRect &rect);

    // The context menu with its entries enabled as the panel's state says;
    // choosing an entry runs it.
    std::unique_ptr<QMenu> build_context_menu();
    // Opens the context menu at a global position; new items go where it opened.
    void open_context_menu(const QPoint &global_position);

protected:
    // Key presses go to the panel (Delete removes the selected items).
    void keyPressEvent(QKeyEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    // A press on the empty surface clears the selection.
    void mousePressEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    void draw_contents(QPainter &painter, const QRect &clip);

    VyrPanel *m_panel = nullptr;
    QSize m_contents_size;
    QPoint m_insertion_point;
    bool m_show_selections = true;
    QRect m_rubber_band;
};
