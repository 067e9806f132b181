#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <thread>

#include "foundation/BaseMoldingState.h"
#include "foundation/ColumnState.h"
#include "foundation/CoveringState.h"
#include "foundation/FenceState.h"
#include "foundation/GlobalState.h"
#include "foundation/KeyDataList.h"
#include "foundation/LightState.h"
#include "foundation/Registry.h"
#include "foundation/SlabState.h"
#include "foundation/StairState.h"
#include "foundation/TextState.h"
#include "foundation/ViewState.h"
#include "support/TempFolder.h"

namespace {

using StatePtr = std::unique_ptr<BaseParameterState>;

struct StateKind {
    const char* name;
    std::function<StatePtr()> make;
    ParameterSlotCounts counts;  // booleans, integers, doubles, strings, vectors, int64s
    const char* registryPath;
    const char* elementName;
};

template <class T>
StatePtr Make() {
    return std::make_unique<T>();
}

const std::vector<StateKind>& Kinds() {
    static const std::vector<StateKind> kinds = {
        {"Global", Make<GlobalState>, {38, 12, 21, 5, 2, 0}, "defaults\\global\\", "globalState"},
        {"Wall", Make<WallState>, {10, 18, 11, 18, 6, 0}, "defaults\\wall\\", nullptr},
        {"Floor", Make<FloorState>, {8, 9, 10, 6, 6, 0}, "defaults\\floor\\", "FloorState"},
        {"Roof", Make<RoofState>, {8, 9, 9, 6, 6, 0}, "defaults\\roof\\", nullptr},
        {"Counter", Make<CounterState>, {8, 9, 10, 6, 6, 0}, "defaults\\counter\\", nullptr},
        {"Molding", Make<BaseMoldingState>, {1, 1, 2, 1, 0, 0}, "defaults\\baseMolding\\", nullptr},
        {"Column", Make<ColumnState>, {3, 0, 3, 0, 0, 0}, "defaults\\column\\", nullptr},
        {"Covering", Make<CoveringState>, {1, 3, 1, 1, 1, 0}, "defaults\\covering\\", nullptr},
        {"Fence", Make<FenceState>, {0, 1, 0, 10, 0, 0}, "defaults\\fences\\", nullptr},
        {"Fog", Make<FogState>, {1, 4, 3, 0, 0, 0}, "", "FogState"},
        {"Light", Make<LightState>, {1, 4, 4, 0, 0, 0}, "defaults\\lights\\", nullptr},
        {"Render", Make<RenderState>, {14, 1, 0, 0, 0, 2}, "defaults\\render\\", "RenderState"},
        {"Stair", Make<StairState>, {8, 1, 7, 4, 0, 0}, "defaults\\stairs\\", nullptr},
        {"Text", Make<TextState>, {0, 1, 0, 1, 0, 0}, "", nullptr},
        {"View", Make<ViewState>, {0, 0, 1, 0, 3, 0}, "", "ViewState"},
    };
    return kinds;
}

StatePtr MakeState(const std::string& name) {
    for (const auto& kind : Kinds())
        if (name == kind.name) return kind.make();
    ADD_FAILURE() << "no state " << name;
    return nullptr;
}

// Slot kinds of the tables below. A vector slot is read and written through its x (and,
// when written, y and z take the same value).
enum Kind { B, I, D, L, V };

double Read(const BaseParameterState& s, Kind kind, int i) {
    switch (kind) {
        case B:
            return s.GetBoolean(i) ? 1.0 : 0.0;
        case I:
            return s.GetInteger(i);
        case D:
            return s.GetDouble(i);
        case L:
            return double(s.GetInt64(i));
        case V:
            return s.GetVector(i).x;
    }
    return 0.0;
}

bool Write(BaseParameterState& s, Kind kind, int i, double value) {
    switch (kind) {
        case B:
            return s.SetBoolean(i, value != 0.0);
        case I:
            return s.SetInteger(i, int32_t(value));
        case D:
            return s.SetDouble(i, value);
        case L:
            return s.SetInt64(i, uint64_t(value));
        case V:
            return s.SetVector(i, Vector(value, value, value));
    }
    return false;
}

// Gives every slot of a state a value that differs from its default and that its setters
// take, so that round trips show each slot.
void FillDistinct(BaseParameterState& s) {
    const ParameterSlotCounts c = s.Counts();
    for (int i = 0; i < c.booleans; ++i) s.SetBoolean(i, !s.GetBoolean(i));
    for (int i = 0; i < c.integers; ++i)
        if (!s.SetInteger(i, 1001 + i % 2)) s.SetInteger(i, 1);
    for (int i = 0; i < c.doubles; ++i)
        if (!s.SetDouble(i, 7.25 + i)) s.SetDouble(i, 0.5);
    for (int i = 0; i < c.int64s; ++i) s.SetInt64(i, (uint64_t(1) << 63) + i);
    for (int i = 0; i < c.strings; ++i) s.SetString(i, ("text " + std::to_string(i)).c_str());
    for (int i = 0; i < c.vectors; ++i) s.SetVector(i, Vector(1.5 + i, 2.5, -3.5));
}

void ExpectSameSlots(const BaseParameterState& a, const BaseParameterState& b, const char* name) {
    const ParameterSlotCounts c = a.Counts();
    for (int i = 0; i < c.booleans; ++i) EXPECT_EQ(a.GetBoolean(i), b.GetBoolean(i)) << name << i;
    for (int i = 0; i < c.integers; ++i) EXPECT_EQ(a.GetInteger(i), b.GetInteger(i)) << name << i;
    for (int i = 0; i < c.doubles; ++i) EXPECT_EQ(a.GetDouble(i), b.GetDouble(i)) << name << i;
    for (int i = 0; i < c.int64s; ++i) EXPECT_EQ(a.GetInt64(i), b.GetInt64(i)) << name << i;
    for (int i = 0; i < c.strings; ++i) EXPECT_EQ(a.GetString(i), b.GetString(i)) << name << i;
    for (int i = 0; i < c.vectors; ++i)
        EXPECT_TRUE(a.GetVector(i).Equals(b.GetVector(i))) << name << i;
}

}  // namespace

