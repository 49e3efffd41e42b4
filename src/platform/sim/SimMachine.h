// The simulated machine: drives that decode the exact request buffers of every access method and
// answer as drives behind that driver stack would, with fault injection and command counters.
// Tests, the headless runner and the fuzz target build or load one and install it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "protocol/Ata.h"
#include "platform/sim/SimClock.h"
#include "platform/sim/SimPower.h"
#include "platform/sim/SimSmart.h"

namespace sim {

enum class FaultKind {
    Refuse,       // DeviceIoControl fails
    FailFirst,    // the first `count` matching requests fail, later ones go through
    NoData,       // success, bytes returned, but the data area is left untouched
    ErrorStatus,  // success with the method's error status (ATA ERR+DRQ, IDE ERR, driver error, ...)
    ZeroBytes,    // success with 0 bytes returned
};

// A fault on one access method, optionally only for one command (and S.M.A.R.T. subcommand).
struct Fault {
    AccessMethod method = AccessMethod::ATA;
    int command = -1;   // -1: every command
    int features = -1;  // -1: every subcommand
    FaultKind kind = FaultKind::Refuse;
    unsigned count = 0;  // FailFirst: how many requests fail
    unsigned seen = 0;   // FailFirst: matching requests so far
};

// What the operating system answers when asked whether TRIM is enabled for a drive.
enum class TrimState { Disabled, Enabled, Refused };

// A device above the drives in the device tree (a controller, a channel, a hub, a USB bridge),
// found by its instance identifier. An empty text or a negative address: the property cannot be read.
struct DeviceNode {
    std::string InstanceId;
    std::string Parent;      // the parent's instance identifier
    std::string Enumerator;  // DEVPKEY_Device_EnumeratorName: "PCI", "PCIIDE", "USB", "ACPI", ...
    int Address = -1;        // DEVPKEY_Device_Address
    std::string DriverDesc;
    std::vector<std::string> HardwareIds;
    std::string MatchingDeviceId;
    bool PciExpress = false;  // the four link properties exist
    uint32_t MaxLinkSpeed = 0, MaxLinkWidth = 0, CurrentLinkSpeed = 0, CurrentLinkWidth = 0;
};

struct DiskExtent {
    uint32_t DiskNumber = 0;
    uint64_t StartingOffset = 0;
    uint64_t Length = 0;
};

// A volume with a drive letter, opened as \\.\C: and asked for its disk extents; one without
// extents (an optical drive with no disc) fails that request.
struct Volume {
    char Letter = 'C';
    std::vector<DiskExtent> Extents;
    bool Opens = true;
};

// One request as the drive decoded it.
struct Request {
    AccessMethod method;
    uint32_t ioControlCode;
    AtaTaskFile taskFile;
};

// The methods that are a USB bridge chip's own command blocks, sent inside the SCSI pass-through.
inline bool IsBridgeProtocol(AccessMethod m) {
    return IsNvmeTunnel(m) || m == AccessMethod::JMicron || m == AccessMethod::Prolific ||
           m == AccessMethod::Sunplus || m == AccessMethod::Cypress;
}

// What a USB bridge chip keeps between the requests it is sent.
struct BridgeMemory {
    // JMicron NVMe: the 512-byte command block of the last phase 1, until a phase 2 runs it, and the
    // completion that phase 2 left for phase 3 (status 0: success).
    std::vector<uint8_t> Command;
    bool Completed = false;
    uint32_t Result = 0, Status = 0;
    // Prolific, Sunplus, Cypress: the output registers of the last ATA command, which the host reads
    // back with a command of its own.
    AtaTaskFile Registers;
    // Realtek: its transfer buffer as the last reply left it; a log read refills only its first 0x200
    // bytes. Bytes no reply ever wrote read as RealtekPowerUpByte.
    std::vector<uint8_t> Buffer;
};
constexpr uint8_t RealtekPowerUpByte = 0xA5;

struct Drive {
    std::string DevicePath;    // its interface path in the disk class
    std::string Storage2Path;  // its interface path in the second class
    bool InDiskClass = true;
    bool InStorage2Class = false;
    std::string Parent;  // parent instance identifier; empty: the property cannot be read
    bool Opens = true;
    bool Removed = false;  // taken out of the machine: no longer listed, opened or answering
    int Address = -1;    // DEVPKEY_Device_Address of the drive; negative: the property cannot be read
    // IOCTL_STORAGE_GET_DEVICE_NUMBER: the disk number (negative: the drive's index in the machine),
    // or a refusal.
    int DeviceNumber = -1;
    bool DeviceNumberRefused = false;
    TrimState Trim = TrimState::Disabled;

