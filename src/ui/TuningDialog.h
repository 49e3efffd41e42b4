// The tuning dialog: acoustic (AAM) and power (APM) management of the drives that have either, each
// change sent to the drive at once; while it is open the selected drive keeps reading in the
// background, so that the change can be heard.
#pragma once

#include <cstdint>

#include "platform/Windowing.h"

// Control identifiers of the tuning dialog.
enum TuningControl : uint32_t {
    TuningDriveListId = 400,
    AamGroupId, AamEnabledId, AamDisabledId, AamSliderId, AamLowLabelId, AamHighLabelId,
    ApmGroupId, ApmEnabledId, ApmDisabledId, ApmSliderId, ApmLowLabelId, ApmHighLabelId,
};

// The dialog over the drives that have AAM or APM, the first selected, placed and hidden; 0 when no
// drive has either or it cannot be made.
platform::HWnd CreateTuningDialog();

// The "Tuning" command: refuses with a box when no drive has AAM or APM; otherwise hides the main
// window and runs the dialog modally. When it closes the changed drives' settings are stored, their
// read speed measured again (RunPerformanceWindow) and the report shown.
void RunTuningCommand();
