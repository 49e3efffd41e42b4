// The network facility of the platform interface: reading a file from a web address (wininet) and
// writing what was read to a new file (kernel32).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

using HInternet = std::uintptr_t;

// InternetOpenUrlA flags and InternetSetOptionA options with their values.
constexpr uint32_t INTERNET_FLAG_RELOAD = 0x80000000;
constexpr uint32_t INTERNET_OPTION_HTTP_DECODING = 65;
constexpr uint32_t INTERNET_OPTION_ENABLE_HTTP_PROTOCOL = 148;
constexpr uint32_t HTTP_PROTOCOL_FLAG_HTTP2 = 2;

// InternetOpenA(agent, INTERNET_OPEN_TYPE_PRECONFIG, no proxy, no bypass, no flags): 0 on failure.
HInternet InternetOpen(const std::string& agent);
// InternetSetOptionA with a 32-bit value.
bool InternetSetOption(HInternet internet, uint32_t option, uint32_t value);
// InternetOpenUrlA(internet, url, headers (none when empty), flags, no context): 0 on failure.
HInternet InternetOpenUrl(HInternet internet, const std::string& url, const std::string& headers, uint32_t flags);
// InternetReadFile: up to `size` bytes into `buffer`; `read` 0 at the end of the file. False when
// the read failed (the connection broke or timed out).
bool InternetReadFile(HInternet file, uint8_t* buffer, uint32_t size, uint32_t& read);
// HttpQueryInfoA(HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER): false when the server announced
// no length.
bool HttpQueryContentLength(HInternet file, uint32_t& length);
// HttpQueryInfoA(HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER): the server's status (200, 404...);
// false when the reply carries none.
bool HttpQueryStatusCode(HInternet file, uint32_t& status);
bool InternetCloseHandle(HInternet handle);

// CreateFileA(path, GENERIC_WRITE, no sharing, CREATE_ALWAYS), WriteFile of all `size` bytes,
// CloseHandle. False when the file cannot be made or not every byte was written.
bool WriteNewFile(const std::string& path, const uint8_t* data, std::size_t size);

}  // namespace platform
