#pragma once
// The data of a trigger condition on signal values: relations between a
// signal of an interface and a value, all of which must hold.
#include "core/vyr_trigger_cond.h"

#include <QString>

#include <cstdint>
#include <vector>

class VyrTriggerCondDataSignal : public VyrTriggerCondData
{
public:
    static constexpr int kind_number = 3;

    struct Relation
    {
        QString interface_id; // "CAN1"
        QString signal_name;
        double value = 0.0;
        int32_t relation = RelationEqual;
        // The value is raw: the signal's scaling converts it before the test.
        bool raw = false;
    };

    VyrTriggerCondDataSignal() : VyrTriggerCondData(kind_number) {}

    void assign(const VyrTriggerCondData &other) override;
    // The relations joined by " && ", each "CAN 1::name >= 12.5" (in
    // parentheses when there are several); a relation whose interface is
    // missing adds nothing. "  <empty>  " for an empty text.
    QString description() const override;
    // "signal_count" and the list group "signal_data" of "sif", "name",
    // "relation", "value" (the shortest text that reads back equal) and
    // "raw".
    void write_config(QtbConfigGroup *group) const override;
    // Replaces the relations by those of the group.
    void read_config(QtbConfigGroup *group) override;

    std::vector<Relation> relations;
};

// The shortest text that reads back as the same double; the descriptions show
// 6 significant digits instead.
QString trigger_value_text(double value);
