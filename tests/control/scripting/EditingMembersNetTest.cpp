#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "building/Wall.h"
#include "control/PlanFiles.h"
#include "control/dialogs/LightPropertyDialog.h"
#include "foundation/Cabinet.h"
#include "foundation/KeyDataList.h"
#include "interaction/TraceImageModel.h"
#include "model/Group.h"
#include "model/Model.h"
#include "platform/FileDialog.h"
#include "platform/MessageBox.h"
#include "platform/Window.h"
#include "render/LightSource.h"
#include "render/Sky.h"
#include "support/ContentServer.h"
#include "support/RunningControl.h"

// The members, commands and keys that change the scene, the view or the settings, each
// checked by what it did, in a running editor whose content comes from a local server.
namespace {

class EditingMembersNetTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(content.Start());
        std::snprintf(control.contentDomain, sizeof control.contentDomain, "%s",
                      content.Domain().c_str());
        platform::SetMessageBoxResponder([this](const platform::MessageBoxRequest& box) {
            boxes.push_back(box.caption);
            return answer;
        });
        // The eye at (100, 50, 200), pitched 20 degrees and turned 30.
        window.camera.SetVector(0, Vector(-100.0, -50.0, -200.0));
        window.camera.SetVector(1, Vector(20.0, 30.0, 0.0));
    }
    void TearDown() override {
        platform::SetMessageBoxResponder(nullptr);
        platform::SetFileDialogResponder(nullptr);
        Dialog::SetModalRunner(nullptr);
        control.CancelAndJoinWorkers();
    }

    std::vector<LightSource*> Lights(bool positional) {
        std::vector<LightSource*> found;
        for (LinkedListObject* node = control.scene.GetHead(); node; node = node->GetNext())
            if (auto* light = dynamic_cast<LightSource*>(node);
                light && light->IsPositional() == positional)
                found.push_back(light);
        return found;
    }
    // A selected model with a 10-inch box at `x`.
    Model* AddModel(double x) {
        auto* model = new Model;
        KeyDataList keys;
        Vector(0, 0, 0).WriteChild(keys, "BoundingBoxMin");
        Vector(10, 10, 10).WriteChild(keys, "BoundingBoxMax");
        model->ReadKeyData(keys);
        model->SetPosition(Vector(x, 0, 0));
        model->SetSelected(true);
        control.scene.Append(model);
        return model;
    }
    // Objects of the class in the scene; lights, which are models too, count only as
    // lights.
    template <class T>
    int Count() {
        int n = 0;
        for (LinkedListObject* node = control.scene.GetHead(); node; node = node->GetNext())
            if (dynamic_cast<T*>(node) && !dynamic_cast<LightSource*>(node)) ++n;
        return n;
    }

    ContentServer content;
    RunningControl running;
    CDuzazododiza& control = *running.control;
    Window& window = running.window;
    std::vector<std::string> boxes;
    platform::MessageAnswer answer = platform::MessageAnswer::Yes;
};

TEST_F(EditingMembersNetTest, LightsComeFromTheContentServer) {
    // Insert: a spot light 36 above the eye, made active, the lights switched on again.
    control.globalState.SetBoolean(12, true);
    EXPECT_EQ(control.HandleCommand(424), 1u);
    ASSERT_EQ(Lights(true).size(), 1u);
    LightSource* spot = Lights(true)[0];
    EXPECT_EQ(spot->GetPosition().x, 100.0);
    EXPECT_EQ(spot->GetPosition().y, 86.0);
    EXPECT_EQ(spot->GetPosition().z, 200.0);
    EXPECT_EQ(control.activeLight, spot);
    EXPECT_FALSE(control.globalState.GetBoolean(12));
    EXPECT_FALSE(control.undoList.UndoEntries().IsEmpty());
    EXPECT_EQ(control.InsertLight(), platform::S_OK);
    EXPECT_EQ(Lights(true).size(), 1u) << "the camera did not move: no second light";

    // The sun, once.
    EXPECT_EQ(control.HandleCommand(400), 1u);
    EXPECT_EQ(Lights(false).size(), 1u);
    EXPECT_EQ(control.AddSun(), platform::S_OK);
    EXPECT_EQ(Lights(false).size(), 1u);
    EXPECT_EQ(control.scene.GetCount(), 2u);

    // Overhead ("F" and command 386): the active light goes over the eye; hidden light
    // boxes show again.
    control.ToggleVisibilityByTypeMask(TypeBit::kLight);
    window.camera.SetVector(0, Vector(-10.0, -20.0, -30.0));
    control.OnKeyUp(platform::WM_KEYUP, 'F', 0);
    EXPECT_EQ(spot->GetPosition().y, 26.0);
    EXPECT_EQ(spot->GetPosition().x, 10.0);
    EXPECT_TRUE(spot->IsVisible());
    window.camera.SetVector(0, Vector(-40.0, -20.0, -30.0));
    EXPECT_EQ(control.HandleCommand(386), 1u);
    EXPECT_EQ(spot->GetPosition().x, 40.0);

    // Command 707 opens the active light's properties.
    bool lightDialog = false;
    Dialog::SetModalRunner([&](Dialog& d) {
        lightDialog = dynamic_cast<LightPropertyDialog*>(&d) != nullptr;
        return Dialog::kCancel;
    });
    EXPECT_EQ(control.HandleCommand(707), 1u);
    EXPECT_TRUE(lightDialog);
}

