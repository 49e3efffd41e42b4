// Opening a dialog again and again costs no GDI or USER object: the process's counts after the second
// opening of each dialog are its counts after the last. The dialogs run as the main window's commands
// run them, with the real platform layer, over the built-in simulated machine's drives; each modal
// loop is ended by a WM_CLOSE a helper window posts once the dialog has painted.
#include <gtest/gtest.h>

#include <cstdint>

#include "discovery/Scan.h"
#include "platform/sim/SimMachine.h"
#include "platform/sim/SimRealTimeline.h"
#include "system/OSInfo.h"
#include "ui/Main.h"
#include "ui/ProcessState.h"
#include "ui/SelfTestDialog.h"
#include "ui/Settings.h"
#include "ui/TuningDialog.h"
// After the program's headers: the Windows headers define some of its names as macros.
#include "platform/win32/WindowsApi.h"

namespace {

// Each opening takes about three seconds under Wine (the report is built after each dialog), so the
// run is short; a leak grows the counts at every opening (5 GDI objects for Settings, 15 for Tuning).
constexpr int Openings = 4;
constexpr UINT CloseDialogMessage = WM_APP;

bool UnderWine() { return ::GetProcAddress(::GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr; }

// Wine's GetGuiResources is a stub that answers 0. There the GDI objects are the used entries of the
// process's GDI handle table, which the process block points to as on Windows: 65536 entries of 24
// bytes, whose type byte is 0 when the entry is free.
struct GdiTableEntry {
    uint64_t Object;
    uint32_t Owner;
    uint16_t Unique;
    uint8_t Type;
    uint8_t Flags;
    uint64_t UserPointer;
};
static_assert(sizeof(GdiTableEntry) == 24, "Wine's handle table layout");
constexpr unsigned GdiTableSize = 0x10000;

unsigned WineGdiObjects() {
// The thread block's thirteenth pointer is the process block; GdiSharedHandleTable lies in it.
    const auto* block = reinterpret_cast<const unsigned char* const*>(NtCurrentTeb())[12];
    const size_t tableOffset = sizeof(void*) == 8 ? 0xF8 : 0x94;
    const auto* table = *reinterpret_cast<const GdiTableEntry* const*>(block + tableOffset);
    if (!table) return 0;
    unsigned used = 0;
    for (unsigned i = 0; i < GdiTableSize; ++i) used += table[i].Type != 0;
    return used;
}

// ... and the USER objects are counted as the process's windows, message-only ones included (the
// dialogs make no menu, icon or cursor of their own).
BOOL CALLBACK CountWindow(HWND window, LPARAM count) {
    DWORD process = 0;
    ::GetWindowThreadProcessId(window, &process);
    if (process != ::GetCurrentProcessId()) return TRUE;
    ++*reinterpret_cast<unsigned*>(count);
    ::EnumChildWindows(window, CountWindow, count);  // every descendant, however deep
    return TRUE;
}

unsigned WineUserObjects() {
    unsigned windows = 0;
    ::EnumWindows(CountWindow, reinterpret_cast<LPARAM>(&windows));
    for (HWND w = ::FindWindowExA(HWND_MESSAGE, nullptr, nullptr, nullptr); w;
         w = ::FindWindowExA(HWND_MESSAGE, w, nullptr, nullptr))
        CountWindow(w, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

struct Resources {
    unsigned Gdi, User;
};

Resources Count() {
    if (UnderWine()) return {WineGdiObjects(), WineUserObjects()};
    return {::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS), ::GetGuiResources(::GetCurrentProcess(), GR_USEROBJECTS)};
}

// The open dialog is drawn whole, then told to close.
LRESULT CALLBACK CloserProcedure(HWND window, UINT message, WPARAM w, LPARAM l) {
    if (message != CloseDialogMessage) return ::DefWindowProcA(window, message, w, l);
    for (const platform::HWnd open : {SettingsDialog.load(), TuningDialog.load(), DiagnosticsDialog.load()}) {
        if (!open) continue;
        const HWND dialog = reinterpret_cast<HWND>(open);
        ::RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        ::PostMessageA(dialog, platform::WM_CLOSE, 0, 0);
    }
    return 0;
}

struct DialogCase {
    const char* Name;
    void (*Run)();
};

const DialogCase Dialogs[] = {
    {"Settings", [] { RunSettingsDialog(false); }},
    {"Tuning", RunTuningCommand},
    {"Diagnostics", RunSelfTestCommand},
};

class DialogOpenings : public ::testing::Test {
protected:
    void SetUp() override {
        sim::Install(sim::DefaultMachineDay());
        ASSERT_TRUE(sim::FollowRealClock());
        InitOSInfo();
        ASSERT_TRUE(CreateMainWindow()) << "no display";
        ScanDrives();
        WNDCLASSA c = {};
        c.lpfnWndProc = CloserProcedure;
        c.lpszClassName = "KorvanteDialogCloser";
        ::RegisterClassA(&c);
        closer_ = ::CreateWindowExA(0, c.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
        ASSERT_NE(closer_, nullptr);
    }
    void TearDown() override {
        ::DestroyWindow(closer_);
        ResetProcessState();
    }

    // The dialog opened and closed once; its loop takes the closer's message first.
    void Open(const DialogCase& d) {
        ::PostMessageA(closer_, CloseDialogMessage, 0, 0);
        d.Run();
    }

    HWND closer_ = nullptr;
};

TEST_F(DialogOpenings, LeaveNoGdiOrUserObjectBehind) {
    for (const DialogCase& d : Dialogs) {
        // Wine makes a few objects once, at the second opening: counted from there.
        Open(d);
        Open(d);
        const Resources first = Count();
        ASSERT_GT(first.Gdi, 0u) << "the GDI objects cannot be counted";
        ASSERT_GT(first.User, 0u) << "the USER objects cannot be counted";
        for (int i = 2; i < Openings; ++i) Open(d);
        const Resources last = Count();
        EXPECT_EQ(last.Gdi, first.Gdi) << d.Name << ": GDI objects after the second and the last opening";
        EXPECT_EQ(last.User, first.User) << d.Name << ": USER objects after the second and the last opening";
    }
}

}  // namespace
