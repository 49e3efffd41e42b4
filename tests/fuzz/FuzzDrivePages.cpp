// Arbitrary bytes as the pages a drive answers with, each taken by the program's interpreter on its
// own (a target per page kind, chosen when the target is built): the ATA IDENTIFY page; the
// S.M.A.R.T. value and threshold pages with the attribute naming, the verdicts and the condition; the
// NVMe Identify Controller page and health log. The input's first bytes are the pages, the rest the
// model and firmware texts the naming rules read, split at a line feed. Nothing may read outside a page.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "device/DriveRecord.h"
#include "discovery/AtaIdentify.h"
#include "smart/AttributeNames.h"
#include "smart/Condition.h"
#include "smart/NvmeHealth.h"
#include "smart/SmartData.h"
#include "smart/WorkedHours.h"

namespace {

struct Input {
    const uint8_t* data;
    size_t size;
    size_t at = 0;
    template <size_t N>
    void Fill(uint8_t (&page)[N]) {
        const size_t taken = std::min(N, size - at);
        std::memcpy(page, data + at, taken);
        at += taken;
    }
    std::string Rest() { return std::string(reinterpret_cast<const char*>(data + at), size - at); }
};

// The model up to a line feed, the firmware after it.
void NameTheDrive(DriveRecord& drive, Input& in) {
    const std::string rest = in.Rest();
    const size_t split = std::min(rest.find('\n'), rest.size());
    drive.Model = rest.substr(0, split);
    drive.FirmwareVersion = rest.substr(std::min(split + 1, rest.size()));
}

#if defined(FUZZ_ATA_IDENTIFY)
void Interpret(DriveRecord& drive, Input& in) {
    in.Fill(drive.IdentifyData);
    InterpretAtaIdentify(drive);
    AtaText(drive.IdentifyData, 500, 40);
}
#elif defined(FUZZ_SMART_PAGES)
void Interpret(DriveRecord& drive, Input& in) {
    in.Fill(drive.SmartData);
    in.Fill(drive.SmartThresholds);
    NameTheDrive(drive, in);
    drive.IsSSD = drive.SmartData[511] & 1;
    drive.AttributeFamily = drive.SmartThresholds[511];
    for (unsigned i = 0; i < CountAttributes(drive); ++i) {
        NameAttribute(drive, i);
        ClassifyAttribute(drive, i);
        RawValue(drive, i);
        FormatRawHex(drive, i);
        FormatAttributeFlags(drive, i);
    }
    EvaluateCondition(drive);
    ConditionText(drive);
    ConditionAdvice(drive);
}
#elif defined(FUZZ_NVME_PAGES)
void Interpret(DriveRecord& drive, Input& in) {
    drive.IsNVMe = true;
    in.Fill(drive.SmartData);
    in.Fill(drive.NVMeIdentifyController);
    NameTheDrive(drive, in);
    ExtractNvmeHealthValues(drive);
    NvmeHealthValues(drive);
    NvmeCriticalWarningTexts(drive);
    NvmeVersion(drive);
    EvaluateCondition(drive);
    uint32_t hours = 0;
    WorkedHours(drive, hours);
}
#endif

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    DriveRecord drive;
    Input in{data, size};
    Interpret(drive, in);
    return 0;
}
