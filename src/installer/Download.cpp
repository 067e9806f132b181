#include "installer/Download.h"

#include <cstring>

#include "foundation/Trace.h"
#include "installer/InstallerLog.h"
#include "platform/UrlDownload.h"

bool Download::PointSourceAt(const char* domain) {
    if (!PRECONDITION(!sourceName_.empty(), "Invalid url")) return false;
    const char* s = sourceName_.c_str();
    if (std::strncmp(s, "http://", 7) == 0) return source_.SetFullPath(s);
    if (std::strstr(s, "http:")) InstallerLog("URL doesn't begin with 'http:' adf");
    return source_.SetFolder(domain ? domain : "") && source_.SetName(s);
}

bool Download::Fetch() {
    if (!PRECONDITION(!source_.FullName().empty() && destination_.FullName()[0] == '/',
                      "Invalid server/destination name"))
        return false;
    if (!destination_.Folder().empty() && !FilePath::CreateFolders(destination_.Folder().c_str()))
        return false;
    std::string error;
    const bool fetched =
        platform::DownloadUrlToFile(source_.FullName(), destination_.FullName(), this, &error);
    if (!fetched)
        InstallerLog("Download of %s failed: %s", source_.FullName().c_str(), error.c_str());
    return fetched;
}
