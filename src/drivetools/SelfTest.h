// The drive's built-in self-test, short or extended: its stated duration and its start. The test then
// runs inside the drive; the monitoring cycle watches for its end and raises the result alert.
#pragma once

#include <string>

#include "device/DriveRecord.h"

enum class SelfTestKind { Short = 1, Extended = 2 };

// How a start ended.
enum class SelfTestStart {
    Started,
    BlockingDriver,  // the drive's controller driver refuses self-tests: nothing was sent
    AlreadyRunning,  // a started test's result is still awaited: nothing was sent
    Throttled,       // the NVMe driver limits how often self-tests run; try later
    NotThroughBridge,  // the drive's USB bridge passes no self-test command: nothing was sent
    Failed,
};

// " - " and the minutes the drive states for the test, " > 255" for an extended test longer than its
// byte holds, " - ?" for a drive without self-tests.
std::string SelfTestDurationText(const DriveRecord& drive, SelfTestKind kind);

// Keeps the drive awake with one random read, then sends SMART EXECUTE OFF-LINE IMMEDIATE (the NVMe
// transport turns it into Device Self-test); on success the drive's running flag for the test is set.
// A refused start leaves both flags clear. Takes the drive's DriveWriter itself.
SelfTestStart StartSelfTest(DriveRecord& drive, SelfTestKind kind);
