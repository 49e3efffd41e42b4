#include "system/Settings.h"

std::atomic<bool> Fahrenheit{false};
