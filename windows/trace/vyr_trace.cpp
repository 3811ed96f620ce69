#include "windows/trace/vyr_trace.h"
#include "windows/base/tool_icons.h"

#include "windows/trace/vyr_dialog_trace_filters.h"
#include "settings/qtb_config.h"
#include "interfaces/can/vyr_can_if.h"
#include "windows/logging/log_file.h"
#include "windows/logging/vyr_dialog_log_to_file.h"
#include "windows/signals/vyr_can_signal_table.h"
#include "windows/trace/vyr_message_view.h"
#include "windows/trace/vyr_trace_message_queue.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDockWidget>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QToolButton>

#include <cstring>

namespace {

// A disc with one of eight segments lit, or with none (-1).
QIcon indicator_icon(int frame, const QColor &color)
{
    return drawn_icon([frame, color](QPainter &p) {
        p.setPen(Qt::black);
        p.setBrush(color);
        p.drawEllipse(QRect(1, 1, 14, 14));
        if (frame >= 0) {
            p.setBrush(Qt::red);
            p.drawPie(QRect(1, 1, 14, 14), -frame * 45 * 16, 45 * 16);
        }
    });
}

} // namespace

VyrTrace::VyrTrace(QWidget *parent) : VyrDataWindow(class_key_text, parent)
{
    set_update_rate(250);
    setGeometry(50, 50, 600, 400);
    set_help_key(QStringLiteral("CanTraceWindow"));
    setFocusPolicy(Qt::StrongFocus);

    m_filter_icon = trace_filter_icon(Qt::white);
    m_filter_active_icon = trace_filter_icon(Qt::red);
    m_indicator_idle_icon = indicator_icon(-1, Qt::lightGray);
    m_indicator_waiting_icon = indicator_icon(-1, Qt::yellow);
    for (int frame = 0; frame < 8; ++frame)
        m_animation_icons[frame] = indicator_icon(frame, Qt::white);

    VyrToolBar *bar = tool_bar();
    m_channel_combo = new QComboBox(bar);
    m_channel_combo->setObjectName(QStringLiteral("channel_combo"));
    m_channel_combo->setToolTip(tr("<p><h3>Select CAN Channel</h3>Allows you to select the CAN interface from which "
                                   "CAN messages should be displayed.</p>"));
    m_channel_combo->setMinimumContentsLength(8);
    bar->addWidget(m_channel_combo);
    bar->add_separator();
    m_filter_button = add_tool_button("message_filter_button",
                                 tr("<p><h3>Message Filter</h3>Opens the dialog for setting up the message "
                                    "filters.</p>"),
                                 false);
    m_filter_button->setIcon(m_filter_icon);
    m_clear_button = add_tool_button("clear_button",
                                tr("<p><h3>Clear Messages</h3>Clears the contents of the trace window.</p>"), false);
    m_clear_button->setIcon(drawn_icon([](QPainter &p) {
        p.setPen(QPen(Qt::red, 2));
        p.drawLine(3, 3, 13, 13);
        p.drawLine(13, 3, 3, 13);
    }));
    bar->add_separator();
    m_database_button = add_tool_button(
        "database_mode_button",
        tr("<p><h3>Activate CAN Database Mode</h3><i>CAN Database Mode</i> means that all message identfiers are "
           "looked up in a CAN database. If the identifier is found, then the name of the message is "
           "displayed.</p><p>To activate this function a <i>CAN database</i> must be associated with the CAN "
           "channel.</p>"),
        true);
    m_database_button->setIcon(letter_icon(QStringLiteral("DB")));
    m_signal_table_button = add_tool_button(
        "signal_table_button",
        tr("<p><h3>Activate CAN Signal Table</h3><i>CAN Signal Table</i> displays all signals included in a CAN "
           "message in a special table.</p><p>To activate this function a <i>CAN database</i> must be associated "
           "with the CAN channel.</p>"),
        true);
    m_signal_table_button->setIcon(letter_icon(QStringLiteral("ST")));
    m_scroll_button = add_tool_button("display_mode_button",
                                 tr("<p><h3>Display Mode</h3>Switches the Display Mode between <ul><li>Fixed Position "
                                    "Mode</li><li>Scroll Mode</li></ul></p>"),
                                 true);
    m_scroll_button->setIcon(letter_icon(QStringLiteral("\u2195")));
    m_time_button = add_tool_button("time_format_button",
                               tr("<p><h3>Time Format</h3>Switches the Time Format between<ul><li>Absolute "
                                  "Time</li><li>Time Difference</li></ul></p>"),
                               true);
    m_time_button->setIcon(letter_icon(QStringLiteral("\u0394t")));
    m_display_filter_button = add_tool_button("display_filter_button",
                                         tr("<p><h3>Display Filter</h3>Show only selected messages. Only available "
                                            "in scroll mode and offline mode.</p>"),
                                         true);
    m_display_filter_button->setIcon(trace_filter_icon(Qt::green));
    m_log_button = add_tool_button("log_to_file_button",
                              tr("<p><h3>Log to File</h3>Opens a dialog for setting up the Log to File function.</p>"),
                              false);
    m_log_button->setIcon(letter_icon(QStringLiteral("\u270e")));
    m_indicator_button = add_tool_button("log_indicator_button",
                                    tr("<p><h3>Log to File Activity Indicator</h3>Shows when logging is active and "
                                       "allows you to interrupt it.</p>"),
                                    true);
    m_indicator_button->setIcon(m_indicator_idle_icon);
    bar->add_separator();
    m_search = add_search_tools(tr("Find:"));
    bar->add_separator();
    create_standard_tool_buttons();

    m_view = new VyrMessageView(this, "message_view");
    insert_tool_widget(m_view);

    m_signal_table = new VyrCanSignalTable(nullptr, "trace_signal_table", false);
    m_dock = new QDockWidget(tr("CAN Signal Table"), this);
    m_dock->setObjectName(QStringLiteral("signal_table_dock"));
    m_dock->setWidget(m_signal_table);
    addDockWidget(Qt::BottomDockWidgetArea, m_dock);
    m_dock->hide();
    m_signal_table->installEventFilter(this);
    m_dock->installEventFilter(this);

    connect(m_channel_combo, QOverload<int>::of(&QComboBox::activated), this, &VyrTrace::combo_selection_changed);
    connect(m_filter_button, &QToolButton::clicked, this, &VyrTrace::show_filter_dialog);
    connect(m_clear_button, &QToolButton::clicked, m_view, &VyrMessageView::clear);
    for (QToolButton *button : {m_database_button, m_scroll_button, m_time_button, m_display_filter_button})
        connect(button, &QToolButton::toggled, this, &VyrTrace::state_changed);
    // The window keeps these two modes in the configuration.
    for (QToolButton *button : {m_database_button, m_time_button})
        connect(button, &QToolButton::toggled, this, &VyrDataWindow::configuration_changed);
    connect(m_signal_table_button, &QToolButton::clicked, this, &VyrTrace::show_signal_table);
    connect(m_log_button, &QToolButton::clicked, this, &VyrTrace::show_log_to_file_dialog);
    connect(m_indicator_button, &QToolButton::clicked, this, &VyrTrace::button_logfile_indicator_clicked);
    connect(m_scroll_button, &QToolButton::toggled, m_view, &VyrMessageView::set_scroll_mode);
    connect(m_display_filter_button, &QToolButton::toggled, m_view, &VyrMessageView::set_display_filter);
    connect(m_search.down, &QToolButton::clicked, this, &VyrTrace::search_down);
    connect(m_search.up, &QToolButton::clicked, this, &VyrTrace::search_up);
    connect(m_search.text, &QLineEdit::textChanged, this, &VyrTrace::state_changed);
    connect(m_view, &VyrMessageView::show_context_menu, this, &VyrTrace::show_context_menu);
    connect(m_view, &VyrMessageView::selection_changed, this, &VyrTrace::state_changed);
    connect(m_view, &VyrMessageView::filters_changed, this, &VyrTrace::state_changed);
    connect(m_view, &VyrMessageView::filters_changed, this, &VyrTrace::update_log_filters);
    connect(m_view, &VyrMessageView::cursor_position_changed, this, &VyrTrace::update_signal_table);
    connect(m_view, &VyrMessageView::configuration_changed, this, &VyrDataWindow::configuration_changed);
    connect(m_signal_table, &QObject::destroyed, this, &VyrTrace::signal_table_destroyed);
    connect(m_dock, &QObject::destroyed, this, &VyrTrace::signal_table_destroyed);

    update_can_source_list();
}

