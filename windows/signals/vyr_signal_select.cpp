#include "windows/signals/vyr_signal_select.h"

#include "core/signal_record.h"
#include "core/vyr_signal_if.h"
#include "core/vyr_signal_if_notification.h"
#include "core/vyr_signal_list.h"
#include "core/widgets/vyr_signal_select_list_view.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

VyrSignalSelect *s_instance = nullptr;

const char *direction_text(int direction)
{
    switch (direction) {
    case SignalRecord::Input:
        return "Input";
    case SignalRecord::Output:
        return "Output";
    case SignalRecord::InputOutput:
        return "In/Out";
    }
    return nullptr;
}

const char *format_text(int value_type)
{
    switch (value_type) {
    case SignalValue::Int:
        return "Integer";
    case SignalValue::Double:
        return "Float";
    }
    return nullptr;
}

// Modes are compared whole: a combination is no mode of the list.
const char *mode_text(int mode)
{
    switch (mode) {
    case SignalRecord::Polling:
        return "polling";
    case SignalRecord::Event:
        return "event";
    case SignalRecord::Cyclic:
        return "cyclic";
    }
    return nullptr;
}

QString translated(const char *text)
{
    return text ? VyrSignalSelect::tr(text) : QString();
}

QString number(double value)
{
    return QString::number(value, 'g', 6);
}

bool passes(const SignalRecord *signal, int value_type_filter, int direction_filter)
{
    if (!signal->name() || !signal->has_flag(SignalRecord::DefinedByCompile))
        return false;
    if (value_type_filter != 1 && value_type_filter != signal->value_type())
        return false;
    const int direction = signal->direction();
    return direction_filter == 0 || direction_filter == direction || direction == SignalRecord::InputOutput;
}

struct RowColumns
{
    int direction, format, type, rate, min, max, offset, factor;
};

void set_row_texts(VyrSignalSelectItem *item, const SignalRecord *signal, const RowColumns &columns)
{
    item->setText(columns.direction, translated(direction_text(signal->direction())));
    item->setText(columns.format, translated(format_text(signal->value_type())));
    item->setText(columns.type, translated(mode_text(signal->mode())));
    item->setText(columns.rate, QString::number(signal->rate()) + VyrSignalSelect::tr("ms"));
    item->setText(columns.min, number(signal->min()));
    item->setText(columns.max, number(signal->max()));
    item->setText(columns.offset, number(signal->offset()));
    item->setText(columns.factor, number(signal->factor()));
    for (int column : {columns.rate, columns.min, columns.max, columns.offset, columns.factor})
        item->setTextAlignment(column, Qt::AlignRight | Qt::AlignVCenter);
    item->set_signal(const_cast<SignalRecord *>(signal));
}

// A new item is the first child: without sorting, siblings show in the
// reverse order of their making.
VyrSignalSelectItem *new_first_child(QTreeWidgetItem *parent)
{
    auto *item = new VyrSignalSelectItem;
    parent->insertChild(0, item);
    return item;
}

VyrSignalSelectItem *new_first_top_level(QTreeWidget *view)
{
    auto *item = new VyrSignalSelectItem;
    view->insertTopLevelItem(0, item);
    return item;
}

VyrSignalSelectListView *make_list(QWidget *page, const char *name, const QStringList &titles,
                                   std::initializer_list<int> right_aligned)
{
    auto *layout = new QVBoxLayout(page);
    layout->setContentsMargins(10, 10, 10, 10);
    auto *list = new VyrSignalSelectListView(page);
    list->setObjectName(QString::fromLatin1(name));
    list->setSortingEnabled(false);
    list->header()->setSectionsClickable(false);
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list->setAllColumnsShowFocus(true);
    list->setFocusPolicy(Qt::StrongFocus);
    list->setRootIsDecorated(true);
    list->setHeaderLabels(titles);
    for (int column : right_aligned)
        list->headerItem()->setTextAlignment(column, Qt::AlignRight | Qt::AlignVCenter);
    layout->addWidget(list, 10);
    return list;
}

} // namespace

