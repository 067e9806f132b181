#pragma once

// What the parts of the display implementation share among themselves.

#include <gtk/gtk.h>

#include <string>

#include "platform/Messages.h"

struct _XDisplay;

namespace platform::display {

// The virtual-key code of a key event (letters and digits by their upper-case ASCII
// code, whatever the shift state); 0 for keys the layer has no code for.
int VirtualKeyOf(const GdkEventKey* event);

// The client-area widget of a window and the GtkWindow it sits in (null when the
// window is not on the display). UI thread only.
GtkWidget* AreaOf(WindowHandle window);
GtkWindow* TopLevelOf(WindowHandle window);

// Makes a window's client area accept drops from other programs, for the drop target
// registered on the window (platform/DragDrop.h).
void AttachDropTarget(GtkWidget* area, WindowHandle window);
// The page a drag from our own web view started on (its "SourceURL").
void SetDragSourceUrl(const std::string& url);

// The X connection whose errors are counted and dropped instead of reported.
void SetQuietConnection(_XDisplay* display);
int QuietErrorCount();

}  // namespace platform::display
