#include "script/script_compiler.h"
#include "script/script_keywords.h"
#include "script/script_source.h"
#include "script/script_tokens.h"
#include "tests/common/test_support.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

// Keeps the messages instead of printing them.
class RecordingCompiler : public ScriptCompiler {
public:
    void error(const char *format, ...) override
    {
        va_list args;
        va_start(args, format);
        errors.push_back(format_message(500, format, args));
        va_end(args);
        error_lines.push_back(line);
    }
    void warning(const char *format, ...) override
    {
        va_list args;
        va_start(args, format);
        warnings.push_back(format_message(500, format, args));
        va_end(args);
    }

    std::vector<std::string> errors;
    std::vector<int> error_lines;
    std::vector<std::string> warnings;
};

// A stack of up to eight files in one folder, as the script hosting's file
// source keeps them.
class FolderSource : public ScriptSource {
public:
    FolderSource(std::string folder, const std::string &name) : folder_(std::move(folder))
    {
        files_.push_back({name});
    }
    ~FolderSource() override { close(); }

    int get_char() override
    {
        if (!pushed_.empty()) {
            const int c = pushed_.back();
            pushed_.pop_back();
            return c;
        }
        FILE *f = files_.back().file;
        const int c = f ? fgetc(f) : EOF;
        return c == EOF ? kEnd : c;
    }
    void unget_char(int c) override { pushed_.push_back(c); }
    int open() override
    {
        File &f = files_.back();
        f.file = fopen((folder_ + "/" + f.name).c_str(), "rb");
        return f.file ? 0 : -1;
    }
    int close() override
    {
        for (File &f : files_)
            if (f.file) {
                fclose(f.file);
                f.file = nullptr;
            }
        return 0;
    }
    void set_file_name(const char *name) override { files_.back().name = name; }
    int push_include(int line) override
    {
        if (files_.size() >= 8)
            return -1;
        files_.back().saved_line = line;
        files_.push_back({});
        return 0;
    }
    int pop_include(int *line) override
    {
        if (files_.size() <= 1)
            return -1;
        if (files_.back().file)
            fclose(files_.back().file);
        files_.pop_back();
        *line = files_.back().saved_line;
        return 0;
    }

private:
    struct File {
        std::string name;
        FILE *file = nullptr;
        int saved_line = 0;
    };
    std::string folder_;
    std::vector<File> files_;
    std::vector<int> pushed_;
};

// One token in a readable form: id(x), int(5), dbl(0.5), str(..), chr(..),
// 'c' for a character token, the number for other codes, end, error.
std::string describe(int code, const ScriptTokenValue &v)
{
    std::ostringstream out;
    switch (code) {
    case T_END_OF_INPUT: return "end";
    case T_LEX_ERROR: return "error";
    case T_IDENT: out << "id(" << v.text << ")"; break;
    case T_INT_CONST: out << "int(" << v.int_value << ")"; break;
    case T_DOUBLE_CONST: out << "dbl(" << v.double_value << ")"; break;
    case T_STRING_CONST: out << "str(" << v.text << ")"; break;
    case T_CHAR_CONST: out << "chr(" << v.text << ")"; break;
    default:
        if (code < 256)
            out << "'" << static_cast<char>(code) << "'";
        else
            out << code;
    }
    return out.str();
}

// Every token up to the end of input or the first lexical error.
std::string lex_all(ScriptCompiler &compiler)
{
    std::string stream;
    ScriptTokenValue value;
    for (;;) {
        const int code = compiler.next_token(&value);
        if (!stream.empty())
            stream += ' ';
        stream += describe(code, value);
        if (code == T_END_OF_INPUT || code == T_LEX_ERROR)
            return stream;
    }
}

class ScriptLexer : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(script_keywords_build(true), 0); }
    void TearDown() override { script_keywords_free(); }

    std::string lex(const std::string &text)
    {
        source.set_text(text.c_str());
        compiler.source = &source;
        compiler.line = 1;
        return lex_all(compiler);
    }

    RecordingCompiler compiler;
    ScriptStringSource source;
};

} // namespace

