// The program's update: the vendor's site holds "version.txt" with the newest version and, beside
// it, the program file. A newer version is downloaded into the temporary folder, checked and started;
// the started copy then installs itself over this one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/Network.h"

// The largest program file taken (10 MiB).
constexpr std::size_t UpdateBufferSize = 10485760;

// The machine type a downloaded program must be built for: the one this copy was built for (the
// shipped program is 32-bit x86; a 64-bit test build takes 64-bit files, so that it can be tested
// with executables it built itself).
constexpr uint16_t UpdateMachineType = sizeof(void*) == 8 ? 0x8664 : 0x014C;

// Whether the hourly update question is on screen.
bool UpdatePromptShowing();

// "The application couldn't get access to the Internet. ..." (the apostrophes are the Windows-1252 0x92).
extern const char NoInternetText[];

// InternetOpen with `agent` and HTTP/2 enabled on it; 0 when it fails.
platform::HInternet OpenInternet(const std::string& agent);
// One read of at most 23 bytes of an opened "version.txt"; the text up to its first zero byte.
std::string ReadRemoteVersion(platform::HInternet file);
// InternetOpenUrl of `url` (reloaded), kept only when the server answered with a success status; an
// error page would read as a version greater than any. 0 otherwise.
platform::HInternet OpenVersionFile(platform::HInternet internet, const std::string& url);

// Version texts compare as byte strings: the first differing byte decides, then the shorter text is
// the smaller. So "10.0.0.0" is not greater than "9.0.0.0", and a trailing line break makes a text
// greater.
bool VersionGreater(const std::string& left, const std::string& right);

// The text before the last "." ("" when there is none).
std::string StripLastComponent(const std::string& version);

// A Windows executable (not a DLL) built for UpdateMachineType; every header offset bounds-checked.
bool IsUpdateImage(const uint8_t* data, std::size_t size);

// The manual check and download: compares siteBase + "version.txt" with the program's own version,
// says when there is nothing newer, else downloads folderBase + fileName into the temporary folder
// and starts it. A file that did not arrive whole, or is not an executable of the announced version,
// is deleted and the update reported as interrupted.
void DownloadUpdate(const std::string& siteBase, const std::string& folderBase, const std::string& fileName);

// The tray's "Update" command: DownloadUpdate from the vendor's site.
void CheckForUpdateFromVendor();

// The hourly check, on the monitoring cycle's thread: silent unless the version without its last
// component is greater than the program's, then UpdatePrompt on a worker thread.
void HourlyUpdateCheck();
// The question "Update program?"; Yes runs the download from the vendor's site.
void UpdatePrompt();

// The flag back to its start (a simulated restart).
void ResetUpdate();
