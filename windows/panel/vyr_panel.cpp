#include "windows/panel/vyr_panel.h"

#include "core/path_util.h"
#include "core/time_base.h"
#include "core/vyr_question.h"
#include "core/vyr_signal_if.h"
#include "settings/qtb_config.h"
#include "settings/save_file.h"
#include "windows/panel/cnp_reader.h"
#include "windows/panel/panel_file.h"
#include "windows/panel/panel_item_type_info.h"
#include "windows/panel/panel_signal_binding.h"
#include "windows/panel/panel_widget_properties.h"
#include "windows/panel/vyr_panel_item.h"
#include "windows/panel/vyr_panel_window.h"
#include "windows/panel/vyr_script_activation.h"
#include "windows/panel/vyr_dialog_control_properties.h"

#include <QCloseEvent>
#include <QColorDialog>
#include <QContextMenuEvent>
#include <QCursor>
#include <QFontDialog>
#include <QMouseEvent>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QToolButton>

#include <algorithm>

namespace {

// The tool buttons' icons, 16 x 16: an open folder, a disk, a grid of
// points, and a padlock closed (locked) and open (unlocked for editing).
const char *const open_xpm[] = {"16 16 4 1", "  c None", ". c #000000", "y c #FFCC00", "l c #FFFF99",
                                "                ", "                ", "  ....          ", " .llll.         ",
                                " .lllll......   ", " .llllllllll.   ", " .ll..........  ", " .l.yyyyyyyyyy. ",
                                " .l.yyyyyyyyy.  ", " ..yyyyyyyyyy.  ", " ..yyyyyyyyy.   ", " .yyyyyyyyyy.   ",
                                " ............   ", "                ", "                ", "                "};
const char *const save_xpm[] = {"16 16 4 1", "  c None", ". c #000000", "b c #2040C0", "w c #FFFFFF",
                                "                ", " .............. ", " .bb.wwwwww.bb. ", " .bb.wwwwww.bb. ",
                                " .bb.wwwwww.bb. ", " .bb.wwwwww.bb. ", " .bb........bb. ", " .bbbbbbbbbbbb. ",
                                " .bbbbbbbbbbbb. ", " .bb........bb. ", " .bb.ww...w.bb. ", " .bb.ww...w.bb. ",
                                " .bb.ww...w.bb. ", " .............. ", "                ", "                "};
const char *const grid_xpm[] = {"16 16 2 1", "  c None", ". c #000000",
                                "                ", "                ", "  .  .  .  .  . ", "                ",
                                "                ", "  .  .  .  .  . ", "                ", "                ",
                                "  .  .  .  .  . ", "                ", "                ", "  .  .  .  .  . ",
                                "                ", "                ", "  .  .  .  .  . ", "                "};
const char *const locked_xpm[] = {"16 16 3 1", "  c None", ". c #000000", "y c #D0A000",
                                  "                ", "     ......     ", "    .      .    ", "   .        .   ",
                                  "   .        .   ", "   .        .   ", "  ............  ", "  .yyyyyyyyyy.  ",
                                  "  .yyyyyyyyyy.  ", "  .yyyy..yyyy.  ", "  .yyyy..yyyy.  ", "  .yyyyyyyyyy.  ",
                                  "  .yyyyyyyyyy.  ", "  ............  ", "                ", "                "};
const char *const unlocked_xpm[] = {"16 16 3 1", "  c None", ". c #000000", "y c #D0A000",
                                    "         ...... ", "        .      .", "       .        ", "       .        ",
                                    "       .        ", "       .        ", "  ............  ", "  .yyyyyyyyyy.  ",
                                    "  .yyyyyyyyyy.  ", "  .yyyy..yyyy.  ", "  .yyyy..yyyy.  ", "  .yyyyyyyyyy.  ",
                                    "  .yyyyyyyyyy.  ", "  ............  ", "                ", "                "};

const char class_key_text[] = "panel";

const char panel_extension[] = "ui";

QString native_save_file(QWidget *parent, const QString &start, const QString &filter)
{
    return QFileDialog::getSaveFileName(parent, VyrPanel::tr("Save Config File As"), start, filter);
}

QString native_open_file(QWidget *parent, const QString &caption, const QString &filter)
{
    return QFileDialog::getOpenFileName(parent, caption, QString(), filter);
}

QString native_graphic_file(QWidget *parent, const QString &caption, const char *name, const QString &start,
                            const QString &filter)
{
    QFileDialog dialog(parent, caption, start, filter);
    dialog.setObjectName(QString::fromLatin1(name));
    dialog.setFileMode(QFileDialog::ExistingFile);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().first();
}

bool native_font(QWidget *parent, const char *name, QFont &font)
{
    QFontDialog dialog(font, parent);
    dialog.setObjectName(QString::fromLatin1(name));
    if (dialog.exec() != QDialog::Accepted)
        return false;
    font = dialog.selectedFont();
    return true;
}

QColor native_color(QWidget *parent, const char *name, const QColor &start)
{
    QColorDialog dialog(start, parent);
    dialog.setObjectName(QString::fromLatin1(name));
    if (dialog.exec() != QDialog::Accepted)
        return QColor();
    return dialog.selectedColor();
}

// A name relative to the current directory when it can be written so.
QString relative_name(const QString &name)
{
    QFileInfo file(name);
    if (make_path_relative(file, QDir::currentPath()) == 1)
        return file.filePath();
    return name;
}

bool is_cnp(const QString &name)
{
    return name.toLower().endsWith(QLatin1String(".cnp"));
}

} // namespace

