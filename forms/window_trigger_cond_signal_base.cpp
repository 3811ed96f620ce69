#include "forms/window_trigger_cond_signal_base.h"

#include "core/widgets/form_support.h"
#include "forms/form_table.h"

#include <QPushButton>

WindowTriggerCondSignalBase::WindowTriggerCondSignalBase(QWidget *parent, const char *name, Qt::WindowFlags flags)
    : QWidget(parent, flags)
{
    form::set_object_name(this, name, "WindowTriggerCondSignalBase");
    WindowTriggerCondSignalBaseLayout = form::top_layout<QHBoxLayout>(this, "WindowTriggerCondSignalBaseLayout", 0);

    table_signals = form::named<QTableWidget>(this, "table_signals");
    for (int column = 0; column < 4; ++column)
        form::append_table_column(table_signals, QString());
    table_signals->setRowCount(0);
    table_signals->setColumnCount(4);
    WindowTriggerCondSignalBaseLayout->addWidget(table_signals);

    Layout2 = form::nested_layout<QVBoxLayout>("Layout2");
    pb_insert = form::named<QPushButton>(this, "pb_insert");
    Layout2->addWidget(pb_insert);
    pb_delete = form::named<QPushButton>(this, "pb_delete");
    Layout2->addWidget(pb_delete);
    spacer = form::vertical_spacer();
    Layout2->addItem(spacer);
    WindowTriggerCondSignalBaseLayout->addLayout(Layout2);

    languageChange();
    form::resize(this, QSize(582, 192));
}

void WindowTriggerCondSignalBase::languageChange()
{
    setWindowTitle(tr("SignalAndRelationList"));
    form::set_column_title(table_signals, 0, tr("Signal"));
    form::set_column_title(table_signals, 1, tr("Relation"));
    form::set_column_title(table_signals, 2, tr("Value"));
    form::set_column_title(table_signals, 3, tr("Scaling"));
    pb_insert->setText(tr("Insert Signals"));
    pb_delete->setText(tr("Delete Signals"));
}
