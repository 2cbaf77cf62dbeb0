#include "tools/pointer.h"

gboolean button_press_event(GtkWidget *, GdkEventButton *, gpointer) { return FALSE; }
gboolean motion_notify_event(GtkWidget *, GdkEventMotion *, gpointer) { return TRUE; }
gboolean button_release_event(GtkWidget *, GdkEventButton *, gpointer) { return FALSE; }
