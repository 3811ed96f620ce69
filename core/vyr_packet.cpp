#include "core/vyr_packet.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace {

constexpr int header_size = VyrPacketLayout::header_size;
constexpr uint64_t count_mask = (uint64_t(1) << 48) - 1;

const std::string empty_text;

uint16_t get_u16(const uint8_t *p)
{
    return uint16_t(p[0] | (p[1] << 8));
}

void put_u16(uint8_t *p, uint16_t value)
{
    p[0] = uint8_t(value);
    p[1] = uint8_t(value >> 8);
}

uint32_t get_u32(const uint8_t *p, int bytes = 4)
{
    uint32_t value = 0;
    for (int i = bytes - 1; i >= 0; --i)
        value = (value << 8) | p[i];
    return value;
}

void put_u32(uint8_t *p, uint32_t value, int bytes = 4)
{
    for (int i = 0; i < bytes; ++i)
        p[i] = uint8_t(value >> (8 * i));
}

struct TypeDefault
{
    bool variable;
    int size;
};

TypeDefault type_default(int type)
{
    switch (type) {
    case VyrPacketLayout::Int:
    case VyrPacketLayout::Int2:
        return {false, 4};
    case VyrPacketLayout::Value8:
        return {false, 8};
    case VyrPacketLayout::Text:
    case VyrPacketLayout::Utf8Text:
        return {true, 250};
    case VyrPacketLayout::Bytes:
        return {true, 256};
    default:
        return {false, 0};
    }
}

} // namespace

// --- VyrPacketLayout ----------------------------------------------------------

VyrPacketLayout::VyrPacketLayout(int field_count) : m_fields(size_t(std::max(field_count, 0)))
{
    place_fields();
}

void VyrPacketLayout::define_field(int index, const char *name, const char *text, int type, int size)
{
    if (index < 0 || index >= field_count())
        return;
    Field &field = m_fields[size_t(index)];
    const TypeDefault def = type_default(type);
    field.type = type;
    field.name = name ? name : "";
    field.text = text ? text : "";
    field.variable = def.variable;
    const int chosen = size < 0 ? def.size : size;
    field.size = def.variable ? 2 : chosen;
    field.max_size = def.variable ? chosen : 0;
    place_fields();
}

void VyrPacketLayout::place_fields()
{
    int offset = header_size;
    int fixed = header_size;
    int max = header_size;
    for (Field &field : m_fields) {
        field.offset = offset;
        offset += field.size;
        if (field.variable) {
            // The slot and two spare bytes in the fixed part, then the
            // data's 2-byte length and the data.
            fixed += 4;
            max += 4 + 2 + field.max_size;
        } else {
            fixed += field.size;
            max += field.size;
        }
    }
    m_fixed_size = fixed;
    m_max_size = max;
}

int VyrPacketLayout::field_type(int index) const
{
    return index >= 0 && index < field_count() ? m_fields[size_t(index)].type : None;
}

const std::string &VyrPacketLayout::field_name(int index) const
{
    return index >= 0 && index < field_count() ? m_fields[size_t(index)].name : empty_text;
}

const std::string &VyrPacketLayout::field_text(int index) const
{
    return index >= 0 && index < field_count() ? m_fields[size_t(index)].text : empty_text;
}

int VyrPacketLayout::field_max_size(int index) const
{
    if (index < 0 || index >= field_count())
        return 0;
    const Field &field = m_fields[size_t(index)];
    return field.variable ? field.max_size : field.size;
}

bool VyrPacketLayout::field_variable(int index) const
{
    return index >= 0 && index < field_count() && m_fields[size_t(index)].variable;
}

int VyrPacketLayout::field_offset(int index) const
{
    return index >= 0 && index < field_count() ? m_fields[size_t(index)].offset : 0;
}

// --- VyrPacket ----------------------------------------------------------------

VyrPacket::VyrPacket(const VyrPacketLayout *layout)
    : m_layout(layout), m_max_size(layout ? layout->max_size() : header_size),
      m_length(layout ? layout->fixed_size() : header_size), m_buffer(size_t(m_max_size + 10), 0)
{}

void VyrPacket::clear()
{
    m_length = m_layout ? m_layout->fixed_size() : header_size;
    std::fill(m_buffer.begin(), m_buffer.begin() + m_length, uint8_t(0));
    m_buffer[1] = 1;
}

