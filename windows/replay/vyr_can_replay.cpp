#include "windows/replay/vyr_can_replay.h"
#include "windows/base/tool_icons.h"

#include "core/path_util.h"
#include "core/vyr_trigger.h"
#include "interfaces/can/vyr_can_if.h"
#include "settings/qtb_config.h"
#include "windows/base/header_tool_tip.h"
#include "windows/logging/log_file.h"
#include "windows/replay/can_replay_table.h"
#include "windows/replay/replay_table_button.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QToolButton>

namespace {

// The Action cell: holds the row's button, which moves between cells when rows are swapped.
class ActionCell : public QWidget
{
public:
    explicit ActionCell(ReplayTableButton *button)
    {
        auto *layout = new QHBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        put(button);
    }
    ReplayTableButton *button() const { return m_button; }
    ReplayTableButton *take()
    {
        ReplayTableButton *button = m_button;
        layout()->removeWidget(button);
        m_button = nullptr;
        return button;
    }
    void put(ReplayTableButton *button)
    {
        m_button = button;
        button->setParent(this);
        layout()->addWidget(button);
        button->show();
    }

private:
    ReplayTableButton *m_button = nullptr;
};

const char *const column_keys[] = {"channel", "channel2", "file",    "timing", "mode",
                                   "progress", "action",  "comment", "trigger"};
// The columns in the order of their configuration keys.
const int key_columns[] = {CanReplayTable::Channel,  CanReplayTable::Channel2, CanReplayTable::File,
                           CanReplayTable::Timing,   CanReplayTable::Mode,     CanReplayTable::Progress,
                           CanReplayTable::Action,   CanReplayTable::Comment,  CanReplayTable::Trigger};

QByteArray key(const char *prefix, int n)
{
    return QByteArray(prefix) + column_keys[n];
}

QString choose_open_file(QWidget *parent, const QString &caption, const QString &start, const QString &filter)
{
    return QFileDialog::getOpenFileName(parent, caption, start, filter);
}

void show_error(QWidget *parent, const QString &caption, const QString &text)
{
    QMessageBox::critical(parent, caption, text);
}

VyrCanIf *can_interface_by_id(const QString &id)
{
    return id.isEmpty() ? nullptr : VyrCanIf::of(find_signal_if_by_id(id.toLatin1().constData()));
}

} // namespace

VyrCanReplay::Desktop &VyrCanReplay::desktop()
{
    static Desktop functions{&choose_open_file, &show_error};
    return functions;
}

