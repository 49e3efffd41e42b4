// The plain text of a rich-text document, as a rich-edit box would show it: the reader behind the
// simulated rich-edit box, for the subset of rich text the program writes.
#pragma once

#include <string>

namespace platform {

// The line break a rich-edit box gives between paragraphs in its plain text.
constexpr char PlainTextLineBreak[] = "\r\n";

// Control words are dropped, except \line and \par (a line break; the document's last paragraph mark
// adds none) and \tab; \'hh is that byte; \\ \{ \} are the characters; the instruction of a field and
// the groups of tables and other destinations are dropped, a field's result is kept. Unknown
// control symbols and a \' without two hexadecimal digits are dropped.
std::string RtfPlainText(const std::string& rtf);

// The document with every field group replaced by a group of its result: for a box that shows no
// field results (Wine's rich-edit box drops a link's label), so that the label still shows, unlinked,
// in the link's colour.
std::string RtfWithFieldResults(const std::string& rtf);

}  // namespace platform
