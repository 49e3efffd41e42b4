// The NVMe health log: its values, what the controller's version shows, the critical-warning texts,
// the temperature in Kelvin, and the Device Self-test log while a test runs.
#include <gtest/gtest.h>

#include <algorithm>

#include "TestMachine.h"
#include "protocol/Bytes.h"
#include "smart/Condition.h"
#include "smart/NvmeHealth.h"

namespace {

DriveRecord Nvme(uint32_t version) {
    DriveRecord d;
    d.IsNVMe = true;
    Put32(d.NVMeIdentifyController, 80, version);
    return d;
}

bool Shows(const DriveRecord& d, const std::string& label) {
    const std::vector<NvmeHealthValue> values = NvmeHealthValues(d);
    return std::any_of(values.begin(), values.end(), [&](const NvmeHealthValue& v) { return v.Label == label; });
}

uint32_t ValueOf(const DriveRecord& d, const std::string& label) {
    for (const NvmeHealthValue& v : NvmeHealthValues(d))
        if (v.Label == label) return v.Value;
    ADD_FAILURE() << label << " is not shown";
    return 0;
}

TEST(NvmeHealth, ValuesFromTheLowBitsOfTheirFields) {
    DriveRecord d = Nvme(0x00010300);
    d.SmartData[5] = 2;
    Put64(d.SmartData, 32, 0x100000007ULL);  // 16-byte counters: their low 32 bits are used
    Put64(d.SmartData, 112, 0x200000200ULL);
    Put64(d.SmartData, 128, 0x100003039ULL);
    Put16(d.SmartData, 1, 0x0140);
    EXPECT_EQ(ValueOf(d, "Percentage Used"), 2u);
    EXPECT_EQ(ValueOf(d, "Data Units Read"), 7u);
    EXPECT_EQ(ValueOf(d, "Composite Temperature"), 320u);  // shown in Kelvin, as the drive gives it
    ExtractSmartValues(d);
    EXPECT_EQ(d.Temperature, 47);
    EXPECT_EQ(d.PowerCycleCount, 0x200u);
    EXPECT_EQ(d.PowerTime, 12345u);
}

TEST(NvmeHealth, AnImpossibleKelvinReadingIsNoTemperature) {
    // From the low byte alone, 0 K and 256 K would read as 239 °C and 528 K as 255 °C.
    const std::pair<uint16_t, uint8_t> cases[] = {{0x0143, 50}, {394, 121}, {395, 0},  {273, 0},
                                                  {272, 0},     {0, 0},     {256, 0},  {528, 0}};
    for (const auto& c : cases) {
        DriveRecord d = Nvme(0x00010300);
        Put16(d.SmartData, 1, c.first);
        d.Temperature = 33;
        ExtractSmartValues(d);
        EXPECT_EQ(d.Temperature, c.second) << c.first << " K";
    }
}

TEST(NvmeHealth, TheControllersVersionDecidesWhatIsShown) {
    EXPECT_EQ(NvmeVersion(Nvme(0x00010201)), 12u) << "the tertiary version does not count";
    EXPECT_EQ(NvmeVersion(Nvme(0x00020000)), 20u);
    DriveRecord d = Nvme(0x00010100);
    Put16(d.SmartData, 200, 311);  // sensors 1, 2 and 8 report
    Put16(d.SmartData, 202, 305);
    Put16(d.SmartData, 214, 300);
    d.SmartData[6] = 0x01;
    EXPECT_FALSE(Shows(d, "Warning Composite Temperature Time"));
    EXPECT_FALSE(Shows(d, "Temperature Sensor 1"));
    EXPECT_TRUE(Shows(d, "Number of Error Information Log Entries"));

    Put32(d.NVMeIdentifyController, 80, 0x00010200);
    EXPECT_TRUE(Shows(d, "Critical Composite Temperature Time"));
    EXPECT_EQ(ValueOf(d, "Temperature Sensor 2"), 305u);
    for (int k = 3; k <= 7; ++k) EXPECT_FALSE(Shows(d, "Temperature Sensor " + std::to_string(k)));
    EXPECT_EQ(ValueOf(d, "Temperature Sensor 8"), 300u);
    EXPECT_FALSE(Shows(d, "Total Time For Thermal Management Temperature 1"));

    Put32(d.NVMeIdentifyController, 80, 0x00010300);
    EXPECT_TRUE(Shows(d, "Thermal Management Temperature 2 Transition Count"));
    EXPECT_FALSE(Shows(d, "Endurance Group Critical Warning Summary"));
    EXPECT_TRUE(NvmeCriticalWarningTexts(d).empty()) << "the summary's texts need 1.4 as well";

    Put32(d.NVMeIdentifyController, 80, 0x00010400);
    EXPECT_EQ(ValueOf(d, "Endurance Group Critical Warning Summary"), 1u);
    EXPECT_EQ(NvmeCriticalWarningTexts(d).size(), 1u);
}

TEST(NvmeHealth, CriticalWarningTexts) {
    DriveRecord d = Nvme(0x00010400);
    d.SmartData[0] = 0x04;
    EXPECT_EQ(NvmeCriticalWarningTexts(d),
              std::vector<std::string>{"The device reliability has been degraded due to significant errors!"});
    EvaluateCondition(d);
    EXPECT_STREQ(ConditionText(d), "pre-failure");
    d.SmartData[0] = 0xC0;  // bits without a text
    EXPECT_TRUE(NvmeCriticalWarningTexts(d).empty());

    d.SmartData[0] = 0x3F;
    d.SmartData[6] = 0xFF;
    const std::vector<std::string> all = NvmeCriticalWarningTexts(d);
    ASSERT_EQ(all.size(), 9u);
    EXPECT_EQ(all[0], "The available spare capacity has fallen below the threshold!");
    EXPECT_EQ(all[5], "The Persistent Memory Region has become read-only or unreliable!");
    EXPECT_EQ(all[8], "The namespaces in Endurance Groups have been placed in read only mode!");

    d.SmartData[0] = 0;
    EvaluateCondition(d);
    EXPECT_FALSE(d.PreFailure) << "only byte 0 decides the condition";
}

TEST_F(MachineTest, TheSelfTestLogFollowsARunningTest) {
    sim::Machine m = sim::DefaultMachine();
    m.Drives = {m.Drives[4]};
    Install(std::move(m));
    DriveRecord d = testmachine::OpenRecord(0, false, true);
    const auto start = [&d](uint8_t code) { return ExecuteCommand(d, SmartTaskFile(SMART_EXECUTE_OFFLINE, 0, code)); };
    NvmeSelfTestLog log{};

    ASSERT_TRUE(start(1));
    sim::PassTime(60);
    ASSERT_TRUE(ReadNvmeSelfTestLog(d, log));
    EXPECT_TRUE(log.Running);
    EXPECT_EQ(Drive(0).NvmeLogs[0x06][1], 50) << "half done";
    sim::PassTime(60);
    ASSERT_TRUE(ReadNvmeSelfTestLog(d, log));
    EXPECT_FALSE(log.Running);
    EXPECT_EQ(log.NewestCode, 1);
    EXPECT_EQ(NvmeSelfTestOutcome(log.NewestResult), SelfTestOutcome::Passed);

    Drive(0).NvmeSelfTest.EndsWith = 7;  // a failed segment
    ASSERT_TRUE(start(2));
    sim::PassTime(24 * 3600);
    ASSERT_TRUE(ReadNvmeSelfTestLog(d, log));
    EXPECT_EQ(log.NewestCode, 2);
    EXPECT_EQ(NvmeSelfTestOutcome(log.NewestResult), SelfTestOutcome::Failed);
    EXPECT_EQ(Drive(0).NvmeLogs[0x06][4 + 28], 0x10) << "the short test's entry moved down";

    ASSERT_TRUE(start(1));
    ASSERT_TRUE(start(0xF));  // aborted
    ASSERT_TRUE(ReadNvmeSelfTestLog(d, log));
    EXPECT_FALSE(log.Running);
    EXPECT_EQ(NvmeSelfTestOutcome(log.NewestResult), SelfTestOutcome::Interrupted);
    EXPECT_EQ(NvmeSelfTestOutcome(9), SelfTestOutcome::Interrupted) << "aborted by a sanitize";
    EXPECT_EQ(NvmeSelfTestOutcome(5), SelfTestOutcome::Failed);

    Drive(0).Faults.push_back({AccessMethod::NVMe, 0xB0, 0xD5, sim::FaultKind::Refuse, 0});
    EXPECT_FALSE(ReadNvmeSelfTestLog(d, log));
}

}  // namespace
