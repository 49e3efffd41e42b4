// The diagnostics dialog: the drive's own self-test, short ("Fast") or extended ("Full"), started with
// one command; the monitoring cycle then waits for its result.
#pragma once

#include <cstdint>

// Control identifiers of the diagnostics dialog.
enum SelfTestControl : uint32_t {
    SelfTestDriveListId = 500,
    SelfTestGroupId, FastTestId, FullTestId, DurationLabelId, DurationValueId, StartTestId,
};

// The "Diagnostics" command: hides the main window, runs the dialog modally, then shows the report.
void RunSelfTestCommand();
