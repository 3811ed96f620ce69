#include "widgets/propertytable/qpropertytable.h"

#include "settings/debug_trace.h"
#include "widgets/propertytable/vyr_property.h"

#include <QComboBox>
#include <QDoubleValidator>
#include <QHeaderView>
#include <QIntValidator>
#include <QKeyEvent>
#include <QLineEdit>
#include <QStyledItemDelegate>

namespace {

enum Column { NameColumn = 0, ValueColumn = 1, UnitColumn = 2 };

// What a value cell holds besides its text.
enum CellRole {
    EditorKindRole = Qt::UserRole, // EditorKind
    ChoiceTextsRole,               // QStringList offered by a combo box
    ShownTextRole,                 // the text the cell was filled with
};

enum EditorKind { ComboEditor, IntEditor, DoubleEditor, TextEditor };

const QString on_text = QStringLiteral("On");
const QString off_text = QStringLiteral("Off");

QString choice_text(const VyrProperty &property)
{
    for (const VyrProperty::Choice &choice : property.choices())
        if (choice.value == property.int_value())
            return choice.text;
    return QString();
}

// The value item of a row: its text, and the editor its type is edited with.
QTableWidgetItem *value_item(const VyrProperty &property)
{
    QString text;
    EditorKind kind = TextEditor;
    QStringList choice_texts;
    switch (property.type()) {
    case VyrProperty::Int:
        if (property.is_choice()) {
            text = choice_text(property);
            kind = ComboEditor;
            for (const VyrProperty::Choice &choice : property.choices())
                choice_texts << choice.text;
        } else {
            text = QString::number(property.int_value());
            kind = IntEditor;
        }
        break;
    case VyrProperty::Bool:
        text = property.bool_value() ? on_text : off_text;
        kind = ComboEditor;
        choice_texts << on_text << off_text;
        break;
    case VyrProperty::Double:
        text = QString::number(property.double_value(), 'g', 6);
        kind = DoubleEditor;
        break;
    case VyrProperty::String:
    case VyrProperty::NoType:
        text = property.string_value();
        break;
    }
    auto *item = new QTableWidgetItem(text);
    item->setData(EditorKindRole, kind);
    item->setData(ChoiceTextsRole, choice_texts);
    item->setData(ShownTextRole, text);
    return item;
}

QTableWidgetItem *read_only_item(const QString &text)
{
    auto *item = new QTableWidgetItem(text);
    item->setFlags(item->flags() & ~Qt::ItemIsEditable);
    return item;
}

// Stores the cell text into the property by its type; true when the value changed.
bool store_text(VyrProperty &property, const QString &text)
{
    switch (property.type()) {
    case VyrProperty::Int: {
        int32_t value = 0;
        bool ok = false;
        if (property.is_choice()) {
            for (const VyrProperty::Choice &choice : property.choices())
                if (choice.text == text) {
                    value = choice.value;
                    ok = true;
                    break;
                }
        } else {
            value = text.toInt(&ok, 10);
        }
        // Text that names no choice or is no number (an emptied cell) changes nothing.
        if (!ok || value == property.int_value())
            return false;
        property.set_int_value(value);
        return true;
    }
    case VyrProperty::Bool: {
        const bool value = text == on_text;
        if (value == property.bool_value())
            return false;
        property.set_bool_value(value);
        return true;
    }
    case VyrProperty::Double: {
        bool ok = false;
        const double value = text.toDouble(&ok);
        if (!ok || value == property.double_value())
            return false;
        property.set_double_value(value);
        return true;
    }
    case VyrProperty::String:
        if (text == property.string_value())
            return false;
        property.set_string_value(text);
        return true;
    case VyrProperty::NoType:
        break;
    }
    return false;
}

// Creates the editor of a value cell by the kind stored in it.
class PropertyValueDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &, const QModelIndex &index) const override
    {
        const auto kind = EditorKind(index.data(EditorKindRole).toInt());
        if (kind == ComboEditor) {
            auto *combo = new QComboBox(parent);
            combo->setObjectName(QStringLiteral("value_combo"));
            combo->addItems(index.data(ChoiceTextsRole).toStringList());
            // Choosing an entry ends the edit.
            connect(combo, QOverload<int>::of(&QComboBox::activated), combo, [this, combo] {
                auto *self = const_cast<PropertyValueDelegate *>(this);
                emit self->commitData(combo);
                emit self->closeEditor(combo);
            });
            return combo;
        }
        auto *line_edit = new QLineEdit(parent);
        line_edit->setObjectName(QStringLiteral("value_edit"));
        line_edit->setFrame(false);
        if (kind == IntEditor) {
            line_edit->setValidator(new QIntValidator(line_edit));
        } else if (kind == DoubleEditor) {
            // The same notation that the read-back conversion takes.
            auto *validator = new QDoubleValidator(line_edit);
            validator->setLocale(QLocale::c());
            line_edit->setValidator(validator);
        }
        return line_edit;
    }

    void setEditorData(QWidget *editor, const QModelIndex &index) const override
    {
        const QString text = index.data(Qt::DisplayRole).toString();
        if (auto *combo = qobject_cast<QComboBox *>(editor))
            combo->setCurrentIndex(combo->findText(text));
        else if (auto *line_edit = qobject_cast<QLineEdit *>(editor))
            line_edit->setText(text);
    }

    void setModelData(QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const override
    {
        if (auto *combo = qobject_cast<QComboBox *>(editor))
            model->setData(index, combo->currentText(), Qt::DisplayRole);
        else if (auto *line_edit = qobject_cast<QLineEdit *>(editor))
            model->setData(index, line_edit->text(), Qt::DisplayRole);
    }
};

} // namespace

