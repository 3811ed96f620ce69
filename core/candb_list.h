#pragma once
// The list shapes of the network database.
//
// CANdbList owns its elements through std::unique_ptr and keeps them in the
// order they were added (or at the position given); it iterates as plain
// pointers. CANdbNamedList adds lookup by the elements' `name`: the first
// match in list order. Short lists are searched; once a list is longer than
// kIndexFrom it keeps a hash of the names beside it, so that readers that look
// thousands of names up stay linear. An element's name is its key while it is
// listed: it must not change until the element leaves the list.
#include <cstddef>
#include <functional>
#include <memory>
#include <string_view>
#include <vector>

template <typename T> class CANdbList {
    using Items = std::vector<std::unique_ptr<T>>;

public:
    class iterator {
    public:
        explicit iterator(typename Items::const_iterator at) : at_(at) {}
        T *operator*() const { return at_->get(); }
        iterator &operator++()
        {
            ++at_;
            return *this;
        }
        bool operator==(const iterator &other) const { return at_ == other.at_; }
        bool operator!=(const iterator &other) const { return at_ != other.at_; }

    private:
        typename Items::const_iterator at_;
    };

    CANdbList() = default;
    CANdbList(const CANdbList &) = delete;
    CANdbList &operator=(const CANdbList &) = delete;
    ~CANdbList() { clear(); }

    iterator begin() const { return iterator(items_.begin()); }
    iterator end() const { return iterator(items_.end()); }
    int count() const { return static_cast<int>(items_.size()); }
    bool empty() const { return items_.empty(); }
    // The element at the 0-based position, or null outside the list.
    T *at(int position) const
    {
        return position >= 0 && position < count() ? items_[static_cast<size_t>(position)].get() : nullptr;
    }
    T *first() const { return at(0); }
    T *last() const { return at(count() - 1); }
    // Moves a cursor (a position, -1 for none) to the next element and
    // answers it; past the last one the cursor is none.
    T *step(int &cursor) const
    {
        cursor = cursor >= 0 && cursor + 1 < count() ? cursor + 1 : -1;
        return at(cursor);
    }
    // Sets a cursor to the first element and answers it.
    T *start(int &cursor) const
    {
        cursor = empty() ? -1 : 0;
        return at(cursor);
    }

    // Both take the element and answer it; null (and no change) for null.
    T *append(std::unique_ptr<T> item) { return insert_at(std::move(item), -1); }
    // Places the element before the one at the 0-based position; a position
    // outside 0..count-1 appends.
    T *insert_at(std::unique_ptr<T> item, int position)
    {
        if (!item)
            return nullptr;
        T *raw = item.get();
        if (position < 0 || position >= count())
            items_.push_back(std::move(item));
        else
            items_.insert(items_.begin() + position, std::move(item));
        return raw;
    }
    // Takes the element out of the list and hands it to the caller; null
    // when it is not listed.
    std::unique_ptr<T> take(const T *item)
    {
        for (auto it = items_.begin(); it != items_.end(); ++it) {
            if (it->get() != item)
                continue;
            std::unique_ptr<T> taken = std::move(*it);
            items_.erase(it);
            return taken;
        }
        return nullptr;
    }
    // Destroys the elements from the last to the first.
    void clear()
    {
        while (!items_.empty())
            items_.pop_back();
    }

private:
    Items items_;
};

// Removes the last occurrence of the value from the vector of references;
// searched from the tail, where elements that go in reverse order stand.
template <typename T> void erase_last_of(std::vector<T *> &references, const T *value)
{
    for (size_t i = references.size(); i-- > 0;) {
        if (references[i] == value) {
            references.erase(references.begin() + static_cast<std::ptrdiff_t>(i));
            return;
        }
    }
}

// Derived privately: every change goes through the index.
template <typename T> class CANdbNamedList : private CANdbList<T> {
    using Base = CANdbList<T>;

public:
    using typename Base::iterator;
    using Base::at;
    using Base::begin;
    using Base::count;
    using Base::empty;
    using Base::end;
    using Base::first;
    using Base::last;
    using Base::start;
    using Base::step;

    // Longest list that is searched without an index.
    static constexpr int kIndexFrom = 16;

    T *append(std::unique_ptr<T> item) { return insert_at(std::move(item), -1); }
    T *insert_at(std::unique_ptr<T> item, int position)
    {
        const bool appended = position < 0 || position >= Base::count();
        T *raw = Base::insert_at(std::move(item), position);
        if (!raw)
            return nullptr;
        if (!slots_.empty() && appended)
            index(raw); // a name already listed keeps its first element
        else if (Base::count() > kIndexFrom)
            rebuild_index(); // an element placed in front may come first now
        return raw;
    }
    std::unique_ptr<T> take(const T *item)
    {
        std::unique_ptr<T> taken = Base::take(item);
        if (taken && !slots_.empty())
            rebuild_index();
        return taken;
    }
    void clear()
    {
        slots_.clear();
        used_ = 0;
        Base::clear();
    }

    // The first element of that name in list order, or null (also for null).
    T *find(const char *name) const
    {
        if (!name)
            return nullptr;
        const std::string_view key(name);
        if (slots_.empty()) {
            for (T *item : *this)
                if (item->name == key)
                    return item;
            return nullptr;
        }
        return slots_[slot_of(key, hash_of(key))].item;
    }

private:
    // An open-addressing table of the names, at most half full; its size is
    // a power of two.
    struct Slot {
        size_t hash = 0;
        T *item = nullptr; // null: free
    };

    static size_t hash_of(std::string_view name) { return std::hash<std::string_view>()(name); }
    // The slot that holds the name, or the free slot where it would go.
    size_t slot_of(std::string_view name, size_t hash) const
    {
        const size_t mask = slots_.size() - 1;
        size_t at = hash & mask;
        while (slots_[at].item && (slots_[at].hash != hash || slots_[at].item->name != name))
            at = (at + 1) & mask;
        return at;
    }
    void index(T *item)
    {
        if (2 * (used_ + 1) > slots_.size()) {
            rebuild_index();
            return;
        }
        const size_t hash = hash_of(item->name);
        Slot &slot = slots_[slot_of(item->name, hash)];
        if (!slot.item) {
            slot = {hash, item};
            ++used_;
        }
    }
    void rebuild_index()
    {
        size_t size = 64;
        while (size < 4 * static_cast<size_t>(Base::count()))
            size *= 2;
        slots_.assign(size, Slot());
        used_ = 0;
        for (T *item : *this) {
            const size_t hash = hash_of(item->name);
            Slot &slot = slots_[slot_of(item->name, hash)];
            if (!slot.item) {
                slot = {hash, item};
                ++used_;
            }
        }
    }

    std::vector<Slot> slots_;
    size_t used_ = 0;
};
