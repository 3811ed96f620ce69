// Golden scripts: each tests/script/golden/NAME.vys is compiled with the
// built-in library and its start handler run by the script_run program; what
// it prints must equal NAME.expected. A line "// exit: N" in the script names the
// exit status expected (0 otherwise), "// args: ..." extra options.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <string>
#include "test_paths.h"

namespace {

QString read_all(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(file.readAll());
}

struct RunResult {
    QString output;
    int exit_code = -1;
};

RunResult run_script(const QString &path, const QStringList &options)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.start(vyr_test::bin_dir() + "/script_run", QStringList(options) << path);
    RunResult result;
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        return result;
    }
    result.output = QString::fromUtf8(process.readAllStandardOutput());
    result.exit_code = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return result;
}

TEST(ScriptGolden, EveryScriptPrintsItsGoldenOutput)
{
    const QDir dir(vyr_test::source_dir() + "/tests/script/golden");
    const QStringList scripts = dir.entryList({QStringLiteral("*.vys")}, QDir::Files, QDir::Name);
    ASSERT_FALSE(scripts.isEmpty());
    for (const QString &name : scripts) {
        SCOPED_TRACE(name.toStdString());
        const QString path = dir.filePath(name);
        const QString script = read_all(path);
        int expected_exit = 0;
        const auto exit_line = QRegularExpression(QStringLiteral("^// exit: (\\d+)$"),
                                                  QRegularExpression::MultilineOption)
                                   .match(script);
        if (exit_line.hasMatch())
            expected_exit = exit_line.captured(1).toInt();
        QStringList options;
        const auto args_line = QRegularExpression(QStringLiteral("^// args: (.*)$"),
                                                  QRegularExpression::MultilineOption)
                                   .match(script);
        if (args_line.hasMatch())
            options = args_line.captured(1).split(QLatin1Char(' '), Qt::SkipEmptyParts);

        const RunResult result = run_script(path, options);
        const QString expected = read_all(dir.filePath(QFileInfo(name).completeBaseName() + ".expected"));
        EXPECT_EQ(result.output.toStdString(), expected.toStdString());
        EXPECT_EQ(result.exit_code, expected_exit);
    }
}

} // namespace
