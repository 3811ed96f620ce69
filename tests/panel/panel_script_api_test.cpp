// The panel functions of an interface's script: their results for unknown
// ids and names, items found only while registered, texts cut to the
// script's buffer, the first of two items of one name, buffers checked
// against the script's arrays, and a header that fails part-way. Scripts set
// values while panels register and unregister their items on another thread.
#include "../interfaces/can_test_support.h"
#include "core/memory_region.h"
#include "core/script_trigger.h"
#include "script/script_symbol.h"
#include "script/script_symbol_table.h"
#include "script/vyr_script_runtime.h"
#include "windows/panel/panel_item_kinds.h"
#include "windows/panel/panel_item_type_info.h"
#include "windows/panel/vyr_panel.h"
#include "windows/panel/vyr_panel_item.h"

#include <QLabel>

#include <atomic>
#include <cstring>
#include <thread>

namespace {

using namespace can_test;

// A label item with the store of the script functions: text (key 0), an
// integer value (key 1) and data bytes (key 3).
class StoreItem : public VyrPanelItem
{
public:
    explicit StoreItem(const char *name)
    {
        auto *label = new QLabel;
        label->setObjectName(name);
        set_widget(label);
        add_property_value(PanelItemValue::String, 0, "text", 64);
        add_property_value(PanelItemValue::Integer, 1, "value", 0);
        add_property_value(PanelItemValue::Data, 3, "data", 16);
    }
};

class PanelScriptApiTest : public CanFixture
{
protected:
    VyrCanIf *compile(const std::string &script, bool bounds_check = false)
    {
        VyrCanIf *can = make("CAN");
        set_script(can, script);
        VyrScriptRuntime::of(can)->context().bounds_check = bounds_check;
        EXPECT_EQ(can->sclib_init(), 0) << messages();
        return can;
    }

    static ScriptVariable *variable(VyrCanIf *can, const char *name)
    {
        ScriptSymbol *symbol = VyrScriptRuntime::of(can)->symbols()->find(name, 0);
        EXPECT_TRUE(symbol && symbol->kind() == SYMBOL_VARIABLE) << name;
        return static_cast<ScriptVariable *>(symbol);
    }
    static void set_int(VyrCanIf *can, const char *name, int32_t value)
    {
        VyrScriptRuntime::of(can)->machine()->set_data_int(int32_t(variable(can, name)->address), value);
    }
    static int32_t get_int(VyrCanIf *can, const char *name)
    {
        return VyrScriptRuntime::of(can)->machine()->data_int(int32_t(variable(can, name)->address));
    }
    static double get_double(VyrCanIf *can, const char *name)
    {
        return VyrScriptRuntime::of(can)->machine()->data_double(int32_t(variable(can, name)->address));
    }
    static std::string get_text(VyrCanIf *can, const char *name)
    {
        const int32_t address = int32_t(variable(can, name)->address);
        const char *text = reinterpret_cast<const char *>(VyrScriptRuntime::of(can)->machine()->data_pointer(address, 1));
        return text ? text : "";
    }
    static int run(VyrCanIf *can, const char *action_name)
    {
        VyrSignalIf::ScriptRunLock lock(*can);
        VyrScriptRuntime *runtime = VyrScriptRuntime::of(can);
        ScriptTrigger *action = runtime->find_script_trigger_by_name(ScriptTrigger::action, action_name);
        EXPECT_NE(action, nullptr) << action_name;
        return action ? runtime->run_function(action->function_id()) : -1;
    }

    std::string messages() const
    {
        std::string text;
        for (const auto &line : shell.lines)
            text += line.text;
        return text;
    }

};

const char *const probe_script = R"(variables {
  int target; int r_int; double r_double; int r_text; int r_set_double; int r_set_int; int r_id; int r_shared;
  int r_small; int r_data; int r_set_data;
  char small[5]; byte bytes[4];
}
on action "probe"
{
  r_int = panelItemGetValueInt (target);
  r_double = panelItemGetValueDouble (target);
  r_text = panelItemGetText (target, small, 5);
  r_set_double = panelItemSetValueDouble (target, 2.5);
  r_set_int = panelItemSetValueInt (target, 7);
  r_id = panelItemGetIdByName ("Label");
  r_shared = panelItemGetIdByName ("Shared");
}
on action "texts"
{
  panelItemSetText (target, "Hello World");
  r_small = panelItemGetText (target, small, 5);
  panelItemSetValueInt (target, 42);
  r_int = panelItemGetValueInt (target);
  bytes[0] = 1; bytes[1] = 2; bytes[2] = 3;
  r_set_data = panelItemSetValueData (target, bytes, 3);
  bytes[0] = 0; bytes[1] = 0; bytes[2] = 0;
  r_data = panelItemGetValueData (target, bytes, 4);
}
)";

