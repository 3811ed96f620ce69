// The control properties dialog on real panel items: the pages and controls
// each kind shows, the fields' enabling, the string list with its menu and
// the Delete key, graphics files that cannot be read, and the colour and
// font choices (a cancelled colour dialog changes nothing).
#include "core/vyr_question.h"
#include "panel_editing_support.h"
#include "widgets/misc/qtcolorcombobox.h"
#include "windows/panel/panel_signal_binding.h"
#include "windows/panel/vyr_dialog_control_properties.h"
#include "windows/panel/vyr_panel_item.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <gtest/gtest.h>

using namespace panel_editing;

namespace {

QStringList pages(const VyrDialogControlProperties &dialog)
{
    QStringList titles;
    for (int i = 0; i < dialog.tab_widget->count(); ++i)
        titles << dialog.tab_widget->tabText(i);
    return titles;
}

QStringList strings(const VyrDialogControlProperties &dialog)
{
    QStringList texts;
    for (int i = 0; i < dialog.lv_string_list->topLevelItemCount(); ++i)
        texts << dialog.lv_string_list->topLevelItem(i)->text(0);
    return texts;
}

void select_strings(VyrDialogControlProperties &dialog, std::initializer_list<int> rows)
{
    dialog.lv_string_list->clearSelection();
    for (int row : rows)
        dialog.lv_string_list->topLevelItem(row)->setSelected(true);
}

class ControlProperties : public ::testing::Test
{
protected:
    // A dialog loaded with a new item of the type.
    VyrDialogControlProperties &open(const char *type, const std::function<void(VyrPanelItem *)> &prepare = {})
    {
        item = panel.insert_new_item(QString::fromLatin1(type));
        EXPECT_NE(item, nullptr) << type;
        if (prepare)
            prepare(item);
        dialog = std::make_unique<VyrDialogControlProperties>(&panel, "item_properties");
        dialog->load_item(item);
        return *dialog;
    }

    VyrPanel panel{nullptr};
    VyrPanelItem *item = nullptr;
    std::unique_ptr<VyrDialogControlProperties> dialog;
};

} // namespace

TEST_F(ControlProperties, EachKindShowsThePagesItsWidgetHas)
{
    const std::pair<const char *, QStringList> rows[] = {
        {"TextLabel", {"Basic Settings"}},
        {"GroupBox", {"Basic Settings"}},
        {"PushButton", {"Basic Settings", "Script Activation", "Signal Settings", "Signal Control"}},
        {"LineEdit", {"Basic Settings", "Script Activation", "Signal Settings", "Display Options"}},
        {"LCD Number", {"Basic Settings", "Signal Settings", "Display Options"}},
        {"LED", {"Basic Settings", "Signal Settings", "LED Settings"}},
        {"ComboBox", {"Basic Settings", "Script Activation", "String List"}},
        {"PanelButton", {"Basic Settings", "Window List"}},
        {"Tacho", {"Basic Settings", "Signal Settings", "Display Options", "Bitmap Graphic", "Pointer Graphic"}},
    };
    for (const auto &[type, expected] : rows) {
        SCOPED_TRACE(type);
        EXPECT_EQ(pages(open(type)).join(", ").toStdString(), expected.join(", ").toStdString());
    }
}

TEST_F(ControlProperties, BasicControlsFollowTheWidget)
{
    VyrDialogControlProperties &label = open("TextLabel", [](VyrPanelItem *i) {
        i->widget()->setProperty("text", "Engine");
        i->widget()->setObjectName("engine_label");
        i->widget()->setEnabled(false);
    });
    EXPECT_EQ(label.le_caption->text(), "Engine");
    EXPECT_EQ(label.le_name->text(), "engine_label");
    EXPECT_FALSE(label.cb_enable->isChecked());
    EXPECT_TRUE(label.cb_readonly->isHidden()) << "not a line edit";

    VyrDialogControlProperties &group = open("GroupBox", [](VyrPanelItem *i) { i->widget()->setProperty("title", "Gear"); });
    EXPECT_EQ(group.le_caption->text(), "Gear") << "a group box's caption is its title";
    EXPECT_FALSE(group.le_caption->isHidden());

    VyrDialogControlProperties &edit = open("LineEdit", [](VyrPanelItem *i) { i->widget()->setProperty("readOnly", true); });
    EXPECT_FALSE(edit.cb_readonly->isHidden());
    EXPECT_TRUE(edit.cb_readonly->isChecked());
    EXPECT_TRUE(edit.combo_decimals->isHidden());
    EXPECT_TRUE(edit.tl_decimals->isHidden());
    EXPECT_TRUE(edit.le_signal_name_2->isHidden()) << "one binding";

    VyrDialogControlProperties &hex = open("Hex Editor");
    EXPECT_TRUE(hex.le_caption->isHidden());
    EXPECT_TRUE(hex.tl_caption1->isHidden());
    EXPECT_TRUE(hex.tl_caption2->isHidden());
}