VyrCanReplay::VyrCanReplay(QWidget *parent) : VyrDataWindow(class_key_text, parent)
{
    set_help_key(QStringLiteral("CanReplayWindow"));
    set_update_rate(150);

    m_insert_button = add_tool_button("insert_button", tr("<p><h3>Insert</h3>Insert new replay file</p>"),
                                      QStringLiteral("+"));
    connect(m_insert_button, &QToolButton::clicked, this, qOverload<>(&VyrCanReplay::add_message));
    m_delete_button = add_tool_button("delete_button", tr("<p><h3>Delete</h3>Delete selected line</p>"),
                                      QStringLiteral("\u2212"));
    connect(m_delete_button, &QToolButton::clicked, this, &VyrCanReplay::delete_selected_lines);
    m_up_button = add_tool_button("move_up_button", tr("<p><h3>Move Up</h3>Shuffle UP selected line</p>"),
                                  QStringLiteral("\u2191"));
    connect(m_up_button, &QToolButton::clicked, this, &VyrCanReplay::shuffle_up);
    m_down_button = add_tool_button("move_down_button", tr("<p><h3>Move Down</h3>Shuffle DOWN selected line</p>"),
                                    QStringLiteral("\u2193"));
    connect(m_down_button, &QToolButton::clicked, this, &VyrCanReplay::shuffle_down);
    tool_bar()->add_separator();
    create_standard_tool_buttons();

    m_table = new CanReplayTable(this);
    insert_tool_widget(m_table);
    const char *const headers[] = {"Channel",  "Channel2", "Name of Replay File", "Timing [ms]", "Mode",
                                   "Progress", "Comment",  "Trigger",             "Action"};
    const char *const menu_names[] = {"Channel",  "Channel2", "Name of Replay File", "Timing", "Mode",
                                      "Progress", "Comment",  "Trigger",             "Action"};
    const QString tips[] = {
        tr("<p><h3>CAN Channel</h3>Select the CAN channel on which the message shall be sent.</p>"),
        tr("<p><h3>CAN Channel2</h3>Select the second CAN channel on which the message shall be sent.</p>"),
        tr("<p><h3>Name of Replay File</h3>The name of the file which should be replayed. Could be in ASCII or MDF "
           "format.</p>"),
        tr("<p><h3>Timing</h3>Select the message rate which should be used to transmit the CAN messages.</p>"),
        tr("<p><h3>Replay Mode</h3>Action on end of file: Restart replay or Stop.</p>"),
        tr("<p><h3>Number of transmitted messages</h3>Counts the transmitted messages.</p>"),
        tr("<p><h3>Comment</h3>Add a description for the current Line.</p>"),
        tr("<p><h3>Trigger</h3>Select a trigger object which controls sending of the related CAN message.</p>"),
        tr("<p><h3>Action</h3>Button that triggers the Action, which is either transmission of one the complete "
           "file or transmission of one messages.</p>"),
    };
    QStringList labels;
    auto *header_tips = new HeaderToolTip(m_table->horizontalHeader());
    for (int column = 0; column < CanReplayTable::column_count; ++column) {
        labels << tr(headers[column]);
        m_columns[column].menu_name = tr(menu_names[column]);
        header_tips->set_tip(column, tips[column]);
    }
    m_table->setHorizontalHeaderLabels(labels);
    show_column(CanReplayTable::Comment, false);
    show_column(CanReplayTable::Channel2, false);
    show_column(CanReplayTable::Trigger, false);

    connect(m_table, &CanReplayTable::value_changed, this, &VyrCanReplay::value_changed);
    connect(m_table, &QTableWidget::itemSelectionChanged, this, &VyrCanReplay::state_changed);
    connect(m_table, &QWidget::customContextMenuRequested, this, [this](const QPoint &position) {
        const QModelIndex index = m_table->indexAt(position);
        show_context_menu(index.isValid() ? index.row() : -1, m_table->columnAt(position.x()),
                          m_table->viewport()->mapToGlobal(position));
    });
    connect(m_table, &QTableWidget::cellDoubleClicked, this,
            [this](int row, int column) { double_clicked(row, column, 1); });
    state_changed();
    setGeometry(50, 50, 600, 180);
}

VyrCanReplay::~VyrCanReplay() = default;

QToolButton *VyrCanReplay::add_tool_button(const char *name, const QString &tip, const QString &letters)
{
    auto *button = new QToolButton(tool_bar());
    button->setObjectName(QLatin1String(name));
    button->setToolTip(tip);
    button->setIcon(letter_icon(letters));
    button->setIconSize(QSize(16, 16));
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    tool_bar()->addWidget(button);
    return button;
}

ReplayTableButton *VyrCanReplay::button(int row) const
{
    auto *cell = dynamic_cast<ActionCell *>(m_table->cellWidget(row, CanReplayTable::Action));
    return cell ? cell->button() : nullptr;
}

QString VyrCanReplay::caption_for(const ReplayTableButton &button)
{
    const CanReplayFile &replay = const_cast<ReplayTableButton &>(button).replay();
    if (replay.timing() == CanReplayFile::OneMessage)
        return tr("Send");
    return replay.running() ? tr("Stop") : tr("Start");
}

// --- Rows --------------------------------------------------------------------------------

int VyrCanReplay::add_message(VyrCanIf *canif, VyrCanIf *canif2, const QString &file_name, int timing, int mode,
                              const QString &comment, VyrTrigger *trigger)
{
    const int row = m_table->rowCount();
    m_table->insertRow(row);
    auto *button = new ReplayTableButton(m_table, this, timing == CanReplayFile::OneMessage ? tr("Send") : tr("Start"));
    button->setEnabled(running());
    m_table->setCellWidget(row, CanReplayTable::Action, new ActionCell(button));
    button->set_trigger(trigger);
    button->replay().set_file_name(file_name);

    m_table->setItem(row, CanReplayTable::Channel, new ReplayChannelItem(canif));
    m_table->setItem(row, CanReplayTable::Channel2, new ReplayChannelItem(canif2));
    m_table->setItem(row, CanReplayTable::File, new QTableWidgetItem(file_name));
    m_table->setItem(row, CanReplayTable::Timing, new QTableWidgetItem(replay_text::timing_text(timing)));
    m_table->setItem(row, CanReplayTable::Mode, new QTableWidgetItem(replay_text::mode_text(mode)));
    auto *progress = new QTableWidgetItem(QStringLiteral("0"));
    progress->setFlags(progress->flags() & ~Qt::ItemIsEditable);
    m_table->setItem(row, CanReplayTable::Progress, progress);
    m_table->setItem(row, CanReplayTable::Comment, new QTableWidgetItem(comment));
    m_table->setItem(row, CanReplayTable::Trigger, new ReplayTriggerItem(trigger));
    auto *action = new QTableWidgetItem;
    action->setFlags(action->flags() & ~Qt::ItemIsEditable);
    m_table->setItem(row, CanReplayTable::Action, action);
    if (row == 0)
        m_table->resizeColumnsToContents();
    state_changed();
    return row;
}

