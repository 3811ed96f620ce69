// libFuzzer target of the simple binary log reader: any input is read to its end.
#include "log_fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    return log_fuzz::read_input("VYR-BINARY", "wbl", data, size);
}
