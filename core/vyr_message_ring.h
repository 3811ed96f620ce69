#pragma once
// A ring of fixed-size records kept in linked blocks that never move, with one
// writer thread and one reader thread and no lock. The ring grows by a block
// when the writer would otherwise wrap into the block the reader is in, up to
// a maximum capacity; then put refuses the record.
//
// Each position (block number and index) is one 64-bit atomic, published by
// the thread that owns it with release and read by the other with acquire, so
// neither side ever sees half a position or a record that is not yet written.
#include <atomic>
#include <cstdint>
#include <memory>

template <typename Record>
class VyrMessageRing
{
public:
    // Adds blocks of block_size records (block_size at least 1) until the
    // capacity reaches initial_capacity; always at least one block.
    VyrMessageRing(uint32_t initial_capacity, uint32_t block_size, uint32_t max_capacity)
        : m_block_size(block_size), m_max_capacity(max_capacity)
    {
        const uint32_t initial_blocks = initial_capacity / block_size + 1;
        m_block_limit = initial_blocks + max_capacity / block_size + 1;
        m_blocks.reset(new Block[m_block_limit]);
        do
            add_block(block_size);
        while (m_capacity < initial_capacity);
    }
    VyrMessageRing(const VyrMessageRing &) = delete;
    VyrMessageRing &operator=(const VyrMessageRing &) = delete;

    // Writer: 0, or -1 when the ring is full at its maximum capacity.
    int put(const Record &record)
    {
        const Position write = unpack(m_write.load(std::memory_order_relaxed));
        Position next = step_forward(write);
        // Entering a block (also wrapping within a ring of one block) that the
        // reader is in would overwrite records it has not taken.
        if (next.index == 0 && next.block == unpack(m_read.load(std::memory_order_acquire)).block) {
            if (m_capacity >= m_max_capacity || m_block_count >= m_block_limit)
                return -1;
            add_block(m_block_size);
            next = Position{m_block_count - 1, 0};
        }
        m_blocks[write.block].records[write.index] = record;
        m_record_count.fetch_add(1, std::memory_order_relaxed);
        m_write.store(pack(next), std::memory_order_release);
        return 0;
    }

    // True when the ring holds nothing.
    bool is_rp_at_wp() const { return m_read.load(std::memory_order_relaxed) == m_write.load(std::memory_order_acquire); }

    // Reader: the oldest record; only valid while the ring is not empty.
    const Record &read_record() const
    {
        const Position read = unpack(m_read.load(std::memory_order_relaxed));
        return m_blocks[read.block].records[read.index];
    }

    // Reader: moves the read position n records forward (stopping at the write
    // position) or back; returns the steps not done.
    int move_read_pointer(int n)
    {
        Position read = unpack(m_read.load(std::memory_order_relaxed));
        for (; n > 0; --n) {
            if (pack(read) == m_write.load(std::memory_order_acquire))
                break;
            read = step_forward(read);
            m_read.store(pack(read), std::memory_order_release);
            m_record_count.fetch_sub(1, std::memory_order_relaxed);
        }
        for (; n < 0; ++n) {
            read = step_back(read);
            m_read.store(pack(read), std::memory_order_release);
            m_record_count.fetch_add(1, std::memory_order_relaxed);
        }
        return n;
    }

    // Reader: drops every record written so far.
    void discard_all()
    {
        const uint64_t write = m_write.load(std::memory_order_acquire);
        const uint64_t read = m_read.load(std::memory_order_relaxed);
        m_read.store(write, std::memory_order_release);
        m_record_count.fetch_sub(distance(unpack(read), unpack(write)), std::memory_order_relaxed);
    }

    uint32_t record_count() const { return m_record_count.load(std::memory_order_relaxed); }
    uint32_t capacity() const { return m_capacity; }
    uint32_t block_count() const { return m_block_count; }

private:
    struct Block
    {
        std::unique_ptr<Record[]> records;
        uint32_t size = 0;
        std::atomic<uint32_t> next{0};
        std::atomic<uint32_t> previous{0};
    };
    struct Position
    {
        uint32_t block;
        uint32_t index;
    };

    static uint64_t pack(Position position) { return (uint64_t(position.block) << 32) | position.index; }
    static Position unpack(uint64_t packed) { return Position{uint32_t(packed >> 32), uint32_t(packed)}; }

    Position step_forward(Position position) const
    {
        if (++position.index < m_blocks[position.block].size)
            return position;
        return Position{m_blocks[position.block].next.load(std::memory_order_acquire), 0};
    }
    Position step_back(Position position) const
    {
        if (position.index > 0)
            return Position{position.block, position.index - 1};
        const uint32_t previous = m_blocks[position.block].previous.load(std::memory_order_acquire);
        return Position{previous, m_blocks[previous].size - 1};
    }
    // Records from `from` up to, not including, `to`.
    uint32_t distance(Position from, Position to) const
    {
        uint32_t count = 0;
        while (from.block != to.block) {
            count += m_blocks[from.block].size - from.index;
            from = Position{m_blocks[from.block].next.load(std::memory_order_acquire), 0};
        }
        return count + to.index - from.index;
    }

    // The first block is a ring of one; a later block goes right after the
    // block of the write position. Only the writer (or the constructor) adds.
    void add_block(uint32_t size)
    {
        const uint32_t number = m_block_count;
        Block &block = m_blocks[number];
        block.records.reset(new Record[size]);
        block.size = size;
        if (number == 0) {
            block.next.store(0, std::memory_order_relaxed);
            block.previous.store(0, std::memory_order_relaxed);
        } else {
            Block &after = m_blocks[unpack(m_write.load(std::memory_order_relaxed)).block];
            const uint32_t following = after.next.load(std::memory_order_relaxed);
            block.next.store(following, std::memory_order_relaxed);
            block.previous.store(uint32_t(&after - m_blocks.get()), std::memory_order_relaxed);
            m_blocks[following].previous.store(number, std::memory_order_release);
            after.next.store(number, std::memory_order_release);
        }
        m_capacity += size;
        m_block_count = number + 1;
    }

    std::atomic<uint64_t> m_write{0};
    std::atomic<uint64_t> m_read{0};
    std::atomic<uint32_t> m_record_count{0};
    std::unique_ptr<Block[]> m_blocks;
    uint32_t m_block_limit = 0;
    uint32_t m_block_count = 0;
    uint32_t m_block_size;
    uint32_t m_capacity = 0;
    uint32_t m_max_capacity;
};