VyrTrace::~VyrTrace()
{
    if (m_attached_to)
        m_attached_to->remove_message_listener(&m_view->store()->intake());
    if (m_log_file)
        m_log_file->stop_writer();
    m_view->set_interface(nullptr);
    if (m_signal_table) {
        disconnect(m_signal_table, nullptr, this, nullptr);
        m_signal_table->set_candb_cluster(nullptr);
        m_signal_table->set_can_data(nullptr);
    }
    if (m_dock) {
        disconnect(m_dock, nullptr, this, nullptr);
        delete m_dock;
    }
}

VyrCanIf *VyrTrace::interface() const
{
    return m_view->interface();
}

void VyrTrace::set_interface(VyrSignalIf *signal_if)
{
    m_view->set_interface(VyrCanIf::of(signal_if));
}

void VyrTrace::setCaption(const QString &text)
{
    VyrDataWindow::setCaption(text);
    if (m_dock)
        m_dock->setWindowTitle(tr("CAN Signal Table <") + text + QLatin1Char('>'));
}

QString VyrTrace::description_text() const
{
    QString text = VyrDataWindow::description_text() + QStringLiteral("<ul>");
    if (VyrCanIf *can = interface())
        text += tr("<li>CAN Interface: %1</li>").arg(QString::fromStdString(can->name()).toHtmlEscaped());
    else
        text += tr("<li>No CAN interface assigned.</li>");
    return text + QStringLiteral("</ul>");
}

