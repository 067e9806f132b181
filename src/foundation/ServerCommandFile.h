#pragma once

#include <cstddef>
#include <cstdio>

#include "foundation/DownloadableObject.h"

class KeyDataList;

// A description file from the content server: a cabinet whose last member is a binary
// element tree. Fetching it (StartDownload or DownloadNow) extracts it and reads the tree.
class ServerCommandFile : public DownloadableObject {
public:
    ServerCommandFile();
    ~ServerCommandFile() override;

    // Reads the extracted file. 1 when a tree was read (a stream cut short keeps what was
    // read whole); 0, with no tree, when there is no file (the extraction failed) or it
    // does not open.
    int OnDownloadComplete() override;
    // Reads a binary element tree from `path` in place of the one held; false, with no
    // tree, when the file does not open.
    bool ReadFile(const char* path);

    // The tree of the last download, or null; still owned by this object.
    KeyDataList* GetKeyData() const { return keyData; }
    // Hands the tree over to the caller; null when there is none.
    KeyDataList* TakeKeyData();

protected:
    void OnDownloadStart() override;

    KeyDataList* keyData = nullptr;

private:
    void FreeKeyData();

    FILE* file = nullptr;
};

// Relative content addresses in descriptions: a key whose name ends in
// "URLwithoutDomain" (any letter case) holds a path on the server that the same list's
// "Domain" element names.
bool IsRelativeURLKey(const char* key);

// "http://" + domain + "/" + path into `out` (`size` characters). False, leaving `out`
// empty, when either is missing or empty, or (with a trace) when the address does not fit.
bool JoinDomainPath(const char* domain, const char* path, char* out, size_t size);

// The full address for the relative key `key` of `list`, joined to the list's "Domain".
bool ResolveRelativeURL(const KeyDataList& list, const char* key, char* out, size_t size);