uint32_t VyrPacket::time_ms() const
{
    return get_u32(&m_buffer[6]) * 1000 + get_u32(&m_buffer[10]) / 1000;
}

void VyrPacket::set_time_ms(uint32_t ms)
{
    // 24 bits each, the top byte left 0.
    put_u32(&m_buffer[6], ms / 1000, 3);
    m_buffer[9] = 0;
    put_u32(&m_buffer[10], (ms % 1000) * 1000, 3);
    m_buffer[13] = 0;
    m_buffer[0] |= TimeValid;
}

uint32_t VyrPacket::counter() const
{
    return get_u32(&m_buffer[14]);
}

void VyrPacket::set_counter(uint32_t counter)
{
    put_u32(&m_buffer[14], counter);
    m_buffer[0] |= CounterValid;
}

const uint8_t *VyrPacket::field_data(int index, int *length) const
{
    *length = 0;
    if (!m_layout || index < 0 || index >= m_layout->field_count())
        return nullptr;
    const int offset = m_layout->field_offset(index);
    if (!m_layout->field_variable(index)) {
        *length = m_layout->field_max_size(index);
        return &m_buffer[size_t(offset)];
    }
    const int position = get_u16(&m_buffer[size_t(offset)]);
    if (position < m_layout->fixed_size() || position + 2 > m_length)
        return nullptr; // the field holds nothing
    *length = std::min<int>(get_u16(&m_buffer[size_t(position)]), m_length - position - 2);
    return &m_buffer[size_t(position) + 2];
}

uint32_t VyrPacket::field_int(int index) const
{
    int length = 0;
    const uint8_t *data = field_data(index, &length);
    return data ? get_u32(data, std::min(length, 4)) : 0;
}

void VyrPacket::set_int_field(int index, uint32_t value)
{
    if (!m_layout || m_layout->field_variable(index) || index < 0 || index >= m_layout->field_count())
        return;
    put_u32(&m_buffer[size_t(m_layout->field_offset(index))], value, std::min(m_layout->field_max_size(index), 4));
}

int VyrPacket::append_variable(int index, const uint8_t *bytes, int count, bool zero_terminated)
{
    if (!m_layout || !m_layout->field_variable(index))
        return -1;
    const int max = m_layout->field_max_size(index);
    int stored = std::min(count + (zero_terminated ? 1 : 0), max);
    if (stored < 0)
        stored = 0;
    if (m_length + 2 + stored > m_max_size)
        return -1;
    const int position = m_length;
    put_u16(&m_buffer[size_t(m_layout->field_offset(index))], uint16_t(position));
    put_u16(&m_buffer[size_t(position)], uint16_t(stored));
    uint8_t *out = &m_buffer[size_t(position) + 2];
    const int copied = zero_terminated ? stored - 1 : stored;
    if (copied > 0)
        std::memcpy(out, bytes, size_t(copied));
    if (zero_terminated && stored > 0)
        out[stored - 1] = 0;
    m_length = position + 2 + stored;
    return 0;
}

int VyrPacket::set_string_field(int index, const char *text)
{
    if (!text)
        text = "";
    return append_variable(index, reinterpret_cast<const uint8_t *>(text), int(std::strlen(text)), true);
}

int VyrPacket::set_data_field(int index, const uint8_t *bytes, int count)
{
    return append_variable(index, bytes, count, false);
}

// --- VyrPacketSource ----------------------------------------------------------

VyrPacketSource::VyrPacketSource(const std::string &name, const VyrPacketLayout *layout)
    : m_name(name), m_layout(layout)
{}

void VyrPacketSource::add_listener(VyrPacketListener *listener)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_listeners.push_back(listener);
}

void VyrPacketSource::remove_listener(VyrPacketListener *listener)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_listeners.remove(listener);
}

void VyrPacketSource::notify_listeners(const VyrPacket &packet)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    for (VyrPacketListener *l = m_listeners.first(); l; l = m_listeners.next(l))
        l->on_packet(packet);
}

// --- VyrPacketRing --------------------------------------------------------------

struct VyrPacketRing::Chunk
{
    // Made and zeroed on the reader's side, so that its pages are in place.
    explicit Chunk(int size) : data(new uint8_t[size_t(size)]()), size(size) {}
    std::unique_ptr<uint8_t[]> data;
    int size;
    Chunk *previous = nullptr;
    Chunk *next = nullptr;
    Chunk *spare_next = nullptr; // in a list of chunks made ahead
};

