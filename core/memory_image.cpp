#include "core/memory_image.h"

#include "settings/debug_trace.h"

#include <cstdio>
#include <cstring>

const char *memory_type_name(int type)
{
    static const char *const names[] = {"EMPTY", "RAM", "ROM", "FLASH", "EEPROM", "EPROM",
                                        "MEM_MAPPED_IO", "IO", "REGISTER", "RESERVED"};
    if (type < 0 || type >= int(sizeof(names) / sizeof(names[0])))
        return "UNDEF";
    return names[type];
}

NamedMemoryPage::NamedMemoryPage(const std::string &name, int type, uint32_t start, uint32_t length)
    : MemoryPage(start, length), m_name(name), m_type(type)
{
}

MemoryImage::MemoryImage(uint32_t start, uint32_t length) : MemoryRegion(start, length) {}

MemoryImage::~MemoryImage() = default;

void MemoryImage::fill(uint8_t byte)
{
    for (auto &page : m_pages)
        page->fill(byte);
}

int MemoryImage::read(uint32_t address, uint8_t *destination, uint32_t count) const
{
    const NamedMemoryPage *page = find_page_at(address);
    return page ? page->read(address, destination, count) : -1;
}

int MemoryImage::write(uint32_t address, const uint8_t *source, uint32_t count)
{
    NamedMemoryPage *page = find_page_at(address);
    return page ? page->write(address, source, count) : -1;
}

int MemoryImage::load(const QByteArray &)
{
    return 4;
}

QByteArray MemoryImage::to_bytes() const
{
    return QByteArray();
}

NamedMemoryPage *MemoryImage::add_page(const std::string &name, int type, uint32_t start, uint32_t length)
{
    debug_trace("add_page: name=%s, type=%d, start=%08x, len=%08x", name.c_str(), type, start, length);
    auto page = std::make_unique<NamedMemoryPage>(name, type, start, length);
    if (!m_pages.empty())
        m_pages.back()->m_next = page.get();
    m_pages.push_back(std::move(page));
    return m_pages.back().get();
}

NamedMemoryPage *MemoryImage::find_page(const std::string &name) const
{
    for (const auto &page : m_pages)
        if (page->name() == name)
            return page.get();
    return nullptr;
}

NamedMemoryPage *MemoryImage::find_page_at(uint32_t address) const
{
    for (const auto &page : m_pages)
        if (page->contains(address))
            return page.get();
    return nullptr;
}

NamedMemoryPage *MemoryImage::first_page() const
{
    return m_pages.empty() ? nullptr : m_pages.front().get();
}

void MemoryImage::clear_pages()
{
    m_pages.clear();
}

namespace {

constexpr size_t image_record_size = 512;
constexpr size_t data_offset = 6;
constexpr size_t max_data_length = image_record_size - data_offset;

uint32_t big_endian_u32(const uint8_t *bytes)
{
    return uint32_t(bytes[0]) << 24 | uint32_t(bytes[1]) << 16 | uint32_t(bytes[2]) << 8 | bytes[3];
}

} // namespace

int read_image_file(const char *path, MemoryImage *image, uint32_t *start, uint32_t *second_word)
{
    if (!path) {
        std::fprintf(stderr, "No file name given --> Exit\n");
        return -1;
    }
    std::FILE *file = std::fopen(path, "rb");
    if (!file) {
        std::fprintf(stderr, "Can't open input file %s\n", path);
        return -2;
    }
    int result = 0;
    uint32_t address = 0;
    uint8_t record[image_record_size];
    // A short chunk at the end of the file is no whole record and is ignored.
    for (long index = 0; std::fread(record, 1, sizeof record, file) == sizeof record; ++index) {
        if (std::memcmp(record, "BEG ", 4) == 0) {
            address = big_endian_u32(record + 12);
            if (start)
                *start = address;
            if (second_word)
                *second_word = big_endian_u32(record + 20);
        } else if (std::memcmp(record, "DATA", 4) == 0) {
            const size_t length = size_t(record[4]) << 8 | record[5];
            if (length > max_data_length) {
                // The length would run past the record: nothing of it can be trusted.
                std::fprintf(stderr, "Invalid data length %zu in record %ld of %s\n", length, index, path);
                result = -3;
                continue;
            }
            if (image && length)
                image->write(address, record + data_offset, uint32_t(length));
            address += uint32_t(length);
        }
    }
    std::fclose(file);
    return result;
}
