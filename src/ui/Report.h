// src/ui/Report.h
#pragma once
#include <string>
#include <vector>
extern bool ExpertMode;    // read from the toggle at the start of every build
extern bool PublishMode;   // set by publishing around a build
// One piece of the report: text, optionally a link, on a new line or continuing the last one.
struct ReportPiece { std::string Text; std::string Link; bool NewLine = true; };
struct ReportDocument { std::vector<ReportPiece> Pieces; };
// The document of the drive table as it stands (Drives, DriveCount), at ExpertMode/PublishMode depth;
// in PublishMode `unrecognisedDisks` (lines) is appended as the unrecognised-disk list. Also stores
// each drive's instability byte. With no drives: the no-drive message (and, in PublishMode, the global log).
ReportDocument BuildReportDocument(const std::vector<std::string>& unrecognisedDisks = {});
std::string ReportRtf(const ReportDocument& doc);        // the document form "{\rtf3...\par}", links as fields
std::string ReportPlainText(const ReportDocument& doc);   // what a rich-text box shows as plain text: pieces, "\r\n" (or "\n") between lines
