#include "windows/base/vyr_data_window.h"

#include "settings/qtb_config.h"
#include "core/signal_record.h"
#include "core/vyr_signal_if.h"
#include "core/vyr_signal_list.h"
#include "windows/base/data_window_type_info.h"
#include "windows/base/tool_icons.h"
#include "windows/base/vyr_shell_services.h"
#include "windows/base/vyr_signal_display_list.h"
#include "windows/signals/vyr_signal_select.h"
#include "windows/vyr_window_properties.h"

#include <QCoreApplication>
#include <QDockWidget>
#include <QFrame>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMetaMethod>
#include <QPixmap>
#include <QStatusBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWidgetAction>
#include <QWindowStateChangeEvent>

#include <algorithm>
#include <unordered_set>

namespace {

// Connects the sender's signal to the receiver's slot when the receiver has
// it (both given by their normalised signatures).
void connect_if_slot(QObject *sender, const char *signal, QObject *receiver, const char *slot)
{
    if (!receiver)
        return;
    const int slot_index = receiver->metaObject()->indexOfSlot(slot);
    if (slot_index < 0)
        return;
    const QMetaObject *meta = sender->metaObject();
    QObject::connect(sender, meta->method(meta->indexOfSignal(signal)), receiver,
                     receiver->metaObject()->method(slot_index));
}

// A 16-pixel auto-raise button of the bar, sized to its hint with the icon
// it has (none: the caller draws one later), never taking the focus.
QToolButton *make_tool_button(VyrToolBar *bar, const char *name, const QIcon &icon, const QString &tip, bool toggle)
{
    auto *button = new QToolButton(bar);
    button->setObjectName(QString::fromLatin1(name));
    button->setAutoRaise(true);
    button->setCheckable(toggle);
    if (!icon.isNull())
        button->setIcon(icon);
    button->setIconSize(QSize(16, 16));
    button->setToolTip(tip);
    button->setFocusPolicy(Qt::NoFocus);
    button->setFixedSize(button->sizeHint());
    bar->addWidget(button);
    return button;
}

QToolButton *make_tool_button(VyrToolBar *bar, const char *name, const char *const *xpm, const QString &tip)
{
    return make_tool_button(bar, name, QIcon(QPixmap(xpm)), tip, false);
}

bool has_dock_layout(const QMainWindow *window)
{
    return !window->findChildren<QToolBar *>(QString(), Qt::FindDirectChildrenOnly).isEmpty() ||
        !window->findChildren<QDockWidget *>(QString(), Qt::FindDirectChildrenOnly).isEmpty();
}

} // namespace

// --- VyrToolBar -------------------------------------------------------------------

VyrToolBar::VyrToolBar(QWidget *parent) : QToolBar(parent)
{
    setObjectName(QStringLiteral("tool_bar"));
    setMovable(false);
    setFloatable(false);
    setFocusPolicy(Qt::NoFocus);
    // Hidden only with its window: no entry in the window's context menu.
    toggleViewAction()->setEnabled(false);
    toggleViewAction()->setVisible(false);
}

VyrToolBar::~VyrToolBar()
{
    // The bar's own teardown would take each widget out of the window with
    // setParent(nullptr), and each such move walks the focus chain of the
    // whole main window: closing n windows would take time in n squared.
    // Deleted here, a widget only unlinks itself. Only the widgets added to
    // the bar go so; its own parts are the bar's to delete.
    for (QAction *action : actions())
        if (auto *holder = qobject_cast<QWidgetAction *>(action))
            delete holder->defaultWidget();
}

void VyrToolBar::childEvent(QChildEvent *event)
{
    QToolBar::childEvent(event);
    // Checked once the children are built and the bar has mapped its own
    // widgets, in one call for all that came until then (a call each would
    // pile up in the event queue while many windows are made at once).
    if (event->type() == QEvent::ChildAdded && event->child()->isWidgetType() && !m_children_pending) {
        m_children_pending = true;
        QMetaObject::invokeMethod(this, [this] { take_children(); }, Qt::QueuedConnection);
    }
}

void VyrToolBar::take_children()
{
    m_children_pending = false;
    for (QWidget *child : findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly))
        take_child(child);
}

