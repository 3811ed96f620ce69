#pragma once
// The data of a trigger condition on a CAN message: the interface whose
// frames it watches, the identifier or identifier range (as the user typed
// them) and eight tests of the data bytes. The CAN interface matches its
// frames against it in its receive loop.
#include "core/vyr_trigger_cond.h"

#include <QString>

#include <array>
#include <cstdint>

class VyrTriggerCondDataCan : public VyrTriggerCondData
{
public:
    static constexpr int kind_number = 2;
    static constexpr int byte_test_count = 8;
    // Relations of a byte test: the frame's byte (left) with the test's byte.
    enum Relation { Equal = 0, NotEqual = 1, Greater = 2, Less = 3, GreaterOrEqual = 4, LessOrEqual = 5 };

    struct ByteTest
    {
        bool enabled = false;
        uint8_t data = 0;
        uint8_t mask = 0; // kept with the test; the match compares whole bytes
        int32_t relation = Equal;
        // True for a disabled test and for an unknown relation.
        bool passes(uint8_t byte) const;
    };

    VyrTriggerCondDataCan() : VyrTriggerCondData(kind_number) {}

    void assign(const VyrTriggerCondData &other) override;
    // "CAN Channel='CAN 1', CAN ID=..." with the interface's display name
    // ("NONE" without one) and the identifier or the range "first ... last".
    QString description() const override;

    // "can_if", "message_id_start", "message_id_end" and the list group
    // "message_data" of eight tests.
    void write_config(QtbConfigGroup *group) const override;
    // Reads up to eight tests; the others stay as they were.
    void read_config(QtbConfigGroup *group) override;

    // The interface's identifier, "CAN1".
    QString can_if;
    QString message_id_start;
    // Equal to the first for a single identifier.
    QString message_id_end;
    std::array<ByteTest, byte_test_count> byte_tests{};
};
