#include "windows/packet/vyr_packet_trace.h"
#include "windows/base/tool_icons.h"

#include "core/vyr_packet.h"
#include "core/vyr_signal_if.h"
#include "settings/qtb_config.h"
#include "windows/packet/vyr_packet_display.h"

#include <QComboBox>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QToolButton>

namespace {

// A packet: a block of lines under a header bar.
QIcon window_icon()
{
    return drawn_icon([](QPainter &p) {
        p.setPen(Qt::black);
        p.setBrush(Qt::white);
        p.drawRect(1, 2, 13, 12);
        p.fillRect(2, 3, 12, 3, QColor(0, 0, 0xc0));
        for (int y = 8; y < 14; y += 2)
            p.drawLine(3, y, 12, y);
    });
}

const int font_sizes[] = {5, 6, 7, 8, 10, 11, 12, 14, 16};

} // namespace

VyrPacketTrace::VyrPacketTrace(QWidget *parent) : VyrDataWindow(class_key_text, parent)
{
    setWindowIcon(window_icon());
    set_update_rate(250);
    setGeometry(50, 50, 600, 400);
    set_help_key(QStringLiteral("PacketTraceWindow"));

    VyrToolBar *bar = tool_bar();
    m_interface_combo = new QComboBox(bar);
    m_interface_combo->setObjectName(QStringLiteral("interface_combo"));
    m_interface_combo->setToolTip(tr("<p><h3>Select Signal Interface</h3>Allows you to select the Signal Interface "
                                     "from which packets should be displayed.</p>"));
    m_interface_combo->setMinimumContentsLength(8);
    bar->addWidget(m_interface_combo);
    bar->add_separator();
    m_clear_button = add_tool_button(
        "clear_button", tr("<p><h3>Clear Messages</h3>Clears the contents of the trace window.</p>"), false);
    m_clear_button->setIcon(drawn_icon([](QPainter &p) {
        p.setPen(QPen(Qt::red, 2));
        p.drawLine(3, 3, 13, 13);
        p.drawLine(13, 3, 3, 13);
    }));
    bar->add_separator();
    m_time_button = add_tool_button("time_format_button",
                                    tr("<p><h3>Time Format</h3>Switches the Time Format between<ul><li>Absolute "
                                       "Time</li><li>Time Difference</li></ul></p>"),
                                    true);
    m_time_button->setText(QStringLiteral("\u0394t"));
    m_display_filter_button = add_tool_button("display_filter_button",
                                              tr("<p><h3>Display Filter</h3>Show only selected messages. Only "
                                                 "available in scroll mode and offline mode.</p>"),
                                              true);
    m_display_filter_button->setIcon(drawn_icon([](QPainter &p) {
        p.setPen(Qt::black);
        p.setBrush(Qt::green);
        p.drawPolygon(QPolygonF({QPointF(1, 2), QPointF(15, 2), QPointF(9, 9), QPointF(9, 14), QPointF(7, 14),
                                 QPointF(7, 9)}));
    }));
    bar->add_separator();
    m_search = add_search_tools(tr("Find: "));
    bar->add_separator();
    create_standard_tool_buttons();

    m_display = new VyrPacketDisplay(this);
    m_display->setObjectName(QStringLiteral("packet_display"));
    m_display->setFocusPolicy(Qt::StrongFocus);
    insert_tool_widget(m_display);

    connect(m_interface_combo, QOverload<int>::of(&QComboBox::activated), this,
            &VyrPacketTrace::combo_selection_changed);
    connect(m_clear_button, &QToolButton::clicked, m_display, &VyrPacketDisplay::clear);
    for (QToolButton *button : {m_time_button, m_display_filter_button})
        connect(button, &QToolButton::toggled, this, &VyrPacketTrace::state_changed);
    connect(m_search.down, &QToolButton::clicked, this, &VyrPacketTrace::search_down);
    connect(m_search.up, &QToolButton::clicked, this, &VyrPacketTrace::search_up);
    connect(m_search.text, &QLineEdit::textChanged, this, &VyrPacketTrace::state_changed);
    connect(m_display, &VyrPacketDisplay::show_context_menu, this, &VyrPacketTrace::show_context_menu);
    connect(m_display, &VyrPacketDisplay::selection_changed, this, &VyrPacketTrace::state_changed);
    connect(m_display, &VyrPacketDisplay::configuration_changed, this, &VyrDataWindow::configuration_changed);

    update_source_list();
}

