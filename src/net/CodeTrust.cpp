#include "net/CodeTrust.h"

#include "device/DiagnosticLog.h"

using namespace platform;

bool SignerOfFile(const std::string& path, Signer& signer) {
    if (CryptQueryObject(path, signer)) return true;
    WriteLog(path + " carries no signature.");
    return false;
}

bool SignedBy(const std::string& what, const std::string& path, Handle held, const Signer& signer) {
    if (!WinVerifyTrust(path, held)) {
        WriteLog(what + ": Windows does not trust the signature of " + path + ".");
        return false;
    }
    Signer found;
    if (!CryptQueryObject(path, found) || found.Subject != signer.Subject || found.PublicKey != signer.PublicKey) {
        WriteLog(what + ": " + path + " is signed by \"" + found.Subject + "\", not by \"" + signer.Subject + "\".");
        return false;
    }
    return true;
}
