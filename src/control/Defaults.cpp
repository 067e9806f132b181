#include "control/Defaults.h"

#include <cmath>
#include <initializer_list>
#include <string>

#include "control/BaseControl.h"
#include "foundation/Registry.h"
#include "foundation/Trace.h"

namespace {

const char kTextFolder[] = "defaults\\text\\";
const char kProbeFolder[] = "oglSettings\\";
const Vector kSkyTop(0.514, 0.776, 1.0);
const Vector kSkyHorizon(0.298, 0.58, 1.0);

// The full address of a content path.
std::string ContentAddress(const BaseControl& control, const char* path) {
    return std::string(control.GetContentDomain()) + "/" + path;
}

void SetContentString(BaseControl& control, BaseParameterState& state, int i, const char* path) {
    state.SetString(i, ContentAddress(control, path).c_str());
}

void SetIntegers(BaseParameterState& state, int first, int last, int32_t value) {
    for (int i = first; i <= last; ++i) state.SetInteger(i, value);
}

void SetDoubles(BaseParameterState& state, int first, int last, double value) {
    for (int i = first; i <= last; ++i) state.StoreFactoryDouble(i, value);
}

void SetVectors(BaseParameterState& state, int first, int last, const Vector& value) {
    for (int i = first; i <= last; ++i) state.SetVector(i, value);
}

// Colours, textures and offsets that every slab kind starts from.
void SetSlabBasics(BaseParameterState& state, int lastInteger) {
    SetIntegers(state, 0, lastInteger, 255);
    SetDoubles(state, 6, 8, 0.0);
    SetVectors(state, 3, 5, Vector(0.0, 0.0, 0.0));
}

const char* const kFenceModels[10] = {
    "3d/fences/deck/dkblsq/dkblsq4x42.3c_",       "3d/fences/deck/slabdeck/slabdeck36.3c_",
    "3d/fences/picket/pktsprsq/pktsprsq3x42.3c_", "3d/fences/picket/wavepkt/wavepkt36.3c_",
    "3d/fences/ranch/squaresq/squaresq3x38.3c_",  "3d/fences/ranch/ranch3r/ranch3r36.3c_",
    "3d/fences/picket/pktsprsq/pktsprsq3x66.3c_", "3d/fences/privacy/meshtopprv/meshtopprv60.3c_",
    "3d/fences/wrghtiron/ballsq/ballsq2x62.3c_",  "3d/fences/wrghtiron/ovation/ovation60.3c_",
};

void SetFactoryValues(BaseControl& c) {
    FloorState& floor = c.floorState;
    floor.StoreFactoryDouble(0, 10.0);
    SetContentString(c, floor, 0, "textures/formica/greystone4790.3c_");
    SetContentString(c, floor, 1, "textures/stuccoplaster/stucco02a.3c_");
    SetContentString(c, floor, 2, "textures/stuccoplaster/stucco02a.3c_");
    SetSlabBasics(floor, 8);

    WallState& wall = c.wallState;
    wall.StoreFactoryDouble(5, 108.0);
    wall.StoreFactoryDouble(9, 8.0);
    wall.StoreFactoryDouble(10, 4.0);
    for (int i = 6; i <= 8; ++i) SetContentString(c, wall, i, "textures/default_interior.3c_");
    for (int i = 9; i <= 11; ++i) SetContentString(c, wall, i, "textures/brick/bostonred_r_im.3c_");
    SetSlabBasics(wall, 17);

    RoofState& roof = c.roofState;
    roof.StoreFactoryDouble(0, 6.0);
    roof.StoreFactoryDouble(4, -1.0);
    SetContentString(c, roof, 0, "textures/stuccoplaster/stucco02.3c_");
    SetContentString(c, roof, 1, "textures/bruce/roofing_102_im.3c_");
    SetContentString(c, roof, 2, "textures/siding/abtco_05brw.3c_");
    SetSlabBasics(roof, 8);

    CounterState& counter = c.counterState;
    counter.StoreFactoryDouble(4, 1.0);
    counter.StoreFactoryDouble(0, 1.5);
    counter.StoreFactoryDouble(9, 6.0);
    for (int i = 0; i <= 2; ++i) SetContentString(c, counter, i, "textures/default_counter.3c_");
    SetSlabBasics(counter, 8);

    for (int i = 0; i < 10; ++i) SetContentString(c, c.fenceState, i, kFenceModels[i]);

    c.columnState.StoreFactoryDouble(0, 6.0);
    c.columnState.StoreFactoryDouble(1, 12.0);
    c.columnState.StoreFactoryDouble(2, 0.0);

    CoveringState& covering = c.coveringState;
    SetContentString(c, covering, 0, "textures/default_covering.3c_");
    covering.StoreFactoryDouble(0, 1.0);
    covering.SetBoolean(0, false);
    SetIntegers(covering, 0, 2, 255);

    // The fog state keeps the defaults it was made with.

    GlobalState& g = c.globalState;
    g.SetString(0, "Untitled");
    for (int i : {1, 2, 7, 9, 21, 22, 24, 25, 28, 30}) g.SetBoolean(i, false);
    for (int i : {3, 4, 5, 6, 10, 12, 13, 20, 34, 35, 36}) g.SetBoolean(i, true);
    g.StoreFactoryDouble(0, 36.0);
    g.StoreFactoryDouble(1, 72.0);
    g.StoreFactoryDouble(3, 0.1);
    g.StoreFactoryDouble(11, 36.0);
    g.StoreFactoryDouble(12, -1.0);
    g.StoreFactoryDouble(14, 0.0);
    g.SetInteger(2, 6);
    g.SetInteger(7, 1);
    g.SetInteger(10, 0);
    g.SetInteger(11, 0);
    g.SetString(3, "");
    g.SetVector(0, kSkyTop);
    g.SetVector(1, kSkyHorizon);

    BaseMoldingState& molding = c.baseMoldingState;
    molding.StoreFactoryDouble(0, 1.0);
    molding.StoreFactoryDouble(1, 1.0);
    molding.SetInteger(0, 1);
    molding.SetBoolean(0, true);
    SetContentString(c, molding, 0, "3d/compressedfileformat/gtemp/molding/molding.ge_");
}

// A value of the probe's folder: present and finite.
bool ReadProbeValue(const char* name, double* value) {
    return RegistryGetDouble(kProbeFolder, name, value) && std::isfinite(*value);
}

// A depth-map side from the probe, kept as the preferences keep it: within 16..4096 and
// a power of two.
int32_t DepthMapSide(double value) {
    const double side = std::fmin(std::fmax(value, 16.0), 4096.0);
    return static_cast<int32_t>(std::exp2(std::floor(std::log2(side) + 0.5)));
}

}  // namespace

