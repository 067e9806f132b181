#include "render/TextureList.h"

#include <strings.h>

#include "foundation/Trace.h"
#include "render/Bitmap.h"

namespace {

bool AdmitBitmap(LinkedListObject* node) {
    if (!node || dynamic_cast<Bitmap*>(node)) return true;
    TraceWrite("Only bitmaps go into the texture list");
    if (!node->GetOwner()) delete node;
    return false;
}

}  // namespace

void TextureList::Prepend(LinkedListObject* node) {
    if (AdmitBitmap(node)) LinkedList::Prepend(node);
}

void TextureList::Append(LinkedListObject* node) {
    if (AdmitBitmap(node)) LinkedList::Append(node);
}

Bitmap* TextureList::FindByName(const char* url) const {
    if (!url) return nullptr;
    Lock();
    Bitmap* found = nullptr;
    for (LinkedListObject* node = GetHead(); node && !found; node = node->GetNext()) {
        auto* bitmap = static_cast<Bitmap*>(node);
        if (strcasecmp(bitmap->GetURL(), url) == 0) found = bitmap;
    }
    Unlock();
    return found;
}
