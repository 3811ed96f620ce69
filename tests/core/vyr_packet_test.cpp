#include "core/vyr_packet.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

uint32_t header_u32(const VyrPacket &packet, int offset)
{
    const uint8_t *p = packet.data() + offset;
    return uint32_t(p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24);
}

// A layout of one counter field and one byte block, as the transport layer uses.
struct CounterLayout
{
    CounterLayout(int block_max = 256) : layout(2)
    {
        layout.define_field(0, "seq", "Sequence", VyrPacketLayout::Int, -1);
        layout.define_field(1, "data", "Data", VyrPacketLayout::Bytes, block_max);
    }
    // A cleared packet with the sequence number and `bytes` data bytes.
    void fill(VyrPacket &packet, uint32_t seq, int bytes)
    {
        packet.clear();
        packet.set_int_field(0, seq);
        std::vector<uint8_t> data(static_cast<size_t>(bytes), static_cast<uint8_t>(seq));
        packet.set_data_field(1, data.data(), bytes);
    }
    VyrPacketLayout layout;
};

TEST(VyrPacketLayout, PlacesFixedFieldsAndVariableSlots)
{
    VyrPacketLayout layout(3);
    layout.define_field(0, "id", "Identifier", VyrPacketLayout::Int2, 4);
    layout.define_field(1, "name", "Name", VyrPacketLayout::Text, 16);
    layout.define_field(2, "data", "Data", VyrPacketLayout::Bytes, 8192);
    EXPECT_EQ(layout.field_offset(0), 18);
    EXPECT_EQ(layout.field_offset(1), 22);
    EXPECT_EQ(layout.field_offset(2), 24);
    EXPECT_EQ(layout.fixed_size(), 18 + 4 + 8);
    // Every variable field at its maximum fits: the fixed part, then per
    // field a 2-byte length and the data.
    EXPECT_EQ(layout.max_size(), 30 + (2 + 16) + (2 + 8192));
    EXPECT_EQ(layout.field_max_size(1), 16);
    EXPECT_EQ(layout.field_name(2), "data");
    EXPECT_EQ(layout.field_text(0), "Identifier");

    VyrPacket packet(&layout);
    packet.clear();
    EXPECT_EQ(packet.length(), 30);
    EXPECT_EQ(packet.data()[1], 1) << "the cleared marker";
    packet.set_string_field(1, "abc");
    EXPECT_EQ(packet.data()[22] | packet.data()[23] << 8, 30) << "the slot holds the position of the length";
}

// Indices just outside the layout answer as no field, and defining one changes nothing.
TEST(VyrPacketLayout, IndicesOutsideTheLayoutAreNoFields)
{
    VyrPacketLayout layout(2);
    layout.define_field(0, "a", "A", VyrPacketLayout::Int, 4);
    layout.define_field(1, "b", "B", VyrPacketLayout::Bytes, 8);
    const int fixed = layout.fixed_size();
    for (int index : {-1, 2}) {
        SCOPED_TRACE(index);
        layout.define_field(index, "c", "C", VyrPacketLayout::Bytes, 100);
        EXPECT_EQ(layout.field_type(index), VyrPacketLayout::None);
        EXPECT_EQ(layout.field_name(index), "");
        EXPECT_EQ(layout.field_text(index), "");
        EXPECT_EQ(layout.field_max_size(index), 0);
        EXPECT_FALSE(layout.field_variable(index));
        EXPECT_EQ(layout.field_offset(index), 0);
    }
    EXPECT_EQ(layout.fixed_size(), fixed);
    EXPECT_EQ(layout.field_name(1), "b");

    VyrPacket packet(&layout);
    packet.clear();
    int length = -1;
    EXPECT_EQ(packet.field_data(2, &length), nullptr);
    EXPECT_EQ(length, 0);
    // Set to no bytes, the last field of the packet holds an empty block.
    ASSERT_EQ(packet.set_data_field(1, nullptr, 0), 0);
    EXPECT_NE(packet.field_data(1, &length), nullptr);
    EXPECT_EQ(length, 0);
}

