#include "interaction/DragDropHandler.h"

#include <strings.h>

#include <algorithm>
#include <cctype>
#include <cstring>

#include "control/BaseControl.h"
#include "control/RenderLockScope.h"
#include "foundation/Trace.h"
#include "interaction/BaseCommandHandler.h"
#include "interaction/BitmapDropCommand.h"
#include "interaction/ColorCommand.h"
#include "interaction/DragDropCommand.h"
#include "interaction/KivoraDropCommand.h"
#include "interaction/PaintCommand.h"
#include "platform/Input.h"
#include "render/Window.h"

namespace {

// The last point any drop target passed on to its command.
int lastDragX = -1;
int lastDragY = -1;

bool Contains(std::string_view text, std::string_view part) {
    return text.find(part) != std::string_view::npos;
}

bool ContainsNoCase(std::string_view text, std::string_view part) {
    if (part.size() > text.size()) return false;
    for (size_t i = 0; i + part.size() <= text.size(); ++i)
        if (strncasecmp(text.data() + i, part.data(), part.size()) == 0) return true;
    return false;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

void LowerInPlace(std::string& text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

// Tokens of a text in the manner of a C tokenizer: delimiters before a token are skipped,
// the token runs to the next delimiter, which is consumed.
class Tokens {
public:
    explicit Tokens(std::string_view text) : text_(text) {}
    // False at the end of the text.
    bool Next(std::string_view delimiters, std::string_view& token) {
        while (pos_ < text_.size() && delimiters.find(text_[pos_]) != std::string_view::npos)
            ++pos_;
        if (pos_ >= text_.size()) return false;
        const size_t start = pos_;
        while (pos_ < text_.size() && delimiters.find(text_[pos_]) == std::string_view::npos)
            ++pos_;
        token = text_.substr(start, pos_ - start);
        if (pos_ < text_.size()) ++pos_;
        return true;
    }

private:
    std::string_view text_;
    size_t pos_ = 0;
};

// The text of a data block up to its first NUL.
std::string_view AsText(const std::vector<uint8_t>& data) {
    if (data.empty()) return std::string_view();
    const char* begin = reinterpret_cast<const char*>(data.data());
    const auto* nul = static_cast<const char*>(std::memchr(begin, 0, data.size()));
    return std::string_view(begin, nul ? static_cast<size_t>(nul - begin) : data.size());
}

uint32_t HtmlFormat() {
    static const uint32_t format = platform::RegisterClipboardFormat("HTML Format");
    return format;
}

}  // namespace

// ---- Readers of the drag data ---------------------------------------------------------

bool ReadHtmlDrop(std::string_view text, const std::string& paintPrefix, DropRequest& out) {
    out = DropRequest();
    TraceWrite("HTML format detected.");
    const size_t source = text.find("SourceURL");
    size_t tag = text.find("<IMG");
    if (tag == std::string_view::npos) tag = text.find("<img");
    if (tag == std::string_view::npos) return false;
    TraceWrite("Image tag detected.");

    Tokens tokens(text.substr(tag + 4));
    std::string alt;
    std::string src;
    bool hasSource = false;
    std::string_view token;
    bool first = true;
    while (
        tokens.Next(first ? std::string_view(" =>\"\n\r") : std::string_view("< =\n\r\""), token)) {
        first = false;
        if (token.front() == '>' || token.back() == '>') break;
        if (EqualsNoCase(token, "alt")) {
            std::string_view value;
            if (!tokens.Next(" =", value)) break;
            alt.assign(value);
        } else if (EqualsNoCase(token, "src")) {
            std::string_view value;
            if (!tokens.Next(" \"", value)) break;
            src.assign(value);
            hasSource = true;
        }
    }
    // A quoted alt value keeps its quotes in the token.
    while (!alt.empty() && (alt.front() == '"' || alt.front() == '\'')) alt.erase(0, 1);
    while (!alt.empty() && (alt.back() == '"' || alt.back() == '\'' || alt.back() == '>'))
        alt.pop_back();
    if (alt.empty() && !hasSource) {
        TraceWrite("Image tag without alt text or source.");
        return false;
    }
    TraceWrite("Alt tag.");
    TraceWrite(alt.c_str());
    TraceWrite("Src tag:");
    TraceWrite(src.c_str());

    LowerInPlace(alt);
    if (Contains(alt, "color;") && Contains(alt, "3c_")) {
        out.kind = DropRequest::Kind::kPaint;
        out.text = alt;
        return true;
    }
    if (alt.compare(0, 5, "color") == 0) {
        if (!paintPrefix.empty()) {
            out.kind = DropRequest::Kind::kPaint;
            out.text = paintPrefix + ";" + alt;
        } else {
            out.kind = DropRequest::Kind::kColor;
            out.text = alt;
        }
        return true;
    }
    if (Contains(alt, "3c_")) {
        out.kind = DropRequest::Kind::kCatalogue;
        out.text = alt;
        return true;
    }
    if (Contains(alt, "kvr") || Contains(alt, "kvp")) {
        out.kind = DropRequest::Kind::kPlan;
        out.text = alt;
        return true;
    }
    if (hasSource && !src.empty()) {
        if (source == std::string_view::npos) {
            TraceWrite("Image without a SourceURL refused.");
            return false;
        }
        Tokens field(text.substr(source));
        std::string_view page;
        constexpr size_t kFieldName = sizeof "SourceURL:" - 1;
        if (!field.Next("< =\n\r\"", page) || page.size() <= kFieldName) {
            TraceWrite("Image with an empty SourceURL refused.");
            return false;
        }
        out.kind = DropRequest::Kind::kBitmap;
        out.pageURL.assign(page.substr(kFieldName));
        out.image = src;
        TraceWrite("Source URL:");
        TraceWrite(out.pageURL.c_str());
        return true;
    }
    return false;
}

bool ReadTextDrop(std::string_view text, DropRequest& out) {
    out = DropRequest();
    std::string url;
    const size_t marker = text.find("&kvr=");
    if (marker != std::string_view::npos) {
        std::string_view rest = text.substr(marker + 5);
        url.assign(rest.substr(0, rest.find('&')));
    } else {
        const size_t first = text.find('?');
        if (first != std::string_view::npos) {
            std::string_view rest = text.substr(first + 1);
            std::string_view part = rest.substr(0, rest.find('?'));
            if (!part.empty() && (Contains(part, "3c_") || Contains(part, "3C_"))) url.assign(part);
        }
    }
    if (url.empty()) {
        TraceWrite("Dropped text names no catalogue item.");
        return false;
    }
    out.kind = DropRequest::Kind::kCatalogue;
    out.text = std::move(url);
    out.urlDrop = true;
    return true;
}

bool ReadFileDrop(const std::vector<uint8_t>& data, DropRequest& out) {
    out = DropRequest();
    const std::vector<std::string> files = platform::DroppedFiles(data);
    if (files.empty()) {
        TraceWrite("No dropped file.");
        return false;
    }
    const std::string& path = files.back();
    if (path.size() >= 3 && EqualsNoCase(std::string_view(path).substr(path.size() - 3), "kvp")) {
        out.kind = DropRequest::Kind::kLocalPlan;
        out.text = path;
    } else {
        out.kind = DropRequest::Kind::kBitmap;
        out.image = path;
    }
    return true;
}

platform::HRESULT ReadDropData(platform::IDataObject* data, const std::string& paintPrefix,
                               DropRequest& out) {
    out = DropRequest();
    if (!data) return platform::E_FAIL;
    std::vector<uint8_t> bytes;
    if (data->GetData(HtmlFormat(), &bytes) == platform::S_OK)
        return ReadHtmlDrop(AsText(bytes), paintPrefix, out) ? platform::S_OK : platform::E_FAIL;
    if (data->GetData(platform::CF_TEXT, &bytes) == platform::S_OK)
        return ReadTextDrop(AsText(bytes), out) ? platform::S_OK : platform::E_FAIL;
    const platform::HRESULT files = data->GetData(platform::CF_HDROP, &bytes);
    if (files != platform::S_OK) return files;
    return ReadFileDrop(bytes, out) ? platform::S_OK : platform::E_FAIL;
}

// ---- DragDropHandler ------------------------------------------------------------------

DragDropHandler::DragDropHandler(Window* view) : view_(view) {}

DragDropHandler::~DragDropHandler() {
    command_.reset();
    // The registry holds a reference to the handler until it is revoked, window or not.
    if (window_ != platform::kNoWindow) platform::RevokeDragDrop(window_);
}

bool DragDropHandler::Register(platform::WindowHandle window) {
    if (window_ != platform::kNoWindow) platform::RevokeDragDrop(window_);
    window_ = window;
    const bool registered = platform::RegisterDragDrop(window, this) == platform::S_OK;
    if (!registered) window_ = platform::kNoWindow;
    return registered;
}

platform::HRESULT DragDropHandler::QueryInterface(const platform::Guid& iid, void** out) {
    if (!out) return platform::E_POINTER;
    if (iid == platform::IUnknown::kIid || iid == platform::IDropTarget::kIid) {
        AddRef();
        *out = static_cast<platform::IDropTarget*>(this);
        return platform::S_OK;
    }
    *out = nullptr;
    return platform::E_NOINTERFACE;
}

platform::HRESULT DragDropHandler::BuildDropCommand(platform::IDataObject* data) {
    BaseControl* control = theControl();
    const std::string paintPrefix = control ? control->globalState.GetString(4) : std::string();
    DropRequest request;
    url_.clear();
    const platform::HRESULT read = ReadDropData(data, paintPrefix, request);
    if (read != platform::S_OK) return read == platform::S_OK ? platform::E_FAIL : read;

    switch (request.kind) {
        case DropRequest::Kind::kCatalogue:
            url_ = request.text;
            urlDrop_ = request.urlDrop;
            return platform::S_OK;
        case DropRequest::Kind::kColor:
            command_ = std::make_unique<ColorCommand>(request.text.c_str());
            return platform::S_OK;
        case DropRequest::Kind::kPaint: {
            auto paint = std::make_unique<PaintCommand>(request.text.c_str());
            command_ = std::move(paint);
            return platform::S_OK;
        }
        case DropRequest::Kind::kBitmap:
            command_ = std::make_unique<BitmapDropCommand>(
                request.pageURL.empty() ? nullptr : request.pageURL.c_str(), request.image.c_str());
            return platform::S_OK;
        case DropRequest::Kind::kPlan:
        case DropRequest::Kind::kLocalPlan:
            command_ = std::make_unique<KivoraDropCommand>(
                request.text.c_str(), request.kind == DropRequest::Kind::kLocalPlan);
            return platform::S_OK;
        case DropRequest::Kind::kNone:
            break;
    }
    return platform::E_FAIL;
}

void DragDropHandler::RestoreGlobals() {
    BaseControl* control = theControl();
    if (!control || !globalsSaved_) return;
    control->globalState.SetBoolean(12, saved12_);
    control->globalState.SetBoolean(9, saved9_);
    globalsSaved_ = false;
}

void DragDropHandler::EndCommand() {
    command_.reset();
}

platform::HRESULT DragDropHandler::DragEnter(platform::IDataObject* data, uint32_t keyState,
                                             platform::ScreenPoint point, uint32_t* effect) {
    BaseControl* control = theControl();
    // A drag that left without its leave (or drop) ends its command now.
    EndCommand();
    if (!control) {
        accepting_ = false;
        return platform::S_OK;
    }
    saved12_ = control->globalState.GetBoolean(12);
    saved9_ = control->globalState.GetBoolean(9);
    globalsSaved_ = true;
    if (!platform::IsKeyDown(platform::VK_LBUTTON) || control->mainWindow != view_ || !view_) {
        accepting_ = false;
        return platform::S_OK;
    }
    control->globalState.SetBoolean(12, true);
    control->globalState.SetBoolean(9, false);
    int x = 0;
    int y = 0;
    BaseCommandHandler::ScreenToClient(*view_, point, x, y);
    view_->helpWindow.SetShown(true);
    view_->helpWindow.PlaceNearCursor(x, y);
    if (control->activeWindow != view_) control->SetActiveWindowByHandle(view_->windowHandle);

    lastDragX = lastDragY = -1;
    urlDrop_ = false;
    uint32_t ignored = 0;
    if (!effect) effect = &ignored;
    *effect = platform::DROPEFFECT_COPY;
    if (BuildDropCommand(data) != platform::S_OK) {
        *effect = platform::DROPEFFECT_NONE;
        accepting_ = false;
        TraceWrite("Valid command NOT found.");
        return platform::S_OK;
    }
    TraceWrite("Valid command found.");
    accepting_ = true;
    if (command_)
        command_->Begin(keyState, point, effect);
    else
        StartCatalogueDrop(keyState, point, effect);
    if (urlDrop_) *effect = platform::DROPEFFECT_LINK;
    return platform::S_OK;
}

void DragDropHandler::StartCatalogueDrop(uint32_t keyState, platform::ScreenPoint point,
                                         uint32_t* effect) {
    // The download runs here, on the window thread; the command it builds outlives it.
    DragDropCommand download(this);
    download.SetCompressed(true);
    download.DownloadBlocking(url_.c_str());
    command_ = download.TakeCommand();
    if (command_) command_->Begin(keyState, point, effect);
}

platform::HRESULT DragDropHandler::DragOver(uint32_t keyState, platform::ScreenPoint point,
                                            uint32_t* effect) {
    uint32_t ignored = 0;
    if (!effect) effect = &ignored;
    if (view_) {
        int x = 0;
        int y = 0;
        BaseCommandHandler::ScreenToClient(*view_, point, x, y);
        view_->helpWindow.PlaceNearCursor(x, y);
    }
    *effect = accepting_ ? (urlDrop_ ? platform::DROPEFFECT_LINK : platform::DROPEFFECT_COPY)
                         : platform::DROPEFFECT_NONE;
    if (point.x == lastDragX && point.y == lastDragY) return platform::S_OK;
    lastDragX = point.x;
    lastDragY = point.y;
    if (command_ && accepting_) {
        command_->DragOver(keyState, point, effect);
        accepting_ = *effect != platform::DROPEFFECT_NONE;
    }
    return platform::S_OK;
}

platform::HRESULT DragDropHandler::DragLeave() {
    RestoreGlobals();
    if (view_) view_->helpWindow.SetShown(false);
    if (BaseControl* control = theControl())
        control->ShowMainProgress(false, control->progressOwner);
    accepting_ = false;
    if (command_) {
        command_->Cancel();
        EndCommand();
    }
    return platform::S_OK;
}

platform::HRESULT DragDropHandler::Drop(platform::IDataObject*, uint32_t keyState,
                                        platform::ScreenPoint point, uint32_t* effect) {
    BaseControl* control = theControl();
    RestoreGlobals();
    if (view_) view_->helpWindow.SetShown(false);
    uint32_t ignored = 0;
    if (!effect) effect = &ignored;
    *effect = platform::DROPEFFECT_NONE;
    if (!command_) {
        accepting_ = false;
        return platform::S_OK;
    }
    if (!accepting_ || !control) {
        // A drop the command refused is a cancelled one.
        command_->Cancel();
        EndCommand();
        return platform::S_OK;
    }
    control->globalState.SetBoolean(0, true);
    control->BeginUndoGroup();
    command_->Drop(keyState, point, effect);
    control->EndUndoGroup();
    EndCommand();
    accepting_ = false;
    return platform::S_OK;
}
