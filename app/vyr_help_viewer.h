#pragma once
// The help viewer of one help language: Qt Assistant on the language's help
// collection, run as a separate process with remote control, so that the
// program shows a page by writing a command to the viewer's input. The
// process starts with the first page asked for and starts again when it has
// ended; deleting the launcher ends it.
#include <QObject>
#include <QProcess>
#include <QStringList>

class VyrHelpViewer : public QObject
{
    Q_OBJECT

public:
    // Language 0 German, 1 English, 2 Japanese, 3 Chinese, any other value
    // "other". A language whose collection is not installed below
    // <program directory>/help/vyr/ uses the English one.
    VyrHelpViewer(const QString &program_directory, int language, QObject *parent = nullptr);
    ~VyrHelpViewer() override;

    // "de", "en", "ja_jp", "zh_cn", or "other" for any other value.
    static QString language_code(int language);
    // The address of a page of the help, e.g. "Introduction.html".
    static QString page_url(const QString &page);

    const QString &program() const { return m_program; }
    const QStringList &arguments() const { return m_arguments; }
    const QString &help_directory() const { return m_help_directory; }
    QProcess &process() { return m_process; }

    // Shows the page in the viewer, starting the viewer when it does not run.
    void show_page(const QString &page);

private:
    QString m_program;
    QStringList m_arguments;
    QString m_help_directory;
    QProcess m_process;
};
