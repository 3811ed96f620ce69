#pragma once
// What a native of an interface's script works with: the runtime of the
// context it received and its call's arguments and result.
#include "core/vyr_signal_if.h"
#include "script/script_native_call.h"
#include "script/vyr_script_runtime.h"

// The runtime of the context a native received, when it has an interface and
// a machine; natives without one return -1 and set no result.
inline VyrScriptRuntime *native_runtime_of(void *context)
{
    // An interface's machine runs only with its runtime's context.
    auto *script_context = static_cast<VyrScriptContext *>(static_cast<ScriptLibrary *>(context));
    VyrScriptRuntime *runtime = script_context ? script_context->runtime : nullptr;
    return runtime && runtime->signal_if() && runtime->machine() ? runtime : nullptr;
}

struct Native
{
    VyrScriptRuntime &runtime;
    ScriptNativeCall call;
    VyrSignalIf &signal_if() const { return *runtime.signal_if(); }
};

// Runs body(native) for a native of `params` declared parameters.
template <typename Body> int native(void *context, int params, const char *name, Body body)
{
    VyrScriptRuntime *runtime = native_runtime_of(context);
    if (!runtime)
        return -1;
    Native n{*runtime, ScriptNativeCall(*runtime->machine(), params, runtime->context().bounds_check, name)};
    return body(n);
}
