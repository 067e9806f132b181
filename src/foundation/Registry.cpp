#include "foundation/Registry.h"

#include <bit>
#include <cstdint>
#include <cstring>

#include "foundation/Trace.h"
#include "platform/RegistryStore.h"

namespace {

using platform::RegistryRoot;
using platform::RegistryStore;
using platform::RegistryType;

constexpr const char* kProductKey = "Software\\Kivora\\";
constexpr size_t kMaxKeyPath = 259;
constexpr size_t kMaxText = 259;
constexpr size_t kMaxUserId = 63;

// The product key joined with `subkey`, or false when the result would be too long
// (it is never cut, which would name another key).
bool BuildKeyPath(const char* subkey, std::string& path) {
    if (!PRECONDITION(subkey != nullptr, "Registry subkey is NULL")) return false;
    path = kProductKey;
    path += subkey;
    return PRECONDITION(path.size() <= kMaxKeyPath, "Registry key path too long");
}

// Opens (creating it when missing) the key of `subkey`, as every access does.
std::shared_ptr<RegistryStore> OpenKey(const char* subkey, const char* name, std::string& path) {
    if (!PRECONDITION(name != nullptr, "Registry value name is NULL")) return nullptr;
    if (!BuildKeyPath(subkey, path)) return nullptr;
    auto store = RegistryStore::ForCurrentUser();
    if (!store->CreateKey(RegistryRoot::CurrentUser, path)) return nullptr;
    return store;
}

}  // namespace

bool RegistrySetDouble(const char* subkey, const char* name, double value) {
    std::string path;
    auto store = OpenKey(subkey, name, path);
    if (!store) return false;
    const uint64_t bits = std::bit_cast<uint64_t>(value);
    unsigned char bytes[8];
    for (int i = 0; i < 8; ++i) bytes[i] = static_cast<unsigned char>(bits >> (8 * i));
    return store->SetValue(RegistryRoot::CurrentUser, path, name, RegistryType::Binary, bytes,
                           sizeof bytes);
}

bool RegistryGetDouble(const char* subkey, const char* name, double* value) {
    if (!PRECONDITION(value != nullptr, "Registry output is NULL")) return false;
    *value = 0.0;
    std::string path;
    auto store = OpenKey(subkey, name, path);
    if (!store) return false;
    const auto v = store->GetValue(RegistryRoot::CurrentUser, path, name);
    if (!v || v->data.size() != 8) return false;
    uint64_t bits = 0;
    for (int i = 0; i < 8; ++i) bits |= static_cast<uint64_t>(v->data[i]) << (8 * i);
    *value = std::bit_cast<double>(bits);
    return true;
}

bool RegistrySetString(const char* subkey, const char* name, const char* text) {
    if (!text || !*text) return false;
    std::string path;
    auto store = OpenKey(subkey, name, path);
    if (!store) return false;
    const size_t length = strnlen(text, kMaxText);
    return store->SetValue(RegistryRoot::CurrentUser, path, name, RegistryType::String, text,
                           length);
}

bool RegistryGetString(const char* subkey, const char* name, char* buffer, size_t size) {
    if (!PRECONDITION(buffer != nullptr && size > 0, "Registry output buffer is NULL"))
        return false;
    std::string path;
    auto store = OpenKey(subkey, name, path);
    if (!store) return false;
    const auto v = store->GetValue(RegistryRoot::CurrentUser, path, name);
    if (!v) return false;
    // The stored bytes carry no terminator; whatever their length, the text ends at
    // the first zero, at the read limit or at the caller's buffer.
    const char* data = reinterpret_cast<const char*>(v->data.data());
    size_t length = v->data.empty() ? 0 : strnlen(data, v->data.size());
    if (length > kMaxText) length = kMaxText;
    if (length > size - 1) length = size - 1;
    if (length > 0) std::memcpy(buffer, data, length);
    buffer[length] = '\0';
    return true;
}

bool RegistryDeleteKey(const char* subkey) {
    std::string path;
    if (!BuildKeyPath(subkey, path)) return false;
    return RegistryStore::ForCurrentUser()->DeleteKey(RegistryRoot::CurrentUser, path);
}

std::string GetUserID() {
    char id[kMaxUserId + 1] = {};
    if (!RegistryGetString("\\", "UID", id, sizeof id)) {
        POSTCONDITION(false, "UserID doesn't exist in registry");
        return "0";
    }
    return id;
}

bool SetUserID(const char* id) {
    return RegistrySetString("\\", "UID", id);
}
