// The rows of the window-type registry, in their fixed order.
#include "windows/base/data_window_type_info.h"
#include "windows/trace/vyr_trace.h"

namespace {

// Lines of a message list under a title bar.
const char *const trace_xpm[] = {"16 16 4 1",        "  c None",         ". c #000000",      "b c #0000C0",
                                 "w c #FFFFFF",      "................", ".bbbbbbbbbbbbbb.", ".bbbbbbbbbbbbbb.",
                                 "................", ".wwwwwwwwwwwwww.", ".w..w......w..w.", ".wwwwwwwwwwwwww.",
                                 ".w..w.....ww..w.", ".wwwwwwwwwwwwww.", ".w..w.......w.w.", ".wwwwwwwwwwwwww.",
                                 ".w..w....w...ww.", ".wwwwwwwwwwwwww.", ".w..w......w..w.", ".wwwwwwwwwwwwww.",
                                 "................"};

const DataWindowTypeInfo trace_window("Trace", "Trace", "CAN Trace Window", "View CAN Messages", 0, trace_xpm, 0,
                                      &VyrTrace::create);

} // namespace
