#pragma once
// The 16x16 pictures of the data windows' standard tool buttons.
extern const char *const log_to_file_xpm[];
extern const char *const window_properties_xpm[];
extern const char *const pause_xpm[];
extern const char *const help_xpm[];
