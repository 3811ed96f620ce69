#include "interfaces/hardware/can_hw_provider.h"

#include "settings/debug_trace.h"
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

int CANhwProviderList::call_each(const char *what, int (CANhwProvider::*call)())
{
    int failed = 0;
    for (CANhwProvider *p = head(); p; p = p->next()) {
        const int result = (p->*call)();
        if (result != 0) {
            debug_trace("CANhwProviderList::call_each: %s of provider %s -> %d", what, p->short_name().c_str(),
                        result);
            ++failed;
        }
    }
    return failed;
}

int CANhwProviderList::initialize_all_providers()
{
    return call_each("initialize_driver", &CANhwProvider::initialize_driver);
}

int CANhwProviderList::uninitialize_all_providers()
{
    return call_each("uninitialize_driver", &CANhwProvider::uninitialize_driver);
}

int CANhwProviderList::enumerate_all_channels()
{
    CANhwChannelInfoList::global().clear();
    return call_each("enumerate_channels", &CANhwProvider::enumerate_channels);
}
