#include "app/vyr_test_hooks.h"

#include "app/vyr_dialog_disclaimer.h"
#include "app/vyr_main.h"
#include "app/vyr_main_widgets.h"
#include "windows/base/vyr_data_window.h"
#include "windows/packet/vyr_packet_display.h"
#include "windows/packet/vyr_rt_log.h"

#include <QDockWidget>
#include <QFile>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>

namespace {

// Time for the message window to show the rows set-up logged, unless
// VYR_TEST_REPORT_DELAY_MS asks for longer.
constexpr int default_report_delay_ms = 500;

} // namespace

void answer_disclaimer_when_asked(VyrDialogDisclaimer *dialog)
{
    const QByteArray answer = qgetenv("VYR_TEST_DISCLAIMER");
    QPushButton *button = answer == "accept" ? dialog->pb_accept : answer == "decline" ? dialog->pb_decline : nullptr;
    if (button)
        QTimer::singleShot(0, button, &QPushButton::click);
}

void report_main_window_when_asked(VyrMain *main_window)
{
    const QString report = QString::fromLocal8Bit(qgetenv("VYR_TEST_REPORT"));
    if (report.isEmpty())
        return;
    const int delay_ms = qEnvironmentVariableIntValue("VYR_TEST_REPORT_DELAY_MS");
    QTimer::singleShot(std::max(delay_ms, default_report_delay_ms), main_window, [main_window, report] {
        QFile file(report);
        if (file.open(QIODevice::WriteOnly)) {
            QTextStream out(&file);
            for (int i = 0; i < main_window->workspace_tab_bar()->count(); ++i)
                out << "tab: " << main_window->workspace_tab_bar()->tabText(i) << '\n';
            out << "dock: " << main_window->message_dock()->windowTitle() << '\n';
            out << "dock area: "
                << (main_window->dockWidgetArea(main_window->message_dock()) == Qt::BottomDockWidgetArea ? "bottom"
                                                                                                         : "other")
                << '\n';
            out << "message tab: " << main_window->message_tabs()->tabText(0) << '\n';
            for (VyrDataWindow *window = first_window(); window; window = window->next_window())
                out << "window: " << QString::fromStdString(window->class_key()) << " \"" << window->caption()
                    << "\"\n";
        }
        QFile rows(report + QLatin1String(".rows"));
        if (rows.open(QIODevice::WriteOnly)) {
            // The message text of each row: the last cell of its exported line.
            main_window->message_window()->display()->update();
            QTextStream out(&rows);
            for (const QString &line :
                 main_window->message_window()->display()->export_text(false).split('\n', Qt::SkipEmptyParts))
                out << line.split('\t').last() << '\n';
        }
        main_window->grab().save(report + QLatin1String(".png"));
        main_window->close();
    });
}
