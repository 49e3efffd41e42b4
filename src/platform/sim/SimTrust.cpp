// The trust facility of the simulated machine.
#include "platform/sim/SimTrust.h"

#include <map>
#include <mutex>

#include "platform/sim/SimNetwork.h"
#include "platform/sim/SimSystem.h"

namespace sim {

std::mutex TrustLock;
std::map<std::string, platform::Signer> FileSigners;     // by the path as set
std::map<std::string, platform::Signer> ContentSigners;  // by the signed bytes
std::map<platform::Handle, std::string> HeldFiles;
platform::Handle NextHeldFile = 0x7E000000;
bool Untrusted = false;

void SetFileSigner(const std::string& path, const platform::Signer& signer) {
    std::lock_guard<std::mutex> lock(TrustLock);
    FileSigners[path] = signer;
}

void SignContent(const std::string& bytes, const platform::Signer& signer) {
    std::lock_guard<std::mutex> lock(TrustLock);
    ContentSigners[bytes] = signer;
}

void SetSignaturesUntrusted(bool untrusted) {
    std::lock_guard<std::mutex> lock(TrustLock);
    Untrusted = untrusted;
}

bool FileHeld(const std::string& path) {
    std::lock_guard<std::mutex> lock(TrustLock);
    for (const auto& held : HeldFiles)
        if (held.second == path) return true;
    return false;
}

void ResetTrust() {
    std::lock_guard<std::mutex> lock(TrustLock);
    FileSigners.clear();
    ContentSigners.clear();
    HeldFiles.clear();
    Untrusted = false;
}

namespace {

// The signature the file carries, and whether its hash covers the file as it is: a file written
// with bytes that were never signed carries the signature of the signed bytes it differs from by one
// byte, if any (a signed file tampered with), and none otherwise.
bool SignatureOf(const std::string& path, platform::Signer& signer, bool& intact) {
    const auto set = FileSigners.find(path);
    if (set != FileSigners.end()) {
        signer = set->second, intact = true;
        return true;
    }
    const std::string bytes = WrittenFile(path);
    for (const auto& [signed_, by] : ContentSigners) {
        if (signed_.size() != bytes.size()) continue;
        size_t differing = 0;
        for (size_t i = 0; i < bytes.size() && differing < 2; ++i) differing += signed_[i] != bytes[i];
        if (differing > 1) continue;
        signer = by, intact = differing == 0;
        return true;
    }
    return false;
}

}  // namespace
}  // namespace sim

namespace platform {

Handle CreateHeldFile(const std::string& path) {
    if (!sim::FileExists(path)) return 0;
    std::lock_guard<std::mutex> lock(sim::TrustLock);
    const Handle file = sim::NextHeldFile++;
    sim::HeldFiles[file] = path;
    return file;
}

bool CloseHeldFile(Handle file) {
    std::lock_guard<std::mutex> lock(sim::TrustLock);
    return sim::HeldFiles.erase(file) != 0;
}

bool WinVerifyTrust(const std::string& path, Handle file) {
    std::lock_guard<std::mutex> lock(sim::TrustLock);
    const auto held = sim::HeldFiles.find(file);
    if (held == sim::HeldFiles.end() || held->second != path || sim::Untrusted) return false;
    Signer signer;
    bool intact = false;
    return sim::SignatureOf(path, signer, intact) && intact;
}

bool CryptQueryObject(const std::string& path, Signer& signer) {
    std::lock_guard<std::mutex> lock(sim::TrustLock);
    bool intact = false;
    return sim::SignatureOf(path, signer, intact);
}

}  // namespace platform