TEST_F(ScriptLexer, TokenStreams)
{
    const struct {
        const char *input;
        const char *tokens;
    } cases[] = {
        // numbers
        {"0x1F 0XfF 010 7", "int(31) int(255) int(10) int(7) end"},
        {"1e5 .5 2.25 1.5e-3 2E+2 3.", "dbl(100000) dbl(0.5) dbl(2.25) dbl(0.0015) dbl(200) dbl(3) end"},
        {"0xFFFFFFFF 4294967297", "int(-1) int(1) end"},
        {"1e", "error"},
        {"1e+;", "error"},
        {"12x5", "error"},
        {"0xg 12xy", "int(0) id(xg) int(12) id(xy) end"},
        {"3.x", "dbl(3) id(x) end"},
        // dots
        {"a...b", "id(a) 261 id(b) end"},
        {"a.b", "id(a) '.' id(b) end"},
        {"a..b", "id(a) '.' '.' id(b) end"},
        {"s.5", "id(s) dbl(0.5) end"},
        // keywords are case-sensitive; the alias words come with compatibility
        {"int Int _x1 elCount __pragma_internal", "268 id(Int) id(_x1) 322 320 end"},
        {"long word dword float message", "268 268 268 267 294 end"},
        {"if else on variables envvar startup", "306 312 311 309 310 314 end"},
        // operators, matched greedily
        {"<<= << <= < >>= >> >= >", "304 281 277 '<' 305 282 275 '>' end"},
        {"== = != ! || |= | && &= &", "273 '=' 274 '!' 279 301 '|' 280 303 '&' end"},
        {"++ += + -- -= - *= * /= / %= % ^= ^ ~", "283 296 '+' 284 298 '-' 297 '*' 299 '/' 300 '%' 302 '^' '~' end"},
        {"a--b a<<=b", "id(a) 284 id(b) id(a) 304 id(b) end"},
        {"{}[](),;:", "'{' '}' '[' ']' '(' ')' ',' ';' ':' end"},
        // comments and directives
        {"a // x */ y\n b /* y\n // */ c", "id(a) id(b) id(c) end"},
        {"#include <x>\n#pragma once\n  #define X 1\nx", "id(x) end"},
        {"a/ b", "id(a) '/' id(b) end"},
        // strings: escapes and joining
        {R"("a\tb\\c\"d\qe")", "str(a\tb\\c\"d\\qe) end"},
        {"\"abc\" \"def\"", "str(abcdef) end"},
        {"\"abc\"\n\t \"def\" \"\"", "str(abcdef) end"},
        {"\"abc\" /* x */ \"def\"", "str(abc) str(def) end"},
        {"\"abc\"x\"def\"", "str(abc) id(x) str(def) end"},
        {"\"a'b\\'\"", "str(a'b\\') end"},
        // character constants
        {"'a' 'ab'", "chr(a) chr(ab) end"},
        {"'''' '\\'' '\\n' '\"'", "chr(') chr(') chr(\n) chr(\") end"},
        {"'' x", "chr() id(x) end"},
        // characters outside the language are their own tokens
        {"@ $", "'@' '$' end"},
        {"", "end"},
    };
    for (const auto &c : cases) {
        compiler.errors.clear();
        EXPECT_EQ(lex(c.input), c.tokens) << "input: " << c.input;
        EXPECT_TRUE(compiler.errors.empty()) << "input: " << c.input << " error: " << compiler.errors.front();
    }
}

// The toolkit installs the user's numeric locale at start-up; a constant in a
// script still reads with a decimal point.
TEST_F(ScriptLexer, DoublesIgnoreTheNumericLocale)
{
    QTemporaryDir locale_dir;
    const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
    if (!vyr_test::use_decimal_comma_locale(locale_dir.path()))
        GTEST_SKIP() << "no locale with a decimal comma is available";
    const std::string tokens = lex("2.5 1.5e-3");
    std::setlocale(LC_NUMERIC, saved.c_str());
    EXPECT_EQ(tokens, "dbl(2.5) dbl(0.0015) end");
}

TEST_F(ScriptLexer, LinesAreCountedEverywhere)
{
    EXPECT_EQ(lex("a\n/* one\ntwo */ b // x\n\"s\ntr\" 'c\n'\n#pragma x\nc"), "id(a) id(b) str(s\ntr) chr(c\n) id(c) end");
    EXPECT_EQ(compiler.line, 8);
    ASSERT_EQ(compiler.warnings.size(), 1u);
    EXPECT_EQ(compiler.warnings[0], "Line break in string constant.");
}