// A panel frame with controls on it.
const char *const panel_xpm[] = {"16 16 5 1",        "  c None",         ". c #000000",      "w c #FFFFFF",
                                 "r c #C00000",      "g c #008000",      "................", ".wwwwwwwwwwwwww.",
                                 ".w....w..wwwwww.", ".w.rr.w..w.gg.w.", ".w.rr.w..w.gg.w.", ".w....w..wwwwww.",
                                 ".wwwwwwwwwwwwww.", ".w..........www.", ".w.gggggggg.www.", ".w..........www.",
                                 ".wwwwwwwwwwwwww.", ".wwww....wwwwww.", ".wwww.rr.wwwwww.", ".wwww....wwwwww.",
                                 ".wwwwwwwwwwwwww.", "................"};

VyrPanel::Desktop &VyrPanel::desktop()
{
    static Desktop desktop{native_save_file, native_open_file, native_graphic_file, native_font, native_color};
    return desktop;
}

VyrPanel::VyrPanel(QWidget *parent) : VyrDataWindow(class_key_text, parent)
{
    setWindowIcon(QIcon(QPixmap(panel_xpm)));
    set_update_rate(250);
    set_help_key(QStringLiteral("PanelWindow"));

    m_open_button = add_tool_button("open_button", tr("<p><h3>Open</h3>Open file with panel description.</p>"), false);
    m_save_button =
        add_tool_button("save_button", tr("<p><h3>Save</h3>Save panel description to disk file.</p>"), false);
    tool_bar()->add_separator();
    m_grid_button = add_tool_button("grid_button", tr("<p><h3>Grid</h3>Show grid.</p>"), true);
    m_lock_button =
        add_tool_button("lock_button", tr("<p><h3>Lock</h3>Lock/Unlock panel for modification.</p>"), true);
    tool_bar()->add_separator();
    m_grid_button->setChecked(true);
    m_open_button->setIcon(QIcon(QPixmap(open_xpm)));
    m_save_button->setIcon(QIcon(QPixmap(save_xpm)));
    m_grid_button->setIcon(QIcon(QPixmap(grid_xpm)));
    QIcon lock_icon{QPixmap(locked_xpm)};
    lock_icon.addPixmap(QPixmap(unlocked_xpm), QIcon::Normal, QIcon::On);
    m_lock_button->setIcon(lock_icon);
    for (QToolButton *button : {m_open_button, m_save_button, m_grid_button, m_lock_button})
        button->setAutoRepeat(true);
    connect(m_open_button, &QToolButton::clicked, this, [this] { read_panel_from_file(); });
    connect(m_save_button, &QToolButton::clicked, this, &VyrPanel::save_panel_to_file);
    connect(m_grid_button, &QToolButton::toggled, this, &VyrPanel::state_changed);
    connect(m_lock_button, &QToolButton::toggled, this, &VyrPanel::state_changed);
    create_standard_tool_buttons();

    m_panel_window = new VyrPanelWindow(this);
    m_panel_window->set_panel(this);
    m_panel_window->resize_contents(400, 350);
    m_panel_window->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_panel_window->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    insert_tool_widget(m_panel_window);

    setGeometry(50, 50, 480, 300);
    m_modified = false;
    m_panel_window->viewport()->installEventFilter(this);
    m_panel_window->viewport()->setMouseTracking(true);
    m_panel_window->viewport()->setAutoFillBackground(true);
    update_title();
    state_changed();
}

