#include "app/shell/settings_store.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// The per-user settings find their folder once per process: point it at a
// folder of this test before anything reads settings.
QTemporaryDir &config_home()
{
    static QTemporaryDir dir;
    return dir;
}

const bool config_home_set = [] {
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config_home().path()));
    return true;
}();

QString preferences_file()
{
    return QDir(config_home().path()).filePath("ORVANDEL/Vyr.conf");
}

} // namespace

TEST(SettingsStore, EmptyPreferencesGiveTheDefaultsAndWritesLandInTheInstanceGroup)
{
    {
        SettingsStore store("ORVANDEL", "Vyr", 1);
        for (const char *key : {"DontShowToolbuttonLabels", "DontDisplayCompileOKMessage", "DisableMemoryOptimization",
                                "DisableSplashWindow", "DisableDisclaimerWindow", "BeCarefulWithThatAxe"})
            EXPECT_FALSE(store.read_bool(key, false)) << key;
        EXPECT_EQ(store.read_number("OnlineHelpLanguage", 0), 0);
        EXPECT_EQ(store.read_number("OnlineHelpLanguage", 3), 3);
        store.begin_group("ConfigLRU");
        EXPECT_EQ(store.read_entry("a"), "");
        store.write_entry("a", "/home/user/bench.vyr");
        store.end_group();
        store.write_bool("DisableSplashWindow", true);
        store.write_number("OnlineHelpLanguage", 1);
    }
    QSettings file(preferences_file(), QSettings::IniFormat);
    EXPECT_EQ(file.value("V1/ConfigLRU/a").toString(), "/home/user/bench.vyr");
    EXPECT_TRUE(file.value("V1/DisableSplashWindow").toBool());
    EXPECT_EQ(file.value("V1/OnlineHelpLanguage").toInt(), 1);

    // Another instance number is another group; the program's store reads instance 1.
    SettingsStore second("ORVANDEL", "Vyr", 2);
    EXPECT_FALSE(second.read_bool("DisableSplashWindow", false));
    EXPECT_TRUE(settings_store().read_bool("DisableSplashWindow", false));
    EXPECT_EQ(settings_store().read_number("OnlineHelpLanguage", 0), 1);
}