void VyrCanReplay::add_message()
{
    const QString file = choose_replay_file(QString());
    if (file.isEmpty())
        return;
    VyrCanIf *can = VyrCanIf::of(find_signal_if_by_type("CAN", ~0u));
    const int row = add_message(can, nullptr, file, default_timing_ms, CanReplayFile::Endless, QString(), nullptr);
    for (int column = 0; column < CanReplayTable::column_count; ++column)
        value_changed(row, column);
}

void VyrCanReplay::value_changed(int row, int column)
{
    ReplayTableButton *row_button = button(row);
    QTableWidgetItem *item = m_table->item(row, column);
    if (!row_button || !item)
        return;
    CanReplayFile &replay = row_button->replay();
    switch (column) {
    case CanReplayTable::Timing:
        replay.set_timing(replay_text::timing_value(item->text()));
        break;
    case CanReplayTable::Channel: {
        VyrCanIf *can = item->type() == ReplayChannelItem::item_type
                            ? static_cast<ReplayChannelItem *>(item)->interface()
                            : nullptr;
        replay.set_first_interface(can);
        if (running())
            row_button->setEnabled(can && can->active());
        break;
    }
    case CanReplayTable::Channel2:
        replay.set_second_interface(item->type() == ReplayChannelItem::item_type
                                        ? static_cast<ReplayChannelItem *>(item)->interface()
                                        : nullptr);
        break;
    case CanReplayTable::File:
        replay.set_file_name(item->text());
        break;
    case CanReplayTable::Mode:
        replay.set_mode(replay_text::mode_value(item->text()));
        break;
    case CanReplayTable::Trigger:
        row_button->set_trigger(item->type() == ReplayTriggerItem::item_type
                                    ? static_cast<ReplayTriggerItem *>(item)->trigger()
                                    : nullptr);
        break;
    default:
        break;
    }
    emit configuration_changed();
}

void VyrCanReplay::double_clicked(int row, int column, int mouse_button)
{
    if (row < 0 || row >= m_table->rowCount() || mouse_button != 1 || column != CanReplayTable::File)
        return;
    QTableWidgetItem *item = m_table->item(row, column);
    if (!item)
        return;
    // The dialog takes the place of the cell's line editor.
    if (QWidget *editor = m_table->open_editor())
        emit m_table->itemDelegate()->closeEditor(editor, QAbstractItemDelegate::RevertModelCache);
    const QString file = choose_replay_file(item->text());
    if (file.isEmpty())
        return;
    item->setText(file);
    value_changed(row, column);
}

void VyrCanReplay::delete_selected_lines()
{
    m_table->end_edit();
    const QList<int> rows = m_table->selected_rows();
    for (auto it = rows.rbegin(); it != rows.rend(); ++it)
        remove_row(*it);
    state_changed();
    emit configuration_changed();
}

void VyrCanReplay::delete_line(int row)
{
    if (row < 0 || row >= m_table->rowCount())
        return;
    m_table->end_edit();
    remove_row(row);
    state_changed();
    emit configuration_changed();
}

void VyrCanReplay::remove_row(int row)
{
    // The table deletes its cell widgets later: the button, its replay and
    // its trigger listener go now, the replay leaving the wheel first.
    if (auto *cell = dynamic_cast<ActionCell *>(m_table->cellWidget(row, CanReplayTable::Action)))
        delete cell->take();
    m_table->removeRow(row);
}

void VyrCanReplay::swap_rows(int first, int second)
{
    for (int column = 0; column < CanReplayTable::column_count; ++column) {
        QTableWidgetItem *a = m_table->takeItem(first, column);
        QTableWidgetItem *b = m_table->takeItem(second, column);
        m_table->setItem(first, column, b);
        m_table->setItem(second, column, a);
    }
    auto *cell_a = static_cast<ActionCell *>(m_table->cellWidget(first, CanReplayTable::Action));
    auto *cell_b = static_cast<ActionCell *>(m_table->cellWidget(second, CanReplayTable::Action));
    ReplayTableButton *a = cell_a->take();
    ReplayTableButton *b = cell_b->take();
    cell_a->put(b);
    cell_b->put(a);
}

