// The registry facility of the simulated machine: a tree of keys under the predefined roots, key
// handles that name a path (so a handle to a deleted key answers ERROR_KEY_DELETED), access rights
// checked per handle, and deny entries per key.
#include "platform/sim/SimRegistry.h"

#include <algorithm>
#include <iterator>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

namespace sim {
namespace {

using namespace platform;

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

struct NameLess {
    bool operator()(const std::string& a, const std::string& b) const {
        for (size_t i = 0; i < a.size() && i < b.size(); ++i)
            if (Lower(a[i]) != Lower(b[i])) return Lower(a[i]) < Lower(b[i]);
        return a.size() < b.size();
    }
};

struct Value {
    uint32_t Type;
    std::vector<uint8_t> Data;
};

struct Key {
    std::map<std::string, std::unique_ptr<Key>, NameLess> SubKeys;
    std::map<std::string, Value, NameLess> Values;
    uint32_t Denied = 0;
};

// A key as a handle sees it: its root and the names below it.
struct KeyPath {
    HKey Root = 0;
    std::vector<std::string> Names;
    uint32_t Access = 0;
};

std::mutex RegistryLock;
std::map<HKey, Key> Roots;
std::map<HKey, KeyPath> Handles;
HKey NextHandle = 0x100;

bool IsRoot(HKey key) {
    return key == HKEY_CLASSES_ROOT || key == HKEY_CURRENT_USER || key == HKEY_LOCAL_MACHINE || key == HKEY_USERS;
}

std::vector<std::string> SplitPath(const std::string& path) {
    std::vector<std::string> names;
    size_t start = 0;
    while (start <= path.size()) {
        const size_t end = std::min(path.find('\\', start), path.size());
        if (end > start) names.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return names;
}

// The key a handle stands for, with `path` below it appended; false for an unknown handle.
bool Resolve(HKey key, const std::string& path, KeyPath& out) {
    if (IsRoot(key)) {
        out = {key, {}, KEY_ALL_ACCESS};
    } else {
        const auto found = Handles.find(key);
        if (found == Handles.end()) return false;
        out = found->second;
    }
    for (std::string& name : SplitPath(path)) out.Names.push_back(std::move(name));
    return true;
}

// The key at a path, or null; with `create`, missing keys on the way are made.
Key* Find(const KeyPath& path, bool create = false) {
    Key* key = &Roots[path.Root];
    for (const std::string& name : path.Names) {
        auto found = key->SubKeys.find(name);
        if (found == key->SubKeys.end()) {
            if (!create) return nullptr;
            found = key->SubKeys.emplace(name, std::make_unique<Key>()).first;
        }
        key = found->second.get();
    }
    return key;
}

HKey NewHandle(KeyPath path, uint32_t access) {
    const HKey handle = NextHandle;
    NextHandle += 4;
    path.Access = access;
    Handles[handle] = std::move(path);
    return handle;
}

// The key of an open handle that must hold `right`; the status says why not.
int32_t KeyForHandle(HKey handle, uint32_t right, Key*& key) {
    KeyPath path;
    if (!Resolve(handle, "", path)) return ERROR_INVALID_HANDLE;
    if ((path.Access & right) != right) return ERROR_ACCESS_DENIED;
    key = Find(path);
    return key ? ERROR_SUCCESS : ERROR_KEY_DELETED;
}

int32_t OpenOrCreate(HKey parent, const std::string& path, uint32_t access, HKey& result, bool create) {
    std::lock_guard<std::mutex> lock(RegistryLock);
    KeyPath target;
    if (!Resolve(parent, path, target)) return ERROR_INVALID_HANDLE;
    KeyPath above = target;
    above.Names.resize(above.Names.size() - SplitPath(path).size());
    if (!Find(above)) return ERROR_KEY_DELETED;
    Key* key = Find(target);
    if (!key && !create) return ERROR_FILE_NOT_FOUND;
    if (!key && (above.Access & KEY_CREATE_SUB_KEY) == 0) return ERROR_ACCESS_DENIED;
    if (key && (key->Denied & access) != 0) return ERROR_ACCESS_DENIED;
    Find(target, true);
    result = NewHandle(std::move(target), access);
    return ERROR_SUCCESS;
}

std::vector<RegistryWrite> Writes;
unsigned WritesLeft = NoWriteLimit;

std::string RootName(HKey root) {
    switch (root) {
        case HKEY_CLASSES_ROOT: return "HKEY_CLASSES_ROOT";
        case HKEY_CURRENT_USER: return "HKEY_CURRENT_USER";
        case HKEY_LOCAL_MACHINE: return "HKEY_LOCAL_MACHINE";
        default: return "HKEY_USERS";
    }
}

std::string PathText(const KeyPath& path) {
    std::string text = RootName(path.Root);
    for (const std::string& name : path.Names) text += "\\" + name;
    return text;
}

}  // namespace

void ResetRegistry() {
    std::lock_guard<std::mutex> lock(RegistryLock);
    Roots.clear();
    Handles.clear();
    NextHandle = 0x100;
    Writes.clear();
    WritesLeft = NoWriteLimit;
}

std::vector<RegistryWrite> RegistryWrites(size_t from) {
    std::lock_guard<std::mutex> lock(RegistryLock);
    return std::vector<RegistryWrite>(Writes.begin() + static_cast<std::ptrdiff_t>(std::min(from, Writes.size())),
                                      Writes.end());
}

void ClearRegistryWrites() {
    std::lock_guard<std::mutex> lock(RegistryLock);
    Writes.clear();
}

void StopRegistryWritesAfter(unsigned count) {
    std::lock_guard<std::mutex> lock(RegistryLock);
    WritesLeft = count;
}

bool DenyKeyRights(HKey root, const std::string& path, uint32_t rights) {
    std::lock_guard<std::mutex> lock(RegistryLock);
    KeyPath target;
    Key* key = Resolve(root, path, target) ? Find(target) : nullptr;
    if (key) key->Denied |= rights;
    return key != nullptr;
}

bool KeyExists(HKey root, const std::string& path) {
    std::lock_guard<std::mutex> lock(RegistryLock);
    KeyPath target;
    return Resolve(root, path, target) && Find(target);
}

unsigned OpenKeyCount() {
    std::lock_guard<std::mutex> lock(RegistryLock);
    return static_cast<unsigned>(Handles.size());
}

}  // namespace sim

namespace platform {

int32_t RegCreateKeyEx(HKey parent, const std::string& path, uint32_t access, HKey& key) {
    return sim::OpenOrCreate(parent, path, access, key, true);
}

int32_t RegOpenKeyEx(HKey parent, const std::string& path, uint32_t access, HKey& key) {
    return sim::OpenOrCreate(parent, path, access, key, false);
}

int32_t RegCloseKey(HKey key) {
    std::lock_guard<std::mutex> lock(sim::RegistryLock);
    if (sim::IsRoot(key)) return ERROR_SUCCESS;
    return sim::Handles.erase(key) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

int32_t RegQueryValueEx(HKey key, const std::string& name, uint32_t& type, std::vector<uint8_t>& data) {
    std::lock_guard<std::mutex> lock(sim::RegistryLock);
    sim::Key* k = nullptr;
    const int32_t status = sim::KeyForHandle(key, KEY_QUERY_VALUE, k);
    if (status != ERROR_SUCCESS) return status;
    const auto found = k->Values.find(name);
    if (found == k->Values.end()) return ERROR_FILE_NOT_FOUND;
    type = found->second.Type;
    data = found->second.Data;
    return ERROR_SUCCESS;
}

int32_t RegSetValueEx(HKey key, const std::string& name, uint32_t type, const std::vector<uint8_t>& data) {
    std::lock_guard<std::mutex> lock(sim::RegistryLock);
    sim::Key* k = nullptr;
    int32_t status = sim::KeyForHandle(key, KEY_SET_VALUE, k);
    if (status == ERROR_SUCCESS && sim::WritesLeft == 0) status = ERROR_ACCESS_DENIED;
    if (status != ERROR_SUCCESS) return status;
    k->Values[name] = {type, data};
    if (sim::WritesLeft != sim::NoWriteLimit) --sim::WritesLeft;
    sim::KeyPath path;
    sim::Resolve(key, "", path);
    sim::Writes.push_back({sim::PathText(path), name, type, data});
    return ERROR_SUCCESS;
}

int32_t RegDeleteValue(HKey key, const std::string& name) {
    std::lock_guard<std::mutex> lock(sim::RegistryLock);
    sim::Key* k = nullptr;
    const int32_t status = sim::KeyForHandle(key, KEY_SET_VALUE, k);
    if (status != ERROR_SUCCESS) return status;
    return k->Values.erase(name) ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
}

// Windows refuses to delete a root, a key that still has subkeys, or one whose descriptor denies it.
int32_t RegDeleteKey(HKey parent, const std::string& path) {
    std::lock_guard<std::mutex> lock(sim::RegistryLock);
    sim::KeyPath target;
    if (!sim::Resolve(parent, path, target)) return ERROR_INVALID_HANDLE;
    if (target.Names.empty()) return ERROR_ACCESS_DENIED;
    const sim::Key* key = sim::Find(target);
    if (!key) return ERROR_FILE_NOT_FOUND;
    if (!key->SubKeys.empty() || (key->Denied & sim::DeleteRight) != 0) return ERROR_ACCESS_DENIED;
    const std::string name = target.Names.back();
    target.Names.pop_back();
    sim::Find(target)->SubKeys.erase(name);
    return ERROR_SUCCESS;
}

int32_t RegEnumKeyEx(HKey key, uint32_t index, uint32_t bufferSize, std::string& name) {
    std::lock_guard<std::mutex> lock(sim::RegistryLock);
    sim::Key* k = nullptr;
    const int32_t status = sim::KeyForHandle(key, KEY_ENUMERATE_SUB_KEYS, k);
    if (status != ERROR_SUCCESS) return status;
    if (index >= k->SubKeys.size()) return ERROR_NO_MORE_ITEMS;
    const std::string& found = std::next(k->SubKeys.begin(), index)->first;
    if (found.size() + 1 > bufferSize) return ERROR_MORE_DATA;
    name = found;
    return ERROR_SUCCESS;
}

int32_t RegQueryInfoKey(HKey key, uint32_t& subKeys, uint32_t& maxSubKeyLength) {
    std::lock_guard<std::mutex> lock(sim::RegistryLock);
    sim::Key* k = nullptr;
    const int32_t status = sim::KeyForHandle(key, KEY_QUERY_VALUE, k);
    if (status != ERROR_SUCCESS) return status;
    subKeys = static_cast<uint32_t>(k->SubKeys.size());
    maxSubKeyLength = 0;
    for (const auto& sub : k->SubKeys) maxSubKeyLength = std::max(maxSubKeyLength, static_cast<uint32_t>(sub.first.size()));
    return ERROR_SUCCESS;
}

}  // namespace platform