// --- Channel ---------------------------------------------------------------------------------

void VyrTrace::combo_selection_changed(int index)
{
    set_interface(index > 0 ? m_channels.value(index) : nullptr);
    m_channel_combo->setCurrentIndex(index);
    m_view->viewport()->update();
    setup_signal_table();
    state_changed();
}

void VyrTrace::update_can_source_list()
{
    m_channel_combo->clear();
    m_channels.clear();
    m_channel_combo->addItem(QString());
    for (VyrSignalIf *signal_if = get_first_signal_if(); signal_if; signal_if = signal_if->next()) {
        VyrCanIf *can = VyrCanIf::of(signal_if);
        if (!can || !can->connect_to_channel().isEmpty())
            continue;
        m_channel_combo->addItem(QString::fromStdString(can->name()));
        m_channels.insert(m_channel_combo->count() - 1, can);
    }
    if (VyrCanIf *can = interface()) {
        const int index = m_channels.key(can, -1);
        if (index > 0)
            m_channel_combo->setCurrentIndex(index);
    } else {
        m_channel_combo->setCurrentIndex(0);
    }
    state_changed();
}

void VyrTrace::remove_interface(const QString &interface_id)
{
    if (VyrCanIf *can = interface(); can && QString::fromStdString(can->make_id()) == interface_id)
        set_interface(nullptr);
    update_can_source_list();
}

void VyrTrace::add_interface(const QString &interface_id)
{
    if (!interface()) {
        if (VyrCanIf *can = VyrCanIf::of(find_signal_if_by_id(interface_id.toLatin1().constData())))
            set_interface(can);
    }
    update_can_source_list();
}

