// The configuration file of the main window: save, save as, load, new,
// reopen, the save question and the close check.
#include "app/vyr_main_window_config.h"

#include "app/vyr_app_state.h"
#include "app/vyr_main.h"
#include "app/vyr_main_widgets.h"
#include "app/vyr_shell_dialogs.h"
#include "settings/debug_trace.h"
#include "settings/qtb_config.h"
#include "core/vyr_question.h"
#include "core/vyr_recent_list.h"
#include "core/vyr_signal_if.h"
#include "core/vyr_signal_if_notification.h"
#include "core/vyr_signal_if_type.h"
#include "core/vyr_trigger.h"
#include "core/vyr_trigger_cond.h"
#include "windows/base/vyr_data_window.h"
#include "windows/packet/vyr_rt_log.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QStackedWidget>

#include <cerrno>
#include <memory>

namespace {

constexpr const char *extension = "vyr";
const QRect built_in_geometry(50, 50, 750, 550);

QString config_filter()
{
    return VyrMain::tr("Config files (*.%1);;All files (*)").arg(QLatin1String(extension));
}

// The save question before the configuration is replaced or the program
// ends: true when the caller may go on (nothing changed, "No", or saved).
// "Cancel", the answer when nobody answers, stops it.
bool may_replace(VyrMain &main, const QString &question)
{
    if (!main.configuration_modified)
        return true;
    enum { answer_yes, answer_no };
    const int answer = vyr_ask_question(&main, VyrMain::tr("Warning"), question,
                                        {VyrMain::tr("YES"), VyrMain::tr("No"), VyrMain::tr("Cancel")});
    return answer == answer_no || (answer == answer_yes && main.save_configuration());
}

// Stops a measurement (the interfaces go next; their threads must have
// ended) and closes every window; false when a window refuses.
bool clear_for_replacement(VyrMain &main)
{
    if (main.measurement_running)
        main.stop();
    if (!main.close_all_windows())
        return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 100);
    return true;
}

// Calls the main window's slot without arguments when it has one: the
// menus and the tool bar (build_toolbar, show_state) follow the configuration.
void call_if_present(VyrMain &main, const char *slot)
{
    if (main.metaObject()->indexOfSlot((QByteArray(slot) + "()").constData()) >= 0)
        QMetaObject::invokeMethod(&main, slot);
}

// The status-bar fields, and the menus and tool bar where the window has them.
void show_configuration_state(VyrMain &main)
{
    main.label_working_directory->setText(QDir::toNativeSeparators(main.working_directory.absolutePath()));
    main.label_config_file->setText(main.get_configuration_filename());
    call_if_present(main, "show_state");
}

