// Self-freeing worker threads and the message boxes they raise, on the simulated timeline.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>

#include "TestMachine.h"
#include "platform/Threads.h"
#include "platform/Time.h"
#include "platform/UserInterface.h"
#include "platform/sim/SimThreads.h"
#include "platform/sim/SimUserInterface.h"
#include "platform/sim/SimWorld.h"

namespace {

using namespace platform;

class SimWorkers : public MachineTest {};

// A box on its own worker, as an alert raises one; `answer` receives what the user chose.
void RaiseBoxOnWorker(const std::string& text, uint32_t flags, std::atomic<int>& answer) {
    ASSERT_TRUE(CreateThread([text, flags, &answer] { answer = MessageBox(0, text, "KORVANTE :: Warning!", flags); }));
}

TEST_F(SimWorkers, BoxesTakeQueuedAnswersInOrderThenTheirDefaultButton) {
    const struct {
        uint32_t flags;
        std::vector<int> queued, answers;  // answers of three boxes in a row
    } cases[] = {
        {MB_OK | MB_ICONEXCLAMATION | WorkerBoxFlags, {}, {IDOK, IDOK, IDOK}},
        {MB_YESNO | MB_ICONEXCLAMATION | WorkerBoxFlags, {IDNO, IDYES}, {IDNO, IDYES, IDYES}},
        {MB_OKCANCEL | MB_ICONINFORMATION | OwnedBoxFlags, {IDCANCEL}, {IDCANCEL, IDOK, IDOK}},
    };
    for (const auto& c : cases) {
        sim::ResetWorld();
        for (int a : c.queued) sim::QueueMessageBoxAnswer(a);
        for (size_t i = 0; i < c.answers.size(); ++i)
            EXPECT_EQ(MessageBox(0x42, "text " + std::to_string(i), "caption", c.flags), c.answers[i]) << c.flags << " #" << i;
        const std::vector<sim::MessageBoxCall> calls = sim::MessageBoxCalls();
        ASSERT_EQ(calls.size(), 3u);
        const sim::MessageBoxCall& second = calls[1];
        EXPECT_TRUE(second.Text == "text 1" && second.Caption == "caption" && second.Flags == c.flags && second.Owner == 0x42);
        EXPECT_EQ(second.Thread, std::this_thread::get_id());
        EXPECT_FALSE(second.Open);
        EXPECT_EQ(second.Answer, c.answers[1]);
    }
}

// The monitoring timer's calls while a box is open.
std::atomic<unsigned> Cycles{0};
void CountCycle(uint32_t, std::uintptr_t) { ++Cycles; }

TEST_F(SimWorkers, AHeldBoxBlocksOnlyItsWorkerThroughAnHourOfCyclesThenTakesTheReleasedAnswer) {
    Cycles = 0;
    sim::HoldMessageBoxes();
    std::atomic<int> answer{-1};
    RaiseBoxOnWorker("The pre-failure state is detected!", MB_OK | MB_ICONEXCLAMATION | WorkerBoxFlags, answer);
    ASSERT_TRUE(sim::WaitForOpenMessageBoxes(1));
    timeSetEvent(60000, CountCycle, 0);
    sim::AdvanceTime(3600000);
    EXPECT_EQ(Cycles, 60u) << "the timeline went on while the box was open";
    EXPECT_EQ(answer, -1) << "the worker still waits for the user";
    std::vector<sim::MessageBoxCall> calls = sim::MessageBoxCalls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_TRUE(calls[0].Open);
    EXPECT_NE(calls[0].Thread, std::this_thread::get_id());
    EXPECT_EQ(calls[0].OpenedAt, 0u);

    EXPECT_TRUE(sim::ReleaseMessageBox(IDNO));
    sim::WaitForWorkers();
    EXPECT_EQ(answer, IDNO);
    calls = sim::MessageBoxCalls();
    EXPECT_FALSE(calls[0].Open);
    EXPECT_EQ(calls[0].Answer, IDNO);
    EXPECT_FALSE(sim::ReleaseMessageBox(IDOK)) << "no box left open";
}

TEST_F(SimWorkers, ABoxHeldForAWhileClosesWhenTheTimelineGetsThere) {
    sim::HoldMessageBoxes(30 * 60000);
    sim::QueueMessageBoxAnswer(IDNO);
    std::atomic<int> first{-1}, second{-1};
    sim::AdvanceTime(60000);
    RaiseBoxOnWorker("first", MB_YESNO, first);
    ASSERT_TRUE(sim::WaitForOpenMessageBoxes(1));
    sim::AdvanceTime(10 * 60000);
    RaiseBoxOnWorker("second", MB_YESNO, second);
    ASSERT_TRUE(sim::WaitForOpenMessageBoxes(2));
    sim::AdvanceTime(20 * 60000 - 1);  // one millisecond before the first box's half hour is up
    EXPECT_EQ(sim::MessageBoxCalls().at(0).Answer, 0);
    sim::AdvanceTime(1);
    std::vector<sim::MessageBoxCall> calls = sim::MessageBoxCalls();
    EXPECT_EQ(calls[0].Answer, IDNO) << "the queued answer";
    EXPECT_TRUE(calls[1].Open);
    sim::AdvanceTime(10 * 60000);
    sim::WaitForWorkers();
    EXPECT_EQ(first, IDNO);
    EXPECT_EQ(second, IDYES) << "nothing queued is left: the default";
}

TEST_F(SimWorkers, AWorkerOwnsItsWorkAndResetEndsWorkersLeftWaitingOnABox) {
    auto owned = std::make_shared<int>(5);
    std::atomic<int> seen{0}, answer{-1};
    std::thread::id worker;
    ASSERT_TRUE(CreateThread([owned, &seen, &worker, &answer] {
        worker = std::this_thread::get_id();
        seen = *owned;
        ASSERT_TRUE(CreateThread([&answer] { answer = MessageBox(0, "nested", "c", MB_YESNO); }));
    }));
    EXPECT_FALSE(CreateThread(std::function<void()>()));
    sim::WaitForWorkers();  // the first worker, and the one it started
    EXPECT_EQ(answer, IDYES);
    EXPECT_EQ(seen, 5);
    EXPECT_NE(worker, std::this_thread::get_id());
    EXPECT_EQ(owned.use_count(), 1) << "the work was freed with its thread";
    EXPECT_EQ(sim::WorkersStarted(), 2u);

    std::atomic<int> held{-1};
    sim::HoldMessageBoxes();
    RaiseBoxOnWorker("left open", MB_YESNO, held);
    ASSERT_TRUE(sim::WaitForOpenMessageBoxes(1));
    sim::ResetWorld();  // must not hang on the open box
    EXPECT_EQ(held, IDYES);
    EXPECT_TRUE(sim::MessageBoxCalls().empty());
    EXPECT_EQ(sim::WorkersStarted(), 0u);
}

}  // namespace
