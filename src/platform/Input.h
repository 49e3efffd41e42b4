// The input facility of the platform interface: synthesized input events.
#pragma once

#include <cstdint>
#include <vector>

namespace platform {

constexpr uint32_t INPUT_MOUSE = 0;

// INPUT with its MOUSEINPUT member (28 bytes on 32-bit Windows).
struct Input {
    uint32_t Type;
    int32_t Dx;
    int32_t Dy;
    uint32_t MouseData;
    uint32_t Flags;
    uint32_t Time;
    std::uintptr_t ExtraInfo;
};

// SendInput(count, inputs, sizeof(INPUT)): the number of events inserted into the input stream.
uint32_t SendInput(const std::vector<Input>& inputs);

}  // namespace platform
