#include "windows/triggers/vyr_window_trigger_cond_list.h"

#include "core/vyr_trigger.h"
#include "core/vyr_trigger_cond.h"
#include "core/widgets/widget_util.h"
#include "windows/triggers/trigger_table_cells.h"
#include "windows/triggers/vyr_dialog_trigger_cond_settings.h"

#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>

namespace {
enum Column { KindColumn = 0, DescriptionColumn = 1, ActionColumn = 2, TriggerColumn = 3 };

QStringList kind_titles()
{
    QStringList titles;
    for (int index = 0; index < VyrTriggerCondKind::count(); ++index)
        titles << VyrTriggerCondKind::kind_at(index)->title();
    return titles;
}

int kind_index(int kind)
{
    for (int index = 0; index < VyrTriggerCondKind::count(); ++index)
        if (VyrTriggerCondKind::kind_at(index)->kind() == kind)
            return index;
    return -1;
}

QStringList action_names()
{
    QStringList names;
    for (int action = VyrTriggerCond::SetTrigger; action <= VyrTriggerCond::PulseTrigger; ++action)
        names << VyrTriggerCond::action_name(action);
    return names;
}
} // namespace

VyrWindowTriggerCondList::VyrWindowTriggerCondList(VyrTriggerList *triggers, VyrTriggerCondList *conditions,
                                                   QWidget *parent, const char *name)
    : WindowTriggerCondListBase(parent, name), m_triggers(triggers), m_conditions(conditions)
{
    table_cond_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_cond_list->verticalHeader()->hide();
    connect(pb_new, &QPushButton::clicked, this, &VyrWindowTriggerCondList::create_new_trigger_cond);
    connect(pb_delete, &QPushButton::clicked, this, &VyrWindowTriggerCondList::delete_selected_trigger_cond);
    connect(table_cond_list, &QTableWidget::itemSelectionChanged, this, &VyrWindowTriggerCondList::show_state);
    connect(table_cond_list, &QTableWidget::cellDoubleClicked, this, [this](int row, int column) {
        on_double_click(row, column, Qt::LeftButton, QPoint());
    });
    build();
}

VyrWindowTriggerCondList::~VyrWindowTriggerCondList() = default;

VyrTriggerCond *VyrWindowTriggerCondList::condition_at(int row) const
{
    return row >= 0 && row < int(m_rows.size()) ? m_rows[size_t(row)].condition : nullptr;
}

VyrTriggerCondData *VyrWindowTriggerCondList::pending_data(int row) const
{
    return row >= 0 && row < int(m_rows.size()) ? m_rows[size_t(row)].data.get() : nullptr;
}

QComboBox *VyrWindowTriggerCondList::cell_combo(int row, int column) const
{
    return qobject_cast<QComboBox *>(table_cond_list->cellWidget(row, column));
}

void VyrWindowTriggerCondList::append_row(VyrTriggerCond *condition, const QString &description)
{
    Row entry{condition, nullptr};
    if (VyrTriggerCondData *data = condition->cond_data()) {
        if (const VyrTriggerCondKind *kind = VyrTriggerCondKind::find(data->kind())) {
            entry.data = kind->create();
            entry.data->assign(*data);
        }
    }
    const int row = table_cond_list->rowCount();
    table_cond_list->setRowCount(row + 1);

    QComboBox *kind_combo = make_cell_combo("type", kind_titles());
    kind_combo->setCurrentIndex(entry.data ? kind_index(entry.data->kind()) : -1);
    connect(kind_combo, QOverload<int>::of(&QComboBox::activated), this,
            [this, kind_combo](int index) { kind_chosen(kind_combo, index); });
    table_cond_list->setCellWidget(row, KindColumn, kind_combo);

    auto *text = new QTableWidgetItem(entry.data ? entry.data->description() : description);
    text->setFlags(text->flags() & ~Qt::ItemIsEditable);
    table_cond_list->setItem(row, DescriptionColumn, text);

    QComboBox *action_combo = make_cell_combo("type", action_names());
    action_combo->setCurrentIndex(condition->action() - VyrTriggerCond::SetTrigger);
    table_cond_list->setCellWidget(row, ActionColumn, action_combo);

    QComboBox *trigger_combo = make_cell_combo("name", {});
    fill_trigger_combo(trigger_combo, m_triggers, condition->target());
    table_cond_list->setCellWidget(row, TriggerColumn, trigger_combo);
    m_rows.push_back(std::move(entry));
}

