#include "windows/replay/can_replay_table.h"

#include "core/vyr_signal_if.h"
#include "core/vyr_trigger.h"
#include "interfaces/can/vyr_can_if.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QRegularExpression>
#include <QValidator>

namespace replay_text {

QString timing_text(int timing)
{
    if (timing == -2)
        return QStringLiteral("File Timing");
    if (timing == -1)
        return QStringLiteral("One Message");
    return QString::number(timing);
}

int timing_value(const QString &text)
{
    if (text == QLatin1String("File Timing"))
        return -2;
    if (text == QLatin1String("One Message"))
        return -1;
    return text.toInt();
}

QString mode_text(int mode)
{
    if (mode == 1)
        return QStringLiteral("Endless");
    if (mode == 2)
        return QStringLiteral("One Shot");
    return QStringLiteral("Invalid");
}

int mode_value(const QString &text)
{
    return text == QLatin1String("Endless") ? 1 : 2;
}

QString trigger_text(const VyrTrigger *trigger)
{
    return trigger ? trigger->name() : QStringLiteral(" --- ");
}

} // namespace replay_text

ReplayChannelItem::ReplayChannelItem(VyrCanIf *can) : QTableWidgetItem(item_type), m_interface(nullptr)
{
    set_interface(can);
}

void ReplayChannelItem::set_interface(VyrCanIf *can)
{
    m_interface = can;
    setText(can ? QString::fromStdString(can->name()) : QString());
}

ReplayTriggerItem::ReplayTriggerItem(VyrTrigger *trigger) : QTableWidgetItem(item_type)
{
    setText(replay_text::trigger_text(trigger));
}

VyrTrigger *ReplayTriggerItem::trigger() const
{
    VyrTriggerList *list = VyrTriggerList::instance();
    return list ? list->find(text()) : nullptr;
}

namespace {

// Accepts any text in which a number or "File Timing" is found.
class TimingValidator : public QValidator
{
public:
    using QValidator::QValidator;
    State validate(QString &input, int &) const override
    {
        static const QRegularExpression pattern(QStringLiteral("[0-9]+|File Timing"));
        return pattern.match(input).hasMatch() ? Acceptable : Invalid;
    }
};

} // namespace

// Creates the editor of each column and writes its value back into the item.
class ReplayItemDelegate : public QStyledItemDelegate
{
public:
    explicit ReplayItemDelegate(CanReplayTable *table) : QStyledItemDelegate(table), m_table(table) {}

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QWidget *editor = nullptr;
        switch (index.column()) {
        case CanReplayTable::Channel:
        case CanReplayTable::Channel2: {
            QComboBox *combo = new_combo(parent);
            for (VyrSignalIf *signal_if = get_first_signal_if(); signal_if; signal_if = signal_if->next())
                if (VyrCanIf *can = VyrCanIf::of(signal_if))
                    combo->addItem(QString::fromStdString(can->name()), QVariant::fromValue<void *>(can));
            editor = combo;
            break;
        }
        case CanReplayTable::Timing: {
            QComboBox *combo = new_combo(parent);
            combo->setEditable(true);
            combo->addItems({QStringLiteral("File Timing"), QStringLiteral("One Message")});
            combo->setValidator(new TimingValidator(combo));
            editor = combo;
            break;
        }
        case CanReplayTable::Mode: {
            QComboBox *combo = new_combo(parent);
            combo->addItems({QStringLiteral("Endless"), QStringLiteral("One Shot")});
            editor = combo;
            break;
        }
        case CanReplayTable::Trigger: {
            QComboBox *combo = new_combo(parent);
            combo->addItem(replay_text::trigger_text(nullptr));
            if (VyrTriggerList *list = VyrTriggerList::instance())
                for (VyrTrigger *trigger = list->first(); trigger; trigger = list->next())
                    if (!(trigger->flags() & VyrTrigger::Deleted))
                        combo->addItem(trigger->name());
            editor = combo;
            break;
        }
        case CanReplayTable::Action:
        case CanReplayTable::Progress:
            return nullptr;
        default:
            editor = QStyledItemDelegate::createEditor(parent, option, index);
            break;
        }
        m_table->m_editor = editor;
        return editor;
    }

    void setEditorData(QWidget *editor, const QModelIndex &index) const override
    {
        auto *combo = qobject_cast<QComboBox *>(editor);
        if (!combo) {
            QStyledItemDelegate::setEditorData(editor, index);
            return;
        }
        const QString text = index.data().toString();
        const int found = combo->findText(text);
        if (found >= 0)
            combo->setCurrentIndex(found);
        else if (combo->isEditable())
            combo->setEditText(text);
    }

    void setModelData(QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const override
    {
        auto *combo = qobject_cast<QComboBox *>(editor);
        QTableWidgetItem *item = m_table->item(index.row(), index.column());
        if (!combo || !item) {
            QStyledItemDelegate::setModelData(editor, model, index);
            return;
        }
        switch (index.column()) {
        case CanReplayTable::Channel:
        case CanReplayTable::Channel2:
            if (item->type() == ReplayChannelItem::item_type)
                static_cast<ReplayChannelItem *>(item)->set_interface(
                    static_cast<VyrCanIf *>(combo->currentData().value<void *>()));
            break;
        case CanReplayTable::Timing:
            item->setText(replay_text::timing_text(replay_text::timing_value(combo->currentText())));
            break;
        default:
            item->setText(combo->currentText());
            break;
        }
    }

private:
    QComboBox *new_combo(QWidget *parent) const
    {
        auto *combo = new QComboBox(parent);
        // A chosen entry ends the edit at once.
        connect(combo, QOverload<int>::of(&QComboBox::activated), m_table, &CanReplayTable::end_edit);
        return combo;
    }

    CanReplayTable *m_table;
};

CanReplayTable::CanReplayTable(QWidget *parent) : QTableWidget(0, column_count, parent)
{
    setObjectName(QStringLiteral("can_table"));
    setItemDelegate(new ReplayItemDelegate(this));
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::SelectedClicked |
                    QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setContextMenuPolicy(Qt::CustomContextMenu);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    horizontalHeader()->setMinimumSectionSize(5);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 10);
    // Every edit that reaches an item, through an editor or a program, counts
    // as a change of the cell only when it came from an editor.
    connect(itemDelegate(), &QAbstractItemDelegate::closeEditor, this, [this] { m_editor = nullptr; });
    connect(model(), &QAbstractItemModel::dataChanged, this, [this](const QModelIndex &index) {
        if (m_editor)
            emit value_changed(index.row(), index.column());
    });
}

void CanReplayTable::end_edit()
{
    if (QWidget *editor = m_editor) {
        QAbstractItemDelegate *delegate = itemDelegate();
        emit delegate->commitData(editor);
        emit delegate->closeEditor(editor, QAbstractItemDelegate::NoHint);
    }
}

bool CanReplayTable::row_selected(int row) const
{
    return selectionModel() && selectionModel()->rowIntersectsSelection(row, QModelIndex());
}

QList<int> CanReplayTable::selected_rows() const
{
    QList<int> rows;
    for (int row = 0; row < rowCount(); ++row)
        if (row_selected(row))
            rows << row;
    return rows;
}
