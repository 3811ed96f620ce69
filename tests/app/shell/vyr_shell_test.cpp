// The shell objects on their own, in a program that links Qt Core and no GUI
// library (CTest checks that too): a configuration saved and loaded with no
// window, and a delayed start counted down on a stepped clock.
#include "app/shell/vyr_app_state.h"
#include "app/shell/vyr_configuration.h"
#include "app/shell/vyr_measurement.h"
#include "app/shell/vyr_workspaces.h"
#include "settings/qtb_config.h"
#include "core/vyr_message_log.h"
#include "core/vyr_signal_if.h"
#include "core/vyr_signal_if_type.h"
#include "core/vyr_trigger.h"
#include "core/vyr_trigger_cond.h"
#include "tests/app/stepped_clock.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

class LineLog : public VyrMessageLog
{
public:
    void log_message(int, const std::string &text) override { lines.push_back(text); }
    std::vector<std::string> lines;
};

// An interface whose passes all succeed; "rank" of its group is its start rank.
class QuietInterface : public VyrSignalIf
{
public:
    QuietInterface(QtbConfigGroup *group, QObject *owner, VyrSignalIfNotification *notification)
        : VyrSignalIf("QUIET", owner, notification)
    {
        set_active(true);
        if (group)
            read_config_common(group);
    }
    int basic_definitions() override { return 0; }
    int script_struct_type(const char *, void *) override { return -1; }
    int prepare_start() override { return 0; }
    int startup() override { return 0; }
    int start() override { return 0; }
    int stop() override { return 0; }
    int check_script_file_modified(QWidget *) override { return 0; }
    void write_configuration(QtbConfig &config) override { write_config_common(config); }
    bool configure(QWidget *) override { return false; }
};

std::unique_ptr<VyrSignalIf> create_quiet(QtbConfigGroup *group, QObject *owner, VyrSignalIfNotification *notification)
{
    return std::make_unique<QuietInterface>(group, owner, notification);
}

VyrSignalIfType quiet_type("QUIET", "Quiet", "an interface whose passes succeed", create_quiet);

int interface_count()
{
    int count = 0;
    for (VyrSignalIf *interface = get_first_signal_if(); interface; interface = interface->next())
        ++count;
    return count;
}

QByteArray read(const QString &file_name)
{
    QFile file(file_name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class Shell : public ::testing::Test
{
protected:
    Shell()
    {
        VyrTriggerList::set_instance(&triggers);
        add_running_trigger(&triggers);
        VyrTriggerCondList::set_instance(&conditions);
    }
    ~Shell() override
    {
        while (VyrSignalIf *interface = get_first_signal_if())
            delete interface;
        replace_configuration(nullptr);
        VyrTriggerCondList::set_instance(nullptr);
        VyrTriggerList::set_instance(nullptr);
        QDir::setCurrent(previous_directory);
    }

    QTemporaryDir dir;
    const QString previous_directory = QDir::currentPath();
    VyrTriggerList triggers;
    VyrTriggerCondList conditions;
    LineLog log;
};

TEST_F(Shell, AConfigurationSavedAndLoadedWithoutAWindowKeepsEverythingItHolds)
{
    const QString file = dir.filePath("headless.vyr");
    {
        VyrWorkspaces workspaces;
        VyrConfiguration configuration(workspaces, log, nullptr, nullptr);
        workspaces.rename(0, "Bench");
        workspaces.add("Car", 3);
        new VyrTrigger(&triggers, "Brake");
        ASSERT_NE(create_signal_if("QUIET", nullptr, nullptr, nullptr).release(), nullptr);
        configuration.set_file_name(file);
        configuration.mark_changed();
        ASSERT_TRUE(configuration.save());
        EXPECT_FALSE(configuration.modified());
        configuration.delete_interfaces();
        configuration.delete_configured_triggers();
    }
    ASSERT_EQ(interface_count(), 0);
    ASSERT_EQ(triggers.find("Brake"), nullptr);
    // What a window adds: the message window's group and a data window's.
    QFile append(file);
    ASSERT_TRUE(append.open(QIODevice::Append));
    append.write("[rt_log]\ncolumns=1\n\n[Trace]\nworkspace_id=3\nindex=1\n\n");
    append.close();
    const QByteArray written = read(file);

    VyrWorkspaces workspaces;
    VyrConfiguration configuration(workspaces, log, nullptr, nullptr);
    EXPECT_EQ(configuration.load_file(file), 0);
    EXPECT_EQ(log.lines.back(),
              "Loading config file \"" + file.toStdString() + "\" ... read [defaults] [QUIET] [rt_log] [Trace].\n");
    ASSERT_EQ(workspaces.count(), 2);
    EXPECT_EQ(workspaces.at(0).name, "Bench");
    EXPECT_EQ(workspaces.at(1).name, "Car");
    EXPECT_EQ(workspaces.current_id(), 3);
    EXPECT_NE(triggers.find("Brake"), nullptr);
    EXPECT_EQ(interface_count(), 1);
    EXPECT_EQ(workspaces.data_window_record_count(), 2);
    EXPECT_FALSE(configuration.modified());
    EXPECT_EQ(configuration.working_directory().absolutePath(), QDir(dir.path()).absolutePath());

    // The windows' records go back into the file unchanged.
    ASSERT_TRUE(configuration.save());
    EXPECT_EQ(read(file).toStdString(), written.toStdString());
}

TEST_F(Shell, ADelayedStartCountsDownOnItsClockAndStartsFromTheEventLoop)
{
    ASSERT_NE(create_signal_if("QUIET", nullptr, nullptr, nullptr).release(), nullptr);
    VyrMeasurement measurement(log);
    auto *clock = new vyr_test::SteppedClock();
    measurement.set_clock(std::unique_ptr<VyrCountdownClock>(clock));
    std::vector<bool> running_changes;
    QObject::connect(&measurement, &VyrMeasurement::running_changed,
                     [&running_changes](bool running) { running_changes.push_back(running); });

    measurement.set_start_delay(7);
    measurement.delayed_start();
    EXPECT_EQ(log.lines.back(), "Starting measurement in 7 seconds ....\n");
    EXPECT_EQ(clock->period_ms(), 5000);
    clock->advance(4999);
    EXPECT_EQ(log.lines.back(), "Starting measurement in 7 seconds ....\n");
    clock->advance(1);
    EXPECT_EQ(log.lines.back(), "Remaining time until start of measurement: 2 seconds ....\n");
    clock->advance(5000);
    EXPECT_EQ(clock->period_ms(), 0);
    EXPECT_FALSE(measurement.running()); // not inside the tick
    QCoreApplication::sendPostedEvents();
    EXPECT_TRUE(measurement.running());
    EXPECT_EQ(measurement.start_delay(), 0);

    measurement.stop();
    EXPECT_EQ(running_changes, std::vector<bool>({true, false}));
    // A finished countdown leaves no delay: the next start request starts at once.
    measurement.delayed_start();
    EXPECT_TRUE(measurement.running());
    measurement.stop();
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
