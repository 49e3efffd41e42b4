#include "drivetools/SelfTest.h"

#include "device/TIOCTL.h"
#include "monitor/Monitor.h"
#include "platform/Time.h"
#include "protocol/Ata.h"

namespace {

// The controller driver that never lets a self-test through.
constexpr char BlockingDriver[] = "Samsung NVMe Controller";
constexpr uint8_t TimeTooLongForItsByte = 255;

}  // namespace

std::string SelfTestDurationText(const DriveRecord& d, SelfTestKind kind) {
    if (!d.SelfTestSupport) return " - ?";
    if (kind == SelfTestKind::Short) return " - " + std::to_string(d.ShortSelfTestTime);
    if (d.ExtendedSelfTestTime == TimeTooLongForItsByte) return " > 255";
    return " - " + std::to_string(d.ExtendedSelfTestTime);
}

SelfTestStart StartSelfTest(DriveRecord& d, SelfTestKind kind) {
    DriveWriter writer(d);
    if (d.HostAdapter == BlockingDriver) return SelfTestStart::BlockingDriver;
    if (d.ShortSelfTestRunning || d.ExtendedSelfTestRunning) return SelfTestStart::AlreadyRunning;
    const AtaTaskFile tf = SmartTaskFile(SMART_EXECUTE_OFFLINE, 0, static_cast<uint8_t>(kind));
    if (!CanCarry(d, tf)) return SelfTestStart::NotThroughBridge;
    RandomBlockRead(d);
    if (ExecuteCommand(d, tf)) {
        (kind == SelfTestKind::Short ? d.ShortSelfTestRunning : d.ExtendedSelfTestRunning) = true;
        d.SelfTestStartTick = platform::GetTickCount();
        return SelfTestStart::Started;
    }
    return SelfTestThrottled.exchange(false) ? SelfTestStart::Throttled : SelfTestStart::Failed;
}
