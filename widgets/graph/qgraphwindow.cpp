#include "widgets/graph/qgraphwindow.h"

#include "lib/qtundo/qtundo.h"
#include "widgets/graph/qgraphaxis.h"
#include "widgets/graph/qgraphcursor.h"
#include "widgets/graph/qgraphdialogsignalproperties.h"
#include "widgets/graph/qgraphlegend.h"
#include "widgets/graph/qgraphsignal.h"

#include <QActionGroup>
#include <QApplication>
#include <QClipboard>
#include <QColorDialog>
#include <QContextMenuEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QImage>
#include <QImageWriter>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QTimer>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

namespace {

const int palette_size = 32;
const double advance_step = 0.03;
const int cursor_line_thickness = 5;
const int crossing_size = 11;
const int smallest_strip_height = 10;

} // namespace

QGraphWindow::QGraphWindow(QWidget *parent) : QWidget(parent)
{
    setFont(QFont("Courier New", 8));
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, Qt::black);
    setPalette(colours);
    m_grid_pen = QPen(QColor(196, 196, 196), 0, Qt::DotLine);

    m_undo_manager = new QtUndoManager(this);
    m_undo_stack = new QtUndoStack(this, "qgraph_undo_stack", m_undo_manager);

    m_x_axis = new QGraphXAxis(this, m_undo_stack);
    m_x_axis->set_active(true);
    add_region(m_x_axis);
    m_common_y_axis = new QGraphYAxis(this, m_undo_stack);
    m_common_y_axis->set_name(tr("Common"));
    add_region(m_common_y_axis);
    connect(m_common_y_axis, &QGraphRegion::layout_change_required, this, &QGraphWindow::recalc_layout);
    connect(m_x_axis, &QGraphRegion::layout_change_required, this, &QGraphWindow::recalc_layout);
    connect(m_x_axis, &QGraphXAxis::limits_changed, this, &QGraphWindow::axis_limits_changed);
    connect(m_common_y_axis, &QGraphYAxis::limits_changed, this, &QGraphWindow::axis_limits_changed);

    const QColor cursor_colours[2] = {Qt::yellow, Qt::red};
    for (int i = 0; i < 2; ++i) {
        QGraphCursor *vertical = new QGraphCursor(this, QGraphCursor::Vertical);
        QGraphCursor *horizontal = new QGraphCursor(this, QGraphCursor::Horizontal);
        m_cursor_lines[2 * i] = vertical;
        m_cursor_lines[2 * i + 1] = horizontal;
        m_crossings[i] = new QGraphCrossing(this);
        m_crossings[i]->set_lines(vertical, horizontal);
        m_crossings[i]->set_x_axis(m_x_axis);
        QGraphLegend *legend = new QGraphLegend(this);
        legend->set_name(i == 0 ? "CURSOR1" : "CURSOR2");
        legend->set_flags(legend->flags() | QGraphRegion::MeasuringTool);
        m_cursor_legends[i] = legend;
        for (QGraphRegion *region : {static_cast<QGraphRegion *>(vertical), static_cast<QGraphRegion *>(horizontal),
                                     static_cast<QGraphRegion *>(m_crossings[i]), static_cast<QGraphRegion *>(legend)}) {
            region->set_color(cursor_colours[i]);
            add_region(region);
        }
        m_crossings[i]->legends().append(legend);
    }
    m_cursor_legends[0]->set_crossings(m_crossings[0], nullptr);
    m_cursor_legends[1]->set_crossings(m_crossings[1], m_crossings[0]);
    m_crossings[0]->legends().append(m_cursor_legends[1]);

    m_rubber = new QGraphRubber(this, m_undo_stack);
    add_region(m_rubber);
    sort_regions();
    set_signal_mode(Common);
    apply_signal_mode();
    recalc_layout();
    connect(this, &QGraphWindow::selection_has_changed, this, &QGraphWindow::update_grid_in_overlapped_mode);
}

QGraphWindow::~QGraphWindow()
{
    // The regions are children of the window; the stack goes before its manager.
    delete m_cursor_timer;
    delete m_undo_stack;
}

QColor QGraphWindow::palette_color(int index)
{
    return QColor::fromHsv((41 * (index % palette_size)) % 360, 255, 255);
}

void QGraphWindow::add_region(QGraphRegion *region)
{
    m_regions.append(region);
}

void QGraphWindow::sort_regions()
{
    std::stable_sort(m_regions.begin(), m_regions.end(),
                     [](const QGraphRegion *a, const QGraphRegion *b) { return a->z() < b->z(); });
}

