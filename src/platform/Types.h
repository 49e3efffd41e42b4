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

// Owns one system handle and gives it back (Closer::Close) when it goes away or takes another;
// neither 0 nor ~0 (the invalid values) is given back. Reads as the plain handle.
template <typename Closer>
class Owned {
public:
    Owned() = default;
    explicit Owned(std::uintptr_t handle) : handle_(handle) {}
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
    Owned(Owned&& other) noexcept : handle_(other.Release()) {}
    Owned& operator=(Owned&& other) noexcept {
        if (this != &other) Reset(other.Release());
        return *this;
    }
    Owned& operator=(std::uintptr_t handle) {
        Reset(handle);
        return *this;
    }
    ~Owned() { Reset(0); }

    operator std::uintptr_t() const { return handle_; }
    std::uintptr_t Release() {
        const std::uintptr_t h = handle_;
        handle_ = 0;
        return h;
    }
    void Reset(std::uintptr_t handle) {
        if (handle_ != 0 && handle_ != ~static_cast<std::uintptr_t>(0)) Closer::Close(handle_);
        handle_ = handle;
    }

private:
    std::uintptr_t handle_ = 0;
};

struct HandleCloser {
    static void Close(Handle handle) { CloseHandle(handle); }
};
using OwnedHandle = Owned<HandleCloser>;

// Windows SYSTEMTIME, 16 bytes.
struct SystemTime {
    uint16_t Year, Month, DayOfWeek, Day, Hour, Minute, Second, Milliseconds;
};

// A rectangle (RECT): left and top inside, right and bottom just outside.
struct Rect {
    int Left, Top, Right, Bottom;
};
bool operator==(const Rect& a, const Rect& b);

}  // namespace platform
