// The licence agreement on its own, as the installer shows it before an installation, built with the
// real platform layer and the program's resources. Exit code 1 when the agreement returned (accepted);
// declined or closed, it ends the process itself with exit code 0.
#include "ui/LicenseDialog.h"

int main() {
    ShowLicenseAgreement();
    return 1;
}
