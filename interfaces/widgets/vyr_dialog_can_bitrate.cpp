#include "interfaces/widgets/vyr_dialog_can_bitrate.h"

#include "core/candb_file_format.h"
#include "core/path_util.h"
#include "core/vyr_signal_if.h"
#include "forms/vyr_bit_pattern_edit.h"
#include "forms/vyr_help_request.h"
#include "interfaces/can/id_formatter.h"
#include "interfaces/can/vyr_acceptance_filter.h"
#include "interfaces/can/vyr_can_if.h"
#include "interfaces/widgets/interface_dialog_services.h"
#include "settings/debug_trace.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QCursor>
#include <QDir>
#include <QDoubleValidator>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QSignalBlocker>

#include <cmath>
#include <memory>

namespace {

constexpr const char *not_assigned = VyrCanIf::not_assigned_channel;
constexpr const char *no_plugin = "*** None ***";
constexpr uint32_t standard_id_mask = 0x7FF;
constexpr uint32_t extended_id_mask = 0x1FFFFFFF;

struct FixedBitrate
{
    QRadioButton *DialogCANBitrateBase::*button;
    int bitrate;
};
constexpr FixedBitrate fixed_bitrates[] = {
    {&DialogCANBitrateBase::rb_1mb, 1000000},  {&DialogCANBitrateBase::rb_500kb, 500000},
    {&DialogCANBitrateBase::rb_250kb, 250000}, {&DialogCANBitrateBase::rb_125kb, 125000},
    {&DialogCANBitrateBase::rb_100kb, 100000}, {&DialogCANBitrateBase::rb_83kb, 83333},
};

QValidator *hex_validator(QObject *parent)
{
    return new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9a-fA-F]*")), parent);
}

// The hexadecimal number of the field; false for an empty field.
bool read_hex(const QLineEdit *field, uint32_t &value)
{
    bool ok = false;
    value = field->text().toUInt(&ok, 16);
    return ok;
}

void write_hex(QLineEdit *field, uint32_t value)
{
    const QSignalBlocker blocker(field);
    field->setText(QString::number(value, 16));
}

// Makes the item whose text reads as the number current; none leaves the current one.
void select_number(QComboBox *combo, int number)
{
    const int index = combo->findText(QString::number(number));
    if (index >= 0)
        combo->setCurrentIndex(index);
}

// As select_number, adding the number as an item when it is missing, so that a
// stored value that the list does not offer is read back unchanged.
void select_or_add_number(QComboBox *combo, int number)
{
    if (combo->findText(QString::number(number)) < 0)
        combo->addItem(QString::number(number));
    select_number(combo, number);
}

// The combo box's current text as a number; 0 for "ANY" and for text that is no number.
int current_number(const QComboBox *combo)
{
    return qMax(0, combo->currentText().toInt());
}

void fill_numbers(QComboBox *combo, int first, int last)
{
    combo->clear();
    for (int i = first; i <= last; ++i)
        combo->addItem(QString::number(i));
    // As wide as its widest number: the form sized it for one digit.
    combo->setSizeAdjustPolicy(QComboBox::AdjustToContents);
}

bool is_can_type(const VyrSignalIf *signal_if)
{
    const std::string type = signal_if->type_name();
    return type == "CAN" || type == "CAN-RX";
}

QString absolute_path(const QString &path)
{
    return QFileInfo(path).absoluteFilePath();
}

// The path relative to the current directory, or empty when it cannot be made so.
QString relative_path(const QString &path)
{
    QFileInfo file(path);
    if (make_path_relative(file, QDir::currentPath()) != 1)
        return QString();
    return file.filePath();
}

QAction *add_action(QMenu *menu, const QString &text, const char *name, bool enabled)
{
    QAction *action = menu->addAction(text);
    action->setObjectName(QLatin1String(name));
    action->setEnabled(enabled);
    return action;
}

} // namespace

VyrDialogCANBitrate::VyrDialogCANBitrate(QWidget *parent, const char *name, bool modal, Qt::WindowFlags flags)
    : DialogCANBitrateBase(parent, name, modal, flags)
{
    if (parent)
        setWindowIcon(parent->windowIcon());
    le_script_file->setReadOnly(true);
    lb_candb_files->clear();
    cb_can_channel->addItem(QString::fromLatin1(not_assigned));
    cb_can_channel->addItems(VyrCanIf::channel_name_list(0, true));
    // The field is read with a decimal point whatever the user's locale.
    auto *kbits_validator = new QDoubleValidator(le_other_bitrate);
    kbits_validator->setLocale(QLocale::c());
    le_other_bitrate->setValidator(kbits_validator);
    for (QLineEdit *field : {le_btr0, le_btr1}) {
        field->setValidator(hex_validator(field));
        field->setMaxLength(2);
    }
    for (bool extended : {false, true}) {
        const FilterFields fields = filter_fields(extended);
        for (QLineEdit *field : {fields.code, fields.mask}) {
            field->setValidator(hex_validator(field));
            field->setMaxLength(extended ? 8 : 3);
        }
        fields.bits->setText(can_empty_bit_pattern(extended));
        for (QLineEdit *field : {fields.code, fields.mask, static_cast<QLineEdit *>(fields.bits)}) {
            QFont font(QStringLiteral("Courier"), 8);
            font.setStyleHint(QFont::TypeWriter);
            field->setFont(font);
        }
    }
    rb_bus_params->setChecked(true);
    rb_1mb->setChecked(true);
    rb_sam1->setChecked(true);
    rb_normal_mode->setChecked(true);
    cb_protocol_plugin->addItem(QString::fromLatin1(no_plugin));
    for (const char *formatter = first_id_formatter_name(); formatter; formatter = next_id_formatter_name())
        cb_protocol_plugin->addItem(QString::fromUtf8(formatter));
    connect_slots();

    cb_brs_clock->clear();
    for (int mhz : brs_clocks_mhz)
        cb_brs_clock->addItem(QStringLiteral("%1MHz").arg(mhz));
    fill_numbers(cb_brs_prescaler, 1, 2);
    fill_numbers(cb_brs_tseg1, 1, 255);
    fill_numbers(cb_brs_tseg2, 1, 255);
    brs_settings_changed();
    // Every tab in sight: the dialog grows to its row of tabs instead of hiding some behind arrows.
    tab_settings->setUsesScrollButtons(false);
    build_partner_list();
    can_channel_changed();
    enter_bus_params();
    find_timing(0, 75);
    bitrate_changed();
    active_changed();
    show_status();
    connect_help_to_main_widget(this);
}

