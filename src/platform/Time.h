// The time facility of the platform interface: local time texts.
#pragma once

#include <string>

#include "platform/Types.h"

namespace platform {

// GetTimeFormatA(default user locale, no flags, current local time, default format), cut at the
// terminating zero; empty on failure.
std::string GetTimeFormat();

}  // namespace platform
