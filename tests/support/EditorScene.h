#pragma once

#include <GL/gl.h>

#include <memory>
#include <string>
#include <vector>

#include "building/Terrain.h"
#include "control/Duzazododiza.h"
#include "foundation/KeyDataList.h"
#include "foundation/Transaction.h"
#include "interaction/BaseEditor.h"
#include "model/Part.h"
#include "platform/GLContext.h"
#include "platform/Input.h"
#include "platform/Menu.h"
#include "platform/MessageBox.h"
#include "platform/Window.h"
#include "render/Window.h"
#include "support/SceneFixtures.h"
#include "support/TempFolder.h"
#include "support/TestControl.h"

// A flat square block of the scene seen from above in the editor scene: picked as
// itself with its face (or its animated door and the door's panel) under it. Its
// centre is its key data, so undo puts it back.
class Block : public TestItem {
public:
    // Half the side of the square.
    static constexpr double kHalf = 6.0;

    Block(uint64_t mask, int kind, double x, double y, double z = 0.0)
        : TestItem(mask), kind(kind), x(x), y(y), z(z) {
        Place();
    }

    int GetKindCode() const override { return kind; }
    void Render() override {
        glLoadName(GetPickName());
        glPushName(door ? door->GetPickName() : face.GetPickName());
        if (door) glPushName(panel.GetPickName());
        glBegin(GL_QUADS);
        glVertex3d(x - kHalf, y - kHalf, z);
        glVertex3d(x + kHalf, y - kHalf, z);
        glVertex3d(x + kHalf, y + kHalf, z);
        glVertex3d(x - kHalf, y + kHalf, z);
        glEnd();
        if (door) glPopName();
        glPopName();
    }
    void MoveBy(const Vector& offset) override {
        x += offset.x;
        y += offset.y;
        Place();
    }
    void WriteKeyData() override {
        delete element;
        element = new KeyDataSublist("Block");
        KeyDataList& keys = *element->GetChildren();
        keys.AddString("transactionObjectId", std::to_string(GetObjectId()));
        keys.AddDouble("x", x);
        keys.AddDouble("y", y);
    }
    bool ReadKeyData(KeyDataList& keys) override {
        keys.GetDouble("x", x);
        keys.GetDouble("y", y);
        Place();
        return true;
    }
    // "Delete" from its menu takes it out of the scene, as a model does.
    bool ProcessPropertyMenu(uint32_t id) override {
        if (id != MouseHandler::kDeleteCommand) return TestItem::ProcessPropertyMenu(id);
        BaseControl* control = theControl();
        control->ReleaseHandles();
        if (RemoveFromList(control->scene)) {
            EndUndoStep();
            control->deletedObjects.Append(this);
        }
        return true;
    }
    // An open/close door under the block, picked between the block and its panel.
    void AddDoor() {
        door = std::make_unique<PartGroup>(this);
        door->SetAnimation(std::make_unique<PartAnimation>());
    }

    struct Face : PickableObject {
        uint64_t GetTypeMask() const override { return TypeMask::kPart; }
    };

    int kind;
    double x, y, z;
    Face face;
    Face panel;
    std::unique_ptr<PartGroup> door;

private:
    void Place() { SetBox(x - kHalf, y - kHalf, z, x + kHalf, y + kHalf, z); }
};

// The ground, picked where a block of it lies.
class BlockGround : public Terrain {
public:
    void Render() override {
        glLoadName(GetPickName());
        glPushName(face.GetPickName());
        glBegin(GL_QUADS);
        glVertex3d(-30, -22, -5);
        glVertex3d(30, -22, -5);
        glVertex3d(30, 22, -5);
        glVertex3d(-30, 22, -5);
        glEnd();
        glPopName();
    }
    void Translate(const Vector&) override {}
    void WriteKeyData() override {}
    bool ReadKeyData(KeyDataList&) override { return true; }
    Block::Face face;
};

// An editor of other objects as the editors of walls or models work: it edits the
// objects of its type bits, and a drag moves the edited block with the pointer inside
// one undo group.
class DraggingEditor : public BaseEditor {
public:
    explicit DraggingEditor(uint64_t handled) : handled(handled) {}

    bool HandlesObject(PickableObject* object) override { return object && object->HasType(handled); }
    void OnLButtonDown(intptr_t point) override {
        ++presses;
        BaseEditor::OnLButtonDown(point);
        dragged = dynamic_cast<Block*>(GetEditedObject());
        if (!dragged) return;
        theControl()->BeginUndoGroup();
        dragged->BeginUndoStep();
    }
    void OnMouseMove(intptr_t point) override {
        BaseEditor::OnMouseMove(point);
        const MouseInput& in = Input();
        if (!GetEditedObject() || !in.left || in.right || moveCount <= 0) return;
        // One pixel is one unit; window y runs down, the scene's y up.
        dragged->MoveBy(Vector(in.current.x - in.previous.x, in.previous.y - in.current.y, 0));
    }
    void OnLButtonUp(intptr_t point) override {
        if (dragged) {
            dragged->EndUndoStep();
            theControl()->EndUndoGroup();
            dragged = nullptr;
        }
        BaseEditor::OnLButtonUp(point);
    }

    uint64_t handled;
    int presses = 0;
    Block* dragged = nullptr;
};

