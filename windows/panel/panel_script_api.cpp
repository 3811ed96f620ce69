#include "windows/panel/panel_script_api.h"

#include "core/vyr_signal_if_notification.h"
#include "script/vyr_native_context.h"
#include "windows/panel/vyr_panel.h"
#include "windows/panel/vyr_panel_item.h"

#include <algorithm>

namespace {

// Value-store keys of the functions.
constexpr int32_t text_key = 0;
constexpr int32_t value_key = 1;
constexpr int32_t data_key = 3;

// Runs work(native, item) for a function of `params` parameters whose first
// argument is an item id, with the directory locked until work is done; the
// item is null when no item has that id.
template <typename Work> int with_item(void *context, int params, const char *name, Work work)
{
    return native(context, params, name, [&](Native &n) {
        VyrPanelItem::with_item_by_id(uint32_t(n.call.int_arg(0)), [&](VyrPanelItem *item) { work(n, item); });
        return 0;
    });
}

// The buffer of argument 1 for `size` bytes; null (reported by the call)
// when it does not lie within the data memory and the argument's size bound.
// An empty buffer is never touched.
template <typename T> bool buffer_arg(Native &n, int32_t size, T *&buffer)
{
    buffer = nullptr;
    if (size <= 0)
        return true;
    buffer = reinterpret_cast<T *>(n.call.array_arg(1, size));
    return buffer != nullptr;
}

int get_id_by_name(void *context)
{
    return native(context, 1, "panelItemGetIdByName", [](Native &n) {
        const char *name = n.call.text_arg(0);
        n.call.set_int_result(name ? VyrPanelItem::find_id_by_name(name) : -1);
        return 0;
    });
}

int get_string(void *context, const char *name, int32_t key)
{
    return with_item(context, 3, name, [key](Native &n, VyrPanelItem *item) {
        const int32_t maxlen = n.call.int_arg(2);
        char *buffer;
        if (!item || !buffer_arg(n, maxlen, buffer)) {
            n.call.set_int_result(-1);
            return;
        }
        n.call.set_int_result(int32_t(item->get_property_value_string(key, buffer, uint32_t(std::max(maxlen, 0)))));
    });
}

int set_string(void *context, const char *name, int32_t key)
{
    return with_item(context, 2, name, [key](Native &n, VyrPanelItem *item) {
        const char *text = item ? n.call.text_arg(1) : nullptr;
        if (!text) {
            n.call.set_int_result(-1);
            return;
        }
        item->set_property_value_string(key, text);
        n.call.set_int_result(0);
    });
}

int get_text(void *context)
{
    return get_string(context, "panelItemGetText", text_key);
}

int set_text(void *context)
{
    return set_string(context, "panelItemSetText", text_key);
}

int get_value_int(void *context)
{
    return with_item(context, 1, "panelItemGetValueInt", [](Native &n, VyrPanelItem *item) {
        n.call.set_int_result(item ? item->get_property_value_int(value_key) : 0);
    });
}

int get_value_double(void *context)
{
    return with_item(context, 1, "panelItemGetValueDouble", [](Native &n, VyrPanelItem *item) {
        n.call.set_double_result(item ? item->get_property_value_double(value_key) : 0.0);
    });
}

int get_value_string(void *context)
{
    return get_string(context, "panelItemGetValueString", value_key);
}

int get_value_data(void *context)
{
    return with_item(context, 3, "panelItemGetValueData", [](Native &n, VyrPanelItem *item) {
        const int32_t maxlen = n.call.int_arg(2);
        uint8_t *buffer;
        if (!item || !buffer_arg(n, maxlen, buffer)) {
            n.call.set_int_result(-1);
            return;
        }
        n.call.set_int_result(int32_t(item->get_property_value_data(data_key, buffer, uint32_t(std::max(maxlen, 0)))));
    });
}

int set_value_int(void *context)
{
    return with_item(context, 2, "panelItemSetValueInt", [](Native &n, VyrPanelItem *item) {
        if (item)
            item->set_property_value_int(value_key, n.call.int_arg(1));
        n.call.set_int_result(item ? 0 : -1);
    });
}

int set_value_double(void *context)
{
    // Declared int: the result is an integer, -1 included.
    return with_item(context, 2, "panelItemSetValueDouble", [](Native &n, VyrPanelItem *item) {
        if (item)
            item->set_property_value_double(value_key, n.call.double_arg(1));
        n.call.set_int_result(item ? 0 : -1);
    });
}

int set_value_string(void *context)
{
    return set_string(context, "panelItemSetValueString", value_key);
}

int set_value_data(void *context)
{
    return with_item(context, 3, "panelItemSetValueData", [](Native &n, VyrPanelItem *item) {
        const int32_t length = n.call.int_arg(2);
        uint8_t *bytes;
        if (!item || length < 0 || !buffer_arg(n, length, bytes)) {
            n.call.set_int_result(-1);
            return;
        }
        item->set_property_value_data(data_key, bytes, uint32_t(length));
        n.call.set_int_result(0);
    });
}

struct PanelNative
{
    const char *name;
    PCodeNative function;
};

// In header order.
const PanelNative panel_natives[] = {
    {"panelItemGetIdByName", get_id_by_name},
    {"panelItemGetText", get_text},
    {"panelItemSetText", set_text},
    {"panelItemGetValueInt", get_value_int},
    {"panelItemGetValueDouble", get_value_double},
    {"panelItemGetValueString", get_value_string},
    {"panelItemGetValueData", get_value_data},
    {"panelItemSetValueInt", set_value_int},
    {"panelItemSetValueDouble", set_value_double},
    {"panelItemSetValueString", set_value_string},
    {"panelItemSetValueData", set_value_data},
};

// Every interface's script gets the panel functions once the panel library is linked.
const bool g_panel_api_installed = [] {
    set_panel_script_api(VyrPanel::register_script_api);
    return true;
}();

} // namespace

const char *panel_script_header()
{
    return "__pragma_internal;\n\n"
           "int panelItemGetIdByName (char name[]);\n\n"
           "int panelItemGetText (int id, char value[], int maxlen);\n"
           "int panelItemSetText (int id, char value[]);\n\n"
           "int panelItemGetValueInt (int id);\n"
           "double panelItemGetValueDouble (int id);\n"
           "int panelItemGetValueString (int id, char value[], int maxlen);\n"
           "int panelItemGetValueData (int id, byte value[], int maxlen);\n\n"
           "int panelItemSetValueInt (int id, int value);\n"
           "int panelItemSetValueDouble (int id, double value);\n"
           "int panelItemSetValueString (int id, char value[]);\n"
           "int panelItemSetValueData (int id, byte value[], int len);\n\n";
}

int VyrPanel::register_script_api(VyrScriptRuntime *runtime)
{
    const int r = runtime->compile_prelude(panel_script_header());
    if (r != 0)
        runtime->signal_if()->notification()->message_printf("VyrPanel:: r = %d\n", r);
    // A header that failed part-way still declared the names before the fault.
    for (const PanelNative &entry : panel_natives)
        runtime->machine()->bind_native_if_declared(*runtime->symbols(), entry.name, entry.function);
    return r;
}
