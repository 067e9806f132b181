#pragma once

#include <string>

#include "foundation/DownloadCallback.h"
#include "installer/FilePath.h"

// One file fetched from the content server into a file on disk: the source (its full
// name is the address) and the destination.
class Download : public DownloadCallback {
public:
    Download() = default;
    explicit Download(const char* sourceName) { SetSourceName(sourceName); }

    // The name the source is known by before a server is chosen: a path on the server
    // or a whole "http://" address.
    void SetSourceName(const char* name) { sourceName_ = name ? name : ""; }
    const std::string& SourceName() const { return sourceName_; }

    // Points the source at `domain` ("http://host/"): a whole address stays as it is,
    // otherwise the address is the domain (without its trailing '/') joined to the name.
    bool PointSourceAt(const char* domain);

    // Fetches the source into the destination, making the destination's folders first.
    // No retry.
    bool Fetch();

    FilePath& Source() { return source_; }
    FilePath& Destination() { return destination_; }
    const FilePath& Source() const { return source_; }
    const FilePath& Destination() const { return destination_; }

    platform::HRESULT OnProgress(uint64_t, uint64_t, uint32_t, const char*) override {
        return IsCancelled() ? platform::E_ABORT : platform::S_OK;
    }

private:
    std::string sourceName_;
    FilePath source_;
    FilePath destination_;
};
