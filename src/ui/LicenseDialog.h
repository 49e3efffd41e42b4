// The licence agreement, shown before a fresh installation and before the first update from an
// installed version older than the one that brought the agreement.
#pragma once

#include <string>

// Shows the agreement modally; returns only when the user accepted, otherwise ends the process.
// False when the process was ended.
bool ShowLicenseAgreement();

// The update hook: the agreement for an installed version (as text) older than 2.0.0.7711.
// False when the process was ended.
bool LicenseBeforeUpdate(const std::string& installedVersion);
