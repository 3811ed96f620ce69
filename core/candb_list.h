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
#include <memory>
#include <string_view>
#include <unordered_map>
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

template <typename T> class CANdbNamedList : public CANdbList<T> {
    using Base = CANdbList<T>;

public:
    // Longest list that is searched without an index.
    static constexpr int kIndexFrom = 16;

    T *append(std::unique_ptr<T> item) { return insert_at(std::move(item), -1); }
    T *insert_at(std::unique_ptr<T> item, int position)
    {
        const bool in_front = position >= 0 && position < Base::count();
        T *raw = Base::insert_at(std::move(item), position);
        if (!raw)
            return nullptr;
        if (!index_.empty()) {
            auto placed = index_.emplace(raw->name, raw);
            // A name already listed keeps its first element unless this one
            // went in front of it.
            if (!placed.second && in_front && position_of(raw) < position_of(placed.first->second))
                placed.first->second = raw;
        } else if (Base::count() > kIndexFrom) {
            build_index();
        }
        return raw;
    }
    std::unique_ptr<T> take(const T *item)
    {
        std::unique_ptr<T> taken = Base::take(item);
        if (taken && !index_.empty()) {
            auto entry = index_.find(taken->name);
            if (entry != index_.end() && entry->second == item) {
                index_.erase(entry);
                // Another element of the same name is found now.
                if (T *next = scan(taken->name.c_str()))
                    index_.emplace(next->name, next);
            }
        }
        return taken;
    }
    void clear()
    {
        index_.clear();
        Base::clear();
    }

    // The first element of that name in list order, or null (also for null).
    T *find(const char *name) const
    {
        if (!name)
            return nullptr;
        if (index_.empty())
            return scan(name);
        auto entry = index_.find(std::string_view(name));
        return entry == index_.end() ? nullptr : entry->second;
    }

private:
    T *scan(const char *name) const
    {
        for (T *item : *this)
            if (item->name == name)
                return item;
        return nullptr;
    }
    int position_of(const T *item) const
    {
        int position = 0;
        for (T *listed : *this) {
            if (listed == item)
                return position;
            ++position;
        }
        return -1;
    }
    void build_index()
    {
        for (T *item : *this)
            index_.emplace(item->name, item); // keeps the first of a name
    }

    // Keys view the elements' own names.
    std::unordered_map<std::string_view, T *> index_;
};
