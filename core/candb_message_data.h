#pragma once
// The latest transmit data of one identifier (the send buffer that a CAN
// interface keeps for every database message), and the table of them.
#include <cstdint>
#include <memory>
#include <vector>

class CANdbMessage;

class CANdbMessageData {
public:
    explicit CANdbMessageData(int capacity);
    CANdbMessageData(const CANdbMessageData &) = delete;
    CANdbMessageData &operator=(const CANdbMessageData &) = delete;
    virtual ~CANdbMessageData() = default;

    // Called after set_data stored new bytes.
    virtual void data_changed() {}
    // Called after the message, identifier or flags changed.
    virtual void changed() {}

    // Copies min(length, capacity) bytes, records that length and marks the entry valid.
    void set_data(const uint8_t *bytes, int length);
    void set_message(CANdbMessage *message);
    void set_id(int64_t id);
    void set_flags(uint32_t flags);
    // Zeroes the buffer and the length and marks the entry invalid.
    void clear();

    const uint8_t *data() const { return buffer_.data(); }
    int capacity() const { return static_cast<int>(buffer_.size()); }

    CANdbMessage *message = nullptr;
    int64_t id = -1; // -1 until set
    uint32_t flags = 0; // frame flags of the last stored frame
    int length = 0;
    bool valid = false;

private:
    std::vector<uint8_t> buffer_;
};

class CANdbMessageDataTable {
public:
    explicit CANdbMessageDataTable(int bucket_count);
    CANdbMessageDataTable(const CANdbMessageDataTable &) = delete;
    CANdbMessageDataTable &operator=(const CANdbMessageDataTable &) = delete;

    // The first entry whose bound message has that identifier; entries
    // without a message never match.
    CANdbMessageData *find(uint32_t id) const;
    // The entry of the identifier, created with that capacity when missing.
    CANdbMessageData *find_or_add(uint32_t id, int capacity);
    // Clears the data of every entry.
    void clear_all();
    // Destroys every entry.
    void clear();

    int bucket_count() const { return static_cast<int>(buckets_.size()); }
    // All entries in the order they were added.
    const std::vector<std::unique_ptr<CANdbMessageData>> &entries() const { return entries_; }

private:
    std::vector<std::vector<CANdbMessageData *>> buckets_; // newest first
    std::vector<std::unique_ptr<CANdbMessageData>> entries_;
};
