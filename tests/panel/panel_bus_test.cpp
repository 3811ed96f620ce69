// Panel items on a CAN interface of the vrbus daemon: signal bindings that
// receive the values python3-canmatrix decodes from the frames of a bus node,
// with the widget's signal name, unit and the signals' use counts; and the
// script activation lists that run an interface's script actions with the
// item id, across a recompile and from two items at once.
#include "../interfaces/can_test_support.h"
#include "core/time_base.h"
#include "core/vyr_signal_list.h"
#include "script/vyr_script_runtime.h"
#include "test_paths.h"
#include "windows/panel/panel_signal_binding.h"
#include "windows/panel/vyr_panel_item.h"
#include "windows/panel/vyr_script_activation.h"

#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

namespace {

using namespace can_test;

const QString motohawk_dbc = vyr_test::configured_testdata_dir() + "/dbc/cantools/tests/files/dbc/motohawk.dbc";
const char *const temperature_name = "motohawk.ExampleMessage.Temperature";
constexpr uint32_t example_message = 496;

// An item with a label that shows a signal's name and unit, or a button whose
// clicks fire the "clicked" list.
class TestItem : public VyrPanelItem
{
public:
    explicit TestItem(QWidget *widget) { set_widget(widget); }

    VyrScriptActivationList *add_clicked_list(QPushButton *button)
    {
        auto group = std::make_unique<VyrScriptActivationGroup>();
        VyrScriptActivationList *list =
            group->add_list(std::make_unique<VyrScriptActivationList>("clicked", "On Button Clicked"));
        QObject::connect(button, &QPushButton::clicked, list, &VyrScriptActivationList::activated);
        set_activation_group(std::move(group));
        return list;
    }
    void refresh_display() override { ++refreshes; }
    int refreshes = 0;
};

QLabel *signal_label()
{
    auto *label = new QLabel;
    label->setProperty("signalName", QString());
    label->setProperty("unit", QString());
    return label;
}

std::vector<uint8_t> bytes_of(const QString &payload)
{
    const QByteArray data = QByteArray::fromHex(payload.section(':', 1).toLatin1());
    return std::vector<uint8_t>(data.begin(), data.end());
}

class PanelBusTest : public CanFixture
{
protected:
    int compile(VyrCanIf *can, const std::string &script)
    {
        set_script(can, script);
        // A later script goes the way of the program's recompile.
        return script_files == 1 ? can->sclib_init() : can->after_reload();
    }

