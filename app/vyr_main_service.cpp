// The main window's Service Control commands on the service object.
#include "app/vyr_main.h"

#include "app/shell/vyr_app_state.h"
#include "lib/qtservice/qtservice.h"
#include "settings/qtb_config.h"

#include <QFileInfo>

void VyrMain::service_install()
{
    QtService *service = QtService::instance();
    const QtbConfig *config = vyr_app_state().configuration;
    if (service && config && !config->file_name().isEmpty())
        service->install(QFileInfo(config->file_name()).absoluteFilePath());
}

void VyrMain::service_remove()
{
    if (QtService *service = QtService::instance())
        service->uninstall();
}

void VyrMain::service_start()
{
    // The service runs no more when this entry shows: it is started, not
    // sent the continue control, which only a running service hears. An
    // uninstalled one would run inside this process: never from here.
    QtService *service = QtService::instance();
    if (service && service->is_installed())
        service->execute(0, nullptr);
}

void VyrMain::service_stop()
{
    if (QtService *service = QtService::instance())
        service->request_pause();
}
