#include "core/widgets/widget_util.h"

#include <QComboBox>
#include <QHeaderView>
#include <QTableWidget>
#include <algorithm>
#include <functional>

#include "settings/text_util.h"

namespace {

int select_first(QComboBox *combo, const std::function<bool(const QString &)> &matches)
{
    if (!combo)
        return -1;
    for (int i = 0; i < combo->count(); ++i) {
        if (matches(combo->itemText(i))) {
            combo->setCurrentIndex(i);
            return i;
        }
    }
    return -1;
}

constexpr int minimum_column_width = 20;

} // namespace

int select_combo_item_by_number(QComboBox *combo, int value)
{
    return select_first(combo, [value](const QString &text) {
        bool ok = false;
        const int number = parse_int_text(text.toLatin1().constData(), &ok);
        return ok && number == value;
    });
}

int select_combo_item_by_text(QComboBox *combo, const QString &text)
{
    return select_first(combo, [&text](const QString &item) { return item == text; });
}

int select_combo_item_by_prefix(QComboBox *combo, const QString &prefix)
{
    return select_first(combo, [&prefix](const QString &item) { return item.startsWith(prefix); });
}

int select_combo_item_by_suffix(QComboBox *combo, const QString &suffix)
{
    return select_first(combo, [&suffix](const QString &item) { return item.endsWith(suffix); });
}

void fit_table_columns(QTableWidget *table)
{
    if (!table || table->columnCount() == 0)
        return;
    if (table->rowCount() > 0)
        table->resizeColumnsToContents();

    QHeaderView *header = table->horizontalHeader();
    const int visible = table->viewport()->width();
    const int total = header->length();
    if (total <= 0)
        return;
    // Contents wider than the table keep their widths (the table scrolls):
    // narrowed, the columns would cut their texts.
    if (table->rowCount() > 0 && total > visible)
        return;

    int last = table->columnCount() - 1;
    while (last > 0 && header->isSectionHidden(last))
        --last;
    int x = 0;
    for (int column = 0; column <= last; ++column) {
        if (header->isSectionHidden(column))
            continue;
        int width = std::max(minimum_column_width, int(qint64(header->sectionSize(column)) * visible / total));
        if (column == last || x + width > visible)
            width = std::max(minimum_column_width, visible - x);
        header->resizeSection(column, width);
        x += width;
    }
}
