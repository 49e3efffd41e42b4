// I/O control codes and the fixed sizes of the request buffers the transports build.
#pragma once

#include <cstdint>

constexpr uint32_t IOCTL_ATA_PASS_THROUGH = 0x0004D02C;
constexpr uint32_t IOCTL_IDE_PASS_THROUGH = 0x0004D028;
constexpr uint32_t SMART_RCV_DRIVE_DATA = 0x0007C088;
constexpr uint32_t SMART_SEND_DRIVE_COMMAND = 0x0007C084;
constexpr uint32_t IOCTL_SCSI_PASS_THROUGH = 0x0004D004;
constexpr uint32_t IOCTL_SCSI_MINIPORT = 0x0004D008;
constexpr uint32_t IOCTL_STORAGE_QUERY_PROPERTY = 0x002D1400;
constexpr uint32_t IOCTL_STORAGE_PROTOCOL_COMMAND = 0x002DD3C0;
constexpr uint32_t IOCTL_STORAGE_GET_DEVICE_NUMBER = 0x002D1080;
constexpr uint32_t IOCTL_VOLUME_GET_VOLUME_DISK_EXTENTS = 0x00560000;

// STORAGE_PROPERTY_QUERY for the TRIM state: PropertyId StorageDeviceTrimProperty, QueryType
// PropertyStandardQuery, zero bytes after; the reply is a DEVICE_TRIM_DESCRIPTOR.
constexpr uint32_t TrimPropertyId = 8;
constexpr uint32_t StandardQueryType = 0;
constexpr uint32_t TrimQuerySize = 18;
constexpr uint32_t TrimDescriptorSize = 12;
constexpr uint32_t TrimEnabledOffset = 8;
// STORAGE_DEVICE_NUMBER: DeviceType, DeviceNumber, PartitionNumber.
constexpr uint32_t DeviceNumberSize = 12;
constexpr uint32_t DeviceNumberOffset = 4;
// VOLUME_DISK_EXTENTS with room for one DISK_EXTENT (DiskNumber, StartingOffset, ExtentLength).
constexpr uint32_t VolumeExtentsSize = 32;
constexpr uint32_t FirstExtentOffset = 8;
constexpr uint32_t DiskExtentSize = 24;

// ATA_PASS_THROUGH_EX (32-bit layout) followed by room for 255 sectors.
constexpr uint32_t AtaRequestSize = 130604;
constexpr uint32_t AtaHeaderSize = 40;
constexpr uint32_t AtaDataOffset = 44;
constexpr uint16_t ATA_FLAGS_DATA_IN = 2;
constexpr uint16_t ATA_FLAGS_DATA_OUT = 4;

// IDEREGS, DataBufferSize, one sector.
constexpr uint32_t IdeRequestSize = 524;
constexpr uint32_t IdeDataOffset = 12;

// SENDCMDINPARAMS without its data byte; SENDCMDOUTPARAMS with one sector.
constexpr uint32_t SendCmdInSize = 32;
constexpr uint32_t SendCmdOutSize = 528;
constexpr uint32_t SendCmdOutDataOffset = 16;

// SCSI_PASS_THROUGH (32-bit layout) followed by room for 255 sectors.
constexpr uint32_t SatRequestSize = 130604;
constexpr uint32_t SatDataOffset = 44;

// A USB bridge's command block: SCSI_PASS_THROUGH (32-bit layout), a sense area, then room for 255
// sectors; 60 s, as bridges that tunnel NVMe may take that long.
constexpr uint32_t BridgeSenseOffset = 44;
constexpr uint32_t BridgeSenseSize = 32;
constexpr uint32_t BridgeDataOffset = 76;
constexpr uint32_t BridgeRequestSize = BridgeDataOffset + 255 * 512;
constexpr uint32_t BridgeTimeoutSeconds = 60;

// SRB_IO_CONTROL followed by SENDCMDINPARAMS / SENDCMDOUTPARAMS and one sector.
constexpr uint32_t MiniportRequestSize = 572;
constexpr uint32_t MiniportInDataOffset = 60;
constexpr uint32_t MiniportOutDataOffset = 44;

// STORAGE_PROPERTY_QUERY + STORAGE_PROTOCOL_SPECIFIC_DATA + 4096 bytes of protocol data.
constexpr uint32_t NvmeQuerySize = 4144;
constexpr uint32_t NvmeQueryDataOffset = 48;
// STORAGE_PROTOCOL_COMMAND + the 64-byte submission queue entry.
constexpr uint32_t NvmeCommandSize = 144;

constexpr uint32_t SectorSize = 512;
