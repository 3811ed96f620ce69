#include "windows/scope/vyr_scope.h"

#include "core/candb_signal.h"
#include "core/db_signal_record.h"
#include "core/vyr_signal_if.h"
#include "core/vyr_signal_list.h"
#include "lib/qtundo/qtundo.h"
#include "settings/debug_trace.h"
#include "settings/qtb_config.h"
#include "widgets/graph/qgraphaxis.h"
#include "windows/scope/qgraph_measured_signal.h"
#include "windows/scope/vyr_graph_window.h"
#include "windows/scope/vyr_scope_signal_item.h"

#include <QAction>
#include <QPainter>
#include <QPainterPath>
#include <QToolButton>

#include <functional>

namespace {

QIcon drawn_icon(const std::function<void(QPainter &)> &draw)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::black, 1.2));
    draw(painter);
    return QIcon(pixmap);
}

// A small graph: a frame and a wave.
QIcon window_icon()
{
    return drawn_icon([](QPainter &p) {
        p.setBrush(Qt::black);
        p.drawRect(QRectF(0.5, 1.5, 15, 13));
        p.setPen(QPen(Qt::green, 1.5));
        p.drawPolyline(QPolygonF({QPointF(2, 10), QPointF(5, 4), QPointF(8, 10), QPointF(11, 4), QPointF(14, 10)}));
    });
}

const QPolygonF zigzag({QPointF(1, 12), QPointF(5, 5), QPointF(9, 10), QPointF(14, 3)});

QIcon mode_icon(int mode)
{
    return drawn_icon([mode](QPainter &p) {
        switch (mode) {
        case 1:
            p.drawPolyline(zigzag);
            break;
        case 2:
            p.drawPolyline(zigzag);
            for (const QPointF &point : zigzag)
                p.drawRect(QRectF(point.x() - 1.5, point.y() - 1.5, 3, 3));
            break;
        case 3:
            p.drawPolyline(QPolygonF({QPointF(1, 12), QPointF(4, 12), QPointF(4, 4), QPointF(9, 4), QPointF(9, 12),
                                      QPointF(12, 12), QPointF(12, 4), QPointF(15, 4)}));
            break;
        case 4:
            for (const QPointF &point : zigzag) {
                p.drawLine(QPointF(point.x(), 14), point);
                p.drawRect(QRectF(point.x() - 1.5, point.y() - 1.5, 3, 3));
            }
            break;
        case 5:
            p.setBrush(Qt::black);
            for (const QPointF &point : zigzag)
                p.drawEllipse(point, 1.5, 1.5);
            break;
        }
    });
}

QIcon grid_icon()
{
    return drawn_icon([](QPainter &p) {
        p.setPen(QPen(Qt::gray, 1));
        for (int i = 1; i < 16; i += 5) {
            p.drawLine(QPointF(i + 0.5, 0), QPointF(i + 0.5, 16));
            p.drawLine(QPointF(0, i + 0.5), QPointF(16, i + 0.5));
        }
    });
}

QIcon fit_icon()
{
    return drawn_icon([](QPainter &p) {
        p.drawLine(QPointF(8, 1), QPointF(8, 15));
        p.drawPolyline(QPolygonF({QPointF(5, 4), QPointF(8, 1), QPointF(11, 4)}));
        p.drawPolyline(QPolygonF({QPointF(5, 12), QPointF(8, 15), QPointF(11, 12)}));
    });
}

// 0 individual axes, 1 separate diagrams, 2 common axis.
QIcon axes_icon(int kind)
{
    return drawn_icon([kind](QPainter &p) {
        switch (kind) {
        case 0:
            p.drawLine(QPointF(2, 1), QPointF(2, 15));
            p.drawLine(QPointF(5, 1), QPointF(5, 15));
            p.drawPolyline(QPolygonF({QPointF(7, 12), QPointF(11, 4), QPointF(15, 10)}));
            break;
        case 1:
            p.drawRect(QRectF(1.5, 1.5, 13, 5.5));
            p.drawRect(QRectF(1.5, 9, 13, 5.5));
            break;
        case 2:
            p.drawLine(QPointF(2, 1), QPointF(2, 15));
            p.drawPolyline(QPolygonF({QPointF(4, 12), QPointF(9, 4), QPointF(15, 10)}));
            p.drawPolyline(QPolygonF({QPointF(4, 5), QPointF(9, 12), QPointF(15, 6)}));
            break;
        }
    });
}