TEST(ParameterState, ShapesFoldersAndElements) {
    for (const auto& kind : Kinds()) {
        SCOPED_TRACE(kind.name);
        StatePtr s = kind.make();
        const ParameterSlotCounts c = s->Counts();
        EXPECT_EQ(c.booleans, kind.counts.booleans);
        EXPECT_EQ(c.integers, kind.counts.integers);
        EXPECT_EQ(c.doubles, kind.counts.doubles);
        EXPECT_EQ(c.strings, kind.counts.strings);
        EXPECT_EQ(c.vectors, kind.counts.vectors);
        EXPECT_EQ(c.int64s, kind.counts.int64s);
        EXPECT_STREQ(s->GetRegistryPath(), kind.registryPath);
        if (kind.elementName)
            EXPECT_STREQ(s->GetElementName(), kind.elementName);
        else
            EXPECT_EQ(s->GetElementName(), nullptr);
    }
}

TEST(ParameterState, ConstructorDefaultsAndZeroedSlots) {
    struct Case {
        const char* state;
        Kind kind;
        int slot;
        double expected;
    };
    const Case cases[] = {
        {"Global", B, 0, 0},       {"Global", B, 10, 1},    {"Global", B, 12, 1},
        {"Global", B, 14, 1},      {"Global", B, 22, 1},    {"Global", B, 23, 1},
        {"Global", B, 34, 1},      {"Global", B, 36, 1},    {"Global", B, 37, 0},
        {"Global", I, 0, 29},      {"Global", I, 5, 1024},  {"Global", I, 9, 1024},
        {"Global", I, 7, 0},       {"Global", D, 0, 36.0},  {"Global", D, 1, 72.0},
        {"Global", D, 2, 6.0},     {"Global", D, 3, 0.0},   {"Global", D, 4, -789.54},
        {"Global", D, 7, -789.54}, {"Global", D, 8, 0.5},   {"Global", D, 10, 1.0},
        {"Global", D, 11, 24.0},   {"Global", D, 12, -1.0}, {"Global", D, 17, 3.0},
        {"Global", D, 18, 10.0},   {"Global", D, 20, -3.0}, {"Global", V, 0, 0.0},
        {"Wall", B, 1, 0},         {"Wall", B, 2, 1},       {"Wall", B, 7, 1},
        {"Wall", B, 8, 0},         {"Wall", B, 9, 0},       {"Wall", D, 9, 0.0},
        {"Wall", I, 17, 0},        {"Floor", B, 7, 1},      {"Floor", D, 9, 0.0},
        {"Roof", B, 2, 1},         {"Counter", D, 9, 6.0},  {"Counter", D, 8, 0.0},
        {"Molding", I, 0, 1},      {"Molding", D, 0, 1.0},  {"Molding", D, 1, 1.0},
        {"Column", B, 2, 1},       {"Column", D, 0, 6.0},   {"Column", D, 1, 12.0},
        {"Column", D, 2, 6.0},     {"Covering", B, 0, 0},   {"Covering", D, 0, 1.0},
        {"Covering", I, 2, 0},     {"Fence", I, 0, 2},      {"Fog", B, 0, 0},
        {"Fog", I, 0, 2048},       {"Fog", I, 3, 255},      {"Fog", D, 0, 25.0},
        {"Fog", D, 2, 5000.0},     {"Light", B, 0, 1},      {"Light", I, 0, 256},
        {"Light", I, 1, 10},       {"Light", I, 2, 1024},   {"Light", I, 3, 1024},
        {"Light", D, 0, 24.0},     {"Light", D, 3, 0.8},    {"Render", B, 5, 0},
        {"Render", B, 8, 0},       {"Render", I, 0, 0},     {"Render", L, 1, 0},
        {"Stair", B, 7, 0},        {"Stair", D, 6, 0.0},    {"Text", I, 0, 10},
        {"View", D, 0, 50.0},      {"View", V, 2, 200.0},   {"View", V, 0, 0.0},
    };
    for (const Case& c : cases) {
        StatePtr s = MakeState(c.state);
        EXPECT_EQ(Read(*s, c.kind, c.slot), c.expected)
            << c.state << " kind " << c.kind << " slot " << c.slot;
    }
    ViewState view;
    EXPECT_EQ(view.GetVector(2).y, 0.0);
    EXPECT_EQ(view.GetVector(2).w, 1.0);
    EXPECT_EQ(TextState().GetString(0), "");
}

