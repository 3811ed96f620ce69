#include "app/vyr_sys_if.h"

#include "app/vyr_main.h"
#include "app/vyr_main_widgets.h"
#include "core/signal_record.h"
#include "core/vyr_signal_entry.h"
#include "core/vyr_signal_if.h"
#include "core/vyr_signal_list.h"
#include "script/vyr_script_runtime.h"
#include "windows/packet/vyr_rt_log.h"

#include <QCoreApplication>
#include <QMenuBar>
#include <QThread>

#include <atomic>

namespace {

VyrSysIf *g_sys_if = nullptr;
std::atomic<int> g_next_log_serial{1};

int64_t milliseconds(const SignalValue &value)
{
    return int64_t(value.seconds) * 1000 + value.microseconds / 1000;
}

double as_double(const SignalValue &value)
{
    return value.type == SignalValue::Double ? value.double_value : double(value.int_value);
}

// The interface and the signal of a body, or the code that says which is missing.
int find_signal(const QString &interface_name, const QString &signal_name, VyrSignalIf *&interface,
                SignalRecord *&signal)
{
    interface = find_signal_if_by_name(interface_name.toLocal8Bit().constData());
    if (!interface)
        return VyrSysIf::interface_not_found;
    VyrSignalList *list = interface->signal_list();
    if (!list)
        return VyrSysIf::no_signal_list;
    signal = list->find(signal_name.toLocal8Bit().constData());
    return signal ? VyrSysIf::success : VyrSysIf::signal_not_found;
}

} // namespace

VyrSysIf::VyrSysIf(VyrMain *main_window) : m_main_window(main_window) {}

VyrSysIf::~VyrSysIf()
{
    m_main_window = nullptr;
}

VyrSysIf *VyrSysIf::instance()
{
    return g_sys_if;
}

void VyrSysIf::set_instance(VyrSysIf *sys_if)
{
    g_sys_if = sys_if;
}

QMenuBar *VyrSysIf::menu_bar() const
{
    return m_main_window ? m_main_window->menuBar() : nullptr;
}

QWidget *VyrSysIf::active_workspace_widget() const
{
    return m_main_window ? m_main_window->current_workspace() : nullptr;
}

int VyrSysIf::active_workspace_id() const
{
    return m_main_window ? m_main_window->current_workspace_id() : 0;
}

void VyrSysIf::run_on_gui_thread(const std::function<void()> &work)
{
    if (QThread::currentThread() == thread()) {
        work();
        return;
    }
    QMetaObject::invokeMethod(this, work, Qt::BlockingQueuedConnection);
}

void VyrSysIf::open_log_window(VyrSysLog *log)
{
    run_on_gui_thread([this, log] {
        if (m_main_window)
            m_main_window->create_log_window(log);
    });
}

void VyrSysIf::close_log_window(VyrSysLog *log)
{
    run_on_gui_thread([this, log] {
        if (m_main_window)
            m_main_window->close_log_window(log);
    });
}

void VyrSysIf::log_info(const QString &line) const
{
    m_main_window->log_message_info(line);
}

int VyrSysIf::startMeasurement()
{
    if (!m_main_window)
        return success;
    log_info(QStringLiteral("ActiveX::startMeasurement ()\n"));
    m_main_window->start();
    return success;
}

int VyrSysIf::stopMeasurement()
{
    if (!m_main_window)
        return success;
    log_info(QStringLiteral("ActiveX::stopMeasurement ()\n"));
    m_main_window->stop();
    return success;
}

int VyrSysIf::loadConfiguration(const QString &file)
{
    if (!m_main_window)
        return success;
    log_info(QStringLiteral("ActiveX::loadConfiguration (") + file + QStringLiteral(")\n"));
    m_main_window->load_configuration(file.toLocal8Bit().constData());
    return success;
}

int VyrSysIf::getConfiguration(QString &file)
{
    if (!m_main_window)
        return success;
    file = m_main_window->get_configuration_filename();
    log_info(QStringLiteral("ActiveX::getConfiguration () -> ") + file + QStringLiteral("\n"));
    return success;
}

int VyrSysIf::unlockServer()
{
    if (!m_main_window)
        return success;
    if (m_server_unlock) {
        log_info(QStringLiteral("ActiveX::unlockServer ()\n"));
        m_server_unlock();
    } else {
        log_info(QStringLiteral("ActiveX::unlockServer () -  NOT possible in current mode!!!\n"));
    }
    return success;
}

