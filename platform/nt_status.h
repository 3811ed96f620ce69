#pragma once
// NTSTATUS values that the vrbus devices answer with, and the system error
// numbers that the client side turns them into: both belong to the driver's
// contract, and the driver access layer's tables are written in them.
#include <cstdint>

namespace platform {

using NTSTATUS = uint32_t;

namespace nt_status {
constexpr NTSTATUS STATUS_SUCCESS = 0x00000000;
constexpr NTSTATUS STATUS_DEVICE_BUSY = 0x80000011;
constexpr NTSTATUS STATUS_UNSUCCESSFUL = 0xC0000001;
constexpr NTSTATUS STATUS_NOT_IMPLEMENTED = 0xC0000002;
constexpr NTSTATUS STATUS_INVALID_HANDLE = 0xC0000008;
constexpr NTSTATUS STATUS_INVALID_PARAMETER = 0xC000000D;
constexpr NTSTATUS STATUS_NO_SUCH_DEVICE = 0xC000000E;
constexpr NTSTATUS STATUS_INVALID_DEVICE_REQUEST = 0xC0000010;
constexpr NTSTATUS STATUS_NO_MEMORY = 0xC0000017;
constexpr NTSTATUS STATUS_ACCESS_DENIED = 0xC0000022;
constexpr NTSTATUS STATUS_OBJECT_TYPE_MISMATCH = 0xC0000024;
constexpr NTSTATUS STATUS_OBJECT_NAME_NOT_FOUND = 0xC0000034;
constexpr NTSTATUS STATUS_OBJECT_NAME_COLLISION = 0xC0000035;
constexpr NTSTATUS STATUS_INSUFFICIENT_RESOURCES = 0xC000009A;
constexpr NTSTATUS STATUS_DEVICE_NOT_READY = 0xC00000A3;
constexpr NTSTATUS STATUS_WRITE_REFUSED = 0xC000025E; // a write that the card cannot take
} // namespace nt_status

// The system error numbers that the mapping produces.
namespace system_error {
constexpr int NO_ERROR = 0;
constexpr int FILE_NOT_FOUND = 2;
constexpr int ACCESS_DENIED = 5;
constexpr int INVALID_HANDLE = 6;
constexpr int NOT_READY = 21;
constexpr int GEN_FAILURE = 31;
constexpr int INVALID_PARAMETER = 87;
constexpr int BUSY = 170;
constexpr int MR_MID_NOT_FOUND = 317; // "no text for this message": every other status
} // namespace system_error

// The system error number of a device reply's status.
inline int system_error_from_ntstatus(NTSTATUS status)
{
    using namespace nt_status;
    switch (status) {
    case STATUS_SUCCESS: return system_error::NO_ERROR;
    case STATUS_OBJECT_NAME_NOT_FOUND: return system_error::FILE_NOT_FOUND;
    case STATUS_ACCESS_DENIED: return system_error::ACCESS_DENIED;
    case STATUS_DEVICE_NOT_READY: return system_error::NOT_READY;
    case STATUS_INVALID_PARAMETER: return system_error::INVALID_PARAMETER;
    case STATUS_DEVICE_BUSY: return system_error::BUSY;
    case STATUS_UNSUCCESSFUL: return system_error::GEN_FAILURE;
    default: return system_error::MR_MID_NOT_FOUND;
    }
}

} // namespace platform
