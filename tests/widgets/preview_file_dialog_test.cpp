#include "test_paths.h"
#include "widgets/misc/previewfiledialog.h"

#include <QAbstractItemView>
#include <QFile>
#include <QListView>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <QUrl>
#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

QString write_file(const QTemporaryDir &dir, const QString &name, const QByteArray &contents)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(contents);
    return path;
}

QString preview_of(Preview &preview, const QString &path)
{
    preview.preview_url(QUrl::fromLocalFile(path));
    return preview.text();
}

} // namespace

TEST(Preview, ShowsTheLeadingCommentLines)
{
    QTemporaryDir dir;
    Preview preview;
    EXPECT_EQ(preview_of(preview, write_file(dir, "header.txt", "# first\n#second\r\n#\nbody\n# later\n")),
              " first\nsecond\n\n");
    EXPECT_EQ(preview_of(preview, write_file(dir, "plain.txt", "body\n# comment\n")), "");
    EXPECT_EQ(preview_of(preview, write_file(dir, "last.txt", "# no line end")), " no line end\n");

    QByteArray many;
    for (int i = 1; i <= 45; ++i)
        many += "# line " + QByteArray::number(i) + '\n';
    const QStringList lines = preview_of(preview, write_file(dir, "many.txt", many)).split('\n');
    ASSERT_EQ(lines.size(), 41); // 40 lines, each with its line break
    EXPECT_EQ(lines[39], " line 40");

    preview.preview_url(QUrl("http://localhost/file.txt"));
    EXPECT_EQ(preview.text(), "I only show local files!");
}

TEST(Preview, ClearsForWhatIsNoReadableFile)
{
    QTemporaryDir dir;
    Preview preview;
    const QString header = write_file(dir, "header.txt", "# header\n");
    const QString fifo = dir.filePath("fifo");
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString unreadable = write_file(dir, "unreadable.txt", "# secret\n");
    QFile::setPermissions(unreadable, QFileDevice::WriteOwner);
    const bool root = geteuid() == 0; // root reads the file all the same

    for (const QString &path : {dir.path(), fifo, dir.filePath("missing"), unreadable}) {
        SCOPED_TRACE(path.toStdString());
        EXPECT_EQ(preview_of(preview, header), " header\n");
        if (path == unreadable && root)
            continue;
        EXPECT_EQ(preview_of(preview, path), ""); // a FIFO is never opened: this would block
    }
}

TEST(Preview, ReadsNoMoreThanTheHeaderOfAFileWithoutLineBreaks)
{
    QTemporaryDir dir;
    Preview preview;
    // Starts with "#" and holds no line break: only the first part of it is taken.
    const QByteArray blob = "#" + QByteArray(8 * 1024 * 1024, 'x');
    const QString text = preview_of(preview, write_file(dir, "blob.bin", blob));
    EXPECT_EQ(text, QString(Preview::max_line_length - 1, 'x') + "\n");

    // A long comment line is cut and ends the header.
    const QByteArray long_line = "#" + QByteArray(10000, 'y') + "\n# next\n";
    EXPECT_EQ(preview_of(preview, write_file(dir, "long.txt", long_line)),
              QString(Preview::max_line_length - 1, 'y') + "\n");
}

TEST(PreviewFileDialog, PaneFollowsTheFilePickedInTheList)
{
    const QString demo_dir = vyr_test::source_dir() + "/demo";
    ASSERT_TRUE(QFile::exists(demo_dir + "/demo.vyr"));

    PreviewFileDialog dialog;
    EXPECT_TRUE(dialog.isModal());
    EXPECT_TRUE(dialog.testOption(QFileDialog::DontUseNativeDialog));
    EXPECT_EQ(dialog.viewMode(), QFileDialog::List);
    auto *preview = dialog.findChild<Preview *>("preview");
    ASSERT_EQ(preview, dialog.preview());
    auto *text_view = preview->findChild<QTextEdit *>("preview_text");
    ASSERT_NE(text_view, nullptr);
    EXPECT_TRUE(text_view->isReadOnly());
    const QImage paper = text_view->palette().brush(QPalette::Base).texture().toImage();
    EXPECT_EQ(paper.size(), QSize(96, 96));
    EXPECT_EQ(QColor(paper.pixel(50, 50)), QColor(0xc0, 0xc0, 0xc0));

    dialog.setDirectory(demo_dir);
    dialog.resize(800, 400);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    EXPECT_TRUE(preview->isVisible());

    auto *list = dialog.findChild<QListView *>("listView");
    ASSERT_NE(list, nullptr);
    QModelIndex demo;
    // The file system model fills the list in the background.
    for (int attempt = 0; attempt < 100 && !demo.isValid(); ++attempt) {
        QTest::qWait(20);
        const QModelIndex root = list->rootIndex();
        for (int row = 0; row < list->model()->rowCount(root); ++row) {
            const QModelIndex index = list->model()->index(row, 0, root);
            if (index.data().toString() == "demo.vyr")
                demo = index;
        }
    }
    ASSERT_TRUE(demo.isValid());
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, list->visualRect(demo).center());

    QFile file(demo_dir + "/demo.vyr");
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray first_line = file.readLine().trimmed();
    ASSERT_TRUE(first_line.startsWith('#'));
    EXPECT_TRUE(preview->text().startsWith(QString::fromUtf8(first_line.mid(1)))) << preview->text().toStdString();
}