void VyrToolBar::take_child(QWidget *child)
{
    if (!child || child->parentWidget() != this || child->isWindow() ||
        child->objectName().startsWith(QLatin1String("qt_")))
        return;
    for (QAction *action : actions())
        if (widgetForAction(action) == child)
            return;
    addWidget(child);
    if (isVisible())
        child->show();
}

void VyrToolBar::add_separator()
{
    auto *line = new QFrame(this);
    line->setFrameShape(QFrame::VLine);
    line->setFrameShadow(QFrame::Sunken);
    line->setMinimumWidth(2);
    addWidget(line);
}

VyrDataWindowNotification *data_window_notification()
{
    static VyrDataWindowNotification notification;
    return &notification;
}

// --- VyrDataWindow: construction and the window list -----------------------------------

VyrDataWindow::VyrDataWindow(const char *class_key, QWidget *parent)
    : QMainWindow(nullptr), m_class_key(class_key ? class_key : "")
{
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QString::fromLatin1(m_class_key.c_str()));

    QObject *receiver = DataWindowTypeInfo::message_receiver();
    connect_if_slot(this, "signal_log_message_info(QString)", receiver, "log_message_info(QString)");
    connect_if_slot(this, "signal_log_message_warning(QString)", receiver, "log_message_warning(QString)");
    connect_if_slot(this, "signal_log_message_error(QString)", receiver, "log_message_error(QString)");

    // The lowest number from 1 up that no window of the class has, in one
    // walk over the windows (a lookup per number tried took n squared).
    std::unordered_set<int> taken;
    for (VyrDataWindow *w = first_window(); w; w = w->next_window())
        if (w->m_class_key == m_class_key)
            taken.insert(w->m_index);
    while (taken.count(m_index))
        ++m_index;

    auto *content = new QWidget(this);
    content->setObjectName(QStringLiteral("content"));
    m_main_layout = new QVBoxLayout(content);
    m_main_layout->setContentsMargins(1, 1, 1, 1);
    setCentralWidget(content);

    m_tool_bar = new VyrToolBar(this);
    addToolBar(Qt::TopToolBarArea, m_tool_bar);

    m_status_label = new QLabel(tr("Status: Offline"), this);
    m_status_label->setObjectName(QStringLiteral("status_label"));
    m_status_label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_status_label->setFixedHeight(m_status_label->sizeHint().height());
    m_status_label->setFixedWidth(m_status_label->sizeHint().width() + 10);
    m_info_label = new QLabel(this);
    m_info_label->setObjectName(QStringLiteral("info_label"));
    m_info_label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_info_label->setFixedHeight(m_status_label->sizeHint().height());
    statusBar()->addWidget(m_status_label);
    statusBar()->addWidget(m_info_label, 1);
    statusBar()->setSizeGripEnabled(false);
    statusBar()->hide();

    if (VyrShellServices *shell = shell_services())
        connect_if_slot(this, "activate_help_context(QString)", shell->main_window(), "activate_help_context(QString)");

    setCaption(QCoreApplication::translate("VyrMain", m_class_key.c_str()) + QLatin1Char(' ') +
               QString::number(m_index));

    s_open_windows.push_back(this);
    emit data_window_notification()->window_list_changed();
    enter_workspace(parent);
}

void VyrDataWindow::enter_workspace(QWidget *parent)
{
    if (auto *area = qobject_cast<QMdiArea *>(parent)) {
        area->addSubWindow(this)->setAttribute(Qt::WA_DeleteOnClose);
        watch_sub_window();
    } else if (parent) {
        setParent(parent, windowFlags() & ~Qt::WindowType_Mask);
    }
}

VyrDataWindow::~VyrDataWindow()
{
    emit configuration_changed();
    s_open_windows.remove(this);
    emit data_window_notification()->window_list_changed();
}

VyrDataWindow *find_window(const char *class_key, int index)
{
    if (!class_key)
        return nullptr;
    for (VyrDataWindow *w = first_window(); w; w = w->next_window())
        if (w->index() == index && w->class_key() == class_key)
            return w;
    return nullptr;
}

VyrDataWindow::OpenWindows VyrDataWindow::s_open_windows;

VyrDataWindow *first_window()
{
    return VyrDataWindow::s_open_windows.first();
}

