#pragma once
// Whether xmllint, a reader that is not ours, takes a saved panel file.
#include <QProcess>
#include <QString>

// Empty when `xmllint --noout` takes the file; else what it says.
inline QString xmllint_refusal(const QString &file_name)
{
    QProcess xmllint;
    xmllint.start(QStringLiteral("xmllint"), {QStringLiteral("--noout"), file_name});
    if (!xmllint.waitForFinished(30000))
        return QStringLiteral("xmllint did not end");
    if (xmllint.exitStatus() != QProcess::NormalExit || xmllint.exitCode() != 0)
        return QStringLiteral("xmllint: ") + QString::fromLocal8Bit(xmllint.readAllStandardError());
    return QString();
}
