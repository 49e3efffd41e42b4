// Checks of the brand table itself: every pattern is well-formed and sits in the group of its first
// character, every brand of the brand list is reached, no rule or alternative is hidden behind an
// earlier one, the rows with a fixed place are at that place, and no rule hides a generic name or a
// counterfeit text.
#include <gtest/gtest.h>

#include <bitset>
#include <cctype>
#include <set>
#include <string>
#include <vector>

#include "knowledge/TrademarkTables.h"
#include "knowledge/Trademarks.h"
#include "knowledge/KnowledgeFacts.h"

namespace {

using knowledgefacts::Describe;

// The 566 brand names detection may give (besides "Unknown" and "Fake"), spelled as shown to users.
const char* const BrandList[] = {
    "2-Power", "2connet", "A-Ray", "AA-Tigers", "Aarvex", "Abacus", "Ace Power", "Acer", "Acos", "Actseno",
    "Adata", "addlink", "Advantech", "Aego", "Afox", "AGI", "Agile", "Aigo", "Airdigm", "AirDisk", "AITC",
    "AlienTech", "Alketron", "Alltek", "AMD", "Anacomda", "Ant Esports", "Aoluska", "Apacer", "Apple",
    "Ardor Gaming", "ASDK", "Asenno", "Asgard", "ASint", "ASL", "Asolid", "Aspor", "Asscir", "ATP", "Attech",
    "Avant", "Avexir", "Axiom", "Axle", "Azerty", "Baititon", "Bamba", "BaseTech", "Best Memory", "BestBattery",
    "Bestoss", "Billion Reservoir", "Biostar", "Biwin", "BKHD", "Blackpcs", "BlueRay", "Bto", "Buddy", "Buffalo",
    "Bugatek", "Bulldozer", "Bullet", "CBR", "CeaMere", "Cervoz", "ChangSen", "Chiptronex", "Chitoe", "Clover",
    "Codegen", "Colorful", "Compit", "Conner", "Consistent", "Corsair", "Crucial", "Cuso", "Cusu", "CyberX", "Cyx",
    "Dahua", "Daichi", "Dale7", "Daten", "Dell", "Delora", "Deotera", "Derlar", "DeTech", "Dexp", "Dextor",
    "Digirich", "Digistor", "Digital Alliance", "Digma", "Dingge", "DM Life", "DMS", "Doctor Memory", "Dogfish",
    "Doggo", "Drevo", "DST", "Duex", "Dynabook", "e2e4", "Eaget", "Eastern data", "Easy Memory", "Edge Memory",
    "Ediloca", "Eekoo", "Elsa", "Elsky", "Emtec", "Enmax", "Etopso", "eVault", "Everest", "EVM", "EvoTech",
    "Exbom", "ExcelStor", "ExeGate", "Exram", "ExtraPlusEnergy", "Extrememory", "Eyota", "EZCool", "Ezlink",
    "Fanxiang", "Fartrail", "Faspeed", "FastDisk", "FCS", "FDC", "Fenix", "Festtive", "Fikwot", "Firebat",
    "Flexis", "Focal", "Foxin", "Foxline", "Fujitsu", "Fuller", "FZ", "G-Bong", "G.Skill", "Galax", "Gamer Ninja",
    "Gamers Choice", "GeIL", "Genuine", "GEO", "Geonix", "Gigabyte", "Gigastone", "Gloway", "Go Infinity",
    "Gofatoo", "Golden memory", "Goldenfir", "Goldentec", "Goline", "GoodRAM", "Gortgas", "Graviton", "Great Wall",
    "Gritronix", "GS Nanotech", "GSemi", "GTA Tech", "GTL", "Gudga", "H-Flash", "Hajaan", "Hanye", "Haze",
    "Heoriady", "Heovose", "HeroSys", "Hewlett Packard", "Hi-Level", "HighRel", "Hikleche", "Hikvision", "Hised",
    "Hitachi", "Hoge", "HongLong", "HongQin", "HooDisk", "Hoopson", "Huadisk", "Huawei", "Huaxuan", "Hydra",
    "HyperTec", "HYssd", "Hyundai", "i.norys", "IBM", "iCoolax", "iDsonix", "iFound", "Imation", "Imperion",
    "Incehesap", "Indilinx", "Innodisk", "Innovation IT", "Intaiell", "Integral Memory", "Intel", "Intenso",
    "Ioway", "Iplex", "Irvine", "Izoly", "James Donkey", "Jaster", "JD", "Jesis", "JieShuo", "Jingyi", "Jishun",
    "JK", "JMST", "Juhor", "Kabum", "Kaizen", "Kaser", "Kazuk", "KCG", "KData", "KeepData", "Kim MiDi",
    "Kimcunsung", "Kimtigo", "KingBank", "KingCell", "Kingchuxing", "KingCom", "KingDian", "KingDisk", "KingFast",
    "Kingmax", "KingPrice", "Kingsand", "KingSpec", "KingSSD", "Kingston", "KinRam", "Kioxia", "Klevv", "Kllisre",
    "Knup", "Kodak", "Kootion", "Kowin", "Kross", "Krystaic", "Kston", "Ktrok", "Kuijia", "Kunup", "Kuzuk", "Kvst",
    "Kyo", "LaCie", "Lapcare", "Lazos", "LDLC", "Lecoo", "Lenovo", "Lensen", "Leven", "Lexar", "LG", "Life Tech",
    "Lightning", "Lite-On", "LonDisk", "Longline", "Longsys", "LuminouTek", "Lunatic", "Lvcards", "M.Skill",
    "MacMemory", "Macrovip", "Magix", "Magnetic Data", "Mancer", "Marshal", "MasonSemi", "MasterMemory", "Matrix",
    "MaxM", "Maxsun", "Maxtor", "Maya", "MCPoint", "Mctech", "Mediamax", "MemoiresTek", "MemoRight",
    "Memory Ghost", "Metec", "MG Tech", "MGS", "Mibrand", "MicroData", "MicroDream", "MicroFrom", "Micron",
    "Midasforce", "MiLi", "Mirex", "Mixza", "Mllse", "Modix", "Monster Storage", "Morebeck", "Move speed", "MSI",
    "Mushkin", "MyDigitalSSD", "MyMedia", "Myung", "NaTech", "Nellesar", "Neo Forza", "Neobihier", "Neologic",
    "Netac", "NetCore", "Nextorage", "Nextron", "Nikimi", "Nikopol", "NMicro", "NN Tecnologia", "NTC",
    "OCPC Gaming", "OCZ", "Odopo", "Oeing", "Oleane", "Onda", "OneXPlayer", "Orico", "Origin", "Ortial", "Oscoo",
    "Outton", "OV", "Ovation", "OWC", "OxyBr", "Palit", "Patriot Memory", "PC Pet", "PCCooler", "PCSpecialist",
    "Pcyes", "Philips", "Phison", "Phixero", "Pichau", "Pioneer", "Plextor", "PNY", "Polion", "Power Rig",
    "PowerX", "PQI", "Pretec", "ProDrive", "Prologix", "Punta", "Puskill", "QianChu", "Qnix", "Qopp", "QPower",
    "Quantum", "Quanxing", "Quaroni", "Qumo", "Rahonix", "Ramaxel", "Rambaite", "Ramsta", "Raver", "Rayson",
    "Razz", "RceSSD", "Recadata", "Reeinno", "Reletech", "Revo", "RevuAhn", "Rise Mode", "Rogueware", "Rouhong",
    "RuDigital", "Ruiren", "RunCore", "RX7", "RZX", "S3+", "Sabrent", "Saichi", "Samgporse", "Samsung", "SanDisk",
    "SCCTS", "SCY", "Seagate", "Securenet", "Sed", "Sethrise", "SGH", "Shark Gaming", "ShiJi", "ShineDisk",
    "Silicon Power", "Simmtronics", "Simorchip", "SiS", "SK", "SK hynix", "Skihotar", "SKS", "Skyline", "Smartbuy",
    "SMMA", "SNR", "Solid", "Solidigm", "SomnAmbulist", "Sonizoon", "Soooner", "Soyo", "SPD", "SSK", "SSSTC",
    "Star", "Start", "STmagic", "Strond", "Stylos", "Suneast", "Suntrsi", "SunWind", "Super Talent", "Supersonic",
    "SuperSSpeed", "Surma", "Synology", "Syoncon", "Taifast", "Taisu", "takeMS", "Tammuz", "Tansanshe", "Target",
    "TCMG", "Tcsunbow", "Team Group", "Techno speed", "Teclast", "Tecmiyo", "Teleplan", "Tesla", "Teutons",
    "Textorm", "TGT Gaming", "Timetec", "TMI", "Topmore", "Torosus", "Toshiba", "Transcend", "TrekStor",
    "Triventa", "TRM", "Tronos", "Turbox", "TwinMOS", "TWSC", "Txrui", "Udinfo", "UDSS", "ULike", "Umax", "Unic2",
    "Union Memory", "Univois", "UP Gamer", "UzmPower", "V-GeN", "ValueTech", "Vaseky", "Vektron", "Veno Scorp",
    "VenomRX", "Verbatim", "Verico", "Virtium", "Visipro", "Vivetronic", "Vixion", "VnmRX", "Voltriq", "VSP",
    "VTrust", "Vurrion", "Wael", "Walram", "Warrior", "Water Panther", "Wdstars", "Wdxsky", "Weijinto", "Wellcomm",
    "Wellmim", "Western digital", "Whalekom", "Wibrand", "Wibtek", "Wicgtyp", "Win Memory", "Winten", "Wodposit",
    "Wooking", "X-Energy", "X-Star", "Xincuu", "Xinhaike", "Xinkui", "Xinsujie", "Xintor", "XOC", "XrayDisk",
    "XUE", "Yansen", "Yeston", "Yeyian", "YHJC", "YingChu", "YMTC", "Yucun", "Zadak", "Zebion", "Zebronics",
    "Zeplin", "Zheino", "Zotac", "Zsuit", "ZTC", "Zyrex",
};

// A pattern read independently of the matcher: the set of characters each position accepts.
struct Positions {
    std::vector<std::bitset<256>> sets;
    bool open = false;
};

Positions Read(const char* pattern) {
    Positions p;
    for (const char* at = pattern; *at; ++at) {
        std::bitset<256> set;
        if (*at == '*') {
            p.open = true;
            break;
        }
        if (*at == '#') {
            for (char c = '0'; c <= '9'; ++c) set.set(static_cast<unsigned char>(c));
        } else if (*at == '?') {
            set.set();
        } else if (*at == '[') {
            for (++at; *at != ']'; ++at) {
                if (at[1] == '-' && at[2] != ']') {
                    const int low = static_cast<unsigned char>(at[0]), high = static_cast<unsigned char>(at[2]);
                    for (int c = low; c <= high; ++c) set.set(c);
                    at += 2;
                } else {
                    set.set(static_cast<unsigned char>(*at));
                }
            }
        } else {
            set.set(static_cast<unsigned char>(*at));
        }
        p.sets.push_back(set);
    }
    return p;
}

// True when every model that `later` accepts is accepted by `earlier` too.
bool Covers(const Alternative& earlier, const Alternative& later) {
    if (earlier.Condition != Always &&
        (earlier.Condition != later.Condition || std::string(earlier.Text ? earlier.Text : "") !=
                                                     std::string(later.Text ? later.Text : "")))
        return false;
    const Positions a = Read(earlier.Pattern), b = Read(later.Pattern);
    if (a.open ? b.sets.size() < a.sets.size() : (b.open || b.sets.size() != a.sets.size())) return false;
    for (size_t i = 0; i < a.sets.size(); ++i)
        if ((b.sets[i] & ~a.sets[i]).any()) return false;
    return true;
}

// A model the pattern accepts: the first character of every position, and one more for an open end.
std::string Witness(const char* pattern) {
    const Positions p = Read(pattern);
    std::string model;
    for (const auto& set : p.sets) {
        int c = 1;
        while (!set.test(c)) ++c;
        model += static_cast<char>(c);
    }
    if (p.open) model += 'x';
    return model;
}

template <typename F>
void ForEachAlternative(F f) {
    for (size_t g = 0; g < TrademarkGroupCount; ++g)
        for (size_t r = 0; r < TrademarkGroups[g].Count; ++r)
            for (const Alternative& a : TrademarkGroups[g].Rules[r].Alternatives)
                if (a.Pattern) f(TrademarkGroups[g], r, a);
}

const TrademarkGroup* Group(char first) {
    for (size_t g = 0; g < TrademarkGroupCount; ++g)
        if (TrademarkGroups[g].First == first) return &TrademarkGroups[g];
    return nullptr;
}

std::string RuleAt(char first, size_t place) {
    const TrademarkGroup* group = Group(first);
    if (!group || place == 0 || place > group->Count) return "(no such rule)";
    return Describe(group->Rules[place - 1]);
}

bool GroupHas(char first, const std::string& description) {
    const TrademarkGroup* group = Group(first);
    for (size_t r = 0; group && r < group->Count; ++r)
        if (Describe(group->Rules[r]) == description) return true;
    return false;
}

TEST(TrademarkTable, PatternNotation) {
    for (const char* good : {"A", "ADATA*", "[1-9]??", "C[1-9]??", "T[Oo]PMORE *", "2.5\" SATA SSD #[A-Z][A-Z]#*"})
        EXPECT_TRUE(PatternIsWellFormed(good)) << good;
    for (const char* bad : {"", "*", "AB*C", "A**", "[AB", "A]", "A[]", "A[B-A]", "A[#]", "A[[B]"})
        EXPECT_FALSE(PatternIsWellFormed(bad)) << bad;
    EXPECT_TRUE(PatternMatches("C[1-9]??", "C1xy", 4));
    EXPECT_FALSE(PatternMatches("C[1-9]??", "C0xy", 4));
    EXPECT_FALSE(PatternMatches("C[1-9]??", "C1xyz", 5));
    EXPECT_FALSE(PatternMatches("C[1-9]??", "C1x", 3));
    EXPECT_TRUE(PatternMatches("WD#*", "WD3", 3));
    EXPECT_FALSE(PatternMatches("WD#*", "WD", 2));
    EXPECT_TRUE(PatternMatches("[-A]B", "-B", 2));  // a dash at the edge of a set is itself
}

TEST(TrademarkTable, EveryRuleIsWellFormedAndInTheGroupOfItsFirstCharacter) {
    std::set<char> firsts;
    for (size_t g = 0; g < TrademarkGroupCount; ++g) {
        const TrademarkGroup& group = TrademarkGroups[g];
        EXPECT_TRUE(firsts.insert(group.First).second) << "two groups for " << group.First;
        EXPECT_GT(group.Count, 0u) << group.First;
        for (size_t r = 0; r < group.Count; ++r) {
            const TrademarkRule& rule = group.Rules[r];
            EXPECT_NE(rule.Alternatives[0].Pattern, nullptr) << group.First << r + 1;
            bool ended = false;
            for (const Alternative& a : rule.Alternatives) {
                if (!a.Pattern) {
                    ended = true;
                    continue;
                }
                EXPECT_FALSE(ended) << "a gap among the alternatives of " << Describe(rule);
                EXPECT_TRUE(PatternIsWellFormed(a.Pattern)) << a.Pattern;
                EXPECT_EQ(a.Pattern[0], group.First) << a.Pattern;
                EXPECT_EQ((a.Condition == IfContains || a.Condition == IfLacks), a.Text != nullptr) << a.Pattern;
                const std::string witness = Witness(a.Pattern);
                EXPECT_TRUE(PatternMatches(a.Pattern, witness.data(), witness.size())) << a.Pattern;
            }
        }
    }
}

TEST(TrademarkTable, EveryBrandOfTheListIsReachedAndNoOtherName) {
    std::set<std::string> listed(std::begin(BrandList), std::end(BrandList));
    ASSERT_EQ(listed.size(), 566u);
    std::set<std::string> named;
    ForEachAlternative([&](const TrademarkGroup& g, size_t r, const Alternative&) { named.insert(g.Rules[r].Brand); });
    for (const std::string& brand : named) EXPECT_EQ(listed.count(brand), 1u) << "not a listed brand: " << brand;
    for (const std::string& brand : listed)
        if (brand != "Vixion") {
            EXPECT_EQ(named.count(brand), 1u) << "no rule gives " << brand;
        }
    for (size_t i = 0; i < FallbackRuleCount; ++i) EXPECT_EQ(listed.count(FallbackRules[i].Brand), 1u);
    for (size_t i = 0; i < CounterfeitOverrideCount; ++i) EXPECT_EQ(listed.count(CounterfeitOverrides[i].Brand), 1u);
    EXPECT_EQ(DetectTrademark("X One S", false), "Vixion");
}

// The forms a maker prints its name in, built here apart from the detection code.
std::vector<std::string> PrintedForms(const std::string& name) {
    std::string capitals = name, capitalised = name, small = name;
    for (size_t i = 0; i < name.size(); ++i) {
        capitals[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(name[i])));
        small[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(name[i])));
        const bool wordStart = i == 0 || name[i - 1] == ' ';
        const unsigned char c = static_cast<unsigned char>(name[i]);
        capitalised[i] = static_cast<char>(wordStart ? std::toupper(c) : std::tolower(c));
    }
    return {name, capitals, capitalised, small};
}

