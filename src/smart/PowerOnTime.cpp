#include "smart/PowerOnTime.h"

#include "device/DiagnosticLog.h"

bool PowerOnTimerCalibrating(const DriveRecord& d) {
    return !d.IsNVMe && d.PowerTimeIndex != 0 && d.PowerOnTimerPeriod == 0;
}

bool WorkedHours(const DriveRecord& d, uint32_t& hours) {
    if (d.IsNVMe) {
        hours = d.PowerTime;
        return true;
    }
    if (d.PowerOnTimerPeriod == 0) return false;
    hours = d.PowerTime / d.PowerOnTimerPeriod;
    return true;
}

std::string WorkedHoursText(const DriveRecord& d) {
    uint32_t hours = 0;
    return WorkedHours(d, hours) ? std::to_string(hours) : "calculated...";
}

bool CalibratePowerOnTimer(DriveRecord& d) {
    if (!PowerOnTimerCalibrating(d)) return false;
    if (d.PowerTimeCheckPoint > d.PowerTime) {  // wrapped or reset
        WriteLog("PowerTime overflow (PowerTimeCheckPoint = " + std::to_string(d.PowerTimeCheckPoint) +
                     ", PowerTime = " + std::to_string(d.PowerTime) + ")",
                 &d);
        d.PowerTimeCheckPoint = d.PowerTime;
        return false;
    }
    const uint32_t advance = d.PowerTime - d.PowerTimeCheckPoint;
    d.PowerOnTimerPeriod = advance == 0 ? 1 : advance;  // a counter that did not move: hours = raw counter
    return true;
}
