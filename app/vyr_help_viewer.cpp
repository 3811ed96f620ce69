#include "app/vyr_help_viewer.h"

#include "settings/debug_trace.h"

#include <QFileInfo>
#include <QLibraryInfo>

namespace {

// The namespace and folder of the help project (help/<code>/vyr_<code>.qhp).
const char *const help_url_prefix = "qthelp://vyr.help/doc/";
constexpr int process_wait_ms = 3000;

QString collection_file(const QString &help_directory, const QString &code)
{
    return help_directory + QLatin1String("/vyr_") + code + QLatin1String(".qhc");
}

} // namespace

QString VyrHelpViewer::language_code(int language)
{
    static const char *const codes[] = {"de", "en", "ja_jp", "zh_cn"};
    return language >= 0 && language < 4 ? QString::fromLatin1(codes[language]) : QStringLiteral("other");
}

QString VyrHelpViewer::page_url(const QString &page)
{
    return QLatin1String(help_url_prefix) + page;
}

VyrHelpViewer::VyrHelpViewer(const QString &program_directory, int language, QObject *parent) : QObject(parent)
{
    const QString help_root = program_directory + QLatin1String("/help/vyr/");
    QString code = language_code(language);
    if (!QFileInfo::exists(collection_file(help_root + code, code)))
        code = language_code(1);
    m_help_directory = help_root + code;

    // A viewer shipped beside the program comes first, then Qt's own.
    m_program = program_directory + QLatin1String("/assistant");
    if (!QFileInfo(m_program).isExecutable()) {
        m_program = QLibraryInfo::location(QLibraryInfo::BinariesPath) + QLatin1String("/assistant");
        if (!QFileInfo(m_program).isExecutable())
            m_program = QStringLiteral("assistant");
    }
    m_arguments = QStringList{QStringLiteral("-collectionFile"), collection_file(m_help_directory, code),
                              QStringLiteral("-enableRemoteControl")};
    m_process.setProcessChannelMode(QProcess::ForwardedChannels);
}

VyrHelpViewer::~VyrHelpViewer()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(process_wait_ms)) {
        m_process.kill();
        m_process.waitForFinished(process_wait_ms);
    }
}

void VyrHelpViewer::show_page(const QString &page)
{
    if (m_process.state() == QProcess::NotRunning) {
        m_process.start(m_program, m_arguments, QIODevice::WriteOnly);
        if (!m_process.waitForStarted(process_wait_ms)) {
            debug_trace("VyrHelpViewer: %s does not start: %s", qUtf8Printable(m_program),
                        qUtf8Printable(m_process.errorString()));
            return;
        }
    }
    m_process.write(QByteArrayLiteral("setSource ") + page_url(page).toUtf8() + '\n');
}
