#include "smart/NvmeHealth.h"

#include "protocol/Bytes.h"
#include "device/TIOCTL.h"

namespace {


// Fields of the health log as the report lists them. MinVersion is the NVMe version (major x 10 +
// minor) that defined the field; OnlyWhenSet fields are left out while they read 0.
struct HealthField {
    uint16_t Offset;
    uint8_t Size;
    uint8_t MinVersion;
    bool OnlyWhenSet;
    const char* Label;
};

const HealthField HealthFields[] = {
    {0, 1, 0, false, "Critical Warning"},
    {1, 2, 0, false, CompositeTemperatureLabel},
    {3, 1, 0, false, "Available Spare"},
    {4, 1, 0, false, "Available Spare Threshold"},
    {5, 1, 0, false, "Percentage Used"},
    {6, 1, 14, false, "Endurance Group Critical Warning Summary"},
    {32, 4, 0, false, "Data Units Read"},
    {48, 4, 0, false, "Data Units Written"},
    {64, 4, 0, false, "Host Read Commands"},
    {80, 4, 0, false, "Host Write Commands"},
    {96, 4, 0, false, "Controller Busy Time"},
    {112, 4, 0, false, "Power Cycles"},
    {128, 4, 0, false, "Power On Hours"},
    {144, 4, 0, false, "Unsafe Shutdowns"},
    {160, 4, 0, false, "Media and Data Integrity Errors"},
    {176, 4, 0, false, "Number of Error Information Log Entries"},
    {192, 4, 12, false, "Warning Composite Temperature Time"},
    {196, 4, 12, false, "Critical Composite Temperature Time"},
    {200, 2, 12, true, "Temperature Sensor 1"},
    {202, 2, 12, true, "Temperature Sensor 2"},
    {204, 2, 12, true, "Temperature Sensor 3"},
    {206, 2, 12, true, "Temperature Sensor 4"},
    {208, 2, 12, true, "Temperature Sensor 5"},
    {210, 2, 12, true, "Temperature Sensor 6"},
    {212, 2, 12, true, "Temperature Sensor 7"},
    {214, 2, 12, true, "Temperature Sensor 8"},
    {216, 4, 13, false, "Thermal Management Temperature 1 Transition Count"},
    {220, 4, 13, false, "Thermal Management Temperature 2 Transition Count"},
    {224, 4, 13, false, "Total Time For Thermal Management Temperature 1"},
    {228, 4, 13, false, "Total Time For Thermal Management Temperature 2"},
};

struct WarningText {
    uint8_t Byte;
    uint8_t Bit;
    const char* Text;
};

const WarningText CriticalWarnings[] = {
    {0, 0, "The available spare capacity has fallen below the threshold!"},
    {0, 1, "The temperature has exceeded a critical threshold!"},
    {0, 2, "The device reliability has been degraded due to significant errors!"},
    {0, 3, "The media has been placed in read only mode!"},
    {0, 4, "The volatile memory backup device has failed!"},
    {0, 5, "The Persistent Memory Region has become read-only or unreliable!"},
    {6, 0, "The available spare capacity of Endurance Groups has fallen below the threshold!"},
    {6, 2, "The reliability of Endurance Groups has been degraded due to significant errors!"},
    {6, 3, "The namespaces in Endurance Groups have been placed in read only mode!"},
};

// The endurance-group summary (byte 6) came with NVMe 1.4.
constexpr unsigned EnduranceGroupVersion = 14;

uint32_t FieldValue(const uint8_t* log, const HealthField& f) {
    switch (f.Size) {
        case 1: return log[f.Offset];
        case 2: return Get16(log, f.Offset);
        default: return Get32(log, f.Offset);
    }
}

}  // namespace

// The log gives Kelvin; a reading outside 0..121 °C (0 K included) is no temperature rather than an
// impossible one that would raise alerts and show in the tray.
uint8_t KelvinToCelsius(uint32_t kelvin) {
    return kelvin < 273 || kelvin > 394 ? 0 : static_cast<uint8_t>(kelvin - 273);
}

void ExtractNvmeHealthValues(DriveRecord& d) {
    d.Temperature = KelvinToCelsius(Get16(d.SmartData, 1));
    d.PowerTime = Get32(d.SmartData, 128);
    d.PowerCycleCount = Get32(d.SmartData, 112);
}

unsigned NvmeVersion(const DriveRecord& d) {
    const unsigned major = Get16(d.NVMeIdentifyController, 82);
    const unsigned minor = d.NVMeIdentifyController[81];
    return major * 10 + minor;
}

std::vector<NvmeHealthValue> NvmeHealthValues(const DriveRecord& d) {
    const unsigned version = NvmeVersion(d);
    std::vector<NvmeHealthValue> values;
    for (const HealthField& f : HealthFields) {
        if (version < f.MinVersion) continue;
        const uint32_t value = FieldValue(d.SmartData, f);
        if (f.OnlyWhenSet && value == 0) continue;
        values.push_back({f.Label, value});
    }
    return values;
}

std::vector<std::string> NvmeCriticalWarningTexts(const DriveRecord& d, size_t logByte) {
    const bool enduranceGroups = NvmeVersion(d) >= EnduranceGroupVersion;
    std::vector<std::string> texts;
    for (const WarningText& w : CriticalWarnings) {
        if (w.Byte != logByte || (w.Byte == 6 && !enduranceGroups)) continue;
        if (Bit(d.SmartData[w.Byte], w.Bit)) texts.push_back(w.Text);
    }
    return texts;
}

std::vector<std::string> NvmeCriticalWarningTexts(const DriveRecord& d) {
    std::vector<std::string> texts = NvmeCriticalWarningTexts(d, 0);
    for (std::string& text : NvmeCriticalWarningTexts(d, 6)) texts.push_back(std::move(text));
    return texts;
}

bool ReadNvmeSelfTestLog(DriveRecord& d, NvmeSelfTestLog& log) {
    AtaTaskFile tf;
    tf.Command = ATA_SMART;
    tf.Features = SMART_READ_LOG;
    tf.SectorNumber = NvmeSelfTestLogPage;
    uint8_t page[NvmeSelfTestLogSize] = {};
    if (!ExecuteCommand(d, tf, page, sizeof page)) return false;
    log.Running = (page[0] & 0x0F) != 0;
    log.NewestResult = page[4] & 0x0F;
    log.NewestCode = page[4] >> 4;
    return true;
}

SelfTestOutcome NvmeSelfTestOutcome(uint8_t result) {
    if (result == 0) return SelfTestOutcome::Passed;
    if ((result >= 1 && result <= 4) || result == 8 || result == 9) return SelfTestOutcome::Interrupted;
    return SelfTestOutcome::Failed;
}
