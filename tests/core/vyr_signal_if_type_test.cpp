#include "settings/qtb_config.h"
#include "core/vyr_signal_if_type.h"
#include "core/vyr_signal_list.h"
#include "signal_if_test_support.h"
#include "vyr_test_shell.h"

#include <gtest/gtest.h>

#include <cstring>

using vyr_test::TestInterface;
using vyr_test::VyrTestShell;

namespace {

std::unique_ptr<VyrSignalIf> create_test_interface(QtbConfigGroup *group, QObject *owner,
                                                    VyrSignalIfNotification *notification)
{
    auto created = std::make_unique<TestInterface>(owner, notification);
    if (group)
        created->read_config_common(group);
    return created;
}

int start_up_calls = 0;
int count_start_up()
{
    return ++start_up_calls;
}

} // namespace

TEST(VyrSignalIfType, BuiltInRowsComeFirstInTheirOrder)
{
    // own_hooks: the start-up and exit hooks that the registry itself gives
    // the row (the CAN and LIN families' hooks come with their interfaces).
    const struct {
        const char *type_name;
        const char *display_name;
        const char *description;
        bool own_hooks;
    } rows[] = {
        {"Serial", "Serial Interface", "Serial k-line ECU-Interface", false},
        {"RawSerial", "Raw Serial Interface", "Raw Serial Interface", false},
        {"CAN", "CAN Interface", "CAN Interface to VINDRA CAN Hardware", false},
        {"CAN-RX", "CAN Interface (Receive only)", "CAN Interface (Receive only) to VINDRA CAN Hardware", false},
        {"LIN", "LIN Interface", "LIN Interface to VINDRA LINbox Cable", false},
        {"DLL", "DLL Interface", "DLL Interface", true},
        {"Udp", "UDP Interface", "UDP Interface", true},
        {"Usb", "USB Interface", "USB Interface", true},
        {"Diag", "Diagnostic Interface", "Diagnostic Interface", false},
        {"FlexRay", "FlexRay Interface", "FlexRay Interface to TZM FlexCard Cyclone II", true},
    };
    VyrSignalIfType late("TEST-LATE", nullptr, nullptr, nullptr);
    const VyrSignalIfType *type = get_first_signal_if_type();
    for (const auto &row : rows) {
        ASSERT_NE(type, nullptr) << row.type_name;
        EXPECT_EQ(type->type_name(), row.type_name);
        EXPECT_STREQ(type->display_name(), row.display_name);
        EXPECT_STREQ(type->description(), row.description);
        EXPECT_EQ(call_start_up_hook(type), 0);
        EXPECT_EQ(call_exit_hook(type), 0);
        EXPECT_EQ(call_measurement_start_hook(type), 0);
        if (row.own_hooks) {
            EXPECT_NE(type->start_up_hook(), nullptr);
            EXPECT_NE(type->exit_hook(), nullptr);
        }
        EXPECT_TRUE(type->in_menu());
        EXPECT_TRUE(type->enabled());
        type = type->next();
    }
    ASSERT_EQ(type, &late);
    EXPECT_EQ(late.display_name(), nullptr);
    EXPECT_EQ(find_signal_if_type("can"), nullptr); // names compare case-sensitively
}

TEST(VyrSignalIfType, InterfacesAreCreatedByNameAndNumberedPerType)
{
    VyrSignalIfType type("TEST", "Test Interface", "Interface of the tests", create_test_interface);
    VyrTestShell shell;
    std::vector<QString> created;
    QObject::connect(&shell.notification, &VyrSignalIfNotification::interface_created,
                     [&](const QString &id) { created.push_back(id); });

    QtbConfig config;
    QtbConfigGroup *group = config.add_group("TEST");
    group->write_bool("active", true);
    auto first = create_signal_if("TEST", group, &shell, &shell.notification);
    auto second = create_signal_if("TEST", nullptr, &shell, &shell.notification);
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->name(), "TEST 1");
    EXPECT_EQ(first->make_id(), "TEST1");
    EXPECT_TRUE(first->active());
    EXPECT_EQ(second->name(), "TEST 2");
    EXPECT_EQ(second->make_id(), "TEST2");
    EXPECT_FALSE(second->active());
    EXPECT_EQ(created, (std::vector<QString>{"TEST1", "TEST2"}));

    EXPECT_EQ(find_signal_if_by_id("TEST2"), second.get());
    EXPECT_EQ(find_signal_if_by_name("TEST 1"), first.get());
    EXPECT_EQ(find_signal_if_by_type("TEST", ~0u), first.get());
    EXPECT_EQ(find_signal_if_by_type("TEST", 2), second.get());
    EXPECT_EQ(find_signal_if_by_name(nullptr), nullptr);

    first.reset();
    auto third = create_signal_if("TEST", nullptr, &shell, nullptr);
    EXPECT_EQ(third->name(), "TEST 1"); // the freed instance number comes back
    EXPECT_EQ(get_first_signal_if(), second.get()); // the list keeps creation order
    EXPECT_EQ(second->next(), third.get());

    // The interface list dialog takes an interface out of the list before it deletes it.
    unlink_signal_if(second.get());
    EXPECT_EQ(find_signal_if_by_id("TEST2"), nullptr);
    EXPECT_EQ(get_first_signal_if(), third.get());
    unlink_signal_if(second.get()); // not listed: nothing happens
    link_signal_if(second.get());
    EXPECT_EQ(third->next(), second.get());

    EXPECT_EQ(create_signal_if("NONE", nullptr, &shell, nullptr), nullptr);
    EXPECT_EQ(create_signal_if("CAN", nullptr, &shell, nullptr), nullptr); // no factory linked in
}

TEST(VyrSignalIfType, AttachedFactoryAndHooksServeABuiltInRow)
{
    VyrSignalIfType *diag = find_signal_if_type("Diag");
    ASSERT_NE(diag, nullptr);
    diag->attach(create_test_interface, count_start_up);
    VyrTestShell shell;
    auto created = create_signal_if("Diag", nullptr, &shell, nullptr);
    EXPECT_NE(created, nullptr);
    start_up_calls = 0;
    EXPECT_EQ(call_start_up_hook(diag), 1);
    diag->attach(nullptr);
    EXPECT_EQ(create_signal_if("Diag", nullptr, &shell, nullptr), nullptr);
}
