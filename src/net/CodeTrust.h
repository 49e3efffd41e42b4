// Whether a program file may run in place of this program: Windows trusts its signature, and its
// signer is the one this program's files carry (the same certificate subject and public key).
#pragma once

#include <string>

#include "platform/Trust.h"

// The signer of the program file at `path`; false (and a log line) when the file is not signed, as
// a development build is not.
bool SignerOfFile(const std::string& path, platform::Signer& signer);

// True when the file at `path`, held open through `held` (platform::CreateHeldFile), has a
// signature Windows trusts, made by `signer`. What falls short is logged under `what`.
bool SignedBy(const std::string& what, const std::string& path, platform::Handle held, const platform::Signer& signer);