TEST_F(ControlProperties, NumberDisplayOptions)
{
    struct Case
    {
        int digits;
        int decimals;
        QString digits_text;
        QString decimals_text;
    };
    const Case cases[] = {{8, -1, "8", "Auto"}, {12, 2, "12", "2"}, {40, 0, "5", "0"}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.digits);
        VyrDialogControlProperties &d = open("LCD Number", [&c](VyrPanelItem *i) {
            i->widget()->setProperty("numDigits", c.digits);
            i->widget()->setProperty("numDecimals", c.decimals);
        });
        if (c.digits == 40)
            EXPECT_EQ(d.combo_digits->currentIndex(), 0) << "no entry for 40: the box is left as it was";
        else
            EXPECT_EQ(d.combo_digits->currentText(), c.digits_text);
        EXPECT_EQ(d.combo_decimals->currentText(), c.decimals_text);
        EXPECT_FALSE(d.cb_timeout->isHidden());
    }
    // Applied back: "Auto" is -1, and the chosen digits.
    VyrDialogControlProperties &d = open("LCD Number");
    d.combo_digits->setCurrentText("16");
    d.combo_decimals->setCurrentIndex(0);
    d.combo_number_format->setCurrentIndex(3);
    d.apply_to_item(item);
    EXPECT_EQ(item->widget()->property("numDigits").toInt(), 16);
    EXPECT_EQ(item->widget()->property("numDecimals").toInt(), -1);
    EXPECT_EQ(item->widget()->property("mode").toInt(), 3);
}

TEST_F(ControlProperties, PanelButtonListsTheOpenWindowsAndSelectsThoseItOpens)
{
    VyrPanel first(nullptr), second(nullptr), third(nullptr);
    first.set_window_identifier("W1");
    second.set_window_identifier("W2");
    third.set_window_identifier("W3");
    VyrDialogControlProperties &d =
        open("PanelButton", [](VyrPanelItem *i) { i->widget()->setProperty("activationList", "W2|W9||W1"); });
    QStringList selected;
    int rows_of_w9 = 0;
    for (int i = 0; i < d.lv_window_list->topLevelItemCount(); ++i) {
        QTreeWidgetItem *row = d.lv_window_list->topLevelItem(i);
        rows_of_w9 += row->text(0) == "W9";
        if (row->isSelected())
            selected << row->text(0);
    }
    EXPECT_EQ(selected, QStringList({"W1", "W2"})) << "in window-list order";
    EXPECT_EQ(rows_of_w9, 0);
    EXPECT_EQ(d.lv_window_list->findItems("W3", Qt::MatchExactly).size(), 1);
    d.lv_window_list->findItems("W3", Qt::MatchExactly)[0]->setSelected(true);
    d.apply_to_item(item);
    EXPECT_EQ(item->widget()->property("activationList").toString(), "W1|W2|W3");
}

