#include "server/DatabasePage.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "server/WebText.h"

namespace {

std::vector<std::string> Segments(const std::string& text) {
    std::vector<std::string> segments;
    std::size_t start = 0;
    for (std::size_t slash; (slash = text.find('/', start)) != std::string::npos; start = slash + 1)
        segments.push_back(text.substr(start, slash - start));
    segments.push_back(text.substr(start));
    return segments;
}

std::string Cell(const std::string& text) { return "<td>" + HtmlEscape(text) + "</td>"; }
std::string Cell(int64_t value) { return "<td>" + std::to_string(value) + "</td>"; }

std::string Heading(const std::vector<const char*>& names) {
    std::string row = "<tr>";
    for (const char* name : names) row += std::string("<th>") + name + "</th>";
    return row + "</tr>\n";
}

// Lowest, highest and average of one quantity over the drives that have it.
std::string SummaryRow(const char* name, const std::vector<int64_t>& values) {
    if (values.empty()) return std::string("<tr><td>") + name + "</td><td colspan=\"3\">none known</td></tr>\n";
    int64_t sum = 0;
    for (const int64_t v : values) sum += v;
    return std::string("<tr><td>") + name + "</td>" + Cell(*std::min_element(values.begin(), values.end())) +
           Cell(*std::max_element(values.begin(), values.end())) +
           Cell(sum / static_cast<int64_t>(values.size())) + "</tr>\n";
}

// A figure the drive did not give stays out of the summary: a temperature of 0 is none read, and the
// remapped sectors are known only with their attribute.
std::string Summary(const ModelPage& page) {
    std::vector<int64_t> temperature, top, hours, remaps, average, minimum, maximum;
    for (const PublishedDrive& d : page.Drives) {
        if (d.Temperature != 0) temperature.push_back(d.Temperature);
        if (d.TopTemperature != 0) top.push_back(d.TopTemperature);
        if (d.HoursKnown) hours.push_back(d.PowerOnHours);
        if (d.RemapsKnown) remaps.push_back(d.RemappedSectors);
        if (d.AverageReadSpeed != 0) {  // 0: never measured
            average.push_back(d.AverageReadSpeed);
            minimum.push_back(d.MinReadSpeed);
            maximum.push_back(d.MaxReadSpeed);
        }
    }
    return "<h2>Summary</h2>\n<table>\n" + Heading({"", "lowest", "highest", "average"}) +
           SummaryRow("Temperature (&deg;C)", temperature) + SummaryRow("Highest temperature (&deg;C)", top) +
           SummaryRow("Power-on hours", hours) + SummaryRow("Remapped sectors", remaps) +
           SummaryRow("Average read speed (MiB/s)", average) + SummaryRow("Minimum read speed (MiB/s)", minimum) +
           SummaryRow("Maximum read speed (MiB/s)", maximum) + "</table>\n";
}

// Whole milliseconds and hundredths: 12.05 ms, not 12.5.
std::string AccessTimeText(const PublishedDrive& d) {
    char text[48];
    std::snprintf(text, sizeof text, "%lld.%02lld", static_cast<long long>(d.AverageAccessTime),
                  static_cast<long long>(d.AverageAccessTimeFrac));
    return text;
}

std::string DriveRows(const ModelPage& page) {
    std::string rows = "<h2>Drives</h2>\n<table>\n" +
                       Heading({"received", "model", "firmware", "size (bytes)", "temperature", "highest",
                                "power-on hours", "power cycles", "remapped sectors", "read speed average / min / max (MiB/s)",
                                "access time (ms)", "pre-failure"});
    for (const PublishedDrive& d : page.Drives) {
        rows += "<tr>" + Cell(d.ReceivedAt) + Cell(d.Model) + Cell(d.Firmware) + Cell(d.AvailableSize) +
                Cell(d.Temperature) + Cell(d.TopTemperature) +
                (d.HoursKnown ? Cell(d.PowerOnHours) : Cell("calculated...")) + Cell(d.PowerCycleCount) +
                Cell(d.RemappedSectors) +
                Cell(std::to_string(d.AverageReadSpeed) + " / " + std::to_string(d.MinReadSpeed) + " / " +
                     std::to_string(d.MaxReadSpeed)) +
                Cell(AccessTimeText(d)) +
                Cell(d.PreFailure ? "yes" : "no") + "</tr>\n";
    }
    return rows + "</table>\n";
}

std::string AttributeRows(const ModelPage& page) {
    if (page.Attributes.empty()) return "<h2>Attributes</h2>\n<p>No attribute table was published.</p>\n";
    std::string rows = "<h2>Attributes</h2>\n<table>\n" +
                       Heading({"ID", "drives", "value", "worst (lowest)", "threshold", "raw (lowest)", "raw (highest)"});
    for (const AttributeSeen& a : page.Attributes) {
        const std::string value = std::to_string(a.MinValue) + (a.MaxValue != a.MinValue ? "-" + std::to_string(a.MaxValue) : "");
        const std::string threshold =
            std::to_string(a.MinThreshold) + (a.MaxThreshold != a.MinThreshold ? "-" + std::to_string(a.MaxThreshold) : "");
        rows += "<tr>" + Cell(a.Id) + Cell(a.Drives) + Cell(value) + Cell(a.MinWorst) + Cell(threshold) +
                Cell(a.MinRaw) + Cell(a.MaxRaw) + "</tr>\n";
    }
    return rows + "</table>\n";
}

}  // namespace

bool PageKeyFromPath(const std::string& path, bool& fake, std::string& model, std::string& firmware) {
    static const std::string prefix = "/database/";
    if (path.size() <= prefix.size() || path.compare(0, prefix.size(), prefix) != 0 || path.back() != '/') return false;
    std::vector<std::string> segments = Segments(path.substr(prefix.size(), path.size() - prefix.size() - 1));
    fake = segments.size() == 3 && segments[0] == "Fake";
    if (segments.size() != (fake ? 3u : 2u)) return false;
    model = Utf8FromWindows1252(segments[fake ? 1 : 0]);
    firmware = Utf8FromWindows1252(segments[fake ? 2 : 1]);
    return true;
}

std::string RenderModelPage(bool fake, const std::string& model, const std::string& firmware, const ModelPage& page) {
    const std::string title = HtmlEscape(model + " " + firmware) + (fake ? " (counterfeit)" : "");
    return "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>" + title + "</title></head><body>\n<h1>" +
           title + "</h1>\n<p>Drives published: " + std::to_string(page.Drives.size()) + "</p>\n" + Summary(page) +
           DriveRows(page) + AttributeRows(page) + "</body></html>\n";
}