int QGraphWindow::add_signal(QGraphSignal *signal, bool use_palette)
{
    const int id = m_next_id++;
    signal->setParent(this);
    signal->set_id(id);
    if (use_palette)
        signal->set_color(palette_color(m_signals.size()));
    auto *axis = new QGraphYAxis(this, m_undo_stack);
    axis->set_id(id);
    axis->set_name(signal->name());
    axis->set_label(signal->unit());
    axis->set_color(signal->color());
    axis->add_signal(signal);
    auto *legend = new QGraphLegend(this, signal);
    legend->set_id(id);
    legend->set_color(signal->color());
    legend->set_y_axis(axis);
    legend->set_crossings(m_crossings[0], m_crossings[1]);
    signal->set_own_y_axis(axis);
    signal->set_legend(legend);
    signal->set_x_axis(m_x_axis);
    m_x_axis->add_signal(signal);

    connect(signal, &QGraphSignal::show_properties_dialog, this,
            qOverload<QGraphSignal *>(&QGraphWindow::show_properties_dialog));
    connect(axis, &QGraphYAxis::set_signal_active, this, &QGraphWindow::set_signal_active);
    connect(legend, &QGraphLegend::set_signal_active, this, &QGraphWindow::set_signal_active);
    connect(axis, &QGraphRegion::layout_change_required, this, &QGraphWindow::recalc_layout);
    connect(signal, &QGraphRegion::activity_changed, this, qOverload<>(&QWidget::update));
    connect(axis, &QGraphYAxis::limits_changed, signal, &QGraphRegion::repaint);
    connect(axis, &QGraphYAxis::limits_changed, this, &QGraphWindow::axis_limits_changed);

    m_signals.append(signal);
    m_y_axes.append(axis);
    m_legends.append(legend);
    add_region(signal);
    add_region(axis);
    add_region(legend);
    for (QGraphCrossing *crossing : m_crossings)
        crossing->legends().append(legend);
    signal->set_active(true);
    apply_signal_mode();
    update_common_y_limits();
    sort_regions();
    recalc_layout();
    return id;
}

void QGraphWindow::remove_signal(QGraphSignal *signal)
{
    const int index = m_signals.indexOf(signal);
    if (index < 0)
        return;
    QGraphYAxis *axis = m_y_axes.at(index);
    QGraphLegend *legend = m_legends.at(index);
    // Every reference the mouse, the rubber band and the cursors keep to the
    // curve, its axis or its legend line goes with them: a later drag, zoom
    // or legend paint would use what is deleted.
    for (QGraphRegion *gone : {static_cast<QGraphRegion *>(signal), static_cast<QGraphRegion *>(axis),
                               static_cast<QGraphRegion *>(legend)}) {
        m_regions.removeAll(gone);
        if (m_current == gone)
            m_current = nullptr;
        if (m_pressed_region == gone)
            m_pressed_region = nullptr;
    }
    if (m_rubber->target() == signal) {
        m_rubber->set_target(nullptr);
        m_rubber->set_mode(false);
        m_rubber->set_active(false);
    }
    for (QGraphCrossing *crossing : m_crossings) {
        crossing->legends().removeAll(legend);
        if (crossing->y_axis() == axis)
            crossing->set_y_axis(nullptr);
    }
    m_signals.removeAt(index);
    m_y_axes.removeAt(index);
    m_legends.removeAt(index);
    m_x_axis->remove_signal(signal);
    m_common_y_axis->remove_signal(signal);
    signal->disconnect(this);
    signal->set_own_y_axis(nullptr);
    signal->set_y_axis(nullptr);
    signal->set_legend(nullptr);
    delete legend;
    delete axis;
    if (m_cursor_mode) {
        for (QGraphCrossing *crossing : m_crossings) {
            if (!crossing->y_axis())
                crossing->set_y_axis(cursor_y_axis());
        }
    }
    update_common_y_limits();
    sort_regions();
    recalc_layout();
    update();
}

void QGraphWindow::delete_selected_signals()
{
    QList<QGraphSignal *> doomed = selected_signals();
    if (doomed.isEmpty())
        doomed = m_signals;
    for (QGraphSignal *signal : doomed) {
        remove_signal(signal);
        delete signal;
    }
    emit selection_has_changed();
}

QList<QGraphSignal *> QGraphWindow::selected_signals() const
{
    QList<QGraphSignal *> selected;
    for (QGraphSignal *signal : m_signals) {
        if (signal->is_selected())
            selected.append(signal);
    }
    return selected;
}

QList<QGraphSignal *> QGraphWindow::concerned_signals(bool active_only) const
{
    QList<QGraphSignal *> concerned;
    const bool any_selected = !selected_signals().isEmpty();
    for (QGraphSignal *signal : m_signals) {
        if ((!active_only || signal->is_active()) && (!any_selected || signal->is_selected()))
            concerned.append(signal);
    }
    return concerned;
}

void QGraphWindow::set_signal_color(QGraphSignal *signal, const QColor &colour)
{
    signal->set_color(colour);
    if (signal->own_y_axis())
        signal->own_y_axis()->set_color(colour);
    for (QGraphLegend *legend : m_legends) {
        if (legend->id() == signal->id())
            legend->set_color(colour);
    }
}

void QGraphWindow::set_signal_limits(QGraphSignal *signal, double maximum, double minimum)
{
    graph_widen_empty_span(maximum, minimum);
    signal->set_data_limits(maximum, minimum);
    if (signal->own_y_axis())
        signal->own_y_axis()->set_limits(maximum, minimum);
    m_common_y_axis->add_signal(signal);
    const double common_maximum = std::max(maximum, m_common_y_axis->maximum());
    const double common_minimum = std::min(minimum, m_common_y_axis->minimum());
    m_common_y_axis->set_limits(common_maximum, common_minimum);
}

