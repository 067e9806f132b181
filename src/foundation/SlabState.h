#pragma once

#include "foundation/BaseParameterState.h"

// Defaults shared by the slab kinds (walls, floors, roofs, countertops): thickness
// (double 0) and heights above 0, offsets (doubles 1-3) not negative, and vectors 0-2
// with a positive x.
class SlabState : public BaseParameterState {
public:
    bool SetDouble(int i, double value) override;
    bool SetVector(int i, const Vector& value) override;

protected:
    // Booleans 0 and 1 start false, 2-7 true; doubles 1..`lastZeroDouble` start at 0.
    SlabState(const ParameterSlotCounts& counts, int lastZeroDouble);
};

class WallState : public SlabState {
public:
    WallState();
    const char* GetRegistryPath() const override { return "defaults\\wall\\"; }
    // Doubles 9 and 10 (exterior and interior thickness) take only values above 0.
    bool SetDouble(int i, double value) override;
};

// Written into plans with the ground elevation (double 9) only.
class FloorState : public SlabState {
public:
    FloorState();
    const char* GetRegistryPath() const override { return "defaults\\floor\\"; }
    const char* GetElementName() const override { return "FloorState"; }
    void WriteKeyData() override;
    void ReadKeyData(KeyDataList& list) override;
    // Double 9 (ground elevation) refuses negative values.
    bool SetDouble(int i, double value) override;
};

class RoofState : public SlabState {
public:
    RoofState();
    const char* GetRegistryPath() const override { return "defaults\\roof\\"; }
};

class CounterState : public SlabState {
public:
    CounterState();
    const char* GetRegistryPath() const override { return "defaults\\counter\\"; }
    // Double 9 (backsplash height) takes only values above 0.
    bool SetDouble(int i, double value) override;
};
