// The factories and hooks of the interface types "CAN", "CAN-RX" and "LIN".
// The three rows share one preparation of the hardware providers: the first
// start-up hook initialises them and lists the channels, the first exit hook
// after it shuts them down.
#include "settings/debug_trace.h"
#include "core/vyr_signal_if_type.h"
#include "interfaces/can/vyr_can_if.h"
#include "interfaces/hardware/can_hw_provider.h"

namespace {

int start_up_count = 0;

int start_up_providers()
{
    if (start_up_count++ == 0) {
        CANhwProviderList::global().initialize_all_providers();
        CANhwProviderList::global().enumerate_all_channels();
    }
    return 0;
}

int exit_providers()
{
    if (start_up_count > 0)
        CANhwProviderList::global().uninitialize_all_providers();
    start_up_count = 0;
    return 0;
}

int enumerate_at_measurement_start()
{
    debug_trace("VyrCanIf::enumerate ()");
    CANhwProviderList::global().enumerate_all_channels();
    return 0;
}

std::unique_ptr<VyrSignalIf> create(const char *type_name, QtbConfigGroup *group, QObject *owner,
                                    VyrSignalIfNotification *notification)
{
    auto can = std::make_unique<VyrCanIf>(type_name, owner, notification);
    if (can->type_name() == "CAN-RX")
        can->set_transmit_allowed(false);
    can->read_configuration(group);
    return can;
}

std::unique_ptr<VyrSignalIf> create_can(QtbConfigGroup *group, QObject *owner, VyrSignalIfNotification *notification)
{
    return create("CAN", group, owner, notification);
}

std::unique_ptr<VyrSignalIf> create_can_rx(QtbConfigGroup *group, QObject *owner, VyrSignalIfNotification *notification)
{
    return create("CAN-RX", group, owner, notification);
}

std::unique_ptr<VyrSignalIf> create_lin(QtbConfigGroup *group, QObject *owner, VyrSignalIfNotification *notification)
{
    return create("LIN", group, owner, notification);
}

struct AttachCanTypes
{
    AttachCanTypes()
    {
        find_signal_if_type("CAN")->attach(create_can, start_up_providers, exit_providers,
                                           enumerate_at_measurement_start);
        find_signal_if_type("CAN-RX")->attach(create_can_rx, start_up_providers, exit_providers,
                                              enumerate_at_measurement_start);
        find_signal_if_type("LIN")->attach(create_lin, start_up_providers, exit_providers);
    }
} attach_can_types;

} // namespace