TextDefaults& theTextDefaults() {
    static TextDefaults* defaults = new TextDefaults;
    return *defaults;
}

void SetFactoryDefaults(BaseControl& c) {
    SetFactoryValues(c);
    LoadStoredDefaults(c);

    c.wallState.SetBoolean(9, false);
    c.wallState.SetBoolean(8, true);
    c.floorState.StoreFactoryDouble(9, 0.0);
    c.floorState.StoreFactoryDouble(4, c.floorState.GetDouble(9));
    GlobalState& g = c.globalState;
    g.SetInteger(5, 1024);
    g.SetInteger(6, 1024);
    for (int i : {26, 27, 29, 11, 33}) g.SetBoolean(i, false);
    g.StoreFactoryDouble(13, 240.0);
    g.StoreFactoryDouble(15, 0.0);
    for (int i = 0; i < 4; ++i) g.StoreFactoryDouble(4 + i, g.GetDouble(17 + i));
    g.SetString(4, ContentAddress(c, "textures/plastics/whiteplasticmat.3c_").c_str());
}

void LoadStoredDefaults(BaseControl& c) {
    double returnUser = 0.0;
    RegistryGetDouble("", "returnUser", &returnUser);
    if (returnUser != 0.0) c.lowFrameRateWarningEnabled = 0;
    RegistrySetDouble("", "returnUser", 1.0);

    for (BaseParameterState* state : std::initializer_list<BaseParameterState*>{
             &c.globalState, &c.counterState, &c.floorState, &c.wallState, &c.roofState,
             &c.fenceState, &c.coveringState, &c.baseMoldingState})
        state->LoadFromRegistry();

    TextDefaults& text = theTextDefaults();
    char name[BaseControl::kPathSize];
    if (RegistryGetString(kTextFolder, "fontName", name, sizeof name)) text.fontName = name;
    double value = 0.0;
    if (RegistryGetDouble(kTextFolder, "fontSize", &value)) text.fontSize = value;
    if (RegistryGetDouble(kTextFolder, "fontRed", &value)) text.red = value;
    if (RegistryGetDouble(kTextFolder, "fontGreen", &value)) text.green = value;
    if (RegistryGetDouble(kTextFolder, "fontBlue", &value)) text.blue = value;

    c.globalState.SetVector(0, kSkyTop);
    c.globalState.SetVector(1, kSkyHorizon);
}

