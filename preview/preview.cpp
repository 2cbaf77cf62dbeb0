#include "preview/preview.h"

#include <cstdint>
#include <string>

#include <gtk/gtk.h>

#include "base/globals.h"
#include "files/bmp_write.h"
#include "files/image_export.h"

namespace {
constexpr const char *kTempFile = ".px_tmp000001.bmp";

// The picture's image: read back from the file just written. When that file
// could not be written, an older one may still lie there; show the
// broken-image icon instead of a stale picture.
GtkWidget *picture_image() {
  std::uint32_t *words = koma2int32(px_cnvs);
  const std::string path = px_write_temp_bmp(kTempFile, mv_size_widht, mv_size_heigth, words);
  g_free(words);
  if (path.empty()) return gtk_image_new_from_stock(GTK_STOCK_MISSING_IMAGE, GTK_ICON_SIZE_DIALOG);
  return gtk_image_new_from_file(path.c_str());
}

// "更新": replaces the window by one of the current picture.
void btn_preview_update(GtkButton *, gpointer) {
  if (preview_window) gtk_widget_destroy(preview_window);
  preview();
  preview_fg = 1;
}

void Preview_destroy(GtkWidget *widget, gpointer) {
  preview_fg = 0;
  // Forget the handle of the window that is going, so nothing destroys it twice.
  if (preview_window == widget) preview_window = nullptr;
}
}  // namespace

void preview() {
  preview_window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_window_set_title(GTK_WINDOW(preview_window), "preview");
  GtkWidget *vbox = gtk_vbox_new(FALSE, 0);
  gtk_container_add(GTK_CONTAINER(preview_window), vbox);

  gtk_box_pack_start(GTK_BOX(vbox), picture_image(), TRUE, TRUE, 0);
  GtkWidget *update = gtk_button_new_with_label("更新");
  gtk_box_pack_start(GTK_BOX(vbox), update, TRUE, TRUE, 0);

  g_signal_connect(update, "clicked", G_CALLBACK(btn_preview_update), nullptr);
  g_signal_connect(preview_window, "destroy", G_CALLBACK(Preview_destroy), nullptr);
  gtk_widget_show_all(preview_window);
}
