#pragma once
// Form of the dialog "Control Properties": one tab widget with twelve pages
// (basic settings, script activation, signal settings, display options,
// bitmap graphic, pointer graphic, string list, colour list, state bitmaps,
// LED settings, signal control, window list) above the Help, OK and Cancel
// buttons. The panel's item dialog derives from it and removes the pages
// that do not fit the item.
#include <QDialog>
#include <QPixmap>

class QCheckBox;
class QComboBox;
class QFrame;
class QGridLayout;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;
class QTreeWidget;
class QVBoxLayout;
class QtColorComboBox;

class DialogControlPropertiesBase : public QDialog
{
    Q_OBJECT

public:
    explicit DialogControlPropertiesBase(QWidget *parent = nullptr, const char *name = nullptr, bool modal = false,
                                         Qt::WindowFlags flags = {});

    QTabWidget *tab_widget;

    QWidget *tab_basic_settings;
    QCheckBox *cb_enable;
    QCheckBox *cb_readonly;
    QFrame *Line1;
    QLabel *tl_caption1;
    QLineEdit *le_caption;
    QLabel *tl_caption2;
    QLabel *TextLabel2;
    QLineEdit *le_name;
    QLabel *TextLabel3;
    QFrame *line2;
    QLabel *textLabel1;
    QPushButton *pb_chose_fg_color;
    QLabel *pl_fg_color;
    QPushButton *pb_reset_fg_color;
    QLabel *textLabel1_2;
    QPushButton *pb_chose_font;
    QLabel *tl_font;
    QPushButton *pb_reset_font;

    QWidget *tab_script_activation;
    QLabel *TextLabel1_2;
    QTreeWidget *lv_triggered_actions;
    QPushButton *pb_add_action;
    QPushButton *pb_remove_action;
    QLabel *TextLabel2_2;
    QTreeWidget *lv_script_actions;

    QWidget *tab_signal_settings;
    QLabel *textLabel2_2;
    QLabel *TextLabel5;
    QLineEdit *le_signal_name;
    QPushButton *pb_clear_signal;
    QPushButton *pb_select_signal;
    QCheckBox *cb_default_value;
    QLineEdit *le_default_value;
    QCheckBox *cb_range;
    QLineEdit *le_minv;
    QLabel *textLabel1_3;
    QLineEdit *le_maxv;
    QFrame *line7;
    QLabel *tl_signal_2;
    QLabel *tl_signal_name_2;
    QLineEdit *le_signal_name_2;
    QPushButton *pb_clear_signal_2;
    QPushButton *pb_select_signal_2;
    QCheckBox *cb_default_value_2;
    QLineEdit *le_default_value_2;
    QCheckBox *cb_range_2;
    QLineEdit *le_minv_2;
    QLabel *tl_signal_dots_2;
    QLineEdit *le_maxv_2;

    QWidget *tab_display_options;
    QLabel *tl_digits;
    QComboBox *combo_digits;
    QLabel *tl_decimals;
    QComboBox *combo_decimals;
    QLabel *tl_number_format;
    QComboBox *combo_number_format;
    QLabel *tl_arc_start;
    QLineEdit *le_arc_start;
    QLabel *tl_arc_start_desc;
    QLabel *tl_arc_size;
    QLineEdit *le_arc_size;
    QLabel *tl_arc_size_desc;
    QCheckBox *cb_timeout;
    QLineEdit *le_timeout;
    QLabel *tl_timeout;
    QCheckBox *cb_paint_labels;
    QCheckBox *cb_paint_scale;
    QCheckBox *cb_paint_labels_inside_scale;
    QCheckBox *cb_show_signal_name;

    QWidget *tab_bitmap_graphic;
    QLabel *textLabel6;
    QLineEdit *le_bitmap_file;
    QPushButton *pb_bitmap_open;
    QPushButton *pb_bitmap_popup;
    QLabel *textLabel7;
    QComboBox *combo_halign;
    QLabel *textLabel8;
    QComboBox *combo_valign;
    QLabel *tl_bitmap_preview;