VyrSignalSelect::VyrSignalSelect(QWidget *parent, const char *name, bool modal) : QDialog(parent)
{
    setObjectName(QString::fromLatin1(name));
    setModal(modal);
    if (parent && !parent->windowIcon().isNull())
        setWindowIcon(parent->windowIcon());

    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(QStringLiteral("tab_widget"));
    m_message_tree_page = new QWidget(m_tabs);
    m_message_tree_page->setObjectName(QStringLiteral("message_tree_page"));
    m_message_tree = make_list(m_message_tree_page, "message_tree",
                               {tr("Signal Name"), tr("Direction"), tr("Format"), tr("Type"), tr("Rate"), tr("Min"),
                                tr("Max"), tr("Offset"), tr("Factor")},
                               {TreeRate, TreeMin, TreeMax, TreeOffset, TreeFactor});
    m_signal_list_page = new QWidget(m_tabs);
    m_signal_list_page->setObjectName(QStringLiteral("signal_list_page"));
    m_signal_list = make_list(m_signal_list_page, "signal_list",
                              {tr("Signal Name"), tr("Message"), tr("DataBase"), tr("Iface"), tr("Direction"),
                               tr("Format"), tr("Type"), tr("Rate"), tr("Min"), tr("Max"), tr("Factor"), tr("Offset")},
                              {ListRate, ListMin, ListMax, ListFactor, ListOffset});
    m_tabs->addTab(m_message_tree_page, tr("Message Tree"));
    m_tabs->addTab(m_signal_list_page, tr("Signal List"));

    m_add_button = new QPushButton(tr("&Add"), this);
    m_add_button->setObjectName(QStringLiteral("add_button"));
    m_close_button = new QPushButton(tr("Close"), this);
    m_close_button->setObjectName(QStringLiteral("close_button"));
    m_help_button = new QPushButton(tr("&Help"), this);
    m_help_button->setObjectName(QStringLiteral("help_button"));
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_help_button);
    buttons->addStretch(1);
    buttons->addWidget(m_add_button);
    buttons->addWidget(m_close_button);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs, 1);
    layout->addLayout(buttons);

    connect(m_add_button, &QPushButton::clicked, this, qOverload<>(&VyrSignalSelect::add_selected));
    // Closing only hides: the lists stay filled for the next opening.
    connect(m_close_button, &QPushButton::clicked, this, &QDialog::hide);
    connect(m_help_button, &QPushButton::clicked, this, &VyrSignalSelect::context_help);
    for (VyrSignalSelectListView *list : {m_message_tree, m_signal_list})
        connect(list, &QTreeWidget::itemDoubleClicked, this,
                [this](QTreeWidgetItem *item, int) { doubleClicked(item); });
    // The program's main window opens the help pages.
    for (QWidget *top : QApplication::topLevelWidgets()) {
        if (top->metaObject()->indexOfSlot("activate_help_context(QString)") >= 0) {
            connect(this, SIGNAL(activate_help_context(QString)), top, SLOT(activate_help_context(QString)));
            break;
        }
    }
}

VyrSignalSelect::~VyrSignalSelect()
{
    if (s_instance == this)
        s_instance = nullptr;
}

void VyrSignalSelect::set_filters(int value_type_filter, int direction_filter)
{
    m_value_type_filter = value_type_filter;
    m_direction_filter = direction_filter;
}

void VyrSignalSelect::fill_lists(VyrSignalList *list, const QString &interface_name, int value_type_filter,
                                 int direction_filter)
{
    if (!list)
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    fill_message_tree(list, interface_name, value_type_filter, direction_filter);
    fill_signal_list(list, interface_name, value_type_filter, direction_filter);
    QApplication::restoreOverrideCursor();
}

