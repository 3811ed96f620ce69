#include "windows/signals/vyr_can_signal_table.h"

#include "core/candb_cluster.h"
#include "core/candb_message.h"
#include "settings/qtb_config.h"
#include "core/frames/vyr_can_message.h"

#include <QHeaderView>
#include <QPainter>
#include <QSignalBlocker>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

constexpr int bar_role = Qt::UserRole + 1;
constexpr int slider_steps = 1000000;

bool is_floating(const CANdbSignal &signal)
{
    return signal.value_type == CANdbRawFloat || signal.value_type == CANdbRawDouble;
}

double physical_to_raw(const CANdbSignal &signal, double physical)
{
    return signal.factor == 0.0 ? 0.0 : (physical - signal.offset) / signal.factor;
}

// Paints the range bars: a red bar from the left for the value's place in the range.
class RangeBarDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        auto *table = static_cast<QTableWidget *>(parent());
        auto *bar = dynamic_cast<SignalRangeBar *>(table->item(index.row(), index.column()));
        if (!bar) {
            QStyledItemDelegate::paint(painter, option, index);
            return;
        }
        const QRect r = option.rect;
        const QBrush brush = option.palette.brush(option.state & QStyle::State_Selected ? QPalette::Highlight
                                                                                         : QPalette::Base);
        const int width = bar->bar_width(r.width());
        painter->fillRect(QRect(r.left(), r.top(), r.width(), 4), brush);
        painter->fillRect(QRect(r.left(), r.top() + r.height() - 4, r.width(), 4), brush);
        painter->fillRect(QRect(r.left(), r.top() + 4, width, r.height() - 8), Qt::red);
        painter->fillRect(QRect(r.left() + width, r.top() + 4, r.width() - width, r.height() - 8), brush);
    }
};

} // namespace

// --- SignalTable -----------------------------------------------------------------------------

SignalTable::SignalTable(QWidget *parent, const char *name, int protected_column)
    : QTableWidget(parent), m_protected_column(protected_column)
{
    setObjectName(QString::fromLatin1(name));
}

void SignalTable::end_edit()
{
    if (QWidget *editor = indexWidget(currentIndex()))
        commitData(editor);
    if (state() == QAbstractItemView::EditingState)
        closePersistentEditor(currentItem());
    setCurrentIndex(currentIndex());
}

bool SignalTable::edit(const QModelIndex &index, EditTrigger trigger, QEvent *event)
{
    if (index.column() == m_protected_column)
        return false;
    return QTableWidget::edit(index, trigger, event);
}

// --- TableSlider -----------------------------------------------------------------------------

TableSlider::TableSlider(QWidget *parent, CANdbSignal *signal, double minimum, double maximum)
    : QSlider(Qt::Horizontal, parent), m_signal(signal)
{
    setObjectName(QStringLiteral("table_slider"));
    setRange(int(minimum), int(maximum));
    connect(this, &QSlider::valueChanged, this, &TableSlider::value_changed);
}

void TableSlider::value_changed(int value)
{
    emit signal_changed(m_signal, value);
}

// --- Items -----------------------------------------------------------------------------------

SignalNameItem::SignalNameItem(CANdbSignal *signal, CANdbMessage *message)
    : QTableWidgetItem(QString::fromStdString(signal->name)), m_signal(signal), m_message(message)
{
    setFlags(flags() & ~Qt::ItemIsEditable);
    setTextAlignment(Qt::AlignLeft | Qt::AlignVCenter);
}

SignalValueItem::SignalValueItem()
{
    setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
}

void SignalValueItem::set_value(double value)
{
    m_kind = Floating;
    setText(QString::number(value, 'g', 6));
}

void SignalValueItem::set_value(int value)
{
    m_kind = Integer;
    setText(QString::number(value));
}

void SignalValueItem::set_value(unsigned value)
{
    m_kind = Integer;
    setText(QString::number(value));
}

void SignalValueItem::set_na()
{
    m_kind = NotAvailable;
    setText(QStringLiteral("NA"));
}

QString SignalValueItem::key() const
{
    switch (m_kind) {
    case Integer:
        return QString::asprintf("%06d", text().toInt());
    case Floating:
        return QString::asprintf("%08.8g", text().toDouble());
    case NotAvailable:
        return text();
    }
    return QString();
}

bool SignalValueItem::operator<(const QTableWidgetItem &other) const
{
    if (auto *value = dynamic_cast<const SignalValueItem *>(&other))
        return key() < value->key();
    return QTableWidgetItem::operator<(other);
}

