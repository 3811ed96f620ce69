#pragma once
// The registry of the machine hive, kept in files of the settings-file
// format (QtbConfig): machine.conf in $VYR_REGISTRY_DIR (by default
// ~/.local/share/vyr/registry/) and volatile.conf in the runtime directory,
// so that a restart drops the volatile keys; the volatile keys lie on top.
// Each key is one section named by its path below the hive with "\"
// separators ("Software\VINDRA AB\VIVOzozav 1.0\Drivers\vrbus"), each value
// one entry: an int for a 32-bit number, a string for text. Key and value
// names compare without regard to case. A key exists when its section or a
// section below it does.
//
// Every call reads the files afresh; writes take a lock file and replace the
// file in one rename, so that several processes can share the registry.
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

class Registry
{
public:
    // The machine hive in its usual files.
    Registry();
    // A hive in the given files.
    Registry(std::string machine_file, std::string volatile_file);

    static std::string default_machine_file();
    static std::string default_volatile_file();

    bool key_exists(const std::string &key) const;
    // The names of the direct subkeys, each once, in file order.
    std::vector<std::string> subkeys(const std::string &key) const;
    // A value that is missing or of the other kind is not read (false).
    bool read_int(const std::string &key, const std::string &name, uint32_t *value) const;
    bool read_string(const std::string &key, const std::string &name, std::string *value) const;

    // Creates a key (a volatile one in the runtime directory); a key that
    // exists already counts as created. 0, or -1 for a name the file format
    // cannot hold or a file that cannot be written.
    int create_key(const std::string &key, bool is_volatile = false);
    // Writes a value of an existing key, into the file that holds the key.
    // 0; -1 when the key is missing or the name cannot be stored; -2 when
    // the file cannot be written.
    int write_int(const std::string &key, const std::string &name, uint32_t value);
    int write_string(const std::string &key, const std::string &name, const std::string &value);
    // 0; -1 when the value is missing; -2 when the file cannot be written.
    int delete_value(const std::string &key, const std::string &name);
    // Deletes a key with its values. 0; -1 when it is missing or has
    // subkeys; -2 when a file cannot be written.
    int delete_key(const std::string &key);

private:
    enum class Kind { integer, text };
    struct Value;
    bool read_value(const std::string &key, const std::string &name, Kind kind, Value *value) const;
    int write_value(const std::string &key, const std::string &name, const Value &value);

    std::string machine_file_;
    std::string volatile_file_;
};

} // namespace platform
