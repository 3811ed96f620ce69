// Panel item kinds on a CAN interface of the vrbus daemon, ticked as the
// panel ticks them: controls bound to the script's output and in/out signals,
// whose functions put the value into a frame that the test's bus node reads;
// radio groups kept apart per interface; gauges, LED, LED meter, thermometer
// and LCD number that follow the node's frames as python3-canmatrix decodes
// them, and the LCD time-out on the test clock.
#include "../interfaces/can_test_support.h"
#include "core/script_trigger.h"
#include "core/signal_record.h"
#include "core/time_base.h"
#include "core/vyr_signal_list.h"
#include "script/script_symbol.h"
#include "script/script_symbol_table.h"
#include "script/vyr_script_runtime.h"
#include "test_paths.h"
#include "widgets/gauges/qledmeter.h"
#include "widgets/gauges/qtled.h"
#include "widgets/gauges/qtscale.h"
#include "widgets/lcd/qtlcdnumber.h"
#include "windows/panel/panel_item_kinds.h"
#include "windows/panel/panel_signal_binding.h"
#include "windows/panel/vyr_panel.h"
#include "windows/panel/vyr_panel_item.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QRadioButton>
#include <QTest>
#include <qwt_slider.h>
#include <qwt_thermo.h>

#include <cmath>

namespace {

using namespace can_test;

const QString motohawk_dbc = vyr_test::configured_testdata_dir() + "/dbc/cantools/tests/files/dbc/motohawk.dbc";
constexpr uint32_t example_message = 496;
constexpr uint32_t out_frame = 0x300;
constexpr uint32_t in_out_frame = 0x301;

// "Out" and "InOut" send the value, in hundredths, as a little-endian int32
// in a frame of their own. The actions give "InOut" the values the test
// needs, as a value received for it. "started" is set on the interface's
// thread once it runs.
const char *const script = R"(variables { int started; }
on start { started = 1; }
void send_value (int id, double value)
{
  CanMessage m;
  int v;
  v = value * 100;
  m.id = id;
  m.dlc = 4;
  m.data[0] = v & 0xFF;
  m.data[1] = (v >> 8) & 0xFF;
  m.data[2] = (v >> 16) & 0xFF;
  m.data[3] = (v >> 24) & 0xFF;
  canSendMessage (m);
}
output [0, 10] "Out" { send_value (0x300, this); }
output [0, 10] "InOut" { send_value (0x301, this); }
on action "hold5" { signalSetValueDouble (InOut, 5.0); }
on action "receive1" { signalSetValueDouble (InOut, 1.0); }
on action "receive2" { signalSetValueDouble (InOut, 2.0); }
)";

class PanelKindsOnTheBus : public CanFixture
{
protected:
    VyrCanIf *make_interface(const QStringList &databases = {})
    {
        VyrCanIf *can = make("CAN", virtual_channel, "", databases);
        set_script(can, script);
        EXPECT_EQ(can->sclib_init(), 0);
        // No script declaration makes an in/out signal: "InOut" becomes one
        // here, event-driven, so that nothing polls its function.
        if (SignalRecord *in_out = can->signal_list()->find("InOut")) {
            in_out->set_direction(SignalRecord::InputOutput);
            in_out->set_mode(SignalRecord::Event);
        }
        return can;
    }

    // A new item of the type on the panel, bound (binding 0, or the one given)
    // to the interface's signal.
    VyrPanelItem *add(const char *type_name, VyrCanIf *can, const char *signal_name, size_t binding = 0)
    {
        VyrPanelItem *item = panel.insert_new_item(QString::fromLatin1(type_name));
        EXPECT_NE(item, nullptr) << type_name;
        bind(item, can, signal_name, binding);
        item->widget()->show();
        return item;
    }
    static void bind(VyrPanelItem *item, VyrCanIf *can, const char *signal_name, size_t binding = 0)
    {
        item->bindings()[binding]->set_names(QString::fromStdString(can->make_id()), QString::fromLatin1(signal_name));
    }

