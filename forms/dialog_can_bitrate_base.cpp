#include "forms/dialog_can_bitrate_base.h"

#include "core/widgets/form_support.h"
#include "forms/vyr_bit_pattern_edit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>

#include <utility>

namespace {

constexpr QSize icon_size(16, 13);

// A small black triangle pointing to the right: the menu buttons.
QPixmap arrow_icon()
{
    QPixmap pixmap(icon_size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::black);
    painter.drawPolygon(QPolygon({QPoint(5, 2), QPoint(11, 6), QPoint(5, 10)}));
    return pixmap;
}

// A yellow open folder: the file buttons.
QPixmap folder_icon()
{
    QPixmap pixmap(icon_size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setPen(QColor(128, 96, 0));
    painter.setBrush(QColor(255, 220, 64));
    painter.drawPolygon(
        QPolygon({QPoint(1, 2), QPoint(6, 2), QPoint(7, 4), QPoint(13, 4), QPoint(13, 11), QPoint(1, 11)}));
    painter.setBrush(QColor(255, 240, 128));
    painter.drawPolygon(QPolygon({QPoint(3, 6), QPoint(15, 6), QPoint(13, 11), QPoint(1, 11)}));
    return pixmap;
}

QComboBox *combo_with(QWidget *parent, const char *name)
{
    return form::named<QComboBox>(parent, name);
}

} // namespace

DialogCANBitrateBase::DialogCANBitrateBase(QWidget *parent, const char *name, bool modal, Qt::WindowFlags flags)
    : QDialog(parent, flags), image0(arrow_icon()), image1(folder_icon())
{
    setModal(modal);
    form::set_object_name(this, name, "DialogCANBitrateBase");
    QSizePolicy own_policy(QSizePolicy::Minimum, QSizePolicy::Minimum);
    own_policy.setHeightForWidth(sizePolicy().hasHeightForWidth());
    setSizePolicy(own_policy);
    setSizeGripEnabled(true);
    DialogCANBitrateBaseLayout = form::top_layout<QVBoxLayout>(this, "DialogCANBitrateBaseLayout");

    tab_settings = form::named<QTabWidget>(this, "tab_settings");
    build_global_page();
    build_bus_param_page();
    build_chip_param_page();
    build_global_filters_page();
    build_protocol_plugin_page();
    DialogCANBitrateBaseLayout->addWidget(tab_settings);

    layout22 = form::nested_layout<QHBoxLayout>("layout22");
    pb_help = form::named<QPushButton>(this, "pb_help");
    pb_help->setMinimumSize(80, 0);
    pb_help->setAutoDefault(false);
    layout22->addWidget(pb_help);
    layout22->addItem(form::horizontal_spacer(120, 20));
    pb_ok = form::named<QPushButton>(this, "pb_ok");
    pb_ok->setAutoDefault(true);
    pb_ok->setDefault(true);
    layout22->addWidget(pb_ok);
    pb_cancel = form::named<QPushButton>(this, "pb_cancel");
    pb_cancel->setMinimumSize(80, 0);
    pb_cancel->setAutoDefault(true);
    layout22->addWidget(pb_cancel);
    DialogCANBitrateBaseLayout->addLayout(layout22);

    languageChange();
    // An explicit minimum width wins over the contents' own: at least 180,
    // and never narrower than the title and the value labels need.
    gb_status->setMinimumWidth(0);
    gb_status->setMinimumWidth(qMax(180, gb_status->minimumSizeHint().width()));
    form::resize(this, QSize(559, 508));

    connect(pb_ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(pb_cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void DialogCANBitrateBase::build_global_page()
{
    tab_global = form::named<QWidget>(tab_settings, "tab_global");
    tab_globalLayout = form::top_layout<QVBoxLayout>(tab_global, "tab_globalLayout");

    cb_activate = form::named<QCheckBox>(tab_global, "cb_activate");
    tab_globalLayout->addWidget(cb_activate);

    Line1 = form::named<QFrame>(tab_global, "Line1");
    Line1->setFrameShape(QFrame::HLine);
    Line1->setFrameShadow(QFrame::Sunken);
    tab_globalLayout->addWidget(Line1);

    auto *Layout15 = form::nested_layout<QHBoxLayout>("Layout15");
    cb_connect_to_can_channel = form::named<QCheckBox>(tab_global, "cb_connect_to_can_channel");
    Layout15->addWidget(cb_connect_to_can_channel);
    combo_connect_channel_list = combo_with(tab_global, "combo_connect_channel_list");
    Layout15->addWidget(combo_connect_channel_list);
    Layout15->addItem(form::horizontal_spacer());
    tab_globalLayout->addLayout(Layout15);

    auto *Layout19 = form::nested_layout<QGridLayout>("Layout19");
    pb_popup_script = form::named<QPushButton>(tab_global, "pb_popup_script");
    pb_popup_script->setIcon(image0);
    pb_popup_script->setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Minimum);
    Layout19->addWidget(pb_popup_script, 2, 3);
    TextLabel3_3 = form::named<QLabel>(tab_global, "TextLabel3_3");
    Layout19->addWidget(TextLabel3_3, 0, 0);
    rb_normal_mode = form::named<QRadioButton>(tab_global, "rb_normal_mode");
    rb_normal_mode->setAutoExclusive(false);
    Layout19->addWidget(rb_normal_mode, 4, 1);
    TextLabel1_4 = form::named<QLabel>(tab_global, "TextLabel1_4");
    Layout19->addWidget(TextLabel1_4, 2, 0);
    rb_silent_mode = form::named<QRadioButton>(tab_global, "rb_silent_mode");
    rb_silent_mode->setAutoExclusive(false);
    Layout19->addWidget(rb_silent_mode, 3, 1);

    auto *Layout17 = form::nested_layout<QVBoxLayout>("Layout17");
    pb_select_candb = form::named<QPushButton>(tab_global, "pb_select_candb");
    pb_select_candb->setIcon(image1);
    Layout17->addWidget(pb_select_candb);
    Layout17->addItem(form::vertical_spacer());
    Layout19->addLayout(Layout17, 1, 2);

    cb_can_channel = combo_with(tab_global, "cb_can_channel");
    Layout19->addWidget(cb_can_channel, 0, 1);
    le_script_file = form::named<QLineEdit>(tab_global, "le_script_file");
    Layout19->addWidget(le_script_file, 2, 1);

    auto *Layout16 = form::nested_layout<QVBoxLayout>("Layout16");
    tl_candb = form::named<QLabel>(tab_global, "tl_candb");
    Layout16->addWidget(tl_candb);
    Layout16->addItem(form::vertical_spacer());
    Layout19->addLayout(Layout16, 1, 0);

    tl_mode = form::named<QLabel>(tab_global, "tl_mode");
    Layout19->addWidget(tl_mode, 3, 0);
    pb_select_script = form::named<QPushButton>(tab_global, "pb_select_script");
    pb_select_script->setIcon(image1);
    Layout19->addWidget(pb_select_script, 2, 2);

    auto *Layout18 = form::nested_layout<QVBoxLayout>("Layout18");
    pb_popup_candb = form::named<QPushButton>(tab_global, "pb_popup_candb");
    pb_popup_candb->setIcon(image0);
    Layout18->addWidget(pb_popup_candb);
    Layout18->addItem(form::vertical_spacer());
    Layout19->addLayout(Layout18, 1, 3);

    lb_candb_files = form::named<QListWidget>(tab_global, "lb_candb_files");
    lb_candb_files->setSizePolicy(QSizePolicy::MinimumExpanding, QSizePolicy::MinimumExpanding);
    lb_candb_files->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    lb_candb_files->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    lb_candb_files->setUniformItemSizes(true);
    Layout19->addWidget(lb_candb_files, 1, 1);
    tab_globalLayout->addLayout(Layout19);

    TextLabel4_3 = form::named<QLabel>(tab_global, "TextLabel4_3");
    TextLabel4_3->setTextFormat(Qt::RichText);
    TextLabel4_3->setWordWrap(true);
    tab_globalLayout->addWidget(TextLabel4_3);
    tab_settings->addTab(tab_global, QString());
}

void DialogCANBitrateBase::build_bus_param_page()
{
    tab_bus_param = form::named<QWidget>(tab_settings, "tab_bus_param");
    tab_bus_paramLayout = form::top_layout<QVBoxLayout>(tab_bus_param, "tab_bus_paramLayout");

    rb_bus_params = form::named<QRadioButton>(tab_bus_param, "rb_bus_params");
    rb_bus_params->setAutoExclusive(false);
    tab_bus_paramLayout->addWidget(rb_bus_params);

    auto *Layout17_2 = form::nested_layout<QHBoxLayout>("Layout17_2");
    gb_bitrate = form::named<QGroupBox>(tab_bus_param, "gb_bitrate");
    auto *bitrate_layout = form::group_layout<QVBoxLayout>(gb_bitrate);
    for (auto [button, name] :
         {std::pair{&rb_1mb, "rb_1mb"}, std::pair{&rb_500kb, "rb_500kb"}, std::pair{&rb_250kb, "rb_250kb"},
          std::pair{&rb_125kb, "rb_125kb"}, std::pair{&rb_100kb, "rb_100kb"}, std::pair{&rb_83kb, "rb_83kb"}}) {
        *button = form::named<QRadioButton>(gb_bitrate, name);
        bitrate_layout->addWidget(*button);
    }
    auto *Layout7 = form::nested_layout<QHBoxLayout>("Layout7");
    rb_other_bitrate = form::named<QRadioButton>(gb_bitrate, "rb_other_bitrate");
    Layout7->addWidget(rb_other_bitrate);
    le_other_bitrate = form::named<QLineEdit>(gb_bitrate, "le_other_bitrate");
    le_other_bitrate->setAlignment(Qt::AlignRight);
    Layout7->addWidget(le_other_bitrate);
    TextLabel1 = form::named<QLabel>(gb_bitrate, "TextLabel1");
    Layout7->addWidget(TextLabel1);
    bitrate_layout->addLayout(Layout7);
    Layout17_2->addWidget(gb_bitrate);

    auto *Layout13 = form::nested_layout<QVBoxLayout>("Layout13");
    gb_timing = form::named<QGroupBox>(tab_bus_param, "gb_timing");
    auto *timing_grid = form::group_layout<QGridLayout>(gb_timing);
    TextLabel3 = form::named<QLabel>(gb_timing, "TextLabel3");
    timing_grid->addWidget(TextLabel3, 1, 0);
    cb_sample_point = combo_with(gb_timing, "cb_sample_point");
    timing_grid->addWidget(cb_sample_point, 1, 1);
    cb_prescaler = combo_with(gb_timing, "cb_prescaler");
    timing_grid->addWidget(cb_prescaler, 0, 1);
    TextLabel2 = form::named<QLabel>(gb_timing, "TextLabel2");
    timing_grid->addWidget(TextLabel2, 0, 0);
    cb_sjw = combo_with(gb_timing, "cb_sjw");
    timing_grid->addWidget(cb_sjw, 2, 1);
    TextLabel16 = form::named<QLabel>(gb_timing, "TextLabel16");
    timing_grid->addWidget(TextLabel16, 2, 0);
    Layout13->addWidget(gb_timing);

    gb_samples = form::named<QGroupBox>(tab_bus_param, "gb_samples");
    auto *samples_layout = form::group_layout<QVBoxLayout>(gb_samples);
    rb_sam1 = form::named<QRadioButton>(gb_samples, "rb_sam1");
    samples_layout->addWidget(rb_sam1);
    rb_sam3 = form::named<QRadioButton>(gb_samples, "rb_sam3");
    samples_layout->addWidget(rb_sam3);
    Layout13->addWidget(gb_samples);
    Layout17_2->addLayout(Layout13);
    tab_bus_paramLayout->addLayout(Layout17_2);

    gb_canfd = form::named<QGroupBox>(tab_bus_param, "gb_canfd");
    auto *canfd_layout = form::group_layout<QVBoxLayout>(gb_canfd);
    auto *layout21 = form::nested_layout<QHBoxLayout>("layout21");
    cb_canfd_enable = form::named<QCheckBox>(gb_canfd, "cb_canfd_enable");
    layout21->addWidget(cb_canfd_enable);
    layout21->addItem(form::horizontal_spacer(40, 20));
    textLabel1_4 = form::named<QLabel>(gb_canfd, "textLabel1_4");
    layout21->addWidget(textLabel1_4);
    cb_canfd_mode = combo_with(gb_canfd, "cb_canfd_mode");
    layout21->addWidget(cb_canfd_mode);
    canfd_layout->addLayout(layout21);

    auto *layout23 = form::nested_layout<QGridLayout>("layout23");
    cb_brs_tseg2 = combo_with(gb_canfd, "cb_brs_tseg2");
    layout23->addWidget(cb_brs_tseg2, 0, 8);
    label_brs_sample_point = form::named<QLabel>(gb_canfd, "label_brs_sample_point");
    layout23->addWidget(label_brs_sample_point, 2, 0, 1, 4);
    cb_brs_sjw = combo_with(gb_canfd, "cb_brs_sjw");
    layout23->addWidget(cb_brs_sjw, 1, 8, 2, 1);
    textLabel2 = form::named<QLabel>(gb_canfd, "textLabel2");
    layout23->addWidget(textLabel2, 0, 7);
    textLabel3 = form::named<QLabel>(gb_canfd, "textLabel3");
    layout23->addWidget(textLabel3, 0, 2);
    textLabel4 = form::named<QLabel>(gb_canfd, "textLabel4");
    layout23->addWidget(textLabel4, 1, 0, 1, 4);
    cb_brs_tseg1 = combo_with(gb_canfd, "cb_brs_tseg1");
    layout23->addWidget(cb_brs_tseg1, 0, 6);
    tl_brs_sample_point = form::named<QLabel>(gb_canfd, "tl_brs_sample_point");
    layout23->addWidget(tl_brs_sample_point, 2, 4, 1, 2);
    textLabel1_2 = form::named<QLabel>(gb_canfd, "textLabel1_2");
    layout23->addWidget(textLabel1_2, 0, 5);
    cb_brs_clock = combo_with(gb_canfd, "cb_brs_clock");
    layout23->addWidget(cb_brs_clock, 0, 1);
    tl_brs_bitrate = form::named<QLabel>(gb_canfd, "tl_brs_bitrate");
    layout23->addWidget(tl_brs_bitrate, 1, 4, 1, 3);
    cb_brs_prescaler = combo_with(gb_canfd, "cb_brs_prescaler");
    layout23->addWidget(cb_brs_prescaler, 0, 3, 1, 2);
    textLabel8 = form::named<QLabel>(gb_canfd, "textLabel8");
    layout23->addWidget(textLabel8, 0, 0);
    textLabel1_3 = form::named<QLabel>(gb_canfd, "textLabel1_3");
    layout23->addWidget(textLabel1_3, 1, 7, 2, 1);
    canfd_layout->addLayout(layout23);
    tab_bus_paramLayout->addWidget(gb_canfd);
    tab_bus_paramLayout->addItem(form::vertical_spacer(20, 16));
    tab_settings->addTab(tab_bus_param, QString());
}

void DialogCANBitrateBase::build_chip_param_page()
{
    tab_chip_param = form::named<QWidget>(tab_settings, "tab_chip_param");
    tab_chip_paramLayout = form::top_layout<QVBoxLayout>(tab_chip_param, "tab_chip_paramLayout");

    rb_chip_params = form::named<QRadioButton>(tab_chip_param, "rb_chip_params");
    rb_chip_params->setAutoExclusive(false);
    tab_chip_paramLayout->addWidget(rb_chip_params);

    auto *layout21_2 = form::nested_layout<QHBoxLayout>("layout21_2");
    auto *Layout15_2 = form::nested_layout<QVBoxLayout>("Layout15_2");
    gb_chip_params = form::named<QGroupBox>(tab_chip_param, "gb_chip_params");
    auto *chip_layout = form::group_layout<QVBoxLayout>(gb_chip_params);
    auto *Layout35 = form::nested_layout<QHBoxLayout>("Layout35");
    TextLabel14 = form::named<QLabel>(gb_chip_params, "TextLabel14");
    Layout35->addWidget(TextLabel14);
    le_btr0 = form::named<QLineEdit>(gb_chip_params, "le_btr0");
    le_btr0->setMinimumSize(20, 0);
    le_btr0->setMaximumSize(50, 32767);
    Layout35->addWidget(le_btr0);
    TextLabel17 = form::named<QLabel>(gb_chip_params, "TextLabel17");
    Layout35->addWidget(TextLabel17);
    chip_layout->addLayout(Layout35);
    auto *Layout36 = form::nested_layout<QHBoxLayout>("Layout36");
    TextLabel15 = form::named<QLabel>(gb_chip_params, "TextLabel15");
    Layout36->addWidget(TextLabel15);
    le_btr1 = form::named<QLineEdit>(gb_chip_params, "le_btr1");
    le_btr1->setMinimumSize(10, 0);
    le_btr1->setMaximumSize(50, 32767);
    Layout36->addWidget(le_btr1);
    TextLabel18 = form::named<QLabel>(gb_chip_params, "TextLabel18");
    Layout36->addWidget(TextLabel18);
    chip_layout->addLayout(Layout36);
    Layout15_2->addWidget(gb_chip_params);
    Layout15_2->addItem(form::vertical_spacer());
    layout21_2->addLayout(Layout15_2);
    layout21_2->addItem(form::horizontal_spacer(232, 20));

    auto *layout20 = form::nested_layout<QVBoxLayout>("layout20");
    gb_status = form::named<QGroupBox>(tab_chip_param, "gb_status");
    gb_status->setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Preferred);
    gb_status->setMinimumSize(180, 0);
    auto *status_grid = form::group_layout<QGridLayout>(gb_status);
    // Created in the form's order, placed one row per value.
    l_tseg2 = form::named<QLabel>(gb_status, "l_tseg2");
    status_grid->addWidget(l_tseg2, 2, 1);
    TextLabel4 = form::named<QLabel>(gb_status, "TextLabel4");
    status_grid->addWidget(TextLabel4, 1, 0);
    l_bitrate = form::named<QLabel>(gb_status, "l_bitrate");
    status_grid->addWidget(l_bitrate, 0, 1);
    TextLabel5 = form::named<QLabel>(gb_status, "TextLabel5");
    status_grid->addWidget(TextLabel5, 2, 0);
    l_tseg1 = form::named<QLabel>(gb_status, "l_tseg1");
    status_grid->addWidget(l_tseg1, 1, 1);
    TextLabel6 = form::named<QLabel>(gb_status, "TextLabel6");
    status_grid->addWidget(TextLabel6, 3, 0);
    TextLabel1_2 = form::named<QLabel>(gb_status, "TextLabel1_2");
    status_grid->addWidget(TextLabel1_2, 0, 0);
    TextLabel1_5 = form::named<QLabel>(gb_status, "TextLabel1_5");
    status_grid->addWidget(TextLabel1_5, 4, 0);
    TextLabel2_4 = form::named<QLabel>(gb_status, "TextLabel2_4");
    status_grid->addWidget(TextLabel2_4, 6, 0);
    TextLabel3_4 = form::named<QLabel>(gb_status, "TextLabel3_4");
    status_grid->addWidget(TextLabel3_4, 5, 0);
    l_sample_point = form::named<QLabel>(gb_status, "l_sample_point");
    status_grid->addWidget(l_sample_point, 4, 1);
    l_samples = form::named<QLabel>(gb_status, "l_samples");
    status_grid->addWidget(l_samples, 5, 1);
    l_prescaler = form::named<QLabel>(gb_status, "l_prescaler");
    status_grid->addWidget(l_prescaler, 3, 1);
    l_sjw = form::named<QLabel>(gb_status, "l_sjw");
    status_grid->addWidget(l_sjw, 6, 1);
    layout20->addWidget(gb_status);
    layout20->addItem(form::vertical_spacer(20, 80));
    layout21_2->addLayout(layout20);
    tab_chip_paramLayout->addLayout(layout21_2);
    tab_settings->addTab(tab_chip_param, QString());
}

void DialogCANBitrateBase::build_global_filters_page()
{
    tab_global_filters = form::named<QWidget>(tab_settings, "tab_global_filters");
    tab_global_filtersLayout = form::top_layout<QVBoxLayout>(tab_global_filters, "tab_global_filtersLayout");

    gb_std = form::named<QGroupBox>(tab_global_filters, "gb_std");
    auto *std_grid = form::group_layout<QGridLayout>(gb_std);
    TextLabel2_2 = form::named<QLabel>(gb_std, "TextLabel2_2");
    std_grid->addWidget(TextLabel2_2, 2, 0);
    TextLabel1_3 = form::named<QLabel>(gb_std, "TextLabel1_3");
    std_grid->addWidget(TextLabel1_3, 1, 0);
    TextLabel3_2 = form::named<QLabel>(gb_std, "TextLabel3_2");
    std_grid->addWidget(TextLabel3_2, 3, 0);
    pb_std_pass_all = form::named<QPushButton>(gb_std, "pb_std_pass_all");
    std_grid->addWidget(pb_std_pass_all, 0, 2);
    pb_std_extend = form::named<QPushButton>(gb_std, "pb_std_extend");
    std_grid->addWidget(pb_std_extend, 1, 2);
    cb_std_block_all = form::named<QCheckBox>(gb_std, "cb_std_block_all");
    std_grid->addWidget(cb_std_block_all, 0, 0, 1, 2);
    le_std_bits = form::named<VyrBitPatternEdit>(gb_std, "le_std_bits");
    std_grid->addWidget(le_std_bits, 3, 1);
    auto *Layout23 = form::nested_layout<QHBoxLayout>("Layout23");
    le_std_code = form::named<QLineEdit>(gb_std, "le_std_code");
    Layout23->addWidget(le_std_code);
    TextLabel8 = form::named<QLabel>(gb_std, "TextLabel8");
    Layout23->addWidget(TextLabel8);
    Layout23->addItem(form::horizontal_spacer());
    std_grid->addLayout(Layout23, 1, 1);
    auto *Layout25 = form::nested_layout<QHBoxLayout>("Layout25");
    le_std_mask = form::named<QLineEdit>(gb_std, "le_std_mask");
    le_std_mask->setFrame(true);
    Layout25->addWidget(le_std_mask);
    TextLabel9 = form::named<QLabel>(gb_std, "TextLabel9");
    Layout25->addWidget(TextLabel9);
    Layout25->addItem(form::horizontal_spacer());
    std_grid->addLayout(Layout25, 2, 1);
    tab_global_filtersLayout->addWidget(gb_std);

    gb_ext = form::named<QGroupBox>(tab_global_filters, "gb_ext");
    auto *ext_grid = form::group_layout<QGridLayout>(gb_ext);
    TextLabel4_2 = form::named<QLabel>(gb_ext, "TextLabel4_2");
    ext_grid->addWidget(TextLabel4_2, 1, 0);
    TextLabel5_2 = form::named<QLabel>(gb_ext, "TextLabel5_2");
    ext_grid->addWidget(TextLabel5_2, 2, 0);
    TextLabel6_2 = form::named<QLabel>(gb_ext, "TextLabel6_2");
    ext_grid->addWidget(TextLabel6_2, 3, 0);
    pb_ext_pass_all = form::named<QPushButton>(gb_ext, "pb_ext_pass_all");
    ext_grid->addWidget(pb_ext_pass_all, 0, 2);
    pb_ext_extend = form::named<QPushButton>(gb_ext, "pb_ext_extend");
    ext_grid->addWidget(pb_ext_extend, 1, 2);
    le_ext_bits = new VyrBitPatternEdit(gb_ext, true);
    le_ext_bits->setObjectName(QStringLiteral("le_ext_bits"));
    ext_grid->addWidget(le_ext_bits, 3, 1, 1, 2);
    auto *Layout22 = form::nested_layout<QHBoxLayout>("Layout22");
    le_ext_mask = form::named<QLineEdit>(gb_ext, "le_ext_mask");
    Layout22->addWidget(le_ext_mask);
    TextLabel7 = form::named<QLabel>(gb_ext, "TextLabel7");
    Layout22->addWidget(TextLabel7);
    Layout22->addItem(form::horizontal_spacer());
    auto *Layout21 = form::nested_layout<QHBoxLayout>("Layout21");
    le_ext_code = form::named<QLineEdit>(gb_ext, "le_ext_code");
    Layout21->addWidget(le_ext_code);
    TextLabel6_3 = form::named<QLabel>(gb_ext, "TextLabel6_3");
    Layout21->addWidget(TextLabel6_3);
    Layout21->addItem(form::horizontal_spacer());
    ext_grid->addLayout(Layout21, 1, 1);
    ext_grid->addLayout(Layout22, 2, 1);
    cb_ext_block_all = form::named<QCheckBox>(gb_ext, "cb_ext_block_all");
    ext_grid->addWidget(cb_ext_block_all, 0, 0, 1, 2);
    tab_global_filtersLayout->addWidget(gb_ext);
    tab_settings->addTab(tab_global_filters, QString());
}

void DialogCANBitrateBase::build_protocol_plugin_page()
{
    tab_protocol_plugin = form::named<QWidget>(tab_settings, "tab_protocol_plugin");
    tab_protocol_pluginLayout = form::top_layout<QVBoxLayout>(tab_protocol_plugin, "tab_protocol_pluginLayout");
    auto *layout20_2 = form::nested_layout<QHBoxLayout>("layout20_2");
    textLabel1 = form::named<QLabel>(tab_protocol_plugin, "textLabel1");
    layout20_2->addWidget(textLabel1);
    cb_protocol_plugin = combo_with(tab_protocol_plugin, "cb_protocol_plugin");
    layout20_2->addWidget(cb_protocol_plugin);
    layout20_2->addItem(form::horizontal_spacer(40, 20));
    tab_protocol_pluginLayout->addLayout(layout20_2);
    tab_protocol_pluginLayout->addItem(form::vertical_spacer(20, 40));
    tab_settings->addTab(tab_protocol_plugin, QString());
}

void DialogCANBitrateBase::languageChange()
{
    setWindowTitle(tr("CAN Interface Configuration"));
    tab_settings->setTabText(0, tr("Global"));
    tab_settings->setTabText(1, tr("Bus Parameters"));
    tab_settings->setTabText(2, tr("Chip Parameters"));
    tab_settings->setTabText(3, tr("Global Filters"));
    tab_settings->setTabText(4, tr("Protocol Plugin"));

    cb_activate->setText(tr("&Activate this CAN channel"));
    cb_connect_to_can_channel->setText(tr("Connect to CAN channel"));
    combo_connect_channel_list->clear();
    combo_connect_channel_list->addItems({tr("CAN1"), tr("CAN2"), tr("CAN3")});
    TextLabel3_3->setText(tr("CAN Channel:"));
    cb_can_channel->setToolTip(tr("Select the CAN channel you want to use"));
    tl_candb->setText(tr("Database Files:"));
    TextLabel1_4->setText(tr("Script File:"));
    tl_mode->setText(tr("Bus Driver Mode:"));
    rb_silent_mode->setText(tr("Silent"));
    rb_normal_mode->setText(tr("Normal"));
    for (QPushButton *icon_button : {pb_select_candb, pb_popup_candb, pb_select_script, pb_popup_script})
        icon_button->setText(QString());
    TextLabel4_3->setText(
        tr("Check <i>Activate this CAN channel</i> &nbsp; if you want to use it.\n<i>Connect to CAN channel</i> "
           "&nbsp; means that you can share the receive queue\nwith another CAN channel. All CAN messages will be put "
           "into the receive\nqueue of the channel you connect to.\nIt is also possible to associate a CAN database "
           "and a script file with the CAN channel."));

    rb_bus_params->setText(tr("Enter Bus Parameters (or select the Chip Parameters tab)"));
    gb_bitrate->setTitle(tr("Bitrate Settings"));
    rb_1mb->setText(tr("1 MBit/s"));
    rb_500kb->setText(tr("500 kBit/s"));
    rb_250kb->setText(tr("250 kBit/s"));
    rb_125kb->setText(tr("125 kBit/s"));
    rb_100kb->setText(tr("100 kBit/s"));
    rb_83kb->setText(tr("83.333 kBit/s"));
    rb_other_bitrate->setText(tr("Other:"));
    TextLabel1->setText(tr("kBit/s"));
    gb_timing->setTitle(tr("Timing Settings"));
    TextLabel2->setText(tr("Prescaler"));
    TextLabel3->setText(tr("Sample Point (%)"));
    TextLabel16->setText(tr("SJW"));
    cb_sjw->clear();
    cb_sjw->addItems({tr("1"), tr("2"), tr("3"), tr("4")});
    gb_samples->setTitle(tr("Samples"));
    rb_sam1->setText(tr("1 Sample"));
    rb_sam3->setText(tr("3 Samples"));
    gb_canfd->setTitle(tr("CAN FD"));
    cb_canfd_enable->setText(tr("Enable CAN FD"));
    textLabel1_4->setText(tr("Mode:"));
    cb_canfd_mode->clear();
    cb_canfd_mode->addItems({tr("ISO"), tr("NON-ISO")});
    textLabel8->setText(tr("Clock:"));
    cb_brs_clock->clear();
    cb_brs_clock->addItems({tr("16Mhz"), tr("160Mhz")});
    textLabel3->setText(tr("Prescaler:"));
    textLabel1_2->setText(tr("TSeg1:"));
    textLabel2->setText(tr("TSeg2:"));
    for (QComboBox *combo : {cb_brs_prescaler, cb_brs_tseg1, cb_brs_tseg2, cb_brs_sjw}) {
        combo->clear();
        combo->addItems({tr("1"), tr("2"), tr("3"), tr("4")});
    }
    textLabel4->setText(tr("Resulting Bitrate:"));
    tl_brs_bitrate->setText(tr("0"));
    textLabel1_3->setText(tr("SJW:"));
    label_brs_sample_point->setText(tr("Resulting Sample Point:"));
    tl_brs_sample_point->setText(tr("0"));

    rb_chip_params->setText(tr("Enter Chip Parameters (or select the Bus Parameters tab)"));
    gb_chip_params->setTitle(tr("Chip Parameters"));
    TextLabel14->setText(tr("BTR0:"));
    TextLabel17->setText(tr("(hex)"));
    TextLabel15->setText(tr("BTR1:"));
    TextLabel18->setText(tr("(hex)"));
    gb_status->setTitle(tr("Resulting Chip Parameters"));
    TextLabel1_2->setText(tr("Bitrate:"));
    l_bitrate->setText(tr("1000"));
    TextLabel4->setText(tr("tseg1:"));
    l_tseg1->setText(tr("4"));
    TextLabel5->setText(tr("tseg2:"));
    l_tseg2->setText(tr("6"));
    TextLabel6->setText(tr("Prescaler:"));
    l_prescaler->setText(tr("16"));
    TextLabel1_5->setText(tr("Sample Point:"));
    l_sample_point->setText(tr("0"));
    TextLabel3_4->setText(tr("Samples:"));
    l_samples->setText(tr("0"));
    TextLabel2_4->setText(tr("SJW:"));
    l_sjw->setText(tr("0"));

    gb_std->setTitle(tr("Standard Identifier (11 bit)"));
    cb_std_block_all->setText(tr("Block All"));
    pb_std_pass_all->setText(tr("Pass All"));
    TextLabel1_3->setText(tr("Code:"));
    le_std_code->setText(tr("012"));
    TextLabel8->setText(tr("(hex)"));
    pb_std_extend->setText(tr("Extend by Id"));
    TextLabel2_2->setText(tr("Mask:"));
    le_std_mask->setText(tr("012"));
    TextLabel9->setText(tr("(hex)"));
    TextLabel3_2->setText(tr("Bit Field:"));
    gb_ext->setTitle(tr("Extended Identifier (29 bit)"));
    cb_ext_block_all->setText(tr("Block All"));
    pb_ext_pass_all->setText(tr("Pass All"));
    TextLabel4_2->setText(tr("Code:"));
    le_ext_code->setText(tr("01234567"));
    TextLabel6_3->setText(tr("(hex)"));
    pb_ext_extend->setText(tr("Extend by Id"));
    TextLabel5_2->setText(tr("Mask:"));
    le_ext_mask->setText(tr("01234567"));
    TextLabel7->setText(tr("(hex)"));
    TextLabel6_2->setText(tr("Bit Field:"));

    textLabel1->setText(tr("Protocol Decoder Plugin:"));

    pb_help->setText(tr("&Help"));
    pb_help->setShortcut(QKeySequence(tr("Alt+H")));
    pb_ok->setText(tr("OK"));
    pb_cancel->setText(tr("Cancel"));
}
