#include "interfaces/widgets/vyr_dialog_module_list.h"

#include "core/vyr_signal_if.h"
#include "core/vyr_signal_if_notification.h"
#include "core/vyr_signal_if_type.h"
#include "forms/vyr_help_request.h"

#include <QCursor>
#include <QHeaderView>
#include <QMenu>
#include <QPushButton>
#include <QShortcut>
#include <QTableWidget>

namespace {

constexpr int column_type = 0;
constexpr int column_instance = 1;
constexpr int column_name = 2;
constexpr int column_info = 3;

QTableWidgetItem *fixed_item(const QString &text)
{
    auto *item = new QTableWidgetItem(text);
    item->setFlags(item->flags() & ~Qt::ItemIsEditable);
    return item;
}

} // namespace

VyrDialogModuleList::VyrDialogModuleList(QWidget *parent, const char *name, bool modal, Qt::WindowFlags flags)
    : DialogModuleListBase(parent, name, modal, flags)
{
    setWindowIcon(parent ? parent->windowIcon() : QIcon());
    setWindowIconText(tr("Interface List"));
    table_module_list->setSelectionMode(QAbstractItemView::SingleSelection);
    table_module_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_module_list->verticalHeader()->hide();
    // A double click configures, except on the name, which a typed key or a
    // double click edits.
    table_module_list->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::AnyKeyPressed |
                                       QAbstractItemView::EditKeyPressed);

    connect(table_module_list, &QTableWidget::itemSelectionChanged, this, &VyrDialogModuleList::show_state);
    connect(table_module_list, &QTableWidget::cellChanged, this, &VyrDialogModuleList::table_value_changed);
    connect(table_module_list, &QTableWidget::cellDoubleClicked, this,
            &VyrDialogModuleList::configure_selected_module_by_double_click);
    connect(pb_delete, &QPushButton::clicked, this, &VyrDialogModuleList::delete_selected_module);
    connect(pb_configure, &QPushButton::clicked, this, &VyrDialogModuleList::configure_selected_module);
    connect(pb_new, &QPushButton::clicked, this, &VyrDialogModuleList::create_new_module);
    connect(pb_help, &QPushButton::clicked, this, &VyrDialogModuleList::context_help);
    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, pb_close, &QPushButton::click);
    connect_help_to_main_widget(this);
    build();
    show_state();
}

void VyrDialogModuleList::build()
{
    m_building = true;
    int row = 0;
    for (const VyrSignalIfType *type = get_first_signal_if_type(); type; type = type->next()) {
        const QString info = type->display_name() ? QString::fromUtf8(type->display_name()) : QString();
        for (VyrSignalIf *signal_if = get_first_signal_if(); signal_if; signal_if = signal_if->next()) {
            if (signal_if->type_name() != type->type_name())
                continue;
            if (table_module_list->rowCount() < row + 1)
                table_module_list->setRowCount(row + 1);
            table_module_list->setItem(row, column_type, fixed_item(QString::fromStdString(type->type_name())));
            table_module_list->setItem(row, column_instance, fixed_item(QString::fromStdString(signal_if->make_id())));
            table_module_list->setItem(row, column_name,
                                       new QTableWidgetItem(QString::fromStdString(signal_if->name())));
            table_module_list->setItem(row, column_info, fixed_item(info));
            ++row;
        }
    }
    QHeaderView *header = table_module_list->horizontalHeader();
    header->setSectionResizeMode(column_name, QHeaderView::Stretch);
    header->setSectionResizeMode(column_info, QHeaderView::Stretch);
    table_module_list->setShowGrid(true);
    m_building = false;
}

int VyrDialogModuleList::selected_row() const
{
    int first = -1;
    for (const QTableWidgetSelectionRange &range : table_module_list->selectedRanges())
        if (first < 0 || range.topRow() < first)
            first = range.topRow();
    return first;
}

void VyrDialogModuleList::show_state()
{
    const bool may_change = selected_row() >= 0 && !measurement_running();
    pb_delete->setEnabled(may_change);
    pb_configure->setEnabled(may_change);
}

VyrSignalIf *VyrDialogModuleList::interface_of_row(int row) const
{
    const QTableWidgetItem *item = table_module_list->item(row, column_instance);
    if (!item)
        return nullptr;
    return find_signal_if_by_id(item->text().toStdString().c_str());
}

void VyrDialogModuleList::table_value_changed(int row, int column)
{
    if (m_building || column != column_name)
        return;
    const QTableWidgetItem *name = table_module_list->item(row, column_name);
    if (VyrSignalIf *signal_if = name ? interface_of_row(row) : nullptr)
        signal_if->set_name(name->text().toStdString());
}

void VyrDialogModuleList::configure_row(int row)
{
    if (measurement_running())
        return;
    VyrSignalIf *signal_if = interface_of_row(row);
    if (signal_if && signal_if->configure(this))
        emit configuration_changed();
}

void VyrDialogModuleList::configure_selected_module_by_double_click(int row, int column)
{
    if (column != column_name)
        configure_row(row);
}

void VyrDialogModuleList::configure_selected_module()
{
    const int row = selected_row();
    if (row < 0)
        return;
    table_module_list->setCurrentCell(row, column_type);
    configure_row(row);
}

void VyrDialogModuleList::delete_selected_module()
{
    const int row = selected_row();
    if (row < 0 || measurement_running())
        return;
    table_module_list->setCurrentCell(row, column_type);
    VyrSignalIf *signal_if = interface_of_row(row);
    const QString id = table_module_list->item(row, column_instance)->text();
    table_module_list->removeRow(row);
    if (signal_if) {
        unlink_signal_if(signal_if);
        if (VyrSignalIfNotification *notification = signal_if->notification())
            emit notification->interface_removed(id);
        delete signal_if;
        emit configuration_changed();
    }
    build();
    show_state();
}

QMenu *VyrDialogModuleList::create_menu()
{
    if (!m_create_menu) {
        m_create_menu = new QMenu(this);
        m_create_menu->setObjectName(QStringLiteral("menu_create_interface"));
        connect(m_create_menu, &QMenu::triggered, this,
                [this](QAction *action) { emit show_config_dialog(action->data().toInt()); });
    } else {
        m_create_menu->clear();
    }
    int index = 0;
    for (const VyrSignalIfType *type = get_first_signal_if_type(); type; type = type->next(), ++index) {
        // A type without a menu entry still takes its id.
        if (!type->in_menu())
            continue;
        QAction *action =
            m_create_menu->addAction(tr("Create new %1 Interface").arg(QString::fromStdString(type->type_name())));
        action->setData(create_id_base + index);
        action->setEnabled(type->enabled());
    }
    return m_create_menu;
}

void VyrDialogModuleList::create_new_module()
{
    create_menu()->exec(QCursor::pos());
    build();
    show_state();
}

void VyrDialogModuleList::context_help()
{
    emit activate_help_context(QStringLiteral("InterfaceList"));
}

void VyrDialogModuleList::accept()
{
    // Moving the current cell commits a name being typed.
    if (table_module_list->rowCount() > 0)
        table_module_list->setCurrentCell(0, 0);
    DialogModuleListBase::accept();
}