QPropertyTable::QPropertyTable(QWidget *parent, const char *name)
    : QTableWidget(0, 3, parent)
{
    if (name)
        setObjectName(QString::fromUtf8(name));
    setHorizontalHeaderLabels({tr("Name"), tr("Value"), tr("Unit")});
    setSelectionMode(QAbstractItemView::NoSelection);
    QHeaderView *header = horizontalHeader();
    header->setSectionsMovable(false);
    header->setSectionResizeMode(QHeaderView::Fixed);
    header->setSectionResizeMode(ValueColumn, QHeaderView::Stretch);
    verticalHeader()->hide();
    setItemDelegateForColumn(ValueColumn, new PropertyValueDelegate(this));
}

void QPropertyTable::set_properties(const VyrPropertyList *list)
{
    clearContents();
    setRowCount(0);
    if (!list)
        return;
    setRowCount(list->count());
    for (int row = 0; row < list->count(); ++row) {
        const VyrProperty &property = *list->at(row);
        setItem(row, NameColumn, read_only_item(property.name()));
        setItem(row, ValueColumn, value_item(property));
        setItem(row, UnitColumn, read_only_item(property.unit()));
    }
    // The user cannot resize the columns: names and units get the width they need.
    resizeColumnToContents(NameColumn);
    resizeColumnToContents(UnitColumn);
}

void QPropertyTable::get_properties(VyrPropertyList *list, bool *changed)
{
    end_edit();
    if (!list)
        return;
    for (int row = 0; row < rowCount(); ++row) {
        const QTableWidgetItem *name_item = item(row, NameColumn);
        const QTableWidgetItem *value = item(row, ValueColumn);
        if (!name_item || !value)
            continue;
        VyrProperty *property = list->find(name_item->text());
        if (!property) {
            debug_trace("QPropertyTable::get_properties: Property '%s' not found",
                        name_item->text().toUtf8().constData());
            continue;
        }
        // A cell shows a double with 6 digits: its text converted back would
        // lose the rest, so a cell the user left as it was keeps its value.
        const QString text = value->text();
        if (text == value->data(ShownTextRole).toString())
            continue;
        if (store_text(*property, text) && changed)
            *changed = true;
    }
}

void QPropertyTable::end_edit()
{
    if (state() != QAbstractItemView::EditingState)
        return;
    QWidget *editor = indexWidget(currentIndex());
    if (!editor)
        return;
    commitData(editor);
    closeEditor(editor, QAbstractItemDelegate::NoHint);
}

void QPropertyTable::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Delete:
        emit delete_key_pressed();
        event->accept();
        return;
    case Qt::Key_F1:
        // Left to the parent, which opens the help.
        event->ignore();
        return;
    default:
        QTableWidget::keyPressEvent(event);
    }
}
