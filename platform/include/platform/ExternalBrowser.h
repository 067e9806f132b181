#pragma once

#include <functional>
#include <string>

namespace platform {

// Opens `url` in a new window of the user's own web browser; false when no browser
// could be started (nothing happens then). Without a display there is no browser.
bool OpenInBrowser(const std::string& url);

// Replaces how addresses are opened (the display implementation, tests); an empty opener
// restores the default.
using BrowserOpener = std::function<bool(const std::string& url)>;
void SetBrowserOpener(BrowserOpener opener);

}  // namespace platform
