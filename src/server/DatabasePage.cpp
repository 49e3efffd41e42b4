#include "server/DatabasePage.h"

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

// Lowest, highest and average of one figure over the drives that have it.
std::string SummaryRow(const char* name, const FigureRange& range) {
    if (!range.Known) return std::string("<tr><td>") + name + "</td><td colspan=\"3\">none known</td></tr>\n";
    return std::string("<tr><td>") + name + "</td>" + Cell(range.Lowest) + Cell(range.Highest) +
           Cell(range.Average) + "</tr>\n";
}

std::string Summary(const PageFigures& f) {
    return "<h2>Summary</h2>\n<table>\n" + Heading({"", "lowest", "highest", "average"}) +
           SummaryRow("Temperature (&deg;C)", f.Temperature) + SummaryRow("Highest temperature (&deg;C)", f.TopTemperature) +
           SummaryRow("Power-on hours", f.PowerOnHours) + SummaryRow("Remapped sectors", f.RemappedSectors) +
           SummaryRow("Average read speed (MiB/s)", f.AverageReadSpeed) +
           SummaryRow("Minimum read speed (MiB/s)", f.MinReadSpeed) +
           SummaryRow("Maximum read speed (MiB/s)", f.MaxReadSpeed) + "</table>\n";
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
    static const std::string heading = "<h2>Attributes of the drives on this page</h2>\n";
    if (page.Attributes.empty()) return heading + "<p>No attribute table was published.</p>\n";
    std::string rows = heading + "<table>\n" +
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

// Which drives the page lists, and links to the pages before and after it.
std::string PageLinks(const ModelPage& page) {
    const int64_t pages = (page.Figures.Drives + DrivesPerPage - 1) / DrivesPerPage;
    const int64_t first = (page.Number - 1) * DrivesPerPage + 1;
    std::string links = "<p>Drives " + std::to_string(first) + " to " +
                        std::to_string(first - 1 + static_cast<int64_t>(page.Drives.size())) + ", page " +
                        std::to_string(page.Number) + " of " + std::to_string(pages);
    if (page.Number > 1) links += " <a href=\"?page=" + std::to_string(page.Number - 1) + "\">previous page</a>";
    if (page.Number < pages) links += " <a href=\"?page=" + std::to_string(page.Number + 1) + "\">next page</a>";
    return links + "</p>\n";
}

}  // namespace

bool PageNumberFromText(const std::string& text, int64_t& number) {
    // nine digits at most: far past any page, and no overflow when the page's offset is computed
    if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos) return false;
    number = 0;
    for (const char digit : text) number = number * 10 + (digit - '0');
    return number >= 1;
}

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
           title + "</h1>\n<p>Drives published: " + std::to_string(page.Figures.Drives) + "</p>\n" +
           Summary(page.Figures) + PageLinks(page) + DriveRows(page) + AttributeRows(page) + "</body></html>\n";
}
