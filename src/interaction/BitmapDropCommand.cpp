#include "interaction/BitmapDropCommand.h"

#include <cctype>

#include "control/BaseControl.h"
#include "control/RenderLockScope.h"
#include "foundation/KeyDataList.h"
#include "foundation/Trace.h"
#include "model/Part.h"
#include "render/LightSource.h"
#include "render/Window.h"

namespace {

constexpr uint64_t kBaseModelBit = 0x4;
constexpr uint64_t kPartBit = 0x4000;
constexpr uint64_t kLightBit = 0x400000;

// The page's scheme and host with a '/' behind them ("http://host/").
std::string SchemeAndHost(const std::string& page) {
    const size_t scheme = page.find("://");
    const size_t hostStart = scheme == std::string::npos ? 0 : scheme + 3;
    const size_t slash = page.find('/', hostStart);
    return slash == std::string::npos ? page + "/" : page.substr(0, slash + 1);
}

// The page's folder with its '/' ("http://host/a/" of "http://host/a/b.htm").
std::string PageFolder(const std::string& page) {
    const size_t scheme = page.find("://");
    const size_t hostStart = scheme == std::string::npos ? 0 : scheme + 3;
    const size_t slash = page.rfind('/');
    if (slash == std::string::npos || slash < hostStart) return page + "/";
    return page.substr(0, slash + 1);
}

}  // namespace

BitmapDropCommand::BitmapDropCommand(const char* pageURL, const char* image)
    : image_(image ? image : ""), pageURL_(pageURL ? pageURL : "") {
    if (pageURL_.empty()) return;
    baseURL_ = !image_.empty() && image_[0] == '/' ? SchemeAndHost(pageURL_) : PageFolder(pageURL_);
}

void BitmapDropCommand::Begin(uint32_t, platform::ScreenPoint, uint32_t*) {
    Prompt(kBeginPrompt, ActiveMouseWindow());
}

std::string BitmapDropCommand::ImageURL() const {
    if (pageURL_.empty()) {
        // A local path: "file://" and the absolute path.
        std::string path = image_;
        while (!path.empty() && path[0] == '/') path.erase(0, 1);
        return "file:///" + path;
    }
    std::string lower = image_;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (lower.find("http") != std::string::npos) return lower;
    return baseURL_ + lower;
}

void BitmapDropCommand::Drop(uint32_t, platform::ScreenPoint point, uint32_t*) {
    TraceWrite("Processing drop in BitmapDropCommand");
    BaseControl* control = theControl();
    if (!control) return;
    control->SetRenderEnabled(true);
    RenderLockScope hold(control);
    ApplyToHits(PickAt(point));
}

void BitmapDropCommand::ApplyToHits(const std::vector<PickableObject*>& hits) {
    const std::string url = ImageURL();
    const size_t n = hits.size();
    if (n >= 2 && hits[0]->HasType(kLightBit)) {
        if (auto* light = dynamic_cast<LightSource*>(hits[0])) {
            light->BeginUndoStep();
            light->SetProjectedTexture(url.c_str());
            light->EndUndoStep();
        }
        return;
    }
    if (n >= 2 && hits[n - 1]->HasType(kPartBit)) {
        auto* part = dynamic_cast<Part*>(hits[n - 1]);
        auto* undoable = dynamic_cast<UndoableObject*>(hits[0]);
        if (!part || !part->material || !undoable) return;
        RenderableObject* owner = part->GetOwnerObject();
        KeyDataList keys;
        keys.AddString("TextureURL", url);
        keys.AddDouble("Granularity", owner && owner->HasType(kBaseModelBit) ? 1.0 : 100.0);
        KeyDataList* color = keys.AddSublist("color");
        for (const char* channel : {"Red", "Green", "Blue", "Alpha"})
            color->AddDouble(channel, 1.0);
        undoable->BeginUndoStep();
        part->ApplyMaterialKeys(keys, false);
        if (owner) owner->MarkDirty();
        undoable->EndUndoStep();
        return;
    }
    if (Window* window = ActiveMouseWindow()) window->SetTraceImage(url.c_str());
}