    // Runs a script action on the test's thread, as the interface would.
    static void run_action(VyrCanIf *can, const char *name)
    {
        VyrSignalIf::ScriptRunLock lock(*can);
        VyrScriptRuntime *runtime = VyrScriptRuntime::of(can);
        ScriptTrigger *action = runtime->find_script_trigger_by_name(ScriptTrigger::action, name);
        ASSERT_NE(action, nullptr) << name;
        ASSERT_EQ(runtime->run_function(action->function_id()), 0);
    }
    static bool script_started(VyrCanIf *can)
    {
        VyrSignalIf::ScriptRunLock lock(*can);
        VyrScriptRuntime *runtime = VyrScriptRuntime::of(can);
        ScriptSymbol *symbol = runtime->symbols()->find("started", 0);
        return symbol && symbol->kind() == SYMBOL_VARIABLE &&
               runtime->machine()->data_int(int32_t(static_cast<ScriptVariable *>(symbol)->address)) == 1;
    }

    // The value of the next frame of the signal's identifier on the bus.
    double next_value(uint32_t id)
    {
        VyrCanMessage frame;
        if (!node->receive(id, frame)) {
            ADD_FAILURE() << "no frame " << id;
            return NAN;
        }
        const int32_t hundredths =
            int32_t(uint32_t(frame.data[0]) | uint32_t(frame.data[1]) << 8 | uint32_t(frame.data[2]) << 16 |
                    uint32_t(frame.data[3]) << 24);
        return hundredths / 100.0;
    }

    // The panel starts before the interface goes online, as in the program.
    void start(std::vector<VyrCanIf *> interfaces)
    {
        panel.resize(800, 600);
        panel.show();
        panel.startup();
        node = std::make_unique<BusNode>();
        measurement = std::make_unique<Measurement>(std::move(interfaces));
        ASSERT_EQ(measurement->start(), 0);
    }
    void tick() { panel.update_signals(); }

    void TearDown() override
    {
        if (measurement)
            measurement->stop();
        panel.stop();
    }

    VyrPanel panel{nullptr};
    std::unique_ptr<BusNode> node;
    std::unique_ptr<Measurement> measurement;
};

TEST_F(PanelKindsOnTheBus, PushButtonWritesOnPressAndReleaseOnlyAndNeverToAnInput)
{
    if (!QFileInfo::exists(motohawk_dbc))
        GTEST_SKIP() << "no test data at " << vyr_test::configured_testdata_dir().toStdString();
    VyrCanIf *can = make_interface({motohawk_dbc});
    VyrPanelItem *output = add("PushButton", can, "Out");
    VyrPanelItem *input = add("PushButton", can, "motohawk.ExampleMessage.Enable");
    start({can});
    auto *button = static_cast<QPushButton *>(output->widget());
    auto *input_button = static_cast<QPushButton *>(input->widget());

    // The first tick writes the released state.
    tick();
    EXPECT_EQ(next_value(out_frame), 0.0);
    QTest::mousePress(button, Qt::LeftButton);
    QTest::mousePress(input_button, Qt::LeftButton);
    tick();
    EXPECT_EQ(next_value(out_frame), 1.0);
    tick(); // held: nothing
    tick();
    QTest::mouseRelease(button, Qt::LeftButton);
    QTest::mouseRelease(input_button, Qt::LeftButton);
    tick();
    EXPECT_EQ(next_value(out_frame), 0.0) << "a frame was sent while the button was held";
    tick();
    // Nothing else went out: the next frame is one the test asks for.
    SignalValue marker;
    marker.set_double(7.0);
    ASSERT_EQ(can->post_write_request(can->signal_list()->find("Out"), marker), 0);
    VyrCanMessage frame;
    ASSERT_TRUE(read_until(node->channel.get(), [](const VyrCanMessage &) { return true; }, &frame));
    EXPECT_EQ(frame.id, out_frame);
    EXPECT_EQ(frame.data[0], 700 & 0xFF);
}

