#pragma once
// The bit timing rule of the CAN interfaces and their settings dialogs: the
// bitrate a controller clock gives with a prescaler and two time segments,
// and where in the bit the sample is taken.

// (clock / prescaler) / (tseg1 + tseg2 + 1) in integer division; a prescaler
// of 0 counts as 1. 0 for segments that give no bit time.
long can_bitrate_from_timing(long clock, int prescaler, int tseg1, int tseg2);
// (tseg1 + 1) / (tseg1 + tseg2 + 1) in percent, rounded to the nearest
// integer; 0 for segments that give no bit time.
int can_sample_point(int tseg1, int tseg2);
