// The panel item kinds as the registry makes them: each row's class, object
// name, caption, store entries, bindings and event lists, and that every
// persistent property name exists on the widget; the line edit, combo box,
// text browser, LCD number, LED meter and hex editor behaviours; radio groups
// per interface; the numeric helpers and the scale-step rule.
#include "core/memory_region.h"
#include "widgets/gauges/qledmeter.h"
#include "widgets/lcd/qtlcdnumber.h"
#include "windows/panel/panel_item_kinds.h"
#include "windows/panel/panel_item_type_info.h"
#include "windows/panel/panel_qwt_items.h"
#include "windows/panel/panel_signal_binding.h"
#include "windows/panel/panel_widget_properties.h"
#include "windows/panel/vyr_script_activation.h"

#include <QScrollBar>
#include <QWidget>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

struct Row
{
    const char *type_name;
    int category;
    uint32_t variant;
    int property_count;
    const char *item_class;
    const char *widget_class;
    const char *object_name; // "" when the kind names none
    int bindings;
    std::vector<QString> event_lists;
};

QStringList list_names(const VyrPanelItem &item)
{
    QStringList names;
    if (item.activation_group()) {
        for (const auto &list : item.activation_group()->lists())
            names << list->name() + "/" + list->title();
    }
    return names;
}