SignalRangeBar::SignalRangeBar(double value, double minimum, double maximum)
    : m_value(value), m_minimum(minimum), m_maximum(maximum)
{
    setFlags(flags() & ~Qt::ItemIsEditable);
    setData(bar_role, true);
}

void SignalRangeBar::set_value(double value)
{
    m_value = value;
    if (value < m_minimum)
        m_minimum = value;
    if (value > m_maximum)
        m_maximum = value;
    m_valid = true;
}

int SignalRangeBar::bar_width(int cell_width) const
{
    if (!m_valid)
        return 0;
    const double span = m_maximum - m_minimum == 0.0 ? 1.0 : m_maximum - m_minimum;
    const int width = int((m_value - m_minimum) / span * cell_width);
    return std::clamp(width, 0, cell_width);
}

// --- VyrCanSignalTable -----------------------------------------------------------------------

VyrCanSignalTable::VyrCanSignalTable(QWidget *parent, const char *name, bool editable)
    : QWidget(parent), m_editable(editable)
{
    setObjectName(QString::fromLatin1(name));
    setFocusPolicy(Qt::StrongFocus);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_table = new SignalTable(this, "signal_table", Range);
    layout->addWidget(m_table);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setColumnCount(5);
    m_table->setFocusPolicy(Qt::StrongFocus);
    m_table->viewport()->setFocusPolicy(Qt::StrongFocus);
    m_table->setSortingEnabled(false);
    m_table->horizontalHeader()->setSectionsClickable(true);
    connect(m_table->horizontalHeader(), &QHeaderView::sectionClicked, this, [this](int column) {
        m_table->sortItems(column, Qt::AscendingOrder);
    });
    m_table->verticalHeader()->hide();
    m_table->setItemDelegateForColumn(Range, new RangeBarDelegate(m_table));
    m_table->setHorizontalHeaderLabels({QLatin1Char(' ') + tr("Signal Name") + QStringLiteral("  "),
                                        QLatin1Char(' ') + tr("Raw Value") + QStringLiteral("  "),
                                        QLatin1Char(' ') + tr("Physical Value") + QStringLiteral("  "),
                                        QLatin1Char(' ') + tr("Unit") + QStringLiteral("  "),
                                        QLatin1Char(' ') + tr("Range") + QString(12, QLatin1Char(' '))});
    if (!editable)
        m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    connect(m_table, &QTableWidget::cellChanged, this, &VyrCanSignalTable::value_changed);
    connect(m_table->horizontalHeader(), &QHeaderView::sectionResized, this, [this](int column) {
        if (!m_fitting)
            m_user_sized.insert(column);
    });
    fit_columns();
}

void VyrCanSignalTable::fit_columns()
{
    // The range column shows a bar: its title alone sets its width.
    m_fitting = true;
    QHeaderView *header = m_table->horizontalHeader();
    for (int column = Name; column <= Range; ++column) {
        if (m_user_sized.count(column))
            continue;
        const int contents = column == Range ? 0 : m_table->contents_width(column);
        const int wanted = std::max(contents, header->sectionSizeHint(column));
        if (wanted > m_table->columnWidth(column))
            m_table->setColumnWidth(column, wanted);
    }
    m_fitting = false;
}

void VyrCanSignalTable::physical_range(const CANdbSignal &signal, double &minimum, double &maximum)
{
    minimum = signal.minimum;
    maximum = signal.maximum;
    if (maximum > minimum || std::isnan(minimum) || std::isnan(maximum))
        return;
    if (is_floating(signal)) {
        minimum = -1000.0;
        maximum = 1000.0;
        return;
    }
    const int n = std::clamp(signal.length, 1, 64);
    double raw_min = 0.0;
    double raw_max = std::ldexp(1.0, n) - 1.0;
    if (signal.value_type == CANdbRawSigned) {
        raw_min = -std::ldexp(1.0, n - 1);
        raw_max = std::ldexp(1.0, n - 1) - 1.0;
    }
    minimum = raw_min * signal.factor + signal.offset;
    maximum = raw_max * signal.factor + signal.offset;
}

void VyrCanSignalTable::clear_table()
{
    const QSignalBlocker blocker(m_table);
    m_table->clearContents();
    m_table->setCurrentCell(0, 0);
    m_table->clearSelection();
    m_table->setRowCount(0);
    m_table->viewport()->update();
}

void VyrCanSignalTable::set_candb_cluster(CANdbCluster *cluster)
{
    m_cluster = cluster;
    set_can_data(m_frame, no_key, true);
}

