// The hardware providers of the program, one static object each, in their
// fixed order: each links itself into the global provider list when built.
#include "interfaces/hardware/can_hw_provider_vindra.h"

namespace {

CANhwProviderVindra vindra_provider;

} // namespace
