#pragma once
// A ring of fixed-size records in linked blocks that never move, for one
// writer thread and one reader thread without a lock: the listener queues of
// the CAN interfaces, the trace's lists and the log writer's queue. The
// reader consumes at its read position and walks the content without
// consuming it at its view position.
//
// The writer never allocates: a realtime thread must not wait for the heap
// or touch fresh pages. When it runs into the block the reader is in, it
// links in a block that the reader side made ahead (make_room, called from
// the reader's tick); without one the record is refused and counted. The
// blocks are made, and their records constructed, on the reader's side, so
// their pages are in place before the writer fills them.
//
// The write position is published to the reader as one atomic pointer to the
// slot it names (stored with release after the record is in place), so the
// reader never sees a block of one position with the index of another. The
// record count is an atomic that the writer raises before it publishes and
// the reader lowers after it has taken records.
#include <algorithm>
#include <atomic>
#include <cstdint>
#include <memory>
#include <type_traits>

template <typename Record> class VyrMessageRing
{
    static_assert(std::is_trivially_copyable<Record>::value, "a record is copied whole");

public:
    // Makes blocks of block_size (at least 1) until the capacity reaches
    // initial_capacity, at least one block, and then the room made ahead.
    // make_room keeps at least minimum_reserve records (0: one block) made
    // ahead, or twice what the writer added since the last call, within
    // maximum_capacity.
    VyrMessageRing(uint32_t initial_capacity, uint32_t block_size, uint32_t maximum_capacity,
                   uint32_t minimum_reserve = 0)
        : m_block_size(std::max<uint32_t>(block_size, 1)), m_maximum_capacity(maximum_capacity),
          m_minimum_reserve(minimum_reserve ? minimum_reserve : m_block_size)
    {
        do
            link_block(new Block(m_block_size));
        while (m_capacity.load(std::memory_order_relaxed) < initial_capacity);
        m_made_capacity = m_capacity.load(std::memory_order_relaxed);
        make_room();
    }
    // No writer may run any more.
    ~VyrMessageRing()
    {
        Block *const first = m_write.block;
        Block *block = first;
        do {
            Block *next = block->next.load(std::memory_order_relaxed);
            delete block;
            block = next;
        } while (block != first);
        delete_list(m_own_spares);
        delete_list(m_spares.load(std::memory_order_acquire));
    }
    VyrMessageRing(const VyrMessageRing &) = delete;
    VyrMessageRing &operator=(const VyrMessageRing &) = delete;

    // Appends a copy of the record: 0, or -1 when the ring is full and no
    // block was made ahead (nothing written; counted as dropped). The write
    // position never enters the block of the read position from another
    // block, so records not yet taken stay intact.
    int put(const Record &record)
    {
        Position next = m_write;
        if (++next.index >= next.block->count) {
            next = Position{next.block->next.load(std::memory_order_acquire), 0};
            if (next.block == m_read_block.load(std::memory_order_acquire)) {
                Block *spare = take_spare();
                if (!spare) {
                    m_dropped.store(m_dropped.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
                    return -1;
                }
                link_block(spare);
                next = Position{spare, 0};
            }
        }
        m_write.block->records[m_write.index] = record;
        m_count.fetch_add(1, std::memory_order_relaxed);
        m_put.store(m_put.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
        m_write = next;
        m_write_slot.store(slot(next), std::memory_order_release);
        return 0;
    }

    // --- Reader side ------------------------------------------------------------------
    // Makes blocks ahead for the writer: at least the minimum reserve, or
    // twice what the writer added since the last call, or `wanted` records,
    // whichever is most, within the maximum capacity.
    void make_room(uint32_t wanted = 0)
    {
        const uint64_t put = m_put.load(std::memory_order_relaxed);
        const uint64_t added = put - m_put_at_last_room;
        m_put_at_last_room = put;
        const uint64_t target = std::max<uint64_t>({m_minimum_reserve, 2 * added, wanted});
        const uint32_t linked = m_capacity.load(std::memory_order_acquire);
        while (uint64_t(m_made_capacity) - linked < target && m_made_capacity + m_block_size <= m_maximum_capacity) {
            Block *block = new Block(m_block_size);
            Block *head = m_spares.load(std::memory_order_relaxed);
            do
                block->spare_next = head;
            while (!m_spares.compare_exchange_weak(head, block, std::memory_order_release, std::memory_order_relaxed));
            m_made_capacity += m_block_size;
        }
    }

    // True when the ring is empty.
    bool is_rp_at_wp() const { return slot(m_read) == write_slot(); }
    // The record at the read position; valid while the ring is not empty.
    const Record &read_record() const { return m_read.block->records[m_read.index]; }
    // The record at the view position; valid while at_end is false.
    const Record &view_record() const { return m_view.block->records[m_view.index]; }
    // The same for the reader to mark: the writer never touches a record
    // between the read and the write position.
    Record &view_record() { return m_view.block->records[m_view.index]; }

    // Moves the read position by n records, forward (consuming) up to the
    // write position, or back over records still intact. Answers the steps
    // not done. A view position that the read position passes moves along
    // with it: it never names a consumed record.
    int move_read_pointer(int n)
    {
        for (; n > 0; --n) {
            if (is_rp_at_wp())
                return n;
            const bool view_at_read = m_view == m_read;
            step_forward(m_read);
            if (view_at_read)
                m_view = m_read;
            m_read_block.store(m_read.block, std::memory_order_release);
            m_count.fetch_sub(1, std::memory_order_relaxed);
        }
        for (; n < 0; ++n) {
            step_back(m_read);
            m_read_block.store(m_read.block, std::memory_order_release);
            m_count.fetch_add(1, std::memory_order_relaxed);
        }
        return 0;
    }

    // Moves the view position by n records, between the read position and
    // the write position. Answers the steps not done (negative going back).
    int move_view_pointer(int n)
    {
        for (; n > 0; --n) {
            if (at_end())
                return n;
            step_forward(m_view);
        }
        for (; n < 0; ++n) {
            if (at_begin())
                return n;
            step_back(m_view);
        }
        return 0;
    }

    bool at_end() const { return slot(m_view) == write_slot(); }
    bool at_begin() const { return m_view == m_read; }
    // A spare slot to park the view position in.
    void save_view_pointer() { m_saved_view = m_view; }
    void restore_view_pointer() { m_view = m_saved_view; }

    // Drops every record that the write position has passed; what the
    // writer adds meanwhile stays.
    void discard_all()
    {
        const Record *write = write_slot();
        uint32_t dropped = 0;
        while (!m_read.block->holds(write)) {
            dropped += m_read.block->count - m_read.index;
            m_read = Position{m_read.block->next.load(std::memory_order_acquire), 0};
        }
        const uint32_t write_index = uint32_t(write - m_read.block->records.get());
        dropped += write_index - m_read.index;
        m_read.index = write_index;
        m_read_block.store(m_read.block, std::memory_order_release);
        m_count.fetch_sub(dropped, std::memory_order_relaxed);
        m_view = m_read;
    }

    // Records between the read and the write position (may briefly count a
    // record the writer is publishing).
    uint32_t record_count() const { return m_count.load(std::memory_order_relaxed); }
    // Records appended, and records refused because the ring was full, since
    // the ring was made: exact counts, read from any thread.
    uint64_t put_count() const { return m_put.load(std::memory_order_relaxed); }
    uint64_t dropped_count() const { return m_dropped.load(std::memory_order_relaxed); }
    // The blocks linked into the ring and their records (not those made ahead).
    uint32_t block_count() const { return m_block_count.load(std::memory_order_relaxed); }
    uint32_t capacity() const { return m_capacity.load(std::memory_order_relaxed); }
    // Records in the blocks made ahead and not yet linked in (reader side).
    uint32_t reserve() const { return m_made_capacity - capacity(); }
    uint32_t block_size() const { return m_block_size; }
    uint32_t maximum_capacity() const { return m_maximum_capacity; }

private:
    struct Block
    {
        // The records are constructed here, on the reader's side.
        explicit Block(uint32_t n) : records(new Record[n]()), count(n) {}
        bool holds(const Record *slot) const { return slot >= records.get() && slot < records.get() + count; }
        std::unique_ptr<Record[]> records;
        const uint32_t count;
        std::atomic<Block *> next{nullptr};
        std::atomic<Block *> prev{nullptr};
        Block *spare_next = nullptr; // in a list of blocks made ahead
    };
    struct Position
    {
        Block *block = nullptr;
        uint32_t index = 0;
        bool operator==(const Position &other) const { return block == other.block && index == other.index; }
    };

    // Links a block in after the write block (the first block forms a ring
    // of one and holds every position). Writer side, or the constructor.
    void link_block(Block *block)
    {
        if (!m_write.block) {
            block->next.store(block, std::memory_order_relaxed);
            block->prev.store(block, std::memory_order_relaxed);
            m_write = m_read = m_view = m_saved_view = Position{block, 0};
            m_read_block.store(block, std::memory_order_relaxed);
            m_write_slot.store(block->records.get(), std::memory_order_release);
        } else {
            Block *after = m_write.block;
            Block *before = after->next.load(std::memory_order_relaxed);
            block->prev.store(after, std::memory_order_relaxed);
            block->next.store(before, std::memory_order_relaxed);
            before->prev.store(block, std::memory_order_release);
            after->next.store(block, std::memory_order_release);
        }
        m_capacity.store(m_capacity.load(std::memory_order_relaxed) + block->count, std::memory_order_release);
        m_block_count.store(m_block_count.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
    }

    // Writer: a block made ahead, or null. The writer takes the whole shared
    // list at once into a list of its own, so only one thread ever pushes
    // to the shared list and one takes from it.
    Block *take_spare()
    {
        if (!m_own_spares)
            m_own_spares = m_spares.exchange(nullptr, std::memory_order_acquire);
        Block *block = m_own_spares;
        if (block)
            m_own_spares = block->spare_next;
        return block;
    }

    static void delete_list(Block *block)
    {
        while (block) {
            Block *next = block->spare_next;
            delete block;
            block = next;
        }
    }

    static const Record *slot(const Position &at) { return at.block->records.get() + at.index; }
    const Record *write_slot() const { return m_write_slot.load(std::memory_order_acquire); }
    static void step_forward(Position &at)
    {
        if (++at.index >= at.block->count)
            at = Position{at.block->next.load(std::memory_order_acquire), 0};
    }
    static void step_back(Position &at)
    {
        if (at.index == 0) {
            at.block = at.block->prev.load(std::memory_order_acquire);
            at.index = at.block->count;
        }
        --at.index;
    }

    const uint32_t m_block_size;
    const uint32_t m_maximum_capacity;
    const uint32_t m_minimum_reserve;

    // Writer's own.
    Position m_write;
    Block *m_own_spares = nullptr;
    // Reader's own.
    Position m_read;
    Position m_view;
    Position m_saved_view;
    uint32_t m_made_capacity = 0; // linked and made ahead
    uint64_t m_put_at_last_room = 0;
    // Shared: the write slot for the reader, the read block for the writer,
    // the blocks made ahead, and the counts.
    std::atomic<const Record *> m_write_slot{nullptr};
    std::atomic<Block *> m_read_block{nullptr};
    std::atomic<Block *> m_spares{nullptr};
    std::atomic<uint32_t> m_count{0};
    std::atomic<uint32_t> m_capacity{0};
    std::atomic<uint32_t> m_block_count{0};
    std::atomic<uint64_t> m_put{0};
    std::atomic<uint64_t> m_dropped{0};
};
