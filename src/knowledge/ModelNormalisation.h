// The drive's page in the vendor's online drive database, and the form of the model and firmware
// texts that stands in its address.
#pragma once

#include <string>

#include "device/DriveRecord.h"

// The text with separators turned into dashes, double quotes dropped and a final dot made a dash;
// a few models that would collide with others get a form of their own first.
std::string NormaliseForLink(const std::string& text);

// The database page of the drive: a counterfeit has its own branch, then the normalised model and
// firmware, each with every character that could end or escape the path segment percent-encoded.
std::string DatabaseAddress(const DriveRecord& drive);
