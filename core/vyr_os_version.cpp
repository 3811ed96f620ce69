#include "core/vyr_os_version.h"

#include <QFile>
#include <QList>
#include <sys/utsname.h>

namespace {

// The value of `key` in an os-release text (KEY=value lines, values
// optionally quoted, backslash escapes inside quotes).
QString os_release_value(const QByteArray &text, const QByteArray &key)
{
    for (const QByteArray &raw : text.split('\n')) {
        const QByteArray line = raw.trimmed();
        if (!line.startsWith(key + '='))
            continue;
        QByteArray value = line.mid(key.size() + 1);
        if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.endsWith(value[0])) {
            value = value.mid(1, value.size() - 2);
            QByteArray plain;
            for (int i = 0; i < value.size(); ++i) {
                if (value[i] == '\\' && i + 1 < value.size())
                    ++i;
                plain += value[i];
            }
            value = plain;
        }
        return QString::fromUtf8(value);
    }
    return QString();
}

QByteArray read_os_release()
{
    for (const char *path : {"/etc/os-release", "/usr/lib/os-release"}) {
        QFile file(QString::fromLatin1(path));
        if (file.open(QIODevice::ReadOnly))
            return file.readAll();
    }
    return QByteArray();
}

} // namespace

VyrOsVersion VyrOsVersion::from_system(const QString &system, const QString &release, const QString &machine,
                                       const QByteArray &os_release)
{
    VyrOsVersion version;
    version.nt_family = true;

    // "6.1.0-18-amd64": major 6, minor 1, build 0.
    uint32_t *numbers[] = {&version.major, &version.minor, &version.build};
    int field = 0;
    bool in_number = false;
    for (const QChar c : release) {
        if (c.isDigit()) {
            *numbers[field] = *numbers[field] * 10 + uint32_t(c.digitValue());
            in_number = true;
        } else if (c == '.' && in_number && field < 2) {
            ++field;
            in_number = false;
        } else {
            break;
        }
    }

    QString distribution = os_release_value(os_release, "PRETTY_NAME");
    if (distribution.isEmpty())
        distribution = (os_release_value(os_release, "NAME") + ' ' + os_release_value(os_release, "VERSION")).trimmed();
    QString kernel = (system + ' ' + release + ' ' + machine).simplified();
    version.text = (distribution.isEmpty() ? kernel : distribution + ", " + kernel).toStdString();
    return version;
}

VyrOsVersion VyrOsVersion::query()
{
    utsname names;
    if (uname(&names) != 0)
        return VyrOsVersion();
    return from_system(QString::fromLocal8Bit(names.sysname), QString::fromLocal8Bit(names.release),
                       QString::fromLocal8Bit(names.machine), read_os_release());
}

const VyrOsVersion &vyr_os_version()
{
    static const VyrOsVersion version = VyrOsVersion::query();
    return version;
}
