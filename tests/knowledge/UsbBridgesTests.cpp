// USB bridges by their id: the hardware identifier read back into numbers, and the bridge the table
// picks, the JMicron NVMe id told apart from the SATA adapters that share it by release alone.
#include <gtest/gtest.h>

#include "knowledge/UsbBridges.h"

using M = AccessMethod;

TEST(UsbBridges, HardwareIdentifiersReadAsWindowsWritesThem) {
    const struct {
        const char* id;
        bool read;
        uint16_t vendor, product, release;
    } cases[] = {
        {"USB\\VID_174C&PID_2362&REV_0100", true, 0x174C, 0x2362, 0x0100},
        {"usb\\vid_0bda&pid_9210&rev_2001", true, 0x0BDA, 0x9210, 0x2001},
        {"USB\\VID_152D&PID_0583", true, 0x152D, 0x0583, 0},
        {"USB\\VID_152D&PID_058", false},
        {"USB\\VID_152D&PID_0583&REV_04", false},
        {"USB\\VID_152D&PID_0583&REV_0414&MI_00", false},
        {"USB\\VID_G52D&PID_0583", false},
        {"USBSTOR\\DISK&VEN_JMICRON", false},
        {"", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        UsbDeviceId id{1, 2, 3};
        ASSERT_EQ(ParseUsbHardwareId(c.id, id), c.read);
        if (!c.read) {
            EXPECT_EQ(id.Vendor, 1) << "left as it was";
            continue;
        }
        EXPECT_EQ(id.Vendor, c.vendor);
        EXPECT_EQ(id.Product, c.product);
        EXPECT_EQ(id.Release, c.release);
        if (c.release && std::string(c.id).rfind("USB\\", 0) == 0) EXPECT_EQ(UsbHardwareId(id), c.id) << "written back";
    }
}

TEST(UsbBridges, TheTablePicksTheBridgeByIdAndRelease) {
    const struct {
        UsbDeviceId id;
        const char* name;  // null: not in the table
        M method;
        bool orSata;
    } cases[] = {
        {{0x152D, 0x0583, 0x0205}, "JMicron JMS583", M::JMicronNVMe, false},
        {{0x152D, 0x0583, 0x0414}, "JMicron JMS583 (SATA adapter)", M::SAT, false},
        {{0x152D, 0x0583, 0x3202}, "JMicron JMS583 (SATA adapter)", M::SAT, false},
        {{0x152D, 0x0583, 0x9128}, "JMicron JMS583 (SATA adapter)", M::SAT, false},
        {{0x152D, 0x0581, 0x0100}, "JMicron JMS581", M::JMicronNVMe, true},
        {{0x174C, 0x2362, 0x0100}, "ASMedia ASM2362", M::ASMedia, false},
        {{0x0BDA, 0x9210, 0x2001}, "Realtek RTL9210", M::Realtek, false},
        {{0x067B, 0x2773, 0x0100}, "Prolific PL2773", M::Prolific, false},
        {{0x152D, 0x0578, 0x0209}, "JMicron JMS578", M::SAT, false},
        {{0x1234, 0x5678, 0x0001}, nullptr, M::SAT, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(UsbIdText(c.id));
        const UsbBridgeRow* row = FindUsbBridge(c.id);
        ASSERT_EQ(row != nullptr, c.name != nullptr);
        if (!row) continue;
        EXPECT_STREQ(row->Name, c.name);
        EXPECT_EQ(row->Method, c.method);
        EXPECT_EQ(row->OrSata, c.orSata);
    }
    EXPECT_EQ(UsbIdText({0x174C, 0x2362, 0x0100}), "174C:2362, release 0100");
}