void VyrDialogCANBitrate::connect_slots()
{
    for (const FixedBitrate &fixed : fixed_bitrates)
        connect(this->*fixed.button, &QRadioButton::clicked, this, &VyrDialogCANBitrate::bitrate_changed);
    connect(rb_other_bitrate, &QRadioButton::clicked, this, &VyrDialogCANBitrate::bitrate_changed);
    connect(le_other_bitrate, &QLineEdit::textChanged, this, &VyrDialogCANBitrate::bitrate_changed);
    connect(rb_bus_params, &QRadioButton::clicked, this, &VyrDialogCANBitrate::enter_bus_params);
    connect(rb_chip_params, &QRadioButton::clicked, this, &VyrDialogCANBitrate::enter_chip_params);
    connect(rb_normal_mode, &QRadioButton::clicked, this, &VyrDialogCANBitrate::normal_clicked);
    connect(rb_silent_mode, &QRadioButton::clicked, this, &VyrDialogCANBitrate::silent_clicked);
    connect(cb_prescaler, qOverload<int>(&QComboBox::activated), this, &VyrDialogCANBitrate::prescaler_changed);
    connect(cb_sample_point, qOverload<int>(&QComboBox::activated), this, &VyrDialogCANBitrate::sample_point_changed);
    connect(cb_sjw, qOverload<int>(&QComboBox::activated), this, &VyrDialogCANBitrate::sjw_changed);
    connect(cb_can_channel, qOverload<int>(&QComboBox::activated), this, &VyrDialogCANBitrate::can_channel_changed);
    connect(rb_sam1, &QRadioButton::clicked, this, &VyrDialogCANBitrate::samples_changed);
    connect(rb_sam3, &QRadioButton::clicked, this, &VyrDialogCANBitrate::samples_changed);
    connect(cb_activate, &QCheckBox::clicked, this, &VyrDialogCANBitrate::active_changed);
    connect(cb_connect_to_can_channel, &QCheckBox::clicked, this, &VyrDialogCANBitrate::active_changed);
    connect(le_btr0, &QLineEdit::textChanged, this, &VyrDialogCANBitrate::show_status);
    connect(le_btr1, &QLineEdit::textChanged, this, &VyrDialogCANBitrate::show_status);
    connect(cb_std_block_all, &QCheckBox::clicked, this, &VyrDialogCANBitrate::show_status);
    connect(cb_ext_block_all, &QCheckBox::clicked, this, &VyrDialogCANBitrate::show_status);
    for (QLineEdit *field : {static_cast<QLineEdit *>(le_std_bits), le_std_code, le_std_mask})
        connect(field, &QLineEdit::textChanged, this, &VyrDialogCANBitrate::std_filter_changed);
    for (QLineEdit *field : {static_cast<QLineEdit *>(le_ext_bits), le_ext_code, le_ext_mask})
        connect(field, &QLineEdit::textChanged, this, &VyrDialogCANBitrate::ext_filter_changed);
    connect(pb_std_pass_all, &QPushButton::clicked, this, &VyrDialogCANBitrate::std_pass_all);
    connect(pb_ext_pass_all, &QPushButton::clicked, this, &VyrDialogCANBitrate::ext_pass_all);
    connect(pb_std_extend, &QPushButton::clicked, this, &VyrDialogCANBitrate::std_extend_by_id);
    connect(pb_ext_extend, &QPushButton::clicked, this, &VyrDialogCANBitrate::ext_extend_by_id);
    connect(pb_select_script, &QPushButton::clicked, this, &VyrDialogCANBitrate::open_script_file_dialog);
    connect(pb_select_candb, &QPushButton::clicked, this, &VyrDialogCANBitrate::open_candb_file_dialog);
    connect(pb_popup_script, &QPushButton::clicked, this, &VyrDialogCANBitrate::open_script_context_menu);
    connect(pb_popup_candb, &QPushButton::clicked, this, &VyrDialogCANBitrate::open_candb_context_menu);
    lb_candb_files->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(lb_candb_files, &QListWidget::customContextMenuRequested, this,
            &VyrDialogCANBitrate::open_candb_listbox_context_menu);
    connect(cb_canfd_enable, &QCheckBox::clicked, this, &VyrDialogCANBitrate::brs_settings_changed);
    for (QComboBox *combo : {cb_brs_clock, cb_brs_prescaler, cb_brs_tseg1, cb_brs_tseg2, cb_brs_sjw})
        connect(combo, qOverload<int>(&QComboBox::activated), this, &VyrDialogCANBitrate::brs_settings_changed);
    connect(pb_help, &QPushButton::clicked, this, &VyrDialogCANBitrate::help_context);
}

