#pragma once
// Form of the settings dialog of a CAN interface: five pages (Global, Bus
// Parameters, Chip Parameters, Global Filters, Protocol Plugin) above the
// buttons Help, OK and Cancel.
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
class QListWidget;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QVBoxLayout;
class VyrBitPatternEdit;

class DialogCANBitrateBase : public QDialog
{
    Q_OBJECT

public:
    explicit DialogCANBitrateBase(QWidget *parent = nullptr, const char *name = nullptr, bool modal = false,
                                  Qt::WindowFlags flags = {});

    QTabWidget *tab_settings;
    // Page "Global".
    QWidget *tab_global;
    QCheckBox *cb_activate;
    QFrame *Line1;
    QCheckBox *cb_connect_to_can_channel;
    QComboBox *combo_connect_channel_list;
    QPushButton *pb_popup_script;
    QLabel *TextLabel3_3;
    QRadioButton *rb_normal_mode;
    QLabel *TextLabel1_4;
    QRadioButton *rb_silent_mode;
    QPushButton *pb_select_candb;
    QComboBox *cb_can_channel;
    QLineEdit *le_script_file;
    QLabel *tl_candb;
    QLabel *tl_mode;
    QPushButton *pb_select_script;
    QPushButton *pb_popup_candb;
    QListWidget *lb_candb_files;
    QLabel *TextLabel4_3;
    // Page "Bus Parameters".
    QWidget *tab_bus_param;
    QRadioButton *rb_bus_params;
    QGroupBox *gb_bitrate;
    QRadioButton *rb_1mb;
    QRadioButton *rb_500kb;
    QRadioButton *rb_250kb;
    QRadioButton *rb_125kb;
    QRadioButton *rb_100kb;
    QRadioButton *rb_83kb;
    QRadioButton *rb_other_bitrate;
    QLineEdit *le_other_bitrate;
    QLabel *TextLabel1;
    QGroupBox *gb_timing;
    QLabel *TextLabel3;
    QComboBox *cb_sample_point;
    QComboBox *cb_prescaler;
    QLabel *TextLabel2;
    QComboBox *cb_sjw;
    QLabel *TextLabel16;
    QGroupBox *gb_samples;
    QRadioButton *rb_sam1;
    QRadioButton *rb_sam3;
    QGroupBox *gb_canfd;
    QCheckBox *cb_canfd_enable;
    QLabel *textLabel1_4;
    QComboBox *cb_canfd_mode;
    QComboBox *cb_brs_tseg2;
    QLabel *label_brs_sample_point;
    QComboBox *cb_brs_sjw;
    QLabel *textLabel2;
    QLabel *textLabel3;
    QLabel *textLabel4;
    QComboBox *cb_brs_tseg1;
    QLabel *tl_brs_sample_point;
    QLabel *textLabel1_2;
    QComboBox *cb_brs_clock;
    QLabel *tl_brs_bitrate;
    QComboBox *cb_brs_prescaler;
    QLabel *textLabel8;
    QLabel *textLabel1_3;
    // Page "Chip Parameters".
    QWidget *tab_chip_param;
    QRadioButton *rb_chip_params;
    QGroupBox *gb_chip_params;
    QLabel *TextLabel14;
    QLineEdit *le_btr0;
    QLabel *TextLabel17;
    QLabel *TextLabel15;
    QLineEdit *le_btr1;
    QLabel *TextLabel18;
    QGroupBox *gb_status;
    QLabel *l_tseg2;
    QLabel *TextLabel4;
    QLabel *l_bitrate;
    QLabel *TextLabel5;
    QLabel *l_tseg1;
    QLabel *TextLabel6;
    QLabel *TextLabel1_2;
    QLabel *TextLabel1_5;
    QLabel *TextLabel2_4;
    QLabel *TextLabel3_4;
    QLabel *l_sample_point;
    QLabel *l_samples;
    QLabel *l_prescaler;
    QLabel *l_sjw;
    // Page "Global Filters".
    QWidget *tab_global_filters;
    QGroupBox *gb_std;
    QLabel *TextLabel2_2;
    QLabel *TextLabel1_3;
    QLabel *TextLabel3_2;
    QPushButton *pb_std_pass_all;
    QPushButton *pb_std_extend;
    QCheckBox *cb_std_block_all;
    VyrBitPatternEdit *le_std_bits;
    QLineEdit *le_std_code;
    QLabel *TextLabel8;
    QLineEdit *le_std_mask;
    QLabel *TextLabel9;
    QGroupBox *gb_ext;
    QLabel *TextLabel4_2;
    QLabel *TextLabel5_2;
    QLabel *TextLabel6_2;
    QPushButton *pb_ext_pass_all;
    QPushButton *pb_ext_extend;
    VyrBitPatternEdit *le_ext_bits;
    QLineEdit *le_ext_mask;
    QLabel *TextLabel7;
    QLineEdit *le_ext_code;
    QLabel *TextLabel6_3;
    QCheckBox *cb_ext_block_all;
    // Page "Protocol Plugin".
    QWidget *tab_protocol_plugin;
    QLabel *textLabel1;
    QComboBox *cb_protocol_plugin;
    // Button row.
    QPushButton *pb_help;
    QPushButton *pb_ok;
    QPushButton *pb_cancel;

protected:
    QVBoxLayout *DialogCANBitrateBaseLayout;
    QVBoxLayout *tab_globalLayout;
    QVBoxLayout *tab_bus_paramLayout;
    QVBoxLayout *tab_chip_paramLayout;
    QVBoxLayout *tab_global_filtersLayout;
    QVBoxLayout *tab_protocol_pluginLayout;
    QHBoxLayout *layout22;
    // The arrow of the menu buttons and the folder of the file buttons.
    QPixmap image0;
    QPixmap image1;

protected slots:
    virtual void languageChange();

private:
    void build_global_page();
    void build_bus_param_page();
    void build_chip_param_page();
    void build_global_filters_page();
    void build_protocol_plugin_page();
};