TEST(PanelItemKinds, EveryRowMakesItsKindWithPersistentPropertiesOnTheWidget)
{
    // First items of their kind: the counters start at 1 in this process.
    const std::vector<Row> rows = {
        {"PushButton", 2, 0, 6, "VyrPanelItemPushButton", "QPushButton", "push_button_1", 1,
         {"clicked/On Button Clicked", "pressed/On Button Pressed", "released/On Button Released"}},
        {"PanelButton", 2, 0, 7, "VyrPanelItemPanelButton", "VyrPanelPushButton", "panel_button_1", 0, {}},
        {"RadioButton", 2, 0, 7, "VyrPanelItemRadioButton", "QRadioButton", "", 1, {"stateChanged/On State Changed"}},
        {"CheckBox", 2, 0, 7, "VyrPanelItemCheckBox", "QCheckBox", "", 1, {"stateChanged/On State Changed"}},
        {"LineEdit", 2, 0, 9, "VyrPanelItemLineEdit", "VyrPanelLineEdit", "", 1,
         {"textChanged/On Text Changed", "returnPressed/Return(Enter) Pressed"}},
        {"TextBrowser", 3, 0, 6, "VyrPanelItemTextBrowser", "VyrPanelTextBrowser", "", 0, {}},
        {"ComboBox", 2, 0, 6, "VyrPanelItemComboBox", "VyrPanelComboBox", "combo_box_1", 0,
         {"stateChanged/On State Changed"}},
        {"Tacho", 1, 0, 17, "VyrPanelItemTacho", "QtTacho", "", 1, {}},
        {"Compass", 1, 0, 14, "VyrPanelItemCompass", "QtCompass", "", 1, {}},
        {"Horizont", 1, 0, 17, "VyrPanelItemHorizont", "QtHorizont", "", 2, {}},
        {"XY-Indicator", 1, 0, 15, "VyrPanelItemXyIndicator", "VyrPanelXyIndicator", "", 2, {}},
        {"Vertical Bar", 1, 1, 8, "VyrPanelItemBar", "QtBar", "qtbar", 1, {}},
        {"Horizontal Bar", 1, 0, 8, "VyrPanelItemBar", "QtBar", "qtbar", 1, {}},
        {"LCD Number", 1, 0, 10, "VyrPanelItemLcdNumber", "QtLCDNumber", "", 1, {}},
        {"LED Meter", 1, 0, 4, "VyrPanelItemLedMeter", "QLedMeter", "", 1, {}},
        {"LED", 1, 0, 10, "VyrPanelItemLed", "QtLed", "", 1, {}},
        {"TextLabel", 3, 0, 6, "VyrPanelItemTextLabel", "QLabel", "", 0, {}},
        {"GroupBox", 3, 0, 6, "VyrPanelItemGroupBox", "QGroupBox", "", 0, {}},
        {"Horizontal Line", 3, 0, 4, "VyrPanelItemLine", "QFrame", "hline_1", 0, {}},
        {"Vertical Line", 3, 1, 4, "VyrPanelItemLine", "QFrame", "vline_2", 0, {}},
        {"Bitmap Graphic", 3, 0, 5, "VyrPanelItemBitmap", "QtBitmap", "", 0, {}},
        {"Hex Editor", 4, 0, 4, "VyrPanelItemHexEdit", "QHexEdit", "", 0, {}},
        {"Horizontal Slider", 0, 0, 5, "VyrQwtPanelItemSlider", "QwtSlider", "", 1, {}},
        {"Vertical Slider", 0, 1, 5, "VyrQwtPanelItemSlider", "QwtSlider", "", 1, {}},
        {"Dial", 0, 0, 5, "VyrQwtPanelItemDial", "VyrQwtDial", "", 1, {}},
        {"Thermo", 1, 0, 5, "VyrQwtPanelItemThermo", "QwtThermo", "", 1, {}},
    };
    const QMap<QString, QString> captions = {
        {"PushButton", "PushButton 1"}, {"PanelButton", "PanelButton 1"}, {"RadioButton", "RadioButton 1"},
        {"CheckBox", "CheckBox 1"},     {"LineEdit", "LineEdit 1"},       {"TextBrowser", "TextBrowser 1"},
        {"TextLabel", "TextLabel 1"},
    };
    QWidget panel;
    panel.resize(900, 700);
    // Set to look at one rendered item of every row.
    const QString png_dir = qEnvironmentVariable("VYR_PANEL_ITEM_PNG_DIR");
    int position = 1;
    const PanelItemTypeInfo *type = PanelItemTypeInfo::first();
    for (const Row &row : rows) {
        SCOPED_TRACE(row.type_name);
        ASSERT_NE(type, nullptr);
        EXPECT_EQ(type->name(), row.type_name);
        EXPECT_EQ(type->category(), row.category);
        EXPECT_EQ(type->variant(), row.variant);
        EXPECT_EQ(type->property_names().size(), row.property_count);
        EXPECT_EQ(PanelItemTypeInfo::at_position(position), type);
        std::unique_ptr<VyrPanelItem> item(type->create_item(&panel));
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(item->type_info(), type);
        EXPECT_STREQ(item->metaObject()->className(), row.item_class);
        QWidget *widget = item->widget();
        ASSERT_NE(widget, nullptr);
        EXPECT_EQ(widget->parentWidget(), &panel);
        EXPECT_STREQ(widget->metaObject()->className(), row.widget_class);
        EXPECT_EQ(widget->objectName(), row.object_name);
        EXPECT_EQ(int(item->bindings().size()), row.bindings);
        EXPECT_EQ(list_names(*item), QStringList(row.event_lists.begin(), row.event_lists.end()));
        for (const QString &property : type->property_names())
            EXPECT_TRUE(panel_properties::has(widget, property.toLatin1().constData())) << property.toStdString();
        if (captions.contains(row.type_name)) {
            const char *caption_property = widget->metaObject()->indexOfProperty("text") >= 0 ? "text" : "title";
            EXPECT_EQ(panel_properties::read(widget, caption_property).toString(), captions[row.type_name]);
        }
        if (!png_dir.isEmpty())
            widget->grab().save(QStringLiteral("%1/panel_item_%2.png").arg(png_dir).arg(position));
        type = type->next();
        ++position;
    }
    EXPECT_EQ(type, nullptr);
    EXPECT_EQ(PanelItemTypeInfo::find("LED"), PanelItemTypeInfo::at_position(16));
    EXPECT_EQ(PanelItemTypeInfo::find("led"), nullptr);
    EXPECT_EQ(PanelItemTypeInfo::find("Thermo"), PanelItemTypeInfo::at_position(26));
    EXPECT_EQ(PanelItemTypeInfo::at_position(0), nullptr);
    EXPECT_EQ(PanelItemTypeInfo::at_position(27), nullptr);
    EXPECT_STREQ(PanelItemTypeInfo::category_title(0), "Analog Signal Control (Input)");
    EXPECT_STREQ(PanelItemTypeInfo::category_title(4), "Data");
    EXPECT_EQ(PanelItemTypeInfo::category_title(5), nullptr);
}

TEST(PanelItemKinds, TimeSubtractAndIntPower)
{
    TimeValue a{5, 200};
    time_subtract(a, TimeValue{3, 500});
    EXPECT_EQ(a.seconds, 1u);
    EXPECT_EQ(a.microseconds, 999700u);
    TimeValue b{7, 900};
    time_subtract(b, TimeValue{2, 100});
    EXPECT_EQ(b.seconds, 5u);
    EXPECT_EQ(b.microseconds, 800u);

    const struct
    {
        double x;
        int n;
        double expected;
    } powers[] = {{2.0, -2, 0.25}, {2.0, 0, 1.0}, {10.0, 3, 1000.0}, {16.0, 2, 256.0}, {3.0, 5, 243.0}, {0.5, -3, 8.0}};
    for (const auto &p : powers)
        EXPECT_DOUBLE_EQ(int_power(p.x, p.n), p.expected) << p.x << "^" << p.n;
}