void QGraphWindow::update_common_y_limits()
{
    double minimum = 0.0, maximum = 0.0;
    for (int i = 0; i < m_signals.size(); ++i) {
        const QGraphSignal *signal = m_signals.at(i);
        minimum = i == 0 ? signal->y_minimum() : std::min(minimum, signal->y_minimum());
        maximum = i == 0 ? signal->y_maximum() : std::max(maximum, signal->y_maximum());
    }
    if (m_signals.isEmpty() || (minimum == 0.0 && maximum == 0.0)) {
        minimum = -10.0;
        maximum = 10.0;
    }
    graph_widen_empty_span(maximum, minimum);
    m_common_y_axis->set_limits(maximum, minimum);
}

void QGraphWindow::set_signal_active(QGraphSignal *signal, bool active)
{
    signal->set_active(active);
    if (m_signal_mode == Separate && signal->own_y_axis())
        signal->own_y_axis()->set_active(active);
    update_grid_in_overlapped_mode();
    recalc_layout();
    update();
}

void QGraphWindow::set_draw_mode(int mode)
{
    for (QGraphSignal *signal : concerned_signals(false))
        signal->set_draw_mode(mode);
}

int QGraphWindow::common_draw_mode() const
{
    int mode = 0;
    for (QGraphSignal *signal : concerned_signals(true)) {
        if (mode == 0)
            mode = signal->draw_mode();
        else if (mode != signal->draw_mode())
            return 0;
    }
    return mode;
}

void QGraphWindow::set_signal_mode(int mode)
{
    if (mode < Overlapped || mode > Common || mode == m_signal_mode)
        return;
    const bool cursors = m_cursor_mode;
    if (cursors)
        set_cursor_mode(false);
    m_signal_mode = mode;
    apply_signal_mode();
    sort_regions();
    recalc_layout();
    recalc_layout();
    if (cursors)
        set_cursor_mode(true);
    emit signal_mode_has_changed();
}

// Gives every curve and its own axis what the signal mode asks.
void QGraphWindow::apply_signal_mode()
{
    const int own_axis_selection = QGraphRegion::Selectable | QGraphRegion::ClickTogglesSelection;
    for (int i = 0; i < m_signals.size(); ++i) {
        QGraphSignal *signal = m_signals.at(i);
        QGraphYAxis *axis = m_y_axes.at(i);
        QGraphLegend *legend = m_legends.at(i);
        switch (m_signal_mode) {
        case Separate:
            axis->set_flags(axis->flags() | own_axis_selection);
            axis->set_selected(legend->is_selected());
            axis->set_active(signal->is_active());
            signal->set_y_axis(axis);
            break;
        case Overlapped: {
            const bool selected = signal->is_selected();
            axis->set_selected(false);
            axis->set_flags(axis->flags() & ~own_axis_selection);
            legend->set_selected(selected);
            signal->set_y_axis(axis);
            break;
        }
        default:
            axis->set_active(false);
            signal->set_y_axis(m_common_y_axis);
            m_common_y_axis->add_signal(signal);
            break;
        }
        if (m_signal_mode != Common)
            m_common_y_axis->remove_signal(signal);
    }
    m_common_y_axis->set_active(m_signal_mode == Common);
    if (m_signal_mode == Overlapped)
        update_grid_in_overlapped_mode();
}

void QGraphWindow::update_grid_in_overlapped_mode()
{
    if (m_signal_mode != Overlapped)
        return;
    bool changed = false;
    for (int i = 0; i < m_signals.size(); ++i) {
        const bool shown = m_legends.at(i)->is_selected() && m_signals.at(i)->is_active();
        if (m_y_axes.at(i)->is_active() != shown) {
            m_y_axes.at(i)->set_active(shown);
            changed = true;
        }
    }
    if (changed)
        recalc_layout();
    update();
}

void QGraphWindow::set_grid(bool on)
{
    if (on == m_grid)
        return;
    m_grid = on;
    update();
    emit grid_mode_has_changed();
}

int QGraphWindow::font_size() const
{
    return font().pointSize();
}

void QGraphWindow::set_font_size(int points)
{
    QFont changed = font();
    changed.setPointSize(points);
    setFont(changed);
    for (QGraphRegion *region : m_regions)
        region->update_font();
    for (QGraphYAxis *axis : m_y_axes)
        axis->update_font();
    recalc_layout();
}

QGraphYAxis *QGraphWindow::cursor_y_axis() const
{
    if (m_signal_mode == Common)
        return m_common_y_axis;
    for (int i = 0; i < m_signals.size(); ++i) {
        if (m_signals.at(i)->is_active())
            return m_y_axes.at(i);
    }
    return nullptr;
}

void QGraphWindow::set_cursor_mode(bool on)
{
    if (on == m_cursor_mode)
        return;
    m_cursor_mode = on;
    if (on) {
        QGraphYAxis *axis = cursor_y_axis();
        const double span = m_x_axis->span();
        for (int i = 0; i < 2; ++i) {
            const double part = (i + 1) / 3.0;
            m_crossings[i]->set_y_axis(axis);
            const double value = axis ? axis->minimum() + (axis->maximum() - axis->minimum()) * part : 0.0;
            m_crossings[i]->set_position(m_x_axis->minimum() + span * part, value);
        }
        for (QGraphRegion *region : m_cursor_lines)
            region->set_active(true);
        for (int i = 0; i < 2; ++i) {
            m_crossings[i]->set_active(true);
            m_cursor_legends[i]->set_active(true);
        }
        m_cursor_timer = new QTimer(this);
        m_cursor_timer->setInterval(100);
        for (QGraphCursor *line : m_cursor_lines)
            connect(m_cursor_timer, &QTimer::timeout, line, &QGraphCursor::indicate_activity);
        m_cursor_timer->start();
    } else {
        for (QGraphRegion *region : m_cursor_lines)
            region->set_active(false);
        for (int i = 0; i < 2; ++i) {
            m_crossings[i]->set_active(false);
            m_cursor_legends[i]->set_active(false);
        }
        delete m_cursor_timer;
        m_cursor_timer = nullptr;
    }
    recalc_layout();
    update();
}

