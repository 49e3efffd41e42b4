#include "smart/Condition.h"

// Attribute values are not interpreted yet: temperatures, counters and condition flags stay 0.
void ReadSctStatus(DriveRecord&) {}
void ReadSctTemperatureLimits(DriveRecord&) {}
void SetTemperatureLimit(DriveRecord&) {}
void ExtractSmartValues(DriveRecord&) {}
void TakeLifetimeMaxTemperature(DriveRecord&) {}
void EvaluateCondition(DriveRecord&) {}
