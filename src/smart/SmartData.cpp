#include "smart/SmartData.h"

bool SmartChecksumOk(const DriveRecord& drive) {
    uint8_t sum = 0;
    for (uint8_t b : drive.SmartData) sum = static_cast<uint8_t>(sum + b);
    return sum == 0;
}

uint8_t CountAttributes(const DriveRecord& drive) {
    uint8_t count = 0;
    while (count < MaxAttributes && drive.SmartData[AttributeOffset(count)] != 0) ++count;
    return count;
}