VyrPanel::~VyrPanel()
{
    m_selection.clear();
    // Items leave the script directory before any of them goes, since scripts
    // may still run; then they leave their signals before the widgets go,
    // with the list empty while they do.
    for (const auto &item : m_items)
        item->unregister_item();
    std::vector<std::unique_ptr<VyrPanelItem>> items = std::move(m_items);
    m_items.clear();
    items.clear();
}

VyrDataWindow *VyrPanel::create(QWidget *parent, QtbConfigGroup *group)
{
    auto *panel = new VyrPanel(parent);
    if (group)
        panel->read_configuration(group);
    return panel;
}

// --- State ---------------------------------------------------------------------------------------

bool VyrPanel::has_panel_file() const
{
    return !m_file_name.isEmpty() && !is_cnp(m_file_name);
}

bool VyrPanel::is_locked() const
{
    return !m_lock_button->isChecked();
}

bool VyrPanel::is_grid_on() const
{
    return m_grid_button->isChecked();
}

void VyrPanel::set_modified(bool modified)
{
    m_modified = modified;
    if (modified && !has_panel_file())
        emit configuration_changed();
}

bool VyrPanel::import_cnp_file(const QString &file_name, bool interactive)
{
    CnpDescription description;
    if (read_cnp_file(file_name, description) != 0) {
        report_error(tr("Unable to open file '%1' for reading !").arg(file_name), interactive);
        return false;
    }
    set_filename(file_name);
    if (description.has_caption)
        setCaption(description.caption);
    if (description.has_panel)
        resize(description.panel_width, description.panel_height);
    std::vector<std::unique_ptr<VyrPanelItem>> items;
    for (const CnpElement &element : description.elements) {
        std::unique_ptr<VyrPanelItem> item = make_item(element.item_kind());
        QWidget *widget = item ? item->widget() : nullptr;
        if (!widget)
            continue;
        const int *n = element.numbers;
        const QRect geometry = clamped_screen_rect(n[0], n[1], n[2], n[3]);
        widget->resize(geometry.size());
        widget->move(geometry.topLeft());
        if (element.names_widget)
            widget->setObjectName(QString::fromLatin1(element.params[0]));
        if (element.mode_flag()) {
            if (element.name == "ElemEdit") {
                widget->setProperty("text", QString());
                if (element.resets_mode())
                    widget->setProperty("mode", 0);
            }
        } else if (element.has_text) {
            widget->setProperty(element.name == "ElemFrame" ? "title" : "text", element.text);
        }
        items.push_back(std::move(item));
    }
    adopt_items(std::move(items));
    state_changed();
    return true;
}

void VyrPanel::update_title()
{
    if (has_panel_file())
        setCaption(tr("Panel <%1>").arg(m_file_name));
    else if (m_file_name.isEmpty())
        setCaption(QStringLiteral("%1 %2").arg(QLatin1String(class_key_text)).arg(index()));
}

void VyrPanel::set_filename(const QString &file_name)
{
    if (file_name == m_file_name)
        return;
    m_file_name = file_name;
    emit configuration_changed();
    update_title();
}

void VyrPanel::clear_panel_file()
{
    m_file_name.clear();
    update_title();
    emit configuration_changed();
    state_changed();
}

void VyrPanel::store_in_panel_file()
{
    save_panel_to_file();
    emit configuration_changed();
    state_changed();
}

void VyrPanel::state_changed()
{
    const bool edit = m_lock_button->isChecked() && !running();
    m_grid_button->setEnabled(edit);
    m_lock_button->setEnabled(!running());
    // A new panel's Save asks for its file; an imported description is never written back.
    m_save_button->setEnabled(edit && (has_panel_file() || m_file_name.isEmpty()));
    m_open_button->setEnabled(edit);
    QWidget *viewport = m_panel_window->viewport();
    if (!edit)
        set_selected_item(nullptr, false);
    viewport->setBackgroundRole(edit ? QPalette::Dark : QPalette::Window);
    viewport->setMouseTracking(edit);
    viewport->update();
}