// --- Filling and reading back -----------------------------------------------------------

void VyrDialogCANBitrate::set_caption(const QString &caption)
{
    setWindowTitle(caption);
}

void VyrDialogCANBitrate::set_canfd_mode(int mode)
{
    cb_canfd_mode->setCurrentIndex(mode == 1 ? 1 : 0);
}

void VyrDialogCANBitrate::set_brs_timing(bool enabled, int clock, int prescaler, int tseg1, int tseg2, int sjw)
{
    cb_canfd_enable->setChecked(enabled);
    m_brs_clock = clock;
    m_brs_prescaler = prescaler;
    m_brs_tseg1 = tseg1;
    m_brs_tseg2 = tseg2;
    m_brs_sjw = sjw;
    for (int i = 0; i < int(std::size(brs_clocks_mhz)); ++i)
        if (brs_clocks_mhz[i] == clock / 1000000)
            cb_brs_clock->setCurrentIndex(i);
    select_or_add_number(cb_brs_prescaler, prescaler);
    select_or_add_number(cb_brs_tseg1, tseg1);
    select_or_add_number(cb_brs_tseg2, tseg2);
    select_or_add_number(cb_brs_sjw, sjw);
    brs_settings_changed();
    set_clock(enabled ? unsigned(clock) : classic_clock, enabled);
}

void VyrDialogCANBitrate::set_timing(int bitrate, int tseg1, int tseg2, int sjw, int samples)
{
    const int target = m_sample_point;
    m_bitrate = bitrate;
    m_tseg1 = tseg1;
    m_tseg2 = tseg2;
    m_sjw = sjw;
    m_samples = samples;
    find_timing(0, target);
    const int quanta = tseg1 + tseg2 + 1;
    const int given_sample_point = quanta > 0 ? ((tseg1 + 1) * 100) / quanta : 0;
    int prescaler = 0;
    if (quanta > 0 && bitrate > 0) {
        const uint64_t divisor = uint64_t(bitrate) * uint64_t(quanta);
        prescaler = int(qMin<uint64_t>(m_clock / divisor, 65));
    }
    if (prescaler < 1 || prescaler > 64)
        prescaler = 0;
    find_timing(prescaler, given_sample_point);
    // The search may pick another split with the same truncated sample
    // point; a given timing that reaches the bitrate stays as it was.
    if (m_timing_found && prescaler != 0 &&
        can_bitrate_from_timing(long(m_clock), prescaler, tseg1, tseg2) == bitrate &&
        uint64_t(prescaler) * uint64_t(quanta) * uint64_t(bitrate) == m_clock) {
        m_tseg1 = tseg1;
        m_tseg2 = tseg2;
        m_prescaler = prescaler;
        m_sample_point = given_sample_point;
    }
    select_number(cb_prescaler, m_prescaler);
    select_number(cb_sample_point, m_sample_point);
    show_bitrate();
    show_sjw();
    show_samples();
    show_status();
}

void VyrDialogCANBitrate::set_silent(bool silent)
{
    m_silent = silent;
    show_status();
}

void VyrDialogCANBitrate::select_channel(const QString &channel, const QString &user_name)
{
    if (!user_name.isEmpty()) {
        const QString suffix = QStringLiteral(" [%1]").arg(user_name);
        for (int i = 0; i < cb_can_channel->count(); ++i) {
            if (cb_can_channel->itemText(i).endsWith(suffix)) {
                cb_can_channel->setCurrentIndex(i);
                return;
            }
        }
    }
    for (int i = 0; i < cb_can_channel->count(); ++i) {
        const QString item = cb_can_channel->itemText(i);
        if (item == channel || item.startsWith(channel + QStringLiteral(" ["))) {
            cb_can_channel->setCurrentIndex(i);
            return;
        }
    }
    if (channel.isEmpty())
        return;
    // A configured channel that is missing now (its card is not plugged in)
    // stays the interface's channel unless the user picks another.
    const QString item = user_name.isEmpty() ? channel : QStringLiteral("%1 [%2]").arg(channel, user_name);
    cb_can_channel->addItem(item);
    cb_can_channel->setCurrentIndex(cb_can_channel->count() - 1);
}

void VyrDialogCANBitrate::show_script_file(const QString &file)
{
    le_script_file->setText(file);
}

void VyrDialogCANBitrate::add_database_file(const QString &file)
{
    if (!file.isEmpty())
        lb_candb_files->addItem(file);
}

void VyrDialogCANBitrate::set_interface(VyrCanIf *signal_if)
{
    m_interface = signal_if;
    can_channel_changed();
    build_partner_list();
    active_changed();
}

