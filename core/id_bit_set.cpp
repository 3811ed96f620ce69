#include "core/id_bit_set.h"

#include <algorithm>

template <class FillBlock, class ChangeBit>
int IdRangeSet::change_range(uint32_t a, uint32_t b, uint32_t block_shift, FillBlock fill_block,
                             ChangeBit change_bit) const
{
    const int result = contains(std::max(a, b)) ? 0 : -1;
    // The bounds clamped to the range, as offsets from its base.
    const uint64_t low = std::max<uint64_t>(std::min(a, b), m_base);
    const uint64_t high = std::min<uint64_t>(std::max(a, b), uint64_t(m_base) + m_count - 1);
    if (m_count == 0 || low > high)
        return result;
    const uint32_t first = uint32_t(low - m_base);
    const uint32_t last = uint32_t(high - m_base);
    for (uint32_t block = first >> block_shift; block <= last >> block_shift; ++block) {
        const uint32_t start = block << block_shift;
        const uint32_t end = start + std::min((1u << block_shift) - 1, m_count - 1 - start);
        if (first <= start && last >= end) {
            fill_block(block);
            continue;
        }
        // The partly covered first or last block: bit by bit.
        for (uint64_t offset = std::max(first, start); offset <= std::min(last, end); ++offset)
            change_bit(m_base + uint32_t(offset));
    }
    return result;
}

// ---- IdBitSet

IdBitSet::IdBitSet(uint32_t base, uint32_t count)
    : IdRangeSet(base, count ? count : 1), m_bits((m_count - 1) / 8 + 1, 0)
{
}

int IdBitSet::set(uint32_t id)
{
    if (!contains(id))
        return -1;
    const uint32_t offset = id - m_base;
    uint8_t &byte = m_bits[offset / 8];
    const uint8_t mask = uint8_t(1u << (offset % 8));
    if (!(byte & mask)) {
        byte |= mask;
        ++m_set_bits;
    }
    return 0;
}

int IdBitSet::clear(uint32_t id)
{
    if (!contains(id))
        return -1;
    const uint32_t offset = id - m_base;
    uint8_t &byte = m_bits[offset / 8];
    const uint8_t mask = uint8_t(1u << (offset % 8));
    if (byte & mask) {
        byte &= uint8_t(~mask);
        --m_set_bits;
    }
    return 0;
}

bool IdBitSet::test(uint32_t id) const
{
    if (!contains(id))
        return false;
    const uint32_t offset = id - m_base;
    return m_bits[offset / 8] & (1u << (offset % 8));
}

void IdBitSet::fill_byte(uint32_t index, bool value)
{
    // The last byte may hold fewer identifiers than bits.
    const uint32_t used = std::min(8u, m_count - index * 8);
    const uint8_t mask = uint8_t((1u << used) - 1);
    uint8_t &byte = m_bits[index];
    m_set_bits -= uint32_t(__builtin_popcount(byte & mask));
    byte = value ? uint8_t(byte | mask) : uint8_t(byte & ~mask);
    m_set_bits += uint32_t(__builtin_popcount(byte & mask));
}

int IdBitSet::set_range(uint32_t a, uint32_t b)
{
    return change_range(
        a, b, 3, [this](uint32_t byte) { fill_byte(byte, true); }, [this](uint32_t id) { set(id); });
}

int IdBitSet::clear_range(uint32_t a, uint32_t b)
{
    return change_range(
        a, b, 3, [this](uint32_t byte) { fill_byte(byte, false); }, [this](uint32_t id) { clear(id); });
}

void IdBitSet::set_all()
{
    std::fill(m_bits.begin(), m_bits.end(), 0xFF);
    m_set_bits = m_count;
}

void IdBitSet::clear_all()
{
    std::fill(m_bits.begin(), m_bits.end(), 0);
    m_set_bits = 0;
}

// ---- SparseIdBitSet

struct SparseIdBitSet::Page
{
    uint32_t set_bits = 0;
    std::vector<uint8_t> bits;
};