QPoint VyrPanel::snap_to_grid(const QPoint &point) const
{
    if (!m_snap_to_grid)
        return point;
    return QPoint((point.x() + m_grid_x / 2) / m_grid_x * m_grid_x, (point.y() + m_grid_y / 2) / m_grid_y * m_grid_y);
}

// --- Items and selection ---------------------------------------------------------------------------

std::unique_ptr<VyrPanelItem> VyrPanel::make_item(const QString &type_name)
{
    const PanelItemTypeInfo *type = PanelItemTypeInfo::find(type_name);
    return type ? make_item(type) : nullptr;
}

std::unique_ptr<VyrPanelItem> VyrPanel::make_item(const PanelItemTypeInfo *type)
{
    std::unique_ptr<VyrPanelItem> item(type->create_item(m_panel_window->viewport()));
    if (!item)
        return nullptr;
    if (QWidget *widget = item->widget()) {
        // The editing mouse handling sees the widget's events and its children's.
        widget->installEventFilter(this);
        for (QObject *child : widget->children()) {
            child->installEventFilter(this);
            if (child->isWidgetType())
                static_cast<QWidget *>(child)->setMouseTracking(true);
        }
        widget->setMouseTracking(true);
        widget->setSizeIncrement(m_grid_x, m_grid_y);
        widget->move(0, 0);
        widget->hide();
    }
    return item;
}

void VyrPanel::adopt_items(std::vector<std::unique_ptr<VyrPanelItem>> items)
{
    for (auto &item : items) {
        if (QWidget *widget = item->widget())
            widget->show();
        m_items.push_back(std::move(item));
    }
    m_panel_window->viewport()->update();
}

VyrPanelItem *VyrPanel::insert_new_item(const QString &type_name)
{
    std::unique_ptr<VyrPanelItem> item = make_item(type_name);
    if (!item)
        return nullptr;
    m_items.push_back(std::move(item));
    m_panel_window->viewport()->update();
    return m_items.back().get();
}

VyrPanelItem *VyrPanel::insert_new_item(int number)
{
    const PanelItemTypeInfo *type = PanelItemTypeInfo::at_position(number);
    std::unique_ptr<VyrPanelItem> item = type ? make_item(type) : nullptr;
    if (!item)
        return nullptr;
    if (QWidget *widget = item->widget()) {
        widget->move(snap_to_grid(m_panel_window->insertion_point()));
        if (m_snap_to_grid) {
            const QSize hint = widget->sizeHint();
            auto whole_steps = [](int size, int step) {
                const int rounded = (size + step / 2) / step * step;
                return rounded > 0 ? rounded : step;
            };
            widget->resize(whole_steps(hint.width(), m_grid_x), whole_steps(hint.height(), m_grid_y));
        }
        widget->show();
    }
    m_items.push_back(std::move(item));
    set_modified(true);
    m_panel_window->viewport()->update();
    return m_items.back().get();
}

void VyrPanel::set_selected_item_by_widget(QWidget *, bool) {}

void VyrPanel::set_selected_item(VyrPanelItem *item, bool add)
{
    if (!item) {
        m_selection.clear();
    } else {
        if (!add)
            m_selection.clear();
        if (!is_item_selected(item))
            m_selection.push_back(item);
    }
    m_panel_window->viewport()->update();
}

bool VyrPanel::is_item_selected(VyrPanelItem *item) const
{
    return std::find(m_selection.begin(), m_selection.end(), item) != m_selection.end();
}

void VyrPanel::show_selections(bool show)
{
    m_panel_window->set_selections_shown(show);
    m_panel_window->viewport()->update();
}

void VyrPanel::delete_selected_item()
{
    if (m_selection.empty())
        return;
    const std::vector<VyrPanelItem *> selected = std::move(m_selection);
    m_selection.clear();
    // Out of the list first: events that deleting a widget sends meet a
    // consistent item list.
    std::vector<std::unique_ptr<VyrPanelItem>> removed;
    for (auto it = m_items.begin(); it != m_items.end();) {
        if (std::find(selected.begin(), selected.end(), it->get()) != selected.end()) {
            removed.push_back(std::move(*it));
            it = m_items.erase(it);
        } else {
            ++it;
        }
    }
    removed.clear();
    set_modified(true);
    m_panel_window->viewport()->update();
}

