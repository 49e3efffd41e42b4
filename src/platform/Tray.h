// The tray facility of the platform interface: entries in the notification area, their balloons, and
// the 16 x 16 icons they show (the program's own, or digits drawn on black).
#pragma once

#include <cstdint>
#include <string>

#include "platform/Types.h"

namespace platform {

using IconHandle = std::uintptr_t;

// Shell_NotifyIcon messages, the fields a call carries, and balloon icons.
constexpr uint32_t NIM_ADD = 0x0;
constexpr uint32_t NIM_MODIFY = 0x1;
constexpr uint32_t NIM_DELETE = 0x2;
constexpr uint32_t NIF_MESSAGE = 0x1;
constexpr uint32_t NIF_ICON = 0x2;
constexpr uint32_t NIF_TIP = 0x4;
constexpr uint32_t NIF_INFO = 0x10;
constexpr uint32_t NIIF_INFO = 0x1;
constexpr uint32_t NIIF_LARGE_ICON = 0x20;

// One entry of the notification area, named by its window and id. Only the fields `Flags` names are
// taken; texts longer than the system's fields are cut.
struct NotifyIconData {
    std::uintptr_t Window = 0;
    uint32_t Id = 0;
    uint32_t Flags = 0;
    uint32_t CallbackMessage = 0;  // NIF_MESSAGE: posted to Window on mouse events over the entry
    IconHandle Icon = 0;           // NIF_ICON
    std::string Tip;               // NIF_TIP, up to 127 characters
    std::string Info;              // NIF_INFO: the balloon's text (up to 255) ...
    std::string InfoTitle;         // ... its title (up to 63) ...
    uint32_t InfoFlags = 0;        // ... and its icon (NIIF_)
};

// Shell_NotifyIconA(message, data). False when the shell refused it (no taskbar yet on NIM_ADD).
bool Shell_NotifyIcon(uint32_t message, const NotifyIconData& data);

// DestroyIcon: frees an icon this program made. False for a shared icon or an unknown handle.
bool DestroyIcon(IconHandle icon);

// LoadImageA(the program's module, "MAINICON", IMAGE_ICON, 16, 16, LR_SHARED): the program's own icon,
// shared, never destroyed. 0 when the resource is missing.
IconHandle LoadProgramIcon();

// A colour as the Windows API keeps it (COLORREF: red in the low byte).
constexpr uint32_t Rgb(uint8_t red, uint8_t green, uint8_t blue) {
    return red | static_cast<uint32_t>(green) << 8 | static_cast<uint32_t>(blue) << 16;
}

// What a text icon Edge pixels square shows: the text, left-aligned with its top-left corner at (X, Y),
// in Colour, drawn in the font FontFace of height FontHeight (negative: the character height in
// pixels) without antialiasing, clipped to Clip and on an opaque black background.
struct TextIconDrawing {
    std::string Text;
    uint32_t Colour = 0;
    std::string FontFace;
    int FontHeight = 0;
    int X = 0, Y = 0;
    Rect Clip{};
    int Edge = 16;
};

bool operator==(const TextIconDrawing& a, const TextIconDrawing& b);

// A 24-bit picture Edge pixels square, all black, the text drawn on it, made an icon (CreateIconIndirect, the
// picture as both colour image and mask). 0 on failure. The caller destroys it.
IconHandle CreateTextIcon(const TextIconDrawing& drawing);

}  // namespace platform