TEST(PanelItemKinds, ScaleStepRule)
{
    const struct
    {
        double lower, upper, steps, expected;
    } cases[] = {{0, 100, 10, 10}, {0, 100, 5, 20}, {-50, 50, 10, 10}, {-200, -100, 10, 20}, {0, 1, 10, 1},
                 {-10, 10, 10, 2}, {0, 255, 10, 20}};
    for (const auto &c : cases)
        EXPECT_DOUBLE_EQ(panel_scale_step(c.lower, c.upper, c.steps), c.expected) << c.lower << ".." << c.upper;
}

TEST(PanelItemKinds, LineEditShowsAndReadsInItsBase)
{
    VyrPanelLineEdit edit;
    const struct
    {
        VyrPanelLineEdit::Mode mode;
        int32_t shown;
        const char *text;
    } cases[] = {{VyrPanelLineEdit::Hex, 255, "ff"},
                 {VyrPanelLineEdit::Bin, 5, "101"},
                 {VyrPanelLineEdit::Oct, 8, "10"},
                 {VyrPanelLineEdit::Dec, -12, "-12"}};
    for (const auto &c : cases) {
        edit.setProperty("mode", int(c.mode));
        edit.display_int(c.shown);
        EXPECT_EQ(edit.text(), c.text);
        EXPECT_DOUBLE_EQ(edit.value(), c.shown);
    }
    edit.set_mode(VyrPanelLineEdit::Hex);
    edit.display_double(26.9);
    EXPECT_EQ(edit.text(), "1a");
    edit.setText("zz");
    EXPECT_EQ(edit.value(), 0.0);
    edit.set_mode(VyrPanelLineEdit::Dec);
    edit.setProperty("numDigits", 3);
    edit.display_double(3.14159265);
    EXPECT_EQ(edit.text(), "3.1"); // "3.14159" held to the 3 digits
    EXPECT_EQ(edit.maxLength(), 3);
}

TEST(PanelItemKinds, ComboBoxTextReplacesEntriesOrSelects)
{
    QWidget panel;
    std::unique_ptr<VyrPanelItem> item(PanelItemTypeInfo::find("ComboBox")->create_item(&panel));
    QWidget *box = item->widget();
    // Through the property system, as the value store writes it.
    ASSERT_TRUE(panel_properties::write(box, "currentText", QStringLiteral("_@A|B")));
    EXPECT_EQ(box->property("items").toStringList(), (QStringList{"A", "B"}));
    ASSERT_TRUE(panel_properties::write(box, "currentText", QStringLiteral("B")));
    EXPECT_EQ(static_cast<QComboBox *>(box)->currentIndex(), 1);
    panel_properties::write(box, "currentText", QStringLiteral("C"));
    EXPECT_EQ(static_cast<QComboBox *>(box)->currentIndex(), 1);
    panel_properties::write(box, "currentText", QStringLiteral("_@|x|"));
    EXPECT_EQ(box->property("items").toStringList(), (QStringList{"", "x", ""}));
}

TEST(PanelItemKinds, TextBrowserKeepsTextAndFollowsTheEndAnchor)
{
    QWidget panel;
    std::unique_ptr<VyrPanelItem> item(PanelItemTypeInfo::find("TextBrowser")->create_item(&panel));
    auto *browser = static_cast<VyrPanelTextBrowser *>(item->widget());
    browser->resize(200, 80);
    panel.show();
    QString lines;
    for (int i = 0; i < 100; ++i)
        lines += QStringLiteral("line %1<br>").arg(i);
    panel_properties::write(browser, "text", lines);
    EXPECT_EQ(panel_properties::read(browser, "text").toString(), lines);
    EXPECT_EQ(browser->verticalScrollBar()->value(), 0);
    panel_properties::write(browser, "text", lines + "<a name=\"END\"></a>");
    EXPECT_GT(browser->verticalScrollBar()->value(), 0);
    EXPECT_EQ(browser->verticalScrollBar()->value(), browser->verticalScrollBar()->maximum());
}

SignalValue int_value(int32_t v)
{
    SignalValue value;
    value.set_int(v);
    return value;
}

