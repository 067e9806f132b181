// The exports of the splash library.
#include "foundation/FileVersionMark.h"
#include "introcard/KVRSplash.h"
#include "platform/ComponentRegistration.h"

// The installer compares this with the server's version before it fetches the splash.
KIVORA_FILE_VERSION_MARK("1,0,0,3")

KIVORA_SINGLE_CLASS_EXPORTS(KVRSplash, kClsidKVRSplash, kProgIdKVRSplash, "KVRSplash Class")
