#include "interfaces/hardware/can_hw_provider.h"

#include "interfaces/hardware/can_hw_channel_info.h"

CANhwProvider::CANhwProvider(const char *short_name, const char *description)
    : short_name_(short_name ? short_name : ""), description_(description ? description : "")
{
}

CANhwProvider::~CANhwProvider() = default;

CANhwProvider *CANhwProvider::next() const
{
    return CANhwProviderList::List::next(this);
}

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
    providers_.push_back(provider);
}

void CANhwProviderList::remove(CANhwProvider *provider)
{
    providers_.remove(provider);
}

void CANhwProviderList::initialize_all_providers()
{
    for (CANhwProvider *p = head(); p; p = p->next())
        p->initialize_driver();
}

void CANhwProviderList::uninitialize_all_providers()
{
    for (CANhwProvider *p = head(); p; p = p->next())
        p->uninitialize_driver();
}

void CANhwProviderList::enumerate_all_channels()
{
    CANhwChannelInfoList::global().clear();
    for (CANhwProvider *p = head(); p; p = p->next())
        p->enumerate_channels();
}