TEST_F(EditingMembersNetTest, CopiesAndGroupsOfTheSelection) {
    Model* a = AddModel(0.0);
    Model* b = AddModel(50.0);

    // Group and ungroup.
    EXPECT_EQ(control.HandleCommand(230), 1u);
    EXPECT_EQ(Count<Group>(), 1);
    EXPECT_EQ(Count<Model>(), 0);
    EXPECT_EQ(control.HandleCommand(231), 1u);
    EXPECT_EQ(Count<Group>(), 0);
    EXPECT_EQ(Count<Model>(), 2);

    // Clone of a model that moves no copy aside duplicates it one box width along x; the
    // copy becomes the selection and one undo takes it away again.
    control.SelectAll(false);
    a->SetSelected(true);
    for (uint32_t id : {220u, 229u}) {
        const uint32_t before = control.scene.GetCount();
        EXPECT_EQ(control.HandleCommand(id), 1u) << id;
        ASSERT_EQ(control.scene.GetCount(), before + 1) << id;
        auto* copy = dynamic_cast<Model*>(control.scene.GetTail());
        ASSERT_NE(copy, nullptr);
        EXPECT_TRUE(copy->IsSelected());
        EXPECT_FALSE(a->IsSelected());
        control.Undo();
        EXPECT_EQ(control.scene.GetCount(), before) << id;
        control.SelectAll(false);
        a->SetSelected(true);
    }
    control.SelectAll(false);
    b->SetSelected(true);
    EXPECT_EQ(control.Duplicate(), platform::S_OK);
    auto* copy = dynamic_cast<Model*>(control.scene.GetTail());
    ASSERT_NE(copy, b);
    EXPECT_EQ(copy->GetPosition().x, 60.0);
    EXPECT_TRUE(boxes.empty()) << "nothing failed";

    // The plan moves by the pad of "Move Entire Plan", as one undo step.
    const double x = a->GetPosition().x;
    Dialog::SetModalRunner([](Dialog& d) {
        d.Window()->Mouse(platform::WM_LBUTTONDOWN, 10 + 150, 10 + 120);
        d.Window()->Mouse(platform::WM_LBUTTONUP, 10 + 150, 10 + 120);
        d.Window()->PressEnter();
        return 0;
    });
    EXPECT_EQ(control.HandleCommand(290), 1u);
    EXPECT_NE(a->GetPosition().x, x);
    control.Undo();
    EXPECT_EQ(a->GetPosition().x, x);
}

