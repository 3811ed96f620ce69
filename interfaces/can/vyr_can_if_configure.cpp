// The settings dialog of a CAN interface: configure fills it from the
// interface, runs it and on acceptance takes every setting back.
#include "core/vyr_signal_if_notification.h"
#include "interfaces/can/can_settings_dialog.h"
#include "interfaces/can/vyr_can_if.h"
#include "interfaces/hardware/can_hw_provider.h"

namespace {

VyrCanSettingsDialogFactory s_dialog_factory = nullptr;

} // namespace

void set_can_settings_dialog_factory(VyrCanSettingsDialogFactory factory)
{
    s_dialog_factory = factory;
}

std::unique_ptr<VyrCanSettingsDialog> make_can_settings_dialog(QWidget *parent)
{
    return s_dialog_factory ? s_dialog_factory(parent) : nullptr;
}

bool VyrCanIf::configure(QWidget *parent)
{
    // The LIN settings dialog is not built: a LIN interface keeps its settings.
    if (m_lin_mode)
        return false;
    CANhwProviderList::global().enumerate_all_channels();
    std::unique_ptr<VyrCanSettingsDialog> dialog = make_can_settings_dialog(parent);
    if (!dialog)
        return false;
    dialog->set_caption(QStringLiteral("CAN Interface Configuration - %1").arg(QString::fromStdString(name())));
    dialog->set_canfd_mode(m_canfd_mode);
    dialog->set_brs_timing(m_canfd_enabled, m_brs_clock, m_brs_prescaler, m_brs_tseg1, m_brs_tseg2, m_brs_sjw);
    dialog->set_timing(m_bitrate, m_tseg1, m_tseg2, m_sjw, m_samples);
    dialog->set_silent(m_silent_mode);
    dialog->select_channel(m_channel_name, m_channel_user_name);
    dialog->show_script_file(script_file());
    for (const QString &file : m_database_files)
        dialog->add_database_file(file);
    dialog->set_interface(this);
    dialog->set_connect_to(m_connect_to_channel);
    dialog->set_active(active());
    dialog->set_filters(&m_filter_std, &m_filter_ext);
    dialog->set_protocol_plugin(m_protocol_plugin_name);
    if (!dialog->run())
        return false;

    bool changed = false;
    auto take = [&changed](auto &setting, const auto &value) {
        if (setting != value) {
            setting = value;
            changed = true;
        }
    };
    bool is_active = active();
    take(is_active, dialog->active());
    set_active(is_active);
    take(m_bitrate, dialog->bitrate());
    take(m_tseg1, dialog->tseg1());
    take(m_tseg2, dialog->tseg2());
    take(m_sjw, dialog->sjw());
    take(m_samples, dialog->samples());
    take(m_canfd_enabled, dialog->canfd_enabled());
    take(m_canfd_mode, dialog->canfd_mode());
    take(m_brs_clock, dialog->brs_clock());
    take(m_brs_prescaler, dialog->brs_prescaler());
    take(m_brs_tseg1, dialog->brs_tseg1());
    take(m_brs_tseg2, dialog->brs_tseg2());
    take(m_brs_sjw, dialog->brs_sjw());
    take(m_silent_mode, dialog->silent());
    take(m_connect_to_channel, dialog->connect_to());

    QString user_name;
    const QString channel = dialog->channel(user_name);
    if (channel != m_channel_name) {
        set_channel_name(channel);
        changed = true;
    }
    take(m_channel_user_name, user_name);
    const QString plugin = dialog->protocol_plugin();
    if (plugin != m_protocol_plugin_name) {
        set_protocol_plugin_name(plugin);
        changed = true;
    }
    VyrAcceptanceFilter standard = m_filter_std;
    VyrAcceptanceFilter extended = m_filter_ext;
    dialog->get_filters(standard, extended);
    if (standard.differs(m_filter_std) || extended.differs(m_filter_ext))
        changed = true;
    m_filter_std.assign(standard);
    m_filter_ext.assign(extended);

    QStringList databases;
    for (int i = 0; i < dialog->database_file_count(); ++i)
        databases << dialog->database_file(i);
    if (databases != m_database_files) {
        m_database_files = databases;
        load_databases();
        changed = true;
    }
    const QString script = dialog->script_file();
    if (script != script_file()) {
        set_script_file(script);
        if (!script.isEmpty())
            message(QStringLiteral("Reading script file '%1' ...").arg(script).toStdString());
        set_script_ok(0);
        changed = true;
    }
    // Also when the last compile failed and nothing changed: the user may
    // have mended the script in the meantime.
    if (!script_ok())
        after_reload();

    if (changed && notification())
        emit notification()->interface_configuration_changed(QString::fromStdString(make_id()));
    return changed;
}
