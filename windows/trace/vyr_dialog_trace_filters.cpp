#include "windows/trace/vyr_dialog_trace_filters.h"

#include "core/candb_cluster.h"
#include "core/candb_message.h"
#include "interfaces/can/vyr_can_if.h"
#include "interfaces/can/vyr_id_filter_list.h"
#include "core/frames/vyr_can_message.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCompleter>
#include <QGroupBox>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>

namespace {

constexpr uint32_t extended_bit = 0x80000000u;
constexpr uint32_t max_standard_id = 0x7FF;
constexpr uint32_t max_extended_id = 0x1FFFFFFF;

QString message_name(CANdbCluster *database, uint32_t id)
{
    const CANdbMessage *message = database->find_message_by_id(id);
    return message ? QString::fromStdString(message->name) : QString();
}

} // namespace

QIcon trace_filter_icon(const QColor &fill)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::black);
    painter.setBrush(fill);
    const QPoint funnel[] = {{1, 2}, {14, 2}, {9, 8}, {9, 14}, {6, 14}, {6, 8}};
    painter.drawPolygon(funnel, 6);
    return QIcon(pixmap);
}

VyrTraceFilterItem::VyrTraceFilterItem(QTreeWidget *list, QTreeWidgetItem *after, CANdbCluster *database,
                                       uint32_t id)
    : VyrTraceFilterItem(list, after, database, id, id)
{
}

VyrTraceFilterItem::VyrTraceFilterItem(QTreeWidget *list, QTreeWidgetItem *after, CANdbCluster *database,
                                       uint32_t start, uint32_t end)
    : QTreeWidgetItem(list, after), m_start(start & ~extended_bit), m_end(end & ~extended_bit),
      m_extended(((start | end) & extended_bit) != 0), m_database(database)
{
    const uint32_t marker = m_extended ? extended_bit : 0;
    if (single()) {
        setText(0, QStringLiteral("%1 (%2H)").arg(m_start).arg(m_start, 0, 16));
        if (database)
            setText(1, message_name(database, m_start | marker));
    } else {
        setText(0, QStringLiteral("%1 ... %2 (%3H ... %4H)").arg(m_start).arg(m_end).arg(m_start, 0, 16).arg(m_end, 0, 16));
        if (database)
            setText(1, message_name(database, m_start | marker) + QStringLiteral(" ... ") +
                           message_name(database, m_end | marker));
    }
}

VyrDialogTraceFilters::VyrDialogTraceFilters(QWidget *parent, const char *name, bool modal, Qt::WindowFlags flags)
    : DialogTraceFiltersBase(parent, name, modal, flags)
{
    setWindowIcon(trace_filter_icon(QColor(0, 128, 255)));
    connect(pb_std_add_single, &QPushButton::clicked, this, &VyrDialogTraceFilters::std_add_single);
    connect(pb_ext_add_single, &QPushButton::clicked, this, &VyrDialogTraceFilters::ext_add_single);
    connect(pb_std_add_range, &QPushButton::clicked, this, &VyrDialogTraceFilters::std_add_range);
    connect(pb_ext_add_range, &QPushButton::clicked, this, &VyrDialogTraceFilters::ext_add_range);
    connect(pb_std_delete, &QPushButton::clicked, this, &VyrDialogTraceFilters::std_delete_selected);
    connect(pb_ext_delete, &QPushButton::clicked, this, &VyrDialogTraceFilters::ext_delete_selected);
    connect(pb_std_optimize, &QPushButton::clicked, this, &VyrDialogTraceFilters::std_optimize);
    connect(pb_ext_optimize, &QPushButton::clicked, this, &VyrDialogTraceFilters::ext_optimize);
    connect(lv_std, &QTreeWidget::itemSelectionChanged, this, &VyrDialogTraceFilters::show_status);
    connect(lv_ext, &QTreeWidget::itemSelectionChanged, this, &VyrDialogTraceFilters::show_status);
    connect(cb_std_filter_active, &QCheckBox::clicked, this, &VyrDialogTraceFilters::active_changed);
    connect(cb_ext_filter_active, &QCheckBox::clicked, this, &VyrDialogTraceFilters::active_changed);
    for (QTreeWidget *list : {lv_std, lv_ext}) {
        list->setSortingEnabled(false);
        list->setSelectionMode(QAbstractItemView::SingleSelection);
    }
    connect(pb_help, &QPushButton::clicked, this, &VyrDialogTraceFilters::help_context);
    for (QWidget *widget : QApplication::topLevelWidgets())
        if (widget->metaObject()->indexOfSlot("activate_help_context(QString)") >= 0) {
            connect(this, SIGNAL(activate_help_context(QString)), widget, SLOT(activate_help_context(QString)));
            break;
        }
    show_status();
}