TEST(ParameterState, ValidatingSettersTakeOrRefuse) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        const char* state;
        Kind kind;
        int slot;
        double value;
        bool taken;
    };
    const Case cases[] = {
        {"Global", I, 4, 1001, true},    {"Global", I, 4, 999, false},
        {"Global", I, 4, 1003, false},   {"Global", I, 3, 0, false},
        {"Global", I, 10, 0, true},      {"Global", I, 11, -5, true},
        {"Global", I, 7, 500, true},     {"Global", D, 0, 0.0, false},
        {"Global", D, 3, nan, false},    {"Global", D, 12, -1.0, false},
        {"Global", D, 13, 0.1, true},    {"Global", D, 4, -2.0, true},
        {"Wall", D, 0, 0.0, false},      {"Wall", D, 1, 0.0, true},
        {"Wall", D, 3, -0.1, false},     {"Wall", D, 5, 0.0, false},
        {"Wall", D, 9, 0.0, false},      {"Wall", D, 10, 4.0, true},
        {"Wall", D, 6, -4.0, true},      {"Wall", V, 2, 0.0, false},
        {"Wall", V, 0, 1.0, true},       {"Wall", V, 3, -1.0, true},
        {"Floor", D, 9, 0.0, true},      {"Floor", D, 9, -1.0, false},
        {"Floor", D, 4, nan, false},     {"Roof", D, 2, nan, false},
        {"Counter", D, 9, 0.0, false},   {"Counter", D, 9, 4.0, true},
        {"Molding", I, 0, 0, false},     {"Molding", I, 0, 8, true},
        {"Molding", I, 0, 9, false},     {"Molding", D, 1, 0.0, false},
        {"Column", D, 1, 0.0, false},    {"Column", D, 2, 0.0, true},
        {"Column", D, 2, -1.0, false},   {"Covering", D, 0, 1.0, true},
        {"Covering", D, 0, 1.01, false}, {"Covering", D, 0, -0.01, false},
        {"Covering", D, 0, nan, false},  {"Covering", V, 0, 0.0, false},
        {"Fence", I, 0, 4, true},        {"Fence", I, 0, 5, false},
        {"Fence", I, 0, -1, false},      {"Fog", I, 0, 9729, true},
        {"Fog", I, 0, 9728, false},      {"Fog", I, 0, 2049, true},
        {"Fog", I, 1, 7, true},          {"Light", I, 2, -1, false},
        {"Light", I, 3, 0, true},        {"Light", D, 0, -1.0, false},
        {"Light", D, 0, 0.0, true},      {"Light", D, 1, -1.0, true},
        {"Render", I, 0, 3, false},      {"Render", I, 0, 4, true},
        {"Stair", I, 0, 2, false},       {"Stair", I, 0, 1, true},
        {"Stair", D, 2, 0.0, true},      {"Stair", D, 3, 0.0, false},
        {"Stair", D, 6, nan, false},     {"Text", I, 0, -3, true},
        {"View", V, 1, -90.0, true},
    };
    for (const Case& c : cases) {
        StatePtr s = MakeState(c.state);
        const double before = Read(*s, c.kind, c.slot);
        const bool taken = Write(*s, c.kind, c.slot, c.value);
        const double after = Read(*s, c.kind, c.slot);
        EXPECT_EQ(taken, c.taken) << c.state << " kind " << c.kind << " slot " << c.slot;
        if (c.taken)
            EXPECT_EQ(after, c.value) << c.state << " slot " << c.slot;
        else
            EXPECT_TRUE(after == before || (std::isnan(after) && std::isnan(before)))
                << c.state << " slot " << c.slot << " changed by a refused value";
    }

    CoveringState covering;
    EXPECT_FALSE(covering.SetVector(0, Vector(1.0, 0.0, 1.0))) << "y must be positive too";
    BaseMoldingState molding;
    EXPECT_TRUE(molding.SetString(0, "a.ge_"));
    EXPECT_FALSE(molding.SetString(0, ""));
    EXPECT_FALSE(molding.SetString(0, nullptr));
    EXPECT_EQ(molding.GetString(0), "a.ge_");
}