void VyrCanReplay::shuffle(int direction)
{
    const int rows = m_table->rowCount();
    if (rows < 2)
        return;
    m_table->end_edit();
    QList<int> selected = m_table->selected_rows();
    QList<int> moved;
    if (direction > 0) {
        for (int row = rows - 2; row >= 0; --row)
            if (selected.contains(row)) {
                swap_rows(row, row + 1);
                moved << row + 1;
            }
    } else {
        for (int row = 1; row < rows; ++row)
            if (selected.contains(row)) {
                swap_rows(row, row - 1);
                moved << row - 1;
            }
    }
    if (moved.isEmpty())
        return;
    QItemSelection selection;
    for (int row : moved)
        selection.select(m_table->model()->index(row, 0),
                         m_table->model()->index(row, CanReplayTable::column_count - 1));
    m_table->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    state_changed();
    emit configuration_changed();
}

void VyrCanReplay::shuffle_up()
{
    shuffle(-1);
}

void VyrCanReplay::shuffle_down()
{
    shuffle(1);
}

void VyrCanReplay::state_changed()
{
    const int rows = m_table->rowCount();
    const bool selection = !m_table->selected_rows().isEmpty();
    m_delete_button->setEnabled(selection);
    m_up_button->setEnabled(selection && !m_table->row_selected(0));
    m_down_button->setEnabled(selection && !m_table->row_selected(rows - 1));
}

void VyrCanReplay::remove_interface(const QString &interface_id)
{
    VyrDataWindow::remove_interface(interface_id);
    m_table->end_edit();
    for (int row = 0; row < m_table->rowCount(); ++row)
        for (int column : {int(CanReplayTable::Channel), int(CanReplayTable::Channel2)}) {
            auto *item = dynamic_cast<ReplayChannelItem *>(m_table->item(row, column));
            if (item && item->interface() && QString::fromStdString(item->interface()->make_id()) == interface_id) {
                item->set_interface(nullptr);
                value_changed(row, column);
            }
        }
}

void VyrCanReplay::interface_configuration_changed(const QString &interface_id)
{
    m_table->end_edit();
    for (int row = 0; row < m_table->rowCount(); ++row)
        for (int column : {int(CanReplayTable::Channel), int(CanReplayTable::Channel2)}) {
            auto *item = dynamic_cast<ReplayChannelItem *>(m_table->item(row, column));
            if (item && item->interface() && QString::fromStdString(item->interface()->make_id()) == interface_id) {
                item->set_interface(item->interface());
                value_changed(row, column);
            }
        }
}

// --- Columns and menu --------------------------------------------------------------------

void VyrCanReplay::toggle_column_visibility(int column)
{
    if (column >= 0 && column < CanReplayTable::column_count)
        show_column(column, !m_columns[column].visible);
}

void VyrCanReplay::show_column(int column)
{
    show_column(column, true);
}

void VyrCanReplay::show_column(int column, bool visible)
{
    if (column < 0 || column >= CanReplayTable::column_count || m_columns[column].visible == visible)
        return;
    m_columns[column].visible = visible;
    if (!visible) {
        m_columns[column].saved_width = m_table->columnWidth(column);
        m_table->setColumnHidden(column, true);
    } else {
        m_table->setColumnHidden(column, false);
        const int width = m_columns[column].saved_width;
        m_table->setColumnWidth(column, width < 5 ? 20 : width);
    }
    // A nudge of the Action column makes the table lay itself out anew.
    const int width = m_table->columnWidth(CanReplayTable::Action);
    m_table->setColumnWidth(CanReplayTable::Action, width + 1);
    m_table->setColumnWidth(CanReplayTable::Action, width);
}

