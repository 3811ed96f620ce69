// The grammar and its code generation, end to end: scripts are compiled by
// the real lexer and grammar into a machine and their handlers are run.
#include "tests/script/script_test_host.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QStringList>

#include <string>

using script_test::TestHost;

namespace {

std::string read_file(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::string();
    return file.readAll().toStdString();
}

// What compiling the script and running its start handlers writes.
std::string transcript_of(const std::string &script)
{
    TestHost host;
    const int result = host.compile_script(script);
    if (result == 0)
        host.run_start_handlers();
    else
        host.transcript += "--- result " + std::to_string(result) + "\n";
    return host.transcript;
}

} // namespace

// Every tests/script/grammar/NAME.vys is compiled and run; its transcript must
// equal NAME.expected.
TEST(ScriptGrammarGolden, ScriptsCompileAndRunAsExpected)
{
    const QDir dir(QStringLiteral(VYR_TEST_SOURCE_DIR "/grammar"));
    const QStringList scripts = dir.entryList({QStringLiteral("*.vys")}, QDir::Files, QDir::Name);
    ASSERT_FALSE(scripts.isEmpty());
    for (const QString &name : scripts) {
        SCOPED_TRACE(name.toStdString());
        const std::string expected = read_file(dir.filePath(QString(name).replace(".vys", ".expected")));
        EXPECT_FALSE(expected.empty()) << "no expected transcript";
        EXPECT_EQ(transcript_of(read_file(dir.filePath(name))), expected);
    }
}