// A running control whose main view (64 x 48, OpenGL) looks straight down -z at the
// blocks in the blueprint view: pixel (px, py), py from the top, shows scene point
// (px - 32, 24 - py). Messages go through the control's window procedure. Mode 0 edits
// catalogue models and mode 3 walls by dragging them; the other modes are the editor's.
class EditorScene {
public:
    // With `productModes` every mode is the editor's own (the model editor in mode 0).
    explicit EditorScene(bool productModes = false)
        : control(new CDuzazododiza),
          productModes(productModes),
          view([this](int mode) -> MouseHandler* {
              if (!this->productModes && mode == 0)
                  return models = new DraggingEditor(TypeBit::kCatalogueModel);
              if (!this->productModes && mode == 3)
                  return walls = new DraggingEditor(TypeBit::kWall);
              return MakeMouseMode(mode);
          }) {
        control->initialised = 1;
        control->sceneRenderingEnabled = 1;
        control->waitScreenLevel = 0.0;
        control->globalState.SetBoolean(6, true);  // every storey shown
        control->globalState.SetDouble(3, 2.0);    // nudge step

        platform::PixelFormatRequest request;
        request.depthBits = 24;
        request.stencilBits = 8;
        const int format = platform::ChoosePixelFormat(request);
        drawable = platform::GLDrawable::CreateForWindow(64, 48);
        if (format > 0 && drawable->SetPixelFormat(format))
            context = platform::GLContext::Create(format);
        view.renderingContext = context.get();
        view.deviceContext = drawable.get();
        viewHandle = platform::CreateWindow(platform::WindowCreateInfo{});
        view.windowHandle = viewHandle;
        // The drawn bars hide until the pointer enters them, so clicks reach the scene.
        control->globalState.SetBoolean(1, true);
        view.OnSize({0, 0, 64, 48});
        view.viewFlags.SetInteger(0, Window::kBlueprintView);
        view.camera.SetVector(0, Vector(0, 0, 0));
        view.camera.SetVector(1, Vector(0, 0, 0));
        view.camera.SetVector(2, Vector(32, 24, 0));
        control->mainWindow = control->activeWindow = &view;
        DrawFrame();
    }
    ~EditorScene() {
        for (int key : {platform::VK_LBUTTON, platform::VK_SHIFT, platform::VK_CONTROL,
                        platform::VK_LEFT, platform::VK_UP, platform::VK_RIGHT, platform::VK_DOWN})
            platform::SetKeyState(key, false);
        platform::SetMenuChooser(nullptr);
        platform::SetMessageBoxResponder(nullptr);
        control->scene.DeleteAll();
        control->deletedObjects.DeleteAll();
        delete control->terrain;
        control->terrain = nullptr;
        control->mainWindow = control->activeWindow = control->currentWindow = nullptr;
        platform::GLContext::DetachCurrent();
        view.windowHandle = platform::kNoWindow;
        platform::DestroyWindow(viewHandle);
        control->Release();
    }
    EditorScene(const EditorScene&) = delete;
    EditorScene& operator=(const EditorScene&) = delete;

    bool HasOpenGL() const { return context != nullptr; }
    Block* Add(Block* block) {
        control->scene.Append(block);
        return block;
    }
    // Caches the view's matrices as a frame does.
    void DrawFrame() {
        if (!context) return;
        control->LockRender();
        view.Activate();
        view.SetupProjection(0, 0);
        view.InitGLState();
        view.SetupModelView();
        view.CacheMatrices();
        control->UnlockRender();
    }

    void Mouse(uint32_t message, int px, int py) {
        control->WindowProc(platform::kNoWindow, message, 0, platform::MakeLParam(px, py));
    }
    // A press at one point, a move to each further point and a release at the last.
    void Drag(const std::vector<std::pair<int, int>>& points) {
        platform::SetKeyState(platform::VK_LBUTTON, true);
        Mouse(platform::WM_LBUTTONDOWN, points.front().first, points.front().second);
        for (size_t i = 1; i < points.size(); ++i)
            Mouse(platform::WM_MOUSEMOVE, points[i].first, points[i].second);
        platform::SetKeyState(platform::VK_LBUTTON, false);
        Mouse(platform::WM_LBUTTONUP, points.back().first, points.back().second);
    }
    void Click(int px, int py) { Drag({{px, py}}); }
    void Key(int key, bool down) {
        platform::SetKeyState(key, down);
        control->WindowProc(platform::kNoWindow, down ? platform::WM_KEYDOWN : platform::WM_KEYUP,
                            static_cast<platform::WParam>(key), 0);
    }
    void Timer(unsigned id) { control->WindowProc(platform::kNoWindow, platform::WM_TIMER, id, 0); }
    int Mode() const { return view.GetCurrentModeNumber(); }
    // Undo groups on the undo list.
    int UndoGroups() const {
        int groups = 0;
        const SizableLinkedList& entries = control->GetUndoList().UndoEntries();
        for (auto* node = entries.GetHead(); node; node = node->GetNext())
            if (auto* marker = dynamic_cast<TransactionMarker*>(node); marker && marker->IsStart())
                ++groups;
        return groups;
    }
    // Object steps in the newest undo group.
    int StepsInNewestGroup() const {
        int steps = 0;
        const SizableLinkedList& entries = control->GetUndoList().UndoEntries();
        // The newest entries come first: the group's end marker, its steps, its start.
        for (auto* node = entries.GetHead(); node; node = node->GetNext()) {
            auto* marker = dynamic_cast<TransactionMarker*>(node);
            if (marker && marker->IsStart()) break;
            if (!marker) ++steps;
        }
        return steps;
    }

    ScopedRegistry registry;
    ScopedProgramFolder programFolder;
    CDuzazododiza* control;
    DraggingEditor* models = nullptr;
    DraggingEditor* walls = nullptr;
    std::unique_ptr<platform::GLDrawable> drawable;
    std::unique_ptr<platform::GLContext> context;
    platform::WindowHandle viewHandle = platform::kNoWindow;
    bool productModes;
    Window view;
};
