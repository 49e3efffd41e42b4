// The performance window: the read tests of every drive that needs them, run in a small always-on-top
// window that lists each drive's results as they come and that the user cannot close, then stored in
// the drives' keys.
#pragma once

// Runs on the caller's thread (which holds no drive lock) and blocks it until done. A candidate is a
// drive with PerformanceTestPending set that is neither security-locked nor lost; without one nothing
// is shown or changed. Candidates are woken (one random block read and a flush each), then measured in
// table order while "Exit" of the tray menu is grayed and the foreground is locked; then each one's
// seven results are written and its flag cleared. A measurement that fails shows "failed" in place of
// its figure: that drive's results are not written, the failure's date is, and its flag is cleared
// all the same (start-up tries it again once a week).
//
// One read test at a time: a call while another runs (the window pumps messages, so a command can
// come in; the publish prompt's worker may ask too) shows "A read test is already running." and
// returns false without touching a drive; otherwise true.
bool RunPerformanceWindow();

// While a read test runs: true, with the same box (the Tuning command, whose reader would disturb
// the measurement, opens nothing then); otherwise false.
bool RefusedForReadTest();
