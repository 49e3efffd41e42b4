// The report in the main window: built, put into the report box as rich text, the window laid out
// around it and shown; and the links of the report opened when clicked.
#pragma once

#include <string>

#include "platform/Windowing.h"

// Reads the expert toggle, sets the caption, builds the report (with the unrecognised disks when
// publishing) into the report box, sizes and centres the main window and, unless publishing, shows it.
// Without drives it says so, leaves only "Publish" live, stops the monitoring timer and sets ExpertMode.
void BuildReport();

// The report for publishing: built at expert depth in publish mode (checking the expert toggle and
// running its command when it was unchecked), its plain text taken; then built again at the depth the
// toggle had before and shown. Returns the plain text.
std::string BuildPublishText();

// The link a click in the report box names: the target of a field instruction ("HYPERLINK target",
// the target possibly in double quotes), or the clicked text itself (a plain address); empty unless it
// is an http or https address.
std::string LinkTarget(const std::string& linkText);

// A WM_NOTIFY reaching the main window: a release of the mouse button on a link of the report box
// opens the link in the browser, maximized, from a worker so that this thread never waits for it.
// True when the notification was such a click.
bool OnReportNotification(platform::LParam lParam);