void VyrDialogCANBitrate::build_partner_list()
{
    combo_connect_channel_list->clear();
    m_partners.clear();
    for (VyrSignalIf *signal_if = get_first_signal_if(); signal_if; signal_if = signal_if->next()) {
        if (!is_can_type(signal_if) || signal_if == m_interface)
            continue;
        m_partners.insert(combo_connect_channel_list->count(), static_cast<VyrCanIf *>(signal_if));
        combo_connect_channel_list->addItem(QString::fromStdString(signal_if->name()));
    }
}

void VyrDialogCANBitrate::set_connect_to(const QString &interface_id)
{
    if (interface_id.isEmpty()) {
        cb_connect_to_can_channel->setChecked(false);
        return;
    }
    for (auto partner = m_partners.cbegin(); partner != m_partners.cend(); ++partner) {
        if (QString::fromStdString(partner.value()->make_id()) == interface_id) {
            combo_connect_channel_list->setCurrentIndex(partner.key());
            cb_connect_to_can_channel->setChecked(true);
            active_changed();
            return;
        }
    }
}

void VyrDialogCANBitrate::set_active(bool active)
{
    cb_activate->setChecked(active);
    active_changed();
}

void VyrDialogCANBitrate::set_filters(const VyrAcceptanceFilter *standard, const VyrAcceptanceFilter *extended)
{
    for (const VyrAcceptanceFilter *filter : {standard, extended}) {
        if (!filter)
            continue;
        const FilterFields fields = filter_fields(filter == extended);
        write_filter(fields, filter->code, filter->mask);
        fields.block_all->setChecked(filter->block_all);
    }
    show_status();
}

void VyrDialogCANBitrate::set_protocol_plugin(const QString &name)
{
    const int index = cb_protocol_plugin->findText(name);
    if (index >= 0)
        cb_protocol_plugin->setCurrentIndex(index);
}

bool VyrDialogCANBitrate::run()
{
    return exec() == QDialog::Accepted;
}

void VyrDialogCANBitrate::get_filters(VyrAcceptanceFilter &standard, VyrAcceptanceFilter &extended) const
{
    for (VyrAcceptanceFilter *filter : {&standard, &extended}) {
        const FilterFields fields = filter_fields(filter == &extended);
        // Three or eight hex digits hold more bits than an identifier has.
        const uint32_t id_mask = fields.extended ? extended_id_mask : standard_id_mask;
        read_hex(fields.code, filter->code);
        read_hex(fields.mask, filter->mask);
        filter->code &= id_mask;
        filter->mask &= id_mask;
        filter->block_all = fields.block_all->isChecked();
    }
}

bool VyrDialogCANBitrate::canfd_enabled() const
{
    return cb_canfd_enable->isChecked();
}

int VyrDialogCANBitrate::canfd_mode() const
{
    return cb_canfd_mode->currentIndex() == 1 ? 1 : 0;
}

bool VyrDialogCANBitrate::active() const
{
    return cb_activate->isChecked();
}

QString VyrDialogCANBitrate::channel(QString &user_name) const
{
    static const QRegularExpression with_user_name(QStringLiteral("^(.*) \\[([a-zA-Z0-9_ \\?\\-$!.:,;%#+\\*]*)\\]$"));
    const QString item = cb_can_channel->currentText();
    const QRegularExpressionMatch match = with_user_name.match(item);
    if (!match.hasMatch()) {
        user_name.clear();
        return item;
    }
    user_name = match.captured(2);
    return match.captured(1);
}

QString VyrDialogCANBitrate::script_file() const
{
    return le_script_file->text();
}

QString VyrDialogCANBitrate::connect_to() const
{
    if (!cb_connect_to_can_channel->isChecked())
        return QString();
    VyrCanIf *partner = m_partners.value(combo_connect_channel_list->currentIndex());
    return partner ? QString::fromStdString(partner->make_id()) : QString();
}

QString VyrDialogCANBitrate::protocol_plugin() const
{
    if (cb_protocol_plugin->currentIndex() <= 0)
        return QString();
    return cb_protocol_plugin->currentText();
}

int VyrDialogCANBitrate::database_file_count() const
{
    return lb_candb_files->count();
}

QString VyrDialogCANBitrate::database_file(int index) const
{
    const QListWidgetItem *item = lb_candb_files->item(index);
    return item ? item->text() : QString();
}

// --- Bit timing -------------------------------------------------------------------------

void VyrDialogCANBitrate::show_timing_lists(const CanTimingSearch &search, bool prescalers, int selected_sample_point)
{
    cb_sample_point->clear();
    for (int sample_point : search.sample_points)
        cb_sample_point->addItem(QString::number(sample_point));
    const int index = cb_sample_point->findText(QString::number(selected_sample_point));
    cb_sample_point->setCurrentIndex(index >= 0 ? index : 0);
    if (!prescalers)
        return;
    cb_prescaler->clear();
    if (search.prescalers.size() > 1)
        cb_prescaler->addItem(QStringLiteral("ANY"));
    for (int prescaler : search.prescalers)
        cb_prescaler->addItem(QString::number(prescaler));
}

