#include "core/vyr_signal_if_notification.h"

#include "core/vyr_message_log.h"

#include <QThread>
#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <vector>

std::string vformat_limited(int max_length, const char *format, va_list args)
{
    std::vector<char> buffer(size_t(max_length) + 1);
    const int n = vsnprintf(buffer.data(), buffer.size(), format, args);
    if (n < 0)
        return std::string();
    return std::string(buffer.data(), size_t(n < max_length ? n : max_length));
}

namespace {

std::vector<VyrSignalIfNotification *> &hub_list()
{
    static std::vector<VyrSignalIfNotification *> hubs;
    return hubs;
}

} // namespace

VyrSignalIfNotification::VyrSignalIfNotification(VyrMessageLog *main_window, QObject *parent)
    : QObject(parent), m_main_window(main_window)
{
    hub_list().push_back(this);
}

VyrSignalIfNotification::~VyrSignalIfNotification()
{
    std::vector<VyrSignalIfNotification *> &hubs = hub_list();
    hubs.erase(std::remove(hubs.begin(), hubs.end(), this), hubs.end());
}

const std::vector<VyrSignalIfNotification *> &VyrSignalIfNotification::hubs()
{
    return hub_list();
}

void VyrSignalIfNotification::notify_signal_changed(const QString &interface_id, const QString &signal_name)
{
    emit signal_changed(interface_id, signal_name);
}

void VyrSignalIfNotification::notify_signal_reload_start(const QString &interface_id)
{
    emit signal_reload_start(interface_id);
}

void VyrSignalIfNotification::notify_signal_reload_finished(const QString &interface_id)
{
    emit signal_reload_finished(interface_id);
}

void VyrSignalIfNotification::message(const std::string &text)
{
    log(VyrMessageLog::info, text);
}

void VyrSignalIfNotification::warning(const std::string &text)
{
    log(VyrMessageLog::warning, text);
}

void VyrSignalIfNotification::error(const std::string &text)
{
    log(VyrMessageLog::error, text);
}

void VyrSignalIfNotification::message_printf(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    const std::string text = vformat_limited(max_printf_length, format, args);
    va_end(args);
    log(VyrMessageLog::info, text);
}

void VyrSignalIfNotification::log(int level, const std::string &text)
{
    if (!m_main_window)
        return;
    if (QThread::currentThread() == thread() || m_main_window->any_thread()) {
        m_main_window->log_message(level, text);
        return;
    }
    // Lines from one thread keep their order: queued calls to one receiver
    // are delivered in posting order.
    QMetaObject::invokeMethod(
        this, [this, level, text] { m_main_window->log_message(level, text); }, Qt::QueuedConnection);
}
