#pragma once
// The acceptance filter of one identifier width of a CAN interface: a code
// and mask pair that the hardware channel applies, or a block of every frame
// of that width, which the channel and the receive loop both apply.
#include <cstdint>

class QtbConfigGroup;

class VyrAcceptanceFilter
{
public:
    explicit VyrAcceptanceFilter(bool extended = false) : extended_id(extended) {}

    // Reads its own group (filter_std or filter_ext of the interface).
    void read_config(QtbConfigGroup *group);
    void write_config(QtbConfigGroup *group) const;
    // Copies all five fields.
    void assign(const VyrAcceptanceFilter &other) { *this = other; }
    // True when code, mask, width or block-all differ; the active flag is not compared.
    bool differs(const VyrAcceptanceFilter &other) const;

    uint32_t code = 0;      // identifier bits that must match
    uint32_t mask = 0;      // which identifier bits are compared
    bool extended_id;       // for 29-bit identifiers
    bool block_all = false; // every frame of this width is blocked
    bool active = true;
};
