// Opening a dialog again and again costs no GDI object: the process's count after the second opening
// of each dialog is its count after the five hundredth. The dialogs are made by the program's own code
// with the real platform layer, over the built-in simulated machine's drives.
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

// A leak of a few objects at each opening (5 font handles for Settings, 15 for Tuning) reaches the
// process's limit of 10,000 after about 2,000 openings.
constexpr int Openings = 500;

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

unsigned GdiObjects() {
    return UnderWine() ? WineGdiObjects() : ::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS);
}

// Made, painted with every control into a memory bitmap, and destroyed: what an opening costs without
// the modal loop and the report built after it. It is never shown: under Wine without a window
// manager each hidden window waits two seconds to be unmapped.
void OpenAndClose(platform::HWnd (*create)(), HDC canvas) {
    const HWND dialog = reinterpret_cast<HWND>(create());
    ASSERT_NE(dialog, nullptr);
    ::SendMessageA(dialog, WM_PRINT, reinterpret_cast<WPARAM>(canvas), PRF_NONCLIENT | PRF_CLIENT | PRF_ERASEBKGND | PRF_CHILDREN);
    ::DestroyWindow(dialog);
    MSG message;
    while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageA(&message);
}

struct DialogCase {
    const char* Name;
    platform::HWnd (*Create)();
};

const DialogCase Dialogs[] = {
    {"Settings", CreateSettingsDialog},
    {"Tuning", CreateTuningDialog},
    {"Diagnostics", CreateSelfTestDialog},
};

class DialogOpenings : public ::testing::Test {
protected:
    void SetUp() override {
        sim::Install(sim::DefaultMachineDay());
        ASSERT_TRUE(sim::FollowRealClock());
        InitOSInfo();
        ASSERT_TRUE(CreateMainWindow()) << "no display";
        ScanDrives();
    }
    void TearDown() override { ResetProcessState(); }
};

TEST_F(DialogOpenings, LeaveNoGdiObjectBehind) {
    const HDC screen = ::GetDC(nullptr), canvas = ::CreateCompatibleDC(screen);
    const HBITMAP bitmap = ::CreateCompatibleBitmap(screen, 1024, 768);
    ::SelectObject(canvas, bitmap);
    for (const DialogCase& d : Dialogs) {
        // Wine makes a few objects once, at the first openings: counted from there.
        OpenAndClose(d.Create, canvas);
        OpenAndClose(d.Create, canvas);
        const unsigned first = GdiObjects();
        ASSERT_GT(first, 0u) << "the GDI objects cannot be counted";
        for (int i = 2; i < Openings; ++i) OpenAndClose(d.Create, canvas);
        EXPECT_EQ(GdiObjects(), first) << d.Name << ": GDI objects after the second and the last opening";
    }
    ::DeleteDC(canvas);
    ::DeleteObject(bitmap);
    ::ReleaseDC(nullptr, screen);
}

}  // namespace