TEST_F(PanelKindsOnTheBus, CheckBoxOnAnInOutSignalShowsTheHeldValueFirst)
{
    VyrCanIf *can = make_interface();
    VyrPanelItem *item = add("CheckBox", can, "InOut");
    start({can});
    auto *box = static_cast<QCheckBox *>(item->widget());
    EXPECT_FALSE(box->isChecked());
    run_action(can, "hold5");
    ASSERT_TRUE(eventually([&] { return item->bindings()[0]->values().has_value; }));
    tick();
    EXPECT_TRUE(box->isChecked()) << "5.0 is not the inactive 0.0";
    QTest::mouseClick(box, Qt::LeftButton);
    EXPECT_FALSE(box->isChecked());
    tick();
    // Had the first tick written the checked state, 1.0 would come first.
    EXPECT_EQ(next_value(in_out_frame), 0.0);
}

TEST_F(PanelKindsOnTheBus, RadioButtonsWriteTheirActiveValueAndFollowReceivedValues)
{
    VyrCanIf *can = make_interface();
    VyrPanelItem *one = add("RadioButton", can, "Out");
    VyrPanelItem *two = add("RadioButton", can, "Out");
    two->bindings()[0]->active_value = 2.0;
    VyrPanelItem *shown_one = add("RadioButton", can, "InOut");
    VyrPanelItem *shown_two = add("RadioButton", can, "InOut");
    shown_two->bindings()[0]->active_value = 2.0;
    start({can});
    auto *first = static_cast<QRadioButton *>(one->widget());
    auto *second = static_cast<QRadioButton *>(two->widget());

    tick(); // nothing checked: nothing written
    QTest::mouseClick(first, Qt::LeftButton);
    tick();
    EXPECT_EQ(next_value(out_frame), 1.0);
    QTest::mouseClick(second, Qt::LeftButton);
    EXPECT_FALSE(first->isChecked());
    EXPECT_TRUE(second->isChecked());
    tick();
    tick();
    EXPECT_EQ(next_value(out_frame), 2.0);
    QTest::mouseClick(first, Qt::LeftButton);
    tick();
    EXPECT_EQ(next_value(out_frame), 1.0) << "the second wrote 2 more than once";

    // Each compares a received value with its own active value.
    auto *shown_first = static_cast<QRadioButton *>(shown_one->widget());
    auto *shown_second = static_cast<QRadioButton *>(shown_two->widget());
    for (const auto &[action, value] : {std::pair{"receive1", 1.0}, std::pair{"receive2", 2.0}}) {
        SCOPED_TRACE(action);
        run_action(can, action);
        ASSERT_TRUE(eventually([&] {
            const PanelSignalBinding::Values values = shown_one->bindings()[0]->values();
            return values.has_value && values.current.double_value == value;
        }));
        tick();
        EXPECT_EQ(shown_first->isChecked(), value == 1.0);
        EXPECT_EQ(shown_second->isChecked(), value == 2.0);
    }
}

// Two interfaces that load one script have signals of equal names: a click
// on a button bound to CAN1's signal leaves the one bound to CAN2's checked,
// and unchecks only the other one of CAN1.
TEST_F(PanelKindsOnTheBus, RadioGroupsOfTwoInterfacesAreApart)
{
    VyrCanIf *can1 = make_interface();
    VyrCanIf *can2 = make_interface();
    ASSERT_NE(can1->make_id(), can2->make_id());
    VyrPanelItem *first = add("RadioButton", can1, "Out");
    VyrPanelItem *other = add("RadioButton", can2, "Out");
    VyrPanelItem *second = add("RadioButton", can1, "Out");
    panel.startup();
    auto checked = [](VyrPanelItem *item) { return static_cast<QRadioButton *>(item->widget())->isChecked(); };
    QTest::mouseClick(first->widget(), Qt::LeftButton);
    QTest::mouseClick(other->widget(), Qt::LeftButton);
    EXPECT_TRUE(checked(first));
    EXPECT_TRUE(checked(other));
    QTest::mouseClick(second->widget(), Qt::LeftButton);
    EXPECT_FALSE(checked(first));
    EXPECT_TRUE(checked(second));
    EXPECT_TRUE(checked(other));
    auto *first_radio = static_cast<VyrPanelItemRadioButton *>(first);
    EXPECT_NE(first_radio->group(), static_cast<VyrPanelItemRadioButton *>(other)->group());
    EXPECT_EQ(first_radio->group(), static_cast<VyrPanelItemRadioButton *>(second)->group());
}

