#include "interfaces/hardware/canio_driver.h"

#include "settings/debug_trace.h"
#include "interfaces/hardware/canio_device.h"
#include "platform/registry.h"
#include "platform/service_manager.h"

#include <cerrno>
#include <cstring>
#include <mutex>
#include <sys/stat.h>

using platform::Registry;

namespace {

const char *const driver_list_keys[] = {
    "SOFTWARE\\VECTOR\\VIVOzozav 1.0\\Drivers",
    "SOFTWARE\\VINDRA AB\\VIVOzozav 1.0\\Drivers",
};
constexpr const char *maker_key = "SOFTWARE\\VINDRA AB";
constexpr const char *maker_drivers_key = "SOFTWARE\\VINDRA AB\\VIVOzozav 1.0\\Drivers";
constexpr const char *demo_display_name = "CAN-Demo Driver for Vyr";

// What canio_load_demo_driver made, so that only it is undone.
struct DemoDriver
{
    std::mutex mutex;
    bool loaded = false;
    std::string name;
    // The registry keys it made, in the order made.
    std::vector<std::string> made_keys;
};

DemoDriver &demo_driver()
{
    static DemoDriver state;
    return state;
}

int registry_int(const Registry &registry, const std::string &key, const char *name, int fallback)
{
    uint32_t value;
    return registry.read_int(key, name, &value) ? int(value) : fallback;
}

} // namespace

std::vector<CanioChannelDevice> canio_read_channel_devices()
{
    const Registry registry;
    std::vector<CanioChannelDevice> devices;
    for (const char *list_key : driver_list_keys) {
        for (const std::string &subkey : registry.subkeys(list_key)) {
            const std::string driver = std::string(list_key) + "\\" + subkey;
            if (registry_int(registry, driver, "ignore", 0) != 0)
                continue;
            std::string driver_name;
            if (!registry.read_string(driver, "DriverName", &driver_name))
                driver_name = subkey;
            driver_name = driver_name.substr(0, 99);
            const int max_cards = registry_int(registry, driver, "MaxCards", 1);
            const int channels_per_card = registry_int(registry, driver, "ChannelsPerCard", 5);
            const int timer_eligibility = registry_int(registry, driver, "TimerEligibility", 1);
            for (int card = 0; card < max_cards; ++card)
                for (int channel = 0; channel < channels_per_card; ++channel) {
                    const std::string name = driver_name + std::to_string(card) + char('a' + channel);
                    devices.push_back({name.substr(0, 15), timer_eligibility});
                }
        }
    }
    return devices;
}