int VyrDialogCANBitrate::find_timing(int prescaler, int target_sample_point)
{
    if (m_bitrate < can_min_search_bitrate || m_bitrate > can_max_search_bitrate) {
        m_timing_found = false;
        return -1;
    }
    const CanTimingSearch search =
        can_find_timing(m_clock, m_bitrate, prescaler, target_sample_point, cb_canfd_enable->isChecked());
    show_timing_lists(search, prescaler == 0, search.sample_point);
    m_timing_found = search.found;
    if (!search.found) {
        m_tseg1 = m_tseg2 = m_prescaler = 0;
        return -1;
    }
    m_tseg1 = search.tseg1;
    m_tseg2 = search.tseg2;
    m_prescaler = search.prescaler;
    m_bitrate = search.bitrate;
    m_sample_point = search.sample_point;
    return 0;
}

void VyrDialogCANBitrate::bitrate_changed()
{
    if (!rb_bus_params->isChecked())
        return;
    le_other_bitrate->setEnabled(rb_other_bitrate->isChecked());
    int bitrate = 0;
    for (const FixedBitrate &fixed : fixed_bitrates)
        if ((this->*fixed.button)->isChecked())
            bitrate = fixed.bitrate;
    if (rb_other_bitrate->isChecked()) {
        // Only 5 to 1000 kbit/s are taken, so that no typed number
        // overflows the conversion; the small addend keeps a decimal
        // fraction such as 33.333 from losing its last bit/s.
        bool ok = false;
        const double kbits = le_other_bitrate->text().toDouble(&ok);
        bitrate = ok && kbits >= 5.0 && kbits <= 1000.0 ? int(std::floor(kbits * 1000.0 + 1e-6)) : 0;
    }
    if (bitrate == m_bitrate && m_timing_found)
        return;
    // Without a timing the bitrate stays as asked: another clock may reach it.
    m_bitrate = bitrate;
    find_timing(0, 75);
    update_ok();
    show_status();
}

void VyrDialogCANBitrate::prescaler_changed()
{
    find_timing(current_number(cb_prescaler), 75);
    show_status();
}

void VyrDialogCANBitrate::sample_point_changed()
{
    find_timing(current_number(cb_prescaler), current_number(cb_sample_point));
    show_status();
}

void VyrDialogCANBitrate::sjw_changed()
{
    if (rb_chip_params->isChecked())
        return;
    m_sjw = qMax(1, current_number(cb_sjw));
    show_status();
}

void VyrDialogCANBitrate::samples_changed()
{
    if (rb_chip_params->isChecked())
        return;
    m_samples = rb_sam1->isChecked() ? 1 : 3;
    show_status();
}

void VyrDialogCANBitrate::normal_clicked()
{
    m_silent = false;
    show_status();
}

void VyrDialogCANBitrate::silent_clicked()
{
    m_silent = true;
    show_status();
}

void VyrDialogCANBitrate::show_bitrate()
{
    for (const FixedBitrate &fixed : fixed_bitrates) {
        if (fixed.bitrate == m_bitrate) {
            (this->*fixed.button)->setChecked(true);
            return;
        }
    }
    rb_other_bitrate->setChecked(true);
    const QSignalBlocker blocker(le_other_bitrate);
    le_other_bitrate->setText(QString::number(m_bitrate * 0.001, 'g', 6));
    le_other_bitrate->setEnabled(rb_bus_params->isChecked());
}

void VyrDialogCANBitrate::show_sjw()
{
    m_sjw = qBound(1, m_sjw, cb_sjw->count());
    cb_sjw->setCurrentIndex(m_sjw - 1);
}

void VyrDialogCANBitrate::show_samples()
{
    (m_samples == 3 ? rb_sam3 : rb_sam1)->setChecked(true);
}

void VyrDialogCANBitrate::set_clock(unsigned clock, bool wide_sjw)
{
    const bool mode_changed = wide_sjw != m_wide_sjw;
    if (mode_changed) {
        m_wide_sjw = wide_sjw;
        fill_numbers(cb_sjw, 1, wide_sjw ? 16 : 4);
        show_sjw();
    }
    // The limits of the search follow CAN FD too, so a changed mode searches again.
    if (clock != m_clock || mode_changed) {
        m_clock = clock;
        find_timing(0, 75);
        show_status();
    }
}

void VyrDialogCANBitrate::brs_settings_changed()
{
    const bool fd = cb_canfd_enable->isChecked();
    rb_chip_params->setEnabled(!fd && rb_bus_params->isEnabled());
    for (QComboBox *combo : {cb_brs_clock, cb_brs_prescaler, cb_brs_tseg1, cb_brs_tseg2, cb_brs_sjw})
        combo->setEnabled(fd);
    if (!fd) {
        tl_brs_bitrate->setText(QStringLiteral(" --- "));
        tl_brs_sample_point->setText(QStringLiteral(" --- "));
        set_clock(classic_clock, false);
        return;
    }
    const int clock_index = cb_brs_clock->currentIndex();
    const int mhz = clock_index >= 0 && clock_index < int(std::size(brs_clocks_mhz)) ? brs_clocks_mhz[clock_index] : 16;
    m_brs_clock = mhz * 1000000;
    m_brs_tseg1 = current_number(cb_brs_tseg1);
    m_brs_tseg2 = current_number(cb_brs_tseg2);
    m_brs_prescaler = current_number(cb_brs_prescaler);
    m_brs_sjw = current_number(cb_brs_sjw);
    debug_trace("BRS: clock=%d prescaler=%d tseg1=%d tseg2=%d sjw=%d", m_brs_clock, m_brs_prescaler, m_brs_tseg1,
                m_brs_tseg2, m_brs_sjw);
    const long data_bitrate = can_bitrate_from_timing(m_brs_clock, m_brs_prescaler, m_brs_tseg1, m_brs_tseg2);
    const QString number = QString::number(data_bitrate);
    QString text;
    if (number.endsWith(QLatin1String("000000")))
        text = number.left(number.length() - 6) + QStringLiteral(" Mbit/s");
    else if (number.endsWith(QLatin1String("000")))
        text = number.left(number.length() - 3) + QStringLiteral(" kbit/s");
    else
        text = number + QStringLiteral(" bit/s");
    tl_brs_bitrate->setText(text + QStringLiteral("  (") + number + QLatin1Char(')'));
    tl_brs_sample_point->setText(QStringLiteral("%1 %").arg(can_sample_point(m_brs_tseg1, m_brs_tseg2)));
    set_clock(unsigned(m_brs_clock), true);
}