VyrPacketRing::VyrPacketRing(int64_t max_bytes) : m_max_bytes(max_bytes)
{
    Chunk *first = nullptr;
    Chunk *last = nullptr;
    for (int64_t bytes = 0; bytes < initial_bytes; bytes += chunk_size) {
        auto *chunk = new Chunk(chunk_size);
        if (last) {
            last->next = chunk;
            chunk->previous = last;
        } else {
            first = chunk;
        }
        last = chunk;
    }
    last->next = first;
    first->previous = last;
    m_chunk_count = initial_bytes / chunk_size;
    m_total_bytes = initial_bytes;
    m_write_chunk = first;
    m_oldest_chunk = first;
    m_oldest.chunk = first;
    m_read.chunk = first;
    make_room();
}

VyrPacketRing::~VyrPacketRing()
{
    Chunk *chunk = m_write_chunk;
    const int count = m_chunk_count.load();
    for (int i = 0; i < count; ++i) {
        Chunk *next = chunk->next;
        delete chunk;
        chunk = next;
    }
    delete_list(m_own_spares);
    delete_list(m_spares.load(std::memory_order_acquire));
}

void VyrPacketRing::delete_list(Chunk *chunk)
{
    while (chunk) {
        Chunk *next = chunk->spare_next;
        delete chunk;
        chunk = next;
    }
}

void VyrPacketRing::make_room()
{
    const uint64_t appended = write_count();
    const int64_t wanted = std::max<int64_t>(minimum_reserve, 2 * int64_t(appended - m_appended_at_last_room));
    m_appended_at_last_room = appended;
    const int64_t linked = int64_t(m_chunk_count.load(std::memory_order_acquire)) * chunk_size;
    while (m_total_bytes.load() - linked < wanted && m_total_bytes.load() + chunk_size <= m_max_bytes) {
        auto *chunk = new Chunk(chunk_size);
        Chunk *head = m_spares.load(std::memory_order_relaxed);
        do
            chunk->spare_next = head;
        while (!m_spares.compare_exchange_weak(head, chunk, std::memory_order_release, std::memory_order_relaxed));
        m_total_bytes += chunk_size;
    }
}

VyrPacketRing::Chunk *VyrPacketRing::take_spare()
{
    if (!m_own_spares)
        m_own_spares = m_spares.exchange(nullptr, std::memory_order_acquire);
    Chunk *chunk = m_own_spares;
    if (chunk)
        m_own_spares = chunk->spare_next;
    return chunk;
}

int VyrPacketRing::append(const VyrPacket &packet)
{
    const int length = packet.length();
    if (length < header_size || length > 0xFFFF)
        return -1;
    const uint64_t published = m_published.load(std::memory_order_relaxed);
    uint8_t header[6];
    std::memcpy(header, packet.data(), 2);
    put_u16(header + 2, uint16_t(length));
    put_u16(header + 4, uint16_t(published >> 48));

    // The position moves in locals: nothing is visible to the reader, and
    // the position stays where it was, until the record is complete.
    Chunk *chunk = m_write_chunk;
    int offset = m_write_offset;
    int done = 0;
    while (done < length) {
        if (offset == chunk->size) {
            if (chunk->next == m_oldest_chunk.load(std::memory_order_acquire)) {
                Chunk *added = take_spare();
                if (!added)
                    return -1;
                added->previous = chunk;
                added->next = chunk->next;
                chunk->next->previous = added;
                chunk->next = added;
                ++m_chunk_count;
            }
            chunk = chunk->next;
            offset = 0;
        }
        const int n = std::min(length - done, chunk->size - offset);
        for (int i = 0; i < n; ++i) {
            const int at = done + i;
            chunk->data[size_t(offset + i)] = at < 6 ? header[at] : packet.data()[at];
        }
        done += n;
        offset += n;
    }
    m_write_chunk = chunk;
    m_write_offset = offset;
    m_published.store((uint64_t(length) << 48) | ((published & count_mask) + uint64_t(length)),
                      std::memory_order_release);
    return 0;
}

uint64_t VyrPacketRing::write_count() const
{
    return m_published.load(std::memory_order_acquire) & count_mask;
}

