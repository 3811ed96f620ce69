#include "forms/dialog_log_to_file_base.h"

#include "core/widgets/form_support.h"

#include <QCheckBox>
#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>

namespace {

// 16 x 16: a black triangle pointing right.
const unsigned char menu_icon_png[] = {
    0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a, 0x00, 0x00, 0x00, 0x0d, 0x49, 0x48, 0x44, 0x52, 0x00, 0x00,
    0x00, 0x10, 0x00, 0x00, 0x00, 0x10, 0x08, 0x03, 0x00, 0x00, 0x00, 0x28, 0x2d, 0x0f, 0x53, 0x00, 0x00, 0x00,
    0x06, 0x50, 0x4c, 0x54, 0x45, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xa5, 0x67, 0xb9, 0xcf, 0x00, 0x00, 0x00,
    0x02, 0x74, 0x52, 0x4e, 0x53, 0x00, 0xff, 0x5b, 0x91, 0x22, 0xb5, 0x00, 0x00, 0x00, 0x24, 0x49, 0x44, 0x41,
    0x54, 0x78, 0xda, 0x63, 0x60, 0x20, 0x17, 0x30, 0x62, 0x08, 0x30, 0x62, 0x08, 0x30, 0x62, 0x08, 0x30, 0x62,
    0x08, 0x30, 0x62, 0x08, 0x30, 0x12, 0x52, 0x41, 0xc8, 0x16, 0x42, 0x2e, 0xc5, 0x03, 0x00, 0x12, 0xfd, 0x00,
    0x25, 0xf9, 0x02, 0x64, 0x69, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4e, 0x44, 0xae, 0x42, 0x60, 0x82};

// 16 x 13: an open yellow folder.
const unsigned char folder_icon_png[] = {
    0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a, 0x00, 0x00, 0x00, 0x0d, 0x49, 0x48, 0x44, 0x52, 0x00, 0x00,
    0x00, 0x10, 0x00, 0x00, 0x00, 0x0d, 0x08, 0x03, 0x00, 0x00, 0x00, 0x97, 0x65, 0x1e, 0x16, 0x00, 0x00, 0x00,
    0x0c, 0x50, 0x4c, 0x54, 0x45, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xff, 0xff, 0x99, 0xff, 0xcc, 0x00, 0x02,
    0xd6, 0x59, 0x57, 0x00, 0x00, 0x00, 0x04, 0x74, 0x52, 0x4e, 0x53, 0x00, 0xff, 0xff, 0xff, 0xb3, 0x2d, 0x40,
    0x88, 0x00, 0x00, 0x00, 0x37, 0x49, 0x44, 0x41, 0x54, 0x78, 0xda, 0x65, 0x8e, 0x41, 0x0e, 0x00, 0x20, 0x08,
    0xc3, 0xa8, 0xfe, 0xff, 0xcf, 0x4a, 0x08, 0xe8, 0xa0, 0xb7, 0x96, 0x25, 0x6a, 0x36, 0xc1, 0xf9, 0x7d, 0x39,
    0x34, 0xbf, 0x25, 0x87, 0x19, 0x6a, 0x47, 0x5d, 0xdf, 0x82, 0x9d, 0x8c, 0xe0, 0x85, 0xe6, 0x12, 0x88, 0x6f,
    0xa9, 0x1b, 0xc8, 0x1b, 0x93, 0x03, 0x66, 0xe1, 0x01, 0x06, 0x93, 0xc4, 0x39, 0xb7, 0x00, 0x00, 0x00, 0x00,
    0x49, 0x45, 0x4e, 0x44, 0xae, 0x42, 0x60, 0x82};

template <size_t size>
QPixmap png_pixmap(const unsigned char (&data)[size])
{
    QImage image;
    image.loadFromData(data, static_cast<int>(size), "PNG");
    return QPixmap::fromImage(image);
}

} // namespace