TEST_F(ScriptLexer, ErrorsEndTheTokenStream)
{
    const struct {
        std::string input;
        const char *tokens;
        const char *message;
    } cases[] = {
        {"a /* open\n", "id(a) error", "Error: Unexpected eof in comment"},
        {"\"open", "error", "Error: Unexpected eof in string constant"},
        {"'open", "error", "Error: Unexpected eof in character constant"},
        {"#include \"x.h\"\n", "error",
         "Can not include file 'x.h' - no more than 8 files can be recursively included."},
        {std::string(513, 'i'), "error", "Identifier too long."},
        {"'" + std::string(513, 'c') + "' x", "error", "Character constant too long."},
        // any blanks around "include"
        {"#\vinclude\t\"x.h\"\n", "error",
         "Can not include file 'x.h' - no more than 8 files can be recursively included."},
    };
    for (const auto &c : cases) {
        compiler.errors.clear();
        EXPECT_EQ(lex(c.input), c.tokens) << "input: " << c.input.substr(0, 40);
        ASSERT_EQ(compiler.errors.size(), 1u) << "input: " << c.input.substr(0, 40);
        EXPECT_EQ(compiler.errors[0], c.message);
    }
}

TEST_F(ScriptLexer, LongestIdentifierAndCharacterConstantFit)
{
    const std::string name(512, 'n');
    EXPECT_EQ(lex(name + " x"), "id(" + name + ") id(x) end");
    const std::string text(512, 'c');
    EXPECT_EQ(lex("'" + text + "'"), "chr(" + text + ") end");
    EXPECT_TRUE(compiler.errors.empty());
}

TEST_F(ScriptLexer, LongStringIsCutAndReportedOnce)
{
    const std::string text(600, 's');
    EXPECT_EQ(lex("\"" + text + "\" x"), "str(" + std::string(511, 's') + ") id(x) end");
    ASSERT_EQ(compiler.errors.size(), 1u);
    EXPECT_EQ(compiler.errors[0], "String constant too long.");
}

TEST_F(ScriptLexer, EscapedQuoteInTheCutRestOfALongStringDoesNotEndIt)
{
    const std::string text(600, 's');
    EXPECT_EQ(lex("\"" + text + "\\\" x\" y"), "str(" + std::string(511, 's') + ") id(y) end");
    ASSERT_EQ(compiler.errors.size(), 1u);
}

// A byte 255 is not the end of the source: a script with one in a comment is
// read to its end, and elsewhere the byte is a token of its own.
TEST_F(ScriptLexer, ByteFFIsAnOrdinaryCharacter)
{
    EXPECT_EQ(lex("a // \xFF\n/* \xFF */ b \"\xFF\" \xFF c"), "id(a) id(b) str(\xFF) '\xFF' id(c) end");
    EXPECT_TRUE(compiler.errors.empty());
}

TEST_F(ScriptLexer, PreviousIdentifierStaysValidDuringLookAhead)
{
    source.set_text("first second");
    compiler.source = &source;
    ScriptTokenValue a, b;
    ASSERT_EQ(compiler.next_token(&a), T_IDENT);
    ASSERT_EQ(compiler.next_token(&b), T_IDENT);
    EXPECT_STREQ(a.text, "first");
    EXPECT_STREQ(b.text, "second");
}

TEST_F(ScriptLexer, PushedBackTokenComesFirst)
{
    source.set_text("b");
    compiler.source = &source;
    ScriptTokenValue value;
    value.int_value = 42;
    compiler.push_back_token(value, T_INT_CONST);
    ScriptTokenValue got;
    EXPECT_EQ(compiler.next_token(&got), T_INT_CONST);
    EXPECT_EQ(got.int_value, 42);
    EXPECT_EQ(compiler.next_token(&got), T_IDENT);
    EXPECT_EQ(compiler.next_token(&got), T_END_OF_INPUT);
}

TEST(ScriptKeywords, LookupNeedsTheTable)
{
    script_keywords_free();
    EXPECT_EQ(script_keyword_lookup("int"), -1);
    ASSERT_EQ(script_keywords_build(false), 0);
    EXPECT_EQ(script_keyword_lookup("int"), T_INT);
    EXPECT_EQ(script_keyword_lookup("elCount"), T_ELCOUNT);
    EXPECT_EQ(script_keyword_lookup("long"), 0); // no alias words without compatibility
    EXPECT_EQ(script_keyword_lookup("message"), 0);
    EXPECT_EQ(script_keyword_lookup("x"), 0);
    ASSERT_EQ(script_keywords_build(true), 0);
    EXPECT_EQ(script_keyword_lookup("float"), T_DOUBLE);
    script_keywords_free();
}