SparseIdBitSet::SparseIdBitSet(uint32_t base, uint32_t count, uint32_t page_size) : IdRangeSet(base, count)
{
    m_page_shift = 1;
    while (m_page_shift < 31 && (1u << m_page_shift) < page_size)
        ++m_page_shift;
    m_page_bits = 1u << m_page_shift;
    m_page_mask = m_page_bits - 1;
    const uint32_t pages = count ? (count - 1) / m_page_bits + 1 : 0;
    m_pages.resize(pages);
    m_full.assign(pages, false);
}

SparseIdBitSet::~SparseIdBitSet() = default;

SparseIdBitSet::PageState SparseIdBitSet::page_state(uint32_t page) const
{
    if (m_full[page])
        return PageState::Full;
    return m_pages[page] ? PageState::Allocated : PageState::Empty;
}

uint32_t SparseIdBitSet::page_capacity(uint32_t page) const
{
    return std::min(m_page_bits, m_count - page * m_page_bits);
}

uint32_t SparseIdBitSet::page_set_bits(uint32_t page) const
{
    if (m_full[page])
        return page_capacity(page);
    return m_pages[page] ? m_pages[page]->set_bits : 0;
}

void SparseIdBitSet::make_full(uint32_t page)
{
    m_set_bits += page_capacity(page) - page_set_bits(page);
    if (m_pages[page]) {
        m_pages[page].reset();
        --m_allocated_pages;
    }
    m_full[page] = true;
}

void SparseIdBitSet::make_empty(uint32_t page)
{
    m_set_bits -= page_set_bits(page);
    if (m_pages[page]) {
        m_pages[page].reset();
        --m_allocated_pages;
    }
    m_full[page] = false;
}

SparseIdBitSet::Page *SparseIdBitSet::allocate(uint32_t page, bool all_set)
{
    auto bits = std::make_unique<Page>();
    bits->bits.assign((m_page_bits + 7) / 8, all_set ? 0xFF : 0);
    bits->set_bits = all_set ? page_capacity(page) : 0;
    m_pages[page] = std::move(bits);
    m_full[page] = false;
    ++m_allocated_pages;
    return m_pages[page].get();
}

int SparseIdBitSet::set(uint32_t id)
{
    if (!contains(id))
        return -1;
    const uint32_t offset = id - m_base;
    const uint32_t page = offset >> m_page_shift;
    if (m_full[page])
        return 0;
    Page *bits = m_pages[page] ? m_pages[page].get() : allocate(page, false);
    const uint32_t bit = offset & m_page_mask;
    const uint8_t mask = uint8_t(1u << (bit % 8));
    if (!(bits->bits[bit / 8] & mask)) {
        bits->bits[bit / 8] |= mask;
        ++bits->set_bits;
        ++m_set_bits;
        if (bits->set_bits == page_capacity(page))
            make_full(page);
    }
    return 0;
}

int SparseIdBitSet::clear(uint32_t id)
{
    if (!contains(id))
        return -1;
    const uint32_t offset = id - m_base;
    const uint32_t page = offset >> m_page_shift;
    if (!m_full[page] && !m_pages[page])
        return 0;
    Page *bits = m_full[page] ? allocate(page, true) : m_pages[page].get();
    const uint32_t bit = offset & m_page_mask;
    const uint8_t mask = uint8_t(1u << (bit % 8));
    if (bits->bits[bit / 8] & mask) {
        bits->bits[bit / 8] &= uint8_t(~mask);
        --bits->set_bits;
        --m_set_bits;
        if (bits->set_bits == 0)
            make_empty(page);
    }
    return 0;
}

bool SparseIdBitSet::test(uint32_t id) const
{
    if (!contains(id))
        return false;
    const uint32_t offset = id - m_base;
    const uint32_t page = offset >> m_page_shift;
    if (m_full[page])
        return true;
    if (!m_pages[page])
        return false;
    const uint32_t bit = offset & m_page_mask;
    return m_pages[page]->bits[bit / 8] & (1u << (bit % 8));
}

int SparseIdBitSet::set_range(uint32_t a, uint32_t b)
{
    return change_range(
        a, b, m_page_shift, [this](uint32_t page) { make_full(page); }, [this](uint32_t id) { set(id); });
}

int SparseIdBitSet::clear_range(uint32_t a, uint32_t b)
{
    return change_range(
        a, b, m_page_shift, [this](uint32_t page) { make_empty(page); }, [this](uint32_t id) { clear(id); });
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