QtbConfig &configuration()
{
    if (!vyr_app_state().configuration)
        replace_configuration(new QtbConfig());
    return *vyr_app_state().configuration;
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

void VyrMain::configuration_changed()
{
    configuration_modified = true;
    call_if_present(*this, "show_state");
}

// --- Save ----------------------------------------------------------------------------------

bool VyrMain::save_configuration()
{
    QtbConfig &config = configuration();
    config.clear();
    // A configuration that was never named (started without a file) has no
    // place in the recent list: the list would name the working directory.
    if (!config.file_name().isEmpty())
        config_lru().add(config.file_name().toLocal8Bit().constData());

    QtbConfigGroup *defaults = config.get_or_add_group("defaults");
    refresh_normal_geometry();
    defaults->write_rect("geometry", normal_geometry);
    defaults->write_bool("is_maximized", is_maximized);
    defaults->write_bool("is_minimized", is_minimized);
    if (current_workspace) {
        defaults->write_int("workspace_width", current_workspace->width());
        defaults->write_int("workspace_height", current_workspace->height());
    }
    const QString layout = QString::fromLatin1(saveState().toBase64());
    defaults->write_string("main_window_settings", layout);
    defaults->write_string_utf8("main_window_settings_utf8", layout);

    auto triggers = std::make_unique<QtbConfigGroup>();
    if (VyrTriggerList *list = VyrTriggerList::instance())
        list->write_config(triggers.get());
    if (VyrTriggerCondList *list = VyrTriggerCondList::instance())
        list->write_config(triggers.get());
    defaults->append_entry(QtbConfigValue(std::move(triggers)), "triggers");

    message_window->write_configuration(&config);

    auto workspaces = std::make_unique<QtbConfigGroup>();
    for (int i = 0; i < workspace_tab_bar->count(); ++i) {
        QtbConfigGroup *workspace = workspaces->add_group("");
        // The 8-bit name loses what Latin-1 cannot hold; its twin keeps it.
        workspace->write_string("name", workspace_tab_bar->tabText(i));
        workspace->write_string_utf8("name_utf8", workspace_tab_bar->tabText(i));
        workspace->write_int("id", workspace_tab_bar->workspace_id(i));
    }
    defaults->append_entry(QtbConfigValue(std::move(workspaces)), "workspaces");
    defaults->write_int("active_workspace", current_workspace_id);

    write_all_signal_if_configurations(config);
    for (VyrDataWindow *window : workspace_stack->findChildren<VyrDataWindow *>())
        window->write_configuration(&config);
    for (VyrDataWindow *window = first_window(); window; window = window->next_window())
        if (window->detached())
            window->write_configuration(&config);

    if (config.write() >= 0) {
        configuration_modified = false;
        return true;
    }
    vyr_ask_question(this, tr("Warning"),
                     tr("I couldn't write the configuration file '%1'. Is it write protected ?\n"
                        "Use \"Save As...\" on the File menu to save it somewhere else.")
                         .arg(config.file_name()),
                     {tr("OK")});
    return false;
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
    configuration().set_file_name(name);
    change_working_directory(QFileInfo(name).absoluteDir());
    const bool saved = save_configuration();
    if (saved)
        config_lru().add(name.toLocal8Bit().constData());
    show_configuration_state(*this);
    return saved;
}

bool VyrMain::query_save_configuration()
{
    return may_replace(*this, tr("Configuration has changed!\nDo you want to save ?"));
}

// --- Load ----------------------------------------------------------------------------------

int VyrMain::load_configuration(QtbConfig *config)
{
    if (!config)
        return -1;
    showNormal();

    int result = 0;
    QString line = tr("Loading config file") + QStringLiteral(" \"") + config->file_name() + QStringLiteral("\" ...");
    if (!config->get_group("defaults")) {
        line += tr("can not find it - using built-in defaults.");
        result = -1;
    }
    log_message_info(line + QLatin1Char('\n'));
    QtbConfigGroup *defaults = config->get_or_add_group("defaults");
    change_working_directory(QFileInfo(config->file_name()).absoluteDir());

    const QSize desktop = QGuiApplication::primaryScreen()->geometry().size();
    const QRect geometry =
        fit_to_desktop(defaults->read_rect("geometry", built_in_geometry), desktop.width(), desktop.height());
    wanted_workspace_width = defaults->read_int("workspace_width", 0);
    wanted_workspace_height = defaults->read_int("workspace_height", 0);
    // Files of older versions carry the flag under a misspelt key.
    const bool maximized = defaults->read_int("is_maximized", defaults->read_int("is_maximixed", 0)) != 0;
    setGeometry(geometry);
    if (maximized)
        showMaximized();
    call_if_present(*this, "build_toolbar");

    const QString layout = defaults->read_string("main_window_settings", QString());
    if (!layout.isNull())
        restoreState(QByteArray::fromBase64(layout.toLatin1()));

    if (QtbConfigGroup *triggers = defaults->get_group("triggers")) {
        if (VyrTriggerList *list = VyrTriggerList::instance())
            list->read_config(triggers);
        if (VyrTriggerCondList *list = VyrTriggerCondList::instance())
            list->read_config(triggers);
    }
    message_window->read_configuration(config);

    if (QtbConfigGroup *workspaces = defaults->get_group("workspaces"))
        for (QtbConfigGroup *workspace = workspaces->first_group(); workspace; workspace = workspaces->next_group()) {
            const QString name = workspace->read_string_utf8("name_utf8", workspace->read_string("name", QString()));
            const int id = workspace->read_int("id", 0);
            if (id == 0)
                workspace_tab_bar->setTabText(find_workspace_tab(0), name);
            else
                create_new_workspace(name, id);
        }
    int active = find_workspace_tab(defaults->read_int("active_workspace", 0));
    if (active < 0)
        active = find_workspace_tab(0);
    workspace_tab_bar->setCurrentIndex(active);
    workspace_selected(active);

    // Every group that makes a window or an interface leaves the configuration;
    // the others ("defaults", the message window's, unknown ones) stay until the next save.
    for (QtbConfigGroup *group = config->first_group(); group;) {
        const QString name = QString::fromLatin1(config->current_name());
        QtbConfigValue *value = config->current_value();
        bool made = create_data_window(name, group) != nullptr;
        if (!made)
            if (std::unique_ptr<VyrSignalIf> created =
                    create_signal_if(name.toLatin1().constData(), group, this, signal_if_notification)) {
                created.release(); // kept in the global interface list until it is deleted
                made = true;
            }
        if (made) {
            config->remove_value(value);
            group = config->current_or_next_group();
        } else {
            group = config->next_group();
        }
    }
    workspace_selected(workspace_tab_bar->currentIndex());

    show_configuration_state(*this);
    configuration_modified = false;
    if (workspace_size_timer)
        killTimer(workspace_size_timer);
    workspace_size_timer = 0;
    if (!is_maximized && !is_minimized)
        workspace_size_timer = startTimer(100);
    return result;
}

void VyrMain::load_configuration()
{
    load_configuration(static_cast<const char *>(nullptr));
}

void VyrMain::load_configuration(const char *file)
{
    if (!may_replace(*this, tr("Configuration has changed!\nDo you want to save before loading new configuration ?")))
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
        vyr_ask_question(this, tr("Error"), tr("Unable to open file '%1' for reading !").arg(name), {tr("OK")});
        return;
    }
    if (!clear_for_replacement(*this))
        return;
    delete_configured_triggers();
    delete_interfaces();

    config_lru().add(name.toLocal8Bit().constData());
    auto *config = new QtbConfig(name);
    replace_configuration(config);
    config->read();
    load_configuration(config);
}

