// What a scripted life on the simulated machine shows of the watch the program keeps: the alerts
// the script says are owed, matched with the boxes the program raised; the minutes the machine was
// awake with the program running but its monitoring timer stopped; the minutes the notification area
// held fewer of the program's icons than it should; and each drive's worked hours against the true
// hours its simulated counter stood for at the program's last reading of it.
#pragma once

#include <ostream>
#include <string>
#include <vector>

class LifeAudit {
public:
    // After each minute of the timeline. Minutes are counted in uptime, as the script counts them.
    void AfterMinute(unsigned minute);
    // The summary: counts first, then every missed and false alert, then the hours of each drive.
    // True when nothing is missed, false, unmonitored or missing and every drive's hours are right.
    bool Print(std::ostream& out) const;

private:
    struct Owed {
        unsigned Minute;
        size_t Drive;
        std::string Kind;
        unsigned Deadline;  // the last minute it may come in; 0 while the program could not yet raise it
    };
    std::vector<Owed> owed_;
    bool owedTaken_ = false;
    unsigned unmonitored_ = 0;
    unsigned missingIcons_ = 0;
    unsigned lastMinute_ = 0;
};
