#include "foundation/Version.h"

const char* ComponentName() {
    return "Duzazododiza";
}
const char* ComponentVersion() {
    return KIVORA_EDITOR_VERSION;
}
