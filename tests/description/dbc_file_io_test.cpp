// The DBC reader and writer on small files made for one rule each.
#include "description/dbc/dbc_file_io.h"
#include "network_dump.h"
#include "test_support.h"
#include "tests/tools/candb_json.h"

#include "core/candb_file_format.h"
#include "core/candb_mux_group.h"
#include "core/candb_network.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <clocale>
#include <fstream>
#include <limits>
#include <memory>
#include <sstream>

namespace {

const char kHeader[] = "VERSION \"\"\n\nNS_ :\n\tCM_\n\tBA_DEF_\n\nBS_:\n\nBU_: Engine Gateway\n";

class DbcFile : public ::testing::Test {
protected:
    std::string path(const char *name) const { return dir_.filePath(name).toStdString(); }

    void put(const std::string &name, const std::string &text) const
    {
        std::ofstream(path(name.c_str()), std::ios::binary) << text;
    }

    std::string get(const std::string &name) const
    {
        std::ifstream in(path(name.c_str()), std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    // Reads the text as a DBC file into net_; the reader's messages go to log_.
    int read(const std::string &text)
    {
        put("in.dbc", text);
        DbcFileIo io(path("in.dbc").c_str());
        io.set_reporter(&log_);
        return io.read(&net_);
    }

    // Reads the text as a DBC file into `net` with its messages going to
    // `log`; true when the file was read, errors reported on the way or not.
    bool read_case(const std::string &text, CANdbNetwork &net, candb_json::Collector &log)
    {
        put("case.dbc", text);
        DbcFileIo io(path("case.dbc").c_str());
        io.set_reporter(&log);
        return io.read(&net) == 0 && io.loaded();
    }

    // Reads the written out.dbc into `again`, expecting no reported error;
    // answers the read's result.
    int read_written(CANdbNetwork &again)
    {
        DbcFileIo reader(path("out.dbc").c_str());
        candb_json::Collector log;
        reader.set_reporter(&log);
        const int result = reader.read(&again);
        EXPECT_TRUE(log.errors.isEmpty()) << log.errors.join("\n").toStdString();
        return result;
    }

    // The network written and read again.
    std::string round_trip(CANdbNetwork &net)
    {
        DbcFileIo writer(path("out.dbc").c_str());
        EXPECT_EQ(writer.write(&net), 0);
        CANdbNetwork again;
        EXPECT_EQ(read_written(again), 0);
        return network_dump::network(again);
    }

    QTemporaryDir dir_;
    CANdbNetwork net_;
    candb_json::Collector log_;
};

TEST_F(DbcFile, MessagesAndSignals)
{
    ASSERT_EQ(read(std::string(kHeader) +
                   "BO_ 100 Std: 8 Engine\n"
                   " SG_ Speed : 0|16@1+ (0.5,-40) [-40|32727.5] \"km/h\" Gateway,Engine\n"
                   " SG_ Temp : 12|10@0- (1,0) [-512|511] \"\" Vector__XXX\n"
                   "BO_ 2147483748 Ext: 2 Vector__XXX\n"
                   " SG_ Wide : 7|16@0+ (1,0) [0|4294967295] \"\" Gateway\n"
                   "BO_ 3221225472 VECTOR__INDEPENDENT_SIG_MSG: 0 Vector__XXX\n"
                   " SG_ Loose : 0|8@1+ (1,0) [0|0] \"\" Vector__XXX\n"
                   "BO_ 3221225472 Second: 0 Vector__XXX\n"),
              0);
    EXPECT_TRUE(log_.errors.isEmpty()) << log_.errors.join("\n").toStdString();
    ASSERT_EQ(net_.messages.count(), 2);
    CANdbMessage *std_msg = net_.find_message("Std");
    EXPECT_EQ(std_msg->id, 100u);
    EXPECT_FALSE(std_msg->extended);
    EXPECT_EQ(std_msg->dlc, 8);
    EXPECT_EQ(std_msg->transmitter, net_.find_node("Engine"));
    CANdbSignal *speed = std_msg->find_signal("Speed");
    EXPECT_EQ(speed->start_bit, 0);
    EXPECT_EQ(speed->byte_order, CANdbIntel);
    EXPECT_EQ(speed->value_type, CANdbRawUnsigned);
    EXPECT_EQ(speed->value_kind, CANdbKindDouble);
    EXPECT_EQ(speed->factor, 0.5);
    EXPECT_EQ(speed->offset, -40);
    EXPECT_EQ(speed->maximum, 32727.5);
    EXPECT_EQ(speed->unit, "km/h");
    EXPECT_EQ(speed->receivers.size(), 2u);
    EXPECT_EQ(net_.find_node("Gateway")->received.front(), speed);
    CANdbSignal *temp = std_msg->find_signal("Temp");
    EXPECT_EQ(temp->byte_order, CANdbMotorola);
    EXPECT_EQ(temp->start_bit, 19) << "Motorola start 12 of a 10-bit signal";
    EXPECT_EQ(temp->value_type, CANdbRawSigned);
    EXPECT_TRUE(temp->receivers.empty()) << "Vector__XXX is no node";

    CANdbMessage *ext = net_.find_message_by_id(100 | kCANdbExtendedBit);
    ASSERT_NE(ext, nullptr);
    EXPECT_EQ(ext->id, 100u);
    EXPECT_TRUE(ext->extended);
    EXPECT_EQ(ext->transmitter, nullptr);
    EXPECT_EQ(ext->find_signal("Wide")->start_bit, 8) << "Motorola start 7 of a 16-bit signal";
    EXPECT_EQ(ext->find_signal("Wide")->maximum, 4294967295.0) << "integers keep 64 bits in double fields";

    ASSERT_NE(net_.pseudo_message, nullptr);
    EXPECT_EQ(net_.pseudo_message->name, "VECTOR__INDEPENDENT_SIG_MSG");
    EXPECT_EQ(net_.pseudo_message->signal_list.first()->name, "Loose");
    EXPECT_EQ(net_.find_message("Second"), nullptr) << "a second pseudo-message is dropped";
    EXPECT_EQ(net_.find_message_by_id(kCANdbPseudoMessageId), net_.pseudo_message.get());
}

TEST_F(DbcFile, MotorolaStartBitsConvertWithFloorDivision)
{
    struct {
        int dbc_start, length, stored;
    } cases[] = {{7, 16, 8}, {12, 10, 19}, {0, 12, 21}, {7, 1, 7},
                 // CAN FD beyond byte 7: a truncating division would give 57.
                 {76, 4, 73}, {79, 8, 72}, {503, 16, 504},
                 // Damaged fields convert without overflow (in both directions)
                 // to start bits that the coder refuses.
                 {2147483647, 2147483647, -15}, {-2147483647 - 1, 64, -2147483583},
                 {5, -2147483647 - 1, -2147483642}};
    std::string text = kHeader;
    text += "BO_ 1 M: 64 Vector__XXX\n";
    for (auto &c : cases)
        text += " SG_ S" + std::to_string(c.dbc_start) + "_" + std::to_string(c.length) + " : " +
                std::to_string(c.dbc_start) + "|" + std::to_string(c.length) + "@0+ (1,0) [0|0] \"\" Vector__XXX\n";
    ASSERT_EQ(read(text), 0);
    for (auto &c : cases) {
        const std::string name = "S" + std::to_string(c.dbc_start) + "_" + std::to_string(c.length);
        const CANdbSignal *s = net_.find_message("M")->find_signal(name.c_str());
        ASSERT_NE(s, nullptr) << name;
        EXPECT_EQ(s->start_bit, c.stored) << name;
    }
    // The writer turns them back into the DBC numbering.
    DbcFileIo writer(path("out.dbc").c_str());
    ASSERT_EQ(writer.write(&net_), 0);
    const std::string written = get("out.dbc");
    for (auto &c : cases) {
        const std::string line = " : " + std::to_string(c.dbc_start) + "|" + std::to_string(c.length) + "@0+";
        EXPECT_NE(written.find(line), std::string::npos) << line;
    }
}

TEST_F(DbcFile, MultiplexIndicators)
{
    ASSERT_EQ(read(std::string(kHeader) + "BO_ 1 M: 8 Vector__XXX\n"
                                          " SG_ Mux M : 0|4@1+ (1,0) [0|0] \"\" Vector__XXX\n"
                                          " SG_ A m5 : 8|8@1+ (1,0) [0|0] \"\" Vector__XXX\n"
                                          " SG_ B m5M : 16|8@1+ (1,0) [0|0] \"\" Vector__XXX\n"
                                          " SG_ C m : 24|8@1+ (1,0) [0|0] \"\" Vector__XXX\n"
                                          " SG_ D x7 : 32|8@1+ (1,0) [0|0] \"\" Vector__XXX\n"),
              0);
    const CANdbMessage *m = net_.find_message("M");
    EXPECT_TRUE(m->find_signal("Mux")->is_multiplexor);
    EXPECT_EQ(m->find_signal("Mux")->mux_value, -1);
    EXPECT_EQ(m->find_signal("A")->mux_value, 5);
    EXPECT_EQ(m->find_signal("B")->mux_value, 5);
    EXPECT_FALSE(m->find_signal("B")->is_multiplexor);
    EXPECT_EQ(m->find_signal("C")->mux_value, 0);
    EXPECT_EQ(m->find_signal("D")->mux_value, -1) << "other words are no indicator";
}

TEST_F(DbcFile, IntegerFieldsAndValueKinds)
{
    ASSERT_EQ(read(std::string(kHeader) + "BO_ 1 M: 8 Vector__XXX\n"
                                          " SG_ Moto : 7|8@4294967296+ (1,0) [0|0] \"\" Vector__XXX\n"
                                          " SG_ Single : 8|32@1+ (1,0) [0|0] \"\" Vector__XXX\n"
                                          " SG_ Temp : 40|8@1+ (1,-40) [-40|215] \"\" Vector__XXX\n"
                                          " SG_ Count : 48|8@1+ (1,0) [0|255] \"\" Vector__XXX\n"
                                          "EV_ Level: 4294967297 [0|1] \"\" 0 1 DUMMY_NODE_VECTOR0 Vector__XXX;\n"
                                          "SIG_VALTYPE_ 1 Single : 4294967297;\n"),
              0);
    EXPECT_TRUE(log_.errors.isEmpty()) << log_.errors.join("\n").toStdString();
    // Integer fields take the low 32 bits of the token: 2^32 is 0, 2^32 + 1 is 1.
    const CANdbMessage *m = net_.find_message("M");
    EXPECT_EQ(m->find_signal("Moto")->byte_order, CANdbMotorola);
    EXPECT_EQ(m->find_signal("Moto")->start_bit, 0);
    EXPECT_EQ(m->find_signal("Single")->value_type, CANdbRawFloat);
    EXPECT_EQ(net_.find_env_var("Level")->type, CANdbEnvVarFloat);
    // The kind of an unsigned signal follows its minimum.
    EXPECT_EQ(m->find_signal("Temp")->value_kind, CANdbKindSigned);
    EXPECT_EQ(m->find_signal("Count")->value_kind, CANdbKindUnsigned);
}

TEST_F(DbcFile, NumbersAndStrings)
{
    const std::string long_text(1200, 'c');
    ASSERT_EQ(read(std::string(kHeader) +
                   "BO_ 0x1F M: 8 Vector__XXX\n"
                   " SG_ A : 0|8@1+ (.5,+7) [-0x1F|1E2] \"say \"\"hi\"\" \\q\\n\\t\\\"\" Vector__XXX\n"
                   "CM_ BO_ 31 \"" + long_text + "\";\n"),
              0);
    const CANdbMessage *m = net_.find_message("M");
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->id, 31u);
    const CANdbSignal *a = m->find_signal("A");
    EXPECT_EQ(a->factor, 0.5);
    EXPECT_EQ(a->offset, 7);
    EXPECT_EQ(a->minimum, -31);
    EXPECT_EQ(a->maximum, 100);
    EXPECT_EQ(a->unit, "say \"hi\" \\q\n\t\"");
    EXPECT_EQ(m->comment, std::string(999, 'c')) << "strings keep 999 characters";
}

// Switches LC_NUMERIC to a locale with a decimal comma: an installed one, or
// one made with localedef in dir. False when neither works.
bool use_decimal_comma_locale(const QString &dir)
{
    for (const char *name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8"})
        if (std::setlocale(LC_NUMERIC, name))
            return true;
    QProcess localedef;
    localedef.start("localedef", {"-i", "de_DE", "-f", "UTF-8", dir + "/de_DE.UTF-8"});
    if (!localedef.waitForFinished(60000) || localedef.exitCode() != 0)
        return false;
    qputenv("LOCPATH", dir.toLocal8Bit());
    return std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;
}

TEST_F(DbcFile, NumbersIgnoreTheProcessLocale)
{
    const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
    QTemporaryDir locale_dir;
    if (!use_decimal_comma_locale(locale_dir.path()))
        GTEST_SKIP() << "no locale with a decimal comma could be installed or made";
    ASSERT_STREQ(std::localeconv()->decimal_point, ",");
    const int result = read(std::string(kHeader) + "BO_ 1 M: 8 Vector__XXX\n"
                                                   " SG_ A : 0|8@1+ (0.25,1.5e1) [0|0] \"\" Vector__XXX\n");
    DbcFileIo writer(path("out.dbc").c_str());
    const int written = writer.write(&net_);
    std::setlocale(LC_NUMERIC, saved.c_str());
    qunsetenv("LOCPATH");
    ASSERT_EQ(result, 0);
    ASSERT_EQ(written, 0);
    const CANdbSignal *a = net_.find_message("M")->find_signal("A");
    EXPECT_EQ(a->factor, 0.25);
    EXPECT_EQ(a->offset, 15);
    EXPECT_NE(get("out.dbc").find("(0.25,15)"), std::string::npos);
}

TEST_F(DbcFile, CrLfLineEndsAndHighBytes)
{
    std::string text = std::string(kHeader) + "BO_ 1 M: 8 Vector__XXX\n"
                                               " SG_ A : 0|8@1+ (1,0) [0|0] \"\xB0" "C\xFF\" Vector__XXX\n"
                                               "CM_ SG_ 1 A \"two\nlines\";\n"
                                               "BO_ 2 N: 8 Vector__XXX\n";
    std::string crlf;
    for (char c : text)
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    ASSERT_EQ(read(crlf), 0);
    EXPECT_TRUE(log_.errors.isEmpty());
    const CANdbSignal *a = net_.find_message("M")->find_signal("A");
    EXPECT_EQ(a->unit, "\xB0" "C\xFF") << "0xFF is an ordinary byte";
    EXPECT_EQ(a->comment, "two\nlines");
    EXPECT_NE(net_.find_message("N"), nullptr) << "reading goes on after the 0xFF byte";
}

// Names that begin with a digit, which peer readers take: names with one
// warning each, wherever they stand; numbers with letters stay numbers.
TEST_F(DbcFile, NamesThatBeginWithADigitAreNamesWithAWarning)
{
    ASSERT_EQ(read("BU_: 3ECU\n"
                   "BO_ 1275 2017_5: 8 3ECU\n"
                   " SG_ 5_SEC_TIMER : 0|8@1+ (1e1,0x10) [0|2E2] \"\" 3ECU\n"
                   " SG_ Level : 8|8@1+ (1E-1,0) [0|1e+2] \"\" 3ECU\n"
                   "CM_ SG_ 1275 5_SEC_TIMER \"five seconds\";\n"
                   "VAL_ 1275 5_SEC_TIMER 0 \"off\" 1 \"on\";\n"
                   "BO_ 9 After: 8 Vector__XXX\n"),
              0);
    EXPECT_TRUE(log_.errors.isEmpty()) << log_.errors.join("\n").toStdString();
    EXPECT_EQ(log_.warnings.join("\n").toStdString(),
              "line 1: The name '3ECU' begins with a digit; it is read as a name\n"
              "line 2: The name '2017_5' begins with a digit; it is read as a name\n"
              "line 3: The name '5_SEC_TIMER' begins with a digit; it is read as a name");
    const CANdbMessage *message = net_.find_message("2017_5");
    ASSERT_NE(message, nullptr);
    EXPECT_EQ(message->id, 1275u);
    ASSERT_NE(message->transmitter, nullptr);
    EXPECT_EQ(message->transmitter->name, "3ECU");
    const CANdbSignal *timer = message->find_signal("5_SEC_TIMER");
    ASSERT_NE(timer, nullptr);
    EXPECT_EQ(timer->comment, "five seconds");
    EXPECT_STREQ(timer->value_description(1), "on");
    EXPECT_EQ(timer->factor, 10.0);
    EXPECT_EQ(timer->offset, 16.0);
    EXPECT_EQ(timer->maximum, 200.0);
    const CANdbSignal *level = message->find_signal("Level");
    ASSERT_NE(level, nullptr);
    EXPECT_DOUBLE_EQ(level->factor, 0.1);
    EXPECT_EQ(level->maximum, 100.0);
    EXPECT_NE(net_.find_message("After"), nullptr);
}

// Decimal integers beyond 64 bits keep their value where a double takes them.
TEST_F(DbcFile, WideIntegersDoNotWrap)
{
    ASSERT_EQ(read("BO_ 1 M: 8 Vector__XXX\n SG_ S : 0|64@1+ (1,0) [0|18446744073709552000] \"\" Vector__XXX\n"), 0);
    EXPECT_EQ(net_.find_message("M")->find_signal("S")->maximum, 18446744073709552000.0);
}

TEST_F(DbcFile, NodeListEndsWithItsLine)
{
    ASSERT_EQ(read("BU_: A B\n C D\nBO_ 1 M: 8 C\n"), 0);
    EXPECT_EQ(net_.nodes.count(), 2);
    EXPECT_EQ(net_.find_node("C"), nullptr);
    EXPECT_EQ(net_.find_message("M")->transmitter, nullptr) << "an unknown transmitter is none";
}

struct ErrorCase {
    const char *what;
    std::string text;
    std::string error; // "line N: text"
    bool message_kept; // the message of line 2 survives
    bool read_on;      // the message after the error is read
};

TEST_F(DbcFile, ErrorsReportTheirTextAndLine)
{
    const std::string tail = "BO_ 9 After: 8 Vector__XXX\n";
    const ErrorCase cases[] = {
        {"message without ':'", "BU_: A\nBO_ 1 M 8 A\n" + tail, "line 2: ':' expected after message name", false,
         false},
        {"signal without its unit", "BU_: A\nBO_ 1 M: 8 A\n SG_ S : 0|8@1+ (1,0) [0|1] X\n" + tail,
         "line 3: Signal unit expected", false, false},
        {"sign missing", "BU_: A\nBO_ 1 M: 8 A\n SG_ S : 0|8@1 (1,0) [0|1] \"\"\n" + tail,
         "line 3: '+' or '-' expected", false, false},
        {"node list without ':'", "BU_ A\nBO_ 1 M: 8 A\n" + tail, "line 1: ':' expected", false, false},
        {"'|' missing after the bit position", "BU_: A\nBO_ 1 M: 8 A\n SG_ S : 0 8@1+ (1,0) [0|1] \"\"\n" + tail,
         "line 3: '|' expected after bit position", false, false},
        {"',' missing after the factor", "BU_: A\nBO_ 1 M: 8 A\n SG_ S : 0|8@1+ (1 0) [0|1] \"\"\n" + tail,
         "line 3: ',' expected after factor", false, false},
        {"value type without ':'",
         "BU_: A\nBO_ 1 M: 8 A\n SG_ S : 0|8@1+ (1,0) [0|1] \"\" A\nSIG_VALTYPE_ 1 S 1;\n" + tail,
         "line 4: ':' expected after signal name", true, true},
        {"value table entry without its text", "BU_: A\nBO_ 1 M: 8 A\nVAL_TABLE_ T 0 1 ;\n" + tail,
         "line 3: String expected for table value", true, true},
        {"comment without its string", "BU_: A\nBO_ 1 M: 8 A\nCM_ BO_ 1 ;\n" + tail,
         "line 3: String expected for message comment", true, true},
        {"value line for a missing signal", "BU_: A\nBO_ 1 M: 8 A\nVAL_ 1 S 0 \"x\";\n" + tail,
         "line 3: Signal not found", true, true},
        {"value type of an unknown kind",
         "BU_: A\nBO_ 1 M: 8 A\n SG_ S : 0|8@1+ (1,0) [0|1] \"\" A\nSIG_VALTYPE_ 1 S : 3;\n" + tail,
         "line 4: Unknown signal type 3", true, true},
        {"attribute value of an undefined attribute",
         "BU_: A\nBO_ 1 M: 8 A\nBA_ \"Nothing\" BO_ 1 3;\n" + tail, "line 3: Attribute 'Nothing' not found", true,
         true},
        {"unterminated comment", "BU_: A\nBO_ 1 M: 8 A\n/* open\n\n", "line 5: Unexpected eof in comment", true,
         false},
        {"unterminated string", "BU_: A\nBO_ 1 M: 8 A\nCM_ \"open\n", "line 4: EOF in string detected", true,
         false},
        {"exponent without digits", "BU_: A\nBO_ 1 M: 8 A\n1.5e\n" + tail, "line 3: Exponent digits expected", true,
         false},
        {"identifier longer than the token buffer", "BU_: A\nBO_ 1 M: 8 A\nCM_ " + std::string(1500, 'x') + "\n" + tail,
         "line 3: Identifier too long", true, false},
        {"number longer than the token buffer", "BU_: A\nBO_ 1 M: 8 A\nCM_ " + std::string(1500, '7') + "\n" + tail,
         "line 3: Number too long", true, false},
    };
    for (const ErrorCase &c : cases) {
        SCOPED_TRACE(c.what);
        CANdbNetwork net;
        candb_json::Collector log;
        EXPECT_TRUE(read_case(c.text, net, log)) << "errors never fail the reading";
        EXPECT_EQ(log.errors.value(0).toStdString(), c.error);
        EXPECT_EQ(net.find_message("M") != nullptr, c.message_kept);
        EXPECT_EQ(net.find_message("After") != nullptr, c.read_on);
    }
}

TEST_F(DbcFile, StatementsThatLoseTextWarnWithTheirLine)
{
    const std::string tail = "BO_ 9 After: 8 Vector__XXX\n";
    const struct {
        const char *what;
        std::string text;
        std::string warning;
    } cases[] = {
        {"comment without its ';'", "BU_: A\nBO_ 1 M: 8 A\nCM_ BO_ 1 \"no end\"\n" + tail,
         "line 4: ';' expected after the comment of line 3"},
        {"second holder of signals without a frame",
         "BO_ 3221225472 VECTOR__INDEPENDENT_SIG_MSG: 0 Vector__XXX\nBO_ 3221225472 Second: 0 Vector__XXX\n" + tail,
         "line 2: Second message of id 3221225472 ('Second') dropped"},
        {"comment on a signal of a message the file does not define",
         "BU_: A\nBO_ 1 M: 8 A\nCM_ SG_ 7 S \"x\";\n" + tail,
         "line 3: Comment on a signal of message 7, which the file does not define"},
        {"comment on a signal the message does not have",
         "BU_: A\nBO_ 1 M: 8 A\n SG_ S : 0|8@1+ (1,0) [0|1] \"\" A\nCM_ SG_ 1 T \"x\";\nCM_ SG_ 1 S \"y\";\n" + tail,
         "line 4: Comment on signal 'T' of message 'M', which the file does not define"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        CANdbNetwork net;
        candb_json::Collector log;
        EXPECT_TRUE(read_case(c.text, net, log));
        EXPECT_TRUE(log.errors.isEmpty()) << log.errors.join("\n").toStdString();
        EXPECT_EQ(log.warnings.join("\n").toStdString(), c.warning);
        EXPECT_NE(net.find_message("After"), nullptr) << "the statement after it is read";
    }
}

// Inputs where a file read, written and read again gave another network:
// each keeps what the first reading made of it.
TEST_F(DbcFile, FuzzFindingsReadBackAsRead)
{
    const struct {
        const char *file;
        std::string warning;
    } cases[] = {
        {"attribute_defined_twice.dbc",
         "line 13: Attribute 'GenMsgCycleTime' defined again; the first definition is kept"},
        {"enum_without_values.dbc", ""},
        {"multiplexor_missing.dbc", "line 13: Multiplexor signal not found"},
    };
    CANdbNetwork nets[3];
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(cases[i].file);
        const QString file = vyr_test::source_dir() + "/tests/description/fixtures/dbc_round_trip/" + cases[i].file;
        DbcFileIo io(file.toStdString().c_str());
        candb_json::Collector log;
        io.set_reporter(&log);
        ASSERT_EQ(io.read(&nets[i]), 0);
        EXPECT_TRUE(log.errors.isEmpty()) << log.errors.join("\n").toStdString();
        EXPECT_EQ(log.warnings.join("\n").toStdString(), cases[i].warning);
        EXPECT_EQ(round_trip(nets[i]), network_dump::network(nets[i]));
    }
    ASSERT_EQ(nets[0].attribute_defs.count(), 1);
    EXPECT_EQ(nets[0].attribute_defs.first()->int_max, 1000);
    EXPECT_EQ(nets[0].attribute_defs.first()->int_default, 20) << "the last default of the name";
    EXPECT_EQ(nets[1].find_attribute_def("Mode")->int_default, 0) << "no default given";
    EXPECT_EQ(nets[1].find_attribute_def("Kind")->int_default, -1) << "a default that is no entry";
    const CANdbMuxGroup *group = nets[2].find_message("Mux")->find_signal("Value")->mux_group();
    ASSERT_NE(group, nullptr);
    EXPECT_EQ(group->multiplexor, nullptr);
    EXPECT_EQ(group->multiplexor_name, "Missing");
}

TEST_F(DbcFile, WithoutReporterErrorsGoToStandardOutput)
{
    put("e.dbc", "BU_: A\n\nBO_ 1 M: 8 A\nCM_ BO_ 5 \"x\";\nBA_ \"Nothing\" 1;\n");
    DbcFileIo io(path("e.dbc").c_str());
    CANdbNetwork net;
    testing::internal::CaptureStdout();
    EXPECT_EQ(io.read(&net), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Error (line 4): No message found for comment line\n"
                                                      "Error (line 5): Attribute 'Nothing' not found\n");

    DbcFileIo quiet(path("e.dbc").c_str());
    CANdbNetwork quiet_net;
    testing::internal::CaptureStdout();
    EXPECT_EQ(quiet.read_quiet(&quiet_net), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

TEST_F(DbcFile, UnreadableFiles)
{
    DbcFileIo no_name;
    EXPECT_EQ(no_name.read(&net_), -1);
    DbcFileIo missing(path("missing.dbc").c_str());
    EXPECT_EQ(missing.read(&net_), -1);
    EXPECT_FALSE(missing.loaded());
    EXPECT_EQ(net_.messages.count(), 0);
}

TEST_F(DbcFile, AttributesCommentsValuesAndEnvironmentVariables)
{
    ASSERT_EQ(read(std::string(kHeader) +
                   "VAL_TABLE_ Gear 0 \"P\" 1 \"R\" ;\n"
                   "VAL_TABLE_ Gear 1 \"Again\" 2 \"N\" ;\n"
                   "BO_ 1 M: 8 Engine\n"
                   " SG_ S : 0|8@1+ (1,0) [0|1] \"\" Gateway\n"
                   " SG_ F : 8|32@1- (1,0) [0|0] \"\" Gateway\n"
                   " SG_ D : 0|64@1- (1,0) [0|0] \"\" Gateway\n"
                   "BO_ 3221225472 VECTOR__INDEPENDENT_SIG_MSG: 0 Vector__XXX\n"
                   " SG_ Loose : 0|32@1- (1,0) [0|0] \"\" Vector__XXX\n"
                   "EV_ Mode: 0 [0|3] \"\" 1 7 DUMMY_NODE_VECTOR2 Engine,Gateway;\n"
                   "EV_ Name: 0 [0|0] \"\" 0 8 DUMMY_NODE_VECTOR8001 Vector__XXX;\n"
                   "ENVVAR_DATA_ Mode: 4;\n"
                   "CM_ \"The bus\";\n"
                   "CM_ BU_ Engine \"The engine\";\n"
                   "CM_ BO_ 1 \"A message\";\n"
                   "CM_ SG_ 1 S \"A signal\";\n"
                   "CM_ EV_ Mode \"A variable\";\n"
                   "BA_DEF_ \"BusType\" STRING ;\n"
                   "BA_DEF_ BO_ \"GenMsgCycleTime\" INT 0 65535;\n"
                   "BA_DEF_ SG_ \"Scale\" FLOAT -1.5 1e3;\n"
                   "BA_DEF_ BU_ \"Kind\" ENUM \"Ecu\",\"Gateway\";\n"
                   "BA_DEF_ EV_ \"Mask\" HEX 0 255;\n"
                   "BA_DEF_DEF_ \"BusType\" \"CAN\";\n"
                   "BA_DEF_DEF_ \"GenMsgCycleTime\" 100;\n"
                   "BA_DEF_DEF_ \"Scale\" 2;\n"
                   "BA_DEF_DEF_ \"Kind\" \"Gateway\";\n"
                   "BA_ \"BusType\" \"CAN FD\";\n"
                   "BA_ \"GenMsgCycleTime\" BO_ 1 20;\n"
                   "BA_ \"GenMsgCycleTime\" BO_ 77 20;\n"
                   "BA_ \"Scale\" SG_ 1 S 0.5;\n"
                   "BA_ \"Kind\" BU_ Engine 0;\n"
                   "BA_ \"Mask\" EV_ Mode 15;\n"
                   "VAL_ 1 S 0 \"Off\" 1 \"On\" 1 \"Twice\" ;\n"
                   "VAL_ Mode 0 \"Idle\" 3 \"Run\" ;\n"
                   "SIG_VALTYPE_ 1 F : 1;\n"
                   "SIG_VALTYPE_ 1 D : 2;\n"
                   "BA_ \"Scale\" SG_ 3221225472 Loose 0.25;\n"
                   "VAL_ 3221225472 Loose 0 \"Zero\" ;\n"
                   "SIG_VALTYPE_ 3221225472 Loose : 1;\n"),
              0);
    EXPECT_TRUE(log_.errors.isEmpty()) << log_.errors.join("\n").toStdString();
    EXPECT_EQ(log_.warnings.value(0).toStdString(), "line 37: Message 77 not found");

    EXPECT_EQ(net_.comment, "The bus");
    EXPECT_EQ(net_.find_node("Engine")->comment, "The engine");
    CANdbMessage *m = net_.find_message("M");
    EXPECT_EQ(m->comment, "A message");
    CANdbSignal *s = m->find_signal("S");
    EXPECT_EQ(s->comment, "A signal");
    EXPECT_STREQ(s->value_description(1), "On");
    EXPECT_EQ(m->find_signal("F")->value_type, CANdbRawFloat);
    EXPECT_EQ(m->find_signal("F")->value_kind, CANdbKindSingle);
    EXPECT_EQ(m->find_signal("D")->value_type, CANdbRawDouble);

    CANdbValueTable *gear = net_.find_value_table("Gear");
    ASSERT_NE(gear, nullptr);
    EXPECT_EQ(net_.value_tables.count(), 1);
    EXPECT_STREQ(gear->description(1), "R") << "the first text of a value stays";
    EXPECT_STREQ(gear->description(2), "N") << "a second statement adds to the same table";

    CANdbEnvVar *mode = net_.find_env_var("Mode");
    EXPECT_EQ(mode->type, CANdbEnvVarInt);
    EXPECT_EQ(mode->access_code, 3);
    EXPECT_EQ(mode->access_nodes.size(), 2u);
    EXPECT_EQ(mode->identifier, 7u);
    EXPECT_EQ(mode->initial_value, 1);
    EXPECT_TRUE(mode->has_data);
    EXPECT_EQ(mode->data_size, 4);
    EXPECT_EQ(mode->comment, "A variable");
    EXPECT_STREQ(mode->value_description(3), "Run");
    EXPECT_EQ(net_.find_env_var("Name")->type, CANdbEnvVarString);
    EXPECT_EQ(net_.find_env_var("Name")->access_code, 2);

    CANdbAttributeDef *kind = net_.find_attribute_def("Kind");
    EXPECT_EQ(kind->object_kind, CANdbObjectNode);
    EXPECT_EQ(kind->int_default, 1);
    EXPECT_EQ(net_.find_attribute_def("Scale")->float_max, 1000);
    EXPECT_EQ(net_.find_attribute_def("Scale")->float_default, 2);
    EXPECT_EQ(net_.find_attribute_def("BusType")->default_string, "CAN");
    EXPECT_EQ(net_.find_attribute_def("GenMsgCycleTime")->int_default, 100);
    EXPECT_EQ(m->attributes.find_by_name("GenMsgCycleTime")->int_value, 20);
    EXPECT_EQ(s->attributes.find_by_name("Scale")->double_value, 0.5);
    EXPECT_EQ(net_.find_node("Engine")->attributes.find_by_name("Kind")->int_value, 0);
    EXPECT_EQ(mode->attributes.find_by_name("Mask")->int_value, 15);
    EXPECT_TRUE(net_.can_fd) << "the post-load passes ran";
    // A signal of no frame has what a framed one has.
    const CANdbSignal *loose = net_.pseudo_message->find_signal("Loose");
    EXPECT_EQ(loose->attributes.find_by_name("Scale")->double_value, 0.25);
    EXPECT_STREQ(loose->value_description(0), "Zero");
    EXPECT_EQ(loose->value_type, CANdbRawFloat);

    // Everything of it is written and read back.
    EXPECT_EQ(round_trip(net_), network_dump::network(net_));
}

TEST_F(DbcFile, EnvironmentVariableAccessWords)
{
    const struct {
        const char *word;
        int access_code;
        int type;
    } cases[] = {
        {"DUMMY_NODE_VECTOR0", 1, CANdbEnvVarInt},    {"DUMMY_NODE_VECTOR1", 2, CANdbEnvVarInt},
        {"DUMMY_NODE_VECTOR2", 3, CANdbEnvVarInt},    {"DUMMY_NODE_VECTOR3", 4, CANdbEnvVarInt},
        {"DUMMY_NODE_VECTOR8000", 1, CANdbEnvVarString}, {"DUMMY_NODE_VECTOR8003", 4, CANdbEnvVarString},
        {"DUMMY_NODE_VECTOR4", 0, CANdbEnvVarInt},    {"DUMMY_NODE_VECTOR8004", 0, CANdbEnvVarInt},
    };
    std::string text = kHeader;
    for (const auto &c : cases)
        text += std::string("EV_ ") + c.word + ": 0 [0|1] \"\" 0 1 " + c.word + " Vector__XXX;\n";
    ASSERT_EQ(read(text), 0);
    for (const auto &c : cases) {
        SCOPED_TRACE(c.word);
        const CANdbEnvVar *var = net_.find_env_var(c.word);
        ASSERT_NE(var, nullptr);
        EXPECT_EQ(var->access_code, c.access_code);
        EXPECT_EQ(var->type, c.type);
    }
}

TEST_F(DbcFile, ExtendedMultiplexingAndFrameFormats)
{
    ASSERT_EQ(read(std::string(kHeader) +
                   "BO_ 2566844926 Mux: 8 Vector__XXX\n"
                   " SG_ Sel M : 0|8@1+ (1,0) [0|0] \"\" Vector__XXX\n"
                   " SG_ Sub m1M : 8|8@1+ (1,0) [0|0] \"\" Vector__XXX\n"
                   " SG_ Leaf m2 : 16|8@1+ (1,0) [0|0] \"\" Vector__XXX\n"
                   "BO_ 2364540158 Pg: 8 Vector__XXX\n"
                   "BA_DEF_ BO_ \"VFrameFormat\" ENUM \"StandardCAN\",\"ExtendedCAN\",\"J1939PG\";\n"
                   "BA_ \"VFrameFormat\" BO_ 2364540158 2;\n"
                   "SG_MUL_VAL_ 2566844926 Sub Sel 1-1;\n"
                   "SG_MUL_VAL_ 2566844926 Leaf Sub 2-2, 4-6;\n"
                   "SG_MUL_VAL_ 9 Leaf Sub 2-2;\n"),
              0);
    EXPECT_TRUE(log_.errors.isEmpty()) << log_.errors.join("\n").toStdString();
    EXPECT_EQ(log_.warnings.value(0).toStdString(), "line 19: Message 9 not found (SG_MUL_VAL_)");
    CANdbMessage *m = net_.find_message("Mux");
    CANdbSignal *sel = m->find_signal("Sel");
    CANdbSignal *sub = m->find_signal("Sub");
    CANdbSignal *leaf = m->find_signal("Leaf");
    EXPECT_FALSE(sel->is_multiplexor) << "a multiplexor of extended multiplexing loses its plain flag";
    EXPECT_TRUE(sel->has_dependents());
    ASSERT_NE(leaf->mux_group(), nullptr);
    EXPECT_EQ(leaf->mux_group()->multiplexor, sub);
    uint32_t low, high;
    ASSERT_TRUE(leaf->mux_group()->range_at(1, low, high));
    EXPECT_EQ(low, 4u);
    EXPECT_EQ(high, 6u);
    EXPECT_EQ(net_.mux_group_count, 2);

    CANdbMessage *pg = net_.find_message("Pg");
    EXPECT_EQ(pg->j1939_mode, CANdbJ1939FrameFormat);
    EXPECT_TRUE(net_.j1939_frames);
    EXPECT_EQ(net_.find_message_by_j1939_key(0xF004), pg);

    // Written back: " M" for the multiplexor, " m1M" for the multiplexed one.
    DbcFileIo writer(path("out.dbc").c_str());
    ASSERT_EQ(writer.write(&net_), 0);
    const std::string written = get("out.dbc");
    EXPECT_NE(written.find(" SG_ Sel M : "), std::string::npos);
    EXPECT_NE(written.find(" SG_ Sub m1M : "), std::string::npos);
    EXPECT_NE(written.find("SG_MUL_VAL_ 2566844926 Leaf Sub 2-2, 4-6;\n"), std::string::npos);
    EXPECT_EQ(round_trip(net_), network_dump::network(net_));
}

// A network built in code, as the diagnostics interface builds one to export.
void build_small_network(CANdbNetwork &net)
{
    CANdbNode *ecu = net.insert_node(std::make_unique<CANdbNode>("Ecu"));
    auto m = std::make_unique<CANdbMessage>("Status");
    m->id = 100;
    m->extended = true;
    m->dlc = 8;
    m->set_comment("Tab\there, CR\r, quote \" and \x1b");
    auto motorola = std::make_unique<CANdbSignal>("Moto");
    motorola->byte_order = CANdbMotorola;
    motorola->start_bit = 8;
    motorola->length = 16;
    motorola->value_type = CANdbRawUnsigned;
    motorola->factor = 0.1;
    motorola->offset = -40;
    motorola->maximum = 1e-12;
    m->insert_signal(std::move(motorola));
    auto single = std::make_unique<CANdbSignal>("Single");
    single->start_bit = 32;
    single->length = 32;
    single->value_type = CANdbRawFloat;
    single->add_receiver(ecu);
    m->insert_signal(std::move(single));
    net.insert_message(std::move(m));
    net.add_value_table(std::make_unique<CANdbValueTable>("Empty"));
}

TEST_F(DbcFile, WriterFormat)
{
    CANdbNetwork net;
    build_small_network(net);
    DbcFileIo writer(path("out.dbc").c_str());
    ASSERT_EQ(writer.write(&net), 0);
    std::string expected = "VERSION \"\"\n\n\nNS_ : \n";
    for (const char *word :
         {"NS_DESC_", "CM_", "BA_DEF_", "BA_", "VAL_", "CAT_DEF_", "CAT_", "FILTER", "BA_DEF_DEF_", "EV_DATA_",
          "ENVVAR_DATA_", "SGTYPE_", "SGTYPE_VAL_", "BA_DEF_SGTYPE_", "BA_SGTYPE_", "SIG_TYPE_REF_", "VAL_TABLE_",
          "SIG_GROUP_", "SIG_VALTYPE_", "SIGTYPE_VALTYPE_", "BO_TX_BU_", "BA_DEF_REL_", "BA_REL_", "BA_DEF_DEF_REL_",
          "BU_SG_REL_", "BU_EV_REL_", "BU_BO_REL_", "SG_MUL_VAL_"})
        expected += std::string("\t") + word + "\n";
    expected += "\nBS_:\n\n"
                "BU_: Ecu\n\n\n"
                "BO_ 2147483748 Status: 8 Vector__XXX\n"
                " SG_ Moto : 7|16@0+ (0.1,-40) [0|1e-12] \"\" Vector__XXX\n"
                " SG_ Single : 32|32@1- (1,0) [0|0] \"\"  Ecu\n"
                "\n"
                "\n"
                "\n"
                "CM_ BO_ 2147483748 \"Tab\\there, CR\\r, quote \\\" and \\1b\";\n"
                "SIG_VALTYPE_ 2147483748 Single : 1;\n"
                "\n";
    EXPECT_EQ(get("out.dbc"), expected);

    // Read back: the same network, except that the escape \1b stays as written.
    CANdbNetwork again;
    DbcFileIo reader(path("out.dbc").c_str());
    ASSERT_EQ(reader.read(&again), 0);
    const CANdbMessage *m = again.find_message_by_id(100 | kCANdbExtendedBit);
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->comment, "Tab\there, CR\r, quote \" and \\1b");
    EXPECT_EQ(m->find_signal("Moto")->start_bit, 8);
    EXPECT_EQ(m->find_signal("Single")->value_type, CANdbRawFloat);
}

TEST_F(DbcFile, TextEndingInABackslashKeepsItsClosingQuote)
{
    CANdbNetwork net;
    build_small_network(net);
    net.set_comment("Files in C:\\data\\");
    net.messages.first()->set_comment("a\\\"b, a\\\tc");
    DbcFileIo writer(path("out.dbc").c_str());
    ASSERT_EQ(writer.write(&net), 0);
    EXPECT_NE(get("out.dbc").find("CM_ \"Files in C:\\data\\5c\";\n"), std::string::npos);

    CANdbNetwork again;
    ASSERT_EQ(read_written(again), 0);
    EXPECT_EQ(again.comment, "Files in C:\\data\\5c");
    ASSERT_NE(again.messages.first(), nullptr);
    EXPECT_EQ(again.messages.first()->comment, "a\\\"b, a\\\tc") << "a backslash before an escape stays";
    EXPECT_EQ(again.messages.first()->find_signal("Single")->value_type, CANdbRawFloat) << "what follows is read";
}

TEST_F(DbcFile, WriterLeavesOutWhatTheReaderWouldRefuse)
{
    CANdbNetwork net;
    CANdbAttributeDef *none =
        net.add_attribute_def(std::make_unique<CANdbAttributeDef>("Untyped", CANdbAttrNone, CANdbObjectNetwork));
    net.attributes.append(std::make_unique<CANdbAttributeValue>(none));
    auto var = std::make_unique<CANdbEnvVar>("Text");
    var->type = CANdbEnvVarString;
    var->access_code = 2;
    var->maximum = std::numeric_limits<double>::infinity();
    var->identifier = 0xFFFFFFFF; // written with "%d"
    net.add_env_var(std::move(var));
    DbcFileIo writer(path("out.dbc").c_str());
    ASSERT_EQ(writer.write(&net), 0);
    const std::string written = get("out.dbc");
    EXPECT_EQ(written.find("Untyped"), std::string::npos);
    EXPECT_NE(written.find("EV_ Text: 0 [0|1.7976931349e+308] \"\" 0 -1 DUMMY_NODE_VECTOR8001  Vector__XXX;\n"),
              std::string::npos);
    CANdbNetwork again;
    ASSERT_EQ(read_written(again), 0);
    EXPECT_EQ(again.find_env_var("Text")->type, CANdbEnvVarString);
    EXPECT_EQ(again.find_env_var("Text")->identifier, 0xFFFFFFFFu);
}

TEST_F(DbcFile, FailedWritesLeaveTheOldFile)
{
    put("out.dbc", "old contents");
    CANdbNetwork net;
    build_small_network(net);

    // An object kind the format does not know: nothing is written.
    CANdbAttributeDef *odd = net.add_attribute_def(std::make_unique<CANdbAttributeDef>("Odd", CANdbAttrInt, 9));
    DbcFileIo writer(path("out.dbc").c_str());
    EXPECT_EQ(writer.write(&net), 1);
    EXPECT_EQ(get("out.dbc"), "old contents");
    odd->object_kind = CANdbObjectMessage;

    // A full disk, made by a file size limit: the write fails and the old file stays.
    {
        vyr_test::FileSizeLimit disc_full(100);
        EXPECT_EQ(writer.write(&net), -1);
    }
    EXPECT_EQ(get("out.dbc"), "old contents");
    EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files), QStringList{"out.dbc"}) << "no temporary file is left";

    DbcFileIo nowhere("/nonexistent-dir/out.dbc");
    EXPECT_EQ(nowhere.write(&net), -1);
    EXPECT_EQ(writer.write(&net), 0);
    EXPECT_NE(get("out.dbc"), "old contents");
}

TEST_F(DbcFile, RegistryRowReadsAndWritesDbc)
{
    ASSERT_NE(dynamic_cast<DbcFileIo *>(CANdbFileFormat::create_io("DBC").get()), nullptr);
    for (const char *name : {"LDF", "FIBEX"}) {
        // Their readers are not built yet: the rows answer -1.
        std::unique_ptr<CANdbFileIo> stand_in = CANdbFileFormat::create_io(name);
        stand_in->set_file_name(path("in.dbc").c_str());
        EXPECT_EQ(stand_in->read(&net_), -1) << name;
        EXPECT_EQ(stand_in->write(&net_), -1) << name;
    }
}

} // namespace
