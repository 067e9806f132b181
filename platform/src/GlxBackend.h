#pragma once

// OpenGL on the display's own OpenGL (GLX), behind platform/GLContext.h. Used when the
// display implementation runs and the server offers GLX 1.3 or later; otherwise the
// layer renders with OSMesa. All GLX calls go through one X connection of the GL
// side's own, apart from GTK's.

#include <cstdint>
#include <vector>

#include "platform/GLContext.h"
#include "platform/Messages.h"

namespace platform::glx {

// Whether GLX serves this process (decided once; KIVORA_NO_GLX=1 turns it off).
bool Available();

int FormatCount();
bool Describe(int index, PixelFormatDescription* out);

// Compatibility-profile contexts, sharing display lists with `share` when given.
void* CreateContext(int format, void* share);
void DestroyContext(void* context);

struct Surface;
// An off-screen buffer (pbuffer); null when the server refuses it.
Surface* CreateOffScreen(int format, int width, int height);
// A window's buffer: an X window of the format's visual inside the window's client
// area, made once the window is on the screen (a small off-screen buffer stands in
// until then, and after the window is gone).
Surface* CreateForWindow(int format, WindowHandle window, int width, int height);
void Resize(Surface* surface, int width, int height);
void Destroy(Surface* surface);

// Makes `context` current over the surface on the calling thread (null, null detaches).
bool MakeCurrent(void* context, Surface* surface);
void Swap(Surface* surface);
bool IsAnyCurrent();
void* ProcAddress(const char* name);
// Whether the window's buffer draws into the window by now.
bool OnScreen(Surface* surface);

}  // namespace platform::glx
