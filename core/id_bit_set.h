#pragma once
// Bit sets over a range of message identifiers: a plain one for small ranges
// (standard identifiers) and a paged one for the 2^29 extended identifiers.
// Filled in the GUI thread before a measurement, only tested during it; no lock.
#include <cstdint>
#include <memory>
#include <vector>

class IdBitSet
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

    uint32_t base() const { return base_; }
    uint32_t count() const { return count_; }
    uint32_t set_bits() const { return set_bits_; }

private:
    bool contains(uint32_t id) const { return id - base_ < count_; }
    int change_range(uint32_t a, uint32_t b, bool value);

    uint32_t count_;
    uint32_t base_;
    uint32_t set_bits_ = 0;
    std::vector<uint8_t> bits_;
};

class SparseIdBitSet
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

    uint32_t base() const { return base_; }
    uint32_t count() const { return count_; }
    uint32_t set_bits() const { return set_bits_; }
    uint32_t page_bits() const { return page_bits_; }
    uint32_t page_count() const { return uint32_t(pages_.size()); }
    uint32_t allocated_pages() const { return allocated_pages_; }

    enum class PageState { Empty, Full, Allocated };
    PageState page_state(uint32_t page) const;

private:
    struct Page;

    bool contains(uint32_t id) const { return id - base_ < count_; }
    // Identifiers of the range that lie in the page (the last may be short).
    uint32_t page_capacity(uint32_t page) const;
    uint32_t page_set_bits(uint32_t page) const;
    void make_full(uint32_t page);
    void make_empty(uint32_t page);
    Page *allocate(uint32_t page, bool all_set);
    int change_range(uint32_t a, uint32_t b, bool value);

    uint32_t count_;
    uint32_t base_;
    uint32_t set_bits_ = 0;
    uint32_t page_bits_;
    uint32_t page_mask_;
    uint32_t page_shift_;
    uint32_t allocated_pages_ = 0;
    // A page without bits is empty, or full when its flag is set.
    std::vector<std::unique_ptr<Page>> pages_;
    std::vector<bool> full_;
};