void VyrTrace::interface_configuration_changed(const QString &)
{
    update_can_source_list();
    m_view->rebuild_extra_columns();
}

// --- State -----------------------------------------------------------------------------------

int VyrTrace::selected_count() const
{
    return m_view->scroll_mode() ? m_view->scroll_selected_count() : m_view->fixed_selected_count();
}

bool VyrTrace::display_filter_allowed() const
{
    return !running() && m_scroll_button->isChecked() &&
        ((m_view->scroll_mode() && selected_count() > 0) || m_display_filter_button->isChecked());
}

void VyrTrace::state_changed()
{
    m_view->set_measurement_running(running());
    m_channel_combo->setEnabled(!running());
    m_log_button->setEnabled(!running());
    m_indicator_button->setEnabled(running() && m_log_file && m_log_file->active());
    m_database_button->setEnabled(interface() && interface()->databases());
    m_scroll_button->setEnabled(!m_display_filter_button->isChecked());
    m_display_filter_button->setEnabled(display_filter_allowed());
    const bool search = !running() && m_scroll_button->isChecked() && !m_display_filter_button->isChecked() &&
        !m_search.text->text().isEmpty();
    m_search.down->setEnabled(search);
    m_search.up->setEnabled(search);

    const bool delta = m_time_button->isChecked();
    const bool database = m_database_button->isChecked();
    if (delta != m_view->delta_time() || database != m_view->database_mode()) {
        m_view->set_delta_time(delta);
        m_view->set_database_mode(database);
        m_view->viewport()->update();
    }

    const VyrIdFilterList &standard = m_view->standard_filters();
    const VyrIdFilterList &extended = m_view->extended_filters();
    const bool filtering = (standard.active() && standard.count() > 0) || (extended.active() && extended.count() > 0);
    m_filter_button->setIcon(filtering ? m_filter_active_icon : m_filter_icon);

    if (m_dock && m_view->database()) {
        m_signal_table_button->setEnabled(true);
        m_signal_table_button->setChecked(m_dock->isVisible());
    } else {
        m_signal_table_button->setEnabled(false);
        if (m_dock && (!interface() || !m_view->database())) {
            m_dock->hide();
            m_signal_table_button->setChecked(false);
        }
    }
}

void VyrTrace::keyPressEvent(QKeyEvent *event)
{
    forward_list_keys(event, m_view);
}

void VyrTrace::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::ActivationChange)
        m_view->viewport()->update();
    VyrDataWindow::changeEvent(event);
}

bool VyrTrace::eventFilter(QObject *watched, QEvent *event)
{
    if ((watched == m_signal_table || watched == m_dock) &&
        (event->type() == QEvent::Show || event->type() == QEvent::Hide))
        state_changed();
    return VyrDataWindow::eventFilter(watched, event);
}

void VyrTrace::search_down()
{
    if (!m_search.text->text().isEmpty())
        m_view->search(m_search.text->text(), false);
}

void VyrTrace::search_up()
{
    if (!m_search.text->text().isEmpty())
        m_view->search(m_search.text->text(), true);
}

// --- Measurement -----------------------------------------------------------------------------