void VyrPanel::show_property_dialog_for_selected_item()
{
    if (m_selection.empty())
        return;
    VyrPanelItem *item = m_selection.front();
    VyrDialogControlProperties dialog(this, "item_properties");
    dialog.load_item(item);
    if (dialog.exec() != QDialog::Accepted)
        return;
    dialog.apply_to_item(item);
    set_modified(true);
    m_panel_window->viewport()->update();
}

// --- Editing ---------------------------------------------------------------------------------------

void VyrPanel::set_item_cursor(VyrPanelItem *item, const QCursor &cursor)
{
    QWidget *widget = item->widget();
    if (!widget)
        return;
    widget->setCursor(cursor);
    for (QObject *child : widget->children())
        if (child->isWidgetType())
            static_cast<QWidget *>(child)->setCursor(cursor);
}

void VyrPanel::update_mouse_mode(VyrPanelItem *item, const QPoint &point, bool set_mode)
{
    if (set_mode)
        m_mouse_mode = 0;
    if (!item || !item->widget() || !is_item_selected(item))
        return;
    const QSize size = item->widget()->size();
    int zone_x = m_handle_width;
    int zone_y = m_handle_width;
    if (size.width() < 2 * m_handle_width)
        zone_x = std::max(1, size.width() / 4);
    if (size.height() < 2 * m_handle_width)
        zone_y = std::max(1, size.height() / 4);
    const bool left = point.x() < zone_x;
    const bool right = size.width() - point.x() < zone_x;
    const bool top = point.y() < zone_y;
    const bool bottom = size.height() - point.y() < zone_y;
    Qt::CursorShape shape = Qt::SizeAllCursor;
    if ((left && top) || (right && bottom))
        shape = Qt::SizeFDiagCursor;
    else if ((right && top) || (left && bottom))
        shape = Qt::SizeBDiagCursor;
    else if (left || right)
        shape = Qt::SizeHorCursor;
    else if (top || bottom)
        shape = Qt::SizeVerCursor;
    set_item_cursor(item, QCursor(shape));
    if (set_mode) {
        m_mouse_mode = (left ? 1 : 0) | (right ? 2 : 0) | (top ? 4 : 0) | (bottom ? 8 : 0);
        if (m_mouse_mode == 0)
            m_mouse_mode = 16;
    }
}

VyrPanelItem *VyrPanel::item_of(QObject *object) const
{
    const QObject *viewport = m_panel_window->viewport();
    for (; object && object != viewport && object != m_panel_window; object = object->parent())
        for (const auto &item : m_items)
            if (item->widget() == object)
                return item.get();
    return nullptr;
}

bool VyrPanel::eventFilter(QObject *object, QEvent *event)
{
    if (!object->isWidgetType() || running() || is_locked() || object == m_panel_window)
        return VyrDataWindow::eventFilter(object, event);
    const QEvent::Type type = event->type();
    if (object == m_panel_window->viewport()) {
        if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonRelease &&
            type != QEvent::MouseButtonDblClick && type != QEvent::MouseMove)
            return VyrDataWindow::eventFilter(object, event);
        // A disabled widget gets no mouse events of its own: they reach the
        // viewport, and the item under the mouse takes them here.
        const QPoint point = m_panel_window->viewport()->mapFromGlobal(static_cast<QMouseEvent *>(event)->globalPos());
        for (const auto &item : m_items) {
            QWidget *widget = item->widget();
            if (widget && !widget->isEnabled() && widget->geometry().contains(point))
                return item_event(item.get(), event);
        }
        surface_mouse_event(static_cast<QMouseEvent *>(event));
        return false;
    }
    if (VyrPanelItem *item = item_of(object))
        return item_event(item, event);
    return VyrDataWindow::eventFilter(object, event);
}

void VyrPanel::surface_mouse_event(QMouseEvent *event)
{
    QWidget *viewport = m_panel_window->viewport();
    const QPoint point = viewport->mapFromGlobal(event->globalPos());
    switch (event->type()) {
    case QEvent::MouseButtonPress:
        if (event->button() != Qt::LeftButton)
            break;
        m_drag_anchor = snap_to_grid(event->globalPos());
        m_rubber_band_active = true;
        m_panel_window->set_rubber_rect(QRect(point, QSize(0, 0)));
        break;
    case QEvent::MouseButtonRelease:
        if (event->button() != Qt::LeftButton || !m_rubber_band_active)
            break;
        m_rubber_band_active = false;
        set_selected_item(nullptr, false);
        for (const auto &item : m_items) {
            QWidget *widget = item->widget();
            if (widget && m_panel_window->rubber_rect().contains(widget->geometry(), true))
                set_selected_item(item.get(), true);
        }
        break;
    case QEvent::MouseMove:
        if (m_rubber_band_active) {
            const QPoint a = snap_to_grid(viewport->mapFromGlobal(m_drag_anchor));
            const QPoint b = snap_to_grid(point);
            m_panel_window->set_rubber_rect(QRect(QPoint(std::min(a.x(), b.x()), std::min(a.y(), b.y())),
                                                  QPoint(std::max(a.x(), b.x()) - 1, std::max(a.y(), b.y()) - 1)));
        }
        break;
    default:
        break;
    }
}