void VyrDialogCANBitrate::show_status()
{
    const bool chip = rb_chip_params->isChecked();
    if (chip) {
        uint32_t btr0 = 0;
        uint32_t btr1 = 0;
        m_btr_valid = read_hex(le_btr0, btr0) && read_hex(le_btr1, btr1);
        // Valid registers are a timing to go on from in bus-parameter mode.
        m_timing_found = m_btr_valid;
        if (!m_btr_valid) {
            m_bitrate = m_tseg1 = m_tseg2 = m_prescaler = 0;
        } else {
            const CanBusTiming timing = can_decode_btr(btr0, btr1);
            m_prescaler = timing.prescaler;
            m_sjw = timing.sjw;
            m_tseg1 = timing.tseg1;
            m_tseg2 = timing.tseg2;
            m_samples = timing.samples;
            const int quanta = m_tseg1 + m_tseg2 + 1;
            m_bitrate = int((m_clock / unsigned(m_prescaler)) / unsigned(quanta));
            m_sample_point = ((m_tseg1 + 1) * 100) / quanta;
            // The lists follow the registers; the typed split stays as it is.
            const CanTimingSearch search =
                can_find_timing(m_clock, m_bitrate, m_prescaler, m_sample_point, cb_canfd_enable->isChecked());
            show_timing_lists(search, false, m_sample_point);
            select_number(cb_prescaler, m_prescaler);
            show_bitrate();
            show_sjw();
            show_samples();
        }
    }
    const bool shown = chip ? m_btr_valid : m_timing_found;
    l_bitrate->setText(QString::number(shown ? m_bitrate : 0));
    l_tseg1->setText(QString::number(shown ? m_tseg1 : 0));
    l_tseg2->setText(QString::number(shown ? m_tseg2 : 0));
    l_prescaler->setText(QString::number(shown ? m_prescaler : 0));
    l_sample_point->setText(QStringLiteral("%1 %").arg(m_sample_point));
    l_sjw->setText(QString::number(m_sjw));
    l_samples->setText(QString::number(m_samples));
    rb_normal_mode->setChecked(!m_silent);
    rb_silent_mode->setChecked(m_silent);
    if (!chip) {
        unsigned btr0 = 0;
        unsigned btr1 = 0;
        can_encode_btr({m_prescaler, m_sjw, m_tseg1, m_tseg2, m_samples}, btr0, btr1);
        write_hex(le_btr0, btr0);
        write_hex(le_btr1, btr1);
    }
    show_filter_status();
}

void VyrDialogCANBitrate::enter_bus_params()
{
    gb_canfd->setEnabled(true);
    rb_bus_params->setChecked(true);
    rb_chip_params->setChecked(false);
    gb_bitrate->setEnabled(true);
    gb_timing->setEnabled(true);
    gb_samples->setEnabled(true);
    gb_chip_params->setEnabled(false);
    show_status();
    active_changed();
}

void VyrDialogCANBitrate::enter_chip_params()
{
    gb_canfd->setEnabled(false);
    rb_bus_params->setChecked(false);
    rb_chip_params->setChecked(true);
    gb_bitrate->setEnabled(false);
    gb_timing->setEnabled(false);
    gb_samples->setEnabled(false);
    gb_chip_params->setEnabled(true);
    show_status();
    active_changed();
}

void VyrDialogCANBitrate::active_changed()
{
    const bool is_active = cb_activate->isChecked();
    cb_connect_to_can_channel->setEnabled(is_active && !m_partners.isEmpty());
    if (!cb_connect_to_can_channel->isEnabled())
        cb_connect_to_can_channel->setChecked(false);
    const bool connected = cb_connect_to_can_channel->isChecked();
    combo_connect_channel_list->setEnabled(is_active && connected);
    for (QWidget *widget : std::initializer_list<QWidget *>{lb_candb_files, le_script_file, pb_select_script,
                                                            pb_select_candb, pb_popup_script, pb_popup_candb})
        widget->setEnabled(is_active && !connected);
    for (QWidget *widget : std::initializer_list<QWidget *>{cb_can_channel, gb_std, gb_ext, rb_normal_mode,
                                                            rb_silent_mode, cb_protocol_plugin})
        widget->setEnabled(is_active);
    const bool own_timing = is_active && m_primary;
    rb_bus_params->setEnabled(own_timing);
    for (QWidget *widget : std::initializer_list<QWidget *>{gb_bitrate, gb_timing, gb_samples})
        widget->setEnabled(own_timing && rb_bus_params->isChecked());
    gb_canfd->setEnabled(is_active && !rb_chip_params->isChecked());
    rb_chip_params->setEnabled(own_timing && !cb_canfd_enable->isChecked());
    gb_chip_params->setEnabled(own_timing && rb_chip_params->isChecked());
    update_ok();
}

