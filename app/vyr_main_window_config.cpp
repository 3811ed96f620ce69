// The main window's side of the configuration file: the questions around
// save, save as, load, new and reopen, the window's own part of the file
// (its geometry and layout, the message window, the data windows), and the
// close check. The file itself is the configuration object's.
#include "app/vyr_main_window_config.h"

#include "app/shell/vyr_app_state.h"
#include "app/shell/vyr_measurement.h"
#include "app/vyr_main.h"
#include "app/vyr_main_widgets.h"
#include "app/vyr_shell_dialogs.h"
#include "settings/qtb_config.h"
#include "core/vyr_question.h"
#include "core/vyr_recent_list.h"
#include "windows/base/vyr_data_window.h"
#include "windows/packet/vyr_rt_log.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QStackedWidget>

namespace {

constexpr const char *extension = "vyr";
const QRect built_in_geometry(50, 50, 750, 550);

QString config_filter()
{
    return VyrMain::tr("Config files (*.%1);;All files (*)").arg(QLatin1String(extension));
}

} // namespace

QRect fit_to_desktop(QRect rect, int desktop_width, int desktop_height)
{
    if (rect.right() > desktop_width)
        rect.moveRight(desktop_width - 20);
    if (rect.bottom() > desktop_height)
        rect.moveBottom(desktop_height - 20);
    if (rect.left() < 0)
        rect.moveLeft(20);
    if (rect.top() < 0)
        rect.moveTop(20);
    return rect;
}

bool VyrMain::may_replace(const QString &question)
{
    if (!m_configuration->modified())
        return true;
    enum { answer_yes, answer_no };
    // "Cancel", the answer when nobody answers, stops it.
    const int answer = vyr_ask_question(this, tr("Warning"), question, {tr("YES"), tr("No"), tr("Cancel")});
    return answer == answer_no || (answer == answer_yes && save_configuration());
}

bool VyrMain::clear_for_replacement()
{
    m_measurement->stop();
    if (!close_all_windows())
        return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 100);
    return true;
}

void VyrMain::show_configuration_state()
{
    m_label_working_directory->setText(QDir::toNativeSeparators(working_directory().absolutePath()));
    m_label_config_file->setText(get_configuration_filename());
    show_state();
}

void VyrMain::configuration_changed()
{
    m_configuration->mark_changed();
}

void VyrMain::change_working_directory(const QDir &directory)
{
    m_configuration->change_working_directory(directory);
}

// --- Save ----------------------------------------------------------------------------------

bool VyrMain::save_configuration()
{
    if (m_configuration->save_loses_read_errors() &&
        vyr_ask_question(this, tr("Warning"),
                         tr("The configuration file '%1' had errors when it was loaded; what could not be read "
                            "(see the message window) is lost when it is saved.\nDo you want to replace it ?")
                             .arg(get_configuration_filename()),
                         {tr("Replace"), tr("Cancel")}) != 0)
        return false;
    if (m_configuration->save())
        return true;
    vyr_ask_question(this, tr("Warning"),
                     tr("I couldn't write the configuration file '%1'. Is it write protected ?\n"
                        "Use \"Save As...\" on the File menu to save it somewhere else.")
                         .arg(get_configuration_filename()),
                     {tr("OK")});
    return false;
}

void VyrMain::write_window_settings(QtbConfigGroup &defaults, QtbConfig &config)
{
    refresh_normal_geometry();
    defaults.write_rect("geometry", m_normal_geometry);
    defaults.write_bool("is_maximized", m_is_maximized);
    defaults.write_bool("is_minimized", m_is_minimized);
    if (m_current_workspace) {
        defaults.write_int("workspace_width", m_current_workspace->width());
        defaults.write_int("workspace_height", m_current_workspace->height());
    }
    const QString layout = QString::fromLatin1(saveState().toBase64());
    defaults.write_string("main_window_settings", layout);
    defaults.write_string_utf8("main_window_settings_utf8", layout);
    m_message_window->write_configuration(&config);
}

void VyrMain::write_data_windows(QtbConfig &config)
{
    for (VyrDataWindow *window : m_workspace_stack->findChildren<VyrDataWindow *>())
        window->write_configuration(&config);
    for (VyrDataWindow *window = first_window(); window; window = window->next_window())
        if (window->detached())
            window->write_configuration(&config);
}

