#include "server/Multipart.h"

#include <cctype>

namespace {

// A part's header block longer than this is not a form field's.
constexpr std::size_t MaxPartHeaderBytes = 2048;
constexpr std::size_t MaxBoundaryLength = 70;

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string Trim(const std::string& text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return "";
    const std::size_t last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

// The value of parameter `name` in "type; a=b; name=value" (bare or quoted); false when absent.
bool HeaderParameter(const std::string& header, const std::string& name, std::string& value) {
    std::size_t pos = header.find(';');
    while (pos != std::string::npos) {
        const std::size_t next = header.find(';', pos + 1);
        const std::string item = header.substr(pos + 1, next == std::string::npos ? std::string::npos : next - pos - 1);
        const std::size_t eq = item.find('=');
        if (eq != std::string::npos && Lower(Trim(item.substr(0, eq))) == name) {
            value = Trim(item.substr(eq + 1));
            if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
            return true;
        }
        pos = next;
    }
    return false;
}

// The field name of a part's header block: its Content-Disposition must be form-data with a name.
bool PartName(const std::string& headerBlock, std::string& name) {
    std::size_t start = 0;
    while (start < headerBlock.size()) {
        std::size_t end = headerBlock.find("\r\n", start);
        if (end == std::string::npos) end = headerBlock.size();
        const std::string line = headerBlock.substr(start, end - start);
        const std::size_t colon = line.find(':');
        if (colon != std::string::npos && Lower(Trim(line.substr(0, colon))) == "content-disposition") {
            const std::string value = line.substr(colon + 1);
            if (Lower(Trim(value.substr(0, value.find(';')))) != "form-data") return false;
            return HeaderParameter(value, "name", name) && !name.empty();
        }
        start = end + 2;
    }
    return false;
}

}  // namespace

bool FormBoundary(const std::string& contentType, std::string& boundary) {
    if (Lower(Trim(contentType.substr(0, contentType.find(';')))) != "multipart/form-data") return false;
    if (!HeaderParameter(contentType, "boundary", boundary)) return false;
    return !boundary.empty() && boundary.size() <= MaxBoundaryLength;
}

bool SplitFormBody(const std::string& body, const std::string& boundary, std::vector<FormPart>& parts,
                   std::string& why) {
    parts.clear();
    const std::string delimiter = "--" + boundary;
    const std::string nextDelimiter = "\r\n" + delimiter;
    if (body.compare(0, delimiter.size(), delimiter) != 0) {
        why = "the body does not begin with the boundary";
        return false;
    }
    std::size_t pos = delimiter.size();
    for (;;) {
        if (body.compare(pos, 2, "--") == 0) return true;  // the closing delimiter
        if (body.compare(pos, 2, "\r\n") != 0) {
            why = "a delimiter is not followed by a line break";
            return false;
        }
        pos += 2;
        const std::size_t headersEnd = body.find("\r\n\r\n", pos);
        if (headersEnd == std::string::npos || headersEnd - pos > MaxPartHeaderBytes) {
            why = "a part's headers do not end";
            return false;
        }
        FormPart part;
        if (!PartName(body.substr(pos, headersEnd - pos), part.Name)) {
            why = "a part names no form field";
            return false;
        }
        if (FindPart(parts, part.Name)) {
            why = "two parts are called " + part.Name;
            return false;
        }
        const std::size_t contentStart = headersEnd + 4;
        const std::size_t contentEnd = body.find(nextDelimiter, contentStart);
        if (contentEnd == std::string::npos) {
            why = "the part " + part.Name + " has no closing delimiter";
            return false;
        }
        part.Content = body.substr(contentStart, contentEnd - contentStart);
        parts.push_back(std::move(part));
        pos = contentEnd + nextDelimiter.size();
    }
}

const std::string* FindPart(const std::vector<FormPart>& parts, const std::string& name) {
    for (const FormPart& part : parts)
        if (part.Name == name) return &part.Content;
    return nullptr;
}
