#pragma once

#include <cstdint>
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

    void WriteKeyData() override {}
    bool ReadKeyData(KeyDataList&) override { return true; }
    void BeginUndoStep() override { calls.push_back("begin"); }
    void EndUndoStep() override { calls.push_back("end"); }
    void CancelUndoStep() override { calls.push_back("cancel"); }
    UndoableObject* DuplicateAndOffset() override { return nullptr; }

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

    uint64_t mask;
    double size[3] = {10.0, 20.0, 30.0};  // x, y, z
    int refuse[3] = {0, 0, 0};            // the code each setter answers
    Vector moved{0.0, 0.0, 0.0};
    std::vector<std::string> calls;

private:
    int Set(int axis, double v, const char* name) {
        calls.push_back(std::string("set") + name);
        if (refuse[axis] != 0) return refuse[axis];
        size[axis] = v;
        return 0;
    }
};
