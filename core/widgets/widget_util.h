#pragma once
// Helpers for combo boxes and tables.
#include <QString>

class QComboBox;
class QTableWidget;

// Each selects the first item that matches and answers its index; -1 (and
// no change) when none matches.
// The item text read as an integer (parse_int_text) equals the value.
int select_combo_item_by_number(QComboBox *combo, int value);
int select_combo_item_by_text(QComboBox *combo, const QString &text);
int select_combo_item_by_prefix(QComboBox *combo, const QString &prefix);
int select_combo_item_by_suffix(QComboBox *combo, const QString &suffix);

// Spreads the columns over the visible width: when the table has rows every
// column is first fitted to its contents, and contents wider than the table
// stay so; otherwise each width is scaled by visible width / total header
// width (at least 20 pixels), and the last column, or one that would pass
// the right edge, takes the remaining width.
void fit_table_columns(QTableWidget *table);