TEST_F(PanelScriptApiTest, UnknownIdsAndUnregisteredItemsReportNoItem)
{
    VyrCanIf *can = compile(probe_script);
    StoreItem label("Label");
    struct Case {
        const char *what;
        int32_t target;
    };
    // An id no item has, 0, and a real item before its panel registers it.
    for (const Case &c : {Case{"unknown id", 999999}, Case{"id 0", 0}, Case{"not registered", int32_t(label.id())}}) {
        SCOPED_TRACE(c.what);
        set_int(can, "target", c.target);
        ASSERT_EQ(run(can, "probe"), 0) << messages();
        EXPECT_EQ(get_int(can, "r_int"), 0);
        EXPECT_EQ(get_double(can, "r_double"), 0.0);
        EXPECT_EQ(get_int(can, "r_text"), -1);
        EXPECT_EQ(get_int(can, "r_set_double"), -1) << "an int -1, as declared";
        EXPECT_EQ(get_int(can, "r_set_int"), -1);
        EXPECT_EQ(get_int(can, "r_id"), -1);
    }
    EXPECT_EQ(label.get_property_value_int(1), 0) << "nothing was set";

    label.register_item();
    set_int(can, "target", int32_t(label.id()));
    ASSERT_EQ(run(can, "probe"), 0);
    EXPECT_EQ(get_int(can, "r_id"), int32_t(label.id()));
    EXPECT_EQ(get_int(can, "r_set_int"), 0);
    EXPECT_EQ(label.get_property_value_int(1), 7);

    label.unregister_item();
    ASSERT_EQ(run(can, "probe"), 0);
    EXPECT_EQ(get_int(can, "r_id"), -1) << "gone at stop";
    EXPECT_EQ(get_int(can, "r_set_int"), -1);
}

TEST_F(PanelScriptApiTest, TextsValuesAndDataGoThroughTheStore)
{
    VyrCanIf *can = compile(probe_script);
    StoreItem label("Label");
    label.register_item();
    set_int(can, "target", int32_t(label.id()));
    ASSERT_EQ(run(can, "texts"), 0) << messages();
    char text[64];
    label.get_property_value_string(0, text, sizeof text);
    EXPECT_STREQ(text, "Hello World");
    EXPECT_EQ(get_int(can, "r_small"), 4) << "a 5-byte buffer takes 4 characters and the terminator";
    EXPECT_EQ(get_text(can, "small"), "Hell");
    EXPECT_EQ(get_int(can, "r_int"), 42);
    EXPECT_EQ(get_int(can, "r_set_data"), 0);
    EXPECT_EQ(get_int(can, "r_data"), 3);
    const uint8_t *bytes = VyrScriptRuntime::of(can)->machine()->data_pointer(int32_t(variable(can, "bytes")->address), 3);
    ASSERT_NE(bytes, nullptr);
    EXPECT_EQ(std::vector<uint8_t>(bytes, bytes + 3), (std::vector<uint8_t>{1, 2, 3}));
}

TEST_F(PanelScriptApiTest, TheFirstItemRegisteredUnderANameWins)
{
    VyrCanIf *can = compile(probe_script);
    StoreItem first("Shared");
    StoreItem second("Shared");
    first.register_item();
    second.register_item();
    ASSERT_EQ(run(can, "probe"), 0);
    EXPECT_EQ(get_int(can, "r_shared"), int32_t(first.id()));
    first.unregister_item();
    ASSERT_EQ(run(can, "probe"), 0);
    EXPECT_EQ(get_int(can, "r_shared"), -1) << "the second never held the name";
}

