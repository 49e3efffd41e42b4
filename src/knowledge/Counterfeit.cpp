#include "knowledge/Counterfeit.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <iterator>

#include "device/DiagnosticLog.h"

namespace {

const char* const Fake = "Fake";

const char* const CounterfeitFirmware[] = {"0964", "0967"};

// Models that counterfeit firmware is known to claim: marked without a note in the log.
const char* const KnownCounterfeitFirmwareModels[] = {
    "SAMSUNG HD204UI", "ST3000DM001-1CH166", "ST4000DM004-2CV104", "WDC WD30EZRX-00MMMB0", "WDC WD40EZRX-00SPEB0",
    "ST1000LM035-1RK172", "WDC WD10SPZX-21Z10T0", "ST3250318AS", "TOSHIBA DT01ACA050", "Hitachi HUS724040ALE641",
    "WDC WD3000BLHX-01V7BV0", "WDC WD1002FAEX-00Z3A0", "TOSHIBA HDWD110", "ST1000VX005-2EZ102",
    "APPLE HDD ST1000DM003",
};

struct ModelFirmware {
    const char* Model;
    const char* Firmware;
};

const ModelFirmware KingstonCounterfeits[] = {
    {"KINGSTON SA400S37960G", "V7.0"},     {"KINGSTON SA400S37960G", "U0511A0"},
    {"KINGSTON SA400S37960G", "HC201116"}, {"KINGSTON SA400S37960G", "V0111A0"},
    {"KINGSTON SA400S37960G", "W0315A0"},  {"KINGSTON SA400S37960G", "V1011B0"},
    {"KINGSTON SA400S37960G", "U0506A0"},  {"KINGSTON SA400S37480G", "SBIFK7H"},
    {"KINGSTON SA400S37480G", "V8301c70"}, {"KINGSTON SA400S37480G", "U0430A0"},
    {"KINGSTON SA400S37480G", "W0315A0"},  {"KINGSTON SA400S37480G", "W0413A0"},
    {"KINGSTON SA400S37240G", "S1120A0"},  {"KINGSTON SA400S37240G", "Q0831C0"},
    {"KINGSTON SA400S37240G", "U0330A0"},  {"KINGSTON SA400S37240G", "U0205A0"},
    {"KINGSTON SA400S37240G", "HCS1A25E"}, {"KINGSTON SA400S37240G", "903XKR"},
    {"KINGSTON SA400S37120G", "S1127B0"},  {"KINGSTON SA400S37120G", "U0105A0"},
    {"KINGSTON SA400S37120G", "V0909A0"},  {"KINGSTON SA400S37120G", "ZD0R024L"},
    {"KINGSTON SUV400S37240G", "Q0510B"},  {"KINGSTON SUV400S37240G", "Q0414B0"},
    {"KINGSTON SV300S37A120G", "5.8.2"},   {"KINGSTON SV300S37A120G", "P0831A"},
    {"KINGSTON SV300S37A120G", "Q0120B"},  {"KINGSTON SV300S37A240G", "02000007"},
    {"KINGSTON SKC600512G", "ZD0R3G0F"},   {"KINGSTON SNVS500G", "V0323A0"},
    {"KINGSTON SNVS500G", "U0914A0L"},
};

const ModelFirmware CrucialCounterfeits[] = {
    {"CT1000MX500SSD1", "V8301c70"},
    {"CT500MX500SSD1", "0"},
    {"CT480BX500SSD1", "HT3618C4"},
};

// Kingston models whose firmware is genuine text but whose flash controller gives them away.
struct ModelFirmwareController {
    const char* Model;
    const char* Firmware;
    uint8_t ControllerID;
};

const ModelFirmwareController KingstonControllerCounterfeits[] = {
    {"KINGSTON SA400S37960G", "SBFK71E0", 17},  {"KINGSTON SA400S37960G", "SBFK71E0", 19},
    {"KINGSTON SA400S37480G", "SBFKK1B3", 17},  {"KINGSTON SA400S37480G", "SBFK71E0", 19},
    {"KINGSTON SA400S37240G", "SBFK71E0", 17},  {"KINGSTON SA400S37120G", "SBFK71E0", 17},
    {"KINGSTON SA400S37120G", "SBFK71E0", 19},  {"KINGSTON SUV400S37120G", "0C3FD6SD", 17},
    {"KINGSTON SUV400S37120G", "0C3FD6SD", 19}, {"KINGSTON SUV400S37240G", "0C3FD6SD", 17},
    {"KINGSTON SV300S37A120G", "608ABBF0", 17},
};

// Controllers that genuine Samsung drives never carry.
const uint8_t SamsungCounterfeitControllers[] = {10, 17, 18, 19};

template <typename Value, typename Item, size_t N>
bool Listed(const Value& value, const Item (&list)[N]) {
    return std::find(std::begin(list), std::end(list), value) != std::end(list);
}

bool HasOui(const DriveRecord& d, std::initializer_list<uint32_t> ouis) {
    return d.HasWWN && std::find(ouis.begin(), ouis.end(), d.OUI) != ouis.end();
}

bool FirmwareBeginsWith(const DriveRecord& d, const char* prefix) {
    return d.FirmwareVersion.compare(0, std::strlen(prefix), prefix) == 0;
}

template <size_t N>
bool PairListed(const DriveRecord& d, const ModelFirmware (&pairs)[N]) {
    return std::any_of(std::begin(pairs), std::end(pairs),
                       [&](const ModelFirmware& p) { return d.Model == p.Model && d.FirmwareVersion == p.Firmware; });
}

// A counterfeit model text with carriage returns inside gets the text of the model it imitates.
bool MendModel(DriveRecord& d, const char* reported, const char* imitated) {
    if (d.Model != reported) return false;
    d.Model = imitated;
    return true;
}

bool SeagateCounterfeit(DriveRecord& d) {
    return MendModel(d, "ST320LM010-1KJ15C \r\r\r80", "ST320LM010-1KJ15C") || HasOui(d, {0x0014EE, 0x000CCA});
}

bool WesternDigitalCounterfeit(const DriveRecord& d) {
    return HasOui(d, {0x000000, 0x000039, 0x000C50}) || (HasOui(d, {0x000CCA}) && FirmwareBeginsWith(d, "M")) ||
           (!d.HasWWN && d.IsSSD);
}

bool ToshibaCounterfeit(DriveRecord& d) {
    return MendModel(d, "TOSHIBA DT01ACA100\r\r\r3", "TOSHIBA DT01ACA100") || HasOui(d, {0x000CCA});
}

bool KingstonCounterfeit(const DriveRecord& d) {
    return PairListed(d, KingstonCounterfeits) ||
           (HasOui(d, {0x00E04C}) && d.Model == "KINGSTON SNV2S2000G" && d.FirmwareVersion == "SBM02106");
}

// The brand's own checks; a brand without any (the empty one, "Unknown", "Fake") is never marked here.
bool IdentityIsCounterfeit(DriveRecord& d) {
    const std::string& brand = d.Trademark;
    if (brand == "Seagate") return SeagateCounterfeit(d);
    if (brand == "Western digital") return WesternDigitalCounterfeit(d);
    if (brand == "Samsung") return HasOui(d, {0x000000, 0x00E04C});
    if (brand == "Hitachi") return d.FirmwareVersion == "NAR61HA0";
    if (brand == "Toshiba") return ToshibaCounterfeit(d);
    if (brand == "Kingston") return KingstonCounterfeit(d);
    if (brand == "Crucial") return PairListed(d, CrucialCounterfeits);
    return false;
}

}  // namespace

void CheckCounterfeit(DriveRecord& drive) {
    if (Listed(drive.FirmwareVersion, CounterfeitFirmware)) {
        drive.Trademark = Fake;
        // A model not seen with this firmware before is worth a look.
        if (!Listed(drive.Model, KnownCounterfeitFirmwareModels)) WriteLog("Fake?", &drive);
        return;
    }
    if (IdentityIsCounterfeit(drive)) drive.Trademark = Fake;
}

void CheckCounterfeitByController(DriveRecord& drive) {
    const uint8_t controller = drive.ControllerID;
    bool counterfeit = false;
    if (drive.Trademark == "Samsung") counterfeit = Listed(controller, SamsungCounterfeitControllers);
    if (drive.Trademark == "Kingston")
        counterfeit = std::any_of(std::begin(KingstonControllerCounterfeits), std::end(KingstonControllerCounterfeits),
                                  [&](const ModelFirmwareController& c) {
                                      return drive.Model == c.Model && drive.FirmwareVersion == c.Firmware &&
                                             controller == c.ControllerID;
                                  });
    if (counterfeit) drive.Trademark = Fake;
}
