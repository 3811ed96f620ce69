#include "core/candb_message_data.h"

#include "core/candb_message.h"

#include <algorithm>
#include <cstring>

CANdbMessageData::CANdbMessageData(int capacity) : buffer_(capacity > 0 ? capacity : 0, 0) {}

void CANdbMessageData::set_data(const uint8_t *bytes, int new_length)
{
    const int n = std::max(0, std::min(new_length, capacity()));
    if (n && bytes)
        std::memcpy(buffer_.data(), bytes, n);
    length = n;
    valid = true;
    data_changed();
}

void CANdbMessageData::set_message(CANdbMessage *new_message)
{
    if (new_message == message)
        return;
    message = new_message;
    changed();
}

void CANdbMessageData::set_id(int64_t new_id)
{
    if (new_id == id)
        return;
    id = new_id;
    changed();
}

void CANdbMessageData::set_flags(uint32_t new_flags)
{
    if (new_flags == flags)
        return;
    flags = new_flags;
    changed();
}

void CANdbMessageData::clear()
{
    std::fill(buffer_.begin(), buffer_.end(), 0);
    length = 0;
    valid = false;
}

CANdbMessageDataTable::CANdbMessageDataTable(int bucket_count) : buckets_(bucket_count > 0 ? bucket_count : 1) {}

CANdbMessageData *CANdbMessageDataTable::find(uint32_t id) const
{
    for (CANdbMessageData *entry : buckets_[id % buckets_.size()])
        if (entry->message && entry->message->id == id)
            return entry;
    return nullptr;
}

CANdbMessageData *CANdbMessageDataTable::find_or_add(uint32_t id, int capacity)
{
    // An entry not yet bound to its message is found by its own identifier,
    // so that asking twice never makes two entries.
    for (CANdbMessageData *entry : buckets_[id % buckets_.size()])
        if (entry->message ? entry->message->id == id : entry->id == static_cast<int64_t>(id))
            return entry;
    auto owned = std::make_unique<CANdbMessageData>(capacity);
    CANdbMessageData *entry = owned.get();
    entry->id = id;
    auto &bucket = buckets_[id % buckets_.size()];
    bucket.insert(bucket.begin(), entry);
    entries_.push_back(std::move(owned));
    return entry;
}

void CANdbMessageDataTable::clear_all()
{
    for (const auto &entry : entries_)
        entry->clear();
}

void CANdbMessageDataTable::clear()
{
    entries_.clear();
    for (auto &bucket : buckets_)
        bucket.clear();
}
