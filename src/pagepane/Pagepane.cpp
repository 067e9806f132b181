// The exports of the web pane library.
#include "foundation/FileVersionMark.h"
#include "pagepane/KVRPagepane.h"
#include "platform/ComponentRegistration.h"

// The installer compares this with the server's version before it fetches the pane.
KIVORA_FILE_VERSION_MARK("1,0,0,4")

KIVORA_SINGLE_CLASS_EXPORTS(KVRPagepane, kClsidKVRPagepane, kProgIdKVRPagepane,
                            "KVRPagepane Class")
