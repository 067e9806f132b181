#include "platform/PageScript.h"

#include <algorithm>
#include <map>
#include <utility>

#include "platform/Window.h"

namespace platform {

namespace {

struct Pages {
    std::mutex mutex;
    std::map<WindowHandle, std::shared_ptr<PageScript>> scripts;
};

Pages& ThePages() {
    static Pages pages;
    return pages;
}

}  // namespace

void SetPageScript(WindowHandle documentWindow, std::shared_ptr<PageScript> script) {
    Pages& pages = ThePages();
    std::lock_guard<std::mutex> guard(pages.mutex);
    if (script)
        pages.scripts[documentWindow] = std::move(script);
    else
        pages.scripts.erase(documentWindow);
}

PageScriptCall CallPageFunction(WindowHandle documentWindow, const std::string& name) {
    if (!IsWindow(documentWindow)) return PageScriptCall::NoPage;
    std::shared_ptr<PageScript> script;
    {
        Pages& pages = ThePages();
        std::lock_guard<std::mutex> guard(pages.mutex);
        auto found = pages.scripts.find(documentWindow);
        if (found == pages.scripts.end()) return PageScriptCall::NoPage;
        script = found->second;
    }
    // The page runs without the table locked: its function may call back into us.
    return script->CallFunction(name) ? PageScriptCall::Called : PageScriptCall::NoFunction;
}

RecordingPageScript::RecordingPageScript(std::set<std::string> functions)
    : functions_(std::move(functions)) {}

bool RecordingPageScript::CallFunction(const std::string& name) {
    std::lock_guard<std::mutex> guard(mutex_);
    calls_.push_back(name);
    return functions_.empty() || functions_.count(name) != 0;
}

std::vector<std::string> RecordingPageScript::Calls() const {
    std::lock_guard<std::mutex> guard(mutex_);
    return calls_;
}

size_t RecordingPageScript::CallCount(const std::string& name) const {
    std::lock_guard<std::mutex> guard(mutex_);
    return static_cast<size_t>(std::count(calls_.begin(), calls_.end(), name));
}

}  // namespace platform
