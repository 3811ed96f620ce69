#include "core/vyr_global_accel.h"

#include <algorithm>

namespace {
VyrGlobalAccel *g_accel_table = nullptr;
}

VyrGlobalAccel::VyrGlobalAccel(QObject *parent) : QObject(parent) {}

VyrGlobalAccel::~VyrGlobalAccel()
{
    for (VyrGlobalAccelItem *item : m_items)
        item->m_table = nullptr;
    if (g_accel_table == this)
        g_accel_table = nullptr;
}

VyrGlobalAccel *VyrGlobalAccel::instance()
{
    return g_accel_table;
}

void VyrGlobalAccel::set_instance(VyrGlobalAccel *table)
{
    g_accel_table = table;
}

void VyrGlobalAccel::key_pressed(unsigned code)
{
    // A copy: a receiver may add or remove items.
    const std::vector<VyrGlobalAccelItem *> items = m_items;
    for (VyrGlobalAccelItem *item : items)
        if (item->key_code() == code || item->key_code() == any_key)
            emit item->activated(code);
}

VyrGlobalAccelItem::VyrGlobalAccelItem(VyrGlobalAccel *table, unsigned key_code)
    : m_table(table), m_key_code(key_code)
{
    if (m_table)
        m_table->m_items.push_back(this);
}

VyrGlobalAccelItem::~VyrGlobalAccelItem()
{
    if (!m_table)
        return;
    auto &items = m_table->m_items;
    items.erase(std::remove(items.begin(), items.end(), this), items.end());
}