TEST(VyrPacketLayout, NegativeSizesTakeTheTypeDefaults)
{
    const struct
    {
        int type;
        int max_size;
        bool variable;
    } cases[] = {{0, 0, false},  {1, 4, false},  {2, 4, false}, {3, 8, false},
                 {4, 250, true}, {5, 256, true}, {6, 250, true}};
    for (const auto &c : cases) {
        VyrPacketLayout layout(1);
        layout.define_field(0, "f", "", c.type, -1);
        EXPECT_EQ(layout.field_max_size(0), c.max_size) << "type " << c.type;
        EXPECT_EQ(layout.field_variable(0), c.variable) << "type " << c.type;
        // A size of 0 is a size: no default.
        layout.define_field(0, "f", "", c.type, 0);
        EXPECT_EQ(layout.field_max_size(0), 0) << "type " << c.type;
    }
}

TEST(VyrPacket, TimeAndCounterSetTheirFlags)
{
    VyrPacketLayout layout(0);
    VyrPacket packet(&layout);
    packet.clear();
    EXPECT_EQ(packet.flags(), 0);
    packet.set_time_ms(1234567);
    EXPECT_EQ(header_u32(packet, 6), 1234u);
    EXPECT_EQ(header_u32(packet, 10), 567000u);
    EXPECT_EQ(packet.time_ms(), 1234567u);
    packet.set_counter(0xDEADBEEF);
    EXPECT_EQ(packet.counter(), 0xDEADBEEFu);
    EXPECT_EQ(packet.flags(), VyrPacket::TimeValid | VyrPacket::CounterValid);
}

TEST(VyrPacket, FieldsKeepAtMostTheirMaximum)
{
    VyrPacketLayout layout(3);
    layout.define_field(0, "text", "", VyrPacketLayout::Text, 16);
    layout.define_field(1, "bytes", "", VyrPacketLayout::Bytes, 8);
    layout.define_field(2, "short", "", VyrPacketLayout::Int, 2);
    VyrPacket packet(&layout);
    packet.clear();

    int length = -1;
    EXPECT_EQ(packet.field_data(0, &length), nullptr) << "an unset variable field holds nothing";
    EXPECT_EQ(length, 0);

    ASSERT_EQ(packet.set_string_field(0, "abcdefghijklmnopqrst"), 0);
    const uint8_t *text = packet.field_data(0, &length);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(length, 16);
    EXPECT_EQ(std::string(reinterpret_cast<const char *>(text)), "abcdefghijklmno");

    const uint8_t bytes[10] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    ASSERT_EQ(packet.set_data_field(1, bytes, 10), 0);
    const uint8_t *data = packet.field_data(1, &length);
    ASSERT_EQ(length, 8);
    EXPECT_EQ(std::memcmp(data, bytes, 8), 0);

    packet.set_int_field(2, 0x12345678);
    EXPECT_EQ(packet.field_int(2), 0x5678u) << "a 2-byte field keeps 2 bytes";
    EXPECT_EQ(packet.set_string_field(2, "x"), -1) << "a fixed field takes no text";
}

TEST(VyrPacket, AFieldSetAgainCannotRunPastTheBuffer)
{
    VyrPacketLayout layout(1);
    layout.define_field(0, "data", "", VyrPacketLayout::Bytes, 100);
    VyrPacket packet(&layout);
    packet.clear();
    std::vector<uint8_t> bytes(100, 0xAA);
    EXPECT_EQ(packet.set_data_field(0, bytes.data(), 100), 0);
    EXPECT_EQ(packet.set_data_field(0, bytes.data(), 100), -1);
    EXPECT_EQ(packet.length(), packet.max_size());
}