VyrPacketTrace::~VyrPacketTrace()
{
    // The display leaves its source before the window's parts go.
    delete m_display;
}

void VyrPacketTrace::setCaption(const QString &text)
{
    VyrDataWindow::setCaption(text);
}

QString VyrPacketTrace::description_text() const
{
    QString text = VyrDataWindow::description_text() + QStringLiteral("<ul>");
    if (VyrSignalIf *signal_if = m_display->source_interface())
        text += tr("<li>CAN Interface: %1</li>").arg(QString::fromStdString(signal_if->name()).toHtmlEscaped());
    else
        text += tr("<li>No CAN interface assigned.</li>");
    return text + QStringLiteral("</ul>");
}

// --- Interface ---------------------------------------------------------------------------------

void VyrPacketTrace::set_interface(VyrSignalIf *signal_if)
{
    m_display->set_source(signal_if, signal_if ? signal_if->packet_source(0) : nullptr);
}

void VyrPacketTrace::update_source_list()
{
    m_interface_combo->clear();
    m_interfaces.clear();
    m_interface_combo->addItem(QString());
    for (VyrSignalIf *signal_if = get_first_signal_if(); signal_if; signal_if = signal_if->next()) {
        if (!signal_if->offers(VyrSignalIf::offers_packets))
            continue;
        m_interface_combo->addItem(QString::fromStdString(signal_if->name()));
        m_interfaces.insert(m_interface_combo->count() - 1, signal_if);
    }
    const int shown = m_display->source_interface() ? m_interfaces.key(m_display->source_interface(), 0) : 0;
    m_interface_combo->setCurrentIndex(shown);
    state_changed();
}

void VyrPacketTrace::combo_selection_changed(int index)
{
    set_interface(index > 0 ? m_interfaces.value(index) : nullptr);
    m_interface_combo->setCurrentIndex(m_display->source_interface() ? index : 0);
    state_changed();
}

void VyrPacketTrace::add_interface(const QString &interface_id)
{
    if (!m_display->source_interface()) {
        VyrSignalIf *signal_if = find_signal_if_by_id(interface_id.toLatin1().constData());
        if (signal_if && signal_if->offers(VyrSignalIf::offers_packets))
            set_interface(signal_if);
    }
    update_source_list();
}

void VyrPacketTrace::remove_interface(const QString &interface_id)
{
    VyrSignalIf *shown = m_display->source_interface();
    if (shown && QString::fromStdString(shown->make_id()) == interface_id)
        set_interface(nullptr);
    update_source_list();
}

void VyrPacketTrace::interface_configuration_changed(const QString &)
{
    update_source_list();
}

// --- State -------------------------------------------------------------------------------------

void VyrPacketTrace::state_changed()
{
    m_display->set_measurement_running(running());
    m_interface_combo->setEnabled(!running());
    m_display_filter_button->setEnabled(!running() &&
                                        (m_display->selected_count() > 0 || m_display_filter_button->isChecked()));
    const bool search = !running() && !m_display_filter_button->isChecked() && !m_search.text->text().isEmpty();
    m_search.down->setEnabled(search);
    m_search.up->setEnabled(search);
    if (m_display->delta_time() != m_time_button->isChecked()) {
        m_display->set_delta_time(m_time_button->isChecked());
        m_display->viewport()->update();
    }
}

void VyrPacketTrace::update_signals()
{
    if (!is_paused())
        m_display->update();
}

void VyrPacketTrace::clear()
{
    m_display->clear();
}