TEST(ParameterState, SlotIndexesOutsideTheCountsAreRefused) {
    GlobalState s;
    for (int i : {-1, 38, 1 << 30}) {
        EXPECT_FALSE(s.SetBoolean(i, true));
        EXPECT_FALSE(s.GetBoolean(i));
    }
    EXPECT_FALSE(s.SetInteger(12, 5));
    EXPECT_EQ(s.GetInteger(12), 0);
    EXPECT_FALSE(s.SetDouble(-1, 5.0));
    EXPECT_EQ(s.GetDouble(21), 0.0);
    EXPECT_FALSE(s.SetString(5, "x"));
    EXPECT_EQ(s.GetString(5), "");
    EXPECT_FALSE(s.SetVector(2, Vector(1, 2, 3)));
    EXPECT_TRUE(s.GetVector(2).Equals(Vector()));
    EXPECT_FALSE(s.SetInt64(0, 7)) << "the global state has no int64 slots";
    EXPECT_EQ(s.GetInt64(0), 0u);
}

TEST(ParameterState, StringsAreCutAt511AndReturnedAsCopies) {
    GlobalState s;
    const std::string longText(600, 'q');
    EXPECT_TRUE(s.SetString(2, longText.c_str()));
    EXPECT_EQ(s.GetString(2), std::string(511, 'q'));
    std::string copy = s.GetString(2);
    s.SetString(2, "short");
    EXPECT_EQ(copy.size(), 511u) << "a text handed out does not change with the slot";
    EXPECT_EQ(s.GetString(2), "short");
}

