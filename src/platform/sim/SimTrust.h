// The trust facility of the simulated machine: signatures a test hands out, by file or by content,
// which Windows trusts unless told otherwise, and files held open against change.
#pragma once

#include <string>

#include "platform/Trust.h"

namespace sim {

// The file at `path` carries a signature by `signer` (the running program's, an installed copy's).
void SetFileSigner(const std::string& path, const platform::Signer& signer);
// A file written with exactly these bytes carries a signature by `signer`: one byte changed and it
// carries a signature whose hash no longer matches.
void SignContent(const std::string& bytes, const platform::Signer& signer);
// While set, Windows trusts no signature (its root is not installed, or it was revoked).
void SetSignaturesUntrusted(bool untrusted);
// Whether a held file is open at `path`; writing it then fails.
bool FileHeld(const std::string& path);

// No signature, every one trusted, nothing held.
void ResetTrust();

}  // namespace sim
