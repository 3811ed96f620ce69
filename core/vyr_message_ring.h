#pragma once
// A ring of fixed-size records in linked blocks that never move, for one
// writer thread and one reader thread without a lock: the message queues of
// the CAN interfaces, the trace store and the scope's samples. The reader
// consumes at its read position and walks the content without consuming it
// at its view position.
//
// The write position is published to the reader as one atomic pointer to the
// slot it names (stored with release after the record is in place), so the
// reader never sees a block of one position with the index of another. The
// record count is an atomic that the writer raises before it publishes and
// the reader lowers after it has taken records.
#include <atomic>
#include <cstdint>
#include <memory>

template <typename Record> class VyrMessageRing
{
public:
    // Adds blocks of block_size (which must be at least 1) until the capacity reaches
    // initial_capacity, at least one block.
    VyrMessageRing(uint32_t initial_capacity, uint32_t block_size, uint32_t maximum_capacity)
        : m_block_size(block_size), m_maximum_capacity(maximum_capacity)
    {
        do
            add_block(block_size);
        while (m_capacity < initial_capacity);
    }
    ~VyrMessageRing() { free_blocks(); }
    VyrMessageRing(const VyrMessageRing &) = delete;
    VyrMessageRing &operator=(const VyrMessageRing &) = delete;

    // Links a block of n records in after the write block (the first block
    // forms a ring of one and holds every position). Writer side.
    void add_block(uint32_t n)
    {
        Block *block = new Block(n);
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
        m_capacity += n;
        ++m_block_count;
    }

    // Appends a copy of the record: 0, or -1 when the ring is full (nothing
    // written). The write position never enters the block of the read
    // position from another block, so records not yet taken stay intact.
    int put(const Record &record)
    {
        Position next = m_write;
        if (++next.index >= next.block->count) {
            next = Position{next.block->next.load(std::memory_order_acquire), 0};
            if (next.block == m_read_block.load(std::memory_order_acquire)) {
                if (m_capacity >= m_maximum_capacity)
                    return -1;
                add_block(m_block_size);
                next = Position{m_write.block->next.load(std::memory_order_relaxed), 0};
            }
        }
        m_write.block->records[m_write.index] = record;
        m_count.fetch_add(1, std::memory_order_relaxed);
        m_write = next;
        m_write_slot.store(slot(next), std::memory_order_release);
        return 0;
    }

    // --- Reader side ------------------------------------------------------------------
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
    // not done.
    int move_read_pointer(int n)
    {
        for (; n > 0; --n) {
            if (is_rp_at_wp())
                return n;
            step_forward(m_read);
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

    // Deletes every block; the ring holds nothing afterwards.
    void free_blocks()
    {
        Block *block = m_write.block;
        if (!block)
            return;
        Block *const first = block;
        do {
            Block *next = block->next.load(std::memory_order_relaxed);
            delete block;
            block = next;
        } while (block != first);
        m_write = m_read = m_view = m_saved_view = Position{};
        m_read_block.store(nullptr, std::memory_order_relaxed);
        m_write_slot.store(nullptr, std::memory_order_relaxed);
        m_block_count = 0;
        m_capacity = 0;
        m_count.store(0, std::memory_order_relaxed);
    }

    // Records between the read and the write position (may briefly count a
    // record the writer is publishing).
    uint32_t record_count() const { return m_count.load(std::memory_order_relaxed); }
    uint32_t block_count() const { return m_block_count; }
    uint32_t block_size() const { return m_block_size; }
    uint32_t capacity() const { return m_capacity; }
    uint32_t maximum_capacity() const { return m_maximum_capacity; }

private:
    struct Block
    {
        explicit Block(uint32_t n) : records(new Record[n]), count(n) {}
        bool holds(const Record *slot) const { return slot >= records.get() && slot < records.get() + count; }
        std::unique_ptr<Record[]> records;
        const uint32_t count;
        std::atomic<Block *> next{nullptr};
        std::atomic<Block *> prev{nullptr};
    };
    struct Position
    {
        Block *block = nullptr;
        uint32_t index = 0;
        bool operator==(const Position &other) const { return block == other.block && index == other.index; }
    };

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

    // Writer's own.
    Position m_write;
    // Reader's own.
    Position m_read;
    Position m_view;
    Position m_saved_view;
    // Shared: the write slot for the reader, the read block for the writer.
    std::atomic<const Record *> m_write_slot{nullptr};
    std::atomic<Block *> m_read_block{nullptr};
    std::atomic<uint32_t> m_count{0};

    uint32_t m_block_count = 0;
    const uint32_t m_block_size;
    uint32_t m_capacity = 0;
    const uint32_t m_maximum_capacity;
};
