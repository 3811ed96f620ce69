#include "windows/send/vyr_can_send.h"
#include "windows/base/tool_icons.h"

#include "core/candb_message.h"
#include "core/key_codes.h"
#include "core/vyr_global_accel.h"
#include "core/vyr_trigger.h"
#include "interfaces/can/vyr_can_if.h"
#include "settings/qtb_config.h"
#include "windows/base/header_tool_tip.h"
#include "windows/send/can_send_table.h"
#include "windows/send/send_cell_syntax.h"
#include "windows/send/table_button.h"
#include "windows/signals/vyr_can_signal_table.h"

#include <QCoreApplication>
#include <QDockWidget>
#include <QHeaderView>
#include <QMenu>
#include <QPainter>
#include <QToolButton>

#include <algorithm>

namespace {

struct ColumnText
{
    const char *label;
    const char *key;
    const char *tip;
};

const ColumnText column_texts[VyrCanSend::column_count] = {
    {"Channel", "channel", "<p><h3>CAN Channel</h3>Select the CAN channel on which the message shall be sent.</p>"},
    {"Identifier", "id",
     "<p><h3>CAN Identifier</h3>Enter the CAN identfier in numeric format, or choose an identifier from the "
     "associated CAN database.Numeric identifiers may contain a 'x' in order to send an extended (29bit) "
     "frame.</p><p>Hexadecimal format can be obtained by appending a 'h'.</p><p>When using schedule tables you can "
     "send a message only one time by appending a 's'.</p><p>Change the Id of a symbolic Identifier by appending "
     "':<NumId>' e.g. <font color=red>'Ramp:100'</font>.</p>"},
    {"DLC", "dlc", "<p><h3>DLC - Data Length Code</h3>Select how many bytes your CAN message should have.</p>"},
    {"Data[hex]", "data",
     "<p><h3>Data field</h3>Data field for the CAN message - contains the number of bytes given by the DLC "
     "column.</p>"},
    {"Rate[ms]", "rate",
     "<p><h3>Sending Rate</h3>If you specify a value greater 0, the program will transmit that number of messages "
     "per second if activated.</p>"},
    {"Count", "count",
     "<p><h3>Message Count</h3>Number of message to transmit - applies only when Rate is > 0.</p>"},
    {"Transmitted", "tmt", "<p><h3>Number of transmitted messages</h3>Counts the transmitted messages.</p>"},
    {"Send on Key", "key",
     "<p><h3>Acceleration Key</h3>Select a key for triggering the action (e.g. sending the message).</p<p>You can "
     "assign the same key to more than one message, and then all those messages are transmitted when the key is "
     "pressed.</p>"},
    {"Comment", "comment", "<p><h3>Comment</h3>Add a description for the current Line.</p>"},
    {"Trigger", "trigger",
     "<p><h3>Trigger</h3>Select a trigger object which controls sending of the related CAN message.</p>"},
    {"Action", "action",
     "<p><h3>Action</h3>Button that triggers the Action, which is either transmission of one message if Rate is "
     "equal to zero, or starting/stopping transmission of messages with a defined rate.</p><p><font "
     "color=red>Red</font> labels indicate the messages that are used by the Tune Window(s) to store the values of "
     "the signals displayed in those windows.</p>"},
};

const char *const default_data_text = "00 00 00 00 00 00 00 00";

QByteArray column_key(const char *prefix, int column)
{
    return QByteArray(prefix) + column_texts[column].key;
}

QIcon arrow_icon(bool up)
{
    return drawn_icon([up](QPainter &p) {
        p.setPen(Qt::darkBlue);
        p.setBrush(Qt::darkBlue);
        const QPolygon head = up ? QPolygon({QPoint(8, 2), QPoint(14, 9), QPoint(2, 9)})
                                 : QPolygon({QPoint(8, 14), QPoint(14, 7), QPoint(2, 7)});
        p.drawPolygon(head);
        p.drawRect(up ? QRect(6, 9, 4, 5) : QRect(6, 2, 4, 5));
    });
}

} // namespace

