#include "interfaces/hardware/can_hw_channel_info.h"

#include "interfaces/hardware/can_hw_channel.h"
#include "interfaces/hardware/can_hw_provider.h"

#include <cstring>

CANhwChannelInfo::CANhwChannelInfo(const std::string &name, const std::string &card_name,
                                   const std::string &user_channel_name, CANhwProvider *provider,
                                   int32_t card_number, int32_t channel_index, int32_t channel_on_card,
                                   int32_t card_type, int32_t transceiver_type)
    : name_(name), card_name_(card_name), user_channel_name_(user_channel_name), provider_(provider),
      card_number_(card_number), channel_index_(channel_index), channel_on_card_(channel_on_card),
      card_type_(card_type), transceiver_type_(transceiver_type)
{
}

CANhwChannelInfoList::~CANhwChannelInfoList()
{
    clear();
}

CANhwChannelInfoList &CANhwChannelInfoList::global()
{
    static CANhwChannelInfoList list;
    return list;
}

void CANhwChannelInfoList::append(CANhwChannelInfo *info)
{
    index_cache_.clear();
    info->next_ = nullptr;
    if (tail_)
        tail_->next_ = info;
    else
        head_ = info;
    tail_ = info;
    ++count_;
}

void CANhwChannelInfoList::clear()
{
    index_cache_.clear();
    while (head_) {
        CANhwChannelInfo *next = head_->next_;
        delete head_;
        head_ = next;
    }
    tail_ = nullptr;
    count_ = 0;
}

CANhwChannelInfo *CANhwChannelInfoList::channel_info(int index) const
{
    if (index < 0 || index >= count_)
        return nullptr;
    if (index_cache_.empty()) {
        index_cache_.reserve(size_t(count_));
        for (CANhwChannelInfo *info = head_; info; info = info->next_)
            index_cache_.push_back(info);
    }
    return index_cache_[size_t(index)];
}

int CANhwChannelInfoList::find_channel_info(const char *name) const
{
    if (!name)
        return -1;
    int index = 0;
    for (const CANhwChannelInfo *info = head_; info; info = info->next_, ++index)
        if (std::strcmp(info->name_.c_str(), name) == 0)
            return index;
    return -1;
}

const char *CANhwChannelInfoList::channel_name(int index) const
{
    const CANhwChannelInfo *info = channel_info(index);
    return info ? info->name_.c_str() : nullptr;
}

std::unique_ptr<CANhwChannel> CANhwChannelInfoList::make_channel(int index) const
{
    const CANhwChannelInfo *info = channel_info(index);
    if (!info || !info->provider_)
        return nullptr;
    return info->provider_->create_channel(*info);
}
