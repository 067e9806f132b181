#pragma once

#include <cstdint>

#include "foundation/LinkedList.h"

class BaseTransaction;

// The editor's undo history: an undo list and a redo list of transaction records, the
// newest at the head. Every user action is bracketed as a group (a start marker, its
// records in the order pushed, an end marker); undo and redo move whole groups between
// the two lists and replay them.
//
// Groups nest: only the outermost BeginGroup and EndGroup write markers, so a command
// that opens a group inside another one does not split it.
//
// Each list keeps at most kCapacity entries. When the undo list is full, every push
// drops its oldest whole group; the group still open is never cut, so a group larger
// than the limit stays whole (the lists grow to hold it) until a newer group pushes it
// out.
//
// Pushing and closing groups happen on the editing thread, stepping under the render
// lock (the caller takes it); each list has its own lock.
class UndoList {
public:
    static constexpr uint32_t kCapacity = 768;

    UndoList();
    ~UndoList();
    UndoList(const UndoList&) = delete;
    UndoList& operator=(const UndoList&) = delete;

    // Opens a group; the outermost one pushes a start marker.
    void BeginGroup();
    // Takes over the record: prepends it to the undo list and trims the list. A record
    // pushed outside any group becomes a group of its own. Null is refused.
    void Push(BaseTransaction* transaction);
    // Closes a group; the outermost one finishes it: an empty group is dropped with its
    // start marker, a non-empty one gets its end marker and clears the redo list. With
    // no group open it only checks the newest entry (an end marker stays as it is).
    void EndGroup();

    // Replays the newest group of the undo list backwards and moves it to the redo
    // list; false when there is nothing to undo.
    bool StepUndo();
    // Replays the newest group of the redo list forwards and moves it back.
    bool StepRedo();

    // Destroys every entry of both lists. A group that is open stays open.
    void Clear();
    // Destroys every entry of the redo list.
    void ClearRedo();

    int GroupDepth() const { return depth_; }
    const SizableLinkedList& UndoEntries() const { return undo_; }
    const SizableLinkedList& RedoEntries() const { return redo_; }

private:
    void FinishGroup();
    void MakeRoom();
    bool Step(SizableLinkedList& from, SizableLinkedList& to, bool undo);
    static void PrependKeepingAll(SizableLinkedList& list, LinkedListObject* entry);
    void PushStartMarker();

    SizableLinkedList undo_;
    SizableLinkedList redo_;
    int depth_ = 0;
    // The start marker of the group that is open; null when none is.
    const LinkedListObject* openStart_ = nullptr;
};
