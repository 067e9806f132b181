#pragma once

#include <strings.h>

#include <cstdint>
#include <string>
#include <vector>

#include "foundation/KeyDataList.h"
#include "foundation/ViewState.h"
#include "model/MoveableObject.h"
#include "model/RotatableObject.h"
#include "model/SceneView.h"
#include "model/SizeableObject.h"
#include "model/TopLevelObject.h"
#include "support/TestControl.h"

// A view window as scene objects see it, with every answer settable.
class FakeView : public SceneView {
public:
    int GetViewId() const override { return viewId; }
    RenderState& GetRenderState() override { return renderState; }
    bool HitTestPolygon(const Vector*, int count, bool) override {
        ++hitTests;
        return hitAnswer && count == 8;
    }
    Vector GetSectionPlane() const override { return sectionPlane; }
    int GetPassCount() const override { return passCount; }
    UndoableObject* GetTraceImage() const override { return traceImage; }
    void DeleteTraceImage() override { traceImageDeleted = true; }
    MouseHandler* GetCurrentMode() const override { return mode; }

    int viewId = 1;
    RenderState renderState;
    bool hitAnswer = true;
    int hitTests = 0;
    Vector sectionPlane;
    int passCount = 0;
    UndoableObject* traceImage = nullptr;
    bool traceImageDeleted = false;
    MouseHandler* mode = nullptr;
};

class TestItem;

// A control whose current, active and main view is one fake view.
class SceneTestControl : public TestControl {
public:
    SceneView* GetCurrentView() const override { return withView ? view : nullptr; }
    SceneView* GetActiveView() const override { return withView ? view : nullptr; }
    SceneView* GetMainView() const override { return withView ? view : nullptr; }

    bool withView = true;
    FakeView* view = &ownView;

private:
    FakeView ownView;
};

// A resizable, rotatable top-level object with settable sizes that records its calls.
class TestItem : public SizeableObject, public TopLevelObject, public RotatableObject {
public:
    explicit TestItem(uint64_t typeMask = TypeMask::kModelObject) : mask(typeMask) {}

    uint64_t GetTypeMask() const override { return mask; }
    int GetKindCode() const override { return KindCode::kNone; }
    bool IsLocked() const override { return TopLevelObject::IsLocked(); }
    void Render() override {}
    void Translate(const Vector& offset) override {
        box.Translate(offset.x, offset.y, offset.z);
        moved.Add(offset);
    }

    void BuildPropertyMenu(platform::Menu& menu) override {
        AppendMenuItems(menu);
        SizeableObject::BuildPropertyMenu(menu);
        BuildRotateMenu(menu);
    }
    bool ProcessPropertyMenu(uint32_t id) override {
        return OnCommand(id) || OnRotateCommand(id) || SizeableObject::ProcessPropertyMenu(id);
    }

    // The element: "transactionObjectId", then the keys of `state`.
    void WriteKeyData() override {
        delete element;
        element = new KeyDataSublist("TestItem");
        element->GetChildren()->AddString("transactionObjectId", std::to_string(GetObjectId()));
        element->GetChildren()->AppendCopiesOf(state);
    }
    // Reads an id, and merges every other key into `state` (see ApplyKeyRecord).
    bool ReadKeyData(KeyDataList& keys) override {
        double id = 0;
        if (keys.GetDouble("transactionObjectId", id)) SetObjectId(static_cast<TransactionId>(id));
        ApplyKeyRecord(state, keys);
        return true;
    }
    void BeginUndoStep() override {
        calls.push_back("begin");
        SizeableObject::BeginUndoStep();
    }
    void EndUndoStep() override {
        calls.push_back("end");
        SizeableObject::EndUndoStep();
    }
    RenderableObject* Clone() override {
        if (!cloneable) return nullptr;
        auto* copy = new TestItem(mask);
        RestoreInto(*copy, true, false);
        return copy;
    }
    bool IsPositionValid() override { return box.max.y < 1000.0; }
    void MoveBy(const Vector& offset) override { Translate(offset); }

    // Merges a key record into a tree as a reader of partial records does: elements
    // replace the element of their key (or are appended); "removedTransactionId" removes
    // the child sublist with that id; a sublist is merged into its counterpart (by id when
    // it has one, else by name), or appended when there is none.
    static void ApplyKeyRecord(KeyDataList& tree, const KeyDataList& record) {
        for (auto* m = record.GetFirstMember(); m; m = m->GetNextMember()) {
            if (m->IsElement()) {
                auto* e = static_cast<const KeyDataElement*>(m);
                if (e->Name() == "transactionObjectId") continue;
                if (e->Name() == "removedTransactionId") {
                    if (auto* child = FindChild(tree, nullptr, e->Value())) tree.DeleteNode(child);
                    continue;
                }
                if (auto* old = tree.FindElement(e->Name())) tree.DeleteNode(old);
                tree.AddString(e->Name(), e->Value());
                continue;
            }
            // A child record names its child by id; one that only removes ids inside
            // itself stands for the child's removal.
            auto* sub = static_cast<const KeyDataSublist*>(m);
            const KeyDataList& keys = *sub->GetChildren();
            const char* id = keys.GetString("transactionObjectId");
            const char* removed = keys.GetString("removedTransactionId");
            if (!id) id = removed;
            if (auto* child = FindChild(tree, sub->GetName(), id ? id : "")) {
                const char* childId = child->GetChildren()->GetString("transactionObjectId");
                if (removed && childId && std::string(removed) == childId)
                    tree.DeleteNode(child);
                else
                    ApplyKeyRecord(*child->GetChildren(), keys);
            } else {
                sub->CloneInto(tree);
            }
        }
    }

    uint64_t mask;
    KeyDataList state;
    bool cloneable = true;

    double GetSizeZ() const override { return size[2]; }
    double GetSizeX() const override { return size[0]; }
    double GetSizeY() const override { return size[1]; }
    int SetSizeZ(double v) override { return Set(2, v, "z"); }
    int SetSizeX(double v) override { return Set(0, v, "x"); }
    int SetSizeY(double v) override { return Set(1, v, "y"); }

    void SetBox(double x0, double y0, double z0, double x1, double y1, double z1) {
        box.min.Set(x0, y0, z0, 1.0);
        box.max.Set(x1, y1, z1, 1.0);
    }

    double size[3] = {10.0, 20.0, 30.0};  // x, y, z
    int refuse[3] = {0, 0, 0};            // the code each setter answers
    Vector moved{0.0, 0.0, 0.0};
    std::vector<std::string> calls;

private:
    // A child sublist: with an id, the one holding it (any name when `name` is null);
    // without, the first of the name.
    static KeyDataSublist* FindChild(KeyDataList& tree, const char* name, const std::string& id) {
        for (auto* m = tree.GetFirstMember(); m; m = m->GetNextMember()) {
            if (m->IsElement()) continue;
            auto* sub = static_cast<KeyDataSublist*>(m);
            if (name && strcasecmp(sub->GetName(), name) != 0) continue;
            const char* theirs = sub->GetChildren()->GetString("transactionObjectId");
            if (id.empty() || (theirs && id == theirs)) return sub;
        }
        return nullptr;
    }

    int Set(int axis, double v, const char* name) {
        calls.push_back(std::string("set") + name);
        if (refuse[axis] != 0) return refuse[axis];
        size[axis] = v;
        return 0;
    }
};