    std::string messages() const
    {
        std::string text;
        for (const auto &line : shell.lines)
            text += line.text;
        return text;
    }
};

TEST_F(PanelBusTest, BindingReceivesTheDecodedValuesAndNamesTheSignal)
{
    if (!QFileInfo::exists(motohawk_dbc))
        GTEST_SKIP() << "no test data at " << vyr_test::configured_testdata_dir().toStdString();
    const QStringList payloads = {"ExampleMessage:8010000000000000", "ExampleMessage:80f0000000000000",
                                  "ExampleMessage:80f0000000000000"};
    const auto decoded = canmatrix_decode(motohawk_dbc, payloads);
    if (decoded.size() != size_t(payloads.size()))
        GTEST_SKIP() << "python3-canmatrix did not run";

    VyrCanIf *can = make("CAN", virtual_channel, "", {motohawk_dbc});
    SignalRecord *temperature = can->signal_list()->find(temperature_name);
    ASSERT_NE(temperature, nullptr);
    QLabel *label = signal_label();
    TestItem item(label);
    PanelSignalBinding *binding = item.add_binding(std::make_unique<PanelSignalBinding>(&item));
    binding->set_names("CAN1", temperature_name);
    EXPECT_TRUE(binding->resolve());
    EXPECT_EQ(binding->signal(), temperature);
    EXPECT_EQ(temperature->use_count(), 1);
    EXPECT_EQ(item.refreshes, 1);
    EXPECT_EQ(label->property("signalName").toString(), "Temperature");
    EXPECT_EQ(label->property("unit").toString(), "degK");
    EXPECT_FALSE(binding->resolve()) << "the same signal again";
    EXPECT_EQ(temperature->use_count(), 1);
    EXPECT_EQ(item.refreshes, 1);

    ASSERT_EQ(can->add_signal_listener(binding, temperature), 0);
    Measurement measurement({can});
    set_main_timer_wheel(&measurement.wheel);
    ASSERT_EQ(measurement.start(), 0);
    measurement.wheel.advance(2500);
    BusNode node;
    for (int i = 0; i < payloads.size(); ++i) {
        SCOPED_TRACE(i);
        node.send(example_message, 0, bytes_of(payloads[i]));
        const double expected = decoded[size_t(i)].at("ExampleMessage.Temperature");
        PanelSignalBinding::Values values;
        ASSERT_TRUE(eventually([&] {
            values = binding->values();
            const SignalValue &v = values.current;
            return values.has_value && (v.type == SignalValue::Double ? v.double_value : v.int_value) == expected;
        }));
        if (i == 2) {
            // Two equal frames in a row: a value, but no change.
            ASSERT_TRUE(eventually([&] { return binding->values().time.seconds == 3; }));
            EXPECT_FALSE(binding->take_values().changed);
        } else {
            EXPECT_TRUE(binding->take_values().changed);
            EXPECT_EQ(values.time.seconds, 2u);
            if (i == 1)
                measurement.wheel.advance(3500);
        }
    }
    measurement.stop();
    can->clear_signal_listeners();
    set_main_timer_wheel(nullptr);

    binding->reset();
    EXPECT_TRUE(binding->values().changed);
    EXPECT_FALSE(binding->values().has_value);
    // A signal that does not exist: unbound, and the old one's use given up.
    binding->set_names("CAN1", "motohawk.ExampleMessage.NoSuchSignal");
    EXPECT_TRUE(binding->resolve());
    EXPECT_EQ(binding->signal(), nullptr);
    EXPECT_EQ(temperature->use_count(), 0);
    binding->set_names("CAN1", temperature_name);
    binding->resolve();
    EXPECT_EQ(temperature->use_count(), 1);
    item.clear_bindings();
    EXPECT_EQ(temperature->use_count(), 0) << "a deleted binding gives up its use";
}

TEST_F(PanelBusTest, ListRunsTheLastActionOfTheNameWithTheItemId)
{
    VyrCanIf *can = make("CAN");
    ASSERT_EQ(compile(can, "variables { timer Go; int first = -1; int second = -1; int timer_ran = 0;\n"
                           "  int started = 0; }\n"
                           "on start { started = 1; }\n"
                           "on action \"Go\" { first = this; }\n"
                           "on action \"Go\" { second = this; }\n"
                           "on timer Go { timer_ran = 1; }\n"),
              0);
    QPushButton *button = new QPushButton("Go");
    TestItem item(button);
    VyrScriptActivationList *list = item.add_clicked_list(button);
    VyrScriptActivationEntry *entry =
        list->add_entry(std::make_unique<VyrScriptActivationEntry>("CAN1", "Go", item.id()));
    VyrScriptActivationEntry *unknown =
        list->add_entry(std::make_unique<VyrScriptActivationEntry>("CAN9", "Go", item.id()));
    EXPECT_TRUE(entry->resolved());
    EXPECT_FALSE(unknown->resolved());
    EXPECT_EQ(VyrScriptActivationEntry::find_action("CAN1", "Tick"), nullptr);
    ScriptTrigger *action = VyrScriptActivationEntry::find_action("CAN1", "Go");
    ASSERT_NE(action, nullptr);
    EXPECT_EQ(action->type(), uint32_t(ScriptTrigger::action)) << "the timer of that name is not chosen";

    Measurement measurement({can});
    ASSERT_EQ(measurement.start(), 0);
    ASSERT_TRUE(eventually([&] { return script_int(can, "started") == 1; }));
    button->show();
    QTest::mouseClick(button, Qt::LeftButton);
    ASSERT_TRUE(eventually([&] { return script_int(can, "second") == int32_t(item.id()); }));
    EXPECT_EQ(script_int(can, "first"), -1);
    EXPECT_EQ(script_int(can, "timer_ran"), 0);

    // A list whose only entry names no interface fires nothing.
    VyrScriptActivationList lonely("pressed", "On Button Pressed");
    lonely.add_entry(std::make_unique<VyrScriptActivationEntry>("CAN9", "Go", 12345));
    lonely.activated();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(script_int(can, "second"), int32_t(item.id()));
    measurement.stop();
    // The script's timer is armed on the measurement's wheel, which goes first.
    VyrScriptRuntime::of(can)->remove_script_triggers(~0u);
}

TEST_F(PanelBusTest, ClickAfterARecompileRunsTheNewAction)
{
    VyrCanIf *can = make("CAN");
    ASSERT_EQ(compile(can, "variables { int old_ran = 0; }\non action \"Go\" { old_ran = this; }\n"), 0);
    QPushButton *button = new QPushButton("Go");
    TestItem item(button);
    VyrScriptActivationList *list = item.add_clicked_list(button);
    list->add_entry(std::make_unique<VyrScriptActivationEntry>("CAN1", "Go", item.id()));
    ASSERT_TRUE(list->entries().front()->resolved());

    // The reload deletes the triggers the entry was resolved to.
    ASSERT_EQ(compile(can, "variables { int new_ran = 0; int started = 0; }\non start { started = 1; }\n"
                           "on action \"Go\" { new_ran = this; }\n"), 0)
        << messages();
    Measurement measurement({can});
    ASSERT_EQ(measurement.start(), 0);
    ASSERT_TRUE(eventually([&] { return script_int(can, "started") == 1; }));
    button->show();
    QSignalSpy clicks(button, &QPushButton::clicked);
    QTest::mouseClick(button, Qt::LeftButton);
    ASSERT_EQ(clicks.count(), 1);
    ASSERT_TRUE(eventually([&] { return script_int(can, "new_ran") == int32_t(item.id()); }));
    measurement.stop();
}

// Two items fire one action as fast as they can: each run sees one of the
// two ids, whole, and nothing races on the argument.
TEST_F(PanelBusTest, TwoItemsFiringOneActionEachRunSeesOneOfTheIds)
{
    VyrCanIf *can = make("CAN");
    TestItem first(new QPushButton);
    TestItem second(new QPushButton);
    const std::string script = "variables { int runs = 0; int bad = 0; int last = 0; int started = 0; }\n"
                               "on start { started = 1; }\n"
                               "on action \"Go\" { runs = runs + 1; last = this;\n"
                               "  if (this != " + std::to_string(first.id()) + " && this != " +
                               std::to_string(second.id()) + ") bad = bad + 1; }\n";
    ASSERT_EQ(compile(can, script), 0);
    VyrScriptActivationList first_list("clicked", "On Button Clicked");
    first_list.add_entry(std::make_unique<VyrScriptActivationEntry>("CAN1", "Go", first.id()));
    VyrScriptActivationList second_list("clicked", "On Button Clicked");
    second_list.add_entry(std::make_unique<VyrScriptActivationEntry>("CAN1", "Go", second.id()));

    Measurement measurement({can});
    ASSERT_EQ(measurement.start(), 0);
    ASSERT_TRUE(eventually([&] { return script_int(can, "started") == 1; }));
    std::thread other([&] {
        for (int n = 0; n < 5000; ++n)
            second_list.activated();
    });
    for (int n = 0; n < 5000; ++n)
        first_list.activated();
    other.join();
    second_list.activated();
    ASSERT_TRUE(eventually([&] { return script_int(can, "last") == int32_t(second.id()); }));
    EXPECT_GT(script_int(can, "runs"), 0);
    EXPECT_EQ(script_int(can, "bad"), 0);
    measurement.stop();
}

} // namespace
