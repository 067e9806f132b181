#pragma once

#include "foundation/BaseParameterState.h"

// The editor's general settings and preferences (units, display switches, auto-save,
// status text, sky colours ...). Written into plans whole; a plan gives back only its
// vectors and the north angle (double 15), so the user's other preferences stay.
class GlobalState : public BaseParameterState {
public:
    GlobalState();

    const char* GetRegistryPath() const override { return "defaults\\global\\"; }
    const char* GetElementName() const override { return "globalState"; }
    void ReadKeyData(KeyDataList& list) override;

    // Integer 4 takes only 1000, 1001 or 1002; every slot but 10 and 11 refuses values
    // below 1.
    bool SetInteger(int i, int32_t value) override;
    // Doubles 0-3, 12 and 13 take only values above 0.
    bool SetDouble(int i, double value) override;

    // The auto-save interval (integer 7) in minutes, kept within 1..120.
    int AutoSaveMinutes() const;
};
