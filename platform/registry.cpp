#include "platform/registry.h"

#include "settings/debug_trace.h"
#include "settings/qtb_config.h"
#include "platform/runtime_directory.h"

#include <QFile>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

struct Registry::Value
{
    Kind kind;
    uint32_t number = 0;
    std::string text;
};

namespace {

// The longest section name the settings-file format keeps.
constexpr size_t kMaxKeyLength = 100;

bool same_name(const std::string &a, const std::string &b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

// Whether path lies below key; gives the rest of the path after "key\".
bool below(const std::string &path, const std::string &key, std::string *rest)
{
    if (path.size() <= key.size() + 1 || path[key.size()] != '\\' || !same_name(path.substr(0, key.size()), key))
        return false;
    *rest = path.substr(key.size() + 1);
    return true;
}

bool storable_key(const std::string &key)
{
    return !key.empty() && key.size() <= kMaxKeyLength && key.find_first_of("]\n\r") == std::string::npos;
}

// Value names are entry keys of the format: letters, digits, "_" and ".".
bool storable_name(const std::string &name)
{
    if (name.empty() || name.size() > kMaxKeyLength)
        return false;
    for (unsigned char c : name) {
        if (!std::isalnum(c) && c != '_' && c != '.')
            return false;
    }
    return true;
}

std::unique_ptr<QtbConfig> load(const std::string &file)
{
    auto config = std::make_unique<QtbConfig>(QFile::decodeName(file.c_str()));
    // A missing file is an empty hive; what the reader skipped in a file it
    // read goes to the trace.
    if (config->read() > 0) {
        for (const std::string &warning : config->warnings())
            debug_trace("Registry::load: %s", warning.c_str());
    }
    return config;
}

// The sections of a file in order.
std::vector<std::pair<std::string, QtbConfigGroup *>> sections_of(QtbConfig &config)
{
    std::vector<std::pair<std::string, QtbConfigGroup *>> sections;
    for (QtbConfigValue *value = config.first_value(); value; value = config.next_value()) {
        if (value->type() == QtbConfigValue::Group && config.current_name())
            sections.emplace_back(config.current_name(), value->group());
    }
    return sections;
}

QtbConfigGroup *find_section(QtbConfig &config, const std::string &key)
{
    for (const auto &section : sections_of(config)) {
        if (same_name(section.first, key))
            return section.second;
    }
    return nullptr;
}

QtbConfigValue *find_value(QtbConfigGroup &group, const std::string &name)
{
    for (QtbConfigValue *value = group.first_value(); value; value = group.next_value()) {
        if (group.current_name() && same_name(group.current_name(), name))
            return value;
    }
    return nullptr;
}

bool has_key(QtbConfig &config, const std::string &key)
{
    std::string rest;
    for (const auto &section : sections_of(config)) {
        if (same_name(section.first, key) || below(section.first, key, &rest))
            return true;
    }
    return false;
}

void make_parent_directory(const std::string &file)
{
    const size_t slash = file.rfind('/');
    if (slash == std::string::npos || slash == 0)
        return;
    std::string path;
    for (size_t at = 1; at != std::string::npos && at <= slash; at = file.find('/', at + 1)) {
        path = file.substr(0, at);
        mkdir(path.c_str(), 0700);
    }
}

// Reads a file, lets change() alter it and writes it back in one rename,
// under the file's lock. change() answers 0 to write, anything else to leave
// the file as it is (that result is returned). -2 when it cannot be written.
int update(const std::string &file, const std::function<int(QtbConfig &)> &change)
{
    make_parent_directory(file);
    const std::string lock_path = file + ".lock";
    const int lock = open(lock_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (lock < 0) {
        debug_trace("Registry::update: open of %s failed: %s", lock_path.c_str(), std::strerror(errno));
        return -2;
    }
    // Without the lock another process's change could be lost: no write.
    int locked;
    while ((locked = flock(lock, LOCK_EX)) != 0 && errno == EINTR) {
    }
    if (locked != 0) {
        debug_trace("Registry::update: flock of %s failed: %s", lock_path.c_str(), std::strerror(errno));
        close(lock);
        return -2;
    }
    auto config = load(file);
    int result = change(*config);
    if (result == 0 && config->write() != 0)
        result = -2;
    close(lock); // drops the lock
    return result;
}

std::string home_directory()
{
    if (const char *home = std::getenv("HOME"); home && *home)
        return home;
    const passwd *user = getpwuid(getuid());
    return user && user->pw_dir ? user->pw_dir : "/tmp";
}

} // namespace

Registry::Registry() : Registry(default_machine_file(), default_volatile_file())
{
}

Registry::Registry(std::string machine_file, std::string volatile_file)
    : machine_file_(std::move(machine_file)), volatile_file_(std::move(volatile_file))
{
}

std::string Registry::default_machine_file()
{
    if (const char *dir = std::getenv("VYR_REGISTRY_DIR"); dir && *dir)
        return std::string(dir) + "/machine.conf";
    return home_directory() + "/.local/share/vyr/registry/machine.conf";
}

std::string Registry::default_volatile_file()
{
    const std::string dir = runtime_directory();
    return dir.empty() ? std::string() : dir + "/volatile.conf";
}

bool Registry::key_exists(const std::string &key) const
{
    return has_key(*load(volatile_file_), key) || has_key(*load(machine_file_), key);
}

std::vector<std::string> Registry::subkeys(const std::string &key) const
{
    std::vector<std::string> names;
    for (const std::string &file : {machine_file_, volatile_file_}) {
        auto config = load(file);
        std::string rest;
        for (const auto &section : sections_of(*config)) {
            if (!below(section.first, key, &rest))
                continue;
            const std::string name = rest.substr(0, rest.find('\\'));
            bool known = false;
            for (const std::string &seen : names)
                known = known || same_name(seen, name);
            if (!known && !name.empty())
                names.push_back(name);
        }
    }
    return names;
}

bool Registry::read_int(const std::string &key, const std::string &name, uint32_t *value) const
{
    Value read;
    if (!read_value(key, name, Kind::integer, &read))
        return false;
    *value = read.number;
    return true;
}

bool Registry::read_string(const std::string &key, const std::string &name, std::string *value) const
{
    Value read;
    if (!read_value(key, name, Kind::text, &read))
        return false;
    *value = read.text;
    return true;
}

bool Registry::read_value(const std::string &key, const std::string &name, Kind kind, Value *value) const
{
    // The volatile keys lie on top of the stored ones.
    for (const std::string &file : {volatile_file_, machine_file_}) {
        auto config = load(file);
        QtbConfigGroup *section = find_section(*config, key);
        QtbConfigValue *found = section ? find_value(*section, name) : nullptr;
        if (!found)
            continue;
        if (kind == Kind::integer && found->type() == QtbConfigValue::Int) {
            value->number = uint32_t(found->int_value());
            return true;
        }
        if (kind == Kind::text && found->type() == QtbConfigValue::String) {
            value->text = found->string_value();
            return true;
        }
        return false; // a value of the other kind
    }
    return false;
}

int Registry::create_key(const std::string &key, bool is_volatile)
{
    if (!storable_key(key))
        return -1;
    if (key_exists(key) && (!is_volatile || has_key(*load(volatile_file_), key)))
        return 0;
    const std::string &file = is_volatile ? volatile_file_ : machine_file_;
    if (file.empty())
        return -1;
    const int result = update(file, [&](QtbConfig &config) {
        if (find_section(config, key))
            return 1;
        config.add_group(key.c_str());
        return 0;
    });
    return result == -2 ? -1 : 0;
}

int Registry::write_int(const std::string &key, const std::string &name, uint32_t value)
{
    Value number{Kind::integer, value, std::string()};
    return write_value(key, name, number);
}

int Registry::write_string(const std::string &key, const std::string &name, const std::string &value)
{
    Value text{Kind::text, 0, value};
    return write_value(key, name, text);
}

int Registry::write_value(const std::string &key, const std::string &name, const Value &value)
{
    if (!storable_name(name))
        return -1;
    // Into the file that holds the key's section; a key that exists only
    // through the keys below it is a stored one.
    std::string file;
    if (find_section(*load(volatile_file_), key))
        file = volatile_file_;
    else if (has_key(*load(machine_file_), key))
        file = machine_file_;
    else if (has_key(*load(volatile_file_), key))
        file = volatile_file_;
    else
        return -1;
    return update(file, [&](QtbConfig &config) {
        QtbConfigGroup *section = find_section(config, key);
        if (!section)
            section = config.add_group(key.c_str());
        QtbConfigValue *stored = find_value(*section, name);
        if (!stored)
            stored = section->append_entry(QtbConfigValue(), name.c_str());
        if (value.kind == Kind::integer)
            stored->set_int(int32_t(value.number));
        else
            stored->set_string(value.text);
        return 0;
    });
}

int Registry::delete_value(const std::string &key, const std::string &name)
{
    int result = -1;
    for (const std::string &file : {volatile_file_, machine_file_}) {
        if (file.empty())
            continue;
        const int removed = update(file, [&](QtbConfig &config) {
            QtbConfigGroup *section = find_section(config, key);
            QtbConfigValue *found = section ? find_value(*section, name) : nullptr;
            return found ? section->remove_value(found) : 1;
        });
        if (removed == -2)
            return -2;
        if (removed == 0)
            result = 0;
    }
    return result;
}

int Registry::delete_key(const std::string &key)
{
    if (!key_exists(key) || !subkeys(key).empty())
        return -1;
    for (const std::string &file : {volatile_file_, machine_file_}) {
        if (file.empty())
            continue;
        const int removed = update(file, [&](QtbConfig &config) {
            for (QtbConfigValue *value = config.first_value(); value; value = config.next_value()) {
                if (value->type() == QtbConfigValue::Group && config.current_name()
                    && same_name(config.current_name(), key))
                    return config.remove_value(value);
            }
            return 1;
        });
        if (removed == -2)
            return -2;
    }
    return 0;
}

} // namespace platform
