#include "settings/save_file.h"
#include "test_support.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <string>

namespace {

class SaveFileTest : public ::testing::Test
{
protected:
    QString path(const char *name) const { return dir.filePath(QString::fromLatin1(name)); }

    static std::string contents(const QString &file_name)
    {
        QFile file(file_name);
        return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string("<unreadable>");
    }

    QStringList files() const { return QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden); }

    QTemporaryDir dir;
};

TEST_F(SaveFileTest, ReplacesTheFileAndKeepsItsPermissions)
{
    const QString target = path("settings.vyr");
    ASSERT_EQ(save_file(target, "old\n"), 0);
    ASSERT_TRUE(QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));

    ASSERT_EQ(save_file(target, "new\n"), 0);
    EXPECT_EQ(contents(target), "new\n");
    // User, group and others: read-write, read, nothing.
    EXPECT_EQ(QFile::permissions(target) & 0x0777, QFile::ReadUser | QFile::WriteUser | QFile::ReadGroup);
    EXPECT_EQ(files(), QStringList{"settings.vyr"});
}

TEST_F(SaveFileTest, FailedSaveReportsAndLeavesTheOldFile)
{
    const std::string large(64 * 1024, 'x');
    struct Case
    {
        const char *what;
        const char *target;
        rlim_t file_size_limit; // RLIM_INFINITY: no limit
    };
    const Case cases[] = {
        {"folder missing", "missing/settings.vyr", RLIM_INFINITY},
        {"target is a folder", "folder", RLIM_INFINITY},
        {"write fails part way (disc full)", "settings.vyr", 4096},
    };
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("folder")));
    ASSERT_EQ(save_file(path("settings.vyr"), "old\n"), 0);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        {
            vyr_test::FileSizeLimit limit(c.file_size_limit);
            EXPECT_EQ(save_file(path(c.target), large), -1);
        }
        EXPECT_EQ(contents(path("settings.vyr")), "old\n");
        EXPECT_TRUE(QFileInfo(path("folder")).isDir());
        EXPECT_EQ(files(), (QStringList{"folder", "settings.vyr"})); // no temporary file left
    }
}

} // namespace
