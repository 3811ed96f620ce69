#pragma once
// A hardware provider stands for one family of CAN hardware. Each concrete
// provider is one static object, built before main(), that links itself into
// the global provider list; at program start every provider loads its driver
// and lists its channels into the global channel-info list, and later creates
// the channel objects for the channels it found.
#include "core/intrusive_list.h"

#include <memory>
#include <string>

class CANhwChannel;
class CANhwChannelInfo;

class CANhwProvider
{
public:
    CANhwProvider(const char *short_name, const char *description);
    virtual ~CANhwProvider();
    CANhwProvider(const CANhwProvider &) = delete;
    CANhwProvider &operator=(const CANhwProvider &) = delete;

    virtual int initialize_driver() = 0;
    virtual int uninitialize_driver() = 0;
    // Appends a record for every channel of this provider to the global channel-info list.
    virtual int enumerate_channels() = 0;
    // A new channel object for one of this provider's records.
    virtual std::unique_ptr<CANhwChannel> create_channel(const CANhwChannelInfo &info) = 0;

    // Empty when absent.
    const std::string &short_name() const { return short_name_; }
    const std::string &description() const { return description_; }
    CANhwProvider *next() const;

protected:
    // Called by the concrete provider's constructor once it is fully built,
    // and by its destructor before its parts go.
    void link_into_list();
    void unlink_from_list();

private:
    friend class CANhwProviderList;
    std::string short_name_;
    std::string description_;
    IntrusiveLink<CANhwProvider> link_;
};

// The global provider list, in construction order.
class CANhwProviderList
{
public:
    static CANhwProviderList &global();

    CANhwProvider *head() const { return providers_.first(); }
    int count() const { return providers_.size(); }

    void append(CANhwProvider *provider);
    void remove(CANhwProvider *provider);

    // Each of these calls every provider in list order, also after one
    // failed, and answers how many failed (answered non-zero); each failure
    // goes to the debug trace with the provider and its result.
    // initialize_driver of every provider (program start).
    int initialize_all_providers();
    // uninitialize_driver of every provider (program exit).
    int uninitialize_all_providers();
    // Clears the global channel-info list, then lets every provider
    // enumerate its channels into it.
    int enumerate_all_channels();

private:
    int call_each(const char *what, int (CANhwProvider::*call)());

    friend class CANhwProvider;
    using List = IntrusiveList<CANhwProvider, &CANhwProvider::link_>;
    List providers_;
};