VyrDialogTraceFilters::PageWidgets VyrDialogTraceFilters::page(bool extended)
{
    if (extended)
        return {lv_ext, cb_ext_single_id, cb_ext_start_id, cb_ext_end_id, rb_ext_pass, rb_ext_block, &m_last_ext, true};
    return {lv_std, cb_std_single_id, cb_std_start_id, cb_std_end_id, rb_std_pass, rb_std_block, &m_last_std, false};
}

void VyrDialogTraceFilters::help_context()
{
    emit activate_help_context(QStringLiteral("CanTraceFilterDialog"));
}

bool VyrDialogTraceFilters::id_from_combo(QComboBox *combo, bool extended, uint32_t &id)
{
    const QString typed = combo->currentText().trimmed();
    if (typed.isEmpty())
        return false;
    const QByteArray text = typed.toLocal8Bit();
    if (m_database)
        if (const CANdbMessage *message = m_database->find_message(text.constData())) {
            id = message->id;
            return true;
        }
    const uint32_t largest = extended ? max_extended_id : max_standard_id;
    VyrCanMessage message{};
    if (VyrCanMessage::parse_whole_id(message, text.constData()) == 0 && !(message.flags & VyrCanMessage::ErrorFrame) &&
        message.id <= largest) {
        id = message.id;
        return true;
    }
    QMessageBox::warning(
        this, windowTitle(),
        tr("'%1' is neither an identifier nor a message name.\n\n"
           "Enter an identifier as a decimal number (\"100\"), as a hexadecimal number with the suffix h "
           "(\"100h\"), with the suffix x of extended identifiers (\"100x\", \"1FFhx\"), or the name of a "
           "message of the database. Identifiers on this page go up to %2h.")
            .arg(typed)
            .arg(largest, 0, 16));
    return false;
}

VyrTraceFilterItem *VyrDialogTraceFilters::find_covering_item(uint32_t start, uint32_t end, QTreeWidget *list) const
{
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        auto *item = static_cast<VyrTraceFilterItem *>(list->topLevelItem(i));
        if (item->start() <= start && end <= item->end())
            return item;
    }
    return nullptr;
}

void VyrDialogTraceFilters::append_item(const PageWidgets &widgets, uint32_t start, uint32_t end)
{
    const uint32_t marker = widgets.extended ? extended_bit : 0;
    auto *item = new VyrTraceFilterItem(widgets.list, *widgets.last, m_database, start | marker, end | marker);
    *widgets.last = item;
    widgets.list->scrollToItem(item);
}

void VyrDialogTraceFilters::add_single(bool extended)
{
    const PageWidgets widgets = page(extended);
    uint32_t id = 0;
    if (!id_from_combo(widgets.single, extended, id))
        return;
    if (VyrTraceFilterItem *item = find_covering_item(id, id, widgets.list)) {
        widgets.list->setCurrentItem(item);
        widgets.list->scrollToItem(item);
        return;
    }
    append_item(widgets, id, id);
    m_changed = true;
}

void VyrDialogTraceFilters::add_range(bool extended)
{
    const PageWidgets widgets = page(extended);
    uint32_t start = 0;
    uint32_t end = 0;
    if (!id_from_combo(widgets.start, extended, start) || !id_from_combo(widgets.end, extended, end))
        return;
    if (start > end)
        std::swap(start, end);
    if (VyrTraceFilterItem *item = find_covering_item(start, end, widgets.list)) {
        widgets.list->setCurrentItem(item);
        widgets.list->scrollToItem(item);
        return;
    }
    append_item(widgets, start, end);
    m_changed = true;
}

void VyrDialogTraceFilters::delete_selected(bool extended)
{
    const PageWidgets widgets = page(extended);
    const QList<QTreeWidgetItem *> selected = widgets.list->selectedItems();
    if (selected.isEmpty())
        return;
    QTreeWidgetItem *item = selected.first();
    if (item == *widgets.last) {
        const int index = widgets.list->indexOfTopLevelItem(item);
        *widgets.last = index > 0 ? widgets.list->topLevelItem(index - 1) : nullptr;
    }
    delete item;
    m_changed = true;
    show_status();
}