// An arrow bent back (undo) or forward (redo).
QIcon turn_icon(bool forward)
{
    return drawn_icon([forward](QPainter &p) {
        if (forward) {
            p.translate(16, 0);
            p.scale(-1, 1);
        }
        QPainterPath path;
        path.moveTo(3, 6);
        path.lineTo(10, 6);
        path.cubicTo(16, 6, 16, 14, 10, 14);
        path.lineTo(6, 14);
        p.setPen(QPen(Qt::darkBlue, 1.8));
        p.drawPath(path);
        p.drawPolyline(QPolygonF({QPointF(6, 3), QPointF(3, 6), QPointF(6, 9)}));
    });
}

// The name after the last dot.
QString curve_name(const char *full_name)
{
    const QString name = QString::fromLatin1(full_name);
    return name.mid(name.lastIndexOf(QLatin1Char('.')) + 1);
}

QString unit_text(SignalRecord *signal)
{
    auto *bound = dynamic_cast<DbSignalRecord *>(signal);
    return bound && bound->db_signal() ? QString::fromStdString(bound->db_signal()->unit) : QString();
}

} // namespace

SignalDisplayEntry *VyrScopeSignalDisplayList::create_entry(SignalRecord *signal)
{
    return new VyrScopeSignalItem(signal, this);
}

VyrScope::VyrScope(QWidget *parent) : VyrDataWindow(class_key_text, parent)
{
    setWindowIcon(window_icon());
    set_help_key(QStringLiteral("GraphicWindow"));
    set_update_rate(50);
    m_display_list = std::make_unique<VyrScopeSignalDisplayList>(this);

    m_graph = new VyrGraphWindow(this, "graph");
    // Individual y axes until the configuration says otherwise, as the buttons start.
    m_graph->set_signal_mode(QGraphWindow::Overlapped);
    insert_tool_widget(m_graph);

    VyrToolBar *bar = tool_bar();
    const struct {
        const char *name;
        const char *tip;
        void (VyrScope::*slot)();
    } modes[] = {
        {"graph_button", "<p><h3>Graph Mode</h3>Draw signals without sample markers.</p>",
         &VyrScope::button_graph_clicked},
        {"connect_button", "<p><h3>Connect Mode</h3>Draw a marker for each sample and connect it.</p>",
         &VyrScope::button_connect_clicked},
        {"digital_button",
         "<p><h3>Digital Mode</h3>Connect samples with rectangular lines - useful for digital signals.</p>",
         &VyrScope::button_digital_clicked},
        {"bars_button", "<p><h3>Bar Mode</h3>Draw the marker for the sample and a line down to zero.</p>",
         &VyrScope::button_bars_clicked},
        {"dots_button", "<p><h3>Dot Mode</h3>Draw only the marker for each sample without connecting them.</p>",
         &VyrScope::button_dots_clicked}};
    for (int i = 0; i < 5; ++i) {
        m_mode_buttons[i] = add_tool_button(modes[i].name, tr(modes[i].tip), true);
        m_mode_buttons[i]->setIcon(mode_icon(i + 1));
        connect(m_mode_buttons[i], &QToolButton::clicked, this, modes[i].slot);
    }
    bar->add_separator();
    m_grid_button = add_tool_button("grid_button", tr("<p><h3>Grid Mode</h3>Toggles the grid on and off.</p>"), true);
    m_grid_button->setIcon(grid_icon());
    connect(m_grid_button, &QToolButton::toggled, m_graph, &QGraphWindow::set_grid);
    bar->add_separator();
    m_fit_button = add_tool_button(
        "fit_button", tr("<p><h3>Fit</h3>Calculate the min/max value of the curve and fit it in its box.</p>"), false);
    m_fit_button->setIcon(fit_icon());
    connect(m_fit_button, &QToolButton::clicked, m_graph, &QGraphWindow::fit);
    bar->add_separator();
    m_own_yscale_button = add_tool_button("own_yscale_button",
                                          tr("<p><h3>Individual Y-Scales</h3>Each signal has its own scaling. Select "
                                             "one or more signals to display their y-axes.</p>"),
                                          true);
    m_own_yscale_button->setIcon(axes_icon(0));
    m_own_yscale_button->setChecked(true);
    connect(m_own_yscale_button, &QToolButton::clicked, this, &VyrScope::set_own_yscale);
    m_common_yaxis_button = add_tool_button(
        "common_yaxis_button",
        tr("<p><h3>Common Y-Scale</h3>All signals are scaled to the same min/max values.</p>"), true);
    m_common_yaxis_button->setIcon(axes_icon(2));
    connect(m_common_yaxis_button, &QToolButton::clicked, this, &VyrScope::set_common_yaxis);
    m_separate_yaxis_button = add_tool_button(
        "separate_yaxis_button", tr("<p><h3>Separate Diagrams</h3>Each signal is drawn in its own area.</p>"), true);
    m_separate_yaxis_button->setIcon(axes_icon(1));
    connect(m_separate_yaxis_button, &QToolButton::clicked, this, &VyrScope::set_separate_yaxis);
    bar->add_separator();
    QtUndoManager *undo = m_graph->undo_manager();
    m_undo_button = add_tool_button("undo_button", tr("<p><h3>Undo</h3></p>"), false);
    m_undo_button->setIcon(turn_icon(false));
    connect(m_undo_button, &QToolButton::clicked, undo, &QtUndoManager::undo);
    m_redo_button = add_tool_button("redo_button", tr("<p><h3>Redo</h3></p>"), false);
    m_redo_button->setIcon(turn_icon(true));
    connect(m_redo_button, &QToolButton::clicked, undo, &QtUndoManager::redo);
    bar->add_separator();
    undo->undoAction()->setIcon(m_undo_button->icon());
    undo->redoAction()->setIcon(m_redo_button->icon());
    // The scope writes no log: it has no Log to File button.
    create_standard_tool_buttons();

    connect(m_display_list.get(), &VyrSignalDisplayList::signal_list_changed, this, &VyrScope::signal_list_changed);
    connect(m_graph, &QGraphWindow::selection_has_changed, this, &VyrScope::state_changed);
    connect(m_graph, &QGraphWindow::grid_mode_has_changed, this, &VyrScope::state_changed);
    connect(m_graph, &QGraphWindow::signal_mode_has_changed, this, &VyrScope::state_changed);
    connect(undo, &QtUndoManager::changed, this, &VyrScope::undo_state_changed);

    setGeometry(50, 50, 600, 300);
    update_xscale();
    undo_state_changed();
    state_changed();
}

