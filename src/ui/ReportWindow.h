// The report in the main window: built, put into the report box as rich text, the window laid out
// around it and shown; and the links of the report opened when clicked.
#pragma once

#include <cstdint>
#include <string>

#include "platform/Windowing.h"

// Posted to the main window once publishing has taken its text (WM_APP + 2): the report is shown
// again, by the user-interface thread, at the depth of the expert toggle.
constexpr uint32_t ShowReportAgainMessage = 0x8002;

// On the user-interface thread: reads the expert toggle, sets the caption, builds the report at the
// toggle's depth into the report box, sizes and centres the main window and shows it. Without drives
// it says so at expert depth, leaves only "Publish" live and stops the monitoring timer.
void BuildReport();

// The expert toggle's command, also the tray's: the window hidden and the report built and shown again.
void RebuildReport();

// The text publishing sends, on whichever thread publishes: the plain text the report box would give
// back of the report at publish depth, with the unrecognised disks. Neither the box nor the toggle is
// touched; the report is then shown again as it was (ShowReportAgainMessage).
std::string BuildPublishText();

// The link a click in the report box names: the target of a field instruction ("HYPERLINK target",
// the target possibly in double quotes), or the clicked text itself (a plain address); empty unless it
// is an http or https address.
std::string LinkTarget(const std::string& linkText);

// A WM_NOTIFY reaching the main window: a release of the mouse button on a link of the report box
// opens the link in the browser, maximized, from a worker so that this thread never waits for it.
// True when the notification was such a click.
bool OnReportNotification(platform::LParam lParam);
