// The user-interface facility of the platform interface: message boxes.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// Buttons, icons and modality of a box (the MB_ flags of the Windows API).
constexpr uint32_t MB_OK = 0x0;
constexpr uint32_t MB_OKCANCEL = 0x1;
constexpr uint32_t MB_YESNO = 0x4;
constexpr uint32_t MB_TYPEMASK = 0xF;
constexpr uint32_t MB_ICONERROR = 0x10;
constexpr uint32_t MB_ICONEXCLAMATION = 0x30;
constexpr uint32_t MB_ICONINFORMATION = 0x40;
constexpr uint32_t MB_SYSTEMMODAL = 0x1000;
constexpr uint32_t MB_SETFOREGROUND = 0x10000;
constexpr uint32_t MB_TOPMOST = 0x40000;

// The program's two kinds of box: one raised on the user-interface thread is brought to the front
// and kept on top; one raised by a worker thread has no owner and is system-modal.
constexpr uint32_t OwnedBoxFlags = MB_SETFOREGROUND | MB_TOPMOST;
constexpr uint32_t WorkerBoxFlags = MB_SYSTEMMODAL;

// The button that closed a box.
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

// MessageBoxA(owner, text, caption, flags): shows the box and waits until the user closes it.
// Returns the button's id, 0 when no box could be shown.
int MessageBox(std::uintptr_t owner, const std::string& text, const std::string& caption, uint32_t flags);

// PostMessageA(window, WM_NULL, 0, 0), then PeekMessageA(PM_REMOVE), TranslateMessage and
// DispatchMessageA until the calling thread's queue is empty: wakes the user-interface thread, and on
// that thread handles what is pending.
void PumpMessages(std::uintptr_t window);

}  // namespace platform
