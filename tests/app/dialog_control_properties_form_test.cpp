// The form of the control properties dialog: names, texts and items of its
// twelve pages, the lists it keeps across languageChange(), its fixed sizes
// and first page.
#include "forms/dialog_control_properties_base.h"
#include "tests/app/form_test_support.h"
#include "widgets/misc/qtcolorcombobox.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include <cstdlib>

namespace {

// languageChange() is protected: a second call from a test.
class Form : public DialogControlPropertiesBase
{
public:
    using DialogControlPropertiesBase::DialogControlPropertiesBase;
    void change_language() { languageChange(); }
};

QStringList header_texts(QTreeWidget *list)
{
    QStringList texts;
    for (int i = 0; i < list->columnCount(); ++i)
        texts << list->headerItem()->text(i);
    return texts;
}

} // namespace

TEST(DialogControlPropertiesBase, NamesTextsAndPages)
{
    Form form;
    EXPECT_EQ(form.objectName(), "DialogControlPropertiesBase");
    EXPECT_EQ(Form(nullptr, "item_properties").objectName(), "item_properties");
    EXPECT_EQ(form.windowTitle(), "Control Properties");
    EXPECT_TRUE(form.isSizeGripEnabled());
    form_test::expect_initial_size(&form, QSize(738, 383));
    form_test::expect_spacing(&form, "DialogControlPropertiesBaseLayout", 11, 6);
    for (const char *layout : {"tab_basic_settingsLayout", "tab_bitmap_graphicLayout", "tab_window_listLayout"})
        form_test::expect_spacing(&form, layout, 11, 6);
    for (const char *layout : {"layout14", "layout17", "layout16", "layout11", "layout15", "layout16_2", "Layout1"})
        form_test::expect_spacing(&form, layout, 0, 6);

    QStringList tabs;
    for (int i = 0; i < form.tab_widget->count(); ++i)
        tabs << form.tab_widget->widget(i)->objectName() + "=" + form.tab_widget->tabText(i);
    EXPECT_EQ(tabs, QStringList({"tab_basic_settings=Basic Settings", "tab_script_activation=Script Activation",
                                 "tab_signal_settings=Signal Settings", "tab_display_options=Display Options",
                                 "tab_bitmap_graphic=Bitmap Graphic", "tab_picture_graphic=Pointer Graphic",
                                 "tab_string_list=String List", "tab_color_list=Color List",
                                 "tab_state_bitmaps=State Bitmaps", "tab_led_settings=LED Settings",
                                 "tab_signal_control=Signal Control", "tab_window_list=Window List"}));
    EXPECT_EQ(form.tab_widget->currentWidget(), form.tab_basic_settings) << "the first page";

    const form_test::TextRow rows[] = {
        {"cb_enable", "Enable Control"},
        {"cb_readonly", "Readonly"},
        {"tl_caption1", "Caption:"},
        {"tl_caption2", "(This is the name which is displayed)"},
        {"TextLabel2", "Name:"},
        {"TextLabel3", "(This is the identifier of the Control object)"},
        {"textLabel1", "Color:"},
        {"pb_chose_fg_color", "Chose Foreground Color"},
        {"pb_reset_fg_color", "Reset"},
        {"textLabel1_2", "Font:"},
        {"pb_chose_font", "Chose Font"},
        {"tl_font", "Font Name"},
        {"pb_reset_font", "Reset"},
        {"TextLabel1_2", "Triggered Actions:"},
        {"pb_add_action", ""},
        {"pb_remove_action", ""},
        {"TextLabel2_2", "Possible Actions:"},
        {"textLabel2_2", "First (or Default) Signal:"},
        {"TextLabel5", "Displayed Signal:"},
        {"pb_clear_signal", "Clear"},
        {"pb_select_signal", "Select Signal"},
        {"cb_default_value", "Default Value"},
        {"cb_range", "Override Range"},
        {"textLabel1_3", "....."},
        {"tl_signal_2", "Second Signal:"},
        {"tl_signal_name_2", "Displayed Signal:"},
        {"cb_range_2", "Override Range"},
        {"tl_signal_dots_2", "....."},
        {"tl_digits", "Digits:"},
        {"tl_decimals", "Decimals:"},
        {"tl_number_format", "Number Format:"},
        {"combo_number_format", "Hexadecimal|Decimal|Octal|Binary"},
        {"tl_arc_start", "Start Angle:"},
        {"tl_arc_start_desc", "In Degree (0...360), 0 is mid/left"},
        {"tl_arc_size", "Size:"},
        {"tl_arc_size_desc", "In Degree (30...360)"},
        {"cb_timeout", "Timeout:"},
        {"tl_timeout", "In Milliseconds"},
        {"cb_paint_labels", "Paint Labels"},
        {"cb_paint_scale", "Paint Scale"},
        {"cb_paint_labels_inside_scale", "Paint Labels inside Scale"},
        {"cb_show_signal_name", "Show Signal Name and Unit"},
        {"textLabel6", "Bitmap File:"},
        {"textLabel7", "Horizontal Alignment:"},
        {"combo_halign", "HAlign Left|HAlign Center|HAlign Right|HAlign Scale to Fit|HAlign Center in Left Half|"
                         "HAlign Center in Right Half"},
        {"textLabel8", "Vertigal Alignment:"},
        {"combo_valign", "VAlign Top|VAlign Center|VAlign Bottom|VAlign Scale to Fit|VAlign Center in Upper Half|"
                         "VAlign Center in Lower Half"},
        {"tl_bitmap_preview", ""},
        {"textLabel1_4", "Pointer Graphic File:"},
        {"textLabel1_5", "Scale Factor Horizontal:"},
        {"textLabel2_3", "Scale Factor Vertical:"},
        {"textLabel2", "String-Value to Add:"},
        {"pb_string_add", "Add Value"},
        {"textLabel3", "String List:"},
        {"pb_string_delete", "Delete Value"},
        {"pb_add_color", "Add New Color"},
        {"pb_remove_color", "Remove Color Entry"},
        {"pb_change_color", "Change Color Entry"},
        {"check_box_two_state_display", "Use only two states"},
        {"textLabel1_6", "If Signal Value is"},
        {"textLabel2_4", "<b>&gt;</b>"},
        {"textLabel5", ", display Bitmap Graphic"},
        {"pb_make_relative_filenames", "Make Filenames Relative"},
        {"pb_make_absolute_filenames", "Make Filenames Absolute"},
        {"cb_led_value_above", "Switch LED on when Signal Value is above (>)"},
        {"cb_led_value_below", "Switch LED on when Signal Value is below (<)"},
        {"textLabel7_2", "Color1:"},
        {"textLabel7_2_2", "Color2:"},
        {"combo_led_color", ""},
        {"combo_led_color2", ""},
        {"cb_led_inverse_mode", "Inverse Mode"},
        {"textLabel2_5", "Value when not active:"},
        {"textLabel1_8", "Value when active:"},
        {"pb_help", "Help"},
        {"pb_ok", "OK"},
        {"pb_cancel", "Cancel"},
    };
    form_test::expect_texts(&form, rows);
    EXPECT_TRUE(form.textLabel3_2->text().startsWith("<p>Here you can select a pictue file in SVG"));
    EXPECT_EQ(form.textLabel3_2->text().count('\n'), 2);
    EXPECT_EQ(header_texts(form.lv_triggered_actions), QStringList({"Triggered Action"}));
    EXPECT_EQ(header_texts(form.lv_script_actions), QStringList({"Script Action"}));
    EXPECT_EQ(header_texts(form.lv_string_list), QStringList({"String Value"}));
    EXPECT_EQ(header_texts(form.lv_color_list), QStringList({"Lower Limit", "Upper Limit", "Color"}));
    EXPECT_EQ(header_texts(form.lv_window_list), QStringList({"Window Identifer", "Window Title"}));
    EXPECT_EQ(form.pb_help->shortcut(), QKeySequence(Qt::Key_F1));
    EXPECT_TRUE(form.pb_ok->isDefault());
    for (QLineEdit *field : {form.le_signal_name, form.le_signal_name_2, form.le_bitmap_file, form.le_picture_file})
        EXPECT_TRUE(field->isReadOnly()) << field->objectName().toStdString();
    EXPECT_FALSE(form.le_caption->isReadOnly());
    EXPECT_EQ(form.textLabel1_3->font().pointSize(), 13);
    EXPECT_TRUE(form.textLabel1_3->font().bold());
    EXPECT_TRUE(form.textLabel2_2->font().bold());
    for (QPushButton *button : {form.pb_add_action, form.pb_remove_action, form.pb_bitmap_open, form.pb_bitmap_popup,
                                form.pb_picture_open, form.pb_string_move_up, form.pb_string_move_down})
        EXPECT_FALSE(button->icon().isNull()) << button->objectName().toStdString();
    EXPECT_NE(qobject_cast<QtColorComboBox *>(form.combo_led_color), nullptr);
}

