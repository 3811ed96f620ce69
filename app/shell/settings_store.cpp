#include "app/shell/settings_store.h"

#include <QSettings>

SettingsStore::SettingsStore(const QString &organisation, const QString &application, int instance)
    : m_settings(std::make_unique<QSettings>(QSettings::UserScope, organisation, application))
{
    m_settings->beginGroup(QStringLiteral("V%1").arg(instance));
}

SettingsStore::~SettingsStore()
{
    m_settings->endGroup();
}

void SettingsStore::begin_group(const char *group)
{
    m_settings->beginGroup(QString::fromLatin1(group));
}

void SettingsStore::end_group()
{
    m_settings->endGroup();
}

bool SettingsStore::read_bool(const char *key, bool default_value) const
{
    return m_settings->value(QString::fromLatin1(key), default_value).toBool();
}

int SettingsStore::read_number(const char *key, int default_value) const
{
    bool ok = false;
    const int value = m_settings->value(QString::fromLatin1(key)).toInt(&ok);
    return ok ? value : default_value;
}

QString SettingsStore::read_entry(const char *key, const QString &default_value) const
{
    return m_settings->value(QString::fromLatin1(key), default_value).toString();
}

void SettingsStore::write_bool(const char *key, bool value)
{
    m_settings->setValue(QString::fromLatin1(key), value);
}

void SettingsStore::write_number(const char *key, int value)
{
    m_settings->setValue(QString::fromLatin1(key), value);
}

void SettingsStore::write_entry(const char *key, const QString &value)
{
    m_settings->setValue(QString::fromLatin1(key), value);
}

void SettingsStore::sync()
{
    m_settings->sync();
}

SettingsStore &settings_store()
{
    static SettingsStore store(QStringLiteral("ORVANDEL"), QStringLiteral("Vyr"), 1);
    return store;
}
