#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "platform/Messages.h"

namespace platform {

// The script of a web page shown in a window: a control embedded in the page reaches
// the page's global functions through the page's document window (its parent).
class PageScript {
public:
    virtual ~PageScript() = default;
    // Runs the page's global function `name` with no arguments; false when the page
    // defines no such function.
    virtual bool CallFunction(const std::string& name) = 0;
};

// Connects the script of the page shown in `documentWindow`; null disconnects it.
// The display's browser connects its pages; tests connect a RecordingPageScript.
void SetPageScript(WindowHandle documentWindow, std::shared_ptr<PageScript> script);

enum class PageScriptCall : uint8_t { Called, NoPage, NoFunction };

// Runs function `name` of the page in `documentWindow`. NoPage when the window shows
// no page with a script (or is no window), NoFunction when the page lacks the
// function; neither runs anything.
PageScriptCall CallPageFunction(WindowHandle documentWindow, const std::string& name);

// The headless page: it records every function it is asked to run and knows the
// functions it was given (all of them when given none).
class RecordingPageScript final : public PageScript {
public:
    RecordingPageScript() = default;
    explicit RecordingPageScript(std::set<std::string> functions);

    bool CallFunction(const std::string& name) override;
    // Every name asked for, defined or not, in order.
    std::vector<std::string> Calls() const;
    size_t CallCount(const std::string& name) const;

private:
    mutable std::mutex mutex_;
    std::set<std::string> functions_;
    std::vector<std::string> calls_;
};

}  // namespace platform