TEST(ParameterState, ElementTreeRoundTrips) {
    for (const auto& kind : Kinds()) {
        if (!kind.elementName) continue;
        SCOPED_TRACE(kind.name);
        StatePtr source = kind.make();
        FillDistinct(*source);
        source->WriteKeyData();
        std::unique_ptr<KeyDataSublist> element(source->TakeElement());
        ASSERT_NE(element, nullptr);
        EXPECT_EQ(source->TakeElement(), nullptr);

        StatePtr target = kind.make();
        target->ReadKeyData(*element->GetChildren());
        if (std::string(kind.name) == "Global") {
            // A plan gives back the vectors and the north angle only.
            StatePtr fresh = kind.make();
            EXPECT_EQ(target->GetDouble(15), source->GetDouble(15));
            EXPECT_EQ(target->GetDouble(0), fresh->GetDouble(0));
            EXPECT_EQ(target->GetBoolean(10), fresh->GetBoolean(10));
            EXPECT_EQ(target->GetString(0), fresh->GetString(0));
            EXPECT_TRUE(target->GetVector(1).Equals(source->GetVector(1)));
        } else if (std::string(kind.name) == "Floor") {
            StatePtr fresh = kind.make();
            EXPECT_EQ(target->GetDouble(9), source->GetDouble(9));
            EXPECT_EQ(target->GetDouble(0), fresh->GetDouble(0));
            EXPECT_EQ(element->GetChildren()->GetString("doubles0"), nullptr);
        } else {
            ExpectSameSlots(*source, *target, kind.name);
        }
    }
}

TEST(ParameterState, PlanStreamTakesTheElementWithItsInformation) {
    FogState fog;
    fog.SetBoolean(0, true);
    fog.SetInformationValue("note", "morning mist");
    SerializableObject& object = fog;
    object.WriteKeyData();
    FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    EXPECT_TRUE(object.AttachObjectInformation(file));
    EXPECT_EQ(fog.TakeElement(), nullptr) << "the written element is gone";
    EXPECT_FALSE(object.AttachObjectInformation(file)) << "nothing left to write";

    std::rewind(file);
    KeyDataList read;
    read.ReadBinary(file);
    std::fclose(file);
    KeyDataList* keys = read.GetSublist("FogState");
    EXPECT_STREQ(keys->GetString("booleans0"), "1.000000");
    EXPECT_STREQ(keys->GetSublist("ObjectInformation")->GetString("note"), "morning mist");

    FogState loaded;
    loaded.ReadKeyData(*keys);
    loaded.LoadInformation(*keys);
    EXPECT_TRUE(loaded.GetBoolean(0));
    EXPECT_STREQ(loaded.GetInformation()->GetString("note"), "morning mist");
}

TEST(ParameterState, ElementTextsAndMissingOrBadKeys) {
    RenderState render;
    render.SetBoolean(0, true);
    render.SetInt64(0, uint64_t(1) << 63);
    render.WriteKeyData();
    std::unique_ptr<KeyDataSublist> element(render.TakeElement());
    ASSERT_NE(element, nullptr);
    EXPECT_STREQ(element->GetChildren()->GetString("booleans0"), "1.000000");
    EXPECT_STREQ(element->GetChildren()->GetString("int64s0"), "9223372036854775808");
    EXPECT_STREQ(element->GetChildren()->GetString("integers0"), "0.000000");

    // Missing numbers become 0 through the setters; values the setters refuse, numbers
    // outside an integer's range and malformed 64-bit texts leave their slots alone.
    FogState fog;
    fog.SetBoolean(0, true);
    fog.SetDouble(1, 40.0);
    fog.SetInteger(2, 9);
    KeyDataList list;
    list.AddDouble("integers0", 9728);
    list.AddString("integers1", "1e20");
    list.AddString("integers2", "-3e9");
    list.AddDouble("doubles0", 12.5);
    fog.ReadKeyData(list);
    EXPECT_FALSE(fog.GetBoolean(0));
    EXPECT_EQ(fog.GetDouble(1), 0.0);
    EXPECT_EQ(fog.GetDouble(0), 12.5);
    EXPECT_EQ(fog.GetInteger(0), FogState::kExp);
    EXPECT_EQ(fog.GetInteger(1), 255);
    EXPECT_EQ(fog.GetInteger(2), 9);
    EXPECT_EQ(fog.GetInteger(3), 0);

    RenderState bad;
    bad.SetInt64(0, 5);
    bad.SetInt64(1, 6);
    KeyDataList texts;
    texts.AddString("int64s0", "-1");
    texts.AddString("int64s1", "18446744073709551616");
    bad.ReadKeyData(texts);
    EXPECT_EQ(bad.GetInt64(0), 5u);
    EXPECT_EQ(bad.GetInt64(1), 6u);

    // A missing north angle keeps the current one.
    GlobalState global;
    global.SetDouble(15, 33.0);
    KeyDataList empty;
    global.ReadKeyData(empty);
    EXPECT_EQ(global.GetDouble(15), 33.0);

    // States kept outside plans build no element.
    WallState wall;
    wall.WriteKeyData();
    EXPECT_EQ(wall.TakeElement(), nullptr);
}