void VyrMain::reopen_config(int index)
{
    load_configuration(config_lru().at(index));
}

void VyrMain::new_configuration()
{
    if (!may_replace(*this,
                     tr("Configuration has changed!\nDo you want to save before creating an empty configuration ?")) ||
        !clear_for_replacement(*this))
        return;
    configuration().set_file_name(working_directory.absolutePath() + QStringLiteral("/default.") +
                                  QLatin1String(extension));
    while (VyrSignalIf *interface = get_first_signal_if())
        delete interface;
    delete_configured_triggers();
    open_default_windows();
    configuration_modified = false;
    show_configuration_state(*this);
}

void VyrMain::delete_configured_triggers()
{
    if (VyrTriggerList *triggers = VyrTriggerList::instance())
        triggers->delete_configured();
    if (VyrTriggerCondList *conditions = VyrTriggerCondList::instance())
        conditions->clear();
}

// --- Close check and working directory -----------------------------------------------------------

void VyrMain::close_without_questions()
{
    m_closing_without_questions = true;
    close();
}

void VyrMain::closeEvent(QCloseEvent *event)
{
    if (measurement_running)
        stop();
    if (m_closing_without_questions) {
        QMainWindow::closeEvent(event);
        return;
    }
    for (VyrDataWindow *window = first_window(); window; window = window->next_window())
        if (!window->query_close()) {
            event->ignore();
            return;
        }
    if (!query_save_configuration()) {
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}

void VyrMain::change_working_directory(const QDir &directory)
{
    const QString previous = working_directory.absolutePath();
    working_directory = directory;
    if (!QDir::setCurrent(directory.absolutePath()))
        debug_trace("VyrMain::change_working_directory: Error: chdir() failed (%d)", errno);
    for (VyrSignalIf *interface = get_first_signal_if(); interface; interface = interface->next())
        interface->rebase_script_file_path(previous, directory.absolutePath());
    show_configuration_state(*this);
}