// Brands whose every rule covers a whole model only, read from the table here.
std::set<std::string> BrandsOfWholeModelsOnly() {
    std::set<std::string> open, whole;
    ForEachAlternative([&](const TrademarkGroup& g, size_t r, const Alternative& a) {
        (std::string(a.Pattern).back() == '*' ? open : whole).insert(g.Rules[r].Brand);
    });
    for (const std::string& brand : open) whole.erase(brand);
    return whole;
}

TEST(TrademarkTable, EveryListedNameLeadsToItsBrandUnlessTheTableDecides) {
    const std::set<std::string> listed(std::begin(BrandList), std::end(BrandList));
    const std::set<std::string> named(BrandNames, BrandNames + BrandNameCount);
    EXPECT_EQ(named, listed);
    const std::set<std::string> wholeOnly = BrandsOfWholeModelsOnly();
    EXPECT_EQ(wholeOnly.size(), 11u);
    EXPECT_EQ(wholeOnly.count("BlueRay"), 1u);
    std::set<std::string> leftAlone(BrandsLeftToTheTable, BrandsLeftToTheTable + BrandsLeftToTheTableCount);
    leftAlone.insert(wholeOnly.begin(), wholeOnly.end());
    unsigned byName = 0;
    for (const std::string& brand : listed) {
        for (const std::string& form : PrintedForms(brand)) {
            for (const std::string& model : {form, form + " 1TB", form + "-X"}) {
                if (DecidingRule(model, false)) continue;  // the table's order is checked elsewhere
                const std::string detected = DetectTrademark(model, false);
                if (detected == "Fake" || detected == "Unknown") continue;
                EXPECT_EQ(detected, leftAlone.count(brand) ? "" : brand) << model;
                byName += detected == brand;
            }
        }
        // A letter or digit right after the name makes it another word.
        const std::string joined = brand + "Z9";
        if (!DecidingRule(joined, false)) {
            EXPECT_EQ(LeadingBrandWord(joined), nullptr) << joined;
        }
    }
    // Most names the rules already know as written and in capitals; the capitalised words add the most.
    EXPECT_GT(byName, 300u);
}