void VyrPacketTrace::startup()
{
    m_display->clear();
    m_display->attach_store();
    VyrDataWindow::startup();
}

void VyrPacketTrace::stop()
{
    m_display->detach_store();
    VyrDataWindow::stop();
}

// --- Search ------------------------------------------------------------------------------------

void VyrPacketTrace::search(bool upwards)
{
    const QString wanted = m_search.text->text();
    if (wanted.isEmpty() || m_display->row_count() == 0)
        return;
    // The lines as the export writes them, oldest first: line i is position first + i.
    QStringList lines = m_display->export_text(false).split(QLatin1Char('\n'));
    lines.removeLast();
    const long long first = m_display->first_cursor_pos();
    const long long last = first + lines.size() - 1;
    long long pos = m_display->cursor_pos();
    if (pos < first || pos > last)
        pos = upwards ? last + 1 : first - 1;
    for (pos += upwards ? -1 : 1; pos >= first && pos <= last; pos += upwards ? -1 : 1) {
        if (lines[int(pos - first)].contains(wanted, Qt::CaseInsensitive)) {
            m_display->set_cursor_pos(pos);
            return;
        }
    }
}

void VyrPacketTrace::search_down()
{
    search(false);
}

void VyrPacketTrace::search_up()
{
    search(true);
}

// --- Keys and menu -----------------------------------------------------------------------------

void VyrPacketTrace::keyPressEvent(QKeyEvent *event)
{
    forward_list_keys(event, m_display);
}

void VyrPacketTrace::contextMenuEvent(QContextMenuEvent *event)
{
    show_context_menu(event->globalPos());
}

void VyrPacketTrace::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::ActivationChange)
        m_display->viewport()->update();
    VyrDataWindow::changeEvent(event);
}

QMenu *VyrPacketTrace::make_context_menu()
{
    auto *menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("packet_trace_menu"));
    menu->addAction(tr("Properties"), this, &VyrDataWindow::open_properties_dialog);
    menu->addAction(tr("Clear"), this, &VyrPacketTrace::clear);
    if (detached())
        menu->addAction(tr("Attach to Workspace"), this, &VyrDataWindow::attach_to_workspace);
    else
        menu->addAction(tr("Detach from Workspace"), this, &VyrDataWindow::detach_from_workspace);
    menu->addSeparator();
    QMenu *sizes = menu->addMenu(tr("Font Size"));
    sizes->setObjectName(QStringLiteral("font_size_menu"));
    for (int size : font_sizes) {
        QAction *action = sizes->addAction(QString::number(size));
        action->setData(size);
        action->setCheckable(true);
        action->setChecked(size == m_display->font_size());
        connect(action, &QAction::triggered, m_display, [this, size] { m_display->set_font_size(size); });
    }
    menu->addSeparator();
    menu->addAction(tr("Copy Selected Messages to Clipboard"), m_display,
                    &VyrPacketDisplay::copy_selected_messages_to_clipboard);
    menu->addAction(tr("Copy All Messages to Clipboard"), m_display,
                    &VyrPacketDisplay::copy_all_messages_to_clipboard);
    menu->addAction(tr("Clear Selection"), m_display, &VyrPacketDisplay::deselect_all);
    return menu;
}

void VyrPacketTrace::show_context_menu(const QPoint &global_position)
{
    QMenu *menu = make_context_menu();
    menu->exec(global_position);
    delete menu;
}

// --- Configuration -----------------------------------------------------------------------------

void VyrPacketTrace::write_configuration(QtbConfig *config)
{
    m_display->write_configuration(write_base_configuration(config));
}

VyrDataWindow *VyrPacketTrace::create(QWidget *parent, QtbConfigGroup *group)
{
    auto *window = new VyrPacketTrace(nullptr);
    window->enter_workspace(parent);
    if (group) {
        window->read_base_configuration(group);
        window->m_display->read_configuration(group);
    }
    window->update_source_list();
    window->state_changed();
    return window;
}