QMdiSubWindow *VyrDataWindow::sub_window() const
{
    return qobject_cast<QMdiSubWindow *>(parentWidget());
}

QWidget *VyrDataWindow::frame() const
{
    if (QMdiSubWindow *sub = sub_window())
        return sub;
    return const_cast<VyrDataWindow *>(this);
}

QMargins VyrDataWindow::frame_margins() const
{
    QMdiSubWindow *sub = sub_window();
    if (!sub)
        return QMargins();
    sub->ensurePolished();
    return sub->contentsMargins();
}

void VyrDataWindow::fit_frame_to(const QSize &window_size)
{
    resize(window_size);
    if (QMdiSubWindow *sub = sub_window())
        sub->resize(window_size.grownBy(frame_margins()));
}

void VyrDataWindow::watch_sub_window()
{
    if (QMdiSubWindow *sub = sub_window())
        sub->installEventFilter(this);
}

// --- Tool bar and content ------------------------------------------------------------

void VyrDataWindow::create_standard_tool_buttons()
{
    if (m_has_log_button) {
        m_log_button =
            make_tool_button(m_tool_bar, "log_to_file_button", log_to_file_xpm,
                             tr("<p><h3>Log to File</h3>Opens a dialog for setting up the Log to File function.</p>"));
        connect(m_log_button, &QToolButton::clicked, this, &VyrDataWindow::open_log_to_file_dialog);
        m_tool_bar->add_separator();
    }
    m_properties_button = make_tool_button(
        m_tool_bar, "properties_button", window_properties_xpm,
        tr("<p><h3>Window Properties</h3>Opens the dialog for setting the window title and update rate.</p>"));
    connect(m_properties_button, &QToolButton::clicked, this, &VyrDataWindow::open_properties_dialog);
    m_pause_button =
        make_tool_button(m_tool_bar, "pause_button", pause_xpm,
                         tr("<p><h3>Pause</h3>Stops updating the window contents during measurement.</p>"));
    m_pause_button->setCheckable(true);
    connect(m_pause_button, &QToolButton::toggled, this, &VyrDataWindow::signal_pause);
    m_help_button = make_tool_button(m_tool_bar, "help_button", help_xpm, tr("Help"));
    m_help_button->setText(tr("Help"));
    connect(m_help_button, &QToolButton::clicked, this, &VyrDataWindow::signal_help_context);
    m_pause_button->setChecked(false);
    m_pause_button->setEnabled(false);
}

void VyrDataWindow::insert_tool_widget(QWidget *widget)
{
    m_main_layout->insertWidget(0, widget, 50);
}

void VyrDataWindow::hide_status_line(bool hide)
{
    statusBar()->setVisible(!hide);
}

bool VyrDataWindow::is_paused() const
{
    return m_pause_button && m_pause_button->isChecked();
}

void VyrDataWindow::setCaption(const QString &text)
{
    setWindowTitle(text);
    if (m_tool_bar)
        m_tool_bar->setWindowTitle(QStringLiteral("Toolbar <") + text + QLatin1Char('>'));
}

QString VyrDataWindow::description_text() const
{
    return tr("<h3>Window \"%1\"</h3>").arg(caption().toHtmlEscaped()) +
        tr("<p>Belongs to class \"%1\".</p>").arg(QString::fromLatin1(m_class_key.c_str()).toHtmlEscaped()) +
        tr("<p>Update interval: %1 ms</p>").arg(m_update_rate);
}

// --- Measurement -------------------------------------------------------------------------

void VyrDataWindow::set_update_rate(int ms)
{
    m_update_rate = ms;
    if (m_started)
        restart_timer();
}

void VyrDataWindow::restart_timer()
{
    if (m_timer_active)
        killTimer(m_timer_id);
    m_timer_id = 0;
    m_timer_active = false;
    if (m_update_rate < 1)
        return;
    m_timer_interval = std::max(m_update_rate, min_update_interval);
    m_timer_id = startTimer(m_timer_interval);
    m_timer_active = true;
}

void VyrDataWindow::startup()
{
    m_running = true;
    state_changed();
    if (m_pause_button)
        m_pause_button->setEnabled(true);
    if (m_log_button)
        m_log_button->setEnabled(false);
    if (m_extra_tool_widget)
        m_extra_tool_widget->setEnabled(m_extra_enable);
    m_status_label->setText(tr("Status: Online"));
}

