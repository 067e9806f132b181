// The exports of the splash library.
#include "introcard/KVRSplash.h"
#include "platform/ComponentRegistration.h"

KIVORA_SINGLE_CLASS_EXPORTS(KVRSplash, kClsidKVRSplash, kProgIdKVRSplash, "KVRSplash Class")