TEST_F(EditingMembersNetTest, ViewAndWorkGridCommands) {
    struct Case {
        const char* name;
        std::function<void()> act;
        std::function<void()> check;
    };
    auto floorOf = [this](int n) {
        return control.floorState.GetDouble(9) + control.wallState.GetDouble(5) * (n - 1) + 1.0;
    };
    const Case cases[] = {
        {"390: 20 degrees", [&] { control.HandleCommand(390); },
         [&] { EXPECT_EQ(window.fieldOfView, 20.0); }},
        {"396: 80 degrees", [&] { control.HandleCommand(396); },
         [&] { EXPECT_EQ(window.fieldOfView, 80.0); }},
        {"',' narrows by 10",
         [&] {
             window.fieldOfView = 25.0;
             control.OnKeyUp(platform::WM_KEYUP, 188, 0);
         },
         [&] { EXPECT_EQ(window.fieldOfView, 15.0); }},
        {"'.' widens by 10",
         [&] {
             window.fieldOfView = 25.0;
             control.OnKeyUp(platform::WM_KEYUP, 190, 0);
         },
         [&] { EXPECT_EQ(window.fieldOfView, 35.0); }},
        {"',' stops at 20",
         [&] {
             window.fieldOfView = 20.0;
             control.OnKeyUp(platform::WM_KEYUP, 188, 0);
         },
         [&] { EXPECT_EQ(window.fieldOfView, 20.0); }},
        {"483: first floor", [&] { control.HandleCommand(483); },
         [&] { EXPECT_DOUBLE_EQ(control.floorState.GetDouble(4), floorOf(1)); }},
        {"491: ninth floor", [&] { control.HandleCommand(491); },
         [&] { EXPECT_DOUBLE_EQ(control.floorState.GetDouble(4), floorOf(9)); }},
        {"462: one floor down", [&] { control.HandleCommand(462); },
         [&] { EXPECT_DOUBLE_EQ(control.floorState.GetDouble(4), floorOf(8)); }},
        {"461: one floor up", [&] { control.HandleCommand(461); },
         [&] { EXPECT_DOUBLE_EQ(control.floorState.GetDouble(4), floorOf(9)); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.act();
        c.check();
    }
}

TEST_F(EditingMembersNetTest, SkyTraceImageAndTemplatesChangeThePlan) {
    // SetDefault (2001) replaces the sky and marks the plan modified; another type or no
    // address does nothing.
    platform::VARIANT address;
    platform::SetVariantUtf8(&address, "plansys/defaultSky/cumulus.3c_");
    control.globalState.SetBoolean(0, false);
    EXPECT_EQ(control.SetDefault(2002, address), platform::S_OK);
    EXPECT_EQ(control.sky, nullptr);
    EXPECT_FALSE(control.globalState.GetBoolean(0));
    EXPECT_EQ(control.SetDefault(2001, address), platform::S_OK);
    ASSERT_NE(control.sky, nullptr);
    EXPECT_NE(std::string(control.sky->GetURL()).find("3d/box.3c_"), std::string::npos);
    EXPECT_TRUE(control.globalState.GetBoolean(0));
    platform::ClearVariant(&address);

    // Command 147: the chosen picture becomes the active window's trace image.
    TempFolder folder;
    const std::string picture = folder.Path() + "plan.jpg";
    std::fclose(std::fopen(picture.c_str(), "w"));
    platform::SetFileDialogResponder([&](const platform::FileDialogRequest& r, std::string* out) {
        EXPECT_EQ(r.filterName, "JPG,GIF,BMP");
        *out = picture;
        return true;
    });
    control.globalState.SetBoolean(0, false);
    EXPECT_EQ(control.HandleCommand(147), 1u);
    ASSERT_NE(window.traceImage, nullptr);
    EXPECT_EQ(window.traceImage->GetImageURL(), picture);
    EXPECT_TRUE(control.globalState.GetBoolean(0));

    // A template that cannot be read leaves the plan as it was.
    AddModel(0.0);
    control.globalState.SetBoolean(0, false);
    platform::ScopedBstr missing("wizard/missing.xml");
    EXPECT_EQ(control.OpenXMLTemplate(missing.Get()), platform::S_OK);
    EXPECT_EQ(Count<Model>(), 1) << "the plan stays";
    EXPECT_FALSE(control.globalState.GetBoolean(0));

    // A template: a new plan with its default lights and sky, and the house of the
    // wizard's answers built in it, which makes the plan modified.
    content.Serve("/wizard/square.xml",
                  "<planXML><shapeData><shape type='square'/></shapeData>"
                  "<wallIntTex value='paint.png'/></planXML>");
    platform::ScopedBstr templateAddress("wizard/square.xml");
    EXPECT_EQ(control.OpenXMLTemplate(templateAddress.Get()), platform::S_OK);
    EXPECT_EQ(content.Requests("/wizard/square.xml"), 1);
    EXPECT_EQ(control.wallState.GetString(6), content.Domain() + "paint.png");
    EXPECT_EQ(Count<Model>(), 0) << "the old plan went";
    EXPECT_EQ(Count<Wall>(), 4);
    EXPECT_EQ(Lights(false).size(), 1u);
    EXPECT_EQ(Lights(true).size(), 1u);
    EXPECT_TRUE(control.globalState.GetBoolean(0));
    EXPECT_TRUE(control.loadFinished) << "the wait screen ends";
    // The new plan put the main window in the window list, which owns its windows; the
    // fixture's window is not the list's to free.
    control.GetWindowList()->Remove(&window);
}

TEST_F(EditingMembersNetTest, WebPlansAreFetchedAndLoaded) {
    // A plan of two models on the server.
    KeyDataList plan;
    for (double x : {0.0, 70.0}) {
        KeyDataList* model = plan.AddSublist("Model");
        Vector(x, 0.0, 0.0).WriteChild(*model, "Position");
    }
    TempFolder folder;
    const std::string stream = folder.Path() + "web.kvu";
    FILE* file = std::fopen(stream.c_str(), "wb");
    ASSERT_TRUE(file && plan.WriteBinary(file));
    std::fputc(kPlanStreamEnd, file);
    std::fclose(file);
    const std::string cabinet = folder.Path() + "web.kvp";
    const char* files[] = {stream.c_str()};
    ASSERT_TRUE(CreateCabinet(1, files, cabinet.c_str()));
    FILE* packed = std::fopen(cabinet.c_str(), "rb");
    std::string bytes;
    for (int c; (c = std::fgetc(packed)) != EOF;) bytes.push_back(static_cast<char>(c));
    std::fclose(packed);
    content.Serve("/plans/web.kvp", bytes);

    // The first address waits for the end of the wait screen (WM_USER+5), the next opens
    // at once.
    AddModel(500.0);
    platform::ScopedBstr address("plans/web.kvp");
    EXPECT_EQ(control.LoadWebPlan(address.Get()), platform::S_OK);
    EXPECT_EQ(content.Requests("/plans/web.kvp"), 0);
    control.WindowProc(platform::kNoWindow, CDuzazododiza::kMsgOpenBufferedFile, 0, 0);
    EXPECT_STREQ(control.bufferedFileName, "Done");
    control.CancelAndJoinWorkers();
    EXPECT_EQ(content.Requests("/plans/web.kvp"), 1);
    EXPECT_EQ(Count<Model>(), 2) << "the web plan replaced the scene";
    EXPECT_EQ(boxes, std::vector<std::string>{"Confirm"});

    // The next address opens at once, but only once the render loop has ended the wait
    // screen of the last load and drawn after it. The plan is the same one, opened again
    // because it was changed, without saving the change.
    AddModel(600.0);
    control.globalState.SetBoolean(0, true);
    answer = platform::MessageAnswer::No;
    EXPECT_EQ(control.LoadWebPlan(address.Get()), platform::S_OK);
    control.CancelAndJoinWorkers();
    EXPECT_EQ(Count<Model>(), 3) << "still behind the wait screen";
    control.loading = 0;
    control.waitScreenLevel = 0.0;
    control.passAfterLoad = 1;
    EXPECT_EQ(control.LoadWebPlan(address.Get()), platform::S_OK);
    control.CancelAndJoinWorkers();
    EXPECT_EQ(Count<Model>(), 2);
}

TEST_F(EditingMembersNetTest, MembersWithoutTheirToolsSayNotImplemented) {
    using Member = platform::HRESULT (CDuzazododiza::*)();
    for (Member member : {&CDuzazododiza::GetNewDefaultTextFont})
        EXPECT_EQ((control.*member)(), platform::E_NOTIMPL);
    // Their commands are not handled, so they reach the page.
    for (uint32_t id : {708u}) EXPECT_EQ(control.HandleCommand(id), 0u) << id;
    // The clipboard's commands are handled.
    for (uint32_t id : {204u, 205u, 206u}) EXPECT_EQ(control.HandleCommand(id), 1u) << id;
    // The dimension fonts are set (command 237).
    EXPECT_EQ(control.SetAllDimensionFonts(), platform::S_OK);
    EXPECT_EQ(control.HandleCommand(237), 1u);
    // The tape measure's commands: a chalk line where the active window's tape lies, and
    // all chalk lines erased.
    control.tapeMeasure.window = control.activeWindow;
    control.tapeMeasure.SetStart(Vector(0, 0, 0));
    control.tapeMeasure.SetEnd(Vector(24, 0, 0));
    EXPECT_NE(control.HandleCommand(709u), 0u);
    EXPECT_EQ(control.extraList.GetCount(), control.activeWindow ? 1 : 0);
    EXPECT_NE(control.HandleCommand(32811u), 0u);
    EXPECT_EQ(control.extraList.GetCount(), 0);
    control.tapeMeasure.Reset();
}

}  // namespace

namespace {

TEST_F(EditingMembersNetTest, ExitClosesTheHostWindowUnlessTheUserCancels) {
    int closes = 0;
    platform::WindowCreateInfo hostInfo;
    hostInfo.proc = [&](platform::WindowHandle w, uint32_t m, platform::WParam wp,
                        platform::LParam lp) -> platform::LResult {
        if (m == platform::WM_CLOSE) {
            ++closes;
            return 0;
        }
        return platform::DefaultWindowProc(w, m, wp, lp);
    };
    const platform::WindowHandle host = platform::CreateWindow(hostInfo);
    platform::WindowCreateInfo own;
    own.parent = host;
    control.AttachWindowForTesting(platform::CreateWindow(own));

    // A changed plan asks first; Cancel keeps the host open.
    control.globalState.SetBoolean(0, true);
    answer = platform::MessageAnswer::Cancel;
    EXPECT_EQ(control.HandleCommand(190), 1u);
    platform::PumpUntilIdle();
    EXPECT_EQ(closes, 0);
    answer = platform::MessageAnswer::No;
    EXPECT_EQ(control.HandleCommand(190), 1u);
    platform::PumpUntilIdle();
    EXPECT_EQ(closes, 1);

    control.AttachWindowForTesting(platform::kNoWindow);
    platform::DestroyWindow(host);
}

}  // namespace
