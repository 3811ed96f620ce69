#pragma once
// Form of the parameters dialog of the text log formats: how identifiers,
// data and time stamps are written, in four groups of radio buttons.
#include <QDialog>

class QCheckBox;
class QGridLayout;
class QGroupBox;
class QHBoxLayout;
class QPushButton;
class QRadioButton;
class QVBoxLayout;

class DialogLogToFileAsciiParameters : public QDialog
{
    Q_OBJECT

public:
    explicit DialogLogToFileAsciiParameters(QWidget *parent = nullptr, const char *name = nullptr, bool modal = false,
                                            Qt::WindowFlags flags = {});

    QGroupBox *ButtonGroup3;
    QRadioButton *rb_data_hex;
    QRadioButton *rb_data_dec;
    QGroupBox *bg_id_format;
    QRadioButton *rb_id_hex;
    QRadioButton *rb_id_dec;
    QCheckBox *cb_candb;
    QGroupBox *ButtonGroup5;
    QRadioButton *rb_time_sec_msec;
    QRadioButton *rb_time_hhmmss_msec;
    QGroupBox *ButtonGroup4;
    QRadioButton *rb_abs_time;
    QRadioButton *rb_rel_time;
    QPushButton *pb_ok;
    QPushButton *pb_cancel;
    QPushButton *pb_help;

protected:
    QVBoxLayout *DialogLogToFileAsciiParametersLayout;
    QGridLayout *Layout5;
    QHBoxLayout *Layout3;

protected slots:
    virtual void languageChange();
};