TEST(TrademarkTable, NoRuleOrAlternativeIsHiddenBehindAnEarlierOne) {
    for (size_t g = 0; g < TrademarkGroupCount; ++g) {
        const TrademarkGroup& group = TrademarkGroups[g];
        for (size_t r = 0; r < group.Count; ++r) {
            const TrademarkRule& rule = group.Rules[r];
            for (size_t i = 0; i < MaxAlternatives && rule.Alternatives[i].Pattern; ++i) {
                const Alternative& later = rule.Alternatives[i];
                for (size_t j = 0; j < i; ++j)
                    EXPECT_FALSE(Covers(rule.Alternatives[j], later)) << later.Pattern << " in " << Describe(rule);
                bool hidden = false;
                for (size_t e = 0; e < r && !hidden; ++e)
                    for (const Alternative& a : group.Rules[e].Alternatives)
                        if (a.Pattern && Covers(a, later)) hidden = true;
                EXPECT_FALSE(hidden) << later.Pattern << " of " << group.First << r + 1 << " can never decide";
            }
        }
    }
    // The check itself tells covering from overlapping.
    EXPECT_TRUE(Covers({"SAM*"}, {"SAMSUNG*"}));
    EXPECT_TRUE(Covers({"S#???"}, {"S1[AB]??"}));
    EXPECT_FALSE(Covers({"S#???"}, {"S1???*"}));
    EXPECT_FALSE(Covers({"SAM*", IfNVMe}, {"SAMSUNG*"}));
    EXPECT_TRUE(Covers({"SAM*"}, {"SAMSUNG*", IfNVMe}));
}

