#pragma once
// One record per hardware channel that a provider found, and the global list
// of them. Configurations refer to a channel by its name; the list is rebuilt
// by every enumeration, so callers keep names and look them up again, never
// record pointers.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CANhwChannel;
class CANhwProvider;

class CANhwChannelInfo
{
public:
    CANhwChannelInfo(const std::string &name, const std::string &card_name, const std::string &user_channel_name,
                     CANhwProvider *provider, int32_t card_number, int32_t channel_index, int32_t channel_on_card,
                     int32_t card_type, int32_t transceiver_type);

    // Unique channel name, the key of configurations.
    const std::string &name() const { return name_; }
    const std::string &card_name() const { return card_name_; }
    // The name the user stored in the device; empty when there is none.
    const std::string &user_channel_name() const { return user_channel_name_; }
    CANhwProvider *provider() const { return provider_; }
    // Index of the card within its driver, -1 when the driver does not tell.
    int32_t card_number() const { return card_number_; }
    // Index in the provider's own channel table, handed to the channel object.
    int32_t channel_index() const { return channel_index_; }
    int32_t channel_on_card() const { return channel_on_card_; }
    int32_t card_type() const { return card_type_; }
    int32_t transceiver_type() const { return transceiver_type_; }
    // 0 when the card does not report one.
    uint32_t serial_number() const { return serial_number_; }
    void set_serial_number(uint32_t serial_number) { serial_number_ = serial_number; }

    CANhwChannelInfo *next() const { return next_; }

private:
    friend class CANhwChannelInfoList;
    CANhwChannelInfo *next_ = nullptr;
    std::string name_;
    std::string card_name_;
    std::string user_channel_name_;
    CANhwProvider *provider_;
    int32_t card_number_;
    int32_t channel_index_;
    int32_t channel_on_card_;
    uint32_t serial_number_ = 0;
    int32_t card_type_;
    int32_t transceiver_type_;
};

// A list of channel records in the order the providers found them, with an
// index cache that is built on the first access by index and dropped by every
// append or clear, so an index never reaches a stale array.
class CANhwChannelInfoList
{
public:
    CANhwChannelInfoList() = default;
    ~CANhwChannelInfoList();
    CANhwChannelInfoList(const CANhwChannelInfoList &) = delete;
    CANhwChannelInfoList &operator=(const CANhwChannelInfoList &) = delete;

    // The list of the program, filled by the providers.
    static CANhwChannelInfoList &global();

    // Takes ownership of the record.
    void append(CANhwChannelInfo *info);
    // Deletes every record.
    void clear();

    int channel_info_count() const { return count_; }
    // The record at an index, null when out of range.
    CANhwChannelInfo *channel_info(int index) const;
    // Index of the first record whose name equals `name` byte for byte; -1 when
    // none does or name is null.
    int find_channel_info(const char *name) const;
    // The record's name, null when out of range.
    const char *channel_name(int index) const;
    // A new channel object from the record's provider; null when the index is
    // out of range or the record has no provider.
    std::unique_ptr<CANhwChannel> make_channel(int index) const;

    CANhwChannelInfo *head() const { return head_; }

private:
    CANhwChannelInfo *head_ = nullptr;
    CANhwChannelInfo *tail_ = nullptr;
    int count_ = 0;
    mutable std::vector<CANhwChannelInfo *> index_cache_;
};