void VyrSignalSelect::fill_message_tree(VyrSignalList *list, const QString &interface_name, int value_type_filter,
                                        int direction_filter)
{
    // Interfaces are listed in the order they are added: the new one goes last.
    auto *interface_item = new VyrSignalSelectItem;
    interface_item->setText(TreeName, interface_name);
    m_message_tree->addTopLevelItem(interface_item);
    m_message_tree->setUpdatesEnabled(false);
    const RowColumns columns{TreeDirection, TreeFormat, TreeType, TreeRate, TreeMin, TreeMax, TreeOffset, TreeFactor};
    VyrSignalSelectItem *script_item = nullptr;
    for (SignalRecord *signal = list->first(); signal; signal = list->next()) {
        if (!passes(signal, value_type_filter, direction_filter))
            continue;
        QTreeWidgetItem *parent = interface_item;
        if (signal->has_flag(SignalRecord::ScriptFunction)) {
            if (!script_item) {
                script_item = new_first_child(interface_item);
                script_item->setText(TreeName, tr("Script Defined"));
            }
            parent = script_item;
        }
        const int parts = signal->name_part_count();
        for (int i = 0; i + 1 < parts; ++i) {
            const QString part = QString::fromLatin1(signal->name_part(i));
            QTreeWidgetItem *found = nullptr;
            for (int c = 0; c < parent->childCount() && !found; ++c)
                if (parent->child(c)->text(TreeName) == part)
                    found = parent->child(c);
            if (!found) {
                found = new_first_child(parent);
                found->setText(TreeName, part);
            }
            parent = found;
        }
        VyrSignalSelectItem *leaf = new_first_child(parent);
        leaf->setText(TreeName, QString::fromLatin1(signal->name_part(parts - 1)));
        set_row_texts(leaf, signal, columns);
    }
    m_message_tree->setUpdatesEnabled(true);
}

void VyrSignalSelect::fill_signal_list(VyrSignalList *list, const QString &interface_name, int value_type_filter,
                                       int direction_filter)
{
    m_signal_list->setUpdatesEnabled(false);
    const RowColumns columns{ListDirection, ListFormat, ListType, ListRate, ListMin, ListMax, ListOffset, ListFactor};
    for (SignalRecord *signal = list->first(); signal; signal = list->next()) {
        if (!passes(signal, value_type_filter, direction_filter))
            continue;
        const int parts = signal->name_part_count();
        VyrSignalSelectItem *row = new_first_top_level(m_signal_list);
        row->setText(ListName, QString::fromLatin1(signal->name_part(parts - 1)));
        if (parts >= 2)
            row->setText(ListMessage, QString::fromLatin1(signal->name_part(parts - 2)));
        if (parts >= 3) {
            QStringList database;
            for (int i = 0; i + 2 < parts; ++i)
                database << QString::fromLatin1(signal->name_part(i));
            row->setText(ListDatabase, database.join(QLatin1Char('/')));
        }
        row->setText(ListIface, interface_name);
        set_row_texts(row, signal, columns);
    }
    m_signal_list->setUpdatesEnabled(true);
}

void VyrSignalSelect::emit_selected(const VyrSignalSelectItem *item)
{
    const SignalRecord *signal = item->signal();
    if (!signal || !signal->owner())
        return;
    emit selected(QString::fromStdString(signal->owner()->make_id()), QString::fromLatin1(signal->name()));
}

void VyrSignalSelect::deselect(QTreeWidgetItem *item)
{
    item->setSelected(false);
}

void VyrSignalSelect::doubleClicked(QTreeWidgetItem *item)
{
    if (!item)
        return;
    if (item->childCount() == 0)
        emit_selected(static_cast<VyrSignalSelectItem *>(item));
    deselect(item);
}

void VyrSignalSelect::add_selected()
{
    if (m_tabs->currentWidget() == m_message_tree_page) {
        if (m_message_tree->topLevelItemCount() > 0)
            add_selected(static_cast<VyrSignalSelectItem *>(m_message_tree->topLevelItem(0)), false);
        return;
    }
    for (int i = 0; i < m_signal_list->topLevelItemCount(); ++i) {
        QTreeWidgetItem *row = m_signal_list->topLevelItem(i);
        if (!row->isSelected())
            continue;
        emit_selected(static_cast<VyrSignalSelectItem *>(row));
        deselect(row);
    }
}