void VyrTrace::startup()
{
    m_logging_state = 0;
    setup_signal_table();
    VyrTraceMessageQueue *store = m_view->store();
    store->set_empty();
    store->set_interface(interface());
    m_view->setup_filters();
    VyrCanIf *can = interface();
    if (can) {
        can->add_message_listener(&store->intake());
        m_attached_to = can;
    }
    if (m_log_file && m_log_file->active()) {
        m_log_file->set_interface(can);
        m_log_file->clear_pretrigger();
        const QString name = QString::fromLocal8Bit(m_log_file->file_name().c_str());
        if (const int result = m_log_file->open(); result != LogFile::Success) {
            const int system_error = m_log_file->system_error();
            const QString reason = system_error ? QString::fromLocal8Bit(std::strerror(system_error))
                                                : QString::fromLatin1(LogFile::result_name(result));
            error(tr("Unable to open log file '%1': %2.").arg(name, reason) + QLatin1Char('\n'));
        } else {
            info(tr("Trace Window '%1' is logging CAN messages to file '%2'.").arg(caption(), name) +
                 QLatin1Char('\n'));
            if (!m_log_file->enable_trigger() || m_log_file->trigger_name().isEmpty())
                m_log_file->set_stopped(false);
            m_log_file->start_writer(can, m_view->standard_pass_set(), m_view->extended_pass_set());
        }
    }
    VyrDataWindow::startup();
    m_view->clear();
    m_animation_frame = 0;
}

void VyrTrace::stop()
{
    // The interface's thread has ended: the rest of its frames are in the
    // writer's queue, which it writes before the file closes.
    if (m_attached_to) {
        m_attached_to->remove_message_listener(&m_view->store()->intake());
        m_attached_to = nullptr;
    }
    stop_logging_to_file();
    m_view->store()->release_filters();
    VyrDataWindow::stop();
}

void VyrTrace::update_signals()
{
    if (!is_paused()) {
        m_view->update_messages();
        update_signal_table();
    } else {
        // The lists go on filling while the display stands still.
        m_view->store()->take_over();
    }
    if (running() && m_log_file && m_log_file->active() && m_log_file->is_open()) {
        const int state = m_log_file->stopped() ? 1 : 2;
        if (state == 1 && m_logging_state != 1) {
            m_indicator_button->setChecked(true);
            m_indicator_button->setIcon(m_indicator_waiting_icon);
        } else if (state == 2) {
            m_indicator_button->setChecked(false);
            m_indicator_button->setIcon(m_animation_icons[m_animation_frame]);
            m_animation_frame = (m_animation_frame + 1) % 8;
        }
        m_logging_state = state;
        std::string reason;
        if (m_log_file->stop_reason(reason)) {
            stop_logging_to_file();
            info(QString::fromLocal8Bit(reason.c_str()));
        }
    }
}

// --- Filters ---------------------------------------------------------------------------------

void VyrTrace::setup_filters()
{
    m_view->setup_filters();
    update_log_filters();
}

void VyrTrace::update_log_filters()
{
    if (m_log_file && m_log_file->writer_running())
        m_log_file->set_pass_sets(m_view->standard_pass_set(), m_view->extended_pass_set());
}

void VyrTrace::show_filter_dialog()
{
    VyrDialogTraceFilters dialog(this, "trace_filters", true);
    if (interface())
        dialog.set_database(interface());
    VyrIdFilterList &standard = m_view->standard_filters();
    VyrIdFilterList &extended = m_view->extended_filters();
    dialog.set_filter_lists(&standard, &extended);
    dialog.set_filters_active(standard.active(), extended.active());
    const bool accepted = dialog.exec() == QDialog::Accepted;
    if (accepted) {
        bool changed = dialog.get_filter_lists(&standard, &extended);
        bool standard_active = false;
        bool extended_active = false;
        dialog.get_filters_active(standard_active, extended_active);
        changed = changed || standard_active != standard.active() || extended_active != extended.active();
        standard.set_active(standard_active);
        extended.set_active(extended_active);
        if (changed)
            emit configuration_changed();
        if (running()) {
            setup_filters();
            m_view->clear();
        }
    }
    state_changed();
}

// --- Signal table ----------------------------------------------------------------------------

void VyrTrace::update_signal_table()
{
    if (!m_signal_table)
        return;
    const VyrCanMessage *message = m_view->current_message();
    if (!message)
        return;
    const IdFormatter *formatter = interface() ? interface()->id_formatter() : nullptr;
    m_shown_frame = *message;
    m_signal_table->set_can_data(&m_shown_frame, formatter ? formatter->display_id(*message) : 0xFFFFFFFFu);
}

