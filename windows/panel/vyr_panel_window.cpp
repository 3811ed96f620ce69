#include "windows/panel/vyr_panel_window.h"

#include "core/path_util.h"
#include "windows/panel/panel_item_type_info.h"
#include "windows/panel/vyr_panel.h"
#include "windows/panel/vyr_panel_item.h"

#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

namespace {

const char menu_context[] = "VyrPanelWindow";

QString path_made_relative(const QString &name, bool *ok)
{
    QFileInfo file(name);
    *ok = make_path_relative(file, QDir::currentPath()) == 1;
    return file.filePath();
}

} // namespace

VyrPanelWindow::VyrPanelWindow(QWidget *parent) : QAbstractScrollArea(parent)
{
    setObjectName(QStringLiteral("panel_window"));
    setFocusPolicy(Qt::StrongFocus);
}

void VyrPanelWindow::keyPressEvent(QKeyEvent *event)
{
    if (m_panel)
        m_panel->panel_key_press(event);
    else
        QAbstractScrollArea::keyPressEvent(event);
}

// --- Painting --------------------------------------------------------------------------------------

void VyrPanelWindow::paintEvent(QPaintEvent *event)
{
    QPainter painter(viewport());
    draw_contents(painter, event->rect());
}

void VyrPanelWindow::draw_contents(QPainter &painter, const QRect &clip)
{
    if (!m_panel)
        return;
    const bool unlocked = !m_panel->is_locked();
    const bool running = m_panel->running();
    if (unlocked && m_panel->items().empty()) {
        painter.fillRect(viewport()->rect(), viewport()->palette().color(viewport()->backgroundRole()));
        painter.drawText(viewport()->rect(), Qt::AlignCenter | Qt::TextWordWrap,
                         tr("Empty Panel Window - Use context menu (right mouse button) in order to insert new "
                            "elements."));
        return;
    }
    if (!running && unlocked && m_panel->is_grid_on()) {
        const int gx = m_panel->grid_x();
        const int gy = m_panel->grid_y();
        const int width = std::max(m_contents_size.width(), viewport()->width());
        const int height = std::max(m_contents_size.height(), viewport()->height());
        // Only the points inside the area to repaint.
        const int first_x = std::max(gx, (clip.left() + gx - 1) / gx * gx);
        const int first_y = std::max(gy, (clip.top() + gy - 1) / gy * gy);
        const int last_x = std::min(width - 1, clip.right());
        const int last_y = std::min(height - 1, clip.bottom());
        painter.setPen(Qt::white);
        for (int y = first_y; y <= last_y; y += gy)
            for (int x = first_x; x <= last_x; x += gx)
                painter.drawPoint(x, y);
    }
    if (m_show_selections) {
        painter.setPen(Qt::red);
        painter.setBrush(Qt::NoBrush);
        for (VyrPanelItem *item : m_panel->selection())
            if (QWidget *widget = item->widget()) {
                const QRect r = widget->geometry();
                // One pixel outside the widget on every side.
                painter.drawRect(r.x() - 1, r.y() - 1, r.width() + 1, r.height() + 1);
            }
    }
    if (!running && unlocked && m_rubber_band.width() > 0 && m_rubber_band.height() > 0) {
        painter.setPen(QPen(Qt::yellow, 1, Qt::DotLine));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(m_rubber_band.x(), m_rubber_band.y(), m_rubber_band.width() - 1,
                         m_rubber_band.height() - 1);
    }
}

void VyrPanelWindow::set_rubber_rect(const QRect &rect)
{
    const int mx = (m_panel ? m_panel->grid_x() : 10) + 1;
    const int my = (m_panel ? m_panel->grid_y() : 10) + 1;
    const QRect area = m_rubber_band.normalized().united(rect.normalized()).adjusted(-mx, -my, mx, my);
    m_rubber_band = rect;
    viewport()->update(area);
}

// --- Mouse and context menu ------------------------------------------------------------------------

void VyrPanelWindow::mousePressEvent(QMouseEvent *event)
{
    if (m_panel)
        m_panel->set_selected_item(nullptr, false);
    // The press belongs to the panel: passed on, a right press would open
    // the workspace's own menu in place of the panel's.
    event->accept();
}

void VyrPanelWindow::contextMenuEvent(QContextMenuEvent *event)
{
    open_context_menu(event->globalPos());
    event->accept();
}

