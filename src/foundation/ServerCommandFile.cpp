#include "foundation/ServerCommandFile.h"

#include <strings.h>

#include <cstring>

#include "foundation/KeyDataList.h"
#include "foundation/Trace.h"

ServerCommandFile::ServerCommandFile() {
    isCompressed = 1;
}

ServerCommandFile::~ServerCommandFile() {
    // The hook reads into this object: its download ends before anything goes.
    CancelDownload();
    FreeKeyData();
}

void ServerCommandFile::FreeKeyData() {
    delete keyData;
    keyData = nullptr;
}

void ServerCommandFile::OnDownloadStart() {
    FreeKeyData();
}

KeyDataList* ServerCommandFile::TakeKeyData() {
    KeyDataList* tree = keyData;
    keyData = nullptr;
    return tree;
}

bool ServerCommandFile::ReadFile(const char* path) {
    FreeKeyData();
    if (!path || !*path) return false;
    file = std::fopen(path, "rb");
    if (!file) return false;
    keyData = new KeyDataList;
    keyData->ReadBinary(file);
    std::fclose(file);
    file = nullptr;
    return true;
}

int ServerCommandFile::OnDownloadComplete() {
    return ReadFile(decompressedFile) ? 1 : 0;
}

bool IsRelativeURLKey(const char* key) {
    static const char kSuffix[] = "URLwithoutDomain";
    constexpr size_t kSuffixLength = sizeof kSuffix - 1;
    if (!key) return false;
    const size_t n = std::strlen(key);
    return n >= kSuffixLength && strcasecmp(key + n - kSuffixLength, kSuffix) == 0;
}

bool JoinDomainPath(const char* domain, const char* path, char* out, size_t size) {
    if (!out || size == 0) return false;
    out[0] = 0;
    if (!domain || !*domain || !path || !*path) return false;
    const int n = std::snprintf(out, size, "http://%s/%s", domain, path);
    if (!POSTCONDITION(n >= 0 && static_cast<size_t>(n) < size, "Content address too long")) {
        out[0] = 0;
        return false;
    }
    return true;
}

bool ResolveRelativeURL(const KeyDataList& list, const char* key, char* out, size_t size) {
    if (out && size > 0) out[0] = 0;
    if (!IsRelativeURLKey(key)) return false;
    return JoinDomainPath(list.GetString("Domain"), list.GetString(key), out, size);
}
