#include "interfaces/can/vyr_acceptance_filter.h"

#include "settings/qtb_config.h"

void VyrAcceptanceFilter::read_config(QtbConfigGroup *group)
{
    extended_id = group->read_int("extended_id", 0) != 0;
    block_all = group->read_int("block_all", 0) != 0;
    code = uint32_t(group->read_int("code", 0));
    mask = uint32_t(group->read_int("mask", 0));
    active = group->read_int("active", 1) != 0;
}

void VyrAcceptanceFilter::write_config(QtbConfigGroup *group) const
{
    group->write_int("extended_id", extended_id);
    group->write_int("block_all", block_all);
    group->write_int("code", int32_t(code));
    group->write_int("mask", int32_t(mask));
    group->write_int("active", active);
}

bool VyrAcceptanceFilter::differs(const VyrAcceptanceFilter &other) const
{
    return code != other.code || mask != other.mask || extended_id != other.extended_id || block_all != other.block_all;
}
