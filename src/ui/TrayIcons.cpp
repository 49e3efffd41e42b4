#include "ui/TrayIcons.h"

#include <algorithm>
#include <cmath>
#include <mutex>

#include "device/DriveRecord.h"
#include "monitor/Alerts.h"
#include "monitor/Monitor.h"
#include "platform/Dialogs.h"
#include "platform/Entry.h"
#include "platform/Time.h"
#include "platform/UserInterface.h"
#include "system/Settings.h"
#include "ui/CpuIcon.h"
#include "ui/Main.h"

using platform::Rgb;

std::vector<std::unique_ptr<TrayIcon>> DriveIconSlots;

namespace {

constexpr uint32_t Grey = Rgb(128, 128, 128);
constexpr uint32_t Red = Rgb(255, 0, 0);
constexpr uint32_t Green = Rgb(0, 191, 0);
constexpr uint32_t GraphGreen = Rgb(0, 128, 0);
const char IconFont[] = "Microsoft Sans Serif";

constexpr uint32_t TrayRetryMs = 100;
constexpr uint32_t TrayWaitMs = 60000;

// Guards DriveIconSlots, NextIconId and IconsWithdrawn.
std::mutex IconsLock;
// Set once the icons left the tray for good (exit, restart): a cycle still under way when the timer
// was stopped must not put the drive icons back.
bool IconsWithdrawn = false;
uint32_t NextIconId = 1;

// What the icons show of a drive, copied under the reader lock so that the tray is changed (and
// waited for) without holding it.
struct DriveIconState {
    std::string Model;
    std::string LogicalDrives;
    uint8_t Temperature;
    uint8_t TemperatureLimit;
    bool Sleeping;
    bool Lost;
};

std::vector<DriveIconState> DriveIconStates() {
    std::vector<DriveIconState> drives;
    for (unsigned i = 0; i < DriveCount(); ++i) {
        const DriveReader reader(i);
        const DriveRecord& d = *reader;
        drives.push_back({d.Model, d.LogicalDrives, d.Temperature, d.TemperatureLimit, d.Sleeping != 0, d.SmartLost});
    }
    return drives;
}

bool AnyAnswers(const std::vector<DriveIconState>& drives) {
    return std::any_of(drives.begin(), drives.end(), [](const DriveIconState& d) { return !d.Lost; });
}

// With no temperature anywhere, the first drive still answering.
unsigned HottestOf(const std::vector<DriveIconState>& drives) {
    int hottest = -1;
    for (unsigned i = 0; i < drives.size(); ++i)
        if (!drives[i].Lost && (hottest < 0 || drives[i].Temperature > drives[hottest].Temperature))
            hottest = static_cast<int>(i);
    return hottest < 0 ? 0 : static_cast<unsigned>(hottest);
}

platform::IconHandle DriveIconImage(const DriveIconState& drive, bool active) {
    if (drive.Temperature == 0) return platform::LoadProgramIcon();
    return RenderTemperatureIcon(drive.Temperature, active, drive.TemperatureLimit);
}

// The program's icon is shared: it is never destroyed.
void DestroyIconImage(platform::IconHandle icon) {
    if (icon != 0 && icon != platform::LoadProgramIcon()) platform::DestroyIcon(icon);
}

platform::NotifyIconData EntryOf(const TrayIcon& icon, uint32_t flags) {
    platform::NotifyIconData data;
    data.Window = ApplicationWindow;
    data.Id = icon.Id;
    data.Flags = flags;
    data.CallbackMessage = TrayCallbackMessage;
    data.Icon = icon.Icon;
    data.Tip = icon.Tip;
    return data;
}

bool AddToTray(const TrayIcon& icon) {
    return platform::Shell_NotifyIcon(platform::NIM_ADD, EntryOf(icon, platform::NIF_MESSAGE | platform::NIF_ICON | platform::NIF_TIP));
}

// Caller holds IconsLock.
std::unique_ptr<TrayIcon> NewTrayIcon() {
    auto icon = std::make_unique<TrayIcon>();
    icon->Id = NextIconId++;
    return icon;
}

// Caller holds IconsLock.
void ReleaseIcon(std::unique_ptr<TrayIcon>& slot) {
    if (!slot) return;
    DeactivateTrayIcon(*slot);
    DestroyIconImage(slot->Icon);
    slot.reset();
}

// Caller holds IconsLock.
void ResizeSlots(size_t count) {
    for (size_t i = count; i < DriveIconSlots.size(); ++i) ReleaseIcon(DriveIconSlots[i]);
    DriveIconSlots.resize(count);
}

// The drive's image and tooltip on `icon`, which is then in the tray. Caller holds IconsLock.
void ShowDrive(TrayIcon& icon, const DriveIconState& drive, bool active) {
    DestroyIconImage(icon.Icon);
    icon.Icon = DriveIconImage(drive, active);
    icon.Tip = DriveTooltip(drive.Model, drive.LogicalDrives);
    UpdateTrayIcon(icon);
    ActivateIcon(icon);
}

// Caller holds IconsLock; the slots reach past `index`.
void CreateIconOf(unsigned index, const DriveIconState& drive, bool hottestOnly) {
    ReleaseIcon(DriveIconSlots[index]);
    DriveIconSlots[index] = NewTrayIcon();
    ShowDrive(*DriveIconSlots[index], drive, true);
    if (hottestOnly && index != 0) {
        ReleaseIcon(DriveIconSlots[0]);
        DriveIconSlots[0] = std::move(DriveIconSlots[index]);
    }
}

// Caller holds IconsLock.
void RefreshHottestOnly(const std::vector<DriveIconState>& drives) {
    for (size_t i = 1; i < DriveIconSlots.size(); ++i) ReleaseIcon(DriveIconSlots[i]);
    if (!AnyAnswers(drives)) return;  // the icon keeps what it showed last
    const DriveIconState& hottest = drives[HottestOf(drives)];
    if (!DriveIconSlots[0]) DriveIconSlots[0] = NewTrayIcon();
    ShowDrive(*DriveIconSlots[0], hottest, !hottest.Sleeping);
}

// Caller holds IconsLock.
void RefreshEachDrive(const std::vector<DriveIconState>& drives) {
    for (unsigned i = 0; i < drives.size(); ++i) {
        if (drives[i].Lost) continue;
        if (!DriveIconSlots[i]) CreateIconOf(i, drives[i], false);
        else ShowDrive(*DriveIconSlots[i], drives[i], !drives[i].Sleeping);
    }
}

// Caller holds IconsLock.
void Refresh(const std::vector<DriveIconState>& drives) {
    if (IconsWithdrawn) return;
    ResizeSlots(drives.size());
    if (Settings.ShowHottestDiskOnly) RefreshHottestOnly(drives);
    else RefreshEachDrive(drives);
}

}  // namespace

