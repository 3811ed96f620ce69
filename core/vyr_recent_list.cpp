#include "core/vyr_recent_list.h"

#include <algorithm>
#include <strings.h>

VyrRecentList::VyrRecentList(int capacity, bool case_sensitive)
    : capacity_(std::max(capacity, 0)), case_sensitive_(case_sensitive)
{
    names_.reserve(size_t(capacity_));
}

const char *VyrRecentList::at(int index) const
{
    if (index < 0 || index >= count())
        return nullptr;
    return names_[size_t(index)].c_str();
}

bool VyrRecentList::same(const std::string &a, const char *b) const
{
    return case_sensitive_ ? a == b : strcasecmp(a.c_str(), b) == 0;
}

void VyrRecentList::add(const char *name)
{
    if (!name || capacity_ == 0)
        return;
    auto found = std::find_if(names_.begin(), names_.end(), [&](const std::string &n) { return same(n, name); });
    if (found != names_.end()) {
        std::rotate(names_.begin(), found, found + 1);
        return;
    }
    if (count() == capacity_)
        names_.pop_back();
    names_.insert(names_.begin(), std::string(name));
}