TEST_F(PanelKindsOnTheBus, LineEditWritesItsTextInItsBase)
{
    VyrCanIf *can = make_interface();
    VyrPanelItem *item = add("LineEdit", can, "Out");
    auto *edit = static_cast<VyrPanelLineEdit *>(item->widget());
    edit->set_mode(VyrPanelLineEdit::Hex);
    edit->setText(QStringLiteral("1a"));
    start({can});
    tick();
    EXPECT_EQ(next_value(out_frame), 26.0);
    tick();
    edit->set_mode(VyrPanelLineEdit::Bin);
    edit->setText(QStringLiteral("101"));
    tick();
    EXPECT_EQ(next_value(out_frame), 5.0) << "26 was written twice";
}

TEST_F(PanelKindsOnTheBus, QwtSliderWritesItsWholePositionOnceItChanges)
{
    VyrCanIf *can = make_interface();
    VyrPanelItem *item = add("Horizontal Slider", can, "Out");
    start({can});
    auto *slider = static_cast<QwtSlider *>(item->widget());
    EXPECT_EQ(slider->lowerBound(), 0.0);
    EXPECT_EQ(slider->upperBound(), 10.0);
    slider->setValue(3.7);
    tick();
    EXPECT_EQ(next_value(out_frame), 3.0);
    slider->setValue(3.9);
    tick(); // still 3: nothing
    slider->setValue(6.2);
    tick();
    EXPECT_EQ(next_value(out_frame), 6.0) << "3.9 wrote a frame";
}

double as_double(const SignalValue &value)
{
    return value.type == SignalValue::Int ? double(value.int_value) : value.double_value;
}

TEST_F(PanelKindsOnTheBus, GaugesFollowTheDecodedFramesOfTheNode)
{
    if (!QFileInfo::exists(motohawk_dbc))
        GTEST_SKIP() << "no test data at " << vyr_test::configured_testdata_dir().toStdString();
    const QStringList payloads = {"ExampleMessage:8010000000000000", "ExampleMessage:3f01000000000000",
                                  "ExampleMessage:c0fe123456789abc"};
    const auto decoded = canmatrix_decode(motohawk_dbc, payloads);
    if (decoded.size() != size_t(payloads.size()))
        GTEST_SKIP() << "python3-canmatrix did not run";
    VyrCanIf *can = make_interface({motohawk_dbc});
    const char *const temperature = "motohawk.ExampleMessage.Temperature";
    const char *const radius = "motohawk.ExampleMessage.AverageRadius";
    const char *const enable = "motohawk.ExampleMessage.Enable";
    auto *tacho = static_cast<QtScale *>(add("Tacho", can, temperature)->widget());
    auto *bar = static_cast<QtScale *>(add("Vertical Bar", can, radius)->widget());
    // Enable's range is 0 to 0: the bar and the meter scale on -10 to 10.
    auto *enable_bar = static_cast<QtScale *>(add("Horizontal Bar", can, enable)->widget());
    auto *led = static_cast<QtLed *>(add("LED", can, enable)->widget());
    VyrPanelItem *meter_item = add("LED Meter", can, enable);
    auto *meter = static_cast<QLedMeter *>(meter_item->widget());
    auto *thermo = static_cast<QwtThermo *>(add("Thermo", can, temperature)->widget());
    auto *lcd = static_cast<QtLCDNumber *>(add("LCD Number", can, radius)->widget());
    start({can});
    EXPECT_DOUBLE_EQ(tacho->rangeMin(), 229.52);
    EXPECT_DOUBLE_EQ(tacho->rangeMax(), 270.47);
    EXPECT_EQ(enable_bar->rangeMin(), -10.0);
    EXPECT_EQ(enable_bar->rangeMax(), 10.0);
    EXPECT_DOUBLE_EQ(thermo->lowerBound(), 229.52);
    EXPECT_DOUBLE_EQ(thermo->upperBound(), 270.47);

    for (int i = 0; i < payloads.size(); ++i) {
        SCOPED_TRACE(payloads[i].toStdString());
        const QByteArray bytes = QByteArray::fromHex(payloads[i].section(':', 1).toLatin1());
        node->send(example_message, 0, std::vector<uint8_t>(bytes.begin(), bytes.end()));
        const auto &frame = decoded[size_t(i)];
        const double t = frame.at("ExampleMessage.Temperature");
        const double r = frame.at("ExampleMessage.AverageRadius");
        const double e = frame.at("ExampleMessage.Enable");
        ASSERT_TRUE(eventually([&] {
            for (const auto &item : panel.items()) {
                const PanelSignalBinding::Values values = item->bindings()[0]->values();
                const QString name = item->bindings()[0]->signal_name();
                const double wanted = name == temperature ? t : name == radius ? r : e;
                if (!values.has_value || std::abs(as_double(values.current) - wanted) > 1e-9)
                    return false;
            }
            return true;
        }));
        tick();
        EXPECT_NEAR(tacho->value(), t, 1e-9);
        EXPECT_NEAR(thermo->value(), t, 1e-9);
        EXPECT_NEAR(bar->value(), r, 1e-9);
        EXPECT_EQ(enable_bar->value(), e);
        EXPECT_EQ(led->value(), e);
        EXPECT_EQ(meter->value(), int((e + 10.0) / 20.0 * 100.0));
        EXPECT_NEAR(lcd->value(), r, 1e-9);
    }
}