void QGraphWindow::set_online(bool online)
{
    m_online = online;
    const int x_gestures = QGraphRegion::ScrollHorizontally | QGraphRegion::ScaleHorizontally |
                           QGraphRegion::OwnCursorShape;
    for (QGraphSignal *signal : m_signals) {
        const int flags = signal->flags() & ~QGraphRegion::RubberBandStart;
        signal->set_flags(online ? flags : flags | QGraphRegion::RubberBandStart);
    }
    const int axis_flags = m_x_axis->flags() & ~x_gestures;
    m_x_axis->set_flags(online ? axis_flags : axis_flags | x_gestures);
    if (online) {
        m_x_axis->raise_update_counter();
        m_running_time = m_x_axis->maximum();
    }
    update();
}

void QGraphWindow::scroll_time(double seconds)
{
    m_x_axis->scroll_time(seconds);
}

void QGraphWindow::advance_time()
{
    if (!m_online)
        return;
    m_running_time += advance_step;
    if (m_running_time > m_x_axis->maximum())
        scroll_time(m_running_time - m_x_axis->maximum());
}

void QGraphWindow::fit()
{
    m_undo_stack->push(new QtCommand(QtCommand::MacroBegin, tr("Fit")));
    bool any = false;
    double maximum = 0.0, minimum = 0.0;
    for (QGraphSignal *signal : concerned_signals(true)) {
        signal->compute_limits();
        double data_maximum = signal->data_maximum(), data_minimum = signal->data_minimum();
        // A constant curve gives equal limits: the axis gets a span around it.
        graph_widen_empty_span(data_maximum, data_minimum);
        if (signal->y_axis() && signal->y_axis() != m_common_y_axis)
            signal->y_axis()->set_range(data_maximum, data_minimum, tr("Fit Y"));
        maximum = any ? std::max(maximum, data_maximum) : data_maximum;
        minimum = any ? std::min(minimum, data_minimum) : data_minimum;
        any = true;
    }
    if (any && m_common_y_axis->is_active())
        m_common_y_axis->set_range(maximum, minimum, tr("Fit Common Y"));
    m_undo_stack->push(new QtCommand(QtCommand::MacroEnd));
}

void QGraphWindow::set_color_of_selected_signals()
{
    const QList<QGraphSignal *> selected = selected_signals();
    if (selected.isEmpty())
        return;
    const QColor colour = QColorDialog::getColor(selected.first()->color(), this);
    if (!colour.isValid())
        return;
    for (QGraphSignal *signal : selected)
        set_signal_color(signal, colour);
}

void QGraphWindow::show_properties_dialog(int id)
{
    for (QGraphSignal *signal : m_signals) {
        if (signal->id() == id)
            show_properties_dialog(signal);
    }
}

void QGraphWindow::show_properties_dialog(QGraphSignal *signal)
{
    QGraphDialogSignalProperties dialog(this, "signal_properties_dialog", true);
    dialog.set_fixed_limits(signal->fixed_limits());
    dialog.set_color(signal->color());
    dialog.set_limits(signal->y_maximum(), signal->y_minimum());
    if (dialog.exec() != QDialog::Accepted)
        return;
    set_signal_color(signal, dialog.color());
    signal->set_fixed_limits(dialog.fixed_limits());
    if (dialog.fixed_limits()) {
        signal->set_y_limits(dialog.maximum(), dialog.minimum());
        set_signal_limits(signal, dialog.maximum(), dialog.minimum());
    }
    update_common_y_limits();
    update();
}

void QGraphWindow::deselect_all_regions()
{
    bool changed = false;
    for (QGraphRegion *region : m_regions) {
        if (region->is_selected()) {
            region->set_selected(false);
            changed = true;
        }
    }
    if (changed)
        emit selection_has_changed();
}

