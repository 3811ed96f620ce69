#pragma once
// A local copy of an ECU's memory: regions that read and write bytes and 1- to
// 4-byte values at ECU addresses in the ECU's byte order.
#include <QByteArray>
#include <cstdint>
#include <vector>

// Abstract base of pages and images. Addresses are 32-bit ECU addresses.
class MemoryRegion
{
public:
    MemoryRegion(uint32_t start, uint32_t length);
    virtual ~MemoryRegion();

    MemoryRegion(const MemoryRegion &) = delete;
    MemoryRegion &operator=(const MemoryRegion &) = delete;

    virtual void fill(uint8_t byte) = 0;
    // Copies count bytes at address out; 0, or -1 when the region cannot serve the range.
    virtual int read(uint32_t address, uint8_t *destination, uint32_t count) const = 0;
    virtual int load(const QByteArray &bytes) = 0;
    // Copies count bytes in at address; 0, or -1 when nothing was written.
    virtual int write(uint32_t address, const uint8_t *source, uint32_t count) = 0;
    // min(width, 4) bytes combined in the region's byte order; 0 when the read fails.
    virtual uint32_t read_value(uint32_t address) const;
    // Splits min(width, 4) bytes of the value in the region's byte order and
    // writes them; the result of the write.
    virtual int write_value(uint32_t address, uint32_t value);
    virtual QByteArray to_bytes() const = 0;

    uint32_t width() const { return m_width; }
    void set_width(uint32_t width) { m_width = width; }
    bool little_endian() const { return m_little_endian; }
    void set_little_endian(bool on) { m_little_endian = on; }
    // A word that the region keeps for its user and does not interpret.
    uint32_t user_word() const { return m_user_word; }
    void set_user_word(uint32_t word) { m_user_word = word; }
    uint32_t start() const { return m_start; }
    uint32_t length() const { return m_length; }
    // True when address lies in [start, start + length).
    bool contains(uint32_t address) const;

private:
    uint32_t m_width = 1;
    bool m_little_endian = false;
    uint32_t m_user_word = 1;
    uint32_t m_start;
    uint32_t m_length;
};

// A region with its own bytes.
class MemoryPage : public MemoryRegion
{
public:
    MemoryPage(uint32_t start, uint32_t length);

    void fill(uint8_t byte) override;
    // Succeeds only when the whole range lies inside the page.
    int read(uint32_t address, uint8_t *destination, uint32_t count) const override;
    // Copies min(size, length) bytes to the start of the page.
    int load(const QByteArray &bytes) override;
    // Clips the range to the page: bytes before the start and past the end are
    // dropped (from the source too); -1 when nothing of the range lies inside.
    int write(uint32_t address, const uint8_t *source, uint32_t count) override;
    QByteArray to_bytes() const override;

    const uint8_t *data() const { return m_data.data(); }

private:
    std::vector<uint8_t> m_data;
};
