#pragma once
// The interface-type registry: one record per interface type, in a fixed
// order, through which the main window creates interfaces by type name from
// the configuration and from its interface menu.
#include "core/intrusive_list.h"

#include <memory>
#include <string>

class QObject;
class QtbConfigGroup;
class VyrSignalIf;
class VyrSignalIfNotification;

class VyrSignalIfType
{
public:
    // Creates an interface from its configuration group (null for a new one).
    using CreateFunction = std::unique_ptr<VyrSignalIf> (*)(QtbConfigGroup *group, QObject *owner,
                                                            VyrSignalIfNotification *notification);
    using Hook = int (*)();

    // Appends the record to the registry. Display name and description may be null.
    VyrSignalIfType(const char *type_name, const char *display_name, const char *description, CreateFunction create,
                    Hook start_up = nullptr, Hook exit = nullptr, Hook measurement_start = nullptr);
    // Takes the record out of the registry.
    ~VyrSignalIfType();
    VyrSignalIfType(const VyrSignalIfType &) = delete;
    VyrSignalIfType &operator=(const VyrSignalIfType &) = delete;

    const std::string &type_name() const { return m_type_name; }
    // Null when the type has none.
    const char *display_name() const { return m_has_display_name ? m_display_name.c_str() : nullptr; }
    const char *description() const { return m_has_description ? m_description.c_str() : nullptr; }
    CreateFunction create() const { return m_create; }
    VyrSignalIfType *next() const { return Registry::next(this); }

    // The built-in rows are registered with their texts before the code of
    // their interfaces is linked in; that code hands over its factory and
    // hooks here. A hook given as null keeps the row's own.
    void attach(CreateFunction create, Hook start_up = nullptr, Hook exit = nullptr, Hook measurement_start = nullptr);

    Hook start_up_hook() const { return m_start_up; }
    Hook exit_hook() const { return m_exit; }
    Hook measurement_start_hook() const { return m_measurement_start; }

    // Whether the type gets a "Create new" menu entry, and whether that
    // entry is enabled; both are set unless the type clears them.
    bool in_menu() const { return m_in_menu; }
    void set_in_menu(bool in_menu) { m_in_menu = in_menu; }
    bool enabled() const { return m_enabled; }
    void set_enabled(bool enabled) { m_enabled = enabled; }

private:
    friend VyrSignalIfType *get_first_signal_if_type();
    IntrusiveLink<VyrSignalIfType> m_link;
    using Registry = IntrusiveList<VyrSignalIfType, &VyrSignalIfType::m_link>;
    // Constant-initialised, so that records built before main() can link
    // themselves in whatever order their files start.
    static Registry s_registry;

    std::string m_type_name;
    std::string m_display_name;
    std::string m_description;
    bool m_has_display_name;
    bool m_has_description;
    CreateFunction m_create;
    Hook m_start_up;
    Hook m_exit;
    Hook m_measurement_start;
    bool m_in_menu = true;
    bool m_enabled = true;
};

// Head of the registry, the built-in rows first; records follow through next.
VyrSignalIfType *get_first_signal_if_type();
// The first record of that name (case-sensitive), or null.
VyrSignalIfType *find_signal_if_type(const char *type_name);

// Creates an interface through the first record of that name that has a
// factory; when a notification object is given, it announces the new
// interface with interface_created. Null when there is no such record.
std::unique_ptr<VyrSignalIf> create_signal_if(const char *type_name, QtbConfigGroup *group, QObject *owner,
                                              VyrSignalIfNotification *notification);

// Run the hook when the record has one; a missing hook answers 0.
int call_start_up_hook(const VyrSignalIfType *type);
int call_exit_hook(const VyrSignalIfType *type);
int call_measurement_start_hook(const VyrSignalIfType *type);
