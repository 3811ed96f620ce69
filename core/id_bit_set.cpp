#include "core/id_bit_set.h"

#include <algorithm>

namespace {

// The bounds of a range clamped to [base, base + count - 1], as offsets from
// base. False when nothing of the range lies inside.
bool clamp_range(uint32_t a, uint32_t b, uint32_t base, uint32_t count, uint32_t &first, uint32_t &last)
{
    const uint64_t low = std::max<uint64_t>(std::min(a, b), base);
    const uint64_t high = std::min<uint64_t>(std::max(a, b), uint64_t(base) + count - 1);
    if (count == 0 || low > high)
        return false;
    first = uint32_t(low - base);
    last = uint32_t(high - base);
    return true;
}

} // namespace

// ---- IdBitSet

IdBitSet::IdBitSet(uint32_t base, uint32_t count)
    : count_(count ? count : 1), base_(base), bits_((count_ - 1) / 8 + 1, 0)
{
}

int IdBitSet::set(uint32_t id)
{
    if (!contains(id))
        return -1;
    const uint32_t offset = id - base_;
    uint8_t &byte = bits_[offset / 8];
    const uint8_t mask = uint8_t(1u << (offset % 8));
    if (!(byte & mask)) {
        byte |= mask;
        ++set_bits_;
    }
    return 0;
}

int IdBitSet::clear(uint32_t id)
{
    if (!contains(id))
        return -1;
    const uint32_t offset = id - base_;
    uint8_t &byte = bits_[offset / 8];
    const uint8_t mask = uint8_t(1u << (offset % 8));
    if (byte & mask) {
        byte &= uint8_t(~mask);
        --set_bits_;
    }
    return 0;
}

bool IdBitSet::test(uint32_t id) const
{
    if (!contains(id))
        return false;
    const uint32_t offset = id - base_;
    return bits_[offset / 8] & (1u << (offset % 8));
}

int IdBitSet::change_range(uint32_t a, uint32_t b, bool value)
{
    const int result = contains(std::max(a, b)) ? 0 : -1;
    uint32_t first, last;
    if (clamp_range(a, b, base_, count_, first, last)) {
        for (uint64_t offset = first; offset <= last; ++offset)
            value ? set(base_ + uint32_t(offset)) : clear(base_ + uint32_t(offset));
    }
    return result;
}

int IdBitSet::set_range(uint32_t a, uint32_t b)
{
    return change_range(a, b, true);
}

int IdBitSet::clear_range(uint32_t a, uint32_t b)
{
    return change_range(a, b, false);
}

void IdBitSet::set_all()
{
    std::fill(bits_.begin(), bits_.end(), 0xFF);
    set_bits_ = count_;
}

void IdBitSet::clear_all()
{
    std::fill(bits_.begin(), bits_.end(), 0);
    set_bits_ = 0;
}

// ---- SparseIdBitSet

struct SparseIdBitSet::Page
{
    uint32_t set_bits = 0;
    std::vector<uint8_t> bits;
};

SparseIdBitSet::SparseIdBitSet(uint32_t base, uint32_t count, uint32_t page_size)
    : count_(count), base_(base)
{
    page_shift_ = 1;
    while (page_shift_ < 31 && (1u << page_shift_) < page_size)
        ++page_shift_;
    page_bits_ = 1u << page_shift_;
    page_mask_ = page_bits_ - 1;
    const uint32_t pages = count ? (count - 1) / page_bits_ + 1 : 0;
    pages_.resize(pages);
    full_.assign(pages, false);
}

SparseIdBitSet::~SparseIdBitSet() = default;

SparseIdBitSet::PageState SparseIdBitSet::page_state(uint32_t page) const
{
    if (full_[page])
        return PageState::Full;
    return pages_[page] ? PageState::Allocated : PageState::Empty;
}

uint32_t SparseIdBitSet::page_capacity(uint32_t page) const
{
    return std::min(page_bits_, count_ - page * page_bits_);
}

uint32_t SparseIdBitSet::page_set_bits(uint32_t page) const
{
    if (full_[page])
        return page_capacity(page);
    return pages_[page] ? pages_[page]->set_bits : 0;
}

