#include "core/memory_region.h"

#include <algorithm>
#include <cstring>

MemoryRegion::MemoryRegion(uint32_t start, uint32_t length) : m_start(start), m_length(length) {}

MemoryRegion::~MemoryRegion() = default;

bool MemoryRegion::contains(uint32_t address) const
{
    // 64-bit arithmetic: a region may end exactly at 2^32.
    return address >= m_start && uint64_t(address) < uint64_t(m_start) + m_length;
}

uint32_t MemoryRegion::read_value(uint32_t address) const
{
    const uint32_t count = std::min<uint32_t>(m_width, 4);
    uint8_t bytes[4] = {};
    if (read(address, bytes, count) != 0)
        return 0;
    uint32_t value = 0;
    for (uint32_t i = 0; i < count; ++i) {
        if (m_little_endian)
            value |= uint32_t(bytes[i]) << (8 * i);
        else
            value = (value << 8) | bytes[i];
    }
    return value;
}

int MemoryRegion::write_value(uint32_t address, uint32_t value)
{
    const uint32_t count = std::min<uint32_t>(m_width, 4);
    uint8_t bytes[4] = {};
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t shift = m_little_endian ? 8 * i : 8 * (count - 1 - i);
        bytes[i] = uint8_t(value >> shift);
    }
    return write(address, bytes, count);
}

MemoryPage::MemoryPage(uint32_t start, uint32_t length)
    : MemoryRegion(start, length), m_data(length, 0)
{
}

void MemoryPage::fill(uint8_t byte)
{
    std::fill(m_data.begin(), m_data.end(), byte);
}

int MemoryPage::read(uint32_t address, uint8_t *destination, uint32_t count) const
{
    const uint64_t end = uint64_t(address) + count;
    if (address < start() || end > uint64_t(start()) + length())
        return -1;
    if (count)
        std::memcpy(destination, m_data.data() + (address - start()), count);
    return 0;
}

int MemoryPage::load(const QByteArray &bytes)
{
    const size_t count = std::min(size_t(bytes.size()), m_data.size());
    if (count)
        std::memcpy(m_data.data(), bytes.constData(), count);
    return 0;
}

int MemoryPage::write(uint32_t address, const uint8_t *source, uint32_t count)
{
    uint64_t first = address;
    const uint64_t end = std::min(uint64_t(address) + count, uint64_t(start()) + length());
    if (first < start()) {
        source += start() - first;
        first = start();
    }
    if (first >= end)
        return -1;
    std::memcpy(m_data.data() + (first - start()), source, size_t(end - first));
    return 0;
}

QByteArray MemoryPage::to_bytes() const
{
    return QByteArray(reinterpret_cast<const char *>(m_data.data()), int(m_data.size()));
}
