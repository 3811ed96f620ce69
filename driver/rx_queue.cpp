#include "driver/rx_queue.h"

#include <algorithm>
#include <cstring>

using namespace vrbus::queue;

namespace {

constexpr char kTag[] = "vector rx queue 1.10";

} // namespace

std::unique_ptr<RxQueue> RxQueue::create(uint32_t capacity, uint32_t id)
{
    // A queue of no entries has no valid index at all.
    if (capacity == 0 || capacity > kMaxCapacity)
        return nullptr;
    auto block = SharedBlock::allocate(size_t(capacity) * kEntrySize + kEntriesAt + kBlockSpare, "vrbus rx queue");
    if (!block)
        return nullptr;
    return std::unique_ptr<RxQueue>(new RxQueue(std::move(block), capacity, id));
}

RxQueue::RxQueue(std::unique_ptr<SharedBlock> block, uint32_t capacity, uint32_t id)
    : block_(std::move(block)), capacity_(capacity), id_(id)
{
    put_header(kVersionAt, kLayoutVersion);
    put_header(kEntrySizeAt, kEntrySize);
    put_header(kStatusAt, 1);
    put_header(kReferencesAt, 0);
    put_header(kNotifyLevelAt, notify_level_);
    std::memcpy(block_->data() + kTagAt, kTag, sizeof kTag);
    // The header word of the control block names it by its id.
    put_header(kControlBlockAt, id_);
    put_header(kCapacityAt, capacity_);
}

bool RxQueue::layout_matches() const
{
    return header(kVersionAt) == kLayoutVersion && header(kEntrySizeAt) == kEntrySize;
}

uint32_t RxQueue::read_index() const
{
    // Sequentially consistent: see push().
    const uint32_t index = __atomic_load_n(reinterpret_cast<uint32_t *>(block_->data() + kReadIndexAt),
                                           __ATOMIC_SEQ_CST);
    return index < capacity_ ? index : write_;
}

void RxQueue::set_read_index(uint32_t index)
{
    __atomic_store_n(reinterpret_cast<uint32_t *>(block_->data() + kReadIndexAt), index, __ATOMIC_RELEASE);
}

uint32_t RxQueue::fill_level() const
{
    const uint32_t read = read_index();
    return write_ >= read ? write_ - read : write_ + capacity_ - read;
}

void RxQueue::push(const MessageRecord &record)
{
    std::memcpy(entry(write_), &record, kEntrySize);
    write_ = (write_ + 1) % capacity_;
    __atomic_exchange_n(reinterpret_cast<uint32_t *>(block_->data() + kWriteIndexAt), write_, __ATOMIC_SEQ_CST);
    if (fill_level() == notify_level_)
        due_ |= kNotificationDue;
}

bool RxQueue::store(const MessageRecord &record)
{
    if (is_full())
        return false;
    push(record);
    return true;
}

uint32_t RxQueue::read(uint8_t *out, uint32_t max_records)
{
    uint32_t read = read_index();
    uint32_t copied = 0;
    while (max_records > 0 && read != write_) {
        const uint32_t chunk = std::min((read < write_ ? write_ : capacity_) - read, max_records);
        std::memcpy(out + size_t(copied) * kEntrySize, entry(read), size_t(chunk) * kEntrySize);
        read = (read + chunk) % capacity_;
        copied += chunk;
        max_records -= chunk;
    }
    set_read_index(read);
    return copied;
}

void RxQueue::add_reference()
{
    put_header(kReferencesAt, ++references_);
}

void RxQueue::release_reference()
{
    put_header(kReferencesAt, --references_);
}

void RxQueue::set_notification(EventReference event, uint32_t level)
{
    notify_level_ = level;
    put_header(kNotifyLevelAt, level);
    notification_ = std::move(event);
}

void RxQueue::set_event(int slot, EventReference event)
{
    if (!event_table_)
        event_table_ = std::make_unique<std::array<EventReference, vrbus::event_slot::kCount>>();
    (*event_table_)[slot] = std::move(event);
}

void RxQueue::send_due_signals()
{
    if (!due_)
        return;
    if (due_ & kNotificationDue)
        notification_.signal();
    if (event_table_) {
        for (int slot = 0; slot < int(event_table_->size()); ++slot) {
            if (due_ & (1u << slot))
                (*event_table_)[slot].signal();
        }
    }
    due_ = 0;
}

void RxQueue::set_delivery_suspended(bool suspended)
{
    suspended_ = suspended;
    put_header(kSuspendedAt, suspended ? 1 : 0);
}

void RxQueue::count_overrun()
{
    put_header(kOverrunCountAt, header(kOverrunCountAt) + 1);
}

void RxQueue::put_header(unsigned offset, uint32_t value)
{
    __atomic_store_n(reinterpret_cast<uint32_t *>(block_->data() + offset), value, __ATOMIC_RELEASE);
}

uint32_t RxQueue::header(unsigned offset) const
{
    return __atomic_load_n(reinterpret_cast<uint32_t *>(block_->data() + offset), __ATOMIC_ACQUIRE);
}

RxQueue *RxQueueTable::create(uint32_t capacity)
{
    // Ids are not handed out twice while a queue may still be named by one;
    // 0 means "no queue".
    do
        ++last_id_;
    while (last_id_ == 0 || queues_.count(last_id_));
    std::unique_ptr<RxQueue> queue = RxQueue::create(capacity, last_id_);
    RxQueue *made = queue.get();
    if (made)
        queues_.emplace(last_id_, std::move(queue));
    return made;
}

RxQueue *RxQueueTable::find(uint32_t id) const
{
    const auto found = queues_.find(id);
    return found == queues_.end() ? nullptr : found->second.get();
}

void RxQueueTable::release_reference(RxQueue *queue)
{
    queue->release_reference();
    free_if_unused(queue);
}

void RxQueueTable::release_mapping(RxQueue *queue)
{
    queue->release_mapping();
    free_if_unused(queue);
}

void RxQueueTable::free_if_unused(RxQueue *queue)
{
    if (queue->is_unused())
        queues_.erase(queue->id());
}

void RxQueueTable::send_due_signals()
{
    for (auto &queue : queues_)
        queue.second->send_due_signals();
}
