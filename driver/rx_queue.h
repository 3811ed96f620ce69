#pragma once
// A receive queue: one shared block of a 76-byte header and capacity entries
// of 22 bytes that a client maps into its process (vrbus::queue), plus the control block
// that only the driver sees (references, the notification event and level,
// the event table). The driver moves the write index, the reader the read
// index; the queue holds at most capacity - 1 records.
//
// The header lives in memory the client can write, so the driver keeps the
// values it relies on (write index, capacity, notify level, suspended flag)
// to itself and only publishes them; the read index, which the reader owns,
// is checked every time it is read.
#include "driver/kernel_services.h"
#include "driver/message_record.h"

#include <array>
#include <cstdint>
#include <map>
#include <memory>

class RxQueue
{
public:
    static constexpr uint32_t kEntrySize = vrbus::record::kSize;
    static constexpr uint32_t kBlockSpare = 100 - vrbus::queue::kEntriesAt; // the block is capacity × 22 + 100 bytes

    // A new queue, nullptr when the capacity is 0 or above the maximum or
    // memory is short. id is the reference clients use to name it.
    static std::unique_ptr<RxQueue> create(uint32_t capacity, uint32_t id);

    uint32_t id() const { return id_; }
    uint32_t capacity() const { return capacity_; }
    const SharedBlock &block() const { return *block_; }

    // Whether the header still shows the layout this driver writes.
    bool layout_matches() const;

    uint32_t write_index() const { return write_; }
    // The reader's index; one out of range counts as "everything read".
    uint32_t read_index() const;
    void set_read_index(uint32_t index);
    uint32_t fill_level() const;
    bool is_full() const { return (write_ + 1) % capacity_ == read_index(); }
    bool is_empty() const { return read_index() == write_; }

    // Writes the entry at the write index and then moves the index on, so
    // that a reader never sees a half-written entry; the notification comes
    // due when the fill level reaches the notify level. The caller has made
    // sure the queue is not full.
    //
    // A reader stores its read index and then loads the write index again
    // before it sleeps; here the write index is stored and then the read
    // index loaded. Both sides order store before load with a sequentially
    // consistent exchange and load, so at least one sees the other: either
    // the reader finds the new entry, or the fill level seen here counts
    // from the reader's last index and the notification comes due.
    void push(const MessageRecord &record);
    // Store one record: pushes it unless the queue is full (false then).
    bool store(const MessageRecord &record);
    // One more record dropped for want of room, counted in the header.
    void count_overrun();
    // Copies up to max_records entries from the read index on into out.
    uint32_t read(uint8_t *out, uint32_t max_records);
    void flush() { set_read_index(write_); }

    // Handles that use the queue, and client mappings of it; the owner frees
    // the queue when both reach 0.
    uint32_t references() const { return references_; }
    void add_reference();
    void release_reference();
    uint32_t mappings() const { return mappings_; }
    void add_mapping() { ++mappings_; }
    void release_mapping() { --mappings_; }
    bool is_unused() const { return references_ == 0 && mappings_ == 0; }

    // The notification event and the fill level at which it is set.
    void set_notification(EventReference event, uint32_t level);
    uint32_t notify_level() const { return notify_level_; }

    // The event table (vrbus::event_slot), made on first use.
    bool has_event_table() const { return event_table_ != nullptr; }
    void set_event(int slot, EventReference event);

    // Signals come due while records are stored and are sent together by
    // send_due_signals(), so that a queue is signalled at most once per
    // request however many records the request stores in it.
    void make_event_due(int slot) { due_ |= 1u << slot; }
    void send_due_signals();

    bool delivery_suspended() const { return suspended_; }
    void set_delivery_suspended(bool suspended);

private:
    RxQueue(std::unique_ptr<SharedBlock> block, uint32_t capacity, uint32_t id);
    void put_header(unsigned offset, uint32_t value);
    uint32_t header(unsigned offset) const;
    uint8_t *entry(uint32_t index) const
    {
        return block_->data() + vrbus::queue::kEntriesAt + size_t(index) * kEntrySize;
    }

    std::unique_ptr<SharedBlock> block_;
    uint32_t capacity_;
    uint32_t id_;
    uint32_t write_ = 0;
    uint32_t references_ = 0;
    uint32_t mappings_ = 0;
    uint32_t notify_level_ = 1;
    bool suspended_ = false;
    uint32_t due_ = 0; // bit n: event table slot n; kNotificationDue: the notification
    static constexpr uint32_t kNotificationDue = 1u << vrbus::event_slot::kCount;
    EventReference notification_;
    std::unique_ptr<std::array<EventReference, vrbus::event_slot::kCount>> event_table_;
};

// Every live receive queue by the id that clients name it with. A queue
// lives while a handle uses it or a client maps it.
class RxQueueTable
{
public:
    // A new queue of the capacity with an id of its own, nullptr when
    // RxQueue::create refuses; the caller adds its reference.
    RxQueue *create(uint32_t capacity);
    // The live queue of the id, nullptr when there is none.
    RxQueue *find(uint32_t id) const;
    // Drop a handle's reference or a client's mapping; the last one frees the queue.
    void release_reference(RxQueue *queue);
    void release_mapping(RxQueue *queue);
    // Ends a round of deliveries: see RxQueue::send_due_signals.
    void send_due_signals();
    void clear() { queues_.clear(); }

private:
    void free_if_unused(RxQueue *queue);

    std::map<uint32_t, std::unique_ptr<RxQueue>> queues_;
    uint32_t last_id_ = 0;
};