bool VyrPanel::item_event(VyrPanelItem *item, QEvent *event)
{
    QWidget *widget = item->widget();
    if (!widget)
        return false;
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() == Qt::LeftButton) {
            if (m_mouse_mode == 0) {
                set_selected_item(item, mouse->modifiers() & Qt::ControlModifier);
                update_mouse_mode(item, widget->mapFromGlobal(mouse->globalPos()), true);
            }
            if (m_mouse_mode != 0) {
                m_drag_anchor = snap_to_grid(mouse->globalPos());
                m_dragging = true;
            }
        }
        return true;
    }
    case QEvent::MouseButtonRelease:
        if (static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton)
            m_dragging = false;
        return true;
    case QEvent::MouseButtonDblClick:
        show_property_dialog_for_selected_item();
        return true;
    case QEvent::MouseMove: {
        auto *mouse = static_cast<QMouseEvent *>(event);
        if (!m_dragging) {
            update_mouse_mode(item, widget->mapFromGlobal(mouse->globalPos()), true);
        } else if (m_mouse_mode != 0 && !(mouse->buttons() & Qt::LeftButton)) {
            // The release went elsewhere: the drag ends without a change.
            m_mouse_mode = 0;
            m_dragging = false;
        } else {
            drag_to(item, mouse->globalPos());
        }
        return true;
    }
    case QEvent::Leave:
        set_item_cursor(item, QCursor(Qt::ArrowCursor));
        return false;
    case QEvent::ContextMenu:
        m_panel_window->open_context_menu(static_cast<QContextMenuEvent *>(event)->globalPos());
        return true;
    default:
        return false;
    }
}

void VyrPanel::drag_to(VyrPanelItem *item, const QPoint &global_position)
{
    const QPoint q = snap_to_grid(global_position);
    const int dx = q.x() - m_drag_anchor.x();
    const int dy = q.y() - m_drag_anchor.y();
    if (dx == 0 && dy == 0)
        return;
    show_selections(false);
    if (m_mouse_mode == 16) {
        for (VyrPanelItem *selected : m_selection)
            if (QWidget *widget = selected->widget())
                widget->move(widget->pos() + QPoint(dx, dy));
    } else if (QWidget *widget = item->widget()) {
        QRect geometry = widget->geometry();
        if (m_mouse_mode & 2)
            geometry.setWidth(geometry.width() + dx);
        if (m_mouse_mode & 1)
            geometry.setLeft(geometry.left() + dx);
        if (m_mouse_mode & 8)
            geometry.setHeight(geometry.height() + dy);
        if (m_mouse_mode & 4)
            geometry.setTop(geometry.top() + dy);
        widget->resize(geometry.size());
        if (m_mouse_mode & (1 | 4))
            widget->move(geometry.topLeft());
    }
    m_drag_anchor = q;
    show_selections(true);
    set_modified(true);
}

void VyrPanel::align_items_to_grid()
{
    bool changed = false;
    for (VyrPanelItem *item : m_selection) {
        QWidget *widget = item->widget();
        if (!widget)
            continue;
        const QRect before = widget->geometry();
        widget->move((before.x() + m_grid_x / 2) / m_grid_x * m_grid_x,
                     (before.y() + m_grid_y / 2) / m_grid_y * m_grid_y);
        widget->resize((before.width() + m_grid_x - 1) / m_grid_x * m_grid_x,
                       (before.height() + m_grid_y - 1) / m_grid_y * m_grid_y);
        changed = changed || widget->geometry() != before;
    }
    if (changed)
        set_modified(true);
    m_panel_window->viewport()->update();
}

