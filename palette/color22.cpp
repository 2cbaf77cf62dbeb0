#include "palette/color22.h"

#include <gtk/gtk.h>

#include "base/drawing.h"
#include "base/globals.h"

namespace {

// Component bases a row colour is made of.
constexpr double kFull = 255.0;
constexpr double kThreeQuarters = 191.25;
constexpr double kHalf = 127.5;
constexpr double kHalfLow = 127.0;  // the older rows use 127, not 127.5
constexpr double kNone = 0.0;

struct RowBase {
  double r, g, b;
};

// Base colour of rows 0 to 20; the last row is the grey ramp.
const RowBase kRowBases[] = {
    {kFull, kNone, kNone},                   // red
    {kNone, kFull, kNone},                   // green
    {kNone, kNone, kFull},                   // blue
    {kFull, kFull, kNone},                   // yellow
    {kNone, kFull, kFull},                   // cyan
    {kFull, kNone, kFull},                   // magenta
    {kFull, kHalfLow, kNone},                // orange
    {kHalfLow, kFull, kNone},                // yellow-green
    {kNone, kFull, kHalfLow},                // spring green
    {kNone, kHalfLow, kFull},                // sky blue
    {kFull, kNone, kHalfLow},                // rose
    {kHalfLow, kNone, kFull},                // violet
    {kHalfLow, kHalfLow, kFull},             // pale blue
    {kFull, kHalfLow, kHalfLow},             // pale red
    {kHalfLow, kFull, kHalfLow},             // pale green
    {kFull, kThreeQuarters, kHalf},          // pale orange
    {kThreeQuarters, kFull, kHalf},          // pale yellow-green
    {kHalf, kThreeQuarters, kFull},          // pale sky blue
    {kFull, kHalf, kThreeQuarters},          // pale pink
    {kHalf, kFull, kThreeQuarters},          // pale mint
    {kThreeQuarters, kHalf, kFull},          // pale violet
};
constexpr int kShadedRows = sizeof kRowBases / sizeof kRowBases[0];

// The last row, black to white; white is 255, not the 254 a linear ramp gives.
const double kGreyRamp[] = {0, 28, 56, 84, 113, 141, 169, 198, 226, 255};
constexpr int kGreySteps = sizeof kGreyRamp / sizeof kGreyRamp[0];

constexpr int kShades = 10;   // column x shows the base at (10 - x) tenths
constexpr int kOutlines = 11; // a swatch is painted as nested square outlines

bool in_grid(int x, int y) { return x >= 0 && y >= 0 && x < pl_x_nomber && y < pl_y_nomber; }

// Multiplying first keeps the products exact where the tenths would not be
// (255 * 2 / 10 is 51; 255 * (1 - 0.8) truncates to 50).
double shade(double base, int x) { return base * (kShades - x) / kShades; }

// Grid index of a pointer coordinate, truncated toward zero; -1 when it lies
// beyond `count` swatches (checked before converting, so no value overflows).
int swatch_index(double pos, int count) {
  const double cell = pos / pl_dot_size;
  if (!(cell > -1.0 && cell < count)) return -1;
  return static_cast<int>(cell);
}

// Entry (x, y) is column x, row y; components are 0 to 255. Stores each
// component truncated toward zero; 0 (nothing written) outside the grid or
// without a table.
int pl_set_one(int x, int y, double r, double g, double b) {
  if (!pl_main || !in_grid(x, y)) return 0;
  int *entry = pl_main + (x + y * pl_x_nomber) * 3;
  entry[0] = static_cast<int>(r);
  entry[1] = static_cast<int>(g);
  entry[2] = static_cast<int>(b);
  return 1;
}

// Reads entry (x, y); 0, the outputs untouched, outside the grid or without a table.
int pl_get_one(int x, int y, int *r, int *g, int *b) {
  if (!pl_main || !in_grid(x, y)) return 0;
  const int *entry = pl_main + (x + y * pl_x_nomber) * 3;
  *r = entry[0];
  *g = entry[1];
  *b = entry[2];
  return 1;
}

// Fills every entry with the default colours.
void pl_set() {
  for (int y = 0; y < kShadedRows; y++) {
    const RowBase &base = kRowBases[y];
    for (int x = 0; x < kShades; x++)
      pl_set_one(x, y, shade(base.r, x), shade(base.g, x), shade(base.b, x));
  }
  for (int x = 0; x < kGreySteps; x++)
    pl_set_one(x, kShadedRows, kGreyRamp[x], kGreyRamp[x], kGreyRamp[x]);
}

// Creates and fills the table on first use. False when it cannot be allocated.
bool pl_ensure_table() {
  if (pl_main) return true;
  pl_main = g_try_new0(int, pl_x_nomber * pl_y_nomber * 3);
  if (!pl_main) return false;
  pl_set();
  return true;
}

void draw_swatch(cairo_t *cr, int i, int j) {
  int r, g, b;
  if (!pl_get_one(i, j, &r, &g, &b)) return;
  const double s = pl_dot_size;
  const double x = i * s;
  const double y = j * s;
  cairo_set_line_width(cr, 1.0);
  cairo_set_source_rgb(cr, r / 256.0, g / 256.0, b / 256.0);
  for (int k = 0; k < kOutlines; k++) {
    cairo_move_to(cr, x + k, y + k);
    cairo_line_to(cr, x + s - 1 - k, y + k);
    cairo_line_to(cr, x + s - 1 - k, y + s - 1 - k);
    cairo_line_to(cr, x + k, y + s - 1 - k);
    cairo_line_to(cr, x + k, y + k);
    cairo_stroke(cr);
  }
}

// Paints all swatches, whatever part of the window was exposed.
void px_draw_pl(GtkWidget *area) {
  GdkWindow *win = area ? gtk_widget_get_window(area) : nullptr;
  if (win) gdk_window_clear(win);
  CairoPtr cr = cairo_for(area);
  if (!pl_ensure_table() || !cr) return;
  for (int j = 0; j < pl_y_nomber; j++)
    for (int i = 0; i < pl_x_nomber; i++) draw_swatch(cr.get(), i, j);
}

gboolean color_palet_delete_event(GtkWidget *, GdkEvent *, gpointer) {
  g_print("color palet delete_event \n");
  color_paret_view_fg = 0;
  return FALSE;
}

gboolean cp_Draw(GtkWidget *widget, GdkEventExpose *, gpointer) {
  px_draw_pl(widget);
  return FALSE;
}

// Makes the clicked swatch's colour the current colour.
gboolean pl_button_press_event(GtkWidget *, GdkEventButton *event, gpointer) {
  const int col = swatch_index(event->x, pl_x_nomber);
  const int row = swatch_index(event->y, pl_y_nomber);
  int r, g, b;
  if (col >= 0 && row >= 0 && pl_get_one(col, row, &r, &g, &b)) {
    now_rgb[0] = r;
    now_rgb[1] = g;
    now_rgb[2] = b;
  }
  return FALSE;
}

}  // namespace

void create_color_palet() {
  cp_main_window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_window_set_title(GTK_WINDOW(cp_main_window), "PALET");
  const int width = pl_dot_size * pl_x_nomber;
  const int height = pl_dot_size * pl_y_nomber;
  gtk_window_set_default_size(GTK_WINDOW(cp_main_window), width, height);
  gtk_window_set_position(GTK_WINDOW(cp_main_window), GTK_WIN_POS_CENTER_ALWAYS);
  g_signal_connect(cp_main_window, "delete_event", G_CALLBACK(color_palet_delete_event),
                   nullptr);

  GtkWidget *area = gtk_drawing_area_new();
  gtk_widget_set_size_request(area, width, height);
  gtk_container_add(GTK_CONTAINER(cp_main_window), area);
  g_signal_connect(area, "expose_event", G_CALLBACK(cp_Draw), nullptr);
  g_signal_connect(area, "button_press_event", G_CALLBACK(pl_button_press_event), nullptr);
  gtk_widget_set_events(area, kPointerEvents);  // only presses have a handler

  gtk_widget_show_all(cp_main_window);
}
