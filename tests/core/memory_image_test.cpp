#include "core/memory_image.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

namespace {

std::vector<uint8_t> page_bytes(const MemoryPage &page)
{
    return std::vector<uint8_t>(page.data(), page.data() + page.length());
}

TEST(MemoryRegionTest, ValuesFollowTheRegionsByteOrder)
{
    struct Case {
        bool little_endian;
        uint32_t width;
        std::vector<uint8_t> bytes; // at the address, for the value 0x11223344
        uint32_t read_back;
    };
    const Case cases[] = {
        {false, 4, {0x11, 0x22, 0x33, 0x44}, 0x11223344},
        {true, 4, {0x44, 0x33, 0x22, 0x11}, 0x11223344},
        {false, 2, {0x33, 0x44, 0x00, 0x00}, 0x3344},
        {true, 2, {0x44, 0x33, 0x00, 0x00}, 0x3344},
        {false, 1, {0x44, 0x00, 0x00, 0x00}, 0x44},
        {true, 8, {0x44, 0x33, 0x22, 0x11}, 0x11223344}, // wider values use 4 bytes
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "little_endian=" << c.little_endian << " width=" << c.width);
        MemoryPage page(0x100, 8);
        page.set_little_endian(c.little_endian);
        page.set_width(c.width);
        EXPECT_EQ(page.write_value(0x102, 0x11223344), 0);
        const std::vector<uint8_t> expected = {0, 0, c.bytes[0], c.bytes[1], c.bytes[2], c.bytes[3], 0, 0};
        EXPECT_EQ(page_bytes(page), expected);
        EXPECT_EQ(page.read_value(0x102), c.read_back);
    }
}

TEST(MemoryRegionTest, DefaultsAreOneByteBigEndian)
{
    MemoryPage page(0, 4);
    EXPECT_EQ(page.width(), 1u);
    EXPECT_FALSE(page.little_endian());
    EXPECT_EQ(page.user_word(), 1u);
}

TEST(MemoryPageTest, ReadMustLieWhollyInsideThePage)
{
    MemoryPage page(0x1000, 16);
    page.fill(0xAB);
    uint8_t out[4] = {};
    EXPECT_EQ(page.read(0x100C, out, 4), 0);
    EXPECT_EQ(out[3], 0xAB);
    EXPECT_EQ(page.read(0x100D, out, 4), -1);
    EXPECT_EQ(page.read(0x0FFF, out, 2), -1);
    page.set_width(4);
    EXPECT_EQ(page.read_value(0x100E), 0u); // a failed read yields 0
}

TEST(MemoryPageTest, RangeAtTheTopOfTheAddressSpaceDoesNotWrapAround)
{
    MemoryPage page(0xFFFFFFF0u, 16);
    uint8_t out[32] = {};
    EXPECT_EQ(page.read(0xFFFFFFF0u, out, 16), 0);
    EXPECT_EQ(page.read(0xFFFFFFF8u, out, 32), -1);
    const uint8_t source[4] = {1, 2, 3, 4};
    EXPECT_EQ(page.write(0xFFFFFFFEu, source, 4), 0);
    EXPECT_EQ(page.data()[15], 2);
}

TEST(MemoryPageTest, WritesAreClippedToThePage)
{
    const uint8_t source[8] = {1, 2, 3, 4, 5, 6, 7, 8};

    MemoryPage head(0x100, 8);
    EXPECT_EQ(head.write(0xFE, source, 8), 0);
    EXPECT_EQ(page_bytes(head), (std::vector<uint8_t>{3, 4, 5, 6, 7, 8, 0, 0}));

    MemoryPage tail(0x100, 8);
    EXPECT_EQ(tail.write(0x105, source, 8), 0);
    EXPECT_EQ(page_bytes(tail), (std::vector<uint8_t>{0, 0, 0, 0, 0, 1, 2, 3}));

    MemoryPage both(0x100, 4);
    EXPECT_EQ(both.write(0xFF, source, 8), 0);
    EXPECT_EQ(page_bytes(both), (std::vector<uint8_t>{2, 3, 4, 5}));

    MemoryPage outside(0x100, 8);
    EXPECT_EQ(outside.write(0xF0, source, 8), -1);
    EXPECT_EQ(outside.write(0x108, source, 1), -1);
    EXPECT_EQ(page_bytes(outside), std::vector<uint8_t>(8, 0));
    outside.set_width(4);
    EXPECT_EQ(outside.write_value(0x200, 1), -1); // a failed write is not reported as done
}

