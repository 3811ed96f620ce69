// The automation object's methods called directly, as the bus adaptor calls
// them, on an interface of the test: how a variant becomes a signal value,
// the drain of the latest values, the list of signals and values, the codes
// and texts of its errors, and a program that is not up yet.
#include "app/vyr_active_x.h"
#include "app/vyr_sys_if.h"
#include "core/vyr_signal_list.h"
#include "tests/core/signal_if_test_support.h"
#include "windows/base/signal_value_listener.h"

#include <gtest/gtest.h>

namespace {

class AutomationObject : public ::testing::Test
{
protected:
    AutomationObject()
    {
        VyrSysIf::set_instance(&sys_if);
        interface.set_name("Body");
        auto list = std::make_unique<VyrSignalList>();
        for (const char *name : {"speed", "gear"}) {
            auto *signal = new SignalRecord();
            signal->set_name(name);
            signal->add_flags(SignalRecord::DefinedByCompile);
            list->insert(signal);
        }
        interface.set_signal_list(std::move(list));
        speed = interface.signal_list()->find("speed");
        gear = interface.signal_list()->find("gear");
    }
    ~AutomationObject() override { VyrSysIf::set_instance(previous); }

    VyrSysIf *previous = VyrSysIf::instance();
    VyrSysIf sys_if{nullptr};
    vyr_test::TestInterface interface{nullptr, nullptr};
    SignalRecord *speed = nullptr;
    SignalRecord *gear = nullptr;
    VyrActiveX automation{nullptr, QStringLiteral("automation")};
};

TEST_F(AutomationObject, AnIntegerVariantSetsAnIntegerAndOthersADouble)
{
    SignalValueListener listener(0, speed);
    ASSERT_EQ(interface.add_signal_listener(&listener, speed), 0);
    const struct
    {
        const char *name;
        QVariant value;
        int code;
        uint32_t type;
        double number;
    } cases[] = {
        {"int", QVariant(int(-5)), 0, SignalValue::Int, -5},
        {"text of a number", QVariant(QStringLiteral("12")), 0, SignalValue::Double, 12.0},
        {"double", QVariant(2.5), 0, SignalValue::Double, 2.5},
        {"64-bit integer", QVariant(qlonglong(7)), 0, SignalValue::Double, 7.0},
        {"text of no number", QVariant(QStringLiteral("fast")), VyrSysIf::not_a_number, 0, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        listener.last_value(true);
        EXPECT_EQ(automation.setSignalValue("Body", "speed", c.value), c.code);
        bool changed = false;
        const SignalValue got = listener.last_value(true, &changed);
        EXPECT_EQ(changed, c.code == 0);
        if (!changed)
            continue;
        EXPECT_EQ(got.type, c.type);
        EXPECT_EQ(got.type == SignalValue::Int ? double(got.int_value) : got.double_value, c.number);
    }
    EXPECT_EQ(automation.setSignalValue("Engine", "speed", 1), VyrSysIf::interface_not_found);
    EXPECT_EQ(automation.setSignalValue("Body", "rpm", 1), VyrSysIf::signal_not_found);
}

TEST_F(AutomationObject, LatestValuesAreDrainedAndAnEmptyHistoryIsNoError)
{
    SignalValue record;
    record.seconds = 3;
    record.microseconds = 250000;
    record.set_int(4);
    gear->set_value(record);
    QVariantList values{QStringLiteral("kept")};
    QVariantList times{QStringLiteral("kept")};
    EXPECT_EQ(automation.getLatestValues("Body", "gear", values, times), 0);
    EXPECT_EQ(values, (QVariantList{QStringLiteral("kept"), 4.0}));
    EXPECT_EQ(times, (QVariantList{QStringLiteral("kept"), qlonglong(3250)}));
    EXPECT_EQ(automation.getLatestValues("Body", "gear", values, times), 0);
    EXPECT_EQ(values.size(), 2);
    EXPECT_EQ(automation.getLatestValues("Engine", "gear", values, times), VyrSysIf::interface_not_found);
    EXPECT_EQ(automation.getLatestValues("Body", "rpm", values, times), VyrSysIf::signal_not_found);
    EXPECT_EQ(values.size(), 2);

    // The current value stays readable; a signal without one reads 0 at 0 ms.
    QVariant value, time;
    EXPECT_EQ(automation.getCurrentSignalValue("Body", "gear", value, time), 0);
    EXPECT_EQ(value, QVariant(4.0));
    EXPECT_EQ(time, QVariant(3250.0));
    EXPECT_EQ(automation.getCurrentSignalValue("Body", "speed", value, time), 0);
    EXPECT_EQ(value, QVariant(0.0));
    EXPECT_EQ(time, QVariant(0.0));

    QVariantList names, current;
    EXPECT_EQ(automation.getSignalAndValueList("Body", names, current), 0);
    ASSERT_EQ(names.size(), 2);
    ASSERT_EQ(current.size(), 2);
    std::map<QString, QVariant> by_name;
    for (int i = 0; i < names.size(); ++i)
        by_name[names[i].toString()] = current[i];
    EXPECT_EQ(by_name, (std::map<QString, QVariant>{{"speed", QStringLiteral("NoValue")}, {"gear", 4.0}}));
}

TEST(AutomationErrors, EveryCodeHasItsNameAndText)
{
    const struct
    {
        int code;
        const char *name;
        const char *text;
    } cases[] = {
        {VyrSysIf::interface_not_found, "org.vyr.Vyr.Error1", "Interface not Found"},
        {VyrSysIf::signal_not_found, "org.vyr.Vyr.Error2", "Signal not Found"},
        {VyrSysIf::no_signal_list, "org.vyr.Vyr.Error3", "No Signal List"},
        {VyrSysIf::no_value, "org.vyr.Vyr.Error4", "No Value"},
        {VyrSysIf::not_a_number, "org.vyr.Vyr.Error5", "Value is not a Number"},
        {VyrSysIf::action_not_found, "org.vyr.Vyr.Error6", "Action not Found"},
        {-7, "org.vyr.Vyr.Error7", "???"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.code);
        EXPECT_EQ(vyr_automation::error_name(c.code), c.name);
        EXPECT_EQ(vyr_automation::error_text(c.code), c.text);
    }
}

TEST(AutomationWithoutTheProgram, EveryMethodReturnsWithoutEffect)
{
    VyrSysIf *previous = VyrSysIf::instance();
    VyrSysIf::set_instance(nullptr);
    VyrActiveX automation(nullptr, QStringLiteral("early"));
    QString name = QStringLiteral("unchanged");
    QVariant value = QStringLiteral("unchanged");
    QVariant time = value;
    QVariantList list{value};
    EXPECT_EQ(automation.start(), 0);
    EXPECT_EQ(automation.stop(), 0);
    EXPECT_EQ(automation.getConfiguration(name), 0);
    EXPECT_EQ(automation.callAction("Body", "beep"), 0);
    EXPECT_EQ(automation.setSignalValue("Body", "speed", QStringLiteral("fast")), 0);
    EXPECT_EQ(automation.getCurrentSignalValue("Body", "speed", value, time), 0);
    EXPECT_EQ(automation.getLatestValues("Body", "speed", list, list), 0);
    EXPECT_EQ(automation.getSignalAndValueList("Body", list, list), 0);
    EXPECT_EQ(automation.exit(), 0);
    EXPECT_EQ(name, "unchanged");
    EXPECT_EQ(value, QVariant(QStringLiteral("unchanged")));
    EXPECT_EQ(list.size(), 1);
    VyrSysIf::set_instance(previous);
}

} // namespace