VyrScope::~VyrScope()
{
    // The graph and its undo manager outlive this part of the window (they go
    // with the widget): their signals must not reach its slots any more.
    m_graph->disconnect(this);
    m_graph->undo_manager()->disconnect(this);
    // The items unlink their curves, which go with the graph afterwards.
    m_display_list.reset();
}

VyrSignalDisplayList *VyrScope::signal_display_list() const
{
    return m_display_list.get();
}

VyrScopeSignalItem *VyrScope::item(int index) const
{
    return static_cast<VyrScopeSignalItem *>(m_display_list->entries().at(size_t(index)));
}

int VyrScope::item_count() const
{
    return int(m_display_list->entries().size());
}

void VyrScope::signal_list_changed()
{
    // Curves whose item left the list go; each removal changes the graph's list.
    for (bool removed = true; removed;) {
        removed = false;
        for (QGraphSignal *curve : m_graph->signal_list()) {
            auto *measured = static_cast<QGraphMeasuredSignal *>(curve);
            if (measured->item())
                continue;
            m_graph->remove_signal(measured);
            delete measured;
            removed = true;
            break;
        }
    }
    for (SignalDisplayEntry *entry : m_display_list->entries()) {
        auto *item = static_cast<VyrScopeSignalItem *>(entry);
        SignalRecord *signal = item->signal();
        if (item->curve() || !signal)
            continue;
        auto *curve = new QGraphMeasuredSignal(m_graph, curve_name(signal->name()), unit_text(signal));
        debug_trace("VyrScope::signal_list_changed Build QGraphMeasuredSignal, name=%s", signal->name());
        curve->set_item(item);
        item->attach_curve(curve);
        curve->set_draw_mode(item->draw_mode());
        m_graph->add_signal(curve, true);
        // The curve's own axis shows the signal's range.
        m_graph->set_signal_limits(curve, curve->y_maximum(), curve->y_minimum());
        m_graph->set_signal_active(curve, item->active());
    }
    emit configuration_changed();
    state_changed();
}

