#include "forms/dialog_module_list_base.h"

#include "core/widgets/form_support.h"

#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>

DialogModuleListBase::DialogModuleListBase(QWidget *parent, const char *name, bool modal, Qt::WindowFlags flags)
    : QDialog(parent, flags)
{
    setModal(modal);
    form::set_object_name(this, name, "DialogModuleListBase");
    setSizeGripEnabled(true);
    DialogModuleListBaseLayout = form::top_layout<QVBoxLayout>(this, "DialogModuleListBaseLayout");
    Layout2 = form::nested_layout<QHBoxLayout>("Layout2");

    table_module_list = form::named<QTableWidget>(this, "table_module_list");
    table_module_list->setColumnCount(4);
    table_module_list->setRowCount(0);
    Layout2->addWidget(table_module_list);

    Layout3 = form::nested_layout<QVBoxLayout>("Layout3");
    pb_close = form::named<QPushButton>(this, "pb_close");
    pb_close->setAutoDefault(true);
    pb_close->setDefault(true);
    Layout3->addWidget(pb_close);
    pb_help = form::named<QPushButton>(this, "pb_help");
    Layout3->addWidget(pb_help);
    Layout3->addItem(form::vertical_spacer());
    pb_configure = form::named<QPushButton>(this, "pb_configure");
    Layout3->addWidget(pb_configure);
    pb_new = form::named<QPushButton>(this, "pb_new");
    Layout3->addWidget(pb_new);
    pb_delete = form::named<QPushButton>(this, "pb_delete");
    pb_delete->setAutoDefault(true);
    Layout3->addWidget(pb_delete);
    Layout2->addLayout(Layout3);
    DialogModuleListBaseLayout->addLayout(Layout2);

    TextLabel1 = form::named<QLabel>(this, "TextLabel1");
    TextLabel1->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Minimum);
    TextLabel1->setTextFormat(Qt::RichText);
    TextLabel1->setWordWrap(true);
    DialogModuleListBaseLayout->addWidget(TextLabel1);

    languageChange();
    form::resize(this, QSize(659, 291));

    connect(pb_close, &QPushButton::clicked, this, &QDialog::accept);
}

void DialogModuleListBase::languageChange()
{
    setWindowTitle(tr("Interface List"));
    const QStringList headers{tr("Type"), tr("Instance"), tr("Name"), tr("Info")};
    for (int column = 0; column < headers.size(); ++column)
        table_module_list->setHorizontalHeaderItem(column, new QTableWidgetItem(headers.at(column)));
    pb_close->setText(tr("&Close"));
    pb_help->setText(tr("&Help"));
    pb_configure->setText(tr("C&onfigure Interface"));
    pb_new->setText(tr("&New Interface"));
    pb_delete->setText(tr("&Delete Interface"));
    TextLabel1->setText(tr("<p>This list displays all configured interfaces in the current setup. Deleting an "
                           "interface causes all its signals in the data windows to disappear. To change the name of "
                           "a interface, select the name of the interface and enter the new name.</p>"));
}
