#pragma once
// The scroll view inside a panel window on which the items' widgets live.
// The item widgets are children of the viewport, placed at contents
// positions; the view has a fixed contents size and no scroll bars.
#include <QAbstractScrollArea>
#include <QPoint>
#include <QRect>
#include <QSize>

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
    bool selections_shown() const { return m_show_selections; }
    void set_selections_shown(bool show) { m_show_selections = show; }

protected:
    // Key presses go to the panel (Delete removes the selected items).
    void keyPressEvent(QKeyEvent *event) override;

private:
    VyrPanel *m_panel = nullptr;
    QSize m_contents_size;
    QPoint m_insertion_point;
    bool m_show_selections = true;
};