void VyrWindowTriggerCondList::build()
{
    table_cond_list->setRowCount(0);
    m_rows.clear();
    if (m_conditions)
        for (VyrTriggerCond *condition = m_conditions->first(); condition; condition = m_conditions->next())
            if (!(condition->flags() & VyrTriggerCond::Deleted))
                append_row(condition, QString());
    show_state();
}

void VyrWindowTriggerCondList::update_trigger_names()
{
    for (int row = 0; row < table_cond_list->rowCount(); ++row) {
        QComboBox *combo = cell_combo(row, TriggerColumn);
        fill_trigger_combo(combo, m_triggers, chosen_trigger(combo));
    }
}

void VyrWindowTriggerCondList::show_state()
{
    pb_delete->setEnabled(!table_cond_list->selectionModel()->selectedRows().isEmpty());
}

void VyrWindowTriggerCondList::create_new_trigger_cond()
{
    if (!m_conditions)
        return;
    auto *condition = new VyrTriggerCond(m_conditions);
    condition->set_flags(condition->flags() | VyrTriggerCond::Created);
    append_row(condition, tr("--- New Trigger Condition ---"));
    table_cond_list->selectRow(table_cond_list->rowCount() - 1);
}

void VyrWindowTriggerCondList::delete_selected_trigger_cond()
{
    const int row = table_cond_list->currentRow();
    VyrTriggerCond *condition = condition_at(row);
    if (!condition || (condition->flags() & VyrTriggerCond::BuiltIn))
        return;
    condition->set_flags(condition->flags() | VyrTriggerCond::Deleted);
    m_rows.erase(m_rows.begin() + row);
    table_cond_list->removeRow(row);
    show_state();
}

void VyrWindowTriggerCondList::kind_chosen(QComboBox *combo, int index)
{
    for (int row = 0; row < table_cond_list->rowCount(); ++row) {
        if (cell_combo(row, KindColumn) != combo)
            continue;
        const VyrTriggerCondKind *kind = VyrTriggerCondKind::kind_at(index);
        Row &entry = m_rows[size_t(row)];
        if (kind && (!entry.data || entry.data->kind() != kind->kind()))
            entry.data = kind->create();
        table_value_changed(row, KindColumn);
        return;
    }
}

void VyrWindowTriggerCondList::table_value_changed(int row, int column)
{
    if (column != KindColumn || !condition_at(row))
        return;
    VyrTriggerCondData *data = pending_data(row);
    table_cond_list->item(row, DescriptionColumn)->setText(data ? data->description() : QString());
}

void VyrWindowTriggerCondList::on_double_click(int row, int column, int, const QPoint &)
{
    VyrTriggerCondData *data = pending_data(row);
    if (column != DescriptionColumn || !data)
        return;
    edit_cond_data(this, data);
    table_cond_list->item(row, DescriptionColumn)->setText(data->description());
}

void VyrWindowTriggerCondList::accept()
{
    if (!m_conditions)
        return;
    for (int row = 0; row < int(m_rows.size()); ++row) {
        Row &entry = m_rows[size_t(row)];
        entry.condition->set_cond_data(std::move(entry.data));
        entry.condition->set_action(cell_combo(row, ActionColumn)->currentIndex() + VyrTriggerCond::SetTrigger);
        entry.condition->set_target(chosen_trigger(cell_combo(row, TriggerColumn)));
    }
    m_rows.clear();
    std::vector<VyrTriggerCond *> deleted;
    for (VyrTriggerCond *condition = m_conditions->first(); condition; condition = m_conditions->next()) {
        condition->set_flags(condition->flags() & ~VyrTriggerCond::Created);
        if (condition->flags() & VyrTriggerCond::Deleted)
            deleted.push_back(condition);
    }
    for (VyrTriggerCond *condition : deleted)
        delete condition;
}

void VyrWindowTriggerCondList::reject()
{
    m_rows.clear();
    if (!m_conditions)
        return;
    std::vector<VyrTriggerCond *> created;
    for (VyrTriggerCond *condition = m_conditions->first(); condition; condition = m_conditions->next()) {
        condition->set_flags(condition->flags() & ~VyrTriggerCond::Deleted);
        if (condition->flags() & VyrTriggerCond::Created)
            created.push_back(condition);
    }
    for (VyrTriggerCond *condition : created)
        delete condition;
}

void VyrWindowTriggerCondList::resizeEvent(QResizeEvent *event)
{
    WindowTriggerCondListBase::resizeEvent(event);
    QTimer::singleShot(100, this, [this] { fit_table_columns(table_cond_list); });
}