void VyrTrace::setup_signal_table()
{
    if (!m_signal_table)
        return;
    m_signal_table->set_candb_cluster(m_view->database());
    m_signal_table->set_can_data(nullptr);
}

void VyrTrace::show_signal_table()
{
    if (m_dock)
        m_dock->setVisible(!m_dock->isVisible());
    state_changed();
}

void VyrTrace::signal_table_destroyed()
{
    m_signal_table = nullptr;
    m_dock = nullptr;
}

// --- Logging ---------------------------------------------------------------------------------

void VyrTrace::show_log_to_file_dialog()
{
    VyrDialogLogToFile dialog(this, "log_to_file", true);
    dialog.load(m_log_file.get());
    dialog.polish();
    if (dialog.exec() != QDialog::Accepted)
        return;
    LogFile *kept = dialog.apply();
    if (kept && kept->active()) {
        if (kept != m_log_file.get())
            m_log_file.reset(kept);
        emit configuration_changed();
    } else if (kept && kept != m_log_file.get()) {
        delete kept;
    }
    state_changed();
}

void VyrTrace::button_logfile_indicator_clicked()
{
    if (!m_log_file || !m_log_file->active() || !m_log_file->is_open())
        return;
    if (!m_indicator_button->isChecked())
        m_log_file->post_start();
    else
        m_log_file->post_stop();
}

void VyrTrace::stop_logging_to_file()
{
    if (m_log_file) {
        // The writer writes what it took, then the file ends here.
        m_log_file->stop_writer();
        if (m_log_file->active() && m_log_file->is_open()) {
            m_log_file->measurement_stopped();
            m_log_file->close();
        }
        m_log_file->set_interface(nullptr);
    }
    m_indicator_button->setIcon(m_indicator_idle_icon);
    m_indicator_button->setChecked(false);
    m_indicator_button->setEnabled(false);
    m_logging_state = 0;
}

// --- Context menu and clipboard --------------------------------------------------------------

void VyrTrace::copy_selected_messages_to_clipboard()
{
    m_view->copy_selected_messages_to_clipboard();
}

void VyrTrace::copy_all_messages_to_clipboard()
{
    m_view->copy_all_messages_to_clipboard();
}

