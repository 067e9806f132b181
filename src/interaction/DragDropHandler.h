#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/DragDrop.h"

class BaseCommandHandler;
class Window;

// What a drag brings, read from its data object before any command is built.
struct DropRequest {
    enum class Kind {
        kNone,
        // A catalogue item to download: `text` is its address.
        kCatalogue,
        // A colour (`text` the colour text) or a paint (`text` the alt text with a
        // material address and a colour).
        kColor,
        kPaint,
        // A plan: `text` names it on the server, or is a local path.
        kPlan,
        kLocalPlan,
        // An image: `image` its source and `pageURL` the page it came from (empty for a
        // dropped file, whose path is `image`).
        kBitmap,
    };
    Kind kind = Kind::kNone;
    std::string text;
    std::string image;
    std::string pageURL;
    // Set when the catalogue address came as plain text (a dragged link).
    bool urlDrop = false;
};

// Readers of the three formats a drop target takes; each answers false (with a trace)
// when the data names nothing it can use. `paintPrefix` is the material address that a
// dropped colour is painted with (empty for a plain colour).
bool ReadHtmlDrop(std::string_view text, const std::string& paintPrefix, DropRequest& out);
bool ReadTextDrop(std::string_view text, DropRequest& out);
bool ReadFileDrop(const std::vector<uint8_t>& data, DropRequest& out);
// Asks the data object for "HTML Format", then text, then dropped files; the first
// format it has decides.
platform::HRESULT ReadDropData(platform::IDataObject* data, const std::string& paintPrefix,
                               DropRequest& out);

// The drop target of a view window. When a drag enters the view it reads the dragged
// data and builds one drop command for it (downloading a catalogue item first); moves go
// to that command, and a leave or a drop cancels or finishes it. The window owns the
// handler: its reference count only counts. All calls come on the control's window
// thread.
class DragDropHandler final : public platform::IDropTarget {
public:
    explicit DragDropHandler(Window* view);
    ~DragDropHandler();
    DragDropHandler(const DragDropHandler&) = delete;
    DragDropHandler& operator=(const DragDropHandler&) = delete;

    // Registers the handler as the drop target of `window`; true when that worked.
    bool Register(platform::WindowHandle window);

    platform::HRESULT QueryInterface(const platform::Guid& iid, void** out) override;
    uint32_t AddRef() override { return ++refs_; }
    uint32_t Release() override { return --refs_; }

    platform::HRESULT DragEnter(platform::IDataObject* data, uint32_t keyState,
                                platform::ScreenPoint point, uint32_t* effect) override;
    platform::HRESULT DragOver(uint32_t keyState, platform::ScreenPoint point,
                               uint32_t* effect) override;
    platform::HRESULT DragLeave() override;
    platform::HRESULT Drop(platform::IDataObject* data, uint32_t keyState,
                           platform::ScreenPoint point, uint32_t* effect) override;

    // Reads the data and builds its command, or keeps the catalogue address for the
    // download; S_OK when the drop can be taken.
    platform::HRESULT BuildDropCommand(platform::IDataObject* data);

    BaseCommandHandler* GetCommand() const { return command_.get(); }
    const std::string& GetURL() const { return url_; }
    bool IsAccepting() const { return accepting_; }
    bool IsURLDrop() const { return urlDrop_; }

private:
    // Downloads the catalogue item at url_ and begins the command it makes.
    void StartCatalogueDrop(uint32_t keyState, platform::ScreenPoint point, uint32_t* effect);
    void RestoreGlobals();
    void EndCommand();

    Window* view_;
    platform::WindowHandle window_ = platform::kNoWindow;
    std::atomic<uint32_t> refs_{0};
    bool accepting_ = false;
    bool urlDrop_ = false;
    std::string url_;
    std::unique_ptr<BaseCommandHandler> command_;
    bool saved12_ = false;
    bool saved9_ = false;
    bool globalsSaved_ = false;
};
