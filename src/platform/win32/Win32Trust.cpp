// The trust facility of the platform interface on Windows.
#include "platform/win32/WindowsApi.h"

#include <softpub.h>
#include <wincrypt.h>
#include <wintrust.h>

#include <vector>

#include "platform/Trust.h"

namespace platform {
namespace {

std::wstring Wide(const std::string& text) {
    const int length = ::MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
    if (length <= 0) return std::wstring();
    std::wstring wide(static_cast<size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, &wide[0], length);
    wide.resize(static_cast<size_t>(length) - 1);
    return wide;
}

// The signer's certificate, found in the signature's own store by the issuer and serial number its
// signer information names; null when there is none.
PCCERT_CONTEXT SignerCertificate(HCERTSTORE store, HCRYPTMSG message) {
    DWORD size = 0;
    if (!::CryptMsgGetParam(message, CMSG_SIGNER_INFO_PARAM, 0, nullptr, &size) || size == 0) return nullptr;
    std::vector<BYTE> buffer(size);
    if (!::CryptMsgGetParam(message, CMSG_SIGNER_INFO_PARAM, 0, buffer.data(), &size)) return nullptr;
    const auto* info = reinterpret_cast<const CMSG_SIGNER_INFO*>(buffer.data());
    CERT_INFO wanted{};
    wanted.Issuer = info->Issuer;
    wanted.SerialNumber = info->SerialNumber;
    return ::CertFindCertificateInStore(store, X509_ASN_ENCODING | PKCS_7_ASN_ENCODING, 0, CERT_FIND_SUBJECT_CERT, &wanted,
                                        nullptr);
}

std::string SubjectText(PCCERT_CONTEXT certificate) {
    CERT_NAME_BLOB& name = certificate->pCertInfo->Subject;
    const DWORD flags = CERT_X500_NAME_STR | CERT_NAME_STR_REVERSE_FLAG;
    const DWORD length = ::CertNameToStrA(X509_ASN_ENCODING, &name, flags, nullptr, 0);
    if (length <= 1) return std::string();
    std::string text(length, '\0');
    ::CertNameToStrA(X509_ASN_ENCODING, &name, flags, &text[0], length);
    text.resize(length - 1);
    return text;
}

// The window WinVerifyTrust is given when no user is to be asked.
const HWND NoUser = reinterpret_cast<HWND>(static_cast<LONG_PTR>(-1));

}  // namespace

Handle CreateHeldFile(const std::string& path) {
    const HANDLE file = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    return reinterpret_cast<Handle>(file) == INVALID_HANDLE_VALUE ? 0 : reinterpret_cast<Handle>(file);
}

bool CloseHeldFile(Handle file) { return ::CloseHandle(reinterpret_cast<HANDLE>(file)) != FALSE; }

bool WinVerifyTrust(const std::string& path, Handle file) {
    const std::wstring widePath = Wide(path);
    WINTRUST_FILE_INFO fileInfo{};
    fileInfo.cbStruct = sizeof fileInfo;
    fileInfo.pcwszFilePath = widePath.c_str();
    fileInfo.hFile = reinterpret_cast<HANDLE>(file);
    WINTRUST_DATA data{};
    data.cbStruct = sizeof data;
    data.dwUIChoice = WTD_UI_NONE;
    data.fdwRevocationChecks = WTD_REVOKE_NONE;
    data.dwUnionChoice = WTD_CHOICE_FILE;
    data.pFile = &fileInfo;
    data.dwStateAction = WTD_STATEACTION_VERIFY;
    GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    const LONG verdict = ::WinVerifyTrust(NoUser, &action, &data);
    data.dwStateAction = WTD_STATEACTION_CLOSE;
    ::WinVerifyTrust(NoUser, &action, &data);
    return verdict == ERROR_SUCCESS;
}

bool CryptQueryObject(const std::string& path, Signer& signer) {
    const std::wstring widePath = Wide(path);
    HCERTSTORE store = nullptr;
    HCRYPTMSG message = nullptr;
    if (!::CryptQueryObject(CERT_QUERY_OBJECT_FILE, widePath.c_str(), CERT_QUERY_CONTENT_FLAG_PKCS7_SIGNED_EMBED,
                            CERT_QUERY_FORMAT_FLAG_BINARY, 0, nullptr, nullptr, nullptr, &store, &message, nullptr))
        return false;
    const PCCERT_CONTEXT certificate = SignerCertificate(store, message);
    if (certificate) {
        const CRYPT_BIT_BLOB& key = certificate->pCertInfo->SubjectPublicKeyInfo.PublicKey;
        signer.Subject = SubjectText(certificate);
        signer.PublicKey.assign(reinterpret_cast<const char*>(key.pbData), key.cbData);
        ::CertFreeCertificateContext(certificate);
    }
    ::CryptMsgClose(message);
    ::CertCloseStore(store, 0);
    return certificate != nullptr;
}

}  // namespace platform
