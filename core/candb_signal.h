#pragma once
// A signal of the network database: a bit field of a message's payload with
// its scaling, limits, value descriptions, receivers and attributes, and the
// coder that reads and writes it.
//
// Bit numbering: bit n of a payload is bit n % 8 of byte n / 8. The start bit
// is the signal's least significant bit in both byte orders. Intel signals run
// upwards into the next byte; Motorola signals run upwards within a byte and
// then continue at bit 0 of the previous byte, so their most significant part
// lies in the lowest byte touched.
#include "core/candb_attribute_value.h"
#include "core/candb_mux_group.h"
#include "core/candb_node.h"
#include "core/candb_value_table.h"

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

class CANdbMessage;

// The rules by which doubles become integers in the coder, defined for every
// double (a plain cast of one beyond the target's range is undefined):
// - the raw bits of a double for an integer signal: truncated toward zero,
//   values beyond the 64-bit range held at its ends, NaN as 0; the signal
//   keeps the low bits;
// - a value as a 32-bit integer: the same truncation, kept modulo 2^32, so
//   that an unsigned 32-bit value reads back from its bits.
uint64_t truncate_to_raw(double value);
int32_t truncate_to_int32(double value);

enum CANdbByteOrder : uint8_t { CANdbIntel = 0, CANdbMotorola = 1 };

// How the raw bits are coded.
enum CANdbRawType : uint8_t {
    CANdbRawUnset = 0,
    CANdbRawSigned = 1,   // two's complement of the signal's length
    CANdbRawUnsigned = 2,
    CANdbRawFloat = 3,    // IEEE 754 single: the 32 raw bits
    CANdbRawDouble = 4,   // IEEE 754 double: 8 bytes
};

// How the physical value is handed to observers (update_value_kind).
enum CANdbValueKind : uint8_t {
    CANdbKindNone = 0,
    CANdbKindSigned = 1,
    CANdbKindUnsigned = 2,
    CANdbKindSingle = 3,  // carried as a double
    CANdbKindDouble = 4,
};

// The value record handed to observers: kinds 1 and 2 carry a 32-bit integer,
// kinds 3 and 4 a double.
struct CANdbSignalValue {
    int32_t kind = 0;
    int32_t reserved = 0;
    union {
        int32_t int_value;
        double double_value;
    };
    CANdbSignalValue() : double_value(0.0) {}
};
static_assert(sizeof(CANdbSignalValue) == 16, "value record layout");

// Called for every decoded value with the observer's context and the
// argument of the decode call (the frame's time stamp on the receive road).
using CANdbObserverCallback = void (*)(void *context, const CANdbSignalValue *value, void *argument);

struct CANdbSignalObserver {
    CANdbObserverCallback callback = nullptr;
    void *context = nullptr;
};

class CANdbSignal {
public:
    explicit CANdbSignal(const char *name = nullptr);
    CANdbSignal(const CANdbSignal &) = delete;
    CANdbSignal &operator=(const CANdbSignal &) = delete;
    ~CANdbSignal();

    // Back to the defaults: no name, factor 1, Intel, not multiplexed, no links.
    void reset();

    void set_name(const char *text) { name = text ? text : ""; }
    void set_comment(const char *text) { comment = text ? text : ""; }
    void set_unit(const char *text) { unit = text ? text : ""; }

    // The signal's own value descriptions.
    const char *value_description(int32_t value) const { return value_table.description(value); }
    int add_value_description(int32_t value, const char *text) { return value_table.add_description(value, text); }

    // Adds the node once to the receivers and the signal once to the node's received signals.
    void add_receiver(CANdbNode *node);
    // Replaces (and destroys) the extended-multiplexing record.
    void set_mux_group(std::unique_ptr<CANdbMuxGroup> group);
    CANdbMuxGroup *mux_group() const { return mux_group_.get(); }

    // Extended-multiplexing records whose multiplexor is this signal.
    void add_dependent(CANdbMuxGroup *group);
    void remove_dependent(CANdbMuxGroup *group);
    bool has_dependent(const CANdbMuxGroup *group) const;
    bool has_dependents() const { return !dependents_.empty(); }

    // Coding. data is the payload, length its size in bytes. Results are 0 for
    // success and -1 for failure. Raw values are up to 64 bits wide.
    int extract_raw(const uint8_t *data, int length, bool sign_extend, uint64_t &out) const;
    int decode_signed(const uint8_t *data, int length, int64_t &out) const;
    int decode_unsigned(const uint8_t *data, int length, uint64_t &out) const;
    // The 32 raw bits read as an IEEE single.
    int decode_float(const uint8_t *data, int length, double &out) const;
    // Only a 64-bit signal at bit 0 of an 8-byte payload (little-endian IEEE double).
    int decode_double(const uint8_t *data, int length, double &out) const;
    // Writes the low bits of value; bits that run past the payload are dropped.
    int encode_raw(uint8_t *data, int length, uint64_t value) const;
    // Float and double signals take the value converted to double.
    int encode_int(uint8_t *data, int length, int64_t value) const;
    // Double signals: 64 bits at bit 0 of at least 8 bytes. Float signals: the
    // single-precision pattern. Others: the value truncated toward zero.
    int encode_double(uint8_t *data, int length, double value) const;
    // Recomputes the physical value kind from raw type, factor, offset and minimum.
    void update_value_kind();

    int add_observer(CANdbObserverCallback callback, void *context);
    int clear_observers();
    bool has_observers() const { return !observers.empty(); }
    // Decodes the physical value and hands it to every observer; -1 (and no
    // call) when there is no observer or the payload does not hold the signal.
    int decode_and_notify(const uint8_t *data, int length, void *argument) const;

    std::string name;
    std::string comment;
    std::string unit;
    double minimum = 0.0;
    double maximum = 0.0;
    double offset = 0.0;
    double factor = 1.0;
    int32_t start_bit = 0; // least significant bit, see above
    int32_t length = 0;    // bits
    int32_t mux_value = -1; // -1: not multiplexed
    bool is_multiplexor = false;
    uint8_t byte_order = CANdbIntel;
    uint8_t value_type = CANdbRawUnset;
    uint8_t value_kind = CANdbKindNone;
    CANdbValueTable value_table;
    CANdbSignal *sign_signal = nullptr; // sign of a sign-magnitude value, same message
    std::vector<CANdbSignalObserver> observers;
    CANdbAttributeValueList attributes;
    CANdbMessage *message = nullptr;
    std::vector<CANdbNode *> receivers;

private:
    void remove_receivers();
    void detach_dependents();

    std::unique_ptr<CANdbMuxGroup> mux_group_;
    // A set: one multiplexor may select thousands of signals.
    std::unordered_set<CANdbMuxGroup *> dependents_;
};
