// The report document (Report.h): the line primitives, one section per drive, and its renderings.
#include "ui/Report.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

#include "device/DiagnosticLog.h"
#include "device/DriveRecord.h"
#include "knowledge/GetValues.h"
#include "knowledge/VendorSite.h"
#include "protocol/Bytes.h"
#include "smart/AttributeNames.h"
#include "smart/Condition.h"
#include "smart/NvmeHealth.h"
#include "smart/SmartData.h"
#include "smart/WorkedHours.h"
#include "system/FileUtils.h"
#include "system/OSInfo.h"
#include "system/Settings.h"
#include "system/Utils.h"

namespace {

// The two bases of every link target: a page of the vendor's site, an article of the encyclopedia.
const std::string VendorPageBase = VendorAddress("/");
const char EncyclopediaBase[] = "https://en.wikipedia.org/wiki/";

std::string VendorPage(const char* file) { return VendorPageBase + file; }
std::string Article(const char* name) { return EncyclopediaBase + std::string(name); }

constexpr char Indentation[] = "   ";
// The name of an attribute slot the drive does not use.
constexpr char NotInUseName[] = "Not In Use";
constexpr char NoDriveMessage[] = "S.M.A.R.T. is not available! Please publish the KORVANTE data.";

// Transport codes of an ATA drive's bus.
constexpr uint8_t ParallelBus = 0;
constexpr uint8_t SerialBus = 1;
constexpr uint8_t PcieBus = 14;

// The extended self-test time is kept in a byte; 255 stands for that long or longer.
constexpr uint8_t LongestSelfTestTime = 255;
// The security erase time field's top value (510 minutes) means "longer than 508".
constexpr uint32_t LongestEraseTime = 510;

// The health log's thermal-management counters: transitions and total time per temperature.
constexpr size_t LightThrottlingEvents = 216, HeavyThrottlingEvents = 220;
constexpr size_t LightThrottlingTime = 224, HeavyThrottlingTime = 228;

// An unlinked piece on the same line joins the piece before it when that one is unlinked too, so the
// document stays one piece per run of plain text.
void Push(ReportDocument& doc, ReportPiece piece) {
    if (!piece.NewLine && piece.Link.empty() && !doc.Pieces.empty() && doc.Pieces.back().Link.empty()) {
        doc.Pieces.back().Text += piece.Text;
        return;
    }
    doc.Pieces.push_back(std::move(piece));
}

void Continue(ReportDocument& doc, const std::string& text) { Push(doc, {text, "", false}); }

// An unlinked indented line, the kind most of the expert sections are made of.
void AddLine(ReportDocument& doc, const std::string& text) { AddText(doc, "", true, text); }
void AddEmptyLine(ReportDocument& doc) { AddText(doc, "", false, ""); }
void AddHeading(ReportDocument& doc, const char* heading) {
    AddEmptyLine(doc);
    AddText(doc, "", false, heading);
}

// Publishing sends the expert report, with its own filters and logs.
bool Expert(const ReportDocument& doc) { return doc.Depth != ReportDepth::Normal; }
bool Publishing(const ReportDocument& doc) { return doc.Depth == ReportDepth::Publish; }

// The line is left out of the published text when the publish condition does not hold.
bool KeptInPublish(const ReportDocument& doc, bool condition) { return !Publishing(doc) || condition; }

bool OnParallelBus(const DriveRecord& d) { return !d.IsNVMe && d.Transport == ParallelBus; }
bool OnSerialBus(const DriveRecord& d) { return !d.IsNVMe && d.Transport == SerialBus; }
bool IsHardDisk(const DriveRecord& d) { return !d.IsSSD; }
bool ConditionEverFailed(const DriveRecord& d) { return d.PreFailure || d.WasPreFailure || d.Unreliable || d.WasUnreliable; }

std::string Temperature(uint8_t celsius) { return FormatTemperature(celsius, Settings.Fahrenheit); }

// A namespace page that was not read is all zero, and the sector sizes taken from it mean nothing.
bool NamespacePageRead(const DriveRecord& d) {
    return std::any_of(std::begin(d.NVMeIdentifyNamespace), std::end(d.NVMeIdentifyNamespace),
                       [](uint8_t byte) { return byte != 0; });
}

// ATA IDENTIFY word 82 bit 7: release interrupt, the mark of the overlapped command feature set.
bool CommandOverlapSupported(const DriveRecord& d) { return Bit(Word(d.IdentifyData, 82), 7); }

// --- Identity ---

void AddInterface(ReportDocument& doc, const DriveRecord& d) {
    struct Bus {
        uint8_t Code;
        const char* Name;
        std::string Link;
    };
    const Bus buses[] = {{ParallelBus, "PATA", VendorPage("bus.htm")},
                         {SerialBus, "SATA", VendorPage("sata.htm")},
                         {PcieBus, "PCIe", Article("PCI_Express")}};
    AddText(doc, "", false, "Interface - ");
    if (d.IsNVMe) {
        AddText(doc, Article("NVM_Express"), false, "NVMe", true);
        return;
    }
    for (const Bus& bus : buses)
        if (bus.Code == d.Transport) AddText(doc, bus.Link, false, bus.Name, true);
}

void AddIdentity(ReportDocument& doc, const DriveRecord& d) {
    AddValue(doc, "", false, "Trademark", true, d.Trademark);
    AddValue(doc, "", false, "Model", false, d.Model);
    AddValue(doc, "", false, "Serial number", false, d.SerialNumber);
    AddValue(doc, Article("Units_of_information#Systematic_multiples"), false, "Capacity", false,
             SizeText(d.AvailableSize > 0 ? static_cast<uint64_t>(d.AvailableSize) : 0));
    if (d.DimensionalFormFactor != 0)
        AddValue(doc, VendorPage("form_factor.htm"), false, "Form-factor", false, FormFactorName(d.DimensionalFormFactor));
    AddText(doc, "", false, "Type - ");
    AddText(doc, d.IsSSD ? Article("Solid-state_drive") : VendorPage("hdd.htm"), false, d.IsSSD ? "SSD" : "HDD", true);
    AddInterface(doc, d);
    if (!Expert(doc)) return;
    if (d.IsNVMe) AddValue(doc, "", false, "NVMe version", false, NvmeVersionName(d.NVMe_version));
    if (OnSerialBus(d) && d.SATA_version != 0)
        AddValue(doc, "", false, "SATA version", false, SataVersionName(d.SATA_version));
    if (!d.IsNVMe && d.IsSSD) AddValue(doc, "", false, "Controller", false, d.Controller);
    AddValue(doc, VendorPage("firmware.htm"), false, "Firmware", false, d.FirmwareVersion);
    if (KeptInPublish(doc, !d.DownloadMicrocode)) AddSupport(doc, "", false, "Firmware upgrade", false, d.DownloadMicrocode);
    if (!d.IsNVMe) AddValue(doc, VendorPage("ata_history.htm"), false, "ATA version", false, AtaVersionName(d.ATA_version));
    if (d.IsNVMe && d.MaxPower != 0) {
        AddNumber(doc, Article("Electric_power"), false, "Maximum power consumption", false, d.MaxPower);
        Continue(doc, " W");
    }
    const bool formattedLarge = d.PhysicalSectorSize != 512;
    if (d.IsNVMe && NamespacePageRead(d) && KeptInPublish(doc, formattedLarge))
        AddFeature(doc, Article("Advanced_Format"), false, "Advanced Format", false, NoCurrentValue, formattedLarge,
                   d.MaxPhysicalSectorSize != 512);
    if (!d.IsNVMe && KeptInPublish(doc, formattedLarge))
        AddSupport(doc, Article("Advanced_Format"), false, "Advanced Format", false, formattedLarge);
}

// --- Performance ---

std::string PcieLinkText(uint8_t generation, uint8_t lanes) {
    return " " + std::to_string(generation) + ".0 x" + std::to_string(lanes) + ")";
}

// A speed or width of 0: the link was not read.
bool PcieLinkKnown(uint8_t generation, uint8_t lanes) { return generation != 0 && lanes != 0; }

std::string UltraDmaText(uint8_t mode) { return UltraDmaRate(mode) + " MB/s (Ultra DMA - " + std::to_string(mode) + ")"; }

void AddSataSpeed(ReportDocument& doc, const char* label, uint8_t code) {
    if (code != 0) AddValue(doc, "", true, label, false, SataRate(code) + " MB/s");
}

void AddInterfaceSpeeds(ReportDocument& doc, const DriveRecord& d) {
    if (d.IsNVMe) {
        if (PcieLinkKnown(d.PCI_MaxLinkSpeed, d.PCI_MaxLinkWidth)) {
            AddValue(doc, "", true, "Maximum speed interface", false,
                     PcieRate(d.PCI_MaxLinkSpeed, d.PCI_MaxLinkWidth) + " MB/s (");
            AddText(doc, Article("PCI_Express"), false, "PCIe", true);
            Continue(doc, PcieLinkText(d.PCI_MaxLinkSpeed, d.PCI_MaxLinkWidth));
        }
        if (PcieLinkKnown(d.PCI_CurrentLinkSpeed, d.PCI_CurrentLinkWidth))
            AddValue(doc, "", true, "Current speed interface", false,
                     PcieRate(d.PCI_CurrentLinkSpeed, d.PCI_CurrentLinkWidth) + " MB/s (PCIe" +
                         PcieLinkText(d.PCI_CurrentLinkSpeed, d.PCI_CurrentLinkWidth));
    } else if (OnParallelBus(d)) {
        AddValue(doc, "", true, "Maximum speed interface", false, UltraDmaText(d.UltraDMA_ModeSupport));
        AddValue(doc, "", true, "Current speed interface", false, UltraDmaText(d.UltraDMA_ModeCurrent));
    } else {
        AddSataSpeed(doc, "Maximum speed interface", d.SATA_SignalingSpeedSupport);
        AddSataSpeed(doc, "Current speed interface", d.SATA_SignalingSpeedCurrent);
    }
}

// A drive never measured, or whose last read test failed, has no figures: its zeros are not shown as
// measured ones.
const char* MissingReadFigure(const DriveRecord& d) {
    if (d.ReadTestFailed.Year != 0) return "test failed";
    return d.ReadSpeedsKnown ? nullptr : "not measured";
}

// label - figure and unit, or label - why there is no figure
void AddReadFigure(ReportDocument& doc, const std::string& link, const char* label, const DriveRecord& d,
                   unsigned figure, const std::string& unit) {
    if (const char* missing = MissingReadFigure(d)) {
        AddValue(doc, link, true, label, false, missing);
        return;
    }
    AddNumber(doc, link, true, label, false, figure);
    Continue(doc, unit);
}

void AddReadSpeed(ReportDocument& doc, const char* label, const DriveRecord& d, uint16_t speed) {
    AddReadFigure(doc, "", label, d, speed, " MiB/s");
}

void AddAccessTime(ReportDocument& doc, const DriveRecord& d) {
    char hundredths[8] = "";
    if (d.AverageAccessTimeFrac != 0)
        std::snprintf(hundredths, sizeof hundredths, ".%02u", unsigned(d.AverageAccessTimeFrac));
    AddReadFigure(doc, VendorPage("performance.htm"), "Average access time", d, d.AverageAccessTime,
                  std::string(hundredths) + " msec");
}

void AddThrottling(ReportDocument& doc, const DriveRecord& d, const std::string& kind, uint8_t celsius,
                   size_t eventsAt, size_t timeAt) {
    AddValue(doc, "", true, kind + " throttling temperature", false, Temperature(celsius));
    AddNumber(doc, "", true, kind + " throttling events", false, Get32(d.SmartData, eventsAt));
    const uint32_t time = Get32(d.SmartData, timeAt);
    if (time != 0) AddNumber(doc, "", true, kind + " throttling time in minutes", false, time);
}

void AddNvmeFeatures(ReportDocument& doc, const DriveRecord& d) {
    AddFeature(doc, "", true, "Host memory buffer (HMB)", false, NoCurrentValue, d.HMB_Enabled, d.HMB_Support);
    if (d.HMB_Size != 0) Continue(doc, " (" + BinarySizeText(d.HMB_Size) + ")");
    AddFeature(doc, "", true, "Throttling temperature control", false, NoCurrentValue, d.HCTM_TMT1 != 0 || d.HCTM_TMT2 != 0,
               d.HCTM_Support);
    if (d.HCTM_Support && d.HCTM_TMT1 != 0)
        AddThrottling(doc, d, "Light", d.HCTM_TMT1, LightThrottlingEvents, LightThrottlingTime);
    if (d.HCTM_Support && d.HCTM_TMT2 != 0)
        AddThrottling(doc, d, "Heavy", d.HCTM_TMT2, HeavyThrottlingEvents, HeavyThrottlingTime);
}

void AddAtaFeatures(ReportDocument& doc, const DriveRecord& d) {
    if (KeptInPublish(doc, !d.LookAheadEnabled))
        AddFeature(doc, VendorPage("read_a_head.htm"), true, "Read look-ahead", false, NoCurrentValue, d.LookAheadEnabled,
                   d.LookAheadSupport);
    if (IsHardDisk(d) && KeptInPublish(doc, d.AAM_Support)) {
        AddFeature(doc, VendorPage("aam.htm"), true, "Automatic acoustic management", false, d.AAM_Level, d.AAM_Enabled,
                   d.AAM_Support);
        if (d.AAM_Support) AddNumber(doc, "", true, "Vendor's recommended AAM value", false, d.AAM_Recommended);
    }
    if (KeptInPublish(doc, d.APM_Support))
        AddFeature(doc, VendorPage("apm.htm"), true, "Advanced power management", false, d.APM_Level, d.APM_Enabled,
                   d.APM_Support);
    if (d.IsSSD && KeptInPublish(doc, d.DevSleepEnabled))
        AddFeature(doc, VendorPage("device_sleep.htm"), true, "Device Sleep (DevSleep)", false, NoCurrentValue,
                   d.DevSleepEnabled, d.DevSleepSupport);
    if (OnParallelBus(d) && KeptInPublish(doc, CommandOverlapSupported(d)))
        AddSupport(doc, VendorPage("overlap.htm"), true, "Command overlapping", false, CommandOverlapSupported(d));
    if (!d.NCQ_Usable && KeptInPublish(doc, d.TCQ_Support))
        AddSupport(doc, VendorPage("tcq.htm"), true, "Command queuing (TCQ)", false, d.TCQ_Support);
    if (OnSerialBus(d) && KeptInPublish(doc, !d.NCQ_Usable))
        AddSupport(doc, VendorPage("ncq.htm"), true, "Command queuing (NCQ)", false, d.NCQ_Usable);
}

void AddPerformance(ReportDocument& doc, const DriveRecord& d, unsigned instability) {
    if (Expert(doc)) {
        AddHeading(doc, "Performance:");
        AddInterfaceSpeeds(doc, d);
        AddReadSpeed(doc, "Buffered read speed", d, d.BufferingReadSpeed);
        AddReadSpeed(doc, "Maximum read speed", d, d.MaxReadSpeed);
    }
    AddReadSpeed(doc, "Average read speed", d, d.AverageReadSpeed);
    if (Expert(doc)) {
        AddReadSpeed(doc, "Minimum read speed", d, d.MinReadSpeed);
        AddReadSpeed(doc, "Stable read speed", d, d.StabilityReadSpeed);
        AddReadFigure(doc, "", "Instability of reading", d, instability, "%");
    }
    AddAccessTime(doc, d);
    if (!Expert(doc)) return;
    if (IsHardDisk(d) && d.RotationRate != 0) {
        AddNumber(doc, VendorPage("spindel_engine.htm"), true, "Rotation rate", false, d.RotationRate);
        Continue(doc, " rpm");
    }
    if (IsHardDisk(d) && d.HardwareCache != 0)
        AddValue(doc, VendorPage("ram.htm"), true, "Cache buffer", false, BinarySizeText(d.HardwareCache));
    if (KeptInPublish(doc, !d.WriteCacheEnabled))
        AddFeature(doc, VendorPage("write_back.htm"), true, "Volatile write cache", false, NoCurrentValue,
                   d.WriteCacheEnabled, d.WriteCacheSupport);
    if (!d.IsNVMe) AddAtaFeatures(doc, d);
    if ((d.IsSSD || d.ATA_version > 7) && KeptInPublish(doc, !(d.TRIM_Support && d.TRIM_Enabled)))
        AddFeature(doc, Article("Trim_(computing)"), true, "TRIM", false, NoCurrentValue, d.TRIM_Enabled, d.TRIM_Support);
    if (d.IsNVMe) AddNvmeFeatures(doc, d);
}

// --- Reliability ---

unsigned AttributeSlots(const DriveRecord& d) { return std::min<unsigned>(d.AttributeCount, MaxAttributes); }

void AddSelfTests(ReportDocument& doc, const DriveRecord& d) {
    if (!d.SelfTestSupport) {
        AddSupport(doc, "", true, "Self-test", false, false);
        return;
    }
    if (d.ShortSelfTestTime != 0) {
        AddLine(doc, "Fast ");
        AddSupport(doc, VendorPage("self_test.htm"), false, "self-test", true, true);
        AddNumber(doc, "", false, ", duration in minutes", true, d.ShortSelfTestTime);
    }
    if (d.ExtendedSelfTestTime != 0) {
        AddSupport(doc, "", true, "Full self-test", false, true);
        Continue(doc, ", duration in minutes");
        Continue(doc, d.ExtendedSelfTestTime == LongestSelfTestTime ? std::string(" > 255")
                                                                      : " - " + std::to_string(d.ExtendedSelfTestTime));
    }
}

void AddTemperatures(ReportDocument& doc, const DriveRecord& d) {
    if (d.CriticalTemperature != 0 && d.CriticalTemperature != d.WarningTemperature)
        AddValue(doc, "", true, "Critical maximum temperature", false, Temperature(d.CriticalTemperature));
    if (d.WarningTemperature != 0)
        AddValue(doc, "", true, "Recommended maximum temperature", false, Temperature(d.WarningTemperature));
    if (d.TopTemperature != 0) AddValue(doc, "", true, "Maximum temperature", false, Temperature(d.TopTemperature));
    if (d.Temperature != 0)
        AddValue(doc, VendorPage("active_cooling.htm"), true, "Current temperature", false, Temperature(d.Temperature));
}

void AddReliability(ReportDocument& doc, const DriveRecord& d) {
    if (Expert(doc)) {
        AddHeading(doc, "Reliability:");
        if (!d.IsNVMe)
            AddNumber(doc, VendorPage("smart_description.htm"), true, "Count of sensors", false, AttributeSlots(d));
        AddSelfTests(doc, d);
    }
    AddTemperatures(doc, d);
    if (d.RemapIndex != 0 && (Expert(doc) || d.RemappedSectors != 0) && KeptInPublish(doc, d.RemappedSectors != 0))
        AddNumber(doc, VendorPage("bad_block.htm"), true, "Remapped sectors", false, d.RemappedSectors);
    if (d.IsNVMe || d.PowerCycleIndex != 0)
        AddNumber(doc, "", true, "Connections to the power", false, d.PowerCycleCount);
    if (d.IsNVMe || d.PowerTimeIndex != 0)
        AddValue(doc, VendorPage("work_off.htm"), true, "Hours worked off", false, WorkedHoursText(d));
    if (Expert(doc) && IsHardDisk(d)) {
        if (KeptInPublish(doc, d.FreeFallSupport))
            AddFeature(doc, Article("Accelerometer"), true, "Free-fall control", false, NoCurrentValue, d.FreeFallEnabled,
                       d.FreeFallSupport);
        if (d.FreeFallEnabled)
            AddValue(doc, "", true, "Free-fall sensor sensitivity", false,
                     d.FreeFallSensitivity == 0 ? std::string("defined by the manufacturer")
                                                : std::to_string(d.FreeFallSensitivity));
    }
    if (Expert(doc) && !d.IsNVMe && KeptInPublish(doc, !d.SCT_Support))
        AddSupport(doc, VendorPage("sct.htm"), true, "SMART command transport (SCT)", false, d.SCT_Support);
    AddValue(doc, "", true, "Condition", false, ConditionText(d));
    if (*ConditionAdvice(d)) AddLine(doc, ConditionAdvice(d));
}

// --- Security ---

void AddSecurity(ReportDocument& doc, const DriveRecord& d) {
    AddHeading(doc, "Security:");
    if (KeptInPublish(doc, d.SecurityEnabled)) {
        if (d.IsNVMe)
            AddSupport(doc, "", true, "Drive access restriction", false, d.SecuritySupport);
        else
            AddFeature(doc, "", true, "Drive access restriction", false, NoCurrentValue, d.SecurityEnabled, d.SecuritySupport);
        if (d.SecurityEnabled)
            AddValue(doc, "", true, "Access to the drive", false, d.SecurityLocked ? "prohibited" : "allowed");
    }
    if (!d.IsNVMe && KeptInPublish(doc, !d.EnhancedEraseSupport))
        AddSupport(doc, VendorPage("enhanced_security_erase.htm"), true, "Enhanced security erase", false,
                   d.EnhancedEraseSupport);
    if (KeptInPublish(doc, d.CryptoEraseSupport))
        AddSupport(doc, VendorPage("instant_information_destruction.htm"), true, "Instant data destruction", false,
                   d.CryptoEraseSupport);
    if (d.SecuritySupport && d.SecurityEraseTime != 0)
        AddValue(doc, "", true, "Data destruction time in minutes", false,
                 d.SecurityEraseTime == LongestEraseTime ? std::string("> 508") : std::to_string(d.SecurityEraseTime));
    if (d.IsNVMe) return;
    if (!Publishing(doc)) AddSupport(doc, VendorPage("hpa.htm"), true, "Host protected area (HPA)", false, d.HPA_Support);
    if (d.SetMaxSecuritySupport && KeptInPublish(doc, d.SetMaxSecurityEnabled))
        AddFeature(doc, "", true, "Host protected area password", false, NoCurrentValue, d.SetMaxSecurityEnabled,
                   d.SetMaxSecuritySupport);
    if (KeptInPublish(doc, d.TrustedComputingSupport))
        AddSupport(doc, Article("Trusted_Computing"), true, "Trusted computing", false, d.TrustedComputingSupport);
}

// --- S.M.A.R.T. ---

void AddWarningGroup(ReportDocument& doc, const std::vector<std::string>& texts) {
    AddLine(doc, "");
    for (const std::string& text : texts) AddLine(doc, text);
}

// The log's Kelvin in the user's unit; a reading that is no temperature keeps its Kelvin figure.
std::string CompositeTemperatureText(uint32_t kelvin) {
    const uint8_t celsius = KelvinToCelsius(kelvin);
    return celsius != 0 ? Temperature(celsius) : std::to_string(kelvin) + " K";
}

void AddNvmeHealth(ReportDocument& doc, const DriveRecord& d) {
    for (const NvmeHealthValue& v : NvmeHealthValues(d)) {
        if (v.Label == CompositeTemperatureLabel)
            AddValue(doc, "", true, v.Label, false, CompositeTemperatureText(v.Value));
        else
            AddNumber(doc, "", true, v.Label, false, v.Value);
    }
    if (d.SmartData[0] != 0) AddWarningGroup(doc, NvmeCriticalWarningTexts(d, 0));
    if (d.SmartData[6] != 0 && NvmeVersion(d) > 13) AddWarningGroup(doc, NvmeCriticalWarningTexts(d, 6));
}

// Columns of the attribute table.
enum AttributeColumn { IdColumn, NameColumn, FlagsColumn, ValueColumn, WorstColumn, ThresholdColumn, RawDecColumn,
                       RawHexColumn, FailColumn, ColumnCount };
using AttributeRow = std::array<std::string, ColumnCount>;

AttributeRow AttributeCells(const DriveRecord& d, unsigned i, const std::string& name) {
    const uint8_t* entry = d.SmartData + AttributeOffset(i);
    return {std::to_string(entry[0]),
            name,
            FormatAttributeFlags(d, i),
            std::to_string(entry[3]),
            std::to_string(entry[4]),
            std::to_string(d.SmartThresholds[AttributeOffset(i) + 1]),
            std::to_string(RawValue(d, i)),
            FormatRawHex(d, i),
            VerdictText(ClassifyAttribute(d, i))};
}

// Names that several attributes share by design, never logged as repeated.
bool SharedName(const std::string& name) {
    return name == "Unknown Attribute" || name == "Vendor Unique" || name == NotInUseName;
}

// An attribute not in use is left out unless it fails now or failed once: the condition counts it.
bool RowShown(const DriveRecord& d, unsigned i, const std::string& name) {
    return name != NotInUseName || ClassifyAttribute(d, i) != AttributeWithinLimits;
}

bool NameTaken(const std::vector<AttributeRow>& rows, const std::string& name) {
    return std::any_of(rows.begin() + 1, rows.end(), [&name](const AttributeRow& r) { return r[NameColumn] == name; });
}

// The header row and one row per attribute slot in use; a repeated meaningful name goes to `logEntries`.
std::vector<AttributeRow> AttributeRows(const DriveRecord& d, std::vector<std::string>& logEntries) {
    std::vector<AttributeRow> rows = {{"#", "Name", "Flags", "Value", "Worst", "Thresh", "RAW(Dec)", "RAW(Hex)", "Fail"}};
    for (unsigned i = 0; i < AttributeSlots(d); ++i) {
        const std::string name = NameAttribute(d, i);
        if (!RowShown(d, i, name)) continue;
        if (!SharedName(name) && NameTaken(rows, name))
            logEntries.push_back("Duplicate attribute name - " + name);
        rows.push_back(AttributeCells(d, i, name));
    }
    return rows;
}

// Every cell but the last column's is padded to its column's width plus one blank.
void AlignColumns(std::vector<AttributeRow>& rows) {
    for (size_t column = 0; column + 1 < ColumnCount; ++column) {
        size_t width = 0;
        for (const AttributeRow& r : rows) width = std::max(width, r[column].size());
        for (AttributeRow& r : rows) r[column].append(width - r[column].size() + 1, ' ');
    }
}

void AddAttributeTable(ReportDocument& doc, const DriveRecord& d, std::vector<std::string>& logEntries) {
    std::vector<AttributeRow> rows = AttributeRows(d, logEntries);
    AlignColumns(rows);
    const size_t shownColumns = ConditionEverFailed(d) ? ColumnCount : FailColumn;
    for (const AttributeRow& r : rows) {
        std::string line;
        for (size_t column = 0; column < shownColumns; ++column) line += r[column];
        // Without the Fail column the padding after RAW(Hex) has nothing to separate.
        if (shownColumns == FailColumn) line.erase(line.find_last_not_of(' ') + 1);
        AddLine(doc, line);
    }
    AddEmptyLine(doc);
    AddLine(doc, AttributeFlagLegend[0]);
    AddLine(doc, AttributeFlagLegend[1]);
}

// --- Other ---

void AddOther(ReportDocument& doc, const DriveRecord& d, const std::string& driveLog) {
    if (Expert(doc)) {
        AddHeading(doc, "Other:");
        if (!d.HostAdapter.empty()) AddValue(doc, Article("Host_adapter"), true, "Host adapter", false, d.HostAdapter);
        if (OnParallelBus(d) && d.ChannelKnown) {
            AddValue(doc, "", true, "Connection channel", false, d.ChannelAddress != 0 ? "secondary" : "primary");
            AddValue(doc, "", true, "Role on the channel", false, d.DeviceAddress != 0 ? "slave" : "master");
        }
    }
    if (!d.LogicalDrives.empty())
        AddValue(doc, Article("Volume_(computing)"), true, "Logical drives", false, d.LogicalDrives);
    if (d.IsUSB) {
        AddLine(doc, "Connected via ");
        AddText(doc, Article("USB"), false, "USB", true);
        if (!d.BridgeName.empty()) Continue(doc, ", " + d.BridgeName + " bridge");
        if (Expert(doc)) AddSupport(doc, Article("USB_Attached_SCSI"), true, "UASP", false, d.IsUAS);
    }
    AddValue(doc, "", true, "Start of monitoring", false, DateText(d.StartMonitoringDate));
    if (Publishing(doc) && !driveLog.empty()) AddLines(doc, "\r\n" + driveLog, true);
}

// --- The drive table ---

// Every expert build finds the same entries again: each goes into the drive's log once a run.
void WriteDriveLog(unsigned index, const std::vector<std::string>& entries) {
    DriveWriter writer(index);
    for (const std::string& entry : entries) WriteLogOnce(entry, &*writer);
}

std::string DriveLog(unsigned index) { return DriveLogText(*DriveReader(index)); }

void StoreInstability(unsigned index, unsigned percent) {
    DriveWriter(index)->ReadInstability = static_cast<uint8_t>(std::min(percent, 255u));
}

// One drive's section, from a snapshot of its record; the instability and the log lines go back into
// the table's record.
void AddDriveSection(ReportDocument& doc, unsigned index) {
    const DriveRecord d = SnapshotDrive(index);
    const unsigned instability = ReadInstabilityPercent(d.AverageReadSpeed, d.StabilityReadSpeed);
    StoreInstability(index, instability);
    AddIdentity(doc, d);
    AddPerformance(doc, d, instability);
    AddReliability(doc, d);
    if (Expert(doc)) {
        AddSecurity(doc, d);
        AddHeading(doc, "S.M.A.R.T.");
        std::vector<std::string> logEntries;
        if (d.IsNVMe)
            AddNvmeHealth(doc, d);
        else
            AddAttributeTable(doc, d, logEntries);
        WriteDriveLog(index, logEntries);
    }
    AddOther(doc, d, Publishing(doc) ? DriveLog(index) : std::string());
}

void AddTrailer(ReportDocument& doc) {
    AddEmptyLine(doc);
    AddValue(doc, "", false, "Program version", false, ProgramVersion());
    AddValue(doc, "", false, "Operating system", false, OSName);
    if (Publishing(doc) && Settings.Fahrenheit) AddText(doc, "", false, "Temperature in fahrenheit");
}

void AddGlobalLog(ReportDocument& doc) {
    const std::string log = GlobalLogText();
    if (Publishing(doc) && !log.empty()) AddLines(doc, "\r\n" + log, false);
}

void AddUnrecognisedDisks(ReportDocument& doc, const std::vector<std::string>& lines) {
    if (lines.empty()) return;
    AddEmptyLine(doc);
    for (const std::string& line : lines) AddText(doc, "", false, line);
}

// Backslashes and braces are RTF syntax, and bytes outside printable ASCII would be read as the
// reader's code page or dropped: all are escaped, so the box shows the text as it came.
std::string RtfEscaped(const std::string& text) {
    std::string out;
    for (const char c : text) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (c == '\\' || c == '{' || c == '}') {
            out += '\\';
            out += c;
        } else if (byte < 0x20 || byte >= 0x80) {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\'%02x", byte);
            out += hex;
        } else {
            out += c;
        }
    }
    return out;
}

