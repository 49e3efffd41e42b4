// The portable types every facility of the platform interface shares: GUIDs, handles and their
// owning wrapper, and the 16-byte date and time of the Windows API.
#pragma once

#include <cstdint>

namespace platform {

struct Guid {
    uint32_t Data1;
    uint16_t Data2;
    uint16_t Data3;
    uint8_t Data4[8];
};

bool operator==(const Guid& a, const Guid& b);

using Handle = std::uintptr_t;
constexpr Handle INVALID_HANDLE_VALUE = ~static_cast<Handle>(0);

bool CloseHandle(Handle handle);

// Owns one handle and closes it when it goes away or takes another; neither 0 nor
// INVALID_HANDLE_VALUE is closed. Reads as the plain handle.
class OwnedHandle {
public:
    OwnedHandle() = default;
    explicit OwnedHandle(Handle handle) : handle_(handle) {}
    OwnedHandle(const OwnedHandle&) = delete;
    OwnedHandle& operator=(const OwnedHandle&) = delete;
    OwnedHandle(OwnedHandle&& other) noexcept : handle_(other.Release()) {}
    OwnedHandle& operator=(OwnedHandle&& other) noexcept {
        if (this != &other) Reset(other.Release());
        return *this;
    }
    OwnedHandle& operator=(Handle handle) {
        Reset(handle);
        return *this;
    }
    ~OwnedHandle() { Reset(0); }

    operator Handle() const { return handle_; }
    Handle Release() {
        const Handle h = handle_;
        handle_ = 0;
        return h;
    }
    void Reset(Handle handle) {
        if (handle_ != 0 && handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
        handle_ = handle;
    }

private:
    Handle handle_ = 0;
};

// Windows SYSTEMTIME, 16 bytes.
struct SystemTime {
    uint16_t Year, Month, DayOfWeek, Day, Hour, Minute, Second, Milliseconds;
};

}  // namespace platform