TEST(PanelItemKinds, LcdNumberLimitsAndTimeOut)
{
    QWidget panel;
    std::unique_ptr<VyrPanelItem> item(PanelItemTypeInfo::find("LCD Number")->create_item(&panel));
    auto *lcd = static_cast<QtLCDNumber *>(item->widget());
    PanelSignalBinding *binding = item->bindings()[0].get();
    const struct
    {
        QtLCDNumber::Mode mode;
        int digits;
        int32_t value;
        int32_t shown;
    } cases[] = {{QtLCDNumber::Dec, 3, 1000, 99},  {QtLCDNumber::Dec, 3, -1000, -99}, {QtLCDNumber::Hex, 2, 1000, 255},
                 {QtLCDNumber::Dec, 1, 50, 9},     {QtLCDNumber::Bin, 4, 100, 15},    {QtLCDNumber::Dec, 6, 1234, 1234}};
    for (const auto &c : cases) {
        lcd->setMode(c.mode);
        lcd->setNumDigits(c.digits);
        binding->value_changed(int_value(c.value));
        item->update_display(binding->values().time);
        EXPECT_EQ(lcd->intValue(), c.shown) << c.value << " in " << c.digits << " digits";
    }
    lcd->setMode(QtLCDNumber::Dec);
    lcd->setNumDigits(6);
    lcd->setTimeout(500);
    lcd->setTimeoutEnabled(true);
    binding->value_changed(int_value(42));
    const TimeValue arrived = binding->values().time;
    item->update_display(arrived);
    auto after = [&](uint32_t ms) {
        TimeValue t = arrived;
        t.microseconds += ms * 1000;
        t.seconds += t.microseconds / 1000000;
        t.microseconds %= 1000000;
        return t;
    };
    item->update_display(after(500));
    EXPECT_EQ(lcd->intValue(), 42);
    item->update_display(after(501));
    EXPECT_EQ(lcd->digitString().trimmed(), "---");
    binding->default_value_valid = true;
    binding->default_value = 7.0;
    binding->value_changed(int_value(1));
    item->update_display(binding->values().time);
    item->update_display(after(1600));
    EXPECT_DOUBLE_EQ(lcd->value(), 7.0);
}

TEST(PanelItemKinds, LedMeterScalesAndEmptyRangeIsTenEitherSide)
{
    QWidget panel;
    std::unique_ptr<VyrPanelItem> item(PanelItemTypeInfo::find("LED Meter")->create_item(&panel));
    auto *meter = static_cast<QLedMeter *>(item->widget());
    EXPECT_EQ(meter->max_value(), 100);
    EXPECT_EQ(meter->value(), 100);
    PanelSignalBinding *binding = item->bindings()[0].get();
    // Without a signal the meter scales on -10..10.
    binding->default_value_valid = true;
    binding->default_value = 0.0;
    item->reset_display();
    EXPECT_EQ(meter->value(), 50);
}

TEST(PanelItemKinds, RadioGroupsAreKeptApartPerInterface)
{
    RadioButtonGroup *can1 = RadioButtonGroup::find_or_create("CAN1", "motohawk.ExampleMessage.Enable");
    RadioButtonGroup *can2 = RadioButtonGroup::find_or_create("CAN2", "motohawk.ExampleMessage.Enable");
    EXPECT_NE(can1, can2);
    EXPECT_EQ(RadioButtonGroup::find_or_create("CAN1", "motohawk.ExampleMessage.Enable"), can1);
}

TEST(PanelItemKinds, HexEditCopiesAtMostItsPage)
{
    QWidget panel;
    std::unique_ptr<VyrPanelItem> item(PanelItemTypeInfo::find("Hex Editor")->create_item(&panel));
    auto *hex = static_cast<VyrPanelItemHexEdit *>(item.get());
    const uint8_t six[6] = {1, 2, 3, 4, 5, 6};
    hex->set_property_value_data(3, six, sizeof six);
    EXPECT_EQ(hex->page()->data()[0], 0) << "the page takes the bytes on the GUI thread, at the sync";
    item->sync_signals();
    EXPECT_EQ(QByteArray(reinterpret_cast<const char *>(hex->page()->data()), 7), QByteArray("\1\2\3\4\5\6\0", 7));
    // More than the page: the rest is dropped, nothing is written past it (the
    // address sanitizer would see it).
    std::vector<uint8_t> many(5000, 0xab);
    hex->set_property_value_data(3, many.data(), uint32_t(many.size()));
    item->sync_signals();
    EXPECT_EQ(hex->page()->data()[VyrPanelItemHexEdit::page_size - 1], 0xab);
    // Other keys leave the page as it is.
    const uint8_t one = 0x11;
    hex->set_property_value_data(4, &one, 1);
    item->sync_signals();
    EXPECT_EQ(hex->page()->data()[0], 0xab);
}

} // namespace
