#pragma once
// The user's preferences outside the configuration file: the per-user
// settings of organisation "ORVANDEL", application "Vyr" (an INI file under
// $XDG_CONFIG_HOME), all below the group "V" + instance number. Only the GUI
// thread uses it; a caller that opens a sub-group closes it again.
#include <QString>

#include <memory>

class QSettings;

class SettingsStore
{
public:
    SettingsStore(const QString &organisation, const QString &application, int instance);
    ~SettingsStore();
    SettingsStore(const SettingsStore &) = delete;
    SettingsStore &operator=(const SettingsStore &) = delete;

    void begin_group(const char *group);
    void end_group();

    // A missing key gives the default.
    bool read_bool(const char *key, bool default_value) const;
    int read_number(const char *key, int default_value) const;
    QString read_entry(const char *key, const QString &default_value = QString()) const;

    void write_bool(const char *key, bool value);
    void write_number(const char *key, int value);
    void write_entry(const char *key, const QString &value);

    // Writes what was changed to the file now.
    void sync();

private:
    std::unique_ptr<QSettings> m_settings;
};

// The program's one store: "ORVANDEL", "Vyr", instance 1; made on first use.
SettingsStore &settings_store();
