// The trust facility of the platform interface: a program file held against change while it is
// checked and started, Windows' own check of its Authenticode signature, and the certificate that
// signed it (kernel32, wintrust, crypt32).
#pragma once

#include <string>

#include "platform/Types.h"

namespace platform {

// CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING): while the handle is open nobody can
// write, rename or delete the file, and what is checked through it is what is started. 0 when it
// cannot be opened so (it is missing, or someone holds it open for writing).
Handle CreateHeldFile(const std::string& path);
// CloseHandle of a held file.
bool CloseHeldFile(Handle file);
struct HeldFileCloser {
    static void Close(Handle file) { CloseHeldFile(file); }
};
using HeldFile = Owned<HeldFileCloser>;

// WinVerifyTrust(no window, WINTRUST_ACTION_GENERIC_VERIFY_V2) of the file read through `file`, with
// no user interface and no revocation check: true only when Windows trusts the file's embedded
// signature, whose hash covers the file as it is now.
bool WinVerifyTrust(const std::string& path, Handle file);

// The certificate that made a file's embedded signature: its subject as X.500 text and its public key's
// bytes.
struct Signer {
    std::string Subject;
    std::string PublicKey;
};
// CryptQueryObject of the file's embedded signature, CryptMsgGetParam of its signer and
// CertFindCertificateInStore of the signer's certificate; false when the file carries no signature.
bool CryptQueryObject(const std::string& path, Signer& signer);

}  // namespace platform
