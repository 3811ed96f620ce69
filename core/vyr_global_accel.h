#pragma once
// The program-wide table of keys that act during a measurement whatever
// window has the focus: Escape stops the measurement, send and replay rows
// send on their key, script key handlers and key trigger conditions hear
// theirs. Each VyrGlobalAccelItem binds one key code (the program's key
// numbering with its modifier bits) to whatever its activated signal is
// connected to. The items of a key live in a bucket chain, newest first.
// Everything runs on the GUI thread.
#include <QObject>
#include <QPointer>

#include <vector>

class VyrGlobalAccelItem;

class VyrGlobalAccel : public QObject
{
    Q_OBJECT
public:
    // An item of this code hears every key.
    static constexpr unsigned any_key = 0xFF0000;
    // The program's table has this many buckets.
    static constexpr int program_bucket_count = 117;

    explicit VyrGlobalAccel(int bucket_count, QObject *parent = nullptr);
    // Every registered item is detached from the table.
    ~VyrGlobalAccel() override;

    // The program's table, set by the main window (null before and after).
    static VyrGlobalAccel *instance();
    static void set_instance(VyrGlobalAccel *table);

    // While disabled no item fires; the measurement enables the table.
    bool enabled() const { return m_enabled; }
    void set_enabled(bool enabled) { m_enabled = enabled; }

    // Links the item at the head of its key's chain.
    void insert_item(VyrGlobalAccelItem *item);
    // Unlinks the item and clears its next link; an item not found changes nothing.
    void remove_item(VyrGlobalAccelItem *item);

    // A key press (key, older toolkit's modifier state bits, key_codes.h):
    // every item of the key with its modifier bits emits activated(code),
    // then every any-key item. True when an item of the key itself fired,
    // which makes the key consumed; always false while disabled.
    bool handle_key(unsigned key, unsigned state);

private:
    VyrGlobalAccelItem *&bucket(unsigned key);

    bool m_enabled = false;
    std::vector<VyrGlobalAccelItem *> m_buckets;
};

class VyrGlobalAccelItem : public QObject
{
    Q_OBJECT
public:
    // Registered on the owner when both the owner and the key are set.
    VyrGlobalAccelItem(VyrGlobalAccel *owner, unsigned key_code);
    ~VyrGlobalAccelItem() override;

    unsigned key_code() const { return m_key_code; }
    // 0 takes the item off the table; another key puts it back under that key.
    void set_key(unsigned key_code);

signals:
    // The key code that was pressed, with its modifier bits.
    void activated(unsigned int code);

private:
    friend class VyrGlobalAccel;
    // Guarded: an item without a key is in no chain, so the table's
    // destructor cannot detach it.
    QPointer<VyrGlobalAccel> m_owner;
    unsigned m_key_code;
    VyrGlobalAccelItem *m_next = nullptr;
};
