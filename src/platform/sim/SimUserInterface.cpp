#include "platform/sim/SimUserInterface.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>

#include "platform/Time.h"
#include "platform/UserInterface.h"
#include "platform/sim/SimClock.h"

namespace sim {
namespace {

constexpr uint64_t NotHeld = 0;
constexpr int IDABORT = 3, IDRETRY = 4;

// One box: its record, and until when the timeline holds it (HoldUntilReleased: until a release).
struct Box {
    MessageBoxCall Call;
    uint64_t ReleaseAt = NotHeld;
};

// Lock order: the machine's lock (the clock calls its listener under it), then BoxLock, then the
// clock's own.
std::mutex BoxLock;
std::condition_variable BoxChanged;  // a box opened or was answered
std::vector<std::shared_ptr<Box>> Boxes;
std::deque<int> Answers;
uint64_t HoldFor = NotHeld;

// The first button of a box's kind (MB_OK, MB_OKCANCEL, MB_ABORTRETRYIGNORE, MB_YESNOCANCEL, MB_YESNO,
// MB_RETRYCANCEL).
int DefaultAnswer(uint32_t flags) {
    static const int FirstButton[] = {platform::IDOK, platform::IDOK, IDABORT, platform::IDYES, platform::IDYES, IDRETRY};
    const uint32_t type = flags & platform::MB_TYPEMASK;
    return type < sizeof FirstButton / sizeof FirstButton[0] ? FirstButton[type] : platform::IDOK;
}

// Caller holds BoxLock.
int NextAnswer(uint32_t flags) {
    if (Answers.empty()) return DefaultAnswer(flags);
    const int answer = Answers.front();
    Answers.pop_front();
    return answer;
}

void Close(Box& box, int answer) {
    box.Call.Open = false;
    box.Call.Answer = answer;
}

size_t OpenCount() {
    size_t n = 0;
    for (const auto& box : Boxes) n += box->Call.Open;
    return n;
}

// The clock's listener: boxes held for a time are answered once the timeline reaches it.
void AnswerOverdueBoxes(uint64_t uptimeMs) {
    std::lock_guard<std::mutex> lock(BoxLock);
    bool answered = false;
    for (const auto& box : Boxes) {
        if (!box->Call.Open || box->ReleaseAt == HoldUntilReleased || box->ReleaseAt > uptimeMs) continue;
        Close(*box, NextAnswer(box->Call.Flags));
        answered = true;
    }
    if (answered) BoxChanged.notify_all();
}

}  // namespace

bool WaitsInMessageBox(std::thread::id thread) {
    std::lock_guard<std::mutex> lock(BoxLock);
    for (const auto& box : Boxes)
        if (box->Call.Open && box->Call.Thread == thread) return true;
    return false;
}

std::vector<MessageBoxCall> MessageBoxCalls(size_t from) {
    std::lock_guard<std::mutex> lock(BoxLock);
    std::vector<MessageBoxCall> calls;
    for (size_t i = from; i < Boxes.size(); ++i) calls.push_back(Boxes[i]->Call);
    return calls;
}

void QueueMessageBoxAnswer(int answer) {
    std::lock_guard<std::mutex> lock(BoxLock);
    Answers.push_back(answer);
}

void HoldMessageBoxes(uint64_t milliseconds) {
    if (milliseconds != HoldUntilReleased) AddClockListener(AnswerOverdueBoxes);
    std::lock_guard<std::mutex> lock(BoxLock);
    HoldFor = milliseconds;
}

void StopHoldingMessageBoxes() {
    std::lock_guard<std::mutex> lock(BoxLock);
    HoldFor = NotHeld;
}

bool ReleaseMessageBox(int answer) {
    std::lock_guard<std::mutex> lock(BoxLock);
    for (const auto& box : Boxes) {
        if (!box->Call.Open) continue;
        Close(*box, answer);
        BoxChanged.notify_all();
        return true;
    }
    return false;
}

bool WaitForOpenMessageBoxes(size_t count) {
    std::unique_lock<std::mutex> lock(BoxLock);
    return BoxChanged.wait_for(lock, std::chrono::seconds(10), [&] { return OpenCount() >= count; });
}

namespace {
std::atomic<unsigned> PumpPasses{0};
}

unsigned MessagePumpPasses() { return PumpPasses; }

void CloseMessageBoxes() {
    std::lock_guard<std::mutex> lock(BoxLock);
    for (const auto& box : Boxes)
        if (box->Call.Open) Close(*box, DefaultAnswer(box->Call.Flags));
    BoxChanged.notify_all();
    HoldFor = NotHeld;
}

void ResetMessageBoxes() {
    CloseMessageBoxes();
    PumpPasses = 0;
    std::lock_guard<std::mutex> lock(BoxLock);
    Boxes.clear();
    Answers.clear();
}

}  // namespace sim

namespace platform {

void PumpMessages(std::uintptr_t) { ++sim::PumpPasses; }

int MessageBox(std::uintptr_t owner, const std::string& text, const std::string& caption, uint32_t flags) {
    const uint64_t now = sim::UptimeMilliseconds();
    std::unique_lock<std::mutex> lock(sim::BoxLock);
    auto box = std::make_shared<sim::Box>();
    box->Call = {owner, text, caption, flags, std::this_thread::get_id(), now, true, 0};
    sim::Boxes.push_back(box);
    if (sim::HoldFor == sim::NotHeld) {
        sim::Close(*box, sim::NextAnswer(flags));
        return box->Call.Answer;
    }
    box->ReleaseAt = sim::HoldFor == sim::HoldUntilReleased ? sim::HoldUntilReleased : now + sim::HoldFor;
    sim::BoxChanged.notify_all();
    sim::BoxChanged.wait(lock, [&] { return !box->Call.Open; });
    return box->Call.Answer;
}

}  // namespace platform