TEST(TrademarkTable, RowsWithAFixedPlaceAreThere) {
    EXPECT_EQ(RuleAt('A', 1), "ADATA* or A-DATA * -> Adata");
    EXPECT_EQ(RuleAt('A', 2), "Apa* -> Apacer");
    EXPECT_EQ(RuleAt('A', 3), "APP* -> Apple");
    EXPECT_EQ(RuleAt('A', 4), "ACJ* or ACS* -> KingSpec");
    EXPECT_EQ(RuleAt('A', 5), "AGI* -> AGI");
    EXPECT_EQ(RuleAt('A', 6), "Acer* -> Acer");
    EXPECT_EQ(RuleAt('B', 18), "B* contains \" Samsung \" -> Samsung");
    EXPECT_EQ(RuleAt('C', 12), "CT#* contains \"SSD\" -> Crucial");
    EXPECT_EQ(RuleAt('C', 13), "CT#* lacks \"SSD\" -> Consistent");
    EXPECT_EQ(RuleAt('C', 29), "C2S* -> Hyundai");
    EXPECT_EQ(RuleAt('C', 30), "C[1-9]?? -> SCY");
    EXPECT_EQ(RuleAt('H', 1), "HGST * or H[Ii][Tt][Aa][Cc][Hh][Ii]* or HDS* or HDT* or HTS* or HTE* or HTC* or HEJ* or "
                              "HUSMR* or HUA#* or HUS#* or HBS#* -> Hitachi");
    EXPECT_EQ(RuleAt('H', 3), "HYNIX * or HFS* or HFM* or HFB* -> SK hynix");
    EXPECT_EQ(RuleAt('K', 1), "K[Ii][Nn][Gg][Ss][Tt][Oo][Nn]* -> Kingston");
    EXPECT_EQ(RuleAt('K', 20), "KDSF * -> KingDian");
    EXPECT_EQ(RuleAt('K', 47), "KDS* -> KeepData");
    EXPECT_EQ(RuleAt('M', 49), "M#-* -> Crucial");
    EXPECT_EQ(RuleAt('M', 50), "M#00-* -> Wicgtyp");
    EXPECT_EQ(RuleAt('M', 51), "M#?? -> SCY");
    EXPECT_EQ(RuleAt('M', 52), "M#80CL* -> PNY");
    EXPECT_EQ(RuleAt('P', 16), "P##* -> Solidigm");
    EXPECT_EQ(RuleAt('P', 21), "P#?? -> SCY");
    EXPECT_EQ(RuleAt('S', 1), "SAM* -> Samsung");
    EXPECT_EQ(RuleAt('S', 2), "SANDISK * -> SanDisk");
    EXPECT_EQ(RuleAt('S', 7), "San* -> SanDisk");
    EXPECT_EQ(RuleAt('S', 8), "Sam* -> Samsung");
    EXPECT_EQ(RuleAt('S', 11), "ST3 * -> SunWind");
    EXPECT_EQ(RuleAt('S', 12), "ST#* or STM* -> Seagate");
    EXPECT_EQ(RuleAt('S', 31), "SS* contains \"InnovationIT\" -> Innovation IT");
    EXPECT_EQ(RuleAt('S', 76), "S###-* -> Wicgtyp");
    EXPECT_EQ(RuleAt('S', 77), "S#+* or S#SSD* -> S3+");
    EXPECT_EQ(RuleAt('S', 78), "S####* -> SCY");
    EXPECT_EQ(RuleAt('S', 79), "S#??? -> SCY");
    EXPECT_EQ(RuleAt('S', 80), "S###P* -> Simmtronics");
    EXPECT_EQ(RuleAt('S', 104), "SM* contains \"SAMSUNG\" -> Samsung");
    EXPECT_EQ(RuleAt('T', 1), "T[Oo][Ss][Hh][Ii][Bb][Aa]* -> Toshiba");
    EXPECT_EQ(RuleAt('W', 1), "WDC* or WD#* or WD * or NVMe WDS* or NVMe WD_* or NVMe WDB* -> Western digital");
}

