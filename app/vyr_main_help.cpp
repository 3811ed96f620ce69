// The main window's online help and about box: the help viewer of the chosen
// language, the pages that dialogs and windows ask for, and the program's
// versions.
#include "app/shell/settings_store.h"
#include "app/shell/vyr_app_state.h"
#include "app/vyr_help_viewer.h"
#include "app/vyr_main.h"

#include <QMessageBox>
#include <qwt_global.h>

void VyrMain::launch_help_viewer()
{
    delete m_help_viewer;
    const VyrAppState &state = vyr_app_state();
    m_help_viewer = new VyrHelpViewer(state.program_directory, state.help_language, this);
}

void VyrMain::activate_help_context(const QString &name)
{
    if (m_help_viewer)
        m_help_viewer->show_page((name.isEmpty() ? QStringLiteral("Introduction") : name) + QLatin1String(".html"));
}

void VyrMain::help_contents()
{
    activate_help_context(QString());
}

void VyrMain::set_language(int language)
{
    vyr_app_state().help_language = language;
    SettingsStore &store = settings_store();
    store.write_number("OnlineHelpLanguage", language);
    store.sync();
    launch_help_viewer();
}

void VyrMain::info()
{
    QMessageBox box(this);
    box.setObjectName(QStringLiteral("about_box"));
    box.setWindowTitle(tr("About Vyr"));
    box.setIconPixmap(windowIcon().pixmap(32, 32));
    box.setTextFormat(Qt::RichText);
    box.setText(
        QStringLiteral("<h3>%1</h3>").arg(banner().toHtmlEscaped()) +
        tr("<p>CAN bus analyser and simulation tool.</p>") +
        tr("<p>Built with Qt %1, running with Qt %2.<br>Built with Qwt %3.</p>")
            .arg(QStringLiteral(QT_VERSION_STR), QString::fromLatin1(qVersion()), QStringLiteral(QWT_VERSION_STR)) +
        tr("<p><small>This program uses Qwt, the Qt Widgets for Technical Applications, which is "
           "distributed under the terms of the Qwt License, Version 1.0: the GNU Lesser General Public "
           "License, version 2.1, with exceptions that allow static linking and derived widgets.</small></p>"));
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
}
