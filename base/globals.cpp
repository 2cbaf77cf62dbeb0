#include "base/globals.h"

int dot_size = 10;
int mv_size_widht = 64;
int mv_size_heigth = 64;
int *px_cnvs = nullptr;
int *px_cnvs_vtl = nullptr;
unsigned long px_cnvs_changes = 0;
int now_window_left = 0;
int now_window_right = 0;
int now_window_top = 0;
int now_window_bottom = 0;

int now_tool = 1;
int now_rgb[3] = {0, 0, 0};
int m_b_e = 0;
int tool_line_start = 0;
int tool_box_start = 0;
int tool_circle_start = 0;
int line_x = 0, line_y = 0;
int box_x = 0, box_y = 0;
int px_old_x = 0, px_old_y = 0;
int tz = 0;

char now_file_name[kFileNameSize];
int save_fg = 0;
int start_fg = 0;

GtkWidget *window = nullptr;
GtkWidget *px_main_window = nullptr;
GtkWidget *drawing_area = nullptr;
GtkWidget *g_scroll_window = nullptr;
GtkWidget *statas_area = nullptr;
GtkWidget *tool_bar_window = nullptr;
GtkWidget *cp_main_window = nullptr;
GtkWidget *preview_window = nullptr;
GtkWidget *change_dialog = nullptr;
GtkWidget *entry_width = nullptr;
GtkWidget *entry_height = nullptr;
GtkWidget *change_scale_dialog = nullptr;
GtkWidget *entry_size = nullptr;

int tool_bar_view_fg = 0;
int color_paret_view_fg = 0;
int preview_fg = 0;

int *pl_main = nullptr;
int pl_dot_size = 20;
int pl_x_nomber = 10;
int pl_y_nomber = 22;

const char *const kUntitledName = "無題.koma";