    std::vector<uint8_t> Identify;         // 512 bytes
    std::vector<uint8_t> SmartData;        // 512 bytes
    std::vector<uint8_t> SmartThresholds;  // 512 bytes
    std::map<uint8_t, std::vector<uint8_t>> Logs;  // READ LOG pages by address; the directory is derived
    bool SmartEnabled = true;

    // NVMe drives: Identify pages, log pages by identifier (0x02 health, 0x06 self-test), Get Features
    // results (the completion's dword 0, and data for features that return some, like 0x0D).
    std::vector<uint8_t> NvmeIdentifyController;                 // 4096 bytes
    std::map<uint32_t, std::vector<uint8_t>> NvmeNamespaces;     // Identify Namespace by identifier
    std::map<uint8_t, std::vector<uint8_t>> NvmeLogs;
    std::map<uint8_t, uint32_t> NvmeFeatures;
    std::map<uint8_t, std::vector<uint8_t>> NvmeFeatureData;
    unsigned NvmeThrottledSelfTests = 0;  // self-test requests answered "throttled" before one is taken
    std::vector<uint32_t> NvmeSelfTests;  // self-test codes the drive started

    // S.M.A.R.T. values over time, the SCT engine and the running self-tests (SimSmart.h).
    SmartAging Aging;
    SctEngine Sct;
    NvmeSelfTestRun NvmeSelfTest;
    AtaSelfTestRun AtaSelfTest;

    // Power state, raw reads and the events scripted for it on the timeline, in the order given
    // (SimPower.h).
    PowerModel Power;
    RawDisk Raw;
    std::vector<TimelineEvent> Events;
    std::vector<std::vector<uint8_t>> DamagedPages;  // value pages the next reads return instead, in order

    std::vector<AccessMethod> Methods;  // what its driver stack accepts
    // The USB bridge chip in front of the drive, which decodes every SCSI pass-through command block
    // (SimBridges.cpp). SAT: a plain SAT bridge, or none. The pass-through itself reaches the drive
    // only when Methods holds SAT; the block's own method (which faults and counters name) is the one
    // its bytes say the sender meant.
    AccessMethod Bridge = AccessMethod::SAT;
    BridgeMemory BridgeState;
    std::vector<Fault> Faults;

    // Counters and recorders.
    std::map<AccessMethod, unsigned> Requests;  // every request that reached the drive, per method
    std::vector<Request> History;               // decoded requests, in order
    std::vector<uint8_t> LastInput;             // the input buffer of the last request, as sent
    std::vector<std::vector<uint8_t>> Written;  // data of every WRITE LOG the drive accepted
    // Commands that would hurt a real drive or its bridge (an ATA reset through a SATA bridge, a log
    // read that hangs the bridge): the world counts them; each leaves the drive gone for a while.
    unsigned HazardousCommands = 0;

