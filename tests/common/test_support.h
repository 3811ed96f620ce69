#pragma once
// Helpers shared by the test programs.
#include <QDir>
#include <QString>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <string>

namespace vyr_test {

// The shared public test data folder, or an empty string when this clone has none.
inline std::string testdata_dir()
{
    QDir dir(QStringLiteral(VYR_TESTDATA_DIR));
    return dir.exists() ? dir.absolutePath().toStdString() : std::string();
}

} // namespace vyr_test

// Skips the current test with a clear message when the shared test data is absent.
#define VYR_REQUIRE_TESTDATA()                                                              \
    do {                                                                                    \
        if (vyr_test::testdata_dir().empty())                                               \
            GTEST_SKIP() << "shared test data folder " VYR_TESTDATA_DIR " is absent";       \
    } while (0)