TEST_F(ControlProperties, ShowStateEnablesWhatTheChecksAndFlagsAllow)
{
    VyrDialogControlProperties &d = open("LED");
    const std::pair<QCheckBox *, std::vector<QWidget *>> rows[] = {
        {d.cb_range, {d.le_minv, d.le_maxv}},
        {d.cb_default_value, {d.le_default_value}},
        {d.cb_led_value_above, {d.le_led_value_above}},
        {d.cb_led_value_below, {d.le_led_value_below}},
        {d.cb_timeout, {d.le_timeout}},
    };
    for (const auto &[box, fields] : rows) {
        SCOPED_TRACE(box->objectName().toStdString());
        for (bool on : {true, false}) {
            box->setChecked(!on);
            box->click();
            for (QWidget *field : fields)
                EXPECT_EQ(field->isEnabled(), on) << field->objectName().toStdString();
        }
    }
    EXPECT_FALSE(d.pb_reset_fg_color->isEnabled());
    EXPECT_FALSE(d.pb_reset_font->isEnabled());
    EXPECT_TRUE(d.tl_font->text().isEmpty());

    DesktopAnswers answers;
    answers.font = QFont("Courier New", 14);
    d.pb_chose_font->click();
    EXPECT_TRUE(d.font_set());
    EXPECT_EQ(d.tl_font->text(), QFont("Courier New", 14).family() + ", 14");
    EXPECT_TRUE(d.pb_reset_font->isEnabled());
    answers.color = Qt::magenta;
    d.pb_chose_fg_color->click();
    EXPECT_TRUE(d.pb_reset_fg_color->isEnabled());
    EXPECT_EQ(d.pl_fg_color->pixmap(Qt::ReturnByValue).toImage().pixelColor(3, 3), QColor(Qt::magenta));
    d.pb_reset_fg_color->click();
    d.pb_reset_font->click();
    EXPECT_FALSE(d.color_set());
    EXPECT_FALSE(d.font_set());
    EXPECT_TRUE(d.tl_font->text().isEmpty());
    EXPECT_EQ(answers.asked, QStringList({"choose_font", "choose_fg_color"}));
}

// A cancelled colour dialog leaves the colour as it was: nothing is marked
// as set, the swatch keeps its colour and the item's text colour stays.
TEST_F(ControlProperties, CancelledColourDialogChangesNothing)
{
    DesktopAnswers answers;
    VyrDialogControlProperties &d = open("TextLabel");
    const QImage swatch = d.pl_fg_color->pixmap(Qt::ReturnByValue).toImage();
    const QPalette palette = item->widget()->palette();
    answers.color = QColor();
    d.pb_chose_fg_color->click();
    EXPECT_FALSE(d.color_set());
    EXPECT_EQ(d.pl_fg_color->pixmap(Qt::ReturnByValue).toImage(), swatch);
    d.apply_to_item(item);
    EXPECT_EQ(item->widget()->palette(), palette);
    EXPECT_FALSE(item->widget()->testAttribute(Qt::WA_SetPalette));

    // A chosen colour reaches the item; Reset takes its own palette away again.
    answers.color = Qt::darkRed;
    d.pb_chose_fg_color->click();
    d.apply_to_item(item);
    EXPECT_EQ(item->widget()->palette().color(QPalette::WindowText), QColor(Qt::darkRed));
    EXPECT_TRUE(item->widget()->testAttribute(Qt::WA_SetPalette));
    d.pb_reset_fg_color->click();
    d.apply_to_item(item);
    EXPECT_FALSE(item->widget()->testAttribute(Qt::WA_SetPalette));
}

