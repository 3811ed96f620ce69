#include "forms/dialog_log_to_file_ascii_parameters.h"

#include "core/widgets/form_support.h"

#include <QCheckBox>
#include <QKeySequence>
#include <QPushButton>
#include <QRadioButton>

DialogLogToFileAsciiParameters::DialogLogToFileAsciiParameters(QWidget *parent, const char *name, bool modal,
                                                               Qt::WindowFlags flags)
    : QDialog(parent, flags)
{
    setModal(modal);
    form::set_object_name(this, name, "DialogLogToFileAsciiParameters");
    setSizeGripEnabled(true);
    DialogLogToFileAsciiParametersLayout = form::top_layout<QVBoxLayout>(this, "DialogLogToFileAsciiParametersLayout");

    // Row 0 of the grid stays empty.
    Layout5 = form::nested_layout<QGridLayout>("Layout5");

    ButtonGroup3 = form::named<QGroupBox>(this, "ButtonGroup3");
    auto *data_layout = form::group_layout<QVBoxLayout>(ButtonGroup3);
    rb_data_hex = form::named<QRadioButton>(ButtonGroup3, "rb_data_hex");
    data_layout->addWidget(rb_data_hex);
    rb_data_dec = form::named<QRadioButton>(ButtonGroup3, "rb_data_dec");
    data_layout->addWidget(rb_data_dec);
    data_layout->addItem(form::vertical_spacer());
    Layout5->addWidget(ButtonGroup3, 1, 1);

    bg_id_format = form::named<QGroupBox>(this, "bg_id_format");
    auto *id_layout = form::group_layout<QVBoxLayout>(bg_id_format);
    rb_id_hex = form::named<QRadioButton>(bg_id_format, "rb_id_hex");
    id_layout->addWidget(rb_id_hex);
    rb_id_dec = form::named<QRadioButton>(bg_id_format, "rb_id_dec");
    id_layout->addWidget(rb_id_dec);
    cb_candb = form::named<QCheckBox>(bg_id_format, "cb_candb");
    id_layout->addWidget(cb_candb);
    Layout5->addWidget(bg_id_format, 1, 0);

    ButtonGroup5 = form::named<QGroupBox>(this, "ButtonGroup5");
    auto *time_format_layout = form::group_layout<QVBoxLayout>(ButtonGroup5);
    rb_time_sec_msec = form::named<QRadioButton>(ButtonGroup5, "rb_time_sec_msec");
    time_format_layout->addWidget(rb_time_sec_msec);
    rb_time_hhmmss_msec = form::named<QRadioButton>(ButtonGroup5, "rb_time_hhmmss_msec");
    time_format_layout->addWidget(rb_time_hhmmss_msec);
    Layout5->addWidget(ButtonGroup5, 2, 1);

    ButtonGroup4 = form::named<QGroupBox>(this, "ButtonGroup4");
    auto *time_stamp_layout = form::group_layout<QVBoxLayout>(ButtonGroup4);
    rb_abs_time = form::named<QRadioButton>(ButtonGroup4, "rb_abs_time");
    time_stamp_layout->addWidget(rb_abs_time);
    rb_rel_time = form::named<QRadioButton>(ButtonGroup4, "rb_rel_time");
    time_stamp_layout->addWidget(rb_rel_time);
    Layout5->addWidget(ButtonGroup4, 2, 0);
    DialogLogToFileAsciiParametersLayout->addLayout(Layout5);

    Layout3 = form::nested_layout<QHBoxLayout>("Layout3");
    Layout3->addItem(form::horizontal_spacer());
    pb_ok = form::named<QPushButton>(this, "pb_ok");
    pb_ok->setAutoDefault(true);
    pb_ok->setDefault(true);
    Layout3->addWidget(pb_ok);
    pb_cancel = form::named<QPushButton>(this, "pb_cancel");
    pb_cancel->setAutoDefault(true);
    Layout3->addWidget(pb_cancel);
    pb_help = form::named<QPushButton>(this, "pb_help");
    pb_help->setMinimumWidth(80);
    pb_help->setAutoDefault(false);
    Layout3->addWidget(pb_help);
    DialogLogToFileAsciiParametersLayout->addLayout(Layout3);

    languageChange();
    form::resize(this, QSize(424, 259));

    connect(pb_ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(pb_cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void DialogLogToFileAsciiParameters::languageChange()
{
    setWindowTitle(tr("Parameters for ASCII Log to File"));
    bg_id_format->setTitle(tr("Format of Id Field"));
    rb_id_hex->setText(tr("Hex"));
    rb_id_dec->setText(tr("Decimal"));
    cb_candb->setText(tr("Use CAN Database (if available)"));
    ButtonGroup3->setTitle(tr("Format Data Field"));
    rb_data_hex->setText(tr("Hex"));
    rb_data_dec->setText(tr("Decimal"));
    ButtonGroup4->setTitle(tr("Time Stamps"));
    rb_abs_time->setText(tr("Absolute"));
    rb_rel_time->setText(tr("Relative"));
    ButtonGroup5->setTitle(tr("Format of Time Field"));
    rb_time_sec_msec->setText(tr("SEC.MSEC"));
    rb_time_hhmmss_msec->setText(tr("HH:MM:SS.MSEC"));
    pb_ok->setText(tr("OK"));
    pb_ok->setShortcut(QKeySequence(QString()));
    pb_cancel->setText(tr("Cancel"));
    pb_cancel->setShortcut(QKeySequence(QString()));
    pb_help->setText(tr("&Help"));
    pb_help->setShortcut(QKeySequence(tr("Alt+H")));
}