TEST(ParameterState, CopyFromTakesSameShapeOnly) {
    WallState a, b;
    FillDistinct(a);
    EXPECT_TRUE(b.CopyFrom(a));
    ExpectSameSlots(a, b, "Wall");

    FloorState floor;
    const double before = floor.GetDouble(0);
    EXPECT_FALSE(floor.CopyFrom(a));
    EXPECT_EQ(floor.GetDouble(0), before);
    EXPECT_TRUE(a.CopyFrom(a));
}

TEST(ParameterState, CopyWhileAnotherThreadWritesSeesOneWholeState) {
    // The writer swaps the whole source between two fillings; every copy must show one of
    // them whole. Meanwhile two states are copied into each other from two threads, which
    // must not deadlock.
    StairState ones, twos, source, copy, left, right;
    for (int i = 0; i < 7; ++i) {
        ones.SetDouble(i, 1.0);
        twos.SetDouble(i, 2.0);
    }
    std::atomic<bool> stop{false};
    std::thread writer([&] {
        for (int n = 0; !stop; ++n) source.CopyFrom(n % 2 ? ones : twos);
    });
    std::thread crossLeft([&] {
        for (int n = 0; n < 2000; ++n) left.CopyFrom(right);
    });
    std::thread crossRight([&] {
        for (int n = 0; n < 2000; ++n) right.CopyFrom(left);
    });
    int mixed = 0;
    for (int n = 0; n < 2000; ++n) {
        copy.CopyFrom(source);
        const double first = copy.GetDouble(0);
        for (int i = 1; i < 7; ++i)
            if (copy.GetDouble(i) != first) ++mixed;
    }
    stop = true;
    writer.join();
    crossLeft.join();
    crossRight.join();
    EXPECT_EQ(mixed, 0);
}

TEST(ParameterState, LightStartsFromTheGlobalSettingsOfItsMoment) {
    GlobalState global;
    global.SetDouble(11, 45.0);
    global.SetInteger(5, 512);
    global.SetInteger(6, 256);
    LightState light(&global);
    global.SetDouble(11, 90.0);
    EXPECT_EQ(light.GetDouble(0), 45.0);
    EXPECT_EQ(light.GetInteger(2), 512);
    EXPECT_EQ(light.GetInteger(3), 256);
}

TEST(ParameterState, FogDefaultsAndAutoSaveMinutes) {
    FogState fog;
    FillDistinct(fog);
    fog.SetDefaults();
    ExpectSameSlots(fog, FogState(), "Fog");

    GlobalState global;
    for (auto [stored, used] : {std::pair{0, 1}, {1, 1}, {30, 30}, {120, 120}, {100000, 120}}) {
        global.SetInteger(7, stored);
        EXPECT_EQ(global.AutoSaveMinutes(), used) << stored;
    }
}

class ParameterStateRegistry : public ::testing::Test {
protected:
    ScopedRegistry registry;
};

TEST_F(ParameterStateRegistry, SaveAndLoadRoundTripEveryState) {
    for (const auto& kind : Kinds()) {
        SCOPED_TRACE(kind.name);
        StatePtr saved = kind.make();
        FillDistinct(*saved);
        saved->SaveToRegistry();
        StatePtr loaded = kind.make();
        loaded->LoadFromRegistry();
        ExpectSameSlots(*saved, *loaded, kind.name);
        if (kind.registryPath[0] != '\0') {
            EXPECT_TRUE(saved->DeleteRegistryFolder());
            StatePtr again = kind.make();
            again->LoadFromRegistry();
            ExpectSameSlots(*kind.make(), *again, kind.name);
        }
    }
}