void QGraphWindow::recalc_layout()
{
    if (m_layout_freeze > 0)
        return;
    ++m_layout_freeze;
    const int width = this->width();
    const int height = this->height();
    const int margin = fontMetrics().height() / 4;

    // Legend lines: a curve's line in separate mode only while it is off.
    QList<QGraphLegend *> signal_lines;
    for (int i = 0; i < m_signals.size(); ++i) {
        QGraphLegend *legend = m_legends.at(i);
        const bool shown = m_signal_mode != Separate || !m_signals.at(i)->is_active();
        legend->set_active(shown);
        if (shown)
            signal_lines.append(legend);
    }
    QList<QGraphLegend *> cursor_lines;
    if (m_cursor_mode)
        cursor_lines = {m_cursor_legends[0], m_cursor_legends[1]};
    int name_width = 0;
    int signal_lines_height = 0, cursor_lines_height = 0;
    for (QGraphLegend *legend : signal_lines) {
        name_width = std::max(name_width, legend->name().size() + legend->label().size() + 3);
        signal_lines_height += legend->preferred_height();
    }
    for (QGraphLegend *legend : cursor_lines) {
        name_width = std::max(name_width, legend->name().size() + 3);
        cursor_lines_height += legend->preferred_height();
    }
    QList<QGraphLegend *> shown_lines;
    if (signal_lines_height + cursor_lines_height <= height / 2)
        shown_lines = signal_lines + cursor_lines;
    else if (cursor_lines_height <= height / 2)
        shown_lines = cursor_lines;
    for (QGraphLegend *legend : m_legends + QList<QGraphLegend *>{m_cursor_legends[0], m_cursor_legends[1]})
        legend->set_laid_out(shown_lines.contains(legend));
    int bottom = height;
    for (int i = shown_lines.size() - 1; i >= 0; --i) {
        QGraphLegend *legend = shown_lines.at(i);
        const int line_height = legend->preferred_height();
        bottom -= line_height;
        legend->set_name_width(name_width);
        legend->set_geometry(QRect(0, bottom, width, line_height));
    }

    const int x_axis_height = m_x_axis->preferred_height();
    const int plot_top = margin;
    const int plot_bottom = bottom - x_axis_height - 1;
    const int plot_height = std::max(0, plot_bottom - plot_top + 1);

    QList<int> active;
    for (int i = 0; i < m_signals.size(); ++i) {
        if (m_signals.at(i)->is_active())
            active.append(i);
    }
    for (QGraphYAxis *axis : m_y_axes)
        axis->set_laid_out(false);
    m_common_y_axis->set_laid_out(false);
    int plot_left = 0;
    QVector<QRect> signal_rects(m_signals.size());
    if (m_signal_mode == Separate) {
        int axis_width = 0;
        for (int i : active)
            axis_width = std::max(axis_width, m_y_axes.at(i)->preferred_width());
        plot_left = axis_width;
        const int strips = std::max<int>(1, active.size());
        const int strip_height = std::max(smallest_strip_height, plot_height / strips);
        for (int n = 0; n < active.size(); ++n) {
            const int i = active.at(n);
            const QRect strip(plot_left, plot_top + n * strip_height, std::max(0, width - plot_left - margin),
                              strip_height);
            signal_rects[i] = strip;
            m_y_axes.at(i)->set_geometry(QRect(0, strip.top(), axis_width, strip_height));
            m_y_axes.at(i)->set_laid_out(true);
        }
    } else if (m_signal_mode == Overlapped) {
        for (int i : active) {
            QGraphYAxis *axis = m_y_axes.at(i);
            if (!axis->is_active())
                continue;
            const int axis_width = axis->preferred_width();
            axis->set_geometry(QRect(plot_left, plot_top, axis_width, plot_height));
            axis->set_laid_out(true);
            plot_left += axis_width;
        }
    } else {
        plot_left = m_common_y_axis->preferred_width();
        m_common_y_axis->set_geometry(QRect(0, plot_top, plot_left, plot_height));
        m_common_y_axis->set_laid_out(true);
    }
    m_plot = QRect(plot_left, plot_top, std::max(0, width - plot_left - margin), plot_height);
    m_x_axis->set_geometry(QRect(m_plot.left(), m_plot.bottom() + 1, m_plot.width(), x_axis_height));
    m_x_axis->set_laid_out(true);
    m_x_axis->relayout();
    for (int i = 0; i < m_signals.size(); ++i) {
        QGraphSignal *signal = m_signals.at(i);
        const QRect rect = m_signal_mode == Separate ? signal_rects.at(i) : m_plot;
        signal->set_laid_out(signal->is_active() && !rect.isEmpty());
        if (!signal->is_active())
            continue;
        const bool resized = rect.size() != signal->rect().size();
        signal->set_geometry(rect);
        if (!resized)
            signal->refetch();
        // The axis ticks follow the strip height.
        signal->y_axis()->relayout();
    }
    m_rubber->set_laid_out(true);
    --m_layout_freeze;
    recalc_cursor_positions();
    update();
}

void QGraphWindow::recalc_cursor_positions()
{
    for (int i = 0; i < 2; ++i) {
        QGraphCrossing *crossing = m_crossings[i];
        const double part = (i + 1) / 3.0;
        int x = m_plot.left() + int(m_plot.width() * part);
        int y = m_plot.top() + int(m_plot.height() * part);
        if (m_x_axis->time_per_pixel() > 0.0)
            x = int(std::lround((crossing->time() - m_x_axis->minimum()) / m_x_axis->time_per_pixel())) +
                m_x_axis->rect().left();
        QGraphYAxis *axis = crossing->y_axis();
        if (axis && axis->value_per_pixel() > 0.0)
            y = axis->rect().bottom() - int(std::lround((crossing->value() - axis->minimum()) / axis->value_per_pixel()));
        // Far outside the plot the lines are clipped anyway.
        x = std::max(-10000, std::min(10000, x));
        y = std::max(-10000, std::min(10000, y));
        crossing->vertical_line()->set_geometry(
            QRect(x - cursor_line_thickness / 2, m_plot.top(), cursor_line_thickness, m_plot.height()));
        crossing->horizontal_line()->set_geometry(
            QRect(m_x_axis->rect().left(), y - cursor_line_thickness / 2, m_x_axis->rect().width(),
                  cursor_line_thickness));
        crossing->set_geometry(QRect(x - crossing_size / 2, y - crossing_size / 2, crossing_size, crossing_size));
        for (QGraphRegion *region : {static_cast<QGraphRegion *>(crossing),
                                     static_cast<QGraphRegion *>(crossing->vertical_line()),
                                     static_cast<QGraphRegion *>(crossing->horizontal_line())})
            region->set_laid_out(true);
    }
}