void VyrDataWindow::start()
{
    m_started = true;
    restart_timer();
}

void VyrDataWindow::stop()
{
    if (m_timer_active)
        killTimer(m_timer_id);
    update_signals();
    m_started = false;
    m_running = false;
    m_timer_id = 0;
    m_timer_active = false;
    if (m_pause_button) {
        m_pause_button->setChecked(false);
        m_pause_button->setEnabled(false);
    }
    if (m_log_button)
        m_log_button->setEnabled(true);
    if (m_extra_tool_widget)
        m_extra_tool_widget->setEnabled(false);
    m_status_label->setText(tr("Status: Offline"));
    state_changed();
}

void VyrDataWindow::signal_pause()
{
    m_status_label->setText(is_paused() ? tr("Status: Paused") : tr("Status: Online"));
    state_changed();
}

void VyrDataWindow::timerEvent(QTimerEvent *event)
{
    if (m_timer_active && event->timerId() == m_timer_id)
        update_signals();
    else
        QMainWindow::timerEvent(event);
}

void VyrDataWindow::closeEvent(QCloseEvent *event)
{
    if (m_running) {
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}

void VyrDataWindow::close_window()
{
    m_open = false;
    // Inside a workspace the frame closes, and with it the window.
    if (QMdiSubWindow *sub = sub_window())
        sub->close();
    else
        close();
}

// --- Help and messages ---------------------------------------------------------------------

void VyrDataWindow::signal_help_context()
{
    emit activate_help_context(m_help_key);
}

void VyrDataWindow::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_F1) {
        signal_help_context();
        return;
    }
    QMainWindow::keyPressEvent(event);
}

void VyrDataWindow::info(const QString &text)
{
    emit signal_log_message_info(caption() + QStringLiteral(": ") + text);
}

void VyrDataWindow::warning(const QString &text)
{
    emit signal_log_message_warning(tr("Warning in %1: ").arg(caption()) + text);
}

void VyrDataWindow::error(const QString &text)
{
    emit signal_log_message_error(tr("Error in %1: ").arg(caption()) + text);
}

// --- Properties ---------------------------------------------------------------------------------

void VyrDataWindow::open_properties_dialog()
{
    auto *dialog = new VyrWindowProperties(this, "window_properties");
    dialog->setWindowTitle(tr("%1 Properties").arg(caption()));
    dialog->set_title(caption());
    dialog->set_identifier(m_window_identifier);
    dialog->set_update_rate(m_update_rate);
    bool changed = false;
    if (dialog->exec() == QDialog::Accepted) {
        if (dialog->title() != caption()) {
            setCaption(dialog->title());
            changed = true;
        }
        if (dialog->identifier() != m_window_identifier) {
            m_window_identifier = dialog->identifier();
            changed = true;
        }
        if (dialog->update_rate() != m_update_rate) {
            set_update_rate(dialog->update_rate());
            changed = true;
        }
    }
    delete dialog;
    if (changed)
        emit configuration_changed();
}

// --- Signals of the display list -------------------------------------------------------------------

void VyrDataWindow::open_signal_dialog()
{
    open_signal_select_dialog(this, false, nullptr, 1, 0)->show();
}

void VyrDataWindow::insert_signal(const QString &interface_id, const QString &signal_name)
{
    VyrSignalDisplayList *list = signal_display_list();
    if (!list)
        return;
    VyrSignalIf *signal_if = find_signal_if_by_id(interface_id.toLatin1().constData());
    if (!signal_if)
        return;
    SignalRecord *signal = nullptr;
    if (VyrSignalList *signals_of_if = signal_if->signal_list())
        signal = signals_of_if->find(signal_name.toLatin1().constData());
    list->append_signal(signal);
}

int VyrDataWindow::remove_signal(const QString &interface_id, const QString &signal_name)
{
    VyrSignalDisplayList *list = signal_display_list();
    if (!list)
        return 0;
    const QByteArray id = interface_id.toLatin1();
    const QByteArray name = signal_name.toLatin1();
    int removed = 0;
    // Each removal starts the walk again: removing changes the list.
    for (bool found = true; found;) {
        found = false;
        for (SignalDisplayEntry *entry : list->entries()) {
            SignalRecord *signal = entry->signal();
            if (!signal || !signal->name() || name != signal->name() || !signal->owner() ||
                id != signal->owner()->make_id().c_str())
                continue;
            list->remove_entry(entry);
            ++removed;
            found = true;
            break;
        }
    }
    return removed;
}

