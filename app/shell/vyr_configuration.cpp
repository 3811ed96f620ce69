#include "app/shell/vyr_configuration.h"

#include "app/shell/vyr_app_state.h"
#include "app/shell/vyr_workspaces.h"
#include "settings/debug_trace.h"
#include "settings/qtb_config.h"
#include "core/vyr_message_log.h"
#include "core/vyr_recent_list.h"
#include "core/vyr_signal_if.h"
#include "core/vyr_signal_if_notification.h"
#include "core/vyr_signal_if_type.h"
#include "core/vyr_trigger.h"
#include "core/vyr_trigger_cond.h"

#include <QFileInfo>
#include <QStringList>

#include <cerrno>
#include <memory>

VyrConfiguration::VyrConfiguration(VyrWorkspaces &workspaces, VyrMessageLog &log, QObject *interface_owner,
                                   VyrSignalIfNotification *notification)
    : m_workspaces(workspaces), m_log(log), m_interface_owner(interface_owner), m_notification(notification),
      m_working_directory(QDir::current())
{}

QtbConfig &VyrConfiguration::document()
{
    if (!vyr_app_state().configuration)
        replace_configuration(new QtbConfig());
    return *vyr_app_state().configuration;
}

QString VyrConfiguration::file_name() const
{
    const QtbConfig *config = vyr_app_state().configuration;
    return config ? config->file_name() : QString();
}

void VyrConfiguration::set_file_name(const QString &name)
{
    document().set_file_name(name);
}

void VyrConfiguration::mark_changed()
{
    m_modified = true;
    emit changed();
}

void VyrConfiguration::log_info(const QString &line)
{
    m_log.log_message(VyrMessageLog::info, line.toStdString());
}

void VyrConfiguration::log_warning(const QString &line)
{
    m_log.log_message(VyrMessageLog::warning, line.toStdString());
}

namespace {

// What the load line says after "Loading config file "<name>" ...": the
// sections the file held, or why there are none.
QString what_was_read(QtbConfig &config)
{
    const QFileInfo file(config.file_name());
    if (!file.exists())
        return VyrConfiguration::tr("can not find it - using built-in defaults.");
    if (!file.isFile() || !file.isReadable())
        return VyrConfiguration::tr("can not read it - using built-in defaults.");
    QStringList sections;
    for (const QtbConfigEntry &entry : config.entries())
        if (entry.value.type() == QtbConfigValue::Group)
            sections << QLatin1Char('[') + QString::fromLatin1(entry.name.c_str()) + QLatin1Char(']');
    if (sections.isEmpty())
        return VyrConfiguration::tr(" it holds no sections.");
    return VyrConfiguration::tr(" read %1.").arg(sections.join(QLatin1Char(' ')));
}

} // namespace

void VyrConfiguration::change_working_directory(const QDir &directory)
{
    const QString previous = m_working_directory.absolutePath();
    m_working_directory = directory;
    if (!QDir::setCurrent(directory.absolutePath()))
        debug_trace("VyrConfiguration::change_working_directory: Error: chdir() failed (%d)", errno);
    for (VyrSignalIf *interface = get_first_signal_if(); interface; interface = interface->next())
        interface->rebase_script_file_path(previous, directory.absolutePath());
    emit location_changed();
}

// --- Save ----------------------------------------------------------------------------------

bool VyrConfiguration::save()
{
    QtbConfig &config = document();
    config.clear();
    // A configuration that was never named (started without a file) has no
    // place in the recent list: the list would name the working directory.
    if (!config.file_name().isEmpty())
        config_lru().add(config.file_name().toLocal8Bit().constData());

    QtbConfigGroup *defaults = config.get_or_add_group("defaults");
    if (m_view)
        m_view->write_window_settings(*defaults, config);
    auto triggers = std::make_unique<QtbConfigGroup>();
    if (VyrTriggerList *list = VyrTriggerList::instance())
        list->write_config(triggers.get());
    if (VyrTriggerCondList *list = VyrTriggerCondList::instance())
        list->write_config(triggers.get());
    defaults->append_entry(QtbConfigValue(std::move(triggers)), "triggers");
    m_workspaces.write(*defaults);

    write_all_signal_if_configurations(config);
    if (m_view)
        m_view->write_data_windows(config);
    else
        m_workspaces.write_data_window_records(config);

    if (config.write() < 0)
        return false;
    m_modified = false;
    return true;
}

bool VyrConfiguration::save_loses_read_errors() const
{
    const QtbConfig *config = vyr_app_state().configuration;
    return config && !config->warnings().empty() && QFileInfo::exists(config->file_name());
}

