#pragma once
// Two hooks through which tests drive the program as a process on the
// offscreen platform, where no one can click:
// - VYR_TEST_DISCLAIMER=accept|decline presses that button of the disclaimer
//   once it is shown;
// - VYR_TEST_REPORT=<file> writes, once set-up is done and the message rows
//   are shown, what the main window shows into <file>, the texts of its
//   message rows into <file>.rows and its picture into <file>.png, then closes the window
//   (VYR_TEST_REPORT_DELAY_MS: after that many ms rather than 500).
// Without them the program behaves as ever.
class VyrDialogDisclaimer;
class VyrMain;

void answer_disclaimer_when_asked(VyrDialogDisclaimer *dialog);
void report_main_window_when_asked(VyrMain *main_window);
