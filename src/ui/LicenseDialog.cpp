#include "ui/LicenseDialog.h"

#include <algorithm>

#include "platform/Entry.h"
#include "platform/Foreground.h"
#include "platform/Installation.h"
#include "ui/DialogFrame.h"

using namespace platform;

namespace {

constexpr char LicenseClass[] = "KorvanteLicense";
constexpr uint32_t AcceptId = 1, CancelId = 2;  // also the dialog's result
constexpr uint32_t TextId = 3;
// The version that brought the agreement; compared as text, as older versions stored it.
constexpr char FirstLicensedVersion[] = "2.0.0.7711";

// On the standard screen; the text box gives up width where the work area has less.
constexpr int Margin = 25, TextWidth = 600, TextHeight = 214, ButtonWidth = 128, ButtonHeight = 28, ButtonGap = 15,
              ButtonTopGap = 19;

int Result = 0;

// The text box with the buttons under its right end, Accept left of Cancel.
bool AddLicenseControls(Dialog& dialog) {
    const int margin = ScaledForScreen(Margin);
    const int width = std::min(ScaledForScreen(TextWidth), WidestClient(dialog.Window) - 2 * margin);
    const int buttonWidth = ScaledForScreen(ButtonWidth), buttonHeight = ScaledForScreen(ButtonHeight);
    const int buttonTop = margin + ScaledForScreen(TextHeight) + ScaledForScreen(ButtonTopGap);
    const int cancelLeft = margin + width - buttonWidth;
    return AddDialogControl(dialog, EditClass, LoadRawResource("LICENSE").c_str(),
                            WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_READONLY, margin, margin, width,
                            ScaledForScreen(TextHeight), TextId) &&
           AddDialogControl(dialog, ButtonClass, "Cancel", WS_TABSTOP | BS_PUSHBUTTON, cancelLeft, buttonTop, buttonWidth,
                            buttonHeight, CancelId) &&
           AddDialogControl(dialog, ButtonClass, "Accept", WS_TABSTOP | BS_PUSHBUTTON,
                            cancelLeft - ScaledForScreen(ButtonGap) - buttonWidth, buttonTop, buttonWidth, buttonHeight,
                            AcceptId);
}

bool LicenseProcedure(HWnd window, uint32_t message, WParam w, LParam, LParam& result) {
    if (message == WM_CTLCOLORSTATIC) {  // the read-only text on the window colour, not the button face
        result = WindowColourBackground(w);
        return true;
    }
    if (message != WM_COMMAND || (w >> 16) != BN_CLICKED) return false;
    const uint32_t id = static_cast<uint32_t>(w & 0xFFFF);
    if (id != AcceptId && id != CancelId) return false;
    Result = static_cast<int>(id);
    DestroyWindow(window);
    return true;
}

}  // namespace

bool ShowLicenseAgreement() {
    Result = 0;
    Dialog dialog = CreateFixedDialog(LicenseClass, "KORVANTE :: License Agreement", LicenseProcedure);
    if (dialog.Window) {
        AddLicenseControls(dialog);
        PlaceDialog(dialog, Margin);
        RunDialog(dialog.Window);
    }
    if (Result == static_cast<int>(AcceptId)) return true;
    ExitProcess(0);  // cancelled or closed: no installation
    return false;
}

bool LicenseBeforeUpdate(const std::string& installedVersion) {
    return installedVersion >= FirstLicensedVersion || ShowLicenseAgreement();
}