void VyrPanel::enable_selected_items(bool enable)
{
    bool changed = false;
    for (VyrPanelItem *item : m_selection)
        if (QWidget *widget = item->widget()) {
            changed = changed || widget->isEnabled() != enable;
            widget->setEnabled(enable);
        }
    if (changed)
        set_modified(true);
}

void VyrPanel::choose_font_for_selected_items()
{
    QFont font;
    if (!desktop().choose_font(this, "choose_font", font))
        return;
    for (VyrPanelItem *item : m_selection)
        if (QWidget *widget = item->widget())
            widget->setFont(font);
    set_modified(true);
}

void VyrPanel::choose_color_for_selected_items()
{
    const QColor colour = desktop().choose_color(this, "choose_fg_color", Qt::black);
    if (!colour.isValid())
        return;
    for (VyrPanelItem *item : m_selection)
        if (QWidget *widget = item->widget())
            panel_properties::write(widget, "paletteForegroundColor", colour);
    set_modified(true);
}

// --- Measurement ----------------------------------------------------------------------------------

void VyrPanel::register_signal_notifiers()
{
    for (const auto &item : m_items) {
        for (const auto &binding : item->bindings()) {
            if (!binding->signal())
                continue;
            const QByteArray id = binding->interface_id().toLatin1();
            if (VyrSignalIf *signal_if = find_signal_if_by_id(id.constData()))
                signal_if->add_signal_listener(binding.get(), binding->signal());
        }
    }
}

void VyrPanel::startup()
{
    for (const auto &item : m_items) {
        if (VyrScriptActivationGroup *group = item->activation_group())
            group->resolve();
        for (const auto &binding : item->bindings()) {
            binding->reset();
            binding->resolve();
        }
        item->load_property_values();
        item->reset_display();
        if (item->widget())
            item->register_item();
    }
    set_selected_item(nullptr, false);
    register_signal_notifiers();
    VyrDataWindow::startup();
}

void VyrPanel::stop()
{
    VyrDataWindow::stop();
    for (const auto &item : m_items)
        if (item->widget())
            item->unregister_item();
}

void VyrPanel::update_signals()
{
    if (is_paused())
        return;
    TimeValue now;
    get_timer_time(now);
    for (const auto &item : m_items) {
        item->update_display(now);
        item->sync_signals();
    }
}

void VyrPanel::signal_changed(const QString &interface_id, const QString &signal_name)
{
    for (const auto &item : m_items) {
        for (const auto &binding : item->bindings()) {
            SignalRecord *signal = binding->signal();
            if (!signal || binding->interface_id() != interface_id || binding->signal_name() != signal_name)
                continue;
            if (!binding->resolve())
                item->refresh_display();
        }
    }
}

void VyrPanel::add_interface(const QString &interface_id)
{
    info(QStringLiteral("IfAdd: ") + interface_id + QStringLiteral("\n"));
    check_actions();
}

void VyrPanel::interface_configuration_changed(const QString &interface_id)
{
    info(QStringLiteral("IfChanged: ") + interface_id + QStringLiteral("\n"));
    check_actions();
}

void VyrPanel::check_actions()
{
    for (const auto &item : m_items) {
        const VyrScriptActivationGroup *group = item->activation_group();
        if (!group)
            continue;
        for (const auto &list : group->lists())
            for (const auto &entry : list->entries())
                if (!entry->resolve())
                    warning(QStringLiteral("Action ") + entry->interface_id() + QStringLiteral("::") +
                            entry->action_name() + QStringLiteral(" not found.\n"));
    }
}

void VyrPanel::remove_interface(const QString &interface_id)
{
    info(QStringLiteral("IfRemove: ") + interface_id + QStringLiteral("\n"));
    for (const auto &item : m_items) {
        if (const VyrScriptActivationGroup *group = item->activation_group()) {
            for (const auto &list : group->lists())
                for (const auto &entry : list->entries())
                    if (entry->interface_id() == interface_id) {
                        entry->resolve();
                        warning(QStringLiteral("Action ") + interface_id + QStringLiteral("::") +
                                entry->action_name() + QStringLiteral(" removed.\n"));
                    }
        }
        for (const auto &binding : item->bindings())
            if (binding->interface_id() == interface_id && binding->resolve())
                warning(QStringLiteral("Action ") + interface_id + QStringLiteral("::") + binding->signal_name() +
                        QStringLiteral(" removed.\n"));
    }
}

// --- Keys and closing ------------------------------------------------------------------------------

