#include "device/DriveRecord.h"

#include "platform/Platform.h"

DriveTableType DriveTable;

void ClearDriveTable() {
    for (unsigned i = 0; i < DriveTable.Count; ++i) {
        platform::CloseHandle(DriveTable.Drives[i]->Handle);
        delete DriveTable.Drives[i];
        DriveTable.Drives[i] = nullptr;
    }
    DriveTable.Count = 0;
}

void StoreTaskFile(const AtaTaskFile& tf, uint8_t* at) {
    at[0] = tf.Features;
    at[1] = tf.SectorCount;
    at[2] = tf.SectorNumber;
    at[3] = tf.CylinderLow;
    at[4] = tf.CylinderHigh;
    at[5] = tf.DeviceHead;
    at[6] = tf.Command;
    at[7] = tf.Reserved;
}

AtaTaskFile LoadTaskFile(const uint8_t* at) {
    AtaTaskFile tf;
    tf.Features = at[0];
    tf.SectorCount = at[1];
    tf.SectorNumber = at[2];
    tf.CylinderLow = at[3];
    tf.CylinderHigh = at[4];
    tf.DeviceHead = at[5];
    tf.Command = at[6];
    tf.Reserved = at[7];
    return tf;
}

const char* AccessMethodName(AccessMethod method) {
    switch (method) {
        case AccessMethod::NVMe: return "NVMe";
        case AccessMethod::ATA: return "ATA";
        case AccessMethod::SCSI: return "SCSI";
        case AccessMethod::OLD: return "OLD";
        case AccessMethod::IDE: return "IDE";
        case AccessMethod::SAT: return "SAT";
    }
    return "";
}

AtaTaskFile SmartTaskFile(uint8_t features, uint8_t sectorCount, uint8_t logAddress) {
    AtaTaskFile tf;
    tf.Command = ATA_SMART;
    tf.Features = features;
    tf.SectorCount = sectorCount;
    tf.SectorNumber = logAddress;
    tf.CylinderLow = SmartCylinderLow;
    tf.CylinderHigh = SmartCylinderHigh;
    return tf;
}
