#include "interfaces/hardware/can_hw_status.h"

#include <iterator>

namespace {

const char *const status_names[] = {
    "Success",
    "NoMessage",
    "ErrorTxQueueFull",
    "ErrorBusOff",
    "ErrorNoHardware",
    "ErrorAccessDenied",
    "ErrorNotImplemented",
    "ErrorWrongParameter",
    "ErrorInvalidBitrate",
    "ErrorDeviceNotFound",
    "ErrorOutOfMemory",
    "ErrorTimeout",
    "ErrorNotInitialized",
    "ErrorOutOfHandles",
    "ErrorInvalidHandle",
    "ErrorDriverModeNotSupported",
    "ErrorHardwareFailed",
    "ErrorDllLoadFailed",
    "ErrorDllVersion",
    "ErrorDllInitFailed",
    "ErrorDriverLoadFailed",
    "ErrorDriverFailed",
    "ErrorRegistryFailed",
    "ErrorReserved",
    "ErrorInternalError",
    "ErrorIncompatibleHardware",
    "ErrorBrokenLink",
    "ErrorTransmitFailed",
    "ErrorHardwareBusy",
};

struct TransceiverName
{
    int type;
    const char *name;
};

const TransceiverName transceiver_names[] = {
    {0, "UNKNOWN"},
    {1, "251"},
    {2, "252"},
    {3, "DNopto"},
    {4, "W210"},
    {5, "SingleWire (Prototype)"},
    {6, "SingleWire"},
    {7, "EVA"},
    {8, "FIBER"},
    {9, "K251"},
    {10, "K-LINE"},
    {11, "1054 opto"},
    {12, "SWC opto"},
    {13, "TT"},
    {14, "1050"},
    {15, "1050 opto"},
    {16, "1041"},
    {17, "1041 opto"},
    {18, "RS485"},
    {19, "LIN"},
    {20, "KONE"},
    {22, "CANFD"},
    {24, "CANFD/LIN"},
    {64, "LINX_LIN"},
    {66, "LINX_J1708"},
    {68, "LINX_K"},
    {70, "LINX_SWC"},
    {72, "LINX_LS"},
};

} // namespace

const char *status_name(int code)
{
    if (code < 0 || code >= int(std::size(status_names)))
        return "Unknown";
    return status_names[code];
}

const char *transceiver_name(int type)
{
    for (const TransceiverName &entry : transceiver_names)
        if (entry.type == type)
            return entry.name;
    return "Unknown";
}