void VyrPanel::panel_key_press(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Delete)
        delete_selected_item();
    VyrDataWindow::keyPressEvent(event);
}

void VyrPanel::keyPressEvent(QKeyEvent *event)
{
    panel_key_press(event);
}

bool VyrPanel::save_before_close()
{
    const int answer = vyr_ask_question(
        this, tr("Warning"),
        tr("Panel has been changed.\nSave panel settings to file '%1' before closing ?\n").arg(m_file_name),
        {tr("Yes"), tr("No"), tr("Cancel")});
    if (answer == 0)
        return save_panel_to_file();
    return answer == 1;
}

bool VyrPanel::query_close()
{
    if (!m_modified || !has_panel_file())
        return true;
    return save_before_close();
}

void VyrPanel::closeEvent(QCloseEvent *event)
{
    if (running()) {
        if (startup_hidden())
            hide();
        event->ignore();
        return;
    }
    if (m_modified && has_panel_file() && !save_before_close()) {
        event->ignore();
        return;
    }
    if (option_flag() && !has_panel_file() && m_items.size() > 5) {
        const int answer = vyr_ask_question(
            this, tr("Warning"),
            tr("Are you really sure that you want to close this Window.\nThe contents of this Panel will be lost!\n"),
            {tr("Yes, Close it"), tr("Cancel")});
        if (answer != 0) {
            event->ignore();
            return;
        }
    }
    VyrDataWindow::closeEvent(event);
}

// --- Panel file ------------------------------------------------------------------------------------

void VyrPanel::report_error(const QString &text, bool interactive)
{
    if (interactive)
        vyr_ask_question(this, tr("Error"), text, {tr("OK")}, VyrQuestionIcon::critical);
    else
        error(text + QStringLiteral("\n"));
}

bool VyrPanel::save_panel_to_file()
{
    QString name = m_file_name;
    if (name.isEmpty() || is_cnp(name)) {
        name = desktop().choose_save_file(this, m_file_name,
                                          tr("Config files (*.%1);;All files (*)").arg(QLatin1String(panel_extension)));
        if (name.isEmpty())
            return false;
        if (!name.toLower().endsWith(QStringLiteral(".") + QLatin1String(panel_extension)))
            name += QStringLiteral(".") + QLatin1String(panel_extension);
        name = relative_name(name);
        if (QFileInfo::exists(name)) {
            const int answer = vyr_ask_question(
                this, tr("Warning"), tr("File '%1' already exists.\nDo you want to overwrite it ?").arg(name),
                {tr("OK"), tr("Cancel")});
            if (answer != 0)
                return false;
        }
    }
    set_filename(name);
    if (save_file(name, panel_file_text(*this)) != 0) {
        report_error(tr("Unable to write file '%1'").arg(name), true);
        return false;
    }
    m_modified = false;
    state_changed();
    return true;
}

bool VyrPanel::read_panel_from_file()
{
    if (m_modified) {
        const int answer = vyr_ask_question(
            this, tr("Warning"), tr("Panel has been changed!\nDo you want to save before loading new configuration ?"),
            {tr("YES"), tr("No"), tr("Cancel")});
        if (answer == 2 || answer < 0)
            return false;
        if (answer == 0 && !save_panel_to_file())
            return false;
    }
    QString name = desktop().choose_open_file(
        this, tr("Select Panel Configuration File"),
        tr("Panel files (*.%1 *.cnp);;All files (*)").arg(QLatin1String(panel_extension)));
    if (name.isEmpty())
        return false;
    name = relative_name(name);
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly)) {
        report_error(tr("Unable to open file '%1' for reading !").arg(name), true);
        return false;
    }
    return load_panel_file(name, true);
}

bool VyrPanel::read_panel_from_file(const QString &file_name)
{
    return load_panel_file(file_name, false);
}

bool VyrPanel::load_panel_file(const QString &file_name, bool interactive)
{
    if (is_cnp(file_name))
        return import_cnp_file(file_name, interactive);
    QFile file(file_name);
    if (!file.open(QIODevice::ReadOnly)) {
        report_error(tr("Unable to open file '%1' for reading !").arg(file_name), interactive);
        return false;
    }
    PanelFileReader reader(this);
    if (!reader.parse(file.readAll(), file_name)) {
        report_error(reader.error(), interactive);
        return false;
    }
    set_filename(file_name);
    update_title();
    adopt_items(reader.take_items());
    state_changed();
    return true;
}