TEST_F(PanelScriptApiTest, BuffersBeyondTheScriptArrayAreRefused)
{
    VyrCanIf *can = compile(R"(variables { int target; int r_get; int r_data; int r_set_data; char small[4];
                                             byte bytes[2]; char guard[4]; }
on action "overrun"
{
  guard[0] = 'g';
  r_get = panelItemGetText (target, small, 400);
  r_data = panelItemGetValueData (target, bytes, 16);
  r_set_data = panelItemSetValueData (target, bytes, 8);
}
)",
                            true);
    StoreItem label("Label");
    label.register_item();
    label.set_property_value_string(0, "a text longer than the array");
    const uint8_t data[8] = {9, 9, 9, 9, 9, 9, 9, 9};
    label.set_property_value_data(3, data, sizeof data);
    set_int(can, "target", int32_t(label.id()));
    run(can, "overrun");
    EXPECT_NE(messages().find("panelItemGetText: Array bounds violated"), std::string::npos) << messages();
    EXPECT_EQ(get_int(can, "r_get"), -1);
    EXPECT_EQ(get_int(can, "r_data"), -1);
    EXPECT_EQ(get_int(can, "r_set_data"), -1);
    EXPECT_EQ(get_text(can, "small"), "") << "nothing written";
    EXPECT_EQ(get_text(can, "guard"), "g");
    uint8_t stored[8] = {};
    EXPECT_EQ(label.get_property_value_data(3, stored, sizeof stored), 8u) << "the store kept its data";
}

// The header fails at a name that an earlier prelude took; the functions it
// declared before that still work.
int register_after_a_clash(VyrScriptRuntime *runtime)
{
    EXPECT_EQ(runtime->compile_prelude("__pragma_internal;\nvoid panelItemGetValueInt (char name[]);\n"), 0);
    return VyrPanel::register_script_api(runtime);
}

TEST_F(PanelScriptApiTest, AHeaderThatFailsStillBindsWhatItDeclared)
{
    set_panel_script_api(register_after_a_clash);
    struct Restore {
        ~Restore() { set_panel_script_api(VyrPanel::register_script_api); }
    } restore;
    VyrCanIf *can = compile(R"(variables { int r_id; int r_text; char text[8]; }
on action "probe"
{
  r_id = panelItemGetIdByName ("Label");
  r_text = panelItemGetText (0, text, 8);
}
)");
    EXPECT_NE(messages().find("VyrPanel:: r = "), std::string::npos) << messages();
    StoreItem label("Label");
    label.register_item();
    ASSERT_EQ(run(can, "probe"), 0) << messages();
    EXPECT_EQ(get_int(can, "r_id"), int32_t(label.id()));
    EXPECT_EQ(get_int(can, "r_text"), -1);
}

// Under the thread sanitizer this shows the directory and the stores guarded:
// a script sets values and hex edit bytes every millisecond while one panel's
// items are synced and another panel starts, and is closed either after its
// stop or while it runs (its items then leave the directory before any of
// them goes).
TEST_F(PanelScriptApiTest, ScriptsSetValuesWhilePanelsStartAndStop)
{
    VyrCanIf *can = compile(R"(variables { int target; int n; int other; int hex; byte bytes[4]; }
on action "tick"
{
  n = n + 1;
  panelItemSetValueInt (target, n);
  panelItemSetText (target, "tick");
  bytes[0] = n & 0xFF;
  panelItemSetValueData (hex, bytes, 4);
  other = panelItemGetValueInt (panelItemGetIdByName ("Other"));
}
)");
    StoreItem shown("Shown");
    shown.register_item();
    set_int(can, "target", int32_t(shown.id()));
    std::unique_ptr<VyrPanelItem> hex(PanelItemTypeInfo::find("Hex Editor")->create_item(nullptr));
    hex->register_item();
    set_int(can, "hex", int32_t(hex->id()));
    // At least 200 runs and 20 panels, however slow the machine.
    std::atomic<bool> done{false};
    std::atomic<int> cycles{0};
    int runs = 0;
    std::thread script([&] {
        for (; runs < 200 || cycles < 20; ++runs) {
            run(can, "tick");
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        done = true;
    });
    while (!done) {
        shown.sync_signals();
        hex->sync_signals();
        auto other = std::make_unique<VyrPanel>(nullptr);
        other->insert_new_item(QStringLiteral("LineEdit"))->widget()->setObjectName(QStringLiteral("Other"));
        other->startup();
        std::this_thread::sleep_for(std::chrono::microseconds(300));
        if (cycles++ % 2)
            other->stop();
        other.reset();
    }
    script.join();
    EXPECT_EQ(shown.get_property_value_int(1), runs);
    hex->sync_signals();
    EXPECT_EQ(static_cast<VyrPanelItemHexEdit *>(hex.get())->page()->data()[0], runs & 0xFF);
}

} // namespace
