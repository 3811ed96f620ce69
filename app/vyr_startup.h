#pragma once
// The program's start-up and shutdown: the command line, the single-instance
// rule, the clock driver, the configuration to start with, the process-wide
// objects, the disclaimer and the splash, the main window, the event loop,
// and the teardown in the reverse order.

// The program's entry; answers its exit code: the event loop's result, or 1
// when the single-instance mutex exists already or the disclaimer is declined.
int vyr_main(int argc, char **argv);

// The text start-up shows in the disclaimer unless a translation gives one.
extern const char *const built_in_disclaimer_text;