bool VyrMain::save_configuration_as()
{
    VyrFileRequest request;
    request.save = true;
    request.caption = tr("Save Config File As");
    request.start_name = get_configuration_filename();
    request.filter = config_filter();
    request.object_name = tr("SaveFileAs");
    QString name = vyr_ask_file_name(this, request);
    if (name.isNull())
        return false;
    if (!name.toLower().endsWith(QLatin1Char('.') + QLatin1String(extension)))
        name += QLatin1Char('.') + QLatin1String(extension);
    if (QFile(name).open(QIODevice::ReadOnly) &&
        vyr_ask_question(this, tr("Warning"), tr("File '%1' already exists.\nDo you want to overwrite it ?").arg(name),
                         {tr("OK"), tr("Cancel")}) != 0)
        return false;
    m_configuration->set_file_name(name);
    change_working_directory(QFileInfo(name).absoluteDir());
    const bool saved = save_configuration();
    if (saved)
        config_lru().add(name.toLocal8Bit().constData());
    show_configuration_state();
    return saved;
}

bool VyrMain::query_save_configuration()
{
    return may_replace(tr("Configuration has changed!\nDo you want to save ?"));
}

// --- Load ----------------------------------------------------------------------------------

int VyrMain::load_configuration(QtbConfig *config)
{
    return m_configuration->apply(config);
}

void VyrMain::read_window_settings(QtbConfigGroup &defaults, QtbConfig &config)
{
    showNormal();
    const QSize desktop = QGuiApplication::primaryScreen()->geometry().size();
    const QRect geometry =
        fit_to_desktop(defaults.read_rect("geometry", built_in_geometry), desktop.width(), desktop.height());
    m_wanted_workspace_width = defaults.read_int("workspace_width", 0);
    m_wanted_workspace_height = defaults.read_int("workspace_height", 0);
    // Files of older versions carry the flag under a misspelt key.
    const bool maximized = defaults.read_int("is_maximized", defaults.read_int("is_maximixed", 0)) != 0;
    setGeometry(geometry);
    if (maximized)
        showMaximized();
    build_toolbar();

    const QString layout = defaults.read_string("main_window_settings", QString());
    if (!layout.isNull())
        restoreState(QByteArray::fromBase64(layout.toLatin1()));
    m_message_window->read_configuration(&config);
}

bool VyrMain::make_data_window(const QString &class_key, QtbConfigGroup *group)
{
    return create_data_window(class_key, group) != nullptr;
}

void VyrMain::configuration_loaded()
{
    workspace_selected(m_workspace_tab_bar->currentIndex());
    show_configuration_state();
    if (m_workspace_size_timer)
        killTimer(m_workspace_size_timer);
    m_workspace_size_timer = 0;
    if (!m_is_maximized && !m_is_minimized)
        m_workspace_size_timer = startTimer(100);
}

void VyrMain::load_configuration()
{
    load_configuration(static_cast<const char *>(nullptr));
}

void VyrMain::load_configuration(const char *file)
{
    if (!may_replace(tr("Configuration has changed!\nDo you want to save before loading new configuration ?")))
        return;
    QString name = file ? QString::fromLocal8Bit(file) : QString();
    if (name.isNull()) {
        VyrFileRequest request;
        request.caption = tr("Select Configuration File");
        request.start_name = get_configuration_filename();
        request.filter = config_filter();
        request.object_name = QStringLiteral("vyr_main_open_file");
        name = vyr_ask_file_name(this, request);
        if (name.isNull())
            return;
    }
    if (!QFile(name).open(QIODevice::ReadOnly)) {
        const QString text = tr("Unable to open file '%1' for reading !").arg(name);
        if (under_remote_control())
            log_message_error(text + QLatin1Char('\n'));
        else
            vyr_ask_question(this, tr("Error"), text, {tr("OK")});
        return;
    }
    if (clear_for_replacement())
        m_configuration->load_file(name);
}

void VyrMain::reopen_config(int index)
{
    load_configuration(config_lru().at(index));
}

void VyrMain::new_configuration()
{
    if (!may_replace(tr("Configuration has changed!\nDo you want to save before creating an empty configuration ?")) ||
        !clear_for_replacement())
        return;
    m_configuration->clear_to_new();
    open_default_windows();
    m_configuration->set_modified(false);
    show_configuration_state();
}

// --- Close check ---------------------------------------------------------------------------

void VyrMain::close_without_questions()
{
    m_closing_without_questions = true;
    close();
}

void VyrMain::closeEvent(QCloseEvent *event)
{
    m_measurement->stop();
    if (m_closing_without_questions) {
        QMainWindow::closeEvent(event);
        return;
    }
    for (VyrDataWindow *window = first_window(); window; window = window->next_window())
        if (!window->query_close()) {
            event->ignore();
            return;
        }
    if (under_remote_control()) {
        log_message_error(tr("Application is under remote control - close not possible") + QLatin1Char('\n'));
        event->ignore();
        return;
    }
    if (!query_save_configuration()) {
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}
