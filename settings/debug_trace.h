#pragma once
// Debug output of the program: one print whose lines begin with class and
// method ("VyrCanIf::start: ..."), written only while the global switch is on.
// The switch starts from the environment variable VYR_DEBUG (any value but "0").

bool debug_trace_enabled();
void set_debug_trace_enabled(bool on);

// printf-style; a line end is added when the text has none.
void debug_trace(const char *format, ...) __attribute__((format(printf, 1, 2)));