namespace {

// Creates the key `child` below the existing key `parent` as a volatile key,
// noting it in `made` unless it was there. -1 for names of more than 300
// characters together, -2 when the parent does not open, -3 when the key
// can't be made.
int create_subkey(const std::string &parent, const std::string &child, std::vector<std::string> *made)
{
    if (parent.size() + child.size() > 300)
        return -1;
    Registry registry;
    // The hive's top keys are there on every machine, even in an empty registry file.
    if (parent != "SOFTWARE" && !registry.key_exists(parent))
        return -2;
    const std::string path = parent + "\\" + child;
    if (registry.key_exists(path))
        return 0;
    if (registry.create_key(path, true) != 0)
        return -3;
    made->push_back(path);
    return 0;
}

// The file's identity: two names of one file are the same daemon.
bool same_file(const std::string &first, const std::string &second)
{
    struct stat a, b;
    if (stat(first.c_str(), &a) != 0 || stat(second.c_str(), &b) != 0)
        return first == second;
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

} // namespace

const std::vector<CanioChannelDevice> &canio_channel_devices()
{
    static const std::vector<CanioChannelDevice> devices = canio_read_channel_devices();
    return devices;
}

int canio_create_demo_registry_entries(const char *name, std::vector<std::string> *made)
{
    Registry registry;
    if (!registry.key_exists(maker_drivers_key)
        && (create_subkey("SOFTWARE", "VINDRA AB", made) < 0 || create_subkey(maker_key, "VIVOzozav 1.0", made) < 0
            || create_subkey(std::string(maker_key) + "\\VIVOzozav 1.0", "Drivers", made) < 0))
        return -1;
    const std::string key = std::string(maker_drivers_key) + "\\" + name;
    if (registry.key_exists(key))
        return 0; // the user's, or another run's: left as it is
    if (create_subkey(maker_drivers_key, name, made) < 0 || registry.write_string(key, "DriverName", name) != 0)
        return -2;
    return 0;
}

void canio_remove_demo_registry_entries(const std::vector<std::string> &made)
{
    Registry registry;
    for (auto key = made.rbegin(); key != made.rend(); ++key)
        registry.delete_key(*key);
}

int canio_load_demo_driver(const char *path, const char *name)
{
    DemoDriver &demo = demo_driver();
    std::lock_guard<std::mutex> lock(demo.mutex);
    if (demo.loaded)
        return 0;
    const int entries = canio_create_demo_registry_entries(name, &demo.made_keys);
    if (entries < 0) {
        debug_trace("canio_load_demo_driver: Error: registry entries not created (%d)", entries);
        canio_remove_demo_registry_entries(demo.made_keys);
        demo.made_keys.clear();
        return entries * 10;
    }
    demo.name = name;
    platform::ServiceManager &manager = platform::ServiceManager::instance();
    platform::ServiceConfig recorded;
    if (!manager.open_service(name, &recorded)) {
        debug_trace("canio_load_demo_driver: OpenService () failed - try to call CreateService ()");
        platform::ServiceConfig config;
        config.name = name;
        config.display_name = demo_display_name;
        config.binary_path = path;
        config.type = platform::ServiceConfig::kernel_driver;
        config.start = platform::ServiceConfig::demand_start;
        config.error_control = 0; // a failure to load at system start is ignored
        const int created = manager.create_service(config);
        debug_trace(created == 0 ? "canio_load_demo_driver: CreateService () successfull"
                                 : "canio_load_demo_driver: CreateService () failed");
        if (!manager.open_service(name)) {
            debug_trace("canio_load_demo_driver: Error: %s", std::strerror(EACCES));
            return -5;
        }
    } else if (!same_file(recorded.binary_path, path)) {
        // The record of another program's run (another build tree's) would
        // start that program's daemon: this one's own goes in its place.
        const int changed = manager.change_binary_path(name, path);
        debug_trace("canio_load_demo_driver: service %s named '%s', now '%s' (%d)", name,
                    recorded.binary_path.c_str(), path, changed);
    }
    const int started = manager.start_service(name);
    if (started != 0 && started != platform::service_error::ALREADY_RUNNING)
        debug_trace("canio_load_demo_driver: StartService () failed (%d)", started);
    demo.loaded = true;
    return 0;
}

int canio_restart_lost_demo_driver()
{
    DemoDriver &demo = demo_driver();
    std::lock_guard<std::mutex> lock(demo.mutex);
    if (!demo.loaded || platform::ServiceManager::is_running(demo.name))
        return 0;
    const int started = platform::ServiceManager::instance().start_service(demo.name);
    debug_trace("canio_restart_lost_demo_driver: the daemon of %s had ended; StartService () -> %d", demo.name.c_str(),
                started);
    return started == platform::service_error::ALREADY_RUNNING ? 0 : started;
}

int canio_unload_demo_driver()
{
    DemoDriver &demo = demo_driver();
    std::lock_guard<std::mutex> lock(demo.mutex);
    if (!demo.loaded)
        return 0;
    canio_remove_demo_registry_entries(demo.made_keys);
    demo.made_keys.clear();
    platform::ServiceManager &manager = platform::ServiceManager::instance();
    if (!manager.open_service(demo.name))
        return -6;
    // Only a daemon this process started is stopped; another process's stays.
    const int stopped = manager.stop_service(demo.name);
    if (stopped != 0) {
        debug_trace("canio_unload_demo_driver: ControlService () failed (%d)", stopped);
        return -3;
    }
    if (manager.delete_service(demo.name) != 0) {
        debug_trace("canio_unload_demo_driver: DeleteService () failed");
        return -4;
    }
    demo.loaded = false;
    demo.name.clear();
    return 0;
}

bool canio_is_can_driver_running(const char *device_name, const char *card_name)
{
    debug_trace("canio_is_can_driver_running (%s)", device_name);
    platform::DeviceFile device;
    const int opened = canio_open_device(device, device_name, false);
    CanioCardInfo card;
    const int info = opened == 0 ? canio_get_card_info(device, &card) : -1;
    debug_trace("canio_is_can_driver_running: get_card_info() -> %d, %d", opened, info);
    if (info != 0)
        return false;
    debug_trace("canio_is_can_driver_running:   driver_name:  %s", card.driver_name().c_str());
    debug_trace("canio_is_can_driver_running:   card_name:    %s", card.card_name().c_str());
    return card.card_name() == card_name;
}
