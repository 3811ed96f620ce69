#pragma once
// Form of the dialog that sets up logging CAN traffic to a file: pages for
// the basic settings (switch, format, file name), the recording (write mode,
// size limit) and the trigger (switch, trigger, pre-trigger events), and the
// buttons "OK", "Cancel" and "Help".
#include <QDialog>
#include <QPixmap>

class QCheckBox;
class QComboBox;
class QFrame;
class QGridLayout;
class QGroupBox;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QVBoxLayout;

class DialogLogToFileBase : public QDialog
{
    Q_OBJECT

public:
    explicit DialogLogToFileBase(QWidget *parent = nullptr, const char *name = nullptr, bool modal = false,
                                 Qt::WindowFlags flags = {});

    QTabWidget *TabWidget2;
    QWidget *tab;
    QCheckBox *cb_enable_logging;
    QFrame *Line2;
    QLineEdit *le_logfile_name;
    QComboBox *combo_format;
    QLabel *TextLabel1_2;
    QPushButton *pb_popup_logfile;
    QCheckBox *cb_delete_empty_files;
    QLabel *TextLabel1;
    QPushButton *pb_setup;
    QPushButton *pb_select_logfile;
    QWidget *tab_2;
    QGroupBox *bg_write_mode;
    QRadioButton *rb_append;
    QRadioButton *rb_overwrite;
    QRadioButton *rb_increment_filename;
    QGroupBox *bg_max_size;
    QComboBox *cb_max_size;
    QRadioButton *rb_no_limit;
    QRadioButton *rb_max_messages;
    QRadioButton *rb_max_size;
    QComboBox *cb_max_messages;
    QWidget *tab_3;
    QCheckBox *cb_enable_trigger;
    QLabel *TextLabel2;
    QLabel *TextLabel1_3;
    QComboBox *combo_pre_trigger;
    QComboBox *combo_trigger_name;
    QPushButton *pb_ok;
    QPushButton *pbutton_cancel;
    QPushButton *pb_help;

protected:
    QVBoxLayout *DialogLogToFileBaseLayout;
    QVBoxLayout *tabLayout;
    QGridLayout *layout4;
    QVBoxLayout *tabLayout_2;
    QVBoxLayout *tabLayout_3;
    QGridLayout *Layout3;
    QHBoxLayout *Layout3_2;

protected slots:
    virtual void languageChange();

private:
    // A right-pointing black triangle (the file name's menu button) and an
    // open folder (its file dialog button).
    QPixmap m_menu_icon;
    QPixmap m_folder_icon;
};
