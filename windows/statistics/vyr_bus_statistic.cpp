#include "windows/statistics/vyr_bus_statistic.h"

#include "core/signal_record.h"
#include "core/vyr_signal_list.h"
#include "interfaces/can/vyr_can_if.h"
#include "settings/qtb_config.h"
#include "windows/base/header_tool_tip.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QMenu>
#include <QToolButton>
#include <QTreeWidget>

#include <algorithm>

namespace {

struct ColumnInfo
{
    const char *header;
    const char *key;
    // The statistic signal of the column; null for the name and info columns.
    const char *signal;
    const char *tip;
};

// The second sentence of the bus load's tip says which channels measure it: the interface's channel decides.
const ColumnInfo columns[VyrBusStatistic::column_count] = {
    {"CAN Channel", "name", nullptr,
     "<p><h3>Channel Name</h3>This column shows the name of the logical CAN channel.</p>"},
    {"Bus Status", "busstatus", "Statistic.BusStatus",
     "<p><h3>Bus Status</h3>BUSOFF = CAN controller can't receive or send messages.<br>PASSIVE = Fault status due "
     "to increased error counters.<br>ACTIVE = Normal operation.</p>"},
    {"Busload [%]", "busload", "Statistic.BusLoad",
     "<p><h3>Busload</h3>Displays the current busload. Only channels whose hardware measures the bus load show "
     "it.</p>"},
    {"Rate [1/s]", "rate", "Statistic.MessageRate",
     "<p><h3>Message Rate</h3>Number of messages/s on the CAN channel.</p>"},
    {"TX Errors", "txerr", "Statistic.TxErr",
     "<p><h3>TX Error Counter</h3>Current value of the transmit error counter (on-chip register).</p>"},
    {"RX Errors", "rxerr", "Statistic.RxErr",
     "<p><h3>RX Error Counter</h3>Current value of the receive error counter (on-chip register).</p>"},
    {"Std Messages", "stdmsg", "Statistic.StandardMessages",
     "<p><h3>Standard Messages</h3>Counts standard (11 bit Id) CAN messages.</p>"},
    {"Ext Messages", "extmsg", "Statistic.ExtendedMessages",
     "<p><h3>Extended Messages</h3>Counts extended (29 bit Id) CAN messages.</p>"},
    {"Error Frames", "errorframes", "Statistic.ErrorFrames", "<p><h3>Error Messages</h3>Counts error frames.</p>"},
    {"Channel Info", "info", nullptr, "<p><h3>Info</h3>Shows the current physical CAN channel.</p>"},
};

QByteArray key(const char *prefix, int column)
{
    return QByteArray(prefix) + columns[column].key;
}

bool shows_statistics(const VyrSignalIf *signal_if)
{
    if (!signal_if)
        return false;
    const std::string type = signal_if->type_name();
    return type == "CAN" || type == "CAN-RX";
}

const QString no_value = QStringLiteral("-");

} // namespace

StatisticChannelItem::StatisticChannelItem(QTreeWidget *list, const QString &interface_id)
    : QTreeWidgetItem(list), m_interface_id(interface_id)
{
}

VyrBusStatistic::VyrBusStatistic(QWidget *parent) : VyrDataWindow(class_key_text, parent)
{
    set_update_rate(250);
    set_help_key(QStringLiteral("CanStatisticWindow"));
    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("list_view"));
    m_list->setMinimumHeight(30);
    m_list->setRootIsDecorated(false);
    m_list->setColumnCount(column_count);
    QStringList headers;
    auto *tips = new HeaderToolTip(m_list->header());
    for (int column = 0; column < column_count; ++column) {
        headers << tr(columns[column].header);
        tips->set_tip(column, tr(columns[column].tip));
    }
    m_list->setHeaderLabels(headers);
    m_list->header()->setSectionResizeMode(QHeaderView::Interactive);
    m_list->header()->setSectionsMovable(true);
    m_list->header()->resizeSections(QHeaderView::ResizeToContents);
    for (int column = 0; column < column_count; ++column)
        m_sections[column] = m_list->header()->logicalIndex(column);
    insert_tool_widget(m_list);
    create_standard_tool_buttons();
    for (VyrSignalIf *signal_if = get_first_signal_if(); signal_if; signal_if = signal_if->next())
        if (shows_statistics(signal_if))
            add_canif(VyrCanIf::of(signal_if));
    setGeometry(50, 50, 600, 180);
}

VyrBusStatistic::~VyrBusStatistic()
{
    // The cells leave their signals before the list deletes the lines.
    m_list->clear();
}

StatisticChannelItem *VyrBusStatistic::line(const QString &interface_id) const
{
    for (int n = 0; n < m_list->topLevelItemCount(); ++n) {
        auto *item = static_cast<StatisticChannelItem *>(m_list->topLevelItem(n));
        if (item->interface_id() == interface_id)
            return item;
    }
    return nullptr;
}

void VyrBusStatistic::add_canif(VyrCanIf *can)
{
    if (!can)
        return;
    auto *item = new StatisticChannelItem(m_list, QString::fromStdString(can->make_id()));
    for (int column = BusStatus; column <= ErrorFrames; ++column) {
        item->setTextAlignment(column, Qt::AlignRight | Qt::AlignVCenter);
        item->setText(column, no_value);
        if (SignalRecord *signal = can->signal_list() ? can->signal_list()->find(columns[column].signal) : nullptr)
            item->cells().push_back(std::make_unique<SignalValueListener>(column, signal));
    }
    item->setText(Name, QString::fromStdString(can->name()));
    item->setText(Info, can->channel_name());
    fit_name_columns();
}