VyrCanSend::VyrCanSend(QWidget *parent) : VyrDataWindow(class_key_text, parent)
{
    set_update_rate(150);
    set_help_key(QStringLiteral("CanSendWindow"));
    m_start_text = tr("Start");
    m_stop_text = tr("Stop");
    m_send_text = tr("Send");

    VyrToolBar *bar = tool_bar();
    m_insert_button = add_tool_button("insert_button", tr("<p><h3>Insert</h3>Insert new CAN message</p>"), false);
    m_insert_button->setIcon(letter_icon(QStringLiteral("+"), Qt::darkGreen, 14));
    m_delete_button = add_tool_button("delete_button", tr("<p><h3>Delete</h3>Delete selected CAN messages</p>"), false);
    m_delete_button->setIcon(letter_icon(QStringLiteral("\u2212"), Qt::red, 14));
    bar->add_separator();
    m_up_button = add_tool_button("move_up_button", tr("<p><h3>Move Up</h3>Shuffle UP selected CAN messages</p>"), false);
    m_up_button->setIcon(arrow_icon(true));
    m_down_button =
        add_tool_button("move_down_button", tr("<p><h3>Move Down</h3>Shuffle DOWN selected CAN messages</p>"), false);
    m_down_button->setIcon(arrow_icon(false));
    bar->add_separator();
    m_signal_table_button = add_tool_button(
        "signal_table_button",
        tr("<p><h3>Activate CAN Signal Table</h3><i>CAN Signal Table</i> displays all signals included in a CAN "
           "message in a special table.</p><p>To activate this function a <i>CAN database</i> must be associated "
           "with the CAN channel.</p>"),
        true);
    m_signal_table_button->setIcon(letter_icon(QStringLiteral("ST")));
    bar->add_separator();
    create_standard_tool_buttons();
    connect(m_insert_button, &QToolButton::clicked, this, qOverload<>(&VyrCanSend::add_message));
    connect(m_delete_button, &QToolButton::clicked, this, &VyrCanSend::delete_selected_messages);
    connect(m_up_button, &QToolButton::clicked, this, &VyrCanSend::shuffle_up);
    connect(m_down_button, &QToolButton::clicked, this, &VyrCanSend::shuffle_down);
    connect(m_signal_table_button, &QToolButton::clicked, this, &VyrCanSend::show_signal_table);

    m_signal_table = new VyrCanSignalTable(nullptr, "can_send_signal_table", true);
    m_dock = new QDockWidget(tr("CAN Signal Table"), this);
    m_dock->setObjectName(QStringLiteral("signal_table_dock"));
    m_dock->setWidget(m_signal_table);
    addDockWidget(Qt::BottomDockWidgetArea, m_dock);
    m_dock->hide();
    connect(m_signal_table, &QObject::destroyed, this, &VyrCanSend::signal_table_destroyed);
    connect(m_dock, &QObject::destroyed, this, &VyrCanSend::signal_table_destroyed);
    connect(m_dock, &QDockWidget::visibilityChanged, this, &VyrCanSend::state_changed);
    connect(m_signal_table, &VyrCanSignalTable::can_data_changed, this, &VyrCanSend::data_from_signal_table_changed);

    m_table = new CanSendTable(0, column_count, this, "can_table", Action);
    m_table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                             QAbstractItemView::AnyKeyPressed);
    m_table->setContextMenuPolicy(Qt::CustomContextMenu);
    m_table->verticalHeader()->setDefaultSectionSize(m_table->fontMetrics().height() + 10);
    QStringList labels;
    for (const ColumnText &text : column_texts)
        labels << tr(text.label);
    m_table->setHorizontalHeaderLabels(labels);
    m_header_tips = new HeaderToolTip(m_table->horizontalHeader());
    for (int column = 0; column < column_count; ++column)
        m_header_tips->set_tip(column, tr(column_texts[column].tip));
    m_columns[Action].may_hide = false;
    // Each column as wide as its label; the data column fits eight bytes.
    m_table->horizontalHeader()->resizeSections(QHeaderView::ResizeToContents);
    const QFontMetrics metrics = m_table->fontMetrics();
    m_table->setColumnWidth(Identifier, metrics.horizontalAdvance(QStringLiteral("ExampleMessage")) + 24);
    m_table->setColumnWidth(Data, metrics.horizontalAdvance(QString::fromLatin1(default_data_text)) + 24);
    m_table->setColumnWidth(Channel, std::max(m_table->columnWidth(Channel), metrics.horizontalAdvance(QStringLiteral("CAN 1")) + 40));
    for (int column = 0; column < column_count; ++column)
        m_columns[column].saved_width = m_table->columnWidth(column);
    show_column(Comment, false);
    show_column(Trigger, false);
    int table_width = m_table->verticalHeader()->sizeHint().width() + 40;
    for (int column = 0; column < column_count; ++column)
        table_width += m_columns[column].shown ? m_table->columnWidth(column) : 0;
    resize(table_width, 300);
    insert_tool_widget(m_table);

    connect(m_table, &CanSendTable::valueChanged, this, &VyrCanSend::value_changed);
    connect(m_table, &QTableWidget::itemSelectionChanged, this, &VyrCanSend::state_changed);
    connect(m_table, &QTableWidget::itemSelectionChanged, this, &VyrCanSend::update_signal_table);
    connect(m_table, &QTableWidget::currentCellChanged, this, &VyrCanSend::update_signal_table);
    connect(m_table, &QWidget::customContextMenuRequested, this, [this](const QPoint &point) {
        const QModelIndex index = m_table->indexAt(point);
        show_context_menu(index.row(), index.column(), m_table->viewport()->mapToGlobal(point));
    });
    if (VyrTriggerList *triggers = VyrTriggerList::instance())
        connect(triggers, &VyrTriggerList::trigger_removed, this, &VyrCanSend::trigger_removed);
    setCaption(caption());
    state_changed();
}