    QWidget *tab_picture_graphic;
    QLabel *textLabel1_4;
    QLineEdit *le_picture_file;
    QPushButton *pb_picture_open;
    QPushButton *pb_picture_popup;
    QLabel *textLabel1_5;
    QLineEdit *le_picture_h_scale;
    QLabel *textLabel2_3;
    QLineEdit *le_picture_v_scale;
    QLabel *textLabel3_2;

    QWidget *tab_string_list;
    QLabel *textLabel2;
    QLineEdit *le_string_new;
    QPushButton *pb_string_add;
    QFrame *line3;
    QLabel *textLabel3;
    QTreeWidget *lv_string_list;
    QPushButton *pb_string_delete;
    QPushButton *pb_string_move_up;
    QPushButton *pb_string_move_down;

    QWidget *tab_color_list;
    QTreeWidget *lv_color_list;
    QPushButton *pb_add_color;
    QPushButton *pb_remove_color;
    QPushButton *pb_change_color;

    QWidget *tab_state_bitmaps;
    QCheckBox *check_box_two_state_display;
    QLabel *textLabel1_6;
    QLabel *textLabel2_4;
    QLineEdit *le_compare_value;
    QLabel *textLabel5;
    QLineEdit *le_bitmap_file_above;
    QPushButton *pb_open_above;
    QLabel *textLabel3_3;
    QLineEdit *le_bitmap_file_equal;
    QPushButton *pb_open_equal;
    QLabel *textLabel4;
    QLineEdit *le_bitmap_file_below;
    QPushButton *pb_open_below;
    QPushButton *pb_make_relative_filenames;
    QPushButton *pb_make_absolute_filenames;

    QWidget *tab_led_settings;
    QCheckBox *cb_led_value_above;
    QLineEdit *le_led_value_above;
    QLabel *textLabel7_2;
    QtColorComboBox *combo_led_color;
    QCheckBox *cb_led_value_below;
    QLineEdit *le_led_value_below;
    QLabel *textLabel7_2_2;
    QtColorComboBox *combo_led_color2;
    QCheckBox *cb_led_inverse_mode;

    QWidget *tab_signal_control;
    QLabel *textLabel2_5;
    QLineEdit *le_value_inactive;
    QLabel *textLabel1_8;
    QLineEdit *le_value_active;

    QWidget *tab_window_list;
    QTreeWidget *lv_window_list;

    QPushButton *pb_help;
    QPushButton *pb_ok;
    QPushButton *pb_cancel;

protected:
    QVBoxLayout *DialogControlPropertiesBaseLayout;
    QVBoxLayout *tab_basic_settingsLayout;
    QGridLayout *layout14;
    QHBoxLayout *tab_script_activationLayout;
    QVBoxLayout *Layout8;
    QVBoxLayout *Layout6;
    QVBoxLayout *Layout7;
    QVBoxLayout *tab_signal_settingsLayout;
    QGridLayout *layout17;
    QVBoxLayout *tab_display_optionsLayout;
    QGridLayout *layout16;
    QGridLayout *tab_bitmap_graphicLayout;
    QVBoxLayout *tab_picture_graphicLayout;
    QGridLayout *layout11;
    QVBoxLayout *tab_string_listLayout;
    QGridLayout *layout15;
    QVBoxLayout *layout14_2;
    QHBoxLayout *tab_color_listLayout;
    QVBoxLayout *layout11_2;
    QVBoxLayout *tab_state_bitmapsLayout;
    QGridLayout *layout20;
    QVBoxLayout *tab_led_settingsLayout;
    QGridLayout *layout16_2;
    QVBoxLayout *tab_signal_controlLayout;
    QHBoxLayout *layout28;
    QGridLayout *layout27;
    QVBoxLayout *tab_window_listLayout;
    QHBoxLayout *Layout1;

    // The picture the colour swatch shows until a colour is painted, and
    // the icons of the buttons without text.
    QPixmap m_color_picture;
    QPixmap m_add_icon;
    QPixmap m_remove_icon;
    QPixmap m_menu_icon;
    QPixmap m_open_icon;
    QPixmap m_up_icon;
    QPixmap m_down_icon;

protected slots:
    virtual void languageChange();
};
