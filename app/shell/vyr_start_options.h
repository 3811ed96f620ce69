#pragma once
// The command line of vyr and the choice of the configuration file it
// starts with.
#include <QString>
#include <QStringList>

class VyrRecentList;

struct VyrStartOptions
{
    bool nort = false;
    bool nice = false;
    bool minimized = false;
    bool nosplash = false;
    bool nodisclaimer = false;
    bool nortclockx = false;
    bool start = false;
    bool noreopen = false;
    bool use_timerevents = false;
    bool use_timercpu = false;
    bool service = false;
    // "-h" or "--help": print the options and end.
    bool help = false;
    // Seconds of "-startdelayed"; 0 starts at once.
    int start_delay = 0;
    // Empty: no single-instance rule.
    QString mutex_name;
    // The first argument that is no option, as typed; empty when none.
    QString file_argument;
};

// Reads the arguments after the program name. Options compare exactly;
// "-mutex" and "-startdelayed" take the next argument, and as the last
// argument count as the file argument.
VyrStartOptions parse_start_options(const QStringList &arguments);

// The options, one line each, for "-h" and "--help".
QString start_options_usage();

// The file that a file argument names: its absolute path when it is a
// readable file, else that of the name with ".vyr" appended when that one
// is, else the argument unchanged.
QString resolve_file_argument(const QString &argument);

// The configuration to start with: the command-line file; unless noreopen,
// when there is none the newest recent file, and when there is none either
// the file "default.vyr" in the program directory (native separators).
QString choose_configuration_file(const QString &command_line_file, bool noreopen, const VyrRecentList &recent,
                                  const QString &program_directory);

// "-use_timercpu" busy-polls one processor, so it needs at least two.
bool timer_cpu_possible(int processors_in_affinity_set);
