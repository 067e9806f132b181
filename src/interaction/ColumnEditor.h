#pragma once

#include <cstdint>

#include "interaction/FenceEditor.h"

class Column;

// The mouse mode for columns. In creation mode a click on open ground places a single
// column and a drag draws a run of columns joined by their beam; otherwise it edits the
// column under the cursor as the fence editor does, and a dragged height handle raises or
// lowers every column of the object (half a unit per pixel).
class ColumnEditor : public FenceEditor {
public:
    ColumnEditor() = default;
    ~ColumnEditor() override;

    void OnMouseMove(intptr_t packedPoint) override;
    void OnSingleClick(intptr_t packedPoint) override;

    // A run of columns never goes for being short.
    void DropDegenerate() override {}
    Fence* CreateObject() override;
    bool IsOwnKind(PickableObject* object) override;
};