TEST(VyrPacketRing, RecordsReadBackInOrderAcrossChunksAndBack)
{
    CounterLayout fields(1000);
    VyrPacket packet(&fields.layout);
    VyrPacketRing ring(VyrPacketStore::max_bytes);
    const int count = 2000; // about 2 MB: the ring grows past its 16 chunks
    for (int i = 0; i < count; ++i) {
        fields.fill(packet, uint32_t(i), 1 + i % 997);
        ASSERT_EQ(ring.append(packet), 0) << i;
    }
    EXPECT_GT(ring.chunk_count(), 16);

    VyrPacket read(&fields.layout);
    for (int i = 0; i < count; ++i) {
        ASSERT_EQ(ring.read_packet(read), 0) << i;
        ASSERT_EQ(read.field_int(0), uint32_t(i));
        int length = 0;
        const uint8_t *data = read.field_data(1, &length);
        ASSERT_EQ(length, 1 + i % 997);
        ASSERT_EQ(data[length - 1], uint8_t(i));
        ASSERT_EQ(ring.seek(1), 0);
    }
    EXPECT_TRUE(ring.at_end());
    EXPECT_EQ(ring.read_packet(read), -1);
    EXPECT_EQ(ring.seek(1), 1);

    // Back from the end, through the previous-record lengths.
    EXPECT_EQ(ring.seek(-3), 0);
    ASSERT_EQ(ring.read_packet(read), 0);
    EXPECT_EQ(read.field_int(0), uint32_t(count - 3));
    EXPECT_EQ(ring.seek(-count), 3) << "stops at the oldest record";
    EXPECT_TRUE(ring.at_begin());

    EXPECT_EQ(ring.seek_begin(10), 0);
    EXPECT_TRUE(ring.at_begin()) << "the cursor moved along with the dropped records";
    ASSERT_EQ(ring.read_packet(read), 0);
    EXPECT_EQ(read.field_int(0), 10u);
    EXPECT_EQ(ring.seek(-1), 1);
}

TEST(VyrPacketRing, AFullRingRefusesWholeRecordsAndKeepsWhatItHas)
{
    CounterLayout fields(3000);
    VyrPacket packet(&fields.layout);
    // A ring grows by whole chunks as long as they fit its limit.
    const struct
    {
        int64_t max_bytes;
        int chunks;
    } limits[] = {{VyrPacketRing::initial_bytes + VyrPacketRing::chunk_size - 1, 16},
                  {VyrPacketRing::initial_bytes + VyrPacketRing::chunk_size, 17}};
    for (const auto &limit : limits) {
        VyrPacketRing ring(limit.max_bytes);
        for (int i = 0;; ++i) {
            fields.fill(packet, uint32_t(i), 3000);
            if (ring.append(packet) != 0)
                break;
        }
        EXPECT_EQ(ring.chunk_count(), limit.chunks) << limit.max_bytes;
    }

    VyrPacketRing ring(VyrPacketRing::initial_bytes); // no growth allowed
    int stored = 0;
    for (;; ++stored) {
        fields.fill(packet, uint32_t(stored), 3000);
        if (ring.append(packet) != 0)
            break;
    }
    EXPECT_EQ(ring.chunk_count(), 16);
    EXPECT_GT(stored, 70);

    VyrPacket read(&fields.layout);
    int seen = 0;
    for (; !ring.at_end(); ring.seek(1), ++seen) {
        ASSERT_EQ(ring.read_packet(read), 0);
        ASSERT_EQ(read.field_int(0), uint32_t(seen));
    }
    EXPECT_EQ(seen, stored) << "the refused record left no part behind";

    // Dropping records makes room again without growth.
    ring.seek_begin(stored);
    fields.fill(packet, 9999, 3000);
    EXPECT_EQ(ring.append(packet), 0);
    EXPECT_EQ(ring.chunk_count(), 16);
    ring.seek_oldest();
    ASSERT_EQ(ring.read_packet(read), 0);
    EXPECT_EQ(read.field_int(0), 9999u);
}

// A record is at least a packet's header and at most 0xFFFF bytes, the
// length its record header can hold.
TEST(VyrPacketRing, RecordsFromTheHeaderAloneToTheLongestLength)
{
    VyrPacketLayout no_fields(0);
    VyrPacketLayout block(1);
    block.define_field(0, "data", "", VyrPacketLayout::Bytes, 0x10000);
    VyrPacket header_only(&no_fields);
    header_only.clear();
    ASSERT_EQ(header_only.length(), VyrPacketLayout::header_size);
    VyrPacket longest(&block), too_long(&block);
    const std::vector<uint8_t> bytes(0x10000, 0x5A);
    for (auto [packet, length] : {std::make_pair(&longest, 0xFFFF), std::make_pair(&too_long, 0x10000)}) {
        packet->clear();
        ASSERT_EQ(packet->set_data_field(0, bytes.data(), length - block.fixed_size() - 2), 0);
        ASSERT_EQ(packet->length(), length);
    }
    VyrPacketRing ring(VyrPacketStore::max_bytes);
    EXPECT_EQ(ring.append(header_only), 0);
    EXPECT_EQ(ring.append(longest), 0);
    EXPECT_EQ(ring.append(too_long), -1);
    VyrPacket read(&block);
    ASSERT_EQ(ring.read_packet(read), 0);
    EXPECT_EQ(read.length(), VyrPacketLayout::header_size);
    ASSERT_EQ(ring.seek(1), 0);
    ASSERT_EQ(ring.read_packet(read), 0);
    EXPECT_EQ(read.length(), 0xFFFF);
    EXPECT_EQ(ring.seek(1), 0);
    EXPECT_TRUE(ring.at_end());
}

