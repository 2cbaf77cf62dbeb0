#include <gtk/gtk.h>

#include "app/startup.h"

int main(int argc, char **argv) {
  gtk_set_locale();
  gtk_init(&argc, &argv);  // removes the toolkit's own options from argv
  koma_start(argc, argv);
  gtk_main();
  return 0;
}
