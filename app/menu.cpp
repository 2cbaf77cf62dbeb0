#include "app/menu.h"

GtkWidget *create_menu() { return gtk_menu_bar_new(); }
