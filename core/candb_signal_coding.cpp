// The bit coder of CANdbSignal: extraction and insertion of bit fields in both
// byte orders, raw-to-physical decoding and the observer calls. Runs for every
// signal of every received frame: no allocation, at most 9 bytes per field.
#include "core/candb_signal.h"

#include <cmath>
#include <cstring>

namespace {

bool is_whole(double x)
{
    return std::floor(x) == x;
}

} // namespace

uint64_t truncate_to_raw(double value)
{
    if (std::isnan(value))
        return 0;
    if (value >= 18446744073709551615.0)
        return UINT64_MAX;
    if (value >= 9223372036854775808.0)
        return static_cast<uint64_t>(value);
    if (value < -9223372036854775808.0)
        return static_cast<uint64_t>(INT64_MIN);
    return static_cast<uint64_t>(static_cast<int64_t>(value));
}

int32_t truncate_to_int32(double value)
{
    return static_cast<int32_t>(static_cast<uint32_t>(truncate_to_raw(value)));
}

int CANdbSignal::extract_raw(const uint8_t *data, int payload_length, bool sign_extend, uint64_t &out) const
{
    out = 0;
    if (!data || start_bit < 0 || length < 1 || length > 64)
        return -1;
    const int step = byte_order == CANdbMotorola ? -1 : 1;
    int byte = start_bit / 8;
    int shift = start_bit % 8;
    int gathered = 0;
    int remaining = length;
    uint64_t value = 0;
    while (remaining > 0) {
        if (byte < 0 || byte >= payload_length)
            return -1;
        const int n = remaining < 8 - shift ? remaining : 8 - shift;
        value |= static_cast<uint64_t>((data[byte] >> shift) & ((1u << n) - 1)) << gathered;
        gathered += n;
        remaining -= n;
        shift = 0;
        byte += step;
    }
    if (sign_extend && gathered < 64 && ((value >> (gathered - 1)) & 1))
        value |= ~uint64_t(0) << gathered;
    out = value;
    return 0;
}

int CANdbSignal::decode_signed(const uint8_t *data, int payload_length, int64_t &out) const
{
    uint64_t raw;
    const int result = extract_raw(data, payload_length, true, raw);
    out = static_cast<int64_t>(raw);
    return result;
}

int CANdbSignal::decode_unsigned(const uint8_t *data, int payload_length, uint64_t &out) const
{
    return extract_raw(data, payload_length, false, out);
}

int CANdbSignal::decode_float(const uint8_t *data, int payload_length, double &out) const
{
    out = 0.0;
    uint64_t raw;
    if (extract_raw(data, payload_length, false, raw))
        return -1;
    const uint32_t bits = static_cast<uint32_t>(raw);
    float single;
    std::memcpy(&single, &bits, sizeof single);
    out = single;
    return 0;
}

int CANdbSignal::decode_double(const uint8_t *data, int payload_length, double &out) const
{
    out = 0.0;
    if (!data || length != 64 || start_bit != 0 || payload_length != 8)
        return -1;
    uint64_t bits = 0;
    for (int i = 7; i >= 0; --i)
        bits = (bits << 8) | data[i];
    std::memcpy(&out, &bits, sizeof out);
    return 0;
}

int CANdbSignal::encode_raw(uint8_t *data, int payload_length, uint64_t value) const
{
    if (!data || start_bit < 0 || start_bit / 8 >= payload_length || length > 64)
        return -1;
    const int step = byte_order == CANdbMotorola ? -1 : 1;
    int byte = start_bit / 8;
    int shift = start_bit % 8;
    int remaining = length;
    while (remaining > 0 && byte >= 0 && byte < payload_length) {
        const int n = remaining < 8 - shift ? remaining : 8 - shift;
        const unsigned field = ((1u << n) - 1) << shift;
        data[byte] = static_cast<uint8_t>((data[byte] & ~field) | ((static_cast<unsigned>(value) << shift) & field));
        value >>= n;
        remaining -= n;
        shift = 0;
        byte += step;
    }
    return 0;
}

int CANdbSignal::encode_int(uint8_t *data, int payload_length, int64_t value) const
{
    if (!data)
        return -1;
    if (value_type == CANdbRawFloat || value_type == CANdbRawDouble)
        return encode_double(data, payload_length, static_cast<double>(value));
    return encode_raw(data, payload_length, static_cast<uint64_t>(value));
}

int CANdbSignal::encode_double(uint8_t *data, int payload_length, double value) const
{
    if (!data)
        return -1;
    if (value_type == CANdbRawDouble) {
        if (length != 64 || start_bit != 0 || payload_length < 8)
            return -1;
        uint64_t bits;
        std::memcpy(&bits, &value, sizeof bits);
        for (int i = 0; i < 8; ++i, bits >>= 8)
            data[i] = static_cast<uint8_t>(bits);
        return 0;
    }
    if (value_type == CANdbRawFloat) {
        const float single = static_cast<float>(value);
        uint32_t bits;
        std::memcpy(&bits, &single, sizeof bits);
        return encode_raw(data, payload_length, bits);
    }
    return encode_raw(data, payload_length, truncate_to_raw(value));
}

void CANdbSignal::update_value_kind()
{
    switch (value_type) {
    case CANdbRawFloat:
    case CANdbRawDouble:
        value_kind = value_type;
        break;
    case CANdbRawSigned:
    case CANdbRawUnsigned:
        if (!is_whole(offset) || !is_whole(factor))
            value_kind = CANdbKindDouble;
        else if (value_type == CANdbRawSigned || factor < 0.0 || minimum < 0.0)
            value_kind = CANdbKindSigned;
        else
            value_kind = CANdbKindUnsigned;
        break;
    default:
        break;
    }
}

int CANdbSignal::decode_and_notify(const uint8_t *data, int payload_length, void *argument) const
{
    if (observers.empty())
        return -1;
    CANdbSignalValue record;
    record.kind = value_kind;
    double physical;
    switch (value_type) {
    case CANdbRawSigned: {
        int64_t value;
        if (sign_signal) {
            // Sign-magnitude coding: the magnitude here, the sign in another signal.
            uint64_t magnitude;
            int64_t sign;
            if (extract_raw(data, payload_length, false, magnitude) || sign_signal->decode_signed(data, payload_length, sign))
                return -1;
            value = static_cast<int64_t>(sign ? 0 - magnitude : magnitude);
        } else if (decode_signed(data, payload_length, value)) {
            return -1;
        }
        physical = static_cast<double>(value) * factor + offset;
        break;
    }
    case CANdbRawUnsigned: {
        uint64_t value;
        if (decode_unsigned(data, payload_length, value))
            return -1;
        physical = static_cast<double>(value) * factor + offset;
        break;
    }
    case CANdbRawFloat:
        if (decode_float(data, payload_length, physical))
            return -1;
        record.double_value = physical * factor + offset;
        break;
    case CANdbRawDouble:
        if (decode_double(data, payload_length, physical))
            return -1;
        record.double_value = physical * factor + offset;
        break;
    default:
        return -1;
    }
    if (value_type == CANdbRawSigned || value_type == CANdbRawUnsigned) {
        if (value_kind == CANdbKindDouble)
            record.double_value = physical;
        else
            record.int_value = truncate_to_int32(physical);
    }
    for (const CANdbSignalObserver &o : observers)
        o.callback(o.context, &record, argument);
    return 0;
}
