#include "knowledge/Trademarks.h"

// The brand rule table is not in yet: no model is recognised.
std::string DetectTrademark(const std::string&, bool) { return std::string(); }