TEST(MemoryPageTest, LoadCopiesWhatFitsAndToBytesCopiesThePage)
{
    MemoryPage page(0, 4);
    page.load(QByteArray("\x01\x02\x03\x04\x05\x06", 6));
    EXPECT_EQ(page.to_bytes(), QByteArray("\x01\x02\x03\x04", 4));
    page.load(QByteArray("\x09", 1));
    EXPECT_EQ(page.to_bytes(), QByteArray("\x09\x02\x03\x04", 4));
}

class MemoryImageTest : public testing::Test
{
protected:
    MemoryImageTest() : image(0, 0x10000)
    {
        flash = image.add_page("flash", 3, 0x1000, 0x100);
        ram = image.add_page("ram", 1, 0x1100, 0x100);
    }
    MemoryImage image;
    NamedMemoryPage *flash;
    NamedMemoryPage *ram;
};

TEST_F(MemoryImageTest, PagesAreFoundByNameAndAddress)
{
    EXPECT_EQ(image.page_count(), 2);
    EXPECT_EQ(image.first_page(), flash);
    EXPECT_EQ(flash->next(), ram);
    EXPECT_EQ(ram->next(), nullptr);
    EXPECT_EQ(image.find_page("ram"), ram);
    EXPECT_EQ(image.find_page("RAM"), nullptr);
    EXPECT_EQ(image.find_page_at(0x10FF), flash);
    EXPECT_EQ(image.find_page_at(0x1100), ram);
    EXPECT_EQ(image.find_page_at(0x1200), nullptr);
    EXPECT_EQ(image.find_page_at(0x0FFF), nullptr);
    image.add_page("shadow", 1, 0x1080, 0x10);
    EXPECT_EQ(image.find_page_at(0x1080), flash); // the first page in list order wins
    image.clear_pages();
    EXPECT_EQ(image.page_count(), 0);
    EXPECT_EQ(image.first_page(), nullptr);
}

TEST_F(MemoryImageTest, AccessGoesToThePageThatHoldsTheAddress)
{
    image.fill(0x5A);
    image.set_width(2);
    EXPECT_EQ(image.read_value(0x1100), 0x5A5Au);
    EXPECT_EQ(image.write_value(0x1110, 0xBEEF), 0);
    EXPECT_EQ(ram->data()[0x10], 0xBE);
    EXPECT_EQ(image.read_value(0x1110), 0xBEEFu);

    uint8_t out[4];
    EXPECT_EQ(image.read(0x10FE, out, 4), -1); // the rest lies in the next page
    EXPECT_EQ(image.read(0x2000, out, 1), -1);
    const uint8_t source[4] = {1, 2, 3, 4};
    EXPECT_EQ(image.write(0x2000, source, 4), -1);
    EXPECT_EQ(image.write(0x10FE, source, 4), 0); // clipped to the first page
    EXPECT_EQ(flash->data()[0xFF], 2);
    EXPECT_EQ(ram->data()[0], 0x5A);
}

TEST_F(MemoryImageTest, ImageHasNoBytesOfItsOwn)
{
    EXPECT_EQ(image.load(QByteArray("abc")), 4);
    EXPECT_TRUE(image.to_bytes().isEmpty());
}

TEST(MemoryTypeTest, Names)
{
    const char *names[] = {"EMPTY", "RAM", "ROM", "FLASH", "EEPROM", "EPROM",
                           "MEM_MAPPED_IO", "IO", "REGISTER", "RESERVED"};
    for (int code = 0; code < 10; ++code)
        EXPECT_STREQ(memory_type_name(code), names[code]);
    EXPECT_STREQ(memory_type_name(10), "UNDEF");
    EXPECT_STREQ(memory_type_name(-1), "UNDEF");
}

// Builds image files record by record.
class ImageFileTest : public testing::Test
{
protected:
    using Record = std::vector<uint8_t>;

