#pragma once
// A list of identifier ranges that either are the only identifiers to pass
// (type 0) or are blocked (type 1). The trace windows keep one per identifier
// width and turn it into the identifier bit sets they test frames against.
#include <cstdint>

class IdBitSet;
class QtbConfigGroup;
class SparseIdBitSet;

struct VyrIdRange
{
    uint32_t start;
    uint32_t end; // start <= end
    VyrIdRange *next = nullptr;
};

class VyrIdFilterList
{
public:
    enum FilterType { pass_listed = 0, block_listed = 1 };

    VyrIdFilterList(bool extended_id = false, int filter_type = block_listed);
    ~VyrIdFilterList();
    VyrIdFilterList(const VyrIdFilterList &) = delete;
    VyrIdFilterList &operator=(const VyrIdFilterList &) = delete;

    // As a new list: no ranges, active.
    void init(bool extended_id, int filter_type);
    void clear();
    void add_id(uint32_t id) { add_range(id, id); }
    // Appends the range with its bounds in order.
    void add_range(uint32_t a, uint32_t b);
    // Takes the identifier out of every range holding it: a one-identifier
    // range goes, a bound moves inwards, an inner identifier splits the range
    // and its upper part is appended at the tail.
    void remove_id(uint32_t id);
    // Unlinks and frees one range of this list; the cursor moves back so that
    // next_range continues with the range after it.
    void remove_range(VyrIdRange *range);
    // Merges every group of overlapping or touching ranges into one range that
    // stands where the group's first member stood in the list.
    void optimize();

    // Cursor iteration; null at the end.
    VyrIdRange *first_range();
    VyrIdRange *next_range();
    // The first range holding the identifier, or null.
    VyrIdRange *find_range(uint32_t id) const;

    // Type 0: only the listed identifiers set; type 1: all set but the listed
    // ones (a set bit lets the identifier pass).
    void apply_to_bitset(IdBitSet &set) const;
    void apply_to_sparse_bitset(SparseIdBitSet &set) const;

    void read_config(QtbConfigGroup *group);
    void write_config(QtbConfigGroup *group) const;

    bool extended_id() const { return m_extended_id; }
    void set_extended_id(bool extended) { m_extended_id = extended; }
    int filter_type() const { return m_filter_type; }
    void set_filter_type(int type) { m_filter_type = type; }
    bool active() const { return m_active; }
    void set_active(bool active) { m_active = active; }
    int count() const { return m_count; }

private:
    template <typename Set> void apply(Set &set) const;
    void append(VyrIdRange *range);
    // Unlinks the range that follows `previous` (the head when null) and frees it.
    void unlink_after(VyrIdRange *previous, VyrIdRange *range);

    bool m_extended_id;
    int m_filter_type;
    int m_count = 0;
    bool m_active = true;
    VyrIdRange *m_head = nullptr;
    VyrIdRange *m_tail = nullptr;
    VyrIdRange *m_cursor = nullptr;
    bool m_cursor_before_head = false; // the range at the cursor was the head and went
};
