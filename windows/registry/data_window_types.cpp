// The rows of the window-type registry, in their fixed order.
#include "windows/base/data_window_type_info.h"
#include "windows/packet/vyr_packet_trace.h"
#include "windows/panel/vyr_panel.h"
#include "windows/replay/vyr_can_replay.h"
#include "windows/scope/vyr_scope.h"
#include "windows/send/vyr_can_send.h"
#include "windows/statistics/vyr_bus_statistic.h"
#include "windows/trace/vyr_trace.h"
#include "windows/tune/vyr_tune.h"

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

// A frame with an arrow leaving it.
const char *const send_xpm[] = {"16 16 4 1",        "  c None",         ". c #000000",      "g c #008000",
                                "w c #FFFFFF",      "                ", " ........       ", " .wwwwww.       ",
                                " .w....w.   g   ", " .wwwwww.   gg  ", " .w...ww.gggggg ", " .wwwwww.ggggggg",
                                " .w....w.gggggg ", " .wwwwww.   gg  ", " .w..www.   g   ", " .wwwwww.       ",
                                " ........       ", "                ", "                ", "                ",
                                "                "};

const DataWindowTypeInfo statistics_window("Statistics", "Statistics", "CAN Bus Statistics Window",
                                           "Display information about received and transmitted CAN messages", 28,
                                           statistics_xpm, DataWindowTypeInfo::CanWindow, &VyrBusStatistic::create);
const DataWindowTypeInfo send_window("CanSend", "CanSend", "CAN Send Window", "Send CAN Messages", 26, send_xpm,
                                     DataWindowTypeInfo::CanWindow, &VyrCanSend::create);
const DataWindowTypeInfo replay_window("CanReplay", "CanReplay", "CAN Replay Window", "Replay CAN Log Files", 27,
                                       replay_xpm, DataWindowTypeInfo::CanWindow, &VyrCanReplay::create);
const DataWindowTypeInfo trace_window("Trace", "Trace", "CAN Trace Window", "View CAN Messages", 25, trace_xpm,
                                      DataWindowTypeInfo::CanWindow, &VyrTrace::create);
// A wave on a screen.
const char *const scope_xpm[] = {"16 16 3 1",        "  c None",         ". c #000000",      "g c #00C000",
                                 "                ", "................", "................", "................",
                                 "...gg...........", "..g..g.......g..", ".g....g.....g...", ".g.....g...g....",
                                 "........g.g.....", ".........g......", "................", "................",
                                 "................", "................", "                ", "                "};
const DataWindowTypeInfo scope_window("Scope", "Scope", "Scope Window", "Watch Signals in graphic format", 21,
                                      scope_xpm, DataWindowTypeInfo::CanWindow, &VyrScope::create);

// A tuning knob with its pointer.
const char *const tune_xpm[] = {"16 16 4 1",        "  c None",         ". c #000000",      "g c #C0C0C0",
                                "r c #FF0000",      "                ", "     ......     ", "   ..gggggg..   ",
                                "  .ggggggggrr.  ", "  .gggggggrrg.  ", " .gggggggrrggg. ", " .ggggggrrgggg. ",
                                " .gggggrrggggg. ", " .ggggg.gggggg. ", " .gggggggggggg. ", "  .gggggggggg.  ",
                                "  .gggggggggg.  ", "   ..gggggg..   ", "     ......     ", "                ",
                                "                "};

// A packet: a header bar over lines.
const char *const packet_trace_xpm[] = {
    "16 16 4 1",        "  c None",         ". c #000000",      "b c #0000C0",      "w c #FFFFFF",
    "                ", " .............. ", " .bbbbbbbbbbbb. ", " .bbbbbbbbbbbb. ", " .wwwwwwwwwwww. ",
    " .w........www. ", " .wwwwwwwwwwww. ", " .w......wwwww. ", " .wwwwwwwwwwww. ", " .w.........ww. ",
    " .wwwwwwwwwwww. ", " .w.....wwwwww. ", " .wwwwwwwwwwww. ", " .............. ", "                ",
    "                "};

const DataWindowTypeInfo tune_window("Tune", "Tune", "Tune Window", "Watch Signals and modify them", 17, tune_xpm,
                                     DataWindowTypeInfo::CanWindow, &VyrTune::create);
const DataWindowTypeInfo panel_window("panel", "Panel", "Panel Window", "Create your own windows", 18, panel_xpm,
                                      DataWindowTypeInfo::CanWindow, &VyrPanel::create);
const DataWindowTypeInfo packet_trace_window("PacketTrace", "PacketTrace", "Packet Trace Window", "View CAN HLP Messages",
                                             16, packet_trace_xpm, DataWindowTypeInfo::CanWindow,
                                             &VyrPacketTrace::create);

} // namespace
