#include "ui/CpuIcon.h"

#include <atomic>
#include <condition_variable>
#include <mutex>

#include "device/DiagnosticLog.h"
#include "platform/GraphBitmap.h"
#include "platform/Threads.h"
#include "system/OSInfo.h"
#include "system/RegUtils.h"
#include "system/Settings.h"
#include "ui/TrayIcons.h"

namespace {

constexpr uint32_t SampleMs = 1000;

// Guards the icon, its bitmap and the graph; the sampler holds it while it draws, never while it
// measures, so the user-interface thread waits at most one drawing for it.
std::mutex CpuLock;
bool IconExists = false;
TrayIcon CpuIcon;
platform::BitmapHandle CpuBitmap = 0;
CpuGraph Graph;

// The sampler's life: Stop asks it to end, Running is cleared as its last act.
std::atomic<bool> SamplerStop{false};
std::mutex SamplerLock;
std::condition_variable SamplerEnded;
bool SamplerRunning = false;

void DrawSample(unsigned load) {
    std::lock_guard<std::mutex> lock(CpuLock);
    if (!IconExists) return;
    AddCpuSample(Graph, load);
    platform::PaintGraphBitmap(CpuBitmap, Graph.Pixels);
    if (CpuIcon.Icon) platform::DestroyIcon(CpuIcon.Icon);
    CpuIcon.Icon = platform::CreateBitmapIcon(CpuBitmap);
    CpuIcon.Tip = CpuTooltip(load);
    UpdateTrayIcon(CpuIcon);
}

void RunSampler() {
    while (!SamplerStop) {
        const unsigned load = GetCpuLoad(SampleMs);
        if (!SamplerStop) DrawSample(load);
    }
    std::lock_guard<std::mutex> lock(SamplerLock);
    SamplerRunning = false;
    SamplerEnded.notify_all();
}

void StartSampler() {
    std::lock_guard<std::mutex> lock(SamplerLock);
    SamplerStop = false;
    SamplerRunning = platform::CreateThread(RunSampler);
}

void StopSampler() {
    SamplerStop = true;
    std::unique_lock<std::mutex> lock(SamplerLock);
    SamplerEnded.wait(lock, [] { return !SamplerRunning; });
}

void SwitchSettingOff() {
    WriteLog("NtQuerySystemInformation not supported.");
    Settings.ShowCPU_usage = false;
    StoreDword(SettingsKey, Setting(SettingsKeyValue::ShowCPU_usage), 0);
}

// Caller holds CpuLock.
void ReleaseIcon() {
    DeactivateTrayIcon(CpuIcon);
    if (CpuIcon.Icon) platform::DestroyIcon(CpuIcon.Icon);
    CpuIcon = TrayIcon{};
}

}  // namespace

void StartCpuIcon() {
    {
        std::lock_guard<std::mutex> lock(CpuLock);
        if (IconExists) return;
    }
    if (!InitCpuLoad()) {
        SwitchSettingOff();
        return;
    }
    {
        std::lock_guard<std::mutex> lock(CpuLock);
        CpuBitmap = platform::CreateGraphBitmap(SmallIconEdge());
        Graph = CpuGraph{};
        CpuIcon = TrayIcon{};
        CpuIcon.Id = NewTrayIconId();
        ActivateIcon(CpuIcon);
        IconExists = true;
    }
    StartSampler();
}

void StopCpuIcon() {
    StopSampler();
    std::lock_guard<std::mutex> lock(CpuLock);
    if (!IconExists) return;
    ReleaseIcon();
    platform::DeleteGraphBitmap(CpuBitmap);
    CpuBitmap = 0;
    IconExists = false;
}

void RecreateCpuIcon() {
    std::lock_guard<std::mutex> lock(CpuLock);
    if (!IconExists) return;
    ReleaseIcon();
    CpuIcon.Id = NewTrayIconId();
    ActivateIcon(CpuIcon);
}

void RestoreCpuIcon() {
    std::lock_guard<std::mutex> lock(CpuLock);
    if (IconExists) RestoreTrayIcon(CpuIcon);
}