void VyrDataWindow::signal_changed(const QString &interface_id, const QString &signal_name)
{
    VyrSignalDisplayList *list = signal_display_list();
    if (!list)
        return;
    const QByteArray id = interface_id.toLatin1();
    const QByteArray name = signal_name.toLatin1();
    for (SignalDisplayEntry *entry : list->entries()) {
        SignalRecord *signal = entry->signal();
        if (signal && signal->name() && name == signal->name() && signal->owner() &&
            id == signal->owner()->make_id().c_str())
            entry->set_signal_flag((signal->flags() & 0x1) != 0);
    }
}

void VyrDataWindow::remove_interface(const QString &interface_id)
{
    VyrSignalDisplayList *list = signal_display_list();
    if (!list)
        return;
    const QByteArray id = interface_id.toLatin1();
    // The interface and its signals go away: the use counts are left alone.
    for (bool found = true; found;) {
        found = false;
        for (SignalDisplayEntry *entry : list->entries()) {
            SignalRecord *signal = entry->signal();
            if (signal && signal->owner() && id == signal->owner()->make_id().c_str()) {
                list->remove_entry(entry, false);
                found = true;
                break;
            }
        }
    }
}

// --- Configuration ------------------------------------------------------------------------------------

QtbConfigGroup *VyrDataWindow::write_base_configuration(QtbConfig *config)
{
    store_normal_geometry();
    QtbConfigGroup *group = config->add_group(m_class_key.c_str());
    group->write_rect("geometry", m_normal_geometry);
    group->write_string("title", caption());
    group->write_string_utf8("title_utf8", caption());
    group->write_string("wid", m_window_identifier);
    group->write_int("update_rate", m_update_rate);
    group->write_int("index", m_index);
    group->write_bool("startup_hidden", m_startup_hidden);
    // One saved state holds the tool bars and dock windows of both dock areas.
    if (has_dock_layout(this))
        group->write_string("top_dock_config", QString::fromLatin1(saveState().toBase64()));
    group->write_bool("maximized_qt", frame()->isMaximized());
    group->write_bool("minimized_qt", frame()->isMinimized());
    group->write_bool("maximized", m_maximized);
    group->write_bool("minimized", m_minimized);
    group->write_bool("detached", m_detached);
    group->write_int("workspace_id", m_workspace_id);
    return group;
}

int VyrDataWindow::read_base_configuration(QtbConfigGroup *group)
{
    if (!group)
        return 0;
    m_update_rate = group->read_int("update_rate", m_update_rate);
    m_index = group->read_int("index", 0);
    const QString title = group->read_string("title", caption());
    const QString title_utf8 = group->read_string_utf8("title_utf8", title);
    m_window_identifier = group->read_string("wid", m_window_identifier);

    QWidget *placed = frame();
    const QPoint frame_position = placed->parentWidget() && placed != this ? placed->pos() : pos();
    const QRect geometry = group->read_rect("geometry", QRect(frame_position, size()));
    m_normal_geometry = geometry;
    if (QMdiSubWindow *sub = sub_window()) {
        // The frame keeps the stored position and width, the window the height.
        fit_frame_to(QSize(geometry.width() - frame_margins().left() - frame_margins().right(), geometry.height()));
        sub->move(geometry.topLeft());
    } else {
        resize(geometry.size());
        move(geometry.topLeft());
    }
    m_startup_hidden = group->read_bool("startup_hidden", false);
    m_maximized = group->read_bool("maximized", false);
    m_minimized = group->read_bool("minimized", false);
    setCaption(title_utf8);
    const QString dock_state = group->read_string("top_dock_config", QString());
    if (!dock_state.isEmpty())
        restoreState(QByteArray::fromBase64(dock_state.toLatin1()));
    return 0;
}

// --- Geometry, states, detach and attach -------------------------------------------------------------

