#include "windows/triggers/vyr_window_trigger_list.h"

#include "core/vyr_question.h"
#include "core/vyr_trigger.h"
#include "core/widgets/widget_util.h"
#include "windows/triggers/trigger_table_cells.h"

#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>

#include <vector>

namespace {
enum Column { NameColumn = 0, StateColumn = 1, CommentColumn = 2 };
}

VyrWindowTriggerList::VyrWindowTriggerList(VyrTriggerList *triggers, QWidget *parent, const char *name)
    : WindowTriggerListBase(parent, name), m_triggers(triggers)
{
    table_trigger_list->setItemDelegateForColumn(NameColumn, new TriggerNameDelegate(table_trigger_list));
    table_trigger_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_trigger_list->verticalHeader()->hide();
    connect(pb_new, &QPushButton::clicked, this, &VyrWindowTriggerList::create_new_trigger);
    connect(pb_delete, &QPushButton::clicked, this, &VyrWindowTriggerList::delete_selected_trigger);
    connect(table_trigger_list, &QTableWidget::itemSelectionChanged, this, &VyrWindowTriggerList::show_state);
    connect(table_trigger_list, &QTableWidget::cellChanged, this, &VyrWindowTriggerList::table_value_changed);
    build();
}

VyrTrigger *VyrWindowTriggerList::trigger_at(int row) const
{
    QTableWidgetItem *item = table_trigger_list->item(row, NameColumn);
    return item ? static_cast<VyrTrigger *>(item->data(Qt::UserRole).value<void *>()) : nullptr;
}

void VyrWindowTriggerList::append_row(VyrTrigger *trigger)
{
    const QSignalBlocker blocker(table_trigger_list);
    const int row = table_trigger_list->rowCount();
    table_trigger_list->setRowCount(row + 1);
    auto *name = new QTableWidgetItem(trigger->name());
    name->setData(Qt::UserRole, QVariant::fromValue<void *>(trigger));
    table_trigger_list->setItem(row, NameColumn, name);
    auto *state = new QTableWidgetItem(trigger->state() ? tr("Active") : tr("Reset"));
    state->setFlags(state->flags() & ~Qt::ItemIsEditable);
    table_trigger_list->setItem(row, StateColumn, state);
    table_trigger_list->setItem(row, CommentColumn, new QTableWidgetItem(trigger->comment()));
}

void VyrWindowTriggerList::build()
{
    table_trigger_list->setRowCount(0);
    if (m_triggers)
        for (VyrTrigger *trigger = m_triggers->first(); trigger; trigger = m_triggers->next())
            if (!(trigger->flags() & VyrTrigger::Deleted))
                append_row(trigger);
    show_state();
}

void VyrWindowTriggerList::show_state()
{
    pb_delete->setEnabled(!table_trigger_list->selectedItems().isEmpty());
}

void VyrWindowTriggerList::create_new_trigger()
{
    if (!m_triggers)
        return;
    for (int number = 1; number <= 999; ++number) {
        const QString name = QStringLiteral("NewTrigger_%1").arg(number);
        if (m_triggers->find(name))
            continue;
        auto *trigger = new VyrTrigger(m_triggers, name);
        trigger->set_comment(tr("New trigger object"));
        trigger->set_flags(trigger->flags() | VyrTrigger::Created);
        append_row(trigger);
        table_trigger_list->selectRow(table_trigger_list->rowCount() - 1);
        return;
    }
}

void VyrWindowTriggerList::delete_selected_trigger()
{
    const int row = table_trigger_list->currentRow();
    VyrTrigger *trigger = trigger_at(row);
    if (!trigger || (trigger->flags() & VyrTrigger::BuiltIn))
        return;
    trigger->set_flags(trigger->flags() | VyrTrigger::Deleted);
    table_trigger_list->removeRow(row);
    show_state();
}

void VyrWindowTriggerList::refuse_name(int row, const QString &message)
{
    {
        const QSignalBlocker blocker(table_trigger_list);
        table_trigger_list->item(row, NameColumn)->setText(trigger_at(row)->name());
    }
    vyr_ask_question(this, tr("Error"), message, {tr("OK")});
    QTimer::singleShot(0, this, [this, row] {
        if (QTableWidgetItem *item = table_trigger_list->item(row, NameColumn)) {
            table_trigger_list->setCurrentItem(item);
            table_trigger_list->editItem(item);
        }
    });
}

void VyrWindowTriggerList::table_value_changed(int row, int column)
{
    VyrTrigger *trigger = trigger_at(row);
    if (column != NameColumn || !trigger)
        return;
    const QString text = table_trigger_list->item(row, NameColumn)->text();
    if (text.isEmpty()) {
        refuse_name(row, tr("Trigger name must not be empty"));
        return;
    }
    for (int other = 0; other < table_trigger_list->rowCount(); ++other)
        if (other != row && table_trigger_list->item(other, NameColumn)->text() == text) {
            refuse_name(row, tr("Trigger name must be unique"));
            return;
        }
    trigger->save_name();
    trigger->set_name(text);
}

void VyrWindowTriggerList::accept()
{
    if (!m_triggers)
        return;
    for (int row = 0; row < table_trigger_list->rowCount(); ++row) {
        VyrTrigger *trigger = trigger_at(row);
        trigger->set_name(table_trigger_list->item(row, NameColumn)->text());
        trigger->set_comment(table_trigger_list->item(row, CommentColumn)->text());
    }
    std::vector<VyrTrigger *> deleted;
    for (VyrTrigger *trigger = m_triggers->first(); trigger; trigger = m_triggers->next()) {
        trigger->clear_saved_name();
        trigger->set_flags(trigger->flags() & ~VyrTrigger::Created);
        if (trigger->flags() & VyrTrigger::Deleted)
            deleted.push_back(trigger);
    }
    for (VyrTrigger *trigger : deleted)
        delete trigger;
}

void VyrWindowTriggerList::reject()
{
    if (!m_triggers)
        return;
    std::vector<VyrTrigger *> created;
    for (VyrTrigger *trigger = m_triggers->first(); trigger; trigger = m_triggers->next()) {
        if (!trigger->saved_name().isEmpty()) {
            trigger->set_name(trigger->saved_name());
            trigger->clear_saved_name();
        }
        trigger->set_flags(trigger->flags() & ~VyrTrigger::Deleted);
        if (trigger->flags() & VyrTrigger::Created)
            created.push_back(trigger);
    }
    for (VyrTrigger *trigger : created)
        delete trigger;
}

void VyrWindowTriggerList::resizeEvent(QResizeEvent *event)
{
    WindowTriggerListBase::resizeEvent(event);
    QTimer::singleShot(100, this, [this] { fit_table_columns(table_trigger_list); });
}