TEST_F(ParameterStateRegistry, StoredFormsAndValuesThatAreNotTaken) {
    const char* folder = "defaults\\render\\";
    RenderState render;
    render.SetInt64(0, uint64_t(1) << 63);
    render.SaveToRegistry();
    char text[64] = "";
    ASSERT_TRUE(RegistryGetString(folder, "int64 0", text, sizeof text));
    EXPECT_STREQ(text, "9223372036854775808");
    double number = 0;
    EXPECT_TRUE(RegistryGetDouble(folder, "integer 0", &number));

    // An empty folder leaves every default; an empty text is not stored, so the
    // default stays at the next load.
    BaseMoldingState molding;
    molding.LoadFromRegistry();
    EXPECT_EQ(molding.GetInteger(0), 1);
    EXPECT_EQ(molding.GetString(0), "");
    molding.SaveToRegistry();
    EXPECT_FALSE(RegistryGetString("defaults\\baseMolding\\", "string 0", text, sizeof text));

    // Values from outside pass the setters; numbers that are no integer and texts that
    // are no 64-bit number are dropped; a vector needs all three of its numbers.
    const char* wall = "defaults\\wall\\";
    RegistrySetDouble(wall, "double 9", -2.0);
    RegistrySetDouble(wall, "double 5", 96.0);
    RegistrySetDouble(wall, "integer 3", 1e12);
    RegistrySetDouble(wall, "integer 4", std::numeric_limits<double>::infinity());
    RegistrySetDouble(wall, "integer 5", 7.9);
    RegistrySetDouble(wall, "boolean 2", 0.0);
    RegistrySetDouble(wall, "boolean 3", std::numeric_limits<double>::quiet_NaN());
    RegistrySetDouble(wall, "vector 30", 4.0);
    RegistrySetDouble(wall, "vector 31", 5.0);
    RegistrySetDouble(wall, "vector 40", 1.0);
    RegistrySetDouble(wall, "vector 41", 2.0);
    RegistrySetDouble(wall, "vector 42", 3.0);
    RegistrySetString(wall, "string 6", std::string(300, 'm').c_str());
    WallState state;
    state.SetInteger(3, 17);
    state.SetInteger(4, 18);
    state.LoadFromRegistry();
    EXPECT_EQ(state.GetDouble(9), 0.0);
    EXPECT_EQ(state.GetDouble(5), 96.0);
    EXPECT_EQ(state.GetInteger(3), 17);
    EXPECT_EQ(state.GetInteger(4), 18);
    EXPECT_EQ(state.GetInteger(5), 7);
    EXPECT_FALSE(state.GetBoolean(2));
    EXPECT_TRUE(state.GetBoolean(3));
    EXPECT_TRUE(state.GetVector(3).Equals(Vector()));
    EXPECT_TRUE(state.GetVector(4).Equals(Vector(1.0, 2.0, 3.0)));
    EXPECT_EQ(state.GetString(6), std::string(259, 'm'));

    RegistrySetString(folder, "int64 1", "12abc");
    RenderState junk;
    junk.SetInt64(1, 3);
    junk.LoadFromRegistry();
    EXPECT_EQ(junk.GetInt64(1), 3u);
    EXPECT_EQ(junk.GetInt64(0), uint64_t(1) << 63);
}

TEST_F(ParameterStateRegistry, StatesInTheProductKeyDeleteNothing) {
    RegistrySetDouble("", "keep", 1.0);
    FogState fog;
    fog.SaveToRegistry();
    EXPECT_FALSE(fog.DeleteRegistryFolder());
    double number = 0;
    EXPECT_TRUE(RegistryGetDouble("", "keep", &number));
    EXPECT_TRUE(RegistryGetDouble("", "integer 0", &number));
    EXPECT_EQ(number, 2048.0);
}