void QGraphWindow::axis_limits_changed()
{
    if (!m_cursor_mode)
        return;
    recalc_cursor_positions();
    update();
}

void QGraphWindow::resizeEvent(QResizeEvent *)
{
    m_rubber->set_active(false);
    m_x_axis->reset_blit_count();
    recalc_layout();
}

void QGraphWindow::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    painter.setFont(font());
    for (const QRect &rect : event->region())
        paint_area(painter, rect);
}

void QGraphWindow::paint_area(QPainter &painter, const QRect &area) const
{
    painter.save();
    painter.setClipRect(area);
    painter.fillRect(area, palette().color(QPalette::Window));
    if (m_rubber->is_active() && m_rubber->rect().intersects(area))
        m_rubber->paint(painter, area);
    if (m_grid)
        paint_grid(painter);
    for (QGraphRegion *region : m_regions) {
        if (region != m_rubber && region->is_active() && region->is_laid_out() && region->rect().intersects(area))
            region->paint(painter, area);
    }
    painter.restore();
}

void QGraphWindow::paint_grid(QPainter &painter) const
{
    painter.save();
    painter.setPen(m_grid_pen);
    if (m_x_axis->span() > 0.0 && m_x_axis->divisions() >= 1) {
        for (int i = 1; i <= m_x_axis->divisions() + 1; ++i) {
            const int x = m_plot.left() + int((m_x_axis->tick_value(i) - m_x_axis->minimum()) * m_plot.width() /
                                              m_x_axis->span());
            if (x >= m_plot.left() && x <= m_plot.right())
                painter.drawLine(x, m_plot.top(), x, m_plot.bottom());
        }
    }
    QList<const QGraphYAxis *> axes;
    if (m_signal_mode == Common) {
        axes.append(m_common_y_axis);
    } else {
        for (int i = 0; i < m_signals.size(); ++i) {
            const QGraphYAxis *axis = m_y_axes.at(i);
            const bool wanted = m_signal_mode == Separate ? axis->is_active() : axis->is_active() && axis->is_laid_out();
            if (wanted && m_signals.at(i)->is_active())
                axes.append(axis);
        }
    }
    for (const QGraphYAxis *axis : axes) {
        if (axis->value_per_pixel() <= 0.0)
            continue;
        for (double value : axis->visible_ticks()) {
            const int y = axis->rect().bottom() - int((value - axis->minimum()) / axis->value_per_pixel());
            painter.drawLine(m_plot.left(), y, m_plot.right(), y);
        }
    }
    painter.restore();
}

QImage QGraphWindow::screenshot() const
{
    QImage image(size(), QImage::Format_RGB32);
    QPainter painter(&image);
    painter.setFont(font());
    paint_area(painter, rect());
    return image;
}

GraphHit QGraphWindow::hit_signals(const QPoint &point) const
{
    GraphHit hit;
    hit.mouse_x = point.x();
    hit.mouse_y = point.y();
    for (QGraphSignal *signal : m_signals) {
        if (signal->is_active() && signal->is_laid_out())
            signal->hit_test(hit);
    }
    return hit;
}

QGraphRegion *QGraphWindow::region_at(const QPoint &point, bool hit_test) const
{
    for (int i = m_regions.size() - 1; i >= 0; --i) {
        QGraphRegion *region = m_regions.at(i);
        if (!region->is_active() || !region->is_laid_out() || !region->rect().contains(point))
            continue;
        if (hit_test && region->has_flag(QGraphRegion::HitTestsSignals) && m_signal_mode != Separate) {
            const GraphHit hit = hit_signals(point);
            return hit.hit_signal && hit.best_distance <= hit.tolerance ? hit.hit_signal : nullptr;
        }
        return region;
    }
    return nullptr;
}

QGraphSignal *QGraphWindow::signal_of(QGraphRegion *region) const
{
    for (int i = 0; i < m_signals.size(); ++i) {
        if (region == m_signals.at(i) || region == m_y_axes.at(i) || region == m_legends.at(i))
            return m_signals.at(i);
    }
    return nullptr;
}

void QGraphWindow::select_region(QGraphRegion *region, bool selected)
{
    if (QGraphSignal *signal = signal_of(region))
        signal->set_selected(selected);
    else
        region->set_selected(selected);
}

void QGraphWindow::set_current(QGraphRegion *region)
{
    if (m_current == region)
        return;
    if (m_current)
        m_current->set_current(false);
    m_current = region;
    if (region)
        region->set_current(true);
}

