#pragma once
// Status codes that every operation of a hardware channel answers, and the
// names under which the message window shows them; the transceiver names.

enum CANhwStatus : int {
    canhwSuccess = 0,
    canhwNoMessage = 1,
    canhwErrorTxQueueFull = 2,
    canhwErrorBusOff = 3,
    canhwErrorNoHardware = 4,
    canhwErrorAccessDenied = 5,
    canhwErrorNotImplemented = 6, // the answer of every operation a provider does not support
    canhwErrorWrongParameter = 7,
    canhwErrorInvalidBitrate = 8,
    canhwErrorDeviceNotFound = 9,
    canhwErrorOutOfMemory = 10,
    canhwErrorTimeout = 11,
    canhwErrorNotInitialized = 12,
    canhwErrorOutOfHandles = 13,
    canhwErrorInvalidHandle = 14,
    canhwErrorDriverModeNotSupported = 15,
    canhwErrorHardwareFailed = 16,
    canhwErrorDllLoadFailed = 17,
    canhwErrorDllVersion = 18,
    canhwErrorDllInitFailed = 19,
    canhwErrorDriverLoadFailed = 20,
    canhwErrorDriverFailed = 21,
    canhwErrorRegistryFailed = 22,
    canhwErrorReserved = 23,
    canhwErrorInternalError = 24,
    canhwErrorIncompatibleHardware = 25,
    canhwErrorBrokenLink = 26,
    canhwErrorTransmitFailed = 27,
    canhwErrorHardwareBusy = 28,
};

// Transceiver types that the CAN interface reacts to.
enum CANhwTransceiver : int {
    canhwTransceiverLin = 19,       // the channel carries the LIN cable
    canhwTransceiverCanFdLin = 24,  // a hybrid CAN/LIN channel
};

// "Success", "NoMessage", ...; "Unknown" for a code outside 0-28.
const char *status_name(int code);
// "251", "1050", "CANFD", ...; "Unknown" for a type without a name.
const char *transceiver_name(int type);