// The widgets are created in the order the keyboard focus visits them, which
// is not the order of their places in the grids.
DialogLogToFileBase::DialogLogToFileBase(QWidget *parent, const char *name, bool modal, Qt::WindowFlags flags)
    : QDialog(parent, flags), m_menu_icon(png_pixmap(menu_icon_png)), m_folder_icon(png_pixmap(folder_icon_png))
{
    setModal(modal);
    form::set_object_name(this, name, "DialogLogToFileBase");
    setSizeGripEnabled(true);
    DialogLogToFileBaseLayout = form::top_layout<QVBoxLayout>(this, "DialogLogToFileBaseLayout");

    TabWidget2 = form::named<QTabWidget>(this, "TabWidget2");

    tab = form::named<QWidget>(TabWidget2, "tab");
    tabLayout = form::top_layout<QVBoxLayout>(tab, "tabLayout");
    cb_enable_logging = form::named<QCheckBox>(tab, "cb_enable_logging");
    tabLayout->addWidget(cb_enable_logging);
    Line2 = form::named<QFrame>(tab, "Line2");
    Line2->setFrameShape(QFrame::HLine);
    Line2->setFrameShadow(QFrame::Sunken);
    tabLayout->addWidget(Line2);

    layout4 = form::nested_layout<QGridLayout>("layout4");
    le_logfile_name = form::named<QLineEdit>(tab, "le_logfile_name");
    layout4->addWidget(le_logfile_name, 1, 1);
    combo_format = form::named<QComboBox>(tab, "combo_format");
    layout4->addWidget(combo_format, 0, 1);
    TextLabel1_2 = form::named<QLabel>(tab, "TextLabel1_2");
    layout4->addWidget(TextLabel1_2, 0, 0);
    pb_popup_logfile = form::named<QPushButton>(tab, "pb_popup_logfile");
    pb_popup_logfile->setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Minimum);
    pb_popup_logfile->setIcon(m_menu_icon);
    layout4->addWidget(pb_popup_logfile, 1, 3);
    cb_delete_empty_files = form::named<QCheckBox>(tab, "cb_delete_empty_files");
    layout4->addWidget(cb_delete_empty_files, 2, 1);
    TextLabel1 = form::named<QLabel>(tab, "TextLabel1");
    layout4->addWidget(TextLabel1, 1, 0);
    pb_setup = form::named<QPushButton>(tab, "pb_setup");
    layout4->addWidget(pb_setup, 0, 2, 1, 2);
    pb_select_logfile = form::named<QPushButton>(tab, "pb_select_logfile");
    pb_select_logfile->setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Minimum);
    pb_select_logfile->setIcon(m_folder_icon);
    layout4->addWidget(pb_select_logfile, 1, 2);
    tabLayout->addLayout(layout4);
    tabLayout->addItem(form::vertical_spacer(20, 70));
    TabWidget2->addTab(tab, QString());

    tab_2 = form::named<QWidget>(TabWidget2, "tab_2");
    tabLayout_2 = form::top_layout<QVBoxLayout>(tab_2, "tabLayout_2");
    bg_write_mode = form::named<QGroupBox>(tab_2, "bg_write_mode");
    auto *write_mode_layout = form::group_layout<QVBoxLayout>(bg_write_mode);
    rb_append = form::named<QRadioButton>(bg_write_mode, "rb_append");
    write_mode_layout->addWidget(rb_append);
    rb_overwrite = form::named<QRadioButton>(bg_write_mode, "rb_overwrite");
    write_mode_layout->addWidget(rb_overwrite);
    rb_increment_filename = form::named<QRadioButton>(bg_write_mode, "rb_increment_filename");
    write_mode_layout->addWidget(rb_increment_filename);
    tabLayout_2->addWidget(bg_write_mode);

    bg_max_size = form::named<QGroupBox>(tab_2, "bg_max_size");
    auto *max_size_layout = form::group_layout<QGridLayout>(bg_max_size);
    cb_max_size = form::named<QComboBox>(bg_max_size, "cb_max_size");
    cb_max_size->setEnabled(false);
    max_size_layout->addWidget(cb_max_size, 2, 1);
    rb_no_limit = form::named<QRadioButton>(bg_max_size, "rb_no_limit");
    rb_no_limit->setChecked(true);
    max_size_layout->addWidget(rb_no_limit, 0, 0);
    max_size_layout->addItem(form::vertical_spacer(), 0, 1);
    rb_max_messages = form::named<QRadioButton>(bg_max_size, "rb_max_messages");
    max_size_layout->addWidget(rb_max_messages, 1, 0);
    rb_max_size = form::named<QRadioButton>(bg_max_size, "rb_max_size");
    max_size_layout->addWidget(rb_max_size, 2, 0);
    cb_max_messages = form::named<QComboBox>(bg_max_size, "cb_max_messages");
    cb_max_messages->setEditable(true);
    cb_max_messages->setEnabled(false);
    max_size_layout->addWidget(cb_max_messages, 1, 1);
    tabLayout_2->addWidget(bg_max_size);
    tabLayout_2->addItem(form::vertical_spacer());
    TabWidget2->addTab(tab_2, QString());

    tab_3 = form::named<QWidget>(TabWidget2, "tab_3");
    tabLayout_3 = form::top_layout<QVBoxLayout>(tab_3, "tabLayout_3");
    cb_enable_trigger = form::named<QCheckBox>(tab_3, "cb_enable_trigger");
    tabLayout_3->addWidget(cb_enable_trigger);
    Layout3 = form::nested_layout<QGridLayout>("Layout3");
    TextLabel2 = form::named<QLabel>(tab_3, "TextLabel2");
    Layout3->addWidget(TextLabel2, 1, 0);
    TextLabel1_3 = form::named<QLabel>(tab_3, "TextLabel1_3");
    Layout3->addWidget(TextLabel1_3, 0, 0);
    combo_pre_trigger = form::named<QComboBox>(tab_3, "combo_pre_trigger");
    combo_pre_trigger->setEditable(true);
    Layout3->addWidget(combo_pre_trigger, 1, 1);
    combo_trigger_name = form::named<QComboBox>(tab_3, "combo_trigger_name");
    Layout3->addWidget(combo_trigger_name, 0, 1);
    tabLayout_3->addLayout(Layout3);
    tabLayout_3->addItem(form::vertical_spacer());
    TabWidget2->addTab(tab_3, QString());
    DialogLogToFileBaseLayout->addWidget(TabWidget2);

    Layout3_2 = form::nested_layout<QHBoxLayout>("Layout3_2");
    Layout3_2->addItem(form::horizontal_spacer());
    pb_ok = form::named<QPushButton>(this, "pb_ok");
    pb_ok->setAutoDefault(true);
    pb_ok->setDefault(true);
    Layout3_2->addWidget(pb_ok);
    pbutton_cancel = form::named<QPushButton>(this, "pbutton_cancel");
    pbutton_cancel->setAutoDefault(true);
    Layout3_2->addWidget(pbutton_cancel);
    pb_help = form::named<QPushButton>(this, "pb_help");
    pb_help->setMinimumSize(80, 25);
    pb_help->setAutoDefault(true);
    Layout3_2->addWidget(pb_help);
    DialogLogToFileBaseLayout->addLayout(Layout3_2);

    languageChange();
    form::resize(this, QSize(427, 343));

    connect(pb_ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(pbutton_cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void DialogLogToFileBase::languageChange()
{
    setWindowTitle(tr("Log CAN Messages to File"));
    cb_enable_logging->setText(tr("Enable &Logging"));
    TextLabel1_2->setText(tr("Output Format:"));
    pb_setup->setText(tr("&Setup"));
    TextLabel1->setText(tr("Filename:"));
    pb_select_logfile->setText(QString());
    pb_popup_logfile->setText(QString());
    cb_delete_empty_files->setText(tr("Delete Empty Log Files"));
    TabWidget2->setTabText(TabWidget2->indexOf(tab), tr("Basic Settings"));
    bg_write_mode->setTitle(tr("Write Mode"));
    rb_append->setText(tr("&Append"));
    rb_overwrite->setText(tr("&Overwrite"));
    rb_increment_filename->setText(tr("&Increment Filename"));
    bg_max_size->setTitle(tr("Maximum Size"));
    rb_no_limit->setText(tr("No  &Limit"));
    rb_max_messages->setText(tr("Maximum &Messages to Record"));
    rb_max_size->setText(tr("Maximum &Size to Record"));
    TabWidget2->setTabText(TabWidget2->indexOf(tab_2), tr("Recording"));
    cb_enable_trigger->setText(tr("Enable Trigger"));
    TextLabel1_3->setText(tr("Trigger:"));
    TextLabel2->setText(tr("Pre Trigger Events:"));
    TabWidget2->setTabText(TabWidget2->indexOf(tab_3), tr("Trigger"));
    pb_ok->setText(tr("OK"));
    pbutton_cancel->setText(tr("Cancel"));
    pb_help->setText(tr("&Help"));

    cb_max_size->clear();
    cb_max_size->addItems({tr("100 kByte"), tr("500 kByte"), tr("1 MByte"), tr("5 MByte"), tr("10 MByte"),
                           tr("50 MByte"), tr("100 MByte")});
    cb_max_messages->clear();
    cb_max_messages->addItems(
        {tr("1000"), tr("5000"), tr("10000"), tr("50000"), tr("100000"), tr("500000"), tr("1000000")});
    cb_max_messages->setCurrentIndex(0);
    combo_pre_trigger->clear();
    combo_pre_trigger->addItems({tr("10"), tr("100"), tr("1000"), tr("3000"), tr("5000"), tr("10000")});
}
