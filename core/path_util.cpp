#include "core/path_util.h"

#include <QDir>
#include <QFile>
#include <QStringList>

int make_path_relative(QFileInfo &file, const QString &base_dir)
{
    if (file.filePath().isEmpty() || file.isRelative())
        return 0;
    QStringList file_parts = QDir::cleanPath(file.absoluteFilePath()).split('/', Qt::SkipEmptyParts);
    const QStringList base_parts = QDir::cleanPath(QDir(base_dir).absolutePath()).split('/', Qt::SkipEmptyParts);
    const QString name = file_parts.isEmpty() ? QString() : file_parts.takeLast();

    int common = 0;
    while (common < file_parts.size() && common < base_parts.size() && file_parts[common] == base_parts[common])
        ++common;

    QString relative;
    for (int i = common; i < base_parts.size(); ++i)
        relative += QStringLiteral("../");
    for (int i = common; i < file_parts.size(); ++i)
        relative += file_parts[i] + '/';
    relative += name;
    file.setFile(relative);
    return 1;
}

QString replace_extension(const QString &name, const QString &extension)
{
    QString result = name;
    for (int i = result.size() - 1; i >= 0; --i) {
        const QChar c = result[i];
        if (c == '.') {
            result.truncate(i);
            break;
        }
        if (c == '/' || c == '\\' || c == ':')
            break;
    }
    return result + '.' + extension;
}

QString application_dir_path()
{
    const QString program = QFile::symLinkTarget(QStringLiteral("/proc/self/exe"));
    return QDir::toNativeSeparators(QFileInfo(program).absolutePath());
}

QString stored_file_name(const QString &name)
{
    QString converted = name;
    return converted.replace(QLatin1Char('\\'), QLatin1Char('/'));
}