TEST_F(ControlProperties, StringListMovesDeletesSortsAndAppliesItsRows)
{
    VyrDialogControlProperties &d =
        open("ComboBox", [](VyrPanelItem *i) { i->widget()->setProperty("items", QStringList({"a", "b", "c", "d"})); });
    EXPECT_EQ(strings(d), QStringList({"a", "b", "c", "d"}));
    EXPECT_FALSE(d.strings_modified());
    EXPECT_FALSE(d.pb_string_add->isEnabled());
    d.le_string_new->setText("e");
    EXPECT_TRUE(d.pb_string_add->isEnabled());
    d.pb_string_add->click();
    EXPECT_EQ(strings(d), QStringList({"a", "b", "c", "d", "e"}));
    EXPECT_TRUE(d.strings_modified());
    EXPECT_EQ(d.le_string_new->selectedText(), "e");

    struct Move
    {
        std::initializer_list<int> selected;
        bool up;
        QStringList after;
        bool up_enabled, down_enabled; // before the move
    };
    const Move moves[] = {
        {{1, 2}, false, {"a", "d", "b", "c", "e"}, true, true}, // two adjacent rows keep their order
        {{2, 3}, true, {"a", "b", "c", "d", "e"}, true, true},
        {{0}, false, {"b", "a", "c", "d", "e"}, false, true},
        {{4}, true, {"b", "a", "c", "e", "d"}, true, false},
    };
    for (const Move &m : moves) {
        select_strings(d, m.selected);
        EXPECT_EQ(d.pb_string_move_up->isEnabled(), m.up_enabled);
        EXPECT_EQ(d.pb_string_move_down->isEnabled(), m.down_enabled);
        (m.up ? d.pb_string_move_up : d.pb_string_move_down)->click();
        EXPECT_EQ(strings(d), m.after);
    }

    select_strings(d, {0, 4});
    QTest::keyClick(&d, Qt::Key_Delete);
    EXPECT_EQ(strings(d), QStringList({"a", "c", "e"})) << "Delete removes the selected strings";

    std::unique_ptr<QMenu> menu = d.build_string_context_menu(nullptr);
    EXPECT_FALSE(menu_entry(menu.get(), {"Delete Current Item"})->isEnabled());
    EXPECT_FALSE(menu_entry(menu.get(), {"Delete Selected Items"})->isEnabled());
    menu = d.build_string_context_menu(d.lv_string_list->topLevelItem(1));
    ASSERT_TRUE(menu_entry(menu.get(), {"Delete Current Item"})->isEnabled());
    menu_entry(menu.get(), {"Delete Current Item"})->trigger();
    EXPECT_EQ(strings(d), QStringList({"a", "e"}));
    menu = d.build_string_context_menu(nullptr);
    EXPECT_FALSE(menu_entry(menu.get(), {"Sort Items"})->isChecked());
    menu_entry(menu.get(), {"Sort Items"})->trigger();
    EXPECT_TRUE(d.strings_sorted());
    EXPECT_EQ(strings(d), QStringList({"e", "a"})) << "sorted descending";
    menu = d.build_string_context_menu(nullptr);
    EXPECT_TRUE(menu_entry(menu.get(), {"Sort Items"})->isChecked());

    d.apply_to_item(item);
    EXPECT_EQ(item->widget()->property("items").toStringList(), QStringList({"e", "a"}));
}

TEST_F(ControlProperties, GraphicsFilesThatCannotBeReadLeaveTheFieldAsItWas)
{
    QTemporaryDir dir;
    const QString picture = dir.filePath("dot.png");
    QImage image(4, 4, QImage::Format_RGB32);
    image.fill(Qt::blue);
    ASSERT_TRUE(image.save(picture));
    const QString not_a_picture = dir.filePath("text.png");
    {
        QFile file(not_a_picture);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("no picture");
    }
    QStringList messages;
    set_vyr_question_function([&messages](QWidget *, const QString &title, const QString &text, const QStringList &,
                                          VyrQuestionIcon icon) {
        messages << title + ": " + text + (icon == VyrQuestionIcon::critical ? " (critical)" : "");
        return 0;
    });
    DesktopAnswers answers;
    VyrDialogControlProperties &d = open("Tacho");
    const QString before = d.le_bitmap_file->text();

    answers.file = dir.filePath("missing.png");
    d.pb_bitmap_open->click();
    EXPECT_EQ(d.le_bitmap_file->text(), before);
    EXPECT_EQ(messages, QStringList({"Error: Unable to open file '" + answers.file + "' for reading !\n (critical)"}));

    answers.file = picture;
    d.pb_bitmap_open->click();
    EXPECT_EQ(d.le_bitmap_file->text(), picture);
    ASSERT_FALSE(d.tl_bitmap_preview->pixmap(Qt::ReturnByValue).isNull());
    EXPECT_EQ(d.tl_bitmap_preview->pixmap(Qt::ReturnByValue).size(), QSize(4, 4));

    answers.file = not_a_picture;
    d.pb_bitmap_open->click();
    EXPECT_EQ(d.le_bitmap_file->text(), not_a_picture) << "readable, so taken";
    EXPECT_EQ(d.tl_bitmap_preview->text(), "No valid Bitmap Graphic !");

    answers.file = dir.filePath("missing.svg");
    d.pb_picture_open->click();
    EXPECT_TRUE(d.le_picture_file->text().isEmpty());
    EXPECT_EQ(messages.size(), 2);
    EXPECT_EQ(answers.asked, QStringList({"bitmap_open", "bitmap_open", "bitmap_open", "picture_open"}));

    // The field's menu: Clear, and the path entries.
    std::unique_ptr<QMenu> menu = d.build_file_context_menu(false);
    EXPECT_FALSE(menu_entry(menu.get(), {"Clear"})->isEnabled());
    EXPECT_FALSE(menu_entry(menu.get(), {"Make absolute path"})->isEnabled());
    EXPECT_FALSE(menu_entry(menu.get(), {"Make relative path"})->isEnabled());
    menu = d.build_file_context_menu(true);
    EXPECT_TRUE(menu_entry(menu.get(), {"Make relative path"})->isEnabled());
    EXPECT_FALSE(menu_entry(menu.get(), {"Make absolute path"})->isEnabled()) << "absolute already";
    menu_entry(menu.get(), {"Clear"})->trigger();
    EXPECT_TRUE(d.le_bitmap_file->text().isEmpty());
    EXPECT_EQ(d.tl_bitmap_preview->text(), "No valid Bitmap Graphic !");
    set_vyr_question_function({});
}

