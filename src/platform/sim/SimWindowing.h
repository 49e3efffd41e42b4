// The windowing facility of the simulated machine: windows and controls are records a test can look
// at (class, text, styles, position, state); messages sent to a window of a class the program
// registered reach the program's procedure, and what it leaves to the system gets the default
// processing of Windows for the few messages the program relies on. Posted messages wait in one
// queue until the message loop (or PumpPostedMessages) takes them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/Windowing.h"

namespace sim {

struct WindowRecord {
    platform::HWnd Handle = 0;
    std::string Class;
    std::string Text;
    uint32_t Style = 0, ExStyle = 0;
    int X = 0, Y = 0, Width = 0, Height = 0;
    platform::HWnd Parent = 0;
    uint32_t Id = 0;
    bool Enabled = true, Visible = false, Destroyed = false;
    std::string FontFace;
    int FontHeight = 0;     // WM_SETFONT's font
    int RichEditTwips = 0;  // a rich-edit control's character size
    bool Checked = false;
    uint32_t TextLimit = 0;
    std::vector<std::string> Items;  // a drop-down list's entries
    int Selection = -1;              // ... and its selected entry
    int RangeMin = 0, RangeMax = 100, Position = 0;  // a slider's
    std::vector<uint32_t> AllowedMessages;  // taken from programs with fewer rights (ChangeWindowMessageFilterEx)
};

// Every window created since the last reset, destroyed ones included, in creation order.
std::vector<WindowRecord> WindowRecords();
// The live child of `parent` with this control identifier; a record with Handle 0 when there is none.
WindowRecord ChildRecord(platform::HWnd parent, uint32_t id);

// The user clicks a button: an automatic check box changes its state, then the parent gets
// WM_COMMAND with the button's identifier and BN_CLICKED.
void ClickButton(platform::HWnd button);

// The user picks entry `index` of a drop-down list: it is selected, then the parent gets WM_COMMAND
// with the list's identifier and CBN_SELCHANGE.
void SelectListItem(platform::HWnd list, int index);

// The user drags a slider's thumb to `position` (kept in its range): the parent gets WM_HSCROLL with
// TB_THUMBTRACK. Releasing it sends TB_ENDTRACK.
void DragSlider(platform::HWnd slider, int position);
void ReleaseSlider(platform::HWnd slider);

// A message another program sends to every top-level window (HWND_BROADCAST): each live window
// without a parent gets it, in creation order.
void BroadcastMessage(uint32_t message, platform::WParam wParam, platform::LParam lParam);

// The user presses a key while `focus` has the keyboard focus: WM_KEYDOWN is posted to it. As on
// Windows the loops hand an Esc to the control's top-level window, and a modal loop's window closes
// on it (WM_SYSCOMMAND, SC_CLOSE).
void PressKey(platform::HWnd focus, platform::WParam key);

// The modal loop of `window` starts (0: it ends); returns the window of the loop it runs inside.
platform::HWnd EnterModalLoop(platform::HWnd window);

// Dispatches the posted messages now waiting; the number dispatched. A WM_QUIT ends it.
unsigned PumpPostedMessages();

// No window, class or posted message left.
void ResetWindowing();

}  // namespace sim