TEST(DialogControlPropertiesBase, ListsSurviveLanguageChangeAndSizesStayFixed)
{
    Form form;
    form.change_language();
    form.change_language();
    EXPECT_EQ(form.combo_digits->count(), 31);
    EXPECT_EQ(form.combo_digits->itemText(0), "2");
    EXPECT_EQ(form.combo_digits->itemText(30), "32");
    EXPECT_EQ(form.combo_decimals->count(), 11);
    EXPECT_EQ(form.combo_decimals->itemText(0), "Auto");
    EXPECT_EQ(form.combo_decimals->itemText(10), "9");
    EXPECT_EQ(form.combo_halign->count(), 6);
    EXPECT_EQ(form.combo_valign->count(), 6);
    EXPECT_EQ(form.combo_led_color->count(), 0) << "the colour boxes get no items from the form";

    for (const QSize size : {QSize(300, 200), QSize(1200, 900)}) {
        form.resize(size);
        form.show();
        form.tab_widget->setCurrentWidget(form.tab_bitmap_graphic);
        QApplication::processEvents();
        EXPECT_EQ(form.pl_fg_color->size(), QSize(80, 16));
        EXPECT_GE(form.tl_bitmap_preview->width(), 50);
        EXPECT_GE(form.tl_bitmap_preview->height(), 50);
    }
    if (const char *dir = std::getenv("VYR_TEST_PNG_DIR")) {
        form.resize(738, 383);
        form.tab_widget->setCurrentWidget(form.tab_basic_settings);
        form.grab().save(QString::fromLocal8Bit(dir) + "/dialog_control_properties.png");
    }
}
