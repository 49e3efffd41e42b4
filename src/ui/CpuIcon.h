// The processor-load tray icon: a 16 x 16 bar graph, one bar per second, drawn by its own sampler
// thread. It exists only while the ShowCPU_usage setting is on.
#pragma once

// Without a processor-load source the setting is switched off and stored as off; otherwise the icon
// enters the tray (without a picture until the first sample) and the sampler starts. Nothing when
// the icon is already there.
void StartCpuIcon();
// Stops the sampler and waits for it (at most one sample, a second), then takes the icon out of the
// tray and frees it and its bitmap.
void StopCpuIcon();
// A new tray entry for the icon, after Explorer restarted; the sampler goes on drawing into it.
void RecreateCpuIcon();
// The same entry back in a tray that lost it (Explorer's "TaskbarCreated"), when the icon exists.
void RestoreCpuIcon();
