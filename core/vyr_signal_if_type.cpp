#include "core/vyr_signal_if_type.h"

#include "core/vyr_signal_if.h"
#include "core/vyr_signal_if_notification.h"

#include <cstring>

namespace {

int returns_zero()
{
    return 0;
}

// POSIX sockets need no library start or clean-up; the hooks stay for the
// order of calls that the shell keeps.
int sockets_start_up()
{
    return 0;
}

int sockets_clean_up()
{
    return 0;
}

// The built-in rows in their fixed order. Their interfaces' code attaches
// factories and the hooks that need it (the CAN family's driver set-up).
struct BuiltinRows
{
    VyrSignalIfType serial{"Serial", "Serial Interface", "Serial k-line ECU-Interface", nullptr};
    VyrSignalIfType raw_serial{"RawSerial", "Raw Serial Interface", "Raw Serial Interface", nullptr};
    VyrSignalIfType can{"CAN", "CAN Interface", "CAN Interface to VINDRA CAN Hardware", nullptr};
    VyrSignalIfType can_rx{"CAN-RX", "CAN Interface (Receive only)",
                           "CAN Interface (Receive only) to VINDRA CAN Hardware", nullptr};
    VyrSignalIfType lin{"LIN", "LIN Interface", "LIN Interface to VINDRA LINbox Cable", nullptr};
    VyrSignalIfType dll{"DLL", "DLL Interface", "DLL Interface", nullptr, returns_zero, returns_zero};
    VyrSignalIfType udp{"Udp", "UDP Interface", "UDP Interface", nullptr, sockets_start_up, sockets_clean_up};
    VyrSignalIfType usb{"Usb", "USB Interface", "USB Interface", nullptr, sockets_start_up, sockets_clean_up};
    VyrSignalIfType diag{"Diag", "Diagnostic Interface", "Diagnostic Interface", nullptr};
    VyrSignalIfType flexray{"FlexRay", "FlexRay Interface", "FlexRay Interface to TZM FlexCard Cyclone II", nullptr,
                            returns_zero, returns_zero};
};

// Builds the built-in rows once, ahead of every other record. The rows'
// own constructors come back here while they are built and return at once.
void ensure_builtin_rows()
{
    static bool started = false;
    if (started)
        return;
    started = true;
    static BuiltinRows rows;
}

} // namespace

VyrSignalIfType::Registry VyrSignalIfType::s_registry;

VyrSignalIfType::VyrSignalIfType(const char *type_name, const char *display_name, const char *description,
                                 CreateFunction create, Hook start_up, Hook exit, Hook measurement_start)
    : m_type_name(type_name ? type_name : ""), m_display_name(display_name ? display_name : ""),
      m_description(description ? description : ""), m_has_display_name(display_name != nullptr),
      m_has_description(description != nullptr), m_create(create), m_start_up(start_up), m_exit(exit),
      m_measurement_start(measurement_start)
{
    ensure_builtin_rows();
    s_registry.push_back(this);
}

VyrSignalIfType::~VyrSignalIfType()
{
    s_registry.remove(this);
}

void VyrSignalIfType::attach(CreateFunction create, Hook start_up, Hook exit, Hook measurement_start)
{
    m_create = create;
    if (start_up)
        m_start_up = start_up;
    if (exit)
        m_exit = exit;
    if (measurement_start)
        m_measurement_start = measurement_start;
}

VyrSignalIfType *get_first_signal_if_type()
{
    ensure_builtin_rows();
    return VyrSignalIfType::s_registry.first();
}

VyrSignalIfType *find_signal_if_type(const char *type_name)
{
    if (!type_name)
        return nullptr;
    for (VyrSignalIfType *type = get_first_signal_if_type(); type; type = type->next())
        if (type->type_name() == type_name)
            return type;
    return nullptr;
}

std::unique_ptr<VyrSignalIf> create_signal_if(const char *type_name, QtbConfigGroup *group, QObject *owner,
                                              VyrSignalIfNotification *notification)
{
    if (!type_name)
        return nullptr;
    for (VyrSignalIfType *type = get_first_signal_if_type(); type; type = type->next()) {
        if (type->type_name() != type_name || !type->create())
            continue;
        std::unique_ptr<VyrSignalIf> created = type->create()(group, owner, notification);
        if (created && notification)
            emit notification->interface_created(QString::fromStdString(created->make_id()));
        return created;
    }
    return nullptr;
}

int call_start_up_hook(const VyrSignalIfType *type)
{
    return type && type->start_up_hook() ? type->start_up_hook()() : 0;
}

int call_exit_hook(const VyrSignalIfType *type)
{
    return type && type->exit_hook() ? type->exit_hook()() : 0;
}

int call_measurement_start_hook(const VyrSignalIfType *type)
{
    return type && type->measurement_start_hook() ? type->measurement_start_hook()() : 0;
}
