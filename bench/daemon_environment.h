#pragma once
// The virtual bus daemon of a benchmark, started by the CAN types' start-up
// hook as the program does, in runtime and registry directories of this run;
// stopped by their exit hook.
#include "core/vyr_signal_if_type.h"
#include "interfaces/hardware/can_hw_provider_vindra.h"
#include "tests/common/test_paths.h"

#include <QTemporaryDir>

#include <cstdlib>

class DaemonEnvironment
{
public:
    DaemonEnvironment()
    {
        setenv("VRBUS_RUNTIME_DIR", (dir.path() + "/run").toLocal8Bit().constData(), 1);
        setenv("VYR_REGISTRY_DIR", dir.path().toLocal8Bit().constData(), 1);
        for (CANhwProvider *p = CANhwProviderList::global().head(); p; p = p->next())
            if (auto *vindra = dynamic_cast<CANhwProviderVindra *>(p))
                vindra->set_program_directory(vyr_test::bin_dir());
        started = call_start_up_hook(find_signal_if_type("CAN")) == 0;
    }
    ~DaemonEnvironment() { call_exit_hook(find_signal_if_type("CAN")); }
    DaemonEnvironment(const DaemonEnvironment &) = delete;
    DaemonEnvironment &operator=(const DaemonEnvironment &) = delete;

    QTemporaryDir dir;
    bool started = false;
};
