#include "forms/window_trigger_cond_list_base.h"

#include "core/widgets/form_support.h"
#include "forms/form_table.h"

#include <QPushButton>

WindowTriggerCondListBase::WindowTriggerCondListBase(QWidget *parent, const char *name, Qt::WindowFlags flags) : QWidget(parent, flags)
{
    form::set_object_name(this, name, "WindowTriggerCondListBase");
    WindowTriggerCondListBaseLayout = form::top_layout<QHBoxLayout>(this, "WindowTriggerCondListBaseLayout");

    table_cond_list = form::named<QTableWidget>(this, "table_cond_list");
    form::append_table_column(table_cond_list, QString());
    form::append_table_column(table_cond_list, QString());
    form::append_table_column(table_cond_list, QString());
    form::append_table_column(table_cond_list, QString());
    QSizePolicy policy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    policy.setHeightForWidth(table_cond_list->sizePolicy().hasHeightForWidth());
    table_cond_list->setSizePolicy(policy);
    table_cond_list->setRowCount(0);
    table_cond_list->setColumnCount(4);
    WindowTriggerCondListBaseLayout->addWidget(table_cond_list);

    Layout12 = form::nested_layout<QVBoxLayout>("Layout12");
    pb_new = form::named<QPushButton>(this, "pb_new");
    Layout12->addWidget(pb_new);
    pb_delete = form::named<QPushButton>(this, "pb_delete");
    pb_delete->setAutoDefault(true);
    Layout12->addWidget(pb_delete);
    spacer = form::vertical_spacer();
    Layout12->addItem(spacer);
    WindowTriggerCondListBaseLayout->addLayout(Layout12);

    languageChange();
    form::resize(this, QSize(662, 347));
}

void WindowTriggerCondListBase::languageChange()
{
    setWindowTitle(tr("Form2"));
    form::set_column_title(table_cond_list, 0, tr("Condition Type"));
    form::set_column_title(table_cond_list, 1, tr("Condition Setup"));
    form::set_column_title(table_cond_list, 2, tr("Action"));
    form::set_column_title(table_cond_list, 3, tr("Trigger Name"));
    pb_new->setText(tr("&New Condition"));
    pb_delete->setText(tr("&Delete Condition"));
}
