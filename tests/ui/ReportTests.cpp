// The report document: the line primitives, which lines each depth shows, the attribute table, the
// NVMe warnings, the instability figure and the rich text read back by a small independent reader.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <memory>
#include <sstream>

#include "TestMachine.h"
#include "device/DriveTableFill.h"
#include "discovery/Scan.h"
#include "device/DiagnosticLog.h"
#include "protocol/Ata.h"
#include "protocol/Bytes.h"
#include "smart/Condition.h"
#include "system/Settings.h"
#include "ui/ProcessState.h"
#include "ui/Report.h"

namespace {

// The text a rich-text reader shows for the report's RTF: \line breaks, \'hh bytes, escaped
// \ { }, control words dropped, and the colour table and field instructions skipped.
std::string ReadRtf(const std::string& rtf) {
    std::string text;
    std::vector<bool> skipping{false};
    for (size_t i = 0; i < rtf.size(); ++i) {
        const char c = rtf[i];
        if (c == '{') {
            skipping.push_back(skipping.back());
        } else if (c == '}') {
            skipping.pop_back();
        } else if (c != '\\') {
            if (!skipping.back()) text += c;
        } else if (rtf[i + 1] == '\\' || rtf[i + 1] == '{' || rtf[i + 1] == '}') {
            if (!skipping.back()) text += rtf[i + 1];
            ++i;
        } else if (rtf[i + 1] == '\'') {
            if (!skipping.back()) text += static_cast<char>(std::stoi(rtf.substr(i + 2, 2), nullptr, 16));
            i += 3;
        } else {
            size_t end = i + 1;
            while (end < rtf.size() && (isalpha(static_cast<unsigned char>(rtf[end])) || isdigit(static_cast<unsigned char>(rtf[end])))) ++end;
            const std::string word = rtf.substr(i + 1, end - i - 1);
            if (word == "line" && !skipping.back()) text += '\n';
            if (word == "colortbl" || word == "fldinst") skipping.back() = true;
            i = end < rtf.size() && rtf[end] == ' ' ? end : end - 1;
        }
    }
    return text;
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

struct Attribute {
    uint8_t Id;
    uint16_t Flags;
    uint8_t Value, Worst, Threshold;
    uint64_t Raw;
};

class ReportTest : public MachineTest {
protected:
    // A SATA hard disk whose every line has something to show, put into the drive table.
    static DriveRecord& AddDisk(const std::string& model = "Disk One") {
        auto d = std::make_unique<DriveRecord>();
        d->Trademark = "Brand";
        d->Model = model;
        d->SerialNumber = "SN1";
        d->FirmwareVersion = "FW1";
        d->AvailableSize = 1000204885504;
        d->Transport = 1;
        d->DimensionalFormFactor = 2;
        d->SATA_version = 7;
        d->ATA_version = 9;
        d->PhysicalSectorSize = 512;
        d->AverageReadSpeed = d->StabilityReadSpeed = 150;
        d->AverageAccessTime = 12;
        d->ReadSpeedsKnown = true;
        d->Temperature = 35;
        d->TopTemperature = 47;
        d->WarningTemperature = 60;
        d->CriticalTemperature = 70;
        d->RemapIndex = d->PowerCycleIndex = d->PowerTimeIndex = 1;
        d->PowerCycleCount = 12;
        d->SelfTestSupport = true;
        d->ShortSelfTestTime = 2;
        d->ExtendedSelfTestTime = 100;
        d->WriteCacheSupport = d->WriteCacheEnabled = true;
        d->HPA_Support = true;
        d->LogicalDrives = "D:";
        d->IsUSB = true;
        d->HostAdapter = "Adapter";
        d->StartMonitoringDate = {2026, 1, 4, 5, 0, 0, 0, 0};
        AddDrive(std::move(d), {});
        return DriveForCommands(DriveCount() - 1);
    }

    static void SetAttributes(DriveRecord& d, const std::vector<Attribute>& attributes) {
        for (size_t i = 0; i < attributes.size(); ++i) {
            const Attribute& a = attributes[i];
            uint8_t* e = d.SmartData + AttributeOffset(static_cast<unsigned>(i));
            e[0] = a.Id;
            Put16(e, 1, a.Flags);
            e[3] = a.Value;
            e[4] = a.Worst;
            for (unsigned b = 0; b < 6; ++b) e[5 + b] = static_cast<uint8_t>(a.Raw >> (8 * b));
            d.SmartThresholds[AttributeOffset(static_cast<unsigned>(i))] = a.Id;
            d.SmartThresholds[AttributeOffset(static_cast<unsigned>(i)) + 1] = a.Threshold;
        }
        d.AttributeCount = static_cast<uint8_t>(attributes.size());
    }

    static std::vector<std::string> Lines(bool expert, bool publish = false) {
        const ReportDepth depth = publish ? ReportDepth::Publish : expert ? ReportDepth::Expert : ReportDepth::Normal;
        return SplitLines(ReportPlainText(BuildReportDocument(depth)));
    }

    // The lines from `first` up to the next empty line.
    static std::vector<std::string> Block(const std::vector<std::string>& lines, const std::string& first) {
        auto at = std::find(lines.begin(), lines.end(), first);
        auto end = std::find(at, lines.end(), "");
        return std::vector<std::string>(at, end);
    }

    static bool HasLine(const std::vector<std::string>& lines, const std::string& line) {
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }

    // The first line that starts with `prefix`, or "" when none does.
    static std::string LineStarting(const std::vector<std::string>& lines, const std::string& prefix) {
        const auto at = std::find_if(lines.begin(), lines.end(),
                                     [&prefix](const std::string& l) { return l.rfind(prefix, 0) == 0; });
        return at == lines.end() ? std::string() : *at;
    }
};

// The feature form's four states; the other primitives show in every report line.
TEST_F(ReportTest, FeatureFormTellsSupportStateAndCurrentValue) {
    const struct { int value; bool enabled, supported; const char* text; } cases[] = {
        {254, false, true, "APM - supported, disabled"},
        {254, true, true, "APM - supported, enabled, current value - 254"},
        {NoCurrentValue, true, true, "APM - supported, enabled"},
        {128, true, false, "APM - not supported"},
    };
    for (const auto& c : cases) {
        ReportDocument doc;
        AddFeature(doc, "", false, "APM", true, c.value, c.enabled, c.supported);
        EXPECT_EQ(ReportPlainText(doc), c.text);
    }
}

TEST_F(ReportTest, NormalModeShowsTheSummaryLinesOnly) {
    DriveRecord& d = AddDisk();
    const std::vector<std::string> summary = {
        "Trademark - Brand", "Model - Disk One", "Serial number - SN1", "Capacity - 1 TB (931.5 GiB)",
        "Form-factor - 3.5\"", "Type - HDD", "Interface - SATA", "Average read speed - 150 MiB/s",
        "Average access time - 12 msec", "Critical maximum temperature - 70", "Recommended maximum temperature - 60",
        "Maximum temperature - 47", "Current temperature - 35"};
    const std::vector<std::string> tail = {"Connections to the power - 12", "Hours worked off - calculated...",
                                           "Condition - operational", "Logical drives - D:", "Connected via USB",
                                           "Start of monitoring - 1/5/2026"};
    std::vector<std::string> expected = summary;
    expected.insert(expected.end(), tail.begin(), tail.end());
    EXPECT_EQ(Lines(false), expected);

    d.RemappedSectors = 3;
    expected = summary;
    expected.push_back("Remapped sectors - 3");
    expected.insert(expected.end(), tail.begin(), tail.end());
    EXPECT_EQ(Lines(false), expected);
}

TEST_F(ReportTest, ThreeEmptyLinesStandBetweenDrivesOnly) {
    AddDisk("A");
    std::string text = ReportPlainText(BuildReportDocument(ReportDepth::Normal));
    EXPECT_EQ(text.find("\n\n"), std::string::npos);
    EXPECT_EQ(text.rfind("Start of monitoring - 1/5/2026"), text.size() - 30);
    AddDisk("B");
    text = ReportPlainText(BuildReportDocument(ReportDepth::Normal));
    EXPECT_NE(text.find("Start of monitoring - 1/5/2026\n\n\nTrademark - Brand\nModel - B"), std::string::npos);
    EXPECT_EQ(text.find("\n\n\n\n"), std::string::npos);
    EXPECT_EQ(text.substr(text.size() - 30), "Start of monitoring - 1/5/2026");
}

TEST_F(ReportTest, LineValuesInTheirUnitsAndForms) {
    const struct { const char* name; void (*set)(DriveRecord&); bool expert; const char* line; } cases[] = {
        {"access time, no hundredths", [](DriveRecord&) {}, false, "Average access time - 12 msec"},
        {"access time, 5 hundredths", [](DriveRecord& d) { d.AverageAccessTimeFrac = 5; }, false, "Average access time - 12.05 msec"},
        {"access time, 50 hundredths", [](DriveRecord& d) { d.AverageAccessTimeFrac = 50; }, false, "Average access time - 12.50 msec"},
        {"access time past 255 ms", [](DriveRecord& d) { d.AverageAccessTime = 304, d.AverageAccessTimeFrac = 17; }, false,
         "Average access time - 304.17 msec"},
        {"extended self-test of 255 minutes", [](DriveRecord& d) { d.ExtendedSelfTestTime = 255; }, true,
         "   Full self-test - supported, duration in minutes > 255"},
        {"extended self-test", [](DriveRecord&) {}, true, "   Full self-test - supported, duration in minutes - 100"},
        {"Fahrenheit", [](DriveRecord& d) { d.Temperature = 45; Settings.Fahrenheit = true; }, false, "Current temperature - 113"},
        {"backslash in the model", [](DriveRecord& d) { d.Model = "A\\B"; }, false, "Model - A\\B"},
        {"instability", [](DriveRecord& d) { d.StabilityReadSpeed = 200; }, true, "   Instability of reading - 33%"},
        {"never measured", [](DriveRecord& d) { d.ReadSpeedsKnown = false; }, false, "Average read speed - not measured"},
        {"read test failed", [](DriveRecord& d) { d.ReadSpeedsKnown = false, d.ReadTestFailed = {2026, 1, 1, 5, 0, 0, 0, 0}; },
         false, "Average access time - test failed"},
        {"erase time 510", [](DriveRecord& d) { d.SecuritySupport = true; d.SecurityEraseTime = 510; }, true,
         "   Data destruction time in minutes - > 508"},
        {"unreliable", [](DriveRecord& d) { d.Unreliable = true; }, false, "Non-critical parameters exceeded design limits"},
    };
    for (const auto& c : cases) {
        ResetProcessState();
        DriveRecord& d = AddDisk();
        c.set(d);
        const std::vector<std::string> lines = Lines(c.expert);
        EXPECT_TRUE(HasLine(lines, c.line)) << c.name;
    }
}

// The larger speed over the smaller: the figure shown is the true one, the byte kept for publishing
// stops at 255, and without a measurement (a speed of 0) there is no ratio and the figure is 0.
TEST_F(ReportTest, InstabilityIsShownWholeAndStoredCapped) {
    const struct { uint16_t average, stable; unsigned percent; uint8_t stored; } cases[] = {
        {150, 150, 0, 0}, {100, 110, 10, 10}, {110, 100, 10, 10}, {3, 4, 33, 33},
        {2, 3, 50, 50}, {0, 150, 0, 0}, {150, 0, 0, 0}, {1, 1000, 99900, 255}, {100, 356, 256, 255}};
    for (const auto& c : cases) {
        ResetProcessState();
        DriveRecord& d = AddDisk();
        d.AverageReadSpeed = c.average;
        d.StabilityReadSpeed = c.stable;
        const std::vector<std::string> lines = Lines(true);
        EXPECT_TRUE(HasLine(lines, "   Instability of reading - " + std::to_string(c.percent) + "%")) << c.average << "/" << c.stable;
        EXPECT_EQ(d.ReadInstability, c.stored) << c.average << "/" << c.stable;
    }
}

TEST_F(ReportTest, AttributeTableAlignsItsColumnsAndShowsFailOnlyAfterAFailure) {
    const std::vector<Attribute> attributes = {{1, 0x0B, 100, 100, 6, 0},
                                               {9, 0x32, 99, 99, 0, 256},
                                               {9, 0x32, 99, 99, 0, 256},
                                               {194, 0x22, 36, 50, 0, 36}};
    DriveRecord& d = AddDisk();
    SetAttributes(d, attributes);
    EXPECT_EQ(Block(Lines(true), "S.M.A.R.T."), std::vector<std::string>({
        "S.M.A.R.T.",
        "   #   Name            Flags   Value Worst Thresh RAW(Dec) RAW(Hex)",
        "   1   Read Error Rate PO-R--  100   100   6      0        00",
        "   9   Power-On Time   -O--CK  99    99    0      256      0100",
        "   9   Power-On Time   -O--CK  99    99    0      256      0100",
        "   194 Temperature     -O---K  36    50    0      36       24"}));
    EXPECT_EQ(DriveLogText(d), "DEBUG - Duplicate attribute name - Power-On Time");

    d.SmartData[AttributeOffset(0) + 4] = 5;  // worst value below the threshold once
    EvaluateCondition(d);
    ASSERT_TRUE(d.WasPreFailure);
    EXPECT_EQ(Block(Lines(true), "S.M.A.R.T."), std::vector<std::string>({
        "S.M.A.R.T.",
        "   #   Name            Flags   Value Worst Thresh RAW(Dec) RAW(Hex) Fail",
        "   1   Read Error Rate PO-R--  100   5     6      0        00       Past",
        "   9   Power-On Time   -O--CK  99    99    0      256      0100     -",
        "   9   Power-On Time   -O--CK  99    99    0      256      0100     -",
        "   194 Temperature     -O---K  36    50    0      36       24       -"}));
}

// Attributes 2 and 3 of an SSD are not in use and their rows are left out, unless it is what decides the drive's
// condition: then the row shows the reason, with its Fail verdict. The drive is scanned from its pages.
TEST_F(ReportTest, AnAttributeNotInUseIsShownWhenItFailsTheDrive) {
    const struct { const char* name; uint8_t value, worst, threshold; const char* condition, *fail; } cases[] = {
        {"within its threshold", 100, 100, 10, "operational", nullptr},
        {"below its threshold now", 5, 5, 10, "pre-failure", "Now"},
        {"at its threshold once", 100, 10, 10, "operational (was pre-failure)", "Past"},
        {"no threshold", 5, 5, 0, "operational", nullptr},
        {"value 1 without a threshold", 1, 1, 0, "pre-failure", "Now"},
    };
    for (const auto& c : cases) {
        ResetProcessState();
        sim::Machine m;
        m.Drives.push_back(testmachine::SataDrive("SSD1"));
        sim::IdentifyPage id = testmachine::SataIdentify("SSD1");
        m.Drives[0].Identify = id.Word(217, 1).Bytes();
        std::vector<sim::Attribute> attributes = testmachine::SomeAttributes(0);
        attributes.insert(attributes.begin() + 1, {{2, 0x0003, c.value, c.worst, 0, c.threshold},
                                                   {3, 0x0003, c.value, c.worst, 0, c.threshold}});
        m.Drives[0].SmartData = sim::SmartValuePage(attributes);
        m.Drives[0].SmartThresholds = sim::SmartThresholdPage(attributes);
        Install(m);
        ScanDrives();
        ASSERT_EQ(DriveCount(), 1u) << c.name;
        const std::vector<std::string> lines = Lines(true);
        EXPECT_TRUE(HasLine(lines, std::string("   Condition - ") + c.condition)) << c.name;
        const std::string row = LineStarting(lines, "   2   Not In Use ");
        EXPECT_EQ(row.empty(), c.fail == nullptr) << c.name;
        EXPECT_EQ(DriveLogText(DriveForCommands(0)).find("Duplicate"), std::string::npos) << c.name;
        if (row.empty() || !c.fail) continue;
        const std::string verdict = std::string(" ") + c.fail;
        EXPECT_EQ(row.substr(row.size() - verdict.size()), verdict) << c.name;
    }
}

// Every expert build finds the repeated names again; the drive's log holds each once.
TEST_F(ReportTest, ARepeatedAttributeNameIsLoggedOnceHoweverOftenTheReportIsBuilt) {
    DriveRecord& d = AddDisk();
    SetAttributes(d, {{9, 0x32, 99, 99, 0, 256}, {194, 0x22, 36, 50, 0, 36}, {9, 0x32, 99, 99, 0, 256},
                      {194, 0x22, 36, 50, 0, 36}, {9, 0x32, 99, 99, 0, 256}});
    for (int build = 0; build < 3; ++build) Lines(true);
    EXPECT_EQ(DriveLogText(d), "DEBUG - Duplicate attribute name - Power-On Time\r\n\r\n"
                               "DEBUG - Duplicate attribute name - Temperature");
}

TEST_F(ReportTest, NvmeCriticalWarningsInTwoGroupsAfterTheHealthValues) {
    const struct { const char* name; uint8_t minor, warning, endurance; std::vector<std::string> texts; } cases[] = {
        {"no warning", 4, 0, 0, {}},
        {"spare and reliability", 3, 0x05, 0x01,
         {"   ", "   The available spare capacity has fallen below the threshold!",
          "   The device reliability has been degraded due to significant errors!"}},
        {"endurance groups on 1.4", 4, 0x40, 0x0C,
         {"   ", "   ", "   The reliability of Endurance Groups has been degraded due to significant errors!",
          "   The namespaces in Endurance Groups have been placed in read only mode!"}},
    };
    for (const auto& c : cases) {
        ResetProcessState();
        DriveRecord& d = AddDisk();
        d.IsNVMe = true;
        d.IsSSD = true;
        Put16(d.NVMeIdentifyController, 82, 1);
        d.NVMeIdentifyController[81] = c.minor;
        d.SmartData[0] = c.warning;
        d.SmartData[6] = c.endurance;
        const std::vector<std::string> lines = Lines(true);
        const auto last = std::find(lines.begin(), lines.end(), "   Total Time For Thermal Management Temperature 2 - 0");
        ASSERT_NE(last, lines.end()) << c.name;
        const auto other = std::find(last, lines.end(), "Other:");
        EXPECT_EQ(std::vector<std::string>(last + 1, other - 1), c.texts) << c.name;
    }
}

// Values the drive did not give leave their lines out; the composite temperature is in the user's unit.
TEST_F(ReportTest, UnknownValuesLeaveTheirLinesOut) {
    const auto nvme = [](DriveRecord& d) {
        d.IsNVMe = d.IsSSD = true;
        d.PhysicalSectorSize = d.MaxPhysicalSectorSize = 4096;
        d.NVMeIdentifyNamespace[0] = 1;  // a namespace of one block: the page was read
        d.PCI_MaxLinkSpeed = d.PCI_CurrentLinkSpeed = 3;
        d.PCI_MaxLinkWidth = d.PCI_CurrentLinkWidth = 4;
        Put16(d.SmartData, 1, 311);
    };
    // A speed of 0 and a width of 0, each on one of the two lines.
    const struct { const char* name; void (*set)(DriveRecord&); const char* prefix; const char* line; } cases[] = {
        {"link known", [](DriveRecord&) {}, "   Maximum speed interface", "   Maximum speed interface - 3940 MB/s (PCIe 3.0 x4)"},
        {"no maximum speed", [](DriveRecord& d) { d.PCI_MaxLinkSpeed = 0; }, "   Maximum speed interface", ""},
        {"current link known", [](DriveRecord&) {}, "   Current speed interface", "   Current speed interface - 3940 MB/s (PCIe 3.0 x4)"},
        {"no current width", [](DriveRecord& d) { d.PCI_CurrentLinkWidth = 0; }, "   Current speed interface", ""},
        {"namespace read", [](DriveRecord&) {}, "Advanced Format", "Advanced Format - supported, enabled"},
        {"namespace not read", [](DriveRecord& d) { d.NVMeIdentifyNamespace[0] = 0; }, "Advanced Format", ""},
        {"host adapter known", [](DriveRecord&) {}, "   Host adapter", "   Host adapter - Adapter"},
        {"host adapter unknown", [](DriveRecord& d) { d.HostAdapter.clear(); }, "   Host adapter", ""},
        {"composite temperature", [](DriveRecord&) {}, "   Composite Temperature", "   Composite Temperature - 38"},
        {"composite temperature in Fahrenheit", [](DriveRecord&) { Settings.Fahrenheit = true; },
         "   Composite Temperature", "   Composite Temperature - 100"},
        {"no composite temperature", [](DriveRecord& d) { Put16(d.SmartData, 1, 0); }, "   Composite Temperature",
         "   Composite Temperature - 0 K"},
    };
    for (const auto& c : cases) {
        ResetProcessState();
        DriveRecord& d = AddDisk();
        nvme(d);
        c.set(d);
        EXPECT_EQ(LineStarting(Lines(true), c.prefix), c.line) << c.name;
    }
}

TEST_F(ReportTest, PublishFiltersAndLogs) {
    DriveRecord& d = AddDisk();
    WriteLog("drive entry", &d);
    WriteLog("global entry");
    Settings.Fahrenheit = true;
    const std::vector<std::string> expert = Lines(true);
    const std::vector<std::string> published = Lines(true, true);
    const struct { const char* line; bool expert, published; } cases[] = {
        {"   Volatile write cache - supported, enabled", true, false},  // enabled: nothing to tell
        {"   Host protected area (HPA) - supported", true, false},
        {"   Command queuing (NCQ) - not supported", true, true},
        {"   Remapped sectors - 0", true, false},
        {"   DEBUG - drive entry", false, true},
        {"DEBUG - global entry", false, true},
        {"Temperature in fahrenheit", false, true},
        {"Program version - ", true, true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(HasLine(expert, c.line), c.expert) << c.line;
        EXPECT_EQ(HasLine(published, c.line), c.published) << c.line;
    }
    const std::vector<std::string> withDisks =
        SplitLines(ReportPlainText(BuildReportDocument(ReportDepth::Publish, {"\\\\?\\usbstor#disk", "Card reader"})));
    EXPECT_EQ(std::vector<std::string>(withDisks.end() - 3, withDisks.end()),
              std::vector<std::string>({"", "\\\\?\\usbstor#disk", "Card reader"}));
}

TEST_F(ReportTest, WithoutDrivesOnlyTheMessageAndInPublishTheGlobalLog) {
    WriteLog("no drive found");
    EXPECT_EQ(ReportPlainText(BuildReportDocument(ReportDepth::Expert)), "S.M.A.R.T. is not available! Please publish the KORVANTE data.");
    EXPECT_EQ(ReportPlainText(BuildReportDocument(ReportDepth::Publish)),
              "S.M.A.R.T. is not available! Please publish the KORVANTE data.\n\nDEBUG - no drive found");
}

TEST_F(ReportTest, RichTextReadsBackAsThePlainText) {
    AddDisk("{Disk} \\One\\ \x80\xe9\xff");
    const ReportDocument doc = BuildReportDocument(ReportDepth::Expert);
    const std::string rtf = ReportRtf(doc);
    EXPECT_EQ(ReadRtf(rtf), ReportPlainText(doc));
    EXPECT_NE(rtf.find("Model - \\{Disk\\} \\\\One\\\\ \\'80\\'e9\\'ff\\line "), std::string::npos);
    EXPECT_EQ(rtf.rfind("{\\rtf3\\li80\\sb40\\sa80\\tx280\\fcharset0 Trademark - Brand\\line Model - ", 0), 0u);
    EXPECT_EQ(rtf.substr(rtf.size() - 5), "\\par}");
    EXPECT_NE(rtf.find("\\line {\\colortbl;\\red0\\green0\\blue255;}{\\field{\\fldinst{HYPERLINK "
                       "https://en.wikipedia.org/wiki/Units_of_information#Systematic_multiples }}{\\fldrslt{\\cf1 "
                       "Capacity\\cf0}}} - 1 TB (931.5 GiB)"),
              std::string::npos);
}

}  // namespace