TEST(VyrPacketStore, SetsTheFullFlagAndKeepsTheStoredRecordsReadable)
{
    CounterLayout fields(60000);
    VyrPacket packet(&fields.layout);
    VyrPacketStore store;
    int appended = 0;
    while (!store.full()) {
        fields.fill(packet, uint32_t(appended), 60000);
        store.on_packet(packet);
        ++appended;
    }
    EXPECT_LE(store.ring().total_bytes(), VyrPacketStore::max_bytes);
    VyrPacket read(&fields.layout);
    int seen = 0;
    for (; store.ring().read_packet(read) == 0; store.ring().seek(1))
        ASSERT_EQ(read.field_int(0), uint32_t(seen++));
    EXPECT_EQ(seen, appended - 1);

    store.clear();
    EXPECT_FALSE(store.full());
    EXPECT_TRUE(store.ring().at_end());
    EXPECT_EQ(store.ring().stored_bytes(), 0);
}

// The producer never allocates: it fills the chunks made so far and those
// the reader made ahead, then refuses; the store counts every refused packet.
TEST(VyrPacketStore, TheProducerUsesOnlyTheRoomMadeAheadAndCountsWhatItLoses)
{
    CounterLayout fields(1000);
    VyrPacket packet(&fields.layout);
    VyrPacketStore store;
    EXPECT_EQ(store.ring().total_bytes(), VyrPacketRing::initial_bytes + VyrPacketRing::minimum_reserve);
    uint32_t sent = 0;
    const auto send = [&] {
        fields.fill(packet, sent++, 1000);
        store.on_packet(packet);
    };
    while (!store.full())
        send();
    for (int i = 0; i < 5; ++i)
        send();
    EXPECT_EQ(store.lost_count(), 6u);
    EXPECT_EQ(store.ring().total_bytes(), VyrPacketRing::initial_bytes + VyrPacketRing::minimum_reserve);

    // The reader's tick takes the packets over and makes room for twice as many.
    uint32_t kept = 0;
    for (; !store.ring().at_end(); store.ring().seek(1))
        ++kept;
    EXPECT_EQ(kept + store.lost_count(), sent);
    store.ring().make_room();
    EXPECT_GE(store.ring().total_bytes(), 3 * int64_t(kept) * 1000);
    send();
    EXPECT_EQ(store.lost_count(), 6u);
}

// One producer thread and one GUI-side reader that drops what it has read:
// every record arrives once, whole and in order, while the oldest-record
// mark the writer reads for growth moves under it.
TEST(VyrPacketRing, OneWriterAndOneDroppingReaderWithoutALock)
{
    CounterLayout fields(2000);
    VyrPacketRing ring(8 * VyrPacketRing::initial_bytes);
    const uint32_t count = 60000;
    std::atomic<bool> done{false};
    std::thread writer([&] {
        VyrPacket packet(&fields.layout);
        for (uint32_t i = 0; i < count;) {
            fields.fill(packet, i, int(i % 1999) + 1);
            if (ring.append(packet) == 0)
                ++i;
            else
                std::this_thread::yield();
        }
        done = true;
    });
    VyrPacket read(&fields.layout);
    uint32_t expected = 0;
    while (expected < count) {
        if (ring.at_end()) {
            std::this_thread::yield();
            continue;
        }
        ASSERT_EQ(ring.read_packet(read), 0);
        ASSERT_EQ(read.field_int(0), expected);
        int length = 0;
        const uint8_t *data = read.field_data(1, &length);
        ASSERT_EQ(length, int(expected % 1999) + 1) << expected;
        ASSERT_EQ(data[length - 1], uint8_t(expected));
        ring.seek(1);
        ring.seek_begin(1);
        ++expected;
    }
    writer.join();
    EXPECT_TRUE(done);
    EXPECT_LE(ring.total_bytes(), 8 * VyrPacketRing::initial_bytes);
}

} // namespace
