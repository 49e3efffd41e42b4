// The diagnostics dialog: the drive's own self-test, short ("Fast") or extended ("Full"), started with
// one command; the monitoring cycle then waits for its result.
#pragma once

#include <cstdint>

#include "platform/Windowing.h"

// Control identifiers of the diagnostics dialog.
enum SelfTestControl : uint32_t {
    SelfTestDriveListId = 500,
    SelfTestGroupId, FastTestId, FullTestId, DurationLabelId, DurationValueId, StartTestId,
};

// The dialog over every drive, the first selected, placed and hidden; 0 when it cannot be made.
platform::HWnd CreateSelfTestDialog();

// The "Diagnostics" command: hides the main window, runs the dialog modally, then shows the report.
void RunSelfTestCommand();
