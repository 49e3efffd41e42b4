// The report: one section per drive of the table, as a document of text pieces with optional links,
// and its two renderings (the rich text the report box shows, and the plain text it gives back).
#pragma once
#include <cstdint>
#include <string>
#include <vector>
// How much the report tells: the normal report, the expert report, or what publishing sends, which is
// the expert report with its filters, the diagnostic logs and the unrecognised disks.
enum class ReportDepth { Normal, Expert, Publish };
// One piece of the report: text, optionally a link, on a new line or continuing the last one.
struct ReportPiece { std::string Text; std::string Link; bool NewLine = true; };
// The pieces of a report built at one depth; the line primitives read the depth from it.
struct ReportDocument { std::vector<ReportPiece> Pieces; ReportDepth Depth = ReportDepth::Normal; };
// The document of the drive table as it stands (Drives, DriveCount) at `depth`; at publish depth
// `unrecognisedDisks` (lines) is appended as the unrecognised-disk list. Also stores each drive's
// instability byte. With no drives: the no-drive message (and, at publish depth, the global log).
ReportDocument BuildReportDocument(ReportDepth depth, const std::vector<std::string>& unrecognisedDisks = {});
std::string ReportRtf(const ReportDocument& doc);        // the document form "{\rtf3...\par}", links as fields
// What a rich-text box shows as plain text: the pieces, with "\n" between lines (no line break after
// the last line).
std::string ReportPlainText(const ReportDocument& doc);

// The line primitives. Each appends one piece; `link` empty for none. With `indent` in a document of
// expert or publish depth, three spaces go before the label. Texts stay plain here: escaping belongs
// to ReportRtf.
void AddText(ReportDocument& doc, const std::string& link, bool indent, const std::string& text, bool sameLine = false);
// label - value
void AddValue(ReportDocument& doc, const std::string& link, bool indent, const std::string& label, bool sameLine,
              const std::string& value);
// label - number in decimal
void AddNumber(ReportDocument& doc, const std::string& link, bool indent, const std::string& label, bool sameLine,
               uint64_t number);
// label - supported / not supported
void AddSupport(ReportDocument& doc, const std::string& link, bool indent, const std::string& label, bool sameLine,
                bool supported);
// label - not supported, or supported, enabled[, current value - N] / supported, disabled;
// currentValue -1 for a feature without one.
constexpr int NoCurrentValue = -1;
void AddFeature(ReportDocument& doc, const std::string& link, bool indent, const std::string& label, bool sameLine,
                int currentValue, bool enabled, bool supported);
// Each line of `text` (split at line feeds, carriage returns dropped) as a new line; the last one
// even when empty.
void AddLines(ReportDocument& doc, const std::string& text, bool indent);

// Instability of reading in percent: how far the larger of the average and the stable read speed lies
// above the smaller, rounded. 0 when the smaller is 0 (nothing measured, no ratio).
unsigned ReadInstabilityPercent(unsigned averageSpeed, unsigned stableSpeed);