    unsigned RequestCount() const;
    bool Accepts(AccessMethod method) const;
};

// A test sends WM_DEVICECHANGE with a pointer to a platform::DeviceBroadcast as lParam.

// A window asked to hear of the removal of the device an open handle is on.
struct HandleNotification {
    std::uintptr_t Window = 0;
    std::uintptr_t Device = 0;
    bool operator==(const HandleNotification& o) const { return Window == o.Window && Device == o.Device; }
};

// What happens to the whole machine when the timeline reaches AtMilliseconds. The program's runner
// delivers them: power broadcasts to the program, Explorer's restart, the program ended (as a user
// exits it or the machine shuts down) and started again, a USB disk's safe removal.
enum class SystemEventKind {
    Suspend,           // PBT_APMSUSPEND
    Resume,            // PBT_APMRESUMESUSPEND: the user woke the machine
    ResumeAutomatic,   // PBT_APMRESUMEAUTOMATIC alone: a timer or the network woke it
    ExplorerRestart,   // every tray entry gone, "TaskbarCreated" broadcast
    ProgramExit,       // the program's process ends
    ProgramStart,      // the program is started again (logon)
    RemoveDrive,       // the user asks to remove drive `Drive` safely
    HoldBoxes,         // the user leaves every new box open for `Value` minutes (0: answers at once again)
    StartSelfTest,     // the user starts drive `Drive`'s self-test, `Value` 1 short, 2 extended
};

struct SystemEvent {
    uint64_t AtMilliseconds = 0;
    SystemEventKind Kind = SystemEventKind::Suspend;
    size_t Drive = 0;            // the drive's index in the machine, for the events that name one
    uint32_t Value = 0;
    uint64_t EveryMilliseconds = 0;  // again this often, to the end of the timeline; 0: once
};

// An alert the script says the program owes the user: drive `Drive`'s box of this kind, due at
// AtMilliseconds (or at the next start when the program is not running then).
struct ExpectedAlert {
    uint64_t AtMilliseconds = 0;
    size_t Drive = 0;
    std::string Kind;  // remap, pre-failure, non-critical, temperature, lost, self-test-passed,
                       // self-test-interrupted, self-test-failed
};

struct Machine {
    std::vector<Drive> Drives;
    std::vector<HandleNotification> Notifications;  // handle notifications, in the order registered
    std::vector<std::uintptr_t> InterfaceNotifications;  // windows registered for disk arrivals and removals
    std::vector<DeviceNode> Devices;            // the device tree above the drives
    std::vector<Volume> Volumes;
    uint32_t PageSize = 4096;                   // memory page size GetSystemInfo reports
    uint32_t NumberOfProcessors = 4;            // logical processors GetSystemInfo reports
    std::vector<SystemEvent> SystemEvents;      // in the order given
    std::vector<ExpectedAlert> ExpectedAlerts;  // in the order given
    unsigned DialogMinutes = 0;                 // how long the user takes over each dialog
};

// The installed machine; the platform's storage calls act on it.
Machine& Current();
// Installs a machine (closing every handle of the one before).
void Install(Machine machine);

// The built-in machine a newcomer sees: a SATA hard disk, a SATA SSD (also listed under the second
// interface class), a parallel-ATA disk, a disk reachable only through the legacy requests, an NVMe
// SSD and a disk behind a USB bridge; their controllers, and volumes on them (one spanning two disks).
Machine DefaultMachine();
// The built-in machine with eight hours scripted on its timeline: the SATA hard disk remaps sectors
// at minutes 30 and 45, the SATA SSD sleeps from minute 90 to 150, the USB disk warms to 61 °C (above
// its limit) at minute 200, the last SSD's value page goes wrong at 300, the legacy-only disk stops answering at
// 400, and the machine sleeps from minute 420 to 450. The remaps, the heat and the lost disk are
// owed their alerts.
Machine DefaultMachineDay();

// Reads a machine description; paths of page files are relative to the description's folder.
// On failure `error` says which line and why.
bool LoadMachineFile(const std::string& path, Machine& machine, std::string& error);

// The user asks to eject drive `driveIndex` of the installed machine (safe removal), as Windows does
// it: every window registered for a handle notification on one of the drive's open handles gets
// WM_DEVICECHANGE DBT_DEVICEQUERYREMOVE (a DBT_DEVTYP_HANDLE broadcast). If a handle of the drive is
// still open afterwards the removal is refused: those windows get DBT_DEVICEQUERYREMOVEFAILED and the
// result is false. Otherwise the drive is removed (no longer listed, opened or answering), every window
// registered for disk interface notifications gets DBT_DEVICEREMOVECOMPLETE (a DBT_DEVTYP_DEVICEINTERFACE
// broadcast) and the result is true. No message is sent while the machine is locked. It speaks to the
// program's windows, so it is built with the simulated windowing (korvante_sim_ui).
bool RequestDeviceRemoval(size_t driveIndex);

// Hazardous commands over every drive of the installed machine (Drive::HazardousCommands).
unsigned HazardousCommandTotal();

// Number of handles open on the installed machine.
unsigned OpenHandleCount();

// Lets a hook rewrite every reply after the drive answered (the fuzz target's arbitrary drive): it
// gets the control code, the drive's result, the output buffer and the byte count, and returns the
// result DeviceIoControl reports.
using ReplyHook =
    std::function<bool(uint32_t code, bool result, uint8_t* out, uint32_t outSize, uint32_t& bytesReturned)>;
void SetReplyHook(ReplyHook hook);

// Lets a hook rewrite every page a drive delivers into a data area (a fuzz target's drive pages):
// ATA data-in commands and the NVMe Identify, log and feature data, with the bytes delivered.
using PageHook = std::function<void(uint8_t* page, uint32_t bytes)>;
void SetPageHook(PageHook hook);

}  // namespace sim
