#include "windows/send/can_send_table.h"

#include "core/candb_cluster.h"
#include "core/key_codes.h"
#include "core/vyr_trigger.h"
#include "interfaces/can/vyr_can_if.h"
#include "windows/base/vyr_select_key.h"
#include "windows/send/send_cell_syntax.h"

#include <QApplication>
#include <QClipboard>
#include <QCompleter>
#include <QIntValidator>
#include <QKeyEvent>

#include <cctype>

// --- Tables ------------------------------------------------------------------------------------

VyrKeyboardAwareTable::VyrKeyboardAwareTable(int rows, int columns, QWidget *parent, const char *name)
    : QTableWidget(rows, columns, parent)
{
    setObjectName(QString::fromLatin1(name));
    setTabKeyNavigation(true);
}

void VyrKeyboardAwareTable::end_edit()
{
    if (QWidget *editor = m_open_editor) {
        m_open_editor = nullptr;
        commitData(editor);
        closeEditor(editor, QAbstractItemDelegate::NoHint);
    }
    setFocus();
}

bool VyrKeyboardAwareTable::event(QEvent *event)
{
    // Tab and Backtab move between the cells and never out of the table.
    if (event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        if ((key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) &&
            !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
            keyPressEvent(key);
            return true;
        }
    }
    return QTableWidget::event(event);
}

void VyrKeyboardAwareTable::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_F1:
        event->ignore(); // for the window's help
        return;
    case Qt::Key_Delete:
        emit delete_key_pressed();
        break;
    default:
        break;
    }
    QTableWidget::keyPressEvent(event);
}

CanSendTable::CanSendTable(int rows, int columns, QWidget *parent, const char *name, int action_column)
    : VyrKeyboardAwareTable(rows, columns, parent, name), m_action_column(action_column)
{
    setItemDelegate(new SendCellDelegate(this));
}

bool CanSendTable::edit(const QModelIndex &index, EditTrigger trigger, QEvent *event)
{
    if (index.column() == m_action_column)
        return false;
    return QTableWidget::edit(index, trigger, event);
}

// --- Delegate ----------------------------------------------------------------------------------

SendCellDelegate::SendCellDelegate(CanSendTable *table) : QStyledItemDelegate(table), m_table(table) {}

SendCellItem *SendCellDelegate::send_item(const QModelIndex &index) const
{
    QTableWidgetItem *item = m_table->item(index.row(), index.column());
    return item && item->type() == QTableWidgetItem::UserType ? static_cast<SendCellItem *>(item) : nullptr;
}

QWidget *SendCellDelegate::createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                                        const QModelIndex &index) const
{
    QWidget *editor = nullptr;
    if (SendCellItem *item = send_item(index))
        editor = item->create_editor(parent, m_table);
    if (!editor)
        editor = QStyledItemDelegate::createEditor(parent, option, index);
    m_table->set_open_editor(editor);
    return editor;
}

void SendCellDelegate::setEditorData(QWidget *editor, const QModelIndex &index) const
{
    // The item editors start with the cell's content.
    SendCellItem *item = send_item(index);
    if (!item || !item->has_editor())
        QStyledItemDelegate::setEditorData(editor, index);
}

