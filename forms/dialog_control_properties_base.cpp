#include "forms/dialog_control_properties_base.h"

#include "core/widgets/form_support.h"
#include "widgets/misc/qtcolorcombobox.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QTabWidget>
#include <QTreeWidget>

#include <iterator>

namespace {

// 16 x 16: a green plus.
const char *const add_icon_xpm[] = {"16 16 3 1", "  c None", ". c #006000", "g c #20C020",
                                    "                ", "                ", "      ....      ", "      .gg.      ",
                                    "      .gg.      ", "      .gg.      ", "  .....gg.....  ", "  .gggggggggg.  ",
                                    "  .gggggggggg.  ", "  .....gg.....  ", "      .gg.      ", "      .gg.      ",
                                    "      .gg.      ", "      ....      ", "                ", "                "};

// 16 x 16: a red minus.
const char *const remove_icon_xpm[] = {"16 16 3 1", "  c None", ". c #600000", "r c #E02020",
                                       "                ", "                ", "                ", "                ",
                                       "                ", "                ", "  ............  ", "  .rrrrrrrrrr.  ",
                                       "  .rrrrrrrrrr.  ", "  ............  ", "                ", "                ",
                                       "                ", "                ", "                ", "                "};

// 16 x 16: a black triangle pointing right.
const char *const menu_icon_xpm[] = {"16 16 2 1", "  c None", ". c #000000",
                                     "                ", "                ", "                ", "     .          ",
                                     "     ..         ", "     ...        ", "     ....       ", "     .....      ",
                                     "     .....      ", "     ....       ", "     ...        ", "     ..         ",
                                     "     .          ", "                ", "                ", "                "};

// 16 x 16: an open yellow folder.
const char *const open_icon_xpm[] = {"16 16 4 1", "  c None", ". c #000000", "y c #FFCC00", "l c #FFFF99",
                                     "                ", "                ", "  ....          ", " .llll.         ",
                                     " .lllll......   ", " .llllllllll.   ", " .ll..........  ", " .l.yyyyyyyyyy. ",
                                     " .l.yyyyyyyyy.  ", " ..yyyyyyyyyy.  ", " ..yyyyyyyyy.   ", " .yyyyyyyyyy.   ",
                                     " ............   ", "                ", "                ", "                "};

// 16 x 16: a blue arrow up, and one down.
const char *const up_icon_xpm[] = {"16 16 2 1", "  c None", ". c #0000A0",
                                   "                ", "                ", "       ..       ", "      ....      ",
                                   "     ......     ", "    ........    ", "   ..........   ", "      ....      ",
                                   "      ....      ", "      ....      ", "      ....      ", "      ....      ",
                                   "      ....      ", "                ", "                ", "                "};

const char *const down_icon_xpm[] = {"16 16 2 1", "  c None", ". c #0000A0",
                                      "                ", "                ", "                ", "      ....      ",
                                      "      ....      ", "      ....      ", "      ....      ", "      ....      ",
                                      "      ....      ", "   ..........   ", "    ........    ", "     ......     ",
                                      "      ....      ", "       ..       ", "                ", "                "};

// 100 x 100: bands of the colours a control's text may take, shown scaled
// in the colour swatch until a colour is painted there.
QPixmap color_picture()
{
    QPixmap picture(100, 100);
    picture.fill(Qt::white);
    QPainter painter(&picture);
    const QColor bands[] = {Qt::red, Qt::yellow, Qt::green, Qt::cyan, Qt::blue, Qt::magenta};
    const int band = 100 / int(std::size(bands));
    for (int i = 0; i < int(std::size(bands)); ++i)
        painter.fillRect(i * band, 0, band + 1, 100, bands[i]);
    painter.setPen(Qt::black);
    painter.drawRect(0, 0, 99, 99);
    return picture;
}

QFrame *horizontal_line(QWidget *parent, const char *name)
{
    auto *line = form::named<QFrame>(parent, name);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

QLineEdit *read_only_edit(QWidget *parent, const char *name)
{
    auto *edit = form::named<QLineEdit>(parent, name);
    edit->setReadOnly(true);
    return edit;
}

QPushButton *icon_button(QWidget *parent, const char *name, const QPixmap &icon)
{
    auto *button = form::named<QPushButton>(parent, name);
    button->setIcon(icon);
    return button;
}

// A bold label of the widget's own font (13 point when asked).
void make_bold(QLabel *label, int point_size = -1)
{
    QFont font = label->font();
    if (point_size > 0)
        font.setPointSize(point_size);
    font.setWeight(75);
    label->setFont(font);
}

QTreeWidget *list_view(QWidget *parent, const char *name, int columns)
{
    auto *list = form::named<QTreeWidget>(parent, name);
    list->setColumnCount(columns);
    list->setRootIsDecorated(false);
    return list;
}

void set_items(QComboBox *combo, const QStringList &items)
{
    combo->clear();
    combo->addItems(items);
}

QWidget *page(QTabWidget *tabs, const char *name)
{
    return form::named<QWidget>(tabs, name);
}

} // namespace

DialogControlPropertiesBase::DialogControlPropertiesBase(QWidget *parent, const char *name, bool modal,
                                                         Qt::WindowFlags flags)
    : QDialog(parent, flags), m_color_picture(color_picture()), m_add_icon(add_icon_xpm),
      m_remove_icon(remove_icon_xpm), m_menu_icon(menu_icon_xpm), m_open_icon(open_icon_xpm),
      m_up_icon(up_icon_xpm), m_down_icon(down_icon_xpm)
{
    setModal(modal);
    form::set_object_name(this, name, "DialogControlPropertiesBase");
    setSizeGripEnabled(true);
    DialogControlPropertiesBaseLayout = form::top_layout<QVBoxLayout>(this, "DialogControlPropertiesBaseLayout");
    tab_widget = form::named<QTabWidget>(this, "tab_widget");

    // Page 1: basic settings.
    tab_basic_settings = page(tab_widget, "tab_basic_settings");
    tab_basic_settingsLayout = form::top_layout<QVBoxLayout>(tab_basic_settings, "tab_basic_settingsLayout");
    layout14 = form::nested_layout<QGridLayout>("layout14");
    cb_enable = form::named<QCheckBox>(tab_basic_settings, "cb_enable");
    layout14->addWidget(cb_enable, 0, 0, 1, 2);
    cb_readonly = form::named<QCheckBox>(tab_basic_settings, "cb_readonly");
    layout14->addWidget(cb_readonly, 1, 0, 1, 2);
    Line1 = horizontal_line(tab_basic_settings, "Line1");
    layout14->addWidget(Line1, 2, 0, 1, 4);
    tl_caption1 = form::named<QLabel>(tab_basic_settings, "tl_caption1");
    layout14->addWidget(tl_caption1, 3, 0, 2, 1);
    le_caption = form::named<QLineEdit>(tab_basic_settings, "le_caption");
    layout14->addWidget(le_caption, 4, 1);
    tl_caption2 = form::named<QLabel>(tab_basic_settings, "tl_caption2");
    layout14->addWidget(tl_caption2, 3, 2, 2, 2);
    TextLabel2 = form::named<QLabel>(tab_basic_settings, "TextLabel2");
    layout14->addWidget(TextLabel2, 5, 0);
    le_name = form::named<QLineEdit>(tab_basic_settings, "le_name");
    layout14->addWidget(le_name, 5, 1);
    TextLabel3 = form::named<QLabel>(tab_basic_settings, "TextLabel3");
    layout14->addWidget(TextLabel3, 5, 2, 1, 2);
    line2 = horizontal_line(tab_basic_settings, "line2");
    layout14->addWidget(line2, 6, 0, 1, 4);
    textLabel1 = form::named<QLabel>(tab_basic_settings, "textLabel1");
    layout14->addWidget(textLabel1, 7, 0);
    pb_chose_fg_color = form::named<QPushButton>(tab_basic_settings, "pb_chose_fg_color");
    layout14->addWidget(pb_chose_fg_color, 7, 1);
    pl_fg_color = form::named<QLabel>(tab_basic_settings, "pl_fg_color");
    pl_fg_color->setFixedSize(80, 16);
    pl_fg_color->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    pl_fg_color->setPixmap(m_color_picture);
    pl_fg_color->setScaledContents(true);
    layout14->addWidget(pl_fg_color, 7, 2);
    pb_reset_fg_color = form::named<QPushButton>(tab_basic_settings, "pb_reset_fg_color");
    layout14->addWidget(pb_reset_fg_color, 7, 3);
    textLabel1_2 = form::named<QLabel>(tab_basic_settings, "textLabel1_2");
    layout14->addWidget(textLabel1_2, 8, 0);
    pb_chose_font = form::named<QPushButton>(tab_basic_settings, "pb_chose_font");
    layout14->addWidget(pb_chose_font, 8, 1);
    tl_font = form::named<QLabel>(tab_basic_settings, "tl_font");
    layout14->addWidget(tl_font, 8, 2);
    pb_reset_font = form::named<QPushButton>(tab_basic_settings, "pb_reset_font");
    layout14->addWidget(pb_reset_font, 8, 3);
    tab_basic_settingsLayout->addLayout(layout14);
    tab_basic_settingsLayout->addItem(form::vertical_spacer(20, 50));
    tab_widget->addTab(tab_basic_settings, QString());

    // Page 2: script activation.
    tab_script_activation = page(tab_widget, "tab_script_activation");
    tab_script_activationLayout =
        form::top_layout<QHBoxLayout>(tab_script_activation, "tab_script_activationLayout");
    Layout8 = form::nested_layout<QVBoxLayout>("Layout8");
    TextLabel1_2 = form::named<QLabel>(tab_script_activation, "TextLabel1_2");
    Layout8->addWidget(TextLabel1_2);
    lv_triggered_actions = form::named<QTreeWidget>(tab_script_activation, "lv_triggered_actions");
    lv_triggered_actions->setColumnCount(1);
    Layout8->addWidget(lv_triggered_actions);
    tab_script_activationLayout->addLayout(Layout8);
    Layout6 = form::nested_layout<QVBoxLayout>("Layout6");
    Layout6->addItem(form::vertical_spacer());
    pb_add_action = icon_button(tab_script_activation, "pb_add_action", m_add_icon);
    pb_add_action->setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Minimum);
    Layout6->addWidget(pb_add_action);
    pb_remove_action = icon_button(tab_script_activation, "pb_remove_action", m_remove_icon);
    pb_remove_action->setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Minimum);
    Layout6->addWidget(pb_remove_action);
    Layout6->addItem(form::vertical_spacer());
    tab_script_activationLayout->addLayout(Layout6);
    Layout7 = form::nested_layout<QVBoxLayout>("Layout7");
    TextLabel2_2 = form::named<QLabel>(tab_script_activation, "TextLabel2_2");
    Layout7->addWidget(TextLabel2_2);
    lv_script_actions = form::named<QTreeWidget>(tab_script_activation, "lv_script_actions");
    lv_script_actions->setColumnCount(1);
    Layout7->addWidget(lv_script_actions);
    tab_script_activationLayout->addLayout(Layout7);
    tab_widget->addTab(tab_script_activation, QString());

    // Page 3: signal settings; rows 0-3 the first signal, 5-8 the second.
    tab_signal_settings = page(tab_widget, "tab_signal_settings");
    tab_signal_settingsLayout = form::top_layout<QVBoxLayout>(tab_signal_settings, "tab_signal_settingsLayout");
    layout17 = form::nested_layout<QGridLayout>("layout17");
    QWidget *s = tab_signal_settings;
    textLabel2_2 = form::named<QLabel>(s, "textLabel2_2");
    make_bold(textLabel2_2);
    layout17->addWidget(textLabel2_2, 0, 0, 1, 4);
    TextLabel5 = form::named<QLabel>(s, "TextLabel5");
    layout17->addWidget(TextLabel5, 1, 0);
    le_signal_name = read_only_edit(s, "le_signal_name");
    layout17->addWidget(le_signal_name, 1, 1, 1, 3);
    pb_clear_signal = form::named<QPushButton>(s, "pb_clear_signal");
    layout17->addWidget(pb_clear_signal, 1, 4);
    pb_select_signal = form::named<QPushButton>(s, "pb_select_signal");
    layout17->addWidget(pb_select_signal, 1, 5);
    cb_default_value = form::named<QCheckBox>(s, "cb_default_value");
    layout17->addWidget(cb_default_value, 2, 0);
    le_default_value = form::named<QLineEdit>(s, "le_default_value");
    layout17->addWidget(le_default_value, 2, 1);
    cb_range = form::named<QCheckBox>(s, "cb_range");
    layout17->addWidget(cb_range, 3, 0);
    le_minv = form::named<QLineEdit>(s, "le_minv");
    layout17->addWidget(le_minv, 3, 1);
    textLabel1_3 = form::named<QLabel>(s, "textLabel1_3");
    make_bold(textLabel1_3, 13);
    layout17->addWidget(textLabel1_3, 3, 2);
    le_maxv = form::named<QLineEdit>(s, "le_maxv");
    layout17->addWidget(le_maxv, 3, 3);
    line7 = horizontal_line(s, "line7");
    layout17->addWidget(line7, 4, 0, 1, 6);
    tl_signal_2 = form::named<QLabel>(s, "tl_signal_2");
    make_bold(tl_signal_2);
    layout17->addWidget(tl_signal_2, 5, 0, 1, 4);
    tl_signal_name_2 = form::named<QLabel>(s, "tl_signal_name_2");
    layout17->addWidget(tl_signal_name_2, 6, 0);
    le_signal_name_2 = read_only_edit(s, "le_signal_name_2");
    layout17->addWidget(le_signal_name_2, 6, 1, 1, 3);
    pb_clear_signal_2 = form::named<QPushButton>(s, "pb_clear_signal_2");
    layout17->addWidget(pb_clear_signal_2, 6, 4);
    pb_select_signal_2 = form::named<QPushButton>(s, "pb_select_signal_2");
    layout17->addWidget(pb_select_signal_2, 6, 5);
    cb_default_value_2 = form::named<QCheckBox>(s, "cb_default_value_2");
    layout17->addWidget(cb_default_value_2, 7, 0);
    le_default_value_2 = form::named<QLineEdit>(s, "le_default_value_2");
    layout17->addWidget(le_default_value_2, 7, 1);
    cb_range_2 = form::named<QCheckBox>(s, "cb_range_2");
    layout17->addWidget(cb_range_2, 8, 0);
    le_minv_2 = form::named<QLineEdit>(s, "le_minv_2");
    layout17->addWidget(le_minv_2, 8, 1);
    tl_signal_dots_2 = form::named<QLabel>(s, "tl_signal_dots_2");
    make_bold(tl_signal_dots_2, 13);
    layout17->addWidget(tl_signal_dots_2, 8, 2);
    le_maxv_2 = form::named<QLineEdit>(s, "le_maxv_2");
    layout17->addWidget(le_maxv_2, 8, 3);
    tab_signal_settingsLayout->addLayout(layout17);
    tab_signal_settingsLayout->addItem(form::vertical_spacer());
    tab_widget->addTab(tab_signal_settings, QString());

    // Page 4: display options.
    tab_display_options = page(tab_widget, "tab_display_options");
    tab_display_optionsLayout = form::top_layout<QVBoxLayout>(tab_display_options, "tab_display_optionsLayout");
    layout16 = form::nested_layout<QGridLayout>("layout16");
    QWidget *d = tab_display_options;
    tl_digits = form::named<QLabel>(d, "tl_digits");
    layout16->addWidget(tl_digits, 0, 0);
    combo_digits = form::named<QComboBox>(d, "combo_digits");
    layout16->addWidget(combo_digits, 0, 1);
    tl_decimals = form::named<QLabel>(d, "tl_decimals");
    layout16->addWidget(tl_decimals, 1, 0);
    combo_decimals = form::named<QComboBox>(d, "combo_decimals");
    layout16->addWidget(combo_decimals, 1, 1);
    tl_number_format = form::named<QLabel>(d, "tl_number_format");
    layout16->addWidget(tl_number_format, 2, 0);
    combo_number_format = form::named<QComboBox>(d, "combo_number_format");
    layout16->addWidget(combo_number_format, 2, 1);
    tl_arc_start = form::named<QLabel>(d, "tl_arc_start");
    layout16->addWidget(tl_arc_start, 3, 0);
    le_arc_start = form::named<QLineEdit>(d, "le_arc_start");
    layout16->addWidget(le_arc_start, 3, 1);
    tl_arc_start_desc = form::named<QLabel>(d, "tl_arc_start_desc");
    layout16->addWidget(tl_arc_start_desc, 3, 2);
    tl_arc_size = form::named<QLabel>(d, "tl_arc_size");
    layout16->addWidget(tl_arc_size, 4, 0);
    le_arc_size = form::named<QLineEdit>(d, "le_arc_size");
    layout16->addWidget(le_arc_size, 4, 1);
    tl_arc_size_desc = form::named<QLabel>(d, "tl_arc_size_desc");
    layout16->addWidget(tl_arc_size_desc, 4, 2);
    cb_timeout = form::named<QCheckBox>(d, "cb_timeout");
    layout16->addWidget(cb_timeout, 5, 0);
    le_timeout = form::named<QLineEdit>(d, "le_timeout");
    layout16->addWidget(le_timeout, 5, 1);
    tl_timeout = form::named<QLabel>(d, "tl_timeout");
    layout16->addWidget(tl_timeout, 5, 2);
    cb_paint_labels = form::named<QCheckBox>(d, "cb_paint_labels");
    layout16->addWidget(cb_paint_labels, 6, 0, 1, 2);
    cb_paint_scale = form::named<QCheckBox>(d, "cb_paint_scale");
    layout16->addWidget(cb_paint_scale, 7, 0, 1, 2);
    cb_paint_labels_inside_scale = form::named<QCheckBox>(d, "cb_paint_labels_inside_scale");
    layout16->addWidget(cb_paint_labels_inside_scale, 8, 0, 1, 2);
    cb_show_signal_name = form::named<QCheckBox>(d, "cb_show_signal_name");
    layout16->addWidget(cb_show_signal_name, 9, 0, 1, 2);
    tab_display_optionsLayout->addLayout(layout16);
    tab_display_optionsLayout->addItem(form::vertical_spacer());
    tab_widget->addTab(tab_display_options, QString());

    // Page 5: bitmap graphic; the page layout is the grid itself.
    tab_bitmap_graphic = page(tab_widget, "tab_bitmap_graphic");
    tab_bitmap_graphicLayout = form::top_layout<QGridLayout>(tab_bitmap_graphic, "tab_bitmap_graphicLayout");
    textLabel6 = form::named<QLabel>(tab_bitmap_graphic, "textLabel6");
    tab_bitmap_graphicLayout->addWidget(textLabel6, 0, 0);
    le_bitmap_file = read_only_edit(tab_bitmap_graphic, "le_bitmap_file");
    tab_bitmap_graphicLayout->addWidget(le_bitmap_file, 0, 1);
    pb_bitmap_open = icon_button(tab_bitmap_graphic, "pb_bitmap_open", m_open_icon);
    tab_bitmap_graphicLayout->addWidget(pb_bitmap_open, 0, 2);
    pb_bitmap_popup = icon_button(tab_bitmap_graphic, "pb_bitmap_popup", m_menu_icon);
    tab_bitmap_graphicLayout->addWidget(pb_bitmap_popup, 0, 3);
    textLabel7 = form::named<QLabel>(tab_bitmap_graphic, "textLabel7");
    tab_bitmap_graphicLayout->addWidget(textLabel7, 1, 0);
    combo_halign = form::named<QComboBox>(tab_bitmap_graphic, "combo_halign");
    tab_bitmap_graphicLayout->addWidget(combo_halign, 1, 1);
    textLabel8 = form::named<QLabel>(tab_bitmap_graphic, "textLabel8");
    tab_bitmap_graphicLayout->addWidget(textLabel8, 2, 0);
    combo_valign = form::named<QComboBox>(tab_bitmap_graphic, "combo_valign");
    tab_bitmap_graphicLayout->addWidget(combo_valign, 2, 1);
    tl_bitmap_preview = form::named<QLabel>(tab_bitmap_graphic, "tl_bitmap_preview");
    tl_bitmap_preview->setMinimumSize(50, 50);
    QSizePolicy preview_policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    preview_policy.setHorizontalStretch(3);
    preview_policy.setVerticalStretch(3);
    tl_bitmap_preview->setSizePolicy(preview_policy);
    tl_bitmap_preview->setFrameShape(QFrame::Panel);
    tl_bitmap_preview->setFrameShadow(QFrame::Sunken);
    tl_bitmap_preview->setScaledContents(false);
    tl_bitmap_preview->setAlignment(Qt::AlignCenter);
    tab_bitmap_graphicLayout->addWidget(tl_bitmap_preview, 3, 1);
    tab_widget->addTab(tab_bitmap_graphic, QString());

    // Page 6: pointer graphic.
    tab_picture_graphic = page(tab_widget, "tab_picture_graphic");
    tab_picture_graphicLayout = form::top_layout<QVBoxLayout>(tab_picture_graphic, "tab_picture_graphicLayout");
    layout11 = form::nested_layout<QGridLayout>("layout11");
    textLabel1_4 = form::named<QLabel>(tab_picture_graphic, "textLabel1_4");
    layout11->addWidget(textLabel1_4, 0, 0);
    le_picture_file = read_only_edit(tab_picture_graphic, "le_picture_file");
    layout11->addWidget(le_picture_file, 0, 1);
    pb_picture_open = icon_button(tab_picture_graphic, "pb_picture_open", m_open_icon);
    layout11->addWidget(pb_picture_open, 0, 2);
    pb_picture_popup = icon_button(tab_picture_graphic, "pb_picture_popup", m_menu_icon);
    layout11->addWidget(pb_picture_popup, 0, 3);
    textLabel1_5 = form::named<QLabel>(tab_picture_graphic, "textLabel1_5");
    layout11->addWidget(textLabel1_5, 1, 0);
    le_picture_h_scale = form::named<QLineEdit>(tab_picture_graphic, "le_picture_h_scale");
    layout11->addWidget(le_picture_h_scale, 1, 1);
    textLabel2_3 = form::named<QLabel>(tab_picture_graphic, "textLabel2_3");
    layout11->addWidget(textLabel2_3, 2, 0);
    le_picture_v_scale = form::named<QLineEdit>(tab_picture_graphic, "le_picture_v_scale");
    layout11->addWidget(le_picture_v_scale, 2, 1);
    tab_picture_graphicLayout->addLayout(layout11);
    textLabel3_2 = form::named<QLabel>(tab_picture_graphic, "textLabel3_2");
    textLabel3_2->setTextFormat(Qt::RichText);
    textLabel3_2->setWordWrap(true);
    tab_picture_graphicLayout->addWidget(textLabel3_2);
    tab_picture_graphicLayout->addItem(form::vertical_spacer(20, 70));
    tab_widget->addTab(tab_picture_graphic, QString());

    // Page 7: string list.
    tab_string_list = page(tab_widget, "tab_string_list");
    tab_string_listLayout = form::top_layout<QVBoxLayout>(tab_string_list, "tab_string_listLayout");
    layout15 = form::nested_layout<QGridLayout>("layout15");
    textLabel2 = form::named<QLabel>(tab_string_list, "textLabel2");
    layout15->addWidget(textLabel2, 0, 0);
    le_string_new = form::named<QLineEdit>(tab_string_list, "le_string_new");
    layout15->addWidget(le_string_new, 1, 0);
    pb_string_add = form::named<QPushButton>(tab_string_list, "pb_string_add");
    layout15->addWidget(pb_string_add, 1, 1);
    line3 = horizontal_line(tab_string_list, "line3");
    layout15->addWidget(line3, 2, 0, 1, 2);
    textLabel3 = form::named<QLabel>(tab_string_list, "textLabel3");
    layout15->addWidget(textLabel3, 3, 0);
    lv_string_list = list_view(tab_string_list, "lv_string_list", 1);
    layout15->addWidget(lv_string_list, 4, 0);
    layout14_2 = form::nested_layout<QVBoxLayout>("layout14_2");
    pb_string_delete = form::named<QPushButton>(tab_string_list, "pb_string_delete");
    layout14_2->addWidget(pb_string_delete);
    layout14_2->addItem(form::vertical_spacer(20, 71));
    pb_string_move_up = icon_button(tab_string_list, "pb_string_move_up", m_up_icon);
    layout14_2->addWidget(pb_string_move_up);
    pb_string_move_down = icon_button(tab_string_list, "pb_string_move_down", m_down_icon);
    layout14_2->addWidget(pb_string_move_down);
    layout15->addLayout(layout14_2, 4, 1);
    tab_string_listLayout->addLayout(layout15);
    tab_widget->addTab(tab_string_list, QString());

    // Page 8: colour list.
    tab_color_list = page(tab_widget, "tab_color_list");
    tab_color_listLayout = form::top_layout<QHBoxLayout>(tab_color_list, "tab_color_listLayout");
    lv_color_list = list_view(tab_color_list, "lv_color_list", 3);
    tab_color_listLayout->addWidget(lv_color_list);
    layout11_2 = form::nested_layout<QVBoxLayout>("layout11_2");
    pb_add_color = form::named<QPushButton>(tab_color_list, "pb_add_color");
    layout11_2->addWidget(pb_add_color);
    pb_remove_color = form::named<QPushButton>(tab_color_list, "pb_remove_color");
    layout11_2->addWidget(pb_remove_color);
    pb_change_color = form::named<QPushButton>(tab_color_list, "pb_change_color");
    layout11_2->addWidget(pb_change_color);
    layout11_2->addItem(form::vertical_spacer(20, 40));
    tab_color_listLayout->addLayout(layout11_2);
    tab_widget->addTab(tab_color_list, QString());

    // Page 9: state bitmaps.
    tab_state_bitmaps = page(tab_widget, "tab_state_bitmaps");
    tab_state_bitmapsLayout = form::top_layout<QVBoxLayout>(tab_state_bitmaps, "tab_state_bitmapsLayout");
    layout20 = form::nested_layout<QGridLayout>("layout20");
    QWidget *b = tab_state_bitmaps;
    check_box_two_state_display = form::named<QCheckBox>(b, "check_box_two_state_display");
    layout20->addWidget(check_box_two_state_display, 0, 0, 1, 3);
    textLabel1_6 = form::named<QLabel>(b, "textLabel1_6");
    layout20->addWidget(textLabel1_6, 1, 0);
    textLabel2_4 = form::named<QLabel>(b, "textLabel2_4");
    textLabel2_4->setTextFormat(Qt::RichText);
    layout20->addWidget(textLabel2_4, 1, 1);
    le_compare_value = form::named<QLineEdit>(b, "le_compare_value");
    le_compare_value->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    layout20->addWidget(le_compare_value, 1, 2);
    textLabel5 = form::named<QLabel>(b, "textLabel5");
    layout20->addWidget(textLabel5, 1, 3);
    le_bitmap_file_above = read_only_edit(b, "le_bitmap_file_above");
    layout20->addWidget(le_bitmap_file_above, 1, 4);
    pb_open_above = icon_button(b, "pb_open_above", m_open_icon);
    layout20->addWidget(pb_open_above, 1, 5);
    textLabel3_3 = form::named<QLabel>(b, "textLabel3_3");
    textLabel3_3->setTextFormat(Qt::RichText);
    layout20->addWidget(textLabel3_3, 2, 1);
    le_bitmap_file_equal = read_only_edit(b, "le_bitmap_file_equal");
    layout20->addWidget(le_bitmap_file_equal, 2, 4);
    pb_open_equal = icon_button(b, "pb_open_equal", m_open_icon);
    layout20->addWidget(pb_open_equal, 2, 5, 2, 1);
    textLabel4 = form::named<QLabel>(b, "textLabel4");
    textLabel4->setTextFormat(Qt::RichText);
    layout20->addWidget(textLabel4, 3, 1, 2, 1);
    le_bitmap_file_below = read_only_edit(b, "le_bitmap_file_below");
    layout20->addWidget(le_bitmap_file_below, 4, 4);
    pb_open_below = icon_button(b, "pb_open_below", m_open_icon);
    layout20->addWidget(pb_open_below, 4, 5);
    pb_make_relative_filenames = form::named<QPushButton>(b, "pb_make_relative_filenames");
    layout20->addWidget(pb_make_relative_filenames, 5, 4);
    pb_make_absolute_filenames = form::named<QPushButton>(b, "pb_make_absolute_filenames");
    layout20->addWidget(pb_make_absolute_filenames, 6, 4);
    tab_state_bitmapsLayout->addLayout(layout20);
    tab_state_bitmapsLayout->addItem(form::vertical_spacer(20, 40));
    tab_widget->addTab(tab_state_bitmaps, QString());

    // Page 10: LED settings.
    tab_led_settings = page(tab_widget, "tab_led_settings");
    tab_led_settingsLayout = form::top_layout<QVBoxLayout>(tab_led_settings, "tab_led_settingsLayout");
    layout16_2 = form::nested_layout<QGridLayout>("layout16_2");
    cb_led_value_above = form::named<QCheckBox>(tab_led_settings, "cb_led_value_above");
    layout16_2->addWidget(cb_led_value_above, 0, 0);
    le_led_value_above = form::named<QLineEdit>(tab_led_settings, "le_led_value_above");
    layout16_2->addWidget(le_led_value_above, 0, 1);
    textLabel7_2 = form::named<QLabel>(tab_led_settings, "textLabel7_2");
    layout16_2->addWidget(textLabel7_2, 0, 2);
    combo_led_color = new QtColorComboBox(tab_led_settings, "combo_led_color");
    layout16_2->addWidget(combo_led_color, 0, 3);
    cb_led_value_below = form::named<QCheckBox>(tab_led_settings, "cb_led_value_below");
    layout16_2->addWidget(cb_led_value_below, 1, 0);
    le_led_value_below = form::named<QLineEdit>(tab_led_settings, "le_led_value_below");
    layout16_2->addWidget(le_led_value_below, 1, 1);
    textLabel7_2_2 = form::named<QLabel>(tab_led_settings, "textLabel7_2_2");
    layout16_2->addWidget(textLabel7_2_2, 1, 2);
    combo_led_color2 = new QtColorComboBox(tab_led_settings, "combo_led_color2");
    layout16_2->addWidget(combo_led_color2, 1, 3);
    cb_led_inverse_mode = form::named<QCheckBox>(tab_led_settings, "cb_led_inverse_mode");
    layout16_2->addWidget(cb_led_inverse_mode, 2, 0, 1, 2);
    tab_led_settingsLayout->addLayout(layout16_2);
    tab_led_settingsLayout->addItem(form::vertical_spacer(20, 60));
    tab_widget->addTab(tab_led_settings, QString());

    // Page 11: signal control.
    tab_signal_control = page(tab_widget, "tab_signal_control");
    tab_signal_controlLayout = form::top_layout<QVBoxLayout>(tab_signal_control, "tab_signal_controlLayout");
    layout28 = form::nested_layout<QHBoxLayout>("layout28");
    layout27 = form::nested_layout<QGridLayout>("layout27");
    textLabel2_5 = form::named<QLabel>(tab_signal_control, "textLabel2_5");
    layout27->addWidget(textLabel2_5, 0, 0);
    le_value_inactive = form::named<QLineEdit>(tab_signal_control, "le_value_inactive");
    layout27->addWidget(le_value_inactive, 0, 1);
    textLabel1_8 = form::named<QLabel>(tab_signal_control, "textLabel1_8");
    layout27->addWidget(textLabel1_8, 1, 0);
    le_value_active = form::named<QLineEdit>(tab_signal_control, "le_value_active");
    layout27->addWidget(le_value_active, 1, 1);
    layout28->addLayout(layout27);
    layout28->addItem(form::horizontal_spacer(40, 20));
    tab_signal_controlLayout->addLayout(layout28);
    tab_signal_controlLayout->addItem(form::vertical_spacer(20, 40));
    tab_widget->addTab(tab_signal_control, QString());

    // Page 12: window list.
    tab_window_list = page(tab_widget, "tab_window_list");
    tab_window_listLayout = form::top_layout<QVBoxLayout>(tab_window_list, "tab_window_listLayout");
    lv_window_list = list_view(tab_window_list, "lv_window_list", 2);
    tab_window_listLayout->addWidget(lv_window_list);
    tab_widget->addTab(tab_window_list, QString());

    DialogControlPropertiesBaseLayout->addWidget(tab_widget);

    Layout1 = form::nested_layout<QHBoxLayout>("Layout1");
    pb_help = form::named<QPushButton>(this, "pb_help");
    pb_help->setAutoDefault(true);
    Layout1->addWidget(pb_help);
    Layout1->addItem(form::horizontal_spacer());
    pb_ok = form::named<QPushButton>(this, "pb_ok");
    pb_ok->setAutoDefault(true);
    pb_ok->setDefault(true);
    Layout1->addWidget(pb_ok);
    pb_cancel = form::named<QPushButton>(this, "pb_cancel");
    pb_cancel->setAutoDefault(true);
    Layout1->addWidget(pb_cancel);
    DialogControlPropertiesBaseLayout->addLayout(Layout1);

    languageChange();
    form::resize(this, QSize(738, 383));

    connect(pb_ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(pb_cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void DialogControlPropertiesBase::languageChange()
{
    setWindowTitle(tr("Control Properties"));

    cb_enable->setText(tr("Enable Control"));
    cb_readonly->setText(tr("Readonly"));
    tl_caption1->setText(tr("Caption:"));
    tl_caption2->setText(tr("(This is the name which is displayed)"));
    TextLabel2->setText(tr("Name:"));
    TextLabel3->setText(tr("(This is the identifier of the Control object)"));
    textLabel1->setText(tr("Color:"));
    pb_chose_fg_color->setText(tr("Chose Foreground Color"));
    pb_reset_fg_color->setText(tr("Reset"));
    textLabel1_2->setText(tr("Font:"));
    pb_chose_font->setText(tr("Chose Font"));
    tl_font->setText(tr("Font Name"));
    pb_reset_font->setText(tr("Reset"));
    tab_widget->setTabText(tab_widget->indexOf(tab_basic_settings), tr("Basic Settings"));

    TextLabel1_2->setText(tr("Triggered Actions:"));
    lv_triggered_actions->headerItem()->setText(0, tr("Triggered Action"));
    pb_add_action->setText(QString());
    pb_remove_action->setText(QString());
    TextLabel2_2->setText(tr("Possible Actions:"));
    lv_script_actions->headerItem()->setText(0, tr("Script Action"));
    tab_widget->setTabText(tab_widget->indexOf(tab_script_activation), tr("Script Activation"));

    textLabel2_2->setText(tr("First (or Default) Signal:"));
    TextLabel5->setText(tr("Displayed Signal:"));
    pb_clear_signal->setText(tr("Clear"));
    pb_select_signal->setText(tr("Select Signal"));
    cb_default_value->setText(tr("Default Value"));
    cb_range->setText(tr("Override Range"));
    textLabel1_3->setText(tr("....."));
    tl_signal_2->setText(tr("Second Signal:"));
    tl_signal_name_2->setText(tr("Displayed Signal:"));
    pb_clear_signal_2->setText(tr("Clear"));
    pb_select_signal_2->setText(tr("Select Signal"));
    cb_default_value_2->setText(tr("Default Value"));
    cb_range_2->setText(tr("Override Range"));
    tl_signal_dots_2->setText(tr("....."));
    tab_widget->setTabText(tab_widget->indexOf(tab_signal_settings), tr("Signal Settings"));

    tl_digits->setText(tr("Digits:"));
    QStringList digits;
    for (int n = 2; n <= 32; ++n)
        digits << QString::number(n);
    set_items(combo_digits, digits);
    tl_decimals->setText(tr("Decimals:"));
    QStringList decimals{tr("Auto")};
    for (int n = 0; n <= 9; ++n)
        decimals << QString::number(n);
    set_items(combo_decimals, decimals);
    tl_number_format->setText(tr("Number Format:"));
    set_items(combo_number_format, {tr("Hexadecimal"), tr("Decimal"), tr("Octal"), tr("Binary")});
    tl_arc_start->setText(tr("Start Angle:"));
    tl_arc_start_desc->setText(tr("In Degree (0...360), 0 is mid/left"));
    tl_arc_size->setText(tr("Size:"));
    tl_arc_size_desc->setText(tr("In Degree (30...360)"));
    cb_timeout->setText(tr("Timeout:"));
    tl_timeout->setText(tr("In Milliseconds"));
    cb_paint_labels->setText(tr("Paint Labels"));
    cb_paint_scale->setText(tr("Paint Scale"));
    cb_paint_labels_inside_scale->setText(tr("Paint Labels inside Scale"));
    cb_show_signal_name->setText(tr("Show Signal Name and Unit"));
    tab_widget->setTabText(tab_widget->indexOf(tab_display_options), tr("Display Options"));

    textLabel6->setText(tr("Bitmap File:"));
    pb_bitmap_open->setText(QString());
    pb_bitmap_popup->setText(QString());
    textLabel7->setText(tr("Horizontal Alignment:"));
    set_items(combo_halign, {tr("HAlign Left"), tr("HAlign Center"), tr("HAlign Right"), tr("HAlign Scale to Fit"),
                             tr("HAlign Center in Left Half"), tr("HAlign Center in Right Half")});
    textLabel8->setText(tr("Vertigal Alignment:"));
    set_items(combo_valign, {tr("VAlign Top"), tr("VAlign Center"), tr("VAlign Bottom"), tr("VAlign Scale to Fit"),
                             tr("VAlign Center in Upper Half"), tr("VAlign Center in Lower Half")});
    tl_bitmap_preview->setText(QString());
    tab_widget->setTabText(tab_widget->indexOf(tab_bitmap_graphic), tr("Bitmap Graphic"));

    textLabel1_4->setText(tr("Pointer Graphic File:"));
    pb_picture_open->setText(QString());
    pb_picture_popup->setText(QString());
    textLabel1_5->setText(tr("Scale Factor Horizontal:"));
    textLabel2_3->setText(tr("Scale Factor Vertical:"));
    textLabel3_2->setText(
        tr("<p>Here you can select a pictue file in SVG (Scalable Vector Graphic) format, which is used to paint the "
           "pointer/arrow in the tacho element.</p>\n<p><b>Important:</b> Please note that VYR currently does not "
           "support all of SVG, as the underlying Qt library currently does not have full SVG "
           "support.</p>\n<p>Therefore it's in the moment only possible to use simple handmade SVG pictures. You "
           "cannot directly use SVG files which are exported from a drawing program like e.g. Corel Draw.</p>"));
    tab_widget->setTabText(tab_widget->indexOf(tab_picture_graphic), tr("Pointer Graphic"));

    textLabel2->setText(tr("String-Value to Add:"));
    pb_string_add->setText(tr("Add Value"));
    textLabel3->setText(tr("String List:"));
    lv_string_list->headerItem()->setText(0, tr("String Value"));
    pb_string_delete->setText(tr("Delete Value"));
    pb_string_move_up->setText(QString());
    pb_string_move_down->setText(QString());
    tab_widget->setTabText(tab_widget->indexOf(tab_string_list), tr("String List"));

    lv_color_list->headerItem()->setText(0, tr("Lower Limit"));
    lv_color_list->headerItem()->setText(1, tr("Upper Limit"));
    lv_color_list->headerItem()->setText(2, tr("Color"));
    pb_add_color->setText(tr("Add New Color"));
    pb_remove_color->setText(tr("Remove Color Entry"));
    pb_change_color->setText(tr("Change Color Entry"));
    tab_widget->setTabText(tab_widget->indexOf(tab_color_list), tr("Color List"));

    check_box_two_state_display->setText(tr("Use only two states"));
    textLabel1_6->setText(tr("If Signal Value is"));
    textLabel2_4->setText(tr("<b>&gt;</b>"));
    textLabel5->setText(tr(", display Bitmap Graphic"));
    textLabel3_3->setText(tr("<b>=</b>"));
    textLabel4->setText(tr("<b>&lt;</b>"));
    pb_make_relative_filenames->setText(tr("Make Filenames Relative"));
    pb_make_absolute_filenames->setText(tr("Make Filenames Absolute"));
    tab_widget->setTabText(tab_widget->indexOf(tab_state_bitmaps), tr("State Bitmaps"));

    cb_led_value_above->setText(tr("Switch LED on when Signal Value is above (>)"));
    cb_led_value_above->setShortcut(QKeySequence());
    textLabel7_2->setText(tr("Color1:"));
    cb_led_value_below->setText(tr("Switch LED on when Signal Value is below (<)"));
    cb_led_value_below->setShortcut(QKeySequence());
    textLabel7_2_2->setText(tr("Color2:"));
    cb_led_inverse_mode->setText(tr("Inverse Mode"));
    tab_widget->setTabText(tab_widget->indexOf(tab_led_settings), tr("LED Settings"));

    textLabel2_5->setText(tr("Value when not active:"));
    le_value_inactive->setText(QString());
    textLabel1_8->setText(tr("Value when active:"));
    tab_widget->setTabText(tab_widget->indexOf(tab_signal_control), tr("Signal Control"));

    lv_window_list->headerItem()->setText(0, tr("Window Identifer"));
    lv_window_list->headerItem()->setText(1, tr("Window Title"));
    tab_widget->setTabText(tab_widget->indexOf(tab_window_list), tr("Window List"));

    pb_help->setText(tr("Help"));
    pb_help->setShortcut(QKeySequence(tr("F1")));
    pb_ok->setText(tr("OK"));
    pb_ok->setShortcut(QKeySequence());
    pb_cancel->setText(tr("Cancel"));
    pb_cancel->setShortcut(QKeySequence());
}
