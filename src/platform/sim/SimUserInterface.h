// The user-interface facility of the simulated machine: every message box is recorded, and answered
// from a script. A box's call blocks the thread that raised it until the box is answered; nothing
// else waits for it, so the timeline (and the timers on it) moves on while a box is open.
#pragma once

#include <cstdint>
#include <string>
#include <thread>
#include <vector>

namespace sim {

struct MessageBoxCall {
    std::uintptr_t Owner;
    std::string Text;
    std::string Caption;
    uint32_t Flags;
    std::thread::id Thread;   // the thread that raised it
    uint64_t OpenedAt;        // uptime in milliseconds
    bool Open;
    int Answer;               // the button that closed it; 0 while open
};

// Copies of the boxes so far, oldest first, from the `from`th on.
std::vector<MessageBoxCall> MessageBoxCalls(size_t from = 0);

// The next box that is not held gets this answer (queued answers go in order); a box with no queued
// answer gets its default button: OK, Yes, Abort or Retry, whichever of its buttons comes first.
void QueueMessageBoxAnswer(int answer);

constexpr uint64_t HoldUntilReleased = ~0ull;
// While set, every new box stays open: until ReleaseMessageBox, or until the timeline has moved
// `milliseconds` past its opening, when it takes the next queued answer or its default.
void HoldMessageBoxes(uint64_t milliseconds = HoldUntilReleased);
// New boxes are answered at once again; boxes already held stay held.
void StopHoldingMessageBoxes();

// Answers the oldest open box. False when no box is open.
bool ReleaseMessageBox(int answer);

// Waits (in real time, at most ten seconds) until at least `count` boxes are open. False on time-out.
bool WaitForOpenMessageBoxes(size_t count);

// Whether the thread waits in a box that is still open.
bool WaitsInMessageBox(std::thread::id thread);

// Passes of the message pump so far (the simulated machine has no window messages to dispatch).
unsigned MessagePumpPasses();

// Every open box answered with its default (the process that showed it ended), holding stopped; the
// records stay.
void CloseMessageBoxes();

// Every open box answered with its default, holding stopped, queue and records emptied.
void ResetMessageBoxes();

}  // namespace sim
