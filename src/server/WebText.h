// Texts between the program's bytes and the web: the client writes Windows-1252, the database and the
// pages hold UTF-8.
#pragma once

#include <string>

// Every byte as the Windows-1252 character it stands for, in UTF-8; the five bytes Windows-1252
// leaves undefined become U+FFFD. A zero byte stays a zero byte.
std::string Utf8FromWindows1252(const std::string& text);

// The text with &, <, >, " and ' written as character references, safe in an element or an
// attribute value.
std::string HtmlEscape(const std::string& text);
