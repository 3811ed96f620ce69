#include "app/shell/vyr_start_options.h"

#include "core/vyr_recent_list.h"

#include <QDir>
#include <QFileInfo>

#include <cstdlib>

VyrStartOptions parse_start_options(const QStringList &arguments)
{
    VyrStartOptions options;
    const int count = arguments.size();
    for (int i = 1; i < count; ++i) {
        const QString &argument = arguments[i];
        const bool has_value = i + 1 < count;
        if (argument == QLatin1String("-nort"))
            options.nort = true;
        else if (argument == QLatin1String("-nice"))
            options.nice = true;
        else if (argument == QLatin1String("-minimized"))
            options.minimized = true;
        else if (argument == QLatin1String("-nosplash"))
            options.nosplash = true;
        else if (argument == QLatin1String("-nodisclaimer"))
            options.nodisclaimer = true;
        else if (argument == QLatin1String("-nortclockx"))
            options.nortclockx = true;
        else if (argument == QLatin1String("-start"))
            options.start = true;
        else if (argument == QLatin1String("-mutex") && has_value)
            options.mutex_name = arguments[++i];
        else if (argument == QLatin1String("-startdelayed") && has_value) {
            // As atoi reads it: leading digits, else 0.
            options.start_delay = std::atoi(arguments[++i].toLocal8Bit().constData());
            options.start = true;
        } else if (argument == QLatin1String("-noreopen"))
            options.noreopen = true;
        else if (argument == QLatin1String("-use_timerevents"))
            options.use_timerevents = true;
        else if (argument == QLatin1String("-use_timercpu"))
            options.use_timercpu = true;
        else if (argument == QLatin1String("-service"))
            options.service = true;
        else if (argument == QLatin1String("-h") || argument == QLatin1String("--help"))
            options.help = true;
        else if (options.file_argument.isEmpty())
            options.file_argument = argument;
    }
    return options;
}

QString start_options_usage()
{
    return QStringLiteral("Usage: vyr [options] [configuration file]\n"
                          "  -h, --help         print these options and end\n"
                          "  -start             start the measurement once the configuration is loaded\n"
                          "  -startdelayed N    start the measurement N seconds (at most 3600) after loading\n"
                          "  -minimized         minimise the main window after start-up\n"
                          "  -nosplash          show no splash window\n"
                          "  -nodisclaimer      show no disclaimer\n"
                          "  -noreopen          take no configuration from the recent list or default.vyr\n"
                          "  -mutex NAME        end at once while another vyr started with the same NAME runs\n"
                          "  -nort              keep the normal process priority during a measurement\n"
                          "  -nice              with -nort: the interface threads still run time-critical\n"
                          "  -nortclockx        do not open the clock device\n"
                          "  -use_timerevents   run the timer cycle on every notification of the timing interface\n"
                          "  -use_timercpu      busy-poll the timer on one processor (needs two or more)\n"
                          "  -service           run as the service when the service is installed and running\n"
                          "  -activex           run as the automation server that the D-Bus session bus starts\n"
                          "  -regserver         register vyr with the session bus as its automation server and end\n"
                          "  -unregserver       remove that registration and end\n"
                          "  -dumpidl FILE      write the automation objects' interface description to FILE and end\n");
}

QString resolve_file_argument(const QString &argument)
{
    if (argument.isEmpty())
        return argument;
    for (const QString &name : {argument, argument + QLatin1String(".vyr")}) {
        const QFileInfo file(name);
        if (file.isFile() && file.isReadable())
            return file.absoluteFilePath();
    }
    return argument;
}

QString choose_configuration_file(const QString &command_line_file, bool noreopen, const VyrRecentList &recent,
                                  const QString &program_directory)
{
    if (noreopen || !command_line_file.isEmpty())
        return command_line_file;
    if (const char *newest = recent.at(0); newest && *newest)
        return QString::fromLocal8Bit(newest);
    return QDir::toNativeSeparators(QDir(program_directory).filePath(QStringLiteral("default.vyr")));
}

bool timer_cpu_possible(int processors_in_affinity_set)
{
    return processors_in_affinity_set >= 2;
}
