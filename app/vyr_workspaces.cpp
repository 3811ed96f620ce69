// The main window's workspace pages and tabs, which follow the workspaces
// object, the data windows in them and the standard layout.
#include "app/vyr_workspaces.h"

#include "app/shell/vyr_workspaces.h"
#include "app/vyr_main.h"
#include "app/vyr_main_widgets.h"
#include "app/vyr_shell_dialogs.h"
#include "settings/qtb_config.h"
#include "core/vyr_question.h"
#include "core/vyr_signal_if_notification.h"
#include "windows/base/data_window_type_info.h"
#include "windows/base/vyr_data_window.h"

#include <QCoreApplication>
#include <QMdiSubWindow>
#include <QStackedWidget>

#include <algorithm>
#include <array>

namespace {

struct LayoutSlot
{
    std::vector<const char *> class_keys; // empty: every key no other slot takes
    bool right;
    int weight;
};

const std::array<LayoutSlot, 5> layout_slots = {{
    {{"CanSend"}, false, 2},
    {{"Scope", "Graphic"}, false, 2},
    {{"Tune", "Signal"}, false, 2},
    {{"Statistics"}, true, 1},
    {{}, true, 4},
}};

size_t layout_slot_of(const QString &class_key)
{
    for (size_t slot = 0; slot + 1 < layout_slots.size(); ++slot)
        for (const char *key : layout_slots[slot].class_keys)
            if (class_key == QLatin1String(key))
                return slot;
    return layout_slots.size() - 1;
}

// A window without a stored place opens whole inside the visible part of
// its page, at the size it chose or larger where its tool bar and contents
// ask for more.
void fit_into_workspace(VyrDataWindow *window, const QSize &chosen_size)
{
    QMdiSubWindow *sub = window->sub_window();
    if (!sub || !sub->mdiArea())
        return;
    window->tool_bar()->take_children(); // the bar's width counts all its buttons
    const QRect visible = sub->mdiArea()->viewport()->rect();
    const QSize size =
        chosen_size.expandedTo(window->sizeHint()).grownBy(sub->contentsMargins()).boundedTo(visible.size());
    sub->resize(size);
    sub->move(std::clamp(sub->x(), 0, visible.width() - size.width()),
              std::clamp(sub->y(), 0, visible.height() - size.height()));
}

} // namespace

std::vector<QRect> standard_layout_frames(const std::vector<QString> &class_keys, int width, int height)
{
    std::array<std::vector<size_t>, layout_slots.size()> members;
    for (size_t i = 0; i < class_keys.size(); ++i)
        members[layout_slot_of(class_keys[i])].push_back(i);

    int column_sum[2] = {0, 0};
    for (size_t slot = 0; slot < layout_slots.size(); ++slot)
        if (!members[slot].empty())
            column_sum[layout_slots[slot].right] += layout_slots[slot].weight;
    int unit[2];
    for (int column = 0; column < 2; ++column)
        unit[column] = column_sum[column] > 0 ? height / column_sum[column] : height;

    std::vector<QRect> frames(class_keys.size());
    int offset[2] = {0, 0};
    for (size_t slot = 0; slot < layout_slots.size(); ++slot) {
        const std::vector<size_t> &windows = members[slot];
        if (windows.empty())
            continue;
        const int column = layout_slots[slot].right;
        const int weight = layout_slots[slot].weight;
        int x = column ? width / 2 : 0;
        int y = offset[column];
        int w = width / 2;
        int h = weight * unit[column];
        offset[column] += h;
        // The last band of a column reaches the bottom of the page.
        if (height - offset[column] < column_sum[column])
            h = height - y;

        const int n = int(windows.size());
        const int minimum_height = std::min(weight * 75, 180);
        bool cascade = n > 1;
        if (h / n > minimum_height) {
            cascade = false;
            h /= n;
        }
        if (cascade) {
            w -= 25 * (n - 1);
            h -= 25 * (n - 1);
        }
        w = std::max(w, 200);
        h = std::max(h, minimum_height);
        for (size_t window : windows) {
            frames[window] = QRect(x, y, w, h);
            if (cascade) {
                x += 25;
                y += 25;
            } else {
                y += h;
            }
        }
    }
    return frames;
}

// --- Workspaces ----------------------------------------------------------------------------

int VyrMain::find_workspace_tab(int workspace_id) const
{
    return m_workspaces->index_of(workspace_id);
}

