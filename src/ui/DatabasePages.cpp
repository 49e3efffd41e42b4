#include "ui/DatabasePages.h"

#include "device/DriveRecord.h"
#include "knowledge/ModelNormalisation.h"
#include "platform/Shell.h"

namespace {
constexpr int SW_SHOW = 5;
}  // namespace

void OpenDatabasePages() {
    for (unsigned i = 0; i < DriveCount(); ++i) {
        const std::string address = DatabaseAddress(*DriveReader(i));
        platform::ShellExecute(0, std::string(), address, std::string(), std::string(), SW_SHOW);
    }
}