    static void put_u32(Record &record, size_t at, uint32_t value)
    {
        for (int i = 0; i < 4; ++i)
            record[at + i] = uint8_t(value >> (24 - 8 * i));
    }
    static Record begin_record(uint32_t start, uint32_t word)
    {
        Record record(512, 0);
        std::copy_n("BEG ", 4, record.begin());
        put_u32(record, 12, start);
        put_u32(record, 20, word);
        return record;
    }
    static Record data_record(const std::vector<uint8_t> &data, size_t claimed_length)
    {
        Record record(512, 0xEE);
        std::copy_n("DATA", 4, record.begin());
        record[4] = uint8_t(claimed_length >> 8);
        record[5] = uint8_t(claimed_length);
        std::copy(data.begin(), data.end(), record.begin() + 6);
        return record;
    }
    static Record data_record(const std::vector<uint8_t> &data) { return data_record(data, data.size()); }

    std::string write_file(const std::vector<Record> &records, size_t extra_bytes = 0)
    {
        const std::string path = dir.filePath("image.bin").toStdString();
        std::FILE *file = std::fopen(path.c_str(), "wb");
        for (const Record &record : records)
            std::fwrite(record.data(), 1, record.size(), file);
        for (size_t i = 0; i < extra_bytes; ++i)
            std::fputc('D', file);
        std::fclose(file);
        return path;
    }

    ImageFileTest() : image(0, 0x10000)
    {
        page = image.add_page("ram", 1, 0x2000, 0x400);
        page->fill(0xFF);
    }

    QTemporaryDir dir;
    MemoryImage image;
    NamedMemoryPage *page;
};

TEST_F(ImageFileTest, LoadsDataAtTheRunningAddress)
{
    Record other(512, 0x11);
    std::copy_n("INFO", 4, other.begin());
    const std::string path = write_file({
        data_record({0xA0}), // before any begin record: written at address 0, outside every page
        begin_record(0x2000, 0xCAFEF00D),
        data_record({1, 2, 3}),
        other,
        data_record({4, 5}), // the last record is a data record
    });
    uint32_t start = 0, word = 0;
    EXPECT_EQ(read_image_file(path.c_str(), &image, &start, &word), 0);
    EXPECT_EQ(start, 0x2000u);
    EXPECT_EQ(word, 0xCAFEF00Du);
    const std::vector<uint8_t> head(page->data(), page->data() + 8);
    EXPECT_EQ(head, (std::vector<uint8_t>{1, 2, 3, 4, 5, 0xFF, 0xFF, 0xFF}));
}

TEST_F(ImageFileTest, FullRecordAndTrailingPartOfARecord)
{
    std::vector<uint8_t> full(506);
    for (size_t i = 0; i < full.size(); ++i)
        full[i] = uint8_t(i);
    // The trailing bytes are no whole record and change nothing.
    const std::string path = write_file({begin_record(0x2000, 0), data_record(full)}, 100);
    EXPECT_EQ(read_image_file(path.c_str(), &image), 0);
    EXPECT_EQ(page->data()[505], uint8_t(505));
    EXPECT_EQ(page->data()[506], 0xFF);
}

TEST_F(ImageFileTest, DataRecordLongerThanItsRecordIsRejected)
{
    const std::string path = write_file({
        begin_record(0x2000, 0),
        data_record({9, 9, 9}, 507),
        data_record({7}),
    });
    testing::internal::CaptureStderr();
    EXPECT_EQ(read_image_file(path.c_str(), &image), -3);
    const std::string message = testing::internal::GetCapturedStderr();
    EXPECT_NE(message.find("Invalid data length 507"), std::string::npos) << message;
    // Nothing of the bad record is stored; the next record is still loaded.
    EXPECT_EQ(page->data()[0], 7);
    EXPECT_EQ(page->data()[1], 0xFF);
}

TEST_F(ImageFileTest, MissingNameOrFile)
{
    testing::internal::CaptureStderr();
    EXPECT_EQ(read_image_file(nullptr, &image), -1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "No file name given --> Exit\n");
    const std::string path = dir.filePath("absent.bin").toStdString();
    testing::internal::CaptureStderr();
    EXPECT_EQ(read_image_file(path.c_str(), &image), -2);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Can't open input file " + path + "\n");
}

TEST_F(ImageFileTest, WithoutAnImageOnlyTheStartIsReported)
{
    const std::string path = write_file({begin_record(0x1234, 7), data_record({1})});
    uint32_t start = 0;
    EXPECT_EQ(read_image_file(path.c_str(), nullptr, &start), 0);
    EXPECT_EQ(start, 0x1234u);
}

} // namespace
