// Arbitrary lines, some of them links, as a report document: its rich text must read back, through
// the reader behind the report box, to exactly the document's plain text; and the reader must take any
// bytes as a document without reading outside them.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/RtfText.h"
#include "ui/Report.h"

namespace {

// Lines end at a line feed; a line whose first byte is 0x01 is a link whose address runs to the next
// 0x01, its label after it.
ReportDocument DocumentOf(const std::string& input) {
    ReportDocument doc;
    size_t start = 0;
    while (start <= input.size()) {
        const size_t end = std::min(input.find('\n', start), input.size());
        std::string line = input.substr(start, end - start);
        std::string link;
        const size_t mark = line.find('\x01', 1);
        if (!line.empty() && line[0] == '\x01' && mark != std::string::npos) {
            link = line.substr(1, mark - 1);
            line.erase(0, mark + 1);
        }
        doc.Pieces.push_back({line, link, true});
        start = end + 1;
    }
    return doc;
}

std::string WithBoxLineBreaks(const std::string& text) {
    std::string out;
    for (const char c : text) out += c == '\n' ? std::string(platform::PlainTextLineBreak) : std::string(1, c);
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    platform::RtfPlainText(input);
    platform::RtfWithFieldResults(input);
    const ReportDocument doc = DocumentOf(input);
    const std::string rtf = ReportRtf(doc);
    if (platform::RtfPlainText(rtf) != WithBoxLineBreaks(ReportPlainText(doc))) std::abort();
    if (platform::RtfPlainText(platform::RtfWithFieldResults(rtf)) != platform::RtfPlainText(rtf)) std::abort();
    return 0;
}
