#pragma once

#include <cstddef>

#include "foundation/UndoableObject.h"

// A scanned or drawn plan shown under the design so that walls can be drawn over it. A
// view window holds at most one, outside the scene list; undo records find the main
// window's image by its transaction id.
//
// What is here is what setting and undoing an image needs: its address, its key data
// and its undo steps. The image rectangle, its menu and its sizing come with the model
// classes it is built on.
class TraceImageModel : public UndoableObject {
public:
    static constexpr size_t kURLSize = 260;

    // The image at `url` (null counts as empty; an address of kURLSize characters or
    // more is refused with a trace and leaves it empty).
    explicit TraceImageModel(const char* url);

    const char* GetImageURL() const { return imageURL; }

    uint64_t GetTypeMask() const override { return TypeMask::kTraceImageModel; }
    // The element "TraceImageModel" with "transactionObjectId" and "TraceImageURL".
    void WriteKeyData() override;
    // Takes the keys that are present; an unusable id or an over-long address is
    // ignored with a trace.
    bool ReadKeyData(KeyDataList& keys) override;
    // Draws nothing yet.
    void Render() override;
    void Translate(const Vector& offset) override;

private:
    // Copies `url` into imageURL; false, with a trace and nothing changed, when too long.
    bool StoreURL(const char* url);

    char imageURL[kURLSize] = {};
};
