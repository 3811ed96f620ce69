#pragma once
// Most-recently-used list of file names with a fixed capacity; the newest
// name is at index 0.
#include <string>
#include <vector>

class VyrRecentList
{
public:
    explicit VyrRecentList(int capacity, bool case_sensitive = true);

    // The name at `index`, or null past the number in use.
    const char *at(int index) const;
    int count() const { return int(names_.size()); }
    int capacity() const { return capacity_; }

    // Puts the name at the front: an equal name already in the list moves
    // there, otherwise the last name drops out when the list is full.
    void add(const char *name);

private:
    bool same(const std::string &a, const char *b) const;

    int capacity_;
    bool case_sensitive_;
    std::vector<std::string> names_;
};
