#include "platform/ExternalBrowser.h"

#include <mutex>
#include <utility>

namespace platform {

namespace {

std::mutex openerMutex;
BrowserOpener& Opener() {
    static BrowserOpener* opener = new BrowserOpener;
    return *opener;
}

}  // namespace

bool OpenInBrowser(const std::string& url) {
    BrowserOpener opener;
    {
        std::lock_guard<std::mutex> guard(openerMutex);
        opener = Opener();
    }
    return !url.empty() && opener && opener(url);
}

void SetBrowserOpener(BrowserOpener opener) {
    std::lock_guard<std::mutex> guard(openerMutex);
    Opener() = std::move(opener);
}

}  // namespace platform
