#pragma once

#include "foundation/LinkedList.h"

class Bitmap;

// The control's texture bitmaps, shared by URL: every material naming the same address,
// in any letter case, draws with one Bitmap. The list owns its bitmaps; one appended
// stays for the life of the control.
class TextureList : public LinkedList {
public:
    // Only bitmaps are taken in; anything else is refused with a trace and destroyed.
    void Prepend(LinkedListObject* node) override;
    void Append(LinkedListObject* node) override;

    // The first bitmap whose URL equals `url` ignoring letter case, or null. Walks the
    // list under its lock.
    Bitmap* FindByName(const char* url) const;
};
