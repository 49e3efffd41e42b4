// Brand detection from the model text: the steps in their order, the rows whose place in the table
// decides, and real model strings of the large makers.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "knowledge/Trademarks.h"

namespace {

std::string Ata(const std::string& model) { return DetectTrademark(model, false); }
std::string Nvme(const std::string& model) { return DetectTrademark(model, true); }

TEST(DetectTrademark, EmptyModelAndModelsOfNoGroupOrRule) {
    EXPECT_EQ(Ata(""), "");
    EXPECT_EQ(Nvme(""), "");
    EXPECT_EQ(Ata("samsunG ssd"), "");  // lower-case s: no Samsung rule there, nor a printed form
    EXPECT_EQ(Ata("Intel SSD"), "");
    EXPECT_EQ(Ata("KimMiDi X"), "");  // the Kim MiDi rule covers the whole model only
    EXPECT_EQ(Ata("_SAMSUNG1"), "");  // no group for '_', and no word of a brand
    EXPECT_EQ(Ata("TESTDISK 1000"), "");
}

TEST(DetectTrademark, PatternPositionsLengthsAndCase) {
    EXPECT_EQ(Ata("KimMiDi"), "Kim MiDi");
    EXPECT_EQ(Ata("KiNgStOn A"), "Kingston");  // case-insensitive positions after the first
    EXPECT_EQ(Ata("kINGSTON A"), "");          // ...but not the first, which picks the group
    EXPECT_EQ(Ata("TOSHIBA MQ01ABD100"), "Toshiba");
    EXPECT_EQ(Ata("ToShIbA X"), "Toshiba");
    EXPECT_EQ(Ata("HiTaChI HTS"), "Hitachi");
    EXPECT_EQ(Ata("KINGSTO"), "");  // shorter than the pattern
    EXPECT_EQ(Ata("MicroFrom"), "MicroFrom");
    EXPECT_EQ(Ata("MicroFrom X"), "MicroFrom");
    EXPECT_EQ(Ata("MicroFromX"), "");
    EXPECT_EQ(Ata("BLUERAY SSD"), "BlueRay");
    EXPECT_EQ(Ata("BLUERAY SSD 1"), "");
    EXPECT_EQ(Ata("X Ray"), "XrayDisk");
    EXPECT_EQ(Ata("k2"), "NaTech");
    EXPECT_EQ(Ata("k23"), "");
    // Inner bytes of any value are compared as they are.
    EXPECT_EQ(Ata(std::string("ST\0" "1000", 7)), "");
    EXPECT_EQ(Ata(std::string("WDC\xFF\x01", 5)), "Western digital");
}

TEST(DetectTrademark, ConditionsOfAlternatives) {
    EXPECT_EQ(Nvme("WDS500G2B0A"), "Western digital");
    EXPECT_EQ(Ata("WDS500G2B0A"), "Fake");  // no ATA rule for WDS; the counterfeit list has it
    EXPECT_EQ(Nvme("WD_BLACK SN850X 1000GB"), "Western digital");
    EXPECT_EQ(Ata("WD_BLACK SN850X 1000GB"), "");
    EXPECT_EQ(Ata("WDC WDS250G2B0A"), "Western digital");
    EXPECT_EQ(Ata("CT500MX500SSD1"), "Crucial");
    EXPECT_EQ(Ata("CT240"), "Consistent");
    EXPECT_EQ(Ata("CT240 SSD"), "Crucial");
    EXPECT_EQ(Ata("BX Samsung 1"), "Samsung");
    EXPECT_EQ(Ata("BX Samsungs 1"), "");  // " Samsung " needs the space after it too
    EXPECT_EQ(Nvme("SM961 NVMe SAMSUNG 256GB"), "Samsung");
    EXPECT_EQ(Ata("SM2258XT"), "");
    EXPECT_EQ(Ata("SSD_2.5\"_1TB_InnovationIT_QLC"), "Innovation IT");
}

TEST(DetectTrademark, TableOrderDecidesBetweenOverlappingRules) {
    EXPECT_EQ(Ata("ST3 120"), "SunWind");
    EXPECT_EQ(Ata("ST3000DM001"), "Seagate");
    EXPECT_EQ(Ata("C2S1"), "Hyundai");
    EXPECT_EQ(Ata("C123"), "SCY");
    EXPECT_EQ(Ata("C1234"), "");
    EXPECT_EQ(Ata("M4-CT064M4SSD2"), "Crucial");
    EXPECT_EQ(Ata("M500-X"), "Wicgtyp");
    EXPECT_EQ(Ata("M5XY"), "SCY");
    EXPECT_EQ(Ata("M580CLX"), "PNY");
    EXPECT_EQ(Ata("P123"), "Solidigm");
    EXPECT_EQ(Ata("P12X"), "Solidigm");
    EXPECT_EQ(Ata("P1X2"), "SCY");
    EXPECT_EQ(Ata("S123-X"), "Wicgtyp");
    EXPECT_EQ(Ata("S1+"), "S3+");
    EXPECT_EQ(Ata("S1234"), "SCY");
    EXPECT_EQ(Ata("S123P"), "SCY");
    EXPECT_EQ(Ata("S123PX"), "Simmtronics");
    EXPECT_EQ(Ata("KDSF 128"), "KingDian");
    EXPECT_EQ(Ata("KDS128"), "KeepData");
    EXPECT_EQ(Ata("N1XY"), "SCY");
    EXPECT_EQ(Ata("N0XY"), "");
    EXPECT_EQ(Ata("INTEL SSDSC2"), "Intel");
    EXPECT_EQ(Ata("SSDSC2BB480G4"), "Dell");
    EXPECT_EQ(Ata("SSDSA2CW120G3"), "Intel");
    EXPECT_EQ(Ata("HUS726040ALE610"), "Hitachi");
    EXPECT_EQ(Ata("HUH721212ALE604"), "Western digital");
}

TEST(DetectTrademark, FallbackThenGenericNames) {
    EXPECT_EQ(Ata("X 1TB SSD INTEL X"), "Intel");
    EXPECT_EQ(Ata("1TB SATA SSD"), "Apacer");  // also a generic name: the fallback comes first
    EXPECT_EQ(Ata("512GB SATA SSD"), "Apacer");
    EXPECT_EQ(Ata("64GB SATA Flash Drive"), "Apacer");
    EXPECT_EQ(Nvme("512GB MEGA S3 512GB"), "Digma");
    EXPECT_EQ(Ata("E12-256G-PHISON-SSD-B3-BB1"), "Phison");
    EXPECT_EQ(Ata("X One S"), "Vixion");
    EXPECT_EQ(Ata("GREAT RUN 1"), "Digma");  // the first fallback text that holds
    EXPECT_EQ(Ata("SATA SSD"), "Unknown");
    EXPECT_EQ(Ata("SSD"), "Unknown");
    EXPECT_EQ(Ata("SSD     480GB"), "Unknown");
    EXPECT_EQ(Ata("SSD 480GB"), "Unknown");
    EXPECT_EQ(Ata("SSD  480GB"), "Unknown");
    EXPECT_EQ(Ata("SSD   480GB"), "");
    EXPECT_EQ(Ata("SSD 480GB "), "");  // the whole model must be equal
    EXPECT_EQ(Ata("2.5\" SATA SSD 512GB"), "Unknown");
}

TEST(DetectTrademark, CounterfeitTextsOverrideOrFillTheBrand) {
    EXPECT_EQ(Ata("KINGSTON SA400S37/240G"), "Fake");
    EXPECT_EQ(Ata("KINGSTON SA400S37/240GX"), "Kingston");
    EXPECT_EQ(Ata("KINGSTON"), "Fake");
    EXPECT_EQ(Ata("WD BLUE SA510"), "Fake");
    EXPECT_EQ(Ata("WD Blue SA510 2.5 1000GB"), "Western digital");
    EXPECT_EQ(Ata("WD30"), "Fake");
    EXPECT_EQ(Ata("WD300"), "Western digital");
    EXPECT_EQ(Ata("Toshiba Bics"), "Fake");
    EXPECT_EQ(Ata("Apacer A S350 256GB"), "Fake");
    EXPECT_EQ(Ata("Apacer AS350 256GB"), "Apacer");
    EXPECT_EQ(Ata("Sandisk SM2258XT"), "Fake");
    EXPECT_EQ(Ata("kingston SA400"), "Fake");
    EXPECT_EQ(Ata("kc300"), "Fake");
    EXPECT_EQ(Ata("kc3000"), "");
    EXPECT_EQ(Ata("Crucial BX500 120G"), "Fake");
    EXPECT_EQ(Ata("Crucial BX500 240G"), "");
    EXPECT_EQ(Ata("FURY RENEGADE"), "Fake");
}

struct Expected {
    const char* model;
    const char* brand;
};

// Models that only the brand name at their start decides: no rule of their group, no fallback text.
const Expected LeadingNames[] = {
    {"Kingspec 256GB", "KingSpec"},         // capitalised
    {"HEWLETT PACKARD SSD", "Hewlett Packard"},  // in capitals, two words
    {"Western digital Blue", "Western digital"},  // as written, only the W rules' other spellings exist
    {"Team Group Vulcan", "Team Group"},      // every word capitalised
    {"Sk Hynix Gold P31", "SK hynix"},        // the longer name wins over "Sk" for SK
    {"Addlink-S70", "addlink"},               // a hyphen ends the word
    {"Takems_512", "takeMS"},                 // so does an underscore
    {"G.skill Phoenix", "G.Skill"},           // a dot inside a name is part of the word
    {"E2e4", "e2e4"},                         // the name alone is the whole model
    {"VIXION X", "Vixion"},                   // no rule at all, only the fallback text before
    {"Kingspec256GB", ""},                    // a digit after the name: not a word of its own
    {"Kingspecs 1", ""},                      // nor a letter
    {"kingspec 256GB", "KingSpec"},           // all in small letters
    {"kingSpec 256GB", ""},                   // a mix of cases is none of the forms
    {"KINGSPEC", "KingSpec"},                 // in capitals the group rule already has it
    {"Intel SSD", ""},                        // left to the table
    {"Crucial MX500 500GB", ""},              // left to the table
    {"CRUCIAL MX500", "Fake"},                // the counterfeit prefix is tried first
    {"YMTC JGS", "Unknown"},                  // a generic name is tried first
    {"Polion X", ""},                         // the table names Polion only as the whole model
    {"BLUERAY SSD 1", ""},
    {"Heovose 1TB", ""},
    {"AGILE-256GB", "AGI"},                   // a rule of the group decides before the name
    // The maker a model names after its first word, when no name leads the model.
    {"SM2P41C3 NVMe ADATA 256GB", "Adata"},
    {"X1 NVMe Sk Hynix 512GB", "SK hynix"},    // the longest name
    {"X1 NVMe INTEL 512GB", "Intel"},          // only the leading word leaves Intel to the table
    {"X1-256G-KINGSPEC-SSD", "KingSpec"},
    {"X1 512GB kingspec", "KingSpec"},
    {"Kingspec NVMe ADATA 1TB", "KingSpec"},   // the leading name comes first
    {"X1 NVMe ADATAX 256GB", ""},              // not a word of its own
    {"X1 NVMe", ""},
    {"X1 512GB SED", ""},                      // a self-encrypting drive, not Sed
};

TEST(DetectTrademark, BrandNameAtTheStartDecidesWhatNothingElseDid) {
    for (const Expected& e : LeadingNames) {
        EXPECT_EQ(Ata(e.model), e.brand) << e.model;
        EXPECT_EQ(Nvme(e.model), e.brand) << e.model;
    }
}

// Ordering codes that follow a maker's part-number scheme, and codes just outside it.
const Expected PartNumbers[] = {
    {"APSDM004GA1AN-XTM1", "Apacer"},  // three-letter line code, capacity 004G
    {"APM256GXYZ", "Apacer"},          // one-letter line code
    {"APQR032G", "Apacer"},            // two letters, nothing after the G
    {"APSDMX004G", ""},                // a four-letter line code is none of Apacer's
    {"APM25G", ""},                    // the capacity has three digits
    {"APM256T", ""},                   // ...and is given in gigabytes
    {"AP256GAS340", ""},               // no line code before the capacity
    {"APSDM004", ""},
    {"APS-SL3N-256", "Pioneer"},       // Pioneer's codes come first in the table
    {"1.8\" SATA SSD 3TG6-P", "Innodisk"},  // form factor, then the series code
    {"1.8 SATA SSD 3ME3", "Innodisk"},
    {"1.8 SATA SSD ME3", ""},             // the series code opens with its digit
    {"CS900 240GB SSD", "PNY"},             // PNY's CS line: three or four digits, then a space
    {"CS2211 1TB", "PNY"},
    {"CS90 SSD", ""},
    {"CS900-240", ""},
};

TEST(DetectTrademark, PartNumberSchemes) {
    for (const Expected& e : PartNumbers) EXPECT_EQ(Ata(e.model), e.brand) << e.model;
}

struct Known {
    const char* model;
    bool isNVMe;
    const char* brand;
};

// Model strings real drives of the large makers report, with the brand each must give.
const Known KnownModels[] = {
    {"Samsung SSD 860 EVO 500GB", false, "Samsung"}, {"Samsung SSD 970 EVO Plus 1TB", true, "Samsung"},
    {"SAMSUNG HD103SJ", false, "Samsung"}, {"SAMSUNG MZVLB512HAJQ-00000", true, "Samsung"},
    {"MZ7LN256HAJQ-000H1", false, "Samsung"}, {"PM981a NVMe Samsung 512GB", true, "Samsung"},
    {"WDC WD10EZEX-08WN4A0", false, "Western digital"}, {"WDC WD40EFRX-68N32N0", false, "Western digital"},
    {"WDC WDS500G2B0A-00SM50", false, "Western digital"}, {"WD Blue SN570 1TB", true, "Western digital"},
    {"WD_BLACK SN770 1TB", true, "Western digital"}, {"WUS721010ALE6L4", false, "Western digital"},
    {"ST1000DM003-1CH162", false, "Seagate"}, {"ST2000DM008-2FR102", false, "Seagate"},
    {"ST500LM030-2E717D", false, "Seagate"}, {"ST4000VN008-2DR166", false, "Seagate"},
    {"Seagate BarraCuda 120 SSD ZA500CM10003", false, "Seagate"}, {"ZA480NM10011", false, "Seagate"},
    {"TOSHIBA DT01ACA100", false, "Toshiba"}, {"TOSHIBA MQ04ABF100", false, "Toshiba"},
    {"TOSHIBA-TR200", false, "Toshiba"}, {"THNSNJ256GCSU", false, "Toshiba"},
    {"KXG50ZNV256G TOSHIBA", true, "Toshiba"}, {"MG07ACA14TE", false, "Toshiba"},
    {"KIOXIA-EXCERIA SATA SSD", false, "Kioxia"}, {"KIOXIA-EXCERIA PLUS G2 SSD", true, "Kioxia"},
    {"KBG40ZNS256G NVMe KIOXIA 256GB", true, "Kioxia"}, {"KBG50ZNV512G KIOXIA", true, "Kioxia"},
    {"KCD61LUL3T84", true, "Kioxia"},
    {"Hitachi HDS721010CLA332", false, "Hitachi"}, {"HGST HTS721010A9E630", false, "Hitachi"},
    {"HTS545050A7E380", false, "Hitachi"}, {"HDS721050CLA362", false, "Hitachi"},
    {"HUA722010CLA330", false, "Hitachi"}, {"HITACHI HTS543232L9SA00", false, "Hitachi"},
    {"SK hynix SC311 SATA 256GB", false, "SK hynix"}, {"SKHynix_HFS512GD9TNI-L2B0B", false, "SK hynix"},
    {"HFS256G39TND-N210A", false, "SK hynix"}, {"BC711 HFM256GD3JX013N", true, "SK hynix"},
    {"PC711 NVMe SK hynix 512GB", true, "SK hynix"}, {"SHGP31-1000GM-2", true, "SK hynix"},
    {"Micron_1100_MTFDDAK256TBN", false, "Micron"}, {"MTFDDAK256TDL-1AW1ZABHA", false, "Micron"},
    {"Micron 2200S NVMe 512GB", true, "Micron"}, {"MICRON_M510DC_MTFDDAK480MBP", false, "Micron"},
    {"C400-MTFDDAC256MAM", false, "Micron"},
    {"CT500MX500SSD1", false, "Crucial"}, {"CT1000P1SSD8", true, "Crucial"},
    {"Crucial_CT275MX300SSD1", false, "Crucial"}, {"CT240BX500SSD1", false, "Crucial"},
    {"M4-CT128M4SSD2", false, "Crucial"}, {"C300-CTFDDAC128MAG", false, "Crucial"},
    {"INTEL SSDSC2KW256G8", false, "Intel"}, {"INTEL SSDPEKNW512G8", true, "Intel"},
    {"INTEL SSDSA2CW120G3", false, "Intel"}, {"SSDSA2CT040G3", false, "Intel"},
    {"INTEL MEMPEK1W016GA", true, "Intel"},
    {"KINGSTON SA400S37240G", false, "Kingston"}, {"KINGSTON SNV2S1000G", true, "Kingston"},
    {"KINGSTON SKC3000S1024G", true, "Kingston"}, {"KINGSTON SUV500240G", false, "Kingston"},
    {"KINGSTON SHFS37A120G", false, "Kingston"}, {"Kingston SA400S37/960G", false, "Kingston"},
    {"SanDisk SDSSDA240G", false, "SanDisk"}, {"SanDisk SSD PLUS 480GB", false, "SanDisk"},
    {"SanDisk Ultra II 480GB", false, "SanDisk"}, {"SanDisk SD8SB8U256G1001", false, "SanDisk"},
    {"SD8SN8U-256G-1006", true, "SanDisk"}, {"SANDISK SD7SN6S256G", false, "SanDisk"},
    {"ADATA SU800", false, "Adata"}, {"ADATA SX8200PNP", true, "Adata"}, {"ADATA SU650", false, "Adata"},
    {"XPG GAMMIX S11 Pro", true, "Adata"}, {"ADATA LEGEND 960", true, "Adata"},
    {"TS256GSSD370S", false, "Transcend"}, {"TS512GMTE220S", true, "Transcend"},
    {"TS128GMTS430S", false, "Transcend"}, {"TS240GSSD220S", false, "Transcend"}, {"TS1TSSD230S", false, "Transcend"},
    {"LITEON CV1-8B256", false, "Lite-On"}, {"LITEONIT LCS-256M6S", false, "Lite-On"},
    {"LITEON CA3-8D512", true, "Lite-On"}, {"LITEON IT LMT-256L9M", false, "Lite-On"},
    {"Lite-On LCH-128V2S", false, "Lite-On"},
    {"PLEXTOR PX-128M5S", false, "Plextor"}, {"PLEXTOR PX-256M6Pro", false, "Plextor"},
    {"PLEXTOR PX-512M8PeG", true, "Plextor"}, {"PLEXTOR PX-256M8VC", false, "Plextor"},
    {"PLEXTOR PX-128M6V", false, "Plextor"},
    {"Corsair Force GT", false, "Corsair"}, {"Corsair Force LS SSD", false, "Corsair"},
    {"Corsair MP510", true, "Corsair"}, {"Force MP510", true, "Corsair"}, {"Corsair Neutron GTX SSD", false, "Corsair"},
    {"Patriot Burst", false, "Patriot Memory"}, {"Patriot P210 256GB", false, "Patriot Memory"},
    {"Patriot Blast", false, "Patriot Memory"}, {"Patriot M.2 P300 512GB", true, "Patriot Memory"},
    {"Patriot Pyro SE", false, "Patriot Memory"},
    {"SPCC Solid State Disk", false, "Silicon Power"}, {"SPCC M.2 PCIe SSD", true, "Silicon Power"},
    {"SP256GBSS3A55S25", false, "Silicon Power"}, {"SP512GBP34A80M28", true, "Silicon Power"},
    {"SP120GBSS3S55S25", false, "Silicon Power"},
    {"Apacer AS340 240GB", false, "Apacer"}, {"Apacer AS350 512GB", false, "Apacer"},
    {"Apacer AS2280P4 512GB", true, "Apacer"}, {"Apacer AS330 240GB", false, "Apacer"},
    {"Apacer AS722 512GB", false, "Apacer"},
    {"KingSpec P3-512", false, "KingSpec"}, {"NT-256", false, "KingSpec"}, {"NX-512", true, "KingSpec"},
    {"P3-256", false, "KingSpec"}, {"MT-256", false, "KingSpec"},
    {"Netac SSD 256GB", false, "Netac"}, {"Netac NVMe SSD 1TB", true, "Netac"}, {"Netac SSD 480GB", false, "Netac"},
    {"Netac NV2000 1TB", true, "Netac"}, {"Netac SSD 128GB", false, "Netac"},
    {"TEAM T253X2256G", false, "Team Group"}, {"T-FORCE 512GB", false, "Team Group"},
    {"TEAM L5 LITE 3D 240GB", false, "Team Group"}, {"T-FORCE TM8FP7001T", true, "Team Group"},
    {"TEAM TM8FP6512G", true, "Team Group"},
    {"HP SSD S700 250GB", false, "Hewlett Packard"}, {"HP SSD EX900 500GB", true, "Hewlett Packard"},
    {"MB2000GCWDA", false, "Hewlett Packard"}, {"VK0960GFDKK", false, "Hewlett Packard"},
    {"MM1000GBKAL", false, "Hewlett Packard"}, {"HP SSD EX950 1TB", true, "Hewlett Packard"},
    {"Lenovo SSD SL700 240G", false, "Lenovo"}, {"LENSE20512GMSP34MEAT3TA", true, "Lenovo"},
    {"Thinklife SSD ST600 MSATA 128G", false, "Lenovo"}, {"Lenovo SSD SL700 480G", false, "Lenovo"},
    {"Lenovo-LS510-mSATA-240GB", false, "Lenovo"},
    {"Dell Ent NVMe v2 AGN RI U.2 1.92TB", true, "Dell"},
    {"Dell Express Flash NVMe P4610 1.6TB SFF", true, "Dell"}, {"SSDSC2KB240G8R", false, "Intel"},
    {"SSDPE2KX010T8", true, "Dell"}, {"Dell WR202KD032G E70290F5", false, "Dell"},
};

TEST(DetectTrademark, RealModelsOfTheLargeMakers) {
    for (const Known& k : KnownModels)
        EXPECT_EQ(DetectTrademark(k.model, k.isNVMe), k.brand) << k.model;
}

}  // namespace
