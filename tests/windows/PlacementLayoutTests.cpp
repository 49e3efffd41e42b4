// The requests and replies of the drive placement read through the structures of the Windows
// headers: STORAGE_DEVICE_NUMBER, VOLUME_DISK_EXTENTS, the TRIM property query and its
// DEVICE_TRIM_DESCRIPTOR, and the device property keys the placement reads.
//
// The program's own headers come first: several of their names are macros in the Windows headers.
#include "TestMachine.h"
#include "protocol/Bytes.h"
#include "device/DriveRecord.h"
#include "protocol/IoctlCodes.h"
#include "discovery/Placement.h"
#include "platform/Storage.h"
#include "platform/sim/SimMachine.h"

namespace ours {
constexpr uint32_t GetDeviceNumber = IOCTL_STORAGE_GET_DEVICE_NUMBER;
constexpr uint32_t GetVolumeDiskExtents = IOCTL_VOLUME_GET_VOLUME_DISK_EXTENTS;
constexpr uint32_t QueryProperty = IOCTL_STORAGE_QUERY_PROPERTY;
}  // namespace ours

#include <windows.h>
#include <ntddstor.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <vector>

// The property keys are defined here, after every other header (see SdkLayoutTests.cpp).
#include <initguid.h>
#include <winioctl.h>
#include <devpkey.h>
#include <pciprop.h>

#include "windows/PortableGuid.h"

