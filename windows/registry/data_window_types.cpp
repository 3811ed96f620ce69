// The rows of the window-type registry, in their fixed order.
#include "windows/base/data_window_type_info.h"
#include "windows/replay/vyr_can_replay.h"
#include "windows/statistics/vyr_bus_statistic.h"
#include "windows/trace/vyr_trace.h"

namespace {

// Bars of a chart.
const char *const statistics_xpm[] = {"16 16 3 1",         "  c None",          ". c #000000",       "b c #0000C0",
                                      "                ", "             bb ", "             bb ", "          bb bb ",
                                      "          bb bb ", "          bb bb ", "    bb    bb bb ", "    bb    bb bb ",
                                      "    bb bb bb bb ", "    bb bb bb bb ", " bb bb bb bb bb ", " bb bb bb bb bb ",
                                      " bb bb bb bb bb ", " bb bb bb bb bb ", "................", "                "};

// A play sign before lines of a file.
const char *const replay_xpm[] = {"16 16 3 1",         "  c None",          ". c #000000",       "g c #008000",
                                  "                ", " g       ...... ", " gg      .    . ", " ggg     . .. . ",
                                  " gggg    .    . ", " ggggg   . .. . ", " gggg    .    . ", " ggg     . .. . ",
                                  " gg      .    . ", " g       . .. . ", "         .    . ", "         . .. . ",
                                  "         .    . ", "         ...... ", "                ", "                "};

// Lines of a message list under a title bar.
const char *const trace_xpm[] = {"16 16 4 1",        "  c None",         ". c #000000",      "b c #0000C0",
                                 "w c #FFFFFF",      "................", ".bbbbbbbbbbbbbb.", ".bbbbbbbbbbbbbb.",
                                 "................", ".wwwwwwwwwwwwww.", ".w..w......w..w.", ".wwwwwwwwwwwwww.",
                                 ".w..w.....ww..w.", ".wwwwwwwwwwwwww.", ".w..w.......w.w.", ".wwwwwwwwwwwwww.",
                                 ".w..w....w...ww.", ".wwwwwwwwwwwwww.", ".w..w......w..w.", ".wwwwwwwwwwwwww.",
                                 "................"};

const DataWindowTypeInfo statistics_window("Statistics", "Statistics", "CAN Bus Statistics Window",
                                           "Display information about received and transmitted CAN messages", 28,
                                           statistics_xpm, DataWindowTypeInfo::CanWindow, &VyrBusStatistic::create);
const DataWindowTypeInfo replay_window("CanReplay", "CanReplay", "CAN Replay Window", "Replay CAN Log Files", 27,
                                       replay_xpm, DataWindowTypeInfo::CanWindow, &VyrCanReplay::create);
const DataWindowTypeInfo trace_window("Trace", "Trace", "CAN Trace Window", "View CAN Messages", 0, trace_xpm, 0,
                                      &VyrTrace::create);

} // namespace