void VyrScope::write_configuration(QtbConfig *config)
{
    QtbConfigGroup *group = write_base_configuration(config);
    group->write_int("xscale", int(m_x_scale * 1000.0));
    group->write_bool("grid_mode", m_graph->grid_on());
    group->write_int("signal_mode", m_graph->signal_mode());
    group->write_int("font_size", m_graph->font_size());
    auto signal_groups = std::make_unique<QtbConfigGroup>();
    for (SignalDisplayEntry *entry : m_display_list->entries()) {
        auto *item = static_cast<VyrScopeSignalItem *>(entry);
        SignalRecord *signal = item->signal();
        if (!signal)
            continue;
        item->sync_from_curve();
        auto signal_group = std::make_unique<QtbConfigGroup>();
        signal_group->write_string("sif",
                                   signal->owner() ? QString::fromStdString(signal->owner()->make_id()) : QString());
        signal_group->write_string("name", QString::fromLatin1(signal->name() ? signal->name() : ""));
        signal_group->write_bool("active", item->curve() && item->curve()->is_active());
        signal_group->write_int("dmode", item->draw_mode());
        signal_group->write_string("color", item->color().isValid() ? item->color().name() : QString());
        signal_group->write_bool("limits", item->fixed_limits());
        signal_group->write_string("ymin", QString::number(item->y_minimum(), 'g', 10));
        signal_group->write_string("ymax", QString::number(item->y_maximum(), 'g', 10));
        signal_groups->append_entry(QtbConfigValue(std::move(signal_group)), nullptr);
    }
    group->append_entry(QtbConfigValue(std::move(signal_groups)), "signals");
}

VyrDataWindow *VyrScope::create(QWidget *parent, QtbConfigGroup *group)
{
    auto *scope = new VyrScope(nullptr);
    scope->enter_workspace(parent);
    if (!group)
        return scope;
    scope->read_base_configuration(group);
    if (QtbConfigGroup *signal_groups = group->get_group("signals")) {
        for (QtbConfigGroup *entry = signal_groups->first_group(); entry; entry = signal_groups->next_group()) {
            const QString interface_id = entry->read_string("sif", QString());
            const QString name = entry->read_string("name", QString());
            const bool active = entry->read_bool("active", true);
            debug_trace("VyrScope::create Insert Signal, name=%s, active=%d", name.toLatin1().constData(), active);
            // A signal that cannot be found yields no item.
            VyrSignalIf *signal_if = find_signal_if_by_id(interface_id.toLatin1().constData());
            VyrSignalList *signals_of_if = signal_if ? signal_if->signal_list() : nullptr;
            if (!signals_of_if || !signals_of_if->find(name.toLatin1().constData()))
                continue;
            scope->insert_signal(interface_id, name);
            VyrScopeSignalItem *item = scope->item(scope->item_count() - 1);
            // A group without a draw mode keeps the one the signal's characteristic gave.
            item->set_draw_mode(entry->read_int("dmode", item->draw_mode()));
            item->set_active(active);
            QGraphMeasuredSignal *curve = item->curve();
            if (!curve) {
                debug_trace("VyrScope::create No Graph Signal=%s", name.toLatin1().constData());
                continue;
            }
            scope->m_graph->set_signal_active(curve, active);
            const QColor color(entry->read_string("color", QString()));
            if (color.isValid())
                scope->m_graph->set_signal_color(curve, color);
            bool minimum_ok = false, maximum_ok = false;
            const double minimum = entry->read_string("ymin", QStringLiteral("-10")).toDouble(&minimum_ok);
            const double maximum = entry->read_string("ymax", QStringLiteral("10")).toDouble(&maximum_ok);
            if (entry->read_int("limits", 0) != 0 && minimum_ok && maximum_ok && maximum > minimum) {
                curve->set_y_limits(maximum, minimum);
                curve->set_fixed_limits(true);
                scope->m_graph->set_signal_limits(curve, maximum, minimum);
                scope->m_graph->update_common_y_limits();
            }
        }
    }
    scope->m_graph->set_grid(group->read_bool("grid_mode", true));
    scope->m_x_scale = group->read_int("xscale", int(scope->m_x_scale * 1000.0)) * 0.001;
    scope->update_xscale();
    scope->m_graph->set_signal_mode(group->read_int("signal_mode", 0));
    scope->m_graph->set_font_size(group->read_int("font_size", 8));
    scope->state_changed();
    return scope;
}

void VyrScope::startup()
{
    m_history_start = 0.0;
    m_graph->set_cursor_mode(false);
    QGraphXAxis *axis = m_graph->x_axis();
    axis->set_limits(axis->span(), 0.0);
    update_xscale();
    for (SignalDisplayEntry *entry : m_display_list->entries())
        static_cast<VyrScopeSignalItem *>(entry)->reset();
    m_graph->set_online(true);
    for (SignalDisplayEntry *entry : m_display_list->entries()) {
        if (SignalRecord *signal = entry->signal())
            if (signal->owner())
                signal->owner()->add_signal_listener(entry, signal);
    }
    VyrDataWindow::startup();
}