namespace {

static_assert(sizeof(void*) == 4, "the Windows tests are built for i686");

template <class T>
T Overlay(const std::vector<uint8_t>& bytes) {
    T value;
    std::memset(&value, 0, sizeof value);
    std::memcpy(&value, bytes.data(), std::min(sizeof value, bytes.size()));
    return value;
}


sim::Volume VolumeOn(char letter, uint32_t disk) {
    sim::Volume v;
    v.Letter = letter;
    v.Extents = {{disk, 1048576, 1u << 30}};
    return v;
}

// One drive, disk 0, with C: on it and D: on disk 3; replies may be rewritten through the headers'
// structures.
class PlacementLayout : public MachineTest {
protected:
    void SetUp() override {
        MachineTest::SetUp();
        sim::Machine m;
        m.Drives = {testmachine::SataDrive("LAYOUT")};
        m.Drives[0].Trim = sim::TrimState::Enabled;
        m.Volumes = {VolumeOn('C', 0), VolumeOn('D', 3)};
        Install(std::move(m));
        drive = testmachine::OpenRecord(0);
    }
    void TearDown() override {
        sim::SetReplyHook(nullptr);
        MachineTest::TearDown();
    }
    template <class T>
    void ReplyTo(uint32_t code, const T& reply) {
        sim::SetReplyHook([code, reply](uint32_t c, bool result, uint8_t* out, uint32_t size, uint32_t& returned) {
            if (c != code) return result;
            std::memset(out, 0, size);
            std::memcpy(out, &reply, std::min<size_t>(sizeof reply, size));
            returned = sizeof reply;
            return true;
        });
    }
    DriveRecord drive;
};

TEST_F(PlacementLayout, StorageDeviceNumber) {
    EXPECT_EQ(ours::GetDeviceNumber, static_cast<uint32_t>(IOCTL_STORAGE_GET_DEVICE_NUMBER));
    EXPECT_EQ(sizeof(STORAGE_DEVICE_NUMBER), DeviceNumberSize);
    EXPECT_EQ(offsetof(STORAGE_DEVICE_NUMBER, DeviceNumber), DeviceNumberOffset);

    MapLogicalDrives(drive);
    EXPECT_EQ(drive.LogicalDrives, "C:");

    STORAGE_DEVICE_NUMBER number{};
    number.DeviceType = FILE_DEVICE_DISK;
    number.DeviceNumber = 3;
    number.PartitionNumber = 0;
    ReplyTo(IOCTL_STORAGE_GET_DEVICE_NUMBER, number);
    drive.LogicalDrives.clear();
    MapLogicalDrives(drive);
    EXPECT_EQ(drive.LogicalDrives, "D:");
}

TEST_F(PlacementLayout, VolumeDiskExtents) {
    EXPECT_EQ(ours::GetVolumeDiskExtents, static_cast<uint32_t>(IOCTL_VOLUME_GET_VOLUME_DISK_EXTENTS));
    EXPECT_EQ(sizeof(VOLUME_DISK_EXTENTS), VolumeExtentsSize);
    EXPECT_EQ(offsetof(VOLUME_DISK_EXTENTS, Extents), FirstExtentOffset);
    EXPECT_EQ(sizeof(DISK_EXTENT), DiskExtentSize);
    EXPECT_EQ(offsetof(DISK_EXTENT, DiskNumber), 0u);
    EXPECT_EQ(offsetof(DISK_EXTENT, StartingOffset), 8u);
    EXPECT_EQ(offsetof(DISK_EXTENT, ExtentLength), 16u);

    // Every volume answers through the structure that it lies on disk 0.
    VOLUME_DISK_EXTENTS extents{};
    extents.NumberOfDiskExtents = 1;
    extents.Extents[0].DiskNumber = 0;
    extents.Extents[0].StartingOffset.QuadPart = 1048576;
    extents.Extents[0].ExtentLength.QuadPart = 1LL << 30;
    ReplyTo(IOCTL_VOLUME_GET_VOLUME_DISK_EXTENTS, extents);
    MapLogicalDrives(drive);
    EXPECT_EQ(drive.LogicalDrives, "C: D:");

    extents.NumberOfDiskExtents = 2;  // spread over two extents: left out
    ReplyTo(IOCTL_VOLUME_GET_VOLUME_DISK_EXTENTS, extents);
    drive.LogicalDrives.clear();
    MapLogicalDrives(drive);
    EXPECT_EQ(drive.LogicalDrives, "");
}

TEST_F(PlacementLayout, TrimQueryAndDescriptor) {
    EXPECT_EQ(ours::QueryProperty, static_cast<uint32_t>(IOCTL_STORAGE_QUERY_PROPERTY));
    EXPECT_EQ(static_cast<uint32_t>(StorageDeviceTrimProperty), TrimPropertyId);
    EXPECT_EQ(static_cast<uint32_t>(PropertyStandardQuery), StandardQueryType);
    EXPECT_GE(TrimQuerySize, sizeof(STORAGE_PROPERTY_QUERY));
    EXPECT_EQ(sizeof(DEVICE_TRIM_DESCRIPTOR), TrimDescriptorSize);
    EXPECT_EQ(offsetof(DEVICE_TRIM_DESCRIPTOR, TrimEnabled), TrimEnabledOffset);

    drive.TRIM_Support = true;
    ReadTrimState(drive);
    EXPECT_TRUE(drive.TRIM_Enabled);
    const std::vector<uint8_t>& sent = Drive(0).LastInput;
    ASSERT_EQ(sent.size(), TrimQuerySize);
    const STORAGE_PROPERTY_QUERY query = Overlay<STORAGE_PROPERTY_QUERY>(sent);
    EXPECT_EQ(query.PropertyId, StorageDeviceTrimProperty);
    EXPECT_EQ(query.QueryType, PropertyStandardQuery);

    DEVICE_TRIM_DESCRIPTOR descriptor{};
    descriptor.Version = descriptor.Size = sizeof descriptor;
    descriptor.TrimEnabled = FALSE;
    ReplyTo(IOCTL_STORAGE_QUERY_PROPERTY, descriptor);
    ReadTrimState(drive);
    EXPECT_FALSE(drive.TRIM_Enabled);
    descriptor.TrimEnabled = TRUE;
    ReplyTo(IOCTL_STORAGE_QUERY_PROPERTY, descriptor);
    ReadTrimState(drive);
    EXPECT_TRUE(drive.TRIM_Enabled);
}

TEST(PlacementValues, DevicePropertyKeys) {
    const struct {
        const char* name;
        const platform::DevPropKey& ours;
        const DEVPROPKEY& sdk;
    } keys[] = {
        {"Address", platform::DEVPKEY_Device_Address, DEVPKEY_Device_Address},
        {"EnumeratorName", platform::DEVPKEY_Device_EnumeratorName, DEVPKEY_Device_EnumeratorName},
        {"DriverDesc", platform::DEVPKEY_Device_DriverDesc, DEVPKEY_Device_DriverDesc},
        {"HardwareIds", platform::DEVPKEY_Device_HardwareIds, DEVPKEY_Device_HardwareIds},
        {"MatchingDeviceId", platform::DEVPKEY_Device_MatchingDeviceId, DEVPKEY_Device_MatchingDeviceId},
        {"MaxLinkSpeed", platform::DEVPKEY_PciDevice_MaxLinkSpeed, DEVPKEY_PciDevice_MaxLinkSpeed},
        {"MaxLinkWidth", platform::DEVPKEY_PciDevice_MaxLinkWidth, DEVPKEY_PciDevice_MaxLinkWidth},
        {"CurrentLinkSpeed", platform::DEVPKEY_PciDevice_CurrentLinkSpeed, DEVPKEY_PciDevice_CurrentLinkSpeed},
        {"CurrentLinkWidth", platform::DEVPKEY_PciDevice_CurrentLinkWidth, DEVPKEY_PciDevice_CurrentLinkWidth},
    };
    for (const auto& k : keys) {
        SCOPED_TRACE(k.name);
        EXPECT_TRUE(k.ours.fmtid == Portable(k.sdk.fmtid));
        EXPECT_EQ(k.ours.pid, k.sdk.pid);
    }
}

}  // namespace
