#pragma once
// The window-type registry: one record per data-window type, appended by a
// static registration object, through which the configuration loader and
// the menus create every data window by its class key.
#include "core/intrusive_list.h"

#include <string>

class QObject;
class QWidget;
class QtbConfigGroup;
class VyrDataWindow;

class DataWindowTypeInfo
{
public:
    // Makes a window with the parent; with a group it reads the window's keys
    // (the base keys first), without one it makes a default window.
    using Factory = VyrDataWindow *(*)(QWidget *parent, QtbConfigGroup *group);

    enum Flag : unsigned {
        OpenByDefault = 0x1,   // opened at start when no configuration provides windows
        ActiveWorkspace = 0x2, // always put into the active workspace
        SingleInstance = 0x4,
        CanWindow = 0x8,
    };

    // Copies the texts (null stays null) and appends the record to the registry.
    DataWindowTypeInfo(const char *class_key, const char *menu_name, const char *title, const char *description,
                       int type_number, const char *const *icon, unsigned flags, Factory factory);
    // Takes the record out of the registry.
    ~DataWindowTypeInfo();
    DataWindowTypeInfo(const DataWindowTypeInfo &) = delete;
    DataWindowTypeInfo &operator=(const DataWindowTypeInfo &) = delete;

    static DataWindowTypeInfo *first();
    // The window of the first enabled type with that class key, or null: for
    // a null or unknown key, a type without factory, or a single-instance
    // type whose window with index 1 is open. The message receiver (the main
    // window, with the slots log_message_info, log_message_warning and
    // log_message_error) is kept for the new window's log lines, also when
    // no window is made.
    static VyrDataWindow *create_window(const char *class_key, QWidget *parent, QtbConfigGroup *group,
                                        QObject *message_receiver);
    // The receiver handed to the last create_window.
    static QObject *message_receiver();

    const std::string &class_key() const { return m_class_key; }
    // Null when the type has none.
    const char *menu_name() const { return text(m_menu_name); }
    const char *title() const { return text(m_title); }
    const char *description() const { return text(m_description); }
    int type_number() const { return m_type_number; }
    const char *const *icon() const { return m_icon; }
    unsigned flags() const { return m_flags; }
    Factory factory() const { return m_factory; }
    bool enabled() const { return m_enabled; }
    void set_enabled(bool enabled) { m_enabled = enabled; }
    bool listed() const { return m_listed; }
    void set_listed(bool listed) { m_listed = listed; }
    DataWindowTypeInfo *next() const { return Registry::next(this); }

private:
    struct OptionalText
    {
        bool present = false;
        std::string text;
    };
    static OptionalText copy(const char *text);
    static const char *text(const OptionalText &t) { return t.present ? t.text.c_str() : nullptr; }

    std::string m_class_key;
    OptionalText m_menu_name;
    OptionalText m_title;
    OptionalText m_description;
    const char *const *m_icon;
    Factory m_factory;
    IntrusiveLink<DataWindowTypeInfo> m_link;
    using Registry = IntrusiveList<DataWindowTypeInfo, &DataWindowTypeInfo::m_link>;
    // Constant-initialised, so that records built before main() can link
    // themselves in whatever order their files start.
    static Registry s_registry;
    unsigned m_flags;
    int m_type_number;
    bool m_enabled = true;
    bool m_listed = true;
};