void VyrDataWindow::store_normal_geometry()
{
    if (m_detached) {
        m_normal_geometry = QRect(pos(), size());
        return;
    }
    QMdiSubWindow *sub = sub_window();
    if (!sub || m_maximized || m_minimized)
        return;
    m_normal_geometry = QRect(sub->pos(), QSize(sub->width(), height()));
}

void VyrDataWindow::window_state_changed(Qt::WindowStates states)
{
    if (states & Qt::WindowMaximized) {
        store_normal_geometry();
        m_maximized = true;
        m_minimized = false;
    } else if (states & Qt::WindowMinimized) {
        store_normal_geometry();
        m_minimized = true;
        m_maximized = false;
    } else {
        const bool was_maximized = m_maximized;
        m_maximized = false;
        m_minimized = false;
        // The workspace restores its maximised windows together.
        if (was_maximized && !m_detached)
            for (VyrDataWindow *w = first_window(); w; w = w->next_window())
                if (w != this && !w->m_detached && w->m_workspace_id == m_workspace_id)
                    w->m_maximized = false;
    }
}

namespace {

// Activating a window changes its state as well; only maximising,
// minimising and restoring count here.
bool size_state_changed(QEvent *event, Qt::WindowStates now)
{
    if (event->type() != QEvent::WindowStateChange)
        return false;
    const Qt::WindowStates size_states = Qt::WindowMaximized | Qt::WindowMinimized;
    return (static_cast<QWindowStateChangeEvent *>(event)->oldState() & size_states) != (now & size_states);
}

} // namespace

bool VyrDataWindow::event(QEvent *event)
{
    if (m_detached && size_state_changed(event, windowState()))
        window_state_changed(windowState());
    return QMainWindow::event(event);
}

bool VyrDataWindow::eventFilter(QObject *watched, QEvent *event)
{
    QMdiSubWindow *sub = sub_window();
    if (watched == sub && size_state_changed(event, sub->windowState()))
        window_state_changed(sub->windowState());
    return QMainWindow::eventFilter(watched, event);
}

void VyrDataWindow::showEvent(QShowEvent *event)
{
    if (event->spontaneous())
        emit data_window_notification()->window_list_changed();
    QMainWindow::showEvent(event);
}

void VyrDataWindow::hideEvent(QHideEvent *event)
{
    if (event->spontaneous())
        emit data_window_notification()->window_list_changed();
    QMainWindow::hideEvent(event);
}

void VyrDataWindow::detach_from_workspace()
{
    if (m_detached)
        return;
    const QIcon icon = windowIcon();
    QMdiSubWindow *sub = sub_window();
    const bool visible = sub ? sub->isVisible() : isVisible();
    const QSize window_size = size();
    QWidget *main = shell_services() ? shell_services()->main_window() : nullptr;
    if (sub) {
        sub->removeEventFilter(this);
        sub->setWidget(nullptr);
        if (QMdiArea *area = sub->mdiArea())
            area->removeSubWindow(sub);
        sub->deleteLater();
    }
    setParent(main, Qt::Window);
    setAttribute(Qt::WA_DeleteOnClose);
    resize(window_size);
    move(50, 50);
    if (visible)
        show();
    m_detached = true;
    setWindowIcon(icon);
    m_workspace_id = -1;
}

void VyrDataWindow::attach_to_workspace()
{
    VyrShellServices *shell = shell_services();
    if (!m_detached || !shell || !shell->main_window())
        return;
    QMdiArea *area = shell->active_workspace_widget();
    if (!area)
        return;
    const bool visible = isVisible();
    const QSize window_size = size();
    QMdiSubWindow *sub = area->addSubWindow(this);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    watch_sub_window();
    fit_frame_to(window_size);
    sub->move(20, 20);
    if (visible)
        show();
    m_detached = false;
    m_workspace_id = shell->active_workspace_id();
}

QToolButton *VyrDataWindow::add_tool_button(const char *name, const QString &tip, bool toggle)
{
    return make_tool_button(m_tool_bar, name, QIcon(), tip, toggle);
}

void VyrDataWindow::forward_list_keys(QKeyEvent *event, QWidget *list_view)
{
    switch (event->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Home:
    case Qt::Key_End:
    case Qt::Key_Space:
        QCoreApplication::sendEvent(list_view, event);
        return;
    default:
        VyrDataWindow::keyPressEvent(event);
    }
}
