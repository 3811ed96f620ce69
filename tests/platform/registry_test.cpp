#include "platform/registry.h"
#include "test_support.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace {

using platform::Registry;

class RegistryFiles : public ::testing::Test
{
protected:
    std::string path(const char *name) const { return dir.path().toStdString() + "/" + name; }
    void write_machine(const std::string &text) { std::ofstream(path("machine.conf")) << text; }
    std::string file_text(const char *name) const
    {
        std::ifstream in(path(name));
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    QTemporaryDir dir;
    Registry registry{path("machine.conf"), path("volatile.conf")};
};

constexpr const char *kDrivers = "Software\\VINDRA AB\\VIVOzozav 1.0\\Drivers";

TEST_F(RegistryFiles, ReadsValuesByKindWithoutRegardToCase)
{
    write_machine("[Software\\VINDRA AB\\VIVOzozav 1.0\\Drivers\\vrbus]\n"
                  "ChannelsPerCard=4\nDriverName=\"vrbus\"\nMaxCards=-1\nEmpty=\n");
    uint32_t number = 0;
    std::string text;
    EXPECT_TRUE(registry.read_int("software\\vindra ab\\VIVozozav 1.0\\drivers\\VRBUS", "channelspercard", &number));
    EXPECT_EQ(number, 4u);
    EXPECT_TRUE(registry.read_int(std::string(kDrivers) + "\\vrbus", "MaxCards", &number));
    EXPECT_EQ(number, 0xFFFFFFFFu); // a 32-bit number as stored
    EXPECT_TRUE(registry.read_string(std::string(kDrivers) + "\\vrbus", "DriverName", &text));
    EXPECT_EQ(text, "vrbus");
    // Missing, empty and of the other kind: not read.
    EXPECT_FALSE(registry.read_int(std::string(kDrivers) + "\\vrbus", "DriverName", &number));
    EXPECT_FALSE(registry.read_string(std::string(kDrivers) + "\\vrbus", "ChannelsPerCard", &text));
    EXPECT_FALSE(registry.read_int(std::string(kDrivers) + "\\vrbus", "Empty", &number));
    EXPECT_FALSE(registry.read_int(std::string(kDrivers) + "\\vrbus", "ignore", &number));
    EXPECT_FALSE(registry.read_int(std::string(kDrivers) + "\\other", "ChannelsPerCard", &number));
}

TEST_F(RegistryFiles, VolatileKeysLieOnTopAndGoWithTheirFile)
{
    write_machine("[Software\\VINDRA AB\\VIVOzozav 1.0\\Drivers\\card]\nMaxCards=1\n");
    const std::string demo = std::string(kDrivers) + "\\vrbus";
    ASSERT_EQ(registry.create_key(demo, true), 0);
    ASSERT_EQ(registry.write_int(demo, "MaxCards", 2), 0);
    ASSERT_EQ(registry.write_int(demo, "ChannelsPerCard", 1), 0);
    ASSERT_EQ(registry.write_string(demo, "DriverName", "vrbus \"demo\"=1"), 0);
    EXPECT_EQ(file_text("machine.conf").find("vrbus"), std::string::npos);

    EXPECT_EQ(registry.subkeys(kDrivers), (std::vector<std::string>{"card", "vrbus"}));
    EXPECT_EQ(registry.subkeys("Software\\VINDRA AB"), std::vector<std::string>{"VIVOzozav 1.0"});
    EXPECT_TRUE(registry.key_exists("SOFTWARE\\VINDRA AB"));
    uint32_t number = 0;
    std::string text;
    EXPECT_TRUE(registry.read_int(demo, "MaxCards", &number));
    EXPECT_EQ(number, 2u);
    EXPECT_TRUE(registry.read_string(demo, "DriverName", &text));
    EXPECT_EQ(text, "vrbus \"demo\"=1");

    // A restart drops the volatile file and with it the key.
    std::remove(path("volatile.conf").c_str());
    EXPECT_FALSE(registry.key_exists(demo));
    EXPECT_EQ(registry.subkeys(kDrivers), std::vector<std::string>{"card"});
}

TEST_F(RegistryFiles, WritesNeedAKeyAndAStorableName)
{
    const std::string key = std::string(kDrivers) + "\\vrbus";
    EXPECT_EQ(registry.write_int(key, "MaxCards", 2), -1);
    ASSERT_EQ(registry.create_key(key), 0);
    EXPECT_EQ(registry.create_key(key), 0); // exists: created
    EXPECT_EQ(registry.write_int(key, "Max Cards", 2), -1);
    EXPECT_EQ(registry.create_key("bad]key"), -1);
    ASSERT_EQ(registry.write_int(key, "MaxCards", 2), 0);
    ASSERT_EQ(registry.write_int(key, "maxcards", 3), 0); // the same value
    uint32_t number = 0;
    EXPECT_TRUE(registry.read_int(key, "MaxCards", &number));
    EXPECT_EQ(number, 3u);
    EXPECT_EQ(file_text("machine.conf"), "[" + key + "]\nMaxCards=3\n\n");
}

TEST_F(RegistryFiles, WriteThatFailsKeepsTheFile)
{
    const std::string key = std::string(kDrivers) + "\\vrbus";
    ASSERT_EQ(registry.create_key(key), 0);
    ASSERT_EQ(registry.write_int(key, "MaxCards", 2), 0);
    const std::string before = file_text("machine.conf");
    {
        vyr_test::FileSizeLimit disc_full(before.size() + 10);
        EXPECT_EQ(registry.write_string(key, "Description", std::string(500, 'd')), -2);
    }
    EXPECT_EQ(file_text("machine.conf"), before);
}

TEST_F(RegistryFiles, DeletesValuesAndKeysWithoutSubkeys)
{
    const std::string key = std::string(kDrivers) + "\\vrbus";
    ASSERT_EQ(registry.create_key(key, true), 0);
    ASSERT_EQ(registry.write_int(key, "MaxCards", 2), 0);
    EXPECT_EQ(registry.delete_key(kDrivers), -1); // it has a subkey
    EXPECT_EQ(registry.delete_value(key, "MAXCARDS"), 0);
    EXPECT_EQ(registry.delete_value(key, "MaxCards"), -1);
    EXPECT_EQ(registry.delete_key(key), 0);
    EXPECT_FALSE(registry.key_exists(key));
    EXPECT_EQ(registry.delete_key(key), -1);
}

} // namespace