void VyrPanelWindow::open_context_menu(const QPoint &global_position)
{
    if (!m_panel)
        return;
    m_insertion_point = viewport()->mapFromGlobal(global_position);
    std::unique_ptr<QMenu> menu = build_context_menu();
    menu->exec(global_position);
}

std::unique_ptr<QMenu> VyrPanelWindow::build_context_menu()
{
    VyrPanel *panel = m_panel;
    const bool running = panel->running();
    const bool edit = !running && !panel->is_locked();
    const size_t selected = panel->selection().size();
    auto menu = std::make_unique<QMenu>(this);
    menu->setObjectName(QStringLiteral("panel_context_menu"));

    auto add = [&menu](QMenu *to, const QString &text, bool enabled, auto run) {
        QAction *action = to->addAction(text);
        action->setEnabled(enabled);
        QObject::connect(action, &QAction::triggered, menu.get(), run);
        return action;
    };

    add(menu.get(), tr("Window Properties"), !running, [panel] { panel->open_properties_dialog(); });
    if (panel->detached())
        add(menu.get(), tr("Attach to Workspace"), true, [panel] { panel->attach_to_workspace(); });
    else
        add(menu.get(), tr("Detach from Workspace"), true, [panel] { panel->detach_from_workspace(); });
    menu->addSeparator();
    add(menu.get(), tr("Item Properties"), selected == 1, [panel] { panel->show_property_dialog_for_selected_item(); });
    add(menu.get(), tr("Delete selected Items"), selected > 0, [panel] { panel->delete_selected_item(); });

    QMenu *insert = menu->addMenu(tr("Insert New Item"));
    insert->menuAction()->setEnabled(edit);
    QMenu *categories[PanelItemTypeInfo::category_count];
    for (int category = 0; category < PanelItemTypeInfo::category_count; ++category)
        categories[category] = insert->addMenu(
            QCoreApplication::translate(menu_context, PanelItemTypeInfo::category_title(category)));
    int number = 1;
    for (PanelItemTypeInfo *type = PanelItemTypeInfo::first(); type; type = type->next(), ++number) {
        const int category = type->category();
        if (category < 0 || category >= PanelItemTypeInfo::category_count)
            continue;
        QAction *action =
            add(categories[category], QCoreApplication::translate(menu_context, type->name().toUtf8().constData()),
                true, [panel, number] { panel->insert_new_item(number); });
        action->setData(number);
    }
    menu->addSeparator();

    QAction *snap = add(menu.get(), tr("Snap to Grid"), edit, [panel] { panel->set_snap(!panel->snap()); });
    snap->setCheckable(true);
    snap->setChecked(panel->snap());
    add(menu.get(), tr("Align Items to Grid"), edit && panel->snap() && selected > 0,
        [panel] { panel->align_items_to_grid(); });
    menu->addSeparator();
    add(menu.get(), tr("Enable Selected Items"), edit && selected > 0, [panel] { panel->enable_selected_items(true); });
    add(menu.get(), tr("Disable Selected Items"), edit && selected > 0,
        [panel] { panel->enable_selected_items(false); });
    add(menu.get(), tr("Choose Font for Selected Items"), edit && selected > 0,
        [panel] { panel->choose_font_for_selected_items(); });
    add(menu.get(), tr("Choose Color for Selected Items"), edit && selected > 0,
        [panel] { panel->choose_color_for_selected_items(); });
    QAction *hidden = add(menu.get(), tr("Startup Hidden"), true, [panel] {
        panel->set_startup_hidden(!panel->startup_hidden());
        emit panel->configuration_changed();
    });
    hidden->setCheckable(true);
    hidden->setChecked(panel->startup_hidden());
    menu->addSeparator();

    const QString file_name = panel->get_filename();
    QAction *external = add(menu.get(), tr("Store Panel Setup in External File"), edit, [panel] {
        if (panel->get_filename().isEmpty())
            panel->store_in_panel_file();
        else
            panel->clear_panel_file();
    });
    external->setCheckable(true);
    external->setChecked(!file_name.isEmpty());
    if (!file_name.isEmpty()) {
        const QString absolute = QFileInfo(file_name).absoluteFilePath();
        add(menu.get(), tr("Make absolute path"), edit && absolute != file_name,
            [panel, absolute] { panel->set_filename(absolute); });
        bool can_relate = false;
        const QString relative = path_made_relative(file_name, &can_relate);
        add(menu.get(), tr("Make relative path"), edit && can_relate,
            [panel, relative] { panel->set_filename(relative); });
    }
    return menu;
}
