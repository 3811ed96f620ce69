// The natives of the common script library of every interface: timers,
// seed&key, environment variables, signals, triggers and the system functions
// that ask the main window to act.
#include "settings/debug_trace.h"
#include "core/env_var_record.h"
#include "core/seed_key_library.h"
#include "core/signal_record.h"
#include "core/vyr_custom_event.h"
#include "core/vyr_env_var_list.h"
#include "core/vyr_signal_entry.h"
#include "core/vyr_signal_if.h"
#include "core/vyr_signal_list.h"
#include "core/vyr_trigger.h"
#include "script/script_hook_trigger.h"
#include "script/script_native_call.h"
#include "script/vyr_native_context.h"
#include "script/vyr_script_runtime.h"

#include <QFileInfo>

#include <cstring>
#include <optional>
#include <string>

namespace {

ScriptHookTrigger *timer_trigger(Native &n)
{
    return static_cast<ScriptHookTrigger *>(
        n.runtime.find_script_trigger(ScriptTrigger::timer, uintptr_t(uint32_t(n.call.address_arg(0)))));
}

int timer_start(void *context)
{
    return native(context, 1, "timerStart", [](Native &n) {
        const int32_t timeout = n.call.machine().data_int(n.call.address_arg(0));
        ScriptHookTrigger *trigger = timer_trigger(n);
        if (!trigger)
            debug_trace("Trigger Entry for timer not found");
        else if (trigger->has_timer() && timeout > 0)
            trigger->start_timer(uint32_t(timeout));
        n.call.set_int_result(0);
        return 0;
    });
}

int timer_cancel(void *context)
{
    return native(context, 1, "timerCancel", [](Native &n) {
        ScriptHookTrigger *trigger = timer_trigger(n);
        if (!trigger)
            debug_trace("Trigger Entry (%d) for timer not found", n.call.address_arg(0));
        else
            trigger->cancel_timer();
        n.call.set_int_result(0);
        return 0;
    });
}

int timer_is_pending(void *context)
{
    return native(context, 1, "timerIsPending", [](Native &n) {
        ScriptHookTrigger *trigger = timer_trigger(n);
        if (!trigger)
            debug_trace("Trigger Entry (%d) for timer not found", n.call.address_arg(0));
        n.call.set_int_result(trigger && trigger->has_timer() && trigger->pending() ? 1 : 0);
        return 0;
    });
}

int get_simulation_time(void *context)
{
    return native(context, 0, "getSimulationTime", [](Native &n) {
        n.call.set_int_result(int32_t(n.runtime.wheel_time()));
        return 0;
    });
}

int reset_cycle_counter(void *context)
{
    return native(context, 0, "resetCycleCounter", [](Native &n) {
        n.call.machine().reset_cycle_counter();
        n.call.set_int_result(0);
        return 0;
    });
}

int seedkey_load_dll(void *context)
{
    return native(context, 1, "seedkeyLoadDll", [](Native &n) {
        const char *name = n.call.text_arg(0);
        if (!name)
            return -1;
        const QString path = QString::fromLocal8Bit(name);
        int result = 0;
        if (!QFileInfo(path).isFile()) {
            n.signal_if().warning(QString("Load Seed&Key DLL '%1' - FILE NOT FOUND.").arg(path).toStdString());
            result = -1;
        } else {
            n.signal_if().message(QString("Loading Seed&Key DLL '%1' ...").arg(path).toStdString());
            n.signal_if().set_seedkey_library(std::make_unique<SeedKeyLibrary>(&n.signal_if(), path));
            if (!n.signal_if().seedkey_library()->is_loaded())
                result = -2;
        }
        n.call.set_int_result(result);
        return 0;
    });
}

int seedkey_compute_key(void *context)
{
    return native(context, 4, "seedkeyComputeKey", [](Native &n) {
        const int32_t seed_length = n.call.int_arg(1);
        const int32_t key_size = n.call.int_arg(3);
        debug_trace("seedkeyComputeKey, insize=%u outsize=%u pos_inbuf=%d pos_outbuf=%d", unsigned(seed_length),
                    unsigned(key_size), n.call.address_arg(0), n.call.address_arg(2));
        SeedKeyLibrary *library = n.signal_if().seedkey_library();
        if (!library) {
            n.signal_if().warning("Seed&Key: DLL NOT LOADED.");
            n.call.set_int_result(-1);
            return 0;
        }
        const uint8_t *seed = n.call.array_arg(0, seed_length);
        uint8_t *key = n.call.array_arg(2, key_size);
        if (!seed || !key)
            return -1;
        uint16_t key_length = 0;
        const int r = library->compute_key(seed, uint32_t(seed_length), key, uint32_t(key_size), &key_length);
        debug_trace("get_key_for_seed() -> %d", r);
        n.call.set_int_result(key_length);
        return 0;
    });
}

EnvVarRecord *find_envvar(int32_t id)
{
    VyrEnvVarList *variables = VyrEnvVarList::instance();
    return variables ? variables->find_by_id(id) : nullptr;
}

template <typename Set> int envvar_set(void *context, const char *name, Set set)
{
    return native(context, 2, name, [set](Native &n) {
        EnvVarRecord *variable = find_envvar(n.call.int_arg(0));
        if (variable && !set(n, *variable))
            return -1;
        n.call.set_int_result(variable ? 0 : -1);
        return 0;
    });
}

int envvar_set_int(void *context)
{
    return envvar_set(context, "envvarSetValueInt", [](Native &n, EnvVarRecord &variable) {
        variable.set_value_int(n.call.int_arg(1));
        return true;
    });
}

int envvar_set_double(void *context)
{
    return envvar_set(context, "envvarSetValueDouble", [](Native &n, EnvVarRecord &variable) {
        variable.set_value_double(n.call.double_arg(1));
        return true;
    });
}

int envvar_set_string(void *context)
{
    return envvar_set(context, "envvarSetValueString", [](Native &n, EnvVarRecord &variable) {
        const char *text = n.call.text_arg(1);
        if (text)
            variable.set_value_string(text);
        return text != nullptr;
    });
}

int envvar_get_int(void *context)
{
    return native(context, 1, "envvarGetValueInt", [](Native &n) {
        EnvVarRecord *variable = find_envvar(n.call.int_arg(0));
        n.call.set_int_result(variable ? variable->value_int() : 0);
        return 0;
    });
}

int envvar_get_double(void *context)
{
    return native(context, 1, "envvarGetValueDouble", [](Native &n) {
        EnvVarRecord *variable = find_envvar(n.call.int_arg(0));
        n.call.set_double_result(variable ? variable->value_double() : 0.0);
        return 0;
    });
}

// Copies the text into the script buffer of argument `dest` that holds
// `maxlen` bytes, the terminating zero included; a text that does not fit is
// cut. The buffer is checked against the data memory and the argument's size
// bound first. False when it is not within them (reported, nothing written).
bool copy_text_out(Native &n, int dest, int32_t maxlen, const std::string &text)
{
    if (maxlen < 1)
        return true;
    uint8_t *target = n.call.array_arg(dest, maxlen);
    if (!target)
        return false;
    const size_t count = std::min(text.size(), size_t(maxlen - 1));
    std::memcpy(target, text.data(), count);
    target[count] = 0;
    return true;
}

int envvar_get_string(void *context)
{
    return native(context, 3, "envvarGetValueString", [](Native &n) {
        EnvVarRecord *variable = find_envvar(n.call.int_arg(0));
        const std::optional<std::string> value = variable ? variable->value_string() : std::nullopt;
        if (variable && !copy_text_out(n, 1, n.call.int_arg(2), value.value_or(std::string())))
            return -1;
        return value ? 0 : -1;
    });
}

SignalRecord *signal_at(Native &n, int32_t slot)
{
    VyrSignalList *signal_list = n.signal_if().signal_list();
    return signal_list ? signal_list->at(slot) : nullptr;
}

int signal_reset_value(void *context)
{
    return native(context, 1, "signalResetValue", [](Native &n) {
        SignalRecord *signal = signal_at(n, n.call.int_arg(0));
        if (signal && signal->entry())
            signal->entry()->notify_value_reset();
        n.call.set_int_result(signal ? 0 : -1);
        return 0;
    });
}

// Notifies the listeners of the signal at slot argument 0 with the value,
// time-stamped with `ms`.
void notify_signal(Native &n, SignalValue value, uint32_t ms)
{
    SignalRecord *signal = signal_at(n, n.call.int_arg(0));
    if (signal && signal->entry()) {
        n.runtime.stamp_with_wheel_time(value, ms);
        signal->entry()->notify_listeners(value);
    }
    n.call.set_int_result(signal ? 0 : -1);
}

int signal_set_int(void *context)
{
    return native(context, 2, "signalSetValueInt", [](Native &n) {
        SignalValue value;
        value.set_int(n.call.int_arg(1));
        notify_signal(n, value, n.runtime.wheel_time());
        return 0;
    });
}

int signal_set_double(void *context)
{
    return native(context, 2, "signalSetValueDouble", [](Native &n) {
        SignalValue value;
        value.set_double(n.call.double_arg(1));
        notify_signal(n, value, n.runtime.wheel_time());
        return 0;
    });
}

int signal_set_int_with_timestamp(void *context)
{
    return native(context, 3, "signalSetValueIntWithTimestamp", [](Native &n) {
        SignalValue value;
        value.set_int(n.call.int_arg(1));
        notify_signal(n, value, uint32_t(n.call.int_arg(2)));
        return 0;
    });
}

int signal_set_double_with_timestamp(void *context)
{
    return native(context, 3, "signalSetValueDoubleWithTimestamp", [](Native &n) {
        SignalValue value;
        value.set_double(n.call.double_arg(1));
        notify_signal(n, value, uint32_t(n.call.int_arg(2)));
        return 0;
    });
}

int trigger_set(void *context)
{
    return native(context, 1, "triggerSet", [](Native &n) {
        const int32_t address = n.call.address_arg(0);
        debug_trace("script_trigger_set: address=%d", address);
        if (VyrTrigger *trigger = n.runtime.mapped_trigger(address))
            trigger->set();
        else
            debug_trace("Trigger entry not found");
        n.call.set_int_result(0);
        return 0;
    });
}

int trigger_reset(void *context)
{
    return native(context, 1, "triggerReset", [](Native &n) {
        const int32_t address = n.call.address_arg(0);
        debug_trace("script_trigger_reset: address=%d", address);
        if (VyrTrigger *trigger = n.runtime.mapped_trigger(address))
            trigger->reset();
        else
            debug_trace("Trigger entry not found");
        n.call.set_int_result(0);
        return 0;
    });
}

int sys_get_interface_name(void *context)
{
    return native(context, 2, "sysGetInterfaceName", [](Native &n) {
        const std::string name = n.signal_if().name();
        return copy_text_out(n, 0, n.call.int_arg(1), name.empty() ? "??" : name) ? 0 : -1;
    });
}

// Posts an event of the system functions to the interface's owner.
template <int Params> int post_event(void *context, const char *name, VyrEventType type)
{
    return native(context, Params, name, [type](Native &n) {
        const uint32_t word1 = Params > 0 ? uint32_t(n.call.int_arg(0)) : 0;
        const uint32_t word2 = Params > 1 && type != vyr_event_save_log ? uint32_t(n.call.int_arg(1)) : 0;
        QString text;
        if (type == vyr_event_save_log) {
            const char *file_name = n.call.text_arg(1);
            if (!file_name)
                return -1;
            text = QString::fromLocal8Bit(file_name);
        }
        post_vyr_event(n.signal_if().owner(), new VyrCustomEvent(type, word1, word2, text));
        return 0;
    });
}

int sys_stop(void *context) { return post_event<0>(context, "sysStopMeasurement", vyr_event_stop); }
int sys_restart(void *context) { return post_event<1>(context, "sysRestartMeasurement", vyr_event_restart); }
int sys_exit(void *context) { return post_event<1>(context, "sysExitProgram", vyr_event_exit); }
int sys_minimize(void *context) { return post_event<0>(context, "sysMinimizeProgram", vyr_event_minimize); }
int sys_restore(void *context) { return post_event<0>(context, "sysRestoreProgram", vyr_event_restore); }
int sys_beep(void *context) { return post_event<2>(context, "sysBeep", vyr_event_beep); }
int sys_set_workspace(void *context) { return post_event<1>(context, "_sysSetWorkspace", vyr_event_select_workspace); }
int sys_shutdown(void *context) { return post_event<1>(context, "sysShutdownPC", vyr_event_shutdown); }
int sys_save_log(void *context) { return post_event<2>(context, "sysSaveLog", vyr_event_save_log); }

const struct {
    const char *name;
    PCodeNative native;
} common_natives[] = {
    {"timerStart", timer_start},
    {"timerCancel", timer_cancel},
    {"timerIsPending", timer_is_pending},
    {"getSimulationTime", get_simulation_time},
    {"resetCycleCounter", reset_cycle_counter},
    {"seedkeyLoadDll", seedkey_load_dll},
    {"seedkeyComputeKey", seedkey_compute_key},
    {"envvarSetValueInt", envvar_set_int},
    {"envvarSetValueDouble", envvar_set_double},
    {"envvarSetValueString", envvar_set_string},
    {"envvarGetValueInt", envvar_get_int},
    {"envvarGetValueDouble", envvar_get_double},
    {"envvarGetValueString", envvar_get_string},
    {"signalResetValue", signal_reset_value},
    {"signalSetValueInt", signal_set_int},
    {"signalSetValueDouble", signal_set_double},
    {"signalSetValueIntWithTimestamp", signal_set_int_with_timestamp},
    {"signalSetValueDoubleWithTimestamp", signal_set_double_with_timestamp},
    {"triggerSet", trigger_set},
    {"triggerReset", trigger_reset},
    {"sysGetInterfaceName", sys_get_interface_name},
    {"sysStopMeasurement", sys_stop},
    {"sysRestartMeasurement", sys_restart},
    {"sysExitProgram", sys_exit},
    {"sysMinimizeProgram", sys_minimize},
    {"sysRestoreProgram", sys_restore},
    {"sysBeep", sys_beep},
    {"_sysSetWorkspace", sys_set_workspace},
    {"sysShutdownPC", sys_shutdown},
    {"sysSaveLog", sys_save_log},
};

} // namespace

void register_common_script_natives(VyrScriptRuntime &runtime)
{
    for (const auto &entry : common_natives)
        runtime.machine()->bind_native_by_name(*runtime.symbols(), entry.name, entry.native);
}
