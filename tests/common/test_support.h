#pragma once
// Helpers shared by the test programs.
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <clocale>
#include <string>

namespace vyr_test {

// The shared public test data folder, or an empty string when this clone has none.
inline std::string testdata_dir()
{
    QDir dir(QStringLiteral(VYR_TESTDATA_DIR));
    return dir.exists() ? dir.absolutePath().toStdString() : std::string();
}

// Switches LC_NUMERIC to a locale whose decimal point is ",": an installed
// one, or one compiled with localedef into `dir` (which must outlive its use).
// False when neither works. The caller restores the locale it had.
inline bool use_decimal_comma_locale(const QString &dir)
{
    for (const char *name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8"})
        if (std::setlocale(LC_NUMERIC, name))
            return true;
    QProcess localedef;
    localedef.start(QStringLiteral("localedef"), {"-i", "de_DE", "-f", "UTF-8", dir + "/de_DE.UTF-8"});
    if (!localedef.waitForFinished(60000) || localedef.exitCode() != 0)
        return false;
    qputenv("LOCPATH", QFile::encodeName(dir));
    const bool ok = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;
    qunsetenv("LOCPATH");
    return ok;
}

} // namespace vyr_test

// Skips the current test with a clear message when the shared test data is absent.
#define VYR_REQUIRE_TESTDATA()                                                              \
    do {                                                                                    \
        if (vyr_test::testdata_dir().empty())                                               \
            GTEST_SKIP() << "shared test data folder " VYR_TESTDATA_DIR " is absent";       \
    } while (0)
