#include "settings/qtb_config.h"
#include "test_support.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <string>
#include <vector>

namespace {

// A compact text of a value tree: s"text", i<int>, b<0|1>, d<double>, (elements)
// with "{name}" before named elements.
std::string dump_value(const QtbConfigValue &value);

std::string dump_entries(const QtbConfigGroup &group)
{
    std::string out;
    for (const QtbConfigEntry &entry : group.entries()) {
        if (!out.empty())
            out += ' ';
        out += entry.name + "=" + dump_value(entry.value);
    }
    return out;
}

std::string dump_value(const QtbConfigValue &value)
{
    switch (value.type()) {
    case QtbConfigValue::String:
        return "s\"" + value.string_value() + "\"";
    case QtbConfigValue::Int:
        return "i" + std::to_string(value.int_value());
    case QtbConfigValue::Bool:
        return value.bool_value() ? "b1" : "b0";
    case QtbConfigValue::Double:
        return "d" + QByteArray::number(value.double_value(), 'g', 17).toStdString();
    case QtbConfigValue::Group: {
        std::string out = "(";
        for (const QtbConfigEntry &e : value.group()->entries()) {
            if (out.size() > 1)
                out += ' ';
            if (!e.name.empty())
                out += "{" + e.name + "}";
            out += dump_value(e.value);
        }
        return out + ")";
    }
    default:
        return "empty";
    }
}

// Sections as "[name] entries" separated by " | ".
std::string dump_config(const QtbConfig &config)
{
    std::string out;
    for (const QtbConfigEntry &s : config.entries()) {
        if (!out.empty())
            out += " | ";
        out += "[" + s.name + "] " + dump_entries(*s.value.group());
    }
    return out;
}

class QtbConfigFile : public ::testing::Test
{
protected:
    QString path(const char *name) const { return dir.filePath(QString::fromLatin1(name)); }

