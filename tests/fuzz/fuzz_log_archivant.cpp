// libFuzzer target of the logger format readers: any input is read to its
// end by both generations.
#include "log_fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    log_fuzz::read_input("Archivant", "lgz", data, size);
    log_fuzz::read_to_end("Archivant2", log_fuzz::input_path("lgz"), size);
    return 0;
}
