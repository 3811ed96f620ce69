#include "core/vyr_os_version.h"

#include <gtest/gtest.h>
#include <sys/utsname.h>

namespace {

TEST(VyrOsVersion, NamesDistributionAndKernel)
{
    const VyrOsVersion v = VyrOsVersion::from_system(
        "Linux", "6.1.0-18-amd64", "x86_64",
        "NAME=\"Debian GNU/Linux\"\nPRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\nVERSION=\"12\"\n");
    EXPECT_EQ(v.kind, 0u);
    EXPECT_TRUE(v.nt_family);
    EXPECT_EQ(v.text, "Debian GNU/Linux 12 (bookworm), Linux 6.1.0-18-amd64 x86_64");
    EXPECT_EQ(v.major, 6u);
    EXPECT_EQ(v.minor, 1u);
    EXPECT_EQ(v.build, 0u);

    const VyrOsVersion named = VyrOsVersion::from_system("Linux", "5.15", "aarch64", "NAME='Some OS'\nVERSION=3\n");
    EXPECT_EQ(named.text, "Some OS 3, Linux 5.15 aarch64");
    EXPECT_EQ(named.build, 0u);
    EXPECT_EQ(VyrOsVersion::from_system("Linux", "4.19.3", "x86_64", "").text, "Linux 4.19.3 x86_64");
}

TEST(VyrOsVersion, TheProcessRecordComesFromThisSystem)
{
    utsname names;
    ASSERT_EQ(uname(&names), 0);
    const VyrOsVersion &v = vyr_os_version();
    EXPECT_TRUE(v.nt_family);
    EXPECT_EQ(v.kind, 0u);
    EXPECT_NE(v.text.find(names.release), std::string::npos);
}

} // namespace