void SendCellDelegate::setModelData(QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const
{
    SendCellItem *item = send_item(index);
    if (item && item->has_editor())
        item->set_content_from_editor(editor);
    else
        QStyledItemDelegate::setModelData(editor, model, index);
    emit m_table->valueChanged(index.row(), index.column());
}

namespace {

template <typename Editor>
Editor *own_editor(Editor *editor, const char *name)
{
    editor->setObjectName(QString::fromLatin1(name));
    return editor;
}

// A choice is committed as soon as it is picked.

void commit_on_activation(QComboBox *combo, CanSendTable *table)
{
    if (table)
        QObject::connect(combo, QOverload<int>::of(&QComboBox::activated), table, &CanSendTable::end_edit,
                         Qt::QueuedConnection);
}

QString interface_name(VyrCanIf *can)
{
    return can ? QString::fromStdString(can->name()) : QString();
}

} // namespace

// --- Items -------------------------------------------------------------------------------------

ChannelItem::ChannelItem(VyrCanIf *can) : m_interface(nullptr)
{
    set_interface(can);
}

void ChannelItem::set_interface(VyrCanIf *can)
{
    m_interface = can;
    setText(interface_name(can));
}

QWidget *ChannelItem::create_editor(QWidget *parent, CanSendTable *table) const
{
    auto *combo = own_editor(new QComboBox(parent), "channel_editor");
    combo->addItem(QString(), QVariant::fromValue<void *>(nullptr));
    for (VyrSignalIf *signal_if = get_first_signal_if(); signal_if; signal_if = signal_if->next()) {
        const std::string type = signal_if->type_name();
        if (type != "CAN" && type != "LIN")
            continue;
        VyrCanIf *can = VyrCanIf::of(signal_if);
        if (!can)
            continue;
        combo->addItem(interface_name(can), QVariant::fromValue<void *>(can));
        if (can == m_interface)
            combo->setCurrentIndex(combo->count() - 1);
    }
    commit_on_activation(combo, table);
    return combo;
}

void ChannelItem::set_content_from_editor(QWidget *editor)
{
    auto *combo = static_cast<QComboBox *>(editor);
    set_interface(static_cast<VyrCanIf *>(combo->currentData().value<void *>()));
}

QWidget *IdItem::create_editor(QWidget *parent, CanSendTable *table) const
{
    auto *combo = own_editor(new QComboBox(parent), "id_editor");
    combo->setEditable(true);
    combo->setInsertPolicy(QComboBox::NoInsert);
    combo->addItem(QStringLiteral("Error Frame"));
    combo->insertSeparator(combo->count());
    CANdbCluster *cluster = m_interface ? m_interface->databases() : nullptr;
    if (cluster) {
        bool first = true;
        for (CANdbNetwork *network = cluster->first_network(); network; network = cluster->next_network()) {
            if (!first)
                combo->insertSeparator(combo->count());
            first = false;
            for (CANdbMessage *message = network->first_message(); message; message = network->next_message())
                combo->addItem(QString::fromStdString(message->name));
        }
    }
    combo->setValidator(new IdValidator(combo, cluster));
    // Typing completes message names only: an error frame is picked from
    // the list or typed out, never completed from a first letter.
    auto *completer = new QCompleter(send_cell::message_names(cluster), combo);
    completer->setCompletionMode(QCompleter::InlineCompletion);
    completer->setCaseSensitivity(Qt::CaseSensitive);
    combo->setCompleter(completer);
    combo->setEditText(text());
    commit_on_activation(combo, table);
    return combo;
}

void IdItem::set_content_from_editor(QWidget *editor)
{
    // The start of a name left in the editor is no identifier: the cell keeps its own.
    auto *combo = static_cast<QComboBox *>(editor);
    if (combo->lineEdit()->hasAcceptableInput())
        setText(combo->currentText());
}

DlcItem::DlcItem(int dlc, VyrCanIf *can) : m_dlc(0), m_interface(can)
{
    set_dlc(dlc);
}

void DlcItem::set_dlc(int dlc)
{
    m_dlc = dlc;
    setText(QString::number(dlc));
}

QWidget *DlcItem::create_editor(QWidget *parent, CanSendTable *table) const
{
    auto *combo = own_editor(new QComboBox(parent), "dlc_editor");
    combo->addItems(send_cell::dlc_choices(m_interface && m_interface->canfd_enabled()));
    combo->setCurrentText(QString::number(m_dlc));
    commit_on_activation(combo, table);
    return combo;
}

void DlcItem::set_content_from_editor(QWidget *editor)
{
    set_dlc(static_cast<QComboBox *>(editor)->currentText().toInt());
}

DataItem::DataItem(const QString &text, int dlc) : SendCellItem(send_cell::resize_data_text(text, dlc)), m_dlc(dlc)
{
}

void DataItem::set_dlc(int dlc)
{
    m_dlc = dlc;
    setText(send_cell::resize_data_text(text(), dlc));
}

QWidget *DataItem::create_editor(QWidget *parent, CanSendTable *) const
{
    return own_editor(new DataLineEdit(parent, text(), m_dlc), "data_editor");
}

void DataItem::set_content_from_editor(QWidget *editor)
{
    setText(send_cell::resize_data_text(static_cast<QLineEdit *>(editor)->text(), m_dlc));
}

NumberItem::NumberItem(unsigned value) : SendCellItem(QString::number(value)) {}

QWidget *NumberItem::create_editor(QWidget *parent, CanSendTable *) const
{
    auto *line = own_editor(new QLineEdit(text(), parent), "number_editor");
    line->setValidator(new QIntValidator(0, 10000000, line));
    return line;
}

void NumberItem::set_content_from_editor(QWidget *editor)
{
    setText(QString::number(static_cast<QLineEdit *>(editor)->text().toUInt()));
}

KeyItem::KeyItem(int code) : SendCellItem(QString::fromStdString(key_code_to_text(code))), m_code(code) {}

QWidget *KeyItem::create_editor(QWidget *parent, CanSendTable *table) const
{
    auto *select = own_editor(new VyrSelectKey(parent, m_code), "key_editor");
    commit_on_activation(select->modifier_box(), table);
    commit_on_activation(select->key_box(), table);
    return select;
}

void KeyItem::set_content_from_editor(QWidget *editor)
{
    auto *select = static_cast<VyrSelectKey *>(editor);
    m_code = select->key();
    setText(select->text());
}

TriggerItem::TriggerItem(VyrTrigger *trigger) : m_trigger(nullptr)
{
    set_trigger(trigger);
}

void TriggerItem::set_trigger(VyrTrigger *trigger)
{
    m_trigger = trigger;
    setText(trigger ? trigger->name() : QStringLiteral(" --- "));
}

QWidget *TriggerItem::create_editor(QWidget *parent, CanSendTable *table) const
{
    auto *combo = own_editor(new QComboBox(parent), "trigger_editor");
    combo->addItem(QStringLiteral(" --- "), QVariant::fromValue<void *>(nullptr));
    if (VyrTriggerList *triggers = VyrTriggerList::instance()) {
        for (VyrTrigger *trigger = triggers->first(); trigger; trigger = triggers->next()) {
            combo->addItem(trigger->name(), QVariant::fromValue<void *>(trigger));
            if (trigger == m_trigger)
                combo->setCurrentIndex(combo->count() - 1);
        }
    }
    commit_on_activation(combo, table);
    return combo;
}

void TriggerItem::set_content_from_editor(QWidget *editor)
{
    set_trigger(static_cast<VyrTrigger *>(static_cast<QComboBox *>(editor)->currentData().value<void *>()));
}

// --- Validators and the data editor --------------------------------------------------------------

QValidator::State IdValidator::validate(QString &input, int &) const
{
    if (send_cell::id_text_acceptable(input, m_cluster))
        return Acceptable;
    // An emptied field and the start of a message name are on the way to an identifier.
    return input.isEmpty() || send_cell::starts_message_name(input, m_cluster) ? Intermediate : Invalid;
}

QValidator::State DataValidator::validate(QString &input, int &position) const
{
    if (input.size() < m_length)
        return Invalid;
    if (input.size() > m_length) {
        // Typed characters replace the ones that follow them.
        input.remove(position, input.size() - m_length);
        input.truncate(m_length);
    }
    for (int i = 0; i < input.size(); ++i) {
        const QChar c = input.at(i);
        const bool blank_place = i % 3 == 2;
        if (blank_place ? c != QLatin1Char(' ') : !isxdigit(c.toLatin1()))
            return Invalid;
    }
    if (position < input.size() && input.at(position) == QLatin1Char(' '))
        ++position;
    return Acceptable;
}

DataLineEdit::DataLineEdit(QWidget *parent, const QString &text, int dlc) : QLineEdit(text, parent)
{
    setValidator(new DataValidator(this, send_cell::data_text_length(dlc)));
    setCursorPosition(0);
}

void DataLineEdit::keyPressEvent(QKeyEvent *event)
{
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    const bool shift = event->modifiers() & Qt::ShiftModifier;
    const int key = event->key();
    if (key == Qt::Key_Backspace || (ctrl && key == Qt::Key_H) || key == Qt::Key_Left) {
        int position = cursorPosition() - 1;
        if (position > 0 && text().at(position) == QLatin1Char(' '))
            --position;
        if (position >= 0)
            setCursorPosition(position);
        return;
    }
    if (ctrl && key == Qt::Key_D)
        return;
    if ((shift && key == Qt::Key_Delete) || (ctrl && key == Qt::Key_X)) {
        if (!isReadOnly() && hasSelectedText() && echoMode() == Normal)
            QApplication::clipboard()->setText(selectedText());
        return;
    }
    QLineEdit::keyPressEvent(event);
}
