#include "windows/triggers/trigger_table_cells.h"

#include "core/vyr_trigger.h"

#include <QLineEdit>
#include <QRegularExpressionValidator>

QWidget *TriggerNameDelegate::createEditor(QWidget *parent, const QStyleOptionViewItem &, const QModelIndex &) const
{
    auto *editor = new QLineEdit(parent);
    editor->setObjectName(QStringLiteral("name"));
    editor->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("^[0-9a-zA-Z_]*$")), editor));
    return editor;
}

QComboBox *make_cell_combo(const char *name, const QStringList &items)
{
    auto *combo = new QComboBox();
    combo->setObjectName(QString::fromLatin1(name));
    combo->addItems(items);
    return combo;
}

QStringList trigger_names(VyrTriggerList *triggers)
{
    QStringList names;
    if (triggers)
        for (VyrTrigger *trigger = triggers->first(); trigger; trigger = triggers->next())
            if (!(trigger->flags() & VyrTrigger::Deleted))
                names << trigger->name();
    return names;
}

void fill_trigger_combo(QComboBox *combo, VyrTriggerList *triggers, VyrTrigger *chosen)
{
    combo->clear();
    if (triggers)
        for (VyrTrigger *trigger = triggers->first(); trigger; trigger = triggers->next())
            if (!(trigger->flags() & VyrTrigger::Deleted))
                combo->addItem(trigger->name(), QVariant::fromValue<void *>(trigger));
    combo->setCurrentIndex(chosen ? combo->findData(QVariant::fromValue<void *>(chosen)) : -1);
}

VyrTrigger *chosen_trigger(const QComboBox *combo)
{
    return static_cast<VyrTrigger *>(combo->currentData().value<void *>());
}
