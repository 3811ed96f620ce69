#pragma once
// The data of a trigger condition on a key: the key code in the program's
// numbering (key in the low 16 bits, modifier bits as core/key_codes.h).
#include "core/vyr_trigger_cond.h"

#include <cstdint>

class VyrTriggerCondDataKey : public VyrTriggerCondData
{
public:
    static constexpr int kind_number = 1;

    VyrTriggerCondDataKey() : VyrTriggerCondData(kind_number) {}

    void assign(const VyrTriggerCondData &other) override;
    // "Key=CTRL+A".
    QString description() const override;
    // "key".
    void write_config(QtbConfigGroup *group) const override;
    void read_config(QtbConfigGroup *group) override;

    int32_t key_code = 0;
};