TEST_F(ControlProperties, AppliedSignalsArcAndLedSettings)
{
    VyrDialogControlProperties &tacho = open("Tacho");
    tacho.insert_signal("CAN7", "Engine.Speed");
    EXPECT_EQ(tacho.le_signal_name->text(), "CAN7::Engine.Speed") << "no such interface: its id";
    tacho.le_arc_start->setText("90");
    tacho.le_arc_size->setText("-20");
    tacho.cb_range->setChecked(true);
    tacho.le_minv->setText("");
    tacho.le_maxv->setText("7.5");
    tacho.apply_to_item(item);
    EXPECT_EQ(item->widget()->property("arcStart").toInt(), 90);
    EXPECT_EQ(item->widget()->property("arcSize").toInt(), 30) << "a negative size";
    const PanelSignalBinding &binding = *item->bindings()[0];
    EXPECT_EQ(binding.interface_id(), "CAN7");
    EXPECT_EQ(binding.signal_name(), "Engine.Speed");
    EXPECT_EQ(binding.range_minimum, 0.0) << "an empty field reads as 0";
    EXPECT_EQ(binding.range_maximum, 7.5);

    VyrDialogControlProperties &again = open("Tacho", [](VyrPanelItem *i) {
        i->bindings()[0]->set_names("CAN7", "Engine.Speed");
    });
    EXPECT_EQ(again.le_signal_name->text(), "CAN7::Engine.Speed");
    again.clear_signal_1();
    again.apply_to_item(item);
    EXPECT_TRUE(item->bindings()[0]->interface_id().isEmpty());

    VyrDialogControlProperties &led = open("LED");
    ASSERT_EQ(led.combo_led_color->count(), 5);
    EXPECT_EQ(led.combo_led_color->itemText(4), "White");
    led.combo_led_color->setCurrentIndex(3);
    led.combo_led_color2->setCurrentIndex(1);
    led.cb_led_value_above->setChecked(true);
    led.le_led_value_above->setText("2.5");
    led.cb_led_inverse_mode->setChecked(true);
    led.apply_to_item(item);
    EXPECT_EQ(item->widget()->property("ledColor").value<QColor>(), QColor(Qt::blue));
    EXPECT_EQ(item->widget()->property("ledColor2").value<QColor>(), QColor(Qt::yellow));
    EXPECT_TRUE(item->widget()->property("upperLimitValid").toBool());
    EXPECT_EQ(item->widget()->property("upperLimit").toDouble(), 2.5);
    EXPECT_TRUE(item->widget()->property("inverse").toBool());
}