int VyrSysIf::callAction(const QString &interface_name, const QString &action_name)
{
    VyrSignalIf *interface = find_signal_if_by_name(interface_name.toLocal8Bit().constData());
    if (!interface)
        return interface_not_found;
    auto *runtime = dynamic_cast<VyrScriptRuntime *>(interface->script_hosting());
    ScriptTrigger *action = runtime
        ? runtime->find_script_trigger_by_name(ScriptTrigger::action, action_name.toLocal8Bit().constData())
        : nullptr;
    if (!action)
        return action_not_found;
    interface->post_output(action);
    return success;
}

int VyrSysIf::set_signal_value(const QString &interface_name, const QString &signal_name, const SignalValue &value)
{
    VyrSignalIf *interface = nullptr;
    SignalRecord *signal = nullptr;
    const int code = find_signal(interface_name, signal_name, interface, signal);
    if (code != success)
        return code;
    VyrSignalEntry *entry = signal->entry();
    if (!entry)
        return signal_not_found;
    entry->notify_listeners(value);
    return success;
}

int VyrSysIf::setSignalValue(const QString &interface_name, const QString &signal_name, double value)
{
    return set_signal_value(interface_name, signal_name, SignalValue::SignalValue_double(value));
}

int VyrSysIf::setSignalValue(const QString &interface_name, const QString &signal_name, int32_t value)
{
    return set_signal_value(interface_name, signal_name, SignalValue::SignalValue_int(value));
}

int VyrSysIf::read_value(const QString &interface_name, const QString &signal_name, bool latest, double &value,
                         int64_t &time_ms)
{
    VyrSignalIf *interface = nullptr;
    SignalRecord *signal = nullptr;
    const int code = find_signal(interface_name, signal_name, interface, signal);
    if (code != success)
        return code;
    SignalValue record;
    if (latest) {
        if (signal->get_value(record) != SignalRecord::NewValue)
            return no_value;
    } else if (signal->peek_value(record) == SignalRecord::NoValue) {
        return success;
    }
    value = as_double(record);
    time_ms = milliseconds(record);
    return success;
}

int VyrSysIf::readLatestValue(const QString &interface_name, const QString &signal_name, double &value,
                              int64_t &time_ms)
{
    return read_value(interface_name, signal_name, true, value, time_ms);
}

int VyrSysIf::readCurrentValue(const QString &interface_name, const QString &signal_name, double &value,
                               int64_t &time_ms)
{
    return read_value(interface_name, signal_name, false, value, time_ms);
}

int VyrSysIf::getSignalAndValueList(const QString &interface_name, QList<QVariant> &names, QList<QVariant> &values)
{
    VyrSignalIf *interface = find_signal_if_by_name(interface_name.toLocal8Bit().constData());
    if (!interface)
        return interface_not_found;
    VyrSignalList *list = interface->signal_list();
    if (!list)
        return no_signal_list;
    for (SignalRecord *signal = list->first(); signal; signal = list->next()) {
        SignalValue record;
        if (signal->peek_value(record) == SignalRecord::NoValue)
            values.append(QStringLiteral("NoValue"));
        else
            values.append(as_double(record));
        names.append(QString::fromLocal8Bit(signal->name() ? signal->name() : ""));
    }
    return success;
}

// --- VyrSysLog ---------------------------------------------------------------------------------

VyrSysLog::VyrSysLog(const QString &name) : m_name(name), m_serial_number(g_next_log_serial++) {}

VyrSysLog::~VyrSysLog() = default;

void VyrSysLog::add_column(const QString &title, const QString &tool_tip, int width)
{
    m_columns.append(Column{title, tool_tip, width});
}

void VyrSysLog::open_window()
{
    if (VyrSysIf *sys_if = VyrSysIf::instance())
        sys_if->open_log_window(this);
}

void VyrSysLog::close_window()
{
    if (VyrSysIf *sys_if = VyrSysIf::instance())
        sys_if->close_log_window(this);
}

VyrRtLog *VyrSysLog::window() const
{
    std::lock_guard<std::mutex> lock(m_window_mutex);
    return m_window;
}

void VyrSysLog::set_window(VyrRtLog *window)
{
    std::lock_guard<std::mutex> lock(m_window_mutex);
    m_window = window;
}

void VyrSysLog::add_message(const char *text1, const char *text2, const char *text3, const char *text4,
                            const char *text5, const char *text6, const char *text7, const char *text8)
{
    std::lock_guard<std::mutex> lock(m_window_mutex);
    if (m_window)
        m_window->add_message(0, text1, text2, text3, text4, text5, text6, text7, text8);
}
