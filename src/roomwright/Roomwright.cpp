#include "control/BaseControl.h"
#include "control/Duzazododiza.h"

// The library may be unloaded once no control lives in the process.
extern "C" platform::HRESULT DllCanUnloadNow() {
    return theControl() ? platform::S_FALSE : platform::S_OK;
}
