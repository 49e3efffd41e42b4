// The vendor's web site: every address the program opens or sends data to is built on this host.
#pragma once

#include <string>

constexpr const char VendorHost[] = "www.korvante.com";

// "https://" + the vendor's host + path (which begins with "/").
inline std::string VendorAddress(const std::string& path) { return std::string("https://") + VendorHost + path; }
