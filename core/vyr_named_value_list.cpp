#include "core/vyr_named_value_list.h"

#include <algorithm>
#include <strings.h>

void VyrNamedValueList::add(const std::string &name, uint32_t value)
{
    entries_.push_back(std::make_unique<VyrNamedValue>(VyrNamedValue{name, value}));
    index_.emplace(name, entries_.back().get()); // keeps an earlier entry of the name
}

const VyrNamedValue *VyrNamedValueList::find(const std::string &name) const
{
    const auto found = index_.find(name);
    return found == index_.end() ? nullptr : found->second;
}

void VyrNamedValueList::clear()
{
    index_.clear();
    entries_.clear();
}

void VyrNamedValueList::sort()
{
    std::stable_sort(entries_.begin(), entries_.end(), [](const auto &a, const auto &b) {
        return strcasecmp(a->name.c_str(), b->name.c_str()) < 0;
    });
}
