// The network facility of the platform interface on Windows (wininet, kernel32).
#include "platform/win32/WindowsApi.h"

#include "platform/Network.h"
#include "platform/Types.h"

namespace platform {
namespace {

HINTERNET AsHandle(HInternet handle) { return reinterpret_cast<HINTERNET>(handle); }

bool QueryText(HInternet file, DWORD info, std::string& text) {
    char buffer[64] = {};
    DWORD size = sizeof buffer - 1;
    if (!::HttpQueryInfoA(AsHandle(file), info, buffer, &size, nullptr)) return false;
    text.assign(buffer, size < sizeof buffer ? size : sizeof buffer - 1);
    return true;
}

}  // namespace

HInternet InternetOpen(const std::string& agent) {
    return reinterpret_cast<HInternet>(::InternetOpenA(agent.c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
}

bool InternetSetOption(HInternet internet, uint32_t option, uint32_t value) {
    DWORD data = value;
    return ::InternetSetOptionA(AsHandle(internet), option, &data, sizeof data) != FALSE;
}

HInternet InternetOpenUrl(HInternet internet, const std::string& url, const std::string& headers, uint32_t flags) {
    const char* extra = headers.empty() ? nullptr : headers.c_str();
    return reinterpret_cast<HInternet>(::InternetOpenUrlA(AsHandle(internet), url.c_str(), extra,
                                                          static_cast<DWORD>(headers.size()), flags, 0));
}

bool InternetReadFile(HInternet file, uint8_t* buffer, uint32_t size, uint32_t& read) {
    DWORD got = 0;
    const bool ok = ::InternetReadFile(AsHandle(file), buffer, size, &got) != FALSE;
    read = ok ? got : 0;
    return ok;
}

bool HttpQueryContentLength(HInternet file, uint32_t& length) {
    // A coded body is decoded while read: its announced length counts the coded bytes.
    std::string encoding;
    if (QueryText(file, HTTP_QUERY_CONTENT_ENCODING, encoding) && !encoding.empty() && encoding != "identity")
        return false;
    DWORD number = 0, size = sizeof number;
    if (!::HttpQueryInfoA(AsHandle(file), HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, &number, &size, nullptr))
        return false;
    length = number;
    return true;
}

HInternet InternetConnect(HInternet internet, const std::string& host, uint16_t port, uint32_t service, uint32_t& error) {
    const HINTERNET connection = ::InternetConnectA(AsHandle(internet), host.c_str(), port, nullptr, nullptr, service, 0, 0);
    error = connection ? 0 : ::GetLastError();
    return reinterpret_cast<HInternet>(connection);
}

HInternet HttpOpenRequest(HInternet connection, const std::string& verb, const std::string& object, uint32_t flags,
                          uint32_t& error) {
    const HINTERNET request =
        ::HttpOpenRequestA(AsHandle(connection), verb.c_str(), object.c_str(), nullptr, nullptr, nullptr, flags, 0);
    error = request ? 0 : ::GetLastError();
    return reinterpret_cast<HInternet>(request);
}

bool HttpSendRequest(HInternet request, const std::string& headers, const std::string& body, uint32_t& error) {
    // The call does not write into the body; its parameter is not const only by its declaration.
    const bool sent = ::HttpSendRequestA(AsHandle(request), headers.c_str(), static_cast<DWORD>(headers.size()),
                                         const_cast<char*>(body.data()), static_cast<DWORD>(body.size())) != FALSE;
    error = sent ? 0 : ::GetLastError();
    return sent;
}

bool HttpQueryStatusCode(HInternet request, uint32_t& status) {
    DWORD number = 0, size = sizeof number;
    if (!::HttpQueryInfoA(AsHandle(request), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &number, &size, nullptr))
        return false;
    status = number;
    return true;
}

bool InternetCloseHandle(HInternet handle) { return ::InternetCloseHandle(AsHandle(handle)) != FALSE; }

bool WriteNewFile(const std::string& path, const uint8_t* data, std::size_t size) {
    const HANDLE file = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (reinterpret_cast<Handle>(file) == INVALID_HANDLE_VALUE) return false;
    std::size_t done = 0;
    while (done < size) {
        const DWORD chunk = static_cast<DWORD>(size - done < 0x40000000 ? size - done : 0x40000000);
        DWORD written = 0;
        if (!::WriteFile(file, data + done, chunk, &written, nullptr) || written == 0) break;
        done += written;
    }
    ::CloseHandle(file);
    return done == size;
}

}  // namespace platform