unsigned HottestDrive() { return HottestOf(DriveIconStates()); }

int SmallIconEdge() { return std::clamp(platform::GetSystemMetrics(platform::SM_CXSMICON), 16, 32); }

platform::TextIconDrawing TemperatureIconDrawing(uint8_t temperature, bool active, uint8_t limit, int edge) {
    platform::TextIconDrawing d;
    const unsigned shown = Settings.Fahrenheit ? temperature * 9u / 5u + 32u : temperature;
    d.Text = std::to_string(shown);
    d.Colour = !active ? Grey : temperature >= limit ? Red : Green;
    d.FontFace = IconFont;
    d.Edge = edge;
    // Drawn for 16 pixels and scaled to the edge: three digits only fit in the smaller font, moved left
    // and down a little.
    const auto scaled = [edge](int pixels) { return static_cast<int>(std::lround(pixels * edge / 16.0)); };
    const bool three = d.Text.size() > 2;
    d.FontHeight = scaled(three ? -10 : -14);
    d.X = scaled(three ? -2 : 0);
    d.Y = scaled(three ? 1 : -1);
    const int clip = scaled(three ? 15 : 16);
    d.Clip = {0, 0, clip, clip};
    return d;
}

platform::IconHandle RenderTemperatureIcon(uint8_t temperature, bool active, uint8_t limit) {
    return platform::CreateTextIcon(TemperatureIconDrawing(temperature, active, limit, SmallIconEdge()));
}

std::string DriveTooltip(const std::string& model, const std::string& volumeLetters) {
    return volumeLetters.empty() ? model : model + " (" + volumeLetters + ")";
}

void CreateDriveIcon(unsigned index) {
    const std::vector<DriveIconState> drives = DriveIconStates();
    if (index >= drives.size()) return;
    std::lock_guard<std::mutex> lock(IconsLock);
    if (DriveIconSlots.size() < drives.size()) DriveIconSlots.resize(drives.size());
    CreateIconOf(index, drives[index], Settings.ShowHottestDiskOnly);
}

void CreateDriveIcons() {
    const std::vector<DriveIconState> drives = DriveIconStates();
    const bool hottestOnly = Settings.ShowHottestDiskOnly;
    std::lock_guard<std::mutex> lock(IconsLock);
    IconsWithdrawn = false;
    ResizeSlots(drives.size());
    if (drives.empty()) return;
    if (hottestOnly) {
        const unsigned hottest = HottestOf(drives);
        CreateIconOf(hottest, drives[hottest], true);
        return;
    }
    for (unsigned i = 0; i < drives.size(); ++i) CreateIconOf(i, drives[i], false);
}

void RefreshDriveIcons() {
    const std::vector<DriveIconState> drives = DriveIconStates();
    std::lock_guard<std::mutex> lock(IconsLock);
    Refresh(drives);
}

