// Brand of a drive from its model text.
#pragma once

#include <string>

// The brand the model text belongs to; empty when no rule recognises it.
std::string DetectTrademark(const std::string& model, bool isNVMe);
