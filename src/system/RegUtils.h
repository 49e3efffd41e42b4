// Registry helpers: deleting a key with everything below it, and the program's persisted values.
// Persisted numbers are REG_DWORD, texts REG_SZ, dates a 16-byte SYSTEMTIME as REG_BINARY. A value
// that is absent, of another type or of the wrong length reads as 0, empty or a zero date: never set.
#pragma once

#include <cstdint>
#include <string>

#include "platform/Registry.h"
#include "platform/Types.h"

// Deletes root\path and every key below it. A key that cannot be deleted is skipped, which keeps the
// keys above it too; everything else goes. True only when root\path itself is gone.
bool DeleteRegistryTree(platform::HKey root, const std::string& path);

// Whether the value exists, whatever its type.
bool RegistryValueExists(platform::HKey key, const std::string& name);
uint32_t RegistryDword(platform::HKey key, const std::string& name);
// Up to the first zero character.
std::string RegistryText(platform::HKey key, const std::string& name);
platform::SystemTime RegistryDate(platform::HKey key, const std::string& name);

bool SetRegistryDword(platform::HKey key, const std::string& name, uint32_t value);
bool SetRegistryText(platform::HKey key, const std::string& name, const std::string& text);
bool SetRegistryDate(platform::HKey key, const std::string& name, const platform::SystemTime& date);
