// The registered kinds of trigger condition data, in their fixed order.
#include "core/vyr_trigger_cond_can.h"

namespace {

const VyrTriggerCondKind can_kind(VyrTriggerCondDataCan::kind_number,
                                  [] { return std::unique_ptr<VyrTriggerCondData>(new VyrTriggerCondDataCan); });

} // namespace