int64_t VyrPacketRing::stored_bytes() const
{
    return int64_t(write_count() - m_oldest.count);
}

VyrPacketRing::Position VyrPacketRing::advanced(const Position &from, int count) const
{
    Position to = from;
    Chunk *chunk = to.chunk;
    int left = count;
    while (left > 0) {
        if (to.offset == chunk->size) {
            chunk = chunk->next;
            to.offset = 0;
        }
        const int n = std::min(left, chunk->size - to.offset);
        to.offset += n;
        left -= n;
    }
    to.chunk = chunk;
    to.count += uint64_t(count);
    return to;
}

VyrPacketRing::Position VyrPacketRing::stepped_back(const Position &from, int count) const
{
    Position to = from;
    Chunk *chunk = to.chunk;
    to.offset -= count;
    while (to.offset < 0) {
        chunk = chunk->previous;
        to.offset += chunk->size;
    }
    to.chunk = chunk;
    to.count -= uint64_t(count);
    return to;
}

void VyrPacketRing::copy_out(const Position &from, uint8_t *out, int count) const
{
    Chunk *chunk = from.chunk;
    int offset = from.offset;
    while (count > 0) {
        if (offset == chunk->size) {
            chunk = chunk->next;
            offset = 0;
        }
        const int n = std::min(count, chunk->size - offset);
        std::memcpy(out, &chunk->data[size_t(offset)], size_t(n));
        out += n;
        offset += n;
        count -= n;
    }
}

uint16_t VyrPacketRing::read_u16(const Position &at, int offset) const
{
    uint8_t bytes[2];
    copy_out(advanced(at, offset), bytes, 2);
    return get_u16(bytes);
}

bool VyrPacketRing::at_end() const
{
    return m_read.count >= write_count();
}

bool VyrPacketRing::at_begin() const
{
    return m_read.count == m_oldest.count;
}

int VyrPacketRing::read_packet(VyrPacket &packet) const
{
    if (at_end())
        return -1;
    const int length = read_u16(m_read, 2);
    if (length > packet.max_size() + 10)
        return -1;
    copy_out(m_read, packet.data(), length);
    packet.set_length(length);
    return 0;
}

uint8_t *VyrPacketRing::record_flags()
{
    if (at_end())
        return nullptr;
    Position at = m_read;
    Chunk *chunk = at.chunk;
    if (at.offset == chunk->size) {
        chunk = chunk->next;
        at.offset = 0;
    }
    return &chunk->data[size_t(at.offset)];
}

int VyrPacketRing::seek(int n)
{
    for (; n > 0; --n) {
        if (at_end())
            return n;
        m_read = advanced(m_read, read_u16(m_read, 2));
    }
    for (; n < 0; ++n) {
        if (m_read.count <= m_oldest.count)
            return -n;
        // At the newest end there is no record under the cursor: the
        // writer's last length, read with the count it belongs to, gives
        // the step.
        const uint64_t published = m_published.load(std::memory_order_acquire);
        const int step = m_read.count == (published & count_mask) ? int(published >> 48) : read_u16(m_read, 4);
        m_read = stepped_back(m_read, step);
    }
    return 0;
}

int VyrPacketRing::seek_begin(int n)
{
    if (n <= 0)
        return 0;
    for (; n > 0; --n) {
        if (m_oldest.count >= write_count())
            return n;
        m_oldest = advanced(m_oldest, read_u16(m_oldest, 2));
        if (m_read.count < m_oldest.count)
            m_read = m_oldest;
        m_oldest_chunk.store(m_oldest.chunk, std::memory_order_release);
    }
    return 0;
}

void VyrPacketRing::seek_oldest()
{
    m_read = m_oldest;
}

void VyrPacketRing::discard_all()
{
    seek_begin(0x7FFFFFFF);
    m_read = m_oldest;
}

// --- VyrPacketStore -------------------------------------------------------------

VyrPacketStore::VyrPacketStore() : m_ring(max_bytes) {}

void VyrPacketStore::on_packet(const VyrPacket &packet)
{
    if (m_ring.append(packet) != 0) {
        m_full.store(true);
        m_lost.store(m_lost.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
    }
}

void VyrPacketStore::clear()
{
    m_ring.discard_all();
    m_full.store(false);
}
