#include "ui/LicenseDialog.h"

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

int Result = 0;

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
    const HWnd dialog = CreateFixedDialog(LicenseClass, "KORVANTE :: License Agreement", LicenseProcedure, 650, 305);
    if (dialog) {
        AddDialogControl(dialog, EditClass, LoadRawResource("LICENSE").c_str(),
                         WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_READONLY, 25, 25, 600, 214, TextId);
        AddDialogControl(dialog, ButtonClass, "Cancel", WS_TABSTOP | BS_PUSHBUTTON, 498, 258, 128, 28, CancelId);
        AddDialogControl(dialog, ButtonClass, "Accept", WS_TABSTOP | BS_PUSHBUTTON, 355, 258, 128, 28, AcceptId);
        RunDialog(dialog);
    }
    if (Result == static_cast<int>(AcceptId)) return true;
    ExitProcess(0);  // cancelled or closed: no installation
    return false;
}

bool LicenseBeforeUpdate(const std::string& installedVersion) {
    return installedVersion >= FirstLicensedVersion || ShowLicenseAgreement();
}
