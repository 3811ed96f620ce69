#pragma once
// Whether a graphical program of this process would find its display, asked
// before the toolkit looks: the toolkit ends the process with a core dump
// when its window system is not there, leaving behind what the process had
// started. Only the window systems that need a server are checked (X11
// through DISPLAY, Wayland through WAYLAND_DISPLAY); other platforms
// (offscreen, ...) need none.
#include <string>

namespace platform {

// The reason why no display is there for the toolkit platform of that name
// (empty: the toolkit's default, X11), or an empty string when there is one.
std::string missing_display_reason(const std::string &toolkit_platform);

} // namespace platform
