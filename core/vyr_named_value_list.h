#pragma once
// A list of named 32-bit values with a case-sensitive name index; the first
// entry of a name wins lookups.
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

struct VyrNamedValue
{
    std::string name;
    uint32_t value = 0;
};

class VyrNamedValueList
{
public:
    // Appends an entry; it enters the index unless the name is there already.
    void add(const std::string &name, uint32_t value);
    // The first entry of the name, or null.
    const VyrNamedValue *find(const std::string &name) const;
    void clear();
    // Orders the entries by name, ignoring case (stable).
    void sort();

    int count() const { return int(entries_.size()); }
    const VyrNamedValue &at(int index) const { return *entries_[size_t(index)]; }

private:
    // Entries live on the heap so that the index survives sorting.
    std::vector<std::unique_ptr<VyrNamedValue>> entries_;
    std::unordered_map<std::string, const VyrNamedValue *> index_;
};
