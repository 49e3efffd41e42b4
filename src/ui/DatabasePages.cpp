#include "ui/DatabasePages.h"

#include "device/DriveRecord.h"
#include "knowledge/ModelNormalisation.h"
#include "platform/Shell.h"

namespace {
constexpr int SW_SHOW = 5;
}  // namespace

void OpenDatabasePages() {
    for (unsigned i = 0; i < DriveTable.Count; ++i)
        platform::ShellExecute(0, std::string(), DatabaseAddress(*DriveTable.Drives[i]), std::string(), std::string(),
                               SW_SHOW);
}
