// The network facility of the platform interface: reading a file from a web address and sending a
// form to a web server (wininet), and writing what was read to a new file (kernel32).
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
// InternetConnectA and HttpOpenRequestA values, and the error of a host name that does not resolve.
constexpr uint32_t INTERNET_FLAG_SECURE = 0x00800000;
constexpr uint32_t INTERNET_SERVICE_HTTP = 3;
constexpr uint16_t INTERNET_DEFAULT_HTTPS_PORT = 443;
constexpr uint32_t ERROR_INTERNET_NAME_NOT_RESOLVED = 12007;

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
bool InternetCloseHandle(HInternet handle);

// The calls of a request sent with a body. Each gives 0 or false on failure, with GetLastError's code
// in `error`.
// InternetConnectA(internet, host, port, no user, no password, service, no flags, no context).
HInternet InternetConnect(HInternet internet, const std::string& host, uint16_t port, uint32_t service, uint32_t& error);
// HttpOpenRequestA(connection, verb, object, default HTTP version, no referrer, no accept types, flags,
// no context).
HInternet HttpOpenRequest(HInternet connection, const std::string& verb, const std::string& object, uint32_t flags,
                          uint32_t& error);
// HttpSendRequestA(request, headers, their length, body, its length): true once the server answered.
bool HttpSendRequest(HInternet request, const std::string& headers, const std::string& body, uint32_t& error);
// HttpQueryInfoA(HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER) of a sent request.
bool HttpQueryStatusCode(HInternet request, uint32_t& status);

// CreateFileA(path, GENERIC_WRITE, no sharing, CREATE_ALWAYS), WriteFile of all `size` bytes,
// CloseHandle. False when the file cannot be made or not every byte was written.
bool WriteNewFile(const std::string& path, const uint8_t* data, std::size_t size);

}  // namespace platform