int VyrMain::find_workspace_tab_by_name(const QString &name) const
{
    return m_workspaces->index_of_name(name);
}

int VyrMain::next_workspace_id() const
{
    return m_workspaces->next_id();
}

void VyrMain::add_workspace_page(int index)
{
    auto *page = new VyrWorkspace(m_workspace_stack, "workspace");
    page->setBackground(QColor(Qt::darkGray));
    connect(page, &VyrWorkspace::right_button_pressed, this, &VyrMain::display_workspace_context_menu);
    // The page goes in first: selecting the tab raises the page of its index.
    m_workspace_stack->insertWidget(index, page);
    m_workspace_tab_bar->insertTab(index, m_workspaces->at(index).name);
    m_workspace_tab_bar->set_workspace_id(index, m_workspaces->at(index).id);
}

void VyrMain::remove_workspace_page(int index)
{
    QWidget *page = m_workspace_stack->widget(index);
    m_workspace_stack->removeWidget(page);
    if (page == m_current_workspace)
        m_current_workspace = nullptr;
    delete page;
    m_workspace_tab_bar->removeTab(index);
}

void VyrMain::create_new_workspace(const QString &name, int id)
{
    m_workspaces->add(name, id);
}

void VyrMain::create_new_workspace()
{
    m_workspaces->add(m_workspaces->unused_name(), -1);
    configuration_changed();
}

void VyrMain::rename_workspace(int workspace_id)
{
    const int index = m_workspaces->index_of(workspace_id);
    if (index < 0)
        return;
    const QString old_name = m_workspaces->at(index).name;
    QString name = old_name;
    if (!vyr_ask_text(this, tr("Set Workspace Name"), tr("New Name"), name) || name == old_name)
        return;
    if (m_workspaces->index_of_name(name) >= 0) {
        vyr_ask_question(this, tr("Error"), tr("Workspace name '%1' does already exist.").arg(name), {tr("OK")});
        return;
    }
    m_workspaces->rename(workspace_id, name);
    configuration_changed();
}

void VyrMain::rename_current_workspace()
{
    rename_workspace(current_workspace_id());
}

void VyrMain::delete_current_workspace()
{
    const int id = current_workspace_id();
    if (id == 0 || m_workspaces->index_of(id) < 0)
        return;
    // The windows go with their page: each may refuse, and then nothing goes.
    for (VyrDataWindow *window = first_window(); window; window = window->next_window())
        if (window->workspace_id() == id && !window->query_close())
            return;
    m_workspaces->remove(id);
    m_workspaces->select(0);
    workspace_selected(m_workspaces->index_of(0));
    configuration_changed();
}

bool VyrMain::close_all_windows()
{
    for (VyrDataWindow *window = first_window(); window; window = window->next_window())
        if (!window->query_close())
            return false;
    emit close_sub_windows();
    // Closed windows leave the window list now, not when the event loop next runs.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    m_workspaces->reset();
    workspace_selected(m_workspaces->index_of(0));
    return true;
}

// --- Data windows ------------------------------------------------------------------------------

