#pragma once
// Bit sets over a range of message identifiers: a plain one for small ranges
// (standard identifiers) and a paged one for the 2^29 extended identifiers.
// Filled in the GUI thread before a measurement, only tested during it; no lock.
#include <cstdint>
#include <memory>
#include <vector>

// What both sets share: the range of identifiers, the count of set bits, and
// set_range and clear_range, which fill the blocks (bytes, pages) that a
// range covers whole at once and change the bits at its ends one by one.
class IdRangeSet
{
public:
    uint32_t base() const { return m_base; }
    uint32_t count() const { return m_count; }
    uint32_t set_bits() const { return m_set_bits; }

protected:
    IdRangeSet(uint32_t base, uint32_t count) : m_base(base), m_count(count) {}

    bool contains(uint32_t id) const { return id - m_base < m_count; }
    // Changes every identifier between the bounds (in either order),
    // inclusive, that lies in the range: fill_block(block) the blocks of
    // 2^block_shift identifiers that it covers whole, change_bit(id) each
    // identifier of the blocks at its ends. Answers 0, or -1 when the larger
    // bound is outside the range.
    template <class FillBlock, class ChangeBit>
    int change_range(uint32_t a, uint32_t b, uint32_t block_shift, FillBlock fill_block, ChangeBit change_bit) const;

    uint32_t m_base;
    uint32_t m_count;
    uint32_t m_set_bits = 0;
};

class IdBitSet : public IdRangeSet
{
public:
    // One bit per identifier from `base` to base + count - 1 (count at least 1).
    IdBitSet(uint32_t base, uint32_t count);

    // 0, or -1 when the identifier is outside the range.
    int set(uint32_t id);
    int clear(uint32_t id);
    bool test(uint32_t id) const;
    // Every identifier between the bounds (in either order), inclusive;
    // answers the result for the larger bound.
    int set_range(uint32_t a, uint32_t b);
    int clear_range(uint32_t a, uint32_t b);
    void set_all();
    void clear_all();

private:
    void fill_byte(uint32_t index, bool value);

    std::vector<uint8_t> m_bits;
};

class SparseIdBitSet : public IdRangeSet
{
public:
    // Pages hold 2^k bits, k the smallest value of at least 1 with
    // 2^k >= page_size. Empty and full pages take no memory.
    SparseIdBitSet(uint32_t base, uint32_t count, uint32_t page_size);
    ~SparseIdBitSet();

    SparseIdBitSet(const SparseIdBitSet &) = delete;
    SparseIdBitSet &operator=(const SparseIdBitSet &) = delete;

    // 0, or -1 when the identifier is outside the range.
    int set(uint32_t id);
    int clear(uint32_t id);
    bool test(uint32_t id) const;
    // Every identifier between the bounds (in either order), inclusive;
    // answers the result for the larger bound.
    int set_range(uint32_t a, uint32_t b);
    int clear_range(uint32_t a, uint32_t b);
    void set_all();
    void clear_all();

    uint32_t page_bits() const { return m_page_bits; }
    uint32_t page_count() const { return uint32_t(m_pages.size()); }
    uint32_t allocated_pages() const { return m_allocated_pages; }

    enum class PageState { Empty, Full, Allocated };
    PageState page_state(uint32_t page) const;

private:
    struct Page;

    // Identifiers of the range that lie in the page (the last may be short).
    uint32_t page_capacity(uint32_t page) const;
    uint32_t page_set_bits(uint32_t page) const;
    void make_full(uint32_t page);
    void make_empty(uint32_t page);
    Page *allocate(uint32_t page, bool all_set);

    uint32_t m_page_bits;
    uint32_t m_page_mask;
    uint32_t m_page_shift;
    uint32_t m_allocated_pages = 0;
    // A page without bits is empty, or full when its flag is set.
    std::vector<std::unique_ptr<Page>> m_pages;
    std::vector<bool> m_full;
};