void SparseIdBitSet::make_full(uint32_t page)
{
    set_bits_ += page_capacity(page) - page_set_bits(page);
    if (pages_[page]) {
        pages_[page].reset();
        --allocated_pages_;
    }
    full_[page] = true;
}

void SparseIdBitSet::make_empty(uint32_t page)
{
    set_bits_ -= page_set_bits(page);
    if (pages_[page]) {
        pages_[page].reset();
        --allocated_pages_;
    }
    full_[page] = false;
}

SparseIdBitSet::Page *SparseIdBitSet::allocate(uint32_t page, bool all_set)
{
    auto bits = std::make_unique<Page>();
    bits->bits.assign((page_bits_ + 7) / 8, all_set ? 0xFF : 0);
    bits->set_bits = all_set ? page_capacity(page) : 0;
    pages_[page] = std::move(bits);
    full_[page] = false;
    ++allocated_pages_;
    return pages_[page].get();
}

int SparseIdBitSet::set(uint32_t id)
{
    if (!contains(id))
        return -1;
    const uint32_t offset = id - base_;
    const uint32_t page = offset >> page_shift_;
    if (full_[page])
        return 0;
    Page *bits = pages_[page] ? pages_[page].get() : allocate(page, false);
    const uint32_t bit = offset & page_mask_;
    const uint8_t mask = uint8_t(1u << (bit % 8));
    if (!(bits->bits[bit / 8] & mask)) {
        bits->bits[bit / 8] |= mask;
        ++bits->set_bits;
        ++set_bits_;
        if (bits->set_bits == page_capacity(page))
            make_full(page);
    }
    return 0;
}

int SparseIdBitSet::clear(uint32_t id)
{
    if (!contains(id))
        return -1;
    const uint32_t offset = id - base_;
    const uint32_t page = offset >> page_shift_;
    if (!full_[page] && !pages_[page])
        return 0;
    Page *bits = full_[page] ? allocate(page, true) : pages_[page].get();
    const uint32_t bit = offset & page_mask_;
    const uint8_t mask = uint8_t(1u << (bit % 8));
    if (bits->bits[bit / 8] & mask) {
        bits->bits[bit / 8] &= uint8_t(~mask);
        --bits->set_bits;
        --set_bits_;
        if (bits->set_bits == 0)
            make_empty(page);
    }
    return 0;
}

bool SparseIdBitSet::test(uint32_t id) const
{
    if (!contains(id))
        return false;
    const uint32_t offset = id - base_;
    const uint32_t page = offset >> page_shift_;
    if (full_[page])
        return true;
    if (!pages_[page])
        return false;
    const uint32_t bit = offset & page_mask_;
    return pages_[page]->bits[bit / 8] & (1u << (bit % 8));
}

int SparseIdBitSet::change_range(uint32_t a, uint32_t b, bool value)
{
    const int result = contains(std::max(a, b)) ? 0 : -1;
    uint32_t first, last;
    if (!clamp_range(a, b, base_, count_, first, last))
        return result;
    const uint32_t first_page = first >> page_shift_;
    const uint32_t last_page = last >> page_shift_;
    for (uint32_t page = first_page; page <= last_page; ++page) {
        const uint32_t start = page << page_shift_;
        const uint32_t end = start + page_capacity(page) - 1;
        if (first <= start && last >= end) {
            value ? make_full(page) : make_empty(page);
            continue;
        }
        // Partly covered first or last page: bit by bit.
        const uint32_t from = std::max(first, start);
        const uint32_t to = std::min(last, end);
        for (uint64_t offset = from; offset <= to; ++offset)
            value ? set(base_ + uint32_t(offset)) : clear(base_ + uint32_t(offset));
    }
    return result;
}

int SparseIdBitSet::set_range(uint32_t a, uint32_t b)
{
    return change_range(a, b, true);
}

int SparseIdBitSet::clear_range(uint32_t a, uint32_t b)
{
    return change_range(a, b, false);
}

void SparseIdBitSet::set_all()
{
    for (uint32_t page = 0; page < page_count(); ++page)
        make_full(page);
}

void SparseIdBitSet::clear_all()
{
    for (uint32_t page = 0; page < page_count(); ++page)
        make_empty(page);
}
