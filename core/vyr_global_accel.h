#pragma once
// The program-wide accelerator table: keys that scripts and trigger
// conditions listen to while the program has the focus. The shell creates one
// table and hands it the keys pressed (in the program's key numbering); every
// item registered for the key announces it.
#include <QObject>

#include <vector>

class VyrGlobalAccelItem;

class VyrGlobalAccel : public QObject
{
    Q_OBJECT
public:
    // An item of this code hears every key.
    static constexpr unsigned any_key = 0xFF0000;

    explicit VyrGlobalAccel(QObject *parent = nullptr);
    ~VyrGlobalAccel() override;

    // The program's table, set by the shell at start-up (null before and after).
    static VyrGlobalAccel *instance();
    static void set_instance(VyrGlobalAccel *table);

    // Emits activated(code) on every item of that key and on the items of any key.
    void key_pressed(unsigned code);

private:
    friend class VyrGlobalAccelItem;
    std::vector<VyrGlobalAccelItem *> m_items;
};

// One key of the table: registered while both exist.
class VyrGlobalAccelItem : public QObject
{
    Q_OBJECT
public:
    VyrGlobalAccelItem(VyrGlobalAccel *table, unsigned key_code);
    ~VyrGlobalAccelItem() override;

    unsigned key_code() const { return m_key_code; }

signals:
    void activated(unsigned int code);

private:
    friend class VyrGlobalAccel;
    VyrGlobalAccel *m_table;
    unsigned m_key_code;
};
