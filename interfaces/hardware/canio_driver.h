#pragma once
// The card drivers as a whole: their list in the registry, the channel
// devices it names, and the installation of the virtual driver vrbus as a
// service (its registry entries, start and stop through the service manager).
#include <string>
#include <vector>

// One channel device of the drivers' list.
struct CanioChannelDevice
{
    std::string name; // "<driver><card><letter>", at most 15 characters
    int timer_eligibility = 1;
};

// The channel devices of every driver under the "Drivers" keys of Vector's
// and of the maker's list, in registry order, as the registry holds them now.
std::vector<CanioChannelDevice> canio_read_channel_devices();
// The same list, read from the registry on first use.
const std::vector<CanioChannelDevice> &canio_channel_devices();

// The registry key of the virtual driver in the maker's driver list, made of
// volatile keys (gone with the session) unless it is there: a key the user
// stored stays as it is. A key made here holds only the driver's name, so
// that the daemon serves its own number of channels and the channel list
// finds every one of them. `made` gets the keys made, in the order made.
// 0, or -1 when the list key can't be made, -2 when the driver's key can't.
int canio_create_demo_registry_entries(const char *name, std::vector<std::string> *made);
// Deletes the keys that canio_create_demo_registry_entries made, the last
// made first; a key that others' keys have come below meanwhile stays.
void canio_remove_demo_registry_entries(const std::vector<std::string> &made);
// Records and starts the virtual driver's service from the file at `path`:
// a record that names another file is rewritten to name this one. 0 when
// it runs (also when it ran already); nothing when loaded before.
int canio_load_demo_driver(const char *path, const char *name);
// Starts the virtual driver's daemon again when it ended since
// canio_load_demo_driver started it (it is reaped first); 0 when it runs,
// also when it was not loaded here.
int canio_restart_lost_demo_driver();
// Stops and removes what canio_load_demo_driver made; nothing unless it made it.
int canio_unload_demo_driver();
// True when the device's driver answers with that card name.
bool canio_is_can_driver_running(const char *device, const char *card_name);