bool VyrDialogCANBitrate::valid() const
{
    const bool timing = rb_chip_params->isChecked() ? m_btr_valid : m_timing_found;
    uint32_t ignored = 0;
    for (QLineEdit *field : {le_std_code, le_std_mask, le_ext_code, le_ext_mask})
        if (!read_hex(field, ignored))
            return false;
    return timing;
}

void VyrDialogCANBitrate::update_ok()
{
    pb_ok->setEnabled(!cb_activate->isChecked() || valid());
}

void VyrDialogCANBitrate::can_channel_changed()
{
    check_primary();
}

void VyrDialogCANBitrate::check_primary()
{
    QString user_name;
    const QString name = channel(user_name);
    bool primary = true;
    // Interfaces without a channel share nothing.
    for (VyrSignalIf *signal_if = get_first_signal_if(); signal_if && signal_if != m_interface && name != not_assigned;
         signal_if = signal_if->next()) {
        if (!is_can_type(signal_if))
            continue;
        auto *first = static_cast<VyrCanIf *>(signal_if);
        if (first->channel_name() == name) {
            primary = false;
            set_timing(first->bitrate(), first->tseg1(), first->tseg2(), first->sjw(), first->samples());
            break;
        }
    }
    if (primary != m_primary) {
        m_primary = primary;
        active_changed();
    }
}

// --- Filters ----------------------------------------------------------------------------

VyrDialogCANBitrate::FilterFields VyrDialogCANBitrate::filter_fields(bool extended) const
{
    if (extended)
        return {cb_ext_block_all, le_ext_code, le_ext_mask, le_ext_bits, pb_ext_extend, true};
    return {cb_std_block_all, le_std_code, le_std_mask, le_std_bits, pb_std_extend, false};
}

void VyrDialogCANBitrate::write_filter(const FilterFields &fields, uint32_t code, uint32_t mask)
{
    write_hex(fields.code, code);
    write_hex(fields.mask, mask);
    const QSignalBlocker blocker(fields.bits);
    fields.bits->setText(can_format_bit_pattern(fields.bits->text(), code, mask, fields.extended));
}

void VyrDialogCANBitrate::filter_changed(bool extended)
{
    const FilterFields fields = filter_fields(extended);
    uint32_t code = 0;
    uint32_t mask = 0;
    if (sender() == fields.bits) {
        can_parse_bit_pattern(fields.bits->text(), extended, code, mask);
        write_hex(fields.code, code);
        write_hex(fields.mask, mask);
    } else if (read_hex(fields.code, code) && read_hex(fields.mask, mask)) {
        const QSignalBlocker blocker(fields.bits);
        fields.bits->setText(can_format_bit_pattern(fields.bits->text(), code, mask, extended));
    }
    show_filter_status();
}

void VyrDialogCANBitrate::std_filter_changed()
{
    filter_changed(false);
}

void VyrDialogCANBitrate::ext_filter_changed()
{
    filter_changed(true);
}

void VyrDialogCANBitrate::show_filter_status()
{
    for (bool extended : {false, true}) {
        const FilterFields fields = filter_fields(extended);
        const bool blocked = fields.block_all->isChecked();
        for (QLineEdit *field : {fields.code, fields.mask, static_cast<QLineEdit *>(fields.bits)})
            field->setEnabled(!blocked);
        uint32_t mask = 0;
        read_hex(fields.mask, mask);
        fields.extend->setEnabled(mask != 0 || blocked);
    }
    update_ok();
}

void VyrDialogCANBitrate::pass_all(bool extended)
{
    const FilterFields fields = filter_fields(extended);
    fields.block_all->setChecked(false);
    show_status();
    write_filter(fields, 0, 0);
    show_filter_status();
}

void VyrDialogCANBitrate::std_pass_all()
{
    pass_all(false);
}

void VyrDialogCANBitrate::ext_pass_all()
{
    pass_all(true);
}

void VyrDialogCANBitrate::extend_by_id(bool extended)
{
    const FilterFields fields = filter_fields(extended);
    const uint32_t id_mask = extended ? extended_id_mask : standard_id_mask;
    const QString text = extended ? tr("Enter extended (29bit) CAN Id, which should pass the filter:")
                                  : tr("Enter standard (11bit) CAN Id, which should pass the filter:");
    bool ok = false;
    const int id = QInputDialog::getInt(this, tr("Extend Filter by Id"), text, 0, 0, int(id_mask), 1, &ok);
    if (!ok)
        return;
    uint32_t code = 0;
    uint32_t mask = 0;
    if (fields.block_all->isChecked()) {
        fields.block_all->setChecked(false);
        code = uint32_t(id) & id_mask;
        mask = id_mask;
    } else {
        read_hex(fields.code, code);
        read_hex(fields.mask, mask);
        // The bits in which the identifier differs from the code are no
        // longer compared: every identifier that passed still passes.
        const uint32_t cleared = (code ^ uint32_t(id)) & mask & id_mask;
        code &= ~cleared;
        mask &= ~cleared;
    }
    write_filter(fields, code, mask);
    show_filter_status();
}

