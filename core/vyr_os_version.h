#pragma once
// The operating-system record of the process. On Linux the kernel services
// the program needs are there, so the NT-family flag is set; the kind code is
// 0 and the display text names the distribution and the kernel.
#include <QByteArray>
#include <QString>
#include <cstdint>
#include <string>

struct VyrOsVersion
{
    uint32_t kind = 0;
    bool nt_family = false;
    std::string text;
    uint32_t major = 0;
    uint32_t minor = 0;
    uint32_t build = 0;
    uint32_t service_pack_minor = 0;
    uint32_t service_pack_major = 0;

    // Asks uname and /etc/os-release; a record of zeros when uname fails.
    static VyrOsVersion query();
    // Builds the record from the uname fields and the os-release file's text.
    // The version numbers are the leading numbers of the kernel release.
    static VyrOsVersion from_system(const QString &system, const QString &release, const QString &machine,
                                    const QByteArray &os_release);
};

// The process-wide record, filled on first use.
const VyrOsVersion &vyr_os_version();