void VyrScope::stop()
{
    VyrDataWindow::stop();
    m_graph->set_online(false);
}

void VyrScope::state_changed()
{
    if (!m_graph)
        return;
    const int signal_mode = m_graph->signal_mode();
    m_own_yscale_button->setChecked(signal_mode == QGraphWindow::Overlapped);
    m_separate_yaxis_button->setChecked(signal_mode == QGraphWindow::Separate);
    m_common_yaxis_button->setChecked(signal_mode == QGraphWindow::Common);
    const int draw_mode = m_graph->common_draw_mode();
    for (int i = 0; i < 5; ++i)
        m_mode_buttons[i]->setChecked(draw_mode == i + 1);
    m_grid_button->setChecked(m_graph->grid_on());
}

void VyrScope::undo_state_changed()
{
    QtUndoManager *undo = m_graph->undo_manager();
    m_undo_button->setEnabled(undo->can_undo());
    m_redo_button->setEnabled(undo->can_redo());
}

void VyrScope::update_signals()
{
    // The writers take their blocks from what the tick makes ahead, also
    // while paused: a ring then fills up to its maximum and drops.
    for (SignalDisplayEntry *entry : m_display_list->entries())
        static_cast<VyrScopeSignalItem *>(entry)->samples().make_room();
    if (is_paused())
        return;
    const uint32_t maximum = VyrScopeSignalItem::maximum_capacity;
    double latest = 0.0;
    for (SignalDisplayEntry *entry : m_display_list->entries()) {
        auto *item = static_cast<VyrScopeSignalItem *>(entry);
        latest = std::max(latest, item->newest_time());
        VyrMessageRing<ScopeSample> &ring = item->samples();
        const uint32_t count = std::min(ring.record_count(), maximum);
        if ((maximum - count) * 100u / maximum < trim_threshold)
            ring.move_read_pointer(int(maximum * trim_threshold * 2 / 100));
    }
    QGraphXAxis *axis = m_graph->x_axis();
    m_graph->scroll_time(latest > axis->maximum() ? latest - axis->maximum() : 0.0);
    if (axis->maximum() - m_history_start >= history_span) {
        m_history_start = axis->maximum() - history_span;
        for (SignalDisplayEntry *entry : m_display_list->entries()) {
            VyrMessageRing<ScopeSample> &ring = static_cast<VyrScopeSignalItem *>(entry)->samples();
            while (!ring.is_rp_at_wp() && ring.read_record().time < m_history_start)
                ring.move_read_pointer(1);
        }
    }
}

void VyrScope::set_draw_mode(int mode)
{
    m_graph->set_draw_mode(mode);
    state_changed();
}

void VyrScope::button_graph_clicked()
{
    set_draw_mode(QGraphSignal::ContinuousLine);
}

void VyrScope::button_connect_clicked()
{
    set_draw_mode(QGraphSignal::ConnectSamples);
}

void VyrScope::button_digital_clicked()
{
    set_draw_mode(QGraphSignal::Digital);
}

void VyrScope::button_bars_clicked()
{
    set_draw_mode(QGraphSignal::Bars);
}

void VyrScope::button_dots_clicked()
{
    set_draw_mode(QGraphSignal::Dots);
}

void VyrScope::set_signal_mode(int mode)
{
    m_graph->set_signal_mode(mode);
    state_changed();
}

void VyrScope::set_own_yscale()
{
    set_signal_mode(QGraphWindow::Overlapped);
}

void VyrScope::set_separate_yaxis()
{
    set_signal_mode(QGraphWindow::Separate);
}

void VyrScope::set_common_yaxis()
{
    set_signal_mode(QGraphWindow::Common);
}

void VyrScope::set_x_scale(double seconds)
{
    m_x_scale = seconds;
    update_xscale();
}

void VyrScope::set_xscale_10s()
{
    set_x_scale(10.0);
}

void VyrScope::set_xscale_1s()
{
    set_x_scale(1.0);
}

void VyrScope::set_xscale_100ms()
{
    set_x_scale(0.1);
}

void VyrScope::set_xscale_10ms()
{
    set_x_scale(0.01);
}

void VyrScope::set_xscale_1ms()
{
    set_x_scale(0.001);
}

void VyrScope::update_xscale()
{
    m_graph->x_axis()->set_time_per_division(m_x_scale, 10);
}

void VyrScope::interface_configuration_changed(const QString &)
{
    signal_list_changed();
}