void VyrCanSignalTable::set_can_data(VyrCanMessage *frame, unsigned key, bool j1939)
{
    m_frame = frame;
    CANdbMessage *message = nullptr;
    if (frame && m_cluster) {
        if (key != no_key)
            message = j1939 ? m_cluster->find_message_by_j1939_key(key) : m_cluster->find_message_by_id(key);
        if (!message)
            message = m_cluster->find_message_by_id(frame->flags & VyrCanMessage::Extended ? frame->id | 0x80000000u
                                                                                            : frame->id);
    }
    message_selected(message);
}

std::vector<CANdbSignal *> VyrCanSignalTable::present_signals(const CANdbMessage &message) const
{
    if (m_frame)
        return message.present_signals(m_frame->data, m_frame->dlc);
    // Without a frame: as in a frame of zeros.
    const uint8_t zeros[VyrCanMessage::max_data] = {};
    return message.present_signals(zeros, std::clamp(message.dlc, 0, VyrCanMessage::max_data));
}

void VyrCanSignalTable::message_selected(CANdbMessage *message)
{
    if (m_editable)
        m_table->end_edit();
    std::vector<CANdbSignal *> present = message ? present_signals(*message) : std::vector<CANdbSignal *>();
    const bool rebuild = message != m_message || !message || present != m_present;
    m_message = message;
    m_present = std::move(present);
    if (rebuild) {
        clear_table();
        const QSignalBlocker blocker(m_table);
        for (CANdbSignal *signal : m_present) {
            const int row = m_table->rowCount();
            m_table->setRowCount(row + 1);
            m_table->setItem(row, Name, new SignalNameItem(signal, message));
            if (!signal->unit.empty()) {
                auto *unit = new QTableWidgetItem(QString::fromStdString(signal->unit));
                unit->setFlags(unit->flags() & ~Qt::ItemIsEditable);
                m_table->setItem(row, Unit, unit);
            }
        }
    }
    update_table_from_data();
    if (rebuild) {
        m_table->sortItems(Name, Qt::AscendingOrder);
        m_table->setCurrentCell(0, 0);
    }
    fit_columns();
}

bool VyrCanSignalTable::decode(const CANdbSignal &signal, double &raw, double &physical) const
{
    int result = -1;
    switch (signal.value_type) {
    case CANdbRawSigned: {
        int64_t value = 0;
        result = signal.decode_signed(m_frame->data, m_frame->dlc, value);
        raw = double(int32_t(value));
        break;
    }
    case CANdbRawUnsigned: {
        uint64_t value = 0;
        result = signal.decode_unsigned(m_frame->data, m_frame->dlc, value);
        raw = double(uint32_t(value));
        break;
    }
    case CANdbRawFloat:
        result = signal.decode_float(m_frame->data, m_frame->dlc, raw);
        break;
    case CANdbRawDouble:
        result = signal.decode_double(m_frame->data, m_frame->dlc, raw);
        break;
    default:
        return false;
    }
    physical = raw * signal.factor + signal.offset;
    return result == 0;
}

void VyrCanSignalTable::set_value_cell(int row, int column, double value, bool integer, bool is_unsigned, bool valid)
{
    auto *item = dynamic_cast<SignalValueItem *>(m_table->item(row, column));
    if (!item) {
        item = new SignalValueItem;
        if (!m_editable)
            item->setFlags(item->flags() & ~Qt::ItemIsEditable);
        m_table->setItem(row, column, item);
    }
    if (!valid)
        item->set_na();
    else if (!integer)
        item->set_value(value);
    else if (is_unsigned)
        item->set_value(unsigned(value));
    else
        item->set_value(int(value));
    item->setFlags(valid ? item->flags() | Qt::ItemIsEnabled : item->flags() & ~Qt::ItemIsEnabled);
}

