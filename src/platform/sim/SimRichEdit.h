// The rich-edit facility of the simulated machine: a box keeps the rich text it was given and shows
// its plain text as the portable reader makes it (its window record's text); it shows a scroll bar
// when its lines (16 pixels each, 13 of margin) do not fit; the work area is settable. A link click
// reaches the box's parent as WM_NOTIFY whose lParam points to a platform::LinkNotification.
#pragma once

#include <string>

#include "platform/RichEdit.h"

namespace sim {

constexpr platform::Rect DefaultWorkArea{0, 0, 1024, 728};

// The rich text the box was last given; empty when none.
std::string RichText(platform::HWnd box);

void SetWorkArea(const platform::Rect& area);

// The user presses (WM_LBUTTONDOWN) or releases (WM_LBUTTONUP) the mouse on the n-th link of the
// box's document: its parent gets EN_LINK with the link's field instruction as the range's text.
// False when the box has no such link.
bool ClickLink(platform::HWnd box, unsigned n, uint32_t mouseMessage = platform::WM_LBUTTONUP);

// No rich text kept, the default work area.
void ResetRichEdit();

}  // namespace sim