VyrCanSend::~VyrCanSend()
{
    // Every row leaves the wheel and its trigger before anything of the window goes.
    std::vector<int> rows;
    for (int row = 0; row < m_table->rowCount(); ++row)
        rows.push_back(row);
    m_signal_message = nullptr;
    remove_rows(rows);
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

void VyrCanSend::setCaption(const QString &text)
{
    VyrDataWindow::setCaption(text);
    if (m_dock)
        m_dock->setWindowTitle(tr("CAN Signal Table <") + text + QLatin1Char('>'));
}

TableButton *VyrCanSend::button(int row) const
{
    if (row < 0 || row >= m_table->rowCount())
        return nullptr;
    return qobject_cast<TableButton *>(m_table->cellWidget(row, Action));
}

int VyrCanSend::row_of(const CanSendMessage *message) const
{
    for (int row = 0; row < m_table->rowCount(); ++row)
        if (TableButton *b = button(row); b && b->message() == message)
            return row;
    return -1;
}

// --- Rows ----------------------------------------------------------------------------------------

void VyrCanSend::add_message()
{
    VyrCanIf *can = VyrCanIf::of(find_signal_if_by_type("CAN", ~0u));
    if (!can)
        can = VyrCanIf::of(find_signal_if_by_type("LIN", ~0u));
    const int row = add_message(can, QStringLiteral("0"), 8, QString::fromLatin1(default_data_text), 0, 0,
                                default_key, QString(), nullptr);
    apply_row(row);
    state_changed();
    emit configuration_changed();
}

int VyrCanSend::add_message(VyrCanIf *can, const QString &id, int dlc, const QString &data, unsigned rate,
                            unsigned count, long key, const QString &comment, VyrTrigger *trigger)
{
    const int row = m_table->rowCount();
    m_table->insertRow(row);
    m_table->setItem(row, Channel, new ChannelItem(can));
    m_table->setItem(row, Identifier, new IdItem(id, can));
    m_table->setItem(row, Dlc, new DlcItem(dlc, can));
    m_table->setItem(row, Data, new DataItem(data, dlc));
    m_table->setItem(row, Rate, new NumberItem(rate));
    m_table->setItem(row, Count, new NumberItem(count));
    auto *transmitted = new QTableWidgetItem(QStringLiteral("0"));
    transmitted->setFlags(transmitted->flags() & ~Qt::ItemIsEditable);
    m_table->setItem(row, Transmitted, transmitted);
    m_table->setItem(row, Key, new KeyItem(int(key)));
    m_table->setItem(row, Comment, new QTableWidgetItem(comment));
    m_table->setItem(row, Trigger, new TriggerItem(trigger));
    auto *action = new TableButton(m_table, nullptr);
    action->setObjectName(QStringLiteral("action_button"));
    action->setText(rate > 0 ? m_start_text : m_send_text);
    action->setEnabled(m_table->running() && can && can->active());
    connect(action->message(), &CanSendMessage::signal_data_changed, this, &VyrCanSend::message_data_changed);
    m_table->setCellWidget(row, Action, action);
    return row;
}

void VyrCanSend::apply_row(int row)
{
    for (int column : {Channel, Identifier, Dlc, Data, Rate, Count, Key, Trigger})
        value_changed(row, column);
}

void VyrCanSend::remove_rows(std::vector<int> rows)
{
    std::sort(rows.begin(), rows.end());
    m_table->end_edit();
    for (auto it = rows.rbegin(); it != rows.rend(); ++it) {
        TableButton *b = button(*it);
        if (b && b->message() == m_signal_message)
            m_signal_message = nullptr;
        // The button goes first: it leaves its trigger and the wheel.
        m_table->removeCellWidget(*it, Action);
        delete b;
        m_table->removeRow(*it);
    }
}

void VyrCanSend::delete_selected_messages()
{
    remove_rows(selected_rows());
    state_changed();
    update_signal_table();
    emit configuration_changed();
}

void VyrCanSend::delete_message(int row)
{
    if (row < 0 || row >= m_table->rowCount())
        return;
    remove_rows({row});
    state_changed();
    // The signal table may have shown the row that went.
    update_signal_table();
    emit configuration_changed();
}

std::vector<int> VyrCanSend::selected_rows() const
{
    std::vector<int> rows;
    for (const QModelIndex &index : m_table->selectionModel()->selectedRows())
        rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

void VyrCanSend::select_rows(const std::vector<int> &rows)
{
    m_table->clearSelection();
    QItemSelection selection;
    for (int row : rows)
        selection.select(m_table->model()->index(row, 0), m_table->model()->index(row, column_count - 1));
    m_table->selectionModel()->select(selection, QItemSelectionModel::Select);
}

void VyrCanSend::swap_rows(int a, int b)
{
    for (int column = 0; column < column_count; ++column) {
        if (column == Action) {
            // Cell widgets cannot move: the buttons are taken out and put back
            // crosswise. The table deletes a widget it lets go of later, so
            // that deletion is called off.
            TableButton *first = button(a);
            TableButton *second = button(b);
            m_table->removeCellWidget(a, Action);
            m_table->removeCellWidget(b, Action);
            QCoreApplication::removePostedEvents(first, QEvent::DeferredDelete);
            QCoreApplication::removePostedEvents(second, QEvent::DeferredDelete);
            m_table->setCellWidget(a, Action, second);
            m_table->setCellWidget(b, Action, first);
            continue;
        }
        QTableWidgetItem *first = m_table->takeItem(a, column);
        QTableWidgetItem *second = m_table->takeItem(b, column);
        m_table->setItem(a, column, second);
        m_table->setItem(b, column, first);
    }
}

void VyrCanSend::shuffle_up()
{
    if (m_table->rowCount() < 2)
        return;
    m_table->end_edit();
    std::vector<int> rows = selected_rows();
    if (rows.empty() || rows.front() == 0)
        return;
    for (int &row : rows) {
        swap_rows(row, row - 1);
        --row;
    }
    select_rows(rows);
    state_changed();
    emit configuration_changed();
}

void VyrCanSend::shuffle_down()
{
    if (m_table->rowCount() < 2)
        return;
    m_table->end_edit();
    std::vector<int> rows = selected_rows();
    if (rows.empty() || rows.back() == m_table->rowCount() - 1)
        return;
    for (auto it = rows.rbegin(); it != rows.rend(); ++it) {
        swap_rows(*it, *it + 1);
        ++*it;
    }
    select_rows(rows);
    state_changed();
    emit configuration_changed();
}

// --- Applying cells ------------------------------------------------------------------------------

void VyrCanSend::value_changed(int row, int column)
{
    TableButton *b = button(row);
    if (!b)
        return;
    CanSendMessage *message = b->message();
    switch (column) {
    case Dlc: {
        const int dlc = static_cast<DlcItem *>(m_table->item(row, Dlc))->dlc();
        static_cast<DataItem *>(m_table->item(row, Data))->set_dlc(dlc);
        {
            CanSendMessage::MessageLock lock(*message);
            message->frame().dlc = uint8_t(dlc);
        }
        update_signal_table();
        break;
    }
    case Channel: {
        VyrCanIf *can = static_cast<ChannelItem *>(m_table->item(row, Channel))->interface();
        static_cast<IdItem *>(m_table->item(row, Identifier))->set_interface(can);
        static_cast<DlcItem *>(m_table->item(row, Dlc))->set_interface(can);
        {
            // The old interface's lock: its wheel may be sending the row.
            CanSendMessage::MessageLock lock(*message);
            message->set_interface(can);
        }
        apply_identifier(row);
        if (m_table->running())
            b->setEnabled(can && can->active());
        update_signal_table();
        break;
    }
    case Identifier:
        apply_identifier(row);
        break;
    case Data: {
        {
            CanSendMessage::MessageLock lock(*message);
            send_cell::parse_data_text(m_table->item(row, Data)->text(), message->frame().data);
        }
        update_signal_table();
        break;
    }
    case Key:
        b->accelerator()->set_key(unsigned(static_cast<KeyItem *>(m_table->item(row, Key))->code()));
        break;
    case Rate: {
        const unsigned rate = static_cast<NumberItem *>(m_table->item(row, Rate))->value();
        if (rate > 0) {
            if (b->text() != m_start_text && b->text() != m_stop_text)
                b->setText(m_start_text);
        } else {
            message->end_run();
            b->setText(m_send_text);
        }
        message->set_rate(rate);
        break;
    }
    case Count:
        message->set_count_limit(static_cast<NumberItem *>(m_table->item(row, Count))->value());
        break;
    case Trigger: {
        auto *item = static_cast<TriggerItem *>(m_table->item(row, Trigger));
        if (!b->set_trigger(item->trigger())) {
            warning(tr("The trigger \"%1\" is busy; the row keeps its trigger.").arg(item->text()));
            item->set_trigger(b->trigger());
        }
        break;
    }
    default:
        break;
    }
}

void VyrCanSend::apply_identifier(int row)
{
    TableButton *b = button(row);
    CanSendMessage *message = b->message();
    auto *id_item = static_cast<IdItem *>(m_table->item(row, Identifier));
    auto *dlc_item = static_cast<DlcItem *>(m_table->item(row, Dlc));
    auto *data_item = static_cast<DataItem *>(m_table->item(row, Data));
    VyrCanIf *can = id_item->interface();
    CANdbCluster *cluster = can ? can->databases() : nullptr;

    send_cell::IdParts parts = send_cell::split_id_text(id_item->text());
    bool numeric = send_cell::is_numeric_id(parts.number);
    CANdbMessage *database_message = nullptr;
    if (!numeric && !parts.has_colon && send_cell::names_error_frame(parts.number)) {
        id_item->setText(QStringLiteral("ERROR FRAME"));
        parts.number = parts.name = id_item->text();
        numeric = true;
    } else if (!numeric || parts.has_colon) {
        database_message = send_cell::find_message(cluster, parts.name);
    }
    if (!numeric && !database_message) {
        id_item->setText(QStringLiteral("0"));
        parts = send_cell::split_id_text(id_item->text());
        numeric = true;
    }

    VyrCanMessage frame;
    {
        CanSendMessage::MessageLock lock(*message);
        frame = message->frame();
    }
    if (numeric)
        VyrCanMessage::parse_id(frame, parts.number.toLatin1().constData());
    int key = -1;
    bool j1939 = false;
    if (database_message) {
        const bool number_given = parts.has_colon && numeric;
        if (number_given && database_message->is_j1939()) {
            key = int(database_message->j1939_key());
            j1939 = true;
        } else {
            key = int(database_message->key_id());
        }
        if (!number_given) {
            frame.id = database_message->id;
            frame.flags = database_message->extended ? uint32_t(VyrCanMessage::Extended) : 0u;
        }
    }
    int dlc = dlc_item->dlc();
    if (frame.flags & (VyrCanMessage::Remote | VyrCanMessage::ErrorFrame))
        dlc = 0;
    else if (database_message)
        dlc = std::clamp(int(database_message->dlc), 0, int(VyrCanMessage::max_data));
    if (dlc != dlc_item->dlc()) {
        dlc_item->set_dlc(dlc);
        data_item->set_dlc(dlc);
    }
    frame.dlc = uint8_t(dlc);
    send_cell::parse_data_text(data_item->text(), frame.data);
    if (database_message && !parts.assignments.isEmpty())
        send_cell::apply_assignments(*database_message, parts.assignments, frame.data, dlc);
    {
        CanSendMessage::MessageLock lock(*message);
        message->frame() = frame;
        message->set_database_key(key, j1939);
    }
    message->bind_database_message(database_message);
    b->default_message_changed();
    data_item->setText(send_cell::format_data(frame.data, dlc));
    update_signal_table();
}

void VyrCanSend::message_data_changed(CanSendMessage *message)
{
    const int row = row_of(message);
    if (row < 0)
        return;
    m_table->end_edit();
    VyrCanMessage frame;
    {
        CanSendMessage::MessageLock lock(*message);
        frame = message->frame();
    }
    m_table->item(row, Data)->setText(send_cell::format_data(frame.data, frame.dlc));
}

void VyrCanSend::trigger_removed(VyrTrigger *trigger)
{
    for (int row = 0; row < m_table->rowCount(); ++row) {
        auto *item = static_cast<TriggerItem *>(m_table->item(row, Trigger));
        if (item && item->trigger() == trigger) {
            item->set_trigger(nullptr);
            value_changed(row, Trigger);
        }
    }
}

// --- Measurement ---------------------------------------------------------------------------------

void VyrCanSend::refresh_label(TableButton *b)
{
    CanSendMessage *message = b->message();
    if (message->rate() == 0)
        b->setText(m_send_text);
    else
        b->setText(message->periodic_active() ? m_stop_text : m_start_text);
}

void VyrCanSend::startup()
{
    m_table->set_running(true);
    for (int row = 0; row < m_table->rowCount(); ++row) {
        TableButton *b = button(row);
        VyrCanIf *can = b->message()->interface();
        b->setEnabled(can && can->active());
        b->message()->reset_transmitted();
        b->message()->mark_label_dirty();
    }
    VyrDataWindow::startup();
}

void VyrCanSend::update_signals()
{
    if (is_paused())
        return;
    for (int row = 0; row < m_table->rowCount(); ++row) {
        TableButton *b = button(row);
        const unsigned transmitted = b->message()->transmitted();
        if (transmitted != b->transmitted_shown()) {
            b->set_transmitted_shown(transmitted);
            m_table->item(row, Transmitted)->setText(QString::number(transmitted));
        }
        if (b->message()->take_label_dirty())
            refresh_label(b);
    }
}

void VyrCanSend::stop()
{
    for (int row = 0; row < m_table->rowCount(); ++row) {
        TableButton *b = button(row);
        b->setEnabled(false);
        if (b->message()->rate() > 0) {
            b->message()->end_run();
            b->setText(m_start_text);
        }
    }
    m_table->set_running(false);
    VyrDataWindow::stop();
}

void VyrCanSend::state_changed()
{
    const std::vector<int> rows = selected_rows();
    const bool selected = !rows.empty();
    m_delete_button->setEnabled(selected);
    m_up_button->setEnabled(selected && rows.front() != 0);
    m_down_button->setEnabled(selected && rows.back() != m_table->rowCount() - 1);
    m_signal_table_button->setChecked(m_dock && !m_dock->isHidden());
}

void VyrCanSend::remove_interface(const QString &interface_id)
{
    m_table->end_edit();
    for (int row = 0; row < m_table->rowCount(); ++row) {
        auto *item = static_cast<ChannelItem *>(m_table->item(row, Channel));
        VyrCanIf *can = item->interface();
        if (can && QString::fromStdString(can->make_id()) == interface_id) {
            item->set_interface(nullptr);
            value_changed(row, Channel);
        }
    }
}

void VyrCanSend::interface_configuration_changed(const QString &interface_id)
{
    for (int row = 0; row < m_table->rowCount(); ++row) {
        auto *item = static_cast<ChannelItem *>(m_table->item(row, Channel));
        VyrCanIf *can = item->interface();
        if (can && QString::fromStdString(can->make_id()) == interface_id) {
            item->set_interface(can);
            value_changed(row, Channel);
        }
    }
}

// --- Columns and the context menu ----------------------------------------------------------------

void VyrCanSend::show_column(int column, bool show)
{
    if (column < 0 || column >= column_count || m_columns[column].shown == show)
        return;
    if (!show && !m_columns[column].may_hide)
        return;
    m_columns[column].shown = show;
    if (!show) {
        m_columns[column].saved_width = m_table->columnWidth(column);
        m_table->setColumnHidden(column, true);
    } else {
        m_table->setColumnHidden(column, false);
        if (m_table->columnWidth(column) < 5)
            m_table->setColumnWidth(column, 20);
    }
}

void VyrCanSend::show_column(int column)
{
    show_column(column, true);
}

void VyrCanSend::toggle_column_visibility(int column)
{
    if (column >= 0 && column < column_count)
        show_column(column, !m_columns[column].shown);
}

void VyrCanSend::show_context_menu(int row, int column, const QPoint &position)
{
    QMenu menu(this);
    menu.setObjectName(QStringLiteral("can_send_context_menu"));
    menu.addAction(tr("Properties"), this, &VyrDataWindow::open_properties_dialog);
    if (detached())
        menu.addAction(tr("Attach to Workspace"), this, &VyrDataWindow::attach_to_workspace);
    else
        menu.addAction(tr("Detach from Workspace"), this, &VyrDataWindow::detach_from_workspace);
    if (row >= 0)
        menu.addAction(tr("Remove this Line"), this, [this, row] { delete_message(row); });
    menu.addAction(tr("Add Line"), this, qOverload<>(&VyrCanSend::add_message));
    if (column >= 0 && column < column_count && m_columns[column].may_hide)
        menu.addAction(tr("Hide this Column"), this, [this, column] { show_column(column, false); });
    menu.addSeparator();
    QMenu *columns = menu.addMenu(tr("Columns"));
    columns->setObjectName(QStringLiteral("columns_menu"));
    for (int c = 0; c < column_count; ++c) {
        QAction *action = columns->addAction(tr(column_texts[c].label));
        action->setCheckable(true);
        action->setChecked(m_columns[c].shown);
        action->setEnabled(m_columns[c].may_hide);
        connect(action, &QAction::triggered, this, [this, c] { toggle_column_visibility(c); });
    }
    menu.exec(position);
}

// --- Signal table --------------------------------------------------------------------------------

void VyrCanSend::show_signal_table()
{
    if (m_dock) {
        if (m_dock->isHidden()) {
            m_dock->show();
            update_signal_table();
        } else {
            m_dock->hide();
        }
    }
    state_changed();
}

void VyrCanSend::update_signal_table()
{
    if (!m_signal_table || !m_dock || m_dock->isHidden())
        return;
    TableButton *b = button(m_table->currentRow());
    if (b) {
        CanSendMessage::MessageLock lock(*b->message());
        m_signal_frame = b->message()->frame();
    }
    if (!b || (m_signal_frame.flags & VyrCanMessage::Remote)) {
        m_signal_message = nullptr;
        m_signal_cluster = nullptr;
        m_signal_table->set_candb_cluster(nullptr);
        m_signal_table->set_can_data(nullptr, VyrCanSignalTable::no_key);
        return;
    }
    VyrCanIf *can = b->message()->interface();
    CANdbCluster *cluster = can ? can->databases() : nullptr;
    if (cluster != m_signal_cluster) {
        m_signal_cluster = cluster;
        m_signal_table->set_candb_cluster(cluster);
    }
    m_signal_message = b->message();
    m_signal_table->set_can_data(&m_signal_frame, unsigned(b->message()->database_key()),
                                 b->message()->j1939_key());
}

void VyrCanSend::data_from_signal_table_changed(VyrCanMessage *frame)
{
    if (frame != &m_signal_frame || !m_signal_message)
        return;
    m_table->end_edit();
    const int row = row_of(m_signal_message);
    if (row < 0)
        return;
    {
        CanSendMessage::MessageLock lock(*m_signal_message);
        std::copy(m_signal_frame.data, m_signal_frame.data + VyrCanMessage::max_data,
                  m_signal_message->frame().data);
    }
    m_table->item(row, Data)->setText(send_cell::format_data(m_signal_frame.data, m_signal_frame.dlc));
}

void VyrCanSend::signal_table_destroyed()
{
    m_signal_table = nullptr;
    m_dock = nullptr;
    m_signal_message = nullptr;
}

// --- Configuration -------------------------------------------------------------------------------

void VyrCanSend::write_configuration(QtbConfig *config)
{
    m_table->end_edit();
    QtbConfigGroup *group = write_base_configuration(config);
    group->write_int("number_of_messages", m_table->rowCount());
    for (int column = 0; column < column_count; ++column)
        group->write_int(column_key("col_width_", column),
                         m_columns[column].shown ? m_table->columnWidth(column) : m_columns[column].saved_width);
    for (int column = 0; column < column_count; ++column)
        group->write_bool(column_key("col_visible_", column), m_columns[column].shown);
    QtbConfigGroup *messages = group->add_group("messages");
    for (int row = 0; row < m_table->rowCount(); ++row) {
        QtbConfigGroup *entry = messages->add_group("");
        entry->write_string("id", m_table->item(row, Identifier)->text());
        entry->write_int("dlc", static_cast<DlcItem *>(m_table->item(row, Dlc))->dlc());
        entry->write_string("data", m_table->item(row, Data)->text());
        if (VyrCanIf *can = static_cast<ChannelItem *>(m_table->item(row, Channel))->interface())
            entry->write_string("canif", QString::fromStdString(can->make_id()));
        entry->write_int("onkey", static_cast<KeyItem *>(m_table->item(row, Key))->code());
        entry->write_int("rate", int(static_cast<NumberItem *>(m_table->item(row, Rate))->value()));
        entry->write_int("count", int(static_cast<NumberItem *>(m_table->item(row, Count))->value()));
        entry->write_string("comment", m_table->item(row, Comment)->text());
        VyrTrigger *trigger = static_cast<TriggerItem *>(m_table->item(row, Trigger))->trigger();
        entry->write_string("trigger", trigger ? trigger->name() : QString());
    }
    if (m_signal_table && m_dock) {
        group->write_bool("signal_table_visible", !m_dock->isHidden());
        m_signal_table->write_configuration(group->add_group("signal_table"));
    }
}

void VyrCanSend::read_configuration(QtbConfigGroup *group)
{
    read_base_configuration(group);
    QtbConfigGroup *messages = group->get_group("messages");
    for (QtbConfigGroup *entry = messages ? messages->first_group() : nullptr; entry;
         entry = messages->next_group()) {
        VyrCanIf *can = nullptr;
        const QString interface_id = entry->read_string("canif", QString());
        if (!interface_id.isEmpty())
            can = VyrCanIf::of(find_signal_if_by_id(interface_id.toLatin1().constData()));
        VyrTrigger *trigger = nullptr;
        const QString trigger_name = entry->read_string("trigger", QString());
        if (!trigger_name.isEmpty() && VyrTriggerList::instance())
            trigger = VyrTriggerList::instance()->find(trigger_name);
        const int row = add_message(can, entry->read_string("id", QString()), entry->read_int("dlc", 8),
                                    entry->read_string("data", QString::fromLatin1(default_data_text)),
                                    unsigned(entry->read_int("rate", 0)), unsigned(entry->read_int("count", 0)),
                                    entry->read_int("onkey", default_key), entry->read_string("comment", QString()),
                                    trigger);
        apply_row(row);
    }
    for (int column = 0; column < column_count; ++column) {
        const int width = group->read_int(column_key("col_width_", column),
                                          m_columns[column].shown ? m_table->columnWidth(column)
                                                                  : m_columns[column].saved_width);
        const bool shown = group->read_bool(column_key("col_visible_", column), column != Comment && column != Trigger);
        show_column(column, true);
        m_table->setColumnWidth(column, width);
        show_column(column, shown);
    }
    if (QtbConfigGroup *table = group->get_group("signal_table"); table && m_signal_table && m_dock) {
        m_signal_table->read_configuration(table);
        if (group->read_bool("signal_table_visible", false)) {
            m_dock->show();
            update_signal_table();
        }
    }
}

VyrDataWindow *VyrCanSend::create(QWidget *parent, QtbConfigGroup *group)
{
    auto *window = new VyrCanSend(parent);
    if (group)
        window->read_configuration(group);
    window->state_changed();
    return window;
}
