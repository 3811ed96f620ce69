#include "app/shell/vyr_app_state.h"

#include "settings/qtb_config.h"
#include "core/vyr_recent_list.h"

#include <QFileInfo>

const char *const help_language_codes[4] = {"de", "en", "ja_jp", "zh_cn"};

VyrAppState &vyr_app_state()
{
    static VyrAppState state;
    return state;
}

void replace_configuration(QtbConfig *configuration)
{
    QtbConfig *previous = vyr_app_state().configuration;
    vyr_app_state().configuration = configuration;
    if (previous != configuration)
        delete previous;
}

VyrRecentList &config_lru()
{
    static VyrRecentList list(20);
    return list;
}

unsigned installed_help_languages(const QString &program_directory)
{
    unsigned mask = 0;
    for (unsigned bit = 0; bit < 4; ++bit) {
        const QString code = QString::fromLatin1(help_language_codes[bit]);
        const QString profile = program_directory + QLatin1String("/help/vyr/") + code + QLatin1String("/vyr_") + code +
            QLatin1String(".qhc");
        if (QFileInfo::exists(profile))
            mask |= 1u << bit;
    }
    return mask;
}
