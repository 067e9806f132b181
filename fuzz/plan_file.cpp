// Feeds arbitrary bytes to the plan-stream reader, then to what an open does with a plan
// before any object is made: the download count, the dropped-plan count and the states
// read in place. A stream read as whole must write back and read as whole again. The
// walls, stairs, fences, texts, dimensions, floors, counters, roofs and terrain of the
// plan are then made by the control's loader, written and dropped again.
#include <strings.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "building/Fence.h"
#include "building/Stairs.h"
#include "building/Terrain.h"
#include "building/Wall.h"
#include "control/BaseControl.h"
#include "control/PlanFiles.h"
#include "control/SceneState.h"
#include "foundation/GlobalState.h"
#include "foundation/KeyDataList.h"
#include "foundation/LightState.h"
#include "foundation/SlabState.h"
#include "foundation/ViewState.h"
#include "interaction/Dimension.h"
#include "interaction/Text.h"

namespace {

bool ReadStream(const uint8_t* data, size_t size, KeyDataList& list) {
    FILE* file = fmemopen(const_cast<uint8_t*>(data), size, "rb");
    if (!file) std::abort();
    const bool whole = ReadPlanStream(file, list);
    std::fclose(file);
    return whole;
}

void ReadStates(KeyDataList& plan) {
    GlobalState global;
    FloorState floor;
    FogState fog;
    ViewState view;
    RenderState render;
    SceneState scene;
    for (BaseKeyDataElement* m = plan.GetFirstMember(); m; m = m->GetNextMember()) {
        if (m->IsElement()) continue;
        KeyDataList& keys = *static_cast<KeyDataSublist*>(m)->GetChildren();
        const char* name = m->GetName();
        if (strcasecmp(name, "globalState") == 0) global.ReadKeyData(keys);
        if (strcasecmp(name, "FloorState") == 0) floor.ReadKeyData(keys);
        if (strcasecmp(name, "FogState") == 0) fog.ReadKeyData(keys);
        if (strcasecmp(name, "ViewState") == 0) view.ReadKeyData(keys);
        if (strcasecmp(name, "RenderState") == 0) render.ReadKeyData(keys);
        if (strncasecmp(name, "SceneState", 10) == 0) scene.ReadKeyData(keys);
    }
}

// A control with no window, as the loader needs one for the scene.
class FuzzControl : public BaseControl {
public:
    void ShowMainProgress(bool, intptr_t) override {}
    void SetStatusText(const char*) override {}
    void SetProgressDetail(double, intptr_t) override {}
    void PostHostMessage(uint32_t) override {}
    void QueryUserStatus() override {}
};

BaseControl& Control() {
    // Made once and kept for the whole run.
    static BaseControl* control = new FuzzControl;
    return *control;
}

// The elements the loader makes from a plan.
bool IsMadeElement(const char* name) {
    for (const char* kind : {"Wall", "Floor", "Counter", "RoofGroup", "Roof", "Terrain", "Stairs", "Fence",
                             "Column", "Text", "Dimension"})
        if (strcasecmp(name, kind) == 0) return true;
    return false;
}

void MakeElements(KeyDataList& plan) {
    BaseControl& control = Control();
    if (!control.terrain) control.terrain = new Terrain;
    for (BaseKeyDataElement* m = plan.GetFirstMember(); m; m = m->GetNextMember()) {
        if (m->IsElement() || !IsMadeElement(m->GetName())) continue;
        const char* kind = m->GetName();
        KeyDataList& keys = *static_cast<KeyDataSublist*>(m)->GetChildren();
        // A fence's or column's models would be fetched from the addresses they name: it is
        // made without its parts (the model and molding readers have targets of their own).
        if (strcasecmp(kind, "Fence") == 0 || strcasecmp(kind, "Column") == 0) {
            KeyDataList* parts = keys.TakeSublist("fencePartsList");
            if (parts != KeyDataList::SharedEmpty()) delete parts;
        }
        control.LoadPlanObjects(*static_cast<KeyDataSublist*>(m));
    }
    for (LinkedListObject* node = control.scene.GetHead(); node; node = node->GetNext()) {
        auto* object = dynamic_cast<UndoableObject*>(node);
        if (!object) std::abort();
        object->WriteKeyData();
        delete object->TakeWrittenElement();
    }
    control.terrain->WriteKeyData();
    delete control.terrain->TakeWrittenElement();
    control.scene.DeleteAll();
    control.terrain->Reset(false);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    KeyDataList plan;
    const bool whole = ReadStream(data, size, plan);
    if (BaseControl::CountDownloads(plan) < 0) std::abort();
    const PlanContents contents = CountPlanContents(plan);
    if (contents.counted < 0) std::abort();
    if (whole) {
        char* bytes = nullptr;
        size_t length = 0;
        FILE* out = open_memstream(&bytes, &length);
        if (!out || !plan.WriteBinary(out) || std::fputc(kPlanStreamEnd, out) == EOF) std::abort();
        std::fclose(out);
        KeyDataList again;
        if (!ReadStream(reinterpret_cast<const uint8_t*>(bytes), length, again)) std::abort();
        std::free(bytes);
    }
    ReadStates(plan);
    MakeElements(plan);
    return 0;
}