void VyrCanSignalTable::update_table_from_data()
{
    if (!m_message || !m_frame)
        return;
    // A new multiplexor value brings other signals: the rows follow.
    if (present_signals(*m_message) != m_present) {
        message_selected(m_message);
        return;
    }
    if (m_table->rowCount() == 0)
        return;
    const QSignalBlocker table_blocker(m_table);
    for (int row = 0; row < m_table->rowCount(); ++row) {
        auto *name = dynamic_cast<SignalNameItem *>(m_table->item(row, Name));
        if (!name)
            continue;
        CANdbSignal *signal = name->signal();
        if (signal->value_type < CANdbRawSigned || signal->value_type > CANdbRawDouble)
            continue;
        double raw = 0.0;
        double physical = 0.0;
        const bool valid = decode(*signal, raw, physical);
        set_value_cell(row, Raw, raw, !is_floating(*signal), signal->value_type == CANdbRawUnsigned, valid);
        set_value_cell(row, Physical, physical, false, false, valid);
        double minimum = 0.0;
        double maximum = 0.0;
        physical_range(*signal, minimum, maximum);
        if (m_editable) {
            auto *slider = qobject_cast<TableSlider *>(m_table->cellWidget(row, Range));
            if (!slider) {
                if (is_floating(*signal))
                    slider = new TableSlider(nullptr, signal, 0, slider_steps);
                else
                    slider = new TableSlider(nullptr, signal, physical_to_raw(*signal, minimum),
                                             physical_to_raw(*signal, maximum));
                connect(slider, &TableSlider::signal_changed, this, &VyrCanSignalTable::set_signal_raw_value);
                m_table->setCellWidget(row, Range, slider);
            }
            // Set from data, the slider must not report a user move: that
            // would write its clamped value back into the frame.
            const QSignalBlocker slider_blocker(slider);
            if (is_floating(*signal))
                slider->setValue(int((physical - minimum) / (maximum - minimum) * slider_steps));
            else
                slider->setValue(int(physical_to_raw(*signal, physical)));
            slider->setEnabled(valid);
        } else {
            auto *bar = dynamic_cast<SignalRangeBar *>(m_table->item(row, Range));
            if (!bar) {
                bar = new SignalRangeBar(physical, minimum, maximum);
                m_table->setItem(row, Range, bar);
            }
            if (valid)
                bar->set_value(physical);
            else
                bar->set_invalid();
        }
    }
    fit_columns(); // values change their length
    m_table->viewport()->update();
}

void VyrCanSignalTable::encode(const CANdbSignal &signal, double raw)
{
    switch (signal.value_type) {
    case CANdbRawSigned:
        signal.encode_int(m_frame->data, m_frame->dlc, int64_t(int32_t(raw)));
        break;
    case CANdbRawUnsigned:
        signal.encode_raw(m_frame->data, m_frame->dlc, uint64_t(uint32_t(int64_t(raw))));
        break;
    default:
        signal.encode_double(m_frame->data, m_frame->dlc, raw);
    }
}

void VyrCanSignalTable::value_changed(int row, int column)
{
    if (!m_frame)
        return;
    auto *name = dynamic_cast<SignalNameItem *>(m_table->item(row, Name));
    if (!name || !name->signal() || !name->message())
        return;
    const CANdbSignal &signal = *name->signal();
    const QString text = m_table->item(row, column) ? m_table->item(row, column)->text() : QString();
    if (column == Raw) {
        if (signal.value_type == CANdbRawUnsigned)
            encode(signal, text.toUInt());
        else if (signal.value_type == CANdbRawSigned)
            encode(signal, text.toInt());
        else
            encode(signal, text.toDouble());
    } else if (column == Physical) {
        const double raw = physical_to_raw(signal, text.toDouble());
        encode(signal, is_floating(signal) ? raw : double(int(raw)));
    } else {
        return;
    }
    update_table_from_data();
    emit can_data_changed(m_frame);
}

void VyrCanSignalTable::set_signal_raw_value(CANdbSignal *signal, int value)
{
    if (!m_frame)
        return;
    m_table->end_edit();
    if (is_floating(*signal)) {
        double minimum = 0.0;
        double maximum = 0.0;
        physical_range(*signal, minimum, maximum);
        encode(*signal, physical_to_raw(*signal, (maximum - minimum) * value * 0.000001 + minimum));
    } else {
        encode(*signal, value);
    }
    update_table_from_data();
    emit can_data_changed(m_frame);
}

namespace {
const char *const width_keys[] = {"col_width_name", "col_width_raw", "col_width_phys", "col_width_unit",
                                  "col_width_range"};
}

void VyrCanSignalTable::read_configuration(QtbConfigGroup *group)
{
    m_fitting = true;
    for (int column = 0; column < 5; ++column)
        m_table->setColumnWidth(column, group->read_int(width_keys[column], m_table->columnWidth(column)));
    m_fitting = false;
    fit_columns();
}

void VyrCanSignalTable::write_configuration(QtbConfigGroup *group) const
{
    for (int column = 0; column < 5; ++column)
        group->write_int(width_keys[column], m_table->columnWidth(column));
}