void QGraphWindow::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    const QPoint point = event->pos();
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    m_press_position = m_last_position = point;
    m_pressed = true;
    // Taken before the selection below changes: selecting a curve in the
    // overlapped mode shows its axis, and the new layout would put the
    // axis, not the curve, under the point.
    QGraphRegion *under = region_at(point, false);
    QGraphRegion *region = region_at(point, true);
    m_pressed_region = region;
    if (region) {
        if (region->has_flag(QGraphRegion::ClickMakesCurrent))
            set_current(region);
        if (region->has_flag(QGraphRegion::Selectable)) {
            if (ctrl || region->has_flag(QGraphRegion::ClickTogglesSelection)) {
                select_region(region, !region->is_selected());
            } else if (!(selected_signals().size() == 1 && region->is_selected())) {
                ++m_layout_freeze;
                deselect_all_regions();
                --m_layout_freeze;
                select_region(region, true);
            }
            emit selection_has_changed();
        }
    } else {
        deselect_all_regions();
        set_current(nullptr);
    }
    if (under && under->has_flag(QGraphRegion::RubberBandStart)) {
        m_rubber->set_target(signal_of(under));
        m_rubber->stretch(QRect(point, QSize(2, 2)));
        m_rubber->set_mode(true);
        m_rubber->set_active(true);
        m_rubber->set_laid_out(true);
    }
    update();
}

void QGraphWindow::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint point = event->pos();
    if (!m_pressed) {
        QGraphRegion *region = region_at(point, false);
        setCursor(region && region->has_flag(QGraphRegion::OwnCursorShape) ? region->cursor_shape()
                                                                            : Qt::ArrowCursor);
        return;
    }
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    const int dx = m_last_position.x() - point.x();
    const int dy = m_last_position.y() - point.y();
    if (QGraphRegion *region = m_pressed_region) {
        if (region->has_flag(QGraphRegion::SnapsToCurve)) {
            const GraphHit hit = hit_signals(point);
            if (hit.hit_signal && hit.best_distance <= hit.tolerance) {
                const QPoint centre = region->rect().center();
                region->scroll_by(int(std::lround(hit.hit_x)) - centre.x(), int(std::lround(hit.hit_y)) - centre.y());
            }
        }
        if (dy != 0) {
            if (region->has_flag(QGraphRegion::MovesInY))
                region->scroll_by(0, -dy);
            else if (!ctrl && region->has_flag(QGraphRegion::ScrollVertically))
                region->scroll_by_pixels(-dy);
            else if (ctrl && region->has_flag(QGraphRegion::ScaleVertically))
                region->scale_by_pixels(dy);
        }
        if (dx != 0) {
            if (region->has_flag(QGraphRegion::MovesInX))
                region->scroll_by(-dx, 0);
            else if (!ctrl && region->has_flag(QGraphRegion::ScrollHorizontally))
                region->scroll_by_pixels(dx);
            else if (ctrl && region->has_flag(QGraphRegion::ScaleHorizontally))
                region->scale_by_pixels(dx);
        }
    }
    if (m_rubber->mode()) {
        const QPoint corner(std::min(m_press_position.x(), point.x()), std::min(m_press_position.y(), point.y()));
        const QSize size(std::abs(point.x() - m_press_position.x()), std::abs(point.y() - m_press_position.y()));
        m_rubber->stretch(QRect(corner, size));
    }
    m_last_position = point;
}

void QGraphWindow::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    m_pressed = false;
    m_pressed_region = nullptr;
    if (m_rubber->mode())
        m_rubber->set_mode(false);
    update();
}

void QGraphWindow::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mouseDoubleClickEvent(event);
        return;
    }
    QGraphRegion *region = region_at(event->pos(), true);
    if (region && region->has_flag(QGraphRegion::DoubleClickAction))
        region->double_click_action();
    update();
}

void QGraphWindow::wheelEvent(QWheelEvent *event)
{
    QGraphRegion *region = region_at(event->position().toPoint(), false);
    const int delta = event->angleDelta().y();
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    if (!region || delta == 0) {
        event->ignore();
        return;
    }
    const int vertical = QGraphRegion::ScrollVertically | QGraphRegion::ScaleVertically;
    const int horizontal = QGraphRegion::ScrollHorizontally | QGraphRegion::ScaleHorizontally;
    if (region->flags() & vertical) {
        const int step = std::max(1, region->rect().height() / 20);
        if (!ctrl && region->has_flag(QGraphRegion::ScrollVertically))
            region->scroll_by_pixels(delta / -120 * step);
        else if (ctrl && region->has_flag(QGraphRegion::ScaleVertically))
            region->scale_by_pixels(delta / 120 * step);
    } else if (region->flags() & horizontal) {
        const int step = std::max(1, region->rect().width() / 20);
        if (!ctrl && region->has_flag(QGraphRegion::ScrollHorizontally))
            region->scroll_by_pixels(delta / -120 * step);
        else if (ctrl && region->has_flag(QGraphRegion::ScaleHorizontally))
            region->scale_by_pixels(delta / 120 * step);
    } else {
        event->ignore();
        return;
    }
    event->accept();
}

QString QGraphWindow::signal_count_text(const char *all, const char *one, const char *many) const
{
    const int selected = selected_signals().size();
    return tr(selected == 0 ? all : selected == 1 ? one : many);
}

void QGraphWindow::add_menu_items(QMenu *) {}