std::string RtfPiece(const ReportPiece& piece) {
    if (piece.Link.empty()) return RtfEscaped(piece.Text);
    return "{\\colortbl;\\red0\\green0\\blue255;}{\\field{\\fldinst{HYPERLINK " + RtfEscaped(piece.Link) +
           " }}{\\fldrslt{\\cf1 " + RtfEscaped(piece.Text) + "\\cf0}}}";
}

}  // namespace

// --- Line primitives ---

void AddText(ReportDocument& doc, const std::string& link, bool indent, const std::string& text, bool sameLine) {
    bool newLine = !sameLine;
    if (indent && Expert(doc)) {
        Push(doc, {Indentation, "", newLine});
        newLine = false;
    }
    Push(doc, {text, link, newLine});
}

void AddValue(ReportDocument& doc, const std::string& link, bool indent, const std::string& label, bool sameLine,
              const std::string& value) {
    AddText(doc, link, indent, label, sameLine);
    Continue(doc, " - " + value);
}

void AddNumber(ReportDocument& doc, const std::string& link, bool indent, const std::string& label, bool sameLine,
               uint64_t number) {
    AddValue(doc, link, indent, label, sameLine, std::to_string(number));
}

void AddSupport(ReportDocument& doc, const std::string& link, bool indent, const std::string& label, bool sameLine,
                bool supported) {
    AddValue(doc, link, indent, label, sameLine, supported ? "supported" : "not supported");
}

