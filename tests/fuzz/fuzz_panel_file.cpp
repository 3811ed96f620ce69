// libFuzzer target of the panel file reader: any input is read as a panel
// file; a file it takes gives a panel that saves what reads back the same.
#include "panel_fuzz_support.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    panel_fuzz::start_application();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::unique_ptr<VyrPanel> panel =
        panel_fuzz::read_panel(QByteArray(reinterpret_cast<const char *>(data), int(size)));
    if (panel)
        panel_fuzz::check_saves_what_it_reads_back(*panel);
    return 0;
}
