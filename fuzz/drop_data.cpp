// What a drag brings into a view: the page's HTML, a dragged link's text and a list of
// dropped files, each read as the drop target reads it, then the colour text and the
// image address of what it names.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "interaction/BitmapDropCommand.h"
#include "interaction/ColorCommand.h"
#include "interaction/DragDropHandler.h"
#include "platform/DragDrop.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::vector<uint8_t> bytes(data, data + size);

    DropRequest request;
    for (const std::string& prefix : {std::string(), std::string("http://h/m.3c_")}) {
        if (ReadHtmlDrop(text, prefix, request)) {
            if (request.kind == DropRequest::Kind::kNone) std::abort();
            if (request.kind == DropRequest::Kind::kColor) ColorCommand color(request.text.c_str());
            if (request.kind == DropRequest::Kind::kBitmap) {
                BitmapDropCommand bitmap(request.pageURL.c_str(), request.image.c_str());
                (void)bitmap.ImageURL();
            }
        }
    }
    if (ReadTextDrop(text, request) && (request.text.empty() || !request.urlDrop)) std::abort();
    if (ReadFileDrop(bytes, request)) {
        BitmapDropCommand file(nullptr, request.image.c_str());
        (void)file.ImageURL();
    }

    // Through a data object, as the formats come.
    platform::RefPtr<platform::DataObject> object =
        platform::RefPtr<platform::DataObject>::Adopt(new platform::DataObject);
    object->Set(size % 3 == 0   ? platform::RegisterClipboardFormat("HTML Format")
                : size % 3 == 1 ? platform::CF_TEXT
                                : platform::CF_HDROP,
                bytes);
    ReadDropData(object.Get(), std::string(), request);
    return 0;
}