void SaveDefaults(BaseControl& c) {
    for (const BaseParameterState* state : std::initializer_list<const BaseParameterState*>{
             &c.globalState, &c.counterState, &c.floorState, &c.wallState, &c.roofState,
             &c.baseMoldingState})
        state->SaveToRegistry();
    const TextDefaults& text = theTextDefaults();
    RegistrySetString(kTextFolder, "fontName", text.fontName.c_str());
    RegistrySetDouble(kTextFolder, "fontSize", text.fontSize);
    RegistrySetDouble(kTextFolder, "fontRed", text.red);
    RegistrySetDouble(kTextFolder, "fontGreen", text.green);
    RegistrySetDouble(kTextFolder, "fontBlue", text.blue);
}

void ResetToDefaults(BaseControl& c) {
    for (const BaseParameterState* state : std::initializer_list<const BaseParameterState*>{
             &c.globalState, &c.wallState, &c.floorState, &c.roofState, &c.counterState,
             &c.fenceState, &c.coveringState, &c.baseMoldingState})
        state->DeleteRegistryFolder();
    RegistryDeleteKey("defaults");
    RegistryDeleteKey("Recent Files\\");

    GlobalState& g = c.globalState;
    const int32_t toolbarWidth = g.GetInteger(2);
    const int32_t toolbarHeight = g.GetInteger(3);
    SetFactoryDefaults(c);
    g.SetInteger(2, toolbarWidth);
    g.SetInteger(3, toolbarHeight);
    g.SetInteger(8, g.GetInteger(5));
    g.SetInteger(9, g.GetInteger(6));
    for (int i = 0; i < 4; ++i) g.StoreFactoryDouble(4 + i, g.GetDouble(17 + i));
}

bool ReadProbeSettings(BaseControl& c) {
    GlobalState& g = c.globalState;
    bool complete = true;
    double value = 0.0;

    double dynamicShadow = 0.0;
    const bool haveShadow = ReadProbeValue("dynamicShadow", &dynamicShadow);
    if (haveShadow)
        g.SetBoolean(13, dynamicShadow != 0.0);
    else
        complete = false;

    const char* const sides[2] = {"maxDepth", "maxHeight"};
    for (int k = 0; k < 2; ++k) {
        if (ReadProbeValue(sides[k], &value))
            g.SetInteger(8 + k, DepthMapSide(value));
        else
            complete = false;
    }

    const char* const offsets[4] = {"depthFactor", "depthUnits", "offsetFactor", "offsetUnits"};
    for (int k = 0; k < 4; ++k) {
        if (ReadProbeValue(offsets[k], &value))
            g.SetDouble(17 + k, value);
        else
            complete = false;
    }

    if (haveShadow) {
        if (dynamicShadow != 0.0)
            g.SetBoolean(10, true);
        else if (ReadProbeValue("sglPass", &value))
            g.SetBoolean(10, value != 0.0);
        else
            complete = false;
    }
    return POSTCONDITION(complete, "Reading gearscout settings failed");
}