void AddFeature(ReportDocument& doc, const std::string& link, bool indent, const std::string& label, bool sameLine,
                int currentValue, bool enabled, bool supported) {
    std::string state = "not supported";
    if (supported && !enabled) state = "supported, disabled";
    if (supported && enabled) {
        state = "supported, enabled";
        if (currentValue != NoCurrentValue) state += ", current value - " + std::to_string(currentValue);
    }
    AddValue(doc, link, indent, label, sameLine, state);
}

void AddLines(ReportDocument& doc, const std::string& text, bool indent) {
    std::string line;
    for (const char c : text) {
        if (c == '\n') {
            AddText(doc, "", indent, line);
            line.clear();
        } else if (c != '\r') {
            line += c;
        }
    }
    AddText(doc, "", indent, line);
}

unsigned ReadInstabilityPercent(unsigned averageSpeed, unsigned stableSpeed) {
    const unsigned smaller = std::min(averageSpeed, stableSpeed);
    const unsigned larger = std::max(averageSpeed, stableSpeed);
    if (smaller == 0) return 0;
    return static_cast<unsigned>(std::lround((static_cast<double>(larger) / smaller - 1.0) * 100.0));
}

ReportDocument BuildReportDocument(ReportDepth depth, const std::vector<std::string>& unrecognisedDisks) {
    ReportDocument doc{{}, depth};
    const unsigned count = DriveCount();
    if (count == 0) {
        AddText(doc, "", false, NoDriveMessage, true);
        AddGlobalLog(doc);
    }
    for (unsigned i = 0; i < count; ++i) {
        if (i > 0)
            for (int blank = 0; blank < 3; ++blank) AddEmptyLine(doc);
        AddDriveSection(doc, i);
    }
    if (count > 0 && Expert(doc)) {
        AddTrailer(doc);
        AddGlobalLog(doc);
    }
    if (Publishing(doc)) AddUnrecognisedDisks(doc, unrecognisedDisks);
    return doc;
}

std::string ReportRtf(const ReportDocument& doc) {
    std::string body;
    for (const ReportPiece& piece : doc.Pieces) {
        if (piece.NewLine) body += "\\line ";
        body += RtfPiece(piece);
    }
    return "{\\rtf3\\li80\\sb40\\sa80\\tx280\\fcharset0 " + body + "\\par}";
}

std::string ReportPlainText(const ReportDocument& doc) {
    std::string text;
    for (const ReportPiece& piece : doc.Pieces) {
        if (piece.NewLine) text += '\n';
        text += piece.Text;
    }
    return text;
}