    QString write_text(const char *name, const std::string &text) const
    {
        QFile file(path(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text.data(), qint64(text.size()));
        return file.fileName();
    }

    static std::string read_text(const QString &file_name)
    {
        QFile file(file_name);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        return file.readAll().toStdString();
    }

    QTemporaryDir dir;
};

struct FileCase
{
    const char *what;
    std::string text;
    std::string tree;
    std::vector<std::string> warnings = {}; // "line: what", without the file name
};

const std::string long_name(150, 'k');
const std::string long_text(1500, 'x');

const FileCase file_cases[] = {
    {"escaped quote and equals sign", "[S]\nt=\"x=3dy=22z=0A\"\n", "[S] t=s\"x=y\"z\n\""},
    {"equals sign without hex digits stays", "[S]\nt=\"a=zz=4\"\n", "[S] t=s\"a=zz=4\""},
    {"empty and unclosed strings", "[S]\ne=\"\"\nu=\"abc\nn=5\n", "[S] e=s\"\" u=s\"abc\" n=i5"},
    {"numbers", "[S]\na=12\nb=-3\nc=0.5\nd=1e3\ne=2E-1\n",
     "[S] a=i12 b=i-3 c=d0.5 d=d1000 e=d0.20000000000000001"},
    {"words and bool keywords", "[S]\na=on\nb=yes\nc=ok\nd=true\ne=off\nf=nack\ng=On\nh=C:\\dir/x.txt\n",
     "[S] a=b1 b=b1 c=b1 d=b1 e=b0 f=b0 g=s\"On\" h=s\"C:\\dir/x.txt\""},
    {"comma lists keep each element's kind", "[S]\nn=1,2,3\nm=0.5 , 2\nw=a,b,on\n",
     "[S] n=(i1 i2 i3) m=(d0.5 i2) w=(s\"a\" s\"b\" s\"on\")"},
    {"nested and named groups", "[S]\ng=( 1 {name}\"v\" ( 2 ( 3 ) ) {sub}( true ) {d}-0.25 word )\n",
     "[S] g=(i1 {name}s\"v\" (i2 (i3)) {sub}(b1) {d}d-0.25 s\"word\")"},
    {"empty groups", "[S]\na=()\nb=( )\n", "[S] a=() b=()"},
    {"lists nest 200 deep, a list deeper still is passed over",
     "[S]\ng=" + std::string(201, '(') + std::string(201, ')') + "\n",
     "[S] g=" + std::string(200, '(') + std::string(200, ')'), {"2: list nested deeper than 200 levels skipped"}},
    {"group continued on the next lines", "[S]\ng=( 1 2\n    3\n  \"x\" )\nh=4\n", "[S] g=(i1 i2 i3 s\"x\") h=i4"},
    {"comments and blanks", "# top\n; also\n[S]\n   # indented\n\tk = 1 ; trailing text\n\r\n", "[S] k=i1"},
    {"duplicate sections and keys", "[CAN]\na=1\na=2\n[CAN]\na=3\n", "[CAN] a=i2 | [CAN] a=i3"},
    {"entries before the first section are dropped", "x=1\n[S]\ny=2\n", "[S] y=i2",
     {"1: entry before the first section dropped"}},
    {"section without closing bracket adds nothing", "[S]\na=1\n[T\nb=2\n", "[S] a=i1",
     {"3: section name without closing \"]\" up to the end of the file: section dropped"}},
    {"long names and strings are cut", "[" + long_name + "]\n" + long_name + "=\"" + long_text + "\"\n",
     "[" + long_name.substr(0, 100) + "] " + long_name.substr(0, 100) + "=s\"" + long_text.substr(0, 1000) + "\"",
     {"1: name longer than 100 characters cut", "2: name longer than 100 characters cut",
      "2: text longer than 1000 characters cut"}},
    {"unexpected characters are skipped", "[S]\n+-+ a=1\nstray\nb=2\n", "[S] a=i1 b=i2",
     {"2: text that is no section, entry or comment skipped",
      "3: text that is no section, entry or comment skipped"}},
    {"list cut off by the end of the file", "[S]\na=( 1 ?\n  2", "[S] a=(i1 i2)",
     {"2: text that is no list element skipped", "3: list without closing \")\" up to the end of the file"}},
};

// The warnings without the file name in front.
std::vector<std::string> warnings_of(const QtbConfig &config)
{
    const std::string prefix = QFile::encodeName(config.file_name()).toStdString() + ":";
    std::vector<std::string> lines;
    for (const std::string &warning : config.warnings())
        lines.push_back(warning.rfind(prefix, 0) == 0 ? warning.substr(prefix.size()) : "no file name: " + warning);
    return lines;
}

class QtbConfigRoundTrip : public QtbConfigFile, public ::testing::WithParamInterface<FileCase>
{
};

TEST_P(QtbConfigRoundTrip, ReadsWritesAndReadsAgain)
{
    const FileCase &c = GetParam();
    QtbConfig config(write_text("in.vyr", c.text));
    ASSERT_EQ(config.read(), int(c.warnings.size())) << c.what;
    EXPECT_EQ(dump_config(config), c.tree) << c.what;
    EXPECT_EQ(warnings_of(config), c.warnings) << c.what;

    ASSERT_EQ(config.write_file(path("out.vyr")), 0);
    QtbConfig again(path("out.vyr"));
    ASSERT_EQ(again.read(), 0);
    EXPECT_EQ(dump_config(again), c.tree) << c.what << "\nwritten:\n" << read_text(path("out.vyr"));
}

INSTANTIATE_TEST_SUITE_P(Files, QtbConfigRoundTrip, ::testing::ValuesIn(file_cases));

TEST_F(QtbConfigFile, WritesTheExactTextFormat)
{
    QtbConfig config(path("out.vyr"));
    QtbConfigGroup *can = config.add_group("CAN");
    can->write_string("name", QString::fromLatin1("a=\"b\"\xe4"));
    can->write_int("count", -5);
    can->write_bool("on", true);
    can->write_double("rate", 0.5);
    QtbConfigGroup *list = can->add_group("list");
    list->write_int("x", 1);
    list->append_entry(QtbConfigValue("s"), nullptr);
    list->add_group("")->append_entry(QtbConfigValue(2.0), nullptr);
    config.add_group("Empty");
    ASSERT_EQ(config.write(), 0);
    EXPECT_EQ(read_text(path("out.vyr")),
              "[CAN]\nname=\"a=3d=22b=22=e4\"\ncount=-5\non=true\nrate=0.5\nlist=( {x}1 \"s\" ( 2.0 ) )\n\n[Empty]\n\n");
}

TEST_F(QtbConfigFile, BreaksGroupLinesAfterTheElementPassingColumn100)
{
    // "k=( " takes 4 columns. After a break the count goes on from the value's
    // starting column 2 (not the indent 4), so later lines hold more elements.
    struct Case
    {
        int32_t first;                // elements count up from here
        std::vector<int> breaks_after; // indices of the elements that end a line
    };
    const Case cases[] = {
        // 7 digits and a blank: the 13th element ends at column 107, the 26th at
        // 2 + 13 * 8 - 1 = 105.
        {1000000, {12, 25}},
        // 8 digits and a blank: the 11th element ends at column 102; on the next
        // line column 2 + 11 * 9 - 1 = 100 is no break yet, the 12th element is.
        {10000000, {10, 22}},
    };
    for (const Case &c : cases) {
        QtbConfig config(path("out.vyr"));
        QtbConfigGroup *values = config.add_group("S")->add_group("k");
        for (int i = 0; i < 30; ++i)
            values->append_entry(QtbConfigValue(int32_t(c.first + i)), nullptr);
        ASSERT_EQ(config.write(), 0);

        std::string expected = "[S]\nk=( ";
        for (int i = 0; i < 30; ++i) {
            expected += std::to_string(c.first + i);
            const bool breaks = std::find(c.breaks_after.begin(), c.breaks_after.end(), i) != c.breaks_after.end();
            expected += breaks ? "\n    " : " ";
        }
        expected += ")\n\n";
        EXPECT_EQ(read_text(path("out.vyr")), expected) << c.first;

        QtbConfig again(path("out.vyr"));
        ASSERT_EQ(again.read(), 0);
        EXPECT_EQ(dump_config(again), dump_config(config));
    }
}

TEST_F(QtbConfigFile, UnopenableFilesLeaveTheTreeUntouched)
{
    QtbConfig config(path("missing.vyr"));
    config.add_group("Kept")->write_int("a", 1);
    EXPECT_EQ(config.read(), -1);
    EXPECT_EQ(dump_config(config), "[Kept] a=i1");
    EXPECT_EQ(config.write_file(path("no/such/dir/x.vyr")), -1);
    EXPECT_EQ(dump_config(config), "[Kept] a=i1");
}

TEST_F(QtbConfigFile, SaveThatFailsPartWayKeepsTheOldFile)
{
    QtbConfig config(path("kept.vyr"));
    config.add_group("Old")->write_int("a", 1);
    ASSERT_EQ(config.write(), 0);
    const std::string old_text = read_text(path("kept.vyr"));

    config.clear();
    QtbConfigGroup *section = config.add_group("New");
    for (int i = 0; i < 1000; ++i)
        section->write_int(("key_" + std::to_string(i)).c_str(), i);
    {
        vyr_test::FileSizeLimit disc_full(1024);
        EXPECT_EQ(config.write(), -1);
    }
    EXPECT_EQ(read_text(path("kept.vyr")), old_text);
}

TEST_F(QtbConfigFile, DoublesReadBackExactly)
{
    const double inf = std::numeric_limits<double>::infinity();
    const double values[] = {0.1234567, 999999999.0, 1.0, -0.0, 0.1, 1e20, 123456789012345678.0,
                             1e-300, 5e-324, 1.7976931348623157e308, -2.5, inf, -inf};
    QtbConfig config(path("d.vyr"));
    QtbConfigGroup *section = config.add_group("D");
    for (size_t i = 0; i < std::size(values); ++i)
        section->write_double(std::to_string(i).c_str(), values[i]);
    section->write_double("nan", std::nan(""));
    ASSERT_EQ(config.write(), 0);

    QtbConfig again(path("d.vyr"));
    ASSERT_EQ(again.read(), 0);
    QtbConfigGroup *read = again.get_group("D");
    ASSERT_NE(read, nullptr);
    for (size_t i = 0; i < std::size(values); ++i) {
        const QtbConfigValue *value = read->find_entry(std::to_string(i).c_str());
        ASSERT_NE(value, nullptr);
        EXPECT_EQ(value->type(), QtbConfigValue::Double) << values[i];
        const double back = value->double_value();
        EXPECT_EQ(std::memcmp(&values[i], &back, sizeof(double)), 0) << values[i] << " came back as " << back;
    }
    EXPECT_TRUE(std::isnan(read->read_double("nan", 0.0)));
}

TEST_F(QtbConfigFile, NumbersIgnoreTheNumericLocale)
{
    const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
    if (!vyr_test::use_decimal_comma_locale(dir.path()))
        GTEST_SKIP() << "no locale with a decimal comma is available";
    QtbConfig config(write_text("in.vyr", "[S]\nd=2.5\n"));
    const int result = config.read();
    config.get_group("S")->write_double("e", 0.75);
    config.get_group("S")->write_cstring("t", "1.5");
    const double converted = config.get_group("S")->read_double("t", 0.0);
    config.write_file(path("out.vyr"));
    std::setlocale(LC_NUMERIC, saved.c_str());
    ASSERT_EQ(result, 0);
    EXPECT_EQ(dump_config(config), "[S] d=d2.5 e=d0.75 t=s\"1.5\"");
    EXPECT_DOUBLE_EQ(converted, 1.5);
    EXPECT_EQ(read_text(path("out.vyr")), "[S]\nd=2.5\ne=0.75\nt=\"1.5\"\n\n");
}

TEST_F(QtbConfigFile, Utf8TextRoundTrips)
{
    const QString text = QString::fromUtf8("Gr\xc3\xbc\xc3\x9f\x65 \xe2\x82\xac");
    QtbConfig config(path("u.vyr"));
    config.add_group("S")->write_string_utf8("t", text);
    ASSERT_EQ(config.write(), 0);
    EXPECT_EQ(read_text(path("u.vyr")), "[S]\nt=\"Gr=c3=bc=c3=9fe =e2=82=ac\"\n\n");
    QtbConfig again(path("u.vyr"));
    ASSERT_EQ(again.read(), 0);
    EXPECT_EQ(again.get_group("S")->read_string_utf8("t", QString()), text);

    // Broken sequences decode leniently: a lead byte without its continuation stands for itself.
    again.get_group("S")->write_cstring("bad", "\xc3" "A");
    EXPECT_EQ(again.get_group("S")->read_string_utf8("bad", QString()), QString(QChar(0xc3)) + "A");
}

TEST_F(QtbConfigFile, ATextWithAZeroByteReadsTheSameFromItsUtf8Twin)
{
    const QString text = QString::fromUtf8("a\0\xc3\xbc", 4);
    QtbConfig config(path("z.vyr"));
    QtbConfigGroup *group = config.add_group("S");
    group->write_string("t", text);
    group->write_string_utf8("t_utf8", text);
    ASSERT_EQ(config.write(), 0);
    QtbConfig again(path("z.vyr"));
    ASSERT_EQ(again.read(), 0);
    EXPECT_EQ(again.get_group("S")->read_string("t", QString()), text);
    EXPECT_EQ(again.get_group("S")->read_string_utf8("t_utf8", QString()), text);
}

struct ConversionCase
{
    const char *what;
    std::function<QtbConfigValue()> make;
    QString text;
    int32_t as_int;
    double as_double;
    bool as_bool;
};

const ConversionCase conversion_cases[] = {
    {"numeric text", [] { return QtbConfigValue("42abc"); }, "42abc", 42, 42.0, false},
    {"text with blanks and exponent", [] { return QtbConfigValue(" -1.5e2"); }, " -1.5e2", -1, -150.0, false},
    {"yes in any case", [] { return QtbConfigValue("YeS"); }, "YeS", 0, 0.0, true},
    {"ok and on", [] { return QtbConfigValue("Ok"); }, "Ok", 0, 0.0, true},
    {"Latin-1 text", [] { return QtbConfigValue("\xe4"); }, QString(QChar(0xe4)), 0, 0.0, false},
    {"int", [] { return QtbConfigValue(int32_t(-7)); }, "-7", -7, -7.0, true},
    {"zero", [] { return QtbConfigValue(int32_t(0)); }, "0", 0, 0.0, false},
    {"bool", [] { return QtbConfigValue(true); }, "true", 1, 1.0, true},
    {"double", [] { return QtbConfigValue(-2.9); }, "-2.9", -2, -2.9, true},
    {"double shown with six digits", [] { return QtbConfigValue(0.1234567); }, "0.123457", 0, 0.1234567, true},
    {"double beyond int", [] { return QtbConfigValue(1e20); }, "1e+20", std::numeric_limits<int32_t>::max(), 1e20, true},
    {"group", [] { return QtbConfigValue(std::make_unique<QtbConfigGroup>()); }, QString(), 0, 0.0, false},
};

TEST(QtbConfigConversion, ConvertsEveryKind)
{
    for (const ConversionCase &c : conversion_cases) {
        const QtbConfigValue value = c.make();
        EXPECT_EQ(value.to_string(), c.text) << c.what;
        EXPECT_EQ(value.to_string().isNull(), c.text.isNull()) << c.what;
        EXPECT_EQ(value.to_int(), c.as_int) << c.what;
        EXPECT_DOUBLE_EQ(value.to_double(), c.as_double) << c.what;
        EXPECT_EQ(value.to_bool(), c.as_bool) << c.what;
    }
    const QtbConfigValue nan_value(std::nan(""));
    EXPECT_TRUE(nan_value.to_bool());
    EXPECT_EQ(nan_value.to_int(), 0);
}

TEST(QtbConfigGroupTest, TypedReadsTakeTheDefaultOrTheCursor)
{
    QtbConfigGroup group;
    group.write_int("n", 3);
    group.write_cstring("t", "7");
    EXPECT_EQ(group.read_int("missing", -1), -1);
    EXPECT_EQ(group.read_string("missing", "def"), "def");
    EXPECT_TRUE(group.read_bool("missing", true));
    EXPECT_DOUBLE_EQ(group.read_double("t", 0.0), 7.0);
    EXPECT_EQ(group.read_string("n", QString()), "3");

    // A null name reads the entry the cursor stands on.
    ASSERT_NE(group.first_value(), nullptr);
    EXPECT_STREQ(group.current_name(), "n");
    EXPECT_EQ(group.read_int(nullptr, 0), 3);
    group.next_value();
    EXPECT_EQ(group.read_string(nullptr, QString()), "7");
    EXPECT_EQ(group.next_value(), nullptr);
    EXPECT_EQ(group.read_int(nullptr, 9), 9);
}

TEST(QtbConfigGroupTest, RectanglesNeedExactlyFourNumbers)
{
    const QRect def(1, 2, 3, 4);
    QtbConfigGroup group;
    group.write_rect("r", QRect(QPoint(10, 20), QPoint(109, 219)));
    EXPECT_EQ(dump_entries(group), "r=(i10 i20 i100 i200)");
    EXPECT_EQ(group.read_rect("r", def), QRect(10, 20, 100, 200));

    // Numbers no screen has are held to its coordinates, so the far edges can't overflow.
    QtbConfigGroup *huge = group.add_group("huge");
    for (int32_t number : {10, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max(), 380})
        huge->append_entry(QtbConfigValue(number), nullptr);
    const QRect held = group.read_rect("huge", def);
    EXPECT_EQ(held, QRect(10, -32767, 32767, 380));
    EXPECT_EQ(held.right(), 32776);
    EXPECT_EQ(held.bottom(), -32767 + 380 - 1);

    QtbConfigGroup *three = group.add_group("three");
    for (int i = 0; i < 3; ++i)
        three->append_entry(QtbConfigValue(int32_t(5)), nullptr);
    EXPECT_EQ(group.read_rect("three", def), def);

    QtbConfigGroup *text = group.add_group("text");
    text->append_entry(QtbConfigValue(int32_t(0)), nullptr);
    text->append_entry(QtbConfigValue(int32_t(0)), nullptr);
    text->append_entry(QtbConfigValue(2.0), nullptr);
    text->append_entry(QtbConfigValue("3"), nullptr);
    EXPECT_EQ(group.read_rect("text", def), def);
    EXPECT_EQ(group.read_rect("missing", def), def);
}

TEST(QtbConfigGroupTest, WritesReplaceTheFirstMatchAndNullNamesDoNothing)
{
    QtbConfigGroup group;
    group.append_entry(QtbConfigValue(int32_t(1)), "a");
    group.append_entry(QtbConfigValue(int32_t(2)), "a");
    group.append_entry(QtbConfigValue(int32_t(3)), "");
    group.write_bool("a", false);
    group.write_int(nullptr, 5);
    group.write_cstring("s", nullptr);
    EXPECT_EQ(group.add_group(nullptr), nullptr);
    EXPECT_EQ(dump_entries(group), "a=b0 a=i2 =i3 s=s\"\"");
    EXPECT_EQ(group.count(), 4);
}

TEST(QtbConfigGroupTest, LookupsFindTheFirstEntryOfANameThroughRemovals)
{
    QtbConfigGroup group;
    QtbConfigValue *first = group.append_entry(QtbConfigValue(int32_t(1)), "k");
    group.append_entry(QtbConfigValue(int32_t(9)), "other");
    QtbConfigValue *second = group.append_entry(QtbConfigValue(int32_t(2)), "k");
    QtbConfigValue *third = group.append_entry(QtbConfigValue(int32_t(3)), "k");

    EXPECT_EQ(group.remove_value(second), 0); // a later one goes: the first stays first
    EXPECT_EQ(group.find_entry("k"), first);
    EXPECT_EQ(group.remove_value(first), 0); // the first goes: the next of the name follows
    EXPECT_EQ(group.find_entry("k"), third);
    group.write_int("k", 4);
    EXPECT_EQ(dump_entries(group), "other=i9 k=i4");
    EXPECT_EQ(group.remove_value(third), 0);
    EXPECT_EQ(group.find_entry("k"), nullptr);
    group.write_int("k", 5); // a name that went comes back as a new entry
    EXPECT_EQ(group.read_int("k", 0), 5);
    group.clear();
    EXPECT_EQ(group.find_entry("other"), nullptr);
}

TEST(QtbConfigGroupTest, GroupWalkAndRemoval)
{
    QtbConfigGroup group;
    QtbConfigGroup *first = group.add_group("g");
    group.write_int("plain", 1);
    QtbConfigGroup *second = group.add_group("g");
    QtbConfigGroup *third = group.add_group("h");

    EXPECT_EQ(group.get_group("g"), first);
    EXPECT_EQ(group.get_group("plain"), nullptr);
    EXPECT_EQ(group.get_or_add_group("h"), third);
    EXPECT_EQ(group.first_group(), first);
    EXPECT_EQ(group.next_group(), second);
    EXPECT_EQ(group.current_or_next_group(), second);

    // Removing the entry under the cursor moves the cursor on to the next one.
    EXPECT_EQ(group.remove_value(group.current_value()), 0);
    EXPECT_EQ(group.current_or_next_group(), third);
    EXPECT_EQ(group.next_group(), nullptr);

    // Removing the last entry keeps appending working.
    EXPECT_EQ(group.remove_value(group.find_entry("h")), 0);
    QtbConfigValue stray;
    EXPECT_EQ(group.remove_value(&stray), -1);
    group.write_int("tail", 2);
    EXPECT_EQ(dump_entries(group), "g=() plain=i1 tail=i2");

    group.clear();
    EXPECT_EQ(group.count(), 0);
    EXPECT_EQ(group.first_value(), nullptr);
    group.write_int("again", 1);
    EXPECT_EQ(dump_entries(group), "again=i1");
}

} // namespace