TEST(TrademarkTable, GivenRowsOfTheLargeMakersAndTheSpecialKinds) {
    const std::pair<char, const char*> rows[] = {
        {'M', "MZM* or MZ7* or MZ-* or MZP* or MZ9* -> Samsung"}, {'M', "MCC* -> Samsung"}, {'P', "PM#* -> Samsung"},
        {'W', "WUH* or WUS* -> Western digital"}, {'W', "Western Digital * -> Western digital"},
        {'H', "HUH* -> Western digital"}, {'S', "SN#* -> Western digital"}, {'P', "PC SN* -> Western digital"},
        {'S', "Seagate * -> Seagate"}, {'S', "SEAGATE * -> Seagate"}, {'X', "XA#* -> Seagate"},
        {'Z', "ZA#* -> Seagate"},
        {'T', "THNS* -> Toshiba"}, {'K', "KXG* -> Toshiba"}, {'D', "DT#* -> Toshiba"}, {'M', "MG#* -> Toshiba"},
        {'K', "KIOXIA* -> Kioxia"}, {'K', "KBG* -> Kioxia"}, {'B', "BG6 * -> Kioxia"},
        {'B', "BC#* -> SK hynix"}, {'B', "BBG#* -> SK hynix"}, {'B', "BA HFS* -> SK hynix"}, {'P', "PC#* -> SK hynix"},
        {'P', "PVC10 * -> SK hynix"}, {'S', "SHG* or SHP* -> SK hynix"},
        {'S', "SK * or SKhynix* or SKHynix* -> SK hynix"},
        {'S', "Skhynix * -> SK hynix"}, {'M', "MTF* -> Micron"}, {'M', "Micron* -> Micron"}, {'M', "MICRON* -> Micron"},
        {'C', "C400-* -> Micron"}, {'C', "Crucial_* -> Crucial"}, {'C', "C300-* -> Crucial"}, {'V', "V4-* -> Crucial"},
        {'I', "INTEL* -> Intel"}, {'S', "SSDSA* -> Intel"}, {'S', "SSDSC* -> Dell"}, {'S', "SSDPE* -> Dell"},
        {'D', "Dell * -> Dell"}, {'K', "KC-* -> Kingston"}, {'H', "HyperX* -> Kingston"},
        {'D', "DataTraveler * -> Kingston"}, {'E', "ELITE PRO CF CARD * -> Kingston"}, {'O', "OM#* -> Kingston"},
        {'X', "XS#* -> Kingston"}, {'S', "SDE* or SDL* or SD * -> SanDisk"}, {'S', "SSD PLUS * -> SanDisk"},
        {'P', "PC_SN* -> SanDisk"}, {'M', "MILAN * -> SanDisk"}, {'H', "HP * -> Hewlett Packard"},
        {'A', "AXNS* -> Hewlett Packard"}, {'B', "BHT * -> Hewlett Packard"}, {'F', "FB#* -> Hewlett Packard"},
        {'G', "GB#* -> Hewlett Packard"}, {'G', "GJ#* -> Hewlett Packard"}, {'L', "LK#* -> Hewlett Packard"},
        {'M', "MB#* -> Hewlett Packard"}, {'M', "MK0* -> Hewlett Packard"}, {'M', "MM#* -> Hewlett Packard"},
        {'M', "MO#* -> Hewlett Packard"}, {'T', "TK0* -> Hewlett Packard"}, {'V', "VB#* -> Hewlett Packard"},
        {'V', "VO0* -> Hewlett Packard"}, {'V', "VK0* -> Hewlett Packard"}, {'R', "RBU-SN* -> Hewlett Packard"},
        {'P', "PSSBN* or PSELN* or PSENN* or PSEJN* -> Hewlett Packard"}, {'L', "Lenovo* -> Lenovo"},
        {'L', "LENS* -> Lenovo"}, {'T', "Thi* -> Lenovo"}, {'t', "thinkplus* -> Lenovo"},
        // The rules with case-insensitive positions.
        {'A', "A[Rr][Dd][Oo][Rr] * or AGL#* -> Ardor Gaming"}, {'B', "B[Ii][Ww][Ii][Nn]* -> Biwin"},
        {'D', "D[Ee][Tt][Ee][Cc][Hh]* -> DeTech"}, {'D', "D[Oo][Gg][Ff][Ii][Ss][Hh]* -> Dogfish"},
        {'F', "FU[Jj][Ii][Tt][Ss][Uu]* -> Fujitsu"}, {'K', "K[Ii][Nn][Gg][Mm][Aa][Xx]* -> Kingmax"},
        {'L', "L[Ii][Tt]* -> Lite-On"}, {'L', "L[Ee][Xx][Aa][Rr]* -> Lexar"},
        {'O', "O[Rr][Ii][Gg][Ii][Nn] * -> Origin"},
        {'P', "P[Aa][Tt]* -> Patriot Memory"}, {'P', "P[Aa][Ll][Ii][Tt]* -> Palit"},
        {'P', "P[Ii][Oo][Nn][Ee][Ee][Rr]* -> Pioneer"}, {'T', "T[Oo]PMORE * -> Topmore"},
        {'V', "Va[Ll][Uu][Ee][Tt][Ee][Cc][Hh]* -> ValueTech"},
        // The rules that cover a whole model, and the other SCY rules.
        {'B', "BLUERAY SSD -> BlueRay"}, {'H', "Heovose -> Heovose"}, {'K', "KimMiDi -> Kim MiDi"},
        {'M', "Metal Mini SSD -> Verbatim"}, {'M', "MicroFrom -> MicroFrom"}, {'M', "MicroFrom * -> MicroFrom"},
        {'M', "MGTEC -> MG Tech"}, {'O', "OXYBR * or OxyBr -> OxyBr"}, {'P', "POLION -> Polion"},
        {'P', "PUNTA -> Punta"}, {'Q', "QPOWER -> QPower"}, {'S', "SB2 -> MyDigitalSSD"},
        {'U', "UZMPOWER -> UzmPower"}, {'V', "VISIPRO -> Visipro"}, {'X', "XrayDisk* or X Ray -> XrayDisk"},
        {'e', "eVAULT -> eVault"}, {'i', "iDsonix -> iDsonix"}, {'k', "k2 -> NaTech"}, {'N', "N[1-9]?? -> SCY"},
        {'S', "SIX * -> SCY"}, {'S', "SCY * -> SCY"},
    };
    for (const auto& row : rows) EXPECT_TRUE(GroupHas(row.first, row.second)) << row.first << ": " << row.second;
}

TEST(TrademarkTable, NoRuleHidesAGenericNameOrACounterfeitText) {
    for (size_t i = 0; i < GenericModelCount; ++i) {
        const std::string model = GenericModels[i];
        EXPECT_EQ(DetectTrademark(model, false), model == "1TB SATA SSD" ? "Apacer" : "Unknown") << model;
    }
    for (size_t i = 0; i < CounterfeitOverrideCount; ++i) {
        const TextRule& row = CounterfeitOverrides[i];
        const std::string model = std::string(row.Text) + (row.Test == BeginsWithText ? "X 1TB" : "");
        EXPECT_EQ(DetectTrademark(model, false), "Fake") << model;
    }
    for (size_t i = 0; i < UnrecognisedCounterfeitCount; ++i) {
        const TextRule& row = UnrecognisedCounterfeits[i];
        EXPECT_EQ(DetectTrademark(row.Text, false), "Fake") << row.Text;
        if (row.Test == BeginsWithText) {
            EXPECT_EQ(DetectTrademark(std::string(row.Text) + " 1TB", false), "Fake");
        }
    }
}

}  // namespace
