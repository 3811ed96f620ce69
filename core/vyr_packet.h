#pragma once
// Packets: time-stamped byte records whose fields a layout declares, as the
// interfaces whose traffic is not plain CAN frames (UDP, USB, FlexRay, the
// CAN transport layer) produce them, and the chunked store in which a window
// keeps them. A record is an 18-byte header (little-endian) followed by the
// fields:
//   0 flags, 1 cleared marker, 2..3 record length, 4..5 previous record's
//   length, 6..9 seconds, 10..13 microseconds, 14..17 message counter.
#include "core/intrusive_list.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

class VyrPacketLayout
{
public:
    enum FieldType {
        None = 0,
        Int = 1,
        Int2 = 2,
        Value8 = 3,
        Text = 4,
        Bytes = 5,
        Utf8Text = 6,
    };

    static constexpr int header_size = 18;

    explicit VyrPacketLayout(int field_count);

    // A negative size takes the type's default; for the text and byte types
    // the size is the most data bytes the field takes. Every offset is
    // computed again. An index outside the layout is ignored.
    void define_field(int index, const char *name, const char *text, int type, int size);

    int field_count() const { return int(m_fields.size()); }
    // The size of a cleared packet: the header, the fixed fields and 4 bytes
    // for each variable field.
    int fixed_size() const { return m_fixed_size; }
    // The size of a packet whose variable fields all hold their maximum.
    int max_size() const { return m_max_size; }

    // For an index outside the layout: type 0, empty texts, size 0.
    int field_type(int index) const;
    const std::string &field_name(int index) const;
    const std::string &field_text(int index) const;
    // The fixed size of a fixed field, the maximum of a variable one.
    int field_max_size(int index) const;
    bool field_variable(int index) const;
    int field_offset(int index) const;

private:
    struct Field
    {
        int type = None;
        std::string name;
        std::string text;
        bool variable = false;
        int size = 0;     // fixed fields
        int max_size = 0; // variable fields
        int offset = 0;
    };
    void place_fields();

    std::vector<Field> m_fields;
    int m_fixed_size = header_size;
    int m_max_size = header_size;
};

class VyrPacket
{
public:
    enum Flag : uint8_t {
        TimeValid = 0x01,
        Selected = 0x02,
        Hidden = 0x04,
        Marked = 0x08,
        CounterValid = 0x10,
    };

    // The layout must outlive the packet.
    explicit VyrPacket(const VyrPacketLayout *layout);
    VyrPacket(const VyrPacket &) = delete;
    VyrPacket &operator=(const VyrPacket &) = delete;

    const VyrPacketLayout *layout() const { return m_layout; }

    // An empty record: header and fixed fields zero, no variable data.
    void clear();
    uint8_t flags() const { return m_buffer[0]; }
    void set_flags(uint8_t flags) { m_buffer[0] = flags; }

    // Seconds * 1000 + microseconds / 1000, in 32 bits.
    uint32_t time_ms() const;
    void set_time_ms(uint32_t ms);
    uint32_t counter() const;
    void set_counter(uint32_t counter);

    // Pointer and length of a field's data; null and 0 for an index outside
    // the layout or a variable field that holds nothing.
    const uint8_t *field_data(int index, int *length) const;
    // The first min(size, 4) bytes, little-endian.
    uint32_t field_int(int index) const;
    void set_int_field(int index, uint32_t value);
    // Each appends the field's data once; -1 (nothing stored) for a fixed or
    // unknown field, or when the packet has no room left.
    // A text is stored with its terminating zero, cut to the field's maximum
    // (maximum - 1 characters and the zero).
    int set_string_field(int index, const char *text);
    int set_data_field(int index, const uint8_t *bytes, int count);

    // The record as stored: length() bytes from data().
    const uint8_t *data() const { return m_buffer.data(); }
    uint8_t *data() { return m_buffer.data(); }
    int length() const { return m_length; }
    int max_size() const { return m_max_size; }
    // For a reader that copied a record into data().
    void set_length(int length) { m_length = length; }

private:
    int append_variable(int index, const uint8_t *bytes, int count, bool zero_terminated);

    const VyrPacketLayout *m_layout;
    int m_max_size;
    int m_length;
    std::vector<uint8_t> m_buffer;
};

// A consumer of the packets of a source.
class VyrPacketListener
{
public:
    virtual ~VyrPacketListener() = default;
    // Runs on the producer's thread; must not block.
    virtual void on_packet(const VyrPacket &packet) = 0;

private:
    friend class VyrPacketSource;
    IntrusiveLink<VyrPacketListener> m_link;
};

// A named producer ("Transport Layer", "Received UDP-Packets", ...). The
// listener list has its own lock: a window attaches and detaches on the GUI
// thread while the producer's thread notifies, and once remove_listener
// returns the listener is not being called.
class VyrPacketSource
{
public:
    // The layout must outlive the source.
    VyrPacketSource(const std::string &name, const VyrPacketLayout *layout);
    VyrPacketSource(const VyrPacketSource &) = delete;
    VyrPacketSource &operator=(const VyrPacketSource &) = delete;

    const std::string &name() const { return m_name; }
    const VyrPacketLayout *layout() const { return m_layout; }

