// The panel item base: its typed value store with every setter on every kind,
// the getters and the copies to and from real widgets, the widget property
// names of panel files, item ids and the item directory, and the store under
// a script thread that sets values while the GUI thread copies them.
#include "windows/panel/panel_widget_properties.h"
#include "windows/panel/vyr_panel_item.h"

#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QSpinBox>
#include <QTest>
#include <gtest/gtest.h>

#include <atomic>
#include <climits>
#include <cmath>
#include <cstring>
#include <functional>
#include <thread>

namespace {

// An item whose widget the test gives.
class TestItem : public VyrPanelItem
{
public:
    explicit TestItem(QWidget *widget) { set_widget(widget); }
};

enum Key : int32_t { IntKey = 1, DoubleKey = 2, TextKey = 3, DataKey = 4 };
constexpr uint32_t capacity = 16;

// One entry of each kind, mirrored into properties of a line edit.
struct StoreFixture
{
    QLineEdit *edit = new QLineEdit;
    TestItem item{edit};
    StoreFixture()
    {
        item.add_property_value(PanelItemValue::Integer, IntKey, "int_value", capacity);
        item.add_property_value(PanelItemValue::Double, DoubleKey, "double_value", capacity);
        item.add_property_value(PanelItemValue::String, TextKey, "text", capacity);
        item.add_property_value(PanelItemValue::Data, DataKey, "bytes", capacity);
    }
    static const char *property_of(int32_t key)
    {
        return key == IntKey ? "int_value" : key == DoubleKey ? "double_value" : key == TextKey ? "text" : "bytes";
    }
    // Whether the entry was marked changed: sync_signals overwrites a marker
    // in the widget property only then.
    bool take_changed(int32_t key)
    {
        const QVariant marker = QStringLiteral("unchanged-marker");
        edit->setProperty(property_of(key), marker);
        item.sync_signals();
        return edit->property(property_of(key)) != marker;
    }
    std::string text(int32_t key)
    {
        char buffer[64];
        const uint32_t length = item.get_property_value_string(key, buffer, sizeof buffer);
        EXPECT_EQ(length, std::strlen(buffer));
        return buffer;
    }
};

struct SetterCase
{
    const char *what;
    int32_t key;
    std::function<void(VyrPanelItem &, int32_t)> before; // changed marks are cleared after it
    std::function<void(VyrPanelItem &, int32_t)> set;
    bool changed;
    int32_t int_value;
    double double_value; // NaN: NaN expected
    const char *text;
};

TEST(PanelItemValueStore, EverySetterOnEveryKind)
{
    const auto none = [](VyrPanelItem &, int32_t) {};
    const auto set_int = [](int32_t v) { return [v](VyrPanelItem &i, int32_t k) { i.set_property_value_int(k, v); }; };
    const auto set_double = [](double v) {
        return [v](VyrPanelItem &i, int32_t k) { i.set_property_value_double(k, v); };
    };
    const auto set_text = [](const char *v) {
        return [v](VyrPanelItem &i, int32_t k) { i.set_property_value_string(k, v); };
    };
    const auto set_data = [](std::vector<uint8_t> v) {
        return [v](VyrPanelItem &i, int32_t k) { i.set_property_value_data(k, v.data(), uint32_t(v.size())); };
    };
    const double nan = std::nan("");
    const SetterCase cases[] = {
        {"int: 2.75 on 0", IntKey, none, set_double(2.75), true, 2, 0.0, ""},
        {"int: 2.75 on 2 differs from 2", IntKey, set_int(2), set_double(2.75), true, 2, 0.0, ""},
        {"int: 2.0 on 2", IntKey, set_int(2), set_double(2.0), false, 2, 0.0, ""},
        {"int: NaN", IntKey, set_int(5), set_double(nan), true, 0, 0.0, ""},
        {"int: 1e300 held to the range", IntKey, none, set_double(1e300), true, INT_MAX, 0.0, ""},
        {"int: -1e300", IntKey, none, set_double(-1e300), true, INT_MIN, 0.0, ""},
        {"int: 1Ah is hexadecimal", IntKey, none, set_text("1Ah"), true, 26, 0.0, ""},
        {"int: 101b is binary", IntKey, none, set_text("101b"), true, 5, 0.0, ""},
        {"int: same int", IntKey, set_int(7), set_int(7), false, 7, 0.0, ""},
        {"int: data ignored", IntKey, none, set_data({1, 2}), false, 0, 0.0, ""},
        {"double: int", DoubleKey, none, set_int(3), true, 0, 3.0, ""},
        {"double: text in the C locale", DoubleKey, none, set_text("2.5"), true, 0, 2.5, ""},
        {"double: same", DoubleKey, set_double(1.25), set_double(1.25), false, 0, 1.25, ""},
        {"double: NaN again is a change", DoubleKey, set_double(nan), set_double(nan), true, 0, nan, ""},
        {"double: 1e300", DoubleKey, none, set_double(1e300), true, 0, 1e300, ""},
        {"text: 7", TextKey, none, set_int(7), true, 0, 0.0, "7"},
        {"text: 7 on 7", TextKey, set_text("7"), set_int(7), false, 0, 0.0, "7"},
        {"text: 1.5", TextKey, none, set_double(1.5), true, 0, 0.0, "1.500000"},
        {"text: NaN", TextKey, none, set_double(nan), true, 0, 0.0, "nan"},
        {"text: 1e300 cut to the capacity", TextKey, none, set_double(1e300), true, 0, 0.0,
         "100000000000000"},
        {"text: exactly the capacity keeps its terminator", TextKey, none, set_text("ABCDEFGHIJKLMNOP"), true, 0,
         0.0, "ABCDEFGHIJKLMNO"},
        {"text: the same cut text again", TextKey, set_text("ABCDEFGHIJKLMNOP"),
         set_text("ABCDEFGHIJKLMNOXY"), false, 0, 0.0, "ABCDEFGHIJKLMNO"},
        {"text: data ignored", TextKey, set_text("x"), set_data({'y', 0}), false, 0, 0.0, "x"},
        {"data: int ignored", DataKey, none, set_int(7), false, 0, 0.0, ""},
        {"data: same bytes still a change", DataKey, set_data({1, 2}), set_data({1, 2}), true, 0, 0.0,
         "\x01\x02"},
    };
    for (const SetterCase &c : cases) {
        SCOPED_TRACE(c.what);
        StoreFixture store;
        c.before(store.item, c.key);
        store.item.sync_signals();
        c.set(store.item, c.key);
        EXPECT_EQ(store.take_changed(c.key), c.changed);
        EXPECT_EQ(store.item.get_property_value_int(c.key), c.int_value);
        if (std::isnan(c.double_value))
            EXPECT_TRUE(std::isnan(store.item.get_property_value_double(c.key)));
        else
            EXPECT_EQ(store.item.get_property_value_double(c.key), c.double_value);
        EXPECT_EQ(store.text(c.key), c.text);
    }
}

TEST(PanelItemValueStore, DataIsCutToTheCapacityAndSyncedAsBytes)
{
    StoreFixture store;
    const uint8_t eighteen[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18};
    store.item.set_property_value_data(DataKey, eighteen, sizeof eighteen);
    uint8_t out[32] = {};
    EXPECT_EQ(store.item.get_property_value_data(DataKey, out, sizeof out), capacity);
    EXPECT_EQ(std::vector<uint8_t>(out, out + capacity), std::vector<uint8_t>(eighteen, eighteen + capacity));
    EXPECT_EQ(store.item.get_property_value_data(DataKey, out, 3), 3u);
    store.item.sync_signals();
    EXPECT_EQ(store.edit->property("bytes").toByteArray(), QByteArray(reinterpret_cast<const char *>(eighteen), int(capacity)));
}

TEST(PanelItemValueStore, GettersOfAbsentKeysAndShortBuffers)
{
    StoreFixture store;
    char buffer[5] = "full";
    EXPECT_EQ(store.item.get_property_value_int(99), 0);
    EXPECT_EQ(store.item.get_property_value_double(99), 0.0);
    EXPECT_EQ(store.item.get_property_value_string(99, buffer, sizeof buffer), 0u);
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(store.item.get_property_value_data(99, buffer, sizeof buffer), 0u);
    EXPECT_EQ(store.item.get_property_value_string(TextKey, buffer, 0), 0u);

    QLineEdit *edit = new QLineEdit;
    TestItem item(edit);
    item.add_property_value(PanelItemValue::String, 0, "text", 128);
    item.set_property_value_string(0, "hello world");
    EXPECT_EQ(item.get_property_value_string(0, buffer, sizeof buffer), 4u);
    EXPECT_STREQ(buffer, "hell");

    // A later entry of the same key hides the earlier one.
    item.add_property_value(PanelItemValue::Integer, 0, "maxLength", 0);
    item.set_property_value_int(0, 12);
    EXPECT_EQ(item.get_property_value_int(0), 12);
    EXPECT_EQ(item.get_property_value_string(0, buffer, sizeof buffer), 0u) << "no buffer";
}

TEST(PanelItemValueStore, ValuesComeFromAndGoToRealWidgets)
{
    QSpinBox *spin = new QSpinBox;
    spin->setRange(-1000, 1000);
    TestItem spin_item(spin);
    spin_item.add_property_value(PanelItemValue::Integer, 0, "value", 16);
    QDoubleSpinBox *level = new QDoubleSpinBox;
    level->setRange(-100.0, 100.0);
    TestItem level_item(level);
    level_item.add_property_value(PanelItemValue::Double, 0, "value", 16);
    QLineEdit *edit = new QLineEdit;
    TestItem edit_item(edit);
    edit_item.add_property_value(PanelItemValue::String, 0, "text", 16);
    char text[32];

    spin->setValue(-42);
    spin_item.load_property_values();
    EXPECT_EQ(spin_item.get_property_value_int(0), -42);
    EXPECT_EQ(spin_item.get_property_value_double(0), -42.0);
    spin_item.get_property_value_string(0, text, sizeof text);
    EXPECT_STREQ(text, "-42");

    level->setValue(2.5);
    level_item.load_property_values();
    EXPECT_EQ(level_item.get_property_value_int(0), 2);
    EXPECT_EQ(level_item.get_property_value_double(0), 2.5);
    level_item.get_property_value_string(0, text, sizeof text);
    EXPECT_STREQ(text, "2.500000");
    // The integer form stays that of the last load until the widget is read again.
    level_item.set_property_value_double(0, 9.75);
    EXPECT_EQ(level_item.get_property_value_int(0), 2);
    level_item.sync_signals();
    EXPECT_EQ(level->value(), 9.75);

    QTest::keyClicks(edit, "3.25 V");
    edit_item.load_property_values();
    EXPECT_EQ(edit_item.get_property_value_int(0), 3);
    EXPECT_EQ(edit_item.get_property_value_double(0), 3.25);
    edit_item.get_property_value_string(0, text, sizeof text);
    EXPECT_STREQ(text, "3.25 V");
    edit_item.set_property_value_string(0, "from script");
    edit_item.sync_signals();
    EXPECT_EQ(edit->text(), "from script");
    spin_item.set_property_value_int(0, 17);
    spin_item.sync_signals();
    EXPECT_EQ(spin->value(), 17);
}

TEST(PanelWidgetProperties, NamesOfPanelFilesMapToQt5)
{
    QLineEdit edit;
    EXPECT_TRUE(panel_properties::write(&edit, "name", QStringLiteral("Speed")));
    EXPECT_EQ(edit.objectName(), "Speed");
    EXPECT_EQ(panel_properties::read(&edit, "name").toString(), "Speed");
    EXPECT_EQ(panel_properties::stored_type_name(&edit, "name"), "cstring");

    EXPECT_FALSE(edit.testAttribute(Qt::WA_SetPalette));
    EXPECT_TRUE(panel_properties::write(&edit, "paletteForegroundColor", QColor(Qt::red)));
    EXPECT_EQ(edit.palette().color(QPalette::WindowText), QColor(Qt::red));
    EXPECT_EQ(edit.palette().color(QPalette::Text), QColor(Qt::red));
    EXPECT_EQ(panel_properties::read(&edit, "paletteForegroundColor").value<QColor>(), QColor(Qt::red));
    EXPECT_TRUE(panel_properties::read(&edit, "ownPalette").toBool());
    EXPECT_FALSE(panel_properties::read(&edit, "ownFont").toBool());
    EXPECT_FALSE(panel_properties::write(&edit, "paletteForegroundColor", QStringLiteral("no colour")));

    const std::pair<const char *, const char *> types[] = {
        {"text", "string"},       {"maxLength", "number"}, {"readOnly", "bool"}, {"font", "font"},
        {"geometry", "rect"},     {"alignment", "set"},    {"echoMode", "enum"}, {"ownPalette", "bool"},
        {"paletteForegroundColor", "color"},               {"noSuchProperty", ""}};
    for (const auto &[name, type] : types)
        EXPECT_EQ(panel_properties::stored_type_name(&edit, name), type) << name;
    EXPECT_TRUE(panel_properties::has(&edit, "text"));
    EXPECT_FALSE(panel_properties::has(&edit, "unit"));
    edit.setProperty("unit", QString());
    EXPECT_TRUE(panel_properties::has(&edit, "unit"));
}

TEST(PanelItemDirectory, IdsCountUpAndTheDirectoryKeepsTheFirstOfAName)
{
    auto first = std::make_unique<TestItem>(new QLineEdit);
    TestItem second(new QLineEdit);
    EXPECT_EQ(second.id(), first->id() + 1);
    first->widget()->setObjectName("Gauge");
    second.widget()->setObjectName("Gauge");
    first->register_item();
    second.register_item();
    EXPECT_EQ(VyrPanelItem::find_item_by_id(first->id()), first.get());
    EXPECT_EQ(VyrPanelItem::find_item_by_id(second.id()), &second);
    EXPECT_EQ(VyrPanelItem::find_id_by_name("Gauge"), int32_t(first->id()));
    EXPECT_EQ(VyrPanelItem::find_id_by_name("gauge"), -1);
    second.unregister_item(); // not the holder of the name: the name stays
    EXPECT_EQ(VyrPanelItem::find_id_by_name("Gauge"), int32_t(first->id()));
    EXPECT_EQ(VyrPanelItem::find_item_by_id(second.id()), nullptr);
    const uint32_t first_id = first->id();
    first.reset(); // a deleted item leaves the directory
    EXPECT_EQ(VyrPanelItem::find_item_by_id(first_id), nullptr);
    EXPECT_EQ(VyrPanelItem::find_id_by_name("Gauge"), -1);
}

// A script thread sets values every microsecond while the GUI thread copies
// them into the widget: every text shown is one that was set, whole, and the
// last one shows at the end.
TEST(PanelItemValueStore, ScriptThreadAndGuiThreadShareTheStore)
{
    QLineEdit *edit = new QLineEdit;
    TestItem item(edit);
    item.add_property_value(PanelItemValue::String, 0, "text", 32);
    item.add_property_value(PanelItemValue::Double, 1, "level", 0);
    std::atomic<bool> done{false};
    const char *texts[] = {"AAAAAAAAAAAAAAAAAAAA", "BBBBB", "CCCCCCCCCCCCC"};
    std::thread script([&] {
        for (int n = 0; n < 20000; ++n) {
            item.set_property_value_string(0, texts[n % 3]);
            item.set_property_value_double(1, n);
            std::this_thread::sleep_for(std::chrono::microseconds(1));
        }
        item.set_property_value_string(0, "last");
        item.set_property_value_double(1, -1.0);
        done = true;
    });
    int torn = 0;
    while (!done) {
        item.sync_signals();
        const QString shown = edit->text();
        if (!shown.isEmpty() && shown != texts[0] && shown != texts[1] && shown != texts[2] && shown != "last")
            ++torn;
    }
    script.join();
    item.sync_signals();
    EXPECT_EQ(torn, 0);
    EXPECT_EQ(edit->text(), "last");
    EXPECT_EQ(edit->property("level").toDouble(), -1.0);
}

} // namespace