void VyrTrace::show_context_menu(const QPoint &global_position)
{
    QMenu menu(this);
    menu.setObjectName(QStringLiteral("trace_context_menu"));
    menu.addAction(tr("Properties"), this, &VyrDataWindow::open_properties_dialog);
    menu.addAction(tr("Clear"), m_view, &VyrMessageView::clear);
    if (detached())
        menu.addAction(tr("Attach to Workspace"), this, &VyrDataWindow::attach_to_workspace);
    else
        menu.addAction(tr("Detach from Workspace"), this, &VyrDataWindow::detach_from_workspace);
    if (m_channel_combo) {
        QMenu *channels = menu.addMenu(tr("CAN Channel"));
        channels->setEnabled(!running());
        for (int index = 1; index < m_channel_combo->count(); ++index) {
            QAction *action = channels->addAction(m_channel_combo->itemText(index));
            action->setCheckable(true);
            action->setChecked(index == m_channel_combo->currentIndex());
            connect(action, &QAction::triggered, this, [this, index] { combo_selection_changed(index); });
        }
    }
    const bool selection = !running() && selected_count() > 0;
    menu.addSeparator();
    menu.addAction(tr("Copy Selected Messages to Clipboard"), this, &VyrTrace::copy_selected_messages_to_clipboard)
        ->setEnabled(selection);
    menu.addAction(tr("Copy All Messages to Clipboard"), this, &VyrTrace::copy_all_messages_to_clipboard)
        ->setEnabled(!running());
    menu.addAction(tr("Log to File Settings"), this, &VyrTrace::show_log_to_file_dialog)
        ->setEnabled(m_log_button->isEnabled());
    menu.addAction(tr("Filter out Selected Id's"), m_view, &VyrMessageView::add_selected_identifiers_to_filter)
        ->setEnabled(selection);
    menu.addAction(tr("Clear Selection"), m_view, &VyrMessageView::deselect_all)->setEnabled(selection);
    menu.addSeparator();
    const auto add_toggle = [&](const QString &text, QToolButton *button, bool enabled) {
        QAction *action = menu.addAction(text);
        action->setCheckable(true);
        action->setChecked(button->isChecked());
        action->setEnabled(enabled);
        connect(action, &QAction::triggered, button, &QToolButton::toggle);
    };
    if (QToolButton *pause = findChild<QToolButton *>(QStringLiteral("pause_button")))
        add_toggle(tr("Pause"), pause, running());
    add_toggle(tr("Delta t"), m_time_button, true);
    add_toggle(tr("Scroll Mode"), m_scroll_button, m_scroll_button->isEnabled());
    add_toggle(tr("CAN Database Mode"), m_database_button, m_database_button->isEnabled());
    add_toggle(tr("Show Only Selected Messages"), m_display_filter_button, display_filter_allowed());
    menu.addSeparator();
    QMenu *columns = menu.addMenu(tr("Columns"));
    QHeaderView *header = m_view->header();
    for (int section = 0; section < header->count(); ++section) {
        QAction *action =
            columns->addAction(header->model()->headerData(section, Qt::Horizontal).toString().trimmed());
        action->setCheckable(true);
        action->setChecked(header->sectionSize(section) != 0 && !header->isSectionHidden(section));
        connect(action, &QAction::triggered, m_view, [this, section] { m_view->toggle_column_visibility(section); });
    }
    menu.exec(global_position);
}

// --- Configuration ---------------------------------------------------------------------------

namespace {

const char *const column_keys[] = {"channel", "data", "time", "ascii", "number", "id", "dlc", "signals"};
const int column_sections[] = {VyrMessageView::Channel, VyrMessageView::Data,    VyrMessageView::Time,
                               VyrMessageView::Ascii,   VyrMessageView::Counter, VyrMessageView::Identifier,
                               VyrMessageView::Dlc,     VyrMessageView::Signals};

QByteArray key(const char *prefix, const char *column)
{
    return QByteArray(prefix) + column;
}

} // namespace

void VyrTrace::write_configuration(QtbConfig *config)
{
    QtbConfigGroup *group = write_base_configuration(config);
    VyrCanIf *can = interface();
    group->write_string("sif", can ? QString::fromStdString(can->make_id()) : QStringLiteral("NONE"));
    QHeaderView *header = m_view->header();
    for (int i = 0; i < 8; ++i)
        group->write_int(key("col_width_", column_keys[i]), m_view->section_width(column_sections[i]));
    for (int i = 0; i < 8; ++i)
        group->write_int(key("col_index_", column_keys[i]), header->visualIndex(column_sections[i]));
    for (int i = 0; i < 8; ++i)
        group->write_bool(key("col_visible_", column_keys[i]), m_view->section_visible(column_sections[i]));
    for (int section = VyrMessageView::column_count; section < header->count(); ++section) {
        const int n = section - VyrMessageView::column_count;
        group->write_int(QByteArray("extra_col_width_") + QByteArray::number(n), m_view->section_width(section));
        group->write_int(QByteArray("extra_col_index_") + QByteArray::number(n), header->visualIndex(section));
        group->write_bool(QByteArray("extra_col_visible_") + QByteArray::number(n), m_view->section_visible(section));
    }
    group->write_bool("mode_scroll_mode", m_view->scroll_mode());
    group->write_bool("mode_delta_t", m_view->delta_time());
    group->write_bool("mode_candb_mode", m_view->database_mode());
    group->write_bool("fmt_id_hex", m_view->formats().id_hex);
    group->write_bool("fmt_data_hex", m_view->formats().data_hex);
    group->write_int("time_format", m_view->formats().time_format);
    m_view->standard_filters().write_config(group->add_group("filter_std"));
    m_view->extended_filters().write_config(group->add_group("filter_ext"));
    if (m_log_file)
        m_log_file->write_options(group->add_group("logger"));
    if (m_signal_table && m_dock) {
        group->write_bool("signal_table_visible", m_dock->isVisible());
        m_signal_table->write_configuration(group->add_group("signal_table"));
    }
}

