// The DBC files of the shared test data: every one loads, writes and reads
// back to the same network, and agrees with python3-canmatrix as an
// independent reader, in both directions of writing.
#include "description/dbc/dbc_file_io.h"
#include "network_dump.h"
#include "test_support.h"
#include "tests/tools/candb_json.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QJsonDocument>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <memory>
#include <set>

namespace {

const char kPython[] = "/usr/bin/python3";

std::vector<std::string> testdata_dbc_files()
{
    std::vector<std::string> files;
    QDirIterator it(QString::fromStdString(vyr_test::testdata_dir() + "/dbc"), {"*.dbc"}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        files.push_back(it.next().toStdString());
    std::sort(files.begin(), files.end());
    return files;
}

std::string short_name(const std::string &path)
{
    const size_t at = path.find("/dbc/");
    return at == std::string::npos ? path : path.substr(at + 5);
}

bool ends_with(const std::string &text, const std::string &end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// Runs the canmatrix dump script over the files; skips the test when the
// outside reader is not installed.
#define RUN_CANMATRIX(result, files, write_dir)                                                                       \
    QJsonObject result;                                                                                               \
    do {                                                                                                              \
        QString why;                                                                                                  \
        if (!run_canmatrix(files, write_dir, result, why))                                                            \
            GTEST_SKIP() << why.toStdString();                                                                        \
    } while (0)

bool run_canmatrix(const std::vector<std::string> &files, const QString &write_dir, QJsonObject &result, QString &why)
{
    if (!QFileInfo::exists(kPython)) {
        why = "python3-canmatrix needs /usr/bin/python3, which is not installed";
        return false;
    }
    QStringList args{vyr_test::source_dir() + "/tests/description/canmatrix_dump.py"};
    if (!write_dir.isEmpty())
        args << "--write-dir" << write_dir;
    for (const std::string &f : files)
        args << QString::fromStdString(f);
    QProcess python;
    python.start(kPython, args);
    if (!python.waitForFinished(300000) || python.exitCode() != 0) {
        why = "canmatrix could not be run (is python3-canmatrix installed?): " +
              QString::fromLocal8Bit(python.readAllStandardError()).left(300);
        return false;
    }
    result = QJsonDocument::fromJson(python.readAllStandardOutput()).object();
    return true;
}

// Reads through the registry; the reader's messages go to the collector
// (or nowhere) rather than to standard output.
std::string read_file(const std::string &path, CANdbNetwork &net, candb_json::Collector *collector = nullptr)
{
    candb_json::Collector ignored;
    const int result = candb_json::load(path, net, collector ? collector : &ignored);
    return result == 0 ? std::string() : "read returned " + std::to_string(result);
}

// What the comparison with canmatrix leaves out for one file, and why.
struct Leniency {
    bool only_our_messages = false;   // canmatrix reads messages that we do not
    bool only_our_values = false;     // value descriptions differ for a known reason
    bool only_common_signals = false; // signals that one side lacks are not reported
    bool multiplexor_values = true;   // value descriptions of multiplexors are compared
};

struct FileDeviation {
    const char *file;
    const char *reason;
    Leniency leniency;
};

// Files that leave the DBC format; canmatrix reads them line by line and
// passes over what does not fit, our reader keeps to the format.
const FileDeviation kFileDeviations[] = {
    {"opendbc/opendbc/dbc/FORD_CADS.dbc",
     "an INT attribute range is written as 1e+09 (line 1046): an integer is required there, so our reading ends "
     "before the value descriptions; canmatrix reads on",
     {false, true, false, true}},
    {"opendbc/opendbc/dbc/mazda_2017.dbc",
     "two VAL_ lines lack their ';': canmatrix drops them, our reader takes the values up to the next statement",
     {false, true, false, true}},
    {"opendbc/opendbc/dbc/generator/chrysler/_stellantis_common.dbc",
     "a VAL_ line lacks its ';': canmatrix drops the line, our reader takes the values up to the next statement",
     {false, true, false, true}},
    {"opendbc/opendbc/dbc/generator/gm/gm_global_a_powertrain.dbc",
     "VAL_ lines lack their ';': canmatrix drops them, our reader takes the values up to the next statement",
     {false, true, false, true}},
};

// Where canmatrix's own DBC writer loses or changes what it read.
const FileDeviation kCanmatrixWriterDeviations[] = {
    {"cantools/tests/files/dbc/j1939.dbc",
     "canmatrix writes the value of an EV_ attribute without the variable's name (BA_ \"SystemEnvVarLongSymbol\" "
     "EV_ \"...\";), which ends our reading there; everything before it agrees",
     {}},
    {"cantools/tests/files/dbc/long_names.dbc",
     "canmatrix writes the value of an EV_ attribute without the variable's name, which ends our reading before "
     "the long-name attributes, so the long signal names are not there to compare",
     {false, false, true, true}},
    {"opendbc/opendbc/dbc/mazda_2017.dbc",
     "canmatrix writes the signal name 5_SEC_DISABLE_TIMER, which begins with a digit, as _5_SEC_DISABLE_TIMER",
     {false, true, true, true}},
    {"opendbc/opendbc/dbc/chrysler_cusw.dbc",
     "canmatrix writes the signals of a message it refused (standard identifier above 0x7FF) into the message "
     "before it",
     {false, false, true, true}},
    {"opendbc/opendbc/dbc/generator/honda/_bosch_2018.dbc",
     "canmatrix writes the signals of the messages it refused (standard identifiers above 0x7FF) into the message "
     "before them, with numbered names",
     {false, false, true, true}},
};

const FileDeviation *find_deviation(const FileDeviation *begin, const FileDeviation *end, const std::string &path)
{
    for (const FileDeviation *d = begin; d != end; ++d)
        if (ends_with(path, d->file))
            return d;
    return nullptr;
}

const FileDeviation *file_deviation(const std::string &path)
{
    return find_deviation(std::begin(kFileDeviations), std::end(kFileDeviations), path);
}

const FileDeviation *writer_deviation(const std::string &path)
{
    return find_deviation(std::begin(kCanmatrixWriterDeviations), std::end(kCanmatrixWriterDeviations), path);
}

// canmatrix names a message or signal after its "System...LongSymbol" attribute.
std::string canmatrix_name(const std::string &name, const CANdbAttributeValueList &attributes, const char *long_name)
{
    const CANdbAttributeValue *v = attributes.find_by_name(long_name);
    return v && v->value_type == CANdbAttrString && !v->string_value.empty() ? v->string_value : name;
}

bool close(const QJsonValue &a, const QJsonValue &b)
{
    if (a.isNull() || b.isNull())
        return a.isNull() && b.isNull();
    const double x = a.toDouble(), y = b.toDouble();
    return std::fabs(x - y) <= 1e-9 * std::max({1.0, std::fabs(x), std::fabs(y)});
}

std::string json_text(const QJsonValue &value)
{
    return QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact).toStdString();
}

const char kPseudoMessageName[] = "VECTOR__INDEPENDENT_SIG_MSG";

// Compares our network with canmatrix's reading of a file; returns the
// differences, one line each. canmatrix's own ways are allowed for:
// - it refuses standard identifiers above 0x7FF: it drops such a message and
//   hands its signals to the message before it;
// - it cuts extended identifiers to 29 bits (ours keep what the file says:
//   4294967295 stays 0x7FFFFFFF with the extended flag);
// - it names messages and signals after their "System...LongSymbol" attributes;
// - it reads "mNM" (a multiplexed multiplexor) as a plain multiplexor;
// - it lists the holder of frameless signals (VECTOR__INDEPENDENT_SIG_MSG) as a frame.
std::vector<std::string> compare_with_canmatrix(const CANdbNetwork &net, const QJsonObject &theirs,
                                                const Leniency &leniency)
{
    std::vector<std::string> diffs;
    // Messages are matched by identifier and, for identifiers that a file
    // uses twice, by their order in the file.
    std::map<std::string, int> seen;
    auto key = [&seen](double id, bool extended) {
        const std::string k = std::to_string(static_cast<uint64_t>(id)) + (extended ? "x" : "");
        return k + "#" + std::to_string(seen[k]++);
    };
    std::map<std::string, QJsonObject> their_messages;
    for (const QJsonValue &m : theirs["messages"].toArray()) {
        const QJsonObject o = m.toObject();
        if (o["name"].toString() != kPseudoMessageName)
            their_messages[key(o["id"].toDouble(), o["extended"].toBool())] = o;
    }
    seen.clear();
    auto refused = [](const CANdbMessage *m) { return !m->extended && m->id > 0x7FF; };
    std::set<std::string> refused_signals;
    for (const CANdbMessage *m : net.messages)
        if (refused(m))
            for (const CANdbSignal *s : m->signal_list)
                refused_signals.insert(canmatrix_name(s->name, s->attributes, "SystemSignalLongSymbol"));
    std::set<std::string> compared;
    for (const CANdbMessage *m : net.messages) {
        if (refused(m) || m->name == kPseudoMessageName)
            continue;
        const std::string k = key(m->extended ? m->id & 0x1FFFFFFF : m->id, m->extended);
        compared.insert(k);
        const std::string where = m->name + " (" + k + ")";
        auto it = their_messages.find(k);
        if (it == their_messages.end()) {
            diffs.push_back("canmatrix has no message " + where);
            continue;
        }
        const QJsonObject &them = it->second;
        const std::string name = canmatrix_name(m->name, m->attributes, "SystemMessageLongSymbol");
        if (them["name"].toString() != candb_json::text(name))
            diffs.push_back(where + ": name " + them["name"].toString().toStdString());
        if (them["dlc"].toInt() != m->dlc)
            diffs.push_back(where + ": dlc " + std::to_string(them["dlc"].toInt()));

        std::map<QString, QJsonObject> their_signals;
        for (const QJsonValue &s : them["signals"].toArray())
            their_signals[s.toObject()["name"].toString()] = s.toObject();
        for (const CANdbSignal *s : m->signal_list) {
            const QString signal_name =
                candb_json::text(canmatrix_name(s->name, s->attributes, "SystemSignalLongSymbol"));
            auto sit = their_signals.find(signal_name);
            if (sit == their_signals.end()) {
                if (!leniency.only_common_signals)
                    diffs.push_back(where + ": canmatrix has no signal " + signal_name.toStdString());
                continue;
            }
            QJsonObject ours = candb_json::signal_json(*s);
            const QJsonObject their_signal = sit->second;
            their_signals.erase(sit);
            if (s->mux_value != -1 && ours["multiplexer"].toBool())
                ours["multiplex_value"] = QJsonValue();
            for (const QString &field : ours.keys()) {
                if (field == "name")
                    continue;
                if (field == "values" &&
                    (leniency.only_our_values || (!leniency.multiplexor_values && ours["multiplexer"].toBool())))
                    continue;
                const bool numeric = field == "factor" || field == "offset" || field == "min" || field == "max";
                if (numeric ? !close(ours[field], their_signal[field]) : ours[field] != their_signal[field])
                    diffs.push_back(where + " " + signal_name.toStdString() + ": " + field.toStdString() + " ours " +
                                    json_text(ours[field]) + " canmatrix " + json_text(their_signal[field]));
            }
        }
        if (!leniency.only_common_signals)
            for (const auto &extra : their_signals)
                if (!refused_signals.count(extra.first.toStdString()))
                    diffs.push_back(where + ": only canmatrix has signal " + extra.first.toStdString());
    }
    if (!leniency.only_our_messages)
        for (const auto &m : their_messages)
            if (!compared.count(m.first))
                diffs.push_back("only canmatrix has message " + m.second["name"].toString().toStdString());
    return diffs;
}

std::string lines(const std::vector<std::string> &items)
{
    std::string text;
    for (const std::string &item : items)
        text += item + "\n";
    return text;
}

class DbcTestData : public ::testing::Test {
protected:
    void SetUp() override
    {
        VYR_REQUIRE_TESTDATA();
        files_ = testdata_dbc_files();
        ASSERT_FALSE(files_.empty());
        ASSERT_TRUE(temp_.isValid());
    }
    std::string temp_path(size_t index) const
    {
        return temp_.filePath(QString::number(index) + ".dbc").toStdString();
    }

    std::vector<std::string> files_;
    QTemporaryDir temp_;
};

TEST_F(DbcTestData, EveryFileLoadsAndReadsBackFromWhatWeWrite)
{
    // Beside the shared files, inputs where this once failed.
    QDirIterator fixtures(vyr_test::source_dir() + "/tests/description/fixtures/dbc_round_trip", {"*.dbc"},
                          QDir::Files);
    while (fixtures.hasNext())
        files_.push_back(fixtures.next().toStdString());
    for (size_t i = 0; i < files_.size(); ++i) {
        SCOPED_TRACE(short_name(files_[i]));
        CANdbNetwork first;
        ASSERT_EQ(read_file(files_[i], first), "");
        DbcFileIo writer(temp_path(i).c_str());
        ASSERT_EQ(writer.write(&first), 0);
        CANdbNetwork second;
        candb_json::Collector collector;
        ASSERT_EQ(read_file(temp_path(i), second, &collector), "");
        EXPECT_TRUE(collector.errors.isEmpty()) << collector.errors.join("\n").toStdString();
        EXPECT_EQ(network_dump::network(second), network_dump::network(first));
    }
}

// vw_mqb.dbc comments on 17 signals it does not define: warnings, no errors.
TEST_F(DbcTestData, CommentsOnSignalsTheFileLacksAreWarnings)
{
    CANdbNetwork net;
    candb_json::Collector collector;
    ASSERT_EQ(read_file(vyr_test::testdata_dir() + "/dbc/opendbc/opendbc/dbc/vw_mqb.dbc", net, &collector), "");
    EXPECT_TRUE(collector.errors.isEmpty()) << collector.errors.join("\n").toStdString();
    EXPECT_EQ(collector.warnings.size(), 17);
    EXPECT_EQ(collector.warnings.value(0).toStdString(),
              "line 1630: Comment on signal 'ACC_Hold_Request' of message 'ACC_07', which the file does not define");
}

TEST_F(DbcTestData, AgreesWithCanmatrix)
{
    RUN_CANMATRIX(theirs, files_, QString());
    for (const std::string &path : files_) {
        SCOPED_TRACE(short_name(path));
        const QJsonObject their_network = theirs[QString::fromStdString(path)].toObject();
        ASSERT_FALSE(their_network.contains("error")) << their_network["error"].toString().toStdString();
        CANdbNetwork net;
        ASSERT_EQ(read_file(path, net), "");
        const FileDeviation *deviation = file_deviation(path);
        const std::vector<std::string> diffs =
            compare_with_canmatrix(net, their_network, deviation ? deviation->leniency : Leniency());
        EXPECT_TRUE(diffs.empty()) << lines(diffs) << (deviation ? std::string("known: ") + deviation->reason : "");
    }
}

TEST_F(DbcTestData, CanmatrixReadsWhatWeWrite)
{
    std::vector<std::string> written;
    std::vector<std::unique_ptr<CANdbNetwork>> networks;
    for (size_t i = 0; i < files_.size(); ++i) {
        networks.push_back(std::make_unique<CANdbNetwork>());
        ASSERT_EQ(read_file(files_[i], *networks.back()), "");
        DbcFileIo writer(temp_path(i).c_str());
        ASSERT_EQ(writer.write(networks.back().get()), 0);
        written.push_back(temp_path(i));
    }
    RUN_CANMATRIX(theirs, written, QString());
    for (size_t i = 0; i < files_.size(); ++i) {
        SCOPED_TRACE(short_name(files_[i]));
        const QJsonObject their_network = theirs[QString::fromStdString(written[i])].toObject();
        ASSERT_FALSE(their_network.contains("error")) << their_network["error"].toString().toStdString();
        // What we write keeps to the format, so only canmatrix's own ways remain.
        EXPECT_EQ(lines(compare_with_canmatrix(*networks[i], their_network, Leniency())), "");
    }
}

TEST_F(DbcTestData, WeReadWhatCanmatrixWrites)
{
    RUN_CANMATRIX(theirs, files_, temp_.path());
    for (size_t i = 0; i < files_.size(); ++i) {
        const std::string &path = files_[i];
        SCOPED_TRACE(short_name(path));
        const QJsonObject their_network = theirs[QString::fromStdString(path)].toObject();
        if (ends_with(path, "cantools/tests/files/dbc/fd_test_int.dbc")) {
            // canmatrix's writer fails on a VFrameFormat declared as INT and writes no file.
            EXPECT_TRUE(their_network.contains("write_error"));
            continue;
        }
        ASSERT_EQ(their_network["written"].toString().toStdString(), temp_path(i));
        CANdbNetwork net;
        candb_json::Collector collector;
        ASSERT_EQ(read_file(temp_path(i), net, &collector), "");
        const FileDeviation *original = file_deviation(path);
        const FileDeviation *writer = writer_deviation(path);
        if (!original && !writer) {
            EXPECT_TRUE(collector.errors.isEmpty()) << collector.errors.join("\n").toStdString();
        }
        // canmatrix's file against canmatrix's reading of the original; its
        // writer leaves out the value descriptions of multiplexors.
        Leniency leniency = writer ? writer->leniency : original ? original->leniency : Leniency();
        leniency.multiplexor_values = false;
        EXPECT_EQ(lines(compare_with_canmatrix(net, their_network, leniency)), "")
            << (writer ? std::string("known: ") + writer->reason : "");
    }
}

TEST_F(DbcTestData, DumpProgramPrintsTheNetworkAsJson)
{
    // The program is built beside the test programs.
    const QString program = QCoreApplication::applicationDirPath() + "/candb_json_dump";
    const std::string path = vyr_test::testdata_dir() + "/dbc/cantools/tests/files/dbc/motohawk.dbc";
    QProcess dump;
    dump.start(program, {QString::fromStdString(path)});
    ASSERT_TRUE(dump.waitForFinished(30000));
    ASSERT_EQ(dump.exitCode(), 0);
    const QJsonObject json = QJsonDocument::fromJson(dump.readAllStandardOutput()).object();
    EXPECT_EQ(json["result"].toInt(), 0);
    const QJsonArray messages = json["messages"].toArray();
    ASSERT_EQ(messages.size(), 1);
    const QJsonObject message = messages[0].toObject();
    EXPECT_EQ(message["name"].toString(), "ExampleMessage");
    EXPECT_EQ(message["id"].toInt(), 496);
    const QJsonObject temperature = message["signals"].toArray()[0].toObject();
    EXPECT_EQ(temperature["name"].toString(), "Temperature");
    EXPECT_EQ(temperature["start_bit"].toInt(), 21) << "DBC start 0 of a 12-bit Motorola signal";
    EXPECT_EQ(temperature["byte_order"].toString(), "motorola");
    EXPECT_EQ(temperature["unit"].toString(), "degK");
}

TEST(CandbJsonDump, NamesAFileItCannotReadAndExitsWithOne)
{
    const QString program = QCoreApplication::applicationDirPath() + "/candb_json_dump";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const struct {
        QString path;
        QString why;
    } cases[] = {
        {dir.filePath("missing.dbc"), "no such file"},
        {dir.path(), "is a directory"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        QProcess dump;
        dump.start(program, {c.path});
        ASSERT_TRUE(dump.waitForFinished(30000));
        EXPECT_EQ(dump.exitCode(), 1);
        EXPECT_EQ(dump.readAllStandardOutput(), QByteArray());
        EXPECT_TRUE(QString::fromLocal8Bit(dump.readAllStandardError()).contains(c.path + ": " + c.why));
    }
}

} // namespace