void VyrDialogCANBitrate::std_extend_by_id()
{
    extend_by_id(false);
}

void VyrDialogCANBitrate::ext_extend_by_id()
{
    extend_by_id(true);
}

// --- Files ------------------------------------------------------------------------------

QString VyrDialogCANBitrate::checked_file(const QString &file)
{
    if (file.isEmpty())
        return QString();
    QFile probe(file);
    if (!probe.open(QIODevice::ReadOnly)) {
        QMessageBox::critical(this, tr("Error"), tr("Unable to open file '%1' for reading !\n").arg(file));
        return QString();
    }
    const QString relative = relative_path(file);
    return relative.isEmpty() ? file : relative;
}

void VyrDialogCANBitrate::open_script_file_dialog()
{
    const QString file = checked_file(choose_interface_file(this, tr("Select Signal File"), le_script_file->text(),
                                                            tr("Script files (*.sig *.vys);;All files (*)")));
    if (!file.isEmpty())
        le_script_file->setText(file);
}

void VyrDialogCANBitrate::open_candb_file_dialog()
{
    QStringList patterns;
    for (const CANdbFileFormat *format = CANdbFileFormat::first(); format; format = format->next())
        if ((format->flags() & CANdbFileFormat::kRead) && format->extension())
            patterns << QStringLiteral("*.") + QString::fromUtf8(format->extension());
    const QString filter =
        tr("CAN Description Files") + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
    const QString file =
        checked_file(choose_interface_file(this, tr("Select CAN Description File"), database_file(0), filter));
    if (!file.isEmpty())
        lb_candb_files->addItem(file);
}

QMenu *VyrDialogCANBitrate::make_script_menu()
{
    auto *menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("menu_script"));
    const QString text = le_script_file->text();
    connect(add_action(menu, tr("Clear"), "action_clear", !text.isEmpty()), &QAction::triggered, le_script_file,
            &QLineEdit::clear);
    connect(add_action(menu, tr("Copy Selected Text to Clipboard"), "action_copy", le_script_file->hasSelectedText()),
            &QAction::triggered, le_script_file, &QLineEdit::copy);
    menu->addSeparator();
    connect(
        add_action(menu, tr("Make absolute path"), "action_absolute", !text.isEmpty() && text != absolute_path(text)),
        &QAction::triggered, this, [this, text] { le_script_file->setText(absolute_path(text)); });
    const QString relative = text.isEmpty() ? QString() : relative_path(text);
    connect(add_action(menu, tr("Make relative path"), "action_relative", !relative.isEmpty()), &QAction::triggered,
            this, [this, relative] { le_script_file->setText(relative); });
    menu->addSeparator();
    connect(add_action(menu, tr("Edit"), "action_edit", !text.isEmpty()), &QAction::triggered, this,
            [text] { edit_file_in_program(QStringLiteral("dax"), text); });
    return menu;
}

QMenu *VyrDialogCANBitrate::make_candb_menu()
{
    auto *menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("menu_candb"));
    QListWidgetItem *item = lb_candb_files->currentItem();
    const QString text = item ? item->text() : QString();
    connect(add_action(menu, tr("Clear"), "action_clear", lb_candb_files->count() > 0), &QAction::triggered,
            lb_candb_files, &QListWidget::clear);
    connect(add_action(menu, tr("Remove Item"), "action_remove", item), &QAction::triggered, this,
            [this, item] { delete lb_candb_files->takeItem(lb_candb_files->row(item)); });
    connect(add_action(menu, tr("Copy Selected Text to Clipboard"), "action_copy", item), &QAction::triggered, this,
            [text] { QApplication::clipboard()->setText(text); });
    menu->addSeparator();
    connect(add_action(menu, tr("Make absolute path"), "action_absolute", item && text != absolute_path(text)),
            &QAction::triggered, this, [item, text] { item->setText(absolute_path(text)); });
    const QString relative = text.isEmpty() ? QString() : relative_path(text);
    connect(add_action(menu, tr("Make relative path"), "action_relative", item && !relative.isEmpty()),
            &QAction::triggered, this, [item, relative] { item->setText(relative); });
    menu->addSeparator();
    connect(add_action(menu, tr("Edit"), "action_edit", item), &QAction::triggered, this,
            [text] { edit_file_in_program(QStringLiteral("quillan"), text); });
    return menu;
}

void VyrDialogCANBitrate::open_script_context_menu()
{
    std::unique_ptr<QMenu> menu(make_script_menu());
    menu->exec(QCursor::pos());
}

void VyrDialogCANBitrate::open_candb_context_menu()
{
    std::unique_ptr<QMenu> menu(make_candb_menu());
    menu->exec(QCursor::pos());
}

void VyrDialogCANBitrate::open_candb_listbox_context_menu(const QPoint &point)
{
    std::unique_ptr<QMenu> menu(make_candb_menu());
    menu->exec(lb_candb_files->viewport()->mapToGlobal(point));
}

void VyrDialogCANBitrate::help_context()
{
    emit activate_help_context(QStringLiteral("CanBitrateDialog"));
}
