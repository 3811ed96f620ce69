#include "core/vyr_definer.h"
#include "core/vyr_env_var_list.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>

namespace {

// Records what an interface's output queue would receive.
class RecordingSink : public VyrOutputSink
{
public:
    void post_output(ScriptTrigger *item) override { posted.push_back(item); }
    std::vector<ScriptTrigger *> posted;
};

// Script triggers are only passed around by address here.
ScriptTrigger *trigger_at(int n)
{
    static char storage[8];
    return reinterpret_cast<ScriptTrigger *>(&storage[n]);
}

TEST(EnvVarRecordTest, NameHashTakesBytesAsSigned)
{
    EXPECT_EQ(EnvVarRecord::hash_name(""), 0u);
    EXPECT_EQ(EnvVarRecord::hash_name("a"), 97u);
    EXPECT_EQ(EnvVarRecord::hash_name("ab"), 2u * 97 + 98);
    EXPECT_EQ(EnvVarRecord::hash_name("\xE4"), 0xFFFFFFE4u);
    EXPECT_EQ(EnvVarRecord::hash_name("a\xE4"), 2u * 97 - 28);
}

TEST(EnvVarRecordTest, FreshValues)
{
    EnvVarRecord i(EnvVarRecord::Int, "i", nullptr);
    EnvVarRecord d(EnvVarRecord::Double, "d", nullptr);
    EnvVarRecord s(EnvVarRecord::String, "s", nullptr);
    EnvVarRecord other(0, "other", nullptr);
    EXPECT_EQ(i.value_string(), std::optional<std::string>("0"));
    EXPECT_EQ(d.value_string(), std::optional<std::string>("0.000000"));
    EXPECT_EQ(s.value_string(), std::nullopt); // no buffer yet
    EXPECT_EQ(s.value_int(), 0);
    EXPECT_EQ(other.value_string(), std::nullopt);
    other.set_value_int(5);
    EXPECT_EQ(other.value_int(), 0);
    EXPECT_EQ(other.value_double(), 0.0);
}

TEST(EnvVarRecordTest, ConversionsBetweenKinds)
{
    enum Setter { SetInt, SetDouble, SetString };
    struct Case {
        int kind;
        Setter setter;
        int int_arg;
        double double_arg;
        const char *text_arg;
        int as_int;
        double as_double;
        const char *as_text;
    };
    const Case cases[] = {
        {EnvVarRecord::Int, SetInt, -7, 0, nullptr, -7, -7.0, "-7"},
        {EnvVarRecord::Int, SetDouble, 0, 3.9, nullptr, 3, 3.0, "3"},
        {EnvVarRecord::Int, SetDouble, 0, -3.9, nullptr, -3, -3.0, "-3"},
        {EnvVarRecord::Int, SetDouble, 0, 1e20, nullptr, 2147483647, 2147483647.0, "2147483647"},
        {EnvVarRecord::Int, SetString, 0, 0, " 42abc", 42, 42.0, "42"},
        {EnvVarRecord::Int, SetString, 0, 0, nullptr, 0, 0.0, "0"},
        {EnvVarRecord::Double, SetInt, 4, 0, nullptr, 4, 4.0, "4.000000"},
        {EnvVarRecord::Double, SetDouble, 0, -1.25, nullptr, -1, -1.25, "-1.250000"},
        {EnvVarRecord::Double, SetString, 0, 0, "2.5", 2, 2.5, "2.500000"},
        {EnvVarRecord::String, SetInt, 12, 0, nullptr, 12, 12.0, "12"},
        {EnvVarRecord::String, SetDouble, 0, 2.5, nullptr, 2, 2.5, "2.500000"},
        {EnvVarRecord::String, SetString, 0, 0, "7.75 kg", 7, 7.75, "7.75 kg"},
        {EnvVarRecord::String, SetString, 0, 0, nullptr, 0, 0.0, ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "kind " << c.kind << " setter " << c.setter);
        EnvVarRecord v(c.kind, "v", nullptr);
        if (c.setter == SetInt)
            v.set_value_int(c.int_arg);
        else if (c.setter == SetDouble)
            v.set_value_double(c.double_arg);
        else
            v.set_value_string(c.text_arg);
        EXPECT_EQ(v.value_int(), c.as_int);
        EXPECT_DOUBLE_EQ(v.value_double(), c.as_double);
        EXPECT_EQ(v.value_string(), std::optional<std::string>(c.as_text));
    }
}

// The toolkit takes LC_NUMERIC from the user's environment; a decimal comma
// there must not change how variables read and print their numbers.
TEST(EnvVarRecordTest, NumbersIgnoreTheNumericLocale)
{
    const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
    QTemporaryDir locale_dir;
    if (!vyr_test::use_decimal_comma_locale(locale_dir.path()))
        GTEST_SKIP() << "no locale with a decimal comma could be installed or made";
    EnvVarRecord d(EnvVarRecord::Double, "d", nullptr);
    EnvVarRecord s(EnvVarRecord::String, "s", nullptr);
    d.set_value_string("2.5");
    s.set_value_double(0.25);
    const double read_back = d.value_double();
    const std::optional<std::string> printed = d.value_string();
    const double from_text = s.value_double();
    const std::optional<std::string> text = s.value_string();
    std::setlocale(LC_NUMERIC, saved.c_str());
    EXPECT_EQ(read_back, 2.5);
    EXPECT_EQ(printed, std::optional<std::string>("2.500000"));
    EXPECT_EQ(from_text, 0.25);
    EXPECT_EQ(text, std::optional<std::string>("0.250000"));
}

TEST(EnvVarRecordTest, TextsAreOwnedByTheCaller)
{
    EnvVarRecord a(EnvVarRecord::Int, "a", nullptr);
    EnvVarRecord b(EnvVarRecord::Double, "b", nullptr);
    a.set_value_int(1);
    b.set_value_double(2.0);
    const std::optional<std::string> first = a.value_string();
    const std::optional<std::string> second = b.value_string();
    EXPECT_EQ(*first, "1"); // not overwritten by the second call
    EXPECT_EQ(*second, "2.000000");
}

class EnvVarNotifyTest : public testing::Test
{
protected:
    RecordingSink sink_a, sink_b;
    VyrDefiner script_a{"script", &sink_a};
    VyrDefiner script_b{"script", &sink_b};
};

TEST_F(EnvVarNotifyTest, ActionsArePostedToTheirDefinersOnChange)
{
    EnvVarRecord v(EnvVarRecord::Int, "speed", &script_a);
    v.add_action(trigger_at(0), &script_a);
    v.add_action(trigger_at(1), &script_b);
    v.set_value_int(5);
    EXPECT_EQ(sink_a.posted, std::vector<ScriptTrigger *>{trigger_at(0)});
    EXPECT_EQ(sink_b.posted, std::vector<ScriptTrigger *>{trigger_at(1)});
}

TEST_F(EnvVarNotifyTest, OnlyRealChangesNotifyExceptForStrings)
{
    // Each step sets the variable and names the number of posts counted so far.
    auto run = [this](int kind, const std::vector<std::pair<std::function<void(EnvVarRecord &)>, size_t>> &steps) {
        sink_a.posted.clear();
        EnvVarRecord v(kind, "v", &script_a);
        v.add_action(trigger_at(0), &script_a);
        for (size_t i = 0; i < steps.size(); ++i) {
            steps[i].first(v);
            EXPECT_EQ(sink_a.posted.size(), steps[i].second) << "kind " << kind << " step " << i;
        }
    };
    using Set = std::function<void(EnvVarRecord &)>;
    run(EnvVarRecord::Int, {
        {Set([](EnvVarRecord &v) { v.set_value_int(3); }), 1},
        {Set([](EnvVarRecord &v) { v.set_value_int(3); }), 1},        // same value: no post
        {Set([](EnvVarRecord &v) { v.set_value_double(3.0); }), 1},   // equal double: no post
        {Set([](EnvVarRecord &v) { v.set_value_double(3.9); }), 2},   // differs from the old int
        {Set([](EnvVarRecord &v) { v.set_value_string("3"); }), 2},
    });
    run(EnvVarRecord::Double, {
        {Set([](EnvVarRecord &v) { v.set_value_double(0.5); }), 1},
        {Set([](EnvVarRecord &v) { v.set_value_double(0.5); }), 1},
        {Set([](EnvVarRecord &v) { v.set_value_int(1); }), 2},
        {Set([](EnvVarRecord &v) { v.set_value_string("1.0"); }), 2},
    });
    run(EnvVarRecord::String, {
        {Set([](EnvVarRecord &v) { v.set_value_string("on"); }), 1},
        {Set([](EnvVarRecord &v) { v.set_value_string("on"); }), 2}, // same text posts again
        {Set([](EnvVarRecord &v) { v.set_value_int(1); }), 3},
    });
}

TEST_F(EnvVarNotifyTest, RemovingADefinerDropsItsActionsAndOwnership)
{
    EnvVarRecord v(EnvVarRecord::Int, "v", &script_a);
    v.add_definer(&script_a);
    v.add_definer(&script_a);
    v.add_definer(&script_b);
    EXPECT_EQ(v.definer_count(), 2);
    v.add_action(trigger_at(0), &script_a);
    v.add_action(trigger_at(1), &script_b);

    v.remove_definer(&script_a);
    EXPECT_FALSE(v.has_definer(&script_a));
    EXPECT_TRUE(v.has_definer(&script_b));
    EXPECT_EQ(v.owner(), nullptr);
    v.set_value_int(1);
    EXPECT_TRUE(sink_a.posted.empty());
    EXPECT_EQ(sink_b.posted.size(), 1u);

    v.remove_definer(&script_b); // not the owner: nothing else changes
    EXPECT_EQ(v.definer_count(), 0);
}

TEST_F(EnvVarNotifyTest, ListDeletesAVariableWithItsLastDefiner)
{
    VyrEnvVarList list;
    EnvVarRecord *shared = list.insert(std::make_unique<EnvVarRecord>(EnvVarRecord::Double, "shared", &script_a));
    shared->add_definer(&script_a);
    shared->add_definer(&script_b);
    EnvVarRecord *own = list.insert(std::make_unique<EnvVarRecord>(EnvVarRecord::Int, "own", &script_b));
    own->add_definer(&script_b);
    const int shared_id = shared->id();
    shared->set_value_double(2.5);

    list.remove_definer(&script_a);
    EXPECT_EQ(list.find_by_id(shared_id), shared);
    EXPECT_EQ(list.find_by_name("shared"), shared);
    EXPECT_DOUBLE_EQ(shared->value_double(), 2.5); // the value survives
    EXPECT_EQ(list.count(), 2);

    list.remove_definer(&script_b);
    EXPECT_EQ(list.find_by_id(shared_id), nullptr);
    EXPECT_EQ(list.find_by_name("shared"), nullptr);
    EXPECT_EQ(list.find_by_name("own"), nullptr);
    EXPECT_EQ(list.count(), 0);
}

TEST(VyrEnvVarListTest, FindsByIdAcrossBucketChainsAndByExactName)
{
    VyrEnvVarList list;
    std::vector<EnvVarRecord *> records;
    for (int i = 0; i < 2100; ++i) // more than one variable per bucket
        records.push_back(list.insert(
            std::make_unique<EnvVarRecord>(EnvVarRecord::Int, "var" + std::to_string(i), nullptr)));
    for (EnvVarRecord *record : {records[0], records[51], records[2048], records[2099]})
        EXPECT_EQ(list.find_by_id(record->id()), record);
    EXPECT_EQ(list.find_by_id(records.back()->id() + 1), nullptr);
    EXPECT_EQ(list.find_by_name("var7"), records[7]);
    EXPECT_EQ(list.find_by_name("Var7"), nullptr);
    EXPECT_EQ(list.find_by_name("var"), nullptr);
}

TEST(VyrEnvVarListTest, InstanceIsSetByTheShellAndClearedWithTheList)
{
    EXPECT_EQ(VyrEnvVarList::instance(), nullptr);
    {
        VyrEnvVarList list;
        VyrEnvVarList::set_instance(&list);
        EXPECT_EQ(VyrEnvVarList::instance(), &list);
    }
    EXPECT_EQ(VyrEnvVarList::instance(), nullptr);
}

TEST(EnvVarRecordTest, StringIsReplacedSafelyWhileAnotherThreadReadsIt)
{
    EnvVarRecord v(EnvVarRecord::String, "text", nullptr);
    const std::string short_text(3, 'a');
    const std::string long_text(300, 'b'); // needs a new buffer every time it follows the short one
    v.set_value_string(short_text.c_str());
    std::atomic<bool> done{false};
    std::atomic<int> torn{0};
    std::thread reader([&] {
        while (!done.load()) {
            const std::optional<std::string> text = v.value_string();
            if (!text || (*text != short_text && *text != long_text))
                ++torn;
        }
    });
    for (int i = 0; i < 20000; ++i)
        v.set_value_string((i % 2 ? short_text : long_text).c_str());
    done = true;
    reader.join();
    EXPECT_EQ(torn.load(), 0);
}

} // namespace
