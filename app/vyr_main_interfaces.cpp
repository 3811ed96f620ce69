// The main window's commands on interfaces: the interface list, and the
// settings dialog of a new or an existing interface.
#include "app/vyr_main.h"

#include "core/vyr_signal_if.h"
#include "core/vyr_signal_if_type.h"
#include "interfaces/widgets/vyr_dialog_module_list.h"

namespace {

constexpr int id_interface_base = 1000;
constexpr int id_interface_type_base = 2000;
constexpr int id_range = 990;

} // namespace

void VyrMain::show_module_list()
{
    auto *dialog = new VyrDialogModuleList(this, "module_list", true);
    dialog->set_measurement_running_query([this] { return measurement_running(); });
    connect(dialog, &VyrDialogModuleList::show_config_dialog, this, &VyrMain::show_config_dialog);
    connect(dialog, &VyrDialogModuleList::configuration_changed, this, &VyrMain::configuration_changed);
    dialog->exec();
    delete dialog;
}

void VyrMain::show_config_dialog(int id)
{
    if (id >= id_interface_type_base && id < id_interface_type_base + id_range) {
        VyrSignalIfType *type = get_first_signal_if_type();
        for (int k = id - id_interface_type_base; type && k > 0; --k)
            type = type->next();
        if (type && !type->create()) {
            // A type listed before its interface is built: the command says why it makes nothing.
            const QString name = type->display_name() ? QString::fromUtf8(type->display_name())
                                                      : QString::fromStdString(type->type_name());
            log_message_warning(tr("No new %1 was created: this interface type is not built yet.").arg(name) +
                                QLatin1Char('\n'));
            return;
        }
        // Created through the registry, which announces the new interface to the windows.
        if (std::unique_ptr<VyrSignalIf> created =
                type ? create_signal_if(type->type_name().c_str(), nullptr, this, m_signal_if_notification) : nullptr) {
            VyrSignalIf *signal_if = created.release(); // kept in the global interface list
            signal_if->init_new();
            signal_if->configure(this);
        }
        configuration_changed();
    } else if (id >= id_interface_base && id < id_interface_base + id_range) {
        VyrSignalIf *signal_if = get_first_signal_if();
        for (int k = id - id_interface_base; signal_if && k > 0; --k)
            signal_if = signal_if->next();
        if (signal_if && signal_if->configure(this))
            configuration_changed();
    }
}
