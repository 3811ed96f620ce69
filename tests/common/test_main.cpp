#include <QApplication>
#include <gtest/gtest.h>

// CTest reports a test program that exits with this code as skipped
// (SKIP_RETURN_CODE in cmake/VyrHelpers.cmake).
constexpr int skipped_exit_code = 77;

int main(int argc, char **argv)
{
    // Widgets need an application object; CTest runs every test on the offscreen platform.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    // A program some of whose tests skipped (test data or a tool absent) does
    // not pass as if all had run. A failure wins over a skip, and so does a
    // sanitizer's finding at exit, which replaces the exit code.
    const int result = RUN_ALL_TESTS();
    if (result == 0 && ::testing::UnitTest::GetInstance()->skipped_test_count() > 0)
        return skipped_exit_code;
    return result;
}
