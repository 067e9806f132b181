#include "foundation/Version.h"

const char* ComponentName() { return "Duzazododiza"; }
const char* ComponentVersion() { return "1,1,0,48"; }
