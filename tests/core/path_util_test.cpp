#include "core/path_util.h"

#include <QCoreApplication>
#include <QDir>
#include <gtest/gtest.h>

namespace {

TEST(ReplaceExtension, CutsOnlyAnExtensionOfTheLastComponent)
{
    const struct
    {
        const char *name, *result;
    } cases[] = {
        {"dir.old/file", "dir.old/file.log"}, {"a.txt", "a.log"}, {"a.b\\c", "a.b\\c.log"},
        {"c:x", "c:x.log"},                   {"x.", "x.log"},    {"", ".log"},
        {"/p/q.r.s", "/p/q.r.log"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(replace_extension(c.name, "log"), QString(c.result)) << c.name;
}

TEST(MakePathRelative, DropsCommonDirectoriesAndClimbsOutOfTheBase)
{
    const struct
    {
        const char *base, *file, *relative;
    } cases[] = {
        {"/home/u/proj", "/home/u/proj/sub/a.sig", "sub/a.sig"},
        {"/home/u/proj", "/home/u/other/b.dbc", "../other/b.dbc"},
        {"/home/u/proj/", "/x/y.z", "../../../x/y.z"},
        {"/home/u/proj", "/home/u/proj/../proj/./c.vyr", "c.vyr"},
        {"/home/U", "/home/u/x", "../u/x"}, // names differing in case are different directories
        {"/", "/a/b", "a/b"},
        {"/a/b", "/a/b", "../b"},
    };
    for (const auto &c : cases) {
        QFileInfo file(c.file);
        EXPECT_EQ(make_path_relative(file, c.base), 1) << c.file;
        EXPECT_EQ(file.filePath(), QString(c.relative)) << c.file << " against " << c.base;
    }
    QFileInfo relative("rel/x.sig");
    EXPECT_EQ(make_path_relative(relative, "/home"), 0);
    EXPECT_EQ(relative.filePath(), QString("rel/x.sig"));
}

TEST(ApplicationDirPath, IsTheDirectoryOfTheRunningProgram)
{
    EXPECT_EQ(application_dir_path(), QDir::toNativeSeparators(QCoreApplication::applicationDirPath()));
}

} // namespace