TEST(ScriptStringSource, ReadingAppendingAndStepsBack)
{
    ScriptStringSource s;
    EXPECT_EQ(s.get_char(), ScriptSource::kEnd);
    s.unget_char('x'); // nothing to step back over
    EXPECT_EQ(s.push_include(3), -1);
    int line = 0;
    EXPECT_EQ(s.pop_include(&line), -1);

    s.set_text("ab");
    EXPECT_EQ(s.get_char(), 'a');
    s.append_text("\xFF" "c");
    EXPECT_EQ(s.get_char(), 'b');
    EXPECT_EQ(s.get_char(), 0xFF); // an ordinary character, not the end
    s.unget_char(0xFF);
    EXPECT_EQ(s.get_char(), 0xFF);
    EXPECT_EQ(s.get_char(), 'c');
    EXPECT_EQ(s.get_char(), ScriptSource::kEnd);
    EXPECT_EQ(s.get_char(), ScriptSource::kEnd);

    s.set_text(nullptr);
    EXPECT_EQ(s.get_char(), ScriptSource::kEnd);
    s.set_text(std::string(1000, 'z').c_str());
    EXPECT_EQ(s.text().size(), 1000u);
    EXPECT_EQ(s.get_char(), 'z');
}

namespace {

class ScriptIncludes : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        ASSERT_EQ(script_keywords_build(true), 0);
    }
    void TearDown() override { script_keywords_free(); }

    void write(const std::string &name, const std::string &text)
    {
        std::ofstream(folder.path().toStdString() + "/" + name) << text;
    }

    // A chain of n files: file k declares "vk" and includes file k+1.
    void write_chain(int n)
    {
        for (int k = 1; k <= n; ++k) {
            std::string text = "v" + std::to_string(k) + "\n";
            if (k < n)
                text += "#include \"f" + std::to_string(k + 1) + ".h\"\n";
            text += "w" + std::to_string(k) + "\n";
            write("f" + std::to_string(k) + ".h", text);
        }
    }

    std::string lex_file(const std::string &name)
    {
        source = std::make_unique<FolderSource>(folder.path().toStdString(), name);
        compiler.source = source.get();
        compiler.line = 1;
        if (source->open() != 0)
            return "cannot open";
        return lex_all(compiler);
    }

    QTemporaryDir folder;
    RecordingCompiler compiler;
    std::unique_ptr<FolderSource> source;
};

} // namespace

TEST_F(ScriptIncludes, EightFilesDeep)
{
    write_chain(8);
    EXPECT_EQ(lex_file("f1.h"), "id(v1) id(v2) id(v3) id(v4) id(v5) id(v6) id(v7) id(v8) "
                                "id(w8) id(w7) id(w6) id(w5) id(w4) id(w3) id(w2) id(w1) end");
    EXPECT_TRUE(compiler.errors.empty());
    // Back in the outer file, its own line count goes on.
    EXPECT_EQ(compiler.line, 4);
}

TEST_F(ScriptIncludes, NineFilesAreTooMany)
{
    write_chain(9);
    EXPECT_EQ(lex_file("f1.h"), "id(v1) id(v2) id(v3) id(v4) id(v5) id(v6) id(v7) id(v8) error");
    ASSERT_EQ(compiler.errors.size(), 1u);
    EXPECT_EQ(compiler.errors[0],
              "Can not include file 'f9.h' - no more than 8 files can be recursively included.");
    EXPECT_EQ(compiler.error_lines[0], 2);
}

TEST_F(ScriptIncludes, MissingFile)
{
    write("main.c", "a\n\n# include   \"missing.h\" \nb\n");
    EXPECT_EQ(lex_file("main.c"), "id(a) error");
    ASSERT_EQ(compiler.errors.size(), 1u);
    EXPECT_EQ(compiler.errors[0], "Can not open include file 'missing.h'");
    EXPECT_EQ(compiler.error_lines[0], 3);
}

TEST_F(ScriptIncludes, EndOfFileInsideACommentOfAnIncludedFile)
{
    write("main.c", "a\n#include \"open.h\"\nb\n");
    write("open.h", "x /* never closed\n\n");
    EXPECT_EQ(lex_file("main.c"), "id(a) id(x) error");
    ASSERT_EQ(compiler.errors.size(), 1u);
    EXPECT_EQ(compiler.errors[0], "Error: Unexpected eof in comment");
    EXPECT_EQ(compiler.error_lines[0], 3);
}

TEST_F(ScriptIncludes, NameRunsToTheLastQuoteOfTheLine)
{
    write("main.c", "#include \"in\"cl.h\" trailing\nz");
    write("in\"cl.h", "y");
    EXPECT_EQ(lex_file("main.c"), "id(y) id(z) end");
}
