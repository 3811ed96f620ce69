#pragma once
// An ECU's memory image: named pages (flash, EEPROM, RAM, ...) found by name
// or by address, and the reader of image files made of 512-byte records.
#include "core/memory_region.h"

#include <memory>
#include <string>
#include <vector>

// Name of a memory type code: "EMPTY", "RAM", "ROM", "FLASH", "EEPROM", "EPROM",
// "MEM_MAPPED_IO", "IO", "REGISTER", "RESERVED"; "UNDEF" for other codes.
const char *memory_type_name(int type);

// A page of an image: a named segment of the ECU's address space.
class NamedMemoryPage : public MemoryPage
{
public:
    NamedMemoryPage(const std::string &name, int type, uint32_t start, uint32_t length);

    const std::string &name() const { return m_name; }
    int type() const { return m_type; }
    NamedMemoryPage *next() const { return m_next; }

private:
    friend class MemoryImage;
    std::string m_name;
    int m_type;
    NamedMemoryPage *m_next = nullptr;
};

// A region without bytes of its own: reads and writes go to the page that
// holds the address.
class MemoryImage : public MemoryRegion
{
public:
    MemoryImage(uint32_t start, uint32_t length);
    ~MemoryImage() override;

    void fill(uint8_t byte) override;
    // Served by the page that holds address alone (a range running into the
    // next page fails to read and is clipped on writing); -1 when no page holds it.
    int read(uint32_t address, uint8_t *destination, uint32_t count) const override;
    int write(uint32_t address, const uint8_t *source, uint32_t count) override;
    // An image cannot be loaded as a whole: answers 4 and does nothing.
    int load(const QByteArray &bytes) override;
    // Empty: an image has no bytes of its own.
    QByteArray to_bytes() const override;

    NamedMemoryPage *add_page(const std::string &name, int type, uint32_t start, uint32_t length);
    NamedMemoryPage *find_page(const std::string &name) const;
    // The first page in list order with start <= address < start + length.
    NamedMemoryPage *find_page_at(uint32_t address) const;
    NamedMemoryPage *first_page() const;
    int page_count() const { return int(m_pages.size()); }
    void clear_pages();

private:
    std::vector<std::unique_ptr<NamedMemoryPage>> m_pages;
};

// Loads an image file into image (when not null). The file is a sequence of
// 512-byte records, numbers big-endian: "BEG " sets the running address to the
// start address at bytes 12..15 (handed back through start, with the word at
// bytes 20..23 through second_word, when asked for); "DATA" holds a 16-bit
// length n at bytes 4..5 and n data bytes from byte 6, written at the running
// address, which then advances by n. Other records are skipped.
// Results: 0 once the file was read; -1 no file name; -2 the file cannot be
// opened; -3 a data record claimed more than 506 bytes (that record is
// skipped with a message, the others are loaded). Messages go to the error output.
int read_image_file(const char *path, MemoryImage *image, uint32_t *start = nullptr,
                    uint32_t *second_word = nullptr);
