// Condition and temperature of an ATA drive from its S.M.A.R.T. data and SCT status.
#pragma once

#include "device/DriveRecord.h"

void ReadSctStatus(DriveRecord& drive);
void ReadSctTemperatureLimits(DriveRecord& drive);
void SetTemperatureLimit(DriveRecord& drive);
void ExtractSmartValues(DriveRecord& drive);
void TakeLifetimeMaxTemperature(DriveRecord& drive);
void EvaluateCondition(DriveRecord& drive);
