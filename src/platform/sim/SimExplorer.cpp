#include "platform/sim/SimExplorer.h"

#include <mutex>

#include "platform/Time.h"
#include "platform/sim/SimWindowing.h"

namespace sim {
namespace {

constexpr char TrayWindowClass[] = "Shell_TrayWnd";
constexpr uint32_t ExitRequest = platform::WM_USER + 436;
// Out of the range of the drive and volume handles, which count up from small numbers.
constexpr platform::Handle ExplorerProcessHandle = 0x7E5A0004;

std::mutex ExplorerLock;
ExplorerScript Script;
platform::HWnd TrayWindow = 0;
unsigned ExitRequests = 0;
std::vector<uint32_t> OpenRights;

bool TrayWindowProcedure(platform::HWnd, uint32_t message, platform::WParam, platform::LParam, platform::LParam& result) {
    if (message != ExitRequest) return false;
    std::lock_guard<std::mutex> lock(ExplorerLock);
    ++ExitRequests;
    result = 0;
    return true;
}

// The taskbar window, made the first time it is looked for after a reset of the world.
platform::HWnd TaskbarWindow() {
    {
        std::lock_guard<std::mutex> lock(ExplorerLock);
        if (!Script.Running) return 0;
        if (TrayWindow) return TrayWindow;
    }
    platform::RegisterWindowClass(TrayWindowClass, TrayWindowProcedure);
    const platform::HWnd window = platform::CreateWindowEx(0, TrayWindowClass, "", 0, 0, 0, 0, 0, 0, 0);
    std::lock_guard<std::mutex> lock(ExplorerLock);
    TrayWindow = window;
    return window;
}

}  // namespace

void SetExplorer(const ExplorerScript& script) {
    std::lock_guard<std::mutex> lock(ExplorerLock);
    Script = script;
}

bool ExplorerRunning() {
    std::lock_guard<std::mutex> lock(ExplorerLock);
    return Script.Running;
}

unsigned ExplorerExitRequests() {
    std::lock_guard<std::mutex> lock(ExplorerLock);
    return ExitRequests;
}

std::vector<uint32_t> ProcessOpenRights() {
    std::lock_guard<std::mutex> lock(ExplorerLock);
    return OpenRights;
}

void ResetExplorer() {
    std::lock_guard<std::mutex> lock(ExplorerLock);
    Script = ExplorerScript{};
    TrayWindow = 0;
    ExitRequests = 0;
    OpenRights.clear();
}

}  // namespace sim

namespace platform {

HWnd FindWindow(const std::string& className) {
    return className == sim::TrayWindowClass ? sim::TaskbarWindow() : 0;
}

uint32_t GetWindowThreadProcessId(HWnd window) {
    std::lock_guard<std::mutex> lock(sim::ExplorerLock);
    return sim::Script.Running && window != 0 && window == sim::TrayWindow ? sim::Script.ProcessId : 0;
}

Handle OpenProcess(uint32_t access, uint32_t processId) {
    std::lock_guard<std::mutex> lock(sim::ExplorerLock);
    sim::OpenRights.push_back(access);
    return sim::Script.Running && processId == sim::Script.ProcessId ? sim::ExplorerProcessHandle : 0;
}

uint32_t WaitForSingleObject(Handle object, uint32_t milliseconds) {
    if (object != sim::ExplorerProcessHandle) return WAIT_FAILED;
    sim::PumpPostedMessages();
    bool ends = false;
    uint32_t waited = milliseconds;
    {
        std::lock_guard<std::mutex> lock(sim::ExplorerLock);
        if (!sim::Script.Running) return WAIT_OBJECT_0;
        ends = sim::Script.EndsWhenAsked && sim::ExitRequests > 0 && sim::Script.EndMs <= milliseconds;
        if (ends) waited = sim::Script.EndMs;
    }
    Sleep(waited);
    if (!ends) return WAIT_TIMEOUT;
    std::lock_guard<std::mutex> lock(sim::ExplorerLock);
    sim::Script.Running = false;
    return WAIT_OBJECT_0;
}

}  // namespace platform
