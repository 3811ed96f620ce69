#include "interfaces/hardware/can_hw_provider.h"

#include "interfaces/hardware/can_hw_channel_info.h"

CANhwProvider::CANhwProvider(const char *short_name, const char *description)
    : short_name_(short_name ? short_name : ""), description_(description ? description : "")
{
}

CANhwProvider::~CANhwProvider() = default;

void CANhwProvider::link_into_list()
{
    CANhwProviderList::global().append(this);
}

void CANhwProvider::unlink_from_list()
{
    CANhwProviderList::global().remove(this);
}

CANhwProviderList &CANhwProviderList::global()
{
    // Built on first use, so providers in any translation unit find it.
    static CANhwProviderList list;
    return list;
}

void CANhwProviderList::append(CANhwProvider *provider)
{
    provider->next_ = nullptr;
    if (tail_)
        tail_->next_ = provider;
    else
        head_ = provider;
    tail_ = provider;
    ++count_;
}

void CANhwProviderList::remove(CANhwProvider *provider)
{
    CANhwProvider *previous = nullptr;
    for (CANhwProvider *p = head_; p; previous = p, p = p->next_) {
        if (p != provider)
            continue;
        (previous ? previous->next_ : head_) = p->next_;
        if (tail_ == p)
            tail_ = previous;
        p->next_ = nullptr;
        --count_;
        return;
    }
}

void CANhwProviderList::initialize_all_providers()
{
    for (CANhwProvider *p = head_; p; p = p->next_)
        p->initialize_driver();
}

void CANhwProviderList::uninitialize_all_providers()
{
    for (CANhwProvider *p = head_; p; p = p->next_)
        p->uninitialize_driver();
}

void CANhwProviderList::enumerate_all_channels()
{
    CANhwChannelInfoList::global().clear();
    for (CANhwProvider *p = head_; p; p = p->next_)
        p->enumerate_channels();
}
