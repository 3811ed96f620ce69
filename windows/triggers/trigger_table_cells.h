#pragma once
// The cells of the trigger tables: the name editor that takes letters,
// digits and "_" only, and the combo boxes of the kind, action and trigger
// cells.
#include <QComboBox>
#include <QStyledItemDelegate>

class VyrTrigger;
class VyrTriggerList;

// Opens a line edit named "name" that refuses any other character.
class TriggerNameDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
};

// A combo box of a table cell with its object name and items.
QComboBox *make_cell_combo(const char *name, const QStringList &items);
// The names of the triggers not marked deleted, in list order.
QStringList trigger_names(VyrTriggerList *triggers);
// Fills a trigger cell with those triggers (each item's data is its trigger)
// and chooses the trigger, none when it is not among them.
void fill_trigger_combo(QComboBox *combo, VyrTriggerList *triggers, VyrTrigger *chosen);
// The trigger chosen in a trigger cell, or null.
VyrTrigger *chosen_trigger(const QComboBox *combo);
