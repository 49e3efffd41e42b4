// The tray icons: one per drive showing its temperature as digits (or one for the hottest drive), the
// balloon shown on one of them, and the processor-load graph's picture.
//
// The icons are changed by the user-interface thread (creation, after the settings) and by the
// monitoring timer's thread (the refresh after each cycle); a lock keeps them apart. The timer's
// refresh never waits for it (stopping the timer waits for the timer's thread), so it skips a minute
// instead.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/Tray.h"

// What a tray entry posts to the main window on mouse events over it (WM_APP + 1).
constexpr uint32_t TrayCallbackMessage = 0x8001;

// The items of the tray icons' popup menu; they reach the main window as WM_COMMAND with these ids,
// clear of the main window's control identifiers.
enum TrayMenuCommand : uint32_t {
    TrayOpenId = 200,
    TraySettingsId,
    TrayHelpId,
    TrayUpdateId,
    TrayExitId,
};

// One entry of the notification area. It is active once it was added to the tray; its icon and
// tooltip are sent to the tray whenever they change while it is active.
struct TrayIcon {
    uint32_t Id{};
    platform::IconHandle Icon{};
    std::string Tip;
    bool Active{};
};

// One slot per drive of the table, in table order; a slot may be empty. With the hottest drive only,
// just slot 0 is used.
extern std::vector<std::unique_ptr<TrayIcon>> DriveIconSlots;

// The first drive, in table order and skipping lost drives, with the highest temperature above 0;
// the first drive still answering when none has one (0 when every drive is lost).
unsigned HottestDrive();

// What the temperature icon shows: the temperature in the user's unit, green below the limit, red
// from it on, grey for a drive that is not active; three digits in a smaller font. Drawn for an icon
// `edge` pixels square, the sizes and places of a 16-pixel icon scaled to it.
platform::TextIconDrawing TemperatureIconDrawing(uint8_t temperature, bool active, uint8_t limit, int edge = 16);

// The tray's icon edge: the system's small-icon size (16 at 100 %, 20, 24 or 32 at higher densities).
int SmallIconEdge();
platform::IconHandle RenderTemperatureIcon(uint8_t temperature, bool active, uint8_t limit);

// The model, followed by the drive's volume letters in parentheses when it has any.
std::string DriveTooltip(const std::string& model, const std::string& volumeLetters);

// Adds the tray icon of drive `index` (its temperature, or the program's icon while it has none),
// into slot 0 with the hottest drive only.
void CreateDriveIcon(unsigned index);
// Sizes the slots to the drive table and adds the icon of every drive, or of the hottest one.
void CreateDriveIcons();
// Redraws the icons and tooltips from the drives' current values: a sleeping drive's digits turn
// grey, a lost drive's icon stays as it was.
void RefreshDriveIcons();
// The same for the monitoring cycle, on the timer's thread: skipped while another thread is changing
// the icons.
void RefreshDriveIconsFromCycle();
// Takes every drive icon out of the tray and frees it; the slots stay, empty.
void ReleaseDriveIcons();

// Explorer started again (its "TaskbarCreated" message) with an empty notification area: every icon
// the program shows, the drives' and the processor load's, goes back into it.
void RestoreAllIcons();
// Before the process ends or restarts: the monitoring timer is stopped, then every icon the program
// added, the drives' and the processor load's, leaves the tray, and a refresh (from a cycle that was
// already under way) adds none again until the icons are created anew.
void RemoveAllIcons();

// The slots emptied and the identifiers from 1 again, the tray left as it is (a simulated restart,
// whose tray went with the world or the ended program).
void ForgetDriveIcons();

// An identifier no other tray entry of the program has.
uint32_t NewTrayIconId();
// Sends the entry's icon and tooltip to the tray when it is active. A tray that refuses the change
// has lost the entry (Explorer restarted): it is added again, once; if that fails too it stays
// inactive.
void UpdateTrayIcon(TrayIcon& icon);
// The entry back in a tray that may have lost it: updated, or added while it is not there.
void RestoreTrayIcon(TrayIcon& icon);
// Takes the entry out of the tray (it stays, inactive).
void DeactivateTrayIcon(TrayIcon& icon);
// The same for the drive icon in `slot`, when there is one.
void DeactivateDriveIcon(unsigned slot);

// Adds an entry to the tray, retrying every 100 ms while the tray is not there. After 60 seconds
// without it the monitoring stops, the user is told, and the process ends.
void ActivateIcon(TrayIcon& icon);

// A balloon on the icon in `slot` (nothing when the slot is empty); `infoFlags` chooses its icon
// (NIIF_INFO), always shown large.
void ShowBalloon(const std::string& title, const std::string& text, uint32_t infoFlags, unsigned slot);

// The processor-load graph: one bar per second, scrolling left, green, or red when the load stayed
// at 96 % or more for six samples in a row, which also paints a red block on the right.
struct CpuGraph {
    static constexpr int Size = 16;
    uint32_t Pixels[Size][Size]{};  // [y][x], colours as platform::Rgb; 0 is black
    unsigned FullSamples{};         // samples in a row at full height
};

// One sample, a load in percent (above 100 counts as 100).
void AddCpuSample(CpuGraph& graph, unsigned load);
// "CPU usage - <load>%".
std::string CpuTooltip(unsigned load);