void VyrDialogTraceFilters::optimize(bool extended)
{
    VyrIdFilterList list(extended, VyrIdFilterList::block_listed);
    get_filter_lists(extended ? nullptr : &list, extended ? &list : nullptr);
    int count = list.count();
    while (count > 0) {
        list.optimize();
        if (list.count() == count)
            break;
        count = list.count();
    }
    set_filter_lists(extended ? nullptr : &list, extended ? &list : nullptr);
    m_changed = true;
}

void VyrDialogTraceFilters::std_add_single() { add_single(false); }
void VyrDialogTraceFilters::ext_add_single() { add_single(true); }
void VyrDialogTraceFilters::std_add_range() { add_range(false); }
void VyrDialogTraceFilters::ext_add_range() { add_range(true); }
void VyrDialogTraceFilters::std_delete_selected() { delete_selected(false); }
void VyrDialogTraceFilters::ext_delete_selected() { delete_selected(true); }
void VyrDialogTraceFilters::std_optimize() { optimize(false); }
void VyrDialogTraceFilters::ext_optimize() { optimize(true); }

void VyrDialogTraceFilters::show_status()
{
    pb_std_delete->setEnabled(!lv_std->selectedItems().isEmpty());
    pb_ext_delete->setEnabled(!lv_ext->selectedItems().isEmpty());
    bg_std_filter_type->setEnabled(cb_std_filter_active->isChecked());
    bg_std_id_list->setEnabled(cb_std_filter_active->isChecked());
    bg_ext_filter_type->setEnabled(cb_ext_filter_active->isChecked());
    bg_ext_id_list->setEnabled(cb_ext_filter_active->isChecked());
}

void VyrDialogTraceFilters::active_changed()
{
    m_changed = true;
    show_status();
}

void VyrDialogTraceFilters::set_database(VyrCanIf *owner)
{
    QComboBox *const combos[] = {cb_std_single_id, cb_std_start_id, cb_std_end_id,
                                 cb_ext_single_id, cb_ext_start_id, cb_ext_end_id};
    for (QComboBox *combo : combos)
        combo->clear();
    m_database_owner = owner;
    m_database = nullptr;
    if (owner && owner->databases()) {
        m_database = owner->databases();
        for (CANdbMessage *message = m_database->first_message(); message; message = m_database->next_message()) {
            const QString name = QString::fromStdString(message->name);
            const int first = message->extended ? 3 : 0;
            for (int i = first; i < first + 3; ++i)
                combos[i]->addItem(name);
        }
    }
    for (QComboBox *combo : combos) {
        combo->setCurrentText(QString());
        combo->setCompleter(new QCompleter(combo->model(), combo));
    }
}

void VyrDialogTraceFilters::load_page(const PageWidgets &widgets, VyrIdFilterList &list)
{
    widgets.list->clear();
    *widgets.last = nullptr;
    if (list.filter_type() == VyrIdFilterList::pass_listed)
        widgets.pass->setChecked(true);
    else if (list.filter_type() == VyrIdFilterList::block_listed)
        widgets.block->setChecked(true);
    for (VyrIdRange *range = list.first_range(); range; range = list.next_range())
        append_item(widgets, range->start, range->end);
}

void VyrDialogTraceFilters::set_filter_lists(VyrIdFilterList *standard, VyrIdFilterList *extended)
{
    if (standard)
        load_page(page(false), *standard);
    if (extended)
        load_page(page(true), *extended);
    m_changed = false;
    show_status();
}

void VyrDialogTraceFilters::set_filters_active(bool standard, bool extended)
{
    cb_std_filter_active->setChecked(standard);
    cb_ext_filter_active->setChecked(extended);
    show_status();
}

void VyrDialogTraceFilters::store_page(const PageWidgets &widgets, VyrIdFilterList &list)
{
    const int type = widgets.pass->isChecked() ? VyrIdFilterList::pass_listed : VyrIdFilterList::block_listed;
    if (type != list.filter_type())
        m_changed = true;
    list.clear();
    for (int i = 0; i < widgets.list->topLevelItemCount(); ++i) {
        auto *item = static_cast<VyrTraceFilterItem *>(widgets.list->topLevelItem(i));
        if (item->single())
            list.add_id(item->start());
        else
            list.add_range(item->start(), item->end());
    }
    list.set_filter_type(type);
}

bool VyrDialogTraceFilters::get_filter_lists(VyrIdFilterList *standard, VyrIdFilterList *extended)
{
    if (standard)
        store_page(page(false), *standard);
    if (extended)
        store_page(page(true), *extended);
    return m_changed;
}

void VyrDialogTraceFilters::get_filters_active(bool &standard, bool &extended) const
{
    standard = cb_std_filter_active->isChecked();
    extended = cb_ext_filter_active->isChecked();
}