    // Appends; a listener already attached is not added twice.
    void add_listener(VyrPacketListener *listener);
    void remove_listener(VyrPacketListener *listener);
    // Each listener's on_packet, in list order.
    void notify_listeners(const VyrPacket &packet);

private:
    std::string m_name;
    const VyrPacketLayout *m_layout;
    std::mutex m_mutex;
    IntrusiveList<VyrPacketListener, &VyrPacketListener::m_link> m_listeners;
};

// Records kept back to back in a circular list of chunks, never overwritten:
// when the writer would run into the chunk that holds the oldest record, it
// inserts a chunk that the reader made ahead (make_room, on the reader's
// tick), else the record is refused. The writer never allocates: it may be
// an interface's realtime thread. One writer and one reader, no lock: the
// writer publishes its position only after a record is complete, and the
// reader moves the oldest-record mark that the writer reads for growth
// through an atomic.
class VyrPacketRing
{
public:
    static constexpr int chunk_size = 16384;
    static constexpr int initial_bytes = 0x40000;
    // make_room keeps at least this much room made ahead.
    static constexpr int minimum_reserve = 0x100000;

    explicit VyrPacketRing(int64_t max_bytes);
    ~VyrPacketRing();
    VyrPacketRing(const VyrPacketRing &) = delete;
    VyrPacketRing &operator=(const VyrPacketRing &) = delete;

    // --- Writer ---------------------------------------------------------------
    // Stores the whole record, with its length and the previous record's
    // length in the stored header; -1 when it does not fit.
    int append(const VyrPacket &packet);

    // --- Reader ---------------------------------------------------------------
    // Makes chunks ahead for the writer: room for at least minimum_reserve
    // bytes, or twice the bytes appended since the last call, within the
    // maximum.
    void make_room();
    bool at_end() const;
    bool at_begin() const;
    // Copies the record under the read cursor into the packet without moving
    // the cursor; -1 at the end (or when the packet is too small).
    int read_packet(VyrPacket &packet) const;
    // The flags byte of the record under the read cursor, which a display
    // may change in place; null at the end.
    uint8_t *record_flags();
    // Moves the read cursor by n records (negative: back), stopping at the
    // newest end or the oldest record; returns the steps not done.
    int seek(int n);
    // Drops up to n records from the front (the read cursor moves along when
    // it stood on a dropped record); returns the steps not done. A negative n
    // does nothing: dropped records may already be overwritten.
    int seek_begin(int n);
    // The read cursor to the oldest record.
    void seek_oldest();
    // Drops every record.
    void discard_all();

    struct Chunk;
    // A saved read cursor, for a reader that walks and comes back.
    struct Position
    {
        Chunk *chunk = nullptr;
        int offset = 0;
        uint64_t count = 0;
    };
    Position read_position() const { return m_read; }
    void set_read_position(const Position &position) { m_read = position; }

    // Chunks linked into the ring; the bytes of those and of the chunks made ahead.
    int chunk_count() const { return m_chunk_count.load(); }
    int64_t total_bytes() const { return m_total_bytes.load(); }
    // Bytes of the records kept.
    int64_t stored_bytes() const;

private:
    void copy_out(const Position &from, uint8_t *out, int count) const;
    uint16_t read_u16(const Position &at, int offset) const;
    Position advanced(const Position &from, int count) const;
    Position stepped_back(const Position &from, int count) const;
    uint64_t write_count() const;

    // Writer: a chunk made ahead, or null.
    Chunk *take_spare();
    static void delete_list(Chunk *chunk);

    int64_t m_max_bytes;
    std::atomic<int64_t> m_total_bytes{0};
    std::atomic<int> m_chunk_count{0};
    // Chunks made ahead: the reader pushes them here, the writer takes the
    // whole list into its own at once.
    std::atomic<Chunk *> m_spares{nullptr};
    uint64_t m_appended_at_last_room = 0; // reader's own

    // Writer side.
    Chunk *m_write_chunk = nullptr;
    int m_write_offset = 0;
    Chunk *m_own_spares = nullptr;
    // Published by the writer after each record: the bytes written so far
    // (low 48 bits) and the last record's length (high 16 bits).
    std::atomic<uint64_t> m_published{0};

    // Reader side; the oldest chunk is read by the writer.
    std::atomic<Chunk *> m_oldest_chunk{nullptr};
    Position m_oldest;
    Position m_read;
};

// A listener that keeps the packets of a source in a ring of at most 64 MiB.
class VyrPacketStore : public VyrPacketListener
{
public:
    static constexpr int64_t max_bytes = 0x4000000;

    VyrPacketStore();
    // Appends; sets the full flag and counts the packet lost when the ring
    // refuses it.
    void on_packet(const VyrPacket &packet) override;

    VyrPacketRing &ring() { return m_ring; }
    bool full() const { return m_full.load(); }
    // Packets the ring refused since the store was made: exact, any thread.
    uint64_t lost_count() const { return m_lost.load(std::memory_order_relaxed); }
    // Drops every record and clears the full flag.
    void clear();

private:
    VyrPacketRing m_ring;
    std::atomic<bool> m_full{false};
    std::atomic<uint64_t> m_lost{0};
};