// The LCD number's time-out on the test clock: the interface drives the
// timer wheel from it, the value carries the wheel's time, and the panel
// ticks with it.
TEST_F(PanelKindsOnTheBus, LcdShowsDashesOnceTheClockPassesItsTimeOut)
{
    if (!QFileInfo::exists(motohawk_dbc))
        GTEST_SKIP() << "no test data at " << vyr_test::configured_testdata_dir().toStdString();
    vyr_test::ClockInstaller time;
    VyrCanIf *can = make_interface({motohawk_dbc});
    VyrPanelItem *item = add("LCD Number", can, "motohawk.ExampleMessage.AverageRadius");
    auto *lcd = static_cast<QtLCDNumber *>(item->widget());
    lcd->setTimeout(500);
    lcd->setTimeoutEnabled(true);
    panel.show();
    panel.startup();
    node = std::make_unique<BusNode>();
    measurement = std::make_unique<Measurement>(std::vector<VyrCanIf *>{can}, true);
    set_main_timer_wheel(&measurement->wheel);
    struct Unset {
        ~Unset() { set_main_timer_wheel(nullptr); }
    } unset;
    ASSERT_EQ(measurement->start(), 0);
    // The thread takes the clock's time as its start before it runs the script.
    ASSERT_TRUE(eventually([&] { return script_started(can); }));
    auto move_clock = [&](uint32_t ms) {
        time.clock.set_ms(ms);
        ASSERT_TRUE(eventually([&] { return measurement->wheel.current_time() >= ms; })) << ms;
    };

    move_clock(100);
    node->send(example_message, 0, {0x3f, 0x01, 0, 0, 0, 0, 0, 0});
    ASSERT_TRUE(eventually([&] { return item->bindings()[0]->values().has_value; }));
    const PanelSignalBinding::Values arrived = item->bindings()[0]->values();
    const uint32_t arrived_ms = arrived.time.seconds * 1000 + arrived.time.microseconds / 1000;
    EXPECT_GE(arrived_ms, 100u);
    tick();
    EXPECT_EQ(lcd->value(), as_double(arrived.current));
    EXPECT_NE(lcd->digitString().trimmed(), "---");
    move_clock(arrived_ms + 500);
    tick();
    EXPECT_EQ(lcd->value(), as_double(arrived.current)) << "500 ms is not past the time-out";
    move_clock(arrived_ms + 501);
    tick();
    EXPECT_EQ(lcd->digitString().trimmed(), "---");
}

} // namespace
