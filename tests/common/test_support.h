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
#include <csignal>
#include <string>
#include <sys/resource.h>

#include "test_paths.h"

namespace vyr_test {

// The shared public test data folder, or an empty string when this clone has none.
inline std::string testdata_dir()
{
    QDir dir(configured_testdata_dir());
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

// While it lives, a write that would make a file of this process larger than
// `bytes` fails with EFBIG (the signal the kernel would send is ignored): a
// full disc for the one test that sets it.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &saved_limit_);
        saved_handler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = saved_limit_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &saved_limit_);
        std::signal(SIGXFSZ, saved_handler_);
    }
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

private:
    rlimit saved_limit_{};
    void (*saved_handler_)(int) = SIG_DFL;
};

} // namespace vyr_test

// Skips the current test with a clear message when the shared test data is absent.
#define VYR_REQUIRE_TESTDATA()                                                                              \
    do {                                                                                                    \
        if (vyr_test::testdata_dir().empty())                                                               \
            GTEST_SKIP() << "shared test data folder " << vyr_test::configured_testdata_dir().toStdString() \
                         << " is absent";                                                                   \
    } while (0)