void VyrCanReplay::show_context_menu(int row, int column, const QPoint &position)
{
    QMenu menu(this);
    menu.setObjectName(QStringLiteral("replay_context_menu"));
    menu.addAction(tr("Properties"), this, &VyrDataWindow::open_properties_dialog);
    if (detached())
        menu.addAction(tr("Attach to Workspace"), this, &VyrDataWindow::attach_to_workspace);
    else
        menu.addAction(tr("Detach from Workspace"), this, &VyrDataWindow::detach_from_workspace);
    menu.addAction(tr("Remove this Line"), this, [this, row] { delete_line(row); })
        ->setEnabled(row >= 0 && row < m_table->rowCount());
    menu.addAction(tr("Add Line"), this, qOverload<>(&VyrCanReplay::add_message));
    const bool column_valid = column >= 0 && column < CanReplayTable::column_count;
    menu.addAction(tr("Hide this Column"), this, [this, column] { show_column(column, false); })
        ->setEnabled(column_valid && m_columns[column].visible);
    menu.addSeparator();
    QMenu *columns = menu.addMenu(tr("Columns"));
    for (int n = 0; n < CanReplayTable::column_count; ++n) {
        QAction *action = columns->addAction(m_columns[n].menu_name);
        action->setCheckable(true);
        action->setChecked(m_columns[n].visible);
        connect(action, &QAction::triggered, this, [this, n] { toggle_column_visibility(n); });
    }
    menu.exec(position);
}

// --- File dialog -------------------------------------------------------------------------

QString VyrCanReplay::replay_filter(QString *format_list)
{
    QString filter;
    QStringList items;
    for (const LogFileFormat *format = LogFileFormat::first(); format; format = format->next()) {
        if (!(format->flags() & LogFileFormat::Readable))
            continue;
        const QString name = QString::fromStdString(format->name());
        const QString extension = QString::fromStdString(format->extension());
        filter += QStringLiteral("%1 (*.%2);;").arg(name, extension);
        items << QStringLiteral("<li>%1 (*.%2)</li>").arg(name, extension);
    }
    filter += tr("All files (*)");
    if (format_list)
        *format_list = QStringLiteral("<ul>") + items.join(QStringLiteral(", ")) + QStringLiteral("</ul>");
    return filter;
}

QString VyrCanReplay::choose_replay_file(const QString &current)
{
    QString format_list;
    const QString filter = replay_filter(&format_list);
    const QFileInfo current_file(current);
    const QString start = !current.isEmpty() && current_file.exists() ? current_file.absolutePath() : QDir::currentPath();
    const QString chosen = desktop().choose_open_file(this, tr("Select File for Replay"), start, filter);
    if (chosen.isEmpty())
        return QString();
    QFile file(chosen);
    if (!file.open(QIODevice::ReadOnly)) {
        desktop().show_error(this, tr("Error"), tr("Unable to open file '%1' for replay !").arg(chosen));
        return QString();
    }
    file.close();
    const QString extension = QFileInfo(chosen).suffix().toLower();
    const LogFileFormat *format =
        extension.isEmpty() ? nullptr : LogFileFormat::find_by_extension(extension.toLocal8Bit().constData());
    if (!format) {
        desktop().show_error(this, tr("Error"),
                             tr("Unknown extension of log-file&nbsp;'.%1'.<br>Expected one of these: %2")
                                 .arg(extension, format_list));
        return QString();
    }
    if (!(format->flags() & LogFileFormat::Readable)) {
        desktop().show_error(this, tr("Error"),
                             tr("Log-file type '%1' can't be replayed.").arg(QString::fromStdString(format->name())));
        return QString();
    }
    QFileInfo result(chosen);
    if (make_path_relative(result, QDir::currentPath()) > 0)
        return result.filePath();
    return chosen;
}

// --- Measurement -------------------------------------------------------------------------

void VyrCanReplay::startup()
{
    for (int row = 0; row < m_table->rowCount(); ++row) {
        ReplayTableButton *row_button = button(row);
        if (!row_button)
            continue;
        CanReplayFile &replay = row_button->replay();
        VyrCanIf *can = replay.first_interface();
        const bool enabled = can && can->active();
        row_button->setEnabled(enabled);
        replay.reset_sent_count();
        replay.mark_label_dirty();
        if (enabled)
            replay.open_file();
    }
    VyrDataWindow::startup();
}

void VyrCanReplay::stop()
{
    for (int row = 0; row < m_table->rowCount(); ++row) {
        ReplayTableButton *row_button = button(row);
        if (!row_button)
            continue;
        row_button->setEnabled(false);
        CanReplayFile &replay = row_button->replay();
        if (replay.timing() != CanReplayFile::OneMessage)
            row_button->setText(tr("Start"));
        // Off the wheel before the reader closes.
        replay.halt();
    }
    VyrDataWindow::stop();
}

