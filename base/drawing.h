// What the windows share for drawing: a cairo context released on leaving
// its scope, and the pointer events their drawing areas ask for.
#pragma once

#include <memory>

#include <gtk/gtk.h>

using CairoPtr = std::unique_ptr<cairo_t, decltype(&cairo_destroy)>;

// A context on the window of `widget`, or an empty pointer when the widget
// is missing or not realised (nothing is drawn then).
inline CairoPtr cairo_for(GtkWidget *widget) {
  GdkWindow *w = widget ? gtk_widget_get_window(widget) : nullptr;
  return CairoPtr(w ? gdk_cairo_create(w) : nullptr, &cairo_destroy);
}

// Motion, button press, button release and enter notify: 4868.
constexpr gint kPointerEvents = GDK_POINTER_MOTION_MASK | GDK_BUTTON_PRESS_MASK |
                                GDK_BUTTON_RELEASE_MASK | GDK_ENTER_NOTIFY_MASK;
static_assert(kPointerEvents == 4868, "the canvas and the palette ask for 4868");