VyrDataWindow *VyrMain::create_data_window(const QString &class_key, QtbConfigGroup *group)
{
    const QByteArray key = class_key.toLatin1();
    DataWindowTypeInfo *type = DataWindowTypeInfo::first();
    while (type && !(type->enabled() && type->class_key() == key.constData()))
        type = type->next();

    const VyrWorkspaces::DataWindowPlace place = m_workspaces->place_data_window(group);
    if (!type)
        return nullptr;
    // A window of a type that lives in the current workspace, or one placed
    // in the current workspace, goes onto the page shown.
    const bool in_current_workspace =
        (type->flags() & DataWindowTypeInfo::ActiveWorkspace) || place.workspace_id == current_workspace_id();
    QWidget *parent_page = in_current_workspace ? m_current_workspace : m_workspace_stack->widget(place.index);

    VyrDataWindow *window = DataWindowTypeInfo::create_window(key.constData(), parent_page, group, this);
    if (!window)
        return nullptr;
    window->set_workspace_id(place.workspace_id);
    if (place.detached)
        window->detach_from_workspace();

    connect(this, &VyrMain::write_configuration, window, &VyrDataWindow::write_configuration);
    connect(window, &VyrDataWindow::configuration_changed, this, &VyrMain::configuration_changed);
    VyrSignalIfNotification *hub = m_signal_if_notification;
    connect(hub, &VyrSignalIfNotification::signal_removed, window, &VyrDataWindow::remove_signal);
    connect(hub, &VyrSignalIfNotification::signal_changed, window, &VyrDataWindow::signal_changed);
    connect(hub, &VyrSignalIfNotification::signal_reload_start, window, &VyrDataWindow::signal_reload_start);
    connect(hub, &VyrSignalIfNotification::signal_reload_finished, window, &VyrDataWindow::signal_reload_finished);
    connect(hub, &VyrSignalIfNotification::interface_removed, window, &VyrDataWindow::remove_interface);
    connect(hub, &VyrSignalIfNotification::interface_created, window, &VyrDataWindow::add_interface);
    connect(hub, &VyrSignalIfNotification::interface_configuration_changed, window,
            &VyrDataWindow::interface_configuration_changed);
    connect(hub, &VyrSignalIfNotification::interface_configuration_updated, window,
            &VyrDataWindow::interface_configuration_changed);
    connect(this, &VyrMain::close_sub_windows, window, &VyrDataWindow::close_window);
    connect(this, &VyrMain::start_automatic_update, window, &VyrDataWindow::start);
    connect(this, &VyrMain::prepare_automatic_update, window, &VyrDataWindow::startup);
    connect(this, &VyrMain::stop_automatic_update, window, &VyrDataWindow::stop);

    m_configuration->set_modified(true);

    // The size the window chose for itself: the frame takes the window in at a size of its own.
    const QSize chosen_size = window->size();
    if (!window->startup_hidden())
        window->frame()->show();

    const QRect geometry = group ? group->read_rect("geometry", QRect()) : QRect();
    if (!geometry.isValid())
        fit_into_workspace(window, chosen_size);
    if (group) {
        if (geometry.isValid()) {
            if (window->detached()) {
                window->resize(geometry.size());
                window->move(geometry.topLeft());
            } else if (QMdiSubWindow *sub = window->sub_window()) {
                // The frame keeps the stored position and width, the window the height.
                const QMargins margins = sub->contentsMargins();
                sub->resize(geometry.width(), geometry.height() + margins.top() + margins.bottom());
                sub->move(geometry.topLeft());
            }
        }
        if (window->detached()) {
            if (window->maximized() && !window->isMaximized())
                window->showMaximized();
            if (window->minimized() && !window->isMinimized())
                window->showMinimized();
        }
    }
    return window;
}

VyrDataWindow *VyrMain::create_data_window(int menu_id)
{
    if (menu_id >= 4000 && menu_id < 4990) {
        int position = menu_id - 4000;
        VyrDataWindow *window = first_window();
        while (window && position-- > 0)
            window = window->next_window();
        if (window) {
            window->frame()->show(); // also a window hidden at start-up
            window->setFocus();
            window->raise();
            if (QMdiSubWindow *sub = window->sub_window()) {
                sub->raise();
                if (sub->mdiArea())
                    sub->mdiArea()->setActiveSubWindow(sub);
            }
        }
        return nullptr;
    }
    if (menu_id >= 3000 && menu_id < 3990) {
        int position = menu_id - 3000;
        DataWindowTypeInfo *type = DataWindowTypeInfo::first();
        while (type && position-- > 0)
            type = type->next();
        if (type && type->enabled())
            return create_data_window(QString::fromLatin1(type->class_key().c_str()), nullptr);
    }
    return nullptr;
}

void VyrMain::open_default_windows()
{
    for (DataWindowTypeInfo *type = DataWindowTypeInfo::first(); type; type = type->next())
        if ((type->flags() & DataWindowTypeInfo::OpenByDefault) && type->enabled())
            create_data_window(QString::fromLatin1(type->class_key().c_str()), nullptr);
}

void VyrMain::standard_layout()
{
    if (!m_current_workspace)
        return;
    std::vector<VyrDataWindow *> windows;
    std::vector<QString> keys;
    for (VyrDataWindow *window = first_window(); window; window = window->next_window())
        if (window->workspace_id() == current_workspace_id()) {
            windows.push_back(window);
            keys.push_back(QString::fromLatin1(window->class_key().c_str()));
        }
    const std::vector<QRect> frames = standard_layout_frames(keys, m_current_workspace->viewport()->width(),
                                                             m_current_workspace->viewport()->height());
    for (size_t i = 0; i < windows.size(); ++i) {
        windows[i]->frame()->resize(frames[i].size());
        windows[i]->frame()->move(frames[i].topLeft());
    }
}
