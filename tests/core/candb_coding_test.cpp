// Bit coding of database signals: extraction and insertion in both byte
// orders, raw types, value kinds and the observer calls.
#include "core/candb_signal.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

namespace {

// A signal of the given layout, built in place (signals are not copied).
struct TestSignal : CANdbSignal {
    TestSignal(uint8_t order, int start, int length, uint8_t type = CANdbRawUnsigned) : CANdbSignal("s")
    {
        byte_order = order;
        start_bit = start;
        this->length = length;
        value_type = type;
        update_value_kind();
    }
};

struct BitCase {
    const char *what;
    uint8_t order;
    int start;
    int length;
    std::vector<uint8_t> payload;
    uint64_t value;
};

const BitCase kBitCases[] = {
    {"Intel start 4 length 8 across two bytes", CANdbIntel, 4, 8, {0xA0, 0x0B}, 0xBA},
    {"Motorola start 8 length 16 is big-endian in bytes 0..1", CANdbMotorola, 8, 16, {0x12, 0x34}, 0x1234},
    {"Motorola start 2 length 4 inside one byte", CANdbMotorola, 2, 4, {0x28}, 0xA},
    {"Intel 1-bit field", CANdbIntel, 13, 1, {0x00, 0x20}, 1},
    {"Motorola 12 bits over a byte boundary", CANdbMotorola, 20, 12, {0x00, 0xAB, 0xC0, 0x00}, 0xABC},
    {"Intel 64-bit field", CANdbIntel, 0, 64, {1, 2, 3, 4, 5, 6, 7, 8}, 0x0807060504030201ull},
    {"Motorola 64-bit field", CANdbMotorola, 56, 64, {1, 2, 3, 4, 5, 6, 7, 8}, 0x0102030405060708ull},
    {"Intel 64-bit field at an odd start", CANdbIntel, 3, 64, {0xF8, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x07},
     ~uint64_t(0)},
    {"unsigned 32-bit all ones", CANdbIntel, 8, 32, {0, 0xFF, 0xFF, 0xFF, 0xFF}, 0xFFFFFFFFu},
};

TEST(CANdbCoding, ExtractsAndInsertsEveryLayout)
{
    for (const BitCase &c : kBitCases) {
        SCOPED_TRACE(c.what);
        TestSignal s(c.order, c.start, c.length);
        const int n = static_cast<int>(c.payload.size());

        uint64_t raw = 0;
        ASSERT_EQ(s.decode_unsigned(c.payload.data(), n, raw), 0);
        EXPECT_EQ(raw, c.value);

        // Encoding into an empty payload reproduces the payload of the case.
        std::vector<uint8_t> built(c.payload.size(), 0);
        ASSERT_EQ(s.encode_raw(built.data(), n, c.value), 0);
        EXPECT_EQ(built, c.payload);

        // Other bits are never touched: over a payload of ones the field
        // takes the value and every bit outside it stays set.
        std::vector<uint8_t> field(c.payload.size(), 0);
        ASSERT_EQ(s.encode_raw(field.data(), n, ~uint64_t(0)), 0);
        std::vector<uint8_t> ones(c.payload.size(), 0xFF);
        ASSERT_EQ(s.encode_raw(ones.data(), n, c.value), 0);
        for (int i = 0; i < n; ++i)
            EXPECT_EQ(ones[i], static_cast<uint8_t>(~field[i] | c.payload[i])) << "byte " << i;
    }
}

TEST(CANdbCoding, SignedFieldsAreSignExtended)
{
    const uint8_t payload[] = {0x0F};
    TestSignal s(CANdbIntel, 0, 4, CANdbRawSigned);
    int64_t value = 0;
    ASSERT_EQ(s.decode_signed(payload, 1, value), 0);
    EXPECT_EQ(value, -1);
    uint64_t unsigned_value = 0;
    ASSERT_EQ(s.decode_unsigned(payload, 1, unsigned_value), 0);
    EXPECT_EQ(unsigned_value, 15u);

    // Encoding -3 writes the 4-bit two's complement and leaves the high nibble.
    uint8_t out[] = {0xA0};
    ASSERT_EQ(s.encode_int(out, 1, -3), 0);
    EXPECT_EQ(out[0], 0xAD);
    ASSERT_EQ(s.decode_signed(out, 1, value), 0);
    EXPECT_EQ(value, -3);

    // A 64-bit field already fills the value: its sign bit needs no extension.
    const uint8_t wide_payload[] = {0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    TestSignal wide(CANdbIntel, 0, 64, CANdbRawSigned);
    ASSERT_EQ(wide.decode_signed(wide_payload, 8, value), 0);
    EXPECT_EQ(value, -2);
}

TEST(CANdbCoding, FieldsOutsideThePayloadFail)
{
    const uint8_t payload[] = {0xFF, 0xFF};
    struct {
        const char *what;
        uint8_t order;
        int start, length;
    } cases[] = {
        {"Intel field running past the end", CANdbIntel, 12, 8},
        {"Motorola field running below byte 0", CANdbMotorola, 4, 8},
        {"negative start bit", CANdbIntel, -1, 4},
        {"length 0", CANdbIntel, 0, 0},
        {"length 65", CANdbIntel, 0, 65},
    };
    for (auto &c : cases) {
        SCOPED_TRACE(c.what);
        TestSignal s(c.order, c.start, c.length);
        uint64_t out = 99;
        EXPECT_EQ(s.extract_raw(payload, 2, false, out), -1);
        EXPECT_EQ(out, 0u);
    }
    uint64_t out = 0;
    EXPECT_EQ(TestSignal(CANdbIntel, 0, 8).extract_raw(nullptr, 8, false, out), -1);
}

TEST(CANdbCoding, EncodingPastThePayloadWritesWhatFits)
{
    uint8_t payload[] = {0x00, 0x00};
    TestSignal intel(CANdbIntel, 12, 8);
    EXPECT_EQ(intel.encode_raw(payload, 2, 0xAB), 0);
    EXPECT_EQ(payload[0], 0x00);
    EXPECT_EQ(payload[1], 0xB0);

    uint8_t motorola_payload[] = {0x00, 0x00};
    TestSignal motorola(CANdbMotorola, 4, 8);
    EXPECT_EQ(motorola.encode_raw(motorola_payload, 2, 0xAB), 0);
    EXPECT_EQ(motorola_payload[0], 0xB0);

    TestSignal outside(CANdbIntel, 16, 8);
    EXPECT_EQ(outside.encode_raw(payload, 2, 1), -1);
    TestSignal negative(CANdbIntel, -1, 4);
    EXPECT_EQ(negative.encode_raw(payload, 2, 1), -1) << "start bit -1 lies before byte 0";
    EXPECT_EQ(payload[0], 0x00);
    EXPECT_EQ(outside.encode_raw(nullptr, 2, 1), -1);
    TestSignal empty(CANdbIntel, 0, 0);
    EXPECT_EQ(empty.encode_raw(payload, 2, 1), 0);
}

TEST(CANdbCoding, FloatAndDoubleSignals)
{
    TestSignal single(CANdbIntel, 8, 32, CANdbRawFloat);
    uint8_t payload[6] = {};
    ASSERT_EQ(single.encode_double(payload, 6, 1.5), 0);
    double value = 0;
    ASSERT_EQ(single.decode_float(payload, 6, value), 0);
    EXPECT_EQ(value, 1.5);
    ASSERT_EQ(single.encode_int(payload, 6, -7), 0) << "an integer goes in as a float";
    ASSERT_EQ(single.decode_float(payload, 6, value), 0);
    EXPECT_EQ(value, -7.0);

    TestSignal dbl(CANdbIntel, 0, 64, CANdbRawDouble);
    uint8_t eight[8] = {};
    ASSERT_EQ(dbl.encode_double(eight, 8, -1234.5), 0);
    ASSERT_EQ(dbl.decode_double(eight, 8, value), 0);
    EXPECT_EQ(value, -1234.5);
    uint8_t nine[9] = {};
    std::memcpy(nine, eight, 8);
    value = 5;
    EXPECT_EQ(dbl.decode_double(nine, 9, value), -1) << "only a payload of exactly 8 bytes decodes";
    EXPECT_EQ(value, 0.0);
    EXPECT_EQ(dbl.encode_double(eight, 7, 1.0), -1);

    TestSignal misplaced(CANdbIntel, 8, 64, CANdbRawDouble);
    EXPECT_EQ(misplaced.decode_double(eight, 8, value), -1);
    EXPECT_EQ(misplaced.encode_double(nine, 9, 1.0), -1);
}

TEST(CANdbCoding, IntegerEncodingOfDoublesTruncatesTowardZero)
{
    TestSignal s(CANdbIntel, 0, 8, CANdbRawSigned);
    uint8_t payload[1] = {};
    ASSERT_EQ(s.encode_double(payload, 1, -2.9), 0);
    EXPECT_EQ(payload[0], 0xFE);
    ASSERT_EQ(s.encode_double(payload, 1, 7.9), 0);
    EXPECT_EQ(payload[0], 7);
}

TEST(CANdbCoding, ValueKindFollowsTypeAndScaling)
{
    struct {
        const char *what;
        uint8_t type;
        double factor, offset, minimum;
        uint8_t kind;
    } cases[] = {
        {"plain unsigned", CANdbRawUnsigned, 1, 0, 0, CANdbKindUnsigned},
        {"unsigned with factor 0.5", CANdbRawUnsigned, 0.5, 0, 0, CANdbKindDouble},
        {"unsigned with offset 0.25", CANdbRawUnsigned, 1, 0.25, 0, CANdbKindDouble},
        {"unsigned with factor -1", CANdbRawUnsigned, -1, 0, 0, CANdbKindSigned},
        {"unsigned with minimum -10", CANdbRawUnsigned, 1, 0, -10, CANdbKindSigned},
        {"signed", CANdbRawSigned, 2, -40, 0, CANdbKindSigned},
        {"signed with factor 0.1", CANdbRawSigned, 0.1, 0, 0, CANdbKindDouble},
        {"float", CANdbRawFloat, 0.5, 0, 0, CANdbKindSingle},
        {"double", CANdbRawDouble, 1, 0, 0, CANdbKindDouble},
    };
    for (auto &c : cases) {
        SCOPED_TRACE(c.what);
        CANdbSignal s("s");
        s.value_type = c.type;
        s.factor = c.factor;
        s.offset = c.offset;
        s.minimum = c.minimum;
        s.update_value_kind();
        EXPECT_EQ(s.value_kind, c.kind);
    }
    CANdbSignal unset("s");
    unset.value_kind = CANdbKindDouble;
    unset.update_value_kind();
    EXPECT_EQ(unset.value_kind, CANdbKindDouble) << "a signal without raw type keeps its kind";
}

struct Observed {
    std::vector<CANdbSignalValue> values;
    std::vector<void *> arguments;
    static void record(void *context, const CANdbSignalValue *value, void *argument)
    {
        auto *self = static_cast<Observed *>(context);
        self->values.push_back(*value);
        self->arguments.push_back(argument);
    }
};

TEST(CANdbCoding, DecodeAndNotifyHandsPhysicalValuesToObservers)
{
    int time_stamp = 0;
    {
        TestSignal s(CANdbIntel, 0, 32, CANdbRawUnsigned);
        s.factor = 1.0;
        s.value_kind = CANdbKindDouble; // as set by a reader or a caller
        Observed first, second;
        s.add_observer(Observed::record, &first);
        s.add_observer(Observed::record, &second);
        const uint8_t payload[] = {0xFF, 0xFF, 0xFF, 0xFF};
        ASSERT_EQ(s.decode_and_notify(payload, 4, &time_stamp), 0);
        ASSERT_EQ(first.values.size(), 1u);
        ASSERT_EQ(second.values.size(), 1u);
        EXPECT_EQ(first.values[0].kind, CANdbKindDouble);
        EXPECT_EQ(first.values[0].double_value, 4294967295.0);
        EXPECT_EQ(first.arguments[0], &time_stamp);
        EXPECT_EQ(s.decode_and_notify(payload, 3, nullptr), -1) << "frame too short";
        EXPECT_EQ(first.values.size(), 1u);
    }
    {
        // Unsigned 32-bit of kind 2: the integer record holds the value's bits.
        TestSignal s(CANdbIntel, 0, 32, CANdbRawUnsigned);
        ASSERT_EQ(s.value_kind, CANdbKindUnsigned);
        Observed o;
        s.add_observer(Observed::record, &o);
        const uint8_t payload[] = {0xFE, 0xFF, 0xFF, 0xFF};
        ASSERT_EQ(s.decode_and_notify(payload, 4, nullptr), 0);
        EXPECT_EQ(static_cast<uint32_t>(o.values[0].int_value), 0xFFFFFFFEu);
    }
    {
        TestSignal s(CANdbIntel, 0, 8, CANdbRawSigned);
        s.factor = 2;
        s.offset = -40;
        s.update_value_kind();
        Observed o;
        s.add_observer(Observed::record, &o);
        const uint8_t payload[] = {0xFB}; // -5
        ASSERT_EQ(s.decode_and_notify(payload, 1, nullptr), 0);
        EXPECT_EQ(o.values[0].kind, CANdbKindSigned);
        EXPECT_EQ(o.values[0].int_value, -50);
    }
    {
        TestSignal s(CANdbIntel, 0, 32, CANdbRawFloat);
        s.factor = 2;
        s.offset = 1;
        Observed o;
        s.add_observer(Observed::record, &o);
        const float f = 1.25f;
        uint8_t payload[4];
        std::memcpy(payload, &f, 4);
        ASSERT_EQ(s.decode_and_notify(payload, 4, nullptr), 0);
        EXPECT_EQ(o.values[0].kind, CANdbKindSingle);
        EXPECT_EQ(o.values[0].double_value, 3.5);
    }
    {
        TestSignal s(CANdbIntel, 0, 8);
        const uint8_t payload[] = {1};
        EXPECT_EQ(s.decode_and_notify(payload, 1, nullptr), -1) << "no observer";
        Observed o;
        s.add_observer(Observed::record, &o);
        s.clear_observers();
        EXPECT_FALSE(s.has_observers());
    }
}

TEST(CANdbCoding, SignSignalGivesSignMagnitudeValues)
{
    TestSignal magnitude(CANdbIntel, 0, 7, CANdbRawSigned);
    TestSignal sign(CANdbIntel, 7, 1, CANdbRawSigned);
    magnitude.sign_signal = &sign;
    Observed o;
    magnitude.add_observer(Observed::record, &o);
    const uint8_t negative[] = {0x85}; // sign bit set, magnitude 5
    const uint8_t positive[] = {0x05};
    ASSERT_EQ(magnitude.decode_and_notify(negative, 1, nullptr), 0);
    ASSERT_EQ(magnitude.decode_and_notify(positive, 1, nullptr), 0);
    EXPECT_EQ(o.values[0].int_value, -5);
    EXPECT_EQ(o.values[1].int_value, 5);
}

} // namespace
