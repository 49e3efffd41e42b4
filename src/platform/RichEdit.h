// The rich-edit facility of the platform interface: rich text into a rich-edit box and its plain
// text back, its scroll bar, clicks on its links, and the desktop's work area the box's window is
// laid out in (user32, riched20).
#pragma once

#include <cstdint>
#include <string>

#include "platform/Types.h"
#include "platform/Windowing.h"

namespace platform {

constexpr uint32_t WM_NOTIFY = 0x004E;
constexpr uint32_t WM_LBUTTONUP = 0x0202;
constexpr uint32_t EM_SETEVENTMASK = WM_USER + 69;
constexpr LParam ENM_LINK = 0x04000000;
constexpr uint32_t EN_LINK = 0x070B;

// EM_SETTEXTEX(ST_DEFAULT, CP_ACP): the box shows this rich-text document. False when the box
// refuses it.
bool SetRichText(HWnd box, const std::string& rtf);

// EM_GETTEXTEX(GT_DEFAULT, CP_ACP): the box's text as plain text, "\r\n" at the end of each line it
// shows when it does not wrap (paragraph marks and soft line breaks alike); empty when it cannot be
// read.
std::string GetRichEditText(HWnd box);

// GetScrollBarInfo(OBJID_VSCROLL): whether the box shows its vertical scroll bar now.
bool HasVerticalScrollBar(HWnd window);

// SystemParametersInfoA(SPI_GETWORKAREA): the desktop without the taskbar. False when it cannot be read.
bool GetWorkArea(Rect& area);

// What a WM_NOTIFY from a rich-edit box says about a link: the box, the notification code (EN_LINK),
// the mouse message that caused it and the text of the link's character range (EM_GETTEXTRANGE).
struct LinkNotification {
    HWnd Box = 0;
    uint32_t Code = 0;
    uint32_t MouseMessage = 0;
    std::string Text;
};
// False when the message carries no EN_LINK notification (lParam 0, another code).
bool ReadLinkNotification(LParam lParam, LinkNotification& notification);

}  // namespace platform
