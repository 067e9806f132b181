#pragma once

// Name and version of the editor component, as written into the trace log header
// and the component registration.
// The editor's version as text; also stated in the editor library's file.
#define KIVORA_EDITOR_VERSION "1,1,0,48"

const char* ComponentName();     // "Duzazododiza"
const char* ComponentVersion();  // "1,1,0,48"