void VyrCanReplay::update_signals()
{
    if (is_paused())
        return;
    for (int row = 0; row < m_table->rowCount(); ++row) {
        ReplayTableButton *row_button = button(row);
        if (!row_button)
            continue;
        CanReplayFile &replay = row_button->replay();
        const uint32_t sent = replay.sent_count();
        if (sent != replay.shown_count()) {
            if (QTableWidgetItem *progress = m_table->item(row, CanReplayTable::Progress))
                progress->setText(QString::number(sent));
            replay.set_shown_count(sent);
        }
        if (replay.take_label_dirty())
            row_button->setText(caption_for(*row_button));
    }
}

// --- Configuration -----------------------------------------------------------------------

void VyrCanReplay::write_configuration(QtbConfig *config)
{
    m_table->end_edit();
    QtbConfigGroup *group = write_base_configuration(config);
    group->write_int("number_of_messages", m_table->rowCount());
    for (int n = 0; n < CanReplayTable::column_count; ++n) {
        const int column = key_columns[n];
        group->write_int(key("col_width_", n),
                         m_columns[column].visible ? m_table->columnWidth(column) : m_columns[column].saved_width);
    }
    for (int n = 0; n < CanReplayTable::column_count; ++n)
        group->write_bool(key("col_visible_", n), m_columns[key_columns[n]].visible);
    QtbConfigGroup *messages = group->add_group("messages");
    for (int row = 0; row < m_table->rowCount(); ++row) {
        QtbConfigGroup *message = messages->append_entry(QtbConfigValue(std::make_unique<QtbConfigGroup>()), nullptr)->group();
        const QString file = m_table->item(row, CanReplayTable::File)->text();
        message->write_string("filename", file);
        message->write_string_utf8("filename_utf8", file);
        message->write_int("timing", replay_text::timing_value(m_table->item(row, CanReplayTable::Timing)->text()));
        message->write_int("mode", replay_text::mode_value(m_table->item(row, CanReplayTable::Mode)->text()));
        for (auto [column, name] : {std::pair<int, const char *>{CanReplayTable::Channel, "canif"},
                                    std::pair<int, const char *>{CanReplayTable::Channel2, "canif2"}}) {
            auto *item = dynamic_cast<ReplayChannelItem *>(m_table->item(row, column));
            if (item && item->interface())
                message->write_string(name, QString::fromStdString(item->interface()->make_id()));
        }
        message->write_string("comment", m_table->item(row, CanReplayTable::Comment)->text());
        message->write_string("trigger", m_table->item(row, CanReplayTable::Trigger)->text());
    }
}

void VyrCanReplay::read_configuration(QtbConfigGroup *group)
{
    read_base_configuration(group);
    if (QtbConfigGroup *messages = group->get_group("messages")) {
        for (QtbConfigGroup *message = messages->first_group(); message; message = messages->next_group()) {
            const QString latin = message->read_string("filename", QString());
            const QString file = message->read_string_utf8("filename_utf8", latin);
            VyrTriggerList *triggers = VyrTriggerList::instance();
            const QString trigger_name = message->read_string("trigger", QString());
            const int row = add_message(can_interface_by_id(message->read_string("canif", QString())),
                                        can_interface_by_id(message->read_string("canif2", QString())), file,
                                        message->read_int("timing", 0), message->read_int("mode", 0),
                                        message->read_string("comment", QString()),
                                        triggers && !trigger_name.isEmpty() ? triggers->find(trigger_name) : nullptr);
            for (int column = 0; column < CanReplayTable::column_count; ++column)
                value_changed(row, column);
        }
    }
    for (int n = 0; n < CanReplayTable::column_count; ++n) {
        const int column = key_columns[n];
        // A hidden column has no width of its own: it keeps the one it had.
        const int current = m_columns[column].visible ? m_table->columnWidth(column) : m_columns[column].saved_width;
        const int width = group->read_int(key("col_width_", n), current);
        if (m_columns[column].visible)
            m_table->setColumnWidth(column, width);
        else
            m_columns[column].saved_width = width;
    }
    for (int n = 0; n < CanReplayTable::column_count; ++n) {
        const int column = key_columns[n];
        const bool hidden_by_default = column == CanReplayTable::Comment || column == CanReplayTable::Trigger;
        show_column(column, group->read_bool(key("col_visible_", n), !hidden_by_default));
    }
}

VyrDataWindow *VyrCanReplay::create(QWidget *parent, QtbConfigGroup *group)
{
    auto *window = new VyrCanReplay(parent);
    if (group)
        window->read_configuration(group);
    return window;
}
