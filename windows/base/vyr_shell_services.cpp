#include "windows/base/vyr_shell_services.h"

namespace {
VyrShellServices *installed_services = nullptr;
}

VyrShellServices *shell_services()
{
    return installed_services;
}

void set_shell_services(VyrShellServices *services)
{
    installed_services = services;
}