void RefreshDriveIconsFromCycle() {
    const std::vector<DriveIconState> drives = DriveIconStates();
    std::unique_lock<std::mutex> lock(IconsLock, std::try_to_lock);
    if (lock.owns_lock()) Refresh(drives);
}

void ReleaseDriveIcons() {
    std::lock_guard<std::mutex> lock(IconsLock);
    for (auto& slot : DriveIconSlots) ReleaseIcon(slot);
}

void RestoreAllIcons() {
    {
        std::lock_guard<std::mutex> lock(IconsLock);
        for (auto& slot : DriveIconSlots)
            if (slot) RestoreTrayIcon(*slot);
    }
    RestoreCpuIcon();
}

void RemoveAllIcons() {
    StopMonitorTimer();
    {
        std::lock_guard<std::mutex> lock(IconsLock);
        IconsWithdrawn = true;
        for (auto& slot : DriveIconSlots) ReleaseIcon(slot);
    }
    StopCpuIcon();
}

void ForgetDriveIcons() {
    std::lock_guard<std::mutex> lock(IconsLock);
    DriveIconSlots.clear();
    NextIconId = 1;
    IconsWithdrawn = false;
}

uint32_t NewTrayIconId() {
    std::lock_guard<std::mutex> lock(IconsLock);
    return NextIconId++;
}

void UpdateTrayIcon(TrayIcon& icon) {
    if (!icon.Active) return;
    if (!platform::Shell_NotifyIcon(platform::NIM_MODIFY, EntryOf(icon, platform::NIF_ICON | platform::NIF_TIP)))
        icon.Active = AddToTray(icon);
}

void RestoreTrayIcon(TrayIcon& icon) {
    UpdateTrayIcon(icon);
    ActivateIcon(icon);
}

void DeactivateTrayIcon(TrayIcon& icon) {
    if (icon.Active) platform::Shell_NotifyIcon(platform::NIM_DELETE, EntryOf(icon, 0));
    icon.Active = false;
}

void DeactivateDriveIcon(unsigned slot) {
    std::lock_guard<std::mutex> lock(IconsLock);
    if (slot < DriveIconSlots.size() && DriveIconSlots[slot]) DeactivateTrayIcon(*DriveIconSlots[slot]);
}

void ActivateIcon(TrayIcon& icon) {
    if (icon.Active) return;
    const uint32_t start = platform::GetTickCount();
    for (;;) {
        if (AddToTray(icon)) {
            icon.Active = true;
            return;
        }
        if (platform::GetTickCount() - start >= TrayWaitMs) break;
        platform::Sleep(TrayRetryMs);
    }
    StopMonitorTimer();
    platform::MessageBox(0, "KORVANTE did not find Windows Explorer!", MainWindowCaption(), platform::MB_OK);
    platform::ExitProcess(0);
}

void ShowBalloon(const std::string& title, const std::string& text, uint32_t infoFlags, unsigned slot) {
    std::lock_guard<std::mutex> lock(IconsLock);
    if (slot >= DriveIconSlots.size() || !DriveIconSlots[slot]) return;
    platform::NotifyIconData data;
    data.Window = ApplicationWindow;
    data.Id = DriveIconSlots[slot]->Id;
    data.Flags = platform::NIF_INFO;
    data.Info = text;
    data.InfoTitle = title;
    data.InfoFlags = infoFlags + platform::NIIF_LARGE_ICON;
    platform::Shell_NotifyIcon(platform::NIM_MODIFY, data);
}

namespace {

constexpr int GraphEdge = CpuGraph::Size - 1;
constexpr unsigned FullSamplesForAlarm = 6;
constexpr int AlarmBlockLeft = 10;

void ScrollLeft(CpuGraph& graph) {
    for (auto& row : graph.Pixels) {
        std::copy(row + 1, row + CpuGraph::Size, row);
        row[GraphEdge] = 0;
    }
}

}  // namespace

void AddCpuSample(CpuGraph& graph, unsigned load) {
    const int height = static_cast<int>(std::min(load, 100u) / 6);  // 0..16
    ScrollLeft(graph);
    graph.FullSamples = height == CpuGraph::Size ? graph.FullSamples + 1 : 0;
    uint32_t bar = GraphGreen;
    if (graph.FullSamples == FullSamplesForAlarm) {
        bar = Red;
        graph.FullSamples = 0;
        for (auto& row : graph.Pixels) std::fill(row + AlarmBlockLeft, row + CpuGraph::Size, Red);
    }
    for (int y = GraphEdge; y > GraphEdge - height; --y) graph.Pixels[y][GraphEdge] = bar;
}

std::string CpuTooltip(unsigned load) { return "CPU usage - " + std::to_string(load) + "%"; }
