#pragma once
// A message (frame) of the network database with its signals.
#include "core/candb_attribute_value.h"
#include "core/candb_list.h"
#include "core/candb_signal.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CANdbDefaultMessageData;
class CANdbNetwork;
class CANdbNode;

// J1939 modes of a message.
enum CANdbJ1939Mode : uint8_t {
    CANdbJ1939None = 0,
    CANdbJ1939Network = 1,    // network-wide J1939: the identifier holds a parameter group number
    CANdbJ1939FrameFormat = 2, // J1939 parameter-group frame: the identifier is a full 29-bit CAN identifier
};

// Key bit of J1939 parameter groups in the identifier hash.
constexpr uint32_t kCANdbJ1939KeyBit = 0x40000000u;
// Identifier bit of extended identifiers in lookups.
constexpr uint32_t kCANdbExtendedBit = 0x80000000u;
// Identifier of the pseudo-message that holds signals belonging to no frame.
constexpr uint32_t kCANdbPseudoMessageId = 0xC0000000u;

// What a LIN description file says about a frame beyond its CAN-like fields.
struct CANdbLinFrame {
    // Set when the master publishes the frame's response; when clear, a LIN
    // master sends only the header and a slave answers.
    bool send = false;
};

class CANdbMessage {
public:
    explicit CANdbMessage(const char *name = nullptr);
    CANdbMessage(const CANdbMessage &) = delete;
    CANdbMessage &operator=(const CANdbMessage &) = delete;
    ~CANdbMessage();

    void set_name(const char *text) { name = text ? text : ""; }
    void set_comment(const char *text) { comment = text ? text : ""; }

    // The identifier as lookups see it: bit 31 set for an extended identifier.
    uint32_t key_id() const { return extended ? (id | kCANdbExtendedBit) : id; }
    // Hash key of the message's parameter group; 0 unless extended and in a J1939 mode.
    uint32_t j1939_key() const;
    bool is_j1939() const { return j1939_mode != CANdbJ1939None; }
    // The first signal flagged as multiplexor that has no extended-multiplexing record.
    CANdbSignal *multiplexor() const;
    // The multiplexor of the multiplexed signals that have no record: the one
    // above or, where a file's SG_MUL_VAL_ lines took the plain flag from the
    // multiplexors they name, the outermost of them (not multiplexed itself).
    CANdbSignal *plain_multiplexor() const;
    // True when the signal is in a frame with this payload: a signal that is
    // not multiplexed always; a multiplexed one when its multiplexor is in
    // the frame and that multiplexor's raw value selects it (a range of its
    // extended-multiplexing record, else its own value against the plain
    // multiplexor). False when the payload does not hold the multiplexor.
    bool signal_present(const CANdbSignal &signal, const uint8_t *data, int length) const;
    // The signals that are in a frame with this payload, in list order: what
    // every view of a decoded frame lists.
    std::vector<CANdbSignal *> present_signals(const uint8_t *data, int length) const;
    // First match in list order, or null; a listed signal keeps its name.
    CANdbSignal *find_signal(const char *signal_name) const;
    // Cursor over the signals (one iteration at a time).
    CANdbSignal *first_signal();
    CANdbSignal *next_signal();
    // Places the signal at the 0-based position (appends when out of range)
    // and binds its extended-multiplexing record to the multiplexor it names;
    // answers the signal, null for null.
    CANdbSignal *insert_signal(std::unique_ptr<CANdbSignal> signal, int position = -1);
    void set_transmitter(CANdbNode *node);
    // Sets the CAN FD and extended flags and the J1939 mode from the message's
    // "VFrameFormat" value (the post-load pass of the network).
    void apply_frame_format();

    std::string name;
    std::string comment;
    CANdbNode *transmitter = nullptr;
    uint32_t id = 0; // 11 or 29 bits without the extended marker; the slot on FlexRay
    int32_t cycle_repetition = 0; // FlexRay: 0 means every cycle
    int32_t base_cycle = 0;       // FlexRay
    CANdbNamedList<CANdbSignal> signal_list;
    int32_t dlc = 0; // data length in bytes
    bool extended = false;
    bool can_fd = false;
    bool bit_rate_switch = false;
    CANdbAttributeValueList attributes;
    CANdbDefaultMessageData *default_data = nullptr;
    CANdbNetwork *network = nullptr;
    uint8_t j1939_mode = CANdbJ1939None;
    std::unique_ptr<CANdbLinFrame> lin_frame; // set by the LIN reader only

private:
    int signal_cursor_ = -1;
};

// Key of the parameter group of a 29-bit identifier: a PDU1 identifier
// (PF below 0xF0) by data page and PF only, a PDU2 identifier with its group extension.
constexpr uint32_t candb_j1939_key(uint32_t id)
{
    return ((((id & 0xFF0000u) < 0xF00000u) ? (id & 0x1FF0000u) : (id & 0x1FFFF00u)) >> 8) | kCANdbJ1939KeyBit;
}
