#include "core/vyr_global_accel.h"

#include "core/key_codes.h"

#include <QPointer>

namespace {
VyrGlobalAccel *g_accel_table = nullptr;
}

VyrGlobalAccel::VyrGlobalAccel(int bucket_count, QObject *parent)
    : QObject(parent), m_buckets(size_t(bucket_count > 0 ? bucket_count : 1), nullptr)
{}

VyrGlobalAccel::~VyrGlobalAccel()
{
    for (VyrGlobalAccelItem *head : m_buckets)
        for (VyrGlobalAccelItem *item = head; item;) {
            VyrGlobalAccelItem *next = item->m_next;
            item->m_owner = nullptr;
            item->m_next = nullptr;
            item = next;
        }
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

VyrGlobalAccelItem *&VyrGlobalAccel::bucket(unsigned key)
{
    return m_buckets[key % m_buckets.size()];
}

void VyrGlobalAccel::insert_item(VyrGlobalAccelItem *item)
{
    VyrGlobalAccelItem *&head = bucket(item->m_key_code);
    item->m_next = head;
    head = item;
}

void VyrGlobalAccel::remove_item(VyrGlobalAccelItem *item)
{
    for (VyrGlobalAccelItem **link = &bucket(item->m_key_code); *link; link = &(*link)->m_next)
        if (*link == item) {
            *link = item->m_next;
            item->m_next = nullptr;
            return;
        }
}

bool VyrGlobalAccel::handle_key(unsigned key, unsigned state)
{
    if (!m_enabled)
        return false;
    const unsigned code = key_code_with_state(key, state);
    // Collected first: a receiver may add, re-key or delete items.
    std::vector<QPointer<VyrGlobalAccelItem>> exact, any;
    for (VyrGlobalAccelItem *item = bucket(code); item; item = item->m_next)
        if (item->m_key_code == code)
            exact.emplace_back(item);
    for (VyrGlobalAccelItem *item = bucket(any_key); item; item = item->m_next)
        if (item->m_key_code == any_key)
            any.emplace_back(item);
    for (const auto &item : exact)
        if (item)
            emit item->activated(code);
    for (const auto &item : any)
        if (item)
            emit item->activated(code);
    return !exact.empty();
}

VyrGlobalAccelItem::VyrGlobalAccelItem(VyrGlobalAccel *owner, unsigned key_code) : m_owner(owner), m_key_code(key_code)
{
    if (m_owner && m_key_code)
        m_owner->insert_item(this);
}

VyrGlobalAccelItem::~VyrGlobalAccelItem()
{
    if (m_owner)
        m_owner->remove_item(this);
}

void VyrGlobalAccelItem::set_key(unsigned key_code)
{
    if (m_owner && m_key_code)
        m_owner->remove_item(this);
    m_key_code = key_code;
    if (m_owner && m_key_code)
        m_owner->insert_item(this);
}
