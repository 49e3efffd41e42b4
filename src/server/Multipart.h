// The body of a form upload (multipart/form-data) taken apart into its named parts. The parts hold
// binary data with zero bytes, so every search and offset works on byte strings, bounds-checked.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

struct FormPart {
    std::string Name;     // the name parameter of its Content-Disposition
    std::string Content;  // the bytes between its header block and the next delimiter
};

// The boundary parameter of a "multipart/form-data" Content-Type (type and parameter name in any
// case, the value bare or quoted, 1 to 70 characters). False for another type or no usable boundary.
bool FormBoundary(const std::string& contentType, std::string& boundary);

// Every part of `body`, in order. False, with the reason in `why`, when the body does not begin with
// a delimiter line, a part's header block does not end or names no form field, two parts share a
// name, or the closing delimiter is missing. Bytes after the closing delimiter are ignored.
bool SplitFormBody(const std::string& body, const std::string& boundary, std::vector<FormPart>& parts,
                   std::string& why);

// The content of the part called `name`, or nullptr.
const std::string* FindPart(const std::vector<FormPart>& parts, const std::string& name);
