#include "platform/DragDrop.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <unordered_map>

#include "platform/Input.h"
#include "platform/Window.h"

namespace platform {
namespace {

struct Registry {
    std::mutex mutex;
    std::unordered_map<WindowHandle, RefPtr<IDropTarget>> targets;
    std::vector<std::string> formatNames;  // format 0xC000 + index
};

Registry& TheRegistry() {
    static Registry* registry = new Registry;
    return *registry;
}

// Drops the targets of windows that are gone (under the registry's mutex); the
// references go after the lock.
std::vector<RefPtr<IDropTarget>> Purge(Registry& r) {
    std::vector<RefPtr<IDropTarget>> gone;
    for (auto it = r.targets.begin(); it != r.targets.end();) {
        if (!IsWindow(it->first)) {
            gone.push_back(std::move(it->second));
            it = r.targets.erase(it);
        } else {
            ++it;
        }
    }
    return gone;
}

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

}  // namespace

uint32_t RegisterClipboardFormat(const std::string& name) {
    auto& r = TheRegistry();
    std::lock_guard<std::mutex> hold(r.mutex);
    const std::string key = Lower(name);
    for (size_t i = 0; i < r.formatNames.size(); ++i)
        if (r.formatNames[i] == key) return 0xC000 + static_cast<uint32_t>(i);
    r.formatNames.push_back(key);
    return 0xC000 + static_cast<uint32_t>(r.formatNames.size() - 1);
}

HRESULT RegisterDragDrop(WindowHandle window, IDropTarget* target) {
    if (!target) return E_INVALIDARG;
    if (!IsWindow(window)) return DRAGDROP_E_INVALIDHWND;
    auto& r = TheRegistry();
    std::vector<RefPtr<IDropTarget>> gone;
    std::lock_guard<std::mutex> hold(r.mutex);
    gone = Purge(r);
    if (r.targets.contains(window)) return DRAGDROP_E_ALREADYREGISTERED;
    target->AddRef();
    r.targets.emplace(window, RefPtr<IDropTarget>::Adopt(target));
    return S_OK;
}

HRESULT RevokeDragDrop(WindowHandle window) {
    RefPtr<IDropTarget> target;
    auto& r = TheRegistry();
    {
        std::lock_guard<std::mutex> hold(r.mutex);
        auto it = r.targets.find(window);
        if (it == r.targets.end()) return DRAGDROP_E_NOTREGISTERED;
        target = std::move(it->second);
        r.targets.erase(it);
    }
    return S_OK;
}

RefPtr<IDropTarget> GetDropTarget(WindowHandle window) {
    if (!IsWindow(window)) return {};
    auto& r = TheRegistry();
    std::lock_guard<std::mutex> hold(r.mutex);
    auto it = r.targets.find(window);
    return it == r.targets.end() ? RefPtr<IDropTarget>() : it->second;
}

uint32_t PlayDrag(WindowHandle window, IDataObject* data, const std::vector<ScreenPoint>& path,
                  bool drop, uint32_t allowed) {
    RefPtr<IDropTarget> target = GetDropTarget(window);
    if (!target || !data || path.empty()) return DROPEFFECT_NONE;
    const bool wasDown = IsKeyDown(VK_LBUTTON);
    SetKeyState(VK_LBUTTON, true);
    const uint32_t keys = static_cast<uint32_t>(MK_LBUTTON);
    uint32_t effect = allowed;
    target->DragEnter(data, keys, path.front(), &effect);
    for (size_t i = 1; i < path.size(); ++i) {
        effect = allowed;
        target->DragOver(keys, path[i], &effect);
    }
    uint32_t result = DROPEFFECT_NONE;
    if (drop && (effect & allowed) != 0) {
        result = allowed;
        target->Drop(data, keys, path.back(), &result);
    } else {
        target->DragLeave();
    }
    SetKeyState(VK_LBUTTON, wasDown);
    return result;
}

std::vector<uint8_t> FileDropData(const std::vector<std::string>& paths) {
    std::vector<uint8_t> data;
    for (const std::string& path : paths) {
        if (path.empty()) continue;
        data.insert(data.end(), path.begin(), path.end());
        data.push_back(0);
    }
    data.push_back(0);
    return data;
}

std::vector<std::string> DroppedFiles(const std::vector<uint8_t>& data) {
    std::vector<std::string> paths;
    std::string current;
    for (uint8_t byte : data) {
        if (byte != 0) {
            current.push_back(static_cast<char>(byte));
        } else if (current.empty()) {
            break;
        } else {
            paths.push_back(std::move(current));
            current.clear();
        }
    }
    return paths;
}

std::string HtmlFormatText(const std::string& html, const std::string& sourceUrl) {
    static const char kHeader[] =
        "Version:0.9\r\nStartHTML:%010zu\r\nEndHTML:%010zu\r\nStartFragment:%010zu\r\n"
        "EndFragment:%010zu\r\nSourceURL:%s\r\n";
    static const char kBefore[] = "<html><body>\r\n<!--StartFragment-->";
    static const char kAfter[] = "<!--EndFragment-->\r\n</body></html>";
    // The header's length does not depend on the offsets: they are ten digits each.
    char probe[512];
    const std::string url = sourceUrl.substr(0, 400);
    const size_t headerLength =
        static_cast<size_t>(std::snprintf(probe, sizeof probe, kHeader, size_t{0}, size_t{0},
                                          size_t{0}, size_t{0}, url.c_str()));
    const size_t startHtml = headerLength;
    const size_t startFragment = startHtml + sizeof kBefore - 1;
    const size_t endFragment = startFragment + html.size();
    const size_t endHtml = endFragment + sizeof kAfter - 1;
    char header[512];
    std::snprintf(header, sizeof header, kHeader, startHtml, endHtml, startFragment, endFragment,
                  url.c_str());
    return std::string(header) + kBefore + html + kAfter;
}

HRESULT DataObject::QueryInterface(const Guid& iid, void** out) {
    if (!out) return E_POINTER;
    if (iid == IUnknown::kIid || iid == IDataObject::kIid) {
        AddRef();
        *out = static_cast<IDataObject*>(this);
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

uint32_t DataObject::Release() {
    const uint32_t left = refs_.Decrement();
    if (left == 0) delete this;
    return left;
}

HRESULT DataObject::GetData(uint32_t format, std::vector<uint8_t>* out) {
    if (!out) return E_POINTER;
    std::lock_guard<std::mutex> hold(mutex_);
    auto it = formats_.find(format);
    if (it == formats_.end()) return DV_E_FORMATETC;
    *out = it->second;
    return S_OK;
}

HRESULT DataObject::QueryGetData(uint32_t format) {
    std::lock_guard<std::mutex> hold(mutex_);
    return formats_.contains(format) ? S_OK : DV_E_FORMATETC;
}

void DataObject::Set(uint32_t format, std::vector<uint8_t> data) {
    std::lock_guard<std::mutex> hold(mutex_);
    formats_[format] = std::move(data);
}

void DataObject::SetText(const std::string& text) {
    std::vector<uint8_t> data(text.begin(), text.end());
    data.push_back(0);
    Set(CF_TEXT, std::move(data));
}

void DataObject::SetHtml(const std::string& html, const std::string& sourceUrl) {
    const std::string text = HtmlFormatText(html, sourceUrl);
    std::vector<uint8_t> data(text.begin(), text.end());
    data.push_back(0);
    Set(RegisterClipboardFormat("HTML Format"), std::move(data));
}

void DataObject::SetFiles(const std::vector<std::string>& paths) {
    Set(CF_HDROP, FileDropData(paths));
}

bool DataObject::Empty() const {
    std::lock_guard<std::mutex> hold(mutex_);
    return formats_.empty();
}

}  // namespace platform