void VyrSignalSelect::add_selected(VyrSignalSelectItem *item)
{
    add_selected(item, false);
}

void VyrSignalSelect::add_selected(VyrSignalSelectItem *item, bool all)
{
    QTreeWidgetItem *parent = item->parent();
    QTreeWidget *view = item->treeWidget();
    int index = parent ? parent->indexOfChild(item) : view->indexOfTopLevelItem(item);
    const int count = parent ? parent->childCount() : view->topLevelItemCount();
    for (; index < count; ++index) {
        auto *sibling =
            static_cast<VyrSignalSelectItem *>(parent ? parent->child(index) : view->topLevelItem(index));
        const bool was_selected = sibling->isSelected();
        if (sibling->childCount() > 0)
            add_selected(static_cast<VyrSignalSelectItem *>(sibling->child(0)), all || was_selected);
        else if (was_selected || all)
            emit_selected(sibling);
        if (was_selected)
            deselect(sibling);
    }
}

void VyrSignalSelect::context_help()
{
    emit activate_help_context(QStringLiteral("SignalSelectionDialog"));
}

VyrSignalSelect *signal_select_dialog()
{
    return s_instance;
}

VyrSignalSelect *open_signal_select_dialog(QWidget *window, bool modal, VyrSignalIf *interface_or_null,
                                           int value_type_filter, int direction_filter)
{
    if (s_instance &&
        (s_instance->value_type_filter() != value_type_filter || s_instance->direction_filter() != direction_filter))
        delete_signal_select_dialog();
    VyrSignalSelect *dialog = s_instance;
    if (!dialog) {
        dialog = new VyrSignalSelect(window, "signal_select", modal);
        dialog->set_filters(value_type_filter, direction_filter);
        s_instance = dialog;
        // A change of the signal world leaves records behind that the items
        // point to (an interface removed frees its signals): the dialog goes
        // at once, and the next opening lists the signals anew.
        for (VyrSignalIfNotification *hub : VyrSignalIfNotification::hubs()) {
            QObject::connect(hub, &VyrSignalIfNotification::signal_reload_start, dialog, delete_signal_select_dialog);
            QObject::connect(hub, &VyrSignalIfNotification::interface_created, dialog, delete_signal_select_dialog);
            QObject::connect(hub, &VyrSignalIfNotification::interface_removed, dialog, delete_signal_select_dialog);
            QObject::connect(hub, &VyrSignalIfNotification::interface_configuration_changed, dialog,
                             delete_signal_select_dialog);
        }
        for (VyrSignalIf *signal_if = get_first_signal_if(); signal_if; signal_if = signal_if->next()) {
            if (interface_or_null && signal_if != interface_or_null)
                continue;
            dialog->fill_lists(signal_if->signal_list(), QString::fromStdString(signal_if->name()), value_type_filter,
                               direction_filter);
        }
    } else {
        // Taken over by the window, where it stands, without showing it.
        const QPoint position = dialog->pos();
        const Qt::WindowFlags flags = dialog->windowFlags();
        dialog->setParent(nullptr, flags);
        dialog->move(position);
        dialog->setParent(window, flags);
        dialog->move(position);
        QObject::disconnect(dialog, &VyrSignalSelect::selected, nullptr, nullptr);
    }
    if (window) {
        QObject::connect(dialog, SIGNAL(selected(QString, QString)), window, SLOT(insert_signal(QString, QString)));
        dialog->setWindowTitle(window->windowTitle() + QLatin1Char(' ') + VyrSignalSelect::tr("Signal Selection"));
    }
    return dialog;
}

void delete_signal_select_dialog()
{
    delete s_instance;
    s_instance = nullptr;
}

void detach_signal_select_dialog(QWidget *window)
{
    VyrSignalSelect *dialog = s_instance;
    if (!dialog || dialog->parentWidget() != window)
        return;
    const QPoint position = dialog->pos();
    dialog->setParent(nullptr, dialog->windowFlags());
    dialog->move(position);
    QObject::disconnect(dialog, &VyrSignalSelect::selected, nullptr, nullptr);
}
