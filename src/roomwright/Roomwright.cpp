#include "control/BaseControl.h"
#include "control/Duzazododiza.h"
#include "foundation/FileVersionMark.h"
#include "foundation/Version.h"

// The installer compares this with the server's version before it fetches the editor.
KIVORA_FILE_VERSION_MARK(KIVORA_EDITOR_VERSION)

// The library may be unloaded once no control lives in the process.
extern "C" platform::HRESULT DllCanUnloadNow() {
    return theControl() ? platform::S_FALSE : platform::S_OK;
}