// --- Load ----------------------------------------------------------------------------------

int VyrConfiguration::apply(QtbConfig *config)
{
    if (!config)
        return -1;
    int result = 0;
    log_info(tr("Loading config file") + QStringLiteral(" \"") + config->file_name() + QStringLiteral("\" ...") +
             what_was_read(*config) + QLatin1Char('\n'));
    // Each "file:line: what" the reader skipped, dropped or cut; a file that
    // is no configuration at all would give one for every line.
    constexpr size_t listed_warnings = 20;
    const std::vector<std::string> &warnings = config->warnings();
    for (size_t i = 0; i < warnings.size() && i < listed_warnings; ++i)
        log_warning(QString::fromLocal8Bit(warnings[i].c_str()) + QLatin1Char('\n'));
    if (warnings.size() > listed_warnings)
        log_warning(tr("%1: %2 more lines could not be read.")
                        .arg(config->file_name())
                        .arg(warnings.size() - listed_warnings) +
                    QLatin1Char('\n'));
    if (!config->get_group("defaults")) {
        if (QFileInfo(config->file_name()).isReadable())
            log_warning(tr("%1: no [defaults] section - the main window takes its built-in settings.")
                            .arg(config->file_name()) +
                        QLatin1Char('\n'));
        result = -1;
    }
    QtbConfigGroup *defaults = config->get_or_add_group("defaults");
    change_working_directory(QFileInfo(config->file_name()).absoluteDir());

    if (m_view)
        m_view->read_window_settings(*defaults, *config);
    if (QtbConfigGroup *triggers = defaults->get_group("triggers")) {
        if (VyrTriggerList *list = VyrTriggerList::instance())
            list->read_config(triggers);
        if (VyrTriggerCondList *list = VyrTriggerCondList::instance())
            list->read_config(triggers);
    }
    m_workspaces.read(*defaults);

    // Every group that makes a window or an interface leaves the configuration;
    // the others ("defaults", the message window's, unknown ones) stay until the next save.
    // Without a window, the groups no interface takes are kept as the records of
    // the windows.
    m_workspaces.clear_data_window_records();
    for (QtbConfigGroup *group = config->first_group(); group;) {
        const QString name = QString::fromLatin1(config->current_name());
        QtbConfigValue *value = config->current_value();
        bool made = m_view && m_view->make_data_window(name, group);
        if (!made)
            if (std::unique_ptr<VyrSignalIf> created =
                    create_signal_if(name.toLatin1().constData(), group, m_interface_owner, m_notification)) {
                created.release(); // kept in the global interface list until it is deleted
                made = true;
            }
        const bool kept = !made && !m_view && name != QLatin1String("defaults");
        if (kept)
            m_workspaces.keep_data_window_record(config->current_name(), std::move(*value));
        if (made || kept) {
            config->remove_value(value);
            group = config->current_or_next_group();
        } else {
            group = config->next_group();
        }
    }
    m_modified = false;
    if (m_view)
        m_view->configuration_loaded();
    return result;
}

int VyrConfiguration::load_file(const QString &name)
{
    delete_configured_triggers();
    delete_interfaces();
    config_lru().add(name.toLocal8Bit().constData());
    auto *config = new QtbConfig(name);
    replace_configuration(config);
    config->read();
    return apply(config);
}

void VyrConfiguration::clear_to_new()
{
    set_file_name(m_working_directory.absolutePath() + QStringLiteral("/default.vyr"));
    delete_interfaces();
    delete_configured_triggers();
    m_workspaces.clear_data_window_records();
}

// --- Interfaces and triggers -----------------------------------------------------------------------

void VyrConfiguration::create_default_interfaces()
{
    if (!find_signal_if_type("CAN"))
        return;
    if (std::unique_ptr<VyrSignalIf> created = create_signal_if("CAN", nullptr, m_interface_owner, m_notification)) {
        created->init_new();
        created.release(); // kept in the global interface list until delete_interfaces
    }
}

void VyrConfiguration::delete_interfaces()
{
    while (VyrSignalIf *interface = get_first_signal_if()) {
        if (m_notification)
            emit m_notification->interface_removed(QString::fromStdString(interface->make_id()));
        delete interface;
    }
}

void VyrConfiguration::delete_configured_triggers()
{
    if (VyrTriggerList *triggers = VyrTriggerList::instance())
        triggers->delete_configured();
    if (VyrTriggerCondList *conditions = VyrTriggerCondList::instance())
        conditions->clear();
}
