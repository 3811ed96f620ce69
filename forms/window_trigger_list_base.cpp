#include "forms/window_trigger_list_base.h"

#include "core/widgets/form_support.h"
#include "forms/form_table.h"

#include <QPushButton>

WindowTriggerListBase::WindowTriggerListBase(QWidget *parent, const char *name, Qt::WindowFlags flags) : QWidget(parent, flags)
{
    form::set_object_name(this, name, "WindowTriggerListBase");
    WindowTriggerListBaseLayout = form::top_layout<QHBoxLayout>(this, "WindowTriggerListBaseLayout");

    table_trigger_list = form::named<QTableWidget>(this, "table_trigger_list");
    form::append_table_column(table_trigger_list, QString());
    form::append_table_column(table_trigger_list, QString());
    form::append_table_column(table_trigger_list, QString());
    QSizePolicy policy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    policy.setHeightForWidth(table_trigger_list->sizePolicy().hasHeightForWidth());
    table_trigger_list->setSizePolicy(policy);
    table_trigger_list->setRowCount(0);
    table_trigger_list->setColumnCount(3);
    WindowTriggerListBaseLayout->addWidget(table_trigger_list);

    Layout6 = form::nested_layout<QVBoxLayout>("Layout6");
    pb_new = form::named<QPushButton>(this, "pb_new");
    Layout6->addWidget(pb_new);
    pb_delete = form::named<QPushButton>(this, "pb_delete");
    pb_delete->setAutoDefault(true);
    Layout6->addWidget(pb_delete);
    spacer = form::vertical_spacer();
    Layout6->addItem(spacer);
    WindowTriggerListBaseLayout->addLayout(Layout6);

    languageChange();
    form::resize(this, QSize(619, 294));
}

void WindowTriggerListBase::languageChange()
{
    setWindowTitle(tr("Form1"));
    form::set_column_title(table_trigger_list, 0, tr("Name"));
    form::set_column_title(table_trigger_list, 1, tr("State"));
    form::set_column_title(table_trigger_list, 2, tr("Remarks"));
    pb_new->setText(tr("&New Trigger"));
    pb_delete->setText(tr("&Delete Trigger"));
}
