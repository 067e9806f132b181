// The exports of the web pane library.
#include "pagepane/KVRPagepane.h"
#include "platform/ComponentRegistration.h"

KIVORA_SINGLE_CLASS_EXPORTS(KVRPagepane, kClsidKVRPagepane, kProgIdKVRPagepane,
                            "KVRPagepane Class")
