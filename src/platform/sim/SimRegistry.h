// The registry of the simulated machine. It belongs to the world, not to the process: a simulated
// program restart (ResetProcessState) finds what the run before wrote; sim::ResetWorld empties it.
// Keys and values are named case-insensitively and enumerated in alphabetical order, as on Windows.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/Registry.h"

namespace sim {

// The standard right to delete a key.
constexpr uint32_t DeleteRight = 0x10000;

// Empties every root and closes every key handle.
void ResetRegistry();

// Makes the key root\path refuse these rights to everyone, as a deny entry in its security
// descriptor would: opening it with any of them, or deleting it (DeleteRight), is access denied.
// False when the key does not exist.
bool DenyKeyRights(platform::HKey root, const std::string& path, uint32_t rights);

bool KeyExists(platform::HKey root, const std::string& path);
// Key handles open now (the predefined roots are not handles).
unsigned OpenKeyCount();

// Every value written since the last reset or clear, in order: the key's full path
// ("HKEY_LOCAL_MACHINE\\Software\\..."), the value's name, type and data.
struct RegistryWrite {
    std::string Key;
    std::string Name;
    uint32_t Type;
    std::vector<uint8_t> Data;
};
// Every write so far, oldest first, from the `from`th on.
std::vector<RegistryWrite> RegistryWrites(size_t from = 0);
void ClearRegistryWrites();

// After `count` more values are written every further write is refused, as if the program had been
// killed at that point; NoWriteLimit lifts the limit (and ResetRegistry does).
constexpr unsigned NoWriteLimit = ~0u;
void StopRegistryWritesAfter(unsigned count);

}  // namespace sim
