#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/Component.h"
#include "platform/Messages.h"

namespace platform {

// Drag and drop: a data object offers what is dragged in one or more formats; a
// window that accepts drops registers a drop target, which hears of a drag entering,
// moving over, leaving and dropping on it. On the display, drags from other programs
// (the web view, the file manager) arrive through the desktop's drag and drop; headless,
// PlayDrag plays one.

// Formats: plain 8-bit text (NUL-terminated), a list of dropped files (see FileDropData)
// and the formats registered by name ("HTML Format").
inline constexpr uint32_t CF_TEXT = 1;
inline constexpr uint32_t CF_HDROP = 15;
// The number of a named format: the same number for the same name (letter case aside)
// for the life of the process, never one of the fixed formats.
uint32_t RegisterClipboardFormat(const std::string& name);

// What a drop would do, as the target answers it.
inline constexpr uint32_t DROPEFFECT_NONE = 0;
inline constexpr uint32_t DROPEFFECT_COPY = 1;
inline constexpr uint32_t DROPEFFECT_MOVE = 2;
inline constexpr uint32_t DROPEFFECT_LINK = 4;

constexpr HRESULT DV_E_FORMATETC = static_cast<HRESULT>(0x80040064u);
constexpr HRESULT DRAGDROP_E_NOTREGISTERED = static_cast<HRESULT>(0x80040100u);
constexpr HRESULT DRAGDROP_E_ALREADYREGISTERED = static_cast<HRESULT>(0x80040101u);
constexpr HRESULT DRAGDROP_E_INVALIDHWND = static_cast<HRESULT>(0x80040102u);

// A point on the screen.
struct ScreenPoint {
    int32_t x = 0;
    int32_t y = 0;
};

class IDataObject : public IUnknown {
public:
    static constexpr Guid kIid = {
        0x6B1D0000, 0x4C3A, 0x4E52, {0x9A, 0x10, 0x00, 0x00, 0x00, 0x00, 0x00, 0x30}};

    // A copy of the data in `format`; DV_E_FORMATETC when the object has none.
    virtual HRESULT GetData(uint32_t format, std::vector<uint8_t>* out) = 0;
    // S_OK when the object has the format, DV_E_FORMATETC when not.
    virtual HRESULT QueryGetData(uint32_t format) = 0;
};

class IDropTarget : public IUnknown {
public:
    static constexpr Guid kIid = {
        0x6B1D0000, 0x4C3A, 0x4E52, {0x9A, 0x10, 0x00, 0x00, 0x00, 0x00, 0x00, 0x31}};

    // `keyState` holds the MK_* flags; `effect` comes in as the effects the source
    // allows and goes out as the one the target would take.
    virtual HRESULT DragEnter(IDataObject* data, uint32_t keyState, ScreenPoint point,
                              uint32_t* effect) = 0;
    virtual HRESULT DragOver(uint32_t keyState, ScreenPoint point, uint32_t* effect) = 0;
    virtual HRESULT DragLeave() = 0;
    virtual HRESULT Drop(IDataObject* data, uint32_t keyState, ScreenPoint point,
                         uint32_t* effect) = 0;
};

// Registers the window's drop target (the window keeps a reference).
// DRAGDROP_E_INVALIDHWND for a handle that is not a window, DRAGDROP_E_ALREADYREGISTERED
// when it has one, E_INVALIDARG for a null target. A window's target goes with it.
HRESULT RegisterDragDrop(WindowHandle window, IDropTarget* target);
// DRAGDROP_E_NOTREGISTERED when the window has none.
HRESULT RevokeDragDrop(WindowHandle window);
// The window's target with a new reference, or null.
RefPtr<IDropTarget> GetDropTarget(WindowHandle window);

// Plays a drag over a window's target the way the display delivers one: enter at the
// first point, a move for each later point, then a drop at the last point (or a leave
// when `drop` is false, or when the target refused the drag). The left button counts
// as held down meanwhile. Answers the effect of the drop; DROPEFFECT_NONE when there
// was none or the window has no target.
uint32_t PlayDrag(WindowHandle window, IDataObject* data, const std::vector<ScreenPoint>& path,
                  bool drop = true, uint32_t allowed = DROPEFFECT_COPY | DROPEFFECT_LINK);

// The bytes of CF_HDROP for a list of paths, and the paths back (the last one is the
// last file dropped). Paths are UTF-8, each ended by a NUL, the list by another NUL.
std::vector<uint8_t> FileDropData(const std::vector<std::string>& paths);
std::vector<std::string> DroppedFiles(const std::vector<uint8_t>& data);

// The text of the "HTML Format" for a piece of HTML copied from the page at
// `sourceUrl`: the header of offsets, then the HTML with its fragment marked.
std::string HtmlFormatText(const std::string& html, const std::string& sourceUrl);

// A data object of our own: the formats it was given, each a block of bytes.
class DataObject final : public IDataObject {
public:
    DataObject() = default;

    HRESULT QueryInterface(const Guid& iid, void** out) override;
    uint32_t AddRef() override { return refs_.Increment(); }
    uint32_t Release() override;
    HRESULT GetData(uint32_t format, std::vector<uint8_t>* out) override;
    HRESULT QueryGetData(uint32_t format) override;

    void Set(uint32_t format, std::vector<uint8_t> data);
    // CF_TEXT with its terminating NUL.
    void SetText(const std::string& text);
    // "HTML Format" (see HtmlFormatText), NUL-terminated.
    void SetHtml(const std::string& html, const std::string& sourceUrl);
    void SetFiles(const std::vector<std::string>& paths);
    bool Empty() const;

private:
    ~DataObject() = default;

    RefCount refs_;
    mutable std::mutex mutex_;
    std::map<uint32_t, std::vector<uint8_t>> formats_;
};

}  // namespace platform