void VyrBusStatistic::fit_name_columns()
{
    QHeaderView *header = m_list->header();
    for (int column : {Name, Info}) {
        const int width = header->sectionSize(column);
        m_list->resizeColumnToContents(column);
        header->resizeSection(column, std::max(width, header->sectionSize(column)));
    }
}

void VyrBusStatistic::add_interface(const QString &interface_id)
{
    VyrSignalIf *signal_if = find_signal_if_by_id(interface_id.toLatin1().constData());
    if (shows_statistics(signal_if))
        add_canif(VyrCanIf::of(signal_if));
}

void VyrBusStatistic::remove_interface(const QString &interface_id)
{
    VyrDataWindow::remove_interface(interface_id);
    delete line(interface_id);
}

void VyrBusStatistic::interface_configuration_changed(const QString &interface_id)
{
    StatisticChannelItem *item = line(interface_id);
    VyrCanIf *can = VyrCanIf::of(find_signal_if_by_id(interface_id.toLatin1().constData()));
    if (!item || !can)
        return;
    item->setText(Name, QString::fromStdString(can->name()));
    item->setText(Info, can->channel_name());
    fit_name_columns();
}

QString VyrBusStatistic::cell_text(const SignalRecord &signal, const SignalValue &value)
{
    switch (signal.value_type()) {
    case SignalValue::Int:
        if (signal.flags() & 0x1)
            if (const char *text = signal.value_text(value.int_value))
                return QString::fromLatin1(text);
        return QString::number(value.int_value);
    case SignalValue::Double:
        return QString::asprintf("%lg", value.double_value);
    default:
        return QString();
    }
}

void VyrBusStatistic::startup()
{
    for (int n = 0; n < m_list->topLevelItemCount(); ++n) {
        auto *item = static_cast<StatisticChannelItem *>(m_list->topLevelItem(n));
        VyrSignalIf *signal_if = find_signal_if_by_id(item->interface_id().toLatin1().constData());
        for (const std::unique_ptr<SignalValueListener> &cell : item->cells()) {
            item->setText(cell->kind(), no_value);
            cell->last_value(true);
            if (signal_if)
                signal_if->add_signal_listener(cell.get(), cell->signal());
        }
    }
    VyrDataWindow::startup();
}

void VyrBusStatistic::stop()
{
    VyrDataWindow::stop();
}

void VyrBusStatistic::state_changed() {}

void VyrBusStatistic::update_signals()
{
    if (is_paused())
        return;
    for (int n = 0; n < m_list->topLevelItemCount(); ++n) {
        auto *item = static_cast<StatisticChannelItem *>(m_list->topLevelItem(n));
        for (const std::unique_ptr<SignalValueListener> &cell : item->cells()) {
            bool changed = false;
            const SignalValue value = cell->last_value(true, &changed);
            if (changed)
                item->setText(cell->kind(), cell_text(*cell->signal(), value));
        }
    }
}

void VyrBusStatistic::contextMenuEvent(QContextMenuEvent *event)
{
    QMenu menu(this);
    menu.setObjectName(QStringLiteral("statistics_context_menu"));
    menu.addAction(tr("Properties"), this, &VyrDataWindow::open_properties_dialog)->setEnabled(!running());
    if (detached())
        menu.addAction(tr("Attach to Workspace"), this, &VyrDataWindow::attach_to_workspace);
    else
        menu.addAction(tr("Detach from Workspace"), this, &VyrDataWindow::detach_from_workspace);
    menu.addSeparator();
    if (QToolButton *pause = findChild<QToolButton *>(QStringLiteral("pause_button"))) {
        QAction *action = menu.addAction(tr("Pause"));
        action->setCheckable(true);
        action->setChecked(pause->isChecked());
        action->setEnabled(running());
        connect(action, &QAction::triggered, pause, &QToolButton::toggle);
    }
    menu.exec(event->globalPos());
}

void VyrBusStatistic::write_configuration(QtbConfig *config)
{
    QtbConfigGroup *group = write_base_configuration(config);
    QHeaderView *header = m_list->header();
    for (int column = 0; column < column_count; ++column)
        group->write_int(key("col_width_", column), header->sectionSize(m_sections[column]));
    for (int column = 0; column < column_count; ++column)
        group->write_int(key("col_index_", column), header->visualIndex(m_sections[column]));
}

void VyrBusStatistic::read_configuration(QtbConfigGroup *group)
{
    read_base_configuration(group);
    QHeaderView *header = m_list->header();
    for (int column = 0; column < column_count; ++column)
        header->resizeSection(m_sections[column],
                              group->read_int(key("col_width_", column), header->sectionSize(m_sections[column])));
    std::array<int, column_count> index{};
    for (int column = 0; column < column_count; ++column)
        index[column] = group->read_int(key("col_index_", column), column);
    for (int column = 0; column < column_count; ++column)
        if (index[column] >= 0 && index[column] < column_count)
            header->moveSection(header->visualIndex(m_sections[column]), index[column]);
}

VyrDataWindow *VyrBusStatistic::create(QWidget *parent, QtbConfigGroup *group)
{
    auto *window = new VyrBusStatistic(parent);
    if (group)
        window->read_configuration(group);
    return window;
}
