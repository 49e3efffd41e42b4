#include "smart/WorkedHours.h"

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