QMenu *QGraphWindow::create_context_menu()
{
    auto *menu = new QMenu(this);
    add_menu_items(menu);

    QAction *remove = menu->addAction(
        signal_count_text("Delete all Signals", "Delete selected Signal", "Delete selected Signals"), this,
        &QGraphWindow::delete_selected_signals);
    remove->setEnabled(!m_online);
    m_undo_manager->updateActions();
    menu->addAction(m_undo_manager->undoAction());
    menu->addAction(m_undo_manager->redoAction());
    menu->addAction(signal_count_text("Fit all Signals", "Fit selected Signal", "Fit selected Signals"), this,
                    &QGraphWindow::fit);
    QAction *colour = menu->addAction(tr("Set Color of selected Signals"), this,
                                      &QGraphWindow::set_color_of_selected_signals);
    colour->setEnabled(!selected_signals().isEmpty());
    QAction *grid = menu->addAction(tr("Grid"), this, &QGraphWindow::toggle_grid);
    grid->setCheckable(true);
    grid->setChecked(m_grid);
    QAction *cursors = menu->addAction(tr("Cursor Mode"), this, &QGraphWindow::toggle_cursor_mode);
    cursors->setCheckable(true);
    cursors->setChecked(m_cursor_mode);
    cursors->setEnabled(!m_online);

    if (!m_signals.isEmpty()) {
        QMenu *properties = menu->addMenu(tr("Signal Properties"));
        for (QGraphSignal *signal : m_signals) {
            const int id = signal->id();
            QAction *entry = properties->addAction(signal->name(), this, [this, id] { show_properties_dialog(id); });
            entry->setData(id);
        }
    }

    QMenu *modes = menu->addMenu(tr("Signal Mode"));
    const std::pair<const char *, int> mode_entries[] = {
        {"Separate Y-Axis", Separate}, {"Overlapped Y-Axis", Overlapped}, {"Common Y-Axis", Common}};
    for (const auto &entry : mode_entries) {
        const int mode = entry.second;
        QAction *action = modes->addAction(tr(entry.first), this, [this, mode] { set_signal_mode(mode); });
        action->setCheckable(true);
        action->setChecked(mode == m_signal_mode);
        action->setData(mode);
    }

    QMenu *draw_modes = menu->addMenu(tr("Draw Mode"));
    const char *draw_mode_names[] = {"Continuous Line", "Connect Samples", "Digital", "Bars", "Dots"};
    const int shared_mode = common_draw_mode();
    for (int mode = 1; mode <= 5; ++mode) {
        QAction *action =
            draw_modes->addAction(tr(draw_mode_names[mode - 1]), this, [this, mode] { set_draw_mode(mode); });
        action->setCheckable(true);
        action->setChecked(mode == shared_mode);
        action->setData(draw_mode_id_base + mode);
    }

    QMenu *sizes = menu->addMenu(tr("Font Size"));
    for (int size : {5, 6, 7, 8, 10, 11, 12, 14, 16}) {
        QAction *action = sizes->addAction(QString::number(size), this, [this, size] { set_font_size(size); });
        action->setCheckable(true);
        action->setChecked(size == font_size());
        action->setData(size);
    }

    menu->addSeparator();
    menu->addAction(tr("Screenshot to Clipboard"), this, &QGraphWindow::screenshot_to_clipboard);
    menu->addAction(tr("Screenshot to File"), this, &QGraphWindow::screenshot_to_file);
    return menu;
}

void QGraphWindow::contextMenuEvent(QContextMenuEvent *event)
{
    QMenu *menu = create_context_menu();
    menu->exec(event->globalPos());
    delete menu;
}

void QGraphWindow::screenshot_to_clipboard()
{
    QApplication::clipboard()->setImage(screenshot());
}

void QGraphWindow::screenshot_to_file()
{
    QStringList formats;
    for (const QByteArray &format : QImageWriter::supportedImageFormats())
        formats.append(QString::fromLatin1(format).toLower());
    // One filter per format, so that the chosen filter names the format.
    QStringList filters;
    for (const QString &format : formats)
        filters.append(tr("Graphic Files") + " (*." + format + ")");
    filters.append(tr("All files") + " (*)");

    QFileDialog dialog(this, tr("Save Screenshot"), m_screenshot_directory);
    dialog.setObjectName("select_graphic_file");
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilters(filters);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    QString path = dialog.selectedFiles().first();
    m_screenshot_directory = QFileInfo(path).absolutePath();

    QString format;
    const int filter = filters.indexOf(dialog.selectedNameFilter());
    if (filter >= 0 && filter < formats.size())
        format = formats.at(filter);
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (format.isEmpty() && formats.contains(suffix))
        format = suffix;
    // Neither the filter nor the extension names a format: PNG.
    if (format.isEmpty())
        format = "png";
    if (suffix != format)
        path += "." + format;

    if (QFileInfo::exists(path) &&
        QMessageBox::warning(this, tr("Warning"),
                             tr("File '%1' already exists.\nDo you want to overwrite it ?").arg(path),
                             QMessageBox::Ok | QMessageBox::Cancel) != QMessageBox::Ok)
        return;
    QImageWriter writer(path, format.toLatin1());
    if (!writer.write(screenshot()))
        QMessageBox::critical(this, tr("Error"), tr("Writing of file '%1' failed.").arg(path));
}