void VyrTrace::read_configuration(QtbConfigGroup *group)
{
    read_base_configuration(group);
    set_interface(find_signal_if_by_id(group->read_string("sif", QStringLiteral("CAN1")).toLatin1().constData()));
    QHeaderView *header = m_view->header();
    for (int i = 0; i < 8; ++i) {
        const int section = column_sections[i];
        m_view->restore_section(section, group->read_int(key("col_width_", column_keys[i]), m_view->section_width(section)),
                                group->read_bool(key("col_visible_", column_keys[i]), section != VyrMessageView::Signals));
    }
    const int extra_count = header->count() - VyrMessageView::column_count;
    std::vector<int> index(header->count());
    for (int n = 0; n < extra_count; ++n) {
        const int section = VyrMessageView::column_count + n;
        m_view->restore_section(section,
                                group->read_int(QByteArray("extra_col_width_") + QByteArray::number(n),
                                                m_view->section_width(section)),
                                group->read_bool(QByteArray("extra_col_visible_") + QByteArray::number(n), false));
        index[section] = group->read_int(QByteArray("extra_col_index_") + QByteArray::number(n), header->visualIndex(section));
    }
    for (int i = 0; i < 8; ++i)
        index[column_sections[i]] = group->read_int(key("col_index_", column_keys[i]), column_sections[i]);
    m_scroll_button->setChecked(group->read_bool("mode_scroll_mode", false));
    m_view->set_scroll_mode(m_scroll_button->isChecked());
    m_time_button->setChecked(group->read_bool("mode_delta_t", false));
    m_database_button->setChecked(group->read_bool("mode_candb_mode", false));
    trace_text::Formats formats = m_view->formats();
    formats.id_hex = group->read_int("fmt_id_hex", formats.id_hex) != 0;
    formats.data_hex = group->read_int("fmt_data_hex", formats.data_hex) != 0;
    formats.time_format = group->read_int("time_format", formats.time_format);
    m_view->set_formats(formats);
    for (int position = 0; position < VyrMessageView::remembered_sections && position < header->count(); ++position) {
        for (int i = 0; i < 8; ++i)
            if (index[column_sections[i]] == position)
                header->moveSection(header->visualIndex(column_sections[i]), position);
        for (int section = VyrMessageView::column_count; section < header->count(); ++section)
            if (index[section] == position)
                header->moveSection(header->visualIndex(section), position);
    }
    if (QtbConfigGroup *filters = group->get_group("filter_std"))
        m_view->standard_filters().read_config(filters);
    if (QtbConfigGroup *filters = group->get_group("filter_ext"))
        m_view->extended_filters().read_config(filters);
    if (QtbConfigGroup *logger = group->get_group("logger"))
        m_log_file = LogFileFormat::create_from_config(logger);
    if (QtbConfigGroup *table = group->get_group("signal_table"); table && m_signal_table && m_dock) {
        m_signal_table->read_configuration(table);
        if (group->read_bool("signal_table_visible", false))
            m_dock->show();
    }
}

VyrDataWindow *VyrTrace::create(QWidget *parent, QtbConfigGroup *group)
{
    auto *window = new VyrTrace(nullptr);
    window->enter_workspace(parent);
    if (group)
        window->read_configuration(group);
    window->m_view->update_header();
    window->update_can_source_list();
    window->state_changed();
    return window;
}
