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

class CANdbNetwork {
public:
    // The identifier hash has this many buckets whatever the database size.
    static constexpr uint32_t kHashBuckets = 4099;

    CANdbNetwork();
    CANdbNetwork(const CANdbNetwork &) = delete;
    CANdbNetwork &operator=(const CANdbNetwork &) = delete;
    ~CANdbNetwork();

    // Registers the message in the identifier hash and links it at the
    // 0-based position (appends when out of range); -1 for null.
    int insert_message(CANdbMessage *message, int position = -1);
    int insert_node(CANdbNode *node, int position = -1);
    // Each appends and sets the owner; -1 for null.
    int add_env_var(CANdbEnvVar *var);
    int add_value_table(CANdbValueTable *table);
    void add_attribute_def(CANdbAttributeDef *definition);
    void add_schedule_table(LinScheduleTable *table);
    void add_encoding_type(LinEncodingType *type);
    // Stores the holder of signals that belong to no frame once; -1 when one is set.
    int set_pseudo_message(CANdbMessage *message);
    void set_comment(const char *text) { comment = text ? text : ""; }
    void set_source_name(const char *text) { source_name = text ? text : ""; }

    // Lookups by name: exact comparison, first match in list order, or null.
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
    CANdbMessage *pseudo_message = nullptr;
    CANdbList<CANdbMessage> messages;
    CANdbList<CANdbEnvVar> env_vars;
    CANdbList<CANdbValueTable> value_tables;
    CANdbList<CANdbNode> nodes;
    CANdbList<CANdbAttributeDef> attribute_defs;
    CANdbAttributeValueList attributes;
    CANdbList<LinScheduleTable> schedule_tables;
    CANdbList<LinEncodingType> encoding_types;
    bool j1939_network = false; // network attribute "J1939PGN" = 1
    bool j1939_frames = false;  // the "VFrameFormat" enumeration has "J1939PG"
    bool flexray = false;       // messages hashed by slot and cycle
    bool can_fd = false;        // network attribute "BusType" = "CAN FD"
    int mux_group_count = 0;    // extended-multiplexing records bound to the network
    CANdbNetwork *next = nullptr; // next network of the cluster

private:
    struct HashNode {
        CANdbMessage *message;
        HashNode *next;
    };
    struct Bucket {
        CANdbMessage *first = nullptr;
        HashNode *chain = nullptr;
    };

    void hash_message(CANdbMessage *message);
    void hash_under(uint32_t key, CANdbMessage *message);
    int decode_bucket(uint32_t key, bool j1939_pass, uint32_t id, const uint8_t *data, int length,
                      void *argument) const;
    void decode_message(const CANdbMessage *message, uint32_t cycle, const uint8_t *data, int length,
                        void *argument) const;

    std::unique_ptr<Bucket[]> hash_;
    CANdbMessage *message_cursor_ = nullptr;
};
