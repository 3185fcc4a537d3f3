// Window handles on the desktop: a handle is a QObject pointer, the application
// object's or a widget's.
#include "platform/window_handle.h"

#include <QCoreApplication>
#include <QWidget>

namespace velkar {

WindowHandle ApplicationWindow() { return QCoreApplication::instance(); }

WindowHandle HandleOf(QWidget* widget) { return static_cast<QObject*>(widget); }

QWidget* WidgetOf(WindowHandle handle) {
  return qobject_cast<QWidget*>(static_cast<QObject*>(handle));
}

}  // namespace velkar
