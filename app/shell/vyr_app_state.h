#pragma once
// What start-up establishes for the whole program: the command-line options,
// the program directory, the installed help languages, the configuration
// object and the list of recent configurations.
#include "app/shell/vyr_start_options.h"

#include <QString>

class QtbConfig;
class VyrRecentList;

struct VyrAppState
{
    VyrStartOptions options;
    // Absolute, with forward slashes.
    QString program_directory;
    // Bit 0 German, 1 English, 2 Japanese, 3 simplified Chinese.
    unsigned help_language_mask = 0;
    int help_language = 0;
    // The one configuration object (owned); null before start-up reads it.
    QtbConfig *configuration = nullptr;
};

VyrAppState &vyr_app_state();
// Deletes the configuration object and makes this one (may be null) the program's.
void replace_configuration(QtbConfig *configuration);

// The recent configurations, most recent first (20 names, case-sensitive).
VyrRecentList &config_lru();

// The codes of the help languages in the order of the mask bits.
extern const char *const help_language_codes[4];
// Bits of the help collections help/vyr/<code>/vyr_<code>.qhc that exist below
// the program directory.
unsigned installed_help_languages(const QString &program_directory);
