#pragma once

// Name and version of the editor component, as written into the trace log header
// and the component registration.
const char* ComponentName();     // "Duzazododiza"
const char* ComponentVersion();  // "1,1,0,48"
