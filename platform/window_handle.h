// Window handles on the desktop: the token the seam passes as a box's or a dialog's
// owner, for the application and for a widget, and the widget back from a handle.
// For the ui's files, which need these and nothing else of the Qt backend.
#pragma once

#include "platform/platform.h"

class QWidget;

namespace velkar {

// The application window: owner of the engine's boxes and of the clipboard. The
// token is the application object; boxes owned by it have no visible parent.
WindowHandle ApplicationWindow();

// The handle of a widget, and back: nullptr when the handle is not a widget.
WindowHandle HandleOf(QWidget* widget);
QWidget* WidgetOf(WindowHandle handle);

}  // namespace velkar
