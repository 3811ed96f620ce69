#include "windows/triggers/vyr_window_trigger_cond_signal.h"

#include "core/vyr_trigger_cond_signal.h"
#include "settings/text_util.h"
#include "windows/triggers/trigger_table_cells.h"

#include <QDoubleValidator>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTableWidget>

#include <set>

namespace {

TriggerSignalDialogHook &signal_dialog_hook()
{
    static TriggerSignalDialogHook hook;
    return hook;
}

// The value cell takes a number in the "C" notation only.
class ValueDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &, const QModelIndex &) const override
    {
        auto *editor = new QLineEdit(parent);
        editor->setObjectName(QStringLiteral("value"));
        auto *validator = new QDoubleValidator(editor);
        validator->setLocale(QLocale::c());
        validator->setNotation(QDoubleValidator::ScientificNotation);
        editor->setValidator(validator);
        return editor;
    }
};

const QString joiner = QStringLiteral("::");

} // namespace

void set_trigger_signal_dialog_hook(TriggerSignalDialogHook hook)
{
    signal_dialog_hook() = std::move(hook);
}

VyrWindowTriggerCondSignal::VyrWindowTriggerCondSignal(QWidget *parent, const char *name)
    : WindowTriggerCondSignalBase(parent, name)
{
    table_signals->setItemDelegateForColumn(ValueColumn, new ValueDelegate(table_signals));
    table_signals->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_signals->verticalHeader()->hide();
    table_signals->horizontalHeader()->setStretchLastSection(true);
    connect(pb_insert, &QPushButton::clicked, this, &VyrWindowTriggerCondSignal::open_signal_dialog);
    connect(pb_delete, &QPushButton::clicked, this, &VyrWindowTriggerCondSignal::delete_selected_signals);
}

void VyrWindowTriggerCondSignal::append_row(const QString &interface_id, const QString &signal_name, int relation,
                                            double value, bool raw)
{
    const int row = table_signals->rowCount();
    table_signals->setRowCount(row + 1);
    auto *signal = new QTableWidgetItem(interface_id + joiner + signal_name);
    signal->setFlags(signal->flags() & ~Qt::ItemIsEditable);
    table_signals->setItem(row, SignalColumn, signal);
    QStringList relations;
    for (int code = 0; code < relation_count; ++code)
        relations << trigger_relation_text(code);
    QComboBox *combo = make_cell_combo("relation", relations);
    combo->setCurrentIndex(relation);
    table_signals->setCellWidget(row, RelationColumn, combo);
    table_signals->setItem(row, ValueColumn, new QTableWidgetItem(trigger_value_text(value)));
    auto *scaling = new QTableWidgetItem(tr("Raw"));
    scaling->setFlags((scaling->flags() | Qt::ItemIsUserCheckable) & ~Qt::ItemIsEditable);
    scaling->setCheckState(raw ? Qt::Checked : Qt::Unchecked);
    table_signals->setItem(row, ScalingColumn, scaling);
}

void VyrWindowTriggerCondSignal::insert_signal(const QString &interface_id, const QString &signal_name)
{
    append_row(interface_id, signal_name, RelationEqual, 0.0, false);
}

void VyrWindowTriggerCondSignal::open_signal_dialog()
{
    if (signal_dialog_hook())
        signal_dialog_hook()(this);
}

void VyrWindowTriggerCondSignal::delete_selected_signals()
{
    std::set<int> rows;
    for (const QModelIndex &index : table_signals->selectionModel()->selectedIndexes())
        rows.insert(index.row());
    for (auto row = rows.rbegin(); row != rows.rend(); ++row)
        table_signals->removeRow(*row);
}

void VyrWindowTriggerCondSignal::set_cond_data(VyrTriggerCondData *data)
{
    if (!data || data->kind() != VyrTriggerCondDataSignal::kind_number)
        return;
    table_signals->setRowCount(0);
    for (const auto &relation : static_cast<VyrTriggerCondDataSignal *>(data)->relations)
        append_row(relation.interface_id, relation.signal_name, relation.relation, relation.value, relation.raw);
}

void VyrWindowTriggerCondSignal::get_cond_data(VyrTriggerCondData *data)
{
    if (!data || data->kind() != VyrTriggerCondDataSignal::kind_number)
        return;
    auto &relations = static_cast<VyrTriggerCondDataSignal *>(data)->relations;
    relations.clear();
    for (int row = 0; row < table_signals->rowCount(); ++row) {
        VyrTriggerCondDataSignal::Relation relation;
        const QString signal = table_signals->item(row, SignalColumn)->text();
        const int split = signal.indexOf(joiner);
        relation.interface_id = signal.left(split);
        relation.signal_name = signal.mid(split + joiner.size());
        relation.relation = static_cast<QComboBox *>(table_signals->cellWidget(row, RelationColumn))->currentIndex();
        relation.value = c_locale_atof(table_signals->item(row, ValueColumn)->text().toLatin1().constData());
        relation.raw = table_signals->item(row, ScalingColumn)->checkState() == Qt::Checked;
        relations.push_back(relation);
    }
}
