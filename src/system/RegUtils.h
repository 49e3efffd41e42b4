// Registry helpers: deleting a key with everything below it, and the program's persisted values.
// Persisted numbers are REG_DWORD, texts REG_SZ, dates a 16-byte SYSTEMTIME as REG_BINARY. A value
// that is absent, of another type or of the wrong length reads as 0, empty or a zero date: never set.
// The program's own keys name their values once, in a table per key (system/Settings.h,
// monitor/DriveState.h), and go through the PersistedValue functions; the name-based ones serve the
// keys of Windows and Explorer.
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

enum class ValueType : uint8_t { Dword, Text, Date };

// One value of a key's table: its name and how it is stored.
struct PersistedValue {
    const char* Name;
    ValueType Type;
};

// A value read or written by a function of another type than its row's reads as never set and is not
// written, so that no value is ever stored with a type that a later reading would not take.
bool IsStored(platform::HKey key, const PersistedValue& value);
uint32_t StoredDword(platform::HKey key, const PersistedValue& value);
std::string StoredText(platform::HKey key, const PersistedValue& value);
platform::SystemTime StoredDate(platform::HKey key, const PersistedValue& value);
bool StoreDword(platform::HKey key, const PersistedValue& value, uint32_t number);
bool StoreText(platform::HKey key, const PersistedValue& value, const std::string& text);
bool StoreDate(platform::HKey key, const PersistedValue& value, const platform::SystemTime& date);
