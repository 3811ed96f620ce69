#pragma once
// The demo's configuration beside a main window, run from the tracked demo
// folder with the trigger lists the program's shell would install.

#include "app/vyr_main.h"
#include "core/vyr_trigger.h"
#include "core/vyr_trigger_cond.h"
#include "settings/qtb_config.h"
#include "test_paths.h"

#include <QDir>
#include <gtest/gtest.h>

class DemoFixture : public ::testing::Test
{
protected:
    DemoFixture()
    {
        window.setAttribute(Qt::WA_DeleteOnClose, false);
        config.read();
    }

    // Installs the lists and enters the demo folder before the window is
    // made, and undoes both after it is gone.
    struct Installed
    {
        Installed(VyrTriggerList *triggers, VyrTriggerCondList *conditions)
        {
            VyrTriggerList::set_instance(triggers);
            add_running_trigger(triggers);
            VyrTriggerCondList::set_instance(conditions);
            EXPECT_TRUE(QDir::setCurrent(vyr_test::source_dir() + "/demo"));
        }
        ~Installed()
        {
            QDir::setCurrent(previous_directory);
            VyrTriggerCondList::set_instance(nullptr);
            VyrTriggerList::set_instance(nullptr);
        }
        const QString previous_directory = QDir::currentPath();
    };

    VyrTriggerList triggers;
    VyrTriggerCondList conditions;
    Installed installed{&triggers, &conditions};
    VyrMain window;
    QtbConfig config{"demo.vyr"};
};
