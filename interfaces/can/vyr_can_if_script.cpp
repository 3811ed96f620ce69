// The runs of a CAN interface's script message handlers ("on CanMessage
// 0x100", "on CanMessage *") for each received frame, with the frame in
// this_message.
#include "core/script_trigger.h"
#include "interfaces/can/can_script_binding.h"
#include "interfaces/can/vyr_can_if.h"
#include "script/pcode_machine.h"
#include "script/vyr_script_runtime.h"

#include <cstring>

namespace {

void put_int(uint8_t *at, uint32_t value)
{
    std::memcpy(at, &value, sizeof value);
}

} // namespace

void VyrCanIf::collect_message_handlers()
{
    m_message_handlers.clear();
    if (VyrScriptRuntime *runtime = VyrScriptRuntime::of(this))
        for (ScriptTrigger *trigger : runtime->script_triggers(ScriptTrigger::message))
            m_message_handlers.emplace(uint32_t(trigger->address()), trigger->function_id());
}

int VyrCanIf::message_handler(uint32_t key) const
{
    const auto found = m_message_handlers.find(key);
    return found == m_message_handlers.end() ? 0 : found->second;
}

bool VyrCanIf::run_message_handlers(const VyrCanMessage &frame, uint32_t key)
{
    VyrScriptRuntime *runtime = VyrScriptRuntime::of(this);
    if (!runtime || m_script_binding->this_message() < 0 || m_message_handlers.empty())
        return false;
    if (frame.flags & VyrCanMessage::ErrorFrame) {
        const int handler = message_handler(error_frame_key);
        return handler && run_message_handler(*runtime, handler, frame, 0);
    }
    bool filtered = false;
    if (const int handler = message_handler(key))
        filtered = run_message_handler(*runtime, handler, frame, VyrCanMessage::Extended);
    if (const int handler = message_handler(catch_all_key))
        filtered = run_message_handler(*runtime, handler, frame, 0);
    return filtered;
}

bool VyrCanIf::run_message_handler(VyrScriptRuntime &runtime, int function, const VyrCanMessage &frame,
                                   uint32_t hidden_flags)
{
    using Layout = VyrCanScriptBinding;
    PCodeMachine *machine = runtime.machine();
    const int32_t this_message = m_script_binding->this_message();
    uint8_t *target = machine->data_pointer(this_message, Layout::message_size);
    if (!target)
        return false;
    const bool error_frame = frame.flags & VyrCanMessage::ErrorFrame;
    std::memset(target, 0, Layout::message_size);
    if (error_frame) {
        put_int(target + Layout::message_flags_at, VyrCanMessage::ErrorFrame);
    } else {
        put_int(target + Layout::message_id_at, frame.id);
        target[Layout::message_dlc_at] = frame.dlc;
        put_int(target + Layout::message_flags_at, frame.flags & ~(VyrCanMessage::Filter | hidden_flags));
        std::memcpy(target + Layout::message_data_at, frame.data, VyrCanMessage::max_data);
    }
    target[Layout::message_channel_at] = frame.channel;
    put_int(target + Layout::message_timestamp_at, frame.time);
    put_int(target + Layout::message_timestamp_us_at, (frame.time * 100 + frame.time_fraction) * 10);

    ScriptRunLock lock(*this);
    runtime.run_function(function);
    return machine->data_int(this_message + Layout::message_flags_at) & VyrCanMessage::Filter;
}
