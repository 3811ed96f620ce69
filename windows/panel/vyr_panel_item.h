#pragma once
// The base of every item on a panel: it owns one widget, a small typed value
// store that panel scripts read and write by integer key, the signals bound
// to the item and the lists through which its events start script actions.
//
// Threads: scripts set store values on interface threads; the widget is only
// touched on the GUI thread (sync_signals, load_property_values). The store
// is guarded by one mutex per item, held only while entries are copied.
#include "core/time_base.h"

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

class PanelItemTypeInfo;
class PanelSignalBinding;
class VyrScriptActivationGroup;

// One entry of an item's value store: it mirrors one widget property and
// keeps an integer, a double and a text (or bytes) form of it.
struct PanelItemValue
{
    enum Kind : int32_t { Integer = 1, Double = 2, String = 3, Data = 4 };

    PanelItemValue(int32_t kind, int32_t key, const char *property_name, uint32_t capacity)
        : kind(kind), property_name(property_name), key(key), buffer(capacity), capacity(capacity)
    {
    }

    // Stores a text of at most capacity - 1 characters and its terminator;
    // false when the buffer held that stored form already.
    bool store_text(const char *text);
    // The text in the buffer (empty without a buffer).
    const char *text() const { return capacity ? buffer.data() : ""; }

    const int32_t kind;
    const char *const property_name; // a literal of the item kind
    const int32_t key;
    std::vector<char> buffer;
    uint32_t length = 0; // valid bytes; for a text, the terminator included
    const uint32_t capacity;
    int32_t int_value = 0;
    double double_value = 0.0;
    bool changed = false;
};

class VyrPanelItem : public QObject
{
    Q_OBJECT
public:
    VyrPanelItem();
    // Deletes the widget and the activation group, then the bindings and the
    // store; leaves the item directory. That is too late for an item that a
    // script may reach meanwhile: its kind's part is gone by then, so whoever
    // deletes a registered item unregisters it first.
    ~VyrPanelItem() override;

    uint32_t id() const { return m_id; }
    // The registry record the item was made through (null for items made
    // directly); its name is the type name a panel file stores.
    const PanelItemTypeInfo *type_info() const { return m_type_info; }
    void set_type_info(const PanelItemTypeInfo *info) { m_type_info = info; }

    virtual QWidget *widget() const { return m_widget.data(); }
    // Puts the kind's start value into the widget (base: nothing).
    virtual void reset_display() {}
    // Copies every changed store entry into the widget property it mirrors.
    virtual void sync_signals();

    // Absent keys give 0, 0.0 and an empty text. The getters do not look at
    // the entry's kind.
    virtual int32_t get_property_value_int(int32_t key);
    virtual double get_property_value_double(int32_t key);
    // Writes a terminated text of at most size - 1 characters (the buffer is
    // emptied first when size > 0); its length.
    virtual uint32_t get_property_value_string(int32_t key, char *buffer, uint32_t size);
    // Copies min(stored length, size) bytes; their count.
    virtual uint32_t get_property_value_data(int32_t key, void *buffer, uint32_t size);
    // Each setter converts to the entry's kind and marks it changed only when
    // the stored value changes (data always marks it).
    virtual void set_property_value_int(int32_t key, int32_t value);
    virtual void set_property_value_double(int32_t key, double value);
    virtual void set_property_value_string(int32_t key, const char *text);
    virtual void set_property_value_data(int32_t key, const void *data, uint32_t size);

    // Exchanges values with the bound signals at the panel's update (base: nothing).
    virtual void update_display(const TimeValue &now) { (void)now; }
    // Adapts the widget to a newly bound signal (base: nothing).
    virtual void refresh_display() {}

    // A new store entry; an entry added later under the same key hides the
    // earlier one.
    void add_property_value(int32_t kind, int32_t key, const char *property_name, uint32_t capacity);
    // Refreshes every entry from its widget property (the kinds call it before
    // they fire their activation lists, so scripts see the widget's values).
    void load_property_values();

    const std::vector<std::unique_ptr<PanelSignalBinding>> &bindings() const { return m_bindings; }
    PanelSignalBinding *add_binding(std::unique_ptr<PanelSignalBinding> binding);
    void clear_bindings();

    VyrScriptActivationGroup *activation_group() const { return m_activation_group.get(); }
    void set_activation_group(std::unique_ptr<VyrScriptActivationGroup> group);

    // Item directory of the script interface: by id and by name (the widget's
    // object name at registration). Registering keeps an entry that exists for
    // the id or name already; unregistering removes only this item's entries.
    void register_item();
    void unregister_item();
    static VyrPanelItem *find_item_by_id(uint32_t id);
    // The id of the item registered under the name, read while the directory
    // is locked (the item may go as soon as it is unlocked); -1 when none.
    static int32_t find_id_by_name(const char *name);
    // Runs work(item) with the item of that id (null when none) while the
    // directory is locked, so that the item is neither unregistered nor
    // deleted before work is done with it (the script natives use it).
    template <typename Work> static auto with_item_by_id(uint32_t id, Work work)
    {
        std::lock_guard<std::mutex> lock(directory_mutex());
        return work(registered_item(id));
    }

protected:
    // Takes the widget (deleted with the item unless deleted before).
    void set_widget(QWidget *widget);

private:
    PanelItemValue *find_value(int32_t key) const;
    static std::mutex &directory_mutex();
    // The caller holds directory_mutex.
    static VyrPanelItem *registered_item(uint32_t id);

    mutable std::mutex m_values_mutex;
    std::vector<std::unique_ptr<PanelItemValue>> m_values;
    QPointer<QWidget> m_widget;
    std::unique_ptr<VyrScriptActivationGroup> m_activation_group;
    const uint32_t m_id;
    const PanelItemTypeInfo *m_type_info = nullptr;
    std::vector<std::unique_ptr<PanelSignalBinding>> m_bindings;
    QByteArray m_registered_name;
    bool m_registered = false;
};
