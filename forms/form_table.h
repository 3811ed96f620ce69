#pragma once
// Tables of the forms: columns are appended one at a time with their titles,
// and languageChange() relabels them by index.
#include <QString>
#include <QTableWidget>

namespace form {

inline void append_table_column(QTableWidget *table, const QString &title)
{
    const int column = table->columnCount();
    table->setColumnCount(column + 1);
    table->setHorizontalHeaderItem(column, new QTableWidgetItem(title));
}

inline void set_column_title(QTableWidget *table, int column, const QString &title)
{
    if (QTableWidgetItem *item = table->horizontalHeaderItem(column))
        item->setText(title);
    else
        table->setHorizontalHeaderItem(column, new QTableWidgetItem(title));
}

} // namespace form
