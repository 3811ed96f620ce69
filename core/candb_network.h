#pragma once
// The network database of one description file: messages with their signals,
// nodes, value tables, attribute definitions and values, environment
// variables, and for LIN files schedule tables and encoding types.
//
// The network owns everything it reaches. It is built on the GUI thread by a
// reader and then only read (decode_frame on an interface's realtime thread),
// except for the signals' observer lists, which change only while no
// measurement runs, and the cursors, which one thread at a time may use.
#include "core/candb_attribute_def.h"
#include "core/candb_attribute_value.h"
#include "core/candb_env_var.h"
#include "core/candb_list.h"
#include "core/candb_message.h"
#include "core/candb_node.h"
#include "core/candb_signal.h"
#include "core/candb_value_table.h"
#include "core/lin_encoding_type.h"
#include "core/lin_schedule_table.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CANdbNetwork {
public:
    // The identifier hash has this many buckets whatever the database size.
    static constexpr uint32_t kHashBuckets = 4099;

    CANdbNetwork();
    CANdbNetwork(const CANdbNetwork &) = delete;
    CANdbNetwork &operator=(const CANdbNetwork &) = delete;
    ~CANdbNetwork();

    // The network takes what it is given; each adder answers the element,
    // or null (and no change) for null.
    // Registers the message in the identifier hash and places it at the
    // 0-based position (appends when out of range).
    CANdbMessage *insert_message(std::unique_ptr<CANdbMessage> message, int position = -1);
    CANdbNode *insert_node(std::unique_ptr<CANdbNode> node, int position = -1);
    // Each appends and sets the owner.
    CANdbEnvVar *add_env_var(std::unique_ptr<CANdbEnvVar> var);
    CANdbValueTable *add_value_table(std::unique_ptr<CANdbValueTable> table);
    CANdbAttributeDef *add_attribute_def(std::unique_ptr<CANdbAttributeDef> definition);
    LinScheduleTable *add_schedule_table(std::unique_ptr<LinScheduleTable> table);
    LinEncodingType *add_encoding_type(std::unique_ptr<LinEncodingType> type);
    // Stores the holder of signals that belong to no frame once; -1 (and the
    // message destroyed) when one is set.
    int set_pseudo_message(std::unique_ptr<CANdbMessage> message);
    void set_comment(const char *text) { comment = text ? text : ""; }
    void set_source_name(const char *text) { source_name = text ? text : ""; }

    // Lookups by name: exact comparison, first match in list order, or null;
    // hashed on long lists, so a listed element keeps its name.
    CANdbMessage *find_message(const char *name) const;
    CANdbNode *find_node(const char *name) const;
    CANdbEnvVar *find_env_var(const char *name) const;
    CANdbValueTable *find_value_table(const char *name) const;
    CANdbAttributeDef *find_attribute_def(const char *name) const;
    LinEncodingType *find_encoding_type(const char *name) const;
    // The message of the identifier (bit 31 marks an extended one);
    // kCANdbPseudoMessageId gives the pseudo-message.
    CANdbMessage *find_message_by_id(uint32_t id) const;
    // The message of the parameter group number.
    CANdbMessage *find_message_by_j1939_key(uint32_t pgn) const;

    // Decodes a received frame into the signals of every matching message
    // (id carries bit 31 for an extended frame; on a FlexRay network it is
    // slot * 64 + cycle). Returns the number of matching messages.
    int decode_frame(uint32_t id, const uint8_t *data, int length, void *argument) const;

    // Cursors over messages and nodes (one iteration at a time).
    CANdbMessage *first_message();
    CANdbMessage *next_message();
    CANdbNode *first_node();

    void clear_hash();
    // Registers every message again, after identifiers, flags or J1939 modes changed.
    void rehash_messages();

    // Post-load passes, run by the DBC reader in this order.
    void apply_can_fd_attributes();
    void apply_j1939_attributes();
    void resolve_sign_signals(CANdbMessage *message);

    std::string source_name; // base name of the file, set by the reader base
    std::string comment;
    std::string reader_text_1; // free for the readers
    std::string reader_text_2;
    std::unique_ptr<CANdbMessage> pseudo_message;
    CANdbNamedList<CANdbMessage> messages;
    CANdbNamedList<CANdbEnvVar> env_vars;
    CANdbNamedList<CANdbValueTable> value_tables;
    CANdbNamedList<CANdbNode> nodes;
    CANdbNamedList<CANdbAttributeDef> attribute_defs;
    CANdbAttributeValueList attributes;
    CANdbList<LinScheduleTable> schedule_tables;
    CANdbNamedList<LinEncodingType> encoding_types;
    bool j1939_network = false; // network attribute "J1939PGN" = 1
    bool j1939_frames = false;  // the "VFrameFormat" enumeration has "J1939PG"
    bool flexray = false;       // messages hashed by slot and cycle
    bool can_fd = false;        // network attribute "BusType" = "CAN FD"
    int mux_group_count = 0;    // extended-multiplexing records bound to the network

private:
    // A bucket holds its first message itself and chains the others, newest
    // first, through entries of one overflow pool (-1 ends a chain).
    struct Bucket {
        CANdbMessage *first = nullptr;
        int32_t overflow = -1;
    };
    struct Overflow {
        CANdbMessage *message;
        int32_t next;
    };

    // The buckets are made in blocks of kBlockBuckets as keys first fall into
    // them, so that a small database pays for a few blocks, not the table.
    static constexpr uint32_t kBlockBuckets = 64;
    static constexpr uint32_t kBlocks = (kHashBuckets + kBlockBuckets - 1) / kBlockBuckets;

    // The bucket of the key, or null when its block was never made.
    const Bucket *bucket_of(uint32_t key) const
    {
        const uint32_t index = key % kHashBuckets;
        const int32_t block = block_start_[index / kBlockBuckets];
        return block < 0 ? nullptr : &buckets_[size_t(block) + index % kBlockBuckets];
    }
    void hash_message(CANdbMessage *message);
    void hash_under(uint32_t key, CANdbMessage *message);
    int decode_bucket(uint32_t key, bool j1939_pass, uint32_t id, const uint8_t *data, int length,
                      void *argument) const;
    void decode_message(const CANdbMessage *message, uint32_t cycle, const uint8_t *data, int length,
                        void *argument) const;

    // Where each block begins in buckets_, -1 while it is not made.
    int32_t block_start_[kBlocks];
    std::vector<Bucket> buckets_;
    std::vector<Overflow> overflow_;
    int message_cursor_ = -1;
};
